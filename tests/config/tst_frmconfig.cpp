#include "CloseAllWindows.h"
#include "FixedClock.h"
#include "FrmConfig.h"
#include "FrmGenerique.h"
#include "HelpFiles.h"
#include "MessageBoxAnswerer.h"
#include "ModemSimulator.h"
#include "OverlappingWidgets.h"
#include "PortSetting.h"
#include "RecordingXdgOpen.h"
#include "RegScriptImport.h"
#include "SqliteRegistry.h"
#include "TemporaryConfigFolder.h"
#include "kvoCheck.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2026, 12, 6), QTime(hour, minute, second));
}

FrmGenerique *reportWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *report = qobject_cast<FrmGenerique *>(widget); report && report->isVisible())
            return report;
    }
    return nullptr;
}

// A configuration window on a clock standing at 14:59:30, with port "0" so a
// launched report window fails at once without a modem.
struct ConfigRig
{
    explicit ConfigRig(const HelpFiles &help = HelpFiles::forThisProgram(), const QList<SerialDevice> &serialDevices = {})
        : store(folder.renvoliaFolder().toStdString() + "-registry.sqlite")
        , devices(serialDevices)
    {
        PortSetting::setCurrent(u"0"_s);
        PortSetting::setCurrentLine(LineKind::Analog);
        window = new FrmConfig(clock, store, help, devices);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    }
    ~ConfigRig()
    {
        deleteAllWindows();
    }

    template<typename T>
    T *control(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QLineEdit *txtNum() const { return control<QLineEdit>(u"txtNum"_s); }
    QLineEdit *txtTps() const { return control<QLineEdit>(u"txtTps"_s); }
    QCheckBox *chkAnnul() const { return control<QCheckBox>(u"chkAnnul"_s); }
    QPushButton *cmdGO() const { return control<QPushButton>(u"cmdGO"_s); }
    QString lblPort() const { return control<QLabel>(u"lblPort"_s)->text(); }
    QTabWidget *tabs() const { return control<QTabWidget>(u"tabConfig"_s); }
    QAction *menuItem(int index) const { return window->findChildren<QAction *>(u"mnuAide"_s).value(index); }
    void clickGo() const { QTest::mouseClick(cmdGO(), Qt::LeftButton); }
    void clickChoix() const { QTest::mouseClick(control<QPushButton>(u"cmdChoix"_s), Qt::LeftButton); }
    bool isArmed() const { return cmdGO()->property("Tag").toString() == u"Annuler"_s; }
    QWidget *openPortDialog() const
    {
        QTest::mouseClick(control<QPushButton>(u"cmdPort"_s), Qt::LeftButton);
        return window->findChild<QWidget *>(u"frmPort"_s);
    }

    TemporaryConfigFolder folder;
    registry::SqliteRegistry store;
    SerialDeviceList devices;
    FixedClock clock{at(14, 59, 30)};
    QPointer<FrmConfig> window;
};

} // namespace

class TestFrmConfig : public QObject
{
    Q_OBJECT
private slots:
    void firstTab_textsOrderPlace_cancellationOrNumber();
    void secondTab_withoutModems_portByHand_lineKindSaved();
    void arming_refused_data();
    void arming_refused();
    void launch_handsTheRequestOver_data();
    void launch_handsTheRequestOver();
    void portDialog_storesWhatIsValidated_data();
    void portDialog_storesWhatIsValidated();
    void helpMenu_opensHelpFileElseGuide_missingHelpIsSilent_data();
    void helpMenu_opensHelpFileElseGuide_missingHelpIsSilent();
    void helpMenu_aboutBoxIsModal();
    void modemTab_listsOnce_choiceStoresThePort();
};

