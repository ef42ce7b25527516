#pragma once

#include <QString>

// What a starter hands to the report window.
struct OperationRequest
{
    enum class Kind { Forwarding, Cancellation };

    Kind kind = Kind::Cancellation;
    QString number; // dialled exactly as written; empty for a cancellation

    static OperationRequest forwarding(const QString &number) { return {Kind::Forwarding, number}; }
    static OperationRequest cancellation() { return {Kind::Cancellation, {}}; }
};
