// The page driven through its widgets on the virtual devices: recordings to AVI, WMV and MPEG
// read back with ffprobe, the overlay seen in the decoded picture, Stop, the requests of other
// pages and the capture limit.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "app/options/DeviceAviDialog.h"
#include "app/pages/MpegOptionsDialog.h"
#include "app/pages/WmvProfileDialog.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/support/MediaProbe.h"

namespace page_testing {
namespace {

using testing_support::ProbeSections;

// Pixels of the overlay's text, drawn in pure green, in the picture's top-left corner.
int GreenPixelsUnderText(const std::vector<uint8_t>& rgb, int width, int height) {
    int green = 0;
    for (int y = 0; y < std::min(height, 28); ++y) {
        for (int x = 0; x < std::min(width, 120); ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            if (p[1] > 180 && p[0] < 80 && p[2] < 80) ++green;
        }
    }
    return green;
}

const std::map<std::string, std::string>& VideoOf(const testing_support::ProbedFile& probed) {
    static const std::map<std::string, std::string> none;
    const auto* video = probed.Stream("video");
    EXPECT_TRUE(video) << "no video stream";
    return video ? *video : none;
}

// "num/den" as a number.
double Rate(const std::string& fraction) {
    const size_t slash = fraction.find('/');
    if (slash == std::string::npos) return std::stod(fraction);
    return std::stod(fraction.substr(0, slash)) / std::stod(fraction.substr(slash + 1));
}

testing_support::ProbedFile Probe(const fs::path& file) {
    EXPECT_TRUE(fs::exists(file)) << file;
    return ProbeSections(file, "-show_entries stream=codec_type,codec_name,width,height,r_frame_rate,avg_frame_rate"
                               ":format=duration");
}

class RecordingTest : public PageFixture {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        Overlay().isImage = true;
        Overlay().textColor = RGB(0, 255, 0);
    }
    void TearDown() override {
        PageFixture::TearDown();
        unsetenv("ORVANTA_DEVICES");
    }
    // Records for `seconds` from the Capture menu command, then presses Stop.
    void Record(const char* command, const fs::path& name, int seconds) {
        files_.Answer(name.string());
        RunCaptureCommand(Page(), command);
        ASSERT_TRUE(DeviceState().IsDeviceCapturing) << command;
        RunEvents(seconds * 1000);
        Page().Button("Stop")->click();
        EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    }
};

// A camera of one size whose rate can be set, and the microphone.
constexpr char kFixedCamera[] = R"json({"devices": [
  {"name": "Test Camera", "kind": "video",
   "capture": [{"format": "RGB24", "width": 320, "height": 240, "frameRate": 30,
                "minFrameRate": 5, "maxFrameRate": 30}],
   "preview": "capture"},
  {"name": "Orvanta Virtual Microphone", "kind": "audio",
   "lines": [{"name": "Microphone", "enabled": true}],
   "sampleRate": 44100, "channels": 2, "bitsPerSample": 16, "toneHz": 440}
]})json";

