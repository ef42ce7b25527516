#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <time.h>
#endif

namespace bench {

#ifndef _WIN32
inline double peakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// This process's CPU time, user and system: unlike the wall clock, it does
// not grow when other programs share the processor.
inline double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
#endif

// Runs work in a fresh folder under argv[1] (else the temporary folder:
// $TMPDIR, else /tmp) and removes the folder afterwards; the result is
// work's exit status.
inline int inScratchFolder(int argc, char *argv[], const std::function<int(const std::string &)> &work)
{
    const std::filesystem::path parent = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    std::filesystem::path folder;
    std::error_code failed;
    for (unsigned attempt = 0; folder.empty() && attempt < 100 && !failed; ++attempt) {
        const auto suffix = std::chrono::steady_clock::now().time_since_epoch().count() + attempt;
        const auto candidate = parent / ("renvolia-bench-" + std::to_string(suffix));
        if (std::filesystem::create_directory(candidate, failed))
            folder = candidate;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", parent.string().c_str());
        return 1;
    }
    const int status = work(folder.string());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}

// A tree laid out breadth first: root, then fanOut[0] children named
// levelNames[0] + index, each with fanOut[1] children, and so on.
inline std::vector<std::string> treePaths(const std::string &root, std::span<const int> fanOut,
                                          std::span<const char *const> levelNames)
{
    std::vector<std::string> paths{root};
    for (std::size_t begin = 0, level = 0; level < fanOut.size(); ++level) {
        const std::size_t end = paths.size();
        for (std::size_t parent = begin; parent < end; ++parent)
            for (int child = 0; child < fanOut[level]; ++child)
                paths.push_back(paths[parent] + '\\' + levelNames[level] + std::to_string(child));
        begin = end;
    }
    return paths;
}

} // namespace bench
