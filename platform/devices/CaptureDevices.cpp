#include "platform/devices/CaptureDevices.h"

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/devices/AnalogVideoDecoder.h"
#include "platform/devices/AudioInputMixer.h"
#include "platform/devices/Crossbar.h"
#include "platform/devices/DeviceBackends.h"
#include "platform/devices/DeviceControls.h"
#include "platform/devices/DevicePropertyPage.h"
#include "platform/devices/DroppedFrames.h"
#include "platform/devices/TvTuner.h"
#include "platform/devices/alsa/AlsaBackend.h"
#include "platform/devices/v4l2/V4l2Driver.h"
#include "platform/devices/v4l2/V4l2Stream.h"
#include "platform/devices/virtual/VideoFile.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/base/SourceFilter.h"

namespace {

std::mutex& DialogLock() {
    static std::mutex lock;
    return lock;
}
DeviceDialogHandler& DialogHandler() {
    static DeviceDialogHandler handler;
    return handler;
}

// ISpecifyPropertyPages of both device filters: the device settings page, where the device has one.
HRESULT DevicePages(const DeviceDescription& device, CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->count = 0;
    pages->elements = nullptr;
    if (!device.propertyPages) return S_OK;
    pages->elements = static_cast<Guid*>(std::malloc(sizeof(Guid)));
    if (!pages->elements) return E_OUTOFMEMORY;
    pages->elements[0] = CLSID_OrvantaDevicePropertyPage;
    pages->count = 1;
    return S_OK;
}

// Whether a virtual device described to go away is gone by stream time `time`.
bool Unplugged(const DeviceState& state, REFERENCE_TIME time) {
    return state.description.unplugAfter > 0 && time >= state.description.unplugAfter;
}

// --- stream configuration ----------------------------------------------------------------------

bool FitsCapability(const VideoCapability& cap, const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    if (type.majortype != MEDIATYPE_Video || type.subtype != cap.subtype || !vih) return false;
    LONG w = vih->bmiHeader.biWidth, h = std::labs(vih->bmiHeader.biHeight);
    if (w < cap.minWidth || w > cap.maxWidth || h < cap.minHeight || h > cap.maxHeight) return false;
    if ((w - cap.minWidth) % cap.granularityX != 0 || (h - cap.minHeight) % cap.granularityY != 0) return false;
    REFERENCE_TIME interval = vih->AvgTimePerFrame;
    return interval == 0 || (interval >= cap.minFrameInterval && interval <= cap.maxFrameInterval);
}

// The size a capability starts at: its fixed size, or 640x480 when it scales that far.
std::pair<LONG, LONG> DefaultSize(const VideoCapability& cap) {
    if (!cap.IsScalable()) return {cap.maxWidth, cap.maxHeight};
    LONG w = std::clamp(640, cap.minWidth, cap.maxWidth);
    LONG h = std::clamp(480, cap.minHeight, cap.maxHeight);
    w -= (w - cap.minWidth) % cap.granularityX;
    h -= (h - cap.minHeight) % cap.granularityY;
    return {w, h};
}

AM_MEDIA_TYPE TypeOf(const VideoCapability& cap, LONG w, LONG h, REFERENCE_TIME interval) {
    return MakeVideoType(cap.subtype, w, h, interval ? interval : cap.defaultFrameInterval);
}

class VideoCaptureFilter;

class VideoCapturePin final : public WithInterfaces<SourcePin, IAMStreamConfig, IAMDroppedFrames> {
public:
    VideoCapturePin(VideoCaptureFilter* filter, const char* name, const Guid& category, std::vector<VideoCapability> caps,
                    std::shared_ptr<DeviceState> state);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        for (const auto& cap : caps_)
            if (FitsCapability(cap, *type)) return S_OK;
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        std::lock_guard lock(formatLock_);
        *type = format_;
        return S_OK;
    }
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override {
        HRESULT hr = SourcePin::SetMediaType(type);
        if (SUCCEEDED(hr)) {
            std::lock_guard lock(formatLock_);
            format_ = *type;
        }
        return hr;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = std::max<LONG>(request->cBuffers, 4);
        return SourcePin::DecideBufferSize(allocator, request);
    }
    HRESULT Active() override {
        frame_ = 0;
        Counts().Reset();
        return SourcePin::Active();
    }