TEST_F(RecordingTest, AviWithTheCompressorChosenByNameDrawsTheOverlayOnlyWhenItIsOn) {
    const fs::path devices = dir_ / "devices.json";
    std::ofstream(devices) << kFixedCamera;
    setenv("ORVANTA_DEVICES", devices.c_str(), 1);
    VideoCapturePage& page = Page();
    ASSERT_EQ(page.DeviceList()->currentText().toStdString(), "Test Camera");
    dialogs_.Answer("DeviceAviDialog", [](QDialog& dialog) {
        auto& avi = static_cast<DeviceAviDialog&>(dialog);
        avi.UseVideo()->click();
        Select(avi.VideoList(), "Microsoft Video 1");
        avi.UseAudio()->click();
        Select(avi.AudioList(), "PCM");
        avi.OnOK();
        return dialog.result();
    });
    Record("Save to AVI file", dir_ / "clip", 5);
    EXPECT_TRUE(DeviceState().CaptureEnded);
    EXPECT_TRUE(page.Button("Capture")->isEnabled());
    EXPECT_FALSE(page.Button("Stop")->isEnabled());
    ASSERT_FALSE(boxes_.Calls().empty());
    EXPECT_EQ(boxes_.Calls()[0].caption, "Important Notice");
    ASSERT_EQ(files_.Requests().size(), 1u);
    EXPECT_EQ(files_.Requests()[0].title, "Please specify an output filename:");
    EXPECT_EQ(files_.Requests()[0].filter, "AVI files|*.avi||");

    const auto probed = Probe(dir_ / "clip.avi");
    const auto& video = VideoOf(probed);
    EXPECT_EQ(video.at("codec_name"), "msvideo1");
    EXPECT_EQ(video.at("width"), "320");
    EXPECT_EQ(video.at("height"), "240");
    EXPECT_NEAR(Rate(video.at("r_frame_rate")), 15.0, 0.01);
    ASSERT_TRUE(probed.Stream("audio"));
    EXPECT_EQ(probed.Stream("audio")->at("codec_name"), "pcm_s16le");
    EXPECT_NEAR(std::stod(probed.format.at("duration")), 5.0, 1.5);
    const std::vector<uint8_t> with = testing_support::DecodeVideo(dir_ / "clip.avi", "rgb24", 1);
    ASSERT_EQ(with.size(), 320u * 240u * 3u);
    EXPECT_GT(GreenPixelsUnderText(with, 320, 240), 100);

    // The same recording with Add Text/Image off: nothing green under the text's place. The
    // name ends in ".AVI", which is an AVI already.
    page.Check("Add Text/Image")->click();
    EXPECT_FALSE(page.Button("Text/Image Settings")->isEnabled());
    Record("Save to AVI file", dir_ / "plain.AVI", 2);
    const std::vector<uint8_t> without = testing_support::DecodeVideo(dir_ / "plain.AVI", "rgb24", 1);
    ASSERT_EQ(without.size(), with.size());
    EXPECT_EQ(GreenPixelsUnderText(without, 320, 240), 0);
    EXPECT_FALSE(fs::exists(dir_ / "plain.AVI.avi"));
}

TEST_F(RecordingTest, WmvWithAProfileFromTheList) {
    VideoCapturePage& page = Page();
    Select(page.FormatList(), "RGB24 (320x240)");
    dialogs_.Answer("WmvProfileDialog", [](QDialog& dialog) {
        auto& wmv = static_cast<WmvProfileDialog&>(dialog);
        EXPECT_EQ(wmv.Profiles()->count(), 21);
        EXPECT_EQ(wmv.Profiles()->currentIndex(), 5);
        Select(wmv.Profiles(), "320x240 Window Media Video/Audio 9 (Low Quality)");
        wmv.OnOK();
        return dialog.result();
    });
    Record("Save to WMV file", dir_ / "clip", 5);
    const auto probed = Probe(dir_ / "clip.wmv");
    const auto& video = VideoOf(probed);
    // No WMV9 encoder exists here: the profile is written as WMV8 at its size and rate.
    EXPECT_EQ(video.at("codec_name"), "wmv2");
    EXPECT_EQ(video.at("width"), "320");
    EXPECT_EQ(video.at("height"), "240");
    EXPECT_EQ(video.at("avg_frame_rate"), "15/1");
    ASSERT_TRUE(probed.Stream("audio"));
    EXPECT_EQ(probed.Stream("audio")->at("codec_name"), "wmav2");
    EXPECT_NEAR(std::stod(probed.format.at("duration")), 5.0, 1.5);
    EXPECT_EQ(DeviceWmvProfileChoice().index, 3);
    EXPECT_TRUE(DeviceWmvProfileChoice().confirmed);
}

// MPEG with a custom size and a rate from the list; the dialog's choice is kept for the run.
void ChooseMpeg(ModalDialogAnswerer& dialogs, const char* encoder, int width, int height, const char* rate) {
    dialogs.Answer("MpegOptionsDialog", [=](QDialog& dialog) {
        auto& mpeg = static_cast<MpegOptionsDialog&>(dialog);
        Select(mpeg.Encoder(), encoder);
        Select(mpeg.OutputSize(), "Custom Size");
        EXPECT_TRUE(mpeg.WidthEdit()->isEnabled());
        mpeg.WidthEdit()->setText(QString::number(width));
        mpeg.HeightEdit()->setText(QString::number(height));
        Select(mpeg.FrameRate(), rate);
        mpeg.OnOK();
        return dialog.result();
    });
}

