#pragma once

#include <QString>

// Result codes of the shell-execute service; above DllNotFound the request
// was accepted.
namespace ShellCode {

enum : qint32 {
    OutOfResources = 0,
    FileNotFound = 2,
    PathNotFound = 3,
    AccessDenied = 5,
    OutOfMemory = 8,
    BadFormat = 11,
    SharingViolation = 26,
    AssociationIncomplete = 27,
    DdeTimeout = 28,
    DdeFailed = 29,
    DdeBusy = 30,
    NoAssociation = 31,
    DllNotFound = 32,
};

constexpr bool isFailure(qint32 code)
{
    return code <= DllNotFound;
}

} // namespace ShellCode

// The French explanation of a failure code; empty for an accepted request.
QString shellErrorText(qint32 code);