    // IAMStreamConfig
    HRESULT SetFormat(const AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        if (CheckMediaType(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
        if (IsConnected()) {
            if (*type == CurrentMediaType()) return S_OK;
            return VFW_E_ALREADY_CONNECTED;  // a running format cannot change under its consumer
        }
        std::lock_guard lock(formatLock_);
        format_ = *type;
        return S_OK;
    }
    HRESULT GetFormat(AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        std::lock_guard lock(formatLock_);
        *type = format_;
        return S_OK;
    }
    HRESULT GetNumberOfCapabilities(int* count, int* size) override {
        if (!count || !size) return E_POINTER;
        *count = static_cast<int>(caps_.size());
        *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE* type, BYTE* block) override {
        if (!type || !block) return E_POINTER;
        if (index < 0) return E_INVALIDARG;
        if (index >= static_cast<int>(caps_.size())) return S_FALSE;
        const VideoCapability& cap = caps_[index];
        auto [w, h] = DefaultSize(cap);
        *type = TypeOf(cap, w, h, 0);
        VIDEO_STREAM_CONFIG_CAPS caps;
        caps.guid = FORMAT_VideoInfo;
        caps.InputSize = {cap.maxWidth, cap.maxHeight};
        caps.MinCroppingSize = {cap.minWidth, cap.minHeight};
        caps.MaxCroppingSize = {cap.maxWidth, cap.maxHeight};
        caps.CropGranularityX = cap.granularityX;
        caps.CropGranularityY = cap.granularityY;
        caps.CropAlignX = cap.granularityX;
        caps.CropAlignY = cap.granularityY;
        caps.MinOutputSize = {cap.minWidth, cap.minHeight};
        caps.MaxOutputSize = {cap.maxWidth, cap.maxHeight};
        caps.OutputGranularityX = cap.granularityX;
        caps.OutputGranularityY = cap.granularityY;
        caps.MinFrameInterval = cap.minFrameInterval;
        caps.MaxFrameInterval = cap.maxFrameInterval;
        auto bits = [&](LONG width, LONG height, REFERENCE_TIME interval) {
            double bytes = static_cast<double>(width) * height * cap.bitCount / 8.0;
            return static_cast<LONG>(std::min(2.0e9, bytes * 8.0 * UNITS / std::max<REFERENCE_TIME>(1, interval)));
        };
        caps.MinBitsPerSecond = bits(cap.minWidth, cap.minHeight, cap.maxFrameInterval);
        caps.MaxBitsPerSecond = bits(cap.maxWidth, cap.maxHeight, cap.minFrameInterval);
        std::memcpy(block, &caps, sizeof caps);
        return S_OK;
    }

    // IAMDroppedFrames
    HRESULT GetNumDropped(LONG* dropped) override { return Dropped()->GetNumDropped(dropped); }
    HRESULT GetNumNotDropped(LONG* notDropped) override { return Dropped()->GetNumNotDropped(notDropped); }
    HRESULT GetDroppedInfo(LONG size, LONG* frames, LONG* copied) override {
        return Dropped()->GetDroppedInfo(size, frames, copied);
    }
    HRESULT GetAverageFrameSize(LONG* size) override { return Dropped()->GetAverageFrameSize(size); }

protected:
    HRESULT OnThreadStart() override;
    void OnThreadStop() override {
        stream_.reset();
        player_.reset();
    }
    HRESULT FillBuffer(IMediaSample* sample) override;

private:
    DroppedFrameCounter& Counts() { return countsFrames_ ? state_->dropped : previewCounts_; }
    ComPtr<DroppedFrames> Dropped() {
        if (!dropped_) dropped_ = MakeCom<DroppedFrames>(state_);
        return dropped_;
    }
    HRESULT FillFromDevice(IMediaSample* sample, const VIDEOINFOHEADER& vih);

    std::vector<VideoCapability> caps_;
    std::shared_ptr<DeviceState> state_;
    std::mutex formatLock_;
    AM_MEDIA_TYPE format_;
    ComPtr<DroppedFrames> dropped_;
    uint32_t frame_ = 0;
    // The device's frame counts (IAMDroppedFrames) are those of its capture stream: a preview pin
    // that falls behind loses frames of its own, which the recording does not miss.
    bool countsFrames_ = false;
    DroppedFrameCounter previewCounts_;
    std::unique_ptr<V4l2Stream> stream_;
    bool flipRows_ = false;
    std::unique_ptr<VideoFilePlayer> player_;  // a virtual camera playing a file
};

// Where the card's crossbar and tuner answer: the upstream walk of FindInterface asks this pin.
class AnalogInputPin final : public WithInterfaces<BasePin, IKsPropertySet> {
public:
    AnalogInputPin(BaseFilter* filter, std::shared_ptr<DeviceState> state)
        : WithInterfaces(filter, "Analog Video In", PINDIR_INPUT), state_(std::move(state)) {
        if (state_->description.crossbar) crossbar_ = MakeCom<Crossbar>(state_);
        if (state_->description.tuner) tuner_ = MakeCom<TvTuner>(state_);
    }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return VFW_E_TYPE_NOT_ACCEPTED; }
    HRESULT Set(REFGUID, DWORD, void*, DWORD, void*, DWORD) override { return E_PROP_ID_UNSUPPORTED; }
    HRESULT Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD size, DWORD* returned) override {
        if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
        if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
        if (!data || size < sizeof(Guid)) return E_UNEXPECTED;
        std::memcpy(data, &PIN_CATEGORY_ANALOGVIDEOIN, sizeof(Guid));
        if (returned) *returned = sizeof(Guid);
        return S_OK;
    }
    HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override {
        if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
        if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
        if (support) *support = KSPROPERTY_SUPPORT_GET;
        return S_OK;
    }

    // The crossbar and tuner stand for the card's upstream filters: objects of their own, reached
    // through this pin, so the reference handed out is theirs.
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object && riid == IAMCrossbar::iid && crossbar_) return crossbar_->QueryInterface(riid, object);
        if (object && (riid == IAMTVTuner::iid || riid == IAMTuner::iid) && tuner_) return tuner_->QueryInterface(riid, object);
        return WithInterfaces::QueryInterface(riid, object);
    }

