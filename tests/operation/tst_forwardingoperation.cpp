#include "ForwardingOperation.h"
#include "FixedClock.h"
#include "ModemSimulator.h"
#include "TemporaryConfigFolder.h"

#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Reply = ModemSimulator::Reply;

Q_DECLARE_METATYPE(OperationRequest)
Q_DECLARE_METATYPE(ModemSimulator::Reply)

namespace {

constexpr OperationTimings kShort{800ms, 400ms};
constexpr int kWaitMs = 10000;
const QDateTime kLateEvening(QDate(2026, 12, 6), QTime(23, 59, 58));
constexpr int kPort = 3;

// A modem on a pseudo-terminal linked as port 3, and an operation on it.
struct OperationRig
{
    explicit OperationRig(const QList<Reply> &replies,
                          OperationRequest firstRequest = OperationRequest::forwarding(u"0612345678"_s))
        : request(std::move(firstRequest))
        , operation([this] { return request; }, [this] { return port; }, clock, kShort)
    {
        QVERIFY(modem.open());
        QVERIFY(modem.linkAsPort(kPort, folder.renvoliaFolder()));
        modem.setDialReplies(replies);
        QObject::connect(&operation, &ForwardingOperation::reportLine,
                         [this](const QString &line) { lines << line; });
        QObject::connect(&operation, &ForwardingOperation::succeeded,
                         [this](OperationRequest::Kind kind) { successes << kind; });
        QObject::connect(&operation, &ForwardingOperation::finished, [this] { ++finishedCount; });
    }

    QList<QByteArray> commandTexts() const
    {
        QList<QByteArray> texts;
        for (const auto &command : modem.commands())
            texts << command.text;
        return texts;
    }

    TemporaryConfigFolder folder;
    ModemSimulator modem;
    FixedClock clock{kLateEvening};
    OperationRequest request;
    QString port = QString::number(kPort);
    ForwardingOperation operation;
    QStringList lines;
    QList<OperationRequest::Kind> successes;
    int finishedCount = 0;
};

QString portFailure(const QString &port)
{
    return u"COM"_s + port
        + u" n'est pas un numéro de port valable,  ou est utilisé actuellement par une autre application."_s;
}

const QString kDialogueFailure = u"Il n'a pas été possible de mener à bien l'opération désirée."_s;

} // namespace

class TestForwardingOperation : public QObject
{
    Q_OBJECT
private slots:
    void modemAnswersOk_succeedsOnce_data();
    void modemAnswersOk_succeedsOnce();
    void noOkInTime_retriesUntilCancelled_data();
    void noOkInTime_retriesUntilCancelled();
    void cancelWhileListening_endsAfterThatAttempt();
    void requestChangedBetweenAttempts_appliesToNext();
    void unusablePort_reportsOnceWithoutRetry_data();
    void unusablePort_reportsOnceWithoutRetry();
    void unsafeNumber_neverReachesTheLine_data();
    void unsafeNumber_neverReachesTheLine();
    void lineDisappears_endsTheOperation_data();
    void lineDisappears_endsTheOperation();
    void startTwice_runsOnce();
};

void TestForwardingOperation::modemAnswersOk_succeedsOnce_data()
{
    QTest::addColumn<OperationRequest>("request");
    QTest::addColumn<int>("replyDelayMs");
    QTest::addColumn<QByteArray>("dial");
    QTest::addColumn<QString>("successLine");
    QTest::addColumn<OperationRequest::Kind>("ticked");

    using K = OperationRequest::Kind;
    QTest::addRow("forwarding")
        << OperationRequest::forwarding(u"0612345678"_s) << 0 << "ATDT*21*0612345678#;\r"_ba
        << u"Renvoi effectué à 23:59:58"_s << K::Forwarding;
    QTest::addRow("cancellation")
        << OperationRequest::cancellation() << 0 << "ATDT#21#;\r"_ba
        << u"Annulation effectuée à 23:59:58"_s << K::Cancellation;
    QTest::addRow("forwarding with an empty number")
        << OperationRequest::forwarding(QString()) << 0 << "ATDT*21*#;\r"_ba
        << u"Renvoi effectué à 23:59:58"_s << K::Forwarding;
    QTest::addRow("international number dialled with its plus")
        << OperationRequest::forwarding(u"+33612345678"_s) << 0 << "ATDT*21*+33612345678#;\r"_ba
        << u"Renvoi effectué à 23:59:58"_s << K::Forwarding;
    QTest::addRow("OK late in the listening time")
        << OperationRequest::forwarding(u"0612345678"_s) << 600 << "ATDT*21*0612345678#;\r"_ba
        << u"Renvoi effectué à 23:59:58"_s << K::Forwarding;
}

