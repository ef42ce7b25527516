#pragma once

#include <QString>
#include <QTemporaryDir>

// Points XDG_CONFIG_HOME and XDG_STATE_HOME at a fresh temporary folder for as
// long as it lives, so no test reads or writes the user's own port setting,
// port links or journal.
class TemporaryConfigFolder
{
public:
    TemporaryConfigFolder();
    ~TemporaryConfigFolder();

    QString renvoliaFolder() const;
    // Makes <renvolia folder>/ports/com<port> a link to target.
    bool linkPort(int port, const QString &target) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    QByteArray m_previousState;
};
