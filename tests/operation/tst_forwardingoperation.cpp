#include "ForwardingOperation.h"
#include "FixedClock.h"
#include "Journal.h"
#include "ModemSimulator.h"
#include "PortSetting.h"
#include "TemporaryConfigFolder.h"

#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Reply = ModemSimulator::Reply;

// Readies the simulated modem for one case before the operation starts.
using ModemSetup = std::function<void(ModemSimulator &)>;

Q_DECLARE_METATYPE(OperationRequest)
Q_DECLARE_METATYPE(ModemSimulator::Reply)
Q_DECLARE_METATYPE(LineKind)
Q_DECLARE_METATYPE(ModemSetup)
Q_DECLARE_METATYPE(ForwardingOperation::Outcome)

namespace {

constexpr OperationTimings kShort{300ms, 200ms};
constexpr int kWaitMs = 10000;
const QDateTime kLateEvening(QDate(2026, 12, 6), QTime(23, 59, 58));
constexpr int kPort = 3;

// A modem on a pseudo-terminal linked as port 3, and an operation on it.
struct OperationRig
{
    explicit OperationRig(const QList<Reply> &replies,
                          OperationRequest firstRequest = OperationRequest::forwarding(u"0612345678"_s),
                          OperationTimings timings = kShort)
        : request(std::move(firstRequest))
        , operation([this] { return request; }, [this] { return port; }, clock, timings)
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
const QString kForwarded = u"Renvoi effectué à 23:59:58"_s;
const QString kCancelled = u"Annulation effectuée à 23:59:58"_s;
const QByteArray kSetup = "ATE0\rAT+CMEE=1\r"_ba;

} // namespace

class TestForwardingOperation : public QObject
{
    Q_OBJECT
private slots:
    void reasonsAndLines_exactBytes_data()
    {
        QTest::addColumn<LineKind>("line");
        QTest::addColumn<OperationRequest>("request");
        QTest::addColumn<ModemSetup>("setup");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("diagnostic"); // found in the journal

        using R = ForwardingReason;
        const ModemSetup plain = [](ModemSimulator &) {};
        const ModemSetup echoOff = [](ModemSimulator &modem) { modem.setEcho(false); };
        const ModemSetup forwardedAll = [](ModemSimulator &modem) { modem.network().answer("AT+CCFC=0,3,\"0611\""); };
        const OperationRequest status{OperationRequest::Kind::Status, {}, R::All, std::nullopt};
        OperationRequest noReply = OperationRequest::forwarding(u"0612345678"_s, R::NoReply);
        noReply.noReplySeconds = 20;

        const auto A = LineKind::Analog;
        QTest::addRow("analogue forwarding") << A << OperationRequest::forwarding(u"0612345678"_s) << plain
            << "ATDT*21*0612345678#;\rATH0\r"_ba << QStringList{kForwarded} << QString();
        QTest::addRow("analogue cancellation, no echo") << A << OperationRequest::cancellation() << echoOff
            << "ATDT#21#;\rATH0\r"_ba << QStringList{kCancelled} << QString();
        QTest::addRow("analogue forwarding with an empty number") << A << OperationRequest::forwarding(QString()) << plain
            << "ATDT*21*#;\rATH0\r"_ba << QStringList{kForwarded} << QString();
        QTest::addRow("analogue international number, OK late in the listening time") << A
            << OperationRequest::forwarding(u"+33612345678"_s)
            << ModemSetup([](ModemSimulator &modem) { modem.setReplyDelay(200ms); })
            << "ATDT*21*+33612345678#;\rATH0\r"_ba << QStringList{kForwarded} << QString();
        QTest::addRow("analogue busy") << A << OperationRequest::forwarding(u"0612345678"_s, R::Busy) << plain
            << "ATDT*67*0612345678#;\rATH0\r"_ba << QStringList{kForwarded} << QString();
        QTest::addRow("analogue not reachable, cancelled") << A << OperationRequest::cancellation(R::NotReachable)
            << plain << "ATDT#62#;\rATH0\r"_ba << QStringList{kCancelled} << QString();
        QTest::addRow("analogue every forwarding cancelled") << A << OperationRequest::cancellation(R::Every) << plain
            << "ATDT##002#;\rATH0\r"_ba << QStringList{kCancelled} << QString();
        QTest::addRow("analogue busy on the network's own code") << A
            << OperationRequest::forwarding(u"0612345678"_s, R::Busy) << ModemSetup([](ModemSimulator &) {
                   QSettings(PortSetting::storeLocation(), PortSetting::storeFormat()).setValue(u"Codes/busy-forward"_s, u"*90*{number}#"_s);
               })
            << "ATDT*90*0612345678#;\rATH0\r"_ba << QStringList{kForwarded} << QString();

        const auto M = LineKind::Mobile;
        QTest::addRow("mobile all, international") << M << OperationRequest::forwarding(u"+33612345678"_s) << plain
            << kSetup + "AT+CCFC=0,3,\"+33612345678\",145,1\rAT+CCFC=0,2\r"
            << QStringList{kForwarded, u"Renvoi actif vers +33612345678"_s} << QString();
        QTest::addRow("mobile busy, no echo even before ATE0") << M << OperationRequest::forwarding(u"0612345678"_s, R::Busy) << echoOff
            << kSetup + "AT+CCFC=1,3,\"0612345678\",129,1\rAT+CCFC=1,2\r"
            << QStringList{kForwarded, u"Renvoi actif vers 0612345678"_s} << QString();
        QTest::addRow("mobile no reply after 20 s") << M << noReply << plain
            << kSetup + "AT+CCFC=2,3,\"0612345678\",129,1,,,20\rAT+CCFC=2,2\r"
            << QStringList{kForwarded, u"Renvoi actif vers 0612345678"_s} << QString();
        QTest::addRow("mobile not reachable, cancelled") << M << OperationRequest::cancellation(R::NotReachable)
            << forwardedAll << kSetup + "AT+CCFC=3,4,,,1\rAT+CCFC=3,2\r" << QStringList{kCancelled, u"Aucun renvoi actif"_s}
            << QString();
        QTest::addRow("mobile every forwarding cancelled, each reason asked") << M << OperationRequest::cancellation(R::Every)
            << forwardedAll << kSetup + "AT+CCFC=4,4,,,1\rAT+CCFC=0,2\rAT+CCFC=1,2\rAT+CCFC=2,2\rAT+CCFC=3,2\r"
            << QStringList{kCancelled, u"Aucun renvoi actif"_s} << QString();
        QTest::addRow("mobile voice-only subscription") << M << OperationRequest::forwarding(u"0612345678"_s, R::AllConditional)
            << ModemSetup([](ModemSimulator &modem) { modem.network().setSubscribedClasses(1); })
            << kSetup + "AT+CCFC=5,3,\"0612345678\",129,1\rAT+CCFC=1,2\rAT+CCFC=2,2\rAT+CCFC=3,2\r"
            << QStringList{kForwarded, u"Renvoi actif vers 0612345678 si occupé, sans réponse, si injoignable"_s} << QString();
        QTest::addRow("mobile status of every forwarding, summed up") << M << OperationRequest{OperationRequest::Kind::Status, {}, R::Every, std::nullopt}
            << ModemSetup([](ModemSimulator &modem) {
                   modem.network().answer("AT+CCFC=1,3,\"0611\",129,1");
                   modem.network().answer("AT+CCFC=3,3,\"+33622\",145,1");
               })
            << kSetup + "AT+CCFC=0,2\rAT+CCFC=1,2\rAT+CCFC=2,2\rAT+CCFC=3,2\r"
            << QStringList{u"Renvoi actif vers 0611 si occupé ; vers +33622 si injoignable"_s} << QString();
        QTest::addRow("mobile status, echo off") << M << status << ModemSetup([](ModemSimulator &modem) {
            modem.setEcho(false);
            modem.network().answer("AT+CCFC=0,3,\"0611\"");
        }) << kSetup + "AT+CCFC=0,2\r" << QStringList{u"Renvoi actif vers 0611"_s} << QString();
        QTest::addRow("mobile status: echo kept, the voice class among others, unsolicited codes") << M << status
            << ModemSetup([](ModemSimulator &modem) {
                   modem.network().answerNextWith("AT+CCFC=0,2\r\r\nRING\r\n\r\n+CCFC: 1,2,\"0622\",129\r\n+CCFC: 0,4\r\n"
                                                  "+CCFC: 1,1,\"+33611\",145,,,20\r\n\r\nOK\r\n");
               })
            << kSetup + "AT+CCFC=0,2\r" << QStringList{u"Renvoi actif vers +33611"_s} << QString();
        QTest::addRow("mobile status: type 145 without its +") << M << status
            << ModemSetup([](ModemSimulator &modem) { modem.network().answerNextWith("\r\n+CCFC: 1,1,\"33611\",145\r\n\r\nOK\r\n"); })
            << kSetup + "AT+CCFC=0,2\r" << QStringList{u"Renvoi actif vers +33611"_s} << QString();
        QTest::addRow("mobile status: active, no number") << M << status
            << ModemSetup([](ModemSimulator &modem) { modem.network().answerNextWith("\r\n+CCFC: 1,1\r\n\r\nOK\r\n"); })
            << kSetup + "AT+CCFC=0,2\r" << QStringList{u"Renvoi actif"_s} << QString();
        QTest::addRow("mobile status: a number without its type") << M << status
            << ModemSetup([](ModemSimulator &modem) { modem.network().answerNextWith("\r\n+CCFC: 1,1,\"+33611\"\r\n\r\nOK\r\n"); })
            << kSetup + "AT+CCFC=0,2\r" << QStringList{u"Renvoi actif vers +33611"_s} << QString();
        QTest::addRow("mobile +CME ERROR: 30, then OK") << M << OperationRequest::forwarding(u"0612345678"_s)
            << ModemSetup([](ModemSimulator &modem) { modem.network().refuseNext(1, 30); })
            << kSetup + "AT+CCFC=0,3,\"0612345678\",129,1\rAT+CCFC=0,3,\"0612345678\",129,1\rAT+CCFC=0,2\r"
            << QStringList{u"Echec du renvoi à 23:59:58"_s, kForwarded, u"Renvoi actif vers 0612345678"_s}
            << u"+CME ERROR: 30 (pas de service réseau)"_s;
        QTest::addRow("mobile without AT+CMEE: plain ERROR, then OK") << M << OperationRequest::cancellation()
            << ModemSetup([](ModemSimulator &modem) {
                   modem.network().setErrorCodesSupported(false);
                   modem.network().refuseNext(1, 30);
               })
            << kSetup + "AT+CCFC=0,4,,,1\rAT+CCFC=0,4,,,1\rAT+CCFC=0,2\r"
            << QStringList{u"Echec de l'annulation à 23:59:58"_s, kCancelled, u"Aucun renvoi actif"_s}
            << u"le modem a répondu ERROR"_s;
        QTest::addRow("mobile status line not understood, then understood") << M << status
            << ModemSetup([](ModemSimulator &modem) { modem.network().answerNextWith("\r\n+CCFC: yes\r\n\r\nOK\r\n"); })
            << kSetup + "AT+CCFC=0,2\rAT+CCFC=0,2\r"
            << QStringList{u"Echec de la consultation à 23:59:58"_s, u"Aucun renvoi actif"_s}
            << uR"(ligne d'état non comprise : "+CCFC: yes" ; reçu "\r\n+CCFC: yes\r\n\r\nOK\r\n")"_s;
        QTest::addRow("mobile final result code dropped") << M << OperationRequest::cancellation()
            << ModemSetup([](ModemSimulator &modem) { modem.network().dropFinalResults(1); })
            << kSetup + "AT+CCFC=0,4,,,1\rAT+CCFC=0,4,,,1\rAT+CCFC=0,2\r"
            << QStringList{u"Echec de l'annulation à 23:59:58"_s, kCancelled, u"Aucun renvoi actif"_s}
            << u"aucun code de résultat final dans le temps d'écoute"_s;
    }

