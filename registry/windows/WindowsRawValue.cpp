#include "WindowsRawValue.h"

namespace registry {

namespace {

// enumerate(buffer, length) fills a buffer of bufferSize characters.
template <typename Enumerate>
LONG nameFrom(DWORD bufferSize, std::wstring *name, Enumerate enumerate)
{
    name->assign(bufferSize, L'\0');
    DWORD length = bufferSize;
    const LONG result = enumerate(name->data(), &length);
    name->resize(result == ERROR_SUCCESS ? length : 0);
    return result;
}

} // namespace

LONG readRawValue(HKEY key, const std::wstring &name, RawValue *value)
{
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &value->type, nullptr, &size);
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        value->data.resize(size);
        result = RegQueryValueExW(key, name.c_str(), nullptr, &value->type, value->data.data(), &size);
        if (result == ERROR_SUCCESS) {
            value->data.resize(size);
            return ERROR_SUCCESS;
        }
    }
    return result;
}

LONG subKeyName(HKEY key, DWORD index, std::wstring *name)
{
    return nameFrom(kKeyNameBuffer, name, [&](wchar_t *buffer, DWORD *length) {
        return RegEnumKeyExW(key, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    });
}

LONG valueName(HKEY key, DWORD index, std::wstring *name)
{
    return nameFrom(kValueNameBuffer, name, [&](wchar_t *buffer, DWORD *length) {
        return RegEnumValueW(key, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    });
}

LONG readRawValues(HKEY key, std::vector<NamedRawValue> *values)
{
    NamedRawValue named;
    for (DWORD index = 0;; ++index) {
        LONG result = valueName(key, index, &named.name);
        if (result == ERROR_SUCCESS)
            result = readRawValue(key, named.name, &named.value);
        if (result != ERROR_SUCCESS)
            return result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result;
        values->push_back(named);
    }
}

LONG readSubKeyNames(HKEY key, std::vector<std::wstring> *names)
{
    std::wstring name;
    for (DWORD index = 0;; ++index) {
        const LONG result = subKeyName(key, index, &name);
        if (result != ERROR_SUCCESS)
            return result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result;
        names->push_back(name);
    }
}

} // namespace registry
