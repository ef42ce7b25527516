#include "DocumentOpener.h"

#include "ShellErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The program builds Windows-style paths ("<program folder>\file.hlp").
std::optional<QString> localFilePath(const QString &sTarget)
{
    QString path = sTarget;
    if (path.startsWith(u"file:"_s, Qt::CaseInsensitive))
        path = QUrl(path).toLocalFile();
    path.replace(u'\\', u'/');
    if (!QDir::isAbsolutePath(path))
        return std::nullopt;
    return QDir::cleanPath(path);
}

std::optional<qint32> localFileFailure(const QString &path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return ShellCode::PathNotFound;
    if (!folder.isExecutable()) // a folder we may not look into
        return ShellCode::AccessDenied;
    if (!file.exists())
        return ShellCode::FileNotFound;
    if (!file.isReadable())
        return ShellCode::AccessDenied;
    return std::nullopt;
}

qint32 handToDesktop(const QString &target)
{
    const QString opener = QStandardPaths::findExecutable(u"xdg-open"_s);
    if (opener.isEmpty())
        return ShellCode::NoAssociation;
    // Found but not startable: the opener itself is broken.
    if (!QProcess::startDetached(opener, {target}))
        return ShellCode::BadFormat;
    return DocumentOpener::kHandedOver;
}

} // namespace

qint32 DocumentOpener::open(const QString &sTarget)
{
    const std::optional<QString> path = localFilePath(sTarget);
    if (!path)
        return handToDesktop(sTarget);
    if (const std::optional<qint32> failure = localFileFailure(*path))
        return *failure;
    return handToDesktop(*path);
}