void TestFrmConfig::firstTab_textsOrderPlace_cancellationOrNumber()
{
    ConfigRig rig;
    QCOMPARE(rig.window->windowTitle(), u"Renvolia d'appel - Configuration"_s);
    QVERIFY(rig.window->windowFlags() & Qt::Tool);
    const QPoint offCentre = rig.window->frameGeometry().center() - QApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 8, qPrintable(u"%1, %2"_s.arg(offCentre.x()).arg(offCentre.y())));
    QCOMPARE(rig.tabs()->currentIndex(), 0);
    QCOMPARE(rig.tabs()->tabText(0), u"&Paramètres"_s);
    QCOMPARE(rig.tabs()->tabText(1), u"&Configuration"_s);
    QCOMPARE(rig.chkAnnul()->text(), u"Annuler le transfert d'appel en cours"_s);
    QCOMPARE(rig.control<QLabel>(u"lblNum"_s)->text(), u"Numéro destinataire du transfert d'appel:"_s);
    QCOMPARE(rig.control<QLabel>(u"lblTps"_s)->text(), u"Démarrer à :"_s);
    QCOMPARE(rig.txtTps()->text(), u"15:00"_s);
    QCOMPARE(rig.cmdGO()->text(), u"&Procéder"_s);
    QCOMPARE(rig.menuItem(0)->text(), u"&Aide sur Renvolia d'appel"_s);
    QCOMPARE(rig.menuItem(1)->text(), u"A &propos de Renvolia d'appel..."_s);
    QCOMPARE(rig.menuItem(2)->text(), u"Rechercher de l'aide sur..."_s);
    QCOMPARE(overlappingWidgets(*rig.tabs()->widget(0)), QString());
    QVERIFY(rig.txtNum()->x() > rig.control<QLabel>(u"lblNum"_s)->x()); // the number indented under its label

    QCOMPARE(rig.chkAnnul()->nextInFocusChain(), rig.txtNum());
    QCOMPARE(rig.txtNum()->nextInFocusChain(), rig.txtTps());
    QCOMPARE(rig.txtTps()->nextInFocusChain(), rig.cmdGO());

    // Ticking the cancellation empties the number; typing one unticks it.
    const auto clickCancellation = [&rig] {
        QTest::mouseClick(rig.chkAnnul(), Qt::LeftButton, {}, QPoint(5, rig.chkAnnul()->height() / 2));
    };
    QTest::keyClicks(rig.txtNum(), u"0612"_s);
    clickCancellation();
    QVERIFY(rig.chkAnnul()->isChecked());
    QCOMPARE(rig.txtNum()->text(), QString());
    QTest::keyClicks(rig.txtNum(), u"3"_s);
    QVERIFY(!rig.chkAnnul()->isChecked());

    // Unticking or emptying changes nothing else.
    rig.chkAnnul()->setChecked(true);
    clickCancellation();
    QCOMPARE(rig.txtNum()->text(), u"3"_s);
    rig.chkAnnul()->setChecked(true);
    rig.txtNum()->clear();
    QVERIFY(rig.chkAnnul()->isChecked());
}

// An empty registry and no serial device: the port is typed by hand.
void TestFrmConfig::secondTab_withoutModems_portByHand_lineKindSaved()
{
    ConfigRig rig;
    rig.tabs()->setCurrentIndex(1);
    QCOMPARE(rig.control<QPushButton>(u"cmdChoix"_s)->text(), u"Je choisis ce modem"_s);
    QCOMPARE(rig.control<QPushButton>(u"cmdPort"_s)->text(), u"Je préfère désigner le port moi-même"_s);
    QCOMPARE(rig.lblPort(), u"N° de port sélectionné: 0"_s);
    QCOMPARE(rig.control<QLabel>(u"lblInfo"_s)->text(),
             u"Le programme n'a pas pu établir la liste vos modems. Sélectionnez vous-même le port de communication désiré."_s);
    QVERIFY(!rig.control<QPushButton>(u"cmdChoix"_s)->isEnabled());
    QCOMPARE(rig.window->focusWidget(), rig.control<QPushButton>(u"cmdPort"_s));
    QCOMPARE(rig.control<QComboBox>(u"comModem"_s)->count(), 0);
    QCOMPARE(rig.control<QLabel>(u"lblLigne"_s)->text(), u"Type de ligne :"_s);
    auto *analog = rig.control<QRadioButton>(u"optAnalogique"_s);
    auto *mobile = rig.control<QRadioButton>(u"optMobile"_s);
    QCOMPARE(analog->text(), u"Ligne téléphonique (codes *21*)"_s);
    QCOMPARE(mobile->text(), u"Modem mobile (AT+CCFC)"_s);
    QCOMPARE(overlappingWidgets(*rig.tabs()->widget(1)), QString());
    QVERIFY(analog->isChecked());

    QTest::mouseClick(mobile, Qt::LeftButton);
    PortSetting::setCurrentLine(LineKind::Analog);
    PortSetting::load();
    QCOMPARE(PortSetting::currentLine(), LineKind::Mobile);
    QCOMPARE(PortSetting::current(), u"0"_s);
    FrmConfig next(rig.clock, rig.store);
    QVERIFY(next.findChild<QRadioButton *>(u"optMobile"_s)->isChecked());
}

