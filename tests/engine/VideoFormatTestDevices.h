#pragma once
// Devices for the format and snapshot tests: virtual devices described by JSON, bound by name
// as the session binds them, and a hand-made filter whose capability blocks say what no real
// device description can (granularity 0, a minimum width of 0, a refused capability).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Variant.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/base/SourceFilter.h"
#include "platform/dshow/base/SourcePin.h"
#include "platform/dshow/filters/StockFilters.h"
#include "tests/support/TestEnvironment.h"

namespace format_test {

// Replaces the virtual devices by exactly these.
inline void UseDevices(const std::string& json) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(file) << json;
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
}

// The last video device of that friendly name, as the session binds it.
inline ComPtr<IBaseFilter> BindVideoDevice(const std::string& wanted) {
    ComPtr<IBaseFilter> filter;
    ComPtr<ICreateDevEnum> devices;
    if (CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf()) != S_OK) return filter;
    ComPtr<IEnumMoniker> list;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.ReleaseAndGetAddressOf(), 0) != S_OK)
        return filter;
    ComPtr<IMoniker> moniker;
    while (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress()) != S_OK)
            continue;
        Variant name;
        if (bag->Read("FriendlyName", &name, nullptr) != S_OK || name.Bstr() != wanted) continue;
        moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress());
    }
    return filter;
}

inline ComPtr<IAMStreamConfig> PinConfig(IBaseFilter* filter, const char* pinName) {
    ComPtr<IPin> pin;
    if (filter->FindPin(pinName, pin.ReleaseAndGetAddressOf()) != S_OK) return nullptr;
    return QueryAs<IAMStreamConfig>(pin.Get());
}

inline AM_MEDIA_TYPE CurrentFormat(IBaseFilter* filter, const char* pinName) {
    AM_MEDIA_TYPE type;
    ComPtr<IAMStreamConfig> config = PinConfig(filter, pinName);
    EXPECT_TRUE(config) << pinName;
    if (config) {
        EXPECT_EQ(config->GetFormat(&type), S_OK);
    }
    return type;
}

inline ComPtr<ICaptureGraphBuilder2> NewBuilder(IGraphBuilder* graph) {
    ComPtr<ICaptureGraphBuilder2> builder;
    EXPECT_EQ(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder), S_OK);
    if (builder && graph) {
        EXPECT_EQ(builder->SetFiltergraph(graph), S_OK);
    }
    return builder;
}

inline ComPtr<IGraphBuilder> NewGraph() {
    ComPtr<IGraphBuilder> graph;
    EXPECT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
    return graph;
}

// One capability as the hand-made pin reports it.
struct FakeCapability {
    AM_MEDIA_TYPE type;
    VIDEO_STREAM_CONFIG_CAPS caps;
    bool refused = false;  // GetStreamCaps fails for it
};

inline FakeCapability ScalingCapability(const Guid& subtype, LONG minW, LONG minH, LONG maxW, LONG maxH, int stepX,
                                        int stepY) {
    FakeCapability c;
    c.type = MakeVideoType(subtype, maxW, maxH, UNITS / 30);
    c.caps.guid = FORMAT_VideoInfo;
    c.caps.MinOutputSize = {minW, minH};
    c.caps.MaxOutputSize = {maxW, maxH};
    c.caps.OutputGranularityX = stepX;
    c.caps.OutputGranularityY = stepY;
    c.caps.MinFrameInterval = c.caps.MaxFrameInterval = UNITS / 30;
    return c;
}

inline FakeCapability FixedCapability(const Guid& subtype, LONG w, LONG h) {
    return ScalingCapability(subtype, w, h, w, h, 1, 1);
}

class FakeConfigPin final : public WithInterfaces<SourcePin, IAMStreamConfig> {
public:
    FakeConfigPin(BaseFilter* filter, const char* name, const Guid& category, std::vector<FakeCapability> caps,
                  int reportedSize)
        : WithInterfaces(filter, name, category), caps_(std::move(caps)), reportedSize_(reportedSize) {
        if (!caps_.empty()) format_ = caps_.front().type;
    }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override {
        return type && type->majortype == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT SetFormat(const AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        format_ = *type;
        ++setFormatCalls;
        return S_OK;
    }
    HRESULT GetFormat(AM_MEDIA_TYPE* type) override {
        if (!type) return E_POINTER;
        *type = format_;
        return S_OK;
    }
    HRESULT GetNumberOfCapabilities(int* count, int* size) override {
        *count = static_cast<int>(caps_.size());
        *size = reportedSize_;
        return S_OK;
    }
    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE* type, BYTE* block) override {
        if (index < 0) return E_INVALIDARG;
        if (index >= static_cast<int>(caps_.size())) return S_FALSE;
        if (caps_[index].refused) return E_FAIL;
        *type = caps_[index].type;
        // Only as many bytes as the pin says a block has.
        std::memcpy(block, &caps_[index].caps, std::min<size_t>(sizeof(VIDEO_STREAM_CONFIG_CAPS), reportedSize_));
        return S_OK;
    }

    int setFormatCalls = 0;
    AM_MEDIA_TYPE format_;

protected:
    HRESULT FillBuffer(IMediaSample*) override { return S_FALSE; }

private:
    std::vector<FakeCapability> caps_;
    int reportedSize_;
};

inline constexpr CLSID CLSID_FakeFormatDevice = MakeGuid("{0F0A7E11-2B3C-4D5E-8F90-A1B2C3D4E5F6}");

// A device filter: a "Capture" pin and, when given, a "Preview" pin.
class FakeFormatDevice final : public SourceFilter {
public:
    FakeFormatDevice(std::vector<FakeCapability> capture, std::vector<FakeCapability> preview, bool hasPreview,
                     int reportedSize = sizeof(VIDEO_STREAM_CONFIG_CAPS))
        : SourceFilter(CLSID_FakeFormatDevice) {
        if (!capture.empty())
            capture_ = AddPin(std::make_unique<FakeConfigPin>(this, "Capture", PIN_CATEGORY_CAPTURE, std::move(capture),
                                                              reportedSize));
        if (hasPreview)
            preview_ = AddPin(std::make_unique<FakeConfigPin>(this, "Preview", PIN_CATEGORY_PREVIEW, std::move(preview),
                                                              reportedSize));
    }
    FakeConfigPin* Capture() const { return capture_; }
    FakeConfigPin* Preview() const { return preview_; }

private:
    FakeConfigPin* capture_ = nullptr;
    FakeConfigPin* preview_ = nullptr;
};

}  // namespace format_test
