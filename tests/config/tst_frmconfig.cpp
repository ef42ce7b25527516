#include "CloseAllWindows.h"
#include "FixedClock.h"
#include "FrmConfig.h"
#include "FrmGenerique.h"
#include "LaunchSchedule.h"
#include "MessageBoxAnswerer.h"
#include "ModemDiscovery.h"
#include "ModemSimulator.h"
#include "OverlappingWidgets.h"
#include "PortAssignment.h"
#include "PortSetting.h"
#include "RecordingXdgOpen.h"
#include "RegScriptImport.h"
#include "SqliteRegistry.h"
#include "TemporaryConfigFolder.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2026, 12, 6), QTime(hour, minute, second));
}

// A control dropped from its layout lands in the form's corner, over another
// or outside: the first such control, empty when every one is in place.
QString misplacedControl(const QWidget &form)
{
    for (const QWidget *control : form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!control->isVisible() || !form.rect().contains(control->geometry()))
            return control->objectName();
    }
    return overlappingWidgets(form);
}

// A configuration window on a clock standing at 23:59:30, with port "0" so a
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
    ~ConfigRig() { deleteAllWindows(); }

    template<typename T = QWidget>
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
    void click(const QString &button) const { QTest::mouseClick(control(button), Qt::LeftButton); }
    bool isArmed() const { return control<QTimer>(u"timLance"_s)->isActive(); }
    QWidget *openPortDialog() const
    {
        click(u"cmdPort"_s);
        return window->findChild<QWidget *>(u"frmPort"_s);
    }

    TemporaryConfigFolder folder;
    registry::SqliteRegistry store;
    SerialDeviceList devices;
    FixedClock clock{at(23, 59, 30)};
    QPointer<FrmConfig> window;
};

const QString kModems = uR"(REGEDIT4
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0000]
"Model"="Modem Alpha 56K"
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0001]
"Model"="Modem Beta"
)"_s;

// The modems of kModems and the enumeration keys "path|driver|port name".
QString modemsWith(const QStringList &enumKeys)
{
    QString script = kModems;
    for (const QString &key : enumKeys) {
        const QStringList values = key.split(u'|');
        script += u"\n[HKEY_LOCAL_MACHINE\\Enum\\%1]\n\"Driver\"=\"%2\"\n\"PORTNAME\"=\"%3\"\n"_s.arg(values[0], values[1], values[2]);
    }
    return script;
}

// Where each comN link leads.
QMap<QString, QString> portLinks(const TemporaryConfigFolder &folder)
{
    QMap<QString, QString> links;
    const QDir ports(folder.renvoliaFolder() + u"/ports"_s);
    for (const QFileInfo &link : ports.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        links.insert(link.fileName(), link.symLinkTarget());
    return links;
}

} // namespace

// The configuration window, and the launch schedule, modem discovery and port
// assignment it works with.
class TestFrmConfig : public QObject
{
    Q_OBJECT
private slots:
    void tabs_textsOrderPlace_cancellationOrNumber_noModemsListed_lineKindSaved()
    {
        ConfigRig rig;
        QCOMPARE(rig.window->windowTitle(), u"Renvolia d'appel - Configuration"_s);
        QVERIFY(rig.window->windowFlags() & Qt::Tool);
        const QPoint offCentre = rig.window->frameGeometry().center() - QApplication::primaryScreen()->availableGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 8, qPrintable(u"%1, %2"_s.arg(offCentre.x()).arg(offCentre.y())));
        QCOMPARE(rig.tabs()->tabText(0), u"&Paramètres"_s);
        QCOMPARE(rig.tabs()->tabText(1), u"&Configuration"_s);
        QCOMPARE(rig.chkAnnul()->text(), u"Annuler le transfert d'appel en cours"_s);
        QCOMPARE(rig.control<QLabel>(u"lblNum"_s)->text(), u"Numéro destinataire du transfert d'appel:"_s);
        QCOMPARE(rig.control<QLabel>(u"lblTps"_s)->text(), u"Démarrer à :"_s);
        QCOMPARE(rig.txtTps()->text(), u"00:00"_s); // a minute ahead
        QCOMPARE(rig.cmdGO()->text(), u"&Procéder"_s);
        QCOMPARE(rig.menuItem(0)->text(), u"&Aide sur Renvolia d'appel"_s);
        QCOMPARE(rig.menuItem(1)->text(), u"A &propos de Renvolia d'appel..."_s);
        QCOMPARE(rig.menuItem(2)->text(), u"Rechercher de l'aide sur..."_s);
        QCOMPARE(misplacedControl(*rig.tabs()->widget(0)), QString());
        QVERIFY(rig.txtNum()->x() > rig.control(u"lblNum"_s)->x()); // the number indented under its label
        QCOMPARE(rig.chkAnnul()->nextInFocusChain(), rig.txtNum());
        QCOMPARE(rig.txtNum()->nextInFocusChain(), rig.txtTps());
        QCOMPARE(rig.txtTps()->nextInFocusChain(), rig.cmdGO());

