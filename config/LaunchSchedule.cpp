#include "LaunchSchedule.h"

#include <QLocale>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace LaunchSchedule {
namespace {

const QString kClockFormat = u"HH:mm"_s;

std::optional<QTime> writtenAsClock(const QString &text)
{
    static const QRegularExpression clock(
        QRegularExpression::anchoredPattern(u"\\s*([01]?\\d|2[0-3]):([0-5]?\\d)(:[0-5]?\\d)?\\s*"_s));
    const QRegularExpressionMatch match = clock.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return QTime(match.captured(1).toInt(), match.captured(2).toInt());
}

std::optional<QTime> timeUnder(const QLocale &locale, const QString &text)
{
    for (QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat, QLocale::NarrowFormat}) {
        if (const QTime time = locale.toTime(text, format); time.isValid())
            return time;
        if (const QDateTime moment = locale.toDateTime(text, format); moment.isValid())
            return moment.time();
    }
    return std::nullopt;
}

std::optional<QTime> isoTime(const QString &text)
{
    if (const QDateTime moment = QDateTime::fromString(text, Qt::ISODate); moment.isValid() && text.contains(u'T'))
        return moment.time();
    return std::nullopt;
}

} // namespace

QString proposedStartTime(const QDateTime &now)
{
    return now.addSecs(60).toString(kClockFormat);
}

std::optional<QTime> startTimeOfDay(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (auto time = writtenAsClock(text))
        return time;
    if (auto time = timeUnder(QLocale::system(), trimmed))
        return time;
    if (auto time = timeUnder(QLocale(QLocale::French, QLocale::France), trimmed))
        return time;
    return isoTime(trimmed);
}

Check checkBeforeArming(const QString &startTime, const QString &number, bool cancellation)
{
    if (!startTimeOfDay(startTime))
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

bool isDue(const QDateTime &now, QTime startTime)
{
    const QTime clock = now.time();
    return clock.hour() == startTime.hour() && clock.minute() == startTime.minute();
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

void LaunchClock::arm(QTime startTime)
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
