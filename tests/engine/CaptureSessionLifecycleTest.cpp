// Starting, pausing, resuming and stopping the session; device discovery and binding by name;
// the helper program; many start/stop cycles.
#include <fstream>

#include "platform/os/MessageWindow.h"
#include "platform/os/WindowMessages.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/platform/dshow/AviProbe.h"

using namespace session_test;

namespace {
class SessionLifecycle : public SessionTest {
protected:
    OAFilterState State() {
        OAFilterState state = -1;
        if (auto control = QueryAs<IMediaControl>(session.Graph())) control->GetState(1000, &state);
        return state;
    }
    // A device list of exactly these devices for this test's process.
    void UseDevices(const std::string& json) {
        auto path = TestFile("devices.json");
        std::ofstream(path) << json;
        setenv("ORVANTA_DEVICES", path.c_str(), 1);
    }
};
}  // namespace

TEST_F(SessionLifecycle, IdleSessionAnswersStopPauseAndResumeWithTheirIdleResults) {
    EXPECT_EQ(session.StopSession(), 1);
    EXPECT_EQ(session.PauseCapture(), E_FAIL);
    EXPECT_EQ(session.ResumeCapture(), E_POINTER);
    EXPECT_FALSE(session.Graph());
}

TEST_F(SessionLifecycle, PauseBlocksTheCaptureStreamsAndResumeRunsAgain) {
    session.captureMode = true;
    session.captureAudio = false;
    session.captureFileName = TestFile("paused.avi").string();
    ASSERT_TRUE(Start(kCamera));
    EXPECT_EQ(State(), State_Running);
    EXPECT_EQ(session.ResumeCapture(), 1);  // already running

    EXPECT_EQ(session.PauseCapture(), S_OK);
    EXPECT_EQ(State(), State_Paused);
    EXPECT_EQ(session.ResumeCapture(), S_OK);
    EXPECT_EQ(State(), State_Running);
    Pump(400);
    EXPECT_EQ(session.StopSession(), S_OK);
    EXPECT_FALSE(session.Graph());
    EXPECT_TRUE(dshow_test::IsCompleteAvi(TestFile("paused.avi")));
    EXPECT_EQ(session.StopSession(), 1);
}

TEST_F(SessionLifecycle, StartWhileRunningEmptiesTheOldGraphAndBuildsANewOne) {
    ASSERT_TRUE(Start(kCamera));
    ComPtr<IGraphBuilder> first = session.Graph();
    ComPtr<ISampleGrabber> grabber = session.Grabber();
    ASSERT_FALSE(FilterNames(first.Get()).empty());
    ASSERT_TRUE(Start(kCard));
    EXPECT_NE(session.Graph(), first.Get());
    EXPECT_TRUE(FilterNames(first.Get()).empty());
    // The grabber survives and joins the new graph.
    EXPECT_EQ(session.Grabber(), grabber.Get());
    EXPECT_TRUE(HasFilter(session.Graph(), "Grabber"));
    EXPECT_TRUE(HasFilter(session.Graph(), kCard));
    EXPECT_FALSE(HasFilter(session.Graph(), kCamera));
}

TEST_F(SessionLifecycle, UnknownDeviceNameStillBuildsAGraphWithoutTheDevice) {
    EXPECT_TRUE(Start("No Such Camera"));
    EXPECT_FALSE(HasFilter(session.Graph(), "No Such Camera"));
    // A compressor name that matches nothing keeps the one stored earlier.
    session.videoCompressorName = "Motion JPEG";
    EXPECT_TRUE(Start(kCamera, "", "No Such Codec"));
    EXPECT_EQ(session.videoCompressorName, "Motion JPEG");
}

TEST_F(SessionLifecycle, ACompressorNameThatNoLongerBindsFailsACaptureStart) {
    session.videoCompressorName = "Gone Codec";
    session.captureMode = true;
    session.useVideoCompressor = true;
    session.captureAudio = false;
    session.captureFileName = TestFile("gone.avi").string();
    EXPECT_FALSE(Start(kCamera, "", "Still Not There"));
    // A failed start leaves nothing running, and says which step failed.
    EXPECT_FALSE(session.Graph());
    EXPECT_NE(session.LastFailure().find("adding \"Gone Codec\" failed"), std::string::npos) << session.LastFailure();
}

TEST_F(SessionLifecycle, EveryStartLaunchesTheHelperFromTheModuleFolder) {
    auto folder = TestFile("module");
    std::filesystem::create_directories(folder);
    auto marker = TestFile("helper.txt");
    {
        std::ofstream script(folder / "Relayo");
        script << "#!/bin/sh\necho \"$0 $#\" >> '" << marker.string() << "'\n";
    }
    std::filesystem::permissions(folder / "Relayo", std::filesystem::perms::owner_all);
    session.moduleFolder = folder.string() + "/";
    ASSERT_TRUE(Start(kCamera));
    ASSERT_TRUE(Start(kCamera));
    auto lines = [&] {
        std::ifstream in(marker);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 2; }, 5000));
    // The command line is the whole argv ("MyChildProcess" as argv[0]): no argument follows.
    EXPECT_EQ(lines()[0], (folder / "Relayo").string() + " 0");
}

TEST_F(SessionLifecycle, AMissingHelperIsSilent) {
    session.moduleFolder = TestFile("empty").string() + "/";
    EXPECT_TRUE(Start(kCamera));
}