        // Ticking the cancellation empties the number; typing one unticks it.
        QTest::keyClicks(rig.txtNum(), u"0612"_s);
        QTest::mouseClick(rig.chkAnnul(), Qt::LeftButton, {}, QPoint(5, rig.chkAnnul()->height() / 2));
        QVERIFY(rig.chkAnnul()->isChecked());
        QCOMPARE(rig.txtNum()->text(), QString());
        QTest::keyClicks(rig.txtNum(), u"3"_s);
        QVERIFY(!rig.chkAnnul()->isChecked());

        // Arming refused: a start time that is no time of day is told before there
        // being nothing to do.
        rig.txtNum()->clear();
        MessageBoxAnswerer answerer;
        for (const auto &[startTime, message] : {std::pair{u"abc"_s, u"Entrez une heure de déclenchement valide."_s},
                                                 std::pair{u"15:00"_s, u"Ni annulation, ni renvoi à effectuer."_s}}) {
            rig.txtTps()->setText(startTime);
            answerer.seen.reset();
            rig.click(u"cmdGO"_s);
            QTRY_VERIFY(answerer.seen);
            QCOMPARE(answerer.seen->text, message);
            QCOMPARE(answerer.seen->title, u"Renvolia"_s);
            QCOMPARE(answerer.seen->icon, QMessageBox::NoIcon);
            QVERIFY(!rig.isArmed());
        }

        // The About box is modal, through the window system's events, which
        // honour modality as a user's do; it can be opened only once.
        QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
        rig.txtNum()->setText(u"0612345678"_s);
        rig.menuItem(1)->trigger();
        rig.menuItem(1)->trigger();
        QTRY_VERIFY(QApplication::activeModalWidget());
        QWidget *about = QApplication::activeModalWidget();
        QCOMPARE(rig.window->findChildren<QDialog *>(u"frmAbout"_s), QList<QDialog *>{qobject_cast<QDialog *>(about)});
        QPushButton *go = rig.cmdGO();
        QTest::mouseClick(rig.window->windowHandle(), Qt::LeftButton, {}, go->mapTo(rig.window, go->rect().center()));
        QTest::qWait(100);
        QVERIFY(!rig.isArmed());
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_COMPARE(QApplication::activeModalWidget(), nullptr);
        QTest::qWait(100);
        QCOMPARE(lastWindowClosed.count(), 0);
        QVERIFY(rig.window->isVisible());

        // An empty registry and no serial device: the port is typed by hand.
        rig.tabs()->setCurrentIndex(1);
        QCOMPARE(rig.control<QPushButton>(u"cmdChoix"_s)->text(), u"Je choisis ce modem"_s);
        QCOMPARE(rig.control<QPushButton>(u"cmdPort"_s)->text(), u"Je préfère désigner le port moi-même"_s);
        QCOMPARE(rig.control<QLabel>(u"lblInfo"_s)->text(),
                 u"Le programme n'a pas pu établir la liste vos modems. Sélectionnez vous-même le port de communication désiré."_s);
        QVERIFY(!rig.control(u"cmdChoix"_s)->isEnabled());
        QCOMPARE(rig.window->focusWidget(), rig.control(u"cmdPort"_s));
        QCOMPARE(rig.control<QLabel>(u"lblLigne"_s)->text(), u"Type de ligne :"_s);
        auto *analog = rig.control<QRadioButton>(u"optAnalogique"_s);
        QCOMPARE(analog->text(), u"Ligne téléphonique (codes *21*)"_s);
        QCOMPARE(rig.control<QRadioButton>(u"optMobile"_s)->text(), u"Modem mobile (AT+CCFC)"_s);
        QCOMPARE(misplacedControl(*rig.tabs()->widget(1)), QString());
        QVERIFY(analog->isChecked());

