// A recording that an error ends while it runs: the device pulled out mid-recording stops the
// session, the file keeps what was written and the owner is told once.
#include "platform/devices/v4l2/V4l2Api.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/platform/devices/FakeV4l2Api.h"
#include "tests/support/MediaProbe.h"

using namespace session_test;

namespace {
const std::string kWebcam = "USB 2.0 Camera: HD USB Camera";

class SessionFailure : public SessionTest {
protected:
    void SetUp() override {
        api = FakeV4l2Api::FromRecording("v4l2-uvc-webcam.json");
        UseV4l2Api(api);
        setenv("ORVANTA_DEVICE_BACKENDS", "v4l2,virtual", 1);
        SessionTest::SetUp();
    }
    void TearDown() override {
        SessionTest::TearDown();
        UseV4l2Api(nullptr);
    }
    std::shared_ptr<FakeV4l2Api> api;
};
}  // namespace

TEST_F(SessionFailure, ACameraPulledOutMidRecordingStopsTheSessionAndTellsTheOwnerOnce) {
    const auto file = TestFile("unplugged.avi");
    session.captureMode = true;
    session.captureAudio = false;
    session.captureFileName = file.string();
    ASSERT_TRUE(Start(kWebcam)) << session.LastFailure();
    // The recording's six buffers arrive (five whole ones), then the device goes.
    Pump(600);
    api->Unplug();
    ASSERT_TRUE(PumpUntil([&] { return !owner.Named("CaptureError").empty(); }, 5000));
    EXPECT_FALSE(session.Graph());
    const size_t progress = owner.Named("Capturing").size();
    Pump(300);
    EXPECT_EQ(owner.Named("Capturing").size(), progress);
    ASSERT_EQ(owner.Named("CaptureError").size(), 1u);
    EXPECT_EQ(owner.Named("CaptureError")[0].a, HResultFromErrno(ENODEV));
    ASSERT_EQ(owner.errorTexts.size(), 1u);
    EXPECT_EQ(owner.errorTexts[0].rfind("the capture device went away: recording stopped after ", 0), 0u)
        << owner.errorTexts[0];
    EXPECT_EQ(api->MappedBuffers(), 0);
    // What was written is a file a player reads.
    const std::string probe =
        testing_support::Ffprobe(file, "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of compact");
    EXPECT_NE(probe.find("nb_read_frames="), std::string::npos) << probe;
    EXPECT_EQ(probe.find("nb_read_frames=0"), std::string::npos) << probe;
    // The next start works again from a device that is there.
    EXPECT_TRUE(Start(kCamera)) << session.LastFailure();
}
