#include "CommandChain.h"

using namespace Qt::StringLiterals;

CommandChain::CommandChain(QObject *parent)
    : QObject(parent)
{
    connect(&m_process, &QProcess::finished, this, &CommandChain::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &CommandChain::onError);
}

void CommandChain::run(const QList<Command> &commands)
{
    m_commands = commands;
    m_current = -1;
    startNext();
}

void CommandChain::startNext()
{
    if (++m_current >= m_commands.size()) {
        emit finished(-1, {});
        return;
    }
    const Command &command = m_commands.at(m_current);
    m_process.start(command.program, command.arguments);
}

void CommandChain::onFinished(int exitCode, QProcess::ExitStatus status)
{
    if (status == QProcess::NormalExit && exitCode == 0) {
        startNext();
        return;
    }
    const QString why = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
    emit finished(m_current, why.isEmpty() ? u"code de sortie %1"_s.arg(exitCode) : why);
}

// A crash also ends with finished(); only a program that never ran ends here.
void CommandChain::onError(QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart)
        emit finished(m_current, m_process.errorString());
}
