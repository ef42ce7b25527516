#pragma once

#include "CommLine.h"
#include "SerialDevices.h"

#include <QList>
#include <QString>

// The port numbers that lead to a device on this machine (the comN links and
// the default devices that exist) and whether each can be opened now; a link
// that leads nowhere is listed as missing, with its target.
struct PortEntry
{
    int port = 0;
    QString device;
    CommLine::OpenFailure state = CommLine::OpenFailure::None; // None: free
    QString why;                                                // when not free
};

QList<PortEntry> listPorts();
PortEntry probePort(int port);

// A device of the system, the port that leads to it and whether it can be
// opened now.
struct DeviceEntry
{
    SerialDevice device;
    int port = 0; // 0: no port leads to it yet
    CommLine::OpenFailure state = CommLine::OpenFailure::None;
    QString why;
};

QList<DeviceEntry> listDevices(const SerialDeviceSource &source);

// Whether the device can be opened now, and why not.
CommLine::OpenFailure probeDevice(const QString &device, QString *why = nullptr);

// "free", "busy", "no permission", "unusable", "missing".
QString stateName(CommLine::OpenFailure state);
// The same in French for people: "libre", "occupé", ...
QString stateDescription(CommLine::OpenFailure state);
