#include "components/scrivel/FlashMuxFilter.h"

#include "platform/dshow/Uuids.h"

namespace {
// The filter is made by the control itself, never by class identifier.
constexpr CLSID CLSID_ScrivelFlashMux = MakeGuid("{3E7A9D14-58C2-4F60-B1A3-92D4E5F60718}");
}  // namespace

FlashMuxInputPin::FlashMuxInputPin(FlashMuxFilter* filter, const char* name, bool video)
    : InputPin(filter, name), filter_(filter), video_(video) {}

HRESULT FlashMuxInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (video_) {
        if (type->majortype != MEDIATYPE_Video ||
            (type->subtype != MEDIASUBTYPE_RGB32 && type->subtype != MEDIASUBTYPE_RGB24))
            return VFW_E_TYPE_NOT_ACCEPTED;
        const VIDEOINFOHEADER* vih = type->VideoInfo();
        if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0 || vih->bmiHeader.biWidth > 8192 ||
            std::abs(vih->bmiHeader.biHeight) > 8192)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    const WAVEFORMATEX* wfx = type->majortype == MEDIATYPE_Audio ? type->WaveFormat() : nullptr;
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->nChannels == 0 || wfx->nChannels > 8 ||
        wfx->nSamplesPerSec < 8000 || wfx->nSamplesPerSec > 192000 || wfx->wBitsPerSample != 16 ||
        wfx->nBlockAlign != wfx->nChannels * 2)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT FlashMuxInputPin::OnReceive(IMediaSample* sample) { return filter_->Receive(this, sample); }

HRESULT FlashMuxInputPin::OnEndOfStream() {
    filter_->EndOfStream(this);
    return S_OK;
}

FlashMuxFilter::FlashMuxFilter() : BaseFilter(CLSID_ScrivelFlashMux) {
    video_ = AddPin(std::make_unique<FlashMuxInputPin>(this, "Video", true));
    audio_ = AddPin(std::make_unique<FlashMuxInputPin>(this, "Audio", false));
}

FlashMuxFilter::~FlashMuxFilter() {
    std::lock_guard lock(writeLock_);
    writer_.Finish();
}

void FlashMuxFilter::Configure(const std::string& path, const FlashSettings& settings) {
    std::lock_guard lock(FilterLock());
    path_ = path;
    settings_ = ClampFlashSettings(settings);
}

HRESULT FlashMuxFilter::Pause() {
    std::lock_guard lock(FilterLock());
    if (State() == State_Stopped) {
        std::lock_guard write(writeLock_);
        writer_.Finish();
        videoEnded_ = audioEnded_ = false;
        if (!video_->IsConnected()) return VFW_E_NOT_CONNECTED;
        HRESULT hr = writer_.Open(path_, settings_, &video_->CurrentMediaType(),
                                  audio_->IsConnected() ? &audio_->CurrentMediaType() : nullptr);
        if (FAILED(hr)) return hr;
    }
    return BaseFilter::Pause();
}

HRESULT FlashMuxFilter::Stop() {
    std::lock_guard lock(FilterLock());
    // The inputs go inactive first: no Receive is in progress when the file is finished.
    HRESULT hr = BaseFilter::Stop();
    std::lock_guard write(writeLock_);
    HRESULT finished = writer_.Finish();
    return FAILED(hr) ? hr : (FAILED(finished) ? finished : hr);
}

HRESULT FlashMuxFilter::Receive(FlashMuxInputPin* pin, IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
    const int length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    std::lock_guard lock(writeLock_);
    if (!writer_.IsOpen()) return S_OK;
    HRESULT hr;
    if (pin->IsVideo()) {
        REFERENCE_TIME start = 0, stop = 0;
        const bool hasTime = SUCCEEDED(sample->GetTime(&start, &stop));
        hr = writer_.WriteVideo(data, length, start, hasTime);
    } else {
        hr = writer_.WriteAudio(data, length);
    }
    if (FAILED(hr)) {
        // A full disk or an encoder that gives up: the graph hears it once, the file keeps what
        // was written.
        writer_.Finish();
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    return S_OK;
}

void FlashMuxFilter::EndOfStream(FlashMuxInputPin* pin) {
    bool complete = false;
    {
        std::lock_guard lock(writeLock_);
        (pin->IsVideo() ? videoEnded_ : audioEnded_) = true;
        complete = (videoEnded_ || !video_->IsConnected()) && (audioEnded_ || !audio_->IsConnected());
        if (complete) writer_.Finish();
    }
    if (complete) NotifyEvent(EC_COMPLETE, S_OK, 0);
}
