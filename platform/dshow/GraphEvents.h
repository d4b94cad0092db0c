#pragma once
// Graph event codes beyond the basic ones of DShowTypes.h, and their names for the log.
#include "platform/dshow/DShowTypes.h"

// A stream error the filter could get past (param1 the HRESULT); the graph keeps running.
inline constexpr LONG EC_STREAM_ERROR_STILLPLAYING = 0x07;
inline constexpr LONG EC_ERROR_STILLPLAYING = 0x08;
// A device went away (param1 the device filter, param2 0) or came back (param2 1).
inline constexpr LONG EC_DEVICE_LOST = 0x1F;

inline const char* GraphEventName(LONG code) {
    switch (code) {
    case EC_COMPLETE: return "EC_COMPLETE";
    case EC_USERABORT: return "EC_USERABORT";
    case EC_ERRORABORT: return "EC_ERRORABORT";
    case EC_TIME: return "EC_TIME";
    case EC_STREAM_ERROR_STOPPED: return "EC_STREAM_ERROR_STOPPED";
    case EC_STREAM_ERROR_STILLPLAYING: return "EC_STREAM_ERROR_STILLPLAYING";
    case EC_ERROR_STILLPLAYING: return "EC_ERROR_STILLPLAYING";
    case EC_DEVICE_LOST: return "EC_DEVICE_LOST";
    case EC_STREAM_CONTROL_STOPPED: return "EC_STREAM_CONTROL_STOPPED";
    case EC_STREAM_CONTROL_STARTED: return "EC_STREAM_CONTROL_STARTED";
    default: return "graph event";
    }
}
