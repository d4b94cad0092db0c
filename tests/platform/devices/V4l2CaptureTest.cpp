// A V4L2 camera from listing to frames in a running graph, over the recorded answers of a UVC
// webcam: the enumerator lists it, the bound filter's capture pin streams what the driver's
// buffers hold and counts the driver's gaps as dropped frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/MediaType.h"
#include "tests/platform/devices/CaptureGraph.h"
#include "tests/platform/devices/FakeV4l2Api.h"

namespace {

// Replaces the kernel for the test's lifetime.
struct RecordedKernel {
    std::shared_ptr<FakeV4l2Api> api;
    explicit RecordedKernel(const std::string& recording) : api(FakeV4l2Api::FromRecording(recording)) {
        UseV4l2Api(api);
        setenv("ORVANTA_DEVICE_BACKENDS", "v4l2", 1);
    }
    ~RecordedKernel() { UseV4l2Api(nullptr); }
};

ComPtr<IMoniker> OnlyVideoDevice(std::string* name) {
    ComPtr<ICreateDevEnum> devices;
    CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf());
    ComPtr<IEnumMoniker> list;
    ComPtr<IMoniker> first;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.ReleaseAndGetAddressOf(), 0) != S_OK)
        return first;
    ComPtr<IMoniker> moniker;
    int count = 0;
    while (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        if (count++ == 0) first = moniker;
    }
    EXPECT_EQ(count, 1);  // the metadata node is not a second device
    ComPtr<IPropertyBag> bag;
    first->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress());
    Variant value;
    bag->Read("FriendlyName", &value, nullptr);
    *name = value.Bstr();
    return first;
}

TEST(V4l2Capture, CameraStreamsDriverBuffersThroughTheGraph) {
    RecordedKernel kernel("v4l2-uvc-webcam.json");
    std::string name;
    ComPtr<IMoniker> moniker = OnlyVideoDevice(&name);
    ASSERT_TRUE(moniker);
    EXPECT_EQ(name, "USB 2.0 Camera: HD USB Camera");
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, camera.ReleaseAndGetVoidAddress()), S_OK);

    CaptureGraph run;
    ASSERT_EQ(run.Add(camera.Get()), S_OK);

    // YUY2 320x240 at 15 fps: the third discrete size, the slower of its two rates.
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(run.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), IAMStreamConfig::iid,
                                         config.ReleaseAndGetVoidAddress()),
              S_OK);
    AM_MEDIA_TYPE type;
    VIDEO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(config->GetStreamCaps(2, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_YUY2);
    type.VideoInfo()->AvgTimePerFrame = 666667;
    ASSERT_EQ(config->SetFormat(&type), S_OK);

    ASSERT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    AM_MEDIA_TYPE connected;
    ASSERT_EQ(QueryAs<ISampleGrabber>(run.grabber.Get())->GetConnectedMediaType(&connected), S_OK);
    EXPECT_EQ(connected.subtype, MEDIASUBTYPE_YUY2);  // no conversion between camera and grabber

    ASSERT_TRUE(SUCCEEDED(run.Run()));
    // The recording holds six buffers; wait (bounded) until the good ones have arrived.
    for (int i = 0; i < 100 && run.log->Samples().size() < 5; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    run.Stop();

    // The driver's format and rate were asked for, the buffers mapped and released again.
    const auto& calls = kernel.api->Log();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "S_PARM 666667/10000000"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "STREAMOFF"), calls.end());
    EXPECT_EQ(kernel.api->MappedBuffers(), 0);

    // Recorded sequence 0 1 2 5 6 7 with 6 broken: the graph sees 0 1 2 5 7, whole frames each.
    std::vector<int> firstBytes;
    for (const CapturedSample& sample : run.log->Samples()) {
        firstBytes.push_back(sample.firstByte);
        EXPECT_EQ(sample.length, 320 * 240 * 2);
    }
    EXPECT_EQ(firstBytes, (std::vector<int>{0, 1, 2, 5, 7}));
    ComPtr<IAMDroppedFrames> dropped;
    ASSERT_EQ(run.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), IAMDroppedFrames::iid,
                                     dropped.ReleaseAndGetVoidAddress()),
              S_OK);
    LONG count = 0;
    dropped->GetNumDropped(&count);
    EXPECT_EQ(count, 3);
    dropped->GetNumNotDropped(&count);
    EXPECT_EQ(count, 5);
}

TEST(V4l2Capture, CameraControlsReachTheDriverThroughTheFilter) {
    RecordedKernel kernel("v4l2-uvc-webcam.json");
    std::string name;
    ComPtr<IMoniker> moniker = OnlyVideoDevice(&name);
    ASSERT_TRUE(moniker);
    ComPtr<IBaseFilter> camera;
    ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, camera.ReleaseAndGetVoidAddress()), S_OK);
    ComPtr<IAMVideoProcAmp> procAmp = QueryAs<IAMVideoProcAmp>(camera.Get());
    ASSERT_TRUE(procAmp);
    LONG value = 0, flags = 0;
    ASSERT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
    EXPECT_EQ(value, 10);  // the recorded current value, not the default
    ASSERT_EQ(procAmp->Set(VideoProcAmp_Brightness, -20, VideoProcAmp_Flags_Manual), S_OK);
    EXPECT_EQ(kernel.api->Log().back(), "S_CTRL 0x00980900=-20");
    // Out of the driver's range: refused before the driver is asked.
    size_t calls = kernel.api->Log().size();
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 65, VideoProcAmp_Flags_Manual), E_INVALIDARG);
    EXPECT_EQ(kernel.api->Log().size(), calls);
    // A camera without a crossbar or tuner has no analogue input pin.
    ComPtr<IPin> analog;
    EXPECT_TRUE(FAILED(camera->FindPin("Analog Video In", analog.ReleaseAndGetAddressOf())));
}

}  // namespace
