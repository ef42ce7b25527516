#include "ScheduleRule.h"

#include "CommandLine.h"
#include "LaunchSchedule.h"
#include "LineDialogue.h"
#include "PortRange.h"
#include "PortSetting.h"

using namespace Qt::StringLiterals;

namespace {

const QString kForward = u"forward"_s;
const QString kCancel = u"cancel"_s;

std::optional<int> portNumbered(const QString &text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    return ok && isPortInRange(port) ? std::optional<int>(port) : std::nullopt;
}

bool fail(QString *problem, const QString &text)
{
    *problem = text;
    return false;
}

bool readWhen(const RuleInput &input, ScheduleRule &rule, QString *problem)
{
    const std::optional<WeekDays> days = WeekDays::parse(input.days);
    if (!days)
        return fail(problem, u"jours non compris : « %1 » (lun mar mer jeu ven sam dim, une plage lun-ven, "
                             "une liste sam,dim ou tous)"_s.arg(input.days));
    const std::optional<QTime> at = LaunchSchedule::startTimeOfDay(input.at);
    if (!at)
        return fail(problem, u"heure non valide : « %1 » (hh:nn)"_s.arg(input.at));
    rule.days = *days;
    rule.at = QTime(at->hour(), at->minute());
    return true;
}

bool readAction(const RuleInput &input, ScheduleRule &rule, QString *problem)
{
    const std::optional<ForwardingReason> reason =
        input.reason.isEmpty() ? ForwardingReason::All : reasonNamed(input.reason);
    if (!reason)
        return fail(problem, u"motif inconnu : « %1 » (all, busy, no-reply, not-reachable, all-conditional "
                             "ou every)"_s.arg(input.reason));
    if (input.action == kCancel) {
        rule.request = OperationRequest::cancellation(*reason);
        return input.number.isEmpty() || fail(problem, u"une annulation ne prend pas de numéro"_s);
    }
    if (input.action != kForward)
        return fail(problem, u"action inconnue : « %1 » (forward NUMÉRO ou cancel)"_s.arg(input.action));
    if (input.number.isEmpty())
        return fail(problem, u"le renvoi demande le numéro vers lequel renvoyer les appels"_s);
    if (const QString why = forwardingNumberProblem(input.number); !why.isEmpty())
        return fail(problem, why);
    rule.request = OperationRequest::forwarding(input.number, *reason);
    return true;
}

bool readLine(const RuleInput &input, ScheduleRule &rule, QString *problem)
{
    const std::optional<int> port = input.port.isEmpty() ? portNumbered(PortSetting::current()) : portNumbered(input.port);
    if (!port)
        return fail(problem, u"port non valide : « %1 » (%2)"_s
                                 .arg(input.port.isEmpty() ? PortSetting::current() : input.port, portRangeText()));
    const std::optional<LineKind> line = input.line.isEmpty() ? PortSetting::currentLine() : lineKindNamed(input.line);
    if (!line)
        return fail(problem, u"type de ligne inconnu : « %1 » (analog ou mobile)"_s.arg(input.line));
    rule.port = *port;
    rule.line = *line;
    QString refusal;
    if (dialogueFor(*line)->attemptCommand(rule.request, &refusal).isEmpty())
        return fail(problem, refusal);
    return true;
}

} // namespace

QString ScheduleRule::atText() const
{
    return at.toString(u"HH:mm"_s);
}

QString ScheduleRule::actionName() const
{
    return forwards() ? kForward : kCancel;
}

QString ScheduleRule::actionDescription() const
{
    QString text = forwards() ? u"renvoi vers "_s + request.number : u"annulation"_s;
    if (request.reason != ForwardingReason::All)
        text += u" ("_s + reasonName(request.reason) + u')';
    return text;
}

QStringList ScheduleRule::ctlArguments() const
{
    QStringList arguments{actionName()};
    if (forwards())
        arguments << request.number;
    if (request.reason != ForwardingReason::All)
        arguments << u"--reason"_s << reasonName(request.reason);
    arguments << u"--port"_s << QString::number(port) << u"--line"_s << lineKindName(line) << u"--quiet"_s;
    return arguments;
}

QString ScheduleRule::unitName() const
{
    return u"renvolia-%1"_s.arg(id);
}

std::optional<ScheduleRule> ruleFrom(const RuleInput &input, QString *problem)
{
    ScheduleRule rule;
    problem->clear();
    if (readWhen(input, rule, problem) && readAction(input, rule, problem) && readLine(input, rule, problem))
        return rule;
    return std::nullopt;
}
