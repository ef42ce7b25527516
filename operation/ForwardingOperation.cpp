#include "ForwardingOperation.h"

#include "Journal.h"
#include "OperationLog.h"
#include "PortDevice.h"

using namespace Qt::StringLiterals;

namespace {

const QString kCR = u"\r"_s;

QString hangUpCommand()
{
    return u"ATH0"_s + kCR;
}

void makeSingleShot(QTimer &timer, std::chrono::milliseconds interval)
{
    timer.setSingleShot(true);
    // A coarse timer may fire 5% early; the modem must get its full time.
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(interval);
}

} // namespace

ForwardingOperation::ForwardingOperation(RequestSource request, PortSource port,
                                         const Clock &clock, OperationTimings timings,
                                         QObject *parent)
    : QObject(parent)
    , m_readRequest(std::move(request))
    , m_readPort(std::move(port))
    , m_clock(clock)
    , m_timings(timings)
{
    makeSingleShot(m_listenTimer, m_timings.listen);
    makeSingleShot(m_pauseTimer, m_timings.pause);
    connect(&m_listenTimer, &QTimer::timeout, this, &ForwardingOperation::endListening);
    connect(&m_pauseTimer, &QTimer::timeout, this, &ForwardingOperation::endPause);
    connect(&m_line, &CommLine::readyRead, this, &ForwardingOperation::onReadyRead);
    connect(&m_line, &CommLine::lineFailed, this, &ForwardingOperation::failDialogue);
}

bool ForwardingOperation::isRunning() const
{
    return m_running;
}

bool ForwardingOperation::isFinished() const
{
    return m_phase == Phase::Finished;
}

ForwardingOperation::Outcome ForwardingOperation::outcome() const
{
    return m_outcome;
}

QString ForwardingOperation::failureReason() const
{
    return m_failureReason;
}

QString ForwardingOperation::devicePath() const
{
    return portDevicePath(m_line.CommPort());
}

void ForwardingOperation::setMaxAttempts(int attempts)
{
    m_maxAttempts = attempts;
}

void ForwardingOperation::cancel()
{
    m_running = false;
}

void ForwardingOperation::stopNow()
{
    if (m_phase == Phase::Ready || m_phase == Phase::Finished)
        return;
    m_listenTimer.stop();
    m_pauseTimer.stop();
    m_running = false;
    m_outcome = Outcome::Stopped;
    if (m_dialled)
        send(hangUpCommand());
    finish();
}

QString ForwardingOperation::portFailureLine(const QString &port)
{
    return u"COM"_s + port + u" n'est pas un numéro de port valable, "_s
        + u" ou est utilisé actuellement par une autre application."_s;
}

QString ForwardingOperation::dialogueFailureLine()
{
    return u"Il n'a pas été possible de mener à bien l'opération désirée."_s;
}

ForwardingOperation::AttemptTexts ForwardingOperation::textsFor(const OperationRequest &request)
{
    if (request.kind == OperationRequest::Kind::Cancellation)
        return {u"ATDT#21#;"_s + kCR, u"Annulation effectuée à "_s, u"Echec de l'annulation à "_s};
    return {u"ATDT*21*"_s + request.number + u"#;"_s + kCR, u"Renvoi effectué à "_s,
            u"Echec du renvoi à "_s};
}

void ForwardingOperation::start()
{
    if (m_phase != Phase::Ready)
        return;
    if (!openPort()) {
        report(portFailureLine(m_readPort()));
        m_outcome = Outcome::PortFailure;
        m_running = false;
        m_phase = Phase::Finished;
        emit finished();
        return;
    }
    beginAttempt();
}

bool ForwardingOperation::openPort()
{
    const QString portText = m_readPort();
    const std::optional<int> port = portNumberFromText(portText);
    m_failureReason = u"the port text does not fit a 16-bit number"_s;
    if (!port || !m_line.setCommPort(*port, &m_failureReason)) {
        m_failureReason = u"port \"%1\" refused: %2"_s.arg(portText, m_failureReason);
        qCWarning(lcOperation).noquote() << m_failureReason;
        return false;
    }
    m_running = true;
    if (!m_line.setPortOpen(true, &m_failureReason)) {
        m_failureReason = u"cannot open %1: %2"_s.arg(portDevicePath(*port), m_failureReason);
        qCWarning(lcOperation).noquote() << m_failureReason;
        return false;
    }
    m_failureReason.clear();
    return true;
}

void ForwardingOperation::beginAttempt()
{
    const OperationRequest request = m_readRequest();
    m_attempt = textsFor(request);
    m_received.clear();
    m_phase = Phase::Listening;
    if (!request.isSafeToDial()) {
        failDialogue(u"refused to dial \"%1\": only digits, \"+\" and blanks may reach the modem"_s.arg(request.number));
        return;
    }
    ++m_attempts;
    m_dialled = true;
    if (!m_line.setInBufferCount(0) || !send(m_attempt.dial)) {
        failDialogue(u"the dial command could not be written"_s);
        return;
    }
    m_listenTimer.start();
}

// Replies are collected for the whole listening time, even after an early "OK".
void ForwardingOperation::onReadyRead()
{
    if (m_phase == Phase::Listening)
        m_received += m_line.Input();
}

void ForwardingOperation::endListening()
{
    m_received += m_line.Input();
    if (m_received.contains(u"OK"_s)) {
        m_phase = Phase::PausingAfterSuccess;
        m_pauseTimer.start();
        return;
    }
    if (!m_line.setOutBufferCount(0) || !m_line.setInBufferCount(0)) {
        failDialogue(u"the line's buffers could not be cleared"_s);
        return;
    }
    const QString line = reportWithTime(m_attempt.failure);
    emit attemptEnded(m_attempts, false, line);
    if (m_maxAttempts > 0 && m_attempts >= m_maxAttempts)
        m_running = false;
    m_phase = Phase::PausingAfterFailure;
    m_pauseTimer.start();
}

void ForwardingOperation::endPause()
{
    if (m_phase == Phase::PausingAfterSuccess)
        hangUp();
    else if (m_running)
        beginAttempt();
    else {
        m_outcome = Outcome::NotAccepted;
        finish();
    }
}

void ForwardingOperation::hangUp()
{
    if (!send(hangUpCommand())) {
        failDialogue(u"the hang-up could not be written"_s);
        return;
    }
    m_dialled = false;
    const QString line = reportWithTime(m_attempt.success);
    m_outcome = Outcome::Accepted;
    emit attemptEnded(m_attempts, true, line);
    emit succeeded(m_readRequest().kind);
    m_running = false;
    finish();
}

void ForwardingOperation::finish()
{
    // Closing a dying line may report it once more; the operation is over by then.
    m_phase = Phase::Finished;
    m_line.setPortOpen(false);
    emit finished();
}

void ForwardingOperation::failDialogue(const QString &reason)
{
    if (m_phase == Phase::Ready || m_phase == Phase::Finished)
        return;
    m_failureReason = reason;
    qCWarning(lcOperation).noquote() << "line failed:" << reason;
    m_listenTimer.stop();
    m_pauseTimer.stop();
    m_outcome = Outcome::LineLost;
    report(dialogueFailureLine());
    m_running = false;
    finish();
}

bool ForwardingOperation::send(const QString &command)
{
    if (!m_line.setOutput(command))
        return false;
    qCDebug(lcOperation) << "sent" << command;
    emit sent(command.toLatin1());
    return true;
}

void ForwardingOperation::report(const QString &text)
{
    Journal::append(m_clock.now(), m_readPort(), text);
    emit reportLine(text);
}

QString ForwardingOperation::reportWithTime(const QString &text)
{
    const QString line = text + formatTimeOfDay(m_clock.now());
    report(line);
    return line;
}
