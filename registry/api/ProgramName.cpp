#include "ProgramName.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::filesystem::path programPath()
{
#ifdef _WIN32
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::filesystem::path(std::string(buffer, length));
#else
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
#endif
}

} // namespace

std::string programBaseName()
{
    return programPath().stem().string();
}
