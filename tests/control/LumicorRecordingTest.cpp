// A recording started through the dispatch interface, read back with ffprobe, and the events a
// container's sink receives while it runs.
#include <QElapsedTimer>
#include <fstream>

#include "tests/control/LumicorTestSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/SmallDisk.h"

using namespace lumicor_test;

namespace {
class Recording : public HostedControl {
protected:
    // Selects a camera by its name in Devices and probes it (RefreshDevice).
    void SelectCamera(const std::string& wanted = kCamera) {
        Variant devicesValue = Get(3);
        DispatchDriver devices(ComPtr<IDispatch>(devicesValue.Dispatch()));
        Variant count;
        ASSERT_EQ(devices.GetProperty("Count", &count), S_OK);
        int16_t camera = -1;
        for (int16_t i = 1; i <= count.I2() && camera < 0; ++i) {
            Variant item, name;
            ASSERT_EQ(devices.Call("Item", {Variant(i)}, &item), S_OK);
            ASSERT_EQ(DispatchDriver(ComPtr<IDispatch>(item.Dispatch())).GetProperty("Name", &name), S_OK);
            if (name.Bstr() == wanted) camera = static_cast<int16_t>(i - 1);
        }
        ASSERT_GE(camera, 0);
        Put(1, Variant(camera));
        Call(93);  // RefreshDevice
    }
};
}  // namespace

TEST_F(Recording, CaptureModeWithAFileNameRecordsTheCameraAtTheChosenFormat) {
    RegisterOverlayModule();
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(site->Activate(), S_OK);

    ASSERT_NO_FATAL_FAILURE(SelectCamera());
    Variant count;
    Variant formatsValue = Get(4);
    DispatchDriver formats(ComPtr<IDispatch>(formatsValue.Dispatch()));
    ASSERT_EQ(formats.GetProperty("Count", &count), S_OK);
    ASSERT_GT(count.I2(), 1);
    // The second format, so that the size is not the camera's default by chance.
    Variant format, width, height;
    ASSERT_EQ(formats.Call("Item", {Variant(int16_t{2})}, &format), S_OK);
    DispatchDriver chosen(ComPtr<IDispatch>(format.Dispatch()));
    ASSERT_EQ(chosen.GetProperty("Width", &width), S_OK);
    ASSERT_EQ(chosen.GetProperty("Height", &height), S_OK);
    Put(2, Variant(int16_t{1}));

    const std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / "control.avi";
    Put(6, Variant(true));
    Put(7, Variant(file.string()));
    Put(27, Variant(false));
    Variant started = Call(78);
    ASSERT_EQ(started.I2(), 0);
    QElapsedTimer clock;
    clock.start();
    Pump(2500);
    // The file ends where the graph stops, at the start of Stop; finishing it is not recording.
    const double recorded = clock.elapsed() / 1000.0;
    Call(79);

    // The session's progress timer reached the sink as Capturing(seconds, dropped).
    auto capturing = Fired(1);
    ASSERT_FALSE(capturing.empty());
    ASSERT_EQ(capturing.back().args.size(), 2u);
    EXPECT_EQ(capturing.back().args[0].Type(), VT_I4);
    EXPECT_GE(capturing.back().args[0].I4(), 1);
    EXPECT_LE(capturing.back().args[0].I4(), 3);

    ASSERT_TRUE(std::filesystem::exists(file));
    testing_support::ProbedFile probed =
        testing_support::ProbeSections(file, "-show_entries stream=codec_type,width,height:format=duration");
    const auto* video = probed.Stream("video");
    ASSERT_TRUE(video);
    int64_t w = 0, h = 0;
    ASSERT_TRUE(width.GetInteger(&w));
    ASSERT_TRUE(height.GetInteger(&h));
    EXPECT_EQ(video->at("width"), std::to_string(w));
    EXPECT_EQ(video->at("height"), std::to_string(h));
    ASSERT_TRUE(probed.format.count("duration"));
    const double duration = std::stod(probed.format.at("duration"));
    EXPECT_NEAR(duration, recorded, 0.5);
}

