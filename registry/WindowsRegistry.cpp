#include "WindowsRegistry.h"

#include <windows.h>

namespace registry {

namespace {

HKEY toHandle(Key key)
{
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(key));
}

Key fromHandle(HKEY key)
{
    return static_cast<Key>(reinterpret_cast<intptr_t>(key));
}

// DWORD is unsigned long, a type distinct from std::uint32_t: the calls get a
// DWORD copy of the caller's optional number, written back when done.
class DwordArgument
{
public:
    static DwordArgument in(std::uint32_t *target) { return DwordArgument(target, target ? *target : 0); }
    static DwordArgument out(std::uint32_t *target) { return DwordArgument(target, 0); }

    DwordArgument(const DwordArgument &) = delete;
    DwordArgument &operator=(const DwordArgument &) = delete;
    ~DwordArgument()
    {
        if (m_target)
            *m_target = m_value;
    }

    DWORD *get() { return m_target ? &m_value : nullptr; }

private:
    DwordArgument(std::uint32_t *target, DWORD value) : m_target(target), m_value(value) {}

    std::uint32_t *m_target;
    DWORD m_value;
};

std::wstring toWide(UINT codePage, const std::string &text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), wideLength);
    return wide;
}

std::string fromWide(UINT codePage, const std::wstring &wide)
{
    if (wide.empty())
        return {};
    const int length = static_cast<int>(wide.size());
    const int narrowLength = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(narrowLength), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), length, narrow.data(), narrowLength, nullptr, nullptr);
    return narrow;
}

} // namespace

Result WindowsRegistry::openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened)
{
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(toHandle(parent), subKey.c_str(), 0, access, &key);
    if (result == ERROR_SUCCESS)
        *opened = fromHandle(key);
    return result;
}

Result WindowsRegistry::createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened)
{
    char noClass[] = "";
    SECURITY_ATTRIBUTES security = {};
    HKEY key = nullptr;
    const LONG result =
        RegCreateKeyExA(toHandle(parent), subKey.c_str(), 0, noClass, 0, access, &security, &key, nullptr);
    if (result == ERROR_SUCCESS)
        *opened = fromHandle(key);
    return result;
}

Result WindowsRegistry::closeKey(Key key)
{
    return RegCloseKey(toHandle(key));
}

Result WindowsRegistry::deleteKey(Key parent, const std::string &subKey)
{
    return RegDeleteKeyA(toHandle(parent), subKey.c_str());
}

Result WindowsRegistry::deleteValue(Key key, const std::string &name)
{
    return RegDeleteValueA(toHandle(key), name.c_str());
}

Result WindowsRegistry::queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                                   std::uint32_t *size)
{
    auto typeArgument = DwordArgument::out(type);
    auto sizeArgument = DwordArgument::in(size);
    return RegQueryValueExA(toHandle(key), name.c_str(), nullptr, typeArgument.get(), data, sizeArgument.get());
}

Result WindowsRegistry::setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                                 std::uint32_t size)
{
    return RegSetValueExA(toHandle(key), name.c_str(), 0, type, data, size);
}

Result WindowsRegistry::enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize)
{
    return RegEnumKeyA(toHandle(key), index, name, nameSize);
}

Result WindowsRegistry::enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                                  std::uint32_t *type, std::uint8_t *data, std::uint32_t *dataSize)
{
    auto nameArgument = DwordArgument::in(nameLength);
    auto typeArgument = DwordArgument::out(type);
    auto dataArgument = DwordArgument::in(dataSize);
    return RegEnumValueA(toHandle(key), index, name, nameArgument.get(), nullptr, typeArgument.get(), data,
                         dataArgument.get());
}

Result WindowsRegistry::queryInfoKey(Key key, KeyInfo *info)
{
    DWORD subKeys = 0;
    DWORD maxSubKeyLength = 0;
    DWORD values = 0;
    DWORD maxValueNameLength = 0;
    DWORD maxValueLength = 0;
    const LONG result = RegQueryInfoKeyA(toHandle(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength,
                                         nullptr, &values, &maxValueNameLength, &maxValueLength, nullptr, nullptr);
    if (result == ERROR_SUCCESS)
        *info = KeyInfo{subKeys, maxSubKeyLength, values, maxValueNameLength, maxValueLength};
    return result;
}

Result WindowsRegistry::saveKey(Key key, const std::string &file)
{
    SECURITY_ATTRIBUTES security = {};
    return RegSaveKeyA(toHandle(key), file.c_str(), &security);
}

std::uint32_t WindowsRegistry::expandEnvironmentStrings(const char *source, char *destination, std::uint32_t size)
{
    return ExpandEnvironmentStringsA(source, destination, size);
}

std::string WindowsRegistry::toSystemText(const std::string &text)
{
    return fromWide(CP_ACP, toWide(CP_UTF8, text));
}

std::string WindowsRegistry::fromSystemText(const std::string &text)
{
    return fromWide(CP_UTF8, toWide(CP_ACP, text));
}

} // namespace registry
