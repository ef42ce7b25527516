#include "Clock.h"

#include <cstdlib>

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

// Qt writes UTC as "Z"; the journal and the events always carry an offset.
QString isoTimestamp(const QDateTime &moment)
{
    const int offset = moment.offsetFromUtc();
    const QChar sign = offset < 0 ? u'-' : u'+';
    const int minutes = std::abs(offset) / 60;
    return moment.toString(u"yyyy-MM-ddTHH:mm:ss"_s) + sign
        + u"%1:%2"_s.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}
