#include "PortHolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

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

// /proc is read with bare getdents64() and calls relative to the /proc
// folder: opendir() checks each descriptor with two more system calls and a
// whole path is looked up again each time, for each of hundreds of folders,
// most of them kernel threads with no descriptor at all.

// Calls visit(name) for each entry not starting with "." until it returns false.
template <typename Visit>
void forEachEntry(int folder, Visit visit)
{
    alignas(dirent64) char buffer[8192];
    // The kernel fills the buffer while the next entry fits: with room left for
    // the longest one, the folder has ended, and asking again would only say so.
    constexpr ssize_t longestEntry = sizeof(dirent64) + 8;
    ssize_t size;
    do {
        size = ::getdents64(folder, buffer, sizeof buffer);
        for (ssize_t at = 0; at < size;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
            at += entry->d_reclen;
            if (entry->d_name[0] != '.' && !visit(entry->d_name))
                return;
        }
    } while (size > ssize_t(sizeof buffer) - longestEntry);
}

int openInProcess(int procFolder, const char *pid, const char *name, int flags)
{
    char path[sizeof(dirent64::d_name) + 8];
    std::snprintf(path, sizeof path, "%s/%s", pid, name);
    return ::openat(procFolder, path, flags | O_RDONLY | O_CLOEXEC);
}

QString programOf(int procFolder, const char *pid)
{
    const int comm = openInProcess(procFolder, pid, "comm", 0);
    if (comm < 0)
        return u"?"_s;
    char name[64];
    const ssize_t size = ::read(comm, name, sizeof name);
    ::close(comm);
    return size > 0 ? QString::fromLocal8Bit(QByteArrayView(name, size).trimmed()) : u"?"_s;
}

bool holds(int procFolder, const char *pid, const QByteArray &device)
{
    const int fdFolder = openInProcess(procFolder, pid, "fd", O_DIRECTORY);
    if (fdFolder < 0)
        return false; // gone meanwhile, or another user's
    bool found = false;
    char target[4096];
    forEachEntry(fdFolder, [&](const char *descriptor) {
        const ssize_t size = ::readlinkat(fdFolder, descriptor, target, sizeof target);
        if (size < 0 && errno == EACCES)
            return false; // a process we may not look into: none of its descriptors can be read
        found = size == device.size() && device == QByteArrayView(target, size);
        return !found;
    });
    ::close(fdFolder);
    return found;
}

std::optional<qint64> processNumber(const char *name)
{
    const std::string_view text(name);
    qint64 pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return pid;
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
    const int procFolder = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFolder < 0)
        return holders;
    forEachEntry(procFolder, [&](const char *name) {
        const std::optional<qint64> pid = processNumber(name);
        if (pid && *pid != self && holds(procFolder, name, device))
            holders.append({*pid, programOf(procFolder, name)});
        return true;
    });
    ::close(procFolder);
    return holders;
}

#else

QList<PortHolder> otherProcessesHolding(const QString &)
{
    return {};
}

#endif
