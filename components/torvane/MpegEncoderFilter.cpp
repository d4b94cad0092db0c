#include "components/torvane/MpegEncoderFilter.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/dshow/Uuids.h"

namespace {
bool IsAcceptedVideo(const Guid& subtype) {
    return subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_YUY2;
}
}  // namespace

// --- pins -------------------------------------------------------------------------------------

MpegEncoderInputPin::MpegEncoderInputPin(MpegEncoderFilter* filter, const char* name, bool video)
    : InputPin(filter, name), filter_(filter), video_(video) {}

HRESULT MpegEncoderInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (video_) {
        if (type->majortype != MEDIATYPE_Video || !IsAcceptedVideo(type->subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
        const VIDEOINFOHEADER* vih = type->VideoInfo();
        if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0 ||
            vih->bmiHeader.biWidth > 8192 || std::abs(vih->bmiHeader.biHeight) > 8192) {
            return VFW_E_TYPE_NOT_ACCEPTED;
        }
        // YUY2 is always top-down; a negative height there is a malformed type.
        if (type->subtype == MEDIASUBTYPE_YUY2 && vih->bmiHeader.biHeight < 0) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    if (type->majortype != MEDIATYPE_Audio) return VFW_E_TYPE_NOT_ACCEPTED;
    const WAVEFORMATEX* wfx = type->WaveFormat();
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->nChannels == 0 || wfx->nChannels > 8 ||
        wfx->nSamplesPerSec < 8000 || wfx->nSamplesPerSec > 192000 ||
        (wfx->wBitsPerSample != 8 && wfx->wBitsPerSample != 16) ||
        wfx->nBlockAlign != wfx->nChannels * wfx->wBitsPerSample / 8) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT MpegEncoderInputPin::OnReceive(IMediaSample* sample) { return filter_->Receive(this, sample); }

HRESULT MpegEncoderInputPin::OnEndOfStream() {
    filter_->EndOfStream(this);
    return S_OK;
}

// --- the filter -------------------------------------------------------------------------------

MpegEncoderFilter::MpegEncoderFilter() : WithInterfaces(CLSID_MpegEncoder) {
    video_ = AddPin(std::make_unique<MpegEncoderInputPin>(this, "Video", true));
    audio_ = AddPin(std::make_unique<MpegEncoderInputPin>(this, "Audio", false));
}

MpegEncoderFilter::~MpegEncoderFilter() {
    std::lock_guard lock(writeLock_);
    writer_.Finish();
}

HRESULT MpegEncoderFilter::SetFileName(const char* file, const AM_MEDIA_TYPE*) {
    if (!file) return E_POINTER;
    if (!*file) return E_INVALIDARG;
    std::filesystem::path path(file);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return E_INVALIDARG;
    // The folder must exist and take new files; the file itself is created when recording starts.
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    if (!std::filesystem::is_directory(folder, error)) return MakeHResult(0x80070003);  // path not found
    if (access(folder.c_str(), W_OK | X_OK) != 0) return E_ACCESSDENIED;
    std::lock_guard lock(settingsLock_);
    file_ = file;
    return S_OK;
}

HRESULT MpegEncoderFilter::GetCurFile(std::string* file, AM_MEDIA_TYPE* type) {
    if (!file) return E_POINTER;
    std::lock_guard lock(settingsLock_);
    if (file_.empty()) return E_FAIL;
    *file = file_;
    if (type) *type = AM_MEDIA_TYPE();
    return S_OK;
}

HRESULT MpegEncoderFilter::GetOutputKind(int* kind) {
    if (!kind) return E_POINTER;
    std::lock_guard lock(settingsLock_);
    *kind = settings_.kind;
    return S_OK;
}

HRESULT MpegEncoderFilter::SetOutputKind(int kind) {
    return Change(MpegSettings::CheckKind(kind), [&](MpegSettings& s) { s.kind = kind; });
}

HRESULT MpegEncoderFilter::SetStreamType(int type) {
    return Change(MpegSettings::CheckVideoStandard(type), [&](MpegSettings& s) { s.videoStandard = type; });
}

HRESULT MpegEncoderFilter::SetVideoBitrate(int bitsPerSecond) {
    return Change(MpegSettings::CheckVideoBitrate(bitsPerSecond), [&](MpegSettings& s) { s.videoBitrate = bitsPerSecond; });
}

HRESULT MpegEncoderFilter::SetVideoSize(int width, int height) {
    return Change(MpegSettings::CheckSize(width, height), [&](MpegSettings& s) {
        s.width = width;
        s.height = height;
    });
}

HRESULT MpegEncoderFilter::SetFrameRate(const char* framesPerSecond) {
    double rate = 0;
    return Change(MpegSettings::ParseFrameRate(framesPerSecond, &rate), [&](MpegSettings& s) { s.frameRate = rate; });
}

HRESULT MpegEncoderFilter::SetMaxVideoBitrate(int bitsPerSecond) {
    return Change(MpegSettings::CheckVideoBitrate(bitsPerSecond), [&](MpegSettings& s) { s.maxVideoBitrate = bitsPerSecond; });
}

HRESULT MpegEncoderFilter::SetMinVideoBitrate(int bitsPerSecond) {
    return Change(MpegSettings::CheckVideoBitrate(bitsPerSecond), [&](MpegSettings& s) { s.minVideoBitrate = bitsPerSecond; });
}

HRESULT MpegEncoderFilter::SetMaxDuration(int milliseconds) {
    return Change(MpegSettings::CheckDuration(milliseconds), [&](MpegSettings& s) { s.maxDurationMs = milliseconds; });
}

HRESULT MpegEncoderFilter::SetPreset(int preset) {
    // Preset 0: this interface's values start again from the defaults and the calls that follow
    // give each of them; the stream kind, set through the other interface, stays.
    return Change(preset == 0 ? S_OK : E_INVALIDARG, [](MpegSettings& s) {
        int kind = s.kind;
        s = MpegSettings();
        s.kind = kind;
    });
}

HRESULT MpegEncoderFilter::SetAudioBitrate(int bitsPerSecond) {
    return Change(MpegSettings::CheckAudioBitrate(bitsPerSecond), [&](MpegSettings& s) { s.audioBitrate = bitsPerSecond; });
}

HRESULT MpegEncoderFilter::SetAudioChannels(int channels) {
    return Change(MpegSettings::CheckAudioChannels(channels), [&](MpegSettings& s) { s.audioChannels = channels; });
}

HRESULT MpegEncoderFilter::SetAudioSampleRate(int hertz) {
    return Change(MpegSettings::CheckAudioSampleRate(hertz), [&](MpegSettings& s) { s.audioSampleRate = hertz; });
}

MpegSettings MpegEncoderFilter::Settings() const {
    std::lock_guard lock(settingsLock_);
    return settings_;
}

HRESULT MpegEncoderFilter::Pause() {
    std::lock_guard lock(FilterLock());
    bool starting = State() == State_Stopped;
    if (starting) {
        HRESULT hr = StartFile();
        if (FAILED(hr)) return hr;
    }
    return BaseFilter::Pause();
}

HRESULT MpegEncoderFilter::Stop() {
    std::lock_guard lock(FilterLock());
    // The inputs go inactive first: no Receive is in progress when the file is finished.
    HRESULT hr = BaseFilter::Stop();
    std::lock_guard write(writeLock_);
    writer_.Finish();
    return hr;
}

HRESULT MpegEncoderFilter::StartFile() {
    MpegSettings settings;
    std::string file;
    {
        std::lock_guard lock(settingsLock_);
        settings = settings_;
        file = file_;
    }
    std::lock_guard lock(writeLock_);
    writer_.Finish();
    videoEnded_ = audioEnded_ = false;
    bool video = video_->IsConnected();
    bool audio = audio_->IsConnected();
    if (!video && !audio) return S_OK;  // nothing to record: no file
    if (file.empty()) return E_FAIL;
    return writer_.Open(file, settings, video ? &video_->CurrentMediaType() : nullptr,
                        audio ? &audio_->CurrentMediaType() : nullptr);
}

HRESULT MpegEncoderFilter::Receive(MpegEncoderInputPin* pin, IMediaSample* sample) {
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
    int length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    std::lock_guard lock(writeLock_);
    if (!writer_.IsOpen()) return S_OK;
    HRESULT hr;
    if (pin->IsVideo()) {
        REFERENCE_TIME start = 0, stop = 0;
        bool hasTime = SUCCEEDED(sample->GetTime(&start, &stop));
        hr = writer_.WriteVideo(data, length, start, hasTime);
    } else {
        hr = writer_.WriteAudio(data, length);
    }
    if (FAILED(hr)) {
        // A disk that fills up, an encoder that gives up: the graph hears it once, the file keeps
        // what was written.
        writer_.Finish();
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    return S_OK;
}

void MpegEncoderFilter::EndOfStream(MpegEncoderInputPin* pin) {
    bool complete = false;
    {
        std::lock_guard lock(writeLock_);
        (pin->IsVideo() ? videoEnded_ : audioEnded_) = true;
        complete = (videoEnded_ || !video_->IsConnected()) && (audioEnded_ || !audio_->IsConnected());
        if (complete) writer_.Finish();
    }
    if (complete) NotifyEvent(EC_COMPLETE, S_OK, 0);
}
