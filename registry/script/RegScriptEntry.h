#pragma once

#include "TextEncoding.h"
#include "VariantValue.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace registry {

// Something a registry script cannot hold, or a value that could not be read.
class Unwritable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The pieces of a registry script's value entries, in UTF-8; the script's
// encoding comes in where text goes as bytes.

// Each backslash doubled, a backslash before each quotation mark, and line
// breaks as \r and \n, as Windows' and Wine's registry editors escape names.
std::string escapedName(const std::string &name);
// "name"= or, for the unnamed value, @=.
std::string namePart(const std::string &name);
// Only backslashes and quotation marks escaped, between quotation marks.
std::string quotedText(const std::string &text);
std::string dwordData(std::uint32_t value);
// The bytes as two-digit hexadecimal numbers separated by commas after
// `line`; a line longer than 75 characters ends with a backslash and the
// list goes on in the next, after two blanks.
std::string hexEntry(std::string line, const ByteArray &bytes);
// "hex:" for REG_BINARY, else "hex(type):" with the type in hexadecimal.
std::string hexTag(std::uint32_t type);
// The text in the encoding; Unwritable names a character it has no place for.
std::string encoded(const TextEncoding &encoding, const std::string &text);

// A value's entry that gives back its type and bytes exactly when imported:
// a text with one terminator and no zero character or line break inside in
// quotation marks, a four-byte REG_DWORD as dword:, everything else as the
// bytes of its type (texts in the encoding, terminators as stored).
std::string exactEntry(const std::string &name, std::uint32_t type, const ByteArray &data,
                       const TextEncoding &encoding);

} // namespace registry