        rig.click(u"optMobile"_s);
        QCOMPARE(QApplication::activeModalWidget(), nullptr); // saved: nothing to tell
        PortSetting::setCurrentLine(LineKind::Analog);
        PortSetting::load();
        QCOMPARE(PortSetting::currentLine(), LineKind::Mobile);
    }

    // Armed at 23:59:30 for 15:00, disarmed and armed again: armed, the inputs of
    // the first tab and the menu are disabled. A port dialog left open at the
    // launch is closed unchanged: an unattended launch does not wait.
    void launch_handsTheRequestOver()
    {
        const QString number = u"06 12 34"_s;
        ConfigRig rig;
        rig.txtTps()->setText(u"15:00"_s);
        rig.txtNum()->setText(number);
        for (const bool armed : {true, false, true}) {
            rig.click(u"cmdGO"_s);
            QCOMPARE(rig.isArmed(), armed);
            QCOMPARE(rig.cmdGO()->text(), armed ? u"&Annuler"_s : u"&Procéder"_s);
            for (const QString &name : {u"chkAnnul"_s, u"lblNum"_s, u"txtNum"_s, u"lblTps"_s, u"txtTps"_s})
                QVERIFY2(rig.control(name)->isEnabled() == !armed, qPrintable(name));
            QCOMPARE(rig.control<QMenu>(u"mnuPrin"_s)->menuAction()->isEnabled(), !armed);
        }
        QPointer<QWidget> dialog = rig.openPortDialog();
        QVERIFY(dialog && dialog->isVisible());
        dialog->findChild<QLineEdit *>(u"txtPort"_s)->setText(u"5"_s);
        QTest::qWait(1200);
        QVERIFY(rig.window); // not launched yet

        rig.clock.set(at(15, 0, 30));
        QTRY_VERIFY_WITH_TIMEOUT(rig.window.isNull(), 3000);
        QVERIFY(dialog.isNull());
        QCOMPARE(PortSetting::current(), u"0"_s);
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto report = std::find_if(windows.cbegin(), windows.cend(), [](QWidget *window) { return qobject_cast<FrmGenerique *>(window); });
        QVERIFY(report != windows.cend());
        QCOMPARE((*report)->findChild<QLabel *>(u"lblNuméro"_s)->text(), number);
        QTRY_VERIFY((*report)->findChild<QLabel *>(u"lblRapport"_s)->text().contains(u"COM0 n'est pas"_s));
    }

    void startTimeRecognition_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("expected"); // invalid: refused
        QTest::addRow("minute without leading zero") << u"0:5"_s << QTime(0, 5);
        QTest::addRow("blanks around") << u" 9:05 "_s << QTime(9, 5);
        QTest::addRow("seconds are dropped") << u"12:30:45"_s << QTime(12, 30);
        QTest::addRow("ISO date and time") << u"2026-12-06T18:45"_s << QTime(18, 45);
        QTest::addRow("ISO date alone") << u"2026-12-06"_s << QTime();
        QTest::addRow("hour 24") << u"24:00"_s << QTime();
        QTest::addRow("minute 60") << u"12:60"_s << QTime();
        QTest::addRow("digits without colon") << u"1500"_s << QTime();
    }

    void startTimeRecognition()
    {
        QFETCH(QString, text);
        QFETCH(QTime, expected);
        const std::optional<QTime> time = LaunchSchedule::startTimeOfDay(text);
        QCOMPARE(time.has_value(), expected.isValid()); // never an invalid time taken
        QCOMPARE(time.value_or(QTime()), expected);
    }

    // The minute alone is not enough: 21:05 is not 9:05. The window's launch
    // shows the rest: any second of the start minute, nothing before it.
    void launchClock_dueDuringTheStartMinuteOnly()
    {
        QVERIFY(!LaunchSchedule::isDue(at(21, 5, 0), QTime(9, 5)));
        FixedClock clock(at(0, 0, 0));
        LaunchClock launchClock(clock);
        QSignalSpy due(&launchClock, &LaunchClock::due);
        launchClock.arm(QTime(0, 0));
        QTRY_COMPARE_WITH_TIMEOUT(due.count(), 1, 3000);
        QVERIFY(!launchClock.isArmed()); // once
    }

    void portDialog_storesWhatIsValidated_data()
    {
        QTest::addColumn<QString>("typed");    // null: the box left as it opened, on the current port 2
        QTest::addColumn<QString>("arrows");   // the spinner's up (+) and down (-) clicks, its Up (^) and Down (v) keys
        QTest::addColumn<QString>("closedBy"); // a button's caption
        QTest::addColumn<QString>("stored");
        QTest::addRow("a number validated") << u"4"_s << QString() << u"&Valider"_s << u"4"_s;
        QTest::addRow("nothing validated") << u""_s << QString() << u"&Valider"_s << QString();
        QTest::addRow("Annuler changes nothing") << u"7"_s << QString() << u"&Annuler"_s << u"2"_s;
        QTest::addRow("Up key from the current port") << QString() << u"^"_s << u"&Valider"_s << u"3"_s;
        QTest::addRow("up stops at 9") << u"8"_s << u"+++"_s << u"&Valider"_s << u"9"_s;
        QTest::addRow("down stops at 1") << u"2"_s << u"---"_s << u"&Valider"_s << u"1"_s;
        QTest::addRow("typed beyond the range, Down key gives 8") << u"120"_s << u"v"_s << u"&Valider"_s << u"8"_s;
    }

    void portDialog_storesWhatIsValidated()
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
        QCOMPARE(misplacedControl(*dialog), QString());
        auto *text = dialog->findChild<QLineEdit *>(u"txtPort"_s);
        QCOMPARE(text->text(), u"2"_s);
        QCOMPARE(dialog->focusWidget(), text);

        if (!typed.isNull()) {
            text->clear();
            QTest::keyClicks(text, typed);
        }
        auto *spinner = dialog->findChild<QWidget *>(u"updPort"_s);
        for (const QChar arrow : std::as_const(arrows)) {
            if (arrow == u'^' || arrow == u'v')
                QTest::keyClick(spinner, arrow == u'^' ? Qt::Key_Up : Qt::Key_Down);
            else
                QTest::mouseClick(spinner->findChild<QWidget *>(arrow == u'+' ? u"up"_s : u"down"_s), Qt::LeftButton);
        }
        for (auto *button : dialog->findChildren<QPushButton *>(u"cmdValider"_s)) {
            if (button->text() == closedBy)
                QTest::mouseClick(button, Qt::LeftButton);
        }
        QTRY_VERIFY(!rig.window->findChild<QWidget *>(u"frmPort"_s));
        QCOMPARE(rig.lblPort(), closedBy == u"&Valider"_s ? u"N° du port sélectionné: "_s + stored : u"N° de port sélectionné: 0"_s);
        PortSetting::setCurrent(u"other"_s);
        PortSetting::load();
        QCOMPARE(PortSetting::current(), stored); // "2" when nothing was stored: the default
    }

    // renvoliactl and the report window could never open such a port.
    void portDialog_refusesANumberNoPortHas_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addRow("past 255") << u"300"_s;
        QTest::addRow("zero") << u"0"_s;
    }

    void portDialog_refusesANumberNoPortHas()
    {
        QFETCH(QString, typed);
        ConfigRig rig;
        PortSetting::setCurrent(u"2"_s);
        QWidget *dialog = rig.openPortDialog();
        auto *text = dialog->findChild<QLineEdit *>(u"txtPort"_s);
        text->setText(typed);
        {
            MessageBoxAnswerer answerer;
            QTest::mouseClick(dialog->findChildren<QPushButton *>(u"cmdValider"_s).constFirst(), Qt::LeftButton);
            QTRY_VERIFY(answerer.seen);
            QCOMPARE(answerer.seen->text, u"Le port COM%1 n'existe pas : indiquez un numéro de port de 1 à 255."_s.arg(typed));
        }
        QTRY_COMPARE(dialog->focusWidget(), text);
        QVERIFY(dialog->isVisible());
        QCOMPARE(PortSetting::current(), u"2"_s);
        QCOMPARE(text->selectedText(), typed);
    }

    void helpMenu_opensHelpFileElseGuide_missingHelpIsSilent_data()
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

    void helpMenu_opensHelpFileElseGuide_missingHelpIsSilent()
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
        MessageBoxAnswerer answerer;
        rig.menuItem(0)->trigger();
        rig.menuItem(2)->trigger();

        QStringList expected;
        for (const QString &file : std::as_const(opened))
            expected << QDir::cleanPath(root.filePath(file));
        QTRY_COMPARE(opener.calls(), expected);
        QVERIFY(!answerer.seen);
    }

    void modemTab_listsOnce_choiceStoresThePort()
    {
        ModemSimulator modem;
        const QTemporaryDir byId;
        const QString stablePath = byId.filePath(u"usb-USR5637-if00"_s);
        QVERIFY(modem.open() && QFile::link(modem.devicePath(), stablePath));
        ConfigRig rig(HelpFiles::forThisProgram(), {SerialDevice{modem.devicePath(), u"ttyACM0"_s, u"USR5637 56K Faxmodem"_s,
                                                                 u"U.S.Robotics"_s, {}, {}, {}, stablePath}});
        const auto imported = registry::importRegScript(rig.store, modemsWith({u"Root\\0000|MODEM\\\\0000|COM02"_s}).toStdString());
        QVERIFY2(imported.ok, imported.message.c_str());
        auto *list = rig.control<QComboBox>(u"comModem"_s);
        rig.tabs()->setCurrentIndex(1);
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentIndex(), -1);

        MessageBoxAnswerer answerer;
        rig.click(u"cmdChoix"_s);
        QTRY_VERIFY(answerer.seen);
        QCOMPARE(answerer.seen->text, u"Sélectionnez un nom de modem."_s);
        QCOMPARE(answerer.seen->icon, QMessageBox::Information);
        QCOMPARE(PortSetting::current(), u"0"_s);

        list->setCurrentIndex(0);
        rig.click(u"cmdChoix"_s);
        QCOMPARE(rig.lblPort(), u"N° du port sélectionné: 2"_s); // stored as the port dialog stores it

        // The device gets the first free port, linked to its stable name, once
        // the link can be made; until then the setting stays.
        QFile ports(rig.folder.renvoliaFolder() + u"/ports"_s);
        QVERIFY(ports.open(QIODevice::WriteOnly));
        list->setCurrentIndex(1);
        rig.click(u"cmdChoix"_s);
        QTRY_COMPARE(answerer.seen->icon, QMessageBox::Warning);
        QCOMPARE(answerer.seen->text, u"Aucun port n'a pu être attribué à ce modem : le dossier "_s + ports.fileName()
                                          + u" n'a pas pu être créé."_s);
        QCOMPARE(PortSetting::current(), u"2"_s);
        QVERIFY(ports.remove());
        rig.click(u"cmdChoix"_s);
        QCOMPARE(rig.lblPort(), u"N° du port sélectionné: 3"_s);
        QCOMPARE(QFileInfo(rig.folder.renvoliaFolder() + u"/ports/com3"_s).symLinkTarget(), stablePath);

        // A modem installed meanwhile is not seen: the list is made once per window.
        QVERIFY(registry::importRegScript(rig.store, modemsWith({u"Root\\0001|MODEM\\\\0001|COM4"_s}).toStdString()).ok);
        rig.tabs()->setCurrentIndex(0);
        rig.tabs()->setCurrentIndex(1);
        QCOMPARE(list->count(), 2);
    }

    // A registry without a modem class key is the window's test above.
    void discovery_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("devices"); // "name|description|maker|port", port 0 for none linked
        QTest::addColumn<QString>("currentPort");
        QTest::addColumn<QStringList>("listed"); // "text|port" of each item
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("failed");

        const QString twoModems = modemsWith({u"Root\\MDMGEN\\0000|modem\\\\0000|com2"_s, u"Serial\\Beta\\0001|MODEM\\\\0001|COM3"_s});
        const QStringList both{u"Modem Alpha 56K|2"_s, u"Modem Beta|3"_s};
        const QStringList none;
        QTest::addRow("names in any case, the modem on port 3 preselected") << twoModems << none << u"3"_s << both << 1 << false;
        QTest::addRow("last key breadth first with a COM port wins")
            << modemsWith({u"Alpha\\Deep|MODEM\\\\0000|COM5"_s, u"Zeta|MODEM\\\\0000|COM4"_s, u"Alpha\\Deep\\Deeper|MODEM\\\\0000|LPT2"_s})
            << none << u"2"_s << QStringList{u"Modem Alpha 56K|5"_s} << -1 << false;
        QTest::addRow("model missing: listed without text")
            << u"REGEDIT4\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000]\n"
               "[HKEY_LOCAL_MACHINE\\Enum\\Root\\0000]\n\"Driver\"=\"MODEM\\\\0000\"\n\"PORTNAME\"=\"COM1\"\n"_s
            << none << u"2"_s << QStringList{u"|1"_s} << -1 << false;
        QTest::addRow("modem class key without modems")
            << u"REGEDIT4\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Modem]\n"_s << none << u"2"_s << none << -1 << true;
        QTest::addRow("a port that is no number keeps the modems before it")
            << modemsWith({u"Root\\0000|MODEM\\\\0000|COM2"_s, u"Root\\0001|MODEM\\\\0001|COMX"_s}) << none << u"2"_s
            << QStringList{u"Modem Alpha 56K|2"_s} << 0 << true;
        QTest::addRow("devices after the registry's modems, by name, numbers as numbers")
            << twoModems << QStringList{u"ttyUSB0|FT232R USB UART|FTDI|0"_s, u"ttyACM10|||0"_s, u"ttyACM2|USR5637 56K Faxmodem|U.S.Robotics|0"_s}
            << u"2"_s << (QStringList(both) << u"USR5637 56K Faxmodem - U.S.Robotics (ttyACM2)|0"_s << u"ttyACM10|0"_s
                                            << u"FT232R USB UART - FTDI (ttyUSB0)|0"_s) << 0 << false;
        QTest::addRow("a device on a port shows it and is preselected")
            << kModems << QStringList{u"ttyACM0|Modem USB||5"_s} << u"5"_s << QStringList{u"Modem USB (ttyACM0, port 5)|5"_s} << 0 << false;
        QTest::addRow("a device on a port the registry names is not repeated")
            << twoModems << QStringList{u"ttyACM0|Modem USB||3"_s, u"ttyS0|||0"_s} << u"9"_s << (QStringList(both) << u"ttyS0|0"_s) << -1 << false;
        QTest::addRow("no registry but a device: listed, no failure")
            << u"REGEDIT4\n"_s << QStringList{u"ttyACM0||Maker|0"_s} << u"2"_s << QStringList{u"Maker (ttyACM0)|0"_s} << -1 << false;
    }

    // Pseudo-terminals stand for the system's serial devices.
    void discovery()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, devices);
        QFETCH(QString, currentPort);
        QFETCH(QStringList, listed);
        QFETCH(int, selected);
        QFETCH(bool, failed);

        TemporaryConfigFolder folder;
        std::vector<std::unique_ptr<ModemSimulator>> terminals;
        QList<SerialDevice> system;
        for (const QString &device : std::as_const(devices)) {
            const QStringList fields = device.split(u'|');
            QVERIFY(terminals.emplace_back(std::make_unique<ModemSimulator>())->open());
            system << SerialDevice{terminals.back()->devicePath(), fields[0], fields[1], fields[2], {}, {}, {}, {}};
            QVERIFY(fields[3] == u"0"_s || folder.linkPort(fields[3].toInt(), system.back().path));
        }
        registry::SqliteRegistry store(folder.renvoliaFolder().toStdString() + "-registry.sqlite");
        const registry::ImportResult imported = registry::importRegScript(store, script.toStdString());
        QVERIFY2(imported.ok, imported.message.c_str());

        cRegistry reg(store);
        const ModemDiscovery found = ModemDiscovery::run(reg, currentPort, SerialDeviceList(system));
        QStringList items;
        for (const auto &modem : found.modems)
            items << modem.model + u'|' + QString::number(modem.port);
        QCOMPARE(items, listed);
        QCOMPARE(found.selected, selected);
        QCOMPARE(found.failed, failed);
    }

    // A link the folder cannot hold is the window's test above; a wanted number
    // that is free and a file that is no device, renvoliactl's.
    void choice_assignsAPortLinkedToTheDevice_data()
    {
        QTest::addColumn<QStringList>("before"); // "N=device", "N=elsewhere", "N=nowhere"
        QTest::addColumn<bool>("stable");        // the device has a /dev/serial/by-id link
        QTest::addColumn<int>("wanted");         // 0: the lowest free
        QTest::addColumn<int>("port");           // 0: refused
        QTest::addColumn<QString>("linkedTo");   // "device", "stable", or why it was refused

        QTest::addRow("first choice takes 3") << QStringList() << false << 0 << 3 << u"device"_s;
        QTest::addRow("foreign and dangling links are never overwritten")
            << QStringList{u"3=elsewhere"_s, u"4=nowhere"_s} << true << 0 << 5 << u"stable"_s;
        QTest::addRow("the link already leading to it is kept")
            << QStringList{u"3=elsewhere"_s, u"6=device"_s} << true << 0 << 6 << u"device"_s;
        QTest::addRow("a wanted number leading elsewhere is refused")
            << QStringList{u"4=elsewhere"_s} << false << 4 << 0 << u"/ports/com4 mène déjà à /dev/null"_s;
    }

    // Every choice is made twice: the second changes nothing.
    void choice_assignsAPortLinkedToTheDevice()
    {
        QFETCH(QStringList, before);
        QFETCH(bool, stable);
        QFETCH(int, wanted);
        QFETCH(int, port);
        QFETCH(QString, linkedTo);

        TemporaryConfigFolder folder;
        ModemSimulator modem;
        const QTemporaryDir byId;
        const QString stablePath = byId.filePath(u"usb-Modem_USB_A1-if00"_s);
        QVERIFY(modem.open() && QFile::link(modem.devicePath(), stablePath));
        const QMap<QString, QString> targets{{u"device"_s, modem.devicePath()}, {u"elsewhere"_s, u"/dev/null"_s},
                                             {u"nowhere"_s, u"/dev/renvolia-unplugged"_s}};
        for (const QString &link : std::as_const(before))
            QVERIFY(folder.linkPort(link.section(u'=', 0, 0).toInt(), targets[link.section(u'=', 1)]));
        const QMap<QString, QString> linksBefore = portLinks(folder);
        const std::optional<int> wantedPort = wanted != 0 ? std::optional(wanted) : std::nullopt;

        const PortAssignment first = assignPort(modem.devicePath(), stable ? stablePath : QString(), wantedPort);
        const QMap<QString, QString> linksAfter = portLinks(folder);
        QCOMPARE(first.port, port);
        if (port == 0) {
            QVERIFY2(first.why.contains(linkedTo), qPrintable(first.why));
            QCOMPARE(first.outcome, PortAssignment::Outcome::Refused);
            QCOMPARE(linksAfter, linksBefore);
            return;
        }
        const QString comN = u"com"_s + QString::number(port);
        QMap<QString, QString> expected = linksBefore;
        expected.insert(comN, linkedTo == u"stable"_s ? stablePath : modem.devicePath());
        QCOMPARE(linksAfter, expected);
        QCOMPARE(first.linked, !linksBefore.contains(comN));

        const PortAssignment second = assignPort(modem.devicePath(), stable ? stablePath : QString(), wantedPort);
        QVERIFY(second.assigned() && !second.linked);
        QCOMPARE(second.port, port);
        QCOMPARE(portLinks(folder), linksAfter);
    }
};

QTEST_MAIN(TestFrmConfig)
#include "tst_frmconfig.moc"
