#include "MobileDialogue.h"

#include "CellularReply.h"
#include "CommandLine.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kInternationalType = 145;
constexpr int kNationalType = 129;

enum Mode { Registration = 3, Erasure = 4, Query = 2 };

QString ccfc(ForwardingReason reason, Mode mode)
{
    return u"AT+CCFC=%1,%2"_s.arg(static_cast<int>(reason)).arg(mode);
}

ReplyVerdict refused(const QString &why, const QString &received)
{
    return {ReplyVerdict::State::Refused, why + u"; received "_s + visibleText(received), {}};
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
        return ccfc(request.reason, Erasure) + u'\r';
    case OperationRequest::Kind::Status:
        return ccfc(request.reason, Query) + u'\r';
    case OperationRequest::Kind::Forwarding:
        break;
    }
    *problem = forwardingNumberProblem(request.number);
    if (!problem->isEmpty())
        return {};
    const int type = request.number.startsWith(u'+') ? kInternationalType : kNationalType;
    QString command = ccfc(request.reason, Registration) + u",\"%1\",%2"_s.arg(request.number).arg(type);
    if (request.noReplySeconds) // after <class>, <subaddr> and <satype>, left to the modem
        command += u",,,,%1"_s.arg(*request.noReplySeconds);
    return command + u'\r';
}

QString MobileDialogue::followUpQuery(const OperationRequest &request) const
{
    return ccfc(request.reason, Query) + u'\r';
}

ReplyVerdict MobileDialogue::judge(const QString &received, bool timeUp, bool query) const
{
    const CellularReply reply = CellularReply::parse(received, timeUp);
    switch (reply.final) {
    case CellularReply::Final::None:
        if (!timeUp)
            return {};
        return refused(u"no final result code within the listening time"_s, received);
    case CellularReply::Final::Error:
        return refused(u"the modem answered "_s + reply.errorDescription(), received);
    case CellularReply::Final::Ok:
        break;
    }
    if (!query)
        return {ReplyVerdict::State::Accepted, {}, {}};
    QString problem;
    const std::optional<ForwardingStatus> status = ForwardingStatus::fromLines(reply.lines, &problem);
    if (!status)
        return refused(problem, received);
    return {ReplyVerdict::State::Accepted, {}, status};
}

bool MobileDialogue::acceptedAttemptIsACall() const
{
    return false;
}
