#pragma once

#include "RegistryApi.h"

#include <string>

namespace registry {

// A result code in a few words, for messages ("introuvable", "erreur 1450").
std::string resultText(Result result);
// The same, with the registry's reason when it gives one: "la base de registre
// ne peut pas être écrite (database is locked)".
std::string failureText(const RegistryApi &api, Result result);

} // namespace registry
