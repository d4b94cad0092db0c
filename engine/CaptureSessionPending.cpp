// Session operations whose features come with later work (tuner and crossbar, audio input pins,
// WMV profiles and the broadcast helper). Graph building already calls them at their places;
// until then each does nothing and lets the build go on.
#include "engine/CaptureSession.h"

HRESULT CCaptureSession::ListCrossbarInputs(ICaptureGraphBuilder2*, IBaseFilter*, NameList*) {
    return noVideoDevice ? 1 : S_OK;
}
HRESULT CCaptureSession::RouteVideoInput(ICaptureGraphBuilder2*, IBaseFilter*, int) { return noVideoDevice ? 1 : S_OK; }
HRESULT CCaptureSession::RouteTvAudio(ICaptureGraphBuilder2*, IBaseFilter*, bool) { return noVideoDevice ? 1 : S_OK; }
bool CCaptureSession::IsTunerInput(ICaptureGraphBuilder2*, IBaseFilter*, int) { return false; }
bool CCaptureSession::SetupTuner(ICaptureGraphBuilder2*, IBaseFilter*) { return true; }

HRESULT CCaptureSession::ListAudioInputPins(NameList&, IBaseFilter*) { return S_OK; }
HRESULT CCaptureSession::SelectAudioInputPin(IBaseFilter*, int) { return S_OK; }
HRESULT CCaptureSession::RestoreAudioInputPin(IBaseFilter*, int) { return S_OK; }

HRESULT CCaptureSession::ConfigureAsfWriter(IBaseFilter*) { return S_OK; }
void CCaptureSession::SendHelperStartBlock() {}
