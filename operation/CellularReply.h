#pragma once

#include <QString>
#include <QStringList>

// What a cellular modem sent back to one command, cut into lines: the
// information lines and the final result code, without the echo of the
// command or the blank lines around the answers, so that it reads the same
// with echo on or off.
struct CellularReply
{
    enum class Final { None, Ok, Error };

    Final final = Final::None;
    QString finalLine;   // "OK", "ERROR", "+CME ERROR: 30"
    QStringList lines;   // before the final result code

    // complete: the listening is over, so a last line without its CR LF counts too.
    static CellularReply parse(const QString &received, bool complete);

    // "+CME ERROR: 30 (no network service)", with the 27.007 meaning of the
    // common codes.
    QString errorDescription() const;
};

// The raw text with CR and LF written as \r and \n, for one-line diagnostics.
QString visibleText(const QString &raw);
