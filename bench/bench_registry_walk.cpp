// Times the embedded registry store used the way the registry class uses it:
// a breadth-first walk over a tree of 20,211 keys under HKEY_LOCAL_MACHINE,
// five levels deep, then 100,000 value reads. The tree is built first, in a
// temporary store, and that is not timed.
//
// bench_registry_walk [folder for the store]   (default: $TMPDIR, else /tmp)

#include "BenchSupport.h"
#include "SqliteRegistry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using namespace registry;
using Clock = std::chrono::steady_clock;

// 1 + 10 + 200 + 2,000 + 18,000 keys.
constexpr int fanOut[] = {10, 20, 10, 9};
const char *const levelNames[] = {"Bus", "Device", "Instance", "Part"};
const char *const valueNames[] = {"DeviceDesc", "Driver"};
constexpr int valueReads = 100000;
// Spreads the reads over the whole tree rather than along the walk.
constexpr std::size_t readStride = 7919;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool writeText(RegistryApi &api, Key key, const char *name, const std::string &text)
{
    return api.setValue(key, name, RegSz, reinterpret_cast<const std::uint8_t *>(text.c_str()),
                        static_cast<std::uint32_t>(text.size() + 1))
        == Success;
}

bool build(const std::string &file, const std::vector<std::string> &paths)
{
    SqliteRegistry api(file);
    for (const std::string &path : paths) {
        Key key = 0;
        if (api.createKey(LocalMachine, path, AllKeyRights, &key) != Success)
            return false;
        const bool written = writeText(api, key, valueNames[0], "Device at " + path)
            && writeText(api, key, valueNames[1], "{4d36e978-e325-11ce-bfc1-08002be10318}\\" + path.substr(path.size() - 4));
        api.closeKey(key);
        if (!written)
            return false;
    }
    return true;
}

// As the registry class reads: open by full path, size, data, close.
bool readText(RegistryApi &api, const std::string &path, const char *name, std::string &text)
{
    Key key = 0;
    if (api.openKey(LocalMachine, path, QueryValue, &key) != Success)
        return false;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    bool read = api.queryValue(key, name, &type, nullptr, &size) == Success;
    if (read) {
        text.resize(size);
        read = api.queryValue(key, name, &type, reinterpret_cast<std::uint8_t *>(text.data()), &size) == Success;
    }
    api.closeKey(key);
    return read;
}

struct Walk
{
    std::vector<std::string> paths; // in the order visited
    std::size_t valuesRead = 0;
};

Walk walk(RegistryApi &api)
{
    Walk done;
    std::deque<std::string> pending{"Enum"};
    std::string text;
    char name[MaxKeyNameLength * 4 + 1];
    while (!pending.empty()) {
        std::string path = std::move(pending.front());
        pending.pop_front();
        Key key = 0;
        if (api.openKey(LocalMachine, path, QueryValue | EnumerateSubKeys, &key) != Success)
            return done;
        for (std::uint32_t index = 0; api.enumKey(key, index, name, sizeof name) == Success; ++index)
            pending.push_back(path + '\\' + name);
        api.closeKey(key);
        for (const char *value : valueNames)
            done.valuesRead += readText(api, path, value, text);
        done.paths.push_back(std::move(path));
    }
    return done;
}

std::size_t readValues(RegistryApi &api, const std::vector<std::string> &paths)
{
    std::string text;
    std::size_t read = 0;
    for (std::size_t i = 0; i < valueReads; ++i)
        read += readText(api, paths[(i * readStride) % paths.size()], valueNames[i % 2], text);
    return read;
}

bool reportWalk(const char *what, const Walk &done, std::size_t keys, double milliseconds)
{
    std::printf("%-44s %8.1f ms\n", what, milliseconds);
    if (done.paths.size() == keys && done.valuesRead == 2 * keys)
        return true;
    std::fprintf(stderr, "the walk saw %zu keys and %zu values instead of %zu and %zu\n", done.paths.size(),
                 done.valuesRead, keys, 2 * keys);
    return false;
}

int measure(const std::string &file)
{
    const std::vector<std::string> paths = bench::treePaths("Enum", fanOut, levelNames);
    const Clock::time_point buildStart = Clock::now();
    if (!build(file, paths)) {
        std::fprintf(stderr, "cannot build the tree in %s\n", file.c_str());
        return 1;
    }
    std::printf("store: %zu keys, %zu values, %.1f MiB, built in %.1f s (not timed below)\n", paths.size(),
                2 * paths.size(), static_cast<double>(std::filesystem::file_size(file)) / (1 << 20),
                millisecondsSince(buildStart) / 1000);

    SqliteRegistry api(file);
    Clock::time_point start = Clock::now();
    const Walk first = walk(api);
    if (!reportWalk("walk, freshly opened store", first, paths.size(), millisecondsSince(start)))
        return 1;

    start = Clock::now();
    const std::size_t read = readValues(api, first.paths);
    const double readMilliseconds = millisecondsSince(start);
    std::printf("%-44s %8.1f ms (%.2f us per read)\n", "100,000 value reads (open, size, data, close)",
                readMilliseconds, readMilliseconds * 1000 / valueReads);
    if (read != valueReads) {
        std::fprintf(stderr, "only %zu of the reads succeeded\n", read);
        return 1;
    }

    start = Clock::now();
    const Walk second = walk(api);
    if (!reportWalk("walk again, same object", second, paths.size(), millisecondsSince(start)))
        return 1;
    std::printf("%-44s %8.1f MiB\n", "peak resident memory", bench::peakMemoryMiB());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::inScratchFolder(argc, argv,
                                  [](const std::string &folder) { return measure(folder + "/registry.sqlite"); });
}
