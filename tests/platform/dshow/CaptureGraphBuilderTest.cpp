#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/dshow/filters/StockFilters.h"
#include "platform/dshow/graph/CaptureGraphBuilder.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "tests/platform/dshow/TestFilters.h"

using namespace dshow_test;

namespace {
struct Builder {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    Builder() {
        CreateFilterGraphObject(CLSID_FilterGraph, &graph);
        CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder);
        builder->SetFiltergraph(graph.Get());
    }
    ComPtr<SyntheticVideoSource> Camera(bool previewPin, const char* name = "camera") {
        SyntheticVideoFormat f;
        f.width = 32;
        f.height = 24;
        f.previewPin = previewPin;
        ComPtr<SyntheticVideoSource> camera = MakeCom<SyntheticVideoSource>(f);
        graph->AddFilter(camera.Get(), name);
        return camera;
    }
    ComPtr<TestSink> Sink(const char* name, AM_MEDIA_TYPE accepted = AM_MEDIA_TYPE()) {
        ComPtr<TestSink> sink = MakeCom<TestSink>(std::move(accepted));
        graph->AddFilter(sink.Get(), name);
        return sink;
    }
};

IUnknown* Unknown(IBaseFilter* f) { return f; }

// FindInterface's search order: every object answers IProbe until it has been found once.
struct IProbe : IUnknown {
    static constexpr IID iid = MakeGuid("{7E57F11E-0000-4000-8000-0000000000A0}");
    virtual const char* Id() = 0;

protected:
    ~IProbe() = default;
};

struct ProbeState {
    std::set<std::string> hidden;
};

template <class PinBase>
class ProbePin final : public WithInterfaces<PinBase, IProbe> {
public:
    ProbePin(BaseFilter* filter, const char* name, ProbeState* state, Guid category = GUID_NULL)
        : WithInterfaces<PinBase, IProbe>(filter, name), state_(state), category_(category) {
        props_.pin = this;
    }
    const char* Id() override { return this->Name().c_str(); }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = MakeVideoType(MEDIASUBTYPE_RGB24, 8, 8);
        return S_OK;
    }

protected:
    void* QueryExtraInterface(REFIID riid) override {
        if (riid == IProbe::iid && state_->hidden.count(this->Name())) return nullptr;
        if (riid == IID_IKsPropertySet && !category_.IsNull()) return static_cast<IKsPropertySet*>(&props_);
        return WithInterfaces<PinBase, IProbe>::QueryExtraInterface(riid);
    }

private:
    // Tells the pin's category; shares the pin's count.
    struct Props final : IKsPropertySet {
        ProbePin* pin = nullptr;
        HRESULT QueryInterface(REFIID riid, void** o) override { return pin->QueryInterface(riid, o); }
        ULONG AddRef() override { return pin->AddRef(); }
        ULONG Release() override { return pin->Release(); }
        HRESULT Set(REFGUID, DWORD, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
        HRESULT Get(REFGUID set, DWORD, void*, DWORD, void* data, DWORD size, DWORD* returned) override {
            if (set != AMPROPSETID_Pin || size < 16) return E_PROP_SET_UNSUPPORTED;
            std::memcpy(data, &pin->category_, 16);
            *returned = 16;
            return S_OK;
        }
        HRESULT QuerySupported(REFGUID, DWORD, DWORD*) override { return S_OK; }
    };
    ProbeState* state_;
    Guid category_;
    Props props_;
};

class InputProbe : public InputPin {
public:
    using InputPin::InputPin;
    HRESULT OnReceive(IMediaSample*) override { return S_OK; }
};

class ProbeFilter final : public WithInterfaces<BaseFilter, IProbe> {
public:
    ProbeFilter(const char* id, ProbeState* state, bool input, bool output, Guid category = GUID_NULL)
        : WithInterfaces(MakeGuid("{7E57F11E-0000-4000-8000-0000000000A1}")), id_(id), state_(state) {
        if (input) AddPin(std::make_unique<ProbePin<InputProbe>>(this, (id_ + ".in").c_str(), state));
        if (output) AddPin(std::make_unique<ProbePin<OutputPin>>(this, (id_ + ".out").c_str(), state, category));
    }
    const char* Id() override { return id_.c_str(); }

protected:
    void* QueryExtraInterface(REFIID riid) override {
        if (riid == IProbe::iid && state_->hidden.count(id_)) return nullptr;
        return WithInterfaces::QueryExtraInterface(riid);
    }

private:
    std::string id_;
    ProbeState* state_;
};

// Calls FindInterface until it fails, hiding each object it found; returns the ids in order and
// the final result.
std::pair<std::vector<std::string>, HRESULT> SearchOrder(ICaptureGraphBuilder2* builder, const Guid* category,
                                                         IBaseFilter* start, ProbeState* state) {
    std::vector<std::string> order;
    for (int i = 0; i < 20; ++i) {
        ComPtr<IProbe> probe;
        HRESULT hr = builder->FindInterface(category, nullptr, start, IProbe::iid, probe.ReleaseAndGetVoidAddress());
        if (FAILED(hr)) {
            state->hidden.clear();
            return {order, hr};
        }
        order.push_back(probe->Id());
        state->hidden.insert(probe->Id());
    }
    state->hidden.clear();
    return {order, S_OK};
}
}  // namespace

