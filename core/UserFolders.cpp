#include "UserFolders.h"

#include <QDir>

using namespace Qt::StringLiterals;

QString renvoliaConfigFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + u"/.config"_s;
    return base + u"/renvolia"_s;
}
