// The recording graph: screen source -> [video compressor] -> AVI multiplexer, ASF writer or the
// Flash writer; audio device -> volume -> [audio compressor] -> the same sink.
#include <algorithm>
#include <cstdio>

#include "components/scrivel/DeviceCategory.h"
#include "components/scrivel/FlashMuxFilter.h"
#include "components/scrivel/ScrivelCtrl.h"
#include "components/scrivel/WmvProfiles.h"
#include "platform/codecs/CompressorCatalog.h"
#include "platform/com/ClassRegistry.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/wmf/WMProfile.h"

namespace {
constexpr int kMp3SampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

LONG EvenUp(LONG value) { return value % 2 ? value + 1 : value; }

std::string HexOf(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

int NearestMp3SampleRate(int hertz) {
    int best = kMp3SampleRates[0];
    for (int rate : kMp3SampleRates)
        if (std::abs(rate - hertz) < std::abs(best - hertz)) best = rate;
    return best;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) return {};
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    }
    return {};
}

// The device's n-th input line, switched on.
void EnableInputLine(IBaseFilter* device, int index) {
    ComPtr<IEnumPins> pins;
    if (FAILED(device->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) return;
    ComPtr<IPin> pin;
    int n = 0;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) {
        PIN_DIRECTION direction;
        if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_INPUT) continue;
        if (n++ != index) continue;
        if (ComPtr<IAMAudioInputMixer> mixer = QueryAs<IAMAudioInputMixer>(pin.Get())) mixer->put_Enable(TRUE);
        return;
    }
}

// The screen's size through a source filter of our own; 0 when no X server is reachable.
bool QueryScreenSize(LONG* width, LONG* height, std::string* error) {
    ComPtr<IBaseFilter> source;
    if (FAILED(CoCreateInstance(CLSID_ScreenSource, nullptr, CLSCTX_INPROC_SERVER, &source))) {
        *error = "The screen source filter is not registered (Pavisse.so in the system folder).";
        return false;
    }
    ComPtr<IScreenSourceConfig> config = QueryAs<IScreenSourceConfig>(source.Get());
    if (config && SUCCEEDED(config->GetScreenSize(width, height))) return true;
    if (config) config->GetLastError(error);
    return false;
}

bool IsMp3(const std::string& compressorName) {
    const CompressorInfo* info = FindCompressorByName(compressorName);
    return info && info->encoder == "libmp3lame";
}
}  // namespace

void ScrivelCtrl::Fail(const std::string& text) {
    if (lastError_.empty()) lastError_ = text;
}

RECT ScrivelCtrl::RequestedRect() const { return rect_; }

void ScrivelCtrl::OutputSize(LONG* width, LONG* height) const {
    LONG w = captureWidth_, h = captureHeight_;
    if (outputKind_ == kOutputFlv) w = flvWidth_, h = flvHeight_;
    if (outputKind_ == kOutputSwf) w = swfWidth_, h = swfHeight_;
    if (w <= 0 || h <= 0) {
        w = rect_.right - rect_.left;
        h = rect_.bottom - rect_.top;
    }
    if (w <= 0 || h <= 0) {
        // Nothing given: the whole screen (a missing server fails the start later, with its reason).
        std::string error;
        QueryScreenSize(&w, &h, &error);
    }
    *width = std::clamp<LONG>(EvenUp(w), 2, 8192);
    *height = std::clamp<LONG>(EvenUp(h), 2, 8192);
}

int16_t ScrivelCtrl::Start() {
    if (Recording()) {
        lastError_ = "A recording is already running; stop it first.";
        return -1;
    }
    lastError_.clear();
    if (fileName_.empty()) {
        Fail("No output file was given.");
        return -1;
    }
    if (outputKind_ < kOutputAvi || outputKind_ > kOutputFlv) {
        Fail("Unknown output kind " + std::to_string(outputKind_) + ".");
        return -1;
    }
    ComPtr<ICaptureGraphBuilder2> builder;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, &graph_);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder);
    if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph_.Get());
    if (SUCCEEDED(hr)) hr = BuildGraph(builder.Get());
    if (SUCCEEDED(hr)) {
        control_ = QueryAs<IMediaControl>(graph_.Get());
        hr = control_ ? control_->Run() : E_NOINTERFACE;
    }
    if (FAILED(hr)) {
        std::string sourceError;
        if (sourceConfig_) sourceConfig_->GetLastError(&sourceError);
        if (!sourceError.empty()) Fail(sourceError);
        Fail("The recording could not start (error " + HexOf(hr) + ").");
        TearDown();
        return -1;
    }
    paused_ = false;
    return 0;
}

