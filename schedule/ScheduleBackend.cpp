#include "ScheduleBackend.h"

#include "SystemdTimers.h"
#include "WindowsTasks.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

QString renvoliactlPath()
{
#ifdef Q_OS_WIN
    const QString name = u"renvoliactl.exe"_s;
#else
    const QString name = u"renvoliactl"_s;
#endif
    const QString programFolder = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {programFolder + u'/' + name, QStandardPaths::findExecutable(name),
                                     programFolder + u"/../cli/"_s + name}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return programFolder + u'/' + name;
}

std::unique_ptr<ScheduleBackend> platformScheduleBackend(const QString &renvoliactl)
{
#ifdef Q_OS_WIN
    return std::make_unique<WindowsTasks>(renvoliactl);
#else
    return std::make_unique<SystemdTimers>(renvoliactl);
#endif
}
