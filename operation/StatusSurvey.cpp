#include "StatusSurvey.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

QString whenForwarded(ForwardingReason reason)
{
    switch (reason) {
    case ForwardingReason::Busy:
        return u"si occupé"_s;
    case ForwardingReason::NoReply:
        return u"sans réponse"_s;
    case ForwardingReason::NotReachable:
        return u"si injoignable"_s;
    default:
        return u"pour tous les appels"_s;
    }
}

} // namespace

StatusSurvey::StatusSurvey(ForwardingReason asked)
    : m_reasons(singleReasonsOf(asked))
{
}

bool StatusSurvey::isComplete() const
{
    return m_answers.size() >= m_reasons.size();
}

ForwardingReason StatusSurvey::nextReason() const
{
    return m_reasons.at(m_answers.size());
}

void StatusSurvey::record(ForwardingStatus status)
{
    status.reason = nextReason();
    m_answers << status;
}

const QList<ForwardingStatus> &StatusSurvey::answers() const
{
    return m_answers;
}

QString StatusSurvey::reportLine() const
{
    if (m_reasons.size() == 1 && m_answers.size() == 1)
        return m_answers.constFirst().reportLine();
    QStringList numbers; // in the order the network gave them
    QHash<QString, QStringList> reasonsByNumber;
    for (const ForwardingStatus &status : m_answers) {
        if (!status.active)
            continue;
        if (!reasonsByNumber.contains(status.number))
            numbers << status.number;
        reasonsByNumber[status.number] << whenForwarded(status.reason);
    }
    if (numbers.isEmpty())
        return ForwardingStatus().reportLine();
    QStringList groups;
    for (const QString &number : std::as_const(numbers))
        groups << (number.isEmpty() ? QString() : u"vers "_s + number + u' ') + reasonsByNumber.value(number).join(u", "_s);
    return u"Renvoi actif "_s + groups.join(u" ; "_s);
}
