#pragma once

#include <QDBusObjectPath>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QDBusMessage;

// A modem that ModemManager manages, as its D-Bus object describes it.
struct ManagedModem
{
    QDBusObjectPath path;
    QString device;     // the device's uid, what InhibitDevice takes
    QStringList ports;  // kernel names: "ttyUSB2", "pts/3"
    int state = 0;      // MMModemState
    QString manufacturer;
    QString model;

    // Enabling or further: its ports are open and mobile data may run.
    bool isEnabled() const;
    // Initialised: it can be enabled.
    bool isReady() const;
    // Whether one of its ports is the device this path leads to.
    bool hasPort(const QString &devicePath) const;
    // "Quectel EG25" as people read it.
    QString label() const;
};

// The modems an answer to ObjectManager.GetManagedObjects describes.
QList<ManagedModem> modemsIn(const QDBusMessage &managedObjects);

std::optional<ManagedModem> modemWithPort(const QList<ManagedModem> &modems, const QString &devicePath);
std::optional<ManagedModem> modemOfDevice(const QList<ManagedModem> &modems, const QString &device);
