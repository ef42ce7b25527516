#pragma once

#include "ForwardingReason.h"

#include <QString>

#include <algorithm>
#include <optional>

// What a starter hands to the report window, or renvoliactl to the engine.
struct OperationRequest
{
    // Status asks the network what is forwarded; only a mobile line can.
    enum class Kind { Forwarding, Cancellation, Status };

    Kind kind = Kind::Cancellation;
    QString number; // dialled exactly as written; empty for a cancellation
    ForwardingReason reason = ForwardingReason::All;
    std::optional<int> noReplySeconds; // how long the phone rings before a no-reply forwarding

    static OperationRequest forwarding(const QString &number, ForwardingReason reason = ForwardingReason::All)
    {
        return {Kind::Forwarding, number, reason, std::nullopt};
    }
    static OperationRequest cancellation(ForwardingReason reason = ForwardingReason::All)
    {
        return {Kind::Cancellation, {}, reason, std::nullopt};
    }

    // Only ASCII digits, "+" and blanks may reach the modem: anything else
    // could end the dial command early or start another one.
    bool isSafeToDial() const
    {
        return std::all_of(number.begin(), number.end(),
                           [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'+' || c == u' '; });
    }
};
