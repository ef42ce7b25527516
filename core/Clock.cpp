#include "Clock.h"

using namespace Qt::StringLiterals;

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

QString formatTimeOfDay(const QDateTime &moment)
{
    return moment.time().toString(u"HH:mm:ss"_s);
}

const Clock &systemClock()
{
    static const SystemClock clock;
    return clock;
}
