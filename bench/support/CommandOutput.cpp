#include "bench/support/CommandOutput.h"

#include <cstdio>

std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[256];
    while (fgets(line, sizeof line, pipe)) out += line;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
}
