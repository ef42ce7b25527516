#pragma once

#include "ForwardingReason.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the network forwards voice calls to for one reason, as a status query
// tells it.
struct ForwardingStatus
{
    ForwardingReason reason = ForwardingReason::All;
    bool active = false;
    QString number; // with its "+" when the network gave the international type 145

    // From the information lines of "AT+CCFC=<reason>,2": every line
    // "+CCFC: <status>,<class>[,<number>[,<type>[,<subaddr>,<satype>[,<time>]]]]"
    // must read as such; the voice class (bit 1 of <class>) is kept, other
    // lines are unsolicited codes and pass. Nothing when a "+CCFC:" line is
    // not understood, *problem then saying which.
    static std::optional<ForwardingStatus> fromLines(const QStringList &lines, QString *problem);

    // "Renvoi actif vers +33612345678", "Renvoi actif" when the network
    // gave no number, or "Aucun renvoi actif".
    QString reportLine() const;
};
