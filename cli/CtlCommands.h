#pragma once

#include "CtlArguments.h"

// The commands that print and end at once: ports (and ports --assign),
// journal, help, version.
// Each returns the exit status.
int listPortsCommand(const CtlArguments &arguments);
int journalCommand(const CtlArguments &arguments);
