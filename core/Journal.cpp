#include "Journal.h"

#include "Clock.h"
#include "UserFolders.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace Journal {
namespace {

void warnOnce(const QString &why)
{
    static bool warned = false;
    if (!warned)
        qWarning("renvolia : le journal %s ne peut pas être écrit (%s) ; l'opération se poursuit sans lui",
                 qPrintable(path()), qPrintable(why));
    warned = true;
}

QByteArray entry(const QDateTime &moment, const QString &port, const QString &line)
{
    QString text = line;
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return (isoTimestamp(moment) + u" COM"_s + port + u' ' + text + u'\n').toUtf8();
}

#ifdef Q_OS_UNIX
// Under the lock, one process at a time checks the size and rotates; the
// others then write into the new file.
bool appendLocked(const QByteArray &bytes, QString *error)
{
    const QByteArray file = QFile::encodeName(path());
    for (int tries = 0; tries < 2; ++tries) {
        const int fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            *error = qt_error_string(errno);
            return false;
        }
        ::flock(fd, LOCK_EX);
        struct stat opened = {}, named = {};
        const bool stillNamed = ::fstat(fd, &opened) == 0 && ::stat(file.constData(), &named) == 0
            && opened.st_ino == named.st_ino;
        if (!stillNamed) { // rotated by another process meanwhile
            ::close(fd);
            continue;
        }
        if (opened.st_size >= kRotateAtBytes) {
            ::rename(file.constData(), (file + ".1").constData());
            ::close(fd);
            continue;
        }
        const bool whole = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
        if (!whole)
            *error = qt_error_string(errno);
        ::close(fd);
        return whole;
    }
    *error = u"le fichier change sans cesse de nom"_s;
    return false;
}
#else
bool appendLocked(const QByteArray &bytes, QString *error)
{
    QFile file(path());
    if (file.exists() && file.size() >= kRotateAtBytes) {
        QFile::remove(path() + u".1"_s);
        file.rename(path() + u".1"_s);
        file.setFileName(path());
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
#endif

} // namespace

QString path()
{
    return renvoliaStateFolder() + u"/journal.log"_s;
}

void append(const QDateTime &moment, const QString &port, const QString &line)
{
    QString error;
    if (!QDir().mkpath(renvoliaStateFolder()))
        warnOnce(u"son dossier ne peut pas être créé"_s);
    else if (!appendLocked(entry(moment, port, line), &error))
        warnOnce(error);
}

bool exists()
{
    return QFile::exists(path()) || QFile::exists(path() + u".1"_s);
}

Tail tail(int count)
{
    Tail read;
    for (const QString &name : {path() + u".1"_s, path()}) {
        QFile file(name);
        if (file.open(QIODevice::ReadOnly))
            read.lines += QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        else if (file.exists())
            read.failure = u"%1 (%2)"_s.arg(name, file.errorString());
    }
    if (count >= 0 && count < read.lines.size())
        read.lines = read.lines.mid(read.lines.size() - count);
    return read;
}

} // namespace Journal
