#pragma once

#include "ForwardingStatus.h"

#include <QList>

// What the network forwards for the reasons a request covers. Networks refuse
// to be asked about every forwarding (4) or all conditional ones (5) as such
// ("+CME ERROR: 4"), so each single reason they cover is asked on its own and
// the answers are summed up here.
class StatusSurvey
{
public:
    explicit StatusSurvey(ForwardingReason asked = ForwardingReason::All);

    bool isComplete() const;
    // The reason to ask about now; only while the survey is not complete.
    ForwardingReason nextReason() const;
    // The network's answer about nextReason().
    void record(ForwardingStatus status);
    const QList<ForwardingStatus> &answers() const;

    // One reason: its status's own line. Several: "Aucun renvoi actif", or
    // the active ones by number, "Renvoi actif vers 0611 si occupé, sans
    // réponse ; vers 0622 si injoignable".
    QString reportLine() const;

private:
    QList<ForwardingReason> m_reasons;
    QList<ForwardingStatus> m_answers;
};
