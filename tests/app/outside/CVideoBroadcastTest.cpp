// The program's wrapper driving the real broadcaster from the program's system folder: its
// typed calls reach the right members, its events arrive at the right handlers in order.
#include "app/outside/CVideoBroadcast.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <future>

#include "platform/os/EventWait.h"
#include "tests/support/Loopback.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ModuleRegistration.h"

using namespace std::chrono_literals;

namespace {

// Reads an HTTP answer from 127.0.0.1:port until the server closes or the limit passes.
std::string HttpGet(uint16_t port, std::chrono::milliseconds limit) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string received;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET / HTTP/1.0\r\nUser-Agent: test\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            auto end = std::chrono::steady_clock::now() + limit;
            char buffer[4096];
            while (std::chrono::steady_clock::now() < end) {
                ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n == 0) break;
                if (n > 0) received.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    ::close(fd);
    return received;
}

class CVideoBroadcastTest : public testing::Test {
protected:
    void Register() {
        ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "system" / "Airlume.so"), "");
    }
    CVideoBroadcast::Events Recording() {
        CVideoBroadcast::Events e;
        e.fileFinished = [this] { seen_.push_back("finished"); };
        e.ready = [this] { seen_.push_back("ready"); };
        e.broadcasting = [this] { seen_.push_back("broadcasting"); };
        e.error = [this] { seen_.push_back("error"); };
        e.clientsChanged = [this](int16_t n) {
            seen_.push_back("clients " + std::to_string(n));
            if (n > 0) firstClient_ = broadcast_.GetClientText(0);
        };
        return e;
    }
    bool Spin(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        return RunEventsUntil(done, static_cast<int>(limit.count()));
    }

    QWidget window_;
    CVideoBroadcast broadcast_;
    std::vector<std::string> seen_;
    std::string firstClient_;
};

}  // namespace

TEST_F(CVideoBroadcastTest, WithoutTheBroadcasterEveryCallFailsPlainly) {
    EXPECT_FALSE(broadcast_.IsCreated());
    EXPECT_EQ(broadcast_.SetPort(8080), E_POINTER);
    EXPECT_FALSE(broadcast_.StartBroadcast());
    EXPECT_EQ(broadcast_.GetClientText(0), "");
    // Not registered in this test's registry.
    EXPECT_TRUE(FAILED(broadcast_.Create(&window_, Recording())));
    EXPECT_FALSE(broadcast_.IsCreated());
}

TEST_F(CVideoBroadcastTest, StreamsAFileAndReportsItsLifeThroughTheHandlers) {
    Register();
    ASSERT_EQ(broadcast_.Create(&window_, Recording()), S_OK);
    std::filesystem::path song = testing_support::TestEnvironment::Current().Dir() / "song.mp3";
    ASSERT_TRUE(testing_support::CommandOutput("ffmpeg -nostdin -v error -f lavfi -i sine=sample_rate=44100 -t 1.5 "
                                               "-c:a libmp3lame -b:a 128k -y '" + song.string() + "' && echo made")
                    .starts_with("made"));
    const uint16_t port = testing_support::FreeLoopbackPort();

    // A missing file: refused, and said so through the error handler.
    ASSERT_EQ(broadcast_.SetFileName((song.parent_path() / "missing.mp3").string()), S_OK);
    ASSERT_EQ(broadcast_.SetPort(static_cast<int16_t>(port)), S_OK);
    ASSERT_EQ(broadcast_.SetMaxClients(1), S_OK);
    EXPECT_FALSE(broadcast_.StartBroadcast());
    ASSERT_TRUE(Spin([&] { return !seen_.empty(); }, 2s));
    EXPECT_EQ(seen_, std::vector<std::string>{"error"});

    seen_.clear();
    ASSERT_EQ(broadcast_.SetFileName(song.string()), S_OK);
    ASSERT_TRUE(broadcast_.StartBroadcast());
    auto heard = std::async(std::launch::async, [port] { return HttpGet(port, 10s); });
    ASSERT_TRUE(Spin([&] { return std::find(seen_.begin(), seen_.end(), "finished") != seen_.end(); }, 10s));
    EXPECT_EQ(broadcast_.StopBroadcast(), S_OK);
    ASSERT_TRUE(Spin([&] { return seen_.back() == "clients 0"; }, 2s));
    std::string answer = heard.get();
    EXPECT_NE(answer.find("Content-Type: audio/mpeg"), std::string::npos);
    EXPECT_GT(answer.size(), 20000u);  // 1.5 s at 128 kbit/s, less the head

    EXPECT_EQ(seen_, (std::vector<std::string>{"ready", "broadcasting", "clients 1", "finished", "clients 0"}));
    EXPECT_EQ(firstClient_, "127.0.0.1");
}
