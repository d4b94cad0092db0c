#pragma once
// Helpers of the platform/os tests: running the Qt event loop until something happened, and the
// second process (orvanta_os_peer) of the cross-process tests.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/WindowTypes.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace os_test {

// Runs the event loop until `done` holds or `limitMs` passed; returns done().
inline bool SpinUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() >= limitMs) loop.quit();
    });
    check.start();
    if (!done()) loop.exec();
    return done();
}

// Runs the event loop for `ms` milliseconds.
inline void SpinFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    SpinUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

inline long long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

// orvanta_os_peer running with `arguments` and its own folder as the last argument; killed and
// reaped at the end of the test if still running.
class PeerProcess {
public:
    explicit PeerProcess(std::vector<std::string> arguments) {
        static int count = 0;
        folder_ =
            testing_support::TestEnvironment::Current().Dir() / ("peer" + std::to_string(++count));
        std::filesystem::create_directories(folder_);
        std::vector<std::string> argv{(testing_support::TestBinDir() / "orvanta_os_peer").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        argv.push_back(folder_.string());
        std::vector<char*> pointers;
        for (std::string& argument : argv) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        if (::posix_spawn(&pid_, pointers[0], nullptr, nullptr, pointers.data(), environ) != 0)
            pid_ = -1;
    }
    ~PeerProcess() { Kill(); }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    pid_t Pid() const { return pid_; }

    // The ready file's text once the peer wrote it; empty when it did not within the limit or
    // ended first.
    std::string WaitReady(int limitMs = 10000) {
        auto start = std::chrono::steady_clock::now();
        while (ElapsedMs(start) < limitMs && pid_ > 0) {
            if (std::filesystem::exists(folder_ / "ready"))
                return testing_support::ReadFile(folder_ / "ready");
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return {};
    }
    HWND WaitWindow() {
        std::string text = WaitReady();
        return text.empty() ? 0 : static_cast<HWND>(std::stoul(text));
    }

    // kill -9 and reap.
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // The exit status once the peer ended within the limit (the event loop runs meanwhile).
    std::optional<int> WaitExit(int limitMs = 5000) {
        std::optional<int> code;
        SpinUntil(
            [&] {
                int status = 0;
                if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
                    code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                    pid_ = -1;
                }
                return code.has_value();
            },
            limitMs);
        return code;
    }

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
};

}  // namespace os_test