private:
    std::shared_ptr<DeviceState> state_;
    ComPtr<Crossbar> crossbar_;
    ComPtr<TvTuner> tuner_;
};

class VideoCaptureFilter final
    : public WithInterfaces<SourceFilter, IAMVfwCaptureDialogs, ISpecifyPropertyPages> {
public:
    explicit VideoCaptureFilter(std::shared_ptr<DeviceState> state)
        : WithInterfaces(CLSID_OrvantaVideoCapture), state_(std::move(state)) {
        const DeviceDescription& d = state_->description;
        AddPin(std::make_unique<VideoCapturePin>(this, "Capture", PIN_CATEGORY_CAPTURE, d.captureCaps, state_));
        if (d.previewCaps) AddPin(std::make_unique<VideoCapturePin>(this, "Preview", PIN_CATEGORY_PREVIEW, *d.previewCaps, state_));
        if (d.crossbar || d.tuner) AddPin(std::make_unique<AnalogInputPin>(this, state_));
        if (d.decoder) decoder_ = MakeCom<AnalogVideoDecoder>(state_);
        if (!d.procAmp.empty()) procAmp_ = MakeCom<VideoProcAmp>(state_);
        if (!d.cameraControl.empty()) camera_ = MakeCom<CameraControl>(state_);
    }

    // The device's adjustment objects hand out their own references.
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object && riid == IAMAnalogVideoDecoder::iid && decoder_) return decoder_->QueryInterface(riid, object);
        if (object && riid == IAMVideoProcAmp::iid && procAmp_) return procAmp_->QueryInterface(riid, object);
        if (object && riid == IAMCameraControl::iid && camera_) return camera_->QueryInterface(riid, object);
        return WithInterfaces::QueryInterface(riid, object);
    }

    HRESULT HasDialog(int dialog) override { return (state_->description.dialogs & dialog) ? S_OK : S_FALSE; }
    HRESULT ShowDialog(int dialog, uint32_t owner) override {
        if (HasDialog(dialog) != S_OK) return E_INVALIDARG;
        // Dialogs change the format: not while streaming.
        if (BaseFilter::State() != State_Stopped) return VFW_E_NOT_STOPPED;
        DeviceDialogHandler handler;
        {
            std::lock_guard lock(DialogLock());
            handler = DialogHandler();
        }
        if (handler) return handler(state_->description, dialog, owner);
        // The format dialog picks among the capture pin's formats; source and display show
        // the device's settings.
        if (dialog == VfwCaptureDialog_Format) {
            ComPtr<IPin> capture;
            FindPin("Capture", capture.ReleaseAndGetAddressOf());
            return ShowDeviceFormatDialog(capture.Get(), state_->description.name);
        }
        return ShowDeviceSettingsDialog(GetUnknown(), state_->description.name);
    }
    HRESULT SendDriverMessage(int, int, LONG, LONG) override { return E_NOTIMPL; }
    HRESULT GetPages(CAUUID* pages) override { return DevicePages(state_->description, pages); }

protected:
    void* QueryExtraInterface(REFIID riid) override {
        if (riid == IAMVfwCaptureDialogs::iid && state_->description.dialogs == 0) return nullptr;
        if (riid == ISpecifyPropertyPages::iid && !state_->description.propertyPages) return nullptr;
        return WithInterfaces::QueryExtraInterface(riid);
    }

private:
    std::shared_ptr<DeviceState> state_;
    ComPtr<AnalogVideoDecoder> decoder_;
    ComPtr<VideoProcAmp> procAmp_;
    ComPtr<CameraControl> camera_;
};

VideoCapturePin::VideoCapturePin(VideoCaptureFilter* filter, const char* name, const Guid& category,
                                 std::vector<VideoCapability> caps, std::shared_ptr<DeviceState> state)
    : WithInterfaces(filter, name, category),
      caps_(std::move(caps)),
      state_(std::move(state)),
      countsFrames_(category == PIN_CATEGORY_CAPTURE) {
    const VideoCapability& first = caps_.front();
    auto [w, h] = DefaultSize(first);
    format_ = TypeOf(first, w, h, 0);
}

HRESULT VideoCapturePin::OnThreadStart() {
    if (state_->description.videoFile) {
        player_ = std::make_unique<VideoFilePlayer>();
        HRESULT hr = player_->Open(*state_->description.videoFile, CurrentMediaType().subtype);
        if (FAILED(hr)) std::fprintf(stderr, "orvanta: %s: %s\n", state_->description.name.c_str(), player_->Error().c_str());
        return hr;
    }
    auto* driver = dynamic_cast<V4l2Driver*>(state_->driver.get());
    if (!driver) return S_OK;
    const AM_MEDIA_TYPE& type = CurrentMediaType();
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    uint32_t pixelFormat = 0;
    for (const auto& cap : caps_)
        if (FitsCapability(cap, type)) pixelFormat = cap.v4l2PixelFormat;
    if (!vih || !pixelFormat) return VFW_E_TYPE_NOT_ACCEPTED;
    stream_ = std::make_unique<V4l2Stream>(driver->Api(), driver->Fd(), Counts());
    v4l2_pix_format chosen{};
    HRESULT hr = stream_->SetFormat(pixelFormat, vih->bmiHeader.biWidth, std::labs(vih->bmiHeader.biHeight),
                                    vih->AvgTimePerFrame, &chosen);
    if (FAILED(hr)) return hr;
    if (static_cast<LONG>(chosen.width) != vih->bmiHeader.biWidth ||
        static_cast<LONG>(chosen.height) != std::labs(vih->bmiHeader.biHeight))
        return VFW_E_TYPE_NOT_ACCEPTED;
    // V4L2 RGB rows run top-down; a DIB with positive height is bottom-up.
    flipRows_ = vih->bmiHeader.biCompression == 0 && vih->bmiHeader.biHeight > 0;
    return stream_->Start(4);
}

