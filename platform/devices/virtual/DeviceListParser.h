#pragma once
// Reads a device list written as JSON (the file ORVANTA_DEVICES names) into device descriptions.
//
// {"devices": [
//   {"name": "Cam", "kind": "video",
//    "capture": [{"format": "YUY2", "width": 640, "height": 480, "frameRate": 30}],
//    "preview": [{"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 1920,
//                 "maxHeight": 1080, "granularityX": 8, "granularityY": 8}],
//    "crossbar": {"inputs": ["Video Tuner", "Video Composite", "Audio Tuner"],
//                 "outputs": ["Video Decoder", "Audio Decoder"], "routes": [0, 2]},
//    "tuner": {"modes": ["tv", "fm"], "countryCode": 1, "channelMin": 2, "channelMax": 13,
//              "channels": [{"number": 3, "signal": "yes"}, {"number": 4, "signal": "unknown",
//                            "autoTune": true}]},
//    "decoder": {"tvFormats": ["PAL_B", "NTSC_M"], "tvFormat": "PAL_B"},
//    "procAmp": [{"property": "Brightness", "min": 0, "max": 255, "default": 128,
//                 "flags": ["auto", "manual"]}],
//    "cameraControl": [...], "droppedFrames": {"every": 10},
//    "file": "clip.y4m" (played instead of the test picture, in place of "capture"; see
//            VideoFile.h, raw frames as {"path", "format", "width", "height", "frameRate"}),
//    "dialogs": ["source", "format"], "propertyPages": true, "failBind": false,
//    "unplugAfter": 1.5 (seconds of every run, then reads fail as for a device pulled out)},
//   {"name": "Mic", "kind": "audio", "lines": [{"name": "Microphone", "enabled": true}],
//    "sampleRate": 44100, "channels": 2, "bitsPerSample": 16, "toneHz": 440}]}
//
// Unknown keys are errors, so that a misspelt key never silently means a different device.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/devices/DeviceDescription.h"

struct DeviceListResult {
    std::vector<DeviceDescription> devices;
    // Empty on success; else one line naming the source and the problem.
    std::string error;
    bool Ok() const { return error.empty(); }
};

// `source` names the text in error messages (the file name); relative video file paths are taken
// from `folder`.
DeviceListResult ParseDeviceList(std::string_view json, const std::string& source,
                                 const std::filesystem::path& folder = {});
DeviceListResult LoadDeviceListFile(const std::filesystem::path& file);
