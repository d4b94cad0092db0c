#include "platform/os/Process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/os/CommandLine.h"
#include "platform/os/Win32Error.h"

namespace {

// Everything the child needs, prepared before fork: after fork only async-signal-safe calls.
struct ExecPlan {
    std::string path;
    std::vector<std::string> arguments;
    std::vector<char*> argv;

    void Seal() {
        argv.clear();
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
    }
};

class Pipe {
public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool Valid() const { return fds_[0] >= 0; }
    int Read() const { return fds_[0]; }
    int Write() const { return fds_[1]; }
    void CloseRead() {
        if (fds_[0] >= 0) ::close(fds_[0]);
        fds_[0] = -1;
    }
    void CloseWrite() {
        if (fds_[1] >= 0) ::close(fds_[1]);
        fds_[1] = -1;
    }

private:
    int fds_[2];
};

// In the child: a clean signal state, stdin from /dev/null, nothing else inherited; then exec.
// On failure the errno goes up the pipe.
[[noreturn]] void ExecChild(const ExecPlan& plan, int errorPipe, int devNull) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &standard, nullptr);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execv(plan.path.c_str(), plan.argv.data());
    int error = errno;
    ssize_t ignored = ::write(errorPipe, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// The errno the child reported, or 0 when the pipe closed without one (exec succeeded).
int ReadChildError(int readFd) {
    int error = 0;
    ssize_t got;
    do {
        got = ::read(readFd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

void Reap(pid_t pid, int* status) {
    int ignored = 0;
    while (::waitpid(pid, status ? status : &ignored, 0) < 0 && errno == EINTR) {
    }
}

HRESULT Prepare(const std::string& program, std::vector<std::string> arguments, ExecPlan& plan) {
    std::optional<std::string> path = FindProgram(program);
    if (!path) return HResultFromErrno(ENOENT);
    plan.path = std::move(*path);
    plan.arguments = std::move(arguments);
    if (plan.arguments.empty()) plan.arguments.push_back(program);
    plan.Seal();
    return S_OK;
}

}  // namespace

std::optional<std::string> FindProgram(const std::string& program) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos) return program;
    const char* pathVariable = std::getenv("PATH");
    std::string_view path =
        pathVariable && *pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    while (!path.empty()) {
        size_t colon = path.find(':');
        std::string_view folder = path.substr(0, colon);
        path = colon == std::string_view::npos ? std::string_view() : path.substr(colon + 1);
        std::string candidate = std::string(folder.empty() ? "." : folder) + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

HRESULT StartProcess(const std::string& program, std::string_view commandLine) {
    std::optional<std::vector<std::string>> arguments = SplitCommandLine(commandLine);
    if (!arguments) return E_INVALIDARG;
    std::string file = program.empty() && !arguments->empty() ? arguments->front() : program;
    ExecPlan plan;
    HRESULT hr = Prepare(file, std::move(*arguments), plan);
    if (FAILED(hr)) return hr;
    Pipe errors;
    if (!errors.Valid()) return HResultFromLastErrno();
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    // Double fork: the program becomes a child of init (or the session's reaper), so nobody
    // here has to wait for it and no zombie is left.
    pid_t middle = ::fork();
    if (middle < 0) {
        hr = HResultFromLastErrno();
        if (devNull >= 0) ::close(devNull);
        return hr;
    }
    if (middle == 0) {
        pid_t grandchild = ::_Fork();
        if (grandchild < 0) {
            int error = errno;
            ssize_t ignored = ::write(errors.Write(), &error, sizeof error);
            (void)ignored;
            ::_exit(1);
        }
        if (grandchild > 0) ::_exit(0);
        ::setsid();
        ExecChild(plan, errors.Write(), devNull);
    }
    if (devNull >= 0) ::close(devNull);
    errors.CloseWrite();
    Reap(middle, nullptr);
    int error = ReadChildError(errors.Read());
    return error ? HResultFromErrno(error) : S_OK;
}

HRESULT RunProcess(const std::vector<std::string>& argv, unsigned timeoutMs, int* exitCode) {
    if (exitCode) *exitCode = -1;
    if (argv.empty()) return E_INVALIDARG;
    ExecPlan plan;
    HRESULT hr = Prepare(argv.front(), argv, plan);
    if (FAILED(hr)) return hr;
    Pipe errors;
    if (!errors.Valid()) return HResultFromLastErrno();
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    pid_t child = ::fork();
    if (child < 0) {
        hr = HResultFromLastErrno();
        if (devNull >= 0) ::close(devNull);
        return hr;
    }
    if (child == 0) ExecChild(plan, errors.Write(), devNull);
    if (devNull >= 0) ::close(devNull);
    errors.CloseWrite();
    if (int error = ReadChildError(errors.Read())) {
        Reap(child, nullptr);
        return HResultFromErrno(error);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return HResultFromLastErrno();
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            Reap(child, nullptr);
            return HResultFromWin32(ERROR_TIMEOUT);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return S_OK;
}
