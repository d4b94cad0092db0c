// Every virtual device recorded through every installed compressor into AVI, read back by ffprobe.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "platform/codecs/CompressorCatalog.h"
#include "platform/codecs/CompressorFilters.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/StockInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/PinQueries.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/MediaProbe.h"

namespace {

struct Probed {
    std::string codec;
    int width = 0, height = 0;
    long frames = -1;
    std::string tag;
    int sampleRate = 0, channels = 0;
};

// ffprobe's view of each stream: codec name, size, decoded frame count, codec tag.
std::vector<Probed> Probe(const std::filesystem::path& file) {
    testing_support::ProbedFile probed = testing_support::ProbeSections(
        file, "-count_frames -show_entries "
              "stream=codec_name,codec_tag_string,width,height,nb_read_frames,sample_rate,channels");
    std::vector<Probed> streams;
    for (auto& fields : probed.streams) {
        auto number = [&](const char* key, long fallback) {
            auto it = fields.find(key);
            return it == fields.end() || it->second == "N/A" ? fallback : std::stol(it->second);
        };
        Probed& s = streams.emplace_back();
        s.codec = fields["codec_name"];
        s.tag = fields["codec_tag_string"];
        s.width = static_cast<int>(number("width", 0));
        s.height = static_cast<int>(number("height", 0));
        s.frames = number("nb_read_frames", -1);
        s.sampleRate = static_cast<int>(number("sample_rate", 0));
        s.channels = static_cast<int>(number("channels", 0));
    }
    return streams;
}

// Samples ffprobe decodes from the first audio stream (every frame's nb_samples added up).
long DecodedSamples(const std::filesystem::path& file) {
    long total = 0;
    for (const std::string& line : testing_support::Lines(
             testing_support::Ffprobe(file, "-select_streams a:0 -show_entries frame=nb_samples -of csv=p=0")))
        total += std::strtol(line.c_str(), nullptr, 10);
    return total;
}

// The size of the first stream format chunk ("strf") of an AVI file: a BITMAPINFOHEADER (40
// bytes) and the codec's private data after it; -1 when there is none.
long FirstStreamFormatSize(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = bytes.find("strf");
    if (at == std::string::npos || at + 8 > bytes.size()) return -1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at + 4);
    return static_cast<long>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned long>(p[3]) << 24);
}

// Counts the bytes that pass the grabber it is installed on.
class ByteCounter : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double, IMediaSample* sample) override {
        last = sample->GetActualDataLength();
        bytes += last;
        return S_OK;
    }
    HRESULT BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
    std::atomic<long> bytes{0};
    std::atomic<long> last{0};  // the latest sample, which may be in flight when the graph stops
};

ComPtr<IBaseFilter> Bind(const CLSID& category, const std::string& name) {
    ComPtr<ICreateDevEnum> devices;
    CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf());
    ComPtr<IEnumMoniker> list;
    ComPtr<IBaseFilter> filter;
    if (devices->CreateClassEnumerator(category, list.ReleaseAndGetAddressOf(), 0) != S_OK) return filter;
    ComPtr<IMoniker> moniker;
    while (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress());
        Variant value;
        if (bag->Read("FriendlyName", &value, nullptr) == S_OK && value.Bstr() == name)
            moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress());
    }
    return filter;
}

// device -> compressor -> AVI Mux -> File Writer, run for a while, stopped and torn down.
struct Recording {
    std::filesystem::path file;
    LONG delivered = -1;
    HRESULT built = E_FAIL;

