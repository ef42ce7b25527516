#include "FixedClock.h"
#include "LaunchSchedule.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using LaunchSchedule::Check;

Q_DECLARE_METATYPE(LaunchSchedule::Check)

namespace {

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2026, 12, 6), QTime(hour, minute, second));
}

} // namespace

class TestLaunchSchedule : public QObject
{
    Q_OBJECT
private slots:
    void proposedStartTime_isOneMinuteAhead_data();
    void proposedStartTime_isOneMinuteAhead();
    void startTimeRecognition_data();
    void startTimeRecognition();
    void checkBeforeArming_data();
    void checkBeforeArming();
    void dueDuringTheStartMinute_data();
    void dueDuringTheStartMinute();
    void launchClock_firesOnceAtTheStartTime();
    void launchClock_disarmedNeverFires();
};

void TestLaunchSchedule::proposedStartTime_isOneMinuteAhead_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("expected");
    QTest::addRow("half past, rounds into the next hour") << at(14, 59, 30) << u"15:00"_s;
    QTest::addRow("just before midnight") << at(23, 59, 10) << u"00:00"_s;
    QTest::addRow("morning keeps its leading zero") << at(9, 4, 0) << u"09:05"_s;
}

void TestLaunchSchedule::proposedStartTime_isOneMinuteAhead()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, expected);
    QCOMPARE(LaunchSchedule::proposedStartTime(now), expected);
}

void TestLaunchSchedule::startTimeRecognition_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("expected"); // invalid: refused
    QTest::addRow("hh:nn") << u"15:00"_s << QTime(15, 0);
    QTest::addRow("midnight") << u"00:00"_s << QTime(0, 0);
    QTest::addRow("last minute of the day") << u"23:59"_s << QTime(23, 59);
    QTest::addRow("hour without leading zero") << u"9:05"_s << QTime(9, 5);
    QTest::addRow("minute without leading zero") << u"0:5"_s << QTime(0, 5);
    QTest::addRow("blanks around") << u" 9:05 "_s << QTime(9, 5);
    QTest::addRow("seconds are dropped") << u"12:30:45"_s << QTime(12, 30);
    QTest::addRow("ISO date and time") << u"2026-12-06T18:45"_s << QTime(18, 45);
    QTest::addRow("day/month/year date alone") << u"06/12/2026"_s << QTime();
    QTest::addRow("ISO date alone") << u"2026-12-06"_s << QTime();
    QTest::addRow("hour 25") << u"25:00"_s << QTime();
    QTest::addRow("minute 60") << u"12:60"_s << QTime();
    QTest::addRow("letters") << u"midi"_s << QTime();
    QTest::addRow("empty") << QString() << QTime();
    QTest::addRow("digits without colon") << u"1500"_s << QTime();
}

void TestLaunchSchedule::startTimeRecognition()
{
    QFETCH(QString, text);
    QFETCH(QTime, expected);
    QCOMPARE(LaunchSchedule::startTimeOfDay(text).value_or(QTime()), expected);
}

void TestLaunchSchedule::checkBeforeArming_data()
{
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("cancellation");
    QTest::addColumn<Check>("expected");
    QTest::addRow("number and time") << u"15:00"_s << u"0612345678"_s << false << Check::Ready;
    QTest::addRow("cancellation and time") << u"15:00"_s << QString() << true << Check::Ready;
    QTest::addRow("number with blanks passes as typed") << u"15:00"_s << u"06 12"_s << false << Check::Ready;
    QTest::addRow("nothing to do") << u"15:00"_s << QString() << false << Check::NothingToDo;
    QTest::addRow("bad time is told first") << u"25:00"_s << QString() << false << Check::InvalidStartTime;
    QTest::addRow("bad time with a number") << u"abc"_s << u"0612345678"_s << false << Check::InvalidStartTime;
    QTest::addRow("a date is no start time") << u"06/12/2026"_s << u"0612345678"_s << false << Check::InvalidStartTime;
}

void TestLaunchSchedule::checkBeforeArming()
{
    QFETCH(QString, startTime);
    QFETCH(QString, number);
    QFETCH(bool, cancellation);
    QFETCH(Check, expected);
    QCOMPARE(LaunchSchedule::checkBeforeArming(startTime, number, cancellation), expected);
}

void TestLaunchSchedule::dueDuringTheStartMinute_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QTime>("startTime");
    QTest::addColumn<bool>("due");
    QTest::addRow("first second of the minute") << at(9, 5, 0) << QTime(9, 5) << true;
    QTest::addRow("last second of the minute") << at(9, 5, 59) << QTime(9, 5) << true;
    QTest::addRow("a minute early") << at(9, 4, 59) << QTime(9, 5) << false;
    QTest::addRow("same minute, another hour") << at(21, 5, 0) << QTime(9, 5) << false;
    QTest::addRow("midnight") << at(0, 0, 1) << QTime(0, 0) << true;
}

void TestLaunchSchedule::dueDuringTheStartMinute()
{
    QFETCH(QDateTime, now);
    QFETCH(QTime, startTime);
    QFETCH(bool, due);
    QCOMPARE(LaunchSchedule::isDue(now, startTime), due);
}

void TestLaunchSchedule::launchClock_firesOnceAtTheStartTime()
{
    FixedClock clock(at(23, 59, 10));
    LaunchClock launchClock(clock);
    QSignalSpy due(&launchClock, &LaunchClock::due);
    QVERIFY(due.isValid());

    launchClock.arm(*LaunchSchedule::startTimeOfDay(u"0:00"_s));
    QVERIFY(launchClock.isArmed());
    QTest::qWait(1300);
    QCOMPARE(due.count(), 0);

    clock.set(at(0, 0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(due.count(), 1, 3000);
    QVERIFY(!launchClock.isArmed());
    QTest::qWait(1300);
    QCOMPARE(due.count(), 1);
}

void TestLaunchSchedule::launchClock_disarmedNeverFires()
{
    FixedClock clock(at(15, 0, 0));
    LaunchClock launchClock(clock);
    QSignalSpy due(&launchClock, &LaunchClock::due);
    launchClock.arm(QTime(15, 0));
    launchClock.disarm();
    QTest::qWait(1300);
    QCOMPARE(due.count(), 0);
}

QTEST_GUILESS_MAIN(TestLaunchSchedule)
#include "tst_launchschedule.moc"
