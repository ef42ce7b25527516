#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the network forwards voice calls to, as a status query tells it.
struct ForwardingStatus
{
    bool active = false;
    QString number;

    // From the information lines of "AT+CCFC=<reason>,2": every line
    // "+CCFC: <status>,<class>[,<number>,<type>[,<subaddr>,<satype>[,<time>]]]"
    // must read as such; the voice class (bit 1 of <class>) is kept, other
    // lines are unsolicited codes and pass. Nothing when a "+CCFC:" line is
    // not understood, *problem then saying which.
    static std::optional<ForwardingStatus> fromLines(const QStringList &lines, QString *problem);

    // "Renvoi actif vers +33612345678" or "Aucun renvoi actif".
    QString reportLine() const;
};
