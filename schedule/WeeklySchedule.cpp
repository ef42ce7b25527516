#include "WeeklySchedule.h"

#include "PortSetting.h"
#include "RuleStore.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// systemd keeps a user's lingering as a file named after the user.
bool lingering()
{
    const QString user = qEnvironmentVariable("USER");
    return !user.isEmpty() && QFileInfo::exists(u"/var/lib/systemd/linger/"_s + user);
}

} // namespace

WeeklySchedule::WeeklySchedule(ScheduleBackend &backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
{
}

QString WeeklySchedule::lingerNote()
{
    return u"Une règle ne s'exécute quand personne n'est connecté que si votre session systemd reste active : "
           "lancez une fois « loginctl enable-linger »."_s;
}

void WeeklySchedule::add(ScheduleRule rule)
{
    rule.id = RuleStore::nextId();
    m_rule = rule;
    if (!RuleStore::save(rule)) {
        emit finished({false, 0, u"La règle n'a pas pu être enregistrée dans %1."_s.arg(PortSetting::storeLocation()), {}});
        return;
    }
    disconnect(m_step);
    m_step = connect(&m_backend, &ScheduleBackend::done, this, &WeeklySchedule::onInstalled);
    m_backend.install(rule);
}

void WeeklySchedule::onInstalled(const ScheduleBackend::Outcome &outcome)
{
    disconnect(m_step);
    const bool succeeded = outcome.state != ScheduleBackend::State::Failed;
    QString message = outcome.message;
    if (!succeeded)
        message = u"La règle n° %1 est enregistrée mais ne s'exécutera pas : %2"_s.arg(m_rule.id).arg(outcome.message);
    emit finished({succeeded, m_rule.id, message, succeeded ? lingerNoteOnce() : QString()});
}

QString WeeklySchedule::lingerNoteOnce() const
{
#ifdef Q_OS_WIN
    return {};
#else
    if (RuleStore::lingerNoteGiven() || lingering())
        return {};
    RuleStore::setLingerNoteGiven();
    return lingerNote();
#endif
}

bool WeeklySchedule::remove(int id)
{
    std::optional<ScheduleRule> rule = RuleStore::find(id);
    if (!rule && RuleStore::holds(id)) { // one edited out of shape: its timer is named by its id alone
        rule.emplace();
        rule->id = id;
    }
    if (!rule)
        return false;
    m_rule = *rule;
    disconnect(m_step);
    m_step = connect(&m_backend, &ScheduleBackend::done, this, &WeeklySchedule::onUninstalled);
    m_backend.uninstall(*rule);
    return true;
}

// The rule stays kept when its timer could not be taken away, so that a
// second try can.
void WeeklySchedule::onUninstalled(const ScheduleBackend::Outcome &outcome)
{
    disconnect(m_step);
    if (outcome.state == ScheduleBackend::State::Failed) {
        emit finished({false, m_rule.id, outcome.message, {}});
        return;
    }
    if (!RuleStore::remove(m_rule.id)) {
        emit finished({false, m_rule.id, u"La règle n° %1 n'a pas pu être retirée de %2."_s.arg(m_rule.id).arg(
                                             PortSetting::storeLocation()), {}});
        return;
    }
    emit finished({true, m_rule.id, {}, {}});
}
