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
#include "tests/support/TestEnvironment.h"

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
    std::string command = "ffprobe -v error -count_frames -show_entries "
                          "stream=codec_name,codec_tag_string,width,height,nb_read_frames,sample_rate,channels -of default=nw=0 '" +
                          file.string() + "' 2>/dev/null";
    std::vector<Probed> streams;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return streams;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text == "[STREAM]") streams.emplace_back();
        if (streams.empty()) continue;
        size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        std::string key = text.substr(0, eq), value = text.substr(eq + 1);
        if (key == "codec_name") streams.back().codec = value;
        if (key == "codec_tag_string") streams.back().tag = value;
        if (key == "width" && value != "N/A") streams.back().width = std::stoi(value);
        if (key == "height" && value != "N/A") streams.back().height = std::stoi(value);
        if (key == "nb_read_frames" && value != "N/A") streams.back().frames = std::stol(value);
        if (key == "sample_rate" && value != "N/A") streams.back().sampleRate = std::stoi(value);
        if (key == "channels" && value != "N/A") streams.back().channels = std::stoi(value);
    }
    pclose(pipe);
    return streams;
}

// Samples ffprobe decodes from the first audio stream (every frame's nb_samples added up).
long DecodedSamples(const std::filesystem::path& file) {
    std::string command = "ffprobe -v error -select_streams a:0 -show_entries frame=nb_samples -of csv=p=0 '" +
                          file.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    long total = 0;
    char line[128];
    while (fgets(line, sizeof line, pipe)) total += std::strtol(line, nullptr, 10);
    pclose(pipe);
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
        std::vector<ComPtr<IBaseFilter>> filters;
        ComPtr<IEnumFilters> e;
        graph->EnumFilters(e.ReleaseAndGetAddressOf());
        ComPtr<IBaseFilter> f;
        while (e->Next(1, f.ReleaseAndGetAddressOf(), nullptr) == S_OK) filters.push_back(f);
        for (auto& filter : filters) graph->RemoveFilter(filter.Get());
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
    // Every frame the device delivered reached the file (one may be in flight at the stop).
    EXPECT_LE(std::abs(streams[0].frames - recording.delivered), 1) << "delivered " << recording.delivered;
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
