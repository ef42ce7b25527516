#pragma once

#include "OperationRequest.h"

#include <QString>

// The codes an analogue line dials, per reason, "{number}" standing for the
// number. The standard codes serve by default; an entry "<reason>-forward" or
// "<reason>-cancel" in the section "Codes" of the settings store replaces one,
// for a network that uses others.
namespace ServiceCodes {

inline const QString kSection = QStringLiteral("Codes");
inline const QString kNumber = QStringLiteral("{number}");

// Empty when neither the store nor the standard has a code for this.
QString code(OperationRequest::Kind kind, ForwardingReason reason);

// "busy-forward": the entry's name in the section.
QString entryName(OperationRequest::Kind kind, ForwardingReason reason);

} // namespace ServiceCodes
