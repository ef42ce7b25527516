#include "CommLine.h"

#include "PortDevice.h"
#include "PortHolders.h"
#include "PortRange.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

CommLine::CommLine(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &CommLine::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CommLine::onError);
}

CommLine::~CommLine()
{
    setPortOpen(false);
}

int CommLine::CommPort() const
{
    return m_commPort;
}

bool CommLine::setCommPort(int port, QString *error)
{
    if (m_port.isOpen()) {
        setError(error, u"le port est déjà ouvert"_s);
        return false;
    }
    if (!isPortInRange(port)) {
        setError(error, u"pas de port de ce numéro, ils vont "_s + portRangeText());
        return false;
    }
    m_commPort = port;
    return true;
}

bool CommLine::PortOpen() const
{
    return m_port.isOpen();
}

bool CommLine::setPortOpen(bool open, QString *error)
{
    if (open == m_port.isOpen())
        return true;
    if (!open) {
        close();
        return true;
    }
    return openDevice(portDevicePath(m_commPort), error);
}

bool CommLine::openDevice(const QString &device, QString *error)
{
    if (m_port.isOpen())
        return failOpening(OpenFailure::Busy, u"le port est déjà ouvert"_s, error);
    m_openFailure = OpenFailure::None;
    m_device = device;
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite))
        return failOpeningTheDevice(error);
    if (!lockExclusively(error) || !noOtherHolder(error)) {
        m_port.close();
        return false;
    }
    return true;
}

// What is queued reaches the modem before DTR drops: most modems hang up on
// DTR (AT&D2), so a line is never left seized even without "ATH0". A pseudo-
// terminal has no DTR; the refusal is no failure of the line.
void CommLine::close()
{
    m_closing = true;
    m_port.flush();
#ifdef Q_OS_UNIX
    ::tcdrain(static_cast<int>(m_port.handle())); // no flow control: bounded by 9600 bit/s
#endif
    m_port.setDataTerminalReady(false);
    m_port.close();
    m_closing = false;
}

CommLine::OpenFailure CommLine::openFailure() const
{
    return m_openFailure;
}

bool CommLine::failOpening(OpenFailure kind, const QString &text, QString *error)
{
    m_openFailure = kind;
    setError(error, text);
    return false;
}

bool CommLine::failOpeningTheDevice(QString *error)
{
#ifdef Q_OS_UNIX
    const QByteArray device = QFile::encodeName(m_device);
    if (::access(device.constData(), F_OK) == 0 && ::access(device.constData(), R_OK | W_OK) != 0)
        return failOpening(OpenFailure::NoPermission,
                           u"accès refusé au périphérique : ajoutez-vous au groupe dialout, puis reconnectez-vous"_s,
                           error);
#endif
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return failOpening(OpenFailure::NoDevice, u"le périphérique n'existe pas"_s, error);
    case QSerialPort::PermissionError: // the lock file of another program
        return failOpening(OpenFailure::Busy, lockFileOwnerText(m_device), error);
    default:
        return failOpening(OpenFailure::Unusable, u"périphérique inutilisable (%1)"_s.arg(m_port.errorString()), error);
    }
}

bool CommLine::noOtherHolder(QString *error)
{
    const QList<PortHolder> holders = otherProcessesHolding(m_device);
    if (holders.isEmpty())
        return true;
    QStringList names;
    for (const PortHolder &holder : holders)
        names << holder.describe();
    return failOpening(OpenFailure::Busy, u"tenu par "_s + names.join(u", "_s), error);
}

// QSerialPort's lock file and TIOCEXCL keep most programs out, but TIOCEXCL
// does not stop root and not every program takes lock files; programs that
// use flock() on the device are kept out here.
bool CommLine::lockExclusively(QString *error)
{
#ifdef Q_OS_UNIX
    if (::flock(static_cast<int>(m_port.handle()), LOCK_EX | LOCK_NB) != 0)
        return failOpening(OpenFailure::Busy, u"verrouillé par un autre programme"_s, error);
#else
    Q_UNUSED(error);
#endif
    return true;
}

qint64 CommLine::InBufferCount() const
{
    return m_port.bytesAvailable();
}

bool CommLine::setInBufferCount(qint64 count)
{
    if (count != 0)
        return false;
    return m_port.clear(QSerialPort::Input);
}

qint64 CommLine::OutBufferCount() const
{
    return m_port.bytesToWrite();
}

bool CommLine::setOutBufferCount(qint64 count)
{
    if (count != 0)
        return false;
    return m_port.clear(QSerialPort::Output);
}

bool CommLine::setOutput(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    return m_port.write(bytes) == bytes.size();
}

QString CommLine::Input()
{
    return QString::fromLatin1(m_port.readAll());
}

void CommLine::onError(QSerialPort::SerialPortError error)
{
    // Errors while opening are returned by setPortOpen(); a timeout is no failure.
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen() || m_closing)
        return;
    emit lineFailed(m_port.errorString());
}
