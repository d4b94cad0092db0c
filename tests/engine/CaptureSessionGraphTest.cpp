// The graphs a start builds on the virtual devices, checked by the filters' names and
// connections, and the files they write, read back by ffprobe.
#include <cstdlib>
#include <cstdio>
#include <fstream>

#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/os/Folders.h"
#include "tests/engine/SessionTestSupport.h"
#include "tests/platform/dshow/AviProbe.h"
#include "tests/support/MediaProbe.h"

using namespace session_test;

namespace {
std::string FfprobeValue(const std::filesystem::path& file, const char* stream, const char* entry) {
    std::string out = testing_support::Ffprobe(
        file, std::string("-select_streams ") + stream + " -show_entries stream=" + entry + " -of csv=p=0");
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
}

// Every frame of the file's video as 24-bit BGR, top row first.
std::vector<uint8_t> DecodeAllFramesBgr(const std::filesystem::path& file) {
    return testing_support::DecodeVideo(file, "bgr24");
}

class SessionGraph : public SessionTest {
protected:
    // Records for about `ms` and stops; the file must then be complete.
    void Record(int ms) {
        Pump(ms);
        EXPECT_EQ(session.StopSession(), S_OK);
    }
    void CaptureTo(const std::string& name) {
        file = TestFile(name);
        session.captureMode = true;
        session.captureFileName = file.string();
    }
    std::filesystem::path file;
};
}  // namespace

TEST_F(SessionGraph, ScalablePreviewRunsThroughSmartTee2WithTheCaptureOutputOnTheNullRenderer) {
    ASSERT_TRUE(Start(kCamera));
    IGraphBuilder* graph = session.Graph();
    ASSERT_TRUE(graph);
    EXPECT_TRUE(session.scalableSource);
    for (const char* name : {"Grabber", "NullRenderer", "Smart Tee 2", "Preview Text Filter"})
        EXPECT_TRUE(HasFilter(graph, name)) << name;
    EXPECT_TRUE(HasFilter(graph, kCamera));
    EXPECT_FALSE(HasFilter(graph, "Write Text Filter"));
    EXPECT_FALSE(HasFilter(graph, "AVI Mux 2"));
    EXPECT_EQ(DownstreamOf(graph, kCamera), "Smart Tee 2");
    EXPECT_EQ(DownstreamOf(graph, "Smart Tee 2"), "NullRenderer");
    EXPECT_EQ(DownstreamOf(graph, "Preview Text Filter"), "Grabber");
    EXPECT_FALSE(DownstreamOf(graph, "Grabber").empty());
    // The probe-less start found the formats of the camera.
    EXPECT_FALSE(formats.empty());
    // Frames reach the grabber.
    Bitmap bitmap;
    EXPECT_TRUE(PumpUntil([&] { return session.GrabFrame(bitmap) == S_OK; }, 5000));
}

TEST_F(SessionGraph, FixedCapsPreviewUsesThePreviewPinAndANullRendererOnTheCapturePin) {
    ASSERT_TRUE(Start(kCard));
    IGraphBuilder* graph = session.Graph();
    EXPECT_FALSE(session.scalableSource);
    EXPECT_TRUE(HasFilter(graph, "Preview Text Filter"));
    EXPECT_TRUE(HasFilter(graph, "NullRenderer"));
    EXPECT_FALSE(HasFilter(graph, "Smart Tee"));
    EXPECT_FALSE(HasFilter(graph, "Smart Tee 2"));
    EXPECT_FALSE(HasFilter(graph, "Write Text Filter"));
    EXPECT_EQ(DownstreamOf(graph, "Preview Text Filter"), "Grabber");
    // VideoFormat -1 on a fixed-caps device: its last capability.
    ASSERT_EQ(formats.size(), 4u);
}

