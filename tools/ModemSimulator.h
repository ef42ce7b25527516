#pragma once

#include "CellularNetwork.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

class QSocketNotifier;

// A Hayes modem on a pseudo-terminal. The program under test opens
// devicePath() as its serial port; the simulator answers commands ending in
// CR. "ATE0" and "ATE1" turn the echo off and on. As a cellular modem it also
// answers AT+CCFC and AT+CMEE (CellularNetwork).
class ModemSimulator : public QObject
{
    Q_OBJECT
public:
    // How the modem answers a dial command (ATD...). Other AT commands get
    // "OK", or the cellular network's answer.
    enum class Reply {
        Ok,          // "\r\nOK\r\n"
        Error,       // "\r\nERROR\r\n"
        LowercaseOk, // "\r\nok\r\n"
        Silent,      // nothing
        HangUp       // the line disappears, as an unplugged modem
    };

    // Bytes as they arrived, with the time since the simulator was created.
    struct Chunk
    {
        std::chrono::milliseconds at;
        QByteArray bytes;
    };
    // A complete command (without its CR) and when its CR arrived.
    struct Command
    {
        std::chrono::milliseconds at;
        QByteArray text;
    };

    explicit ModemSimulator(QObject *parent = nullptr);
    ~ModemSimulator() override;

    bool open(QString *error = nullptr);
    bool isOpen() const;
    QString devicePath() const;

    // Points <configFolder>/ports/com<port> at devicePath(); the link is
    // removed when the simulator goes away or hangs up.
    bool linkAsPort(int port, const QString &configFolder, QString *error = nullptr);

    // Replies to successive dial commands; the last one repeats.
    void setDialReplies(const QList<Reply> &replies);
    void setReplyDelay(std::chrono::milliseconds delay);
    void setEcho(bool echo); // on by default, as ATE1
    // Before open(): keep the line's own end open too, as iaxmodem does.
    void setHoldsLine(bool holds);
    void setCellular(bool cellular);
    CellularNetwork &network();

    // Closes the line now.
    void hangUp();

    QList<Chunk> received() const;
    QByteArray receivedBytes() const;
    QList<Command> commands() const;
    std::chrono::milliseconds elapsed() const;

signals:
    void commandReceived(const QByteArray &command);
    void lineClosed();

private:
    void readFromLine();
    void waitForTheOtherEnd();
    void take(const QByteArray &bytes, std::chrono::milliseconds at);
    void finishCommand(std::chrono::milliseconds at);
    void answer(const QByteArray &command);
    Reply nextDialReply();
    void deliver(Reply reply);
    void later(std::function<void()> reply);
    void writeToLine(const QByteArray &bytes);
    void closeLine();
    void removeLink();

    QElapsedTimer m_clock;
    int m_master = -1;
    int m_slave = -1; // held only when asked to
    QString m_devicePath;
    QString m_linkPath;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_partialCommand;
    QList<Chunk> m_received;
    QList<Command> m_commands;
    QList<Reply> m_dialReplies{Reply::Ok};
    qsizetype m_dialsAnswered = 0;
    quint64 m_lineNumber = 0; // counts hang-ups; replies remember the line they answer
    std::chrono::milliseconds m_replyDelay{0};
    bool m_echo = true;
    bool m_cellular = false;
    bool m_holdsLine = false;
    CellularNetwork m_network;
};
