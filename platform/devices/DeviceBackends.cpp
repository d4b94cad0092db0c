#include "platform/devices/DeviceBackends.h"

#include <cstdlib>
#include <set>
#include <string>

#include "platform/devices/alsa/AlsaBackend.h"
#include "platform/devices/v4l2/V4l2Probe.h"
#include "platform/devices/virtual/VirtualDeviceSet.h"

bool DeviceBackendEnabled(std::string_view backend) {
    const char* list = std::getenv("ORVANTA_DEVICE_BACKENDS");
    if (!list || !*list) return true;
    std::string_view rest = list;
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (item == backend) return true;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return false;
}

std::vector<DeviceDescription> ListV4l2Devices(V4l2Api& api) {
    std::vector<DeviceDescription> devices;
    std::set<std::string> seen;
    for (const std::string& path : api.ListNodes()) {
        auto info = ProbeV4l2Node(api, path);
        if (!info) continue;
        if (!info->busInfo.empty() && !seen.insert(info->driver + "|" + info->busInfo).second) continue;
        devices.push_back(std::move(info->description));
    }
    return devices;
}

std::vector<DeviceDescription> ListCaptureDevices(DeviceKind kind) {
    std::vector<DeviceDescription> devices;
    if (kind == DeviceKind::Video && DeviceBackendEnabled("v4l2")) devices = ListV4l2Devices(*SystemV4l2Api());
    if (kind == DeviceKind::Audio && DeviceBackendEnabled("alsa")) devices = SystemAlsaPcmApi()->ListCaptureDevices();
    if (DeviceBackendEnabled("virtual")) {
        for (auto& device : LoadVirtualDevices().devices)
            if (device.kind == kind) devices.push_back(std::move(device));
    }
    return devices;
}
