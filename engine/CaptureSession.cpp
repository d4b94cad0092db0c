#include "engine/CaptureSession.h"

#include "engine/SessionDeviceBinding.h"
#include "engine/SessionTimers.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/base/Log.h"
#include "platform/com/ClassRegistry.h"
#include "platform/contracts/HelperProtocol.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/os/Process.h"
#include "platform/os/WindowMessages.h"

namespace {
ComPtr<ICaptureGraphBuilder2> CreateBuilder() {
    ComPtr<ICaptureGraphBuilder2> builder;
    if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder))) builder.Reset();
    return builder;
}

ComPtr<ICreateDevEnum> CreateDeviceEnumerator() {
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf()))) devices.Reset();
    return devices;
}
}  // namespace

CCaptureSession::CCaptureSession() { EnsureEnginePlatform(); }

CCaptureSession::~CCaptureSession() {
    // The graph holds device threads and the video window; it goes before the window does.
    StopSession();
    if (!windowAlive_) (void)window_.release();
    window_.reset();
}

void CCaptureSession::CreateSessionWindow(QWidget* parent) {
    if (!windowAlive_) (void)window_.release();
    window_ = std::make_unique<SessionWindow>(
        parent, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return WindowProcedure(w, m, wp, lp); });
    windowAlive_ = window_.get();
}

void CCaptureSession::AskHelperToQuit() {
    SendMessage(FindWindow(kHelperWindowClass, nullptr), WM_COMMAND, kHelperQuitCommand, 0);
}

void CCaptureSession::QuitHelper() {
    // A helper this session just launched may not have opened its window yet: told nothing, it
    // would run on after the control is gone.
    WaitForLaunchedHelper();
    AskHelperToQuit();
}

void CCaptureSession::EnumerateDevices(NameList& devices, VideoFormatList& videoFormats, NameList& videoCompressors,
                                       NameList& audioDevices, NameList& audioCompressors, NameList& videoInputs,
                                       NameList& audioInputPins, int16_t audioInputPinIndex) {
    audioInputPin = audioInputPinIndex;
    ComPtr<ICreateDevEnum> enumerator = CreateDeviceEnumerator();
    if (!enumerator) return;

    bool present = false;
    NameList names = ListDeviceNames(enumerator.Get(), CLSID_VideoInputDeviceCategory, &present);
    noVideoDevice = !present;
    if (!present) return;
    devices.insert(devices.end(), names.begin(), names.end());
    ComPtr<IBaseFilter> video = BindFirstDevice(enumerator.Get(), CLSID_VideoInputDeviceCategory, &videoDeviceName);
    if (!video) return;

    names = ListDeviceNames(enumerator.Get(), CLSID_AudioInputDeviceCategory, &present);
    noAudioDevice = !present;
    audioDevices.insert(audioDevices.end(), names.begin(), names.end());
    ComPtr<IBaseFilter> audio;
    if (present) {
        audio = BindFirstDevice(enumerator.Get(), CLSID_AudioInputDeviceCategory, &audioDeviceName);
        if (!audio) return;
        ListAudioInputPins(audioInputPins, audio.Get());
    }

    names = ListDeviceNames(enumerator.Get(), CLSID_VideoCompressorCategory, &present);
    if (!present) return;
    videoCompressors.insert(videoCompressors.end(), names.begin(), names.end());
    ComPtr<IBaseFilter> videoCompressor =
        BindFirstDevice(enumerator.Get(), CLSID_VideoCompressorCategory, &videoCompressorName);

    names = ListDeviceNames(enumerator.Get(), CLSID_AudioCompressorCategory, &present);
    ComPtr<IBaseFilter> audioCompressor;
    if (present) {
        audioCompressors.insert(audioCompressors.end(), names.begin(), names.end());
        audioCompressor = BindFirstDevice(enumerator.Get(), CLSID_AudioCompressorCategory, &audioCompressorName);
    }

    // The probe build fills VideoFormats and VideoInputs; it is never run.
    if (FAILED(EnsureGraph())) return;
    ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
    if (builder)
        BuildGraph(videoFormats, builder.Get(), video.Get(), audio.Get(), videoCompressor.Get(), audioCompressor.Get(),
                   &videoInputs, -1, -1);
    StopSession();
}

