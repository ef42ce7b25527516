// The schedule tab's costs, in a temporary config folder:
//  - start-up: the configuration window built and shown, with its
//    "Planification" tab, beside the tab alone (the window without it is
//    the difference);
//  - "add": from the rule box's "Valider" to the timer files written and the
//    timer enabled, or the message that it waits for the next login; then
//    "Supprimer" to the files gone.
// Medians of 15 runs, with the lowest and highest.
//
//   QT_QPA_PLATFORM=offscreen bench_schedule_tab

#include "FixedClock.h"
#include "FrmConfig.h"
#include "PlanificationTab.h"
#include "SqliteRegistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRuns = 15;

// Milliseconds: median, lowest, highest.
void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-58s median %7.2f ms  (%.2f to %.2f)\n", what, times[times.size() / 2], times.front(), times.back());
}

std::vector<double> timed(const std::function<void()> &work)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return times;
}

void closeBoxes(QWidget *owner)
{
    qDeleteAll(owner->findChildren<QMessageBox *>());
}

double addThenRemove(PlanificationTab &tab, std::vector<double> &removals)
{
    QSignalSpy changed(&tab, &PlanificationTab::scheduleChanged);
    QTest::mouseClick(tab.findChild<QPushButton *>(u"cmdAjouter"_s), Qt::LeftButton);
    auto *box = tab.findChild<QDialog *>(u"frmRegle"_s);
    box->findChild<QLineEdit *>(u"txtJours"_s)->setText(u"lun-ven"_s);
    box->findChild<QLineEdit *>(u"txtHeure"_s)->setText(u"18:00"_s);
    box->findChild<QLineEdit *>(u"txtNumero"_s)->setText(u"0612345678"_s);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(box->findChild<QPushButton *>(u"cmdValider"_s), Qt::LeftButton);
    changed.wait(30000);
    const double added = double(timer.nsecsElapsed()) / 1e6;
    closeBoxes(&tab);
    timer.restart();
    QTest::mouseClick(tab.findChild<QPushButton *>(u"cmdSupprimer"_s), Qt::LeftButton);
    changed.wait(30000);
    removals.push_back(double(timer.nsecsElapsed()) / 1e6);
    closeBoxes(&tab);
    return added;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder.path() + u"/state"_s));
    FixedClock clock(QDateTime::currentDateTime());
    registry::SqliteRegistry store((folder.path() + u"/registry.sqlite"_s).toStdString());

    report("configuration window, built and shown", timed([&] {
        FrmConfig window(clock, store);
        window.show();
        QCoreApplication::processEvents();
    }));
    report("its \"Planification\" tab alone, built and shown", timed([&] {
        PlanificationTab tab(clock);
        tab.show();
        QCoreApplication::processEvents();
    }));

    PlanificationTab tab(clock);
    tab.show();
    std::vector<double> additions, removals;
    for (int run = 0; run < kRuns; ++run)
        additions.push_back(addThenRemove(tab, removals));
    report("\"Valider\" to timer files written and enabled (or message)", additions);
    report("\"Supprimer\" to timer disabled and files gone", removals);
    return 0;
}
