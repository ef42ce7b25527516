#include "PortHolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

QString PortHolder::describe() const
{
    return u"pid %1 (%2)"_s.arg(pid).arg(program);
}

#ifdef Q_OS_LINUX
namespace {

QString programOf(const QByteArray &processFolder)
{
    QFile comm(QString::fromLocal8Bit(processFolder + "/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return u"?"_s;
    return QString::fromLocal8Bit(comm.readAll().trimmed());
}

bool holds(const QByteArray &processFolder, const QByteArray &device)
{
    const QByteArray fdFolder = processFolder + "/fd";
    DIR *descriptors = ::opendir(fdFolder.constData());
    if (!descriptors)
        return false; // gone meanwhile, or another user's
    bool found = false;
    char target[4096];
    while (const dirent *entry = ::readdir(descriptors)) {
        const QByteArray link = fdFolder + '/' + entry->d_name;
        const ssize_t size = ::readlink(link.constData(), target, sizeof target);
        if (size == device.size() && device == QByteArrayView(target, size)) {
            found = true;
            break;
        }
    }
    ::closedir(descriptors);
    return found;
}

} // namespace

QList<PortHolder> otherProcessesHolding(const QString &devicePath)
{
    QList<PortHolder> holders;
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    if (canonical.isEmpty())
        return holders;
    const QByteArray device = QFile::encodeName(canonical);
    const qint64 self = QCoreApplication::applicationPid();
    DIR *processes = ::opendir("/proc");
    if (!processes)
        return holders;
    while (const dirent *entry = ::readdir(processes)) {
        bool isPid = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        const QByteArray folder = "/proc/" + QByteArray(entry->d_name);
        if (holds(folder, device))
            holders.append({pid, programOf(folder)});
    }
    ::closedir(processes);
    return holders;
}

#else

QList<PortHolder> otherProcessesHolding(const QString &)
{
    return {};
}

#endif
