#pragma once

#include "CommLine.h"

#include <QList>
#include <QString>

// The port numbers that lead to a device on this machine (the comN links and
// the default devices that exist) and whether each can be opened now.
struct PortEntry
{
    int port = 0;
    QString device;
    CommLine::OpenFailure state = CommLine::OpenFailure::None; // None: free
    QString why;                                                // when not free
};

QList<PortEntry> listPorts();

// "free", "busy", "no permission", "unusable", "missing".
QString stateName(CommLine::OpenFailure state);
// The same in French for people: "libre", "occupé", ...
QString stateDescription(CommLine::OpenFailure state);
