#pragma once

#include <QByteArray>
#include <QMap>

#include <utility>

// What a cellular modem and its network answer to AT commands other than a
// dial: the call forwarding table per reason and class that AT+CCFC registers,
// erases and queries, in the form of 3GPP TS 27.007 (7.11), and AT+CMEE.
// Faults can be ordered for the next requests.
class CellularNetwork
{
public:
    // The whole answer to one command: information lines, then the final
    // result code unless it is to be dropped.
    QByteArray answer(const QByteArray &command);

    // The next count AT+CCFC requests are refused with "+CME ERROR: <code>"
    // (plain "ERROR" until AT+CMEE=1 has been accepted).
    void refuseNext(int count, int cmeError);
    // The next count AT+CCFC requests are answered without their final result code.
    void dropFinalResults(int count);
    // The next AT+CCFC request gets these bytes instead of its answer.
    void answerNextWith(const QByteArray &bytes);
    // A modem that knows no AT+CMEE: it answers "ERROR", and so it reports every error.
    void setErrorCodesSupported(bool supported);
    // The classes the subscription may forward (bits: voice 1, data 2, fax 4;
    // all by default). A request that names another one, or no class (7),
    // is refused with "+CME ERROR: 3", as a voice-only subscription is.
    void setSubscribedClasses(int classes);

private:
    struct Forwarding
    {
        QByteArray number;
        int type = 129;
        int time = 20;
        bool active = true;
    };
    using Slot = std::pair<int, int>; // reason 0..3, class bit 1, 2 or 4

    QByteArray forwardingRequest(const QByteArray &arguments);
    QByteArray setErrorCodes(const QByteArray &arguments);
    QByteArray query(int reason) const;
    QByteArray error(int code) const;

    QMap<Slot, Forwarding> m_table;
    int m_refusals = 0;
    int m_refusalCode = 0;
    int m_drops = 0;
    QByteArray m_nextAnswer;
    bool m_errorCodesSupported = true;
    int m_subscribedClasses = 7;
    bool m_numericErrors = false; // AT+CMEE=1 accepted
};
