#pragma once

#include <string>

// The running program's file name without folder and extension ("renvolia").
std::string programBaseName();
