#pragma once

#include "Clock.h"
#include "ScheduleBackend.h"
#include "WeeklySchedule.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class ForwardingOperation;
class FrmRegle;
class JournalView;
class QLabel;
class QPushButton;
class QTreeWidget;
class WeekStrip;

// The configuration window's third tab: the week's forwarded hours, the
// rules with their next run (added and removed through the same schedule as
// renvoliactl schedule), the journal's last lines and, for a mobile line,
// what the network forwards now.
class PlanificationTab : public QWidget
{
    Q_OBJECT
public:
    explicit PlanificationTab(const Clock &clock,
                              std::unique_ptr<ScheduleBackend> backend = platformScheduleBackend(),
                              QWidget *parent = nullptr);
    ~PlanificationTab() override;

    static constexpr int kJournalLines = 20;

signals:
    // A rule was added or removed and its outcome told.
    void scheduleChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void showRules();
    void cmdAjouter_Click();
    void addRule(const RuleInput &input);
    void cmdSupprimer_Click();
    void onScheduleFinished(const WeeklySchedule::Result &result);
    void cmdEtat_Click();
    void showMessage(const QString &text, bool warning);

    const Clock &m_clock;
    std::unique_ptr<ScheduleBackend> m_backend;
    WeeklySchedule m_schedule;
    WeekStrip *picSemaine = nullptr;
    QTreeWidget *lstRegles = nullptr;
    QPushButton *cmdAjouter = nullptr;
    QPushButton *cmdSupprimer = nullptr;
    JournalView *lstJournal = nullptr;
    QPushButton *cmdEtat = nullptr;
    QLabel *lblEtat = nullptr;
    QPointer<FrmRegle> m_ruleDialog;
    std::unique_ptr<ForwardingOperation> m_statusQuery;
};
