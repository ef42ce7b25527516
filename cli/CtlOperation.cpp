#include "CtlOperation.h"

#include "CtlOutput.h"
#include "PortDevice.h"
#include "PortRange.h"
#include "PortSetting.h"
#include "StopSignals.h"

#include <QJsonDocument>
#include <QJsonObject>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

OperationRequest requestOf(const CtlArguments &arguments)
{
    OperationRequest request = OperationRequest::forwarding(arguments.number, arguments.reason);
    if (arguments.command == CtlArguments::Command::Cancel)
        request = OperationRequest::cancellation(arguments.reason);
    else if (arguments.command == CtlArguments::Command::Status)
        request.kind = OperationRequest::Kind::Status;
    request.noReplySeconds = arguments.noReplySeconds;
    return request;
}

QString portOf(const CtlArguments &arguments)
{
    PortSetting::load();
    return arguments.port ? QString::number(*arguments.port) : PortSetting::current();
}

LineKind lineOf(const CtlArguments &arguments)
{
    PortSetting::load();
    return arguments.line.value_or(PortSetting::currentLine());
}

QString purposeName(ForwardingOperation::Purpose purpose)
{
    static const QStringList names{u"setup"_s, u"attempt"_s, u"query"_s, u"hangup"_s}; // in Purpose's order
    return names.at(static_cast<int>(purpose));
}

QString outcomeName(ForwardingOperation::Outcome outcome)
{
    using O = ForwardingOperation::Outcome;
    switch (outcome) {
    case O::Accepted:
        return u"accepted"_s;
    case O::NotAccepted:
        return u"not-accepted"_s;
    case O::PortFailure:
        return u"port-failure"_s;
    case O::LineLost:
        return u"line-lost"_s;
    case O::Stopped:
        return u"stopped"_s;
    case O::Pending:
        break;
    }
    return u"pending"_s;
}

} // namespace

CtlOperation::CtlOperation(const CtlArguments &arguments, QObject *parent)
    : QObject(parent)
    , m_arguments(arguments)
    , m_request(requestOf(arguments))
    , m_port(portOf(arguments))
    , m_line(lineOf(arguments))
    , m_operation([this] { return m_request; }, [this] { return m_port; }, systemClock())
{
    m_operation.setMaxAttempts(arguments.attempts);
    m_operation.setDialogue(dialogueFor(m_line));
#ifdef Q_OS_UNIX
    // Someone at the terminal can answer polkit's agent; cron and timers cannot.
    m_operation.allowInteractiveAuthorization(::isatty(STDIN_FILENO));
#endif
    m_deadline.setSingleShot(true);
    // A coarse timer may fire late, after the next attempt has begun.
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &CtlOperation::onDeadline);
    connect(&m_operation, &ForwardingOperation::sent, this, &CtlOperation::onSent);
    connect(&m_operation, &ForwardingOperation::attemptEnded, this, &CtlOperation::onAttemptEnded);
    connect(&m_operation, &ForwardingOperation::reportLine, this, &CtlOperation::onReportLine);
    connect(&m_operation, &ForwardingOperation::networkAnswer, this, &CtlOperation::onNetworkAnswer);
    // The engine's own warning already puts it on stderr.
    connect(&m_operation, &ForwardingOperation::diagnostic, this, [this](const QString &text) {
        emitEvent({{u"event"_s, u"diagnostic"_s}, {u"text"_s, text}});
    });
    connect(&m_operation, &ForwardingOperation::finished, this, &CtlOperation::onFinished);
}

void CtlOperation::start()
{
    const std::optional<int> port = portNumberFromText(m_port);
    if (!m_arguments.port && !(port && isPortInRange(*port)))
        printErr(u"renvoliactl: le port enregistré « %1 » (%2) n'est pas un numéro de port %3 ; choisissez-en un "
                 u"autre dans la fenêtre de configuration, avec ports --assign ou avec --port"_s.arg(m_port, PortSetting::storeLocation(), portRangeText()));
    QString problem;
    if (dialogueFor(m_line)->attemptCommand(m_request, &problem).isEmpty()) {
        printErr(u"renvoliactl: "_s + problem);
        emit done(NotAvailable);
        return;
    }
    if (m_arguments.deadline)
        m_deadline.start(*m_arguments.deadline);
    m_operation.start();
}

void CtlOperation::stopNow(int signalNumber)
{
    m_stopSignal = signalNumber;
    if (m_operation.isFinished())
        emit done(exitStatus());
    else
        m_operation.stopNow();
}

void CtlOperation::onDeadline()
{
    printErr(u"renvoliactl: délai écoulé, plus aucune tentative"_s);
    m_operation.cancel();
}

void CtlOperation::onSent(const QByteArray &bytes, ForwardingOperation::Purpose purpose)
{
    QJsonObject event{{u"event"_s, purposeName(purpose)}, {u"sent"_s, QString::fromLatin1(bytes)}};
    if (purpose == ForwardingOperation::Purpose::Attempt) {
        event.insert(u"port"_s, m_port.toInt());
        event.insert(u"device"_s, m_operation.devicePath());
    }
    emitEvent(event);
}

void CtlOperation::onNetworkAnswer(const ForwardingStatus &status)
{
    emitEvent({{u"event"_s, u"status"_s}, {u"reason"_s, reasonName(status.reason)},
               {u"active"_s, status.active}, {u"number"_s, status.number}});
}

void CtlOperation::onAttemptEnded(int attempt, bool accepted, const QString &line)
{
    emitEvent({{u"event"_s, u"result"_s}, {u"attempt"_s, attempt}, {u"accepted"_s, accepted}, {u"line"_s, line}});
}

void CtlOperation::onReportLine(const QString &line)
{
    m_lastLine = line;
    if (!m_arguments.json && !m_arguments.quiet)
        printOut(line);
}

void CtlOperation::onFinished()
{
    m_deadline.stop();
    const ForwardingOperation::Outcome outcome = m_operation.outcome();
    QJsonObject end{{u"event"_s, u"end"_s}, {u"outcome"_s, outcomeName(outcome)}, {u"exit"_s, exitStatus()}};
    if (!m_operation.failureReason().isEmpty()) {
        end.insert(u"line"_s, m_lastLine);
        end.insert(u"reason"_s, m_operation.failureReason());
    }
    emitEvent(end);
    emit done(exitStatus());
}

// A stop signal decides the status even when the code it interrupted was
// accepted: the success is in the output and the journal all the same.
int CtlOperation::exitStatus() const
{
    using O = ForwardingOperation::Outcome;
    if (m_stopSignal)
        return StopSignals::exitStatusFor(m_stopSignal);
    switch (m_operation.outcome()) {
    case O::Accepted:
        return Accepted;
    case O::PortFailure:
        return PortFailure;
    case O::LineLost:
        return LineLost;
    case O::Stopped:
    case O::NotAccepted:
    case O::Pending:
        break;
    }
    return NotAccepted;
}

void CtlOperation::emitEvent(QJsonObject event) const
{
    if (!m_arguments.json || m_arguments.quiet)
        return;
    event.insert(u"time"_s, isoTimestamp(QDateTime::currentDateTime()));
    printOut(QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)));
}