HRESULT VideoCapturePin::FillFromDevice(IMediaSample* sample, const VIDEOINFOHEADER& vih) {
    BYTE* data = nullptr;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr)) return hr;
    LONG capacity = sample->GetSize();
    LONG height = std::labs(vih.bmiHeader.biHeight);
    LONG stride = DibStride(vih.bmiHeader.biWidth, vih.bmiHeader.biBitCount);
    bool copied = false;
    while (!copied) {
        if (StopRequested()) return SOURCE_S_SKIP;
        hr = stream_->ReadFrame(100, [&](const V4l2Frame& frame) {
            LONG length = static_cast<LONG>(std::min<size_t>(frame.size, static_cast<size_t>(capacity)));
            if (flipRows_ && length >= stride * height) {
                LONG rowBytes = static_cast<LONG>(frame.size / static_cast<size_t>(height));
                for (LONG y = 0; y < height; ++y)
                    std::memcpy(data + (height - 1 - y) * stride, frame.data + y * rowBytes, std::min(rowBytes, stride));
                length = stride * height;
            } else {
                std::memcpy(data, frame.data, length);
            }
            sample->SetActualDataLength(length);
            copied = true;
        });
        if (FAILED(hr)) return hr;
    }
    REFERENCE_TIME now = 0;
    if (FAILED(Filter()->StreamTime(&now))) now = static_cast<REFERENCE_TIME>(frame_) * vih.AvgTimePerFrame;
    REFERENCE_TIME stop = now + vih.AvgTimePerFrame;
    sample->SetTime(&now, &stop);
    sample->SetSyncPoint(TRUE);
    ++frame_;
    return S_OK;
}

HRESULT VideoCapturePin::FillBuffer(IMediaSample* sample) {
    const AM_MEDIA_TYPE& type = CurrentMediaType();
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    if (!vih) return VFW_E_INVALIDMEDIATYPE;
    if (stream_) return FillFromDevice(sample, *vih);

    REFERENCE_TIME interval = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : 333333;
    for (;;) {
        uint32_t n = frame_;
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(n) * interval;
        HRESULT hr = WaitForStreamTime(start);
        if (hr != S_OK) return hr;
        // A device does not wait for a slow consumer: the frames whose time passed while no
        // buffer was free are lost, and the next one is the frame of the current slot.
        REFERENCE_TIME now = 0;
        if (SUCCEEDED(Filter()->StreamTime(&now)) && now - start >= interval) {
            auto current = static_cast<uint32_t>(std::min<REFERENCE_TIME>(now / interval, UINT32_MAX));
            Counts().DroppedRange(static_cast<LONG>(n), static_cast<LONG>(current - n));
            n = current;
            frame_ = n;
            start = static_cast<REFERENCE_TIME>(n) * interval;
        }
        if (Unplugged(*state_, start)) return HResultFromErrno(ENODEV);
        int every = state_->description.dropEvery;
        if (every > 0 && (n + 1) % static_cast<uint32_t>(every) == 0) {
            // A described drop: the frame is made and lost, as a busy device loses it.
            Counts().Dropped(static_cast<LONG>(n));
            frame_ = n + 1;
            continue;
        }
        BYTE* data = nullptr;
        hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        LONG size = static_cast<LONG>(type.lSampleSize);
        if (size > sample->GetSize()) return VFW_E_BUFFER_OVERFLOW;
        int brightness = 0;
        {
            std::lock_guard lock(state_->mutex);
            for (const auto& c : state_->description.procAmp)
                if (c.property == VideoProcAmp_Brightness) brightness = c.value - c.defaultValue;
        }
        if (player_) {
            hr = player_->Draw(n, data, static_cast<size_t>(size));
            if (FAILED(hr)) {
                std::fprintf(stderr, "orvanta: %s: %s\n", state_->description.name.c_str(), player_->Error().c_str());
                return hr;
            }
        } else if (!DrawTestPicture(type.subtype, vih->bmiHeader.biWidth, std::labs(vih->bmiHeader.biHeight), n, brightness,
                                    data, static_cast<size_t>(size))) {
            return VFW_E_INVALIDMEDIATYPE;
        }
        REFERENCE_TIME stop = start + interval;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetActualDataLength(size);
        Counts().Delivered(size);
        frame_ = n + 1;
        return S_OK;
    }
}

// --- audio -------------------------------------------------------------------------------------

