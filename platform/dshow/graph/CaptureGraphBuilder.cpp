#include "platform/dshow/graph/CaptureGraphBuilder.h"

#include <set>

#include "platform/com/ClassRegistry.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/filters/StockFilters.h"

namespace {
bool IsLookDirection(const Guid* category) {
    return category && (*category == LOOK_UPSTREAM_ONLY || *category == LOOK_DOWNSTREAM_ONLY);
}

bool PinMatches(IPin* pin, PIN_DIRECTION direction, const Guid* category, const Guid* type, bool unconnected) {
    if (DirectionOf(pin) != direction) return false;
    if (category && CategoryOf(pin) != *category) return false;
    if (type && !OffersMajorType(pin, *type)) return false;
    if (unconnected && IsConnected(pin)) return false;
    return true;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction, const Guid* category, const Guid* type,
                      bool unconnected) {
    for (auto& pin : PinsOf(filter)) {
        if (PinMatches(pin.Get(), direction, category, type, unconnected)) return pin;
    }
    return nullptr;
}

bool IsSmartTee(IBaseFilter* filter) {
    CLSID clsid;
    return filter && SUCCEEDED(filter->GetClassID(&clsid)) && clsid == CLSID_SmartTee;
}

// The Smart Tee a pin is connected to, if any.
ComPtr<IBaseFilter> TeeBehind(IPin* pin) {
    ComPtr<IPin> peer = PeerOf(pin);
    if (!peer) return nullptr;
    ComPtr<IBaseFilter> filter = FilterOf(peer.Get());
    return IsSmartTee(filter.Get()) ? filter : nullptr;
}

ComPtr<IPin> TeeOutput(IBaseFilter* tee, const char* name) {
    ComPtr<IPin> pin;
    if (FAILED(tee->FindPin(name, pin.ReleaseAndGetAddressOf())) || IsConnected(pin.Get())) return nullptr;
    return pin;
}

class InterfaceSearch {
public:
    InterfaceSearch(REFIID riid, void** object) : riid_(riid), object_(object) {}

    bool Ask(IUnknown* unknown) {
        return unknown && SUCCEEDED(unknown->QueryInterface(riid_, object_)) && *object_;
    }

    // Pins of `filter` in `direction`, their peers and the peers' filters, recursively.
    bool Walk(IBaseFilter* filter, PIN_DIRECTION direction, const Guid* category, const Guid* type,
              bool* categorySeen) {
        if (!visited_.insert(QueryAs<IUnknown>(filter).Get()).second) return false;
        for (auto& pin : PinsOf(filter)) {
            if (DirectionOf(pin.Get()) != direction) continue;
            if (category) {
                if (CategoryOf(pin.Get()) != *category) continue;
                *categorySeen = true;
            }
            if (type && !OffersMajorType(pin.Get(), *type)) continue;
            if (Ask(pin.Get())) return true;
            ComPtr<IPin> peer = PeerOf(pin.Get());
            if (!peer) continue;
            if (Ask(peer.Get())) return true;
            ComPtr<IBaseFilter> next = FilterOf(peer.Get());
            if (!next) continue;
            if (Ask(next.Get())) return true;
            bool ignored = false;
            if (Walk(next.Get(), direction, nullptr, nullptr, &ignored)) return true;
        }
        return false;
    }

private:
    REFIID riid_;
    void** object_;
    std::set<IUnknown*> visited_;
};
}  // namespace

HRESULT CaptureGraphBuilder::SetFiltergraph(IGraphBuilder* graph) {
    if (!graph) return E_POINTER;
    if (graph_) return E_UNEXPECTED;
    graph_ = graph;
    return S_OK;
}

HRESULT CaptureGraphBuilder::EnsureGraph() {
    if (graph_) return S_OK;
    graph_ = MakeCom<FilterGraph>();
    return S_OK;
}

HRESULT CaptureGraphBuilder::GetFiltergraph(IGraphBuilder** graph) {
    if (!graph) return E_POINTER;
    EnsureGraph();
    return graph_.CopyTo(graph);
}

