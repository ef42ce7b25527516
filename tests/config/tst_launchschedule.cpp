#include "FixedClock.h"
#include "LaunchSchedule.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2026, 12, 6), QTime(hour, minute, second));
}

} // namespace

// The checks before arming, their messages, disarming and the start times
// "15:00", "9:05" and "06/12/2026" are driven through the configuration
// window's tests.
class TestLaunchSchedule : public QObject
{
    Q_OBJECT
private slots:
    void proposedStartTime_isOneMinuteAhead();
    void startTimeRecognition_data();
    void startTimeRecognition();
    void dueDuringTheStartMinute();
    void launchClock_firesOnceAtTheStartTime();
};

void TestLaunchSchedule::proposedStartTime_isOneMinuteAhead()
{
    QCOMPARE(LaunchSchedule::proposedStartTime(at(23, 59, 10)), u"00:00"_s);
    QCOMPARE(LaunchSchedule::proposedStartTime(at(9, 4, 0)), u"09:05"_s);
}

void TestLaunchSchedule::startTimeRecognition_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("expected"); // invalid: refused
    QTest::addRow("last minute of the day") << u"23:59"_s << QTime(23, 59);
    QTest::addRow("minute without leading zero") << u"0:5"_s << QTime(0, 5);
    QTest::addRow("blanks around") << u" 9:05 "_s << QTime(9, 5);
    QTest::addRow("seconds are dropped") << u"12:30:45"_s << QTime(12, 30);
    QTest::addRow("ISO date and time") << u"2026-12-06T18:45"_s << QTime(18, 45);
    QTest::addRow("ISO date alone") << u"2026-12-06"_s << QTime();
    QTest::addRow("hour 24") << u"24:00"_s << QTime();
    QTest::addRow("minute 60") << u"12:60"_s << QTime();
    QTest::addRow("letters") << u"midi"_s << QTime();
    QTest::addRow("digits without colon") << u"1500"_s << QTime();
}

void TestLaunchSchedule::startTimeRecognition()
{
    QFETCH(QString, text);
    QFETCH(QTime, expected);
    QCOMPARE(LaunchSchedule::startTimeOfDay(text).value_or(QTime()), expected);
}

void TestLaunchSchedule::dueDuringTheStartMinute()
{
    QVERIFY(LaunchSchedule::isDue(at(9, 5, 0), QTime(9, 5)));
    QVERIFY(LaunchSchedule::isDue(at(9, 5, 59), QTime(9, 5)));
    QVERIFY(!LaunchSchedule::isDue(at(9, 4, 59), QTime(9, 5)));
    QVERIFY(!LaunchSchedule::isDue(at(21, 5, 0), QTime(9, 5)));
}

void TestLaunchSchedule::launchClock_firesOnceAtTheStartTime()
{
    FixedClock clock(at(23, 59, 10));
    LaunchClock launchClock(clock);
    QSignalSpy due(&launchClock, &LaunchClock::due);
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

QTEST_GUILESS_MAIN(TestLaunchSchedule)
#include "tst_launchschedule.moc"
