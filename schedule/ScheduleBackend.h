#pragma once

#include "ScheduleRule.h"

#include <QObject>

#include <memory>

// What makes a rule run by itself: systemd user timers on Linux, Task
// Scheduler tasks on Windows. Each call ends with one done().
class ScheduleBackend : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Active,   // running by itself from now on (or, after uninstall, gone)
        Deferred, // kept, to take effect at the next login where the scheduler runs
        Failed,
    };
    struct Outcome
    {
        State state = State::Active;
        QString message; // French, for stderr or a box; empty when Active
    };

    using QObject::QObject;

    virtual void install(const ScheduleRule &rule) = 0;
    virtual void uninstall(const ScheduleRule &rule) = 0;

signals:
    void done(const ScheduleBackend::Outcome &outcome);
};

// renvoliactl's absolute path: beside the running program (renvoliactl
// itself, or the window in /usr/bin), else on PATH, else in the build tree's
// cli/ folder beside app/.
QString renvoliactlPath();

// This system's scheduler, running rules through renvoliactl at that path.
std::unique_ptr<ScheduleBackend> platformScheduleBackend(const QString &renvoliactl = renvoliactlPath());
