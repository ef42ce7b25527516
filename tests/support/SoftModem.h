#pragma once

#include "UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// A soft modem in a process of its own that keeps both ends of its
// pseudo-terminal open, linked as port N of the current config folder:
// iaxmodem (without a server it answers commands and never connects a call)
// or renvolia-modemsim --hold-line.
class SoftModem
{
public:
    ~SoftModem()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // False where iaxmodem is not installed. It reads its configuration only
    // below /etc/iaxmodem: the path climbs out of it.
    bool startIaxModem(int port)
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("iaxmodem"));
        QFile config(m_dir.filePath(QStringLiteral("modem")));
        if (program.isEmpty() || !config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("device %1\nowner root:root\nmode 660\nport %2\nrefresh 0\nserver 127.0.0.1\n"
                                    "peername renvolia\nsecret none\ncodec slinear\n")
                         .arg(link(port)).arg(40000 + QCoreApplication::applicationPid() % 20000).toLocal8Bit());
        config.close();
        return start(program, {QStringLiteral("../..") + config.fileName()}, port);
    }

    bool startSimulator(const QString &program, const QString &replies, int port)
    {
        return start(program, {QStringLiteral("--hold-line"), QStringLiteral("--replies"), replies,
                               QStringLiteral("--port"), QString::number(port)}, port);
    }

private:
    static QString link(int port) { return renvoliaConfigFolder() + QStringLiteral("/ports/com%1").arg(port); }

    bool start(const QString &program, const QStringList &arguments, int port)
    {
        QDir().mkpath(renvoliaConfigFolder() + QStringLiteral("/ports"));
        m_process.start(program, arguments);
        return QTest::qWaitFor([port] { return QFileInfo::exists(link(port)); }, 5000);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};
