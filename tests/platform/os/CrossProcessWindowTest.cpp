// Message windows between two processes: the helper program's exchange (FindWindow by class,
// the 1524-byte start block, client reports back, quit), and peers that are silent, talk junk or
// died.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/os/MessageFrame.h"
#include "platform/os/MessageWindow.h"
#include "platform/os/Win32Error.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowMessages.h"
#include "tests/platform/os/OsTestSupport.h"
#include "tests/platform/os/PeerMessages.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using os_test::ElapsedMs;
using os_test::PeerProcess;
using os_test::SpinUntil;
using testing_support::ReadFile;
using Clock = std::chrono::steady_clock;

namespace {

void Put32(std::string& block, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<char>(value >> (8 * i));
}

// A start block as the capture session fills it; the bytes it leaves unset carry a pattern here
// (zeros and 0xFF among them) so that any byte out of place shows.
std::string StartBlock(HWND owner) {
    std::string block(1524, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    Put32(block, 4, 0x10016);
    Put32(block, 24, owner);
    Put32(block, 52, 0);
    Put32(block, 72, 8080);
    Put32(block, 76, 0xFFFFFFFF);  // MaxClients -1, sign-extended
    std::memset(&block[364], 0, 260);
    std::strcpy(&block[364], "/tmp/tmp.wmv");
    std::memset(&block[624], 0, 900);
    std::strcpy(&block[624], "http://127.0.0.1/live");
    return block;
}

WindowDirectory Directory() {
    return WindowDirectory(testing_support::TestEnvironment::Current().RuntimeDir());
}

struct SendOutcome {
    BOOL ok = FALSE;
    LRESULT result = 0;
    HRESULT error = S_OK;
    long long ms = 0;
};

SendOutcome Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs) {
    SendOutcome outcome;
    auto start = Clock::now();
    outcome.ok = SendMessageTimeout(window, message, wParam, lParam, timeoutMs, &outcome.result,
                                    &outcome.error);
    outcome.ms = ElapsedMs(start);
    return outcome;
}

SendOutcome SendBlock(HWND window, WPARAM from, ULONG_PTR dwData, const std::string& bytes,
                      UINT timeoutMs = 5000) {
    COPYDATASTRUCT data{dwData, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data())};
    return Send(window, WM_COPYDATA, from, reinterpret_cast<LPARAM>(&data), timeoutMs);
}

}  // namespace

TEST(CrossProcessWindow, StartBlockArrivesByteForByteWithTheReply) {
    PeerProcess helper({"window", "Relayoclass", "Relayo"});
    HWND published = helper.WaitWindow();
    ASSERT_NE(published, 0u);
    HWND found = FindWindow("Relayoclass", nullptr);
    EXPECT_EQ(found, published);

    std::string block = StartBlock(0);
    SendOutcome sent = SendBlock(found, 0, 0x10016, block);
    ASSERT_TRUE(sent.ok) << std::hex << sent.error;
    EXPECT_EQ(sent.result, static_cast<LRESULT>(peer_messages::Fnv1a(block)));
    std::string received = ReadFile(helper.Folder() / "copydata.bin");
    ASSERT_EQ(received.size(), 1524u);
    EXPECT_TRUE(received == block)
        << "first difference at "
        << std::mismatch(block.begin(), block.end(), received.begin()).first - block.begin();
    EXPECT_EQ(ReadFile(helper.Folder() / "copydata.dwData"), "65558");

    // A plain message crosses with both parameters.
    SendOutcome combined = Send(found, peer_messages::kCombine, 12, -3, 5000);
    ASSERT_TRUE(combined.ok);
    EXPECT_EQ(combined.result, 11997);
}

TEST(CrossProcessWindow, BlocksOfAnySizeUpToTheLimitArriveExactly) {
    PeerProcess helper({"window", "SizeClass", ""});
    HWND window = helper.WaitWindow();
    ASSERT_NE(window, 0u);
    for (size_t size :
         {size_t{0}, size_t{1}, size_t{65536 + 123}, size_t{MessageFrame::kMaxPayload}}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
        SendOutcome sent = SendBlock(window, 0, size, bytes);
        ASSERT_TRUE(sent.ok) << size;
        EXPECT_EQ(sent.result, static_cast<LRESULT>(peer_messages::Fnv1a(bytes))) << size;
        EXPECT_TRUE(ReadFile(helper.Folder() / "copydata.bin") == bytes) << size;
    }
    // Over the limit is refused before anything is sent.
    std::string tooBig(MessageFrame::kMaxPayload + 1, 'x');
    SendOutcome refused = SendBlock(window, 0, 1, tooBig);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, E_INVALIDARG);
    SendOutcome noBlock = Send(window, WM_COPYDATA, 0, 0, 1000);
    EXPECT_EQ(noBlock.error, E_INVALIDARG);
}

