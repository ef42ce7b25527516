// Times the registry script export and import on the embedded store: a tree
// of 20,000 keys under HKEY_CURRENT_USER\Software\RenvoliaBench, three
// levels deep, each key with three values (a text, a double word, 16 bytes).
// The registry class exports the tree to a "REGEDIT4" file, which is then
// imported into a fresh store. Building the tree is not timed. Each step runs
// in a process of its own, so that the peak memory it reports is its own.
//
// bench_regscript [folder for the stores and the file]   (default: $TMPDIR, else /tmp)

#include "DeviceTree.h"
#include "RegScriptImport.h"
#include "SqliteRegistry.h"
#include "cRegistry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

using namespace registry;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double fileMiB(const std::string &file)
{
    return static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
}

int build(const std::string &store)
{
    const std::vector<std::string> paths = bench::deviceTreePaths();
    const Clock::time_point start = Clock::now();
    SqliteRegistry api(store);
    if (api.beginBatch() != Success)
        return 1;
    for (std::uint32_t index = 0; index < paths.size(); ++index) {
        Key key = 0;
        if (api.createKey(CurrentUser, paths[index], AllKeyRights, &key) != Success)
            return 1;
        const bool written = bench::writeDeviceValues(api, key, paths[index], index);
        api.closeKey(key);
        if (!written)
            return 1;
    }
    if (api.commitBatch() != Success)
        return 1;
    std::printf("tree: %zu keys, %zu values, store of %.1f MiB, built in %.1f s (not timed below)\n", paths.size(),
                3 * paths.size(), fileMiB(store), secondsSince(start));
    return 0;
}

void report(const char *step, double seconds, double before)
{
    std::printf("%-34s %7.2f s   peak memory %6.1f MiB (%.1f MiB before the step)\n", step, seconds,
                bench::peakMemoryMiB(), before);
}

int exportTree(const std::string &store, const std::string &file)
{
    SqliteRegistry api(store);
    cRegistry reg(api);
    reg.setClassKey(CurrentUser);
    reg.setSectionKey(bench::deviceTreeRoot);
    const double before = bench::peakMemoryMiB();
    const Clock::time_point start = Clock::now();
    if (!reg.ExportToRegFile(file))
        return 1;
    report("ExportToRegFile", secondsSince(start), before);
    std::printf("%-34s %7.1f MiB\n", "file", fileMiB(file));
    return 0;
}

int importTree(const std::string &file, const std::string &store)
{
    SqliteRegistry api(store);
    const double before = bench::peakMemoryMiB();
    const Clock::time_point start = Clock::now();
    const ImportResult result = importRegFile(api, file);
    if (!result.ok) {
        std::fprintf(stderr, "import refused, line %d: %s\n", result.line, result.message.c_str());
        return 1;
    }
    report("importRegFile, into a fresh store", secondsSince(start), before);
    return 0;
}

// Runs this program again for one step and waits for it.
bool runStep(std::vector<std::string> args)
{
    std::fflush(stdout);
    args.insert(args.begin(), {"bench_regscript", "--step"});
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = 0;
    return posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) == 0
        && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int runStepHere(int argc, char *argv[])
{
    const std::string step = argv[2];
    if (step == "build" && argc == 4)
        return build(argv[3]);
    if (step == "export" && argc == 5)
        return exportTree(argv[3], argv[4]);
    if (step == "import" && argc == 5)
        return importTree(argv[3], argv[4]);
    std::fprintf(stderr, "unknown step\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 2 && std::strcmp(argv[1], "--step") == 0)
        return runStepHere(argc, argv);
    return bench::inScratchFolder(argc, argv, [](const std::string &folder) {
        const std::string file = folder + "/tree.reg";
        const bool done = runStep({"build", folder + "/original.sqlite"})
            && runStep({"export", folder + "/original.sqlite", file})
            && runStep({"import", file, folder + "/imported.sqlite"});
        if (!done)
            std::fprintf(stderr, "a step failed\n");
        return done ? 0 : 1;
    });
}
