#include "SoftModem.h"

#include "UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

SoftModem::~SoftModem()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished();
}

// iaxmodem reads its configuration only below /etc/iaxmodem; a path climbing
// out of it leads to a file of the test's own.
bool SoftModem::startIaxModem(int port, QString *why)
{
    const QString program = QStandardPaths::findExecutable(u"iaxmodem"_s);
    if (program.isEmpty()) {
        *why = u"iaxmodem is not installed"_s;
        return false;
    }
    m_link = renvoliaConfigFolder() + u"/ports/com"_s + QString::number(port);
    QDir().mkpath(QFileInfo(m_link).path());
    const QString config = m_dir.filePath(u"modem"_s);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        *why = file.errorString();
        return false;
    }
    const int udpPort = 40000 + int(QCoreApplication::applicationPid() % 20000);
    file.write(u"device %1\nowner root:root\nmode 660\nport %2\nrefresh 0\nserver 127.0.0.1\n"
               "peername renvolia\nsecret none\ncidname Renvolia\ncidnumber 0100000000\ncodec slinear\n"_s
                   .arg(m_link).arg(udpPort).toLocal8Bit());
    file.close();
    m_process.start(program, {u"../.."_s + config});
    return waitForTheLink(why);
}

bool SoftModem::startSimulator(const QString &program, const QString &replies, int port, QString *why)
{
    m_link = renvoliaConfigFolder() + u"/ports/com"_s + QString::number(port);
    m_process.start(program, {u"--hold-line"_s, u"--port"_s, QString::number(port), u"--replies"_s, replies});
    return waitForTheLink(why);
}

bool SoftModem::waitForTheLink(QString *why)
{
    if (QTest::qWaitFor([this] { return QFileInfo::exists(m_link) || m_process.state() == QProcess::NotRunning; }, 5000)
        && QFileInfo::exists(m_link))
        return true;
    *why = u"no modem at %1: %2"_s.arg(m_link, QString::fromLocal8Bit(m_process.readAll()));
    return false;
}