TEST(CrossProcessWindow, HelperReportsBackWhileTheSenderStillWaits) {
    PeerProcess helper({"window", "Relayoclass", ""});
    HWND helperWindow = helper.WaitWindow();
    ASSERT_NE(helperWindow, 0u);
    std::string report;
    ULONG_PTR reportTag = 0;
    HWND reportFrom = 0;
    bool sendStillRunning = false;
    bool sending = false;
    auto control =
        MessageWindow::Create("ControlClass", "", [&](HWND, UINT message, WPARAM w, LPARAM l) {
            if (message != WM_COPYDATA) return LRESULT{0};
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
            report.assign(static_cast<const char*>(data->lpData), data->cbData);
            reportTag = data->dwData;
            reportFrom = static_cast<HWND>(w);
            sendStillRunning = sending;
            return LRESULT{77};
        });
    ASSERT_TRUE(control);
    std::string block = StartBlock(control->Handle());
    sending = true;
    SendOutcome sent = SendBlock(helperWindow, control->Handle(), 0x10016, block);
    sending = false;
    ASSERT_TRUE(sent.ok) << std::hex << sent.error;
    EXPECT_TRUE(sendStillRunning) << "the report was served inside our SendMessage";
    EXPECT_TRUE(report == block);
    EXPECT_EQ(reportTag, 0x10017u);
    EXPECT_EQ(reportFrom, helperWindow);
    EXPECT_EQ(ReadFile(helper.Folder() / "echo.result"), "77");
    EXPECT_LT(sent.ms, 3000);
}

TEST(CrossProcessWindow, WindowsCallingEachOtherBackDoNotDeadlock) {
    PeerProcess helper({"window", "PeerClass", ""});
    HWND peer = helper.WaitWindow();
    ASSERT_NE(peer, 0u);
    auto mine = MessageWindow::Create("MineClass", "", [](HWND, UINT message, WPARAM, LPARAM l) {
        return message == peer_messages::kCalledBack ? l * 2 : LRESULT{0};
    });
    ASSERT_TRUE(mine);
    for (LPARAM value : {5, 21, -4}) {
        SendOutcome sent = Send(peer, peer_messages::kCallBack, mine->Handle(), value, 5000);
        ASSERT_TRUE(sent.ok) << std::hex << sent.error;
        EXPECT_EQ(sent.result, value * 2 + 1);
        EXPECT_LT(sent.ms, 3000);
    }
}

TEST(CrossProcessWindow, QuitCommandEndsTheHelperAndItsWindow) {
    PeerProcess helper({"window", "Relayoclass", ""});
    HWND window = helper.WaitWindow();
    ASSERT_NE(window, 0u);
    SendOutcome quit = Send(FindWindow("Relayoclass", nullptr), WM_COMMAND, 1, 0, 5000);
    EXPECT_TRUE(quit.ok) << "the reply comes back although the window is gone at once";
    EXPECT_EQ(helper.WaitExit(), std::optional<int>(0));
    EXPECT_FALSE(fs::exists(Directory().SocketPath(window)));
    EXPECT_FALSE(fs::exists(Directory().RecordPath(window)));
    EXPECT_EQ(FindWindow("Relayoclass", nullptr), 0u);

    PeerProcess posted({"window", "Relayoclass", ""});
    ASSERT_NE(posted.WaitWindow(), 0u);
    EXPECT_TRUE(PostMessage(FindWindow("Relayoclass", nullptr), WM_COMMAND, 1, 0));
    EXPECT_EQ(posted.WaitExit(), std::optional<int>(0));
}