void TestFrmConfig::arming_refused_data()
{
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message");
    const QString badTime = u"Entrez une heure de déclenchement valide."_s;
    QTest::addRow("date alone has no time of day") << u"06/12/2026"_s << u"06"_s << badTime;
    QTest::addRow("nothing to do") << u"15:00"_s << QString() << u"Ni annulation, ni renvoi à effectuer."_s;
    QTest::addRow("bad time told before nothing to do") << u"abc"_s << QString() << badTime;
}

void TestFrmConfig::arming_refused()
{
    QFETCH(QString, startTime);
    QFETCH(QString, number);
    QFETCH(QString, message);
    ConfigRig rig;
    rig.txtTps()->setText(startTime);
    rig.txtNum()->setText(number);
    MessageBoxAnswerer answerer;
    rig.clickGo();
    QTRY_VERIFY(answerer.seen);
    QCOMPARE(answerer.seen->text, message);
    QCOMPARE(answerer.seen->title, u"Renvolia"_s);
    QCOMPARE(answerer.seen->icon, QMessageBox::NoIcon);
    QVERIFY(!rig.isArmed());
}

void TestFrmConfig::launch_handsTheRequestOver_data()
{
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QDateTime>("launchAt");
    QTest::addColumn<QString>("number"); // empty: a cancellation
    QTest::addColumn<int>("annulation");
    QTest::addColumn<int>("termine");
    QTest::addRow("forwarding") << u"15:00"_s << at(15, 0, 30) << u"06 12 34"_s << 2 << 0;
    QTest::addRow("cancellation at 9:05") << u"9:05"_s << at(9, 5, 0) << QString() << 0 << 2;
}

// Armed, disarmed and armed again: armed, only the button and the second tab
// stay usable. A port dialog left open at the launch is closed unchanged: an
// unattended launch does not wait.
void TestFrmConfig::launch_handsTheRequestOver()
{
    QFETCH(QString, startTime);
    QFETCH(QDateTime, launchAt);
    QFETCH(QString, number);
    QFETCH(int, annulation);
    QFETCH(int, termine);

    ConfigRig rig;
    rig.txtTps()->setText(startTime);
    rig.txtNum()->setText(number);
    rig.chkAnnul()->setChecked(number.isEmpty());
    for (const bool armed : {true, false, true}) {
        rig.clickGo();
        QCOMPARE(rig.isArmed(), armed);
        QCOMPARE(rig.control<QTimer>(u"timLance"_s)->isActive(), armed);
        QCOMPARE(rig.cmdGO()->text(), armed ? u"&Annuler"_s : u"&Procéder"_s);
        for (const QString &name : {u"chkAnnul"_s, u"lblNum"_s, u"txtNum"_s, u"lblTps"_s, u"txtTps"_s})
            QVERIFY2(rig.control<QWidget>(name)->isEnabled() == !armed, qPrintable(name));
        QCOMPARE(rig.control<QMenu>(u"mnuPrin"_s)->menuAction()->isEnabled(), !armed);
        QVERIFY(rig.cmdGO()->isEnabled() && rig.control<QWidget>(u"cmdPort"_s)->isEnabled()
                && rig.control<QWidget>(u"comModem"_s)->isEnabled());
        QCOMPARE(rig.txtNum()->text(), number);
    }
    QPointer<QWidget> dialog = rig.openPortDialog();
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QLineEdit *>(u"txtPort"_s)->setText(u"5"_s);
    QTest::qWait(1200);
    QVERIFY(rig.window);
    QCOMPARE(reportWindow(), nullptr);

    rig.clock.set(launchAt);
    QTRY_VERIFY_WITH_TIMEOUT(rig.window.isNull(), 3000);
    QVERIFY(dialog.isNull());
    QCOMPARE(PortSetting::current(), u"0"_s);
    FrmGenerique *report = reportWindow();
    QVERIFY(report);
    QCOMPARE(report->findChild<QLabel *>(u"lblNuméro"_s)->text(), number);
    QCOMPARE(int(*report->findChild<kvoCheck *>(u"chkAnnulation"_s)), annulation);
    QCOMPARE(int(*report->findChild<kvoCheck *>(u"chkTerminé"_s)), termine);
    QTRY_VERIFY(report->findChild<QLabel *>(u"lblRapport"_s)->text().contains(u"COM0 n'est pas"_s));
}