    // With `tap`, a sample grabber between device and compressor counts what the device gave.
    void Run(IBaseFilter* device, IBaseFilter* compressor, const Guid& major, const std::string& name,
             ByteCounter* tap = nullptr) {
        RegisterFilterGraphClasses();
        file = testing_support::TestEnvironment::Current().Dir() / name;
        ComPtr<IGraphBuilder> graph;
        ComPtr<ICaptureGraphBuilder2> builder;
        ASSERT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
        ASSERT_EQ(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder), S_OK);
        builder->SetFiltergraph(graph.Get());
        ASSERT_EQ(graph->AddFilter(device, "Device"), S_OK);
        ASSERT_EQ(graph->AddFilter(compressor, "Compressor"), S_OK);
        ComPtr<IBaseFilter> mux;
        ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file.c_str(), mux.ReleaseAndGetAddressOf(), nullptr), S_OK);
        if (tap) {
            ComPtr<IBaseFilter> grabber;
            ASSERT_EQ(CreateFilterGraphObject(CLSID_SampleGrabber, IBaseFilter::iid, grabber.ReleaseAndGetVoidAddress()), S_OK);
            ASSERT_EQ(graph->AddFilter(grabber.Get(), "Tap"), S_OK);
            QueryAs<ISampleGrabber>(grabber.Get())->SetCallback(tap, 0);
            built = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &major, device, grabber.Get(), compressor);
            ASSERT_EQ(built, S_OK);
            built = builder->RenderStream(nullptr, nullptr, compressor, nullptr, mux.Get());
        } else {
            built = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &major, device, compressor, mux.Get());
        }
        ASSERT_EQ(built, S_OK);
        ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph.Get());
        ComPtr<IAMDroppedFrames> counter;
        builder->FindInterface(&PIN_CATEGORY_CAPTURE, &major, device, IAMDroppedFrames::iid,
                               counter.ReleaseAndGetVoidAddress());
        ASSERT_EQ(SUCCEEDED(control->Run()), true);
        // At least 0.9 s and, where frames are counted, three frames: a slow encoder on a busy
        // machine holds the source back (bounded at 8 s).
        auto started = std::chrono::steady_clock::now();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            auto elapsed = std::chrono::steady_clock::now() - started;
            LONG sofar = 0;
            if (counter) counter->GetNumNotDropped(&sofar);
            if (elapsed >= std::chrono::milliseconds(900) && (!counter || sofar >= 3)) break;
            if (elapsed >= std::chrono::seconds(8)) break;
        }
        control->Stop();
        if (counter) counter->GetNumNotDropped(&delivered);
        for (auto& filter : FiltersOf(graph.Get())) graph->RemoveFilter(filter.Get());
    }
};

struct VideoCase {
    std::string device;
    std::string compressor;
    int width, height;
};

const std::map<std::string, std::pair<std::string, std::string>> kExpectedVideo{
    {"Microsoft Video 1", {"msvideo1", "CRAM"}}, {"MPEG-4 Video Codec V2", {"msmpeg4v2", "MP42"}},
    {"MPEG-4 Video Codec V3", {"msmpeg4v3", "MP43"}}, {"Xvid MPEG-4 Codec", {"mpeg4", "XVID"}},
    {"Motion JPEG", {"mjpeg", "MJPG"}}, {"Huffyuv", {"huffyuv", "HFYU"}},
    {"FFV1", {"ffv1", "FFV1"}}, {"H.264", {"h264", "H264"}},
};

class VideoCompressorRecording : public testing::TestWithParam<VideoCase> {};

TEST_P(VideoCompressorRecording, FfprobeReadsCodecSizeAndFrames) {
    const VideoCase& c = GetParam();
    const CompressorInfo* info = FindCompressorByName(c.compressor);
    ASSERT_TRUE(info);
    ComPtr<IBaseFilter> device = Bind(CLSID_VideoInputDeviceCategory, c.device);
    ASSERT_TRUE(device);
    ComPtr<IBaseFilter> compressor;
    if (CreateCompressorFilter(*info, compressor.ReleaseAndGetAddressOf()) == REGDB_E_CLASSNOTREG)
        GTEST_SKIP() << info->encoder << " is not in this FFmpeg";
    Recording recording;
    recording.Run(device.Get(), compressor.Get(), MEDIATYPE_Video, "video.avi");
    ASSERT_EQ(recording.built, S_OK);
    auto streams = Probe(recording.file);
    ASSERT_EQ(streams.size(), 1u) << recording.file;
    const auto& expected = kExpectedVideo.at(c.compressor);
    EXPECT_EQ(streams[0].codec, expected.first);
    EXPECT_EQ(streams[0].tag, expected.second);
    EXPECT_EQ(streams[0].width, c.width);
    EXPECT_EQ(streams[0].height, c.height);
    // Encoders whose decoder needs their parameters: the private data must reach the file.
    long format = FirstStreamFormatSize(recording.file);
    if (c.compressor == "FFV1" || c.compressor == "Huffyuv") {
        EXPECT_GT(format, 40);
    } else if (c.compressor == "Microsoft Video 1" || c.compressor == "Motion JPEG") {
        EXPECT_EQ(format, 40);
    }
    // Slow encoders (msvideo1) hold the source back: fewer frames, but all of them in the file.
    EXPECT_GE(streams[0].frames, 2);
    // Every frame the device delivered reached the file. The stop runs downstream first, so up
    // to two frames may be in flight then: one inside the encoder, one on its way to it.
    EXPECT_LE(std::abs(streams[0].frames - recording.delivered), 2) << "delivered " << recording.delivered;
}

