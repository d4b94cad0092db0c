#pragma once
// The capture devices of the machine, in the order the system device enumerator lists them:
// real devices first (V4L2 for video, ALSA for audio), the virtual devices last.
// ORVANTA_DEVICE_BACKENDS ("virtual", "v4l2,alsa", ...) limits the backends; unset means all.
#include <string_view>
#include <vector>

#include "platform/devices/DeviceDescription.h"
#include "platform/devices/v4l2/V4l2Api.h"

bool DeviceBackendEnabled(std::string_view backend);
std::vector<DeviceDescription> ListCaptureDevices(DeviceKind kind);
// Every capture node the API shows, a device with several capture nodes listed once.
std::vector<DeviceDescription> ListV4l2Devices(V4l2Api& api);
