#pragma once

#include <QString>
#include <QStringList>

#include <optional>

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

    // The <err> of "+CME ERROR: <err>"; nothing for any other final result code.
    std::optional<int> cmeError() const;
    // "+CME ERROR: 30 (pas de service réseau)", with the 27.007 meaning of the
    // common codes.
    QString errorDescription() const;
    // An error that retrying the same request cannot change: no SIM, a PIN
    // or PUK to enter, a request not allowed or not supported... A plain
    // "ERROR" tells nothing and may be retried.
    bool refusesForGood() const;
};

// The raw text with CR and LF written as \r and \n, for one-line diagnostics.
QString visibleText(const QString &raw);
