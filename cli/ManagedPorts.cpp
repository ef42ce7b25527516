#include "ManagedPorts.h"

#include "ModemManagerBus.h"
#include "PortList.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

QString portStateText(const QString &device, CommLine::OpenFailure state, const QString &why,
                      const QList<ManagedModem> &modems)
{
    if (const std::optional<ManagedModem> modem = modemWithPort(modems, device))
        return u"géré par ModemManager (%1), utilisable"_s.arg(modem->label());
    if (state == CommLine::OpenFailure::Busy && !why.isEmpty())
        return u"%1 (%2)"_s.arg(stateDescription(state), why);
    return stateDescription(state);
}

QJsonObject withManager(QJsonObject entry, const QString &device, const QList<ManagedModem> &modems)
{
    if (const std::optional<ManagedModem> modem = modemWithPort(modems, device)) {
        entry.insert(u"state"_s, u"managed"_s);
        entry.insert(u"modem"_s, modem->label());
    }
    return entry;
}

int withManagedModems(const std::function<int(const QList<ManagedModem> &modems)> &command)
{
    QObject context;
    const bool asked = ModemManagerBus::listModems(ModemManagerBus::systemBus(), &context,
                                                   [&command](const QList<ManagedModem> &modems) {
                                                       QCoreApplication::exit(command(modems));
                                                   });
    return asked ? QCoreApplication::exec() : command({});
}
