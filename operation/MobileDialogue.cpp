#include "MobileDialogue.h"

#include "CellularReply.h"
#include "CommandLine.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kInternationalType = 145;
constexpr int kNationalType = 129;
// Registrations and erasures name the voice class, as phones do: without a
// class they cover data and fax too (7), which many subscriptions refuse.
constexpr int kVoiceClass = 1;

enum Mode { Registration = 3, Erasure = 4, Query = 2 };

QString ccfc(ForwardingReason reason, Mode mode)
{
    return u"AT+CCFC=%1,%2"_s.arg(static_cast<int>(reason)).arg(mode);
}

ReplyVerdict refused(const QString &why, const QString &received)
{
    return {ReplyVerdict::State::Refused, why + u" ; reçu "_s + visibleText(received), {}, {}};
}

ReplyVerdict refusedBy(const CellularReply &reply, const QString &received)
{
    ReplyVerdict verdict = refused(u"le modem a répondu "_s + reply.errorDescription(), received);
    if (reply.refusesForGood())
        verdict.refusedForGood = reply.errorDescription();
    return verdict;
}

} // namespace

QStringList MobileDialogue::setupCommands() const
{
    return {u"ATE0\r"_s, u"AT+CMEE=1\r"_s};
}

QString MobileDialogue::attemptCommand(const OperationRequest &request, QString *problem) const
{
    switch (request.kind) {
    case OperationRequest::Kind::Cancellation:
        return ccfc(request.reason, Erasure) + u",,,%1\r"_s.arg(kVoiceClass);
    case OperationRequest::Kind::Status:
        return statusQuery(singleReasonsOf(request.reason).constFirst());
    case OperationRequest::Kind::Forwarding:
        break;
    }
    *problem = forwardingNumberProblem(request.number);
    if (!problem->isEmpty())
        return {};
    const int type = request.number.startsWith(u'+') ? kInternationalType : kNationalType;
    QString command = ccfc(request.reason, Registration) + u",\"%1\",%2,%3"_s.arg(request.number).arg(type).arg(kVoiceClass);
    if (request.noReplySeconds) // after <subaddr> and <satype>, left to the modem
        command += u",,,%1"_s.arg(*request.noReplySeconds);
    return command + u'\r';
}

QString MobileDialogue::statusQuery(ForwardingReason reason) const
{
    return ccfc(reason, Query) + u'\r';
}

ReplyVerdict MobileDialogue::judge(const QString &received, bool timeUp, bool query) const
{
    const CellularReply reply = CellularReply::parse(received, timeUp);
    switch (reply.final) {
    case CellularReply::Final::None:
        if (!timeUp)
            return {};
        return refused(u"aucun code de résultat final dans le temps d'écoute"_s, received);
    case CellularReply::Final::Error:
        return refusedBy(reply, received);
    case CellularReply::Final::Ok:
        break;
    }
    if (!query)
        return {ReplyVerdict::State::Accepted, {}, {}, {}};
    QString problem;
    const std::optional<ForwardingStatus> status = ForwardingStatus::fromLines(reply.lines, &problem);
    if (!status)
        return refused(problem, received);
    return {ReplyVerdict::State::Accepted, {}, status, {}};
}

bool MobileDialogue::acceptedAttemptIsACall() const
{
    return false;
}
