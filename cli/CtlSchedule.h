#pragma once

#include <QStringList>

// renvoliactl schedule add|list|remove: the weekly schedule from a terminal.
// words: what follows "schedule". Returns the exit status: 0 done (also when
// the timer takes effect only at the next login), 1 not done, 2 not
// understood (nothing written).
int scheduleCommand(const QStringList &words);

QString scheduleUsage();
