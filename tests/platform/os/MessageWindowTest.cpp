// Message windows within one process: direct and queued delivery, destruction, timers, other
// threads, and what a misbehaving client can and cannot do to a window.
#include "platform/os/MessageWindow.h"

#include <poll.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "platform/os/MessageFrame.h"
#include "platform/os/UnixSocket.h"
#include "platform/os/Win32Error.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowMessages.h"
#include "tests/platform/os/OsTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using os_test::SpinFor;
using os_test::SpinUntil;
using testing::ElementsAre;

namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received&) const = default;
};

// A window that records every message and answers lParam + 1.
class Recorder {
public:
    explicit Recorder(std::string className = "RecorderClass", std::string title = "") {
        window_ = MessageWindow::Create(
            className, title, [this](HWND window, UINT message, WPARAM w, LPARAM l) {
                messages.push_back({window, message, w, l});
                if (onMessage) return onMessage(window, message, w, l);
                return message == WM_CLOSE ? DefWindowProc(window, message, w, l) : l + 1;
            });
    }
    ~Recorder() {
        onMessage = nullptr;  // it may capture locals of the test that are gone by now
        window_.reset();
    }
    HWND Handle() const { return window_ ? window_->Handle() : 0; }
    MessageWindow* Window() { return window_.get(); }
    void Drop() { window_.reset(); }
    std::vector<UINT> Messages() const {
        std::vector<UINT> out;
        for (const Received& r : messages) out.push_back(r.message);
        return out;
    }

    std::vector<Received> messages;
    std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> onMessage;

private:
    std::unique_ptr<MessageWindow> window_;
};

WindowDirectory Directory() {
    return WindowDirectory(testing_support::TestEnvironment::Current().RuntimeDir());
}

}  // namespace