namespace {
struct OutputKind {
    const char* name;
    int16_t outputType;
    const char* file;
    const char* videoCodec;
    const char* audioCodec;
    int width, height;  // 0: the profile's or the format's own size
};

class OutputKinds : public Recording, public testing::WithParamInterface<OutputKind> {};
}  // namespace

// Each kind of output file the control offers, with the camera, the microphone and the text and
// date overlays: a player reads the codecs, the size and the time recorded.
TEST_P(OutputKinds, RecordsTheCameraAndTheMicrophoneWithOverlaysIntoAFileAPlayerReads) {
    const OutputKind& kind = GetParam();
    RegisterOverlayModule();
    RegisterProgramModule("Torvane.so");
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(site->Activate(), S_OK);
    ASSERT_NO_FATAL_FAILURE(SelectCamera());

    const std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / kind.file;
    Put(70, Variant(kind.outputType));
    Put(6, Variant(true));
    Put(7, Variant(file.string()));
    Call(95, {Variant(int16_t{8}), Variant(int16_t{8}), Variant(std::string("Orvanta"))});  // DrawText
    Call(86, {Variant(int16_t{8}), Variant(int16_t{40}), Variant(int16_t{0})});             // DrawTime
    ASSERT_EQ(Call(78).I2(), 0);
    QElapsedTimer clock;
    clock.start();
    Pump(3000);
    const double recorded = clock.elapsed() / 1000.0;
    Call(79);

    testing_support::ProbedFile probed = testing_support::ProbeSections(
        file, "-show_entries stream=codec_type,codec_name,width,height:format=duration");
    const auto* video = probed.Stream("video");
    const auto* audio = probed.Stream("audio");
    ASSERT_TRUE(video && audio) << file;
    EXPECT_EQ(video->at("codec_name"), kind.videoCodec);
    EXPECT_EQ(audio->at("codec_name"), kind.audioCodec);
    if (kind.width) {
        EXPECT_EQ(video->at("width"), std::to_string(kind.width));
        EXPECT_EQ(video->at("height"), std::to_string(kind.height));
    }
    ASSERT_TRUE(probed.format.count("duration"));
    EXPECT_NEAR(std::stod(probed.format.at("duration")), recorded, 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    Control, OutputKinds,
    testing::Values(OutputKind{"Avi", 0, "kind.avi", "rawvideo", "pcm_s16le", 0, 0},
                    OutputKind{"Wmv", 1, "kind.wmv", "wmv2", "wmav2", 0, 0},
                    // The MPEG size is the control's MPEGWidth x MPEGHeight (320 x 240 unless set).
                    OutputKind{"Mpeg1", 2, "kind.mpg", "mpeg1video", "mp2", 320, 240},
                    OutputKind{"Mpeg2", 3, "kind2.mpg", "mpeg2video", "mp2", 320, 240}),
    [](const testing::TestParamInfo<OutputKind>& info) { return std::string(info.param.name); });

// A disk that fills up mid-recording: the control stops the capture, fires CaptureError once
// with the cause, the Capturing events stop, and the file keeps every frame written before.
TEST_F(Recording, ADiskThatFillsUpStopsTheCaptureFiresCaptureErrorOnceAndTheFileStaysReadable) {
    testing_support::SmallDisk disk(testing_support::TestEnvironment::Current().Dir() / "small", 3);
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small disk here: " << disk.Why();
    RegisterOverlayModule();
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(site->Activate(), S_OK);
    ASSERT_NO_FATAL_FAILURE(SelectCamera());

    const std::filesystem::path file = disk.Folder() / "full.avi";
    Put(6, Variant(true));
    Put(7, Variant(file.string()));
    Put(27, Variant(false));
    ASSERT_EQ(Call(78).I2(), 0);
    QElapsedTimer clock;
    clock.start();
    while (Fired(kDispidCaptureError).empty() && clock.elapsed() < 20000) Pump(20);
    auto errors = Fired(kDispidCaptureError);
    ASSERT_EQ(errors.size(), 1u) << "no CaptureError within 20 s";
    const size_t progress = Fired(1).size();
    Pump(500);
    EXPECT_EQ(Fired(1).size(), progress);
    EXPECT_EQ(Fired(kDispidCaptureError).size(), 1u);
    ASSERT_EQ(errors[0].args.size(), 2u);
    EXPECT_EQ(errors[0].args[0].I4(), HResultFromErrno(ENOSPC));
    EXPECT_EQ(errors[0].args[1].Bstr().rfind("disk full: recording stopped after ", 0), 0u) << errors[0].args[1].Bstr();
    Call(79);

    const std::string probe = testing_support::Ffprobe(
        file, "-count_frames -count_packets -select_streams v:0 -show_entries stream=nb_read_frames,nb_read_packets -of compact");
    const size_t frames = probe.find("nb_read_frames="), packets = probe.find("nb_read_packets=");
    ASSERT_TRUE(frames != std::string::npos && packets != std::string::npos) << probe;
    EXPECT_GT(std::atoi(probe.c_str() + packets + 16), 10) << probe;
    EXPECT_EQ(std::atoi(probe.c_str() + frames + 15), std::atoi(probe.c_str() + packets + 16)) << probe;
}

// A camera pulled out mid-recording: the control stops the capture, fires CaptureError once with
// the cause, the Capturing events stop, and every frame the file holds decodes.
TEST_F(Recording, ACameraThatGoesAwayStopsTheCaptureFiresCaptureErrorOnceAndTheFileStaysReadable) {
    const auto devices = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(devices) << R"({"devices": [
      {"name": "Leaving Camera", "capture": [{"format": "RGB24", "width": 160, "height": 120, "frameRate": 15}],
       "unplugAfter": 1.0},
      {"name": "Microphone", "kind": "audio", "sampleRate": 22050, "channels": 1}]})";
    setenv("ORVANTA_DEVICES", devices.c_str(), 1);
    RegisterOverlayModule();
    ASSERT_EQ(site->InitNew(), S_OK);
    ASSERT_EQ(site->Activate(), S_OK);
    ASSERT_NO_FATAL_FAILURE(SelectCamera("Leaving Camera"));

    const std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / "gone.avi";
    Put(6, Variant(true));
    Put(7, Variant(file.string()));
    ASSERT_EQ(Call(78).I2(), 0);
    QElapsedTimer clock;
    clock.start();
    while (Fired(kDispidCaptureError).empty() && clock.elapsed() < 8000) Pump(20);
    auto errors = Fired(kDispidCaptureError);
    ASSERT_EQ(errors.size(), 1u) << "no CaptureError within 8 s";
    const size_t progress = Fired(1).size();
    Pump(300);
    EXPECT_EQ(Fired(1).size(), progress);
    EXPECT_EQ(Fired(kDispidCaptureError).size(), 1u);
    ASSERT_EQ(errors[0].args.size(), 2u);
    EXPECT_EQ(errors[0].args[0].I4(), HResultFromErrno(ENODEV));
    EXPECT_EQ(errors[0].args[1].Bstr().rfind("the capture device went away: recording stopped after ", 0), 0u)
        << errors[0].args[1].Bstr();
    Call(79);

    const std::string probe = testing_support::Ffprobe(
        file, "-count_frames -count_packets -select_streams v:0 -show_entries stream=nb_read_frames,nb_read_packets -of compact");
    const size_t frames = probe.find("nb_read_frames="), packets = probe.find("nb_read_packets=");
    ASSERT_TRUE(frames != std::string::npos && packets != std::string::npos) << probe;
    EXPECT_GT(std::atoi(probe.c_str() + packets + 16), 0) << probe;
    EXPECT_LE(std::atoi(probe.c_str() + packets + 16), 15) << "frames from after the camera went: " << probe;
    EXPECT_EQ(std::atoi(probe.c_str() + frames + 15), std::atoi(probe.c_str() + packets + 16)) << probe;
}
