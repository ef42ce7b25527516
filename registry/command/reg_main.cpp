#include "RegCommand.h"

#include <cstdio>
#include <exception>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#ifdef _WIN32
namespace {

// What we write is UTF-8, French messages and the registry's texts alike: the
// console shows it as such while we run, then gets its own code page back.
class Utf8Console
{
public:
    Utf8Console()
        : m_codePage(GetConsoleOutputCP())
    {
        if (m_codePage != 0)
            SetConsoleOutputCP(CP_UTF8);
    }
    ~Utf8Console()
    {
        if (m_codePage != 0)
            SetConsoleOutputCP(m_codePage);
    }
    Utf8Console(const Utf8Console &) = delete;
    Utf8Console &operator=(const Utf8Console &) = delete;

private:
    const UINT m_codePage; // 0 without a console
};

} // namespace
#endif

int main(int argc, char *argv[])
{
#ifdef _WIN32
    const Utf8Console console;
#endif
    try {
        // Arguments come in the system's code page; the registry class speaks UTF-8.
        registry::RegistryApi &api = registry::platformRegistry();
        std::vector<std::string> args;
        for (int index = 1; index < argc; ++index)
            args.push_back(api.fromSystemText(argv[index]));
        return runRegCommand(args, api, std::cout, std::cerr, isatty(fileno(stdout)) != 0);
    } catch (const std::exception &error) {
        std::cerr << "renvolia-reg: " << error.what() << '\n';
        return 1;
    }
}
