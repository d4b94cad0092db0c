#include "bench/broadcast/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

extern char** environ;

ChildProcess::~ChildProcess() {
    if (pid_ > 0) End(0);
    if (outFd_ >= 0) ::close(outFd_);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    std::swap(pid_, other.pid_);
    std::swap(outFd_, other.outFd_);
    std::swap(status_, other.status_);
    std::swap(error_, other.error_);
    return *this;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::filesystem::path& out, const std::filesystem::path& err, int in) {
    std::vector<std::string> variables = environment;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const std::string& v : environment) overridden = overridden || v.rfind(name, 0) == 0;
        if (!overridden) variables.push_back(entry);
    }
    std::vector<char*> args, env;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& v : variables) env.push_back(const_cast<char*>(v.c_str()));
    env.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (out.empty() && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in >= 0) posix_spawn_file_actions_adddup2(&actions, in, 0);
    else posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out.empty()) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // The child starts with the default signal actions (this program ignores SIGPIPE).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const int rc = posix_spawnp(&pid_, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (pipeFds[1] >= 0) ::close(pipeFds[1]);
    if (rc != 0) {
        pid_ = -1;
        if (pipeFds[0] >= 0) ::close(pipeFds[0]);
        error_ = argv[0] + ": " + std::strerror(rc);
        return false;
    }
    outFd_ = pipeFds[0];
    return true;
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done != pid_) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return false;
}

bool ChildProcess::WaitFor(int ms) {
    for (int waited = 0; Running(); waited += 10) {
        if (waited >= ms) return false;
        ::usleep(10000);
    }
    return true;
}

int ChildProcess::End(int ms) {
    if (pid_ <= 0) return status_;
    if (WaitFor(ms)) return status_;
    ::kill(pid_, SIGTERM);
    if (WaitFor(1000)) return status_;
    ::kill(pid_, SIGKILL);
    WaitFor(5000);
    return status_;
}
