#pragma once

#include "ScheduleRule.h"

#include <QDateTime>
#include <QTimeZone>

// When the rule next runs after now, in the given time zone, as systemd's
// OnCalendar= in local time counts it: a time that a daylight-saving change
// skips does not happen that day; a time it repeats happens the first time.
QDateTime nextRun(const ScheduleRule &rule, const QDateTime &now, const QTimeZone &zone = QTimeZone::systemTimeZone());
