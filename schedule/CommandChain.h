#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

// Programs run one after the other without blocking (systemctl, schtasks),
// stopping at the first that fails to start or ends with a status other
// than 0.
class CommandChain : public QObject
{
    Q_OBJECT
public:
    struct Command
    {
        QString program;
        QStringList arguments;
    };

    explicit CommandChain(QObject *parent = nullptr);

    void run(const QList<Command> &commands);

signals:
    // failedAt: the index of the command that failed, -1 when all succeeded;
    // why: what it printed on stderr, or why it did not start.
    void finished(int failedAt, const QString &why);

private:
    void startNext();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);

    QProcess m_process;
    QList<Command> m_commands;
    int m_current = -1;
};