HRESULT ScrivelCtrl::BuildGraph(ICaptureGraphBuilder2* builder) {
    HRESULT hr = CoCreateInstance(CLSID_ScreenSource, nullptr, CLSCTX_INPROC_SERVER, &source_);
    if (FAILED(hr)) {
        Fail("The screen source filter is not registered (Pavisse.so in the system folder).");
        return hr;
    }
    sourceConfig_ = QueryAs<IScreenSourceConfig>(source_.Get());
    if (!sourceConfig_) return E_NOINTERFACE;
    LONG width = 0, height = 0;
    OutputSize(&width, &height);
    const REFERENCE_TIME interval = UNITS / std::clamp<int16_t>(frameRate_, 1, 120);
    const RECT rect = RequestedRect();
    sourceConfig_->SetSourceRect(&rect);
    if (FAILED(hr = sourceConfig_->SetOutputSize(width, height))) return hr;
    if (FAILED(hr = sourceConfig_->SetFrameInterval(interval))) return hr;
    sourceConfig_->SetCaptureCursor(captureCursor_);
    if (FAILED(hr = graph_->AddFilter(source_.Get(), "Screen Source"))) return hr;

    ComPtr<IBaseFilter> sink;
    ComPtr<IBaseFilter> audioCompressor;
    if (outputKind_ == kOutputAvi) {
        ComPtr<IFileSinkFilter> writer;
        hr = builder->SetOutputFileName(&MEDIASUBTYPE_Avi, fileName_.c_str(), sink.ReleaseAndGetAddressOf(),
                                        writer.ReleaseAndGetAddressOf());
        if (FAILED(hr)) {
            Fail("The output file \"" + fileName_ + "\" cannot be written.");
            return hr;
        }
        if (recordAudio_ && useAudioCompressor_) {
            const std::string name = audioCompressors_->Name(audioCompressor_);
            audioCompressor = name.empty() ? nullptr : BindCategoryEntry(CLSID_AudioCompressorCategory, name);
            if (!audioCompressor) {
                Fail("The chosen audio compressor is not installed.");
                return E_FAIL;
            }
            if (FAILED(hr = graph_->AddFilter(audioCompressor.Get(), name.c_str()))) return hr;
            if (IsMp3(name)) mp3Name_ = name;
        }
    } else if (outputKind_ == kOutputWmv) {
        hr = CoCreateInstance(CLSID_WMAsfWriter, nullptr, CLSCTX_INPROC_SERVER, &sink);
        if (FAILED(hr)) return hr;
        if (FAILED(hr = graph_->AddFilter(sink.Get(), "ASF Writer"))) return hr;
        ComPtr<IFileSinkFilter2> file = QueryAs<IFileSinkFilter2>(sink.Get());
        if (!file || FAILED(hr = file->SetFileName(fileName_.c_str(), nullptr))) {
            Fail("The output file \"" + fileName_ + "\" cannot be written.");
            return FAILED(hr) ? hr : E_NOINTERFACE;
        }
        if (FAILED(hr = ConfigureAsfWriter(sink.Get(), width, height))) return hr;
    } else {
        FlashSettings settings;
        const bool swf = outputKind_ == kOutputSwf;
        settings.container = swf ? FlashContainer::Swf : FlashContainer::Flv;
        settings.width = width;
        settings.height = height;
        settings.framesPerSecond = std::clamp<int16_t>(frameRate_, 1, 120);
        settings.videoBitrate = swf ? swfVideoBitrate_ : flvVideoBitrate_;
        settings.audioBitrate = swf ? swfAudioBitrate_ : flvAudioBitrate_;
        settings.audioChannels = swf ? swfAudioChannels_ : flvAudioChannels_;
        settings.audioSampleRate = swf ? swfAudioSampleRate_ : flvAudioSampleRate_;
        ComPtr<FlashMuxFilter> mux = MakeCom<FlashMuxFilter>();
        mux->Configure(fileName_, settings);
        sink = ComPtr<IBaseFilter>(mux.Get());
        if (FAILED(hr = graph_->AddFilter(sink.Get(), swf ? "SWF Writer" : "FLV Writer"))) return hr;
    }
    if (FAILED(hr = AddVideoBranch(builder, sink.Get()))) return hr;
    if (recordAudio_ && FAILED(hr = AddAudioBranch(builder, sink.Get(), audioCompressor.Get()))) return hr;
    return S_OK;
}