void CCaptureSession::ProbeDevice(const std::string& videoName, const std::string& audioName,
                                  VideoFormatList& videoFormats, NameList& videoInputs) {
    ComPtr<ICreateDevEnum> enumerator = CreateDeviceEnumerator();
    if (!enumerator) return;
    bool present = false;
    ListDeviceNames(enumerator.Get(), CLSID_VideoInputDeviceCategory, &present);
    noVideoDevice = !present;
    videoDeviceName = videoName;
    audioDeviceName = audioName;
    ComPtr<IBaseFilter> video = BindDeviceByName(enumerator.Get(), CLSID_VideoInputDeviceCategory, videoName);
    ComPtr<IBaseFilter> audio = BindDeviceByName(enumerator.Get(), CLSID_AudioInputDeviceCategory, audioName);
    ComPtr<IBaseFilter> videoCompressor = BindFirstDevice(enumerator.Get(), CLSID_VideoCompressorCategory, nullptr);
    ComPtr<IBaseFilter> audioCompressor = BindFirstDevice(enumerator.Get(), CLSID_AudioCompressorCategory, nullptr);

    if (FAILED(EnsureGraph())) return;
    ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
    if (builder)
        BuildGraph(videoFormats, builder.Get(), video.Get(), audio.Get(), videoCompressor.Get(), audioCompressor.Get(),
                   &videoInputs, -1, -1);
    StopSession();
}

HRESULT CCaptureSession::StartSession(VideoFormatList& videoFormats, const std::string& videoName,
                                   const std::string& audioName, const std::string& videoCompressor,
                                   const std::string& audioCompressor, int videoFormat, int videoInput,
                                   const Guid& wmvProfile) {
    wmvProfileGuid = wmvProfile;
    videoDeviceName = videoName;
    StopSession();

    // The broadcast helper starts with every session; a missing helper goes unnoticed. Without a
    // module folder there is no helper to name (a bare name would be looked up in $PATH).
    helperLaunched_ =
        !moduleFolder.empty() && SUCCEEDED(StartProcess(moduleFolder + kHelperProgramName, kHelperCommandLine));

    videoDeviceName = videoName;
    audioDeviceName = audioName;
    lastFailure_.clear();
    ComPtr<ICaptureGraphBuilder2> builder;
    HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder);
    if (FAILED(hr) || !builder) return FailStart(FAILED(hr) ? hr : E_POINTER, "creating the capture graph builder");

    // Each category with a fresh enumerator, as each binding is independent.
    ComPtr<IBaseFilter> video =
        BindDeviceByName(CreateDeviceEnumerator().Get(), CLSID_VideoInputDeviceCategory, videoDeviceName);
    ComPtr<IBaseFilter> audio =
        BindDeviceByName(CreateDeviceEnumerator().Get(), CLSID_AudioInputDeviceCategory, audioDeviceName);
    ComPtr<IBaseFilter> videoCodec = BindCompressorByName(CreateDeviceEnumerator().Get(), CLSID_VideoCompressorCategory,
                                                          videoCompressor, videoCompressorName);
    ComPtr<IBaseFilter> audioCodec = BindCompressorByName(CreateDeviceEnumerator().Get(), CLSID_AudioCompressorCategory,
                                                          audioCompressor, audioCompressorName);

    if (FAILED(hr = EnsureGraph())) return FailStart(hr, "creating the filter graph");
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph_.Get());
    if (!control) return FailStart(E_NOINTERFACE, "finding the graph's media control");

    if (LogEnabled(LogLevel::Debug, "engine"))
        LogDebug("engine", "graph: building for \"" + videoDeviceName + "\"" +
                               (captureMode ? " to " + captureFileName + " (output type " + std::to_string(outputType) + ")"
                                            : " (preview)"));
    hr = BuildGraph(videoFormats, builder.Get(), video.Get(), audio.Get(), videoCodec.Get(), audioCodec.Get(), nullptr,
                    videoInput, videoFormat);
    if (FAILED(hr)) return FailStart(hr, "building the graph");

    // A session without its video window still records; the window is attached again by the
    // control's one-shot timer.
    if (HRESULT attached = AttachVideoWindow(); FAILED(attached))
        LogInfo("engine", "the video window could not be attached yet (" + HResultText(attached) + ")");
    if (FAILED(hr = control->Run())) return FailStart(hr, "running the graph");
    events_ = QueryAs<IMediaEventEx>(graph_.Get());
    droppedFrames_.Reset();
    if (ComPtr<IBaseFilter> device; SUCCEEDED(graph_->FindFilterByName(videoDeviceName.c_str(), device.ReleaseAndGetAddressOf())))
        builder->FindInterface(nullptr, &MEDIATYPE_Video, device.Get(), IAMDroppedFrames::iid,
                               droppedFrames_.ReleaseAndGetVoidAddress());
    if (Window()) {
        if (captureMode) Window()->SetTimer(kProgressTimer, kProgressPeriodMs);
        else Window()->SetTimer(kEventTimer, kEventPeriodMs);
    }
    LogDebug("engine", captureMode ? "graph: running, recording " + captureFileName : "graph: running, preview");
    if (broadcast) SendHelperStartBlock();
    return hr;
}

