#pragma once

#include "VariantValue.h"

#include <string>
#include <vector>

#include <windows.h>

// Values as the Windows registry's wide calls keep them: names in UTF-16,
// text data in UTF-16LE, other data as it is.
namespace registry {

// Buffers for a name and its terminator: value names hold up to 16,383
// characters, key names up to 255.
constexpr DWORD kValueNameBuffer = 16384;
constexpr DWORD kKeyNameBuffer = 256;

struct RawValue
{
    DWORD type = REG_NONE;
    ByteArray data;
};

struct NamedRawValue
{
    std::wstring name;
    RawValue value;
};

// The index-th subkey's or value's name, as the registry lists them.
LONG subKeyName(HKEY key, DWORD index, std::wstring *name);
LONG valueName(HKEY key, DWORD index, std::wstring *name);
// The value's type and whole data, asked again while the value grows.
LONG readRawValue(HKEY key, const std::wstring &name, RawValue *value);
// Every value of the key, in the registry's order.
LONG readRawValues(HKEY key, std::vector<NamedRawValue> *values);
// Every subkey name of the key, in the registry's order.
LONG readSubKeyNames(HKEY key, std::vector<std::wstring> *names);

} // namespace registry
