#pragma once
// A broadcasting session as a real run has one: the capture session starts the Relayo program
// of the program folder itself, a message window stands for the control's window and keeps the
// client reports the helper sends it, and players are FFmpeg's tools on loopback. Shared by the
// end-to-end broadcast tests and the long load test fed by a real capture.
#include <dirent.h>
#include <signal.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "engine/HelperBlocks.h"
#include "platform/os/MessageWindow.h"
#include "platform/os/WindowMessages.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/support/Loopback.h"

namespace broadcast_test {

using namespace session_test;

inline std::filesystem::path ShippedProfile(const std::string& name) {
    return testing_support::SourceDir() / "data" / "WMVFiles" / name;
}

inline std::string Url(uint16_t port) { return "mmsh://127.0.0.1:" + std::to_string(port) + "/"; }

using testing_support::FreeLoopbackPort;

// Runs a bounded command on its own thread while the caller keeps the event loop turning (the
// helper's reports reach the owner window through it).
class BackgroundCommand {
public:
    BackgroundCommand(std::string command, int seconds);
    ~BackgroundCommand();
    bool Done() const { return done_; }
    // Valid once Done().
    const mmsh_test::CommandResult& Result() const { return result_; }

private:
    std::thread thread_;
    std::atomic<bool> done_ = false;
    mmsh_test::CommandResult result_;
};

// Pids of the Relayo processes of the program folder that run with this test's runtime folder:
// those the session under test started, and no one else's.
std::vector<pid_t> OurHelperProcesses();

class BroadcastSessionTest : public SessionTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Broadcast on at `port` with `clients` players and a shipped custom profile; the session
    // knows the program folder, so its start launches the real helper.
    void BroadcastWith(const std::string& profile, int16_t clients = 3);
    // The control's order: ask a running helper to quit, then start the session.
    bool StartBroadcast();
    // Pumps until a Describe of the stream is answered with 200.
    bool WaitServing(int limitMs = 15000);
    // Runs the event loop until the command finished (bounded by its own time-out + 5 s).
    void PumpUntilDone(const BackgroundCommand& command, int seconds);

    // The reports that reached the owner window, in order.
    std::vector<ClientReport> Reports() const {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    // The WM_COPYDATA messages of another kind that reached the owner window.
    int Others() const { return others_; }
    // The dropped-frame count of the capture device, -1 when the graph has none to ask.
    long DroppedFrames();

    uint16_t port = 0;
    std::filesystem::path tempDir;

private:
    std::unique_ptr<MessageWindow> ownerWindow_;
    std::optional<std::string> oldTmpDir_;
    mutable std::mutex mutex_;
    std::vector<ClientReport> reports_;
    int others_ = 0;
};

}  // namespace broadcast_test
