#include "AnalogDialogue.h"

#include "ServiceCodes.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// What a code may hold besides the number: nothing that ends the dial
// command or starts another one.
bool isDialableCode(QString code)
{
    code.remove(ServiceCodes::kNumber);
    return !code.isEmpty() && std::all_of(code.cbegin(), code.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || c == u'+';
    });
}

} // namespace

QStringList AnalogDialogue::setupCommands() const
{
    return {};
}

QString AnalogDialogue::attemptCommand(const OperationRequest &request, QString *problem) const
{
    if (!request.isSafeToDial()) {
        *problem = u"« %1 » n'est pas composé : seuls des chiffres, « + » et des blancs parviennent au modem"_s.arg(request.number);
        return {};
    }
    if (request.kind == OperationRequest::Kind::Status || request.noReplySeconds) {
        *problem = u"impossible sur une ligne analogique"_s;
        return {};
    }
    const QString code = ServiceCodes::code(request.kind, request.reason);
    if (!isDialableCode(code)) {
        *problem = u"aucun code à composer pour %1 dans la section %2 des réglages (« %3 »)"_s.arg(
            ServiceCodes::entryName(request.kind, request.reason), ServiceCodes::kSection, code);
        return {};
    }
    return u"ATDT"_s + QString(code).replace(ServiceCodes::kNumber, request.number) + u";\r"_s;
}

QString AnalogDialogue::statusQuery(ForwardingReason) const
{
    return {};
}

ReplyVerdict AnalogDialogue::judge(const QString &received, bool timeUp, bool) const
{
    using S = ReplyVerdict::State;
    if (!timeUp)
        return {S::Pending, {}, {}, {}};
    return {received.contains(u"OK"_s) ? S::Accepted : S::Refused, {}, {}, {}};
}

bool AnalogDialogue::acceptedAttemptIsACall() const
{
    return true;
}