TEST_F(SessionGraph, ScalableCaptureToAviWithAudioKeepsTheCamerasOwnSizeWithFormatMinusOne) {
    CaptureTo("scalable.avi");
    ASSERT_TRUE(Start(kCamera, kMicrophone));
    IGraphBuilder* graph = session.Graph();
    for (const char* name : {"AVI Mux 2", "File Writer 2", "Write Text Filter", "Preview Text Filter", "Smart Tee 2"})
        EXPECT_TRUE(HasFilter(graph, name)) << name;
    // The first start found the camera scalable only after the sink step: no stray second sink.
    EXPECT_FALSE(HasFilter(graph, "AVI Mux"));
    EXPECT_FALSE(HasFilter(graph, "File Writer"));
    EXPECT_TRUE(HasFilter(graph, kMicrophone));
    EXPECT_EQ(DownstreamOf(graph, "Smart Tee 2"), "Write Text Filter");
    EXPECT_EQ(DownstreamOf(graph, "AVI Mux 2"), "File Writer 2");
    EXPECT_EQ(DownstreamOf(graph, kMicrophone), "AVI Mux 2");
    LONG width = 0, height = 0;
    ComPtr<IBasicVideo2> video = QueryAs<IBasicVideo2>(graph);
    ASSERT_TRUE(video);
    ASSERT_EQ(video->GetVideoSize(&width, &height), S_OK);
    Record(1200);

    EXPECT_TRUE(dshow_test::IsCompleteAvi(file));
    auto streams = dshow_test::ProbeWithFfprobe(file);
    const auto* v = dshow_test::StreamOf(streams, "video");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->width, width);
    EXPECT_EQ(v->height, height);
    EXPECT_GT(v->frames, 5);
    EXPECT_TRUE(dshow_test::StreamOf(streams, "audio"));
}

TEST_F(SessionGraph, ScalableCaptureThroughAVideoCompressorWritesThatCodec) {
    CaptureTo("mp42.avi");
    session.useVideoCompressor = true;
    session.captureAudio = false;
    ASSERT_TRUE(Start(kCamera, "", "MPEG-4 Video Codec V2"));
    IGraphBuilder* graph = session.Graph();
    EXPECT_EQ(session.videoCompressorName, "MPEG-4 Video Codec V2");
    EXPECT_EQ(DownstreamOf(graph, "Write Text Filter"), "MPEG-4 Video Codec V2");
    EXPECT_EQ(DownstreamOf(graph, "MPEG-4 Video Codec V2"), "AVI Mux 2");
    Record(1200);
    EXPECT_TRUE(dshow_test::IsCompleteAvi(file));
    EXPECT_EQ(FfprobeValue(file, "v", "codec_name"), "msmpeg4v2");
    auto streams = dshow_test::ProbeWithFfprobe(file);
    const auto* v = dshow_test::StreamOf(streams, "video");
    ASSERT_TRUE(v);
    EXPECT_GT(v->frames, 5);
    EXPECT_FALSE(dshow_test::StreamOf(streams, "audio"));
}

TEST_F(SessionGraph, FixedCapsCaptureWithFormatMinusOneRecordsAtTheLastCapability) {
    CaptureTo("fixed.avi");
    ASSERT_TRUE(Start(kCard, kMicrophone));
    IGraphBuilder* graph = session.Graph();
    for (const char* name : {"Smart Tee", "Write Text Filter", "AVI Mux", "File Writer", "Preview Text Filter"})
        EXPECT_TRUE(HasFilter(graph, name)) << name;
    EXPECT_FALSE(HasFilter(graph, "AVI Mux 2"));
    EXPECT_EQ(DownstreamOf(graph, kCard), "Smart Tee");
    EXPECT_EQ(DownstreamOf(graph, "Smart Tee"), "Write Text Filter");
    EXPECT_EQ(DownstreamOf(graph, "Write Text Filter"), "AVI Mux");
    EXPECT_EQ(DownstreamOf(graph, kMicrophone), "AVI Mux");
    Record(1200);
    EXPECT_TRUE(dshow_test::IsCompleteAvi(file));
    auto streams = dshow_test::ProbeWithFfprobe(file);
    const auto* v = dshow_test::StreamOf(streams, "video");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->width, 320);
    EXPECT_EQ(v->height, 240);
    EXPECT_GT(v->frames, 5);
    EXPECT_TRUE(dshow_test::StreamOf(streams, "audio"));
}

TEST_F(SessionGraph, FixedCapsChosenCapabilityWithFrameRateZeroKeepsItsOwnRate) {
    CaptureTo("rate0.avi");
    session.captureAudio = false;
    session.frameRate = 0;
    ASSERT_TRUE(Start(kCard, "", "", "", 2));
    Record(800);
    EXPECT_EQ(FfprobeValue(file, "v", "width"), "640");
    EXPECT_EQ(FfprobeValue(file, "v", "r_frame_rate"), "25/1");
    EXPECT_TRUE(dshow_test::IsCompleteAvi(file));
    session.frameRate = -5;
    EXPECT_TRUE(Start(kCard, "", "", "", 1));
}

