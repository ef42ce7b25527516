#include "PortAssignment.h"

#include "PortDevice.h"
#include "PortRange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QRegularExpression>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr int kFirstFreePort = 3;

PortAssignment assigned(int port, bool linked)
{
    return {PortAssignment::Outcome::Assigned, port, linked, QString()};
}

PortAssignment refused(const QString &why, PortAssignment::Outcome outcome = PortAssignment::Outcome::Refused)
{
    return {outcome, 0, false, why};
}

#ifdef Q_OS_WIN

PortAssignment assign(const QString &device, const QString &, std::optional<int>)
{
    static const QRegularExpression comName(u"^COM([0-9]+)$"_s, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(device);
    const int port = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (!isPortInRange(port))
        return refused(u"%1 n'est pas un port série COM1 à COM255"_s.arg(device), PortAssignment::Outcome::NotADevice);
    return assigned(port, false);
}

#else

bool isCharacterDevice(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode);
}

// A character device that does not answer as a terminal (/dev/null, a
// sound card) is no serial line. One that cannot be opened now (no
// permission, busy) gets the benefit of the doubt: the port list says why.
bool isKnownNotASerialLine(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct termios settings {};
    const bool terminal = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    return !terminal;
}

bool isTaken(int port)
{
    const QFileInfo link(portLinkPath(port));
    return link.isSymLink() || link.exists();
}

PortAssignment link(int port, const QString &target)
{
    const QString path = portLinkPath(port);
    if (isTaken(port)) {
        const QFileInfo existing(path);
        return refused(u"%1 mène déjà à %2"_s.arg(path, existing.isSymLink() ? existing.symLinkTarget() : path));
    }
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return refused(u"le dossier %1 n'a pas pu être créé"_s.arg(folder));
    QFile linkFile(target);
    if (!linkFile.link(path))
        return refused(u"le lien %1 n'a pas pu être créé (%2)"_s.arg(path, linkFile.errorString()));
    return assigned(port, true);
}

PortAssignment assign(const QString &device, const QString &stablePath, std::optional<int> wanted)
{
    if (!isCharacterDevice(device))
        return refused(u"%1 n'est pas un périphérique en mode caractère"_s.arg(device),
                       PortAssignment::Outcome::NotADevice);
    if (isKnownNotASerialLine(device))
        return refused(u"%1 n'est pas une ligne série"_s.arg(device), PortAssignment::Outcome::NotADevice);
    const QString identity = deviceIdentity(device);
    const QString target = stablePath.isEmpty() ? QFileInfo(device).absoluteFilePath() : stablePath;
    if (wanted) {
        if (deviceIdentity(portDevicePath(*wanted)) == identity)
            return assigned(*wanted, false);
        return link(*wanted, target);
    }
    if (const int port = portsByDevice().value(identity); port != 0)
        return assigned(port, false);
    for (int port = kFirstFreePort; port <= kHighestPort; ++port) {
        if (!isTaken(port))
            return link(port, target);
    }
    return refused(u"les ports %1 à %2 sont tous déjà attribués"_s.arg(kFirstFreePort).arg(kHighestPort));
}

#endif

} // namespace

PortAssignment assignPort(const QString &device, const QString &stablePath, std::optional<int> wanted)
{
    return assign(device, stablePath, wanted);
}