TEST(MessageWindow, SendToOwnWindowCallsTheProcedureAtOnce) {
    Recorder recorder;
    ASSERT_NE(recorder.Handle(), 0u);
    EXPECT_EQ(SendMessage(recorder.Handle(), WM_USER + 5, 7, 41), 42);
    EXPECT_THAT(recorder.messages, ElementsAre(Received{recorder.Handle(), WM_USER + 5, 7, 41}));

    // WM_COPYDATA within the process hands the very block over.
    char bytes[] = "start block";
    COPYDATASTRUCT data{0x10016, sizeof bytes, bytes};
    const void* seen = nullptr;
    recorder.onMessage = [&](HWND, UINT message, WPARAM, LPARAM l) {
        if (message == WM_COPYDATA) seen = reinterpret_cast<const COPYDATASTRUCT*>(l)->lpData;
        return LRESULT{9};
    };
    EXPECT_EQ(SendMessage(recorder.Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 9);
    EXPECT_EQ(seen, bytes);
}

TEST(MessageWindow, PostedMessagesArriveFromTheEventLoopInOrder) {
    Recorder recorder;
    ASSERT_TRUE(PostMessage(recorder.Handle(), WM_USER, 1, 10));
    ASSERT_TRUE(PostMessage(recorder.Handle(), WM_COMMAND, 1, 0));
    EXPECT_TRUE(recorder.messages.empty()) << "nothing is delivered inside PostMessage";
    ASSERT_TRUE(SpinUntil([&] { return recorder.messages.size() == 2; }));
    EXPECT_THAT(recorder.Messages(), ElementsAre(WM_USER, WM_COMMAND));
    EXPECT_EQ(recorder.messages[0].lParam, 10);

    HRESULT error = S_OK;
    char byte = 0;
    COPYDATASTRUCT data{1, 1, &byte};
    EXPECT_FALSE(
        PostMessage(recorder.Handle(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), &error));
    EXPECT_EQ(error, HResultFromWin32(ERROR_MESSAGE_SYNC_ONLY));
}

TEST(MessageWindow, PostedMessageToAWindowDestroyedMeanwhileIsDropped) {
    Recorder recorder;
    ASSERT_TRUE(PostMessage(recorder.Handle(), WM_USER, 0, 0));
    recorder.Drop();
    SpinFor(50);
    EXPECT_THAT(recorder.Messages(), ElementsAre(WM_DESTROY));
}

TEST(MessageWindow, DestroyingSendsWmDestroyAndUnpublishes) {
    Recorder recorder("Destroyable", "title");
    HWND handle = recorder.Handle();
    WindowDirectory directory = Directory();
    EXPECT_TRUE(fs::exists(directory.SocketPath(handle)));
    EXPECT_TRUE(recorder.Window()->IsAlive());
    EXPECT_TRUE(IsWindow(handle));

    // DefWindowProc destroys on WM_CLOSE; the object outlives its window.
    EXPECT_EQ(SendMessage(handle, WM_CLOSE), 0);
    EXPECT_THAT(recorder.Messages(), ElementsAre(WM_CLOSE, WM_DESTROY));
    EXPECT_FALSE(recorder.Window()->IsAlive());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_FALSE(fs::exists(directory.SocketPath(handle)));
    EXPECT_FALSE(fs::exists(directory.RecordPath(handle)));
    EXPECT_EQ(FindWindow("Destroyable", nullptr), 0u);

    HRESULT error = S_OK;
    LRESULT result = 5;
    EXPECT_FALSE(SendMessageTimeout(handle, WM_USER, 0, 0, 500, &result, &error));
    EXPECT_EQ(error, HResultFromWin32(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(result, 0);
    recorder.Drop();
    EXPECT_THAT(recorder.Messages(), ElementsAre(WM_CLOSE, WM_DESTROY)) << "no second WM_DESTROY";
}

TEST(MessageWindow, ProcedureMayDestroyItsOwnWindowAndKeepRunning) {
    std::unique_ptr<MessageWindow> owner;
    int calls = 0;
    std::string captured = "still here";
    std::string seenAfter;
    owner = MessageWindow::Create(
        "SelfDestroying", "", [&, captured](HWND, UINT message, WPARAM, LPARAM) {
            ++calls;
            if (message != WM_COMMAND) return LRESULT{0};
            owner.reset();         // the window and its object go away inside their own procedure
            seenAfter = captured;  // the procedure's own state is still there
            return LRESULT{3};
        });
    HWND handle = owner->Handle();
    EXPECT_EQ(SendMessage(handle, WM_COMMAND, 1, 0), 3);
    EXPECT_EQ(seenAfter, "still here");
    EXPECT_EQ(calls, 2) << "WM_COMMAND, then WM_DESTROY from within it";
    EXPECT_FALSE(IsWindow(handle));
    SpinFor(20);  // deferred clean-up runs without touching freed memory (ASan watches)
}

TEST(MessageWindow, FindWindowMatchesClassAndTitleWithoutCase) {
    Recorder first("RelayoClass", "First");
    os_test::SpinFor(15);  // distinct modification times
    Recorder second("Relayoclass", "Second");
    Recorder other("Otherclass", "First");
    EXPECT_EQ(FindWindow("relayoclass", nullptr), second.Handle()) << "newest first";
    EXPECT_EQ(FindWindow("RELAYOCLASS", "first"), first.Handle());
    EXPECT_EQ(FindWindow(nullptr, "First"), other.Handle());
    EXPECT_EQ(FindWindow("Relayoclass", ""), 0u);
    EXPECT_EQ(FindWindow("Missing", nullptr), 0u);

    ASSERT_TRUE(SetWindowText(first.Handle(), "Renamed"));
    EXPECT_EQ(FindWindow("Relayoclass", "Renamed"), first.Handle());
    EXPECT_EQ(FindWindow("Relayoclass", "First"), 0u);
}

TEST(MessageWindow, CreationRefusesBadNamesAndOtherThreads) {
    HRESULT hr = S_OK;
    EXPECT_EQ(MessageWindow::Create("", "", {}, &hr), nullptr);
    EXPECT_EQ(hr, E_INVALIDARG);
    EXPECT_EQ(MessageWindow::Create(std::string(257, 'c'), "", {}, &hr), nullptr);
    EXPECT_EQ(hr, E_INVALIDARG);
    std::thread([&] { EXPECT_EQ(MessageWindow::Create("Worker", "", {}, &hr), nullptr); }).join();
    EXPECT_EQ(hr, RPC_E_WRONG_THREAD);
}

TEST(MessageWindow, HandlesAreDistinct) {
    std::vector<std::unique_ptr<MessageWindow>> windows;
    std::set<HWND> handles;
    for (int i = 0; i < 40; ++i) {
        windows.push_back(MessageWindow::Create("Many", "", {}));
        ASSERT_TRUE(windows.back());
        HWND handle = windows.back()->Handle();
        EXPECT_GE(handle, 0x10000u);
        EXPECT_LE(handle, 0x7FFFFFFFu);
        handles.insert(handle);
    }
    EXPECT_EQ(handles.size(), windows.size());
}

TEST(MessageWindow, OtherThreadsSendThroughTheSocketToTheUiThread) {
    Recorder recorder;
    HWND handle = recorder.Handle();
    Qt::HANDLE uiThread = QThread::currentThreadId();
    Qt::HANDLE ranOn = nullptr;
    std::vector<uint8_t> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    std::vector<uint8_t> got;
    recorder.onMessage = [&](HWND, UINT message, WPARAM, LPARAM l) {
        ranOn = QThread::currentThreadId();
        if (message == WM_COPYDATA) {
            auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
            got.assign(static_cast<const uint8_t*>(data->lpData),
                       static_cast<const uint8_t*>(data->lpData) + data->cbData);
            return static_cast<LRESULT>(data->dwData);
        }
        return l * 2;
    };
    std::atomic<bool> done{false};
    LRESULT plain = 0, copied = 0;
    BOOL posted = FALSE;
    std::thread worker([&] {
        plain = SendMessage(handle, WM_USER, 0, 21);
        COPYDATASTRUCT data{0xABCDEF, static_cast<DWORD>(bytes.size()), bytes.data()};
        copied = SendMessage(handle, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        posted = PostMessage(handle, WM_USER + 1, 0, 0);
        done = true;
    });
    EXPECT_TRUE(SpinUntil([&] { return done.load() && recorder.messages.size() == 3; }));
    worker.join();
    EXPECT_EQ(plain, 42);
    EXPECT_EQ(copied, 0xABCDEF);
    EXPECT_TRUE(posted);
    EXPECT_EQ(got, bytes) << "70000 bytes, each in place";
    EXPECT_EQ(ranOn, uiThread);
}

TEST(MessageWindow, MalformedFramesAreDroppedAndTheWindowStaysUsable) {
    Recorder recorder;
    HWND handle = recorder.Handle();
    fs::path socketPath = Directory().SocketPath(handle);
    auto closedByWindow = [&](std::vector<uint8_t> bytes) {
        std::atomic<int> outcome{0};  // 1: the window hung up, 2: it answered or kept silent
        std::thread client([&] {
            UnixSocket socket;
            if (UnixSocket::Connect(socketPath, socket) != 0) return;
            socket.Send(bytes.data(), bytes.size());
            pollfd fd{socket.Fd(), POLLIN, 0};
            char reply[64];
            // Hung up: end of stream, or a reset when it left our extra bytes unread.
            outcome = ::poll(&fd, 1, 3000) == 1 && socket.Receive(reply, sizeof reply) <= 0 ? 1 : 2;
        });
        SpinUntil([&] { return outcome.load() != 0; });
        client.join();
        return outcome.load() == 1;
    };
    std::vector<uint8_t> junk(64, 0xAB);
    EXPECT_TRUE(closedByWindow(junk));

    MessageFrame oversized;
    oversized.kind = FrameKind::Send;
    oversized.target = handle;
    oversized.message = WM_COPYDATA;
    oversized.payloadSize = MessageFrame::kMaxPayload + 1;
    auto header = oversized.Encode();
    EXPECT_TRUE(closedByWindow({header.begin(), header.end()}));

    MessageFrame elsewhere = oversized;
    elsewhere.payloadSize = 0;
    elsewhere.target = handle + 1;
    header = elsewhere.Encode();
    EXPECT_TRUE(closedByWindow({header.begin(), header.end()}));

    MessageFrame reply = elsewhere;
    reply.kind = FrameKind::Reply;
    reply.target = handle;
    header = reply.Encode();
    EXPECT_TRUE(closedByWindow({header.begin(), header.end()}));

    EXPECT_TRUE(recorder.messages.empty()) << "nothing of it reached the procedure";
    std::atomic<LRESULT> answer{0};
    std::thread sender([&] { answer = SendMessage(handle, WM_USER, 0, 1); });
    SpinUntil([&] { return answer.load() != 0; });
    sender.join();
    EXPECT_EQ(answer.load(), 2);
}

TEST(MessageWindow, TimersDeliverWmTimerUntilKilled) {
    Recorder recorder;
    HWND handle = recorder.Handle();
    EXPECT_EQ(SetTimer(handle, 7, 15), 7u);
    EXPECT_EQ(SetTimer(handle, 8, 15), 8u);
    ASSERT_TRUE(SpinUntil([&] {
        auto ticks =
            std::count_if(recorder.messages.begin(), recorder.messages.end(),
                          [](const Received& r) { return r.message == WM_TIMER && r.wParam == 7; });
        return ticks >= 3;
    }));
    EXPECT_TRUE(
        std::any_of(recorder.messages.begin(), recorder.messages.end(),
                    [](const Received& r) { return r.message == WM_TIMER && r.wParam == 8; }));
    EXPECT_TRUE(KillTimer(handle, 7));
    EXPECT_TRUE(KillTimer(handle, 8));
    EXPECT_FALSE(KillTimer(handle, 7));
    recorder.messages.clear();
    SpinFor(80);
    EXPECT_TRUE(recorder.messages.empty());

    EXPECT_EQ(SetTimer(handle, 0, 10), 0u);
    EXPECT_EQ(SetTimer(0x1234, 1, 10), 0u) << "no such window";
    std::thread([&] { EXPECT_EQ(SetTimer(handle, 9, 10), 0u) << "not the UI thread"; }).join();
}

TEST(MessageWindow, TimerMayBeKilledOrItsWindowDestroyedFromWmTimer) {
    Recorder once;
    int onceTicks = 0;
    once.onMessage = [&](HWND window, UINT message, WPARAM id, LPARAM) {
        if (message == WM_TIMER) {
            ++onceTicks;
            KillTimer(window, id);
        }
        return LRESULT{0};
    };
    SetTimer(once.Handle(), 1, 10);
    SpinUntil([&] { return onceTicks > 0; });
    SpinFor(60);
    EXPECT_EQ(onceTicks, 1);

    std::unique_ptr<MessageWindow> doomed;
    doomed = MessageWindow::Create("Doomed", "", [&](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_TIMER) doomed.reset();  // deletes the window whose timer is firing
        return LRESULT{0};
    });
    HWND handle = doomed->Handle();
    SetTimer(handle, 1, 10);
    EXPECT_TRUE(SpinUntil([&] { return doomed == nullptr; }));
    SpinFor(30);
    EXPECT_FALSE(IsWindow(handle));
}

TEST(MessageWindow, RestartingATimerReplacesIt) {
    Recorder recorder;
    HWND handle = recorder.Handle();
    SetTimer(handle, 1, 10000);
    SetTimer(handle, 1, 10);
    EXPECT_TRUE(SpinUntil([&] { return !recorder.messages.empty(); }, 2000));
    recorder.Drop();  // destruction kills the timer
    size_t seen = recorder.messages.size();
    SpinFor(50);
    EXPECT_EQ(recorder.messages.size(), seen);
}
