#include "PlanificationTab.h"

#include "ForwardingOperation.h"
#include "FrmRegle.h"
#include "JournalView.h"
#include "NextRun.h"
#include "PortSetting.h"
#include "RuleStore.h"
#include "WeekStrip.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"Renvolia"_s;
constexpr int kListRows = 5; // the rules' and the journal's lists show as many lines at least

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *created = new QPushButton(text, parent);
    created->setObjectName(name);
    return created;
}

// The rule's messages start in lower case, as after "renvoliactl: ".
QString sentence(const QString &text)
{
    QString capitalised = text.left(1).toUpper() + text.mid(1);
    return capitalised.endsWith(u'.') ? capitalised : capitalised + u'.';
}

QString nextRunText(const QDateTime &next)
{
    if (!next.isValid())
        return QString();
    return WeekDays::frenchName(next.date().dayOfWeek()) + next.toString(u" dd/MM HH:mm"_s);
}

} // namespace

PlanificationTab::PlanificationTab(const Clock &clock, std::unique_ptr<ScheduleBackend> backend, QWidget *parent)
    : QWidget(parent)
    , m_clock(clock)
    , m_backend(std::move(backend))
    , m_schedule(*m_backend)
{
    setObjectName(u"tabPlanification"_s);
    buildControls();
    connect(&m_schedule, &WeeklySchedule::finished, this, &PlanificationTab::onScheduleFinished);
    showRules();
}

PlanificationTab::~PlanificationTab() = default;

// The window keeps the size its first two tabs give it: this tab scrolls,
// and follows the keyboard focus.
void PlanificationTab::buildControls()
{
    auto *scroller = new QScrollArea(this);
    scroller->setObjectName(u"scrPlanification"_s);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget;
    scroller->setWidget(content);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(scroller);

    picSemaine = new WeekStrip(content);
    picSemaine->setObjectName(u"picSemaine"_s);
    lstRegles = new QTreeWidget(content);
    lstRegles->setObjectName(u"lstRegles"_s);
    lstRegles->setAccessibleName(u"Règles de la semaine"_s);
    lstRegles->setRootIsDecorated(false);
    lstRegles->setHeaderLabels({u"N°"_s, u"Jours"_s, u"Heure"_s, u"Action"_s, u"Prochaine fois"_s});
    lstRegles->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    cmdAjouter = button(u"cmdAjouter"_s, u"A&jouter..."_s, content);
    cmdSupprimer = button(u"cmdSupprimer"_s, u"&Supprimer"_s, content);
    auto *lblJournal = new QLabel(u"Dernières opérations"_s, content);
    lblJournal->setObjectName(u"lblJournal"_s);
    lstJournal = new JournalView(kJournalLines, content);
    lstJournal->setObjectName(u"lstJournal"_s);
    lstJournal->setAccessibleName(lblJournal->text());
    cmdEtat = button(u"cmdEtat"_s, u"Consulter l'é&tat"_s, content);
    lblEtat = new QLabel(content);
    lblEtat->setObjectName(u"lblEtat"_s);
    lblEtat->setWordWrap(true);

    connect(cmdAjouter, &QPushButton::clicked, this, &PlanificationTab::cmdAjouter_Click);
    connect(cmdSupprimer, &QPushButton::clicked, this, &PlanificationTab::cmdSupprimer_Click);
    connect(cmdEtat, &QPushButton::clicked, this, &PlanificationTab::cmdEtat_Click);

    lstRegles->setMinimumHeight(kListRows * lstRegles->fontMetrics().height());
    lstJournal->setMinimumHeight(kListRows * lstJournal->fontMetrics().height());
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdAjouter);
    buttons->addWidget(cmdSupprimer);
    auto *layout = new QVBoxLayout(content);
    layout->addWidget(picSemaine);
    layout->addWidget(lstRegles, 1);
    layout->addLayout(buttons);
    layout->addWidget(lblJournal);
    layout->addWidget(lstJournal, 1);
    layout->addWidget(cmdEtat);
    layout->addWidget(lblEtat);
}

