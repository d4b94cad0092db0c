#include "platform/dshow/filters/SampleGrabber.h"

#include <cstring>

#include "platform/dshow/Uuids.h"

namespace {
// The grabber holds one sample; the renderer behind it may hold two.
constexpr LONG kBuffersWanted = 4;
}  // namespace

SampleGrabberInputPin::SampleGrabberInputPin(SampleGrabber* grabber) : InputPin(grabber, "Input"), grabber_(grabber) {}

HRESULT SampleGrabberInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (!grabber_->Accepts(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
    SampleGrabberOutputPin* out = grabber_->Output();
    if (out->IsConnected() && !(out->CurrentMediaType() == *type)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT SampleGrabberInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
    if (!props) return E_POINTER;
    *props = ALLOCATOR_PROPERTIES();
    props->cBuffers = kBuffersWanted;
    props->cbAlign = 1;
    return S_OK;
}

HRESULT SampleGrabberInputPin::ReceiveCanBlock() { return grabber_->HasCallback() ? S_OK : InputPin::ReceiveCanBlock(); }

HRESULT SampleGrabberInputPin::OnReceive(IMediaSample* sample) { return grabber_->Receive(sample); }

HRESULT SampleGrabberInputPin::OnEndOfStream() {
    SampleGrabberOutputPin* out = grabber_->Output();
    return out->IsConnected() ? out->DeliverEndOfStream() : S_OK;
}

HRESULT SampleGrabberInputPin::OnBeginFlush() {
    SampleGrabberOutputPin* out = grabber_->Output();
    return out->IsConnected() ? out->DeliverBeginFlush() : S_OK;
}

HRESULT SampleGrabberInputPin::OnEndFlush() {
    SampleGrabberOutputPin* out = grabber_->Output();
    return out->IsConnected() ? out->DeliverEndFlush() : S_OK;
}

SampleGrabberOutputPin::SampleGrabberOutputPin(SampleGrabber* grabber)
    : OutputPin(grabber, "Output"), grabber_(grabber) {}

HRESULT SampleGrabberOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    SampleGrabberInputPin* in = grabber_->Input();
    if (!in->IsConnected()) return VFW_E_NOT_CONNECTED;
    return in->CurrentMediaType() == *type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SampleGrabberOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    SampleGrabberInputPin* in = grabber_->Input();
    if (!in->IsConnected()) return VFW_E_NOT_CONNECTED;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = in->CurrentMediaType();
    return S_OK;
}

HRESULT SampleGrabberOutputPin::CheckConnect(IPin* pin) {
    if (!grabber_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    return OutputPin::CheckConnect(pin);
}

HRESULT SampleGrabberOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    if (!pin || !allocator) return E_POINTER;
    *allocator = nullptr;
    // Samples pass through in place: downstream reads from the upstream allocator.
    IMemAllocator* upstream = grabber_->Input()->Allocator();
    if (!upstream) return OutputPin::DecideAllocator(pin, allocator);
    HRESULT hr = pin->NotifyAllocator(upstream, TRUE);
    if (FAILED(hr)) return hr;
    upstream->AddRef();
    *allocator = upstream;
    return S_OK;
}

SampleGrabber::SampleGrabber() : WithInterfaces(CLSID_SampleGrabber) {
    input_ = AddPin(std::make_unique<SampleGrabberInputPin>(this));
    output_ = AddPin(std::make_unique<SampleGrabberOutputPin>(this));
}

bool SampleGrabber::Accepts(const AM_MEDIA_TYPE& type) const {
    std::lock_guard lock(lock_);
    return MediaTypeMatches(type, accepted_);
}

bool SampleGrabber::HasCallback() const {
    std::lock_guard lock(lock_);
    return static_cast<bool>(callback_);
}

HRESULT SampleGrabber::SetOneShot(BOOL oneShot) {
    std::lock_guard lock(lock_);
    oneShot_ = oneShot != FALSE;
    return S_OK;
}

HRESULT SampleGrabber::SetMediaType(const AM_MEDIA_TYPE* type) {
    std::lock_guard lock(lock_);
    accepted_ = type ? *type : AM_MEDIA_TYPE();
    return S_OK;
}

HRESULT SampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return input_->ConnectionMediaType(type);
}

