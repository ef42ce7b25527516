#include "LaunchSchedule.h"

#include <QLocale>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace LaunchSchedule {
namespace {

const QString kClockFormat = u"HH:mm"_s;

bool isHoursMinutes(const QString &text)
{
    static const QRegularExpression hoursMinutes(u"^\\s*([01]?\\d|2[0-3]):([0-5]?\\d)\\s*$"_s);
    return hoursMinutes.match(text).hasMatch();
}

bool readsUnder(const QLocale &locale, const QString &text)
{
    for (QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat, QLocale::NarrowFormat}) {
        if (locale.toTime(text, format).isValid() || locale.toDate(text, format).isValid()
            || locale.toDateTime(text, format).isValid())
            return true;
    }
    return false;
}

bool readsAsIsoDate(const QString &text)
{
    return QDate::fromString(text.trimmed(), Qt::ISODate).isValid()
        || QDateTime::fromString(text.trimmed(), Qt::ISODate).isValid();
}

} // namespace

QString proposedStartTime(const QDateTime &now)
{
    return now.addSecs(60).toString(kClockFormat);
}

bool readsAsDateOrTime(const QString &text)
{
    return isHoursMinutes(text) || readsUnder(QLocale::system(), text.trimmed())
        || readsUnder(QLocale(QLocale::French, QLocale::France), text.trimmed()) || readsAsIsoDate(text);
}

Check checkBeforeArming(const QString &startTime, const QString &number, bool cancellation)
{
    if (!readsAsDateOrTime(startTime))
        return Check::InvalidStartTime;
    if (number.isEmpty() && !cancellation)
        return Check::NothingToDo;
    return Check::Ready;
}

QString checkMessage(Check check)
{
    switch (check) {
    case Check::InvalidStartTime:
        return u"Entrez une heure de déclenchement valide."_s;
    case Check::NothingToDo:
        return u"Ni annulation, ni renvoi à effectuer."_s;
    case Check::Ready:
        break;
    }
    return {};
}

OperationRequest requestFor(const QString &number, bool cancellation)
{
    return cancellation ? OperationRequest::cancellation() : OperationRequest::forwarding(number);
}

bool isDue(const QDateTime &now, const QString &startTime)
{
    return now.toString(kClockFormat) == startTime;
}

} // namespace LaunchSchedule

LaunchClock::LaunchClock(const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
{
    m_timer.setObjectName(u"timLance"_s);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &LaunchClock::tick);
}

void LaunchClock::arm(const QString &startTime)
{
    m_startTime = startTime;
    m_timer.start();
}

void LaunchClock::disarm()
{
    m_timer.stop();
}

bool LaunchClock::isArmed() const
{
    return m_timer.isActive();
}

void LaunchClock::tick()
{
    if (!LaunchSchedule::isDue(m_clock.now(), m_startTime))
        return;
    m_timer.stop();
    emit due();
}
