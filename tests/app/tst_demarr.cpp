#include "CloseAllWindows.h"
#include "Demarr.h"
#include "FrmGenerique.h"
#include "MessageBoxAnswerer.h"
#include "ModemSimulator.h"
#include "PortSetting.h"
#include "QtCatalogue.h"
#include "TemporaryConfigFolder.h"
#include "kvoCheck.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLibraryInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QList<QWidget *> visibleWindows()
{
    QList<QWidget *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            windows << widget;
    }
    return windows;
}

} // namespace

class TestDemarr : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void invalidCommandLine_explainsAndOpensNothing_data();
    void invalidCommandLine_explainsAndOpensNothing();
    void operation_opensReportWindowOnSavedPort_data();
    void operation_opensReportWindowOnSavedPort();
    void nothingSaved_usesPort2();
    void noArgument_opensConfigurationOnly();
    void lastWindowClosed_endsWithStatus0_data();
    void lastWindowClosed_endsWithStatus0();
    void qtCatalogue_standardButtonsFollowTheLocale_data();
    void qtCatalogue_standardButtonsFollowTheLocale();
};

void TestDemarr::cleanup()
{
    deleteAllWindows();
}

void TestDemarr::invalidCommandLine_explainsAndOpensNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addRow("lower-case a") << QStringList{u"a"_s};
    QTest::addRow("A followed by letters") << QStringList{u"Annule"_s};
    QTest::addRow("number in groups") << QStringList{u"06"_s, u"12"_s, u"34"_s, u"56"_s, u"78"_s};
    QTest::addRow("number with hyphens") << QStringList{u"06-12-34-56-78"_s};
}

void TestDemarr::invalidCommandLine_explainsAndOpensNothing()
{
    QFETCH(QStringList, arguments);
    TemporaryConfigFolder folder;
    MessageBoxAnswerer answerer;

    QCOMPARE(Demarr::Main(arguments), nullptr);
    QVERIFY(answerer.seen);
    const SeenMessageBox &seen = *answerer.seen;
    QCOMPARE(seen.title, u"Renvolia"_s);
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen.text,
             u"Ligne de commande non valide.\r\n\r\nUne ligne de commande valide consiste en:\r\n"
             "soit la lettre A pour annuler un transfert d'appel en cours,\r\n"
             "soit un numéro de renvoi sans espace ni tiret."_s);
    QVERIFY(visibleWindows().isEmpty());
}

void TestDemarr::operation_opensReportWindowOnSavedPort_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("annulation");
    QTest::addColumn<int>("termine");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("dial");

    QTest::addRow("A cancels") << u"A"_s << 0 << 2 << QString() << "ATDT#21#;"_ba;
    QTest::addRow("digits forward") << u"0612345678"_s << 2 << 0 << u"0612345678"_s
                                    << "ATDT*21*0612345678#;"_ba;
    QTest::addRow("plus sign kept") << u"+33612345678"_s << 2 << 0 << u"+33612345678"_s
                                    << "ATDT*21*+33612345678#;"_ba;
}

void TestDemarr::operation_opensReportWindowOnSavedPort()
{
    QFETCH(QString, argument);
    QFETCH(int, annulation);
    QFETCH(int, termine);
    QFETCH(QString, number);
    QFETCH(QByteArray, dial);

    TemporaryConfigFolder folder;
    PortSetting::setCurrent(u"7"_s);
    QVERIFY(PortSetting::save());
    PortSetting::setCurrent(u"2"_s);
    ModemSimulator modem;
    QVERIFY(modem.open());
    QVERIFY(modem.linkAsPort(7, folder.renvoliaFolder()));

    QWidget *window = Demarr::Main({argument});
    QVERIFY(qobject_cast<FrmGenerique *>(window));
    QVERIFY(window->isVisible());
    QCOMPARE(visibleWindows(), QList<QWidget *>{window});
    QCOMPARE(PortSetting::current(), u"7"_s);
    QCOMPARE(int(*window->findChild<kvoCheck *>(u"chkAnnulation"_s)), annulation);
    QCOMPARE(int(*window->findChild<kvoCheck *>(u"chkTerminé"_s)), termine);
    QCOMPARE(window->findChild<QLabel *>(u"lblNuméro"_s)->text(), number);

    QTRY_COMPARE(modem.commands().size(), 1);
    QCOMPARE(modem.commands().constFirst().text, dial);
}

void TestDemarr::nothingSaved_usesPort2()
{
    TemporaryConfigFolder folder;
    PortSetting::setCurrent(u"5"_s);
    ModemSimulator modem;
    QVERIFY(modem.open());
    QVERIFY(modem.linkAsPort(2, folder.renvoliaFolder()));

    QVERIFY(Demarr::Main({u"A"_s}));
    QCOMPARE(PortSetting::current(), u"2"_s);
    QTRY_COMPARE(modem.commands().size(), 1);
}

void TestDemarr::noArgument_opensConfigurationOnly()
{
    TemporaryConfigFolder folder;
    QWidget *window = Demarr::Main({});
    QVERIFY(window);
    QCOMPARE(window->objectName(), u"frmConfig"_s);
    QCOMPARE(window->windowTitle(), u"Renvolia d'appel - Configuration"_s);
    QCOMPARE(visibleWindows(), QList<QWidget *>{window});
}

void TestDemarr::lastWindowClosed_endsWithStatus0_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addRow("report window, Esc after its operation") << QStringList{u"A"_s};
    QTest::addRow("configuration window") << QStringList();
}

void TestDemarr::lastWindowClosed_endsWithStatus0()
{
    QFETCH(QStringList, arguments);
    TemporaryConfigFolder folder;
    PortSetting::setCurrent(u"0"_s);
    QVERIFY(PortSetting::save());
    QPointer<QWidget> window = Demarr::Main(arguments);
    QVERIFY(window);

    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto *button = window->findChild<QPushButton *>(u"cmdCancel"_s);
        if (!button)
            window->close();
        else if (button->text() == u"Fermer"_s)
            QTest::keyClick(window, Qt::Key_Escape);
    });
    closer.start(20);
    QTimer::singleShot(10000, [] { QApplication::exit(1); }); // never hang the suite
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(window.isNull());
}

void TestDemarr::qtCatalogue_standardButtonsFollowTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("captions"); // Cancel, Yes, No, Close
    const QStringList french{u"Annuler"_s, u"&Oui"_s, u"&Non"_s, u"Fermer"_s};
    QTest::addRow("French of France") << QLocale(QLocale::French, QLocale::France) << french;
    QTest::addRow("French of Canada") << QLocale(QLocale::French, QLocale::Canada) << french;
    QTest::addRow("English stays English") << QLocale(QLocale::English, QLocale::UnitedStates)
                                           << QStringList{u"Cancel"_s, u"&Yes"_s, u"&No"_s, u"Close"_s};
}

void TestDemarr::qtCatalogue_standardButtonsFollowTheLocale()
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

QTEST_MAIN(TestDemarr)
#include "tst_demarr.moc"
