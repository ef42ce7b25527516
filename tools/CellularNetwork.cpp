#include "CellularNetwork.h"

#include <QList>
#include <QRegularExpression>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int kOperationNotAllowed = 3;
constexpr int kOperationNotSupported = 4;
constexpr int kIncorrectParameters = 50;
const QByteArray kOk = "\r\nOK\r\n";
const QList<int> kClassBits{1, 2, 4}; // voice, data, fax

enum Mode { Disable = 0, Enable = 1, Query = 2, Registration = 3, Erasure = 4 };

// What a modem manager asks when it probes a new modem, and the answers that
// make it take this one for a 3GPP modem with a SIM card ready.
QByteArray identityAnswer(const QByteArray &upper)
{
    static const QList<std::pair<QByteArray, QByteArray>> answers{
        {"AT+CGMI", "Renvolia"}, {"AT+CGMM", "Modem simule"}, {"AT+CGMR", "1.0"},
        {"AT+CGSN", "356938035643809"}, {"AT+GCAP", "+GCAP: +CGSM"}, {"AT+CPIN?", "+CPIN: READY"},
        {"AT+CFUN?", "+CFUN: 1"}, {"AT+CIMI", "208150000000001"}};
    for (const auto &[command, text] : answers) {
        if (upper == command)
            return "\r\n" + text + "\r\n" + kOk;
    }
    return {};
}

// All forwarding (4) covers the four reasons, all conditional (5) the last three.
QList<int> reasonsCoveredBy(int reason)
{
    if (reason == 4)
        return {0, 1, 2, 3};
    if (reason == 5)
        return {1, 2, 3};
    return {reason};
}

} // namespace

QByteArray CellularNetwork::answer(const QByteArray &command)
{
    const QByteArray upper = command.trimmed().toUpper();
    if (upper.startsWith("AT+CMEE="))
        return setErrorCodes(upper.mid(8));
    if (const QByteArray identity = identityAnswer(upper); !identity.isEmpty())
        return identity;
    if (!upper.startsWith("AT+CCFC="))
        return kOk;
    if (!m_nextAnswer.isEmpty())
        return std::exchange(m_nextAnswer, {});
    if (m_refusals > 0) {
        --m_refusals;
        return error(m_refusalCode);
    }
    const QByteArray answer = forwardingRequest(command.trimmed().mid(8));
    if (m_drops > 0) {
        --m_drops;
        return answer.left(answer.lastIndexOf("\r\n", answer.size() - 3));
    }
    return answer;
}

void CellularNetwork::refuseNext(int count, int cmeError)
{
    m_refusals = count;
    m_refusalCode = cmeError;
}

void CellularNetwork::answerNextWith(const QByteArray &bytes)
{
    m_nextAnswer = bytes;
}

void CellularNetwork::dropFinalResults(int count)
{
    m_drops = count;
}

void CellularNetwork::setSubscribedClasses(int classes)
{
    m_subscribedClasses = classes;
}

void CellularNetwork::setErrorCodesSupported(bool supported)
{
    m_errorCodesSupported = supported;
}

QByteArray CellularNetwork::setErrorCodes(const QByteArray &arguments)
{
    if (!m_errorCodesSupported)
        return "\r\nERROR\r\n";
    m_numericErrors = arguments == "1";
    return kOk;
}

// <reason>,<mode>[,["<number>"][,<type>[,<class>[,<subaddr>[,<satype>[,<time>]]]]]]
QByteArray CellularNetwork::forwardingRequest(const QByteArray &arguments)
{
    static const QRegularExpression request(QRegularExpression::anchoredPattern(
        uR"re(([0-5]),([0-4])(?:,(?:"([+0-9*#]*)")?(?:,(\d*)(?:,(\d*)(?:,[^,]*(?:,\d*(?:,(\d*))?)?)?)?)?)?)re"_s));
    const QRegularExpressionMatch match = request.match(QString::fromLatin1(arguments));
    if (!match.hasMatch())
        return error(kIncorrectParameters);
    const int reason = match.captured(1).toInt();
    const int mode = match.captured(2).toInt();
    if (mode == Query)
        return reason > 3 ? error(kOperationNotSupported) : query(reason);
    const QByteArray number = match.captured(3).toLatin1();
    if (mode == Registration && number.isEmpty())
        return error(kIncorrectParameters);
    const int classes = match.captured(5).isEmpty() ? 7 : match.captured(5).toInt();
    if (classes & ~m_subscribedClasses)
        return error(kOperationNotAllowed);
    const int type = match.captured(4).isEmpty() ? (number.startsWith('+') ? 145 : 129) : match.captured(4).toInt();
    const int time = match.captured(6).isEmpty() ? 20 : match.captured(6).toInt();
    for (const int each : reasonsCoveredBy(reason)) {
        for (const int bit : kClassBits) {
            if (!(classes & bit))
                continue;
            const Slot slot{each, bit};
            if (mode == Registration)
                m_table.insert(slot, {number, type, time, true});
            else if (mode == Erasure)
                m_table.remove(slot);
            else if (m_table.contains(slot))
                m_table[slot].active = mode == Enable;
        }
    }
    return kOk;
}

QByteArray CellularNetwork::query(int reason) const
{
    QByteArray lines;
    for (const int bit : kClassBits) {
        const auto found = m_table.constFind({reason, bit});
        if (found == m_table.constEnd() || !found->active)
            continue;
        lines += "\r\n+CCFC: 1," + QByteArray::number(bit) + ",\"" + found->number + "\","
            + QByteArray::number(found->type);
        if (reason == 2)
            lines += ",,," + QByteArray::number(found->time);
        lines += "\r\n";
    }
    return (lines.isEmpty() ? "\r\n+CCFC: 0,7\r\n"_ba : lines) + kOk;
}

QByteArray CellularNetwork::error(int code) const
{
    if (!m_numericErrors)
        return "\r\nERROR\r\n";
    return "\r\n+CME ERROR: " + QByteArray::number(code) + "\r\n";
}
