#include "cRegistry.h"

#include "OpenKey.h"
#include "ProgramName.h"

#include <optional>

using namespace registry;

namespace {

// Every key name fits: 255 characters of up to four bytes each, and a terminator.
constexpr std::uint32_t kKeyNameBuffer = MaxKeyNameLength * 4 + 1;

// A "%" and a later "%" with at least one character between them; only the
// first "%" counts.
bool holdsEnvironmentReference(const std::string &text)
{
    const auto first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

std::int32_t littleEndianDword(const ByteArray &bytes)
{
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4 && k < bytes.size(); ++k)
        value |= std::uint32_t(bytes[k]) << (8 * k);
    return static_cast<std::int32_t>(value);
}

ByteArray dwordBytes(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    return {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)};
}

std::optional<std::int32_t> integerOf(const VariantValue &value)
{
    if (const auto *small = std::get_if<std::int16_t>(&value))
        return *small;
    if (const auto *large = std::get_if<std::int32_t>(&value))
        return *large;
    return std::nullopt;
}

// Reads a value's type and data, asking again with the new size if it grew meanwhile.
std::optional<ByteArray> readData(RegistryApi &api, Key key, const std::string &name, std::uint32_t size,
                                  std::uint32_t &type)
{
    for (int tries = 0; tries < 4; ++tries) {
        ByteArray data(size);
        std::uint32_t got = size;
        const Result result = api.queryValue(key, name, &type, data.data(), &got);
        if (result == Success) {
            data.resize(got);
            return data;
        }
        if (result != MoreData)
            return std::nullopt;
        size = got;
    }
    return std::nullopt;
}

} // namespace

cRegistry::cRegistry(RegistryApi &api) : m_api(api) {}

std::string cRegistry::errorSource()
{
    return programBaseName() + ".cRegistry";
}

Key cRegistry::root() const
{
    return static_cast<Key>(m_classKey);
}

std::string cRegistry::keyPlace() const
{
    return "'" + std::to_string(m_classKey) + "',Section: '" + m_sectionKey;
}

bool cRegistry::KeyExists() const
{
    OpenKey key(m_api);
    return key.open(root(), m_sectionKey, QueryValue);
}

bool cRegistry::CreateKey()
{
    OpenKey key(m_api);
    if (key.create(root(), m_sectionKey) != Success)
        throw RegistryError(RegistryError::KeyFailure, errorSource(),
                            "Failed to create registry Key: '" + m_sectionKey);
    return true;
}

bool cRegistry::DeleteKey()
{
    if (m_api.deleteKey(root(), m_sectionKey) != Success)
        throw RegistryError(RegistryError::KeyFailure, errorSource(),
                            "Failed to delete registry Key: " + keyPlace());
    return true;
}

bool cRegistry::DeleteValue()
{
    OpenKey key(m_api);
    if (!key.open(root(), m_sectionKey, AllKeyRights))
        throw RegistryError(RegistryError::KeyFailure, errorSource(),
                            "Failed to open key " + keyPlace() + "' for delete access");
    if (m_api.deleteValue(key.handle(), m_valueKey) != Success)
        throw RegistryError(RegistryError::KeyFailure, errorSource(),
                            "Failed to delete registry Key: " + keyPlace() + "',Key: '" + m_valueKey);
    return true;
}

VariantValue cRegistry::Value()
{
    OpenKey key(m_api);
    if (!key.open(root(), m_sectionKey, QueryValue))
        return m_default;
    const std::optional<StoredValue> value = stored(key.handle(), m_valueKey);
    if (!value)
        return m_default;
    m_valueType = static_cast<RegistryValueType>(value->type);
    return converted(value->type, value->data);
}

std::optional<cRegistry::StoredValue> cRegistry::stored(Key key, const std::string &name) const
{
    std::uint32_t type = RegNone;
    std::uint32_t size = 0;
    const Result sizeQuery = m_api.queryValue(key, name, &type, nullptr, &size);
    if (sizeQuery != Success && sizeQuery != MoreData)
        return std::nullopt;
    std::optional<ByteArray> data = readData(m_api, key, name, size, type);
    if (!data)
        return std::nullopt;
    return StoredValue{type, std::move(*data)};
}

VariantValue cRegistry::converted(std::uint32_t type, const ByteArray &data) const
{
    switch (type) {
    case RegSz:
    case RegMultiSz:
        return textWithoutTerminator(data);
    case RegExpandSz:
        return ExpandEnvironmentText(textWithoutTerminator(data));
    case RegDword:
        return littleEndianDword(data);
    case RegDwordBigEndian:
        return ReverseDwordBytes(littleEndianDword(data));
    default:
        // An empty value still comes back as one byte, 0.
        return data.empty() ? ByteArray{0} : data;
    }
}

// The stored bytes without the terminating zero; a text stored without one
// keeps its last character.
std::string cRegistry::textWithoutTerminator(const ByteArray &data)
{
    const bool terminated = !data.empty() && data.back() == 0;
    return std::string(data.begin(), terminated ? data.end() - 1 : data.end());
}

