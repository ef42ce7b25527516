// Writes values into a registry store, one call sequence per value as the
// registry class does it, and prints each value's index once its write has
// returned. The value's data is its name. It waits for a line on its input
// before it opens the store, so that several writers start together.
//
// registry_writer <store file> <key below HKEY_CURRENT_USER> <name prefix> <count>

#include "SqliteRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char *argv[])
{
    char line[16];
    if (argc != 5 || !std::fgets(line, sizeof line, stdin)) {
        std::fprintf(stderr, "usage: registry_writer <store file> <key> <name prefix> <count>, then a line\n");
        return 2;
    }
    registry::SqliteRegistry api(argv[1]);
    const long count = std::strtol(argv[4], nullptr, 10);
    for (long index = 0; index < count; ++index) {
        const std::string name = argv[3] + std::to_string(index);
        registry::Key key = 0;
        registry::Result result = api.createKey(registry::CurrentUser, argv[2], registry::SetValue, &key);
        if (result == registry::Success)
            result = api.setValue(key, name, registry::RegSz, reinterpret_cast<const std::uint8_t *>(name.data()),
                                  static_cast<std::uint32_t>(name.size()));
        api.closeKey(key);
        if (result != registry::Success) {
            std::fprintf(stderr, "write %ld failed with %d\n", index, static_cast<int>(result));
            return 1;
        }
        std::printf("%ld\n", index);
        std::fflush(stdout);
    }
    return 0;
}