void TestFrmConfig::portDialog_storesWhatIsValidated_data()
{
    QTest::addColumn<QString>("typed");    // null: the box left as it opened, on the current port 2
    QTest::addColumn<QString>("arrows");   // the spinner's up (+) and down (-) clicks
    QTest::addColumn<QString>("closedBy"); // a button's caption, or the close box
    QTest::addColumn<QString>("stored");
    QTest::addRow("a number validated") << u"4"_s << QString() << u"&Valider"_s << u"4"_s;
    QTest::addRow("nothing validated") << u""_s << QString() << u"&Valider"_s << QString();
    QTest::addRow("Annuler changes nothing") << u"7"_s << QString() << u"&Annuler"_s << u"2"_s;
    QTest::addRow("close box changes nothing") << u"7"_s << QString() << u"close"_s << u"2"_s;
    QTest::addRow("up from the current port") << QString() << u"+"_s << u"&Valider"_s << u"3"_s;
    QTest::addRow("up stops at 9") << u"8"_s << u"+++"_s << u"&Valider"_s << u"9"_s;
    QTest::addRow("down stops at 1") << u"2"_s << u"---"_s << u"&Valider"_s << u"1"_s;
    QTest::addRow("typed beyond the range, down gives 8") << u"120"_s << u"-"_s << u"&Valider"_s << u"8"_s;
}

void TestFrmConfig::portDialog_storesWhatIsValidated()
{
    QFETCH(QString, typed);
    QFETCH(QString, arrows);
    QFETCH(QString, closedBy);
    QFETCH(QString, stored);
    ConfigRig rig;
    PortSetting::setCurrent(u"2"_s);
    QWidget *dialog = rig.openPortDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), u"Choix du port de communication"_s);
    QCOMPARE(dialog->findChild<QLabel *>(u"lblAide"_s)->text(), u"Indiquez le N° de port série à utiliser."_s);
    auto *text = dialog->findChild<QLineEdit *>(u"txtPort"_s);
    QCOMPARE(text->text(), u"2"_s);
    QCOMPARE(dialog->focusWidget(), text);

    if (!typed.isNull()) {
        text->clear();
        QTest::keyClicks(text, typed);
    }
    for (const QChar arrow : std::as_const(arrows))
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(arrow == u'+' ? u"up"_s : u"down"_s), Qt::LeftButton);
    for (auto *button : dialog->findChildren<QPushButton *>(u"cmdValider"_s)) {
        if (button->text() == closedBy)
            QTest::mouseClick(button, Qt::LeftButton);
    }
    if (closedBy == u"close"_s)
        dialog->close();
    QTRY_VERIFY(!rig.window->findChild<QWidget *>(u"frmPort"_s));

    QCOMPARE(PortSetting::current(), stored);
    QCOMPARE(rig.lblPort(), closedBy == u"&Valider"_s ? u"N° du port sélectionné: "_s + stored : u"N° de port sélectionné: 0"_s);
    PortSetting::setCurrent(u"other"_s);
    PortSetting::load();
    QCOMPARE(PortSetting::current(), stored); // "2" when nothing was stored: the default
}

void TestFrmConfig::helpMenu_opensHelpFileElseGuide_missingHelpIsSilent_data()
{
    // Files under an installation root whose programs are in bin/; what the
    // first item, then "Rechercher de l'aide sur...", hands to the opener.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("opened");
    const QString guide = u"bin/" RENVOLIA_DATA_FROM_PROGRAM "/guide/"_s;
    const QStringList guidePages{guide + u"aide.html"_s, guide + u"index.html"_s};
    const QString helpFile = u"bin/Renvolia d'appel.hlp"_s;
    QTest::addRow("help file beside the program wins") << (QStringList(guidePages) << helpFile)
                                                       << QStringList{helpFile, helpFile};
    QTest::addRow("guide installed with the program") << guidePages << guidePages;
    QTest::addRow("no help at all is silent") << QStringList() << QStringList();
}

void TestFrmConfig::helpMenu_opensHelpFileElseGuide_missingHelpIsSilent()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, opened);
    const RecordingXdgOpen opener;
    QVERIFY(opener.isReady());
    const QTemporaryDir root;
    for (const QString &file : std::as_const(files)) {
        QFile created(QDir::cleanPath(root.filePath(file)));
        QVERIFY(QDir().mkpath(QFileInfo(created).path()) && created.open(QIODevice::WriteOnly));
    }
    ConfigRig rig(HelpFiles(root.filePath(u"bin"_s)));
    rig.menuItem(0)->trigger();
    rig.menuItem(2)->trigger();

    QStringList expected;
    for (const QString &file : std::as_const(opened))
        expected << QDir::cleanPath(root.filePath(file));
    QTRY_COMPARE(opener.calls(), expected);
    QTest::qWait(200); // nothing else arrives, and no message box
    QCOMPARE(opener.calls(), expected);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

