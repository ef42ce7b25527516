#include "CloseAllWindows.h"
#include "FixedClock.h"
#include "FrmConfig.h"
#include "Journal.h"
#include "MessageBoxAnswerer.h"
#include "ModemSimulator.h"
#include "PlanificationTab.h"
#include "PortSetting.h"
#include "SqliteRegistry.h"
#include "SystemdTimers.h"
#include "TemporaryConfigFolder.h"
#include "TimerUnits.h"

#include <QAccessible>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

QStringList unitFiles()
{
    return QDir(TimerUnits::folder()).entryList(QDir::Files | QDir::NoDotAndDotDot);
}

} // namespace

class TestPlanificationTab : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_runtime;
    FixedClock m_clock{QDateTime(QDate(2026, 12, 7), QTime(12, 0))}; // a Monday

    // Fills the new rule's box once the click has opened it.
    static void answerRuleBox(QWidget *tab, const QString &days, const QString &at, const QString &number)
    {
        QTimer::singleShot(0, tab, [tab, days, at, number] {
            auto *box = tab->findChild<QDialog *>(u"frmRegle"_s);
            QVERIFY(box);
            QTest::keyClicks(box->findChild<QLineEdit *>(u"txtJours"_s), days);
            QTest::keyClicks(box->findChild<QLineEdit *>(u"txtHeure"_s), at);
            QTest::keyClicks(box->findChild<QLineEdit *>(u"txtNumero"_s), number);
            QTest::mouseClick(box->findChild<QPushButton *>(u"cmdValider"_s), Qt::LeftButton);
        });
    }

