// Times this system's registry one call at a time, through the registry
// class's seam: the embedded store in the Linux build, the Windows registry
// (or Wine's) in the Windows one, so that the two builds can be run side by
// side (bench/registry_calls_vs_wine). The tree of DeviceTree.h, cut to the
// first N keys, is
//   create: made key by key, each key and then each of its three values by a call of its own;
//   walk:   walked breadth first by the registry class, every value read;
//   export: exported by the registry class as a "REGEDIT4" script;
//   delete: deleted key by key, subkeys first;
//   import: imported from that script.
// Each step prints "STEP.ms: MILLISECONDS".
//
// bench_registry_calls [N [folder]]   (default: 20,000 keys, the temporary folder)

#include "DeviceTree.h"
#include "RegScriptImport.h"
#include "cRegistry.h"

#ifndef _WIN32
#include "SqliteRegistry.h"
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace registry;
using Clock = std::chrono::steady_clock;

bool create(RegistryApi &api, const std::vector<std::string> &paths)
{
    for (std::uint32_t index = 0; index < paths.size(); ++index) {
        Key key = 0;
        if (api.createKey(CurrentUser, paths[index], AllKeyRights, &key) != Success)
            return false;
        const bool written = bench::writeDeviceValues(api, key, paths[index], index);
        api.closeKey(key);
        if (!written)
            return false;
    }
    return true;
}

// The keys found and the values read, as the modem discovery reads them.
std::size_t walk(RegistryApi &api)
{
    cRegistry reg(api);
    reg.setClassKey(CurrentUser);
    std::deque<std::string> pending{bench::deviceTreeRoot};
    std::size_t found = 0;
    std::vector<std::string> names;
    std::int32_t count = 0;
    while (!pending.empty()) {
        reg.setSectionKey(pending.front());
        for (const char *value : {"Description", "Flags", "Signature"}) {
            reg.setValueKey(value);
            found += !std::holds_alternative<std::monostate>(reg.Value());
        }
        reg.EnumerateSections(names, count);
        for (const std::string &name : names)
            pending.push_back(pending.front() + '\\' + name);
        pending.pop_front();
        ++found;
    }
    return found;
}

bool exportTree(RegistryApi &api, const std::string &file)
{
    cRegistry reg(api);
    reg.setClassKey(CurrentUser);
    reg.setSectionKey(bench::deviceTreeRoot);
    return reg.ExportToRegFile(file);
}

bool deleteTree(RegistryApi &api, const std::vector<std::string> &paths)
{
    for (auto path = paths.rbegin(); path != paths.rend(); ++path)
        if (api.deleteKey(CurrentUser, *path) != Success)
            return false;
    return true;
}

bool timed(const char *step, const std::function<bool()> &work)
{
    const Clock::time_point start = Clock::now();
    const bool done = work();
    std::printf("%s.ms: %.0f\n", step, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    std::fflush(stdout);
    if (!done)
        std::fprintf(stderr, "bench_registry_calls: the step %s failed\n", step);
    return done;
}

int measure(RegistryApi &api, std::size_t keys, const std::string &folder)
{
    std::vector<std::string> paths = bench::deviceTreePaths();
    if (keys < 1 || keys > paths.size()) {
        std::fprintf(stderr, "bench_registry_calls: from 1 to %zu keys\n", paths.size());
        return 2;
    }
    paths.resize(keys);
    Key existing = 0;
    if (api.openKey(CurrentUser, bench::deviceTreeRoot, QueryValue, &existing) == Success) {
        api.closeKey(existing);
        std::fprintf(stderr, "bench_registry_calls: HKEY_CURRENT_USER\\%s exists already\n",
                     bench::deviceTreeRoot.c_str());
        return 1;
    }
    const std::string script = folder + "/tree.reg";
    std::printf("keys: %zu\n", keys);
    const bool done = timed("create", [&] { return create(api, paths); })
        && timed("walk", [&] { return walk(api) == 4 * keys; })
        && timed("export", [&] { return exportTree(api, script); })
        && timed("delete", [&] { return deleteTree(api, paths); })
        && timed("import", [&] { return importRegFile(api, script).ok; });
    return done && deleteTree(api, paths) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::size_t keys = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    return bench::inScratchFolder(argc - 1, argv + 1, [keys](const std::string &folder) {
#ifdef _WIN32
        return measure(platformRegistry(), keys, folder);
#else
        SqliteRegistry store(folder + "/registry.sqlite");
        return measure(store, keys, folder);
#endif
    });
}
