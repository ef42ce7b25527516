#pragma once

#include "ScheduleBackend.h"
#include "ScheduleRule.h"

#include <QObject>

// Adds and removes the rules of the weekly schedule: kept in the rule store,
// then handed to the scheduler. The command and the window both go through
// here. One call at a time; each ends with one finished().
class WeeklySchedule : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        bool succeeded = true;
        int id = 0;
        QString message; // French: why it failed, or that it takes effect later
        QString note;    // French: lingering, told once
    };

    explicit WeeklySchedule(ScheduleBackend &backend, QObject *parent = nullptr);

    // The rule gets the next id.
    void add(ScheduleRule rule);
    // False, and no finished(), when no rule has that id.
    bool remove(int id);

    // The command that lets a user's timers run while nobody is logged in.
    static QString lingerNote();

signals:
    void finished(const WeeklySchedule::Result &result);

private:
    void onInstalled(const ScheduleBackend::Outcome &outcome);
    void onUninstalled(const ScheduleBackend::Outcome &outcome);
    QString lingerNoteOnce() const;

    ScheduleBackend &m_backend;
    ScheduleRule m_rule; // of the call in progress
    QMetaObject::Connection m_step;
};
