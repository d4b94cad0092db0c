#pragma once
// The Relayo program under test: started as the capture session starts it, found by its window
// class, fed start blocks, with a window of ours that records the client reports it sends back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/contracts/PublishFailureReport.h"
#include "platform/os/MessageWindow.h"
#include "platform/os/WindowMessages.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/platform/os/OsTestSupport.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/Loopback.h"

extern char** environ;

namespace relayo_test {

using namespace std::chrono_literals;
using os_test::SpinUntil;

inline void Put32(std::vector<uint8_t>& block, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline std::vector<uint8_t> StartBlock(HWND owner, uint16_t port, int clients,
                                       const std::string& file, const std::string& address = "") {
    std::vector<uint8_t> block(1524, 0);
    Put32(block, 4, 0x10016);
    Put32(block, 24, owner);
    Put32(block, 72, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(port))));
    Put32(block, 76, static_cast<uint32_t>(clients));
    std::memcpy(&block[364], file.data(), file.size());
    std::memcpy(&block[624], address.data(), address.size());
    return block;
}

using testing_support::FreeLoopbackPort;

inline bool CanBind(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::listen(fd, 1) == 0;
    ::close(fd);
    return ok;
}

struct Report {
    ULONG_PTR tag = 0;
    HWND from = 0;
    std::vector<uint8_t> bytes;
    int Count() const { return bytes.size() >= 54 ? bytes[52] | bytes[53] << 8 : -1; }
    std::string Text() const {
        if (bytes.size() <= 936) return {};
        auto begin = bytes.begin() + 936;
        return std::string(begin, std::find(begin, bytes.end(), 0));
    }
};

class RelayoProcessTest : public testing::Test {
protected:
    void SetUp() override { Start(testing_support::DistDir() / "Relayo"); }

    void Start(const std::filesystem::path& file) {
        std::string program = file.string();
        std::string argv0 = "MyChildProcess";
        char* argv[] = {argv0.data(), nullptr};
        ASSERT_EQ(::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ), 0);
        ASSERT_TRUE(
            SpinUntil([&] { return (helper_ = FindWindow("Relayoclass", nullptr)) != 0; }, 10000))
            << "Relayo opened no window";
        control_ = MessageWindow::Create(
            "RelayoTestControl", "", [this](HWND, UINT message, WPARAM w, LPARAM l) {
                if (message != WM_COPYDATA) return LRESULT{0};
                const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
                const auto* bytes = static_cast<const uint8_t*>(data->lpData);
                std::lock_guard lock(mutex_);
                reports_.push_back(
                    {data->dwData, static_cast<HWND>(w), {bytes, bytes + data->cbData}});
                return LRESULT{1};
            });
        ASSERT_TRUE(control_);
    }

    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        writer_.reset();
    }

    std::filesystem::path Dir() const { return testing_support::TestEnvironment::Current().Dir(); }

    void StartWriter(int seconds) {
        file_ = Dir() / "tmp.wmv";
        writer_ = std::make_unique<mmsh_test::LiveAsfWriter>(file_, seconds);
    }

    // What the helper's procedure answered, or -1 when the message did not get through.
    LRESULT Send(const std::vector<uint8_t>& block, ULONG_PTR tag = 0x10016) {
        COPYDATASTRUCT data{tag, static_cast<DWORD>(block.size()),
                            const_cast<uint8_t*>(block.data())};
        LRESULT result = 0;
        if (!SendMessageTimeout(helper_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), 5000,
                                &result))
            return -1;
        return result;
    }

    std::vector<Report> Reports() {
        std::lock_guard lock(mutex_);
        return reports_;
    }

    // The newest publishing failure the helper reported, waiting up to `limitMs` for one.
    std::optional<PublishFailure> WaitPublishFailure(int limitMs) {
        std::optional<PublishFailure> failure;
        SpinUntil(
            [&] {
                for (const Report& r : Reports())
                    if (auto parsed = ParsePublishFailureReport(r.bytes)) failure = parsed;
                return failure.has_value();
            },
            limitMs);
        return failure;
    }

    // Waits for the header to be served: a Describe answered with 200.
    bool WaitServing(uint16_t port) {
        return SpinUntil(
            [&] {
                mmsh_test::RawResponse r =
                    mmsh_test::Fetch(port, mmsh_test::DescribeRequest(), SIZE_MAX, 500ms);
                return r.status == 200;
            },
            15000);
    }

    std::optional<int> WaitExit(int limitMs) {
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

    pid_t pid_ = -1;
    HWND helper_ = 0;
    std::unique_ptr<MessageWindow> control_;
    std::mutex mutex_;
    std::vector<Report> reports_;
    std::filesystem::path file_;
    std::unique_ptr<mmsh_test::LiveAsfWriter> writer_;
};

// Resident memory of a process in KiB, 0 when it cannot be read.
inline long RssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

inline std::string Url(uint16_t port) {
    return "mmsh://127.0.0.1:" + std::to_string(port) + "/";
}

}  // namespace relayo_test
