#pragma once

#include <QString>

#include <optional>

// What the modem's line is: an analogue telephone line that dials the
// network's codes, or a cellular modem that takes AT+CCFC.
enum class LineKind { Analog, Mobile };

// "analog" or "mobile", as stored and as typed after --line.
QString lineKindName(LineKind kind);
std::optional<LineKind> lineKindNamed(const QString &name);
