// The graph's events, read on the UI thread by the session's timers: an error a filter posts (a
// writer that cannot write, a device that went away) stops the session and is told to the owner.
#include <cerrno>
#include <cstdio>

#include "engine/CaptureSession.h"
#include "platform/base/Log.h"
#include "platform/dshow/GraphEvents.h"

namespace {

// The cause in words, from the failure's result code.
std::string CauseOf(LONG eventCode, HRESULT hr) {
    if (eventCode == EC_DEVICE_LOST || hr == HResultFromErrno(ENODEV) || hr == HResultFromErrno(ENXIO))
        return "the capture device went away";
    if (hr == HResultFromErrno(ENOSPC)) return "disk full";
    if (hr == HResultFromErrno(EDQUOT)) return "disk quota exceeded";
    if (hr == HResultFromErrno(EIO)) return "I/O error";
    if (hr == HResultFromErrno(EFBIG)) return "the file grew too large";
    if (hr == HResultFromErrno(EROFS)) return "the disk is read-only";
    if (hr == HResultFromErrno(ENOENT) || hr == HResultFromErrno(ESTALE)) return "the output file was removed";
    return "the capture failed (" + HResultText(hr) + ")";
}

bool EndsTheSession(LONG eventCode) {
    return eventCode == EC_ERRORABORT || eventCode == EC_STREAM_ERROR_STOPPED || eventCode == EC_USERABORT ||
           eventCode == EC_DEVICE_LOST;
}

}  // namespace

bool CCaptureSession::DrainGraphEvents() {
    while (events_) {
        LONG code = 0;
        LONG_PTR param1 = 0, param2 = 0;
        if (events_->GetEvent(&code, &param1, &param2, 0) != S_OK) return true;
        events_->FreeEventParams(code, param1, param2);
        LogDebug("engine", std::string("graph event ") + GraphEventName(code) + " (" +
                               HResultText(static_cast<HRESULT>(param1)) + ")");
        // A device that comes back (param2 1) changes nothing for a session already stopped.
        if (code == EC_DEVICE_LOST && param2 != 0) continue;
        if (EndsTheSession(code)) {
            HRESULT hr = static_cast<HRESULT>(param1);
            if (code == EC_DEVICE_LOST || SUCCEEDED(hr)) hr = code == EC_DEVICE_LOST ? HResultFromErrno(ENODEV) : E_FAIL;
            FailRunningSession(code, hr);
            return false;
        }
        if (code == EC_STREAM_ERROR_STILLPLAYING || code == EC_ERROR_STILLPLAYING)
            LogWarning("engine", std::string(GraphEventName(code)) + ": a stream error the graph got past (" +
                                     HResultText(static_cast<HRESULT>(param1)) + ")");
        else if (code == EC_COMPLETE)
            LogInfo("engine", "every stream of the graph has ended");
    }
    return true;
}

void CCaptureSession::FailRunningSession(LONG eventCode, HRESULT hr) {
    LONGLONG position = 0;
    if (ComPtr<IMediaSeeking> seeking = QueryAs<IMediaSeeking>(graph_.Get())) seeking->GetCurrentPosition(&position);
    const bool recording = captureMode;
    // Stopping the graph ends every stream: the multiplexers finish their files with what they hold.
    StopSession();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(position) / UNITS);
    lastFailure_ = CauseOf(eventCode, hr) + (recording ? ": recording stopped after " : ": preview stopped after ") +
                   seconds + " s";
    LogError("engine", lastFailure_ + " (" + GraphEventName(eventCode) + ", " + HResultText(hr) + ")");
    if (ownerControl) ownerControl->FireCaptureError(hr, lastFailure_);
}
