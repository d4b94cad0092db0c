// The start-up entry of the device and compressor layers: after it, everything a session needs is
// reachable by CLSID, as the engine reaches it.
#include "platform/codecs/CaptureClasses.h"

#include <gtest/gtest.h>

#include "platform/codecs/CompressorCatalog.h"
#include "platform/com/ClassRegistry.h"
#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DeviceEnumInterfaces.h"
#include "platform/devices/PropertyPageInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace {

std::vector<std::string> Names(ICreateDevEnum* devices, const CLSID& category) {
    std::vector<std::string> names;
    ComPtr<IEnumMoniker> list;
    if (devices->CreateClassEnumerator(category, list.ReleaseAndGetAddressOf(), 0) != S_OK) return names;
    ComPtr<IMoniker> moniker;
    while (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress());
        Variant name;
        bag->Read("FriendlyName", &name, nullptr);
        names.push_back(name.Bstr());
    }
    return names;
}

TEST(CaptureClasses, NothingIsReachableBeforeStartUp) {
    // Each test runs in a process of its own, so this one sees the state before the entry ran.
    ComPtr<ICreateDevEnum> devices;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, &devices), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(devices);
}

TEST(CaptureClasses, StartUpMakesEnumeratorPageAndCompressorsCreatable) {
    ASSERT_EQ(RegisterCaptureClasses(), S_OK);
    EXPECT_EQ(RegisterCaptureClasses(), S_OK);  // a second call changes nothing

    ComPtr<ICreateDevEnum> devices;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, &devices), S_OK);
    EXPECT_EQ(Names(devices.Get(), CLSID_VideoInputDeviceCategory),
              (std::vector<std::string>{"Orvanta Virtual Camera", "Orvanta Virtual Capture Card"}));
    // The compressor categories list exactly the installed compressors, in catalogue order.
    std::vector<std::string> video, audio;
    for (const auto& info : InstalledCompressors(CompressorKind::Video)) video.push_back(info.friendlyName);
    for (const auto& info : InstalledCompressors(CompressorKind::Audio)) audio.push_back(info.friendlyName);
    ASSERT_FALSE(video.empty());
    EXPECT_EQ(Names(devices.Get(), CLSID_VideoCompressorCategory), video);
    EXPECT_EQ(Names(devices.Get(), CLSID_AudioCompressorCategory), audio);

    ComPtr<IPropertyPage> page;
    EXPECT_EQ(CoCreateInstance(CLSID_OrvantaDevicePropertyPage, nullptr, CLSCTX_INPROC_SERVER, &page), S_OK);
    EXPECT_TRUE(page);

    // Every installed compressor's class gives a filter that is that compressor.
    for (CompressorKind kind : {CompressorKind::Video, CompressorKind::Audio}) {
        for (const auto& info : InstalledCompressors(kind)) {
            ComPtr<IBaseFilter> filter;
            ASSERT_EQ(CoCreateInstance(info.clsid, nullptr, CLSCTX_INPROC_SERVER, &filter), S_OK) << info.friendlyName;
            CLSID clsid;
            ASSERT_EQ(filter->GetClassID(&clsid), S_OK);
            EXPECT_EQ(clsid, info.clsid) << info.friendlyName;
        }
    }
    ComPtr<IBaseFilter> aggregated;
    ComPtr<ICreateDevEnum> outer;
    CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, &outer);
    const CompressorInfo first = InstalledCompressors(CompressorKind::Video).front();
    EXPECT_EQ(CoCreateInstance(first.clsid, outer.Get(), CLSCTX_INPROC_SERVER, IBaseFilter::iid,
                               aggregated.ReleaseAndGetVoidAddress()),
              CLASS_E_NOAGGREGATION);
}

}  // namespace
