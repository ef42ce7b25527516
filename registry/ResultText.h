#pragma once

#include "RegistryApi.h"

#include <string>

namespace registry {

// A result code in a few words, for messages ("not found", "error 1450").
std::string resultText(Result result);

} // namespace registry