TEST_F(SessionGraph, FixedCapsCaptureThroughCompressorsOfBothKinds) {
    CaptureTo("fixedcodec.avi");
    session.useVideoCompressor = true;
    session.useAudioCompressor = true;
    ASSERT_TRUE(Start(kCard, kMicrophone, "Motion JPEG", "IMA ADPCM"));
    IGraphBuilder* graph = session.Graph();
    EXPECT_EQ(DownstreamOf(graph, "Write Text Filter"), "Motion JPEG");
    EXPECT_EQ(DownstreamOf(graph, "Motion JPEG"), "AVI Mux");
    EXPECT_EQ(DownstreamOf(graph, kMicrophone), "IMA ADPCM");
    Record(1000);
    EXPECT_TRUE(dshow_test::IsCompleteAvi(file));
    EXPECT_EQ(FfprobeValue(file, "v", "codec_name"), "mjpeg");
    EXPECT_EQ(FfprobeValue(file, "a", "codec_name"), "adpcm_ima_wav");
}

TEST_F(SessionGraph, FixedCapsWithShowPreviewOffHasNoPreviewBranchAndSnapshotsFail) {
    CaptureTo("nopreview.avi");
    session.showPreview = false;
    ASSERT_TRUE(Start(kCard));
    IGraphBuilder* graph = session.Graph();
    EXPECT_FALSE(HasFilter(graph, "Preview Text Filter"));
    EXPECT_TRUE(DownstreamOf(graph, "Grabber").empty());
    EXPECT_TRUE(HasFilter(graph, "Write Text Filter"));
    Pump(500);
    EXPECT_EQ(session.SnapShot(TestFile("none.bmp").string()), 0);
    EXPECT_FALSE(std::filesystem::exists(TestFile("none.bmp")) &&
                 std::filesystem::file_size(TestFile("none.bmp")) > 0);
}

TEST_F(SessionGraph, ScalableDeviceBuildsItsPreviewEvenWithShowPreviewOff) {
    session.showPreview = false;
    ASSERT_TRUE(Start(kCamera));
    EXPECT_TRUE(HasFilter(session.Graph(), "Preview Text Filter"));
    EXPECT_EQ(DownstreamOf(session.Graph(), "Preview Text Filter"), "Grabber");
}

TEST_F(SessionGraph, SwitchingFromAScalableToAFixedCapsDeviceStillGetsItsFileSink) {
    ASSERT_TRUE(Start(kCamera));  // leaves scalableSource set
    ASSERT_TRUE(session.scalableSource);
    CaptureTo("switched.avi");
    session.captureAudio = false;
    ASSERT_TRUE(Start(kCard));
    EXPECT_FALSE(session.scalableSource);
    EXPECT_EQ(DownstreamOf(session.Graph(), "Write Text Filter"), "AVI Mux");
    Record(800);
    EXPECT_TRUE(dshow_test::IsCompleteAvi(file));
}

TEST_F(SessionGraph, OverlayTextShowsInTheRecordedFrames) {
    CaptureTo("overlay.avi");
    session.captureAudio = false;
    ASSERT_TRUE(Start(kCard, "", "", "", 3));  // RGB24 320x240, stored uncompressed
    // As the control's Start does: the switches, then the text settings.
    session.EnableTextOverlay(true);
    // A colour the test picture does not use.
    const COLORREF odd = 0x008FC925;  // R 0x25, G 0xC9, B 0x8F
    session.UpdateTextOverlay(0, 1, "DejaVu Sans", 28, 10, 10, "MMMMMM", odd, 0, 0, 0, 0, 0, "");
    Record(1200);
    auto frames = DecodeAllFramesBgr(file);
    const size_t frameBytes = 320 * 240 * 3;
    ASSERT_GE(frames.size(), frameBytes * 3);
    const uint8_t* last = frames.data() + (frames.size() / frameBytes - 1) * frameBytes;
    auto countText = [&](int x0, int y0, int x1, int y1) {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const uint8_t* p = last + (static_cast<size_t>(y) * 320 + x) * 3;
                if (std::abs(p[0] - 0x8F) < 14 && std::abs(p[1] - 0xC9) < 14 && std::abs(p[2] - 0x25) < 14) ++count;
            }
        return count;
    };
    // Inside the text box many pixels carry the text colour; the bottom of the picture has none.
    EXPECT_GT(countText(10, 10, 200, 50), 100);
    EXPECT_LT(countText(10, 190, 200, 230), 10);
}

