#include "platform/dshow/base/TransformFilter.h"

TransformInputPin::TransformInputPin(TransformFilter* filter, const char* name)
    : InputPin(filter, name), transform_(filter) {}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    HRESULT hr = transform_->CheckInputType(type);
    if (hr != S_OK) return hr;
    // A connected output must still be reachable from the new input type.
    TransformOutputPin* output = transform_->Output();
    if (output->IsConnected()) return transform_->CheckTransform(type, &output->CurrentMediaType());
    return S_OK;
}

HRESULT TransformInputPin::SetMediaType(const AM_MEDIA_TYPE* type) {
    return transform_->SetMediaType(PINDIR_INPUT, type);
}

HRESULT TransformInputPin::CheckConnect(IPin* pin) {
    HRESULT hr = InputPin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    return transform_->CheckConnect(PINDIR_INPUT, pin);
}

HRESULT TransformInputPin::BreakConnect() {
    transform_->BreakConnect(PINDIR_INPUT);
    return InputPin::BreakConnect();
}

HRESULT TransformInputPin::CompleteConnect(IPin* receivePin) {
    HRESULT hr = InputPin::CompleteConnect(receivePin);
    if (FAILED(hr)) return hr;
    return transform_->CompleteConnect(PINDIR_INPUT, receivePin);
}

HRESULT TransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    InputPin::NewSegment(start, stop, rate);
    return transform_->NewSegment(start, stop, rate);
}

HRESULT TransformInputPin::OnReceive(IMediaSample* sample) { return transform_->Receive(sample); }
HRESULT TransformInputPin::OnEndOfStream() { return transform_->EndOfStream(); }
HRESULT TransformInputPin::OnBeginFlush() { return transform_->BeginFlush(); }
HRESULT TransformInputPin::OnEndFlush() { return transform_->EndFlush(); }

TransformOutputPin::TransformOutputPin(TransformFilter* filter, const char* name)
    : OutputPin(filter, name), transform_(filter) {}

HRESULT TransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    TransformInputPin* input = transform_->Input();
    if (!input->IsConnected()) return E_UNEXPECTED;
    return transform_->CheckTransform(&input->CurrentMediaType(), type);
}

HRESULT TransformOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return transform_->GetMediaType(position, type);
}

HRESULT TransformOutputPin::SetMediaType(const AM_MEDIA_TYPE* type) {
    return transform_->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT TransformOutputPin::CheckConnect(IPin* pin) {
    // The output type follows from the input type: no output before the input is connected.
    if (!transform_->Input()->IsConnected()) return E_UNEXPECTED;
    HRESULT hr = OutputPin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    return transform_->CheckConnect(PINDIR_OUTPUT, pin);
}

HRESULT TransformOutputPin::BreakConnect() {
    transform_->BreakConnect(PINDIR_OUTPUT);
    return OutputPin::BreakConnect();
}

HRESULT TransformOutputPin::CompleteConnect(IPin* receivePin) {
    HRESULT hr = OutputPin::CompleteConnect(receivePin);
    if (FAILED(hr)) return hr;
    return transform_->CompleteConnect(PINDIR_OUTPUT, receivePin);
}

HRESULT TransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    return transform_->DecideBufferSize(allocator, request);
}

TransformFilter::TransformFilter(const CLSID& clsid, const char* inputName, const char* outputName)
    : BaseFilter(clsid) {
    input_ = AddPin(std::make_unique<TransformInputPin>(this, inputName));
    output_ = AddPin(std::make_unique<TransformOutputPin>(this, outputName));
}

HRESULT TransformFilter::Stop() {
    std::lock_guard lock(FilterLock());
    HRESULT hr = BaseFilter::Stop();
    // The pins are inactive now: no Transform is running.
    if (streaming_) {
        streaming_ = false;
        StopStreaming();
    }
    return hr;
}

HRESULT TransformFilter::Pause() {
    std::lock_guard lock(FilterLock());
    if (State() == State_Stopped && input_->IsConnected() && output_->IsConnected() && !streaming_) {
        HRESULT hr = StartStreaming();
        if (FAILED(hr)) return hr;
        streaming_ = true;
    }
    HRESULT hr = BaseFilter::Pause();
    if (FAILED(hr) && streaming_) {
        streaming_ = false;
        StopStreaming();
    }
    return hr;
}

HRESULT TransformFilter::SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE*) { return S_OK; }
HRESULT TransformFilter::CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
HRESULT TransformFilter::BreakConnect(PIN_DIRECTION) { return S_OK; }
HRESULT TransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }

HRESULT TransformFilter::InitializeOutputSample(IMediaSample* in, IMediaSample** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IMediaSample> sample;
    HRESULT hr = output_->GetDeliveryBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    REFERENCE_TIME start = 0, stop = 0;
    hr = in->GetTime(&start, &stop);
    if (hr == S_OK) {
        sample->SetTime(&start, &stop);
    } else if (hr == VFW_S_NO_STOP_TIME) {
        sample->SetTime(&start, nullptr);
    }
    LONGLONG mediaStart = 0, mediaStop = 0;
    if (in->GetMediaTime(&mediaStart, &mediaStop) == S_OK) sample->SetMediaTime(&mediaStart, &mediaStop);
    sample->SetSyncPoint(in->IsSyncPoint() == S_OK);
    sample->SetPreroll(in->IsPreroll() == S_OK);
    sample->SetDiscontinuity(in->IsDiscontinuity() == S_OK);
    LONG length = in->GetActualDataLength();
    if (length > sample->GetSize()) length = sample->GetSize();
    sample->SetActualDataLength(length);
    *out = sample.Detach();
    return S_OK;
}

HRESULT TransformFilter::Receive(IMediaSample* sample) {
    if (!output_->IsConnected()) return S_OK;  // nothing downstream: the sample is consumed
    ComPtr<IMediaSample> out;
    HRESULT hr = InitializeOutputSample(sample, out.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    hr = Transform(sample, out.Get());
    if (hr == S_FALSE) return S_OK;  // the transform chose to drop this frame
    if (FAILED(hr)) return hr;
    return output_->Deliver(out.Get());
}

HRESULT TransformFilter::EndOfStream() {
    return output_->IsConnected() ? output_->DeliverEndOfStream() : S_OK;
}

HRESULT TransformFilter::BeginFlush() {
    return output_->IsConnected() ? output_->DeliverBeginFlush() : S_OK;
}

HRESULT TransformFilter::EndFlush() {
    return output_->IsConnected() ? output_->DeliverEndFlush() : S_OK;
}

HRESULT TransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return output_->IsConnected() ? output_->DeliverNewSegment(start, stop, rate) : S_OK;
}