private slots:
    void initTestCase()
    {
        // No user manager answers here: the timers wait for the next login.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    void cleanup() { deleteAllWindows(); }

    void addAndRemove_driveTheUnitFiles()
    {
        TemporaryConfigFolder folder;
        PortSetting::setCurrent(u"2"_s);
        PlanificationTab tab(m_clock, std::make_unique<SystemdTimers>(u"/usr/bin/renvoliactl"_s));
        tab.show();
        auto *rules = tab.findChild<QTreeWidget *>(u"lstRegles"_s);
        QSignalSpy changed(&tab, &PlanificationTab::scheduleChanged);
        MessageBoxAnswerer answerer;

        answerRuleBox(&tab, u"lun-vendredi"_s, u"18:00"_s, u"0612345678"_s);
        QTest::mouseClick(tab.findChild<QPushButton *>(u"cmdAjouter"_s), Qt::LeftButton);
        QTRY_VERIFY(answerer.seen);
        QVERIFY(answerer.seen->text.startsWith(u"Jours non compris"_s));
        QCOMPARE(unitFiles(), QStringList());

        answerer.seen.reset();
        answerRuleBox(&tab, u"lun-ven"_s, u"18:00"_s, u"0612345678"_s);
        QTest::mouseClick(tab.findChild<QPushButton *>(u"cmdAjouter"_s), Qt::LeftButton);
        QTRY_COMPARE(changed.size(), 1);
        QTRY_VERIFY(answerer.seen);
        QVERIFY(answerer.seen->text.contains(u"prochaine ouverture de session"_s));
        QCOMPARE(unitFiles(), (QStringList{u"renvolia-1.service"_s, u"renvolia-1.timer"_s}));
        QCOMPARE(rules->topLevelItemCount(), 1);
        QCOMPARE(rules->topLevelItem(0)->text(4), u"lun 07/12 18:00"_s);

        QTest::mouseClick(tab.findChild<QPushButton *>(u"cmdSupprimer"_s), Qt::LeftButton);
        QTRY_COMPARE(changed.size(), 2);
        QCOMPARE(unitFiles(), QStringList());
        QCOMPARE(rules->topLevelItemCount(), 0);
    }

    void unreadableRule_listedAndRemoved()
    {
        TemporaryConfigFolder folder;
        QSettings(PortSetting::storeLocation(), PortSetting::storeFormat()).setValue(u"Planification/3/Jours"_s, u"x"_s);
        PlanificationTab tab(m_clock, std::make_unique<SystemdTimers>(u"/usr/bin/renvoliactl"_s));
        tab.show();
        auto *rules = tab.findChild<QTreeWidget *>(u"lstRegles"_s);
        QCOMPARE(rules->topLevelItemCount(), 1);
        QVERIFY(rules->topLevelItem(0)->text(3).startsWith(u"illisible : "_s));
        QSignalSpy changed(&tab, &PlanificationTab::scheduleChanged);
        QTest::mouseClick(tab.findChild<QPushButton *>(u"cmdSupprimer"_s), Qt::LeftButton);
        QTRY_COMPARE(changed.size(), 1);
        QCOMPARE(rules->topLevelItemCount(), 0);
    }

    void journal_showsLineAppendedByAnotherProcess()
    {
        TemporaryConfigFolder folder;
        Journal::append(m_clock.now(), u"2"_s, u"Renvoi effectué à 12:00:00"_s);
        PlanificationTab tab(m_clock);
        auto *journal = tab.findChild<QListWidget *>(u"lstJournal"_s);
        QCOMPARE(journal->count(), 1);
        const QString line = u"2026-12-07T18:00:07+01:00 COM2 Echec du renvoi à 18:00:07"_s;
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s, u"printf '%s\\n' \"$1\" >> \"$2\""_s, u"sh"_s, line, Journal::path()}), 0);
        QTRY_COMPARE(journal->count(), 2);
        QCOMPARE(journal->item(0)->text(), line);
    }

    void journal_thatCannotBeRead_saysWhyFirst()
    {
        TemporaryConfigFolder folder;
        QVERIFY(QDir().mkpath(Journal::path()));
        PlanificationTab tab(m_clock);
        auto *journal = tab.findChild<QListWidget *>(u"lstJournal"_s);
        QCOMPARE(journal->count(), 1);
        QVERIFY(journal->item(0)->text().startsWith(u"Le journal ne peut pas être lu : %1 ("_s.arg(Journal::path())));
    }

    // On a mobile line the tab asks the network, through the same engine as
    // renvoliactl status, and shows its answer; on a telephone line it cannot.
    void consulterLEtat_showsTheNetworksAnswer()
    {
        TemporaryConfigFolder folder;
        ModemSimulator modem;
        QVERIFY(modem.open() && modem.linkAsPort(4, folder.renvoliaFolder()));
        modem.setCellular(true);
        modem.network().answer("AT+CCFC=0,3,\"+33612345678\",145");
        PortSetting::setCurrent(u"4"_s);
        PortSetting::setCurrentLine(LineKind::Analog);
        PlanificationTab tab(m_clock);
        tab.show();
        auto *button = tab.findChild<QPushButton *>(u"cmdEtat"_s);
        QVERIFY(!button->isVisible());

        tab.hide();
        PortSetting::setCurrentLine(LineKind::Mobile);
        tab.show();
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(tab.findChild<QLabel *>(u"lblEtat"_s)->text(), u"Renvoi actif vers +33612345678"_s);
        QTRY_VERIFY(button->isEnabled());
    }

    // Every field and list of the window, on all its tabs, has a name a
    // screen reader says.
    void everyFieldAndList_hasAnAccessibleName()
    {
        TemporaryConfigFolder folder;
        registry::SqliteRegistry store(folder.renvoliaFolder().toStdString() + "-registry.sqlite");
        auto *window = new FrmConfig(m_clock, store);
        window->show();
        QStringList nameless;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            const bool field = qobject_cast<QLineEdit *>(control) || qobject_cast<QComboBox *>(control)
                || qobject_cast<QAbstractItemView *>(control);
            if (!field || !(control->focusPolicy() & Qt::TabFocus))
                continue;
            if (QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
                nameless << control->objectName() + u'/' + QString::fromLatin1(control->metaObject()->className());
        }
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(u", "_s)));
    }
};

QTEST_MAIN(TestPlanificationTab)
#include "tst_planificationtab.moc"