// A recording that could write nothing does not start: no encoder, no graph left running.
TEST_F(SessionGraph, MpegOutputWithoutTheOutsideEncoderFailsTheStart) {
    CaptureTo("out.mpg");
    session.outputType = 2;
    EXPECT_EQ(session.StartSession(formats, kCamera, kMicrophone, "", "", -1, -1, Guid{}), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(session.MpegEncoder());
    EXPECT_FALSE(session.Graph());
    EXPECT_NE(session.LastFailure().find("creating the MPEG encoder failed"), std::string::npos) << session.LastFailure();
}

TEST_F(SessionGraph, WmvOutputForcesBothStreamsOnAFixedCapsDevice) {
    CaptureTo("out.wmv");
    session.outputType = 1;
    session.captureAudio = false;
    session.captureVideo = false;
    // The checked audio connection reaches the ASF writer the builder made.
    EXPECT_TRUE(Start(kCard, kMicrophone));
    EXPECT_TRUE(session.captureAudio);
    EXPECT_TRUE(session.captureVideo);
    EXPECT_EQ(session.wmvFileName, file.string());
    EXPECT_EQ(DownstreamOf(session.Graph(), kMicrophone), "ASF Writer");
    EXPECT_EQ(session.StopSession(), S_OK);
    EXPECT_FALSE(session.Graph());
}

TEST_F(SessionGraph, BroadcastWithoutCaptureModeWritesTheTemporaryWmvFile) {
    session.broadcast = true;
    session.captureFileName = TestFile("ignored.avi").string();
    Start(kCamera);
    EXPECT_TRUE(session.captureMode);
    EXPECT_EQ(session.outputType, 1);
    EXPECT_EQ(session.wmvFileName, GetTempFolder() + "tmp.wmv");
    EXPECT_EQ(session.captureFileName, session.wmvFileName);
}

namespace {
// A video compressor whose input takes no type at all.
class RefusingPin final : public InputPin {
public:
    explicit RefusingPin(BaseFilter* filter) : InputPin(filter, "Input") {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return VFW_E_TYPE_NOT_ACCEPTED; }

protected:
    HRESULT OnReceive(IMediaSample*) override { return E_UNEXPECTED; }
};

constexpr CLSID kRefusingCompressor = MakeGuid("{5B0C7E51-2E43-4C59-9D7A-0E5F3C4B7A11}");

class RefusingCompressor final : public BaseFilter {
public:
    RefusingCompressor() : BaseFilter(kRefusingCompressor) { AddPin(std::make_unique<RefusingPin>(this)); }
};
}  // namespace

// A file branch that cannot be connected fails the start in both shapes: nothing runs, nothing
// reports progress, and the failing step is named.
TEST_F(SessionGraph, ACompressorThatRefusesEveryInputTypeFailsTheStartAndLeavesNoGraph) {
    InstallDeviceCategory(CLSID_VideoCompressorCategory, [] {
        DeviceMonikerEntry entry;
        entry.friendlyName = "Refusing Codec";
        entry.clsid = kRefusingCompressor;
        entry.bind = [](IBaseFilter** filter) {
            *filter = MakeCom<RefusingCompressor>().Detach();
            return S_OK;
        };
        return std::vector<DeviceMonikerEntry>{entry};
    });
    for (const std::string& device : {kCamera, kCard}) {
        SCOPED_TRACE(device);
        CaptureTo("refused.avi");
        session.useVideoCompressor = true;
        session.captureAudio = false;
        const HRESULT hr = session.StartSession(formats, device, "", "Refusing Codec", "", -1, -1, Guid{});
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_FALSE(session.Graph());
        EXPECT_NE(session.LastFailure().find("-> Refusing Codec failed"), std::string::npos) << session.LastFailure();
        Pump(200);
        EXPECT_TRUE(owner.Named("Capturing").empty());
    }
}
