#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A soft modem in a process of its own that keeps both ends of its
// pseudo-terminal open, linked as port N of the current config folder: iaxmodem (run without a server, it
// answers commands and never connects a call), or renvolia-modemsim
// --hold-line.
class SoftModem
{
public:
    ~SoftModem();

    // False, with the reason, where iaxmodem is not installed or does not start.
    bool startIaxModem(int port, QString *why);
    bool startSimulator(const QString &program, const QString &replies, int port, QString *why);
    qint64 pid() const { return m_process.processId(); }

private:
    bool waitForTheLink(QString *why);

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_link;
};
