#pragma once

#include "RegistryApi.h"

namespace registry {

// The real Windows registry, through advapi32's ANSI calls.
class WindowsRegistry final : public RegistryApi
{
public:
    Result openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override;
    Result createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override;
    Result closeKey(Key key) override;
    Result deleteKey(Key parent, const std::string &subKey) override;
    Result deleteValue(Key key, const std::string &name) override;
    Result queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                      std::uint32_t *size) override;
    Result setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                    std::uint32_t size) override;
    Result enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize) override;
    Result enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength, std::uint32_t *type,
                     std::uint8_t *data, std::uint32_t *dataSize) override;
    Result queryInfoKey(Key key, KeyInfo *info) override;
    Result saveKey(Key key, const std::string &file) override;
    std::uint32_t expandEnvironmentStrings(const char *source, char *destination, std::uint32_t size) override;

    std::string toSystemText(const std::string &text) override;
    std::string fromSystemText(const std::string &text) override;
};

} // namespace registry
