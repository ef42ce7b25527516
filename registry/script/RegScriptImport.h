#pragma once

#include "RegistryApi.h"

#include <cstdint>
#include <string>

namespace registry {

// What came of importing a registry script: on a malformed line, its number
// (counting from 1) and what is wrong with it, and nothing of the script
// applied. Line 0 is a failure of no line in particular (the file cannot be
// read, the registry refuses to keep the changes). note tells how the script
// was read when that is worth saying.
struct ImportResult
{
    bool ok = false;
    int line = 0;
    std::string message;
    std::string note;
};

// Larger files are refused before they are read.
constexpr std::uintmax_t MaxScriptBytes = std::uintmax_t{256} << 20;

// Reads a registry script and writes it into the registry: "REGEDIT4" in the
// ANSI code page codePage, or "Windows Registry Editor Version 5.00" in
// UTF-16LE with its byte-order mark or in UTF-8. A REGEDIT4 script that is
// valid UTF-8 with non-ASCII characters in it was written by an earlier Linux
// build: it is read as UTF-8, and the note says so.
// Lines: [key], [-key] (deletes the key and all below it), "name"= or @=
// followed by a quoted text, dword:, hex:, hex(type): (with continuation
// lines) or - (deletes the value).
// The script is checked whole, against the registry's limits on names too,
// before anything is written, and written as one batch
// (RegistryApi::beginBatch).
ImportResult importRegScript(RegistryApi &api, const std::string &script, int codePage = 1252);
ImportResult importRegFile(RegistryApi &api, const std::string &path, int codePage = 1252);

} // namespace registry
