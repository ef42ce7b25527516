#include "ModemManagerBus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

using namespace Qt::StringLiterals;

namespace ModemManagerBus {
namespace {

const QString kService = u"org.freedesktop.ModemManager1"_s;
const QString kManagerPath = u"/org/freedesktop/ModemManager1"_s;
// Time enough for someone to type a password into polkit's agent.
constexpr int kInteractiveTimeoutMs = 120'000;

QDBusMessage methodCall(const QString &path, const QString &interface, const QString &method, bool interactive = false)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setAutoStartService(false);
    message.setInteractiveAuthorizationAllowed(interactive);
    return message;
}

void call(const QDBusConnection &bus, const QDBusMessage &message, QObject *context, Answer done)
{
    const int timeout = message.isInteractiveAuthorizationAllowed() ? kInteractiveTimeoutMs : -1;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, timeout), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        done(watcher->reply());
    });
}

} // namespace

QDBusConnection systemBus()
{
    return QDBusConnection::systemBus();
}

bool listModems(const QDBusConnection &bus, QObject *context, Modems done)
{
    if (!bus.isConnected())
        return false;
    call(bus, methodCall(kManagerPath, u"org.freedesktop.DBus.ObjectManager"_s, u"GetManagedObjects"_s), context,
         [done = std::move(done)](const QDBusMessage &answer) { done(modemsIn(answer)); });
    return true;
}

void inhibit(const QDBusConnection &bus, const QString &device, bool inhibited, bool interactive, QObject *context,
             Answer done)
{
    QDBusMessage message = methodCall(kManagerPath, kService, u"InhibitDevice"_s, interactive);
    message << device << inhibited;
    call(bus, message, context, std::move(done));
}

void enable(const QDBusConnection &bus, const QDBusObjectPath &modem, bool interactive, QObject *context, Answer done)
{
    QDBusMessage message = methodCall(modem.path(), u"org.freedesktop.ModemManager1.Modem"_s, u"Enable"_s, interactive);
    message << true;
    call(bus, message, context, std::move(done));
}

QString errorText(const QDBusMessage &answer)
{
    return answer.errorName() + u": "_s + answer.errorMessage();
}

} // namespace ModemManagerBus
