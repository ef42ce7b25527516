#pragma once

#include <QString>

// Lines on stdout and stderr, flushed at once: a script or a journal reader
// sees each as it happens.
void printOut(const QString &line);
void printErr(const QString &line);
