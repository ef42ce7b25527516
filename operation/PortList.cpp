#include "PortList.h"

#include "PortDevice.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

PortEntry probePort(int port)
{
    PortEntry entry{port, portDevicePath(port), CommLine::OpenFailure::None, {}};
    entry.state = probeDevice(entry.device, &entry.why);
    return entry;
}

// Opening is the only sure test: a /dev/ttyS node exists for every UART the
// kernel could have, and opening one without hardware fails.
CommLine::OpenFailure probeDevice(const QString &device, QString *why)
{
    CommLine line;
    if (line.openDevice(device, why))
        line.setPortOpen(false);
    return line.openFailure();
}

QList<PortEntry> listPorts()
{
    QList<PortEntry> ports;
    for (int port = 1; port <= CommLine::kHighestPort; ++port) {
        if (QFileInfo::exists(portDevicePath(port)))
            ports << probePort(port);
    }
    return ports;
}

QList<DeviceEntry> listDevices(const SerialDeviceSource &source)
{
    const QHash<QString, int> ports = portsByDevice();
    QList<DeviceEntry> entries;
    for (const SerialDevice &device : source.devices()) {
        DeviceEntry entry{device, ports.value(deviceIdentity(device.path)), {}, {}};
        entry.state = probeDevice(device.path, &entry.why);
        entries << entry;
    }
    return entries;
}

namespace {

struct StateTexts
{
    CommLine::OpenFailure state;
    QString name;
    QString description;
};

const StateTexts &textsOf(CommLine::OpenFailure state)
{
    using F = CommLine::OpenFailure;
    static const QList<StateTexts> texts{
        {F::None, u"free"_s, u"libre"_s},
        {F::Busy, u"busy"_s, u"occupé"_s},
        {F::NoPermission, u"no permission"_s, u"accès refusé (ajoutez-vous au groupe dialout)"_s},
        {F::NoDevice, u"missing"_s, u"absent"_s},
        {F::Unusable, u"unusable"_s, u"inutilisable"_s}};
    return *std::find_if(texts.begin(), texts.end(), [state](const StateTexts &entry) { return entry.state == state; });
}

} // namespace

QString stateName(CommLine::OpenFailure state)
{
    return textsOf(state).name;
}

QString stateDescription(CommLine::OpenFailure state)
{
    return textsOf(state).description;
}
