#pragma once

#include "Clock.h"
#include "CommLine.h"
#include "LineDialogue.h"
#include "ModemLoan.h"
#include "OperationRequest.h"
#include "StatusSurvey.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

struct OperationTimings
{
    std::chrono::milliseconds listen{7000}; // the modem gets 7 s to answer
    std::chrono::milliseconds pause{3000};  // then 3 s before hanging up or retrying
};

// Forwards calls to a number, cancels the forwarding or asks for its status,
// through the modem: sends the line's command (LineDialogue: a dial on an
// analogue line, AT+CCFC on a mobile one), listens for the answer, retries
// every attempt until success or cancel(), hangs up after a dial and reports
// each attempt with its time. Everything runs on timers and the line's
// readyRead; nothing blocks.
class ForwardingOperation : public QObject
{
    Q_OBJECT
public:
    // Read at the start of every attempt, so a change between attempts
    // applies to the next one.
    using RequestSource = std::function<OperationRequest()>;
    // The port text, read when the port is opened and for the failure line.
    using PortSource = std::function<QString()>;

    ForwardingOperation(RequestSource request, PortSource port, const Clock &clock,
                        OperationTimings timings = {}, QObject *parent = nullptr);

    enum class Outcome { Pending, Accepted, NotAccepted, PortFailure, LineLost, Stopped };

    // After that many failed attempts the retries stop; 0 never stops them.
    void setMaxAttempts(int attempts);
    // Before start(); an analogue line's otherwise.
    void setDialogue(std::unique_ptr<LineDialogue> dialogue);
    // Whether polkit's agent may ask for a password when a modem is borrowed
    // from ModemManager.
    void allowInteractiveAuthorization(bool allowed);

    // Runs once; later calls do nothing.
    void start();
    // Stops the retries at the end of the attempt in progress.
    void cancel();
    // Ends the operation now, as when the program is told to stop: a modem
    // that was dialled is hung up before the port closes, and a code the
    // modem has already accepted is reported as a success.
    void stopNow();

    bool isRunning() const;
    bool isFinished() const;
    Outcome outcome() const;
    // Why the port could not be opened, the line was lost or the modem
    // refused for good; empty otherwise.
    QString failureReason() const;
    QString devicePath() const;

    static QString portFailureLine(const QString &port);
    static QString dialogueFailureLine();

    // What a command sent is for.
    enum class Purpose { Setup, Attempt, Query, HangUp };
    Q_ENUM(Purpose)

signals:
    // Every report line, also written to the journal.
    void reportLine(const QString &line);
    // The exact bytes handed to the line.
    void sent(const QByteArray &bytes, ForwardingOperation::Purpose purpose);
    void attemptEnded(int attempt, bool accepted, const QString &line);
    // Why the modem's answer was refused or not understood, raw text
    // included; also written to the journal.
    void diagnostic(const QString &text);
    // What the network forwards for one single reason, after its status query.
    void networkAnswer(const ForwardingStatus &status);
    // The modem accepted the code; sent right after the success line.
    void succeeded(OperationRequest::Kind kind);
    // The port is closed and the operation will do nothing more.
    void finished();

private:
    enum class Phase {
        Ready, Borrowing, SettingUp, Listening, Querying, PausingAfterSuccess, PausingAfterFailure, GivingBack, Finished
    };

    struct AttemptTexts
    {
        QString success;
        QString failure;
    };
    static AttemptTexts textsFor(const OperationRequest &request);

    bool openPort();
    bool tryOpeningPort();
    void openAndSetUp();
    void awaitPortRelease();
    void retryOpening();
    void failPort();
    void onGivenBack(const QString &problem);
    void nextSetupStep();
    void beginAttempt();
    bool listenTo(const QString &command, Purpose purpose, Phase phase);
    bool isListening() const;
    bool expectsStatus() const;
    void onReadyRead();
    void onListeningTimeUp();
    void conclude(const ReplyVerdict &verdict);
    void endAttempt(const ReplyVerdict &verdict);
    bool askNextReason(const ForwardingStatus &answer, Phase phase);
    void endRefusedForGood(const QString &why);
    void endPause();
    bool attemptsExhausted() const;
    void endNotAccepted();
    bool codeAccepted();
    void hangUp();
    bool hangUpIfDialled();
    void succeed();
    void concludeQuery(const ReplyVerdict &verdict);
    QString reportSurvey();
    void finishSuccess();
    void finish();
    void failDialogue(const QString &reason);
    bool send(const QString &command, Purpose purpose);
    void report(const QString &text);
    void diagnose(const QString &text);
    QString reportWithTime(const QString &text);

    RequestSource m_readRequest;
    PortSource m_readPort;
    const Clock &m_clock;
    OperationTimings m_timings;
    std::unique_ptr<LineDialogue> m_dialogue;
    CommLine m_line;
    QTimer m_listenTimer;
    QTimer m_pauseTimer;
    ModemLoan m_loan;
    QTimer m_reopenTimer; // until ModemManager has closed the port it lent
    QDeadlineTimer m_reopenLimit;
    Phase m_phase = Phase::Ready;
    bool m_running = false; // mbEnCours: cleared on success, cancel or failure
    bool m_dialled = false; // a dial command went out and no "ATH0" after it
    qsizetype m_setupStep = 0;
    std::chrono::milliseconds m_listeningLeft{0}; // when the answer came early
    OperationRequest m_request; // of the attempt in progress
    StatusSurvey m_survey; // of the attempt in progress, or after it
    AttemptTexts m_attempt;
    int m_attempts = 0;
    int m_maxAttempts = 0;
    Outcome m_outcome = Outcome::Pending;
    QString m_failureReason;
    QString m_received;
};