// Through the window system's events, which honour modality as a user's do.
void TestFrmConfig::helpMenu_aboutBoxIsModal()
{
    ConfigRig rig;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    rig.txtNum()->setText(u"0612345678"_s);
    rig.menuItem(1)->trigger();
    rig.menuItem(1)->trigger();
    QTRY_VERIFY(QApplication::activeModalWidget());
    QWidget *about = QApplication::activeModalWidget();
    QCOMPARE(about->objectName(), u"frmAbout"_s);
    QCOMPARE(rig.window->findChildren<QDialog *>(u"frmAbout"_s).size(), 1);
    QPushButton *go = rig.cmdGO();
    QTest::mouseClick(rig.window->windowHandle(), Qt::LeftButton, {}, go->mapTo(rig.window, go->rect().center()));
    QTest::qWait(100);
    QVERIFY(!rig.isArmed());

    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_COMPARE(QApplication::activeModalWidget(), nullptr);
    QTest::qWait(100);
    QCOMPARE(lastWindowClosed.count(), 0);
    QVERIFY(rig.window->isVisible());
}

void TestFrmConfig::modemTab_listsOnce_choiceStoresThePort()
{
    ModemSimulator modem;
    QVERIFY(modem.open());
    const QTemporaryDir byId;
    const QString stablePath = byId.filePath(u"usb-USR5637-if00"_s);
    QVERIFY(QFile::link(modem.devicePath(), stablePath));
    ConfigRig rig(HelpFiles::forThisProgram(),
                  {SerialDevice{modem.devicePath(), u"ttyACM0"_s, u"USR5637 56K Faxmodem"_s, u"U.S.Robotics"_s,
                                0x0baf, 0x0303, u"A1"_s, stablePath}});
    const auto imported = registry::importRegScript(rig.store, R"(REGEDIT4
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0000]
"Model"="Modem Alpha"
[HKEY_LOCAL_MACHINE\Enum\Root\0000]
"Driver"="MODEM\\0000"
"PORTNAME"="COM02"
)");
    QVERIFY2(imported.ok, imported.message.c_str());
    auto *list = rig.control<QComboBox>(u"comModem"_s);
    rig.tabs()->setCurrentIndex(1);
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->itemText(0), u"Modem Alpha"_s);
    QCOMPARE(list->itemText(1), u"USR5637 56K Faxmodem - U.S.Robotics (ttyACM0)"_s);
    QCOMPARE(list->currentIndex(), -1);

    MessageBoxAnswerer answerer;
    rig.clickChoix();
    QTRY_VERIFY(answerer.seen);
    QCOMPARE(answerer.seen->text, u"Sélectionnez un nom de modem."_s);
    QCOMPARE(answerer.seen->icon, QMessageBox::Information);
    QCOMPARE(PortSetting::current(), u"0"_s);

    list->setCurrentIndex(0);
    rig.clickChoix();
    QCOMPARE(rig.lblPort(), u"N° du port sélectionné: 2"_s);
    PortSetting::setCurrent(u"other"_s);
    PortSetting::load();
    QCOMPARE(PortSetting::current(), u"2"_s);

    // The device gets the first free port, linked to its stable name, once
    // the link can be made; until then the setting stays.
    QFile ports(rig.folder.renvoliaFolder() + u"/ports"_s);
    QVERIFY(ports.open(QIODevice::WriteOnly));
    list->setCurrentIndex(1);
    rig.clickChoix();
    QTRY_COMPARE(answerer.seen->icon, QMessageBox::Warning);
    QVERIFY2(answerer.seen->text.contains(u"/ports n'a pas pu être créé"_s), qPrintable(answerer.seen->text));
    QCOMPARE(PortSetting::current(), u"2"_s);
    QVERIFY(ports.remove());
    rig.clickChoix();
    QCOMPARE(rig.lblPort(), u"N° du port sélectionné: 3"_s);
    QCOMPARE(QFileInfo(rig.folder.renvoliaFolder() + u"/ports/com3"_s).symLinkTarget(), stablePath);

    // A modem installed meanwhile is not seen: the list is made once per window.
    QVERIFY(registry::importRegScript(rig.store, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet"
                                                 "\\Services\\Class\\Modem\\0002]\n\"Model\"=\"Gamma\"\n")
                .ok);
    rig.tabs()->setCurrentIndex(0);
    rig.tabs()->setCurrentIndex(1);
    QCOMPARE(list->count(), 2);
}

QTEST_MAIN(TestFrmConfig)
#include "tst_frmconfig.moc"
