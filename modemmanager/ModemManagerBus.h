#pragma once

#include "ManagedModem.h"

#include <QDBusConnection>

#include <chrono>
#include <functional>

class QObject;

// The calls to ModemManager on the system bus, all asynchronous. None of
// them starts ModemManager: without it on the bus nothing changes.
namespace ModemManagerBus {

using Answer = std::function<void(const QDBusMessage &answer)>;
using Modems = std::function<void(const QList<ManagedModem> &modems)>;

QDBusConnection systemBus();

// Hands the modems ModemManager manages to done, on the event loop; none
// when ModemManager does not answer. False, and done is never called,
// without a system bus.
bool listModems(const QDBusConnection &bus, QObject *context, Modems done);

// InhibitDevice(uid, inhibit): ModemManager lets go of the device until the
// caller releases it or leaves the bus. A polkit agent may ask for a password
// when interactive.
void inhibit(const QDBusConnection &bus, const QString &device, bool inhibited, bool interactive, QObject *context,
             Answer done);

void enable(const QDBusConnection &bus, const QDBusObjectPath &modem, bool interactive, QObject *context, Answer done);

// The error's text as D-Bus gives it: "org.freedesktop.…: message".
QString errorText(const QDBusMessage &answer);

} // namespace ModemManagerBus
