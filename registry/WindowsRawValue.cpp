#include "WindowsRawValue.h"

namespace registry {

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

LONG readRawValues(HKEY key, std::vector<NamedRawValue> *values)
{
    std::wstring name(kValueNameBuffer, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = kValueNameBuffer;
        const LONG result = RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS)
            return result;
        NamedRawValue named{name.substr(0, length), {}};
        const LONG read = readRawValue(key, named.name, &named.value);
        if (read != ERROR_SUCCESS)
            return read;
        values->push_back(std::move(named));
    }
}

LONG readSubKeyNames(HKEY key, std::vector<std::wstring> *names)
{
    std::wstring name(kKeyNameBuffer, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = kKeyNameBuffer;
        const LONG result = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS)
            return result;
        names->push_back(name.substr(0, length));
    }
}

} // namespace registry
