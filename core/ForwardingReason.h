#pragma once

#include <QList>
#include <QString>

#include <optional>

// When the network forwards a call. The values are the <reason> codes of
// AT+CCFC (3GPP TS 27.007, 7.11).
enum class ForwardingReason { All = 0, Busy = 1, NoReply = 2, NotReachable = 3, Every = 4, AllConditional = 5 };

// "all", "busy", "no-reply", "not-reachable", "every", "all-conditional".
QString reasonName(ForwardingReason reason);
std::optional<ForwardingReason> reasonNamed(const QString &name);

// The single reasons (all, busy, no-reply, not-reachable) that a reason
// stands for: every forwarding the four of them, all conditional ones the
// last three, any other reason itself.
QList<ForwardingReason> singleReasonsOf(ForwardingReason reason);
