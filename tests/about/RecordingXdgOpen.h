#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// While it lives, PATH holds only a folder of ours, with an xdg-open that
// appends the argument of each call to a log, one that cannot start, or none.
class RecordingXdgOpen
{
public:
    enum class Kind { Recording, CannotStart, Absent };

    explicit RecordingXdgOpen(Kind kind = Kind::Recording);
    ~RecordingXdgOpen();
    RecordingXdgOpen(const RecordingXdgOpen &) = delete;
    RecordingXdgOpen &operator=(const RecordingXdgOpen &) = delete;

    bool isReady() const { return ready; }
    // The targets that reached xdg-open, in the order its calls wrote them.
    QStringList calls() const;

private:
    bool writeScript(const QByteArray &body);

    QTemporaryDir folder;
    QByteArray savedPath;
    bool ready = false;
};
