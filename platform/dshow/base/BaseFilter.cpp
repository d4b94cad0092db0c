#include "platform/dshow/base/BaseFilter.h"

#include <algorithm>
#include <cstring>

#include "platform/dshow/base/Enumerators.h"

BaseFilter::BaseFilter(const CLSID& clsid) : clsid_(clsid) {}

BaseFilter::~BaseFilter() = default;

HRESULT BaseFilter::GetClassID(CLSID* classId) {
    if (!classId) return E_POINTER;
    *classId = clsid_;
    return S_OK;
}

void BaseFilter::Deactivate() {
    for (int i = 0, n = PinCount(); i < n; ++i) GetPin(i)->Inactive();
}

HRESULT BaseFilter::Stop() {
    std::lock_guard lock(filterLock_);
    if (state_ != State_Stopped) {
        // Stopped before the pins stop, so that streaming threads see it at once.
        state_ = State_Stopped;
        Deactivate();
    }
    std::lock_guard time(timeLock_);
    hasPausedStreamTime_ = false;
    return S_OK;
}

HRESULT BaseFilter::Pause() {
    std::lock_guard lock(filterLock_);
    if (state_ == State_Stopped) {
        for (int i = 0, n = PinCount(); i < n; ++i) {
            HRESULT hr = GetPin(i)->Active();
            if (FAILED(hr)) {
                Deactivate();
                return hr;
            }
        }
        std::lock_guard time(timeLock_);
        pausedStreamTime_ = 0;
        hasPausedStreamTime_ = true;
        state_ = State_Paused;
        return S_OK;
    }
    if (state_ == State_Running) {
        {
            std::lock_guard time(timeLock_);
            REFERENCE_TIME now = 0;
            if (clock_ && SUCCEEDED(clock_->GetTime(&now))) {
                pausedStreamTime_ = now - start_;
                hasPausedStreamTime_ = true;
            }
        }
        state_ = State_Paused;
        for (int i = 0, n = PinCount(); i < n; ++i) GetPin(i)->Paused();
    }
    return S_OK;
}

HRESULT BaseFilter::Run(REFERENCE_TIME start) {
    std::lock_guard lock(filterLock_);
    if (state_ == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    {
        std::lock_guard time(timeLock_);
        start_ = start;
        hasPausedStreamTime_ = false;
    }
    if (state_ != State_Running) {
        state_ = State_Running;
        for (int i = 0, n = PinCount(); i < n; ++i) {
            HRESULT hr = GetPin(i)->Run(start);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT BaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT BaseFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard time(timeLock_);
    clock_ = clock;
    return S_OK;
}

HRESULT BaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    std::lock_guard time(timeLock_);
    *clock = nullptr;
    return clock_.CopyTo(clock);
}

HRESULT BaseFilter::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    std::vector<ComPtr<IPin>> list;
    {
        std::lock_guard lock(pinsLock_);
        for (const auto& pin : pins_) list.emplace_back(static_cast<IPin*>(pin.get()));
    }
    *pins = MakeCom<InterfaceEnumerator<IEnumPins, IPin>>(std::move(list)).Detach();
    return S_OK;
}

HRESULT BaseFilter::FindPin(const char* id, IPin** pin) {
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    std::lock_guard lock(pinsLock_);
    for (const auto& candidate : pins_) {
        if (candidate->Name() == id) {
            *pin = candidate.get();
            (*pin)->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard lock(filterLock_);
    size_t n = std::min(name_.size(), sizeof info->achName - 1);
    std::memcpy(info->achName, name_.data(), n);
    info->achName[n] = '\0';
    info->pGraph = graph_;
    return S_OK;
}

HRESULT BaseFilter::JoinFilterGraph(IFilterGraph* graph, const char* name) {
    std::lock_guard lock(filterLock_);
    graph_ = graph;
    name_ = graph && name ? name : "";
    IMediaEventSink* sink = nullptr;
    if (graph) {
        // Kept without a reference, as the graph pointer is: the graph outlives its members.
        ComPtr<IMediaEventSink> events = QueryAs<IMediaEventSink>(graph);
        sink = events.Get();
    }
    std::lock_guard time(timeLock_);
    events_ = sink;
    return S_OK;
}

HRESULT BaseFilter::QueryVendorInfo(char*, ULONG) { return E_NOTIMPL; }

int BaseFilter::PinCount() const {
    std::lock_guard lock(pinsLock_);
    return static_cast<int>(pins_.size());
}

BasePin* BaseFilter::GetPin(int index) const {
    std::lock_guard lock(pinsLock_);
    if (index < 0 || index >= static_cast<int>(pins_.size())) return nullptr;
    return pins_[static_cast<size_t>(index)].get();
}

std::string BaseFilter::Name() const {
    std::lock_guard lock(filterLock_);
    return name_;
}

HRESULT BaseFilter::StreamTime(REFERENCE_TIME* time) const {
    if (!time) return E_POINTER;
    std::lock_guard lock(timeLock_);
    if (hasPausedStreamTime_) {
        *time = pausedStreamTime_;
        return S_OK;
    }
    if (!clock_) return VFW_E_NO_CLOCK;
    if (state_ == State_Stopped) return VFW_E_NOT_RUNNING;
    REFERENCE_TIME now = 0;
    HRESULT hr = clock_->GetTime(&now);
    if (FAILED(hr)) return hr;
    *time = now - start_;
    return S_OK;
}

REFERENCE_TIME BaseFilter::StartTime() const {
    std::lock_guard lock(timeLock_);
    return start_;
}

ComPtr<IReferenceClock> BaseFilter::Clock() const {
    std::lock_guard lock(timeLock_);
    return clock_;
}

HRESULT BaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard lock(timeLock_);
    if (!events_) return S_FALSE;
    return events_->Notify(code, param1, param2);
}

void BaseFilter::AddPinImpl(std::unique_ptr<BasePin> pin) {
    std::lock_guard lock(pinsLock_);
    pins_.push_back(std::move(pin));
}

void BaseFilter::RemovePin(BasePin* pin) {
    std::lock_guard lock(pinsLock_);
    auto it = std::find_if(pins_.begin(), pins_.end(), [pin](const auto& p) { return p.get() == pin; });
    if (it != pins_.end()) pins_.erase(it);
}
