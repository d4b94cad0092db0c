#include "platform/dshow/base/OutputPin.h"

#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/MemAllocator.h"

OutputPin::OutputPin(BaseFilter* filter, const char* name) : BasePin(filter, name, PINDIR_OUTPUT) {}

HRESULT OutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = BasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    ComPtr<IMemInputPin> input = QueryAs<IMemInputPin>(pin);
    if (!input) return E_NOINTERFACE;
    peerInput_ = input;
    return S_OK;
}

HRESULT OutputPin::CompleteConnect(IPin*) {
    if (!peerInput_) return E_UNEXPECTED;
    return DecideAllocator(peerInput_.Get(), allocator_.ReleaseAndGetAddressOf());
}

HRESULT OutputPin::BreakConnect() {
    if (allocator_) allocator_->Decommit();
    allocator_.Reset();
    peerInput_.Reset();
    return S_OK;
}

HRESULT OutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    if (!pin || !allocator) return E_POINTER;
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES request;
    pin->GetAllocatorRequirements(&request);  // E_NOTIMPL leaves the request empty
    if (request.cbAlign == 0) request.cbAlign = 1;

    ComPtr<IMemAllocator> chosen;
    HRESULT hr = pin->GetAllocator(chosen.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr) && chosen) {
        hr = DecideBufferSize(chosen.Get(), &request);
        if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(chosen.Get(), FALSE);
        if (SUCCEEDED(hr)) {
            *allocator = chosen.Detach();
            return S_OK;
        }
    }
    chosen = MakeCom<MemAllocator>();
    hr = DecideBufferSize(chosen.Get(), &request);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(chosen.Get(), FALSE);
    if (FAILED(hr)) return hr;
    *allocator = chosen.Detach();
    return S_OK;
}

HRESULT OutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    if (!allocator || !request) return E_POINTER;
    const AM_MEDIA_TYPE& type = CurrentMediaType();
    LONG size = static_cast<LONG>(type.lSampleSize);
    if (const VIDEOINFOHEADER* vih = type.VideoInfo()) {
        LONG image = static_cast<LONG>(vih->bmiHeader.biSizeImage ? vih->bmiHeader.biSizeImage
                                                                  : DibImageSize(vih->bmiHeader));
        if (image > size) size = image;
    }
    if (size <= 0) return VFW_E_SIZENOTSET;
    if (request->cBuffers < 1) request->cBuffers = 1;
    if (request->cbBuffer < size) request->cbBuffer = size;
    if (request->cbAlign < 1) request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cBuffers < request->cBuffers || actual.cbBuffer < request->cbBuffer) return E_FAIL;
    return S_OK;
}

HRESULT OutputPin::Active() {
    if (!allocator_) return IsConnected() ? VFW_E_NO_ALLOCATOR : S_OK;
    return allocator_->Commit();
}

HRESULT OutputPin::Inactive() {
    if (allocator_) allocator_->Decommit();
    return S_OK;
}

HRESULT OutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                     DWORD flags) {
    if (!sample) return E_POINTER;
    *sample = nullptr;
    if (!allocator_) return VFW_E_NO_ALLOCATOR;
    return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
    if (!peerInput_) return VFW_E_NOT_CONNECTED;
    return peerInput_->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() {
    IPin* peer = ConnectedPin();
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverBeginFlush() {
    IPin* peer = ConnectedPin();
    return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverEndFlush() {
    IPin* peer = ConnectedPin();
    return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* peer = ConnectedPin();
    return peer ? peer->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}
