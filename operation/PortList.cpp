#include "PortList.h"

#include "PortDevice.h"
#include "PortRange.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {

bool isLinkLoop(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) != 0 && errno == ELOOP;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Why the port's link leads nowhere: its target is gone, or links lead round
// in a loop. Empty when there is no link or it leads to something.
QString brokenLinkProblem(int port)
{
    const QFileInfo link(portLinkPath(port));
    if (!link.isSymLink() || link.exists())
        return {};
    if (isLinkLoop(link.filePath()))
        return u"le lien %1 tourne en rond"_s.arg(link.filePath());
    return u"le lien %1 mène à %2, qui n'existe pas"_s.arg(link.filePath(), link.symLinkTarget());
}

} // namespace

PortEntry probePort(int port)
{
    PortEntry entry{port, portDevicePath(port), CommLine::OpenFailure::None, brokenLinkProblem(port)};
    if (!entry.why.isEmpty())
        entry.state = CommLine::OpenFailure::NoDevice;
    else
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
    for (int port = kLowestPort; port <= kHighestPort; ++port) {
        if (QFileInfo(portLinkPath(port)).isSymLink() || QFileInfo::exists(portDevicePath(port)))
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
