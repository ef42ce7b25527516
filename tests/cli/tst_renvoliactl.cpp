#include "ModemSimulator.h"
#include "PortSetting.h"
#include "TemporaryConfigFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <grp.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Reply = ModemSimulator::Reply;

namespace {

constexpr int kWaitMs = 30000;

// renvoliactl run as a script runs it, on a simulated modem linked as a port
// given before the command.
struct CtlRun
{
    CtlRun(int port, const QList<Reply> &replies, const QStringList &arguments, bool modemHoldsLine = false)
    {
        modem.setHoldsLine(modemHoldsLine);
        if (!modem.open() || !modem.linkAsPort(port, renvoliaConfigFolder()))
            qFatal("no pseudo-terminal for the modem");
        modem.setDialReplies(replies);
        process.start(QStringLiteral(RENVOLIACTL), QStringList{u"--port"_s, QString::number(port)} + arguments);
    }
    ~CtlRun()
    {
        process.kill();
        process.waitForFinished();
    }
    static QString renvoliaConfigFolder() { return qEnvironmentVariable("XDG_CONFIG_HOME") + u"/renvolia"_s; }
    bool ended() const { return process.state() == QProcess::NotRunning; }
    QStringList out() { return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts); }

    ModemSimulator modem;
    QProcess process;
};

QRegularExpression lineAtTime(const QString &text)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QRegularExpression::escape(text) + u"\\d\\d:\\d\\d:\\d\\d"_s));
}

} // namespace

