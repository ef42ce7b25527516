#pragma once

#include "ForwardingOperation.h"
#include "OperationRequest.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;
class kvoCheck;

// The report window: runs one operation from its first showing, shows a line
// per attempt, and lets the user stop the retries or close it afterwards.
class FrmGenerique : public QWidget
{
    Q_OBJECT
public:
    explicit FrmGenerique(ForwardingOperation::PortSource port, const Clock &clock = systemClock(),
                          OperationTimings timings = {}, LineKind line = LineKind::Analog,
                          QWidget *parent = nullptr);
    // A window taken down while it works still hangs up and reports a code
    // the modem accepted.
    ~FrmGenerique() override;

    // Loads a window, hands it the request through its controls and shows
    // it; the window deletes itself when closed.
    static FrmGenerique *launch(const OperationRequest &request, ForwardingOperation::PortSource port,
                                const Clock &clock = systemClock(), OperationTimings timings = {},
                                LineKind line = LineKind::Analog);

    // Writes the request into the window's controls, as a starter does.
    void handOver(const OperationRequest &request);

    bool isRunning() const;
    // The program is told to stop: hang up if need be and close the port now.
    void stopNow();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    OperationRequest requestFromControls() const;
    void appendReportLine(const QString &line);
    void tickCompleted(OperationRequest::Kind kind);
    void onFinished();
    void cmdCancel_Click();

    kvoCheck *chkAnnulation = nullptr;
    kvoCheck *chkTermine = nullptr;
    QLabel *lblNumero = nullptr;
    QLabel *lblRapport = nullptr;
    QLabel *lblMotif = nullptr; // why the port or the line failed, shown only then
    QScrollArea *reportArea = nullptr;
    QPushButton *cmdCancel = nullptr;
    ForwardingOperation *operation = nullptr;
    bool mbDejaActive = false;
};
