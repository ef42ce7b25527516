#include "StopSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_received = 0;

// Only async-signal-safe calls here: the event loop does the rest.
void onStopSignal(int signalNumber)
{
    if (g_received != 0)
        ::_exit(StopSignals::exitStatusFor(signalNumber));
    g_received = signalNumber;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void handleStopSignals(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kStopSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        qWarning("renvolia : pas de paire de sockets ; un signal d'arrêt terminera le programme sur-le-champ");
        return;
    }
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    g_received = 0;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPending);
    handleStopSignals(&onStopSignal);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    handleStopSignals(SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void StopSignals::readPending()
{
    char byte = 0;
    if (::read(g_pipe[0], &byte, 1) == 1)
        emit stopRequested(g_received);
}

#else

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
}

StopSignals::~StopSignals() = default;

void StopSignals::readPending()
{
}

#endif