HRESULT SampleGrabber::SetBufferSamples(BOOL buffer) {
    std::lock_guard lock(lock_);
    buffering_ = buffer != FALSE;
    if (!buffering_) {
        last_.Reset();
        saved_.clear();
        hasSaved_ = false;
    }
    return S_OK;
}

HRESULT SampleGrabber::GetCurrentBuffer(LONG* size, BYTE* buffer) {
    if (!size) return E_POINTER;
    std::lock_guard lock(lock_);
    if (!buffering_) return E_INVALIDARG;
    const BYTE* data = nullptr;
    LONG length = 0;
    if (last_) {
        BYTE* p = nullptr;
        if (FAILED(last_->GetPointer(&p))) return VFW_E_WRONG_STATE;
        data = p;
        length = last_->GetActualDataLength();
    } else if (hasSaved_) {
        data = saved_.data();
        length = static_cast<LONG>(saved_.size());
    } else {
        return VFW_E_WRONG_STATE;
    }
    if (!buffer) {
        *size = length;
        return S_OK;
    }
    if (*size < length) return E_OUTOFMEMORY;
    std::memcpy(buffer, data, static_cast<size_t>(length));
    *size = length;
    return S_OK;
}

HRESULT SampleGrabber::GetCurrentSample(IMediaSample** sample) {
    if (sample) *sample = nullptr;
    return E_NOTIMPL;
}

HRESULT SampleGrabber::SetCallback(ISampleGrabberCB* callback, LONG which) {
    if (which != 0 && which != 1) return E_INVALIDARG;
    std::lock_guard lock(lock_);
    callback_ = callback;
    callbackMethod_ = which;
    return S_OK;
}

uint64_t SampleGrabber::ReceivedCount() const {
    std::lock_guard lock(lock_);
    return received_;
}

HRESULT SampleGrabber::Pause() {
    std::lock_guard lock(FilterLock());
    if (State() == State_Stopped) {
        std::lock_guard guard(lock_);
        oneShotDone_ = false;
    }
    return BaseFilter::Pause();
}

HRESULT SampleGrabber::Stop() {
    std::lock_guard lock(FilterLock());
    HRESULT hr = BaseFilter::Stop();
    // Keep the frame, give the sample back to its pool.
    std::lock_guard guard(lock_);
    if (last_) {
        BYTE* p = nullptr;
        if (SUCCEEDED(last_->GetPointer(&p))) {
            saved_.assign(p, p + last_->GetActualDataLength());
            hasSaved_ = true;
        }
        last_.Reset();
    }
    return hr;
}

HRESULT SampleGrabber::Receive(IMediaSample* sample) {
    ComPtr<ISampleGrabberCB> callback;
    LONG method = 0;
    {
        std::lock_guard lock(lock_);
        if (oneShot_ && oneShotDone_) return S_FALSE;
        ++received_;
        if (buffering_) {
            last_ = sample;
            hasSaved_ = false;
        }
        callback = callback_;
        method = callbackMethod_;
        if (oneShot_) oneShotDone_ = true;
    }
    if (callback) {
        REFERENCE_TIME start = 0, stop = 0;
        double seconds = SUCCEEDED(sample->GetTime(&start, &stop)) ? static_cast<double>(start) / UNITS : 0.0;
        if (method == 0) {
            callback->SampleCB(seconds, sample);
        } else {
            BYTE* p = nullptr;
            if (SUCCEEDED(sample->GetPointer(&p))) callback->BufferCB(seconds, p, sample->GetActualDataLength());
        }
    }
    HRESULT hr = output_->IsConnected() ? output_->Deliver(sample) : S_OK;
    bool ended = false;
    {
        std::lock_guard lock(lock_);
        ended = oneShot_ && oneShotDone_;
    }
    if (ended) {
        // One shot: the stream ends after this sample.
        if (output_->IsConnected()) output_->DeliverEndOfStream();
        return S_FALSE;
    }
    return hr;
}
