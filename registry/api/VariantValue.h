#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

using ByteArray = std::vector<std::uint8_t>;

// The tagged value the registry class reads and writes: empty, text (UTF-8,
// zero characters allowed), 16-bit integer, 32-bit integer or bytes.
using VariantValue = std::variant<std::monostate, std::string, std::int16_t, std::int32_t, ByteArray>;

// Integers in decimal, empty as empty text, bytes taken as they are.
std::string variantText(const VariantValue &value);