TEST(CaptureGraphBuilder, RenderStreamChoosesThePinByCategoryAndType) {
    Builder b;
    ComPtr<SyntheticVideoSource> camera = b.Camera(true);
    ComPtr<TestSink> preview = b.Sink("preview");
    ComPtr<TestSink> capture = b.Sink("capture");
    EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, Unknown(camera.Get()), nullptr, capture.Get()),
              E_FAIL);
    EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, Unknown(camera.Get()), nullptr, preview.Get()),
              S_OK);
    EXPECT_EQ(PeerFilter(Pin(camera.Get(), "Preview").Get()).Get(), static_cast<IBaseFilter*>(preview.Get()));
    EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Unknown(camera.Get()), nullptr, capture.Get()),
              S_OK);
    EXPECT_EQ(PeerFilter(Pin(camera.Get(), "Capture").Get()).Get(), static_cast<IBaseFilter*>(capture.Get()));
    // Both pins are taken now.
    ComPtr<TestSink> more = b.Sink("more");
    EXPECT_EQ(b.builder->RenderStream(nullptr, nullptr, Unknown(camera.Get()), nullptr, more.Get()), E_FAIL);
    EXPECT_EQ(b.builder->RenderStream(nullptr, nullptr, nullptr, nullptr, more.Get()), E_POINTER);
}

TEST(CaptureGraphBuilder, APreviewWithoutPreviewPinGoesThroughASmartTee) {
    Builder b;
    ComPtr<SyntheticVideoSource> camera = b.Camera(false);
    ComPtr<TestSink> preview = b.Sink("preview");
    ComPtr<TestSink> capture = b.Sink("capture");
    ASSERT_EQ(b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Interleaved, Unknown(camera.Get()), nullptr,
                                      preview.Get()),
              E_FAIL);
    ASSERT_EQ(b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, nullptr, Unknown(camera.Get()), nullptr, preview.Get()),
              VFW_S_NOPREVIEWPIN);
    ComPtr<IBaseFilter> tee = PeerFilter(Pin(camera.Get(), "Capture").Get());
    ASSERT_TRUE(tee);
    CLSID clsid;
    tee->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_SmartTee);
    EXPECT_EQ(PeerFilter(Pin(tee.Get(), "Preview").Get()).Get(), static_cast<IBaseFilter*>(preview.Get()));
    // The capture stream then leaves through the tee's capture output.
    ASSERT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, Unknown(camera.Get()), nullptr, capture.Get()),
              S_OK);
    EXPECT_EQ(PeerFilter(Pin(tee.Get(), "Capture").Get()).Get(), static_cast<IBaseFilter*>(capture.Get()));
}

TEST(CaptureGraphBuilder, ANullSinkMeansTheDefaultRendererThroughTheIntermediate) {
    Builder b;
    ComPtr<SyntheticVideoSource> camera = b.Camera(false);
    ComPtr<IBaseFilter> grabber;
    CreateFilterGraphObject(CLSID_SampleGrabber, &grabber);
    b.graph->AddFilter(grabber.Get(), "Grabber");
    ASSERT_EQ(b.builder->RenderStream(nullptr, nullptr, Unknown(camera.Get()), grabber.Get(), nullptr), S_OK);
    ComPtr<IBaseFilter> renderer = PeerFilter(Pin(grabber.Get(), "Output").Get());
    ASSERT_TRUE(renderer);
    CLSID clsid;
    renderer->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_VideoRenderer);
    EXPECT_TRUE(QueryAs<IVideoWindow>(renderer.Get()));
}

