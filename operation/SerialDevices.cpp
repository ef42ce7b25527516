#include "SerialDevices.h"

#include "PortDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// "ttyACM10" → ("ttyACM", 10); a name without trailing digits sorts before its numbered kin.
std::pair<QString, qulonglong> sortKey(const QString &name)
{
    qsizetype digits = name.size();
    while (digits > 0 && name[digits - 1].isDigit())
        --digits;
    return {name.left(digits), name.mid(digits).toULongLong()};
}

// The /dev/serial/by-id links by the device each leads to. udev names them
// after the maker, the model and the serial number, so they outlive a move
// to another USB socket, where ttyACM0 may become ttyACM1.
QHash<QString, QString> stableLinks()
{
    QHash<QString, QString> links;
    const QDir byId(u"/dev/serial/by-id"_s);
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        links.insert(deviceIdentity(link.absoluteFilePath()), link.absoluteFilePath());
    return links;
}

class SystemSerialDevices : public SerialDeviceSource
{
protected:
    QList<SerialDevice> enumerate() const override
    {
        const QHash<QString, QString> stable = stableLinks();
        QList<SerialDevice> devices;
        for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
            const QString path = port.portName(); // COM5, as the ports are named; not \\.\COM5
#else
            const QString path = port.systemLocation();
#endif
            SerialDevice device{path, port.portName(), port.description(), port.manufacturer(),
                                std::nullopt, std::nullopt, port.serialNumber(), QString()};
            if (port.hasVendorIdentifier())
                device.vendorId = port.vendorIdentifier();
            if (port.hasProductIdentifier())
                device.productId = port.productIdentifier();
            device.stablePath = stable.value(deviceIdentity(device.path));
            devices << device;
        }
        return devices;
    }
};

} // namespace

QString SerialDevice::label() const
{
    QStringList names{description, maker};
    names.removeAll(QString());
    return names.join(u" - "_s);
}

QList<SerialDevice> SerialDeviceSource::devices() const
{
    QList<SerialDevice> sorted = enumerate();
    std::stable_sort(sorted.begin(), sorted.end(), [](const SerialDevice &a, const SerialDevice &b) {
        return sortKey(a.name) < sortKey(b.name);
    });
    return sorted;
}

SerialDevice SerialDeviceSource::deviceAt(const QString &path) const
{
    const QString identity = deviceIdentity(path);
    for (const SerialDevice &device : enumerate()) {
        if (device.path == path || (!identity.isEmpty() && deviceIdentity(device.path) == identity))
            return device;
    }
    SerialDevice unknown;
    unknown.path = path;
    unknown.name = QFileInfo(path).fileName();
    return unknown;
}

const SerialDeviceSource &SerialDeviceSource::system()
{
    static const SystemSerialDevices devices;
    return devices;
}
