#include "FrmGenerique.h"
#include "FixedClock.h"
#include "ModemSimulator.h"
#include "Journal.h"
#include "OverlappingWidgets.h"
#include "SoftModem.h"
#include "TemporaryConfigFolder.h"
#include "kvoCheck.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Reply = ModemSimulator::Reply;

Q_DECLARE_METATYPE(LineKind)
Q_DECLARE_METATYPE(OperationRequest)

namespace {

constexpr OperationTimings kShort{400ms, 500ms};
constexpr int kWaitMs = 10000;
const QDateTime kNoon(QDate(2026, 12, 6), QTime(12, 0, 5));

// The report window on port 2, a simulated modem linked there unless there
// are no replies to give.
struct WindowRig
{
    explicit WindowRig(const QList<Reply> &replies, const OperationRequest &request,
                       OperationTimings timings = kShort, LineKind line = LineKind::Analog, bool launchNow = true)
        : request(request), timings(timings), line(line)
    {
        if (!replies.isEmpty() && (!modem.open() || !modem.linkAsPort(2, folder.renvoliaFolder())))
            qFatal("no pseudo-terminal for the modem");
        modem.setDialReplies(replies);
        modem.setCellular(line == LineKind::Mobile);
        if (launchNow)
            launch();
    }
    void launch() { window = FrmGenerique::launch(request, [] { return u"2"_s; }, clock, timings, line); }
    ~WindowRig() { delete window.data(); }

    template<typename T>
    T *control(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QString report() const { return control<QLabel>(u"lblRapport"_s)->text(); }
    QString button() const { return control<QPushButton>(u"cmdCancel"_s)->text(); }
    int value(const QString &box) const { return *control<kvoCheck>(box); }

    TemporaryConfigFolder folder;
    ModemSimulator modem;
    FixedClock clock{kNoon};
    OperationRequest request;
    OperationTimings timings;
    LineKind line;
    QPointer<FrmGenerique> window;
};

const QString kHeading = u"Rapport des opérations:"_s;
const QString kFailedAtNoon = u"\r\nEchec du renvoi à 12:00:05"_s;

} // namespace

class TestFrmGenerique : public QObject
{
    Q_OBJECT
private slots:
    void success_ticksItsBox_data()
    {
        QTest::addColumn<LineKind>("line");
        QTest::addColumn<OperationRequest>("request");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<QString>("grey");
        QTest::addColumn<bool>("realTimings");

        QTest::addRow("forwarding on the production waits, 7 s of listening and 3 s of pause") << LineKind::Analog
            << OperationRequest::forwarding(u"0612345678"_s) << u"\r\nRenvoi effectué à 12:00:05"_s
            << "ATDT*21*0612345678#;\rATH0\r"_ba << u"chkTerminé"_s << u"chkAnnulation"_s << true;
        QTest::addRow("cancellation") << LineKind::Analog << OperationRequest::cancellation()
            << u"\r\nAnnulation effectuée à 12:00:05"_s << "ATDT#21#;\rATH0\r"_ba << u"chkAnnulation"_s << u"chkTerminé"_s
            << false;
        QTest::addRow("forwarding on a mobile line, with the network's answer")
            << LineKind::Mobile << OperationRequest::forwarding(u"+33612345678"_s)
            << u"\r\nRenvoi effectué à 12:00:05\r\nRenvoi actif vers +33612345678"_s
            << "ATE0\rAT+CMEE=1\rAT+CCFC=0,3,\"+33612345678\",145,1\rAT+CCFC=0,2\r"_ba << u"chkTerminé"_s
            << u"chkAnnulation"_s << false;
    }

    void success_ticksItsBox()
    {
        QFETCH(LineKind, line);
        QFETCH(OperationRequest, request);
        QFETCH(QString, report);
        QFETCH(QByteArray, sent);
        QFETCH(QString, ticked);
        QFETCH(QString, grey);
        QFETCH(bool, realTimings);

        WindowRig rig({Reply::Ok}, request, realTimings ? OperationTimings{} : kShort, line);
        QVERIFY(rig.window->isVisible());
        QCOMPARE(rig.button(), u"Annuler"_s);
        QCOMPARE(rig.value(grey), 2);
        QCOMPARE(rig.value(ticked), 0);
        QTRY_COMPARE_WITH_TIMEOUT(rig.button(), u"Fermer"_s, 15000);
        QCOMPARE(rig.value(ticked), 1);
        QCOMPARE(rig.value(grey), 2);
        QCOMPARE(rig.report(), kHeading + report);
        QVERIFY(rig.control<QLabel>(u"lblMotif"_s)->isHidden());
        QTRY_COMPARE(rig.modem.receivedBytes(), sent);
        if (realTimings) {
            const auto commands = rig.modem.commands();
            const auto gap = commands[1].at - commands[0].at;
            QVERIFY2(gap >= 9950ms && gap < 11500ms, qPrintable(QString::number(gap.count())));
        }
    }

