#pragma once

#include "BenchSupport.h"
#include "RegistryApi.h"

#include <cstdint>
#include <string>
#include <vector>

// The tree the registry benchmarks write: 20,000 keys under
// HKEY_CURRENT_USER\Software\RenvoliaBench, three levels deep, each key with
// three values (a text, a double word, 16 bytes).
namespace bench {

inline const std::string deviceTreeRoot = "Software\\RenvoliaBench";

// 1 + 7 + 168 + 19,824 keys, parents before their subkeys.
inline std::vector<std::string> deviceTreePaths()
{
    static constexpr int fanOut[] = {7, 24, 118};
    static const char *const levelNames[] = {"Group", "Device", "Instance"};
    return treePaths(deviceTreeRoot, fanOut, levelNames);
}

// The three values of the key at path, the index-th of the tree.
inline bool writeDeviceValues(registry::RegistryApi &api, registry::Key key, const std::string &path,
                              std::uint32_t index)
{
    using namespace registry;
    const std::string text = "Device at " + path;
    const std::uint8_t dword[] = {std::uint8_t(index), std::uint8_t(index >> 8), 0, 0};
    std::uint8_t signature[16];
    for (std::uint8_t i = 0; i < sizeof signature; ++i)
        signature[i] = std::uint8_t(index * 31 + i);
    return api.setValue(key, "Description", RegSz, reinterpret_cast<const std::uint8_t *>(text.c_str()),
                        std::uint32_t(text.size() + 1)) == Success
        && api.setValue(key, "Flags", RegDword, dword, sizeof dword) == Success
        && api.setValue(key, "Signature", RegBinary, signature, sizeof signature) == Success;
}

} // namespace bench
