#include "RegCommand.h"

#include <exception>
#include <iostream>

int main(int argc, char *argv[])
{
    try {
        return runRegCommand(std::vector<std::string>(argv + 1, argv + argc), registry::platformRegistry(),
                             std::cout, std::cerr);
    } catch (const std::exception &error) {
        std::cerr << "renvolia-reg: " << error.what() << '\n';
        return 1;
    }
}
