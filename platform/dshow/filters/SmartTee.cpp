#include "platform/dshow/filters/SmartTee.h"

#include "platform/dshow/Uuids.h"

namespace {
// Samples the upstream pool should have: the capture branch may hold one or two, the preview
// mailbox one, the preview branch one.
constexpr LONG kUpstreamBuffers = 6;
constexpr LONG kPreviewViews = 3;
}  // namespace

SmartTeeInputPin::SmartTeeInputPin(SmartTee* tee) : InputPin(tee, "Input"), tee_(tee) {}

HRESULT SmartTeeInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    // Once an output is connected the input type may not change under it.
    for (SmartTeeOutputPin* out : {tee_->Capture(), tee_->Preview()}) {
        if (out->IsConnected() && !(out->CurrentMediaType() == *type)) return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT SmartTeeInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
    if (!props) return E_POINTER;
    *props = ALLOCATOR_PROPERTIES();
    props->cBuffers = kUpstreamBuffers;
    props->cbAlign = 1;
    return S_OK;
}

HRESULT SmartTeeInputPin::OnReceive(IMediaSample* sample) { return tee_->Receive(sample); }

HRESULT SmartTeeInputPin::OnEndOfStream() {
    tee_->EndOfStream();
    return S_OK;
}

HRESULT SmartTeeInputPin::OnBeginFlush() {
    for (SmartTeeOutputPin* out : {tee_->Capture(), tee_->Preview()}) {
        if (out->IsConnected()) out->DeliverBeginFlush();
    }
    return S_OK;
}

HRESULT SmartTeeInputPin::OnEndFlush() {
    for (SmartTeeOutputPin* out : {tee_->Capture(), tee_->Preview()}) {
        if (out->IsConnected()) out->DeliverEndFlush();
    }
    return S_OK;
}

SmartTeeOutputPin::SmartTeeOutputPin(SmartTee* tee, const char* name) : OutputPin(tee, name), tee_(tee) {}

HRESULT SmartTeeOutputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    SmartTeeInputPin* input = tee_->Input();
    if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
    return input->CurrentMediaType() == *type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SmartTeeOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    SmartTeeInputPin* input = tee_->Input();
    if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = input->CurrentMediaType();
    return S_OK;
}

HRESULT SmartTeeOutputPin::CheckConnect(IPin* pin) {
    if (!tee_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    return OutputPin::CheckConnect(pin);
}

HRESULT SmartTeeOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    if (!pin || !allocator) return E_POINTER;
    *allocator = nullptr;
    IMemAllocator* upstream = tee_->Input()->Allocator();
    if (!upstream) return OutputPin::DecideAllocator(pin, allocator);
    HRESULT hr = pin->NotifyAllocator(upstream, TRUE);
    if (FAILED(hr)) return hr;
    upstream->AddRef();
    *allocator = upstream;
    return S_OK;
}

SmartTee::SmartTee() : BaseFilter(CLSID_SmartTee), previewSamples_(MemAllocator::MakeBufferless()) {
    input_ = AddPin(std::make_unique<SmartTeeInputPin>(this));
    capture_ = AddPin(std::make_unique<SmartTeeOutputPin>(this, "Capture"));
    preview_ = AddPin(std::make_unique<SmartTeeOutputPin>(this, "Preview"));
    ALLOCATOR_PROPERTIES request, actual;
    request.cBuffers = kPreviewViews;
    previewSamples_->SetProperties(&request, &actual);
}

SmartTee::~SmartTee() { StopPreview(); }

HRESULT SmartTee::Pause() {
    std::lock_guard lock(FilterLock());
    bool starting = State() == State_Stopped;
    HRESULT hr = BaseFilter::Pause();
    if (SUCCEEDED(hr) && starting && preview_->IsConnected()) {
        previewSamples_->Commit();
        StartPreview();
    }
    return hr;
}

