#include "RegCommand.h"

#include <cstdio>
#include <exception>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

int main(int argc, char *argv[])
{
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