class AudioCapturePin final : public WithInterfaces<SourcePin, IAMStreamConfig> {
public:
    AudioCapturePin(BaseFilter* filter, std::shared_ptr<DeviceState> state)
        : WithInterfaces(filter, "Capture", PIN_CATEGORY_CAPTURE), state_(std::move(state)) {
        const AudioFormatDescription& f = state_->description.audioFormat;
        format_ = MakePcmAudioType(static_cast<DWORD>(f.sampleRate), static_cast<WORD>(f.channels),
                                   static_cast<WORD>(f.bitsPerSample));
    }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        const WAVEFORMATEX* w = type->WaveFormat();
        if (type->majortype != MEDIATYPE_Audio || type->subtype != MEDIASUBTYPE_PCM || !w) return VFW_E_TYPE_NOT_ACCEPTED;
        if (w->nChannels < 1 || w->nChannels > 2 || (w->wBitsPerSample != 8 && w->wBitsPerSample != 16) ||
            w->nSamplesPerSec < 8000 || w->nSamplesPerSec > 48000)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = format_;
        return S_OK;
    }
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override {
        HRESULT hr = SourcePin::SetMediaType(type);
        if (SUCCEEDED(hr)) format_ = *type;
        return hr;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        // Buffers of 100 ms.
        const WAVEFORMATEX* w = format_.WaveFormat();
        request->cBuffers = std::max<LONG>(request->cBuffers, 8);
        request->cbBuffer = std::max<LONG>(request->cbBuffer, static_cast<LONG>(w->nAvgBytesPerSec / 10));
        return SourcePin::DecideBufferSize(allocator, request);
    }
    HRESULT Active() override {
        samples_ = 0;
        return SourcePin::Active();
    }
    HRESULT SetFormat(const AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        if (CheckMediaType(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
        if (IsConnected()) return *type == CurrentMediaType() ? S_OK : VFW_E_ALREADY_CONNECTED;
        format_ = *type;
        return S_OK;
    }
    HRESULT GetFormat(AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        *type = format_;
        return S_OK;
    }
    HRESULT GetNumberOfCapabilities(int* count, int* size) override {
        if (!count || !size) return E_POINTER;
        *count = 1;
        *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE* type, BYTE* block) override {
        if (!type || !block) return E_POINTER;
        if (index < 0) return E_INVALIDARG;
        if (index > 0) return S_FALSE;
        *type = format_;
        AUDIO_STREAM_CONFIG_CAPS caps;
        caps.guid = MEDIATYPE_Audio;
        caps.MinimumChannels = 1;
        caps.MaximumChannels = 2;
        caps.ChannelsGranularity = 1;
        caps.MinimumBitsPerSample = 8;
        caps.MaximumBitsPerSample = 16;
        caps.BitsPerSampleGranularity = 8;
        caps.MinimumSampleFrequency = 8000;
        caps.MaximumSampleFrequency = 48000;
        caps.SampleFrequencyGranularity = 1;
        std::memcpy(block, &caps, sizeof caps);
        return S_OK;
    }

protected:
    HRESULT OnThreadStart() override {
        if (state_->description.backend != "alsa") return S_OK;
        const WAVEFORMATEX* w = CurrentMediaType().WaveFormat();
        AudioFormatDescription f{static_cast<int>(w->nSamplesPerSec), w->nChannels, w->wBitsPerSample};
        alsa_ = std::make_unique<AlsaCapture>();
        return alsa_->Open(state_->description.path, f);
    }
    void OnThreadStop() override { alsa_.reset(); }
    HRESULT FillBuffer(IMediaSample* sample) override {
        const WAVEFORMATEX* w = CurrentMediaType().WaveFormat();
        if (!w || w->nBlockAlign == 0) return VFW_E_INVALIDMEDIATYPE;
        BYTE* data = nullptr;
        HRESULT hr = sample->GetPointer(&data);
        if (FAILED(hr)) return hr;
        LONG frames = std::min<LONG>(sample->GetSize() / w->nBlockAlign, static_cast<LONG>(w->nSamplesPerSec / 10));
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(samples_) * UNITS / w->nSamplesPerSec;
        if (alsa_) {
            long got = alsa_->Read(data, static_cast<unsigned long>(frames));
            if (got < 0) return static_cast<HRESULT>(got);
            if (got == 0) return SOURCE_S_SKIP;
            frames = static_cast<LONG>(got);
        } else {
            // The virtual microphone's tone, paced by the stream clock like a card.
            REFERENCE_TIME end = static_cast<REFERENCE_TIME>(samples_ + frames) * UNITS / w->nSamplesPerSec;
            if (Unplugged(*state_, end)) {
                // The samples caught before the device went are lost with it, as a card's are.
                hr = WaitForStreamTime(state_->description.unplugAfter);
                return hr == S_OK ? HResultFromErrno(ENODEV) : hr;
            }
            hr = WaitForStreamTime(end);
            if (hr != S_OK) return hr;
            double level = 0.0;
            {
                std::lock_guard lock(state_->mutex);
                for (const auto& line : state_->description.inputLines)
                    if (line.enabled) level = std::max(level, line.mixLevel);
                if (state_->description.inputLines.empty()) level = 1.0;
            }
            WriteTone(data, frames, *w, level);
        }
        REFERENCE_TIME stop = static_cast<REFERENCE_TIME>(samples_ + frames) * UNITS / w->nSamplesPerSec;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        sample->SetActualDataLength(frames * w->nBlockAlign);
        samples_ += static_cast<uint64_t>(frames);
        return S_OK;
    }

private:
    // The tone from sample samples_ on. Each sample follows from the two before it
    // (sin(x + d) = 2 cos(d) sin(x) - sin(x - d)): one multiply instead of a sine a sample, and
    // started exactly at every buffer, so no error builds up.
    void WriteTone(BYTE* data, LONG frames, const WAVEFORMATEX& w, double level) const {
        const double step = 2.0 * M_PI * state_->description.toneHz / w.nSamplesPerSec;
        const double twoCos = 2.0 * std::cos(step);
        double previous = std::sin(step * (static_cast<double>(samples_) - 1.0));
        double current = std::sin(step * static_cast<double>(samples_));
        for (LONG i = 0; i < frames; ++i) {
            const double v = 0.5 * level * current;
            if (w.wBitsPerSample == 16) {
                const auto s = static_cast<int16_t>(std::lround(v * 32767.0));
                for (WORD c = 0; c < w.nChannels; ++c) std::memcpy(data + (i * w.nChannels + c) * 2, &s, 2);
            } else {
                const auto s = static_cast<BYTE>(128 + std::lround(v * 127.0));
                for (WORD c = 0; c < w.nChannels; ++c) data[i * w.nChannels + c] = s;
            }
            const double next = twoCos * current - previous;
            previous = current;
            current = next;
        }
    }

    std::shared_ptr<DeviceState> state_;
    AM_MEDIA_TYPE format_;
    uint64_t samples_ = 0;
    std::unique_ptr<AlsaCapture> alsa_;
};

// One input line of a sound card; it never connects, it carries the line's mixer.
class LineInputPin final : public BasePin {
public:
    LineInputPin(BaseFilter* filter, const std::string& name, std::shared_ptr<DeviceState> state, size_t line)
        : BasePin(filter, name.c_str(), PINDIR_INPUT), mixer_(MakeCom<AudioInputMixer>(std::move(state), line)) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return VFW_E_TYPE_NOT_ACCEPTED; }
    // The line's mixer is an object of its own.
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object && riid == IAMAudioInputMixer::iid) return mixer_->QueryInterface(riid, object);
        return BasePin::QueryInterface(riid, object);
    }