HRESULT ScrivelCtrl::AddVideoBranch(ICaptureGraphBuilder2* builder, IBaseFilter* sink) {
    ComPtr<IBaseFilter> compressor;
    if (outputKind_ == kOutputAvi && useVideoCompressor_) {
        const std::string name = videoCompressors_->Name(videoCompressor_);
        compressor = name.empty() ? nullptr : BindCategoryEntry(CLSID_VideoCompressorCategory, name);
        if (!compressor) {
            Fail("The chosen video compressor is not installed.");
            return E_FAIL;
        }
        HRESULT hr = graph_->AddFilter(compressor.Get(), name.c_str());
        if (FAILED(hr)) return hr;
    }
    HRESULT hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source_.Get(), compressor.Get(), sink);
    if (FAILED(hr)) Fail("The screen picture cannot be connected to the chosen compressor or file.");
    return hr;
}

HRESULT ScrivelCtrl::AddAudioBranch(ICaptureGraphBuilder2* builder, IBaseFilter* sink, IBaseFilter* compressor) {
    const std::string name = audioDevices_->Name(audioDevice_);
    ComPtr<IBaseFilter> device = name.empty() ? nullptr : BindCategoryEntry(CLSID_AudioInputDeviceCategory, name);
    if (!device) {
        Fail("The chosen audio device is not there.");
        return E_FAIL;
    }
    HRESULT hr = graph_->AddFilter(device.Get(), name.c_str());
    if (FAILED(hr)) return hr;
    EnableInputLine(device.Get(), audioInputPin_);
    if (!mp3Name_.empty()) ApplyMp3Settings(builder, device.Get());
    volumeFilter_ = MakeCom<VolumeFilter>();
    volumeFilter_->SetGain(volume_);
    ComPtr<IBaseFilter> volume(volumeFilter_.Get());
    if (FAILED(hr = graph_->AddFilter(volume.Get(), "Volume"))) return hr;
    hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, device.Get(), nullptr, volume.Get());
    if (SUCCEEDED(hr)) hr = builder->RenderStream(nullptr, nullptr, volume.Get(), compressor, sink);
    if (FAILED(hr)) Fail("The sound of \"" + name + "\" cannot be connected to the chosen compressor or file.");
    return hr;
}

void ScrivelCtrl::ApplyMp3Settings(ICaptureGraphBuilder2* builder, IBaseFilter* device) {
    // The compressor encodes at the rate it is fed: the device is asked for the chosen rate.
    int rate = NearestMp3SampleRate(mp3SampleRate_);
    ComPtr<IAMStreamConfig> config;
    builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, device, IAMStreamConfig::iid,
                           config.ReleaseAndGetVoidAddress());
    AM_MEDIA_TYPE type;
    if (config && SUCCEEDED(config->GetFormat(&type)) && type.WaveFormat()) {
        WAVEFORMATEX wfx = *type.WaveFormat();
        wfx.nSamplesPerSec = static_cast<DWORD>(rate);
        wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
        type.SetFormat(&wfx, sizeof wfx);
        if (FAILED(config->SetFormat(&type)) && SUCCEEDED(config->GetFormat(&type)) && type.WaveFormat())
            rate = static_cast<int>(type.WaveFormat()->nSamplesPerSec);  // the device keeps its own
    }
    mp3Saved_ = SettingsOf(mp3Name_);
    CompressorSettings settings = mp3Saved_;
    settings.bitRateKbps = Mp3Bitrate(mp3Bitrate_ * 1000, rate) / 1000;
    StoreSettings(mp3Name_, settings);
}

