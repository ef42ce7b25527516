#include "ModemSimulator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct PseudoTerminal
{
    int master = -1;
    int slave = -1;
    QString slavePath;
};

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

void closeDescriptor(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool failOpening(PseudoTerminal &terminal, const char *step, QString *error)
{
    setError(error, QString::fromLatin1(step) + u": "_s + qt_error_string(errno));
    closeDescriptor(terminal.slave);
    closeDescriptor(terminal.master);
    return false;
}

bool makeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool openPseudoTerminal(PseudoTerminal &terminal, QString *error)
{
    terminal.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (terminal.master < 0)
        return failOpening(terminal, "posix_openpt", error);
    if (::fcntl(terminal.master, F_SETFD, FD_CLOEXEC) != 0)
        return failOpening(terminal, "fcntl", error);
    if (::grantpt(terminal.master) != 0)
        return failOpening(terminal, "grantpt", error);
    if (::unlockpt(terminal.master) != 0)
        return failOpening(terminal, "unlockpt", error);
    const char *name = ::ptsname(terminal.master);
    if (!name)
        return failOpening(terminal, "ptsname", error);
    terminal.slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal.slave < 0)
        return failOpening(terminal, name, error);
    if (!makeRaw(terminal.slave))
        return failOpening(terminal, "tcsetattr", error);
    terminal.slavePath = QString::fromLocal8Bit(name);
    return true;
}

QByteArray replyText(ModemSimulator::Reply reply)
{
    switch (reply) {
    case ModemSimulator::Reply::Ok:
        return "\r\nOK\r\n";
    case ModemSimulator::Reply::Error:
        return "\r\nERROR\r\n";
    case ModemSimulator::Reply::LowercaseOk:
        return "\r\nok\r\n";
    case ModemSimulator::Reply::Silent:
    case ModemSimulator::Reply::HangUp:
        break;
    }
    return {};
}

} // namespace

ModemSimulator::ModemSimulator(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

ModemSimulator::~ModemSimulator()
{
    closeLine();
}

bool ModemSimulator::open(QString *error)
{
    if (isOpen())
        return true;
    PseudoTerminal terminal;
    if (!openPseudoTerminal(terminal, error))
        return false;
    m_master = terminal.master;
    // By default the modem end does not hold the line open, so a program that
    // checks who holds its port finds nobody but itself; iaxmodem does hold it.
    if (m_holdsLine)
        m_slave = std::exchange(terminal.slave, -1);
    closeDescriptor(terminal.slave);
    m_devicePath = terminal.slavePath;
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ModemSimulator::readFromLine);
    return true;
}

bool ModemSimulator::isOpen() const
{
    return m_master >= 0;
}

QString ModemSimulator::devicePath() const
{
    return m_devicePath;
}

bool ModemSimulator::linkAsPort(int port, const QString &configFolder, QString *error)
{
    if (!isOpen()) {
        setError(error, u"the simulated modem is not open"_s);
        return false;
    }
    if (port < 1) {
        setError(error, u"no such port number: "_s + QString::number(port));
        return false;
    }
    const QString folder = configFolder + u"/ports"_s;
    if (!QDir().mkpath(folder)) {
        setError(error, u"cannot make the folder "_s + folder);
        return false;
    }
    const QString link = folder + u"/com"_s + QString::number(port);
    removeLink();
    if (QFileInfo(link).isSymLink() && !QFile::remove(link)) {
        setError(error, u"cannot replace the link "_s + link);
        return false;
    }
    if (!QFile::link(m_devicePath, link)) {
        setError(error, u"cannot make the link "_s + link);
        return false;
    }
    m_linkPath = link;
    return true;
}

void ModemSimulator::setDialReplies(const QList<Reply> &replies)
{
    m_dialReplies = replies.isEmpty() ? QList<Reply>{Reply::Ok} : replies;
    m_dialsAnswered = 0;
}

void ModemSimulator::setReplyDelay(std::chrono::milliseconds delay)
{
    m_replyDelay = delay;
}

void ModemSimulator::setEcho(bool echo)
{
    m_echo = echo;
}

void ModemSimulator::setHoldsLine(bool holds)
{
    m_holdsLine = holds;
}

