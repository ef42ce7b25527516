#pragma once

#include "VariantValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The program's text is UTF-8; the Windows registry's wide calls take UTF-16.
namespace registry::wide {

// Text in a Windows code page (CP_UTF8, CP_ACP, ...) to UTF-16; null when a
// byte sequence is not valid in it.
std::optional<std::wstring> fromCodePage(unsigned codePage, std::string_view text);
// A character the code page lacks becomes its default character; a lone
// surrogate, which UTF-8 cannot hold, becomes U+FFFD.
std::string toCodePage(unsigned codePage, std::wstring_view text);
std::optional<std::wstring> fromUtf8(std::string_view text);
std::string toUtf8(std::wstring_view text);

// A text value's data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as the class
// gives it, UTF-8 bytes, to the UTF-16LE bytes the registry keeps, and back.
// Zero characters inside stay; a stray last byte of odd-sized stored data is
// dropped, as the ANSI calls drop it.
std::optional<ByteArray> textDataFromUtf8(const std::uint8_t *data, std::uint32_t size);
ByteArray textDataToUtf8(const ByteArray &utf16);

} // namespace registry::wide
