#pragma once

#include "RegistryApi.h"

#include <string>

namespace registry {

// A result code in a few words, for messages ("not found", "error 1450").
std::string resultText(Result result);
// The same, with the registry's reason when it gives one: "the registry store
// cannot be written (database is locked)".
std::string failureText(const RegistryApi &api, Result result);

} // namespace registry
