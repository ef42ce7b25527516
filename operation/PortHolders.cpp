#include "PortHolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

QString PortHolder::describe() const
{
    return u"pid %1 (%2)"_s.arg(pid).arg(program);
}

#ifdef Q_OS_LINUX
namespace {

// Every call is relative to an open folder: /proc is walked once per
// process and once per descriptor, and a whole path would be looked up
// again each time.

QString programOf(int processFolder)
{
    const int comm = ::openat(processFolder, "comm", O_RDONLY | O_CLOEXEC);
    if (comm < 0)
        return u"?"_s;
    char name[64];
    const ssize_t size = ::read(comm, name, sizeof name);
    ::close(comm);
    return size > 0 ? QString::fromLocal8Bit(QByteArrayView(name, size).trimmed()) : u"?"_s;
}

bool holds(int processFolder, const QByteArray &device)
{
    const int fdFolder = ::openat(processFolder, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdFolder < 0)
        return false; // gone meanwhile, or another user's
    DIR *descriptors = ::fdopendir(fdFolder);
    if (!descriptors) {
        ::close(fdFolder);
        return false;
    }
    bool found = false;
    char target[4096];
    while (const dirent *entry = ::readdir(descriptors)) {
        if (entry->d_name[0] == '.')
            continue;
        const ssize_t size = ::readlinkat(fdFolder, entry->d_name, target, sizeof target);
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
    const int procFolder = ::dirfd(processes);
    while (const dirent *entry = ::readdir(processes)) {
        bool isPid = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        const int processFolder = ::openat(procFolder, entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (processFolder < 0)
            continue;
        if (holds(processFolder, device))
            holders.append({pid, programOf(processFolder)});
        ::close(processFolder);
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
