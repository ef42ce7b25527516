#pragma once

#include "OperationRequest.h"

#include <QStringList>


// What the command line asks for.
struct CommandLine
{
    enum class Verdict { Configure, Operate, Invalid };

    Verdict verdict = Verdict::Configure;
    OperationRequest request; // meaningful with Operate

    // The argument part of the command line as one text: the arguments
    // joined by single blanks, so "06 12 34" stays one (invalid) text.
    static QString argumentText(const QStringList &arguments);
    static CommandLine interpret(const QString &text);
};

// A number the modem may dial: ASCII digits with an optional leading "+",
// surrounded by nothing but blanks. Control characters, other scripts'
// digits, separators and exponents fail it.
bool isDialNumber(const QString &text);

constexpr int kLongestNumber = 40;
// Why calls cannot be forwarded to this number, empty when they can: at most
// 40 ASCII digits with an optional leading "+", without blanks.
QString forwardingNumberProblem(const QString &number);

// "Ligne de commande non valide." and the syntax, lines joined by CR LF.
QString invalidCommandLineMessage();
