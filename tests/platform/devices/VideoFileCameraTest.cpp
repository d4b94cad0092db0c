// A virtual camera playing a video file: the frames the file holds, in a loop, at the file's
// rate; broken files refused with a message that says what is wrong.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/devices/virtual/DeviceListParser.h"
#include "platform/dshow/MediaType.h"
#include "tests/platform/devices/CaptureGraph.h"
#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 16, kHeight = 16;
constexpr REFERENCE_TIME kInterval = UNITS / 20;

struct Yuv {
    uint8_t y, u, v;
};
// Red, green and blue in studio-range BT.601, as a Y4M writer stores them.
constexpr std::array<Yuv, 3> kYuv{{{81, 90, 240}, {145, 54, 34}, {41, 240, 110}}};
constexpr std::array<std::array<int, 3>, 3> kRgb{{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};

fs::path Dir() { return testing_support::TestEnvironment::Current().Dir(); }

std::string Frame(const Yuv& c, size_t cut = 0) {
    std::string pixels(kWidth * kHeight, static_cast<char>(c.y));
    pixels += std::string(kWidth * kHeight / 4, static_cast<char>(c.u));
    pixels += std::string(kWidth * kHeight / 4, static_cast<char>(c.v));
    return "FRAME\n" + pixels.substr(0, pixels.size() - cut);
}

// A Y4M file of the three colours, one frame each.
fs::path WriteClip(const std::string& name = "clip.y4m") {
    fs::path file = Dir() / name;
    std::ofstream out(file, std::ios::binary);
    out << "YUV4MPEG2 W" << kWidth << " H" << kHeight << " F20:1 Ip A1:1 C420jpeg\n";
    for (const Yuv& c : kYuv) out << Frame(c);
    return file;
}

// The device list naming one camera with `file` (a JSON value), under ORVANTA_DEVICES.
void UseCamera(const std::string& file) {
    fs::path list = Dir() / "devices.json";
    std::ofstream(list) << R"({"devices": [{"name": "Clip Camera", "file": )" << file << "}]}";
    setenv("ORVANTA_DEVICES", list.c_str(), 1);
}

// Every sample's slot and bytes.
class Frames : public ComObject<ISampleGrabberCB> {
public:
    struct Seen {
        REFERENCE_TIME start = 0, stop = 0;
        std::vector<uint8_t> bytes;
    };
    HRESULT SampleCB(double, IMediaSample* sample) override {
        Seen s;
        sample->GetTime(&s.start, &s.stop);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        s.bytes.assign(data, data + sample->GetActualDataLength());
        std::lock_guard lock(mutex_);
        seen_.push_back(std::move(s));
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
    std::vector<Seen> All() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    std::mutex mutex_;
    std::vector<Seen> seen_;
};

// Runs the camera's capture pin (in `format`, when given) for `ms` into a grabber.
std::vector<Frames::Seen> Play(IBaseFilter* camera, int ms, const AM_MEDIA_TYPE* format = nullptr) {
    CaptureGraph run;
    EXPECT_EQ(run.Add(camera), S_OK);
    if (format) {
        ComPtr<IAMStreamConfig> config;
        run.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, IAMStreamConfig::iid,
                                   config.ReleaseAndGetVoidAddress());
        EXPECT_TRUE(config && config->SetFormat(format) == S_OK);
    }
    ComPtr<Frames> frames = MakeCom<Frames>();
    EXPECT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    QueryAs<ISampleGrabber>(run.grabber.Get())->SetCallback(frames.Get(), 0);
    EXPECT_EQ(run.Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    run.Stop();
    return frames->All();
}

TEST(VideoFileCamera, PlaysTheFileInALoopAtItsOwnRate) {
    WriteClip();
    UseCamera(R"("clip.y4m")");  // relative to the list's folder
    ComPtr<IBaseFilter> camera = BindFirstVideoDevice();
    ASSERT_TRUE(camera);

    // The file decides the formats: its own size and rate, as its own I420 and as RGB24, last,
    // where a session given no format looks.
    ComPtr<IPin> pin;
    ASSERT_EQ(camera->FindPin("Capture", pin.ReleaseAndGetAddressOf()), S_OK);
    auto config = QueryAs<IAMStreamConfig>(pin.Get());
    ASSERT_TRUE(config);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    ASSERT_EQ(count, 2);
    AM_MEDIA_TYPE rgb, i420;
    VIDEO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(config->GetStreamCaps(0, &i420, reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(i420.subtype, MEDIASUBTYPE_I420);
    ASSERT_EQ(config->GetStreamCaps(1, &rgb, reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(rgb.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(caps.MinFrameInterval, kInterval);
    EXPECT_EQ(caps.MaxOutputSize.cx, kWidth);

    const auto seen = Play(camera.Get(), 1500, &rgb);
    ASSERT_GE(seen.size(), 20u) << "20 fps for 1.5 s";
    EXPECT_LE(seen.size(), 32u);
    const size_t stride = static_cast<size_t>(DibStride(kWidth, 24));
    for (const auto& s : seen) {
        ASSERT_EQ(s.start % kInterval, 0) << "samples are stamped on the file's frame slots";
        EXPECT_EQ(s.stop - s.start, kInterval);
        const int64_t slot = s.start / kInterval;
        ASSERT_EQ(s.bytes.size(), stride * kHeight);
        const auto& want = kRgb[static_cast<size_t>(slot % 3)];
        for (size_t at : {size_t{0}, stride * 8 + 8 * 3, stride * (kHeight - 1) + (kWidth - 1) * 3}) {
            // A DIB pixel is blue, green, red.
            EXPECT_NEAR(s.bytes[at + 2], want[0], 4) << "slot " << slot;
            EXPECT_NEAR(s.bytes[at + 1], want[1], 4) << "slot " << slot;
            EXPECT_NEAR(s.bytes[at], want[2], 4) << "slot " << slot;
        }
    }
    EXPECT_GE(seen.back().start / kInterval, 6) << "the loop came round at least twice";

    // In the file's own format the frames arrive byte for byte as stored.
    const auto raw = Play(camera.Get(), 400, &i420);
    ASSERT_FALSE(raw.empty());
    for (const auto& s : raw) {
        const std::string want = Frame(kYuv[static_cast<size_t>(s.start / kInterval % 3)]).substr(6);
        EXPECT_EQ(std::string(s.bytes.begin(), s.bytes.end()), want);
    }
}

TEST(VideoFileCamera, RawRgbFramesArriveRightWayUp) {
    // Two 4x2 frames stored top-down: the top row white, the bottom row a dark grey, then the
    // second frame with the rows swapped.
    fs::path file = Dir() / "clip.rgb";
    {
        std::ofstream out(file, std::ios::binary);
        const std::string white(4 * 3, '\xff'), grey(4 * 3, '\x20');
        out << white << grey << grey << white;
    }
    UseCamera(R"({"path": ")" + file.string() + R"(", "format": "RGB24", "width": 4, "height": 2, "frameRate": 20})");
    ComPtr<IBaseFilter> camera = BindFirstVideoDevice();
    ASSERT_TRUE(camera);
    const auto seen = Play(camera.Get(), 400);
    ASSERT_GE(seen.size(), 3u);
    for (const auto& s : seen) {
        ASSERT_EQ(s.bytes.size(), 2u * 12u);
        const bool first = (s.start / kInterval) % 2 == 0;
        // The DIB's first row in memory is the picture's bottom row.
        EXPECT_EQ(s.bytes[0], first ? 0x20 : 0xff);
        EXPECT_EQ(s.bytes[12], first ? 0xff : 0x20);
    }
}

std::string FileError(const std::string& file) {
    fs::path list = Dir() / "devices.json";
    std::ofstream(list) << R"({"devices": [{"name": "Clip Camera", "file": )" << file << "}]}";
    return LoadDeviceListFile(list).error;
}

TEST(VideoFileCamera, BadFilesAreRefusedWithWhatIsWrong) {
    const fs::path list = Dir() / "devices.json";
    const std::string prefix = list.string() + ": devices[0].file: " + (Dir() / "bad.y4m").string() + ": ";
    auto y4m = [&](const std::string& text) {
        std::ofstream(Dir() / "bad.y4m", std::ios::binary) << text;
        return FileError(R"("bad.y4m")");
    };
    const std::string header = "YUV4MPEG2 W16 H16 F20:1\n";
    EXPECT_EQ(y4m("RIFF...."), prefix + "not a YUV4MPEG2 file (it does not start with \"YUV4MPEG2\")");
    EXPECT_EQ(y4m("YUV4MPEG2 W16 H16 F20:1"), prefix + "the YUV4MPEG2 header has no end of line");
    EXPECT_EQ(y4m("YUV4MPEG2 W16 F20:1\n"), prefix + "the header gives no width (W) or height (H)");
    EXPECT_EQ(y4m("YUV4MPEG2 W16 H16\n"), prefix + "the header gives no frame rate (F)");
    EXPECT_EQ(y4m("YUV4MPEG2 W16 H16 F20:0\n"), prefix + "the header's frame rate F20:0 is not a ratio of two positive numbers");
    EXPECT_EQ(y4m("YUV4MPEG2 W0 H16 F20:1\n"), prefix + "the header's W0 is not a size from 1 to 16384");
    EXPECT_EQ(y4m("YUV4MPEG2 W15 H16 F20:1\n"), prefix + "4:2:0 frames need an even width and height");
    EXPECT_EQ(y4m("YUV4MPEG2 W16 H16 F20:1 C444\n"), prefix + "colour space 444 is not supported (only 4:2:0)");
    EXPECT_EQ(y4m(header), prefix + "holds no frames");
    EXPECT_EQ(y4m(header + Frame(kYuv[0]) + Frame(kYuv[1], 10)), prefix + "frame 2 is cut short (374 of 384 bytes)");
    EXPECT_EQ(y4m(header + Frame(kYuv[0]) + "FRAMX\n"), prefix + "frame 2 does not start with a FRAME line");
    // A frame header may carry parameters of its own.
    EXPECT_EQ(y4m(header + Frame(kYuv[0]) + "FRAME Ip\n" + Frame(kYuv[1]).substr(6)), "");

    EXPECT_EQ(FileError(R"("missing.y4m")").rfind(list.string() + ": devices[0].file: " + (Dir() / "missing.y4m").string() +
                                                      ": cannot be read",
                                                  0),
              0u);
    std::ofstream(Dir() / "bad.yuv", std::ios::binary) << std::string(16 * 16 * 3 / 2 + 1, '\0');
    const std::string raw = R"({"path": "bad.yuv", "format": "I420", "width": 16, "height": 16, "frameRate": 20})";
    EXPECT_EQ(FileError(raw), list.string() + ": devices[0].file: " + (Dir() / "bad.yuv").string() +
                                  ": its size (385 bytes) is not a whole number of 384-byte frames");
    EXPECT_EQ(FileError(R"({"path": "bad.yuv", "format": "MJPG", "width": 16, "height": 16, "frameRate": 20})"),
              list.string() + ": devices[0].file: " + (Dir() / "bad.yuv").string() +
                  ": raw frames must be RGB24, RGB32, YUY2, UYVY, I420, YV12 or NV12");
    EXPECT_EQ(FileError(R"({"path": "bad.yuv", "format": "I420", "width": 16, "height": 16})"),
              list.string() + ": devices[0].file: raw frames need \"frameRate\"");
    EXPECT_EQ(FileError(R"("clip.y4m", "capture": [{"format": "RGB24", "width": 8, "height": 8}])"),
              list.string() + ": devices[0]: give either \"capture\" capabilities or a \"file\" to play, not both");
}

TEST(VideoFileCamera, FileCutShortWhilePlayingStopsTheStreamWithAMessage) {
    fs::path clip = WriteClip("shrinking.y4m");
    UseCamera(R"("shrinking.y4m")");
    ComPtr<IBaseFilter> camera = BindFirstVideoDevice();
    ASSERT_TRUE(camera);
    // After the list was read the file loses the end of its last frame.
    fs::resize_file(clip, fs::file_size(clip) - 10);
    CaptureGraph run;
    ASSERT_EQ(run.Add(camera.Get()), S_OK);
    ComPtr<Frames> frames = MakeCom<Frames>();
    ASSERT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    QueryAs<ISampleGrabber>(run.grabber.Get())->SetCallback(frames.Get(), 0);
    testing::internal::CaptureStderr();
    ASSERT_EQ(run.Run(), S_OK);
    // The streaming thread gives up at once and tells the graph why.
    auto events = QueryAs<IMediaEventEx>(run.graph.Get());
    ASSERT_TRUE(events);
    LONG code = 0;
    LONG_PTR reason = 0, unused = 0;
    ASSERT_EQ(events->GetEvent(&code, &reason, &unused, 2000), S_OK);
    run.Stop();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, EC_ERRORABORT);
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(reason)));
    EXPECT_TRUE(frames->All().empty());
    EXPECT_NE(said.find("orvanta: Clip Camera: " + clip.string() + ": frame 3 is cut short"), std::string::npos) << said;
}

}  // namespace
