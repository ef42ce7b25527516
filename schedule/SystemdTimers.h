#pragma once

#include "CommandChain.h"
#include "ScheduleBackend.h"

// Rules as systemd user timers: the unit files are written, then the user
// manager reloads them and enables and starts the timer. Without a manager
// to reach (no systemd in this session) the files stay, enabled by their
// link, and take effect at the next login where systemd runs.
class SystemdTimers final : public ScheduleBackend
{
    Q_OBJECT
public:
    // systemctl: the program to call, found on PATH unless given.
    explicit SystemdTimers(const QString &renvoliactl, const QString &systemctl = {}, QObject *parent = nullptr);

    void install(const ScheduleRule &rule) override;
    void uninstall(const ScheduleRule &rule) override;

    static QString deferredMessage(const QString &why);

private:
    void onInstalled(int failedAt, const QString &why);
    void onDisabled(int failedAt, const QString &why);
    void finish(State state, const QString &message = {});
    QList<CommandChain::Command> userCommands(const QList<QStringList> &argumentLists) const;

    QString m_renvoliactl;
    QString m_systemctl;
    CommandChain m_chain;
    QString m_unit; // of the call in progress
    QMetaObject::Connection m_step;
};
