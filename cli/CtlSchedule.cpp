#include "CtlSchedule.h"

#include "Clock.h"
#include "CtlOutput.h"
#include "NextRun.h"
#include "PortSetting.h"
#include "RuleStore.h"
#include "WeeklySchedule.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNotDone = 1;
constexpr int kUsageError = 2;

int usageError(const QString &why)
{
    printErr(u"renvoliactl: "_s + why + u"\n\n"_s + scheduleUsage());
    return kUsageError;
}

// "--name value" and "--name=value" alike; the rest is the action and number.
bool readAddWords(const QStringList &words, RuleInput &input, QString *problem)
{
    const QList<std::pair<QString, QString *>> options{{u"--days"_s, &input.days},  {u"--at"_s, &input.at},
                                                       {u"--reason"_s, &input.reason}, {u"--port"_s, &input.port},
                                                       {u"--line"_s, &input.line}};
    QStringList positional;
    for (qsizetype next = 0; next < words.size(); ++next) {
        QString word = words.at(next);
        if (!word.startsWith(u"--"_s)) {
            positional << word;
            continue;
        }
        QString value;
        if (const qsizetype equals = word.indexOf(u'='); equals > 0) {
            value = word.mid(equals + 1);
            word.truncate(equals);
        } else if (next + 1 < words.size()) {
            value = words.at(++next);
        } else {
            *problem = word + u" demande une valeur"_s;
            return false;
        }
        const auto option = std::find_if(options.begin(), options.end(), [&word](const auto &o) { return o.first == word; });
        if (option == options.end()) {
            *problem = u"option inconnue : "_s + word;
            return false;
        }
        *option->second = value;
    }
    if (input.days.isNull() || input.at.isNull() || positional.isEmpty() || positional.size() > 2) {
        *problem = u"schedule add demande --days, --at et l'action : forward NUMÉRO ou cancel"_s;
        return false;
    }
    input.action = positional.value(0);
    input.number = positional.value(1);
    return true;
}

// Runs the loop until the schedule has done what it was asked; its messages
// go to stderr.
WeeklySchedule::Result waitFor(WeeklySchedule &schedule, const std::function<void()> &start)
{
    WeeklySchedule::Result outcome;
    QObject::connect(&schedule, &WeeklySchedule::finished, &schedule, [&outcome](const WeeklySchedule::Result &result) {
        for (const QString &text : {result.message, result.note}) {
            if (!text.isEmpty())
                printErr(u"renvoliactl: "_s + text);
        }
        outcome = result;
        QCoreApplication::exit();
    }, Qt::QueuedConnection);
    start();
    QCoreApplication::exec();
    return outcome;
}

int addCommand(const QStringList &words)
{
    RuleInput input;
    QString problem;
    if (!readAddWords(words, input, &problem))
        return usageError(problem);
    const std::optional<ScheduleRule> rule = ruleFrom(input, &problem);
    if (!rule)
        return usageError(problem);
    const std::unique_ptr<ScheduleBackend> backend = platformScheduleBackend();
    WeeklySchedule schedule(*backend);
    const WeeklySchedule::Result result = waitFor(schedule, [&] { schedule.add(*rule); });
    if (result.succeeded)
        printOut(QString::number(result.id));
    return result.succeeded ? 0 : kNotDone;
}

int removeCommand(const QStringList &words)
{
    bool ok = false;
    const int id = words.value(0).toInt(&ok);
    if (words.size() != 1 || !ok)
        return usageError(u"schedule remove demande le numéro d'une règle"_s);
    if (!RuleStore::holds(id))
        return usageError(u"aucune règle n° %1"_s.arg(id));
    const std::unique_ptr<ScheduleBackend> backend = platformScheduleBackend();
    WeeklySchedule schedule(*backend);
    return waitFor(schedule, [&] { schedule.remove(id); }).succeeded ? 0 : kNotDone;
}

int listCommand(const QStringList &words)
{
    const bool json = words == QStringList{u"--json"_s};
    if (!words.isEmpty() && !json)
        return usageError(u"schedule list ne prend que --json"_s);
    const QDateTime now = QDateTime::currentDateTime();
    for (const ScheduleRule &rule : RuleStore::load()) {
        const QDateTime next = nextRun(rule, now);
        if (json) {
            const QJsonObject object{{u"id"_s, rule.id},
                                     {u"days"_s, rule.days.french()},
                                     {u"at"_s, rule.atText()},
                                     {u"action"_s, rule.actionName()},
                                     {u"number"_s, rule.request.number},
                                     {u"reason"_s, reasonName(rule.request.reason)},
                                     {u"port"_s, rule.port},
                                     {u"line"_s, lineKindName(rule.line)},
                                     {u"next"_s, isoTimestamp(next)}};
            printOut(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else {
            printOut(u"%1\t%2\t%3\t%4\tCOM%5\tprochaine fois : %6"_s.arg(rule.id)
                         .arg(rule.days.french(), rule.atText(), rule.actionDescription())
                         .arg(rule.port)
                         .arg(next.toString(u"dd/MM/yyyy HH:mm"_s)));
        }
    }
    // Shown, so that they can be removed.
    for (const RuleStore::UnreadableRule &rule : RuleStore::unreadable()) {
        if (json)
            printOut(QString::fromUtf8(QJsonDocument(QJsonObject{{u"id"_s, rule.id}, {u"unreadable"_s, rule.problem}})
                                           .toJson(QJsonDocument::Compact)));
        else
            printOut(u"%1	illisible : %2"_s.arg(rule.id).arg(rule.problem));
    }
    return 0;
}

} // namespace

int scheduleCommand(const QStringList &words)
{
    PortSetting::load();
    const QString verb = words.value(0);
    const QStringList rest = words.mid(1);
    if (verb == u"add"_s)
        return addCommand(rest);
    if (verb == u"remove"_s)
        return removeCommand(rest);
    if (verb == u"list"_s)
        return listCommand(rest);
    if (verb == u"--help"_s) {
        printOut(scheduleUsage());
        return 0;
    }
    return usageError(verb.isEmpty() ? u"schedule demande add, list ou remove"_s
                                     : u"schedule ne connaît pas « %1 » (add, list ou remove)"_s.arg(verb));
}

QString scheduleUsage()
{
    return uR"(Usage :
  renvoliactl schedule add --days JOURS --at HH:NN forward NUMÉRO [--reason MOTIF] [--port N] [--line L]
  renvoliactl schedule add --days JOURS --at HH:NN cancel [--reason MOTIF] [--port N] [--line L]
  renvoliactl schedule list [--json]
  renvoliactl schedule remove N

JOURS : lun mar mer jeu ven sam dim, une plage (lun-ven), une liste (sam,dim)
ou tous. Chaque règle devient un minuteur systemd de l'utilisateur
(renvolia-N.timer) qui lance renvoliactl avec --quiet ; le port et la ligne
sont par défaut ceux qu'a retenus Renvolia.
)"_s;
}
