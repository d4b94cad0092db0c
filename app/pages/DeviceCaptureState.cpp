#include "app/pages/DeviceCaptureState.h"

#include <cstdio>

#include "app/outside/CLumicor.h"
#include "platform/os/Shutdown.h"

DeviceCaptureState& DeviceState() {
    static DeviceCaptureState state;
    return state;
}

CLumicor& Lumicor() {
    static CLumicor lumicor;
    return lumicor;
}

void RunAfterCaptureAction() {
    if (DeviceState().ShutdownAfterCapture != 1) return;
    const HRESULT hr = ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE);
    if (FAILED(hr))
        std::fprintf(stderr, "orvanta: the system refused to shut down (0x%08x)\n",
                     static_cast<unsigned>(hr));
}
