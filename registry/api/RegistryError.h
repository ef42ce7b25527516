#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// What the registry class raises: a 32-bit number, the source
// ("<program>.cRegistry", or empty) and a description (may be empty).
class RegistryError : public std::runtime_error
{
public:
    static constexpr std::int32_t KeyFailure = 26001;
    static constexpr std::int32_t WriteFailure = static_cast<std::int32_t>(0x800469A9u);
    static constexpr std::int32_t EnumerationFailure = static_cast<std::int32_t>(0x800469AAu);
    static constexpr std::int32_t BadAssociationList = static_cast<std::int32_t>(0x800469ACu);
    static constexpr std::int32_t AssociationClassMissing = static_cast<std::int32_t>(0x800469ADu);

    RegistryError(std::int32_t number, std::string source, std::string description)
        : std::runtime_error(description.empty() ? "registry error " + std::to_string(number) : description)
        , m_number(number)
        , m_source(std::move(source))
        , m_description(std::move(description))
    {
    }

    std::int32_t number() const { return m_number; }
    const std::string &source() const { return m_source; }
    const std::string &description() const { return m_description; }

private:
    std::int32_t m_number;
    std::string m_source;
    std::string m_description;
};
