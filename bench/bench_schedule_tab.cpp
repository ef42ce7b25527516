// The schedule tab's costs, in a temporary config folder:
//  - start-up: the configuration window built and shown, with its
//    "Planification" tab, beside the tab alone (the window without it is
//    the difference);
//  - "add": from the rule box's "Valider" to the timer files written and the
//    timer enabled, or the message that it waits for the next login; then
//    "Supprimer" to the files gone.
// Medians of 31 runs after one not counted, with the lowest and highest.
//
//   QT_QPA_PLATFORM=offscreen bench_schedule_tab

#include "BenchSupport.h"
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

constexpr int kRuns = 31;

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Milliseconds: median, lowest, highest.
void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-60s median %7.2f ms  (%.2f to %.2f)\n", what, median(times), times.front(), times.back());
}

// The wall time, and this process's CPU time, which the other programs on
// a shared machine do not swell.
struct Timings
{
    std::vector<double> wall;
    std::vector<double> cpu;
};

Timings timed(const std::function<void()> &work)
{
    work(); // the first run loads fonts, styles and plugins
    Timings timings;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        const double cpuBefore = bench::cpuSeconds();
        timer.start();
        work();
        timings.wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        timings.cpu.push_back((bench::cpuSeconds() - cpuBefore) * 1e3);
    }
    return timings;
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

    const Timings window = timed([&] {
        FrmConfig config(clock, store);
        config.show();
        QCoreApplication::processEvents();
    });
    // Built as the window builds it: hidden behind the first tab.
    const Timings tabOnly = timed([&] {
        QWidget owner;
        new PlanificationTab(clock, platformScheduleBackend(), &owner);
    });
    report("configuration window with its tabs, built and shown (wall)", window.wall);
    report("                                                     (CPU)", window.cpu);
    report("its \"Planification\" tab, built hidden (wall)", tabOnly.wall);
    report("                                      (CPU)", tabOnly.cpu);
    std::printf("%-60s median %7.2f ms CPU\n", "the window without the tab, as before (difference)",
                median(window.cpu) - median(tabOnly.cpu));
    std::printf("\n");

    PlanificationTab tab(clock);
    tab.show();
    std::vector<double> additions, removals;
    for (int run = 0; run < kRuns; ++run)
        additions.push_back(addThenRemove(tab, removals));
    report("\"Valider\" to timer files written and enabled (or message)", additions);
    report("\"Supprimer\" to timer disabled and files gone", removals);
    return 0;
}
