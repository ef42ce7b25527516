#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

// One serial line to the modem, 9600 bit/s, 8 data bits, no parity, 1 stop
// bit, no flow control, opened exclusively. Text crosses it as Latin-1.
class CommLine : public QObject
{
    Q_OBJECT
public:
    // Why the last opening failed.
    enum class OpenFailure { None, NoDevice, NoPermission, Busy, Unusable };

    explicit CommLine(QObject *parent = nullptr);
    ~CommLine() override;

    int CommPort() const;
    // Refuses a number outside the port range and a change while the port is open.
    bool setCommPort(int port, QString *error = nullptr);

    bool PortOpen() const;
    // Opening fails for a missing device or one that another program holds
    // (lock file, flock() or simply open). Closing sends what is still queued
    // and drops DTR before letting go.
    bool setPortOpen(bool open, QString *error = nullptr);
    OpenFailure openFailure() const;
    // Opens a device by its path rather than by port number, the same way:
    // to learn whether a device no port leads to can be used.
    bool openDevice(const QString &device, QString *error = nullptr);

    // Characters received and not yet read; setting it to 0 discards them.
    qint64 InBufferCount() const;
    bool setInBufferCount(qint64 count);

    // Characters queued and not yet sent; setting it to 0 discards them.
    qint64 OutBufferCount() const;
    bool setOutBufferCount(qint64 count);

    // Queues the text for sending and returns at once.
    bool setOutput(const QString &text);
    // Everything received since the last read; empty when nothing came.
    QString Input();


signals:
    void readyRead();
    // The line failed while open: the device went away or stopped answering.
    void lineFailed(const QString &reason);

private:
    void onError(QSerialPort::SerialPortError error);
    bool lockExclusively(QString *error);
    bool noOtherHolder(QString *error);
    bool failOpening(OpenFailure kind, const QString &text, QString *error);
    bool failOpeningTheDevice(QString *error);
    void close();

    QSerialPort m_port;
    int m_commPort = 1;
    QString m_device;
    bool m_closing = false;
    OpenFailure m_openFailure = OpenFailure::None;
};
