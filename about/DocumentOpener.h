#pragma once

#include <QString>

// Stands in for the shell-execute service where the platform has none: hands
// a target to the desktop through xdg-open, found on PATH, and answers with
// the shell's codes. A local file (an absolute path or a file: URL, "\"
// accepted as a folder separator) is checked first; anything else, a web
// address or a "mailto: " link, goes to xdg-open as it is.
namespace DocumentOpener {

// What the shell answers for an accepted request.
inline constexpr qint32 kHandedOver = 42;

qint32 open(const QString &sTarget);

} // namespace DocumentOpener
