// The Screen Recorder page recording a rectangle of a private X server to each format, read back
// with ffprobe and ffmpeg; its start refusals; pause and resume by hot key.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <chrono>
#include <cstdlib>

#include "platform/x11/X11HotKeys.h"
#include "tests/app/pages/ScreenPageFixture.h"

namespace screen_page_test {
namespace {

using testing_support::DecodeVideo;
using testing_support::ProbedFile;
using testing_support::ProbeSections;

int Int(const std::map<std::string, std::string>* s, const char* key) {
    return s && s->count(key) ? std::atoi(s->at(key).c_str()) : -1;
}

// Seconds recorded: the container's duration, or for SWF (which has none) frames / rate.
double Seconds(const std::filesystem::path& file, int fps) {
    ProbedFile p = ProbeSections(file, "-count_frames -show_entries stream=codec_type,nb_read_frames:format=duration");
    if (p.format.count("duration") && p.format.at("duration") != "N/A") return std::atof(p.format.at("duration").c_str());
    return Int(p.Stream("video"), "nb_read_frames") / static_cast<double>(fps);
}

int Frames(const std::filesystem::path& file) {
    ProbedFile p = ProbeSections(file, "-count_frames -show_entries stream=codec_type,nb_read_frames");
    return Int(p.Stream("video"), "nb_read_frames");
}

bool Near(const uint8_t* bgr, unsigned rgb, int tolerance = 48) {
    const int r = static_cast<int>(rgb >> 16 & 0xFF), g = static_cast<int>(rgb >> 8 & 0xFF),
              b = static_cast<int>(rgb & 0xFF);
    return std::abs(bgr[2] - r) <= tolerance && std::abs(bgr[1] - g) <= tolerance && std::abs(bgr[0] - b) <= tolerance;
}

struct Format {
    int page;  // Record Format entry
    const char* extension;
    const char* video;
};

class ScreenRecordingFormats : public ScreenPageFixture, public testing::WithParamInterface<Format> {};

TEST_P(ScreenRecordingFormats, RecordsTheRoundedAreaWithRateAndSound) {
    const Format format = GetParam();
    const auto file = File(std::string("area.") + format.extension);
    ScreenRecorderPage& page = MakePage(file);
    ASSERT_TRUE(page.CaptureButton()->isEnabled());
    EXPECT_EQ(page.Area(), (CaptureArea{0, 0, kScreenWidth, kScreenHeight}));
    page.FormatList()->setCurrentIndex(format.page);
    page.FrameRateList()->setCurrentIndex(6);  // 15 fps
    page.CaptureAudio()->setChecked(true);
    page.SetArea({3, 5, 801, 601});
    Pointer(1000, 740);

    page.OnCapture();
    ASSERT_TRUE(page.Recording()) << (boxes_.Calls().empty() ? "" : boxes_.Calls()[0].text);
    EXPECT_FALSE(page.CaptureButton()->isEnabled());
    EXPECT_TRUE(page.PauseButton()->isEnabled());
    Spin(3000);
    page.OnStop();
    EXPECT_FALSE(page.Recording());
    EXPECT_TRUE(page.CaptureButton()->isEnabled());
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0], std::string(FileOfFormat(format.page).filter) +
                             "|Please specify an output filename:|" + FileOfFormat(format.page).extension);

    ProbedFile p = ProbeSections(file, "-show_entries stream=codec_type,codec_name,width,height,r_frame_rate");
    ASSERT_TRUE(p.Stream("video")) << file;
    ASSERT_TRUE(p.Stream("audio")) << "sound";
    EXPECT_EQ(p.Stream("video")->at("codec_name"), format.video);
    EXPECT_EQ(Int(p.Stream("video"), "width"), 802);
    EXPECT_EQ(Int(p.Stream("video"), "height"), 602);
    const double seconds = Seconds(file, 15);
    EXPECT_NEAR(seconds, 3.0, 0.6);
    EXPECT_NEAR(Frames(file) / seconds, 15.0, 2.5) << "frames per second";

