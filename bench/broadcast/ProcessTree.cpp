#include "bench/broadcast/ProcessTree.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The fields of /proc/PID/stat after the command name (which may hold spaces and parentheses):
// [0] is the state, [1] the parent, [11] and [12] the user and system time in clock ticks.
std::vector<std::string> StatFields(pid_t process) {
    std::string stat = ReadText("/proc/" + std::to_string(process) + "/stat");
    size_t close = stat.rfind(')');
    std::vector<std::string> fields;
    if (close == std::string::npos) return fields;
    std::istringstream words(stat.substr(close + 1));
    for (std::string word; words >> word;) fields.push_back(word);
    return fields;
}

std::map<pid_t, std::vector<pid_t>> ChildrenByParent() {
    std::map<pid_t, std::vector<pid_t>> children;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t process = std::atoi(name.c_str());
        std::vector<std::string> fields = StatFields(process);
        if (fields.size() < 2) continue;
        children[std::atoi(fields[1].c_str())].push_back(process);
    }
    return children;
}
}  // namespace

std::vector<pid_t> Descendants(pid_t root) {
    std::map<pid_t, std::vector<pid_t>> children = ChildrenByParent();
    std::vector<pid_t> found, pending{root};
    while (!pending.empty()) {
        pid_t parent = pending.back();
        pending.pop_back();
        for (pid_t child : children[parent]) {
            found.push_back(child);
            pending.push_back(child);
        }
    }
    return found;
}

std::vector<pid_t> ChildrenRunning(pid_t parent, const std::string& program) {
    std::vector<pid_t> found;
    const std::map<pid_t, std::vector<pid_t>> children = ChildrenByParent();  // alive through the loop
    auto mine = children.find(parent);
    if (mine == children.end()) return found;
    for (pid_t child : mine->second) {
        std::error_code ec;
        fs::path exe = fs::read_symlink("/proc/" + std::to_string(child) + "/exe", ec);
        if (!ec && exe == fs::path(program)) found.push_back(child);
    }
    return found;
}

std::map<pid_t, ProcessFacts> ReadFacts(const std::vector<pid_t>& processes) {
    static const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    std::map<pid_t, ProcessFacts> facts;
    for (pid_t process : processes) {
        std::vector<std::string> fields = StatFields(process);
        if (fields.size() < 13 || fields[0] == "Z") continue;
        ProcessFacts f;
        f.cpuSeconds = static_cast<double>(std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str())) / ticks;
        std::istringstream status(ReadText("/proc/" + std::to_string(process) + "/status"));
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) f.peakKb = std::atol(line.c_str() + 6);
        facts[process] = f;
    }
    return facts;
}

std::string CommandName(pid_t process) {
    std::string name = ReadText("/proc/" + std::to_string(process) + "/comm");
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}
