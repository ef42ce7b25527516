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
        return runRegCommand(std::vector<std::string>(argv + 1, argv + argc), registry::platformRegistry(),
                             std::cout, std::cerr, isatty(fileno(stdout)) != 0);
    } catch (const std::exception &error) {
        std::cerr << "renvolia-reg: " << error.what() << '\n';
        return 1;
    }
}
