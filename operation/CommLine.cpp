#include "CommLine.h"

#include "PortDevice.h"

#ifdef Q_OS_UNIX
#include <sys/file.h>
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
        setError(error, u"the port is open"_s);
        return false;
    }
    if (port < 1 || port > kHighestPort) {
        setError(error, u"no such port number"_s);
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
        m_port.flush();
        m_port.close();
        return true;
    }
    m_port.setPortName(portDevicePath(m_commPort));
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        setError(error, m_port.errorString());
        return false;
    }
    if (!lockExclusively(error)) {
        m_port.close();
        return false;
    }
    return true;
}

// QSerialPort's lock file and TIOCEXCL keep most programs out, but TIOCEXCL
// does not stop root and not every program takes lock files; programs that
// use flock() on the device are kept out here.
bool CommLine::lockExclusively(QString *error)
{
#ifdef Q_OS_UNIX
    if (::flock(static_cast<int>(m_port.handle()), LOCK_EX | LOCK_NB) != 0) {
        setError(error, u"another program holds the device"_s);
        return false;
    }
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
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
        return;
    emit lineFailed(m_port.errorString());
}