void TestForwardingOperation::modemAnswersOk_succeedsOnce()
{
    QFETCH(OperationRequest, request);
    QFETCH(int, replyDelayMs);
    QFETCH(QByteArray, dial);
    QFETCH(QString, successLine);
    QFETCH(OperationRequest::Kind, ticked);

    OperationRig rig({Reply::Ok}, request);
    rig.modem.setEcho(false);
    rig.modem.setReplyDelay(std::chrono::milliseconds(replyDelayMs));
    rig.operation.start();
    QVERIFY(rig.operation.isRunning());

    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
    QCOMPARE(rig.lines, QStringList{successLine});
    QCOMPARE(rig.successes, QList{ticked});
    QVERIFY(!rig.operation.isRunning());
    QTRY_COMPARE(rig.modem.receivedBytes(), dial + "ATH0\r"_ba);

    // The hang-up waits for the whole listening time and the pause, even
    // when "OK" came at once.
    const auto commands = rig.modem.commands();
    QCOMPARE(commands.size(), 2);
    const auto gap = commands[1].at - commands[0].at;
    QVERIFY2(gap >= kShort.listen + kShort.pause - 50ms, qPrintable(QString::number(gap.count())));
    QVERIFY2(gap < kShort.listen + kShort.pause + 1500ms, qPrintable(QString::number(gap.count())));

    // The port is given back.
    QSerialPort other;
    other.setPortName(rig.modem.devicePath());
    QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
}

void TestForwardingOperation::noOkInTime_retriesUntilCancelled_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<int>("replyDelayMs");

    QTest::addRow("ERROR") << Reply::Error << 0;
    QTest::addRow("ok in lower case") << Reply::LowercaseOk << 0;
    QTest::addRow("silence") << Reply::Silent << 0;
    QTest::addRow("OK after the listening time") << Reply::Ok << 1000;
}

void TestForwardingOperation::noOkInTime_retriesUntilCancelled()
{
    QFETCH(Reply, reply);
    QFETCH(int, replyDelayMs);

    OperationRig rig({reply});
    rig.modem.setReplyDelay(std::chrono::milliseconds(replyDelayMs));
    rig.operation.start();

    QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 2, kWaitMs);
    rig.operation.cancel(); // during the pause after the second attempt
    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);

    const QString failure = u"Echec du renvoi à 23:59:58"_s;
    QCOMPARE(rig.lines, (QStringList{failure, failure}));
    QVERIFY(rig.successes.isEmpty());
    QCOMPARE(rig.commandTexts(), (QList{"ATDT*21*0612345678#;"_ba, "ATDT*21*0612345678#;"_ba}));
    const auto commands = rig.modem.commands();
    QVERIFY(commands[1].at - commands[0].at >= kShort.listen + kShort.pause - 50ms);
}

void TestForwardingOperation::cancelWhileListening_endsAfterThatAttempt()
{
    OperationRig rig({Reply::Error}, OperationRequest::cancellation());
    rig.operation.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.modem.commands().size(), 1, kWaitMs);
    QVERIFY(rig.lines.isEmpty());

    rig.operation.cancel();
    QVERIFY(!rig.operation.isRunning());
    QVERIFY(!rig.operation.isFinished());
    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
    QCOMPARE(rig.lines, QStringList{u"Echec de l'annulation à 23:59:58"_s});
    QCOMPARE(rig.modem.commands().size(), 1);
}

void TestForwardingOperation::requestChangedBetweenAttempts_appliesToNext()
{
    OperationRig rig({Reply::Error, Reply::Ok});
    rig.operation.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 1, kWaitMs);
    rig.request = OperationRequest::cancellation();
    rig.clock.set(kLateEvening.addSecs(10));

    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
    QCOMPARE(rig.lines, (QStringList{u"Echec du renvoi à 23:59:58"_s, u"Annulation effectuée à 00:00:08"_s}));
    QCOMPARE(rig.successes, QList{OperationRequest::Kind::Cancellation});
    QTRY_COMPARE(rig.commandTexts(), (QList{"ATDT*21*0612345678#;"_ba, "ATDT#21#;"_ba, "ATH0"_ba}));
}

