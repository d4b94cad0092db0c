// Tuner and crossbar: listing and routing the card's inputs, the TV sound, tuning, channel scans
// and the analog standard. Every operation works on the current graph and ends quietly on the
// first missing interface or failing call.
#include <QApplication>
#include <QCursor>

#include "engine/CaptureSession.h"
#include "engine/CrossbarPage.h"
#include "engine/FormatNames.h"
#include "platform/com/ClassRegistry.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace {

// The VideoStandard property's indexes (PAL_G, SECAM_K and SECAM_L1 have none).
constexpr LONG kStandards[] = {
    AnalogVideo_None,     AnalogVideo_NTSC_M,   AnalogVideo_NTSC_M_J, AnalogVideo_NTSC_433, AnalogVideo_PAL_B,
    AnalogVideo_PAL_D,    AnalogVideo_PAL_H,    AnalogVideo_PAL_I,    AnalogVideo_PAL_M,    AnalogVideo_PAL_N,
    AnalogVideo_PAL_60,   AnalogVideo_SECAM_B,  AnalogVideo_SECAM_D,  AnalogVideo_SECAM_G,  AnalogVideo_SECAM_H,
    AnalogVideo_SECAM_K1, AnalogVideo_SECAM_L,  AnalogVideo_PAL_N_COMBO,
};

class WaitCursor {
public:
    WaitCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            set_ = true;
        }
    }
    ~WaitCursor() {
        if (set_) QApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool set_ = false;
};

template <class T>
ComPtr<T> FindUpstream(ICaptureGraphBuilder2* builder, IBaseFilter* filter, const Guid* type = nullptr) {
    ComPtr<T> found;
    if (FAILED(builder->FindInterface(&LOOK_UPSTREAM_ONLY, type, filter, T::iid, found.ReleaseAndGetVoidAddress())))
        found.Reset();
    return found;
}

// The first pin of that direction whose physical type is `wanted`, or -1.
LONG FindPinByType(IAMCrossbar* crossbar, bool input, LONG wanted) {
    LONG outputs = 0, inputs = 0;
    if (FAILED(crossbar->get_PinCounts(&outputs, &inputs))) return -1;
    const LONG count = input ? inputs : outputs;
    for (LONG i = 0; i < count; ++i) {
        LONG related = -1, type = 0;
        if (SUCCEEDED(crossbar->get_CrossbarPinInfo(input ? TRUE : FALSE, i, &related, &type)) && type == wanted)
            return i;
    }
    return -1;
}

HRESULT RouteAudio(IAMCrossbar* crossbar, bool enable) {
    LONG output = FindPinByType(crossbar, false, PhysConn_Audio_AudioDecoder);
    if (output < 0) return E_FAIL;
    LONG input = -1;
    if (enable) {
        input = FindPinByType(crossbar, true, PhysConn_Audio_Tuner);
        if (input < 0) return E_FAIL;
    }
    return crossbar->Route(output, input);
}

// The mode step: FM radio when asked for and offered, else TV when offered.
void SelectTunerMode(IAMTVTuner* tuner, bool radio) {
    LONG modes = 0;
    if (FAILED(tuner->GetAvailableModes(&modes))) return;
    if (radio && (modes & AMTUNER_MODE_FM_RADIO)) tuner->put_Mode(AMTUNER_MODE_FM_RADIO);
    else if (!radio && (modes & AMTUNER_MODE_TV)) tuner->put_Mode(AMTUNER_MODE_TV);
}

void SetInputTypes(IAMTVTuner* tuner, bool antenna) {
    LONG connections = 0;
    if (FAILED(tuner->get_NumInputConnections(&connections))) return;
    for (LONG i = 0; i < connections; ++i) tuner->put_InputType(i, antenna ? TunerInputAntenna : TunerInputCable);
}

ComPtr<ICaptureGraphBuilder2> BuilderOn(IGraphBuilder* graph) {
    ComPtr<ICaptureGraphBuilder2> builder;
    if (!graph || FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder)) ||
        !builder || FAILED(builder->SetFiltergraph(graph)))
        builder.Reset();
    return builder;
}

ComPtr<IBaseFilter> FilterNamed(IGraphBuilder* graph, const std::string& name) {
    ComPtr<IBaseFilter> filter;
    if (!graph || FAILED(graph->FindFilterByName(name.c_str(), filter.ReleaseAndGetAddressOf()))) filter.Reset();
    return filter;
}

}  // namespace

