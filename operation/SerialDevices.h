#pragma once

#include <QList>
#include <QString>

#include <optional>

// A serial device the system knows: a USB CDC-ACM modem, a USB-serial
// adapter, an on-board port.
struct SerialDevice
{
    QString path; // /dev/ttyACM0; COM5 on Windows
    QString name; // ttyACM0; COM5 on Windows
    QString description;
    QString maker;
    std::optional<quint16> vendorId;  // USB only
    std::optional<quint16> productId; // USB only
    QString serialNumber;
    QString stablePath; // its /dev/serial/by-id link, which survives replugging; empty without one

    // "USR5637 56K Faxmodem - U.S.Robotics": its description and maker, those it has.
    QString label() const;
};

// Where the serial devices come from: the system's enumeration in the
// programs, a plain list in tests and benchmarks.
class SerialDeviceSource
{
public:
    virtual ~SerialDeviceSource() = default;

    // By name, numbers compared as numbers: ttyACM2 before ttyACM10, whatever
    // order the system found them in.
    QList<SerialDevice> devices() const;
    // The device at path (or a link to it), as the source knows it; only its
    // path when the source does not know it (a pseudo-terminal, say).
    SerialDevice deviceAt(const QString &path) const;

    // Qt SerialPort's enumeration.
    static const SerialDeviceSource &system();

protected:
    virtual QList<SerialDevice> enumerate() const = 0;
};

class SerialDeviceList : public SerialDeviceSource
{
public:
    explicit SerialDeviceList(QList<SerialDevice> devices = {})
        : m_devices(std::move(devices))
    {
    }

protected:
    QList<SerialDevice> enumerate() const override { return m_devices; }

private:
    QList<SerialDevice> m_devices;
};
