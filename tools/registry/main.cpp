#include <iostream>

#include "tools/registry/RegistryTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RegistryTool(std::cout, std::cerr).Run(args);
}