private:
    ComPtr<AudioInputMixer> mixer_;
};

class AudioCaptureFilter final : public WithInterfaces<SourceFilter, ISpecifyPropertyPages> {
public:
    explicit AudioCaptureFilter(std::shared_ptr<DeviceState> state)
        : WithInterfaces(CLSID_OrvantaAudioCapture), state_(std::move(state)) {
        AddPin(std::make_unique<AudioCapturePin>(this, state_));
        const auto& lines = state_->description.inputLines;
        for (size_t i = 0; i < lines.size(); ++i) AddPin(std::make_unique<LineInputPin>(this, lines[i].name, state_, i));
    }
    HRESULT GetPages(CAUUID* pages) override { return DevicePages(state_->description, pages); }

protected:
    void* QueryExtraInterface(REFIID riid) override {
        if (riid == ISpecifyPropertyPages::iid && !state_->description.propertyPages) return nullptr;
        return WithInterfaces::QueryExtraInterface(riid);
    }

private:
    std::shared_ptr<DeviceState> state_;
};

// --- the test picture --------------------------------------------------------------------------

// One row of the picture as RGB triplets. Drawn a row at a time from ramps and a brightness
// table worked out once per frame: per-pixel divisions and clamps made the picture cost more than
// the overlay and the compressor behind it.
class PictureRows {
public:
    PictureRows(int width, int height, uint32_t frame, int brightness)
        : width_(width), height_(height), frame_(frame), top_(std::max(8, height / 16)), box_(std::max(8, width / 8)),
          bx_(static_cast<int>((frame * 4) % static_cast<uint32_t>(std::max(1, width - box_)))),
          by_(top_ + (height - top_ - box_) / 2), red_(static_cast<size_t>(width)),
          row_(static_cast<size_t>(width) * 3) {
        for (int v = 0; v < 256; ++v) bright_[v] = static_cast<uint8_t>(std::clamp(v + brightness, 0, 255));
        for (int x = 0; x < width; ++x) red_[static_cast<size_t>(x)] = bright_[(x * 255) / std::max(1, width - 1)];
    }

    // Row y (0 at the top); valid until the next call.
    const uint8_t* Row(int y) {
        if (y < top_) {
            // The frame number band (not brightness-shifted): the same in every row of the band.
            if (!bandDrawn_) {
                for (int x = 0; x < width_; ++x) {
                    int bit = x * 32 / std::max(1, width_);
                    bool on = (frame_ >> (31 - bit)) & 1u;
                    std::memset(&row_[static_cast<size_t>(x) * 3], on ? 255 : 0, 3);
                }
                bandDrawn_ = true;
            }
            return row_.data();
        }
        bandDrawn_ = false;
        // A moving box over diagonal colour ramps: motion and colour both show.
        const uint8_t green = bright_[(y * 255) / std::max(1, height_ - 1)];
        const int diagonal = y + static_cast<int>(frame_);
        uint8_t* out = row_.data();
        for (int x = 0; x < width_; ++x, out += 3) {
            out[0] = red_[static_cast<size_t>(x)];
            out[1] = green;
            out[2] = bright_[((x + diagonal) * 2) & 0xFF];
        }
        if (y >= by_ && y < by_ + box_) {
            int end = std::min(width_, bx_ + box_);
            if (bx_ < end) std::memset(&row_[static_cast<size_t>(bx_) * 3], bright_[255], static_cast<size_t>(end - bx_) * 3);
        }
        return row_.data();
    }