HRESULT CCaptureSession::ListCrossbarInputs(ICaptureGraphBuilder2* builder, IBaseFilter* device, NameList* videoInputs) {
    if (noVideoDevice) return 1;
    if (!builder) return E_FAIL;
    if (!device) return E_POINTER;
    ComPtr<IAMCrossbar> crossbar = FindUpstream<IAMCrossbar>(builder, device);
    if (!crossbar) return E_FAIL;
    LONG outputs = 0, inputs = 0;
    HRESULT hr = crossbar->get_PinCounts(&outputs, &inputs);
    if (FAILED(hr)) return hr;
    for (LONG i = 0; i < inputs; ++i) {
        LONG related = -1, type = 0;
        if (FAILED(crossbar->get_CrossbarPinInfo(TRUE, i, &related, &type))) continue;
        // The sound inputs are routed with their pictures, not chosen by the user.
        if (type == PhysConn_Audio_Tuner || type == PhysConn_Audio_Line || type == PhysConn_Audio_AudioDecoder) continue;
        if (videoInputs) videoInputs->push_back(CrossbarConnectorName(type));
    }
    return S_OK;
}

HRESULT CCaptureSession::RouteVideoInput(ICaptureGraphBuilder2* builder, IBaseFilter* device, int input) {
    if (noVideoDevice) return 1;
    if (!builder) return E_FAIL;
    if (!device) return E_POINTER;
    ComPtr<IAMCrossbar> crossbar = FindUpstream<IAMCrossbar>(builder, device);
    if (!crossbar) return E_FAIL;
    LONG output = FindPinByType(crossbar.Get(), false, PhysConn_Video_VideoDecoder);
    if (output < 0) return E_FAIL;
    return crossbar->Route(output, input);
}

HRESULT CCaptureSession::RouteTvAudio(ICaptureGraphBuilder2* builder, IBaseFilter* device, bool enable) {
    if (noVideoDevice) return 1;
    if (!builder) return E_FAIL;
    if (!device) return E_POINTER;
    ComPtr<IAMCrossbar> crossbar = FindUpstream<IAMCrossbar>(builder, device);
    if (!crossbar) return E_FAIL;
    HRESULT hr = RouteAudio(crossbar.Get(), enable);
    if (SUCCEEDED(hr)) return hr;
    // Cards with a separate audio crossbar have it upstream of the video one.
    ComPtr<IBaseFilter> crossbarFilter = QueryAs<IBaseFilter>(crossbar.Get());
    if (!crossbarFilter) return hr;
    ComPtr<IAMCrossbar> second = FindUpstream<IAMCrossbar>(builder, crossbarFilter.Get());
    if (!second || second.Get() == crossbar.Get()) return hr;
    return RouteAudio(second.Get(), enable);
}

bool CCaptureSession::IsTunerInput(ICaptureGraphBuilder2* builder, IBaseFilter* device, int input) {
    // With no video device the answer is the "1" of the other operations: true.
    if (noVideoDevice) return true;
    if (!builder || !device || input < 0) return false;
    ComPtr<IAMCrossbar> crossbar = FindUpstream<IAMCrossbar>(builder, device);
    if (!crossbar) return false;
    LONG related = -1, type = 0;
    return SUCCEEDED(crossbar->get_CrossbarPinInfo(TRUE, input, &related, &type)) && type == PhysConn_Video_Tuner;
}

bool CCaptureSession::SetupTuner(ICaptureGraphBuilder2* builder, IBaseFilter* device) {
    if (!builder || !device) return true;
    ComPtr<IAMTVTuner> tuner = FindUpstream<IAMTVTuner>(builder, device);
    if (!tuner) return true;
    SelectTunerMode(tuner.Get(), tunerMode != 0);
    if (FAILED(tuner->put_CountryCode(countryCode))) return false;
    SetInputTypes(tuner.Get(), tunerInput);
    LONG minChannel = 0, maxChannel = 0;
    tuner->ChannelMinMax(&minChannel, &maxChannel);
    SetChannel(channel);
    return true;
}