TEST(CaptureGraphBuilder, FindInterfaceSearchesTheFilterThenDownstreamThenUpstream) {
    Builder b;
    ProbeState state;
    ComPtr<ProbeFilter> src = MakeCom<ProbeFilter>("src", &state, false, true, PIN_CATEGORY_CAPTURE);
    ComPtr<ProbeFilter> mid = MakeCom<ProbeFilter>("mid", &state, true, true);
    ComPtr<ProbeFilter> dst = MakeCom<ProbeFilter>("dst", &state, true, false);
    b.graph->AddFilter(src.Get(), "src");
    b.graph->AddFilter(mid.Get(), "mid");
    b.graph->AddFilter(dst.Get(), "dst");
    ASSERT_EQ(b.graph->ConnectDirect(Pin(src.Get(), "src.out").Get(), Pin(mid.Get(), "mid.in").Get(), nullptr), S_OK);
    ASSERT_EQ(b.graph->ConnectDirect(Pin(mid.Get(), "mid.out").Get(), Pin(dst.Get(), "dst.in").Get(), nullptr), S_OK);

    using Ids = std::vector<std::string>;
    auto all = SearchOrder(b.builder.Get(), nullptr, src.Get(), &state);
    EXPECT_EQ(all.first, (Ids{"src", "src.out", "mid.in", "mid", "mid.out", "dst.in", "dst"}));
    EXPECT_EQ(all.second, E_FAIL);
    // With a category the filter itself is not asked.
    auto capture = SearchOrder(b.builder.Get(), &PIN_CATEGORY_CAPTURE, src.Get(), &state);
    EXPECT_EQ(capture.first, (Ids{"src.out", "mid.in", "mid", "mid.out", "dst.in", "dst"}));
    auto none = SearchOrder(b.builder.Get(), &PIN_CATEGORY_PREVIEW, src.Get(), &state);
    EXPECT_TRUE(none.first.empty());
    EXPECT_EQ(none.second, E_NOINTERFACE);
    auto up = SearchOrder(b.builder.Get(), &LOOK_UPSTREAM_ONLY, dst.Get(), &state);
    EXPECT_EQ(up.first, (Ids{"dst", "dst.in", "mid.out", "mid", "mid.in", "src.out", "src"}));
    auto down = SearchOrder(b.builder.Get(), &LOOK_DOWNSTREAM_ONLY, mid.Get(), &state);
    EXPECT_EQ(down.first, (Ids{"mid", "mid.out", "dst.in", "dst"}));
    auto both = SearchOrder(b.builder.Get(), nullptr, mid.Get(), &state);
    EXPECT_EQ(both.first, (Ids{"mid", "mid.out", "dst.in", "dst", "mid.in", "src.out", "src"}));
}

TEST(CaptureGraphBuilder, FindPinAndControlStream) {
    Builder b;
    ComPtr<SyntheticVideoSource> camera = b.Camera(true);
    ComPtr<IPin> pin;
    ASSERT_EQ(b.builder->FindPin(Unknown(camera.Get()), PINDIR_OUTPUT, nullptr, nullptr, FALSE, 1, pin.ReleaseAndGetAddressOf()),
              S_OK);
    EXPECT_EQ(pin.Get(), Pin(camera.Get(), "Preview").Get());
    EXPECT_EQ(b.builder->FindPin(Unknown(camera.Get()), PINDIR_INPUT, nullptr, nullptr, FALSE, 0, pin.ReleaseAndGetAddressOf()),
              E_FAIL);
    ASSERT_EQ(b.builder->FindPin(Unknown(camera.Get()), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE, 0,
                                 pin.ReleaseAndGetAddressOf()),
              S_OK);
    EXPECT_EQ(pin.Get(), Pin(camera.Get(), "Capture").Get());

    // Stop now on every capture pin of the graph, the preview pin untouched.
    REFERENCE_TIME never = MAXLONGLONG;
    ASSERT_EQ(b.builder->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, &never, nullptr, 0, 0), S_OK);
    AM_STREAM_INFO info;
    QueryAs<IAMStreamControl>(Pin(camera.Get(), "Capture").Get())->GetInfo(&info);
    EXPECT_TRUE(info.dwFlags & AM_STREAM_INFO_DISCARDING);
    QueryAs<IAMStreamControl>(Pin(camera.Get(), "Preview").Get())->GetInfo(&info);
    EXPECT_FALSE(info.dwFlags & AM_STREAM_INFO_DISCARDING);
    ASSERT_EQ(b.builder->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, nullptr, &never, 0, 0), S_OK);
    QueryAs<IAMStreamControl>(Pin(camera.Get(), "Capture").Get())->GetInfo(&info);
    EXPECT_FALSE(info.dwFlags & AM_STREAM_INFO_DISCARDING);
    EXPECT_EQ(b.builder->ControlStream(&PIN_CATEGORY_VIDEOPORT, nullptr, nullptr, nullptr, nullptr, 0, 0), E_FAIL);
}

TEST(CaptureGraphBuilder, SetOutputFileNameMakesTheFileBranch) {
    Builder b;
    ComPtr<IBaseFilter> mux;
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Avi, "/tmp/x.avi", mux.ReleaseAndGetAddressOf(),
                                           sink.ReleaseAndGetAddressOf()),
              S_OK);
    CLSID clsid;
    mux->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_AviDest);
    EXPECT_TRUE(QueryAs<IConfigAviMux>(mux.Get()));
    std::string file;
    ASSERT_EQ(sink->GetCurFile(&file, nullptr), S_OK);
    EXPECT_EQ(file, "/tmp/x.avi");
    ComPtr<IBaseFilter> writer = PeerFilter(Pin(mux.Get(), "AVI Out").Get());
    ASSERT_TRUE(writer);
    EXPECT_EQ(NameOf(writer.Get()), "File Writer");
    EXPECT_EQ(NameOf(mux.Get()), "AVI Mux");
    // No ASF writer is registered in this process.
    EXPECT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Asf, "/tmp/x.wmv", mux.ReleaseAndGetAddressOf(), nullptr),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Avi, nullptr, mux.ReleaseAndGetAddressOf(), nullptr), E_POINTER);
    EXPECT_EQ(b.builder->SetFiltergraph(b.graph.Get()), E_UNEXPECTED);
}