class TestRenvoliactl : public QObject
{
    Q_OBJECT
private:
    TemporaryConfigFolder m_folder;

private slots:
    void badArguments_usageAndNothingSent_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addRow("blanks inside") << QStringList{u"forward"_s, u"06 12 34"_s};
        QTest::addRow("41 digits") << QStringList{u"forward"_s, QString(41, u'6')};
        QTest::addRow("no number") << QStringList{u"forward"_s};
        QTest::addRow("two numbers") << QStringList{u"forward"_s, u"06"_s, u"07"_s};
        QTest::addRow("unknown option") << QStringList{u"cancel"_s, u"--fast"_s};
        QTest::addRow("unknown command") << QStringList{u"transfer"_s, u"0612"_s};
        QTest::addRow("attempts not a count") << QStringList{u"cancel"_s, u"--attempts"_s, u"many"_s};
        QTest::addRow("deadline unit unknown") << QStringList{u"cancel"_s, u"--deadline=5d"_s};
        QTest::addRow("deadline of no time") << QStringList{u"cancel"_s, u"--deadline"_s, u"0s"_s};
        QTest::addRow("port past the range") << QStringList{u"cancel"_s, u"--port=256"_s};
        QTest::addRow("an option after --") << QStringList{u"forward"_s, u"--"_s, u"0612"_s, u"--quiet"_s};
        QTest::addRow("line unknown") << QStringList{u"cancel"_s, u"--line=fax"_s};
        QTest::addRow("reason unknown") << QStringList{u"cancel"_s, u"--reason"_s, u"sometimes"_s};
        QTest::addRow("no-reply time past 30 s")
            << QStringList{u"forward"_s, u"06"_s, u"--reason=no-reply"_s, u"--no-reply-time=31"_s};
        QTest::addRow("no-reply time for busy calls")
            << QStringList{u"forward"_s, u"06"_s, u"--reason=busy"_s, u"--no-reply-time=20"_s};
        QTest::addRow("status with a number") << QStringList{u"status"_s, u"0612"_s};
        QTest::addRow("assign to port 256") << QStringList{u"ports"_s, u"--assign"_s, u"/dev/null"_s, u"256"_s};
        QTest::addRow("assign outside ports") << QStringList{u"cancel"_s, u"--assign=/dev/null"_s};
    }

    void badArguments_usageAndNothingSent()
    {
        QFETCH(QStringList, arguments);
        CtlRun run(2, {Reply::Ok}, arguments);
        QVERIFY(run.process.waitForFinished(10000));
        QCOMPARE(run.process.exitCode(), 2);
        QVERIFY(QString::fromUtf8(run.process.readAllStandardError()).contains(u"Usage"_s));
        QVERIFY(run.out().isEmpty());
        QTest::qWait(100);
        QVERIFY(run.modem.receivedBytes().isEmpty());
    }

    // Runs side by side, each 7 s of listening and 3 s of pause per attempt, or
    // a refusal and the next attempt 10 s after the first on a mobile line.
    void wholeRuns_onTheRealTimings()
    {
        CtlRun accepted(3, {Reply::Ok}, {u"forward"_s, u"+33612345678"_s, u"--deadline"_s, u"1h30m"_s});
        CtlRun json(4, {Reply::Ok}, {u"cancel"_s, u"--json"_s});
        // The modem of this one keeps its line open, as iaxmodem does.
        CtlRun exhausted(5, {Reply::Error}, {u"forward"_s, u"--attempts"_s, u"1"_s, u"--"_s, u"0612345678"_s}, true);
        CtlRun mobile(9, {Reply::Ok}, {u"forward"_s, u"0612345678"_s, u"--line=mobile"_s, u"--reason=no-reply"_s,
                                       u"--no-reply-time=15"_s, u"--json"_s});
        mobile.modem.setCellular(true);
        mobile.modem.network().refuseNext(1, 30);
        CtlRun analogueStatus(10, {Reply::Ok}, {u"status"_s});
        // The second attempt would begin right after the deadline, ten seconds on.
        CtlRun deadline(12, {Reply::Silent}, {u"cancel"_s, u"--attempts=0"_s, u"--deadline=10"_s});
        QTRY_VERIFY_WITH_TIMEOUT(accepted.ended() && json.ended() && exhausted.ended() && mobile.ended()
                                     && analogueStatus.ended() && deadline.ended(), kWaitMs);

        QCOMPARE(deadline.process.exitCode(), 1); // the attempt under way when the deadline came ran to its end
        QVERIFY(lineAtTime(u"Echec de l'annulation à "_s).match(deadline.out().join(u'|')).hasMatch());
        QCOMPARE(deadline.modem.receivedBytes(), "ATDT#21#;\rATH0\r"_ba);

        QCOMPARE(analogueStatus.process.exitCode(), 4);
        QCOMPARE(QString::fromUtf8(analogueStatus.process.readAllStandardError()),
                 u"renvoliactl: impossible sur une ligne analogique\n"_s);
        QVERIFY(analogueStatus.modem.receivedBytes().isEmpty());

        QCOMPARE(mobile.process.exitCode(), 0);
        QVERIFY(QString::fromUtf8(mobile.process.readAllStandardError()).contains(u"+CME ERROR: 30 (pas de service réseau)"_s));
        QStringList mobileEvents;
        for (const QString &line : mobile.out())
            mobileEvents << QJsonDocument::fromJson(line.toUtf8())[u"event"_s].toString();
        QCOMPARE(mobileEvents, (QStringList{u"setup"_s, u"setup"_s, u"attempt"_s, u"diagnostic"_s, u"result"_s,
                                            u"attempt"_s, u"result"_s, u"query"_s, u"status"_s, u"end"_s}));
        const QByteArray registration = "AT+CCFC=2,3,\"0612345678\",129,1,,,15\r";
        QCOMPARE(mobile.modem.receivedBytes(), "ATE0\rAT+CMEE=1\r" + registration + registration + "AT+CCFC=2,2\r");
        QProcess status;
        status.start(QStringLiteral(RENVOLIACTL), {u"status"_s, u"--reason=all-conditional"_s, u"--port=9"_s, u"--line=mobile"_s});
        QTRY_VERIFY_WITH_TIMEOUT(status.state() == QProcess::NotRunning, kWaitMs);
        QCOMPARE(status.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(status.readAllStandardOutput()), u"Renvoi actif vers 0612345678 sans réponse\n"_s);
        QCOMPARE(mobile.modem.receivedBytes().right(36), "AT+CCFC=1,2\rAT+CCFC=2,2\rAT+CCFC=3,2\r"_ba);

        QCOMPARE(accepted.process.exitCode(), 0);
        const QStringList acceptedLines = accepted.out();
        QCOMPARE(acceptedLines.size(), 1);
        QVERIFY(lineAtTime(u"Renvoi effectué à "_s).match(acceptedLines[0]).hasMatch());
        QCOMPARE(accepted.modem.receivedBytes(), "ATDT*21*+33612345678#;\rATH0\r"_ba);
        QFile journal(qEnvironmentVariable("XDG_STATE_HOME") + u"/renvolia/journal.log"_s);
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QStringList journalLines = QString::fromUtf8(journal.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(journalLines.join(u'\n').contains(u"COM3 "_s + acceptedLines[0]));
        QProcess tail;
        tail.start(QStringLiteral(RENVOLIACTL), {u"journal"_s, u"--tail"_s, u"2"_s});
        QVERIFY(tail.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(tail.readAllStandardOutput()), journalLines.sliced(journalLines.size() - 2).join(u'\n') + u'\n');

        QCOMPARE(exhausted.process.exitCode(), 1);
        const QStringList exhaustedLines = exhausted.out();
        QCOMPARE(exhaustedLines.size(), 1);
        QVERIFY(lineAtTime(u"Echec du renvoi à "_s).match(exhaustedLines[0]).hasMatch());
        QCOMPARE(exhausted.modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba);

        QCOMPARE(json.process.exitCode(), 0);
        QStringList kinds;
        QMap<QString, QJsonObject> events;
        for (const QString &line : json.out()) {
            QJsonParseError error;
            const QJsonObject event = QJsonDocument::fromJson(line.toUtf8(), &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            QVERIFY(QDateTime::fromString(event.value(u"time"_s).toString(), Qt::ISODate).isValid());
            kinds << event.value(u"event"_s).toString();
            events.insert(kinds.last(), event);
        }
        QCOMPARE(kinds, (QStringList{u"attempt"_s, u"hangup"_s, u"result"_s, u"end"_s}));
        const QJsonObject attempt = events[u"attempt"_s], result = events[u"result"_s];
        QCOMPARE(attempt.value(u"sent"_s).toString(), u"ATDT#21#;\r"_s);
        QCOMPARE(attempt.value(u"port"_s).toInt(), 4);
        QCOMPARE(attempt.value(u"device"_s).toString(), json.modem.devicePath());
        QCOMPARE((QList<QJsonValue>{result[u"attempt"_s], result[u"accepted"_s]}), (QList<QJsonValue>{1, true}));
        QVERIFY(lineAtTime(u"Annulation effectuée à "_s).match(result[u"line"_s].toString()).hasMatch());
        QCOMPARE(events[u"end"_s].value(u"outcome"_s).toString(), u"accepted"_s);
    }

    // The modem's OK came just before the signal: hung up, and the success kept.
    void stopSignal_hangsUpThenEnds()
    {
        CtlRun run(6, {Reply::Ok}, {u"forward"_s, u"0612345678"_s, u"--json"_s});
        QTRY_COMPARE_WITH_TIMEOUT(run.modem.commands().size(), 1, kWaitMs);
        QTest::qWait(1000); // the answer has come, the listening goes on
        ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
        QVERIFY(run.process.waitForFinished(5000));
        QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process.exitCode(), 143);
        QTRY_COMPARE(run.modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba);
        const QStringList events = run.out();
        QCOMPARE(events.size(), 4); // attempt, hangup, result, end
        QCOMPARE(QJsonDocument::fromJson(events[2].toUtf8())[u"accepted"_s], QJsonValue(true));
        QCOMPARE(QJsonDocument::fromJson(events[3].toUtf8())[u"exit"_s], QJsonValue(143));
    }

    void lineLost_endsWith5()
    {
        CtlRun run(8, {Reply::HangUp}, {u"cancel"_s});
        QTRY_VERIFY_WITH_TIMEOUT(run.ended(), kWaitMs); // the modem answers through this event loop
        QCOMPARE(run.process.exitCode(), 5);
        QCOMPARE(run.out(), QStringList{u"Il n'a pas été possible de mener à bien l'opération désirée."_s});
    }

    // A port held open by a program without a lock: listed busy, and an
    // operation on it ends at once, naming the holder. Links that lead
    // nowhere are listed as missing, with their target.
    void heldPort_listedBusy_operationEndsWith3()
    {
        ModemSimulator free, held;
        QVERIFY(free.open() && held.open());
        QProcess holder;
        holder.start(u"sh"_s, {u"-c"_s, u"exec 3<>\"$0\"; echo open; exec sleep 60"_s, held.devicePath()});
        QVERIFY(holder.waitForReadyRead(5000));
        QVERIFY(free.linkAsPort(11, CtlRun::renvoliaConfigFolder()) && held.linkAsPort(7, CtlRun::renvoliaConfigFolder()));
        const QString links = CtlRun::renvoliaConfigFolder() + u"/ports/com"_s;
        QVERIFY(QFile::link(u"/dev/ttyUSB-gone"_s, links + u"13"_s) && QFile::link(links + u"14"_s, links + u"15"_s)
                && QFile::link(links + u"15"_s, links + u"14"_s));

        QProcess run;
        run.start(QStringLiteral(RENVOLIACTL), {u"ports"_s, u"--json"_s});
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), 0);
        const QJsonObject listed = QJsonDocument::fromJson(run.readAllStandardOutput()).object();
        QMap<int, QJsonObject> ports;
        for (const QJsonValue &port : listed.value(u"ports"_s).toArray())
            ports.insert(port[u"port"_s].toInt(), port.toObject());
        QCOMPARE(ports.value(11).value(u"device"_s).toString(), free.devicePath());
        QCOMPARE(ports.value(11).value(u"state"_s).toString(), u"free"_s);
        QCOMPARE(ports.value(7).value(u"state"_s).toString(), u"busy"_s);
        QCOMPARE(ports.value(7).value(u"why"_s).toString(), u"tenu par le pid %1 (sleep)"_s.arg(holder.processId()));
        QCOMPARE(ports.value(13).value(u"device"_s).toString(), u"/dev/ttyUSB-gone"_s);
        QCOMPARE(ports.value(13).value(u"state"_s).toString(), u"missing"_s);
        QCOMPARE(ports.value(14).value(u"state"_s).toString(), u"missing"_s);
        QVERIFY(ports.value(14).value(u"why"_s).toString().contains(u"tourne en rond"_s));
        run.start(QStringLiteral(RENVOLIACTL), {u"ports"_s});
        QVERIFY(run.waitForFinished(10000));
        QVERIFY(QString::fromUtf8(run.readAllStandardOutput()).contains(u"COM13\t/dev/ttyUSB-gone\tabsent\n"_s));
        for (const QString &port : {u"13"_s, u"14"_s, u"15"_s})
            QVERIFY(QFile::remove(links + port));
        QStringList devices, systemDevices;
        for (const QJsonValue &device : listed.value(u"devices"_s).toArray())
            devices << device[u"device"_s].toString();
        for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
            systemDevices << port.systemLocation();
        QCOMPARE(QSet(devices.cbegin(), devices.cend()), QSet(systemDevices.cbegin(), systemDevices.cend()));

        run.start(QStringLiteral(RENVOLIACTL), {u"cancel"_s, u"--port=7"_s});
        QVERIFY(run.waitForFinished(5000));
        QCOMPARE(run.exitCode(), 3);
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()),
                 u"COM7 n'est pas un numéro de port valable,  ou est utilisé actuellement par une autre application.\n"_s);
        QVERIFY(QString::fromUtf8(run.readAllStandardError()).contains(u"tenu par le pid %1 (sleep)"_s.arg(holder.processId())));

        run.start(QStringLiteral(RENVOLIACTL), {u"cancel"_s, u"--port=7"_s, u"--json"_s});
        QVERIFY(run.waitForFinished(5000));
        const QJsonObject end = QJsonDocument::fromJson(run.readAllStandardOutput()).object();
        QCOMPARE(end.value(u"outcome"_s).toString(), u"port-failure"_s);
        QCOMPARE(end.value(u"exit"_s).toInt(), 3);
        QCOMPARE(end.value(u"reason"_s).toString(),
                 u"%1 ne peut pas être ouvert : tenu par le pid %2 (sleep)"_s.arg(held.devicePath()).arg(holder.processId()));
        QVERIFY(held.receivedBytes().isEmpty());

        // Another renvoliactl at work on port 11 holds its lock file: named from it.
        free.setDialReplies({Reply::Silent});
        QProcess working;
        working.start(QStringLiteral(RENVOLIACTL), {u"cancel"_s, u"--port=11"_s, u"--attempts=0"_s});
        QTRY_VERIFY_WITH_TIMEOUT(!free.commands().isEmpty(), kWaitMs);
        const QString lockHolder = u"tenu par le pid %1 (renvoliactl)"_s.arg(working.processId());
        run.start(QStringLiteral(RENVOLIACTL), {u"ports"_s});
        QVERIFY(run.waitForFinished(10000));
        const QString listing = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY2(listing.contains(u"COM11\t%1\toccupé (%2)\n"_s.arg(free.devicePath(), lockHolder)), qPrintable(listing));
        QVERIFY2(listing.contains(u"COM7\t%1\toccupé (tenu par le pid %2 (sleep))\n"_s.arg(held.devicePath()).arg(holder.processId())),
                 qPrintable(listing));
        working.terminate(); // killed, it would leave its lock file behind
        working.waitForFinished();
        holder.kill();
        holder.waitForFinished();
    }

    void portsAssign_linksLikeTheWindowsChoice_data()
    {
        QTest::addColumn<QString>("device");   // "modem", its path locked ("locked modem"), "file", or a path
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<bool>("writable");    // the ports folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("port");         // the one linked and saved; 0: none
        QTest::addColumn<QString>("out");      // after "COMn\t<device>\t"
        QTest::addColumn<QString>("err");      // a pattern

        QTest::addRow("a pseudo-terminal gets port 3") << u"modem"_s << QString() << true << 0 << 3 << u"libre"_s << QString();
        QTest::addRow("the port asked for") << u"modem"_s << u"9"_s << true << 0 << 9 << u"libre"_s << QString();
        QTest::addRow("no permission on the device: assigned, and how to fix it")
            << u"locked modem"_s << QString() << true << 0 << 3 << u"accès refusé (ajoutez-vous au groupe dialout)"_s
            << u"renvoliactl: COM3: accès refusé au périphérique : ajoutez-vous au groupe dialout, puis reconnectez-vous"_s;
        QTest::addRow("no permission to make the link") << u"modem"_s << QString() << false << 1 << 0 << QString()
                                                         << u"le lien \\S+/ports/com3 n'a pas pu être créé \\(.+\\)"_s;
        QTest::addRow("not a character device: 2") << u"file"_s << QString() << true << 2 << 0 << QString()
                                                    << u"n'est pas un périphérique en mode caractère"_s;
        QTest::addRow("not a serial line: 2") << u"/dev/null"_s << QString() << true << 2 << 0 << QString()
                                              << u"/dev/null n'est pas une ligne série"_s;
    }

    // Root opens everything, so renvoliactl runs as "nobody" then.
    void portsAssign_linksLikeTheWindowsChoice()
    {
        QFETCH(QString, device);
        QFETCH(QString, wanted);
        QFETCH(bool, writable);
        QFETCH(int, exitCode);
        QFETCH(int, port);
        QFETCH(QString, out);
        QFETCH(QString, err);

        const TemporaryConfigFolder folder;
        const QString ports = folder.renvoliaFolder() + u"/ports"_s;
        QVERIFY(QDir().mkpath(ports));
        const auto everyone = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
        const auto writing = writable ? QFile::WriteOwner | QFile::WriteOther : QFile::Permissions();
        for (const QString &path : {QFileInfo(folder.renvoliaFolder()).path(), folder.renvoliaFolder(), ports})
            QVERIFY(QFile::setPermissions(path, everyone | writing));
        ModemSimulator modem;
        QVERIFY(modem.open());
        const QString path = device == u"file"_s ? folder.renvoliaFolder() + u"/renvolia.conf"_s
            : device.startsWith(u'/')               ? device
                                                    : modem.devicePath();
        QVERIFY(device != u"file"_s || QFile(path).open(QIODevice::WriteOnly));
        const auto readWrite = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther;
        QVERIFY(path != modem.devicePath() || QFile::setPermissions(path, device == u"modem"_s ? readWrite : QFile::Permissions()));

        const QTemporaryDir bin; // the build folder may be closed to others
        const QString program = bin.filePath(u"renvoliactl"_s);
        QVERIFY(QFile::copy(QStringLiteral(RENVOLIACTL), program) && QFile::setPermissions(bin.path(), everyone));
        QProcess run;
        if (geteuid() == 0) {
            run.setChildProcessModifier([] {
                constexpr gid_t kNobody = 65534;
                if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(126);
            });
        }
        run.start(program, QStringList{u"ports"_s, u"--assign"_s, path} + wanted.split(u' ', Qt::SkipEmptyParts));
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), exitCode);
        const QString stdErr = QString::fromUtf8(run.readAllStandardError());
        QVERIFY2(stdErr.contains(QRegularExpression(err)), qPrintable(stdErr));
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()),
                 port != 0 ? u"COM%1\t%2\t%3\n"_s.arg(port).arg(path, out) : QString());
        QCOMPARE(QDir(ports).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 port != 0 ? QStringList{u"com"_s + QString::number(port)} : QStringList());
        PortSetting::load();
        QCOMPARE(PortSetting::current(), port != 0 ? QString::number(port) : PortSetting::kDefaultPort);
    }

    // Told on stderr, each: a saved port no entry point can open, a journal
    // not yet written, a journal file that cannot be read.
    void savedPortOutOfRange_noJournalYet_unreadableJournal_saidOnStderr()
    {
        const TemporaryConfigFolder folder;
        PortSetting::setCurrent(u"300"_s);
        QVERIFY(PortSetting::save());
        QProcess run;
        run.start(QStringLiteral(RENVOLIACTL), {u"cancel"_s});
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), 3);
        QVERIFY(QString::fromUtf8(run.readAllStandardError()).contains(u"le port enregistré « 300 »"_s));

        const QTemporaryDir state;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_STATE_HOME"_s, state.path());
        run.setProcessEnvironment(environment);
        run.start(QStringLiteral(RENVOLIACTL), {u"journal"_s, u"--tail"_s, u"5"_s});
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(run.readAllStandardError()),
                 u"renvoliactl: pas encore de journal (%1/renvolia/journal.log)\n"_s.arg(state.path()));
        QVERIFY(run.readAllStandardOutput().isEmpty());

        QFile older(state.path() + u"/renvolia/journal.log.1"_s);
        QVERIFY(QDir(state.path()).mkpath(u"renvolia/journal.log"_s));
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("2026-12-07T18:00:07+01:00 COM2 Echec\n") > 0);
        older.close();
        run.start(QStringLiteral(RENVOLIACTL), {u"journal"_s});
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()), u"2026-12-07T18:00:07+01:00 COM2 Echec\n"_s);
        QVERIFY(QString::fromUtf8(run.readAllStandardError())
                    .startsWith(u"renvoliactl: le journal ne peut pas être lu : %1/renvolia/journal.log ("_s.arg(state.path())));
    }

    void runsWithoutGuiLibraries()
    {
        QProcess ldd;
        ldd.start(u"ldd"_s, {QStringLiteral(RENVOLIACTL)});
        QVERIFY(ldd.waitForFinished(10000));
        const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        QVERIFY(libraries.contains(u"libQt6SerialPort"_s));
        QVERIFY(!libraries.contains(u"libQt6Gui"_s));
        QVERIFY(!libraries.contains(u"libQt6Widgets"_s));
    }
};

QTEST_GUILESS_MAIN(TestRenvoliactl)
#include "tst_renvoliactl.moc"