HRESULT SmartTee::Stop() {
    std::lock_guard lock(FilterLock());
    // The pins go inactive first (no Receive runs afterwards), then the preview thread ends.
    HRESULT hr = BaseFilter::Stop();
    StopPreview();
    previewSamples_->Decommit();
    return hr;
}

void SmartTee::StartPreview() {
    if (previewThread_.joinable()) return;
    {
        std::lock_guard lock(mailboxLock_);
        previewExit_ = false;
        previewEndOfStream_ = false;
        previewBusy_ = false;
        mailbox_.Reset();
    }
    previewThread_ = std::thread([this] { PreviewMain(); });
}

void SmartTee::StopPreview() {
    {
        std::lock_guard lock(mailboxLock_);
        previewExit_ = true;
        mailbox_.Reset();
    }
    mailboxChanged_.notify_all();
    if (previewThread_.joinable()) previewThread_.join();
}

HRESULT SmartTee::Receive(IMediaSample* sample) {
    if (capture_->IsConnected()) capture_->Deliver(sample);
    if (!preview_->IsConnected()) return S_OK;

    ComPtr<IMediaSample> view;
    if (FAILED(previewSamples_->GetBuffer(view.ReleaseAndGetAddressOf(), nullptr, nullptr, AM_GBF_NOWAIT))) {
        ++previewDropped_;  // every view is still in the preview branch
        return S_OK;
    }
    auto* shared = static_cast<MediaSample*>(static_cast<IMediaSample2*>(view.Get()));
    if (FAILED(shared->ShareBuffer(sample))) return S_OK;
    // The preview is shown when it arrives: no timestamps.
    view->SetTime(nullptr, nullptr);
    view->SetSyncPoint(sample->IsSyncPoint() == S_OK);
    view->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
    view->SetActualDataLength(sample->GetActualDataLength());
    IMemInputPin* branch = preview_->PeerInput();
    bool here = branch && branch->ReceiveCanBlock() == S_FALSE;
    {
        std::lock_guard lock(mailboxLock_);
        if (previewExit_) return S_OK;
        // One deliverer at a time on the preview branch: here only when the thread is idle.
        here = here && !mailbox_ && !previewBusy_;
        if (here) {
            previewBusy_ = true;
        } else {
            if (mailbox_) ++previewDropped_;
            mailbox_ = std::move(view);
        }
    }
    if (!here) {
        mailboxChanged_.notify_one();
        return S_OK;
    }
    preview_->Deliver(view.Get());
    bool waiting = false;
    {
        std::lock_guard lock(mailboxLock_);
        previewBusy_ = false;
        // Nothing is posted while this thread delivers; wake the preview thread only if it was.
        waiting = mailbox_ || previewEndOfStream_;
    }
    if (waiting) mailboxChanged_.notify_one();
    return S_OK;
}

void SmartTee::EndOfStream() {
    if (capture_->IsConnected()) capture_->DeliverEndOfStream();
    if (!preview_->IsConnected()) return;
    {
        std::lock_guard lock(mailboxLock_);
        previewEndOfStream_ = true;
    }
    mailboxChanged_.notify_one();
}

void SmartTee::PreviewMain() {
    for (;;) {
        ComPtr<IMediaSample> sample;
        bool endOfStream = false;
        {
            std::unique_lock lock(mailboxLock_);
            mailboxChanged_.wait(lock, [&] { return previewExit_ || (!previewBusy_ && (mailbox_ || previewEndOfStream_)); });
            if (previewExit_) return;
            sample = std::move(mailbox_);
            if (!sample && previewEndOfStream_) {
                previewEndOfStream_ = false;
                endOfStream = true;
            }
            previewBusy_ = true;
        }
        if (sample) preview_->Deliver(sample.Get());
        if (endOfStream) preview_->DeliverEndOfStream();
        {
            std::lock_guard lock(mailboxLock_);
            previewBusy_ = false;
        }
    }
}