std::vector<VideoCase> VideoCases() {
    std::vector<VideoCase> cases;
    for (const auto& info : KnownCompressors()) {
        if (info.kind != CompressorKind::Video) continue;
        cases.push_back({"Orvanta Virtual Camera", info.friendlyName, 640, 480});
        cases.push_back({"Orvanta Virtual Capture Card", info.friendlyName, 720, 576});
    }
    return cases;
}

std::string CaseName(const testing::TestParamInfo<VideoCase>& info) {
    std::string name = (info.param.device.find("Camera") != std::string::npos ? "Camera_" : "Card_") + info.param.compressor;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllDevices, VideoCompressorRecording, testing::ValuesIn(VideoCases()), CaseName);

class AudioCompressorRecording : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(AudioCompressorRecording, FfprobeReadsTheCodec) {
    const CompressorInfo* info = FindCompressorByName(GetParam().first);
    ASSERT_TRUE(info);
    ComPtr<IBaseFilter> mic = Bind(CLSID_AudioInputDeviceCategory, "Orvanta Virtual Microphone");
    ASSERT_TRUE(mic);
    ComPtr<IBaseFilter> compressor;
    if (CreateCompressorFilter(*info, compressor.ReleaseAndGetAddressOf()) == REGDB_E_CLASSNOTREG)
        GTEST_SKIP() << info->encoder << " is not in this FFmpeg";
    Recording recording;
    auto tap = MakeCom<ByteCounter>();
    recording.Run(mic.Get(), compressor.Get(), MEDIATYPE_Audio, "audio.avi", tap.Get());
    ASSERT_EQ(recording.built, S_OK);
    auto streams = Probe(recording.file);
    ASSERT_EQ(streams.size(), 1u) << recording.file;
    EXPECT_EQ(streams[0].codec, GetParam().second);
    EXPECT_EQ(streams[0].sampleRate, 44100);
    EXPECT_EQ(streams[0].channels, 2);
    EXPECT_GT(streams[0].frames, 0);
    // What the microphone gave is in the file, but for what the compressor still held when the
    // graph stopped (downstream first, so nothing held can be delivered then): PCM holds nothing,
    // ADPCM at most one block, MP3 its frame and the frames of its look-ahead queue. The latest
    // microphone sample may be in flight. Block codecs pad their last block, MP3 adds its delay.
    long given = tap->bytes / 4;  // 16-bit stereo
    long inFlight = tap->last / 4;
    long decoded = DecodedSamples(recording.file);
    EXPECT_GT(given, 44100 / 4) << "the microphone hardly ran";
    const std::map<std::string, long> heldBack{{"PCM", 0}, {"IMA ADPCM", 2048}, {"Microsoft ADPCM", 2048},
                                               {"MPEG Layer-3", 5 * 1152}};
    EXPECT_GE(decoded, given - inFlight - heldBack.at(GetParam().first)) << "given " << given;
    EXPECT_LE(decoded, given + 4096) << "given " << given;
    if (GetParam().first == "PCM") {
        EXPECT_TRUE(decoded == given || decoded == given - inFlight) << decoded << " of " << given;
    }
}

INSTANTIATE_TEST_SUITE_P(AllCompressors, AudioCompressorRecording,
                         testing::Values(std::make_pair("PCM", "pcm_s16le"), std::make_pair("MPEG Layer-3", "mp3"),
                                         std::make_pair("IMA ADPCM", "adpcm_ima_wav"),
                                         std::make_pair("Microsoft ADPCM", "adpcm_ms")),
                         [](const auto& info) {
                             std::string name = info.param.first;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
