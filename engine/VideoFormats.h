#pragma once
// The device's video formats: the stream configurations of its pins, the list of named formats the
// control exposes as VideoFormats, and the ways a chosen entry, a user-defined size or a frame
// rate reach the device. Also the two settings dialogs of the video device.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/com/Guid.h"
#include "platform/base/HResult.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"

// One entry of the control's VideoFormats collection.
struct VideoFormatEntry {
    std::string name;
    int32_t height = 0, width = 0, bitCount = 0;
    Guid subtype{};
};
using VideoFormatList = std::vector<VideoFormatEntry>;

// The result of walking a video device's pins.
struct StreamConfigs {
    ComPtr<IAMStreamConfig> capture, preview;
    ComPtr<IPin> analogInput;
};
StreamConfigs FindStreamConfigs(IBaseFilter* device);

// Fills `formats` (replacing what it held) and returns the new scalableSource value: true when the
// preview pin scales through more than eight sizes, in which case the list holds the fixed sizes
// per video capability; otherwise the capture pin's capabilities, the one at `chosenIndex`
// (-1 = none) applied to the pin.
bool EnumerateVideoFormats(VideoFormatList& formats, ICaptureGraphBuilder2* builder,
                           IBaseFilter* device, int chosenIndex);
// Sets the chosen entry's size on the capture and preview formats; E_POINTER without a capture
// configuration, else the result of the last SetFormat.
HRESULT ApplyFormatSize(IBaseFilter* device, int32_t width, int32_t height);
// The user-defined size: the best-ranked uncompressed capture type at that size, with the frame
// interval of the device's analog standard.
void SelectUserFormat(ICaptureGraphBuilder2* builder, IBaseFilter* device, int32_t width,
                      int32_t height);
// Fixed-caps step of graph building: capability `index` (-1 = the last one); for a chosen index
// the frame interval becomes 10000000 / frameRate, a frameRate of 0 or below keeps the
// capability's own interval. Then SetFormat; its result (an error when there is no such
// capability).
HRESULT ApplyCapability(IAMStreamConfig* config, int index, int32_t frameRate);

// Both need the running graph and the device's name in it; graph may be null.
// The format dialog of the capture pin: the running graph loses everything downstream of the
// device. The name of the format chosen, or empty.
std::string ShowVideoFormatPage(IGraphBuilder* graph, const std::string& videoDeviceName);
// The device's own settings pages: 1 when the device was found in the graph, else 0.
int ShowCaptureDevicePage(IGraphBuilder* graph, const std::string& videoDeviceName);
