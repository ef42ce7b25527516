#include "SystemdTimers.h"

#include "TimerUnits.h"

#include <QStandardPaths>

using namespace Qt::StringLiterals;

SystemdTimers::SystemdTimers(const QString &renvoliactl, const QString &systemctl, QObject *parent)
    : ScheduleBackend(parent)
    , m_renvoliactl(renvoliactl)
    , m_systemctl(systemctl.isEmpty() ? QStandardPaths::findExecutable(u"systemctl"_s) : systemctl)
{
}

QString SystemdTimers::deferredMessage(const QString &why)
{
    return u"Le gestionnaire systemd de votre session n'est pas joignable (%1) : la règle est enregistrée et "
           "prendra effet à la prochaine ouverture de session où systemd fonctionne."_s.arg(why);
}

QList<CommandChain::Command> SystemdTimers::userCommands(const QList<QStringList> &argumentLists) const
{
    QList<CommandChain::Command> commands;
    for (const QStringList &arguments : argumentLists)
        commands.append({m_systemctl, QStringList{u"--user"_s} + arguments});
    return commands;
}

void SystemdTimers::install(const ScheduleRule &rule)
{
    m_unit = rule.unitName() + u".timer"_s;
    QString error;
    if (!TimerUnits::write(rule, m_renvoliactl, &error)) {
        finish(State::Failed, u"Les fichiers du minuteur n'ont pas pu être écrits : "_s + error);
        return;
    }
    if (m_systemctl.isEmpty()) {
        finish(State::Deferred, deferredMessage(u"systemctl est introuvable"_s));
        return;
    }
    disconnect(m_step);
    m_step = connect(&m_chain, &CommandChain::finished, this, &SystemdTimers::onInstalled);
    m_chain.run(userCommands({{u"daemon-reload"_s}, {u"enable"_s, u"--now"_s, m_unit}}));
}

// A reload that fails means no manager answers; an enabling that fails is
// the manager refusing the timer.
void SystemdTimers::onInstalled(int failedAt, const QString &why)
{
    if (failedAt < 0)
        finish(State::Active);
    else if (failedAt == 0)
        finish(State::Deferred, deferredMessage(why));
    else
        finish(State::Failed, u"systemd n'a pas pu activer le minuteur %1 : %2"_s.arg(m_unit, why));
}

void SystemdTimers::uninstall(const ScheduleRule &rule)
{
    m_unit = rule.unitName();
    if (m_systemctl.isEmpty()) {
        onDisabled(0, {});
        return;
    }
    disconnect(m_step);
    m_step = connect(&m_chain, &CommandChain::finished, this, &SystemdTimers::onDisabled);
    m_chain.run(userCommands({{u"disable"_s, u"--now"_s, m_unit + u".timer"_s}}));
}

// Without a manager to reach, nothing runs the timer now: its files go all
// the same, so it never starts again.
void SystemdTimers::onDisabled(int failedAt, const QString &)
{
    disconnect(m_step);
    QString error;
    if (!TimerUnits::remove(m_unit, &error)) {
        finish(State::Failed, u"Le minuteur n'a pas pu être retiré : "_s + error);
        return;
    }
    if (failedAt >= 0) {
        finish(State::Active);
        return;
    }
    m_step = connect(&m_chain, &CommandChain::finished, this, [this] { finish(State::Active); });
    m_chain.run(userCommands({{u"daemon-reload"_s}}));
}

void SystemdTimers::finish(State state, const QString &message)
{
    disconnect(m_step);
    emit done({state, message});
}
