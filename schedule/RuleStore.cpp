#include "RuleStore.h"

#include "PortSetting.h"

#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace RuleStore {
namespace {

const QString kSection = u"Planification"_s;
const QString kLingerNote = u"NoteLinger"_s;
const QString kLastId = u"DernierNumero"_s;

struct Store
{
    Store()
        : settings(PortSetting::storeLocation(), PortSetting::storeFormat())
    {
        settings.beginGroup(kSection);
    }
    bool written()
    {
        settings.endGroup();
        settings.sync();
        return settings.status() == QSettings::NoError;
    }
    QSettings settings;
};

std::optional<ScheduleRule> read(QSettings &settings, const QString &group, QString *problem)
{
    settings.beginGroup(group);
    RuleInput input{settings.value(u"Jours"_s).toString(), settings.value(u"Heure"_s).toString(),
                    settings.value(u"Action"_s).toString(), settings.value(u"Numero"_s).toString(),
                    settings.value(u"Motif"_s).toString(), settings.value(u"Port"_s).toString(),
                    settings.value(u"Ligne"_s).toString()};
    settings.endGroup();
    std::optional<ScheduleRule> rule = ruleFrom(input, problem);
    if (rule)
        rule->id = group.toInt();
    return rule;
}

// The groups named by a rule's id; any other group is not a rule.
QList<int> ids(const QSettings &settings)
{
    QList<int> found;
    for (const QString &group : settings.childGroups()) {
        bool number = false;
        if (const int id = group.toInt(&number); number && id > 0 && group == QString::number(id))
            found.append(id);
    }
    std::sort(found.begin(), found.end());
    return found;
}

struct Rules
{
    QList<ScheduleRule> rules;
    QList<UnreadableRule> unreadable;
};

Rules readAll()
{
    Store store;
    Rules found;
    for (const int id : ids(store.settings)) {
        QString problem;
        if (std::optional<ScheduleRule> rule = read(store.settings, QString::number(id), &problem))
            found.rules.append(*rule);
        else
            found.unreadable.append({id, problem});
    }
    return found;
}

} // namespace

QList<ScheduleRule> load()
{
    return readAll().rules;
}

QList<UnreadableRule> unreadable()
{
    return readAll().unreadable;
}

bool holds(int id)
{
    return ids(Store().settings).contains(id);
}

std::optional<ScheduleRule> find(int id)
{
    for (const ScheduleRule &rule : load()) {
        if (rule.id == id)
            return rule;
    }
    return std::nullopt;
}

// Never an id given before: systemd remembers a persistent timer's last run
// by its name, and a new rule under an old name could run at once.
int nextId()
{
    Store store;
    int highest = store.settings.value(kLastId, 0).toInt();
    for (const QString &group : store.settings.childGroups())
        highest = std::max(highest, group.toInt());
    return highest + 1;
}

bool save(const ScheduleRule &rule)
{
    Store store;
    store.settings.beginGroup(QString::number(rule.id));
    store.settings.setValue(u"Jours"_s, rule.days.french());
    store.settings.setValue(u"Heure"_s, rule.atText());
    store.settings.setValue(u"Action"_s, rule.actionName());
    store.settings.setValue(u"Numero"_s, rule.request.number);
    store.settings.setValue(u"Motif"_s, reasonName(rule.request.reason));
    store.settings.setValue(u"Port"_s, rule.port);
    store.settings.setValue(u"Ligne"_s, lineKindName(rule.line));
    store.settings.endGroup();
    store.settings.setValue(kLastId, std::max(rule.id, store.settings.value(kLastId, 0).toInt()));
    return store.written();
}

bool remove(int id)
{
    Store store;
    store.settings.remove(QString::number(id));
    return store.written();
}

bool lingerNoteGiven()
{
    return Store().settings.value(kLingerNote).toBool();
}

void setLingerNoteGiven()
{
    Store store;
    store.settings.setValue(kLingerNote, true);
    store.written();
}

} // namespace RuleStore
