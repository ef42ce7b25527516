#pragma once

#include <QList>
#include <QString>

// A process that holds a device open.
struct PortHolder
{
    qint64 pid = 0;
    QString program;

    QString describe() const; // "pid 1234 (socat)"
};

// The other processes that hold the device open, found as fuser finds them:
// through /proc/<pid>/fd. Programs that take neither the lock file nor
// flock() (terminal programs, socat, modem daemons probing the device) are
// only seen this way. Processes of other users are invisible unless we are
// root. Empty where there is no /proc.
QList<PortHolder> otherProcessesHolding(const QString &devicePath);
