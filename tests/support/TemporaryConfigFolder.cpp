#include "TemporaryConfigFolder.h"

#include "UserFolders.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

TemporaryConfigFolder::TemporaryConfigFolder()
    : m_previous(qgetenv("XDG_CONFIG_HOME"))
    , m_previousState(qgetenv("XDG_STATE_HOME"))
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir.path() + u"/state"_s));
}

TemporaryConfigFolder::~TemporaryConfigFolder()
{
    qputenv("XDG_CONFIG_HOME", m_previous);
    qputenv("XDG_STATE_HOME", m_previousState);
}

QString TemporaryConfigFolder::renvoliaFolder() const
{
    return renvoliaConfigFolder();
}

bool TemporaryConfigFolder::linkPort(int port, const QString &target) const
{
    const QString ports = renvoliaFolder() + u"/ports"_s;
    const QString link = ports + u"/com"_s + QString::number(port);
    QFile::remove(link);
    return QDir().mkpath(ports) && QFile::link(target, link);
}