    // The picture starts at (4, 6) of the screen.
    std::vector<uint8_t> all = DecodeVideo(file, "bgr24");
    const size_t frame = 802u * 602u * 3u;
    ASSERT_GE(all.size(), frame);
    const uint8_t* last = all.data() + all.size() - frame;
    for (auto [x, y] : {std::pair{100, 100}, {750, 100}, {100, 550}, {700, 500}}) {
        EXPECT_TRUE(Near(last + (static_cast<size_t>(y) * 802 + x) * 3,
                         PaintedDesktop::ColourAt(x + 4, y + 6, kScreenWidth, kScreenHeight)))
            << x << "," << y;
    }
    // "CatchScreen" holds what was recorded.
    EXPECT_EQ(IniStore::Instance().GetInt(kCatchScreen, "Format", -1), format.page);
    EXPECT_EQ(IniStore::Instance().GetInt(kCatchScreen, "FPSIndex", -1), 6);
}

INSTANTIATE_TEST_SUITE_P(Page, ScreenRecordingFormats,
                         testing::Values(Format{kFormatWmv, "wmv", "wmv2"}, Format{kFormatAvi, "avi", "mjpeg"},
                                         Format{kFormatFlv, "flv", "flv1"}, Format{kFormatSwf, "swf", "flv1"}),
                         [](const auto& info) { return std::string(info.param.extension); });

using ScreenRecording = ScreenPageFixture;

TEST_F(ScreenRecording, CallsTheControlInItsOrderWithFlvSizeAndStoresIt) {
    const auto file = File("order.flv");
    ScreenRecorderPage& page = MakePage(file);
    std::vector<DISPID> calls;
    page.Control().SetCallHook([&](DISPID id, const std::vector<Variant>&) { calls.push_back(id); });
    page.FormatList()->setCurrentIndex(kFormatFlv);
    page.SetArea({3, 5, 801, 601});
    page.OnCapture();
    ASSERT_TRUE(page.Recording());
    page.OnStop();
    // Output kind, the FLV options (height and width as the control takes them), then the
    // common tail.
    const std::vector<DISPID> expected = {42, 43, 28, 34, 33, 32, 29, 30, 31, 12, 13, 49, 16, 15, 5, 19, 18, 35, 3, 40, 41};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(ScreenFlvOptions().width, 802);
    EXPECT_EQ(ScreenFlvOptions().height, 602);
    EXPECT_EQ(IniStore::Instance().GetInt(kFlvDialog, "flvwgv", 0), 802);
    EXPECT_EQ(IniStore::Instance().GetInt(kFlvDialog, "flvhgv", 0), 602);
}

TEST_F(ScreenRecording, AnAreaPastTheScreenIsKeptOnIt) {
    const auto file = File("edge.flv");
    ScreenRecorderPage& page = MakePage(file);
    std::vector<std::vector<Variant>> rects;
    page.Control().SetCallHook([&](DISPID id, const std::vector<Variant>& values) {
        if (id == 49) rects.push_back(values);
    });
    page.FormatList()->setCurrentIndex(kFormatFlv);
    // 1023 wide at 3 rounds up to 1024 at 4, which reaches past the 1024 pixels of the screen.
    page.SetArea({3, 700, 1023, 67});
    page.OnCapture();
    ASSERT_TRUE(page.Recording());
    Spin(500);
    page.OnStop();
    ASSERT_EQ(rects.size(), 1u);
    int64_t l = 0, t = 0, r = 0, b = 0;
    rects[0][0].GetInteger(&l), rects[0][1].GetInteger(&t), rects[0][2].GetInteger(&r), rects[0][3].GetInteger(&b);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 1024);
    EXPECT_EQ(t, 700);
    EXPECT_EQ(b, 768);
    ProbedFile p = ProbeSections(file, "-show_entries stream=codec_type,width,height");
    EXPECT_EQ(Int(p.Stream("video"), "width"), 1024);
    EXPECT_EQ(Int(p.Stream("video"), "height"), 68);
}

