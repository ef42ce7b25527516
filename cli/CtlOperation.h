#pragma once

#include "CtlArguments.h"
#include "ForwardingOperation.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

// One forwarding, cancellation or status query without a window: the report
// window's engine, its lines (or JSON events) on stdout as they come,
// diagnostics on stderr, and an exit status a script can test.
class CtlOperation : public QObject
{
    Q_OBJECT
public:
    enum ExitStatus { Accepted = 0, NotAccepted = 1, PortFailure = 3, NotAvailable = 4, LineLost = 5 };

    explicit CtlOperation(const CtlArguments &arguments, QObject *parent = nullptr);

    // Ends at once, with NotAvailable, when the line cannot carry the request.
    void start();
    // SIGINT, SIGTERM or SIGHUP: hang up if need be, close, end with 128 + N.
    void stopNow(int signalNumber);

signals:
    void done(int exitStatus);

private:
    void onSent(const QByteArray &bytes, ForwardingOperation::Purpose purpose);
    void onNetworkAnswer(const ForwardingStatus &status);
    void onAttemptEnded(int attempt, bool accepted, const QString &line);
    void onReportLine(const QString &line);
    void onFinished();
    void onDeadline();
    int exitStatus() const;
    void emitEvent(QJsonObject event) const;

    CtlArguments m_arguments;
    OperationRequest m_request;
    QString m_port;
    LineKind m_line;
    ForwardingOperation m_operation;
    QTimer m_deadline;
    QString m_lastLine;
    int m_stopSignal = 0;
};