TEST_F(RecordingTest, Mpeg1AndMpeg2WithCustomSizeAndRate) {
    VideoCapturePage& page = Page();
    Select(page.FormatList(), "RGB24 (640x480)");
    ChooseMpeg(dialogs_, "MPEG1", 400, 300, "24");
    Record("Save to MPEG1/MPEG2 (Recommend)", dir_ / "one", 5);
    auto probed = Probe(dir_ / "one.mpg");
    const auto& one = VideoOf(probed);
    EXPECT_EQ(one.at("codec_name"), "mpeg1video");
    EXPECT_EQ(one.at("width"), "400");
    EXPECT_EQ(one.at("height"), "300");
    EXPECT_EQ(one.at("r_frame_rate"), "24/1");
    EXPECT_TRUE(probed.Stream("audio"));
    EXPECT_NEAR(std::stod(probed.format.at("duration")), 5.0, 1.5);
    const std::vector<uint8_t> frame = testing_support::DecodeVideo(dir_ / "one.mpg", "rgb24", 1);
    ASSERT_EQ(frame.size(), 400u * 300u * 3u);
    EXPECT_GT(GreenPixelsUnderText(frame, 400, 300), 50);

    ChooseMpeg(dialogs_, "MPEG2", 640, 360, "30");
    Record("Save to MPEG1/MPEG2 (Recommend)", dir_ / "two.mpg", 5);
    probed = Probe(dir_ / "two.mpg");
    const auto& two = VideoOf(probed);
    EXPECT_EQ(two.at("codec_name"), "mpeg2video");
    EXPECT_EQ(two.at("width"), "640");
    EXPECT_EQ(two.at("height"), "360");
    EXPECT_EQ(two.at("r_frame_rate"), "30/1");
    EXPECT_NEAR(std::stod(probed.format.at("duration")), 5.0, 1.5);
}

TEST_F(RecordingTest, CancelAnywhereStartsNothing) {
    VideoCapturePage& page = Page();
    boxes_.Answer(IDCANCEL);  // the notice
    RunCaptureCommand(page, "Save to AVI file");
    dialogs_.Answer("DeviceAviDialog", QDialog::Rejected);
    RunCaptureCommand(page, "Save to AVI file");
    dialogs_.Answer("DeviceAviDialog", [](QDialog& dialog) {
        static_cast<DeviceAviDialog&>(dialog).OnOK();
        return dialog.result();
    });
    files_.Cancel();
    RunCaptureCommand(page, "Save to AVI file");
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    EXPECT_EQ(files_.Requests().size(), 1u);
    EXPECT_TRUE(page.Button("Capture")->isEnabled());
}

TEST_F(RecordingTest, WhileBroadcastingNoRecordCommandStarts) {
    VideoCapturePage& page = Page();
    DeviceState().IsBroadcasting = true;
    for (const char* command : {"Save to MPEG1/MPEG2 (Recommend)", "Save to WMV file", "Save to AVI file"})
        RunCaptureCommand(page, command);
    ASSERT_EQ(boxes_.Calls().size(), 3u);
    for (const MessageBoxRequest& box : boxes_.Calls()) {
        EXPECT_EQ(box.text, "Video is broadcasting now, please stop it first.");
        EXPECT_EQ(box.Icon(), MB_ICONERROR);
    }
    EXPECT_TRUE(dialogs_.Seen().empty());
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    // A requested start is refused the same way, and ends at once.
    DeviceState().RequestedOutputPath = (dir_ / "x.mpg").string();
    DeviceState().StartCaptureRequest = true;
    page.OnTimer();
    EXPECT_FALSE(DeviceState().StartCaptureRequest);
    EXPECT_TRUE(DeviceState().CaptureEnded);
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    EXPECT_FALSE(fs::exists(dir_ / "x.mpg"));
}

