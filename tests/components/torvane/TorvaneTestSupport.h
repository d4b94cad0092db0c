#pragma once
// Torvane.so registered in the test's registry store and an encoder created by class identifier,
// a live synthetic graph feeding it, and ffprobe's view of the result.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/contracts/MpegEncoderInterfaces.h"
#include "platform/com/ClassRegistry.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/synthetic/SyntheticAudioSource.h"
#include "platform/dshow/synthetic/SyntheticVideoSource.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/ModuleRegistration.h"

namespace torvane_test {

// Loads the module from the program folder and runs its DllRegisterServer.
inline void RegisterTorvane() {
    ASSERT_EQ(testing_support::RegisterModuleFile(testing_support::DistDir() / "Torvane.so"), "");
}

inline ComPtr<IBaseFilter> CreateEncoder() {
    ComPtr<IBaseFilter> encoder;
    EXPECT_EQ(CoCreateInstance(CLSID_MpegEncoder, nullptr, CLSCTX_ALL, &encoder), S_OK);
    return encoder;
}

struct MpegConfig {
    int outputType = 2;  // 2: MPEG-1, 3: MPEG-2, as the session passes it on
    int width = 352;
    int height = 288;
    float frameRate = 25;
    int videoBitrate = 1150000;
    int audioChannels = 2;
    int audioBitrate = 224000;
    int audioSampleRate = 44100;
};

// The session's calls, in its order; the first failing result is returned.
inline HRESULT Configure(IBaseFilter* encoder, const std::string& file, const MpegConfig& c) {
    ComPtr<IFileSinkFilter> sink = QueryAs<IFileSinkFilter>(encoder);
    ComPtr<IMpegEncoderOutput> output = QueryAs<IMpegEncoderOutput>(encoder);
    ComPtr<IMpegEncoderSettings> settings = QueryAs<IMpegEncoderSettings>(encoder);
    if (!sink || !output || !settings) return E_NOINTERFACE;
    char rate[64];
    std::snprintf(rate, sizeof rate, "%f", static_cast<double>(c.frameRate));
    const HRESULT results[] = {
        sink->SetFileName(file.c_str(), nullptr),
        output->SetOutputKind(c.outputType == 2 ? kMpegOutputMpeg1 : kMpegOutputMpeg2),
        settings->SetPreset(0),
        settings->SetStreamType(c.outputType == 2 ? 1 : 2),
        settings->SetVideoSize(c.width, c.height),
        settings->SetFrameRate(rate),
        settings->SetVideoBitrate(c.videoBitrate),
        settings->SetMaxVideoBitrate(c.videoBitrate),
        settings->SetMinVideoBitrate(c.videoBitrate),
        settings->SetMaxDuration(3600000),
        settings->SetAudioChannels(c.audioChannels),
        settings->SetAudioBitrate(c.audioBitrate),
        settings->SetAudioSampleRate(c.audioSampleRate),
    };
    for (HRESULT hr : results)
        if (FAILED(hr)) return hr;
    return S_OK;
}

// A live graph: synthetic video and (optionally) audio rendered into the encoder.
struct EncoderGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IMediaControl> control;

    void Build(IBaseFilter* encoder, const SyntheticVideoFormat* video, const SyntheticAudioFormat* audio) {
        ASSERT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
        ASSERT_EQ(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder), S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
        ASSERT_EQ(graph->AddFilter(encoder, "vcd"), S_OK);
        if (video) {
            auto source = MakeCom<SyntheticVideoSource>(*video);
            ASSERT_EQ(graph->AddFilter(source.Get(), "Video"), S_OK);
            ASSERT_EQ(builder->RenderStream(nullptr, nullptr, static_cast<IBaseFilter*>(source.Get()), nullptr, encoder),
                      S_OK);
        }
        if (audio) {
            auto source = MakeCom<SyntheticAudioSource>(*audio);
            ASSERT_EQ(graph->AddFilter(source.Get(), "Audio"), S_OK);
            ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, static_cast<IBaseFilter*>(source.Get()),
                                            nullptr, encoder),
                      S_OK);
        }
        control = QueryAs<IMediaControl>(graph.Get());
        ASSERT_TRUE(control);
    }

    // Runs until every source has ended (EC_COMPLETE), then stops.
    LONG RunToCompletion(LONG timeoutMs) {
        if (FAILED(control->Run())) return -1;
        ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(graph.Get());
        LONG code = 0;
        if (events->WaitForCompletion(timeoutMs, &code) != S_OK) code = 0;
        control->Stop();
        return code;
    }

    void TearDown() {
        if (!graph) return;
        control->Stop();
        for (auto& filter : FiltersOf(graph.Get())) graph->RemoveFilter(filter.Get());
        control.Reset();
        builder.Reset();
        graph.Reset();
    }
};

// ffprobe's fields as "section.key", e.g. "format.format_name", "video.codec_name".
inline std::map<std::string, std::string> Probe(const std::filesystem::path& file) {
    testing_support::ProbedFile probed = testing_support::ProbeSections(
        file, "-count_frames -show_entries format=format_name,duration:stream=codec_type,codec_name,width,height,"
              "sample_rate,channels,avg_frame_rate,nb_read_frames,duration");
    std::map<std::string, std::string> out;
    for (auto& [k, v] : probed.format) out["format." + k] = v;
    for (auto& stream : probed.streams) {
        auto type = stream.find("codec_type");
        if (type == stream.end()) continue;
        for (auto& [k, v] : stream) out[type->second + "." + k] = v;
    }
    return out;
}

// The first pack header's kind: 1 for an MPEG-1 system stream, 2 for an MPEG-2 program stream.
inline int PackHeaderKind(const std::filesystem::path& file) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return 0;
    unsigned char head[5] = {};
    size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (got < 5 || head[0] != 0 || head[1] != 0 || head[2] != 1 || head[3] != 0xBA) return 0;
    if ((head[4] & 0xF0) == 0x20) return 1;
    if ((head[4] & 0xC0) == 0x40) return 2;
    return 0;
}

}  // namespace torvane_test
