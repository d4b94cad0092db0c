#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// What /proc says of running processes: who is whose child, their CPU time and peak memory.
struct ProcessFacts {
    double cpuSeconds = 0;  // user + system time of every thread
    long peakKb = 0;        // VmHWM, the peak resident set
};

// `root`'s children, their children and so on (not `root` itself).
std::vector<pid_t> Descendants(pid_t root);
// `parent`'s children whose program (/proc/PID/exe) is `program`.
std::vector<pid_t> ChildrenRunning(pid_t parent, const std::string& program);
// The facts of each process still running, by process.
std::map<pid_t, ProcessFacts> ReadFacts(const std::vector<pid_t>& processes);
// The process's program name (comm), "" when it is gone.
std::string CommandName(pid_t process);
