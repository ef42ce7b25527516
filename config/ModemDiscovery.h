#pragma once

#include "cRegistry.h"

#include <QList>
#include <QString>

// The installed modems the registry knows, each with the port its hardware
// enumeration key gives it.
struct ModemDiscovery
{
    struct Modem
    {
        QString model;
        qint32 port = 0;
    };

    QList<Modem> modems;  // in the order of the modem keys, only those with a port
    int selected = -1;    // the last modem on the current port, or none
    bool failed = false;  // the registry could not be read as expected

    // Reads HKEY_LOCAL_MACHINE: the model names under the modem class key and
    // the ports from the "Enum" tree, walked breadth first. A failure keeps the
    // modems listed before it.
    static ModemDiscovery run(cRegistry &reg, const QString &currentPort);

    static QString failureText();
};
