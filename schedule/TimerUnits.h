#pragma once

#include "ScheduleRule.h"

#include <QString>

// A rule as a systemd user timer and its oneshot service, in the user's unit
// folder: renvolia-<id>.timer, renvolia-<id>.service, and the link under
// timers.target.wants/ that enabling makes, so that a timer written while no
// user manager runs starts at the next login all the same.
namespace TimerUnits {

// $XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user when unset).
QString folder();

// "Mon..Fri *-*-* 18:00:00"
QString onCalendar(const ScheduleRule &rule);
QString timerText(const ScheduleRule &rule);
QString serviceText(const ScheduleRule &rule, const QString &renvoliactl);

// False with *error when a file or the link could not be made.
bool write(const ScheduleRule &rule, const QString &renvoliactl, QString *error);
// Removes the three; false with *error when one stays.
bool remove(const QString &unitName, QString *error);

} // namespace TimerUnits