HRESULT ScrivelCtrl::ConfigureAsfWriter(IBaseFilter* writer, LONG width, LONG height) {
    ComPtr<IConfigAsfWriter> config = QueryAs<IConfigAsfWriter>(writer);
    if (!config) return E_NOINTERFACE;
    ComPtr<IWMProfile> profile;
    if (!wmvProfileFile_.empty()) {
        HRESULT hr = LoadProfileFile(wmvProfileFile_, profile.ReleaseAndGetAddressOf());
        if (FAILED(hr)) {
            Fail("The profile file \"" + wmvProfileFile_ + "\" cannot be read as a WMV profile.");
            return hr;
        }
    } else {
        const std::vector<const ProfileDescription*> profiles = AudioVideoSystemProfiles();
        if (wmvProfile_ < 0 || static_cast<size_t>(wmvProfile_) >= profiles.size()) {
            Fail("There is no WMV profile " + std::to_string(wmvProfile_) + ".");
            return E_INVALIDARG;
        }
        // The system profile's bit rates, at the size and rate being recorded.
        profile = MakeCom<WMProfile>(ProfileForSize(*profiles[static_cast<size_t>(wmvProfile_)], width, height,
                                                    UNITS / std::clamp<int16_t>(frameRate_, 1, 120)));
    }
    HRESULT hr = config->ConfigureFilterUsingProfile(profile.Get());
    if (FAILED(hr)) Fail("The ASF writer refused the WMV profile.");
    return hr;
}

void ScrivelCtrl::TearDown() {
    // Stopping finishes the file; a writer that cannot finish it says so here.
    if (control_ && FAILED(control_->Stop())) Fail("The file \"" + fileName_ + "\" could not be finished.");
    if (!mp3Name_.empty()) StoreSettings(mp3Name_, mp3Saved_);
    mp3Name_.clear();
    volumeFilter_.Reset();
    sourceConfig_.Reset();
    source_.Reset();
    control_.Reset();
    graph_.Reset();
    paused_ = false;
}

void ScrivelCtrl::Stop() {
    if (!graph_) return;
    lastError_.clear();
    TearDown();
}

void ScrivelCtrl::Pause() {
    if (!control_ || paused_) return;
    // The graph's stream time stands still while paused: the file continues without a gap.
    if (SUCCEEDED(control_->Pause())) paused_ = true;
    else Fail("The recording could not be paused.");
}

void ScrivelCtrl::Resume() {
    if (!control_ || !paused_) return;
    if (SUCCEEDED(control_->Run())) paused_ = false;
    else Fail("The recording could not be resumed.");
}

void ScrivelCtrl::SetCaptureRect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    rect_ = RECT{left, top, right, bottom};
    if (sourceConfig_) sourceConfig_->SetSourceRect(&rect_);
}


int32_t ScrivelCtrl::ScreenWidth() {
    LONG width = 0, height = 0;
    std::string error;
    if (!QueryScreenSize(&width, &height, &error)) lastError_ = error;
    return width;
}

int32_t ScrivelCtrl::ScreenHeight() {
    LONG width = 0, height = 0;
    std::string error;
    if (!QueryScreenSize(&width, &height, &error)) lastError_ = error;
    return height;
}

int32_t ScrivelCtrl::DroppedFrames() const {
    ComPtr<IPin> pin = FirstPin(source_.Get(), PINDIR_OUTPUT);
    ComPtr<IAMDroppedFrames> dropped = QueryAs<IAMDroppedFrames>(pin.Get());
    LONG count = 0;
    if (!dropped || FAILED(dropped->GetNumDropped(&count))) return 0;
    return count;
}
