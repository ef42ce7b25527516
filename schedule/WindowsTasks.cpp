#include "WindowsTasks.h"


using namespace Qt::StringLiterals;

namespace {

QString taskName(const ScheduleRule &rule)
{
    return u"Renvolia\\"_s + rule.unitName();
}

// /TR is one command line: the program quoted, the arguments as they are
// (digits, names and options only).
QString taskCommand(const QString &renvoliactl, const ScheduleRule &rule)
{
    return u'"' + QString(renvoliactl).replace(u'/', u'\\') + u"\" "_s + rule.ctlArguments().join(u' ');
}

} // namespace

WindowsTasks::WindowsTasks(const QString &renvoliactl, const QString &schtasks, QObject *parent)
    : ScheduleBackend(parent)
    , m_renvoliactl(renvoliactl)
    , m_schtasks(schtasks)
{
}

QStringList WindowsTasks::createArguments(const ScheduleRule &rule) const
{
    return {u"/Create"_s, u"/F"_s, u"/TN"_s, taskName(rule), u"/SC"_s, u"WEEKLY"_s, u"/D"_s, rule.days.schtasks(),
            u"/ST"_s, rule.atText(), u"/TR"_s, taskCommand(m_renvoliactl, rule)};
}

void WindowsTasks::install(const ScheduleRule &rule)
{
    run(createArguments(rule), u"Le Planificateur de tâches n'a pas pu créer la tâche %1 : "_s.arg(taskName(rule)));
}

void WindowsTasks::uninstall(const ScheduleRule &rule)
{
    run({u"/Delete"_s, u"/F"_s, u"/TN"_s, taskName(rule)},
        u"Le Planificateur de tâches n'a pas pu supprimer la tâche %1 : "_s.arg(taskName(rule)));
}

void WindowsTasks::run(const QStringList &arguments, const QString &failure)
{
    disconnect(m_step);
    m_step = connect(&m_chain, &CommandChain::finished, this, [this, failure](int failedAt, const QString &why) {
        disconnect(m_step);
        emit done(failedAt < 0 ? Outcome{State::Active, {}} : Outcome{State::Failed, failure + why});
    });
    m_chain.run({{m_schtasks, arguments}});
}
