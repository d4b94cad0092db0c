#pragma once
// The virtual devices: the built-in set (camera, capture card, microphone), or the set the JSON
// file named by ORVANTA_DEVICES describes instead.
#include <string>
#include <vector>

#include "platform/devices/DeviceDescription.h"

// The built-in devices as JSON, in the format of DeviceListParser.h.
const char* BuiltInVirtualDevicesJson();

struct VirtualDeviceSet {
    std::vector<DeviceDescription> devices;
    std::string error;  // why ORVANTA_DEVICES gave no devices; empty when it was fine or unset
};

// Reads ORVANTA_DEVICES each call, so tests can change it between cases. A bad file gives no
// devices and its error (also written once to stderr).
VirtualDeviceSet LoadVirtualDevices();