// A start that fails leaves nothing running: the partial graph goes at once.
HRESULT CCaptureSession::FailStart(HRESULT hr, const std::string& step) {
    if (lastFailure_.empty()) lastFailure_ = step + " failed (" + HResultText(hr) + ")";
    LogDebug("engine", "start failed: " + lastFailure_);
    StopSession();
    return hr;
}

HRESULT CCaptureSession::StopSession() {
    if (!graph_) return 1;
    if (ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph_.Get())) control->Stop();

    if (!audioDeviceName.empty()) {
        ComPtr<IBaseFilter> audio;
        if (SUCCEEDED(graph_->FindFilterByName(audioDeviceName.c_str(), audio.ReleaseAndGetAddressOf())) && audio)
            RestoreAudioInputPin(audio.Get(), enabledPinAtStart);
        audioDeviceName.clear();
    }

    for (auto& filter : FiltersOf(graph_.Get())) graph_->RemoveFilter(filter.Get());

    mpegEncoder_.Reset();
    mux_.Reset();
    muxWriter_.Reset();
    events_.Reset();
    droppedFrames_.Reset();
    if (Window()) {
        Window()->KillTimer(kProgressTimer);
        Window()->KillTimer(kEventTimer);
    }
    graph_.Reset();
    return S_OK;
}

HRESULT CCaptureSession::PauseCapture() {
    if (!graph_) return E_FAIL;
    if (ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph_.Get())) control->Pause();
    ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
    if (!builder) return E_FAIL;
    builder->SetFiltergraph(graph_.Get());
    REFERENCE_TIME start = MAXLONGLONG;
    return builder->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, &start, nullptr, 0, 0);
}

HRESULT CCaptureSession::ResumeCapture() {
    if (!graph_) return E_POINTER;
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph_.Get());
    if (!control) return E_NOINTERFACE;
    OAFilterState state = State_Stopped;
    HRESULT hr = control->GetState(static_cast<LONG>(INFINITE), &state);
    if (FAILED(hr)) return hr;
    if (state == State_Running) return 1;
    hr = control->Run();
    if (FAILED(hr)) return hr;
    ComPtr<ICaptureGraphBuilder2> builder = CreateBuilder();
    if (!builder) return E_FAIL;
    builder->SetFiltergraph(graph_.Get());
    REFERENCE_TIME stop = MAXLONGLONG;
    return builder->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, nullptr, &stop, 0, 0);
}

HRESULT CCaptureSession::EnsureGraph() {
    if (graph_) return S_OK;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, &graph_);
    if (FAILED(hr)) return hr;
    if (!grabber_) {
        hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, &grabber_);
        if (FAILED(hr)) return hr;
    }
    if (ComPtr<IBaseFilter> filter = QueryAs<IBaseFilter>(grabber_.Get())) graph_->AddFilter(filter.Get(), "Grabber");
    AM_MEDIA_TYPE rgb = MakePartialType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
    grabber_->SetMediaType(&rgb);
    grabber_->SetOneShot(FALSE);
    grabber_->SetBufferSamples(TRUE);
    grabber_->SetOneShot(FALSE);
    grabber_->SetBufferSamples(TRUE);
    grabber_->SetMediaType(&rgb);
    return S_OK;
}