    void controlsAsHandedOver_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addRow("ten digits") << u"0612345678"_s;
        QTest::addRow("200 digits keep the layout") << QString(200, u'7');
    }

    void controlsAsHandedOver()
    {
        QFETCH(QString, number);
        WindowRig rig({Reply::Silent}, OperationRequest::forwarding(number));
        QCOMPARE(rig.window->objectName(), u"frmGénérique"_s);
        QCOMPARE(rig.window->windowTitle(), u"Renvolia d'appel"_s);
        QCOMPARE(rig.control<QLabel>(u"lblNuméro"_s)->text(), number);
        QVERIFY(rig.control<QLabel>(u"lblNuméro"_s)->font().bold());
        const QImage shot = rig.control<QLabel>(u"lblNuméro"_s)->grab().toImage();
        QImage blank(shot.size(), shot.format());
        blank.fill(shot.pixel(0, 0));
        QVERIFY2(shot != blank, "the number is drawn");
        QCOMPARE(overlappingWidgets(*rig.window), QString());
        FrmGenerique reference([] { return QString(); });
        reference.handOver(OperationRequest::forwarding(u"0612345678"_s));
        QCOMPARE(rig.window->sizeHint(), reference.sizeHint());
        for (const QString &box : {u"chkAnnulation"_s, u"chkTerminé"_s}) {
            const auto *check = rig.control<kvoCheck>(box);
            QVERIFY2(check->width() >= check->sizeHint().width(), qPrintable(box));
        }
        QCOMPARE(rig.control<kvoCheck>(u"chkAnnulation"_s)->Caption(), u"Annulation effectuée"_s);
        QCOMPARE(rig.control<kvoCheck>(u"chkTerminé"_s)->Caption(), u"Renvoi effectué"_s);
        QCOMPARE(rig.report(), kHeading);
        QVERIFY(rig.control<QPushButton>(u"cmdCancel"_s)->isDefault());
    }

    void stopKeys_stopRetriesThenClose_data()
    {
        QTest::addColumn<int>("key"); // 0: a mouse click on the button
        QTest::addRow("Enter") << int(Qt::Key_Return);
        QTest::addRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::addRow("Esc") << int(Qt::Key_Escape);
        QTest::addRow("click on Annuler") << 0;
    }

    void stopKeys_stopRetriesThenClose()
    {
        QFETCH(int, key);
        WindowRig rig({Reply::Error}, OperationRequest::forwarding(u"0612345678"_s));
        auto *button = rig.control<QPushButton>(u"cmdCancel"_s);
        auto press = [&] {
            if (key == 0)
                QTest::mouseClick(button, Qt::LeftButton);
            else
                QTest::keyClick(rig.window, Qt::Key(key));
        };

        QTRY_COMPARE_WITH_TIMEOUT(rig.report(), kHeading + u"\r\nEchec du renvoi à 12:00:05"_s, kWaitMs);
        press(); // during the pause: no further attempt, no further line
        QTRY_COMPARE_WITH_TIMEOUT(rig.button(), u"Fermer"_s, kWaitMs);
        QCOMPARE(rig.report(), kHeading + u"\r\nEchec du renvoi à 12:00:05"_s);
        QCOMPARE(rig.modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba); // on-hook before the pause

        press(); // after the end: closes the window
        QTRY_VERIFY(rig.window.isNull());
    }

    // The window answers at once while the modem is listened to; the attempt in
    // progress still runs to its end and reports, and closing waits for it.
    void closeWhileListening_takesEffectAtEndOfAttempt()
    {
        WindowRig rig({Reply::Error}, OperationRequest::forwarding(u"0612345678"_s));
        QTRY_COMPARE_WITH_TIMEOUT(rig.modem.commands().size(), 1, kWaitMs);
        QVERIFY(!rig.window->close()); // stops the retries, as "Annuler" does
        QVERIFY(!rig.window->isRunning());
        QCOMPARE(rig.button(), u"Annuler"_s);

        QTRY_VERIFY_WITH_TIMEOUT(rig.report().contains(u"Echec"_s), kWaitMs);
        QVERIFY(!rig.window->close()); // during the pause
        QVERIFY(rig.window->isVisible());

        QTRY_COMPARE_WITH_TIMEOUT(rig.button(), u"Fermer"_s, kWaitMs);
        QCOMPARE(rig.report(), kHeading + u"\r\nEchec du renvoi à 12:00:05"_s);
        QCOMPARE(rig.modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba); // on-hook before the pause
        QVERIFY(rig.window->close());
        QTRY_VERIFY(rig.window.isNull());
    }

