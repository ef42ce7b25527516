#pragma once

#include "RegistryApi.h"

#include <iosfwd>
#include <string>
#include <vector>

// renvolia-reg: reads and writes the registry from the command line. args are
// the arguments after the program's name, in the system's text encoding, as
// the registry takes them. Prints results on out, one line per failure or
// note on err; gives the exit status (0 done, 1 registry error, 2 bad command
// line). When out is a terminal, the names and texts printed on it show
// control characters escaped.
int runRegCommand(const std::vector<std::string> &args, registry::RegistryApi &api, std::ostream &out,
                  std::ostream &err, bool outIsTerminal = false);