TEST_F(SessionLifecycle, AskHelperToQuitSendsCommandOneToTheRelayoWindow) {
    std::vector<std::pair<UINT, WPARAM>> received;
    auto helper = MessageWindow::Create("Relayoclass", "", [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_COMMAND) received.emplace_back(m, wp);
        return DefWindowProc(w, m, wp, lp);
    });
    ASSERT_TRUE(helper);
    CCaptureSession::AskHelperToQuit();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].second, 1u);
    helper.reset();
    CCaptureSession::AskHelperToQuit();  // no helper window: nothing happens
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(SessionLifecycle, EnumerateDevicesFillsTheCollectionsAndLeavesNoGraph) {
    NameList devices, videoCompressors, audioDevices, audioCompressors, videoInputs, audioPins;
    session.EnumerateDevices(devices, formats, videoCompressors, audioDevices, audioCompressors, videoInputs,
                             audioPins, 0);
    EXPECT_EQ(devices, (NameList{kCamera, kCard}));
    EXPECT_EQ(audioDevices, NameList{kMicrophone});
    EXPECT_NE(std::find(videoCompressors.begin(), videoCompressors.end(), "MPEG-4 Video Codec V2"),
              videoCompressors.end());
    EXPECT_FALSE(audioCompressors.empty());
    EXPECT_EQ(session.videoDeviceName, kCamera);
    EXPECT_EQ(session.videoCompressorName, videoCompressors.front());
    EXPECT_EQ(session.audioCompressorName, audioCompressors.front());
    // The probe build filled the formats of the first device and was torn down.
    EXPECT_FALSE(formats.empty());
    EXPECT_TRUE(session.scalableSource);
    EXPECT_FALSE(session.Graph());
    EXPECT_FALSE(session.noVideoDevice);

    // RefreshDevice's probe for the fixed-caps card.
    VideoFormatList cardFormats;
    NameList cardInputs;
    session.ProbeDevice(kCard, kMicrophone, cardFormats, cardInputs);
    EXPECT_EQ(cardFormats.size(), 4u);
    EXPECT_FALSE(session.scalableSource);
    EXPECT_FALSE(session.Graph());
}

TEST_F(SessionLifecycle, WithoutVideoDevicesDiscoveryStopsAfterTheVideoCategory) {
    UseDevices(R"({"devices": [{"name": "Only Mic", "kind": "audio", "lines": [{"name": "Line In"}]}]})");
    NameList devices, videoCompressors, audioDevices, audioCompressors, videoInputs, audioPins;
    session.EnumerateDevices(devices, formats, videoCompressors, audioDevices, audioCompressors, videoInputs,
                             audioPins, 0);
    EXPECT_TRUE(devices.empty());
    EXPECT_TRUE(audioDevices.empty());
    EXPECT_TRUE(videoCompressors.empty());
    EXPECT_TRUE(session.noVideoDevice);
    EXPECT_TRUE(session.videoDeviceName.empty());
}

TEST_F(SessionLifecycle, OfTwoDevicesWithOneNameTheLastEnumeratedIsUsed) {
    UseDevices(R"({"devices": [
      {"name": "Twin", "kind": "video",
       "capture": [{"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 1920, "maxHeight": 1080,
                    "granularityX": 8, "granularityY": 8, "frameRate": 30}], "preview": "capture"},
      {"name": "Twin", "kind": "video",
       "capture": [{"format": "RGB24", "width": 320, "height": 240, "frameRate": 25}], "preview": "capture"}]})");
    ASSERT_TRUE(Start("Twin"));
    // The second twin has fixed capabilities: the fixed-caps shape was built.
    EXPECT_FALSE(session.scalableSource);
    EXPECT_FALSE(HasFilter(session.Graph(), "Smart Tee 2"));
    EXPECT_EQ(formats.size(), 1u);
}

TEST_F(SessionLifecycle, HundredStartStopCyclesLeaveEveryFileComplete) {
    session.captureMode = true;
    session.captureAudio = false;
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 100; ++i) {
        auto file = TestFile("cycle" + std::to_string(i) + ".avi");
        session.captureFileName = file.string();
        // Alternate the shapes: scalable camera and fixed-caps card.
        ASSERT_TRUE(Start(i % 2 ? kCard : kCamera, "", "", "", i % 2 ? 3 : -1)) << i;
        Pump(60);
        ASSERT_EQ(session.StopSession(), S_OK) << i;
        files.push_back(file);
    }
    int complete = 0;
    for (const auto& file : files) complete += dshow_test::IsCompleteAvi(file) ? 1 : 0;
    EXPECT_EQ(complete, 100);
    // A few of them as a player reads them.
    for (int i : {0, 51, 99}) {
        auto streams = dshow_test::ProbeWithFfprobe(files[static_cast<size_t>(i)]);
        EXPECT_TRUE(dshow_test::StreamOf(streams, "video")) << i;
    }
}

TEST_F(SessionLifecycle, ASessionOutlivingItsParentWidgetNeitherCrashesNorDeletesTheWindowTwice) {
    auto other = std::make_unique<CCaptureSession>();
    auto otherParent = std::make_unique<QWidget>();
    other->CreateSessionWindow(otherParent.get());
    ASSERT_TRUE(other->Window());
    VideoFormatList list;
    ASSERT_TRUE(SUCCEEDED(other->StartSession(list, kCamera, "", "", "", -1, -1, Guid{})));
    Pump(100);
    otherParent.reset();  // Qt deletes the session window with its parent
    EXPECT_FALSE(other->Window());
    EXPECT_EQ(other->AttachVideoWindow(), S_OK);  // no window to read: an empty client area
    EXPECT_EQ(other->StopSession(), S_OK);
    other.reset();
}
