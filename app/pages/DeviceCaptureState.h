#pragma once
// What the device pages share across the process: the one capture control, which the Video
// Capture page hosts in its preview frame, the flags by which the broadcast page and the schedule
// ask that page to start and stop and learn that a capture ended, and the capture limit with its
// after-action.
#include <string>

class CLumicor;

struct DeviceCaptureState {
    bool IsDeviceCapturing = false;   // a device capture to file runs
    bool IsBroadcasting = false;      // a network broadcast runs
    bool CaptureEnded = false;        // a capture stopped or a requested start failed
    bool StartCaptureRequest = false; // the schedule asks for a capture to RequestedOutputPath
    bool StopCaptureRequest = false;  // the schedule asks the capture to stop
    bool OverlayChanged = false;      // a device broadcast started or stopped: re-apply the overlay
    std::string RequestedOutputPath;  // its last three letters choose the format
    std::string CaptureLimitSeconds;  // decimal seconds; empty: no limit
    int ShutdownAfterCapture = 0;     // 1: shut the computer down when the limit stops a capture
};

DeviceCaptureState& DeviceState();

// The process's capture control wrapper; empty until the Video Capture page creates the control,
// which destroys it again before the application object ends.
CLumicor& Lumicor();

// The after-action of a capture or broadcast that its limit stopped. Call it only once the
// capture has stopped and its file is complete: the shutdown closes applications by force. A
// shutdown the system refuses is logged, not shown.
void RunAfterCaptureAction();