    // Row y written straight into a DIB row: B, G, R (and a zero byte when `bytes` is 4).
    void WriteBgr(int y, uint8_t* out, int bytes) {
        if (y < top_) {
            const uint8_t* rgb = Row(y);
            for (int x = 0; x < width_; ++x, rgb += 3, out += bytes) {
                out[0] = rgb[2], out[1] = rgb[1], out[2] = rgb[0];
                if (bytes == 4) out[3] = 0;
            }
            return;
        }
        bandDrawn_ = false;
        const uint8_t green = bright_[(y * 255) / std::max(1, height_ - 1)];
        const int diagonal = y + static_cast<int>(frame_);
        // Blue repeats every 128 pixels along the diagonal and red follows x alone: the row is
        // one of 128 prepared ones (green 0) with the row's green or-ed in, 24 bytes (a whole
        // number of pixels of either size) at a time.
        const size_t rowBytes = static_cast<size_t>(width_) * static_cast<size_t>(bytes);
        const uint8_t* ramp = Ramps(bytes).data() + static_cast<size_t>(diagonal & 127) * rowBytes;
        uint8_t pattern[24] = {};
        for (int i = 1; i < 24; i += bytes) pattern[i] = green;
        uint64_t words[3];
        std::memcpy(words, pattern, sizeof words);
        size_t i = 0;
        for (; i + 24 <= rowBytes; i += 24) {
            uint64_t chunk[3];
            std::memcpy(chunk, ramp + i, sizeof chunk);
            chunk[0] |= words[0], chunk[1] |= words[1], chunk[2] |= words[2];
            std::memcpy(out + i, chunk, sizeof chunk);
        }
        for (; i < rowBytes; ++i) out[i] = static_cast<uint8_t>(ramp[i] | pattern[i % 24]);
        if (y >= by_ && y < by_ + box_) {
            for (int x = bx_, end = std::min(width_, bx_ + box_); x < end; ++x)
                std::memset(out + static_cast<size_t>(x) * bytes, bright_[255], 3);
        }
    }

private:
    // The 128 rows of blue and red (green 0) a frame is made of, for this size, pixel size and
    // brightness. Kept per streaming thread across frames: they change only with the format.
    struct RampRows {
        int width = 0, bytes = 0;
        uint8_t bright[256] = {};
        std::vector<uint8_t> rows;
    };
    const std::vector<uint8_t>& Ramps(int bytes) {
        thread_local RampRows cache;
        if (cache.width != width_ || cache.bytes != bytes || std::memcmp(cache.bright, bright_, sizeof bright_) != 0) {
            cache.width = width_;
            cache.bytes = bytes;
            std::memcpy(cache.bright, bright_, sizeof bright_);
            size_t rowBytes = static_cast<size_t>(width_) * static_cast<size_t>(bytes);
            cache.rows.assign(rowBytes * 128, 0);
            for (int k = 0; k < 128; ++k) {
                uint8_t* p = cache.rows.data() + static_cast<size_t>(k) * rowBytes;
                for (int x = 0; x < width_; ++x, p += bytes) {
                    p[0] = bright_[((x + k) * 2) & 0xFF];
                    p[2] = red_[static_cast<size_t>(x)];
                }
            }
        }
        return cache.rows;
    }

    int width_, height_;
    uint32_t frame_;
    int top_, box_, bx_, by_;
    uint8_t bright_[256];
    std::vector<uint8_t> red_;
    std::vector<uint8_t> row_;
    bool bandDrawn_ = false;
};

void ToYuv(const uint8_t rgb[3], int& y, int& u, int& v) {
    y = std::clamp((66 * rgb[0] + 129 * rgb[1] + 25 * rgb[2] + 128) / 256 + 16, 0, 255);
    u = std::clamp((-38 * rgb[0] - 74 * rgb[1] + 112 * rgb[2] + 128) / 256 + 128, 0, 255);
    v = std::clamp((112 * rgb[0] - 94 * rgb[1] - 18 * rgb[2] + 128) / 256 + 128, 0, 255);
}

}  // namespace