TEST(CrossProcessWindow, KilledPeerFailsAtOnceAndItsFilesAreRemoved) {
    PeerProcess helper({"window", "DoomedClass", ""});
    HWND window = helper.WaitWindow();
    ASSERT_NE(window, 0u);
    helper.Kill();
    ASSERT_TRUE(fs::exists(Directory().SocketPath(window))) << "a killed process leaves its socket";
    SendOutcome sent = Send(window, WM_USER, 0, 0, 5000);
    EXPECT_FALSE(sent.ok);
    EXPECT_EQ(sent.error, HResultFromWin32(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(sent.result, 0);
    EXPECT_LT(sent.ms, 1000);
    EXPECT_FALSE(fs::exists(Directory().SocketPath(window)));
    EXPECT_FALSE(fs::exists(Directory().RecordPath(window)));
    EXPECT_FALSE(PostMessage(window, WM_USER));
    EXPECT_FALSE(IsWindow(window));

    // FindWindow skips and removes what a killed process left, and finds the live one.
    PeerProcess dead({"window", "TwinClass", ""});
    HWND deadWindow = dead.WaitWindow();
    os_test::SpinFor(15);
    PeerProcess live({"window", "TwinClass", ""});
    HWND liveWindow = live.WaitWindow();
    os_test::SpinFor(15);
    PeerProcess newest({"window", "TwinClass", ""});
    HWND newestWindow = newest.WaitWindow();
    ASSERT_NE(deadWindow, 0u);
    ASSERT_NE(newestWindow, 0u);
    dead.Kill();
    newest.Kill();
    EXPECT_EQ(FindWindow("TwinClass", nullptr), liveWindow);
    EXPECT_FALSE(fs::exists(Directory().SocketPath(newestWindow)));
    EXPECT_TRUE(fs::exists(Directory().SocketPath(deadWindow)))
        << "older than the live one: not looked at";
    live.Kill();
    EXPECT_EQ(FindWindow("TwinClass", nullptr), 0u);
    EXPECT_TRUE(Directory().List().empty());
}

TEST(CrossProcessWindow, SilentPeerTimesOutAndOwnWindowsAreServedMeanwhile) {
    PeerProcess silent({"silent", "SilentClass"});
    ASSERT_NE(silent.WaitWindow(), 0u);
    HWND window = FindWindow("SilentClass", nullptr);
    ASSERT_NE(window, 0u) << "it accepts connections, so it counts as alive";

    SendOutcome timed = Send(window, WM_USER, 0, 0, 300);
    EXPECT_FALSE(timed.ok);
    EXPECT_EQ(timed.error, HResultFromWin32(ERROR_TIMEOUT));
    EXPECT_GE(timed.ms, 290);
    EXPECT_LT(timed.ms, 2000);

    // While the UI thread waits on the silent peer, a message to one of its windows is answered.
    auto mine =
        MessageWindow::Create("Busy", "", [](HWND, UINT, WPARAM, LPARAM l) { return l + 1; });
    std::atomic<LRESULT> answer{0};
    std::atomic<long long> answerMs{-1};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        auto start = Clock::now();
        answer = SendMessage(mine->Handle(), WM_USER, 0, 41);
        answerMs = ElapsedMs(start);
    });
    SendOutcome waited = Send(window, WM_USER, 0, 0, 1500);
    other.join();
    EXPECT_FALSE(waited.ok);
    EXPECT_EQ(answer.load(), 42);
    EXPECT_LT(answerMs.load(), 1000);

    // The plain SendMessage gives up after its default time-out.
    auto start = Clock::now();
    EXPECT_EQ(SendMessage(window, WM_USER, 0, 0), 0);
    long long ms = ElapsedMs(start);
    EXPECT_GE(ms, kDefaultSendTimeoutMs - 10);
    EXPECT_LT(ms, kDefaultSendTimeoutMs + 3000);
}

TEST(CrossProcessWindow, JunkReplyIsAFailureNotAResult) {
    PeerProcess garbage({"garbage", "GarbageClass"});
    HWND window = garbage.WaitWindow();
    ASSERT_NE(window, 0u);
    SendOutcome sent = Send(window, WM_USER, 0, 0, 3000);
    EXPECT_FALSE(sent.ok);
    EXPECT_EQ(sent.error, E_FAIL);
    EXPECT_EQ(sent.result, 0);
    EXPECT_LT(sent.ms, 2000);
}
