#pragma once
// Builds a device description from what a V4L2 driver answers:
// - name from VIDIOC_QUERYCAP's card; only nodes that capture video and stream;
// - VIDIOC_ENUM_FMT x ENUM_FRAMESIZES x ENUM_FRAMEINTERVALS: discrete sizes become fixed
//   capabilities of the capture pin; stepwise or continuous sizes (or, for drivers that do not
//   enumerate sizes, the range VIDIOC_TRY_FMT clamps to) become one scalable capability per format
//   on the preview pin;
// - inputs (VIDIOC_ENUMINPUT / ENUMAUDIO) as crossbar pins, a tuner input as the TV tuner,
//   standards (ENUMSTD / G_STD) as the analog decoder;
// - controls (VIDIOC_QUERYCTRL) as proc-amp and camera settings, auto companions as the auto flag.
#include <optional>
#include <string>

#include "platform/devices/DeviceDescription.h"
#include "platform/devices/v4l2/V4l2Api.h"

struct V4l2DeviceInfo {
    DeviceDescription description;
    std::string busInfo;     // stable identity, to drop a second node of the same device
    std::string driver;
    int tunerIndex = -1;     // v4l2 tuner of the tuner input
    bool tunerLowUnits = false;  // V4L2_TUNER_CAP_LOW: frequencies in 62.5 Hz units
    bool hasAudioMute = false;   // V4L2_CID_AUDIO_MUTE exists
};

// Reads everything through an open descriptor. nullopt when the node is no video capture device.
std::optional<V4l2DeviceInfo> ProbeV4l2Device(V4l2Api& api, int fd, const std::string& path);
// Opens, probes and closes the node.
std::optional<V4l2DeviceInfo> ProbeV4l2Node(V4l2Api& api, const std::string& path);

// The V4L2 control behind a proc-amp or camera property, and its auto companion (0 none).
struct V4l2ControlMapping {
    bool camera;
    LONG property;
    uint32_t id;
    uint32_t autoId;
};
const V4l2ControlMapping* V4l2ControlFor(uint32_t id);