void cRegistry::setValue(const VariantValue &vValue)
{
    OpenKey key(m_api);
    if (key.create(root(), m_sectionKey) != Success)
        throw RegistryError(RegistryError::KeyFailure, errorSource(), writeFailure(vValue));
    if (store(key.handle(), vValue) != Success)
        throw RegistryError(RegistryError::WriteFailure, errorSource(), writeFailure(vValue));
}

Result cRegistry::store(Key key, const VariantValue &vValue)
{
    const std::string name = m_valueKey;
    switch (m_valueType) {
    case RegSz:
    case RegExpandSz: {
        const std::string text = variantText(vValue);
        const std::uint32_t type = holdsEnvironmentReference(text) ? RegExpandSz : RegSz;
        const ByteArray data(text.c_str(), text.c_str() + text.size() + 1);
        return m_api.setValue(key, name, type, data.data(), std::uint32_t(data.size()));
    }
    case RegBinary: {
        const auto *bytes = std::get_if<ByteArray>(&vValue);
        if (!bytes)
            throw RegistryError(RegistryError::KeyFailure, std::string(), std::string());
        return m_api.setValue(key, name, RegBinary, bytes->data(), std::uint32_t(bytes->size()));
    }
    case RegDword:
    case RegDwordBigEndian: {
        // Anything but an integer is refused rather than silently dropped.
        const std::optional<std::int32_t> number = integerOf(vValue);
        if (!number)
            return InvalidData;
        const ByteArray data = dwordBytes(*number);
        return m_api.setValue(key, name, RegDword, data.data(), std::uint32_t(data.size()));
    }
    default:
        return InvalidData;
    }
}

std::string cRegistry::writeFailure(const VariantValue &vValue) const
{
    return "Failed to set registry value Key: " + keyPlace() + "',Key: '" + m_valueKey + "' to value: '"
        + variantText(vValue) + "'";
}

bool cRegistry::EnumerateValues(std::vector<std::string> &sKeyNames, std::int32_t &iKeyCount) const
{
    sKeyNames.clear();
    iKeyCount = 0;
    OpenKey key(m_api);
    if (!key.open(root(), m_sectionKey, QueryValue))
        return true;
    KeyInfo info;
    if (m_api.queryInfoKey(key.handle(), &info) != Success)
        return true;
    for (std::uint32_t index = 0;;) {
        std::string name(info.maxValueNameLength + 1, '\0');
        std::uint32_t length = std::uint32_t(name.size());
        const Result result = m_api.enumValue(key.handle(), index, name.data(), &length, nullptr, nullptr, nullptr);
        if (result == MoreData && m_api.queryInfoKey(key.handle(), &info) == Success)
            continue; // a longer name arrived meanwhile: ask again with room for it
        if (result != Success)
            break;
        sKeyNames.push_back(name.substr(0, length));
        ++iKeyCount;
        ++index;
    }
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string> &sSect, std::int32_t &iSectCount) const
{
    sSect.clear();
    iSectCount = 0;
    OpenKey key(m_api);
    if (!key.open(root(), m_sectionKey, EnumerateSubKeys))
        return true;
    for (std::uint32_t index = 0;; ++index) {
        std::string name(kKeyNameBuffer, '\0');
        const Result result = m_api.enumKey(key.handle(), index, name.data(), kKeyNameBuffer);
        if (result == NoMoreItems)
            break;
        if (result != Success) {
            sSect.clear();
            iSectCount = 0;
            throw RegistryError(RegistryError::EnumerationFailure, errorSource(),
                                "Subkey " + std::to_string(index) + " of '" + m_sectionKey
                                    + "' could not be read (error " + std::to_string(result) + ")");
        }
        sSect.push_back(name.substr(0, name.find('\0')));
        ++iSectCount;
    }
    return true;
}

std::int32_t cRegistry::CountSubKeys() const
{
    OpenKey key(m_api);
    if (!key.open(root(), m_sectionKey, QueryValue))
        return 0;
    KeyInfo info;
    m_api.queryInfoKey(key.handle(), &info);
    return static_cast<std::int32_t>(info.subKeys);
}

bool cRegistry::SaveKey(const std::string &sFile) const
{
    OpenKey key(m_api);
    if (!key.open(root(), m_sectionKey, AllKeyRights))
        return false;
    return m_api.saveKey(key.handle(), sFile) == Success;
}

std::int32_t cRegistry::ReverseDwordBytes(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>((bits >> 24) | ((bits >> 8) & 0xFF00u) | ((bits << 8) & 0xFF0000u)
                                     | (bits << 24));
}

// An expansion that fails (size 0) leaves the text as it was stored.
std::string cRegistry::ExpandEnvironmentText(const std::string &text) const
{
    std::uint32_t needed = m_api.expandEnvironmentStrings(text.c_str(), nullptr, 0);
    for (int tries = 0; tries < 4 && needed > 0; ++tries) {
        std::string expanded(needed, '\0');
        const std::uint32_t got = m_api.expandEnvironmentStrings(text.c_str(), expanded.data(), needed);
        if (got > 0 && got <= needed) {
            expanded.resize(got - 1);
            return expanded;
        }
        needed = got;
    }
    return text;
}
