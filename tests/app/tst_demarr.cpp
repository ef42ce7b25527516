#include "CloseAllWindows.h"
#include "Demarr.h"
#include "MessageBoxAnswerer.h"
#include "ModemSimulator.h"
#include "PortSetting.h"
#include "QtCatalogue.h"
#include "TemporaryConfigFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

qsizetype visibleWindowCount()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::count_if(windows.cbegin(), windows.cend(), [](const QWidget *window) { return window->isVisible(); });
}

// The real program, run as a user runs it.
struct ChildProgram
{
    explicit ChildProgram(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(RENVOLIA_PROGRAM), arguments);
    }
    ~ChildProgram()
    {
        process.kill();
        process.waitForFinished();
    }
    QString errors() { return QString::fromLocal8Bit(process.readAllStandardError()); }

    QProcess process;
};

} // namespace

class TestDemarr : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        deleteAllWindows();
    }

    // Which texts are refused is the command line's own test.
    void invalidCommandLine_explainsAndOpensNothing()
    {
        TemporaryConfigFolder folder;
        MessageBoxAnswerer answerer;
        QCOMPARE(Demarr::Main({u"06"_s, u"12"_s, u"34"_s, u"56"_s, u"78"_s}), nullptr);
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.seen->title, u"Renvolia"_s);
        QCOMPARE(answerer.seen->icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(answerer.seen->text,
                 u"Ligne de commande non valide.\r\n\r\nUne ligne de commande valide consiste en:\r\n"
                 "soit la lettre A pour annuler un transfert d'appel en cours,\r\n"
                 "soit un numéro de renvoi sans espace ni tiret."_s);
        QCOMPARE(visibleWindowCount(), 0);
    }

    void main_opensOneWindowOnTheSavedPort_lastClosedEndsWithStatus0_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("dial"); // empty: the configuration window dials nothing
        QTest::addColumn<QString>("savedPort"); // null: nothing saved
        QTest::addColumn<QString>("title");
        const QString report = u"Renvolia d'appel"_s;
        QTest::addRow("A cancels") << QStringList{u"A"_s} << "ATDT#21#;"_ba << u"7"_s << report;
        QTest::addRow("plus sign kept, nothing saved: port 2") << QStringList{u"+33612345678"_s} << "ATDT*21*+33612345678#;"_ba
                                                               << QString() << report;
        QTest::addRow("configuration window alone") << QStringList() << QByteArray() << u"4"_s << u"Renvolia d'appel - Configuration"_s;
    }

    void main_opensOneWindowOnTheSavedPort_lastClosedEndsWithStatus0()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, dial);
        QFETCH(QString, savedPort);
        QFETCH(QString, title);

        TemporaryConfigFolder folder;
        PortSetting::setCurrent(savedPort);
        QVERIFY(savedPort.isNull() || PortSetting::save());
        PortSetting::setCurrent(u"5"_s);
        const QString port = savedPort.isNull() ? u"2"_s : savedPort;
        ModemSimulator modem;
        QVERIFY(modem.open() && modem.linkAsPort(port.toInt(), folder.renvoliaFolder()));
        modem.setDialReplies({ModemSimulator::Reply::HangUp}); // the operation ends at once

        QPointer<QWidget> window = Demarr::Main(arguments);
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(visibleWindowCount(), 1);
        QCOMPARE(PortSetting::current(), port);
        QTRY_COMPARE(modem.commands().value(0).text, dial);

        QTimer closer;
        // A report window refuses until its operation has ended, and stops the retries.
        // On a loaded machine the timer may fire once more after the window is gone.
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (window)
                window->close();
        });
        closer.start(20);
        QTimer::singleShot(10000, [] { QApplication::exit(1); }); // never hang the suite
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(window.isNull());
    }

    void qtCatalogue_standardButtonsFollowTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("captions"); // Cancel, Yes, No, Close
        QTest::addRow("French") << QLocale(QLocale::French, QLocale::France) << QStringList{u"Annuler"_s, u"&Oui"_s, u"&Non"_s, u"Fermer"_s};
        QTest::addRow("English stays English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                               << QStringList{u"Cancel"_s, u"&Yes"_s, u"&No"_s, u"Close"_s};
    }

    void qtCatalogue_standardButtonsFollowTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, captions);
        const QString catalogue = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_fr.qm"_s;
        if (locale.language() == QLocale::French && !QFile::exists(catalogue))
            QSKIP("Qt's French catalogue (qt6-translations-l10n) is not installed");

        const auto translator = installQtCatalogue(locale);
        QCOMPARE(bool(translator), locale.language() == QLocale::French);
        QMessageBox box(QMessageBox::Question, u"Renvolia"_s, u"?"_s,
                        QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No | QMessageBox::Close);
        const QStringList shown{box.button(QMessageBox::Cancel)->text(), box.button(QMessageBox::Yes)->text(),
                                box.button(QMessageBox::No)->text(), box.button(QMessageBox::Close)->text()};
        QCOMPARE(shown, captions);
    }

    // Qt must not take its own options out: "-style 0612" is a command line not
    // understood, not a forwarding to 0612.
    void program_readsArgumentsAsTyped()
    {
        TemporaryConfigFolder folder;
        ChildProgram program({u"-style"_s, u"0612"_s});
        QString errors;
        QTRY_VERIFY_WITH_TIMEOUT((errors += program.errors()).contains(u"ligne de commande non comprise"_s), 10000);
    }

    // Every platform that finds no display ends through the same fatal message.
    void program_withoutDisplay_saysSoAndEnds1()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.remove(u"DISPLAY"_s);
        environment.remove(u"WAYLAND_DISPLAY"_s);
        ChildProgram program({u"A"_s}, environment);
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 1);
        const QString errors = program.errors();
        QVERIFY2(errors.endsWith(u"renvolia : aucun affichage graphique n'est disponible (DISPLAY ou WAYLAND_DISPLAY), "
                                 "or les fenêtres de Renvolia en ont besoin.\nSans affichage, la commande renvoliactl "
                                 "programme le renvoi des appels (renvoliactl --help).\n"_s), qPrintable(errors));
    }

    void program_stopSignal_hangsUpThenEnds_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addRow("SIGTERM") << SIGTERM;
        QTest::addRow("SIGINT") << SIGINT;
        QTest::addRow("SIGHUP") << SIGHUP;
    }

    // A modem left off-hook after a dial keeps the line seized.
    void program_stopSignal_hangsUpThenEnds()
    {
        QFETCH(int, signalNumber);
        TemporaryConfigFolder folder;
        ModemSimulator modem;
        QVERIFY(modem.open() && modem.linkAsPort(2, folder.renvoliaFolder()));
        modem.setDialReplies({ModemSimulator::Reply::Silent});
        ChildProgram program({u"0612345678"_s});
        QTRY_COMPARE_WITH_TIMEOUT(modem.commands().size(), 1, 10000);

        ::kill(static_cast<pid_t>(program.process.processId()), signalNumber);
        QTRY_COMPARE_WITH_TIMEOUT(program.process.state(), QProcess::NotRunning, 5000);
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 128 + signalNumber);
        QTRY_COMPARE(modem.receivedBytes(), "ATDT*21*0612345678#;\rATH0\r"_ba);
    }
};

QTEST_MAIN(TestDemarr)
#include "tst_demarr.moc"
