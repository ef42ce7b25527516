#include "FrmGenerique.h"

#include "ElidingLabel.h"
#include "OperationLog.h"
#include "Twips.h"
#include "kvoCheck.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

kvoCheck *makeCheck(QWidget *parent, const QString &name, const QString &caption, QSize size)
{
    auto *check = new kvoCheck(parent);
    check->setObjectName(name);
    check->ReadProperties({{u"Caption"_s, caption}});
    check->setMinimumSize(size);
    return check;
}

} // namespace

FrmGenerique::FrmGenerique(ForwardingOperation::PortSource port, const Clock &clock,
                           OperationTimings timings, LineKind line, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"frmGénérique"_s);
    setWindowTitle(u"Renvolia d'appel"_s);
    buildControls();
    operation = new ForwardingOperation([this] { return requestFromControls(); }, std::move(port),
                                        clock, timings, this);
    operation->setDialogue(dialogueFor(line));
    operation->allowInteractiveAuthorization(true); // a desktop session has polkit's agent
    connect(operation, &ForwardingOperation::reportLine, this, &FrmGenerique::appendReportLine);
    connect(operation, &ForwardingOperation::succeeded, this, &FrmGenerique::tickCompleted);
    connect(operation, &ForwardingOperation::finished, this, &FrmGenerique::onFinished);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmGenerique::cmdCancel_Click);
}

FrmGenerique::~FrmGenerique()
{
    operation->stopNow();
}

void FrmGenerique::buildControls()
{
    // A long number must not widen the window and cut the boxes' captions.
    lblNumero = new ElidingLabel(this);
    lblNumero->setObjectName(u"lblNuméro"_s);
    lblNumero->setMinimumSize(fromTwips(1452, 252));
    QFont bold = lblNumero->font();
    bold.setBold(true);
    bold.setPointSizeF(9.75);
    lblNumero->setFont(bold);

    chkAnnulation = makeCheck(this, u"chkAnnulation"_s, u"Annulation effectuée"_s, fromTwips(1215, 375));
    chkTermine = makeCheck(this, u"chkTerminé"_s, u"Renvoi effectué"_s, fromTwips(1095, 375));

    lblRapport = new QLabel(u"Rapport des opérations:"_s);
    lblRapport->setObjectName(u"lblRapport"_s);
    lblRapport->setTextFormat(Qt::PlainText);
    lblRapport->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblRapport->setWordWrap(true);
    lblRapport->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Hours of retries outgrow the window: the report scrolls to its newest line.
    reportArea = new QScrollArea(this);
    reportArea->setWidget(lblRapport);
    reportArea->setWidgetResizable(true);
    reportArea->setMinimumSize(fromTwips(3732, 4452));
    reportArea->setStyleSheet(u"QScrollArea, QScrollArea > QWidget > QWidget { background: white; }"_s);

    // The report keeps its line as it always read; the reason, which
    // otherwise only reaches stderr, waits below it for a failure.
    lblMotif = new QLabel(this);
    lblMotif->setObjectName(u"lblMotif"_s);
    lblMotif->setTextFormat(Qt::PlainText);
    lblMotif->setWordWrap(true);
    lblMotif->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMotif->hide();

    cmdCancel = new QPushButton(u"Annuler"_s, this);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    cmdCancel->setDefault(true);
    cmdCancel->setMinimumSize(fromTwips(1695, 375));

    auto *top = new QHBoxLayout;
    top->addWidget(lblNumero, 0, Qt::AlignTop);
    top->addWidget(chkAnnulation);
    top->addWidget(chkTermine);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(reportArea, 1);
    layout->addWidget(lblMotif);
    layout->addWidget(cmdCancel, 0, Qt::AlignHCenter);
}

FrmGenerique *FrmGenerique::launch(const OperationRequest &request,
                                   ForwardingOperation::PortSource port, const Clock &clock,
                                   OperationTimings timings, LineKind line)
{
    auto *window = new FrmGenerique(std::move(port), clock, timings, line);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->handOver(request);
    window->show();
    return window;
}

void FrmGenerique::handOver(const OperationRequest &request)
{
    if (request.kind == OperationRequest::Kind::Cancellation) {
        *chkTermine = 2; // grey: no forwarding asked for
        return;
    }
    *chkAnnulation = 2; // grey: no cancellation asked for
    lblNumero->setText(request.number);
}

bool FrmGenerique::isRunning() const
{
    return operation->isRunning();
}

void FrmGenerique::stopNow()
{
    operation->stopNow();
}

OperationRequest FrmGenerique::requestFromControls() const
{
    if (*chkAnnulation == 0)
        return OperationRequest::cancellation();
    return OperationRequest::forwarding(lblNumero->text());
}

// The operation starts once, after the window has been drawn; showing it
// again (restored, switched back to) starts nothing.
void FrmGenerique::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (mbDejaActive)
        return;
    mbDejaActive = true;
    qCInfo(lcOperation) << "fenêtre de rapport affichée";
    QTimer::singleShot(0, operation, &ForwardingOperation::start);
}

void FrmGenerique::appendReportLine(const QString &line)
{
    lblRapport->setText(lblRapport->text() + u"\r\n"_s + line);
    QTimer::singleShot(0, reportArea, [area = reportArea] {
        area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    });
}

void FrmGenerique::tickCompleted(OperationRequest::Kind kind)
{
    if (kind == OperationRequest::Kind::Cancellation)
        *chkAnnulation = 1;
    else
        *chkTermine = 1;
}

void FrmGenerique::onFinished()
{
    cmdCancel->setText(u"Fermer"_s);
    const QString reason = operation->failureReason();
    lblMotif->setText(reason);
    lblMotif->setVisible(!reason.isEmpty());
}

// Until the operation has finished the port is open and a hang-up may still be
// due, so the window stays; a press only asks the retries to stop.
void FrmGenerique::cmdCancel_Click()
{
    if (operation->isFinished())
        close();
    else
        operation->cancel();
}

// A close request before the end is refused and counts as "Annuler".
void FrmGenerique::closeEvent(QCloseEvent *event)
{
    if (operation->isFinished()) {
        event->accept();
        return;
    }
    event->ignore();
    operation->cancel();
}

// Enter and Esc both press the one button.
void FrmGenerique::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        cmdCancel->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