HRESULT CaptureGraphBuilder::SetOutputFileName(const Guid* type, const char* file, IBaseFilter** mux,
                                               IFileSinkFilter** sink) {
    if (!type || !file || !mux) return E_POINTER;
    *mux = nullptr;
    if (sink) *sink = nullptr;
    if (!*file) return E_INVALIDARG;
    EnsureGraph();

    CLSID muxClass = *type == MEDIASUBTYPE_Avi ? CLSID_AviDest : *type == MEDIASUBTYPE_Asf ? CLSID_WMAsfWriter : *type;
    ComPtr<IBaseFilter> multiplexer;
    HRESULT hr = CreateFilterGraphObject(muxClass, &multiplexer);
    if (FAILED(hr)) return hr;
    const char* muxName = muxClass == CLSID_AviDest ? "AVI Mux" : muxClass == CLSID_WMAsfWriter ? "ASF Writer" : "Mux";
    ComPtr<IFileSinkFilter> fileSink = QueryAs<IFileSinkFilter>(multiplexer.Get());
    if (fileSink) {
        // A writer that is its own file sink (the ASF writer).
        hr = fileSink->SetFileName(file, nullptr);
        if (FAILED(hr)) return hr;
        hr = graph_->AddFilter(multiplexer.Get(), muxName);
        if (FAILED(hr)) return hr;
    } else {
        ComPtr<IBaseFilter> writer;
        hr = CreateFilterGraphObject(CLSID_FileWriter, &writer);
        if (FAILED(hr)) return hr;
        fileSink = QueryAs<IFileSinkFilter>(writer.Get());
        if (!fileSink) return E_NOINTERFACE;
        hr = fileSink->SetFileName(file, nullptr);
        if (FAILED(hr)) return hr;
        hr = graph_->AddFilter(multiplexer.Get(), muxName);
        if (FAILED(hr)) return hr;
        hr = graph_->AddFilter(writer.Get(), "File Writer");
        if (FAILED(hr)) {
            graph_->RemoveFilter(multiplexer.Get());
            return hr;
        }
        ComPtr<IPin> out = FirstPin(multiplexer.Get(), PINDIR_OUTPUT, nullptr, nullptr, true);
        ComPtr<IPin> in = FirstPin(writer.Get(), PINDIR_INPUT, nullptr, nullptr, true);
        hr = out && in ? graph_->ConnectDirect(out.Get(), in.Get(), nullptr) : E_FAIL;
        if (FAILED(hr)) {
            graph_->RemoveFilter(writer.Get());
            graph_->RemoveFilter(multiplexer.Get());
            return hr;
        }
    }
    *mux = multiplexer.Detach();
    if (sink) *sink = fileSink.Detach();
    return S_OK;
}

HRESULT CaptureGraphBuilder::FindInterface(const Guid* category, const Guid* type, IBaseFilter* filter, REFIID riid,
                                           void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!filter) return E_POINTER;
    bool upstream = !category || *category != LOOK_DOWNSTREAM_ONLY;
    bool downstream = !category || *category != LOOK_UPSTREAM_ONLY;
    const Guid* pinCategory = IsLookDirection(category) ? nullptr : category;

    InterfaceSearch search(riid, object);
    if (!pinCategory && search.Ask(filter)) return S_OK;
    bool categorySeen = false;
    if (downstream && search.Walk(filter, PINDIR_OUTPUT, pinCategory, type, &categorySeen)) return S_OK;
    InterfaceSearch upward(riid, object);
    if (upstream && upward.Walk(filter, PINDIR_INPUT, pinCategory, type, &categorySeen)) return S_OK;
    return pinCategory && !categorySeen ? E_NOINTERFACE : E_FAIL;
}

HRESULT CaptureGraphBuilder::FindSourcePin(const Guid* category, const Guid* type, IBaseFilter* filter,
                                           ComPtr<IPin>* pin, HRESULT* result) {
    *result = S_OK;
    *pin = FirstPin(filter, PINDIR_OUTPUT, category, type, true);
    if (*pin) return S_OK;
    if (!category || (*category != PIN_CATEGORY_PREVIEW && *category != PIN_CATEGORY_CAPTURE)) return E_FAIL;

    bool preview = *category == PIN_CATEGORY_PREVIEW;
    if (preview && FirstPin(filter, PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, nullptr, false)) return E_FAIL;
    // The capture pin, and the Smart Tee on it.
    ComPtr<IPin> capture = FirstPin(filter, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, type, false);
    if (!capture) return E_FAIL;
    ComPtr<IBaseFilter> tee = TeeBehind(capture.Get());
    if (!tee) {
        if (!preview || IsConnected(capture.Get())) return E_FAIL;
        HRESULT hr = CreateFilterGraphObject(CLSID_SmartTee, &tee);
        if (FAILED(hr)) return hr;
        hr = graph_->AddFilter(tee.Get(), "Smart Tee");
        if (FAILED(hr)) return hr;
        ComPtr<IPin> teeInput = FirstPin(tee.Get(), PINDIR_INPUT, nullptr, nullptr, true);
        hr = graph_->Connect(capture.Get(), teeInput.Get());
        if (FAILED(hr)) {
            graph_->RemoveFilter(tee.Get());
            return hr;
        }
    }
    *pin = TeeOutput(tee.Get(), preview ? "Preview" : "Capture");
    if (!*pin) return E_FAIL;
    if (preview) *result = VFW_S_NOPREVIEWPIN;
    return S_OK;
}