TEST_F(ScreenRecording, AnEmptyAreaOrAFailedStartIsReportedAndLeavesThePageIdle) {
    ScreenRecorderPage& page = MakePage(File("none.flv"));
    page.FormatList()->setCurrentIndex(kFormatFlv);
    page.SetArea({10, 10, 0, 0});
    page.OnCapture();
    EXPECT_FALSE(page.Recording());
    ASSERT_EQ(boxes_.Calls().size(), 1u);
    EXPECT_EQ(boxes_.Calls()[0].text, kScreenCaptureFailedText);
    EXPECT_EQ(boxes_.Calls()[0].Icon(), MB_ICONERROR);
    EXPECT_TRUE(asked_.empty()) << "nothing is asked for an area that cannot be recorded";

    // A file the control cannot write: Start answers below zero.
    MakePage(File("missing-folder/x.flv"));
    page_->FormatList()->setCurrentIndex(kFormatFlv);
    page_->SetArea({0, 0, 320, 240});
    page_->OnCapture();
    EXPECT_FALSE(page_->Recording());
    ASSERT_EQ(boxes_.Calls().size(), 2u);
    EXPECT_EQ(boxes_.Calls()[1].text, kScreenCaptureFailedText);
    EXPECT_TRUE(page_->CaptureButton()->isEnabled());
    EXPECT_FALSE(page_->StopButton()->isEnabled());
}

TEST_F(ScreenRecording, CancelInTheOptionsStartsNothing) {
    answerer_.Answer(kFlvDialogTitle, QDialog::Rejected);
    ScreenRecorderPage& page = MakePage(File("cancelled.flv"));
    page.FormatList()->setCurrentIndex(kFormatFlv);
    page.OnCapture();
    EXPECT_FALSE(page.Recording());
    EXPECT_TRUE(asked_.empty());
    EXPECT_FALSE(std::filesystem::exists(File("cancelled.flv")));
}

// Hot keys through a real X key grab, pressed with xdotool.
class ScreenHotKeys : public ScreenPageFixture {
protected:
    void Press(const char* keys) {
        ASSERT_EQ(std::system(("DISPLAY=" + server_->Display() + " xdotool key " + keys).c_str()), 0);
    }
};

TEST_F(ScreenHotKeys, PauseIsLeftOutAndCtrlKWhileRecordingStartsNothingNew) {
    X11HotKeys keys(server_->Display());
    ASSERT_TRUE(keys.Available()) << keys.Reason();
    const auto file = File("hotkeys.flv");
    ScreenRecorderPage::Services services;
    services.programFolder = testing_support::DistDir().string();
    services.applyHotKeys = [&keys](const std::array<std::string, 5>& edits) {
        return ApplyHotKeys(keys, edits, ScreenSettings(), IniStore::Instance());
    };
    services.readyToRecord = [&](const std::string&, const std::string&, const std::string&, bool) {
        asked_.push_back("asked");
        return std::optional<std::string>(file.string());
    };
    page_ = std::make_unique<ScreenRecorderPage>(std::move(services));
    ScreenRecorderPage& page = *page_;
    keys.SetHandler([&page](int id) { page.OnHotKey(id); });
    page.FormatList()->setCurrentIndex(kFormatFlv);
    page.FrameRateList()->setCurrentIndex(5);  // 10 fps
    page.SetArea({0, 0, 640, 480});

    // The file should hold the time the page recorded and not the pause; the key presses' own
    // latency on a busy machine goes into both, so the bound is on what was measured here.
    using Clock = std::chrono::steady_clock;
    Press("ctrl+k");
    ASSERT_TRUE(Spin(5000, [&] { return page.Recording(); }));
    const auto started = Clock::now();
    Spin(1500);
    Press("ctrl+k");
    Spin(300);
    EXPECT_EQ(asked_.size(), 1u) << "no second recording";
    Press("ctrl+p");
    ASSERT_TRUE(Spin(3000, [&] { return page.Paused(); }));
    const auto paused = Clock::now();
    EXPECT_EQ(page.CaptureButton()->text(), "Resume");
    Spin(2000);
    Press("ctrl+k");
    ASSERT_TRUE(Spin(3000, [&] { return page.Recording(); }));
    const auto resumed = Clock::now();
    EXPECT_EQ(page.CaptureButton()->text(), "Capture");
    Spin(1500);
    Press("ctrl+q");
    ASSERT_TRUE(Spin(3000, [&] { return !page.Recording() && !page.Paused(); }));
    const auto stopped = Clock::now();
    EXPECT_TRUE(page.StopRequested());
    EXPECT_EQ(asked_.size(), 1u);
    const std::chrono::duration<double> recorded = (paused - started) + (stopped - resumed);
    EXPECT_NEAR(Seconds(file, 10), recorded.count(), 0.6) << "the two seconds paused are not in the file";
}

}  // namespace
}  // namespace screen_page_test
