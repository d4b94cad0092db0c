#include "platform/dshow/graph/FilterGraph.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/base/Log.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/Enumerators.h"
#include "platform/dshow/graph/FilterCatalog.h"
#include "platform/dshow/graph/GraphVideoWindow.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/graph/SystemClock.h"

namespace {

// "filter/pin" for the log.
std::string PinLabel(IPin* pin) {
    PIN_INFO info;
    if (!pin || FAILED(pin->QueryPinInfo(&info))) return "?";
    FILTER_INFO filter;
    std::string owner = info.pFilter && SUCCEEDED(info.pFilter->QueryFilterInfo(&filter)) ? filter.achName : "?";
    return owner + "/" + info.achName;
}

// Stream time 0 lies this far after the clock time of Run, so that every filter is running
// before the first sample is due (and a stream unblocked right after Run loses nothing).
constexpr REFERENCE_TIME kStartDelay = 10 * 10000;  // 10 ms
// How many filters intelligent connect may chain between two pins.
constexpr int kMaxIntermediates = 3;
}  // namespace

FilterGraph::FilterGraph() : videoWindow_(std::make_unique<GraphVideoWindow>(this)) {}

FilterGraph::~FilterGraph() {
    // The graph owns its filters: stop them and break every connection, or connected filters
    // would keep each other alive.
    Stop();
    std::vector<Entry> filters;
    {
        std::lock_guard lock(lock_);
        filters = filters_;
    }
    for (auto& entry : filters) RemoveFilter(entry.filter.Get());
}

void* FilterGraph::QueryExtraInterface(REFIID riid) {
    if (riid == IID_IVideoWindow) return static_cast<IVideoWindow*>(videoWindow_.get());
    if (riid == IID_IBasicVideo || riid == IID_IBasicVideo2) return static_cast<IBasicVideo2*>(videoWindow_.get());
    return nullptr;
}

ComPtr<IUnknown> FilterGraph::FindFilterInterface(REFIID riid) {
    std::lock_guard lock(lock_);
    for (auto& entry : filters_) {
        ComPtr<IUnknown> found;
        if (SUCCEEDED(entry.filter->QueryInterface(riid, found.ReleaseAndGetVoidAddress()))) return found;
    }
    return nullptr;
}

bool FilterGraph::Contains(IBaseFilter* filter) const {
    return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter.Get() == filter; });
}

bool FilterGraph::PinInGraph(IPin* pin) const {
    ComPtr<IBaseFilter> filter = FilterOf(pin);
    return filter && Contains(filter.Get());
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, const char* name) {
    if (!filter) return E_POINTER;
    std::lock_guard lock(lock_);
    if (Contains(filter)) return E_INVALIDARG;
    std::string base;
    if (name && *name) {
        base = name;
    } else {
        CLSID clsid;
        CatalogEntry entry;
        if (SUCCEEDED(filter->GetClassID(&clsid)) && FilterCatalog::Instance().Find(clsid, &entry)) {
            base = entry.name;
        } else {
            base = "Filter";
        }
    }
    // Room for a " 0001" suffix within the name limit.
    if (base.size() > MAX_FILTER_NAME - 6) base.resize(MAX_FILTER_NAME - 6);
    auto taken = [&](const std::string& candidate) {
        return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.name == candidate; });
    };
    std::string unique = base;
    HRESULT result = S_OK;
    if (taken(unique)) {
        result = VFW_E_DUPLICATE_NAME;
        for (int i = 1; i <= 9999; ++i) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, " %04d", i);
            if (!taken(base + suffix)) {
                unique = base + suffix;
                result = VFW_S_DUPLICATE_NAME;
                break;
            }
        }
        if (FAILED(result)) return result;
    }
    HRESULT hr = filter->JoinFilterGraph(static_cast<IFilterGraph*>(this), unique.c_str());
    if (FAILED(hr)) return hr;
    if (clock_) filter->SetSyncSource(clock_.Get());
    filters_.push_back(Entry{ComPtr<IBaseFilter>(filter), unique});
    return result;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    if (!filter) return E_POINTER;
    std::lock_guard lock(lock_);
    auto it = std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter.Get() == filter; });
    if (it == filters_.end()) return VFW_E_NOT_FOUND;
    ComPtr<IBaseFilter> keep = it->filter;
    if (state_ != State_Stopped) keep->Stop();
    for (auto& pin : PinsOf(keep.Get())) DisconnectPair(pin.Get());
    keep->SetSyncSource(nullptr);
    keep->JoinFilterGraph(nullptr, nullptr);
    filters_.erase(it);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
    if (!filters) return E_POINTER;
    std::lock_guard lock(lock_);
    std::vector<ComPtr<IBaseFilter>> list;
    for (auto& entry : filters_) list.push_back(entry.filter);
    *filters = MakeCom<InterfaceEnumerator<IEnumFilters, IBaseFilter>>(std::move(list)).Detach();
    return S_OK;
}

