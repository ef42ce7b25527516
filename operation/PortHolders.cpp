#include "PortHolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

#ifdef Q_OS_LINUX
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

QString PortHolder::describe() const
{
    return u"le pid %1 (%2)"_s.arg(pid).arg(program);
}

namespace {

bool isRunning(qint64 pid)
{
#ifdef Q_OS_UNIX
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(pid);
    return true;
#endif
}

} // namespace

QString lockFileOwnerText(const QString &devicePath)
{
    // Qt's folders, in its order; the device's name without "/dev/", each "/" as "_".
    static const QStringList folders{u"/var/lock"_s, u"/etc/locks"_s, u"/var/spool/locks"_s, u"/var/spool/uucp"_s,
                                     u"/tmp"_s, u"/var/tmp"_s, u"/var/lock/lockdev"_s, u"/run/lock"_s};
    QString name = devicePath;
    if (name.startsWith(u"/dev/"_s))
        name.remove(0, 5);
    name = u"/LCK.."_s + name.replace(u'/', u'_');
    for (const QString &folder : folders) {
        qint64 pid = 0;
        QString host, program;
        if (!QFile::exists(folder + name) || !QLockFile(folder + name).getLockInfo(&pid, &host, &program))
            continue;
        const PortHolder holder{pid, program.isEmpty() ? u"?"_s : program};
        if (isRunning(pid))
            return u"tenu par "_s + holder.describe();
        return u"verrou laissé par %1, qui ne tourne plus ; ce compte ne peut pas supprimer %2"_s.arg(
            holder.describe(), folder + name);
    }
    return u"verrouillé par un autre programme"_s;
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

std::optional<qint64> wholeNumber(const char *text)
{
    const std::string_view digits(text);
    qint64 number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

// The pseudo-terminal number of /dev/pts/N; nothing for another device.
std::optional<qint64> ptyIndexOf(const QByteArray &device)
{
    constexpr QByteArrayView prefix = "/dev/pts/";
    if (!device.startsWith(prefix))
        return std::nullopt;
    return wholeNumber(device.constData() + prefix.size());
}

bool isMasterOf(int procFolder, const char *pid, const char *descriptor, qint64 ptyIndex)
{
    char name[64];
    std::snprintf(name, sizeof name, "fdinfo/%s", descriptor);
    const int info = openInProcess(procFolder, pid, name, 0);
    if (info < 0)
        return false;
    char text[1024];
    const ssize_t size = ::read(info, text, sizeof text - 1);
    ::close(info);
    if (size <= 0)
        return false;
    text[size] = '\0';
    const char *field = std::strstr(text, "tty-index:");
    return field && std::atoll(field + std::strlen("tty-index:")) == ptyIndex;
}

enum class Holding { None, Slave, Master };

// Whether the process holds the device, or the master end behind it.
Holding holding(int procFolder, const char *pid, const QByteArray &device, std::optional<qint64> ptyIndex)
{
    const int fdFolder = openInProcess(procFolder, pid, "fd", O_DIRECTORY);
    if (fdFolder < 0)
        return Holding::None; // gone meanwhile, or another user's
    Holding found = Holding::None;
    char target[4096];
    forEachEntry(fdFolder, [&](const char *descriptor) {
        const ssize_t size = ::readlinkat(fdFolder, descriptor, target, sizeof target);
        if (size < 0 && errno == EACCES)
            return false; // a process we may not look into: none of its descriptors can be read
        const QByteArrayView link(target, std::max<ssize_t>(size, 0));
        if (link == device)
            found = Holding::Slave;
        else if (ptyIndex && (link == "/dev/ptmx" || link == "/dev/pts/ptmx")
                 && isMasterOf(procFolder, pid, descriptor, *ptyIndex))
            found = Holding::Master;
        return found != Holding::Master;
    });
    ::close(fdFolder);
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
    const std::optional<qint64> ptyIndex = ptyIndexOf(device);
    const qint64 self = QCoreApplication::applicationPid();
    const int procFolder = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFolder < 0)
        return holders;
    forEachEntry(procFolder, [&](const char *name) {
        const std::optional<qint64> pid = wholeNumber(name);
        if (pid && *pid != self && holding(procFolder, name, device, ptyIndex) == Holding::Slave)
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
