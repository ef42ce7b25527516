#pragma once

#include "CommLine.h"
#include "ManagedModem.h"

#include <QJsonObject>

#include <functional>

// Ports that ModemManager manages are shown as its, with the modem's name,
// and usable: an operation borrows the modem from it.

// "géré par ModemManager (Quectel EG25), utilisable", else the state's own
// text, a busy port naming its holder: "occupé (tenu par le pid 1234 (minicom))".
QString portStateText(const QString &device, CommLine::OpenFailure state, const QString &why,
                      const QList<ManagedModem> &modems);
// "state": "managed" and "modem": its name, for a managed device.
QJsonObject withManager(QJsonObject entry, const QString &device, const QList<ManagedModem> &modems);

// Runs the command once the modems ModemManager manages are known (none
// without it), on the event loop, and returns its exit status.
int withManagedModems(const std::function<int(const QList<ManagedModem> &modems)> &command);