HRESULT FilterGraph::FindFilterByName(const char* name, IBaseFilter** filter) {
    if (!name || !filter) return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(lock_);
    for (auto& entry : filters_) {
        if (entry.name == name) return entry.filter.CopyTo(filter);
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
    if (!output || !input) return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!PinInGraph(output) || !PinInGraph(input)) return VFW_E_NOT_IN_GRAPH;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, type);
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
    if (!pin) return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IPin> peer;
    HRESULT hr = pin->ConnectedTo(peer.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    AM_MEDIA_TYPE type;
    pin->ConnectionMediaType(&type);
    IPin* output = DirectionOf(pin) == PINDIR_OUTPUT ? pin : peer.Get();
    IPin* input = output == pin ? peer.Get() : pin;
    output->Disconnect();
    input->Disconnect();
    return output->Connect(input, &type);
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
    if (!pin) return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    return pin->Disconnect();
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    std::lock_guard lock(lock_);
    return SetSyncSource(MakeCom<SystemClock>().Get());
}

HRESULT FilterGraph::Connect(IPin* output, IPin* input) {
    if (!output || !input) return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!PinInGraph(output) || !PinInGraph(input)) return VFW_E_NOT_IN_GRAPH;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    if (IsConnected(output) || IsConnected(input)) return VFW_E_ALREADY_CONNECTED;
    return ConnectThrough(output, input, 0);
}

