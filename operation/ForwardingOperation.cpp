#include "ForwardingOperation.h"

#include "AnalogDialogue.h"
#include "Journal.h"
#include "OperationLog.h"
#include "PortDevice.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kStatusUnknown = u"Etat du renvoi non communiqué par le réseau"_s;
// ModemManager first switches the modem's unsolicited reports off, then closes the port.
constexpr std::chrono::milliseconds kPortReleaseLimit{10000};
constexpr std::chrono::milliseconds kReopenInterval{250};

QString hangUpCommand()
{
    return u"ATH0\r"_s;
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
    , m_dialogue(std::make_unique<AnalogDialogue>())
{
    makeSingleShot(m_listenTimer, m_timings.listen);
    makeSingleShot(m_pauseTimer, m_timings.pause);
    connect(&m_listenTimer, &QTimer::timeout, this, &ForwardingOperation::onListeningTimeUp);
    connect(&m_pauseTimer, &QTimer::timeout, this, &ForwardingOperation::endPause);
    connect(&m_line, &CommLine::readyRead, this, &ForwardingOperation::onReadyRead);
    connect(&m_line, &CommLine::lineFailed, this, &ForwardingOperation::failDialogue);
    m_reopenTimer.setInterval(kReopenInterval);
    connect(&m_reopenTimer, &QTimer::timeout, this, &ForwardingOperation::retryOpening);
    connect(&m_loan, &ModemLoan::lent, this, &ForwardingOperation::awaitPortRelease);
    connect(&m_loan, &ModemLoan::notManaged, this, &ForwardingOperation::openAndSetUp);
    connect(&m_loan, &ModemLoan::refused, this, [this](const QString &why) {
        m_failureReason = why;
        diagnose(why);
        failPort();
    });
    connect(&m_loan, &ModemLoan::givenBack, this, &ForwardingOperation::onGivenBack);
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

void ForwardingOperation::setDialogue(std::unique_ptr<LineDialogue> dialogue)
{
    if (m_phase == Phase::Ready)
        m_dialogue = std::move(dialogue);
}

void ForwardingOperation::allowInteractiveAuthorization(bool allowed)
{
    m_loan.setInteractive(allowed);
}

void ForwardingOperation::cancel()
{
    m_running = false;
}

void ForwardingOperation::stopNow()
{
    if (m_phase == Phase::Ready || m_phase == Phase::GivingBack || m_phase == Phase::Finished)
        return;
    m_reopenTimer.stop();
    m_listenTimer.stop();
    m_pauseTimer.stop();
    m_running = false;
    if (m_phase == Phase::Querying) { // accepted and reported; only the network's answer is left
        finishSuccess();
        return;
    }
    if (codeAccepted()) {
        hangUp(); // the success is reported all the same
        return;
    }
    m_outcome = Outcome::Stopped;
    finish();
}

// Whether the modem has said "OK" to the dial in progress: in the pause after
// it, or already during the listening time.
bool ForwardingOperation::codeAccepted()
{
    if (m_phase == Phase::PausingAfterSuccess)
        return true;
    if (m_phase != Phase::Listening || !m_dialled)
        return false;
    m_received += m_line.Input();
    return m_dialogue->judge(m_received, true, expectsStatus()).state == ReplyVerdict::State::Accepted;
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
    switch (request.kind) {
    case OperationRequest::Kind::Cancellation:
        return {u"Annulation effectuée à "_s, u"Echec de l'annulation à "_s};
    case OperationRequest::Kind::Status:
        return {QString(), u"Echec de la consultation à "_s};
    case OperationRequest::Kind::Forwarding:
        break;
    }
    return {u"Renvoi effectué à "_s, u"Echec du renvoi à "_s};
}

void ForwardingOperation::start()
{
    if (m_phase != Phase::Ready)
        return;
    m_running = true;
    // ModemManager's hold on a port is not always seen from here: another
    // user's descriptors cannot be read, so it is asked whenever it runs.
    const std::optional<int> port = portNumberFromText(m_readPort());
    if (port && m_loan.borrow(portDevicePath(*port)))
        m_phase = Phase::Borrowing;
    else
        openAndSetUp();
}

void ForwardingOperation::openAndSetUp()
{
    if (openPort())
        nextSetupStep();
    else
        failPort();
}

void ForwardingOperation::failPort()
{
    report(portFailureLine(m_readPort()));
    m_outcome = Outcome::PortFailure;
    m_running = false;
    finish();
}

bool ForwardingOperation::openPort()
{
    if (tryOpeningPort())
        return true;
    qCWarning(lcOperation).noquote() << m_failureReason;
    return false;
}

bool ForwardingOperation::tryOpeningPort()
{
    const QString portText = m_readPort();
    const std::optional<int> port = portNumberFromText(portText);
    m_failureReason = u"le texte du port ne tient pas dans un nombre de 16 bits"_s;
    if (!port || !m_line.setCommPort(*port, &m_failureReason)) {
        m_failureReason = u"port « %1 » refusé : %2"_s.arg(portText, m_failureReason);
        return false;
    }
    if (!m_line.setPortOpen(true, &m_failureReason)) {
        m_failureReason = u"%1 ne peut pas être ouvert : %2"_s.arg(portDevicePath(*port), m_failureReason);
        return false;
    }
    m_failureReason.clear();
    return true;
}

void ForwardingOperation::awaitPortRelease()
{
    m_reopenLimit.setRemainingTime(kPortReleaseLimit);
    m_reopenTimer.start();
}

void ForwardingOperation::retryOpening()
{
    if (tryOpeningPort()) {
        m_reopenTimer.stop();
        nextSetupStep();
    } else if (m_reopenLimit.hasExpired()) {
        m_reopenTimer.stop();
        qCWarning(lcOperation).noquote() << m_failureReason;
        failPort();
    }
}

void ForwardingOperation::nextSetupStep()
{
    const QStringList setup = m_dialogue->setupCommands();
    if (m_setupStep >= setup.size() && m_running) {
        beginAttempt();
        return;
    }
    if (m_setupStep >= setup.size()) { // cancelled while the modem was being readied
        m_outcome = Outcome::NotAccepted;
        finish();
        return;
    }
    listenTo(setup.at(m_setupStep++), Purpose::Setup, Phase::SettingUp);
}

void ForwardingOperation::beginAttempt()
{
    m_request = m_readRequest();
    m_attempt = textsFor(m_request);
    m_received.clear();
    m_phase = Phase::Listening;
    QString problem;
    const QString command = m_dialogue->attemptCommand(m_request, &problem);
    if (command.isEmpty()) {
        failDialogue(problem);
        return;
    }
    ++m_attempts;
    m_survey = StatusSurvey(m_request.reason);
    m_dialled = m_dialogue->acceptedAttemptIsACall();
    listenTo(command, Purpose::Attempt, Phase::Listening);
}

bool ForwardingOperation::listenTo(const QString &command, Purpose purpose, Phase phase)
{
    m_received.clear();
    m_phase = phase;
    if (!m_line.setInBufferCount(0) || !send(command, purpose)) {
        failDialogue(u"la commande %1 n'a pas pu être écrite"_s.arg(command.trimmed()));
        return false;
    }
    m_listenTimer.start();
    return true;
}

bool ForwardingOperation::isListening() const
{
    return m_phase == Phase::SettingUp || m_phase == Phase::Listening || m_phase == Phase::Querying;
}

// On an analogue line the replies are collected for the whole listening
// time, even after an early "OK"; a mobile line's final result code ends it.
void ForwardingOperation::onReadyRead()
{
    if (!isListening())
        return;
    m_received += m_line.Input();
    const ReplyVerdict verdict = m_dialogue->judge(m_received, false, expectsStatus());
    if (verdict.state == ReplyVerdict::State::Pending)
        return;
    m_listeningLeft = std::max(m_listenTimer.remainingTimeAsDuration(), std::chrono::milliseconds(0));
    m_listenTimer.stop();
    conclude(verdict);
}

void ForwardingOperation::onListeningTimeUp()
{
    m_received += m_line.Input();
    m_listeningLeft = std::chrono::milliseconds(0);
    conclude(m_dialogue->judge(m_received, true, expectsStatus()));
}

bool ForwardingOperation::expectsStatus() const
{
    return m_phase == Phase::Querying || m_request.kind == OperationRequest::Kind::Status;
}

void ForwardingOperation::conclude(const ReplyVerdict &verdict)
{
    switch (m_phase) {
    case Phase::SettingUp:
        if (verdict.state == ReplyVerdict::State::Refused)
            diagnose(u"commande de préparation refusée, on continue : "_s + verdict.diagnostic);
        nextSetupStep();
        return;
    case Phase::Querying:
        concludeQuery(verdict);
        return;
    default:
        endAttempt(verdict);
    }
}

void ForwardingOperation::endAttempt(const ReplyVerdict &verdict)
{
    if (verdict.state == ReplyVerdict::State::Accepted) {
        if (verdict.status && askNextReason(*verdict.status, Phase::Listening))
            return;
        if (m_dialled) {
            m_phase = Phase::PausingAfterSuccess;
            m_pauseTimer.start(m_timings.pause);
        } else {
            succeed();
        }
        return;
    }
    if (!verdict.diagnostic.isEmpty())
        diagnose(verdict.diagnostic);
    if (!m_line.setOutBufferCount(0) || !m_line.setInBufferCount(0)) {
        failDialogue(u"les tampons de la ligne n'ont pas pu être vidés"_s);
        return;
    }
    if (!hangUpIfDialled())
        return;
    const QString line = reportWithTime(m_attempt.failure);
    emit attemptEnded(m_attempts, false, line);
    if (!verdict.refusedForGood.isEmpty()) {
        endRefusedForGood(verdict.refusedForGood);
        return;
    }
    if (attemptsExhausted()) {
        endNotAccepted(); // no pause for a retry that will not come
        return;
    }
    m_phase = Phase::PausingAfterFailure;
    // An answer that came early does not hasten the next attempt: one every 10 s.
    m_pauseTimer.start(m_timings.pause + m_listeningLeft);
}

// Records what the network said about one reason; true when the next reason
// the request covers is being asked.
bool ForwardingOperation::askNextReason(const ForwardingStatus &answer, Phase phase)
{
    m_survey.record(answer);
    if (m_survey.isComplete())
        return false;
    listenTo(m_dialogue->statusQuery(m_survey.nextReason()), Purpose::Query, phase);
    return true;
}

// No retry could change the answer (no SIM, a PIN to enter...): the operation
// ends now, saying why.
void ForwardingOperation::endRefusedForGood(const QString &why)
{
    m_failureReason = why;
    report(u"Refus définitif, sans nouvelle tentative : "_s + why);
    endNotAccepted();
}

void ForwardingOperation::endPause()
{
    if (m_phase == Phase::PausingAfterSuccess)
        hangUp();
    else if (m_running)
        beginAttempt();
    else
        endNotAccepted();
}

bool ForwardingOperation::attemptsExhausted() const
{
    return m_maxAttempts > 0 && m_attempts >= m_maxAttempts;
}

void ForwardingOperation::endNotAccepted()
{
    m_running = false;
    m_outcome = Outcome::NotAccepted;
    finish();
}

void ForwardingOperation::hangUp()
{
    if (hangUpIfDialled())
        succeed();
}

// A dial ending in ";" leaves the modem off-hook in command mode, and a modem
// that ignores DTR (AT&D0) keeps the line seized when the port closes: every
// dial is followed by "ATH0", whether the modem accepted it or not.
bool ForwardingOperation::hangUpIfDialled()
{
    if (!m_dialled)
        return true;
    m_dialled = false;
    if (send(hangUpCommand(), Purpose::HangUp))
        return true;
    failDialogue(u"le raccrochage n'a pas pu être écrit"_s);
    return false;
}

void ForwardingOperation::succeed()
{
    m_outcome = Outcome::Accepted;
    if (m_request.kind == OperationRequest::Kind::Status) {
        emit attemptEnded(m_attempts, true, reportSurvey());
        finishSuccess();
        return;
    }
    emit attemptEnded(m_attempts, true, reportWithTime(m_attempt.success));
    const QString query = m_dialogue->statusQuery(m_survey.nextReason());
    if (query.isEmpty())
        finishSuccess();
    else
        listenTo(query, Purpose::Query, Phase::Querying);
}

// The forwarding itself was accepted: a status the network does not give
// only leaves a line saying so.
void ForwardingOperation::concludeQuery(const ReplyVerdict &verdict)
{
    if (!verdict.status) {
        diagnose(u"consultation de l'état du renvoi : "_s + verdict.diagnostic);
        report(kStatusUnknown);
    } else if (askNextReason(*verdict.status, Phase::Querying)) {
        return;
    } else {
        reportSurvey();
    }
    finishSuccess();
}

QString ForwardingOperation::reportSurvey()
{
    const QString line = m_survey.reportLine();
    report(line);
    for (const ForwardingStatus &status : m_survey.answers())
        emit networkAnswer(status);
    return line;
}

void ForwardingOperation::finishSuccess()
{
    emit succeeded(m_readRequest().kind);
    m_running = false;
    finish();
}

void ForwardingOperation::finish()
{
    // Closing a dying line may report it once more; the operation is over by then.
    m_phase = Phase::GivingBack;
    hangUpIfDialled(); // closing drains it before DTR drops
    m_line.setPortOpen(false);
    m_loan.giveBack();
}

// A modem borrowed from ModemManager goes back before the operation ends.
void ForwardingOperation::onGivenBack(const QString &problem)
{
    if (!problem.isEmpty())
        report(u"Le modem n'a pas été rendu tel quel : "_s + problem);
    m_phase = Phase::Finished;
    emit finished();
}

void ForwardingOperation::failDialogue(const QString &reason)
{
    if (m_phase == Phase::Ready || m_phase == Phase::GivingBack || m_phase == Phase::Finished)
        return;
    m_failureReason = reason;
    qCWarning(lcOperation).noquote() << "ligne perdue :" << reason;
    m_listenTimer.stop();
    m_pauseTimer.stop();
    m_outcome = Outcome::LineLost;
    report(dialogueFailureLine());
    m_running = false;
    finish();
}

bool ForwardingOperation::send(const QString &command, Purpose purpose)
{
    if (!m_line.setOutput(command))
        return false;
    qCDebug(lcOperation) << "sent" << command;
    emit sent(command.toLatin1(), purpose);
    return true;
}

void ForwardingOperation::report(const QString &text)
{
    Journal::append(m_clock.now(), m_readPort(), text);
    emit reportLine(text);
}

void ForwardingOperation::diagnose(const QString &text)
{
    qCWarning(lcOperation).noquote() << text;
    Journal::append(m_clock.now(), m_readPort(), text);
    emit diagnostic(text);
}

QString ForwardingOperation::reportWithTime(const QString &text)
{
    const QString line = text + formatTimeOfDay(m_clock.now());
    report(line);
    return line;
}
