#include "platform/devices/virtual/VirtualDeviceSet.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/devices/virtual/DeviceListParser.h"

const char* BuiltInVirtualDevicesJson() {
    return R"json({"devices": [
  {"name": "Orvanta Virtual Camera", "kind": "video",
   "capture": [
     {"format": "RGB24", "minWidth": 160, "minHeight": 120, "maxWidth": 1920, "maxHeight": 1080,
      "granularityX": 8, "granularityY": 8, "frameRate": 30, "minFrameRate": 1, "maxFrameRate": 60},
     {"format": "YUY2", "minWidth": 160, "minHeight": 120, "maxWidth": 1920, "maxHeight": 1080,
      "granularityX": 8, "granularityY": 8, "frameRate": 30, "minFrameRate": 1, "maxFrameRate": 60}],
   "preview": "capture",
   "procAmp": [
     {"property": "Brightness", "min": -64, "max": 64, "default": 0, "flags": ["manual"]},
     {"property": "Contrast", "min": 0, "max": 100, "default": 50, "flags": ["manual"]},
     {"property": "Hue", "min": -180, "max": 180, "default": 0, "flags": ["manual"]},
     {"property": "Saturation", "min": 0, "max": 100, "default": 64, "flags": ["manual"]},
     {"property": "Sharpness", "min": 0, "max": 7, "default": 3, "flags": ["manual"]},
     {"property": "Gamma", "min": 72, "max": 500, "default": 100, "flags": ["manual"]},
     {"property": "WhiteBalance", "min": 2800, "max": 6500, "step": 10, "default": 4600,
      "flags": ["auto", "manual"], "valueFlags": ["auto"]},
     {"property": "BacklightCompensation", "min": 0, "max": 1, "default": 0, "flags": ["manual"]},
     {"property": "Gain", "min": 0, "max": 100, "default": 0, "flags": ["auto", "manual"]}],
   "cameraControl": [
     {"property": "Pan", "min": -180, "max": 180, "default": 0, "flags": ["manual"]},
     {"property": "Tilt", "min": -90, "max": 90, "default": 0, "flags": ["manual"]},
     {"property": "Zoom", "min": 10, "max": 600, "default": 10, "flags": ["manual"]},
     {"property": "Exposure", "min": -13, "max": -1, "default": -5, "flags": ["auto", "manual"],
      "valueFlags": ["auto"]},
     {"property": "Focus", "min": 0, "max": 250, "step": 5, "default": 0, "flags": ["auto", "manual"]}],
   "dialogs": ["source"], "propertyPages": true},
  {"name": "Orvanta Virtual Capture Card", "kind": "video",
   "capture": [
     {"format": "YUY2", "width": 720, "height": 576, "frameRate": 25},
     {"format": "YUY2", "width": 720, "height": 480, "frameRate": 29.97},
     {"format": "RGB24", "width": 640, "height": 480, "frameRate": 25},
     {"format": "RGB24", "width": 320, "height": 240, "frameRate": 25}],
   "preview": "capture",
   "crossbar": {
     "inputs": ["Video Tuner", "Video Composite", "S-Video", "Audio Tuner", "Audio Line"],
     "outputs": ["Video Decoder", "Audio Decoder"],
     "routes": [1, 4]},
   "tuner": {"modes": ["tv", "fm"], "countryCode": 1, "inputConnections": 1,
             "tvFormats": ["NTSC_M", "PAL_B", "PAL_D", "PAL_I", "SECAM_L"], "tvFormat": "PAL_B",
             "channelMin": 2, "channelMax": 13,
             "channels": [{"number": 3, "signal": "yes"}, {"number": 5, "signal": "yes"},
                          {"number": 9, "signal": "yes"}, {"number": 12, "signal": "unknown", "autoTune": true}]},
   "decoder": {"tvFormats": ["NTSC_M", "PAL_B", "PAL_D", "PAL_I", "SECAM_L"], "tvFormat": "PAL_B"},
   "procAmp": [
     {"property": "Brightness", "min": 0, "max": 255, "default": 128, "flags": ["manual"]},
     {"property": "Contrast", "min": 0, "max": 127, "default": 64, "flags": ["manual"]},
     {"property": "Hue", "min": -128, "max": 127, "default": 0, "flags": ["manual"]},
     {"property": "Saturation", "min": 0, "max": 127, "default": 64, "flags": ["manual"]}],
   "dialogs": ["source", "format", "display"], "propertyPages": true},
  {"name": "Orvanta Virtual Microphone", "kind": "audio",
   "lines": [{"name": "Microphone", "enabled": true}, {"name": "Line In"}, {"name": "CD Audio"},
             {"name": "Stereo Mix"}],
   "sampleRate": 44100, "channels": 2, "bitsPerSample": 16, "toneHz": 440, "propertyPages": true}
]})json";
}

VirtualDeviceSet LoadVirtualDevices() {
    VirtualDeviceSet set;
    const char* file = std::getenv("ORVANTA_DEVICES");
    DeviceListResult result = file && *file ? LoadDeviceListFile(file)
                                            : ParseDeviceList(BuiltInVirtualDevicesJson(), "built-in virtual devices");
    if (!result.Ok()) {
        // Said once per distinct problem: enumeration runs often and the file rarely changes.
        static std::mutex mutex;
        static std::set<std::string> reported;
        std::lock_guard lock(mutex);
        if (reported.insert(result.error).second) std::fprintf(stderr, "orvanta: device list %s\n", result.error.c_str());
        set.error = result.error;
        return set;
    }
    set.devices = std::move(result.devices);
    return set;
}