HRESULT CaptureGraphBuilder::ConnectToFilter(IPin* output, IBaseFilter* target) {
    HRESULT result = E_FAIL;
    for (auto& in : PinsOf(target)) {
        if (DirectionOf(in.Get()) != PINDIR_INPUT || IsConnected(in.Get())) continue;
        result = graph_->Connect(output, in.Get());
        if (SUCCEEDED(result)) return S_OK;
    }
    return result;
}

HRESULT CaptureGraphBuilder::ConnectFromFilter(IBaseFilter* from, IBaseFilter* target) {
    HRESULT result = E_FAIL;
    for (auto& out : PinsOf(from)) {
        if (DirectionOf(out.Get()) != PINDIR_OUTPUT || IsConnected(out.Get())) continue;
        result = target ? ConnectToFilter(out.Get(), target) : graph_->Render(out.Get());
        if (SUCCEEDED(result)) return S_OK;
    }
    return result;
}

HRESULT CaptureGraphBuilder::RenderStream(const Guid* category, const Guid* type, IUnknown* source,
                                          IBaseFilter* intermediate, IBaseFilter* sink) {
    if (!source) return E_POINTER;
    if (!graph_) return E_UNEXPECTED;
    HRESULT result = S_OK;
    ComPtr<IPin> pin = QueryAs<IPin>(source);
    if (pin) {
        if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) return E_INVALIDARG;
        if (IsConnected(pin.Get())) return VFW_E_ALREADY_CONNECTED;
    } else {
        ComPtr<IBaseFilter> filter = QueryAs<IBaseFilter>(source);
        if (!filter) return E_NOINTERFACE;
        HRESULT hr = FindSourcePin(category, type, filter.Get(), &pin, &result);
        if (FAILED(hr)) return hr;
    }

    HRESULT hr;
    if (intermediate) {
        hr = ConnectToFilter(pin.Get(), intermediate);
        if (FAILED(hr)) return hr;
        hr = ConnectFromFilter(intermediate, sink);
    } else if (sink) {
        hr = ConnectToFilter(pin.Get(), sink);
    } else {
        hr = graph_->Render(pin.Get());
    }
    return FAILED(hr) ? hr : result;
}

HRESULT CaptureGraphBuilder::ControlStream(const Guid* category, const Guid* type, IBaseFilter* filter,
                                           REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie,
                                           WORD stopCookie) {
    std::vector<ComPtr<IBaseFilter>> filters;
    if (filter) {
        filters.emplace_back(filter);
    } else {
        if (!graph_) return E_UNEXPECTED;
        ComPtr<IEnumFilters> e;
        HRESULT hr = graph_->EnumFilters(e.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        ComPtr<IBaseFilter> f;
        while (e->Next(1, f.ReleaseAndGetAddressOf(), nullptr) == S_OK) filters.push_back(f);
    }
    bool matched = false;
    bool controlled = false;
    for (auto& f : filters) {
        for (auto& pin : PinsOf(f.Get())) {
            if (!PinMatches(pin.Get(), PINDIR_OUTPUT, category, type, false)) continue;
            matched = true;
            ComPtr<IAMStreamControl> control = QueryAs<IAMStreamControl>(pin.Get());
            if (!control) continue;
            control->StartAt(start, startCookie);
            control->StopAt(stop, FALSE, stopCookie);
            controlled = true;
        }
    }
    if (controlled) return S_OK;
    return matched ? E_NOINTERFACE : E_FAIL;
}

HRESULT CaptureGraphBuilder::AllocCapFile(const char* file, LONGLONG) { return file ? S_OK : E_POINTER; }

HRESULT CaptureGraphBuilder::CopyCaptureFile(const char*, const char*, int, IUnknown*) { return E_NOTIMPL; }

HRESULT CaptureGraphBuilder::FindPin(IUnknown* source, PIN_DIRECTION direction, const Guid* category, const Guid* type,
                                     BOOL unconnected, int index, IPin** pin) {
    if (!source || !pin) return E_POINTER;
    *pin = nullptr;
    if (ComPtr<IPin> p = QueryAs<IPin>(source)) {
        if (index != 0 || !PinMatches(p.Get(), direction, category, type, unconnected != FALSE)) return E_FAIL;
        *pin = p.Detach();
        return S_OK;
    }
    ComPtr<IBaseFilter> filter = QueryAs<IBaseFilter>(source);
    if (!filter) return E_NOINTERFACE;
    int seen = 0;
    for (auto& p : PinsOf(filter.Get())) {
        if (!PinMatches(p.Get(), direction, category, type, unconnected != FALSE)) continue;
        if (seen++ == index) {
            *pin = p.Detach();
            return S_OK;
        }
    }
    return E_FAIL;
}