HRESULT FilterGraph::ConnectThrough(IPin* output, IPin* input, int depth) {
    HRESULT hr = output->Connect(input, nullptr);
    if (SUCCEEDED(hr)) return S_OK;
    if (LogEnabled(LogLevel::Debug, "dshow"))
        LogDebug("dshow", "direct connection " + PinLabel(output) + " -> " + PinLabel(input) + " refused (" +
                              HResultText(hr) + ")");
    if (depth >= kMaxIntermediates) return VFW_E_CANNOT_CONNECT;
    std::vector<AM_MEDIA_TYPE> offered = TypesOf(output);
    if (offered.empty()) return VFW_E_CANNOT_CONNECT;
    for (const CatalogEntry& candidate : FilterCatalog::Instance().Transforms(offered)) {
        ComPtr<IBaseFilter> filter;
        if (FAILED(FilterCatalog::Create(candidate, filter.ReleaseAndGetAddressOf())) || !filter) continue;
        if (FAILED(AddFilter(filter.Get(), candidate.name.c_str()))) continue;
        if (SUCCEEDED(TryIntermediate(output, input, filter.Get(), depth))) return S_OK;
        RemoveFilter(filter.Get());
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::TryIntermediate(IPin* output, IPin* input, IBaseFilter* filter, int depth) {
    for (auto& in : PinsOf(filter)) {
        if (DirectionOf(in.Get()) != PINDIR_INPUT || IsConnected(in.Get())) continue;
        if (FAILED(output->Connect(in.Get(), nullptr))) continue;
        for (auto& out : PinsOf(filter)) {
            if (DirectionOf(out.Get()) != PINDIR_OUTPUT || IsConnected(out.Get())) continue;
            if (SUCCEEDED(ConnectThrough(out.Get(), input, depth + 1))) return S_OK;
        }
        DisconnectPair(in.Get());
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::Render(IPin* output) {
    if (!output) return E_POINTER;
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!PinInGraph(output)) return VFW_E_NOT_IN_GRAPH;
    if (DirectionOf(output) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (IsConnected(output)) return VFW_E_ALREADY_CONNECTED;
    std::vector<AM_MEDIA_TYPE> offered = TypesOf(output);
    for (const CatalogEntry& candidate : FilterCatalog::Instance().Renderers(offered)) {
        ComPtr<IBaseFilter> renderer;
        if (FAILED(FilterCatalog::Create(candidate, renderer.ReleaseAndGetAddressOf())) || !renderer) continue;
        if (FAILED(AddFilter(renderer.Get(), candidate.name.c_str()))) continue;
        for (auto& in : PinsOf(renderer.Get())) {
            if (DirectionOf(in.Get()) != PINDIR_INPUT) continue;
            if (SUCCEEDED(ConnectThrough(output, in.Get(), 0))) return S_OK;
        }
        RemoveFilter(renderer.Get());
    }
    return VFW_E_CANNOT_RENDER;
}

namespace {
HRESULT NotImplemented(const char* method) {
    LogWarning("dshow", std::string("FilterGraph::") + method + " is not implemented");
    return E_NOTIMPL;
}
}  // namespace

// File playback and the graph's own log are not part of this graph manager; building runs to its
// end on the caller's thread, so there is no operation in flight that Abort could stop.
HRESULT FilterGraph::RenderFile(const char*, const char*) { return NotImplemented("RenderFile"); }
HRESULT FilterGraph::AddSourceFilter(const char*, const char*, IBaseFilter** filter) {
    if (filter) *filter = nullptr;
    return NotImplemented("AddSourceFilter");
}
HRESULT FilterGraph::SetLogFile(DWORD_PTR) { return NotImplemented("SetLogFile (ORVANTA_LOG=dshow=debug logs graph building)"); }
HRESULT FilterGraph::Abort() { return NotImplemented("Abort"); }
HRESULT FilterGraph::ShouldOperationContinue() { return S_OK; }

std::vector<ComPtr<IBaseFilter>> FilterGraph::DownstreamFirst() const {
    // downstream[i]: indexes of the filters that filter i delivers to.
    const size_t n = filters_.size();
    std::vector<std::vector<size_t>> downstream(n);
    for (size_t i = 0; i < n; ++i) {
        for (auto& pin : PinsOf(filters_[i].filter.Get())) {
            if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) continue;
            ComPtr<IPin> peer;
            if (FAILED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) || !peer) continue;
            ComPtr<IBaseFilter> target = FilterOf(peer.Get());
            for (size_t j = 0; j < n; ++j) {
                if (filters_[j].filter == target) downstream[i].push_back(j);
            }
        }
    }
    std::vector<ComPtr<IBaseFilter>> order;
    std::vector<bool> placed(n, false);
    for (size_t round = 0; round < n; ++round) {
        bool progress = false;
        for (size_t i = 0; i < n; ++i) {
            if (placed[i]) continue;
            bool ready = std::all_of(downstream[i].begin(), downstream[i].end(), [&](size_t j) { return placed[j]; });
            if (!ready) continue;
            placed[i] = true;
            order.push_back(filters_[i].filter);
            progress = true;
        }
        if (!progress) break;
    }
    for (size_t i = 0; i < n; ++i) {
        if (!placed[i]) order.push_back(filters_[i].filter);  // a cycle cannot be built; be safe
    }
    return order;
}

void FilterGraph::PrepareClock() {
    if (!clockChosen_ && !clock_) {
        clock_ = MakeCom<SystemClock>();
    }
    for (auto& entry : filters_) entry.filter->SetSyncSource(clock_.Get());
}

REFERENCE_TIME FilterGraph::ClockNow() const {
    REFERENCE_TIME now = 0;
    if (clock_) clock_->GetTime(&now);
    return now;
}

int FilterGraph::CountConnectedRenderers() const {
    int count = 0;
    for (auto& entry : filters_) {
        ComPtr<IAMFilterMiscFlags> flags = QueryAs<IAMFilterMiscFlags>(entry.filter.Get());
        if (!flags || !(flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER)) continue;
        for (auto& pin : PinsOf(entry.filter.Get())) {
            if (DirectionOf(pin.Get()) == PINDIR_INPUT && IsConnected(pin.Get())) {
                ++count;
                break;
            }
        }
    }
    return count;
}

HRESULT FilterGraph::PauseFilters() {
    for (auto& filter : DownstreamFirst()) {
        HRESULT hr = filter->Pause();
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT FilterGraph::Run() {
    std::lock_guard lock(lock_);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
        PrepareClock();
        HRESULT hr = PauseFilters();
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
        pausedStreamTime_ = 0;
        std::lock_guard events(eventLock_);
        renderersPending_ = CountConnectedRenderers();
    }
    // Stream time goes on from where it stood when the graph paused.
    start_ = ClockNow() + kStartDelay - pausedStreamTime_;
    {
        std::lock_guard events(eventLock_);
        running_ = true;
    }
    for (auto& filter : DownstreamFirst()) {
        HRESULT hr = filter->Run(start_);
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
    }
    state_ = State_Running;
    return S_OK;
}

HRESULT FilterGraph::Pause() {
    std::lock_guard lock(lock_);
    if (state_ == State_Paused) return S_OK;
    if (state_ == State_Stopped) {
        PrepareClock();
        HRESULT hr = PauseFilters();
        if (FAILED(hr)) {
            Stop();
            return hr;
        }
        pausedStreamTime_ = 0;
        std::lock_guard events(eventLock_);
        renderersPending_ = CountConnectedRenderers();
    } else {
        REFERENCE_TIME now = ClockNow() - start_;
        pausedStreamTime_ = now > 0 ? now : 0;
        HRESULT hr = PauseFilters();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT FilterGraph::Stop() {
    std::lock_guard lock(lock_);
    {
        std::lock_guard events(eventLock_);
        running_ = false;
    }
    HRESULT result = S_OK;
    for (auto& filter : DownstreamFirst()) {
        HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    state_ = State_Stopped;
    pausedStreamTime_ = 0;
    return result;
}

HRESULT FilterGraph::GetState(LONG msTimeout, OAFilterState* state) {
    if (!state) return E_POINTER;
    FILTER_STATE s;
    HRESULT hr = GetState(static_cast<DWORD>(msTimeout), &s);
    *state = s;
    return hr;
}

HRESULT FilterGraph::GetState(DWORD msTimeout, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    std::lock_guard lock(lock_);
    *state = state_;
    HRESULT result = S_OK;
    for (auto& entry : filters_) {
        FILTER_STATE s;
        HRESULT hr = entry.filter->GetState(msTimeout, &s);
        if (FAILED(hr)) return hr;
        if (hr == VFW_S_CANT_CUE) result = VFW_S_CANT_CUE;
        else if (hr == VFW_S_STATE_INTERMEDIATE && result == S_OK) result = hr;
    }
    return result;
}

HRESULT FilterGraph::StopWhenReady() { return Stop(); }

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities) {
    if (!capabilities) return E_POINTER;
    *capabilities = 0x8 | 0x10;  // AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos
    return S_OK;
}

HRESULT FilterGraph::IsFormatSupported(const Guid* format) {
    if (!format) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT FilterGraph::GetTimeFormat(Guid* format) {
    if (!format) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT FilterGraph::SetTimeFormat(const Guid* format) {
    if (!format) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) { return GetCurrentPosition(duration); }
HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) { return GetCurrentPosition(stop); }

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    if (!current) return E_POINTER;
    std::lock_guard lock(lock_);
    REFERENCE_TIME position = 0;
    if (state_ == State_Running && clock_) {
        position = ClockNow() - start_;
    } else if (state_ == State_Paused) {
        position = pausedStreamTime_;
    }
    *current = position > 0 ? position : 0;
    return S_OK;
}

HRESULT FilterGraph::SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD) { return E_NOTIMPL; }

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
    LONGLONG position = 0;
    HRESULT hr = GetCurrentPosition(&position);
    if (FAILED(hr)) return hr;
    if (current) *current = position;
    if (stop) *stop = position;
    return S_OK;
}

HRESULT FilterGraph::GetRate(double* rate) {
    if (!rate) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT FilterGraph::GetClassID(CLSID* classId) {
    if (!classId) return E_POINTER;
    *classId = CLSID_FilterGraph;
    return S_OK;
}

HRESULT FilterGraph::Run(REFERENCE_TIME) { return Run(); }

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    clock_ = clock;
    clockChosen_ = true;
    for (auto& entry : filters_) entry.filter->SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard lock(lock_);
    *clock = nullptr;
    return clock_.CopyTo(clock);
}

void FilterGraph::PostEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    events_.push_back(Event{code, param1, param2});
    eventArrived_.notify_all();
}

HRESULT FilterGraph::Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard lock(eventLock_);
    if (eventCode == EC_COMPLETE) {
        // One EC_COMPLETE for the graph, once every connected renderer has finished.
        if (!running_ || renderersPending_ <= 0) return S_OK;
        if (--renderersPending_ == 0) PostEvent(EC_COMPLETE, S_OK, 0);
        return S_OK;
    }
    PostEvent(eventCode, param1, param2);
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) {
    if (!eventCode || !param1 || !param2) return E_POINTER;
    std::unique_lock lock(eventLock_);
    auto ready = [&] { return !events_.empty(); };
    if (static_cast<DWORD>(msTimeout) == INFINITE) {
        eventArrived_.wait(lock, ready);
    } else if (msTimeout <= 0) {
        // A poll: waiting on the condition with a deadline already past still costs a system call
        // and a trip through the scheduler, 30 times a second from the progress timer.
        if (!ready()) return E_ABORT;
    } else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready)) {
        return E_ABORT;
    }
    Event event = events_.front();
    events_.pop_front();
    *eventCode = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(LONG msTimeout, LONG* eventCode) {
    if (!eventCode) return E_POINTER;
    *eventCode = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(msTimeout < 0 ? 0 : msTimeout);
    std::unique_lock lock(eventLock_);
    for (;;) {
        auto it = std::find_if(events_.begin(), events_.end(), [](const Event& e) {
            return e.code == EC_COMPLETE || e.code == EC_USERABORT || e.code == EC_ERRORABORT;
        });
        if (it != events_.end()) {
            *eventCode = it->code;
            events_.erase(it);
            return S_OK;
        }
        if (static_cast<DWORD>(msTimeout) == INFINITE) {
            eventArrived_.wait(lock);
        } else if (eventArrived_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return E_ABORT;
        }
    }
}

HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }
