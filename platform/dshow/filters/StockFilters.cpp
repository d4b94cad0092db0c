#include "platform/dshow/filters/StockFilters.h"

#include <mutex>

#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/AviMux.h"
#include "platform/dshow/filters/ColourConverter.h"
#include "platform/dshow/filters/FileWriter.h"
#include "platform/dshow/filters/NullRenderer.h"
#include "platform/dshow/filters/SampleGrabber.h"
#include "platform/dshow/filters/SmartTee.h"
#include "platform/dshow/filters/VideoRenderer.h"
#include "platform/dshow/graph/CaptureGraphBuilder.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "platform/dshow/graph/SystemClock.h"
#include "platform/dshow/synthetic/SyntheticAudioSource.h"
#include "platform/dshow/synthetic/SyntheticVideoSource.h"

namespace {
template <class T>
HRESULT Make(REFIID riid, void** object) {
    return MakeCom<T>()->QueryInterface(riid, object);
}

struct StockClass {
    CLSID clsid;
    HRESULT (*create)(REFIID riid, void** object);
    HRESULT (*factory)(REFIID riid, void** object);
};

const StockClass kClasses[] = {
    {CLSID_FilterGraph, &Make<FilterGraph>, &GetClassFactory<FilterGraph>},
    {CLSID_CaptureGraphBuilder2, &Make<CaptureGraphBuilder>, &GetClassFactory<CaptureGraphBuilder>},
    {CLSID_SystemClock, &Make<SystemClock>, &GetClassFactory<SystemClock>},
    {CLSID_SmartTee, &Make<SmartTee>, &GetClassFactory<SmartTee>},
    {CLSID_SampleGrabber, &Make<SampleGrabber>, &GetClassFactory<SampleGrabber>},
    {CLSID_NullRenderer, &Make<NullRenderer>, &GetClassFactory<NullRenderer>},
    {CLSID_VideoRenderer, &Make<VideoRenderer>, &GetClassFactory<VideoRenderer>},
    {CLSID_VideoRendererDefault, &Make<VideoRenderer>, &GetClassFactory<VideoRenderer>},
    {CLSID_Colour, &Make<ColourConverter>, &GetClassFactory<ColourConverter>},
    {CLSID_MjpegDec, &Make<ColourConverter>, &GetClassFactory<ColourConverter>},
    {CLSID_AviDest, &Make<AviMux>, &GetClassFactory<AviMux>},
    {CLSID_FileWriter, &Make<FileWriter>, &GetClassFactory<FileWriter>},
    {CLSID_OrvantaSyntheticVideo, &Make<SyntheticVideoSource>, &GetClassFactory<SyntheticVideoSource>},
    {CLSID_OrvantaSyntheticAudio, &Make<SyntheticAudioSource>, &GetClassFactory<SyntheticAudioSource>},
};

template <class T>
HRESULT MakeFilter(IBaseFilter** filter) {
    return Make<T>(IID_IBaseFilter, reinterpret_cast<void**>(filter));
}
}  // namespace

HRESULT CreateStockObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const StockClass& c : kClasses) {
        if (c.clsid == clsid) return c.create(riid, object);
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CreateFilterGraphObject(REFCLSID clsid, REFIID riid, void** object) {
    HRESULT hr = CreateStockObject(clsid, riid, object);
    if (hr != REGDB_E_CLASSNOTREG) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, object);
}

HRESULT RegisterFilterGraphClasses() {
    static std::once_flag once;
    static HRESULT result = S_OK;
    std::call_once(once, [] {
        for (const StockClass& c : kClasses) {
            ComPtr<IUnknown> factory;
            HRESULT hr = c.factory(IID_IUnknown, factory.ReleaseAndGetVoidAddress());
            DWORD cookie = 0;
            if (SUCCEEDED(hr)) hr = CoRegisterClassObject(c.clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    });
    return result;
}

std::vector<CatalogEntry> StockCatalogEntries() {
    std::vector<FilterMediaTypeRegistration> converted;
    for (const Guid& subtype : ColourConverter::Subtypes()) converted.push_back({MEDIATYPE_Video, subtype});
    std::vector<FilterMediaTypeRegistration> convertible = converted;
    convertible.push_back({MEDIATYPE_Video, MEDIASUBTYPE_MJPG});
    convertible.push_back({MEDIATYPE_Video, MEDIASUBTYPE_ARGB32});

    CatalogEntry colour;
    colour.clsid = CLSID_Colour;
    colour.name = "Color Space Converter";
    colour.merit = MERIT_NORMAL;
    colour.inputTypes = convertible;
    colour.outputTypes = converted;
    colour.create = &MakeFilter<ColourConverter>;

    CatalogEntry renderer;
    renderer.clsid = CLSID_VideoRendererDefault;
    renderer.name = "Video Renderer";
    renderer.merit = MERIT_PREFERRED;
    renderer.inputTypes = {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}, {MEDIATYPE_Video, MEDIASUBTYPE_RGB32}};
    renderer.renderer = true;
    renderer.create = &MakeFilter<VideoRenderer>;

    // Known by name (AddFilter with no name) but never inserted on their own.
    auto named = [](const CLSID& clsid, const char* name, HRESULT (*create)(IBaseFilter**)) {
        CatalogEntry e;
        e.clsid = clsid;
        e.name = name;
        e.merit = MERIT_DO_NOT_USE;
        e.create = create;
        return e;
    };
    return {
        colour,
        renderer,
        named(CLSID_SmartTee, "Smart Tee", &MakeFilter<SmartTee>),
        named(CLSID_SampleGrabber, "SampleGrabber", &MakeFilter<SampleGrabber>),
        named(CLSID_NullRenderer, "Null Renderer", &MakeFilter<NullRenderer>),
        named(CLSID_AviDest, "AVI Mux", &MakeFilter<AviMux>),
        named(CLSID_FileWriter, "File Writer", &MakeFilter<FileWriter>),
    };
}
