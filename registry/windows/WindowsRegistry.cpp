#include "WindowsRegistry.h"

#include "WideText.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

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

// The predefined keys are 32-bit values with the high bit set, sign-extended.
bool isRoot(Key key)
{
    return key >= ClassesRoot && key < 0;
}

bool isText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::uint32_t byteCount(std::size_t size)
{
    return static_cast<std::uint32_t>(size);
}

// A name as the registry calls see it: UTF-16, up to the first zero character.
std::optional<std::wstring> callName(const std::string &name)
{
    auto wide = wide::fromUtf8(name);
    if (wide)
        wide->resize(std::wcslen(wide->c_str()));
    return wide;
}

// Wine takes longer key names; Windows refuses them, and so does this class.
std::optional<std::wstring> keyPath(const std::string &subKey)
{
    auto path = callName(subKey);
    for (std::size_t begin = 0; path && begin <= path->size();) {
        const std::size_t end = std::min(path->find(L'\\', begin), path->size());
        if (end - begin > MaxKeyNameLength)
            return std::nullopt;
        begin = end + 1;
    }
    return path;
}

ByteArray dataAsGiven(const RawValue &value)
{
    return isText(value.type) ? wide::textDataToUtf8(value.data) : value.data;
}

// The data into the caller's buffer as the registry calls hand it: *size
// gets the size needed; without a buffer that is all; MoreData when it does
// not fit.
Result deliverData(const ByteArray &bytes, std::uint8_t *data, std::uint32_t *size)
{
    if (!size)
        return data ? InvalidParameter : Success;
    const bool fits = *size >= bytes.size();
    *size = byteCount(bytes.size());
    if (!data)
        return Success;
    if (!fits)
        return MoreData;
    std::copy(bytes.begin(), bytes.end(), data);
    return Success;
}

// The name and its terminator into the caller's buffer; MoreData when they
// do not fit. *length, when given, gets the name's length without terminator.
Result deliverName(const std::string &text, char *buffer, std::uint32_t bufferSize, std::uint32_t *length)
{
    if (length)
        *length = byteCount(text.size());
    if (!buffer || bufferSize <= text.size())
        return MoreData;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return Success;
}

template <typename Names, typename Length>
std::uint32_t longest(const Names &names, Length length)
{
    std::size_t most = 0;
    for (const auto &name : names)
        most = std::max(most, length(name));
    return byteCount(most);
}

// Names the handle may not list get room for the longest they can be: UTF-8
// takes up to three bytes for each UTF-16 unit.
std::uint32_t longestSubKeyName(HKEY key)
{
    HKEY listing = nullptr;
    if (RegOpenKeyExW(key, nullptr, 0, KEY_ENUMERATE_SUB_KEYS, &listing) != ERROR_SUCCESS) {
        DWORD longestUnits = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longestUnits, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        return longestUnits * 3;
    }
    std::vector<std::wstring> names;
    readSubKeyNames(listing, &names);
    RegCloseKey(listing);
    return longest(names, [](const std::wstring &name) { return wide::toUtf8(name).size(); });
}

} // namespace

std::optional<KeyPlace> WindowsRegistry::placeOf(Key parent, const std::wstring &subKey) const
{
    if (isRoot(parent))
        return KeyPlace{toHandle(parent), subKey};
    const auto found = m_places.find(parent);
    if (found == m_places.end())
        return std::nullopt;
    KeyPlace place = found->second;
    if (!subKey.empty())
        place.path += (place.path.empty() ? L"" : L"\\") + subKey;
    return place;
}

// While a batch is open, note(place) keeps what the write at place will
// replace; a write whose place this object does not know cannot be undone,
// and is refused.
template <typename Note>
Result WindowsRegistry::journalled(Key parent, const std::wstring &subKey, Note note)
{
    const std::lock_guard lock(m_mutex);
    if (!m_journal.recording())
        return Success;
    const std::optional<KeyPlace> place = placeOf(parent, subKey);
    return place ? note(*place) : InvalidHandle;
}

