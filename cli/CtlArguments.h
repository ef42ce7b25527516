#pragma once

#include "ForwardingReason.h"
#include "LineKind.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// What renvoliactl is asked to do, read from its arguments.
struct CtlArguments
{
    enum class Command { Forward, Cancel, Status, Ports, Journal, Help, Version };

    Command command = Command::Help;
    QString number;                 // forward
    std::optional<int> port;        // --port; the saved port otherwise; the N of ports --assign DEVICE N
    std::optional<LineKind> line;   // --line; the saved line kind otherwise
    ForwardingReason reason = ForwardingReason::All;
    std::optional<int> noReplySeconds;
    QString assign;                 // ports --assign DEVICE
    int attempts = 30;              // --attempts; 0: until interrupted
    std::optional<std::chrono::seconds> deadline;
    bool json = false;
    bool quiet = false;
    int tail = 10;                  // journal --tail

    // Empty error: understood. Otherwise what is wrong, for stderr.
    static CtlArguments parse(const QStringList &arguments, QString *error);
};

// "90" (a bare number counts seconds), "90s", "10m", "2h", "1h30m", "1h5s":
// from 1 s to 576 h; nothing for any other text, 0 s included.
std::optional<std::chrono::seconds> parseDuration(const QString &text);

QString ctlUsage();
