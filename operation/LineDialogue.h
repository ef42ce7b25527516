#pragma once

#include "ForwardingStatus.h"
#include "LineKind.h"
#include "OperationRequest.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// How the modem answered one command.
struct ReplyVerdict
{
    enum class State { Pending, Accepted, Refused };

    State state = State::Pending;
    QString diagnostic;                     // why it was refused, for the log and the journal
    std::optional<ForwardingStatus> status; // what a status query found
    QString refusedForGood;                 // why retrying cannot help, for the report; empty otherwise
};

// What differs between the kinds of line in the forwarding engine: the
// commands before the first attempt, the command of an attempt, how a reply
// is judged, and whether an accepted attempt is a call to hang up. Every
// command ends with a single CR.
class LineDialogue
{
public:
    virtual ~LineDialogue() = default;

    // Sent once, before the first attempt; each gets its answer or the
    // listening time before the next, and a refusal is only told in the
    // diagnostics.
    virtual QStringList setupCommands() const = 0;
    // Empty, with *problem set, when this request cannot go out on this line.
    virtual QString attemptCommand(const OperationRequest &request, QString *problem) const = 0;
    // Asks the network what it forwards now for one single reason, after an
    // accepted forwarding or cancellation or for a status request (whose
    // attempt asks about the first reason it covers); empty when the line
    // cannot ask.
    virtual QString statusQuery(ForwardingReason reason) const = 0;
    // received: everything since the command; timeUp: the listening time is
    // over; query: the command asked for the forwarding status.
    virtual ReplyVerdict judge(const QString &received, bool timeUp, bool query) const = 0;
    virtual bool acceptedAttemptIsACall() const = 0;
};

std::unique_ptr<LineDialogue> dialogueFor(LineKind kind);
