#include "CtlCommands.h"

#include "CtlOutput.h"
#include "Journal.h"
#include "ManagedPorts.h"
#include "PortAssignment.h"
#include "PortList.h"
#include "PortSetting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNotAssigned = 1;
constexpr int kNotADevice = 2;

QJsonValue optionalNumber(int number)
{
    return number != 0 ? QJsonValue(number) : QJsonValue();
}

// USB ids as lsusb writes them: "0baf".
QJsonValue usbId(std::optional<quint16> id)
{
    return id ? QJsonValue(u"%1"_s.arg(*id, 4, 16, QChar(u'0'))) : QJsonValue();
}

QJsonObject portJson(const PortEntry &entry, const QList<ManagedModem> &modems)
{
    return withManager({{u"port"_s, entry.port}, {u"device"_s, entry.device}, {u"state"_s, stateName(entry.state)},
                        {u"why"_s, entry.why}},
                       entry.device, modems);
}

QJsonObject deviceJson(const DeviceEntry &entry, const QList<ManagedModem> &modems)
{
    const SerialDevice &device = entry.device;
    return withManager({{u"device"_s, device.path},         {u"description"_s, device.description},
            {u"maker"_s, device.maker},         {u"vendorId"_s, usbId(device.vendorId)},
            {u"productId"_s, usbId(device.productId)}, {u"serialNumber"_s, device.serialNumber},
            {u"stablePath"_s, device.stablePath}, {u"port"_s, optionalNumber(entry.port)},
            {u"state"_s, stateName(entry.state)}, {u"why"_s, entry.why}}, device.path, modems);
}

QString portLine(const PortEntry &entry, const QList<ManagedModem> &modems)
{
    return u"COM%1\t%2\t%3"_s.arg(entry.port).arg(entry.device,
                                                portStateText(entry.device, entry.state, entry.why, modems));
}

QString deviceLine(const DeviceEntry &entry, const QList<ManagedModem> &modems)
{
    const QString port = entry.port != 0 ? u"COM%1"_s.arg(entry.port) : u"sans numéro de port"_s;
    return u"%1\t%2\t%3\t%4"_s.arg(entry.device.path, entry.device.label(), port,
                                   portStateText(entry.device.path, entry.state, entry.why, modems));
}

void printJson(const QJsonObject &object)
{
    printOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

// What the choice of a modem in the configuration window does: a port that
// leads to the device, then that port as the saved one.
int assignCommand(const CtlArguments &arguments, const QList<ManagedModem> &modems)
{
    const SerialDevice device = SerialDeviceSource::system().deviceAt(arguments.assign);
    const PortAssignment assignment = assignPort(device.path, device.stablePath, arguments.port);
    if (!assignment.assigned()) {
        printErr(u"renvoliactl: "_s + assignment.why);
        return assignment.outcome == PortAssignment::Outcome::NotADevice ? kNotADevice : kNotAssigned;
    }
    PortSetting::setCurrent(QString::number(assignment.port));
    if (!PortSetting::save()) {
        printErr(u"renvoliactl: le port %1 n'a pas pu être enregistré dans %2"_s.arg(assignment.port).arg(PortSetting::storeLocation()));
        return kNotAssigned;
    }
    const PortEntry entry = probePort(assignment.port);
    if (entry.state != CommLine::OpenFailure::None)
        printErr(u"renvoliactl: COM%1: %2"_s.arg(entry.port).arg(entry.why));
    if (arguments.json)
        printJson(portJson(entry, modems));
    else
        printOut(portLine(entry, modems));
    return 0;
}

int printPorts(const CtlArguments &arguments, const QList<ManagedModem> &modems)
{
    if (!arguments.assign.isNull())
        return assignCommand(arguments, modems);
    const QList<PortEntry> ports = listPorts();
    const QList<DeviceEntry> devices = listDevices(SerialDeviceSource::system());
    if (arguments.json) {
        QJsonArray portList, deviceList;
        for (const PortEntry &entry : ports)
            portList.append(portJson(entry, modems));
        for (const DeviceEntry &entry : devices)
            deviceList.append(deviceJson(entry, modems));
        printJson({{u"ports"_s, portList}, {u"devices"_s, deviceList}});
        return 0;
    }
    for (const PortEntry &entry : ports)
        printOut(portLine(entry, modems));
    for (const DeviceEntry &entry : devices)
        printOut(deviceLine(entry, modems));
    return 0;
}

} // namespace

int listPortsCommand(const CtlArguments &arguments)
{
    return withManagedModems([&arguments](const QList<ManagedModem> &modems) { return printPorts(arguments, modems); });
}

int journalCommand(const CtlArguments &arguments)
{
    if (!Journal::exists()) {
        printErr(u"renvoliactl: pas encore de journal (%1)"_s.arg(Journal::path()));
        return 0;
    }
    const Journal::Tail tail = Journal::tail(arguments.tail);
    for (const QString &line : tail.lines)
        printOut(line);
    if (tail.failure.isEmpty())
        return 0;
    printErr(u"renvoliactl: le journal ne peut pas être lu : %1"_s.arg(tail.failure));
    return 1;
}
