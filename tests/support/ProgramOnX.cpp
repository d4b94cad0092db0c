#include "tests/support/ProgramOnX.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace testing_support {
namespace {

// This process's environment with each "NAME=value" of `overrides` put in place of the entry of that name.
std::vector<std::string> Environment(const std::vector<std::string>& overrides) {
    std::vector<std::string> env;
    auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& o : overrides) replaced = replaced || name(o) == name(entry);
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// Waits for `pid` up to `ms`; its status as a shell gives it, or nullopt while it still runs.
std::optional<int> Reap(pid_t pid, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0) return -1;
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

ProgramOnX::ProgramOnX(const XvfbServer& server, std::filesystem::path output)
    : server_(server), output_(std::move(output)) {}

ProgramOnX::~ProgramOnX() { Stop(); }

std::optional<int> ProgramOnX::Stop() {
    if (pid_ <= 0) return std::nullopt;
    ::kill(pid_, SIGTERM);
    std::optional<int> status = Reap(pid_, 5000);
    if (!status) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    return status;
}

bool ProgramOnX::Running() const {
    if (pid_ <= 0) return false;
    // Looked at without reaping it: Stop still gets its status.
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

bool ProgramOnX::Usable(const XvfbServer& server) { return server.Running() && OnPath("xdotool"); }

bool ProgramOnX::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    if (argv.empty() || pid_ > 0) return false;
    std::vector<std::string> overrides{"DISPLAY=" + server_.Display(), "QT_QPA_PLATFORM=xcb",
                                       "HOME=" + TestEnvironment::Current().Dir().string(),
                                       "LSAN_OPTIONS=suppressions=" + (SourceDir() / "tests/lsan.supp").string()};
    overrides.insert(overrides.end(), env.begin(), env.end());
    std::vector<std::string> args = argv, environment = Environment(overrides);
    std::vector<char*> argp = Pointers(args), envp = Pointers(environment);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int failed = ::posix_spawn(&pid_, argp[0], &files, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (failed) pid_ = -1;
    return pid_ > 0;
}

std::string ProgramOnX::Output() const { return ReadFile(output_); }

std::optional<ScreenRect> ProgramOnX::LastRect(const std::string& name) const {
    std::istringstream lines(Output());
    std::string line;
    std::optional<ScreenRect> last;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        ScreenRect r;
        if (words >> word && word == name && words >> r.x >> r.y >> r.w >> r.h) last = r;
    }
    return last;
}

std::optional<ScreenRect> ProgramOnX::WaitRect(const std::string& name, int ms) const {
    std::optional<ScreenRect> found;
    WaitFor([&] { return (found = LastRect(name)).has_value(); }, ms);
    return found;
}

bool ProgramOnX::WaitOutput(const std::string& text, int ms) const {
    return WaitFor([&] { return Output().find(text) != std::string::npos; }, ms);
}

bool ProgramOnX::Xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> environment = Environment({"DISPLAY=" + server_.Display()});
    std::vector<char*> argp = Pointers(argv), envp = Pointers(environment);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, "xdotool", &files, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (failed) return false;
    std::optional<int> status = Reap(pid, 5000);
    if (!status) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return status == 0;
}

bool ProgramOnX::MoveTo(int x, int y) const {
    return Xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

bool ProgramOnX::ClickAt(int x, int y, int button) const {
    return MoveTo(x, y) && Xdotool({"click", std::to_string(button)});
}

}  // namespace testing_support
