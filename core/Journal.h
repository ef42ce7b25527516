#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The user's journal: every report line, from the window and from the
// command, with its date and port, so that an unattended run can be checked
// the next morning. Each line is written whole in one append, so two programs
// never interleave half-lines; at 1 MiB the file becomes journal.log.1 (one
// old file kept). A journal that cannot be written never stops an operation:
// one warning on stderr, then silence.
namespace Journal {

constexpr qint64 kRotateAtBytes = 1024 * 1024;

QString path(); // <state folder>/journal.log

// "2026-12-07T18:00:07+01:00 COM2 Echec du renvoi à 18:00:07"
void append(const QDateTime &moment, const QString &port, const QString &line);

// Whether anything was ever written: the journal or its older file.
bool exists();

struct Tail
{
    QStringList lines; // oldest first
    QString failure;   // "PATH (reason)" of a file that is there but cannot be read
};

// The last count lines; what cannot be read is left out and named.
Tail tail(int count);

} // namespace Journal
