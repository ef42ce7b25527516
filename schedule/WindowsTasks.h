#pragma once

#include "CommandChain.h"
#include "ScheduleBackend.h"

// Rules as Task Scheduler tasks, "Renvolia\renvolia-<id>", made and deleted
// by schtasks: weekly on the rule's days at its time, running renvoliactl.
class WindowsTasks final : public ScheduleBackend
{
    Q_OBJECT
public:
    explicit WindowsTasks(const QString &renvoliactl, const QString &schtasks = QStringLiteral("schtasks.exe"),
                          QObject *parent = nullptr);

    void install(const ScheduleRule &rule) override;
    void uninstall(const ScheduleRule &rule) override;

    // schtasks' arguments to make the task.
    QStringList createArguments(const ScheduleRule &rule) const;

private:
    void run(const QStringList &arguments, const QString &failure);

    QString m_renvoliactl;
    QString m_schtasks;
    CommandChain m_chain;
    QMetaObject::Connection m_step;
};
