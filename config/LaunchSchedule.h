#pragma once

#include "Clock.h"
#include "OperationRequest.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

// What the configuration window decides without widgets: the proposed start
// time, the checks before arming, and the clock that says when to launch.
namespace LaunchSchedule {

// The present time plus one minute, "hh:nn".
QString proposedStartTime(const QDateTime &now);

// The time of day a start time names: "h:nn", "hh:nn" and "hh:nn:ss" with
// hours 0 to 23 and minutes and seconds 0 to 59 always, and the times and
// dates with a time of the user's locale. Nothing for a date alone.
std::optional<QTime> startTimeOfDay(const QString &text);

enum class Check { Ready, InvalidStartTime, NothingToDo };
// The start time is checked first, then that there is something to do.
Check checkBeforeArming(const QString &startTime, const QString &number, bool cancellation);
QString checkMessage(Check check);

// The request handed to the report window at the launch.
OperationRequest requestFor(const QString &number, bool cancellation);

// Due during the start time's minute.
bool isDue(const QDateTime &now, QTime startTime);

} // namespace LaunchSchedule

// Ticks once a second while armed and reports the first tick at which the
// start time is due, disarming itself first so one arming launches once.
class LaunchClock : public QObject
{
    Q_OBJECT
public:
    explicit LaunchClock(const Clock &clock, QObject *parent = nullptr);

    void arm(QTime startTime);
    void disarm();
    bool isArmed() const;

signals:
    void due();

private:
    void tick();

    const Clock &m_clock;
    QTimer m_timer{this}; // timLance
    QTime m_startTime;
};
