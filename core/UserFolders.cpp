#include "UserFolders.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

QString xdgFolder(const char *variable, const QString &fallbackUnderHome)
{
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty())
        base = QDir::homePath() + fallbackUnderHome;
    return base + u"/renvolia"_s;
}

} // namespace

QString renvoliaConfigFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", u"/.config"_s);
}

QString renvoliaStateFolder()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("LOCALAPPDATA") + u"/Renvolia"_s;
#else
    return xdgFolder("XDG_STATE_HOME", u"/.local/state"_s);
#endif
}