Result WindowsRegistry::beforeValueChange(Key key, const std::wstring &name)
{
    return journalled(key, std::wstring(), [&](const KeyPlace &place) {
        return m_journal.beforeValueChange(place, name);
    });
}

template <typename Open>
Result WindowsRegistry::opening(Key parent, const std::string &subKey, Key *opened, Open open)
{
    const std::optional<std::wstring> path = keyPath(subKey);
    if (!path)
        return InvalidParameter;
    HKEY key = nullptr;
    const LONG result = open(*path, &key);
    if (result != ERROR_SUCCESS)
        return result;
    *opened = fromHandle(key);
    const std::lock_guard lock(m_mutex);
    if (const std::optional<KeyPlace> place = placeOf(parent, *path))
        m_places.insert_or_assign(*opened, *place);
    return Success;
}

Result WindowsRegistry::openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened)
{
    return opening(parent, subKey, opened, [&](const std::wstring &path, HKEY *key) {
        return RegOpenKeyExW(toHandle(parent), path.c_str(), 0, access, key);
    });
}

Result WindowsRegistry::createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened)
{
    return opening(parent, subKey, opened, [&](const std::wstring &path, HKEY *key) -> LONG {
        const Result noted = journalled(parent, path, [&](const KeyPlace &place) {
            return m_journal.beforeKeyCreation(place);
        });
        if (noted != Success)
            return noted;
        wchar_t noClass[] = L"";
        SECURITY_ATTRIBUTES security = {};
        return RegCreateKeyExW(toHandle(parent), path.c_str(), 0, noClass, 0, access, &security, key, nullptr);
    });
}

Result WindowsRegistry::closeKey(Key key)
{
    {
        const std::lock_guard lock(m_mutex);
        m_places.erase(key);
    }
    return RegCloseKey(toHandle(key));
}

Result WindowsRegistry::deleteKey(Key parent, const std::string &subKey)
{
    const std::optional<std::wstring> path = keyPath(subKey);
    if (!path)
        return InvalidParameter;
    const Result noted = journalled(parent, *path, [&](const KeyPlace &place) {
        return m_journal.beforeKeyDeletion(place);
    });
    if (noted != Success)
        return noted;
    return RegDeleteKeyW(toHandle(parent), path->c_str());
}

Result WindowsRegistry::deleteValue(Key key, const std::string &name)
{
    const std::optional<std::wstring> wideName = callName(name);
    if (!wideName)
        return InvalidParameter;
    const Result noted = beforeValueChange(key, *wideName);
    if (noted != Success)
        return noted;
    return RegDeleteValueW(toHandle(key), wideName->c_str());
}

// The whole value is read even for a size query: only its UTF-8 form tells
// the size the caller will get.
Result WindowsRegistry::readValue(Key key, const std::wstring &name, std::uint32_t *type, std::uint8_t *data,
                                  std::uint32_t *size)
{
    RawValue value;
    const LONG result = readRawValue(toHandle(key), name, &value);
    if (result != ERROR_SUCCESS)
        return result;
    if (type)
        *type = value.type;
    return deliverData(dataAsGiven(value), data, size);
}

Result WindowsRegistry::queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                                   std::uint32_t *size)
{
    const std::optional<std::wstring> wideName = callName(name);
    return wideName ? readValue(key, *wideName, type, data, size) : InvalidParameter;
}

Result WindowsRegistry::setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                                 std::uint32_t size)
{
    const std::optional<std::wstring> wideName = callName(name);
    if (!wideName)
        return InvalidParameter;
    std::optional<ByteArray> stored = isText(type) ? wide::textDataFromUtf8(data, size) : ByteArray(data, data + size);
    if (!stored)
        return InvalidParameter;
    const Result noted = beforeValueChange(key, *wideName);
    if (noted != Success)
        return noted;
    return RegSetValueExW(toHandle(key), wideName->c_str(), 0, type, stored->data(), byteCount(stored->size()));
}

