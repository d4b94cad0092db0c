// A recording that an error ends while it runs: a device pulled out mid-recording (a V4L2
// camera, an ALSA card, a virtual camera or microphone described to go away) stops the session,
// the file keeps what was written and the owner is told once.
#include <cstdlib>
#include <fstream>

#include "platform/devices/alsa/AlsaPcmApi.h"
#include "platform/devices/v4l2/V4l2Api.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/platform/devices/FakeAlsaPcmApi.h"
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

// What every recording a gone device ended must show: the session stopped of itself, the owner
// told once that the device went away, no progress after that, and a file whose every frame and
// every audio packet decodes. Returns the probe of the file.
testing_support::ProbedFile ExpectEndedByAGoneDevice(CCaptureSession& session, RecordingOwner& owner,
                                                     const std::filesystem::path& file) {
    EXPECT_TRUE(PumpUntil([&] { return !owner.Named("CaptureError").empty(); }, 8000)) << "the recording went on";
    EXPECT_FALSE(session.Graph());
    const size_t progress = owner.Named("Capturing").size();
    Pump(300);
    EXPECT_EQ(owner.Named("Capturing").size(), progress);
    const auto errors = owner.Named("CaptureError");
    EXPECT_EQ(errors.size(), 1u);
    if (!errors.empty()) {
        EXPECT_EQ(errors[0].a, HResultFromErrno(ENODEV));
        EXPECT_EQ(owner.errorTexts[0].rfind("the capture device went away: recording stopped after ", 0), 0u)
            << owner.errorTexts[0];
    }
    testing_support::ProbedFile probe = testing_support::ProbeSections(
        file, "-count_frames -count_packets -show_entries stream=codec_type,nb_read_frames,nb_read_packets,nb_frames,duration,sample_rate");
    for (const char* kind : {"video", "audio"}) {
        const auto* stream = probe.Stream(kind);
        if (!stream) {
            ADD_FAILURE() << "no " << kind << " stream in " << file;
            continue;
        }
        const int packets = std::atoi(stream->at("nb_read_packets").c_str());
        EXPECT_GT(packets, 0) << kind;
        EXPECT_EQ(std::atoi(stream->at("nb_read_frames").c_str()), packets) << kind;
    }
    return probe;
}

// How long a stream of the file lasts: the video's duration, the sound's samples over its rate
// (an AVI gives PCM no duration of its own).
double Seconds(const testing_support::ProbedFile& probe, const std::string& kind) {
    const auto* stream = probe.Stream(kind);
    if (!stream) return -1.0;
    if (kind == "audio") return std::atof(stream->at("nb_frames").c_str()) / std::atof(stream->at("sample_rate").c_str());
    return std::atof(stream->at("duration").c_str());
}

// Virtual devices that go away after one second of recording, and twins that stay. The leaving
// camera's capture and preview pins both fail: the owner must still hear of it once.
class VirtualDeviceGone : public SessionTest {
protected:
    void SetUp() override {
        const auto devices = testing_support::TestEnvironment::Current().Dir() / "devices.json";
        std::ofstream(devices) << R"({"devices": [
          {"name": "Leaving Camera", "capture": [{"format": "RGB24", "width": 160, "height": 120, "frameRate": 15}],
           "preview": "capture", "unplugAfter": 1.0},
          {"name": "Staying Camera", "capture": [{"format": "RGB24", "width": 160, "height": 120, "frameRate": 15}]},
          {"name": "Leaving Microphone", "kind": "audio", "sampleRate": 22050, "channels": 1, "unplugAfter": 1.0},
          {"name": "Staying Microphone", "kind": "audio", "sampleRate": 22050, "channels": 1}]})";
        setenv("ORVANTA_DEVICES", devices.c_str(), 1);
        SessionTest::SetUp();
        session.captureMode = true;
        session.captureFileName = TestFile("gone.avi").string();
    }
};

// A card of the test's own behind the ALSA seam, next to the virtual camera.
class AlsaCardGone : public SessionTest {
protected:
    void SetUp() override {
        UseAlsaPcmApi(card);
        setenv("ORVANTA_DEVICE_BACKENDS", "alsa,virtual", 1);
        unsetenv("ORVANTA_DEVICES");  // the built-in camera
        SessionTest::SetUp();
    }
    void TearDown() override {
        SessionTest::TearDown();
        UseAlsaPcmApi(nullptr);
    }
    std::shared_ptr<FakeAlsaPcmApi> card = std::make_shared<FakeAlsaPcmApi>();
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

TEST_F(VirtualDeviceGone, ACameraThatGoesAwayEndsTheRecordingWithEveryFrameItCaught) {
    ASSERT_TRUE(Start("Leaving Camera", "Staying Microphone")) << session.LastFailure();
    const auto probe = ExpectEndedByAGoneDevice(session, owner, session.captureFileName);
    // 15 frames a second for one second: none from after the camera went.
    const auto* video = probe.Stream("video");
    ASSERT_TRUE(video);
    EXPECT_LE(std::atoi(video->at("nb_read_frames").c_str()), 15);
    EXPECT_LE(Seconds(probe, "video"), 1.01);
    // The same device streams again at the next start, for its second again.
    owner.events.clear();
    owner.errorTexts.clear();
    session.captureFileName = TestFile("again.avi").string();
    ASSERT_TRUE(Start("Leaving Camera", "Staying Microphone")) << session.LastFailure();
    ExpectEndedByAGoneDevice(session, owner, session.captureFileName);
}

TEST_F(VirtualDeviceGone, AMicrophoneThatGoesAwayEndsTheRecordingWithTheSoundItCaught) {
    ASSERT_TRUE(Start("Staying Camera", "Leaving Microphone")) << session.LastFailure();
    const auto probe = ExpectEndedByAGoneDevice(session, owner, session.captureFileName);
    // Whole chunks of 100 ms from before the unplug.
    const double sound = Seconds(probe, "audio");
    EXPECT_GT(sound, 0.0);
    EXPECT_LE(sound, 1.0);
}

TEST_F(AlsaCardGone, ASoundCardPulledOutMidRecordingStopsTheSessionAndTellsTheOwnerOnce) {
    session.captureMode = true;
    session.captureFileName = TestFile("card.avi").string();
    ASSERT_TRUE(Start(kCamera, FakeAlsaPcmApi::kName)) << session.LastFailure();
    ASSERT_TRUE(PumpUntil([&] { return card->FramesRead() >= 22050; }, 5000)) << "the card was never read";
    EXPECT_EQ(card->OpenPcms(), 1);
    card->Unplug();
    ExpectEndedByAGoneDevice(session, owner, session.captureFileName);
    EXPECT_EQ(card->OpenPcms(), 0) << "the PCM of the gone card stayed open";
    // Without the card the camera records again.
    owner.events.clear();
    session.captureFileName = TestFile("camera.avi").string();
    EXPECT_TRUE(Start(kCamera)) << session.LastFailure();
}
