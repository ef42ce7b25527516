#pragma once

#include <QStringList>

class QWidget;

namespace Demarr {

inline const QString kApplicationTitle = QStringLiteral("Renvolia");

// The entry routine: reads the saved port, then opens the configuration window
// (no argument) or the report window ("A" or a number), or explains the
// command line. Returns the window it opened, nullptr when it opened none.
QWidget *Main(const QStringList &arguments);

// The program was told to stop (SIGTERM, SIGINT, SIGHUP): an operation in
// progress hangs up and closes its port, then the program ends with
// 128 + the signal's number.
void stopOnSignal(int signalNumber);

} // namespace Demarr
