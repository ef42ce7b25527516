#include "RecordingXdgOpen.h"

#include <QFile>

using namespace Qt::StringLiterals;

RecordingXdgOpen::RecordingXdgOpen(Kind kind)
    : savedPath(qgetenv("PATH"))
{
    if (!folder.isValid())
        return;
    qputenv("PATH", QFile::encodeName(folder.path()));
    switch (kind) {
    case Kind::Recording:
        ready = writeScript("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(folder.filePath(u"calls"_s))
                            + "'\n");
        break;
    case Kind::CannotStart:
        ready = writeScript("#!/nonexistent/interpreter\n");
        break;
    case Kind::Absent:
        ready = true;
        break;
    }
}

RecordingXdgOpen::~RecordingXdgOpen()
{
    qputenv("PATH", savedPath);
}

bool RecordingXdgOpen::writeScript(const QByteArray &body)
{
    QFile script(folder.filePath(u"xdg-open"_s));
    return script.open(QIODevice::WriteOnly) && script.write(body) == body.size()
           && script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList RecordingXdgOpen::calls() const
{
    QFile log(folder.filePath(u"calls"_s));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