void TestForwardingOperation::unusablePort_reportsOnceWithoutRetry_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("holder"); // what stands in the way
    QTest::addColumn<QString>("expected");

    QTest::addRow("zero") << u"0"_s << QString()
        << u"COM0 n'est pas un numéro de port valable,  ou est utilisé actuellement par une autre application."_s;
    QTest::addRow("empty") << QString() << QString()
        << u"COM n'est pas un numéro de port valable,  ou est utilisé actuellement par une autre application."_s;
    QTest::addRow("letters") << u"abc"_s << QString()
        << u"COMabc n'est pas un numéro de port valable,  ou est utilisé actuellement par une autre application."_s;
    QTest::addRow("past 16 bits") << u"70000"_s << QString() << portFailure(u"70000"_s);
    QTest::addRow("past the highest port") << u"256"_s << QString() << portFailure(u"256"_s);
    QTest::addRow("negative") << u"-3"_s << QString() << portFailure(u"-3"_s);
    QTest::addRow("missing device") << u"8"_s << u"dangling link"_s << portFailure(u"8"_s);
    QTest::addRow("device held by another program") << u"3"_s << u"flock"_s << portFailure(u"3"_s);
    QTest::addRow("device open in a program without lock") << u"3"_s << u"plain open"_s << portFailure(u"3"_s);
    QTest::addRow("device held by another line of ours") << u"3"_s << u"second line"_s << portFailure(u"3"_s);
    QTest::addRow("same device under another port number") << u"4"_s << u"second line"_s << portFailure(u"4"_s);
}

void TestForwardingOperation::unusablePort_reportsOnceWithoutRetry()
{
    QFETCH(QString, port);
    QFETCH(QString, holder);
    QFETCH(QString, expected);

    OperationRig rig({Reply::Ok});
    rig.port = port;
    QVERIFY(rig.folder.linkPort(4, rig.modem.devicePath()));
    QVERIFY(rig.folder.linkPort(8, u"/dev/renvolia-unplugged-modem"_s));

    QProcess other;
    CommLine secondLine;
    if (holder == u"flock"_s) {
        other.start(u"flock"_s, {rig.modem.devicePath(), u"-c"_s, u"echo locked; exec sleep 60"_s});
        QVERIFY(other.waitForReadyRead(5000));
    } else if (holder == u"plain open"_s) {
        other.start(u"sh"_s, {u"-c"_s, u"exec 3<>\"$0\"; echo open; exec sleep 60"_s, rig.modem.devicePath()});
        QVERIFY(other.waitForReadyRead(5000));
    } else if (holder == u"second line"_s) {
        QVERIFY(secondLine.setCommPort(kPort));
        QVERIFY(secondLine.setPortOpen(true));
    }

    rig.operation.start();
    QCOMPARE(rig.lines, QStringList{expected});
    QCOMPARE(rig.finishedCount, 1);
    QVERIFY(rig.operation.isFinished());
    QVERIFY(!rig.operation.isRunning());
    QTest::qWait(300);
    QCOMPARE(rig.lines.size(), 1);
    QVERIFY(rig.modem.receivedBytes().isEmpty());
    other.kill();
    other.waitForFinished();
}

void TestForwardingOperation::unsafeNumber_neverReachesTheLine_data()
{
    QTest::addColumn<QString>("number");
    QTest::addRow("CR LF after the digits") << u"0612345678\r\n"_s;
    QTest::addRow("a second command") << u"0612;ATZ"_s;
    QTest::addRow("Arabic-Indic digits") << u"\u0660\u0666\u0661\u0662"_s;
}

// The configuration window passes its number as typed; the line still gets
// nothing but digits, "+" and blanks.
void TestForwardingOperation::unsafeNumber_neverReachesTheLine()
{
    QFETCH(QString, number);
    OperationRig rig({Reply::Ok}, OperationRequest::forwarding(number));
    rig.operation.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
    QCOMPARE(rig.lines, QStringList{kDialogueFailure});
    QTest::qWait(100);
    QVERIFY(rig.modem.receivedBytes().isEmpty());
}

void TestForwardingOperation::lineDisappears_endsTheOperation_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QStringList>("expected");

    QTest::addRow("modem unplugged while listening") << Reply::HangUp << QStringList{kDialogueFailure};
    QTest::addRow("modem unplugged during the pause")
        << Reply::Error << QStringList{u"Echec du renvoi à 23:59:58"_s, kDialogueFailure};
}

void TestForwardingOperation::lineDisappears_endsTheOperation()
{
    QFETCH(Reply, reply);
    QFETCH(QStringList, expected);

    OperationRig rig({reply});
    QObject::connect(&rig.operation, &ForwardingOperation::reportLine, &rig.modem,
                     &ModemSimulator::hangUp);
    rig.operation.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
    QCOMPARE(rig.lines, expected);
    QVERIFY(!rig.operation.isRunning());
    QTest::qWait(kShort.pause.count() + 200);
    QCOMPARE(rig.lines, expected);
    QCOMPARE(rig.finishedCount, 1);
}

void TestForwardingOperation::startTwice_runsOnce()
{
    OperationRig rig({Reply::Ok});
    rig.operation.start();
    rig.operation.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
    rig.operation.start();
    QTest::qWait(200);
    QCOMPARE(rig.finishedCount, 1);
    QCOMPARE(rig.commandTexts(), (QList{"ATDT*21*0612345678#;"_ba, "ATH0"_ba}));
}

QTEST_GUILESS_MAIN(TestForwardingOperation)
#include "tst_forwardingoperation.moc"