void ModemSimulator::setCellular(bool cellular)
{
    m_cellular = cellular;
}

CellularNetwork &ModemSimulator::network()
{
    return m_network;
}

void ModemSimulator::hangUp()
{
    if (!isOpen())
        return;
    closeLine();
    emit lineClosed();
}

QList<ModemSimulator::Chunk> ModemSimulator::received() const
{
    return m_received;
}

QByteArray ModemSimulator::receivedBytes() const
{
    QByteArray all;
    for (const Chunk &chunk : m_received)
        all += chunk.bytes;
    return all;
}

QList<ModemSimulator::Command> ModemSimulator::commands() const
{
    return m_commands;
}

std::chrono::milliseconds ModemSimulator::elapsed() const
{
    return std::chrono::milliseconds(m_clock.elapsed());
}

void ModemSimulator::readFromLine()
{
    char buffer[256];
    while (isOpen()) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            take(QByteArray(buffer, count), elapsed());
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (count < 0 && errno == EIO) {
            waitForTheOtherEnd();
            return;
        }
        hangUp();
    }
}

// Nobody has the line open: the master reads EIO until someone does, and
// would wake the notifier at once; look again a little later instead.
void ModemSimulator::waitForTheOtherEnd()
{
    m_notifier->setEnabled(false);
    QTimer::singleShot(20, m_notifier, [notifier = m_notifier] { notifier->setEnabled(true); });
}

void ModemSimulator::take(const QByteArray &bytes, std::chrono::milliseconds at)
{
    m_received.append({at, bytes});
    if (m_echo)
        writeToLine(bytes);
    for (const char byte : bytes) {
        if (!isOpen())
            return; // hung up by a receiver of commandReceived
        if (byte == '\r')
            finishCommand(at);
        else if (byte != '\n')
            m_partialCommand.append(byte);
    }
}

void ModemSimulator::finishCommand(std::chrono::milliseconds at)
{
    const QByteArray command = std::exchange(m_partialCommand, {});
    m_commands.append({at, command});
    answer(command);
    emit commandReceived(command);
}

void ModemSimulator::answer(const QByteArray &command)
{
    const QByteArray upper = command.trimmed().toUpper();
    if (!upper.startsWith("AT"))
        return;
    if (upper == "ATE0" || upper == "ATE1")
        m_echo = upper == "ATE1";
    if (upper.startsWith("ATD")) {
        later([this, reply = nextDialReply()] { deliver(reply); });
        return;
    }
    if (upper.startsWith("ATH")) { // going on-hook takes no time
        writeToLine(replyText(Reply::Ok));
        return;
    }
    const QByteArray text = m_cellular ? m_network.answer(command) : replyText(Reply::Ok);
    later([this, text] { writeToLine(text); });
}

void ModemSimulator::later(std::function<void()> reply)
{
    const quint64 line = m_lineNumber;
    QTimer::singleShot(m_replyDelay, this, [this, reply = std::move(reply), line] {
        // A reply meant for a line that has since hung up must not reach a reopened one.
        if (line == m_lineNumber)
            reply();
    });
}

ModemSimulator::Reply ModemSimulator::nextDialReply()
{
    const qsizetype index = std::min(m_dialsAnswered, m_dialReplies.size() - 1);
    ++m_dialsAnswered;
    return m_dialReplies.at(index);
}

void ModemSimulator::deliver(Reply reply)
{
    if (reply == Reply::HangUp)
        hangUp();
    else
        writeToLine(replyText(reply));
}

void ModemSimulator::writeToLine(const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    const ssize_t written = ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (written < 0)
        qWarning("ModemSimulator: writing to the line failed: %s", qPrintable(qt_error_string(errno)));
    else if (written < bytes.size())
        qWarning("ModemSimulator: only %zd of %lld bytes reached the line", written,
                 static_cast<long long>(bytes.size()));
}

void ModemSimulator::closeLine()
{
    removeLink();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    closeDescriptor(m_master);
    closeDescriptor(m_slave);
    m_partialCommand.clear();
    ++m_lineNumber;
}

void ModemSimulator::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    const QFileInfo link(m_linkPath);
    if (link.isSymLink() && link.symLinkTarget() == m_devicePath)
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}
