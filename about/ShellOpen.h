#pragma once

#include <QString>

#include <optional>

// The platform's show-default window mode.
inline constexpr qint32 kShowDefault = 10;

// Hands sTarget to the shell with sVerb, as ShellExecuteA does, and returns
// the shell's code unchanged: above 32 the request was accepted. With
// bShowErrors a failure is first explained in a modal message box.
qint32 ShellOpen(const QString &sTarget, const QString &sVerb, const std::optional<QString> &sParameters,
                 const std::optional<QString> &sDirectory, qint32 lShowCommand, qintptr lOwnerWindow,
                 bool bShowErrors);

// What ShellOpen does once the shell has answered: with bShowErrors and a
// failure code, the modal box that explains it; nothing otherwise.
void explainShellResult(qint32 lResult, bool bShowErrors);
