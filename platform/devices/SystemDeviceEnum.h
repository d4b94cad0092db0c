#pragma once
// The system device enumerator (CLSID_SystemDeviceEnum). Capture categories come from the device
// backends (real devices first, virtual ones last); other categories (the compressors) from
// providers their layer installs. Every call enumerates afresh, so a device that appeared or a
// changed ORVANTA_DEVICES shows at the next enumeration. Programs create it by CLSID after the
// start-up entry RegisterCaptureClasses (platform/codecs/CaptureClasses.h) has run.
#include <functional>
#include <string>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/devices/DeviceEnumInterfaces.h"

struct IBaseFilter;

// One entry of a category: what its property bag says and how to make its filter.
struct DeviceMonikerEntry {
    std::string friendlyName;
    std::string devicePath;
    CLSID clsid;
    std::function<HRESULT(IBaseFilter** filter)> bind;
};

using DeviceCategoryProvider = std::function<std::vector<DeviceMonikerEntry>()>;

// Makes a category enumerable (replaces an earlier provider of the same category).
void InstallDeviceCategory(const CLSID& category, DeviceCategoryProvider provider);

class SystemDeviceEnum : public ComObject<ICreateDevEnum> {
public:
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** enumerator, DWORD flags) override;
};

HRESULT CreateSystemDeviceEnum(ICreateDevEnum** enumerator);
// A moniker over one entry (also for tests and for the compressor manager).
ComPtr<IMoniker> MakeDeviceMoniker(DeviceMonikerEntry entry);
