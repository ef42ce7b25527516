#include "NextRun.h"

namespace {

// Eight days: today, whose time may be past, and a whole week after it.
constexpr int kDaysToLook = 8;
constexpr int kDaylightShiftSeconds = 3600;

// Qt takes the later of the two readings of a repeated hour.
QDateTime firstReading(const QDateTime &moment)
{
    const QDateTime earlier = moment.addSecs(-kDaylightShiftSeconds);
    return earlier.date() == moment.date() && earlier.time() == moment.time() ? earlier : moment;
}

} // namespace

QDateTime nextRun(const ScheduleRule &rule, const QDateTime &now, const QTimeZone &zone)
{
    const QDate today = now.toTimeZone(zone).date();
    for (int ahead = 0; ahead < kDaysToLook; ++ahead) {
        const QDate day = today.addDays(ahead);
        if (!rule.days.contains(day.dayOfWeek()))
            continue;
        const QDateTime candidate = firstReading(QDateTime(day, rule.at, zone));
        const bool skipped = !candidate.isValid() || candidate.time() != rule.at;
        if (!skipped && candidate > now)
            return candidate;
    }
    return {};
}