void CCaptureSession::SetChannel(int32_t c) {
    WaitCursor wait;
    if (!graph_) return;
    ComPtr<IBaseFilter> device = FilterNamed(graph_.Get(), videoDeviceName);
    ComPtr<ICaptureGraphBuilder2> builder = BuilderOn(graph_.Get());
    if (!device || !builder) return;
    ComPtr<IAMTVTuner> tuner = FindUpstream<IAMTVTuner>(builder.Get(), device.Get());
    if (!tuner) return;
    SelectTunerMode(tuner.Get(), tunerMode != 0);
    tuner->put_Channel(c, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT);
    channel = c;
}

void CCaptureSession::SetTvMute(bool flag) {
    tvMute = flag;
    if (!graph_) return;
    ComPtr<IBaseFilter> device = FilterNamed(graph_.Get(), videoDeviceName);
    ComPtr<ICaptureGraphBuilder2> builder = BuilderOn(graph_.Get());
    if (device && builder) RouteTvAudio(builder.Get(), device.Get(), !flag);
}

int32_t CCaptureSession::ScanChannels(TvChannelList& channels) {
    WaitCursor wait;
    if (noVideoDevice || !graph_) return 0;
    ComPtr<IBaseFilter> device = FilterNamed(graph_.Get(), videoDeviceName);
    ComPtr<ICaptureGraphBuilder2> builder = BuilderOn(graph_.Get());
    if (!device || !builder) return 0;
    ComPtr<IAMTVTuner> tuner = FindUpstream<IAMTVTuner>(builder.Get(), device.Get());
    if (!tuner) return 0;

    SelectTunerMode(tuner.Get(), tunerMode != 0);
    tuner->put_CountryCode(countryCode);
    SetInputTypes(tuner.Get(), tunerInput);
    LONG minChannel = 0, maxChannel = -1;
    if (SUCCEEDED(tuner->ChannelMinMax(&minChannel, &maxChannel))) {
        for (LONG c = minChannel; c <= maxChannel; ++c) {
            LONG signal = AMTUNER_NOSIGNAL;
            if (tuner->put_Channel(c, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT) == S_OK)
                tuner->SignalPresent(&signal);
            if (signal != AMTUNER_NOSIGNAL && signal != AMTUNER_SIGNALPRESENT) {
                // The tuner cannot measure strength: let it fine-tune and say whether it locked.
                LONG found = 0;
                tuner->AutoTune(c, &found);
                signal = found != 0 ? 1 : 0;
            }
            channels.push_back({std::to_string(c), signal});
        }
        tuner->StoreAutoTune();
    }
    return 1;
}

void CCaptureSession::SetVideoStandard(int16_t index) {
    if (index < 0 || index >= static_cast<int16_t>(std::size(kStandards)) || !graph_) return;
    ComPtr<IBaseFilter> device = FilterNamed(graph_.Get(), videoDeviceName);
    ComPtr<ICaptureGraphBuilder2> builder = BuilderOn(graph_.Get());
    if (!device || !builder) return;
    ComPtr<IAMAnalogVideoDecoder> decoder;
    if (FAILED(builder->FindInterface(nullptr, &MEDIATYPE_Video, device.Get(), IAMAnalogVideoDecoder::iid,
                                      decoder.ReleaseAndGetVoidAddress())) ||
        !decoder)
        return;
    decoder->put_TVFormat(kStandards[index]);
    videoStandard = index;
}

int32_t CCaptureSession::ShowCrossbarPage() {
    ComPtr<ICaptureGraphBuilder2> builder = BuilderOn(graph_.Get());
    ComPtr<IBaseFilter> device = FilterNamed(graph_.Get(), videoDeviceName);
    if (!builder || !device) return -1;
    ComPtr<IAMCrossbar> crossbar = FindUpstream<IAMCrossbar>(builder.Get(), device.Get(), &MEDIATYPE_Interleaved);
    if (!crossbar) crossbar = FindUpstream<IAMCrossbar>(builder.Get(), device.Get(), &MEDIATYPE_Video);
    // A card whose analog input pin names no media type is still reached through that pin.
    if (!crossbar) crossbar = FindUpstream<IAMCrossbar>(builder.Get(), device.Get());
    if (!crossbar) return -1;
    ShowCrossbarDialog(videoDeviceName + " Crossbar", crossbar.Get());
    LONG output = FindPinByType(crossbar.Get(), false, PhysConn_Video_VideoDecoder);
    LONG routed = -1;
    if (output < 0 || FAILED(crossbar->get_IsRoutedTo(output, &routed))) return -1;
    return routed;
}
