#pragma once

#include <QDateTime>

// The time of day as the program reads it; tests stand it wherever they need.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};

// "hh:nn:ss", 24-hour clock, two digits per field.
QString formatTimeOfDay(const QDateTime &moment);

// ISO 8601 with the offset from UTC: "2026-12-07T18:00:07+01:00".
QString isoTimestamp(const QDateTime &moment);

// The one system clock the windows use unless a test hands them another.
const Clock &systemClock();