Result WindowsRegistry::enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize)
{
    std::wstring wideName;
    const LONG result = subKeyName(toHandle(key), index, &wideName);
    return result == ERROR_SUCCESS ? deliverName(wide::toUtf8(wideName), name, nameSize, nullptr) : result;
}

Result WindowsRegistry::enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                                  std::uint32_t *type, std::uint8_t *data, std::uint32_t *dataSize)
{
    if (!nameLength)
        return InvalidParameter;
    std::wstring wideName;
    const LONG result = valueName(toHandle(key), index, &wideName);
    if (result != ERROR_SUCCESS)
        return result;
    const Result named = deliverName(wide::toUtf8(wideName), name, *nameLength, nameLength);
    if (named != Success || (!type && !data && !dataSize))
        return named;
    return readValue(key, wideName, type, data, dataSize);
}

// The longest names and data in UTF-8, which only a look at each tells.
Result WindowsRegistry::queryInfoKey(Key key, KeyInfo *info)
{
    const HKEY handle = toHandle(key);
    DWORD subKeys = 0;
    DWORD values = 0;
    LONG result = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                   nullptr, nullptr, nullptr);
    std::vector<NamedRawValue> contents;
    if (result == ERROR_SUCCESS)
        result = readRawValues(handle, &contents);
    if (result != ERROR_SUCCESS)
        return result;
    *info = KeyInfo{
        subKeys,
        subKeys > 0 ? longestSubKeyName(handle) : 0,
        values,
        longest(contents, [](const NamedRawValue &value) { return wide::toUtf8(value.name).size(); }),
        longest(contents, [](const NamedRawValue &value) { return dataAsGiven(value.value).size(); }),
    };
    return Success;
}

Result WindowsRegistry::saveKey(Key key, const std::string &file)
{
    const std::optional<std::wstring> wideFile = callName(file);
    if (!wideFile)
        return InvalidParameter;
    SECURITY_ATTRIBUTES security = {};
    return RegSaveKeyW(toHandle(key), wideFile->c_str(), &security);
}

// Nothing to expand (size 0) when the text is not valid UTF-8.
std::uint32_t WindowsRegistry::expandEnvironmentStrings(const char *source, char *destination, std::uint32_t size)
{
    const std::optional<std::wstring> text = source ? wide::fromUtf8(source) : std::nullopt;
    if (!text)
        return 0;
    std::wstring expanded(ExpandEnvironmentStringsW(text->c_str(), nullptr, 0), L'\0');
    const DWORD got = ExpandEnvironmentStringsW(text->c_str(), expanded.data(), byteCount(expanded.size()));
    if (got == 0 || got > expanded.size())
        return 0;
    expanded.resize(got - 1);
    const std::string utf8 = wide::toUtf8(expanded);
    const std::uint32_t needed = byteCount(utf8.size() + 1);
    if (destination && size >= needed)
        std::memcpy(destination, utf8.c_str(), needed);
    return needed;
}

Result WindowsRegistry::beginBatch()
{
    const std::lock_guard lock(m_mutex);
    return m_journal.start();
}

Result WindowsRegistry::commitBatch()
{
    const std::lock_guard lock(m_mutex);
    return m_journal.finish();
}

void WindowsRegistry::rollBackBatch()
{
    const std::lock_guard lock(m_mutex);
    m_journal.undo();
}

std::string WindowsRegistry::toSystemText(const std::string &text)
{
    const std::optional<std::wstring> wide = wide::fromUtf8(text);
    return wide ? wide::toCodePage(CP_ACP, *wide) : text;
}

std::string WindowsRegistry::fromSystemText(const std::string &text)
{
    const std::optional<std::wstring> wide = wide::fromCodePage(CP_ACP, text);
    return wide ? wide::toUtf8(*wide) : text;
}

} // namespace registry
