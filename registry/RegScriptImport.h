#pragma once

#include "RegistryApi.h"

#include <string>

namespace registry {

// What came of importing a "REGEDIT4" script: on a malformed line, its number
// (counting from 1) and what is wrong with it, and nothing of the script
// applied. Line 0 is a failure of no line in particular (the file cannot be
// read, the registry refuses to keep the changes).
struct ImportResult
{
    bool ok = false;
    int line = 0;
    std::string message;
};

// Reads a registry script (keys, "@=", quoted texts, dword:, hex: and hex(n):
// with continuation lines) and writes its keys and values into the registry.
// The script is checked whole before anything is written, and written as one
// batch (RegistryApi::beginBatch). Texts are taken byte for byte: the script
// is in the system's code page, as the registry calls take them; so is path.
ImportResult importRegScript(RegistryApi &api, const std::string &script);
ImportResult importRegFile(RegistryApi &api, const std::string &path);

} // namespace registry
