#pragma once

#include "SerialDevices.h"
#include "cRegistry.h"

#include <QList>
#include <QString>

// The installed modems the registry knows, each with the port its hardware
// enumeration key gives it, then the serial devices the system knows.
struct ModemDiscovery
{
    struct Modem
    {
        QString model;      // for a device: its description, maker and name
        qint32 port = 0;    // 0: a device no port leads to yet
        QString device;     // a device's path; empty for the registry's modems
        QString stablePath; // a device's link that survives replugging, if any
    };

    QList<Modem> modems;  // the registry's in the order of the modem keys, only those with a port; then the devices
    int selected = -1;    // the last modem on the current port, or none
    bool failed = false;  // the registry could not be read as expected, and no device was found

    // Reads HKEY_LOCAL_MACHINE: the model names under the modem class key and
    // the ports from the "Enum" tree, walked breadth first. A failure keeps the
    // modems listed before it. Then come the devices, but for those on a port
    // a registry modem already names.
    static ModemDiscovery run(cRegistry &reg, const QString &currentPort, const SerialDeviceSource &devices);

    // "USR5637 56K Faxmodem - U.S.Robotics (ttyACM0)", with ", port 3" after
    // the name when a port leads to it.
    static QString deviceText(const SerialDevice &device, int port);

    static QString failureText();
};
