#pragma once

#include <QList>
#include <QString>

// A process that holds a device open.
struct PortHolder
{
    qint64 pid = 0;
    QString program;

    QString describe() const; // "le pid 1234 (socat)"
};

// The other processes that hold the device open, found as fuser finds them:
// through /proc/<pid>/fd. Programs that take neither the lock file nor
// flock() (terminal programs, socat, modem daemons probing the device) are
// only seen this way. A process that also holds the master of the device's
// pseudo-terminal is the modem behind it (a soft modem such as iaxmodem, a
// simulator, socat's PTY end), not a competitor, and is left out. Processes
// of other users are invisible unless we are root. Empty where there is no /proc.
QList<PortHolder> otherProcessesHolding(const QString &devicePath);

// Who keeps the device's UUCP lock file (LCK..<name>, in the first lock
// folder that holds one, as Qt SerialPort names and looks for it), for people:
// "tenu par le pid 1234 (renvoliactl)", or the stale lock of a process gone
// that this user may not remove.
QString lockFileOwnerText(const QString &devicePath);
