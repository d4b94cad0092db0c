#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// A program this benchmark starts and ends: its standard output to a pipe this side reads, or to
// a file; its standard error to a file (read when it fails); standard input from a descriptor
// this side gives (a pipe it writes) or /dev/null.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Starts `argv` with `environment` added to this process's own. `out` empty: standard output
    // to a pipe (OutputFd). False, with Error(), when it could not start.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::filesystem::path& out, const std::filesystem::path& err, int in = -1);
    pid_t Pid() const { return pid_; }
    int OutputFd() const { return outFd_; }
    // Still running (not yet reaped)?
    bool Running();
    // Waits up to `ms` for it to end; then SIGTERM, and SIGKILL a second later. Its exit status
    // (128 + signal for a signal), -1 when never started.
    int End(int ms);
    // Its exit status once it ended on its own or by End.
    int Status() const { return status_; }
    const std::string& Error() const { return error_; }

private:
    bool WaitFor(int ms);
    pid_t pid_ = -1;
    int outFd_ = -1;
    int status_ = -1;
    std::string error_;
};