TEST_F(RecordingTest, ARequestedStartRecordsTheFormatOfItsPathAndTheLimitStopsItBeforeTheShutdown) {
    VideoCapturePage& page = Page();
    Select(page.FormatList(), "RGB24 (320x240)");
    // The MPEG options last chosen in this run.
    DeviceMpegChoice().encoder = 1;
    DeviceMpegChoice().width = 352;
    DeviceMpegChoice().height = 288;
    DeviceMpegChoice().frameRate = "25";
    DeviceState().RequestedOutputPath = (dir_ / "timed.MPG").string();
    DeviceState().CaptureLimitSeconds = "3";
    DeviceState().ShutdownAfterCapture = 1;
    DeviceState().StartCaptureRequest = true;
    // The page's own one-second timer carries it out.
    RunEvents(1500);
    ASSERT_TRUE(DeviceState().IsDeviceCapturing);
    EXPECT_FALSE(DeviceState().StartCaptureRequest);
    EXPECT_FALSE(fs::exists(testing_support::TestEnvironment::Current().ShutdownLog()));
    RunEvents(4000);
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    EXPECT_TRUE(DeviceState().CaptureEnded);
    // The shutdown came once, after the file was complete.
    const std::string log = testing_support::ReadFile(testing_support::TestEnvironment::Current().ShutdownLog());
    EXPECT_EQ(testing_support::Lines(log).size(), 1u) << log;
    const auto probed = Probe(dir_ / "timed.MPG");
    const auto& video = VideoOf(probed);
    EXPECT_EQ(video.at("codec_name"), "mpeg2video");
    EXPECT_EQ(video.at("width"), "352");
    EXPECT_NEAR(std::stod(probed.format.at("duration")), 3.0, 1.2);
}

TEST_F(RecordingTest, AStopRequestStopsWithoutEndingTheSchedule) {
    VideoCapturePage& page = Page();
    DeviceState().RequestedOutputPath = (dir_ / "asked.avi").string();
    DeviceState().StartCaptureRequest = true;
    page.OnTimer();
    ASSERT_TRUE(DeviceState().IsDeviceCapturing);
    RunEvents(2000);
    DeviceState().StopCaptureRequest = true;
    page.OnTimer();
    EXPECT_FALSE(DeviceState().StopCaptureRequest);
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    EXPECT_FALSE(DeviceState().CaptureEnded);
    EXPECT_TRUE(page.Button("Capture")->isEnabled());
    const auto probed = Probe(dir_ / "asked.avi");
    EXPECT_FALSE(VideoOf(probed).empty());
}

TEST_F(RecordingTest, AStartThatFailsIsReportedAndThePreviewComesBack) {
    VideoCapturePage& page = Page();
    // An empty path: the control answers -2, which is no success either.
    DeviceState().RequestedOutputPath.clear();
    DeviceState().StartCaptureRequest = true;
    page.OnTimer();
    EXPECT_FALSE(DeviceState().IsDeviceCapturing);
    EXPECT_TRUE(DeviceState().CaptureEnded);
    EXPECT_TRUE(page.Button("Capture")->isEnabled());
    ASSERT_EQ(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text,
              "Fail to capture video! Possible reason may be that video or audio compressor is invalid, or "
              "the output video file is in use now.");
    // A snapshot needs a running preview.
    RunEvents(500);
    Settings().snapshotFormat = "0";
    page.OnSnapshot();
    EXPECT_FALSE(page.LastSnapshot().empty());
    EXPECT_EQ(boxes_.Calls().back().text, "Save successfully!");
}

TEST(RecordingNameTest, TheFormatsExtensionIsAddedUnlessTheNameEndsWithItInAnyCase) {
    EXPECT_EQ(RecordingFileName("/v/clip", RecordFormat::Avi), "/v/clip.avi");
    EXPECT_EQ(RecordingFileName("/v/clip.AVI", RecordFormat::Avi), "/v/clip.AVI");
    EXPECT_EQ(RecordingFileName("/v/clip.avi", RecordFormat::Wmv), "/v/clip.avi.wmv");
    EXPECT_EQ(RecordingFileName("/v/clip.Mpg", RecordFormat::Mpeg), "/v/clip.Mpg");
    EXPECT_EQ(RecordingFileName("avi", RecordFormat::Avi), "avi.avi");
    EXPECT_EQ(RequestedFormat("/v/a.WMV"), RecordFormat::Wmv);
    EXPECT_EQ(RequestedFormat("/v/a.avi"), RecordFormat::Avi);
    EXPECT_EQ(RequestedFormat("/v/a.mpg"), RecordFormat::Mpeg);
    EXPECT_EQ(RequestedFormat("/v/a.mp4"), RecordFormat::Mpeg);
    EXPECT_EQ(RequestedFormat(""), RecordFormat::Mpeg);
}

}  // namespace
}  // namespace page_testing