bool DrawTestPicture(const Guid& subtype, int width, int height, uint32_t frame, int brightness, uint8_t* data,
                     size_t size) {
    if (width <= 0 || height <= 0) return false;
    PictureRows rows(width, height, frame, brightness);
    if (subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32) {
        int bytes = subtype == MEDIASUBTYPE_RGB24 ? 3 : 4;
        size_t stride = static_cast<size_t>(DibStride(width, static_cast<WORD>(bytes * 8)));
        if (size < stride * static_cast<size_t>(height)) return false;
        for (int y = 0; y < height; ++y) {
            uint8_t* row = data + static_cast<size_t>(height - 1 - y) * stride;  // bottom-up
            rows.WriteBgr(y, row, bytes);
        }
        return true;
    }
    if (subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY) {
        size_t stride = static_cast<size_t>(width) * 2;
        if (width % 2 || size < stride * static_cast<size_t>(height)) return false;
        bool yuy2 = subtype == MEDIASUBTYPE_YUY2;
        for (int y = 0; y < height; ++y) {
            uint8_t* row = data + static_cast<size_t>(y) * stride;
            const uint8_t* picture = rows.Row(y);
            for (int x = 0; x < width; x += 2) {
                int y0, u0, v0, y1, u1, v1;
                ToYuv(picture + static_cast<size_t>(x) * 3, y0, u0, v0);
                ToYuv(picture + static_cast<size_t>(x + 1) * 3, y1, u1, v1);
                uint8_t* p = row + x * 2;
                uint8_t u = static_cast<uint8_t>((u0 + u1) / 2), v = static_cast<uint8_t>((v0 + v1) / 2);
                if (yuy2) {
                    p[0] = static_cast<uint8_t>(y0), p[1] = u, p[2] = static_cast<uint8_t>(y1), p[3] = v;
                } else {
                    p[0] = u, p[1] = static_cast<uint8_t>(y0), p[2] = v, p[3] = static_cast<uint8_t>(y1);
                }
            }
        }
        return true;
    }
    if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV || subtype == MEDIASUBTYPE_YV12) {
        if (width % 2 || height % 2) return false;
        size_t luma = static_cast<size_t>(width) * height;
        if (size < luma * 3 / 2) return false;
        uint8_t* planeU = data + luma;
        uint8_t* planeV = planeU + luma / 4;
        if (subtype == MEDIASUBTYPE_YV12) std::swap(planeU, planeV);
        for (int y = 0; y < height; ++y) {
            const uint8_t* picture = rows.Row(y);
            for (int x = 0; x < width; ++x) {
                int yy, u, v;
                ToYuv(picture + static_cast<size_t>(x) * 3, yy, u, v);
                data[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(yy);
                if (x % 2 == 0 && y % 2 == 0) {
                    size_t c = static_cast<size_t>(y / 2) * (width / 2) + x / 2;
                    planeU[c] = static_cast<uint8_t>(u);
                    planeV[c] = static_cast<uint8_t>(v);
                }
            }
        }
        return true;
    }
    return false;
}

int64_t TestPictureFrameNumber(const uint8_t* rgb24, int width, int height) {
    if (!rgb24 || width < 32 || height < 8) return -1;
    size_t stride = static_cast<size_t>(DibStride(width, 24));
    const uint8_t* row = rgb24 + static_cast<size_t>(height - 1 - 2) * stride;  // third row from the top
    uint32_t value = 0;
    for (int bit = 0; bit < 32; ++bit) {
        int x = (bit * width + width / 2) / 32;
        int level = (row[x * 3] + row[x * 3 + 1] + row[x * 3 + 2]) / 3;
        if (level > 96 && level < 160) return -1;  // neither black nor white: no stamp
        value = value << 1 | (level >= 160 ? 1u : 0u);
    }
    return value;
}

void SetDeviceDialogHandler(DeviceDialogHandler handler) {
    std::lock_guard lock(DialogLock());
    DialogHandler() = std::move(handler);
}

HRESULT BindCaptureDevice(const DeviceDescription& description, IBaseFilter** filter) {
    if (!filter) return E_POINTER;
    *filter = nullptr;
    if (description.failsToBind) return HResultFromErrno(ENODEV);
    std::unique_ptr<DeviceDriver> driver;
    DeviceDescription current = description;
    if (description.backend == "v4l2") {
        auto api = SystemV4l2Api();
        int fd = api->Open(description.path, O_RDWR | O_NONBLOCK);
        if (fd < 0) return HResultFromLastErrno();
        auto info = ProbeV4l2Device(*api, fd, description.path);
        if (!info) {
            api->Close(fd);
            return HResultFromErrno(ENODEV);
        }
        current = info->description;
        driver = std::make_unique<V4l2Driver>(api, fd, *info);
    } else if (description.backend == "alsa") {
        std::string card = description.path;
        // "plughw:CARD=<id>,DEV=<n>" -> the card's mixer "hw:<id>"
        size_t at = card.find("CARD=");
        if (at != std::string::npos) card = "hw:" + card.substr(at + 5, card.find(',', at) - at - 5);
        driver = std::make_unique<AlsaMixerDriver>(card, ReadAlsaMixer(card));
    }
    auto state = std::make_shared<DeviceState>(std::move(current), std::move(driver));
    if (state->description.kind == DeviceKind::Video) {
        if (state->description.captureCaps.empty()) return VFW_E_NO_ACCEPTABLE_TYPES;
        *filter = MakeCom<VideoCaptureFilter>(state).Detach();
    } else {
        *filter = MakeCom<AudioCaptureFilter>(state).Detach();
    }
    return S_OK;
}

std::vector<DeviceMonikerEntry> CaptureDeviceMonikers(DeviceKind kind) {
    std::vector<DeviceMonikerEntry> entries;
    for (auto& device : ListCaptureDevices(kind)) {
        DeviceMonikerEntry entry;
        entry.friendlyName = device.name;
        entry.devicePath = device.path;
        entry.clsid = kind == DeviceKind::Video ? CLSID_OrvantaVideoCapture : CLSID_OrvantaAudioCapture;
        entry.bind = [device = std::move(device)](IBaseFilter** filter) { return BindCaptureDevice(device, filter); };
        entries.push_back(std::move(entry));
    }
    return entries;
}
