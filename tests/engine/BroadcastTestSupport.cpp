#include "tests/engine/BroadcastTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/com/ClassRegistry.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace broadcast_test {

BackgroundCommand::BackgroundCommand(std::string command, int seconds)
    : thread_([this, command = std::move(command), seconds] {
          result_ = mmsh_test::Run(command, seconds);
          done_ = true;
      }) {}

BackgroundCommand::~BackgroundCommand() {
    // Run() kills the command at its time-out, so this join is bounded.
    if (thread_.joinable()) thread_.join();
}

std::vector<pid_t> OurHelperProcesses() {
    const std::filesystem::path program = std::filesystem::weakly_canonical(testing_support::DistDir() / "Relayo");
    const std::string runtime =
        "ORVANTA_RUNTIME_DIR=" + testing_support::TestEnvironment::Current().RuntimeDir().string();
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code linkError;
        if (std::filesystem::read_symlink(entry.path() / "exe", linkError) != program) continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        std::string variables((std::istreambuf_iterator<char>(environ)), {});
        size_t begin = 0;
        while (begin < variables.size()) {
            size_t end = variables.find('\0', begin);
            if (end == std::string::npos) end = variables.size();
            if (variables.compare(begin, end - begin, runtime) == 0) {
                pids.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
            begin = end + 1;
        }
    }
    return pids;
}

void BroadcastSessionTest::SetUp() {
    SessionTest::SetUp();
    // tmp.wmv goes to this test's own folder.
    tempDir = testing_support::TestEnvironment::Current().Dir() / "temp";
    std::filesystem::create_directories(tempDir);
    if (const char* old = std::getenv("TMPDIR")) oldTmpDir_ = old;
    setenv("TMPDIR", tempDir.c_str(), 1);
    ownerWindow_ = MessageWindow::Create("OrvantaTestControl", "", [this](HWND, UINT message, WPARAM, LPARAM lParam) {
        if (message != WM_COPYDATA) return LRESULT{0};
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::span<const uint8_t> bytes(static_cast<const uint8_t*>(copy->lpData), copy->cbData);
        std::optional<ClientReport> report = ParseClientReport(copy->dwData, bytes);
        std::lock_guard lock(mutex_);
        if (report)
            reports_.push_back(*report);
        else
            ++others_;
        return LRESULT{1};
    });
    ASSERT_TRUE(ownerWindow_);
    ASSERT_EQ(FindWindow("Relayoclass", nullptr), HWND_NONE) << "a helper of another test is still running";
    port = FreeLoopbackPort();
}

void BroadcastSessionTest::TearDown() {
    SessionTest::TearDown();
    // As the control's destruction does; then make sure nothing of ours outlives the test.
    CCaptureSession::AskHelperToQuit();
    bool gone = PumpUntil([] { return OurHelperProcesses().empty(); }, 5000);
    EXPECT_TRUE(gone) << "the helper did not quit on WM_COMMAND 1";
    for (pid_t pid : OurHelperProcesses()) ::kill(pid, SIGKILL);
    // The test's folder goes away with it; later cases of this process need a real TMPDIR.
    if (oldTmpDir_)
        setenv("TMPDIR", oldTmpDir_->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

void BroadcastSessionTest::BroadcastWith(const std::string& profile, int16_t clients) {
    session.moduleFolder = testing_support::DistDir().string() + "/";
    session.broadcast = true;
    session.broadcastPort = static_cast<int16_t>(port);
    session.maxClients = clients;
    session.ownerWindow = ownerWindow_->Handle();
    session.outputType = 1;
    session.wmvCustomFileName = ShippedProfile(profile).string();
}

bool BroadcastSessionTest::StartBroadcast() {
    CCaptureSession::AskHelperToQuit();
    return Start(kCamera, kMicrophone);
}

bool BroadcastSessionTest::WaitServing(int limitMs) {
    return PumpUntil(
        [&] {
            mmsh_test::RawResponse r =
                mmsh_test::Fetch(port, mmsh_test::DescribeRequest(), SIZE_MAX, std::chrono::milliseconds(300));
            return r.status == 200;
        },
        limitMs);
}

void BroadcastSessionTest::PumpUntilDone(const BackgroundCommand& command, int seconds) {
    PumpUntil([&] { return command.Done(); }, (seconds + 5) * 1000);
}

long BroadcastSessionTest::DroppedFrames() {
    IGraphBuilder* graph = session.Graph();
    if (!graph) return -1;
    ComPtr<ICaptureGraphBuilder2> builder;
    if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder))) return -1;
    builder->SetFiltergraph(graph);
    ComPtr<IBaseFilter> device;
    if (FAILED(graph->FindFilterByName(kCamera.c_str(), device.ReleaseAndGetAddressOf())) || !device) return -1;
    ComPtr<IAMDroppedFrames> dropped;
    builder->FindInterface(nullptr, &MEDIATYPE_Video, device.Get(), IAMDroppedFrames::iid,
                           dropped.ReleaseAndGetVoidAddress());
    if (!dropped) return -1;
    LONG count = -1;
    if (FAILED(dropped->GetNumDropped(&count))) return -1;
    return count;
}

}  // namespace broadcast_test
