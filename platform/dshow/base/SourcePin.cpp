#include "platform/dshow/base/SourcePin.h"

#include <chrono>
#include <cstring>

#include "platform/dshow/base/BaseFilter.h"

namespace {
// Longest single sleep while waiting for stream time, in case the clock is replaced or jumps;
// state changes wake the wait at once. Longer than a frame at 10 fps and up: each extra wake-up
// costs a trip through the scheduler, which on a virtual machine is not cheap.
constexpr REFERENCE_TIME kMaxWaitSlice = 100 * 10000;  // 100 ms
}  // namespace

SourcePin::SourcePin(BaseFilter* filter, const char* name, const Guid& category)
    : WithInterfaces(filter, name), category_(category) {}

SourcePin::~SourcePin() {
    // The filter stops its pins before it goes; this only guards against a forgotten Stop.
    if (thread_.joinable()) {
        stopRequested_ = true;
        stateChanged_.notify_all();
        thread_.join();
    }
}

void* SourcePin::QueryExtraInterface(REFIID riid) {
    // A pin without a category has no property set to offer.
    if (riid == IID_IKsPropertySet && category_.IsNull()) return nullptr;
    return WithInterfaces::QueryExtraInterface(riid);
}

HRESULT SourcePin::Set(REFGUID propSet, DWORD, void*, DWORD, void*, DWORD) {
    return propSet == AMPROPSETID_Pin ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

HRESULT SourcePin::Get(REFGUID propSet, DWORD id, void*, DWORD, void* propertyData, DWORD propertySize,
                       DWORD* returned) {
    if (propSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!propertyData) return E_POINTER;
    if (propertySize < sizeof(Guid)) return E_UNEXPECTED;
    std::memcpy(propertyData, &category_, sizeof(Guid));
    if (returned) *returned = sizeof(Guid);
    return S_OK;
}

HRESULT SourcePin::QuerySupported(REFGUID propSet, DWORD id, DWORD* support) {
    if (propSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

HRESULT SourcePin::StartAt(const REFERENCE_TIME* start, DWORD cookie) {
    std::lock_guard lock(controlLock_);
    if (!start) {
        flowing_ = true;
        startPending_ = false;
    } else if (*start == MAXLONGLONG) {
        startPending_ = false;
    } else {
        startPending_ = true;
        startAt_ = *start;
        startCookie_ = cookie;
    }
    return S_OK;
}

HRESULT SourcePin::StopAt(const REFERENCE_TIME* stop, BOOL sendExtra, DWORD cookie) {
    std::lock_guard lock(controlLock_);
    if (!stop) {
        flowing_ = false;
        stopPending_ = false;
    } else if (*stop == MAXLONGLONG) {
        stopPending_ = false;
    } else {
        stopPending_ = true;
        stopAt_ = *stop;
        stopSendExtra_ = sendExtra != FALSE;
        stopCookie_ = cookie;
    }
    return S_OK;
}

HRESULT SourcePin::GetInfo(AM_STREAM_INFO* info) {
    if (!info) return E_POINTER;
    std::lock_guard lock(controlLock_);
    *info = AM_STREAM_INFO();
    if (startPending_) {
        info->tStart = startAt_;
        info->dwStartCookie = startCookie_;
        info->dwFlags |= AM_STREAM_INFO_START_DEFINED;
    }
    if (stopPending_) {
        info->tStop = stopAt_;
        info->dwStopCookie = stopCookie_;
        info->dwFlags |= AM_STREAM_INFO_STOP_DEFINED;
        if (stopSendExtra_) info->dwFlags |= AM_STREAM_INFO_STOP_SEND_EXTRA;
    }
    if (!flowing_) info->dwFlags |= AM_STREAM_INFO_DISCARDING;
    return S_OK;
}

bool SourcePin::PassesStreamControl(REFERENCE_TIME time, bool* sendEvent) {
    std::lock_guard lock(controlLock_);
    *sendEvent = false;
    if (!flowing_ && startPending_ && time >= startAt_) {
        flowing_ = true;
        startPending_ = false;
    }
    if (flowing_ && stopPending_ && time >= stopAt_) {
        flowing_ = false;
        stopPending_ = false;
        *sendEvent = true;
        return stopSendExtra_;
    }
    return flowing_;
}

HRESULT SourcePin::Active() {
    HRESULT hr = OutputPin::Active();
    if (FAILED(hr) || !IsConnected() || thread_.joinable()) return hr;
    stopRequested_ = false;
    thread_ = std::thread([this] { ThreadMain(); });
    return S_OK;
}

HRESULT SourcePin::Inactive() {
    stopRequested_ = true;
    {
        std::lock_guard lock(waitLock_);
        stateChanged_.notify_all();
    }
    OnStopRequested();
    // Decommitting wakes a thread that waits for a buffer; then the thread can see the request.
    OutputPin::Inactive();
    if (thread_.joinable()) thread_.join();
    return S_OK;
}

HRESULT SourcePin::Run(REFERENCE_TIME) {
    std::lock_guard lock(waitLock_);
    stateChanged_.notify_all();
    return S_OK;
}

void SourcePin::Paused() {
    {
        std::lock_guard lock(waitLock_);
        stateChanged_.notify_all();
    }
    OnStopRequested();
}

bool SourcePin::Running() const { return Filter()->State() == State_Running && !stopRequested_; }

void SourcePin::WaitForStateChange(int ms) {
    std::unique_lock lock(waitLock_);
    FILTER_STATE before = Filter()->State();
    stateChanged_.wait_for(lock, std::chrono::milliseconds(ms),
                           [&] { return stopRequested_ || Filter()->State() != before; });
}

HRESULT SourcePin::WaitForStreamTime(REFERENCE_TIME time) {
    for (;;) {
        if (!Running()) return SOURCE_S_SKIP;
        REFERENCE_TIME now = 0;
        HRESULT hr = Filter()->StreamTime(&now);
        if (hr == VFW_E_NO_CLOCK) return S_OK;
        if (FAILED(hr)) return SOURCE_S_SKIP;
        if (now >= time) return S_OK;
        REFERENCE_TIME wait = time - now;
        if (wait > kMaxWaitSlice) wait = kMaxWaitSlice;
        std::unique_lock lock(waitLock_);
        stateChanged_.wait_for(lock, std::chrono::microseconds(wait / 10 + 1),
                               [&] { return stopRequested_ || Filter()->State() != State_Running; });
    }
}

void SourcePin::ThreadMain() {
    HRESULT hr = OnThreadStart();
    if (FAILED(hr)) {
        Filter()->NotifyEvent(EC_ERRORABORT, hr, 0);
        return;
    }
    bool ended = false;
    while (!stopRequested_) {
        if (ended || Filter()->State() != State_Running) {
            // Live: nothing flows while paused, and nothing more after the end of the stream.
            std::unique_lock lock(waitLock_);
            stateChanged_.wait(lock, [&] { return stopRequested_ || (!ended && Filter()->State() == State_Running); });
            continue;
        }
        ComPtr<IMediaSample> sample;
        hr = GetDeliveryBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0);
        if (FAILED(hr)) {
            // The downstream allocator is decommitted while the graph changes state.
            WaitForStateChange(10);
            continue;
        }
        hr = FillBuffer(sample.Get());
        if (hr == SOURCE_S_SKIP) continue;
        if (hr == S_FALSE) {
            DeliverEndOfStream();
            ended = true;
            continue;
        }
        if (FAILED(hr)) {
            if (!stopRequested_) {
                Filter()->NotifyEvent(EC_ERRORABORT, hr, 0);
                DeliverEndOfStream();
            }
            ended = true;
            continue;
        }
        if (!Running()) continue;  // filled while the graph paused: dropped
        REFERENCE_TIME start = 0, stop = 0;
        if (FAILED(sample->GetTime(&start, &stop)) && FAILED(Filter()->StreamTime(&start))) start = 0;
        bool streamStopped = false;
        if (PassesStreamControl(start, &streamStopped)) {
            Deliver(sample.Get());
            ++delivered_;
        } else {
            ++discarded_;
        }
        if (streamStopped) Filter()->NotifyEvent(EC_STREAM_CONTROL_STOPPED, 0, 0);
    }
    OnThreadStop();
}