// The line may have changed on the second tab since this one was shown.
void PlanificationTab::showEvent(QShowEvent *event)
{
    const bool mobile = PortSetting::currentLine() == LineKind::Mobile;
    cmdEtat->setVisible(mobile);
    lblEtat->setVisible(mobile);
    showRules();
    QWidget::showEvent(event);
}

void PlanificationTab::showRules()
{
    const QList<ScheduleRule> rules = RuleStore::load();
    picSemaine->setRules(rules);
    lstRegles->clear();
    const QDateTime now = m_clock.now();
    for (const ScheduleRule &rule : rules) {
        auto *item = new QTreeWidgetItem(lstRegles, {QString::number(rule.id), rule.days.french(), rule.atText(),
                                                     rule.actionDescription(), nextRunText(nextRun(rule, now))});
        item->setData(0, Qt::UserRole, rule.id);
    }
    // Listed, so that they can be removed.
    for (const RuleStore::UnreadableRule &rule : RuleStore::unreadable()) {
        auto *item = new QTreeWidgetItem(lstRegles, {QString::number(rule.id), {}, {}, u"illisible : "_s + rule.problem, {}});
        item->setData(0, Qt::UserRole, rule.id);
    }
    if (lstRegles->topLevelItemCount() > 0)
        lstRegles->setCurrentItem(lstRegles->topLevelItem(0));
    cmdSupprimer->setEnabled(lstRegles->topLevelItemCount() > 0);
}

void PlanificationTab::cmdAjouter_Click()
{
    m_ruleDialog = new FrmRegle(this);
    m_ruleDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_ruleDialog, &QDialog::accepted, this, [this, dialog = m_ruleDialog] { addRule(dialog->input()); });
    m_ruleDialog->open();
}

// Refused input leaves the store and the unit files untouched.
void PlanificationTab::addRule(const RuleInput &input)
{
    QString problem;
    const std::optional<ScheduleRule> rule = ruleFrom(input, &problem);
    if (!rule) {
        showMessage(sentence(problem), true);
        return;
    }
    setEnabled(false);
    m_schedule.add(*rule);
}

void PlanificationTab::cmdSupprimer_Click()
{
    const QTreeWidgetItem *item = lstRegles->currentItem();
    if (!item) {
        showMessage(u"Sélectionnez une règle."_s, false);
        return;
    }
    setEnabled(false);
    if (!m_schedule.remove(item->data(0, Qt::UserRole).toInt())) {
        setEnabled(true);
        showRules();
    }
}

void PlanificationTab::onScheduleFinished(const WeeklySchedule::Result &result)
{
    setEnabled(true);
    showRules();
    const QString text = QStringList{result.message, result.note}.join(u"\n\n"_s).trimmed();
    if (!text.isEmpty())
        showMessage(text, !result.succeeded);
    emit scheduleChanged();
}

// The same query as renvoliactl status, on the port and line in use: one
// attempt, its answer shown below the button.
void PlanificationTab::cmdEtat_Click()
{
    OperationRequest request;
    request.kind = OperationRequest::Kind::Status;
    m_statusQuery = std::make_unique<ForwardingOperation>([request] { return request; }, &PortSetting::current,
                                                          m_clock);
    m_statusQuery->setMaxAttempts(1);
    m_statusQuery->setDialogue(dialogueFor(LineKind::Mobile));
    // The network's answer, or why there is none, is the query's last line.
    connect(m_statusQuery.get(), &ForwardingOperation::reportLine, lblEtat, &QLabel::setText);
    connect(m_statusQuery.get(), &ForwardingOperation::finished, this, [this] { cmdEtat->setEnabled(true); });
    lblEtat->setText(QString());
    cmdEtat->setEnabled(false);
    m_statusQuery->start();
}

void PlanificationTab::showMessage(const QString &text, bool warning)
{
    auto *box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, kTitle, text,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
