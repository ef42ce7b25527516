#include "ForwardedHours.h"
#include "NextRun.h"
#include "PortSetting.h"
#include "TemporaryConfigFolder.h"
#include "SystemdTimers.h"
#include "TimerUnits.h"
#include "WeeklySchedule.h"
#include "WindowsTasks.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// No user manager to reach: the runtime folder is a fresh one and there is
// no session bus. A zone with daylight saving time, for the next runs.
QProcessEnvironment withoutUserManager(const QString &runtimeFolder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtimeFolder);
    environment.insert(u"TZ"_s, u"Europe/Paris"_s);
    environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
    return environment;
}

Run run(const QString &program, const QStringList &arguments, const QString &runtimeFolder)
{
    QProcess process;
    process.setProcessEnvironment(withoutUserManager(runtimeFolder));
    process.start(program, arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString field(const QString &output, const QString &label)
{
    const QRegularExpression line(u"^\\s*%1(.*)$"_s.arg(label), QRegularExpression::MultilineOption);
    return line.match(output).captured(1).trimmed();
}

QStringList unitFolderEntries()
{
    QStringList entries;
    const QString folder = TimerUnits::folder();
    for (const QString &sub : {QString(), u"/timers.target.wants"_s})
        entries += QDir(folder + sub).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    return entries;
}

QDateTime paris(const QString &iso)
{
    return QDateTime(QDateTime::fromString(iso, u"yyyy-MM-dd HH:mm"_s).date(),
                     QDateTime::fromString(iso, u"yyyy-MM-dd HH:mm"_s).time(), QTimeZone("Europe/Paris"));
}

ScheduleRule rule(const QString &days, const QString &at, const QString &action, const QString &number = {},
                  const QString &reason = {}, const QString &line = u"analog"_s)
{
    QString problem;
    const std::optional<ScheduleRule> made = ruleFrom({days, at, action, number, reason, u"2"_s, line}, &problem);
    if (!made)
        qFatal("%s", qPrintable(problem));
    return *made;
}

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_runtime;
    Run ctl(const QStringList &arguments) { return run(QStringLiteral(RENVOLIACTL), arguments, m_runtime.path()); }

private slots:
    void addedRule_unitsVerifiedAndCalendarAsTyped_data()
    {
        QTest::addColumn<QStringList>("rule");
        QTest::addColumn<QString>("normalised");
        QTest::addRow("weekday evenings") << QStringList{u"--days"_s, u"lun-ven"_s, u"--at"_s, u"18:00"_s, u"forward"_s,
                                                         u"0612345678"_s} << u"Mon..Fri *-*-* 18:00:00"_s;
        QTest::addRow("weekend, busy, short hour, port 5") << QStringList{u"--days=sam,dim"_s, u"--at=9:05"_s, u"forward"_s,
                                                                  u"+33612345678"_s, u"--reason"_s, u"busy"_s, u"--port=5"_s}
                                                   << u"Sat,Sun *-*-* 09:05:00"_s;
        QTest::addRow("every morning") << QStringList{u"cancel"_s, u"--days"_s, u"tous"_s, u"--at"_s, u"08:00"_s}
                                       << u"*-*-* 08:00:00"_s;
        QTest::addRow("round the week end") << QStringList{u"--days"_s, u"ven-lun"_s, u"--at"_s, u"23:59"_s, u"cancel"_s}
                                            << u"Mon,Fri..Sun *-*-* 23:59:00"_s;
        QTest::addRow("list and range") << QStringList{u"--days"_s, u"lun,MER-ven"_s, u"--at"_s, u"00:00"_s,
                                                       u"cancel"_s, u"--line"_s, u"mobile"_s}
                                        << u"Mon,Wed..Fri *-*-* 00:00:00"_s;
    }
    void addedRule_unitsVerifiedAndCalendarAsTyped()
    {
        QFETCH(QStringList, rule);
        QFETCH(QString, normalised);
        TemporaryConfigFolder folder;
        const Run added = ctl(QStringList{u"schedule"_s, u"add"_s} + rule);
        QCOMPARE(added.status, 0);
        QCOMPARE(added.out.trimmed(), u"1"_s);
        QVERIFY2(added.err.contains(u"prochaine ouverture de session"_s), qPrintable(added.err));
        QVERIFY2(added.err.contains(u"loginctl enable-linger"_s), qPrintable(added.err));

        const QString timer = TimerUnits::folder() + u"/renvolia-1.timer"_s;
        const Run verified = run(u"systemd-analyze"_s, {u"verify"_s, u"--user"_s, timer,
                                                       TimerUnits::folder() + u"/renvolia-1.service"_s}, m_runtime.path());
        QVERIFY2(verified.status == 0 && verified.err.isEmpty(), qPrintable(verified.err));
        QFile unit(timer);
        QVERIFY(unit.open(QIODevice::ReadOnly));
        const QString onCalendar = field(QString::fromUtf8(unit.readAll()), u"OnCalendar="_s);
        const Run calendar = run(u"systemd-analyze"_s, {u"calendar"_s, onCalendar}, m_runtime.path());
        QCOMPARE(field(calendar.out, u"Normalized form: "_s), normalised);

        // The next run the list shows is the one systemd computes.
        const QJsonObject listed = QJsonDocument::fromJson(ctl({u"schedule"_s, u"list"_s, u"--json"_s}).out.toUtf8()).object();
        QCOMPARE(listed.value(u"port"_s).toInt(), rule.contains(u"--port=5"_s) ? 5 : PortSetting::kDefaultPort.toInt());
        const QDateTime next = QDateTime::fromString(listed.value(u"next"_s).toString(), Qt::ISODate);
        QDateTime elapse = QDateTime::fromString(field(calendar.out, u"\\(in UTC\\): "_s).section(u' ', 1, 2),
                                                 u"yyyy-MM-dd HH:mm:ss"_s);
        elapse.setTimeZone(QTimeZone::utc());
        QCOMPARE(next.toSecsSinceEpoch(), elapse.toSecsSinceEpoch());
    }

    void badRule_usageErrorAndNothingWritten_data()
    {
        QTest::addColumn<QStringList>("rule");
        QTest::addRow("unknown day") << QStringList{u"--days"_s, u"lun-vend"_s, u"--at"_s, u"18:00"_s, u"cancel"_s};
        QTest::addRow("no day") << QStringList{u"--days"_s, u""_s, u"--at"_s, u"18:00"_s, u"cancel"_s};
        QTest::addRow("hour 25") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"25:00"_s, u"cancel"_s};
        QTest::addRow("time as words") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"soir"_s, u"cancel"_s};
        QTest::addRow("number with blanks") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"8:00"_s, u"forward"_s, u"06 12"_s};
        QTest::addRow("41 digits") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"8:00"_s, u"forward"_s, QString(41, u'6')};
        QTest::addRow("forward without number") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"8:00"_s, u"forward"_s};
        QTest::addRow("no code on this line") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"8:00"_s, u"cancel"_s,
                                                             u"--reason"_s, u"all-conditional"_s, u"--line"_s, u"analog"_s};
        QTest::addRow("option without its value") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"8:00"_s, u"cancel"_s, u"--port"_s};
        QTest::addRow("port 0") << QStringList{u"--days"_s, u"tous"_s, u"--at"_s, u"8:00"_s, u"cancel"_s, u"--port"_s, u"0"_s};
    }
    void badRule_usageErrorAndNothingWritten()
    {
        QFETCH(QStringList, rule);
        TemporaryConfigFolder folder;
        const Run added = ctl(QStringList{u"schedule"_s, u"add"_s} + rule);
        QCOMPARE(added.status, 2);
        QVERIFY(added.err.contains(u"Usage"_s));
        QVERIFY(!QFileInfo::exists(TimerUnits::folder()));
        QVERIFY(!QFileInfo::exists(folder.renvoliaFolder() + u"/renvolia.conf"_s));
    }

    void removedRule_leavesNoFile()
    {
        TemporaryConfigFolder folder;
        for (const QString &at : {u"08:00"_s, u"18:00"_s})
            QCOMPARE(ctl({u"schedule"_s, u"add"_s, u"--days"_s, u"lun"_s, u"--at"_s, at, u"cancel"_s}).status, 0);
        QCOMPARE(unitFolderEntries().size(), 6);
        QCOMPARE(ctl({u"schedule"_s, u"remove"_s, u"1"_s}).status, 0);
        QCOMPARE(unitFolderEntries(), (QStringList{u"renvolia-2.service"_s, u"renvolia-2.timer"_s, u"renvolia-2.timer"_s}));
        QCOMPARE(ctl({u"schedule"_s, u"remove"_s, u"1"_s}).status, 2);
        const QStringList listed = ctl({u"schedule"_s, u"list"_s}).out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(listed.size(), 1);
        QVERIFY(listed.constFirst().startsWith(u"2\tlun\t18:00\tannulation"_s));

        // Edited by hand out of shape, it is still shown, and removed.
        QSettings(PortSetting::storeLocation(), PortSetting::storeFormat()).setValue(u"Planification/2/Jours"_s, u"lundi-x"_s);
        QVERIFY(ctl({u"schedule"_s, u"list"_s}).out.startsWith(u"2\tillisible : "_s));
        QCOMPARE(ctl({u"schedule"_s, u"remove"_s, u"2"_s}).status, 0);
        QCOMPARE(unitFolderEntries(), QStringList());
        QCOMPARE(ctl({u"schedule"_s, u"list"_s}).out, QString());
    }

    // Where a user manager answers, the timer is enabled and started after a
    // reload, and disabled before its files go; a refused enabling is told.
    void reachableManager_enablesThenDisablesBeforeRemoving()
    {
        TemporaryConfigFolder folder;
        const QString log = folder.renvoliaFolder() + u"-systemctl.log"_s;
        const QString systemctl = folder.renvoliaFolder() + u"-systemctl"_s;
        QFile script(systemctl);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\n[ \"$2\" != enable ] || [ \"$4\" != renvolia-2.timer ]\n")
                         .arg(log).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SystemdTimers timers(u"/usr/bin/renvoliactl"_s, systemctl);
        WeeklySchedule schedule(timers);
        QSignalSpy finished(&schedule, &WeeklySchedule::finished);

        schedule.add(rule(u"lun"_s, u"08:00"_s, u"cancel"_s));
        QVERIFY(finished.wait());
        QCOMPARE(finished.takeFirst().at(0).value<WeeklySchedule::Result>().message, QString());
        QVERIFY(schedule.remove(1));
        QVERIFY(finished.wait());
        QVERIFY(unitFolderEntries().isEmpty());
        schedule.add(rule(u"mar"_s, u"08:00"_s, u"cancel"_s));
        QVERIFY(finished.wait());
        const auto refused = finished.takeLast().at(0).value<WeeklySchedule::Result>();
        QVERIFY(!refused.succeeded && refused.message.contains(u"renvolia-2.timer"_s));

        QFile written(log);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(written.readAll()).split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{u"--user daemon-reload"_s, u"--user enable --now renvolia-1.timer"_s,
                              u"--user disable --now renvolia-1.timer"_s, u"--user daemon-reload"_s,
                              u"--user daemon-reload"_s, u"--user enable --now renvolia-2.timer"_s}));
    }

    void windowsTask_weeklyOnTheRulesDays()
    {
        ScheduleRule forward = rule(u"ven-lun"_s, u"7:05"_s, u"forward"_s, u"+3361"_s, u"busy"_s);
        forward.id = 4;
        QCOMPARE(WindowsTasks(u"C:/Program Files/Renvolia/renvoliactl.exe"_s).createArguments(forward),
                 (QStringList{u"/Create"_s, u"/F"_s, u"/TN"_s, u"Renvolia\\renvolia-4"_s, u"/SC"_s, u"WEEKLY"_s, u"/D"_s,
                              u"MON,FRI,SAT,SUN"_s, u"/ST"_s, u"07:05"_s, u"/TR"_s,
                              u"\"C:\\Program Files\\Renvolia\\renvoliactl.exe\" forward +3361 --reason busy --port 2 "
                              "--line analog --quiet"_s}));
    }

    void nextRun_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("next");
        QTest::addRow("Sunday night to Monday") << u"lun"_s << u"08:00"_s << u"2026-12-13 23:00"_s << u"2026-12-14T08:00:00+01:00"_s;
        QTest::addRow("later today") << u"lun"_s << u"08:00"_s << u"2026-12-14 07:59"_s << u"2026-12-14T08:00:00+01:00"_s;
        QTest::addRow("at the minute, next week") << u"lun"_s << u"08:00"_s << u"2026-12-14 08:00"_s << u"2026-12-21T08:00:00+01:00"_s;
        QTest::addRow("clocks forward, wall time kept") << u"tous"_s << u"08:00"_s << u"2026-03-28 09:00"_s << u"2026-03-29T08:00:00+02:00"_s;
        QTest::addRow("hour skipped by the change") << u"tous"_s << u"02:30"_s << u"2026-03-28 03:00"_s << u"2026-03-30T02:30:00+02:00"_s;
        QTest::addRow("hour repeated, first reading") << u"dim"_s << u"02:30"_s << u"2026-10-24 12:00"_s << u"2026-10-25T02:30:00+02:00"_s;
        QTest::addRow("clocks back, Sunday to Sunday") << u"dim"_s << u"18:00"_s << u"2026-10-18 19:00"_s << u"2026-10-25T18:00:00+01:00"_s;
    }
    void nextRun()
    {
        QFETCH(QString, days);
        QFETCH(QString, at);
        QFETCH(QString, now);
        QFETCH(QString, next);
        const QDateTime found = ::nextRun(rule(days, at, u"cancel"_s), paris(now), QTimeZone("Europe/Paris"));
        QCOMPARE(found.toString(Qt::ISODate), next);
    }

    void forwardedStretches_data()
    {
        QTest::addColumn<QList<ScheduleRule>>("rules");
        QTest::addColumn<QString>("stretches");
        QTest::addRow("weekday evenings, cancelled every morning")
            << QList<ScheduleRule>{rule(u"lun-ven"_s, u"18:00"_s, u"forward"_s, u"06"_s), rule(u"tous"_s, u"08:00"_s, u"cancel"_s)}
            << u"all 06 1080-1920;all 06 2520-3360;all 06 3960-4800;all 06 5400-6240;all 06 6840-7680"_s;
        QTest::addRow("Sunday evening to Monday, busy apart")
            << QList<ScheduleRule>{rule(u"dim"_s, u"20:00"_s, u"forward"_s, u"07"_s), rule(u"lun"_s, u"07:00"_s, u"cancel"_s),
                                   rule(u"sam"_s, u"10:00"_s, u"forward"_s, u"08"_s, u"busy"_s),
                                   rule(u"sam"_s, u"12:00"_s, u"cancel"_s, {}, u"every"_s)}
            << u"all 07 9840-10500;busy 08 7800-7920"_s;
        QTest::addRow("a conditional cancel ends busy, not all")
            << QList<ScheduleRule>{rule(u"lun"_s, u"09:00"_s, u"forward"_s, u"07"_s),
                                   rule(u"lun"_s, u"10:00"_s, u"forward"_s, u"08"_s, u"busy"_s),
                                   rule(u"lun"_s, u"12:00"_s, u"cancel"_s, {}, u"all-conditional"_s, u"mobile"_s),
                                   rule(u"lun"_s, u"18:00"_s, u"cancel"_s)}
            << u"busy 08 600-720;all 07 540-1080"_s;
        QTest::addRow("never cancelled: the whole week")
            << QList<ScheduleRule>{rule(u"mer"_s, u"12:00"_s, u"forward"_s, u"06"_s)} << u"all 06 3600-13680"_s;
    }
    void forwardedStretches()
    {
        QFETCH(QList<ScheduleRule>, rules);
        QFETCH(QString, stretches);
        QStringList found;
        for (const ForwardedStretch &stretch : ::forwardedStretches(rules))
            found << u"%1 %2 %3-%4"_s.arg(reasonName(stretch.reason), stretch.number).arg(stretch.fromMinute).arg(stretch.toMinute);
        QCOMPARE(found.join(u';'), stretches);
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
