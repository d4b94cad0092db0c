// Screen recordings as the screen recorder page makes them, read back with ffprobe and ffmpeg.
#include <cmath>
#include <cstdlib>

#include "tests/components/scrivel/ScrivelTestSupport.h"

namespace scrivel_test {
namespace {

using testing_support::DecodeVideo;
using testing_support::ProbeSections;
using testing_support::ProbedFile;

constexpr int kWidth = 1024, kHeight = 768;

struct Recording {
    int32_t kind = 3;  // 0 AVI, 1 WMV, 2 SWF, 3 FLV
    int16_t width = kWidth, height = kHeight;
    int16_t left = 0, top = 0;
    int16_t fps = 10;
    bool cursor = true;
    bool audio = true;
};

// The calls of one recording in the order the page makes them; Start's result.
int16_t StartRecording(const DispatchDriver& d, const Recording& r, const std::filesystem::path& file) {
    Put(d, 28, Variant(r.kind));
    if (r.kind == 0) {
        const std::vector<std::string> video = ListNames(d, 2), audio = ListNames(d, 8);
        auto index = [](const std::vector<std::string>& names, const char* name) {
            for (size_t i = 0; i < names.size(); ++i)
                if (names[i] == name) return static_cast<int16_t>(i);
            return static_cast<int16_t>(-1);
        };
        Put(d, 7, Variant(true));
        Put(d, 4, Variant(true));
        Put(d, 6, Variant(index(audio, "MPEG Layer-3")));
        Put(d, 1, Variant(index(video, "Motion JPEG")));
        Put(d, 36, Variant(static_cast<int16_t>(64)));
        Put(d, 37, Variant(static_cast<int32_t>(22050)));
    } else if (r.kind == 1) {
        Put(d, 9, Variant(static_cast<int16_t>(0)));
        Put(d, 11, Variant(""));
    } else if (r.kind == 3) {
        Put(d, 34, Variant(r.width));
        Put(d, 33, Variant(r.height));
        Put(d, 32, Variant(static_cast<int32_t>(800000)));
        Put(d, 29, Variant(static_cast<int32_t>(64000)));
        Put(d, 30, Variant(static_cast<int32_t>(2)));
        Put(d, 31, Variant(static_cast<int32_t>(22050)));
    } else {
        Put(d, 25, Variant(r.width));
        Put(d, 26, Variant(r.height));
        Put(d, 27, Variant(static_cast<int32_t>(800000)));
        Put(d, 22, Variant(static_cast<int32_t>(64000)));
        Put(d, 23, Variant(static_cast<int32_t>(1)));
        Put(d, 24, Variant(static_cast<int32_t>(44100)));
    }
    Put(d, 12, Variant(r.width));
    Put(d, 13, Variant(r.height));
    Call(d, 49, {Variant(r.left), Variant(r.top), Variant(static_cast<int16_t>(r.left + r.width)),
                 Variant(static_cast<int16_t>(r.top + r.height))});
    Put(d, 16, Variant(r.fps));
    Put(d, 15, Variant(r.cursor));
    Put(d, 5, Variant(r.audio));
    Put(d, 19, Variant(static_cast<int16_t>(0)));
    Put(d, 18, Variant(static_cast<int16_t>(0)));
    Put(d, 35, Variant(0.8));
    Put(d, 3, Variant(file.string()));
    int64_t result = 0;
    Call(d, 40).GetInteger(&result);
    return static_cast<int16_t>(result);
}

int Int(const std::map<std::string, std::string>* s, const char* key) {
    return s && s->count(key) ? std::atoi(s->at(key).c_str()) : -1;
}

// The recorded seconds: the container's duration, or for SWF (which has none) frames / rate.
double Seconds(const std::filesystem::path& file, int fps) {
    ProbedFile p = ProbeSections(file, "-count_frames -show_entries stream=codec_type,nb_read_frames:format=duration");
    if (p.format.count("duration") && p.format.at("duration") != "N/A") return std::atof(p.format.at("duration").c_str());
    return Int(p.Stream("video"), "nb_read_frames") / static_cast<double>(fps);
}

bool Near(const uint8_t* bgr, Rgb expected, int tolerance = 48) {
    return std::abs(bgr[2] - expected.r) <= tolerance && std::abs(bgr[1] - expected.g) <= tolerance &&
           std::abs(bgr[0] - expected.b) <= tolerance;
}

// The last decoded frame of a file of that size, bgr24, top row first.
std::vector<uint8_t> LastFrame(const std::filesystem::path& file, int width, int height) {
    std::vector<uint8_t> all = DecodeVideo(file, "bgr24");
    const size_t frame = static_cast<size_t>(width) * height * 3;
    if (all.size() < frame) return {};
    return std::vector<uint8_t>(all.end() - static_cast<ptrdiff_t>(frame), all.end());
}

const uint8_t* PixelAt(const std::vector<uint8_t>& frame, int width, int x, int y) {
    return frame.data() + (static_cast<size_t>(y) * width + x) * 3;
}

struct Format {
    int32_t kind;
    const char* extension;
    const char* video;
    const char* audio;
};

class ScrivelFormats : public ScreenFixture, public ::testing::WithParamInterface<Format> {};

TEST_P(ScrivelFormats, ThreeSecondsOfTheScreenWithCursorAndSound) {
    const Format format = GetParam();
    const auto file = File(std::string("screen.") + format.extension);
    {
        DispatchDriver d = CreateScrivel();
        Recording r;
        r.kind = format.kind;
        r.width = 1023;  // odd: recorded at the even size above
        ASSERT_EQ(StartRecording(d, r, file), 0) << Text(d, 50);
        Wait(3);
        Call(d, 41);
    }
    ProbedFile p = ProbeSections(file, "-show_entries stream=codec_type,codec_name,width,height,r_frame_rate,sample_rate");
    ASSERT_TRUE(p.Stream("video")) << file;
    ASSERT_TRUE(p.Stream("audio")) << file;
    EXPECT_EQ(p.Stream("video")->at("codec_name"), format.video);
    EXPECT_EQ(p.Stream("audio")->at("codec_name"), format.audio);
    EXPECT_EQ(Int(p.Stream("video"), "width"), 1024);
    EXPECT_EQ(Int(p.Stream("video"), "height"), kHeight);
    if (format.kind != 1) {
        EXPECT_EQ(p.Stream("video")->at("r_frame_rate"), "10/1");
    }
    if (format.kind == 0) {
        // The MP3 choices of the AVI options: 64 kbit/s at 22050 Hz.
        EXPECT_EQ(Int(p.Stream("audio"), "sample_rate"), 22050);
        ProbedFile rate = ProbeSections(file, "-show_entries stream=codec_type,bit_rate");
        EXPECT_EQ(Int(rate.Stream("audio"), "bit_rate"), 64000);
    }
    ProbedFile frames = ProbeSections(file, "-count_frames -show_entries stream=codec_type,nb_read_frames");
    EXPECT_NEAR(Int(frames.Stream("video"), "nb_read_frames"), 30, 5);
    EXPECT_NEAR(Seconds(file, 10), 3.0, 0.5);

    std::vector<uint8_t> frame = LastFrame(file, 1024, kHeight);
    ASSERT_FALSE(frame.empty());
    for (auto [x, y] : {std::pair{200, 150}, {800, 150}, {200, 600}, {800, 600}}) {
        EXPECT_TRUE(Near(PixelAt(frame, 1024, x, y), PaintedScreen::ColourAt(x, y, kWidth, kHeight))) << x << "," << y;
    }
    // The cursor is drawn with its hot spot (its top-left corner) where the pointer is.
    const int c = PaintedScreen::kCursorSize / 2;
    EXPECT_TRUE(Near(PixelAt(frame, 1024, kPointerX + c, kPointerY + c), PaintedScreen::kCursor));
    EXPECT_TRUE(Near(PixelAt(frame, 1024, kPointerX - 6, kPointerY + c), PaintedScreen::kTopRight));
}

INSTANTIATE_TEST_SUITE_P(Scrivel, ScrivelFormats,
                         ::testing::Values(Format{1, "wmv", "wmv2", "wmav2"}, Format{0, "avi", "mjpeg", "mp3"},
                                           Format{3, "flv", "flv1", "mp3"}, Format{2, "swf", "flv1", "mp3"}),
                         [](const auto& info) { return std::string(info.param.extension); });

using ScrivelRecording = ScreenFixture;

TEST_F(ScrivelRecording, PauseAndResumeWriteOneFileWithoutThePause) {
    const auto file = File("paused.flv");
    DispatchDriver d = CreateScrivel();
    ASSERT_EQ(StartRecording(d, Recording{}, file), 0) << Text(d, 50);
    Wait(1.5);
    Call(d, 45);
    Wait(2);
    Call(d, 46);
    Wait(1.5);
    Call(d, 41);
    EXPECT_NEAR(Seconds(file, 10), 3.0, 0.5);
}

TEST_F(ScrivelRecording, ZoomWhileRecordingMagnifiesLaterFrames) {
    const auto file = File("zoom.flv");
    DispatchDriver d = CreateScrivel();
    ASSERT_EQ(StartRecording(d, Recording{}, file), 0) << Text(d, 50);
    Wait(1);
    // The top-left quadrant, scaled to the whole frame.
    Call(d, 49, {Variant(int16_t{0}), Variant(int16_t{0}), Variant(int16_t{kWidth / 2}), Variant(int16_t{kHeight / 2})});
    Wait(1);
    Call(d, 41);
    std::vector<uint8_t> all = DecodeVideo(file, "bgr24");
    const size_t frameBytes = static_cast<size_t>(kWidth) * kHeight * 3;
    ASSERT_GE(all.size(), frameBytes * 15);
    std::vector<uint8_t> first(all.begin(), all.begin() + static_cast<ptrdiff_t>(frameBytes));
    std::vector<uint8_t> last = LastFrame(file, kWidth, kHeight);
    EXPECT_TRUE(Near(PixelAt(first, kWidth, 800, 600), PaintedScreen::kBottomRight));
    EXPECT_TRUE(Near(PixelAt(last, kWidth, 800, 600), PaintedScreen::kTopLeft));
    EXPECT_TRUE(Near(PixelAt(last, kWidth, 100, 100), PaintedScreen::kTopLeft));
}

TEST_F(ScrivelRecording, RectangleReachingPastTheScreenIsShiftedInside) {
    const auto file = File("edge.flv");
    DispatchDriver d = CreateScrivel();
    Recording r;
    r.left = 450;
    r.top = 650;
    r.width = 600;
    r.height = 200;
    r.cursor = false;
    ASSERT_EQ(StartRecording(d, r, file), 0) << Text(d, 50);
    Wait(1);
    Call(d, 41);
    ProbedFile p = ProbeSections(file, "-show_entries stream=codec_type,width,height");
    EXPECT_EQ(Int(p.Stream("video"), "width"), 600);
    EXPECT_EQ(Int(p.Stream("video"), "height"), 200);
    std::vector<uint8_t> last = LastFrame(file, 600, 200);
    ASSERT_FALSE(last.empty());
    // Shifted whole to (424, 568)-(1024, 768), the quadrants meet at x = 88; a rectangle merely cut
    // at the edge and stretched would put that seam at x = 65.
    EXPECT_TRUE(Near(PixelAt(last, 600, 20, 100), PaintedScreen::kBottomLeft));
    EXPECT_TRUE(Near(PixelAt(last, 600, 76, 100), PaintedScreen::kBottomLeft));
    EXPECT_TRUE(Near(PixelAt(last, 600, 100, 100), PaintedScreen::kBottomRight));
    EXPECT_TRUE(Near(PixelAt(last, 600, 500, 190), PaintedScreen::kBottomRight));
}

TEST_F(ScrivelRecording, DestroyingTheControlWhileRecordingLeavesAReadableFile) {
    const auto file = File("dropped.avi");
    {
        DispatchDriver d = CreateScrivel();
        Recording r;
        r.kind = 0;
        ASSERT_EQ(StartRecording(d, r, file), 0) << Text(d, 50);
        Wait(1.5);
    }
    EXPECT_NEAR(Seconds(file, 10), 1.5, 0.5);
    EXPECT_FALSE(LastFrame(file, kWidth, kHeight).empty());
}

TEST_F(ScrivelRecording, TwoControlsRecordAtOnce) {
    DispatchDriver a = CreateScrivel(), b = CreateScrivel();
    Recording left, right;
    left.width = right.width = 512;
    left.height = right.height = 384;
    right.left = 512;
    ASSERT_EQ(StartRecording(a, left, File("a.flv")), 0) << Text(a, 50);
    ASSERT_EQ(StartRecording(b, right, File("b.flv")), 0) << Text(b, 50);
    Wait(1);
    Call(a, 41);
    Call(b, 41);
    std::vector<uint8_t> fa = LastFrame(File("a.flv"), 512, 384), fb = LastFrame(File("b.flv"), 512, 384);
    ASSERT_FALSE(fa.empty());
    ASSERT_FALSE(fb.empty());
    EXPECT_TRUE(Near(PixelAt(fa, 512, 100, 100), PaintedScreen::kTopLeft));
    EXPECT_TRUE(Near(PixelAt(fb, 512, 100, 100), PaintedScreen::kTopRight));
}

// The loudest sample of the file's sound, in dB (ffmpeg's volumedetect).
double MaxVolume(const std::filesystem::path& file) {
    const std::string text = testing_support::CommandOutput("ffmpeg -nostdin -v info -i '" + file.string() +
                                                            "' -af volumedetect -vn -f null - 2>&1");
    const size_t at = text.find("max_volume:");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 11);
}

TEST_F(ScrivelRecording, TheVolumeScalesTheSound) {
    for (double volume : {1.0, 0.1}) {
        const auto file = File("volume" + std::to_string(static_cast<int>(volume * 10)) + ".flv");
        DispatchDriver d = CreateScrivel();
        ASSERT_EQ(StartRecording(d, Recording{}, file), 0) << Text(d, 50);
        Put(d, 35, Variant(volume));  // also while recording
        Wait(1.5);
        Call(d, 41);
    }
    // A tenth of the amplitude is 20 dB down.
    EXPECT_NEAR(MaxVolume(File("volume10.flv")) - MaxVolume(File("volume1.flv")), 20.0, 3.0);
}

TEST_F(ScrivelRecording, StartFailsWithAReasonForAFileThatCannotBeWritten) {
    DispatchDriver d = CreateScrivel();
    EXPECT_EQ(StartRecording(d, Recording{}, "/nonexistent-folder/x.flv"), -1);
    EXPECT_FALSE(Text(d, 50).empty());
}

}  // namespace
}  // namespace scrivel_test
