#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// While it lives, PATH holds only a folder of ours, with an xdg-open that
// appends the argument of each call to a log, one that cannot start, or none.
class RecordingXdgOpen
{
public:
    enum class Kind { Recording, CannotStart, Absent };

    explicit RecordingXdgOpen(Kind kind = Kind::Recording)
    {
        qputenv("PATH", QFile::encodeName(folder.path()));
        const QByteArray body = kind == Kind::Recording ? "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(log.fileName()) + "'\n"
                                                        : QByteArray("#!/nonexistent/interpreter\n");
        QFile script(folder.filePath(QStringLiteral("xdg-open")));
        ready = folder.isValid() && (kind == Kind::Absent || (script.open(QIODevice::WriteOnly) && script.write(body) == body.size()
                                                              && script.setPermissions(QFile::ReadOwner | QFile::ExeOwner)));
    }
    ~RecordingXdgOpen() { qputenv("PATH", savedPath); }
    Q_DISABLE_COPY(RecordingXdgOpen)

    bool isReady() const { return ready; }
    // The targets that reached xdg-open, in the order its calls wrote them.
    QStringList calls() const
    {
        QFile read(log.fileName());
        return read.open(QIODevice::ReadOnly) ? QString::fromUtf8(read.readAll()).split(u'\n', Qt::SkipEmptyParts) : QStringList();
    }

private:
    const QByteArray savedPath = qgetenv("PATH");
    QTemporaryDir folder;
    const QFile log{folder.filePath(QStringLiteral("calls"))};
    bool ready = false;
};
