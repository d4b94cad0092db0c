#include "platform/dshow/filters/RendererFilter.h"

RendererInputPin::RendererInputPin(RendererFilter* filter, const char* name)
    : InputPin(filter, name), renderer_(filter) {}

HRESULT RendererInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return renderer_->CheckMediaType(type);
}

HRESULT RendererInputPin::SetMediaType(const AM_MEDIA_TYPE* type) { return renderer_->SetMediaType(type); }

HRESULT RendererInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
    if (!props) return E_POINTER;
    *props = ALLOCATOR_PROPERTIES();
    props->cBuffers = renderer_->BuffersWanted();
    props->cbAlign = 1;
    return S_OK;
}

HRESULT RendererInputPin::BreakConnect() {
    renderer_->BreakConnect();
    return InputPin::BreakConnect();
}

HRESULT RendererInputPin::ReceiveCanBlock() { return renderer_->RenderCanBlock() ? S_OK : S_FALSE; }

HRESULT RendererInputPin::OnReceive(IMediaSample* sample) { return renderer_->RenderSample(sample); }

HRESULT RendererInputPin::OnEndOfStream() {
    renderer_->OnEndOfStream();
    renderer_->NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(renderer_)));
    return S_OK;
}

RendererFilter::RendererFilter(const CLSID& clsid, const char* pinName) : BaseFilter(clsid) {
    input_ = AddPin(std::make_unique<RendererInputPin>(this, pinName));
}

RendererFilter::RendererFilter(const CLSID& clsid, std::unique_ptr<RendererInputPin> pin) : BaseFilter(clsid) {
    input_ = AddPin(std::move(pin));
}