    void softModemHoldingItsLine_retried_data()
    {
        QTest::addColumn<bool>("iaxmodem");
        QTest::addRow("renvolia-modemsim --hold-line") << false;
        QTest::addRow("iaxmodem without a server") << true;
    }

    // A modem that keeps both ends of its pseudo-terminal open is the line
    // itself: dialled and retried, not refused as another program's port.
    void softModemHoldingItsLine_retried()
    {
        QFETCH(bool, iaxmodem);
        WindowRig rig({}, OperationRequest::forwarding(u"0612345678"_s), kShort, LineKind::Analog, false);
        SoftModem modem;
        const bool started = iaxmodem ? modem.startIaxModem(2) : modem.startSimulator(QStringLiteral(RENVOLIA_MODEMSIM), u"error"_s, 2);
        if (!started && iaxmodem)
            QSKIP("iaxmodem is not installed here");
        QVERIFY(started);
        rig.launch();
        QTRY_COMPARE_WITH_TIMEOUT(rig.report(), kHeading + kFailedAtNoon + kFailedAtNoon, kWaitMs);
        QTest::mouseClick(rig.control<QPushButton>(u"cmdCancel"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(rig.button(), u"Fermer"_s, kWaitMs);
    }

    // The report keeps its line; why the port failed shows below it.
    void portFailure_reasonShownBelowTheReport()
    {
        WindowRig rig({}, OperationRequest::cancellation(), kShort, LineKind::Analog, false);
        QVERIFY(rig.folder.linkPort(2, u"/dev/renvolia-unplugged"_s));
        rig.launch();
        QTRY_COMPARE_WITH_TIMEOUT(rig.button(), u"Fermer"_s, kWaitMs);
        QCOMPARE(rig.report(), kHeading + u"\r\nCOM2 n'est pas un numéro de port valable,  ou est utilisé actuellement par une autre application."_s);
        const auto *motif = rig.control<QLabel>(u"lblMotif"_s);
        QVERIFY(motif->isVisible());
        QCOMPARE(motif->text(), u"/dev/renvolia-unplugged ne peut pas être ouvert : le périphérique n'existe pas"_s);
    }

    // Taken down between the modem's "OK" and the hang-up, as when the session
    // ends: the modem is hung up and the success reaches the journal.
    void takenDownAfterOk_successKept()
    {
        WindowRig rig({Reply::Ok}, OperationRequest::forwarding(u"0612345678"_s), {2000ms, 2000ms});
        QTRY_COMPARE_WITH_TIMEOUT(rig.modem.commands().size(), 1, kWaitMs);
        QTest::qWait(500);
        delete rig.window.data();
        QTRY_COMPARE(rig.modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba);
        QVERIFY(Journal::tail(1).lines.value(0).endsWith(u"COM2 Renvoi effectué à 12:00:05"_s));
    }

    void tickChangedDuringPause_appliesToNextAttempt()
    {
        WindowRig rig({Reply::Error, Reply::Ok}, OperationRequest::forwarding(u"0612345678"_s));
        QTRY_VERIFY_WITH_TIMEOUT(rig.report().contains(u"Echec du renvoi"_s), kWaitMs);
        *rig.control<kvoCheck>(u"chkAnnulation"_s) = 0;
        rig.window->hide(); // shown again: nothing starts anew
        rig.window->show();
        rig.window->activateWindow();

        QTRY_COMPARE_WITH_TIMEOUT(rig.button(), u"Fermer"_s, kWaitMs);
        QTest::qWait(300);
        QCOMPARE(rig.modem.commands().size(), 4); // two dials, each hung up
        QCOMPARE(rig.report(), kHeading + u"\r\nEchec du renvoi à 12:00:05\r\nAnnulation effectuée à 12:00:05"_s);
        QCOMPARE(rig.value(u"chkAnnulation"_s), 1);
        QCOMPARE(rig.modem.commands().at(2).text, "ATDT#21#;"_ba);
    }
};

QTEST_MAIN(TestFrmGenerique)
#include "tst_frmgenerique.moc"
