#pragma once

#include <QString>

#include <algorithm>

// What a starter hands to the report window.
struct OperationRequest
{
    enum class Kind { Forwarding, Cancellation };

    Kind kind = Kind::Cancellation;
    QString number; // dialled exactly as written; empty for a cancellation

    static OperationRequest forwarding(const QString &number) { return {Kind::Forwarding, number}; }
    static OperationRequest cancellation() { return {Kind::Cancellation, {}}; }

    // Only ASCII digits, "+" and blanks may reach the modem: anything else
    // could end the dial command early or start another one.
    bool isSafeToDial() const
    {
        return std::all_of(number.begin(), number.end(),
                           [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'+' || c == u' '; });
    }
};