    // Through the simulated modem, analogue or cellular; a failed attempt is
    // followed by the next one, and the hang-up comes, a listening time and a
    // pause later, even when the modem answered at once.
    void reasonsAndLines_exactBytes()
    {
        QFETCH(LineKind, line);
        QFETCH(OperationRequest, request);
        QFETCH(ModemSetup, setup);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, lines);
        QFETCH(QString, diagnostic);

        OperationRig rig({Reply::Ok}, request);
        rig.modem.setCellular(line == LineKind::Mobile);
        setup(rig.modem);
        rig.operation.setDialogue(dialogueFor(line));
        QStringList diagnostics;
        QObject::connect(&rig.operation, &ForwardingOperation::diagnostic, [&](const QString &text) { diagnostics << text; });
        rig.operation.start();
        QVERIFY(rig.operation.isRunning());

        QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
        QVERIFY(!rig.operation.isRunning());
        QCOMPARE(rig.operation.outcome(), ForwardingOperation::Outcome::Accepted);
        QCOMPARE(rig.lines, lines);
        QCOMPARE(rig.successes, QList{request.kind});
        QTRY_COMPARE(rig.modem.receivedBytes(), sent);
        QCOMPARE(diagnostics.join(u'\n').contains(diagnostic), true);
        QCOMPARE(diagnostics.isEmpty(), diagnostic.isEmpty());
        QFile journal(Journal::path());
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QString journalText = QString::fromUtf8(journal.readAll());
        for (const QString &text : diagnostics + lines)
            QVERIFY2(journalText.contains(u"COM3 "_s + text + u'\n'), qPrintable(text));
        const auto commands = rig.modem.commands();
        for (qsizetype i = 1; i < commands.size(); ++i) {
            const auto gap = commands[i].at - commands[i - 1].at;
            if (commands[i].text == commands[i - 1].text || commands[i].text == "ATH0")
                QVERIFY2(gap >= kShort.listen + kShort.pause - 50ms && gap < kShort.listen + kShort.pause + 1500ms,
                         qPrintable(QString::number(gap.count())));
            if (commands[i - 1].text == "ATE0" || commands[i - 1].text == "AT+CMEE=1") // answered: no wait
                QVERIFY2(gap < kShort.listen, qPrintable(QString::number(gap.count())));
        }

