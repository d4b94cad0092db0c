#include "platform/dshow/base/InputPin.h"

#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/MemAllocator.h"
#include "platform/dshow/base/OutputPin.h"

InputPin::InputPin(BaseFilter* filter, const char* name) : WithInterfaces(filter, name, PINDIR_INPUT) {}

HRESULT InputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator) return E_POINTER;
    std::lock_guard lock(Filter()->FilterLock());
    if (!allocator_) allocator_ = MakeCom<MemAllocator>();
    return allocator_.CopyTo(allocator);
}

HRESULT InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (!allocator) return E_POINTER;
    std::lock_guard lock(Filter()->FilterLock());
    allocator_ = allocator;
    readOnly_ = readOnly != FALSE;
    return S_OK;
}

HRESULT InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT InputPin::CheckStreaming() const {
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (flushing_) return S_FALSE;
    if (!active_) return VFW_E_WRONG_STATE;
    if (endOfStream_) return VFW_E_SAMPLE_REJECTED_EOS;
    return S_OK;
}

HRESULT InputPin::Receive(IMediaSample* sample) {
    if (!sample) return E_POINTER;
    std::lock_guard lock(receiveLock_);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    AM_MEDIA_TYPE changed;
    if (sample->GetMediaType(&changed) == S_OK) {
        // A new type arrives with the sample: it must be acceptable, and it becomes the type.
        if (CheckMediaType(&changed) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        hr = SetMediaType(&changed);
        if (FAILED(hr)) return hr;
    }
    return OnReceive(sample);
}

HRESULT InputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

HRESULT InputPin::ReceiveCanBlock() {
    BaseFilter* filter = Filter();
    int outputs = 0;
    for (int i = 0, count = filter->PinCount(); i < count; ++i) {
        auto* out = dynamic_cast<OutputPin*>(filter->GetPin(i));
        if (!out || !out->IsConnected()) continue;
        ++outputs;
        IMemInputPin* peer = out->PeerInput();
        if (!peer || peer->ReceiveCanBlock() != S_FALSE) return S_OK;
    }
    return outputs > 0 ? S_FALSE : S_OK;
}

HRESULT InputPin::EndOfStream() {
    std::lock_guard lock(receiveLock_);
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    endOfStream_ = true;
    return OnEndOfStream();
}

HRESULT InputPin::BeginFlush() {
    // No receive lock: flushing must get through while a Receive is blocked downstream.
    flushing_ = true;
    return OnBeginFlush();
}

HRESULT InputPin::EndFlush() {
    std::lock_guard lock(receiveLock_);
    flushing_ = false;
    endOfStream_ = false;
    return OnEndFlush();
}

HRESULT InputPin::CheckConnect(IPin* pin) { return BasePin::CheckConnect(pin); }

HRESULT InputPin::BreakConnect() {
    if (allocator_) allocator_->Decommit();
    allocator_.Reset();
    readOnly_ = false;
    return S_OK;
}

HRESULT InputPin::Active() {
    endOfStream_ = false;
    active_ = true;
    return S_OK;
}

HRESULT InputPin::Inactive() {
    active_ = false;
    // Wakes an upstream thread waiting for one of our buffers, then waits until the Receive in
    // progress (if any) has finished.
    if (allocator_) allocator_->Decommit();
    std::lock_guard lock(receiveLock_);
    return S_OK;
}