        QSerialPort other; // the port is given back
        other.setPortName(rig.modem.devicePath());
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
    }

    void noOkInTime_retriesUntilCancelled_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("replyDelayMs");

        QTest::addRow("ERROR") << Reply::Error << 0;
        QTest::addRow("ok in lower case") << Reply::LowercaseOk << 0;
        QTest::addRow("silence") << Reply::Silent << 0;
        QTest::addRow("OK after the listening time") << Reply::Ok << 400;
    }

    void noOkInTime_retriesUntilCancelled()
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
        const QByteArray dial = "ATDT*21*0612345678#;"_ba;
        QCOMPARE(rig.commandTexts(), (QList{dial, "ATH0"_ba, dial, "ATH0"_ba}));
        const auto commands = rig.modem.commands();
        QVERIFY(commands[2].at - commands[0].at >= kShort.listen + kShort.pause - 50ms);
    }

    void everyEnd_leavesTheModemOnHook_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("stopAfterMs"); // after the dial reached the modem; -1: no stop, one attempt allowed
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<ForwardingOperation::Outcome>("outcome");

        using O = ForwardingOperation::Outcome;
        const QString failed = u"Echec du renvoi à 23:59:58"_s;
        QTest::addRow("last allowed attempt failed: no pause") << Reply::Error << -1 << QStringList{failed} << O::NotAccepted;
        QTest::addRow("stopped while listening to silence") << Reply::Silent << 500 << QStringList() << O::Stopped;
        QTest::addRow("stopped after OK, still listening") << Reply::Ok << 500 << QStringList{kForwarded} << O::Accepted;
        QTest::addRow("stopped in the pause after OK") << Reply::Ok << 2000 << QStringList{kForwarded} << O::Accepted;
    }

    // Whatever ends the operation, the dial is followed by "ATH0" before the
    // port closes, and an "OK" already received is reported as a success.
    void everyEnd_leavesTheModemOnHook()
    {
        QFETCH(Reply, reply);
        QFETCH(int, stopAfterMs);
        QFETCH(QStringList, lines);
        QFETCH(ForwardingOperation::Outcome, outcome);

        OperationRig rig({reply}, OperationRequest::forwarding(u"0612345678"_s), {1500ms, 5000ms});
        rig.operation.setMaxAttempts(stopAfterMs < 0 ? 1 : 0);
        rig.operation.start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.modem.commands().size(), 1, kWaitMs);
        if (stopAfterMs >= 0) {
            QTest::qWait(stopAfterMs);
            rig.operation.stopNow();
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, 3000); // sooner than a pause
        QCOMPARE(rig.operation.outcome(), outcome);
        QCOMPARE(rig.lines, lines);
        QCOMPARE(rig.successes.size(), outcome == ForwardingOperation::Outcome::Accepted ? 1 : 0);
        QTRY_COMPARE(rig.modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba);
    }

    void refusedForGood_endsAtOnceWithTheReason_data()
    {
        QTest::addColumn<int>("cmeError");
        QTest::addColumn<OperationRequest>("request");
        QTest::addColumn<QStringList>("lines");

        const QString forGood = u"Refus définitif, sans nouvelle tentative : "_s;
        QTest::addRow("SIM PIN required") << 11 << OperationRequest::forwarding(u"0612345678"_s)
            << QStringList{u"Echec du renvoi à 23:59:58"_s, forGood + u"+CME ERROR: 11 (code PIN de la carte SIM requis)"_s};
        QTest::addRow("operation not allowed") << 3 << OperationRequest::cancellation()
            << QStringList{u"Echec de l'annulation à 23:59:58"_s, forGood + u"+CME ERROR: 3 (opération non autorisée)"_s};
        QTest::addRow("SIM not inserted, status")
            << 10 << OperationRequest{OperationRequest::Kind::Status, {}, ForwardingReason::Busy, std::nullopt}
            << QStringList{u"Echec de la consultation à 23:59:58"_s, forGood + u"+CME ERROR: 10 (carte SIM absente)"_s};
    }

    // A pause of a minute would follow a refusal that can be retried.
    void refusedForGood_endsAtOnceWithTheReason()
    {
        QFETCH(int, cmeError);
        QFETCH(OperationRequest, request);
        QFETCH(QStringList, lines);

        OperationRig rig({Reply::Ok}, request, {300ms, 60s});
        rig.modem.setCellular(true);
        rig.modem.network().refuseNext(2, cmeError);
        rig.operation.setDialogue(dialogueFor(LineKind::Mobile));
        rig.operation.start();

        QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
        QCOMPARE(rig.operation.outcome(), ForwardingOperation::Outcome::NotAccepted);
        QCOMPARE(rig.lines, lines);
        QCOMPARE(rig.operation.failureReason(), lines.last().section(u" : "_s, 1));
        QCOMPARE(rig.modem.commands().size(), 3); // ATE0, AT+CMEE=1 and one attempt
        QFile journal(Journal::path());
        QVERIFY(journal.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(journal.readAll()).contains(lines.last()));
    }

    // Started twice, and again once done: one run all the same.
    void requestChangedBetweenAttempts_appliesToNext()
    {
        OperationRig rig({Reply::Error, Reply::Ok});
        rig.operation.start();
        rig.operation.start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.lines.size(), 1, kWaitMs);
        rig.request = OperationRequest::cancellation();
        rig.clock.set(kLateEvening.addSecs(10));

        QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
        rig.operation.start();
        QCOMPARE(rig.lines, (QStringList{u"Echec du renvoi à 23:59:58"_s, u"Annulation effectuée à 00:00:08"_s}));
        QCOMPARE(rig.successes, QList{OperationRequest::Kind::Cancellation});
        QTRY_COMPARE(rig.commandTexts(), (QList{"ATDT*21*0612345678#;"_ba, "ATH0"_ba, "ATDT#21#;"_ba, "ATH0"_ba}));
        QTest::qWait(200);
        QCOMPARE(rig.finishedCount, 1);
        QCOMPARE(rig.modem.commands().size(), 4);
    }

    void unusablePort_reportsOnceWithoutRetry_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("holder"); // what stands in the way: a shell script given the device, or else
        QTest::addColumn<QString>("expected");

        QTest::addRow("zero") << u"0"_s << QString() << portFailure(u"0"_s);
        QTest::addRow("past the highest port") << u"256"_s << QString() << portFailure(u"256"_s);
        QTest::addRow("missing device") << u"8"_s << u"dangling link"_s << portFailure(u"8"_s);
        QTest::addRow("device held by another program") << u"3"_s << u"exec flock \"$0\" -c 'echo locked; exec sleep 60'"_s << portFailure(u"3"_s);
        QTest::addRow("device open in a program without lock") << u"3"_s << u"exec 3<>\"$0\"; echo open; exec sleep 60"_s << portFailure(u"3"_s);
        QTest::addRow("device open in the modem program of another pseudo-terminal") << u"3"_s
            << u"exec 3<>\"$0\"; exec script -qfc 'exec 3>&-; echo open; exec sleep 60' /dev/null"_s << portFailure(u"3"_s);
        QTest::addRow("device held by another line of ours") << u"3"_s << u"second line"_s << portFailure(u"3"_s);
        QTest::addRow("same device under another port number") << u"4"_s << u"second line"_s << portFailure(u"4"_s);
    }

    void unusablePort_reportsOnceWithoutRetry()
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
        if (holder.startsWith(u"exec"_s)) {
            other.start(u"sh"_s, {u"-c"_s, holder, rig.modem.devicePath()});
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

    void unsafeNumber_neverReachesTheLine_data()
    {
        QTest::addColumn<LineKind>("line");
        QTest::addColumn<OperationRequest>("request");
        const auto A = LineKind::Analog;
        QTest::addRow("CR LF after the digits") << A << OperationRequest::forwarding(u"0612345678\r\n"_s);
        QTest::addRow("a second command") << A << OperationRequest::forwarding(u"0612;ATZ"_s);
        QTest::addRow("Arabic-Indic digits") << A << OperationRequest::forwarding(u"\u0660\u0666\u0661\u0662"_s);
        QTest::addRow("no analogue code for all conditional")
            << A << OperationRequest::forwarding(u"06"_s, ForwardingReason::AllConditional);
        QTest::addRow("status on an analogue line")
            << A << OperationRequest{OperationRequest::Kind::Status, {}, ForwardingReason::All, std::nullopt};
        QTest::addRow("mobile: blanks inside") << LineKind::Mobile << OperationRequest::forwarding(u"06 12"_s);
        QTest::addRow("mobile: 41 digits") << LineKind::Mobile << OperationRequest::forwarding(QString(41, u'6'));
    }

    // The configuration window passes its number as typed; the line still gets
    // nothing but digits, "+" and blanks, and nothing the line cannot do.
    void unsafeNumber_neverReachesTheLine()
    {
        QFETCH(LineKind, line);
        QFETCH(OperationRequest, request);
        OperationRig rig({Reply::Ok}, request);
        rig.modem.setCellular(true);
        rig.operation.setDialogue(dialogueFor(line));
        rig.operation.start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.finishedCount, 1, kWaitMs);
        QCOMPARE(rig.lines, QStringList{kDialogueFailure});
        QTest::qWait(100);
        QCOMPARE(rig.modem.receivedBytes(), line == LineKind::Mobile ? kSetup : QByteArray());
    }

    void lineDisappears_endsTheOperation_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QStringList>("expected");

        QTest::addRow("modem unplugged while listening") << Reply::HangUp << QStringList{kDialogueFailure};
        QTest::addRow("modem unplugged during the pause")
            << Reply::Error << QStringList{u"Echec du renvoi à 23:59:58"_s, kDialogueFailure};
    }

    void lineDisappears_endsTheOperation()
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
};

QTEST_GUILESS_MAIN(TestForwardingOperation)
#include "tst_forwardingoperation.moc"
