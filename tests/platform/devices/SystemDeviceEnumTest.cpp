// The system device enumerator and the device filters it binds, over virtual devices.
#include "platform/devices/SystemDeviceEnum.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"
#include "tests/support/TestEnvironment.h"

namespace {

void UseDevices(const std::string& json) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(file) << json;
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
}

std::vector<ComPtr<IMoniker>> Monikers(const CLSID& category) {
    ComPtr<ICreateDevEnum> devices;
    EXPECT_EQ(CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IEnumMoniker> list;
    std::vector<ComPtr<IMoniker>> result;
    if (devices->CreateClassEnumerator(category, list.ReleaseAndGetAddressOf(), 0) != S_OK) return result;
    ComPtr<IMoniker> moniker;
    while (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) result.push_back(moniker);
    return result;
}

std::string FriendlyName(IMoniker* moniker) {
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress()), S_OK);
    Variant name;
    EXPECT_EQ(bag->Read("FriendlyName", &name, nullptr), S_OK);
    EXPECT_EQ(name.Type(), VT_BSTR);
    return name.Bstr();
}

// The session's way: every moniker compared byte for byte, the last match wins.
ComPtr<IBaseFilter> BindByName(const CLSID& category, const std::string& wanted, HRESULT* result = nullptr) {
    ComPtr<IBaseFilter> filter;
    HRESULT hr = VFW_E_NOT_FOUND;
    for (auto& moniker : Monikers(category)) {
        if (FriendlyName(moniker.Get()) != wanted) continue;
        hr = moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress());
    }
    if (result) *result = hr;
    return filter;
}

// Tests that use the built-in devices start from them even after a test that replaced them.
struct BuiltInDevices {
    BuiltInDevices() { unsetenv("ORVANTA_DEVICES"); }
};

ComPtr<IPin> PinNamed(IBaseFilter* filter, const char* name) {
    ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

TEST(SystemDeviceEnum, ListsTheVirtualDevicesByCategory) {
    std::vector<std::string> video, audio;
    for (auto& m : Monikers(CLSID_VideoInputDeviceCategory)) video.push_back(FriendlyName(m.Get()));
    for (auto& m : Monikers(CLSID_AudioInputDeviceCategory)) audio.push_back(FriendlyName(m.Get()));
    EXPECT_EQ(video, (std::vector<std::string>{"Orvanta Virtual Camera", "Orvanta Virtual Capture Card"}));
    EXPECT_EQ(audio, (std::vector<std::string>{"Orvanta Virtual Microphone"}));

    // An empty category yields no enumerator.
    UseDevices(R"({"devices": [{"name": "Mic", "kind": "audio"}]})");
    ComPtr<ICreateDevEnum> devices;
    CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf());
    ComPtr<IEnumMoniker> list;
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.ReleaseAndGetAddressOf(), 0), S_FALSE);
    EXPECT_FALSE(list);
    EXPECT_EQ(devices->CreateClassEnumerator(MakeGuid("{00000000-1111-2222-3333-444444444444}"), list.ReleaseAndGetAddressOf(), 0),
              S_FALSE);
}

TEST(SystemDeviceEnum, BindingByNameIsExactAndTheLastTwinWins) {
    UseDevices(R"({"devices": [
      {"name": "Twin", "capture": [{"format": "RGB24", "width": 320, "height": 240}]},
      {"name": "twin", "capture": [{"format": "RGB24", "width": 64, "height": 48}]},
      {"name": "Twin", "capture": [{"format": "YUY2", "width": 640, "height": 480}]},
      {"name": "Twin ", "capture": [{"format": "RGB24", "width": 160, "height": 120}]},
      {"name": "Broken", "capture": [{"format": "RGB24", "width": 64, "height": 48}], "failBind": true},
      {"name": "Cam\u00e9ra", "capture": [{"format": "RGB24", "width": 96, "height": 64}]},
      {"name": "Came\u0301ra", "capture": [{"format": "RGB24", "width": 128, "height": 96}]}]})");
    ComPtr<IBaseFilter> twin = BindByName(CLSID_VideoInputDeviceCategory, "Twin");
    ASSERT_TRUE(twin);
    ComPtr<IAMStreamConfig> config = QueryAs<IAMStreamConfig>(PinNamed(twin.Get(), "Capture").Get());
    ASSERT_TRUE(config);
    AM_MEDIA_TYPE type;
    ASSERT_EQ(config->GetFormat(&type), S_OK);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_YUY2);  // the third device, not the first
    EXPECT_EQ(type.VideoInfo()->bmiHeader.biWidth, 640);

    EXPECT_FALSE(BindByName(CLSID_VideoInputDeviceCategory, "TWIN"));
    EXPECT_FALSE(BindByName(CLSID_VideoInputDeviceCategory, "Twi"));
    HRESULT hr = S_OK;
    EXPECT_FALSE(BindByName(CLSID_VideoInputDeviceCategory, "Broken", &hr));
    EXPECT_TRUE(FAILED(hr));

    // Byte for byte: the composed and the decomposed spelling of one word are two names.
    auto widthOf = [&](const std::string& name) -> LONG {
        ComPtr<IBaseFilter> filter = BindByName(CLSID_VideoInputDeviceCategory, name);
        if (!filter) return -1;
        ComPtr<IAMStreamConfig> c = QueryAs<IAMStreamConfig>(PinNamed(filter.Get(), "Capture").Get());
        AM_MEDIA_TYPE t;
        c->GetFormat(&t);
        return t.VideoInfo()->bmiHeader.biWidth;
    };
    EXPECT_EQ(widthOf("Cam\xC3\xA9ra"), 96);
    EXPECT_EQ(widthOf("Came\xCC\x81ra"), 128);
    EXPECT_EQ(widthOf("CAM\xC3\x89RA"), -1);
}

TEST(DeviceFilters, ScalableCameraCapabilities) {
    BuiltInDevices builtIn;
    ComPtr<IBaseFilter> camera = BindByName(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Camera");
    ASSERT_TRUE(camera);
    ComPtr<IAMStreamConfig> preview = QueryAs<IAMStreamConfig>(PinNamed(camera.Get(), "Preview").Get());
    ASSERT_TRUE(preview);
    int count = 0, size = 0;
    ASSERT_EQ(preview->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
    AM_MEDIA_TYPE type;
    VIDEO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(preview->GetStreamCaps(0, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
    EXPECT_EQ(type.majortype, MEDIATYPE_Video);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(std::make_pair(caps.MinOutputSize.cx, caps.MinOutputSize.cy), std::make_pair(LONG{160}, LONG{120}));
    EXPECT_EQ(std::make_pair(caps.MaxOutputSize.cx, caps.MaxOutputSize.cy), std::make_pair(LONG{1920}, LONG{1080}));
    EXPECT_EQ(caps.OutputGranularityX, 8);
    EXPECT_EQ(caps.MinFrameInterval, 166667);
    EXPECT_EQ(preview->GetStreamCaps(2, &type, reinterpret_cast<BYTE*>(&caps)), S_FALSE);

    // Any size on the grid is taken; off the grid or out of range is not.
    ComPtr<IAMStreamConfig> capture = QueryAs<IAMStreamConfig>(PinNamed(camera.Get(), "Capture").Get());
    EXPECT_EQ(capture->SetFormat(&(type = MakeVideoType(MEDIASUBTYPE_YUY2, 352, 288, 400000))), S_OK);
    AM_MEDIA_TYPE now;
    capture->GetFormat(&now);
    EXPECT_EQ(now, type);
    EXPECT_EQ(capture->SetFormat(&(type = MakeVideoType(MEDIASUBTYPE_RGB24, 354, 288))), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(capture->SetFormat(&(type = MakeVideoType(MEDIASUBTYPE_RGB24, 2000, 1080))), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(capture->SetFormat(&(type = MakeVideoType(MEDIASUBTYPE_I420, 320, 240))), VFW_E_INVALIDMEDIATYPE);

    // Picture and camera settings are on the filter.
    ComPtr<IAMVideoProcAmp> procAmp = QueryAs<IAMVideoProcAmp>(camera.Get());
    ComPtr<IAMCameraControl> control = QueryAs<IAMCameraControl>(camera.Get());
    ASSERT_TRUE(procAmp && control);
    LONG min = 0, max = 0, step = 0, def = 0, flags = 0;
    EXPECT_EQ(procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &flags), S_OK);
    EXPECT_EQ(control->GetRange(CameraControl_Zoom, &min, &max, &step, &def, &flags), S_OK);
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(10, 600));
    EXPECT_FALSE(QueryAs<IAMCrossbar>(camera.Get()));
    EXPECT_FALSE(QueryAs<IAMAnalogVideoDecoder>(camera.Get()));
    EXPECT_FALSE(PinNamed(camera.Get(), "Analog Video In"));
}

TEST(DeviceFilters, CaptureCardHasFixedCapsCrossbarAndTunerUpstream) {
    BuiltInDevices builtIn;
    RegisterFilterGraphClasses();
    ComPtr<IBaseFilter> card = BindByName(CLSID_VideoInputDeviceCategory, "Orvanta Virtual Capture Card");
    ASSERT_TRUE(card);
    ComPtr<IAMStreamConfig> capture = QueryAs<IAMStreamConfig>(PinNamed(card.Get(), "Capture").Get());
    int count = 0, size = 0;
    capture->GetNumberOfCapabilities(&count, &size);
    ASSERT_EQ(count, 4);
    AM_MEDIA_TYPE type;
    VIDEO_STREAM_CONFIG_CAPS caps;
    capture->GetStreamCaps(3, &type, reinterpret_cast<BYTE*>(&caps));
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(caps.MinOutputSize.cx, caps.MaxOutputSize.cx);
    EXPECT_EQ(caps.MaxOutputSize.cx, 320);
    EXPECT_EQ(type.VideoInfo()->bmiHeader.biWidth, 320);
    EXPECT_EQ(capture->SetFormat(&(type = MakeVideoType(MEDIASUBTYPE_RGB24, 328, 240))), VFW_E_INVALIDMEDIATYPE);

    // The session finds the crossbar and tuner upstream of the device, the decoder on it.
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ASSERT_EQ(CreateFilterGraphObject(CLSID_FilterGraph, &graph), S_OK);
    ASSERT_EQ(CreateFilterGraphObject(CLSID_CaptureGraphBuilder2, &builder), S_OK);
    builder->SetFiltergraph(graph.Get());
    ASSERT_EQ(graph->AddFilter(card.Get(), "Orvanta Virtual Capture Card"), S_OK);
    ComPtr<IAMCrossbar> crossbar;
    ASSERT_EQ(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, card.Get(), IAMCrossbar::iid,
                                     crossbar.ReleaseAndGetVoidAddress()),
              S_OK);
    LONG outputs = 0, inputs = 0;
    crossbar->get_PinCounts(&outputs, &inputs);
    EXPECT_EQ(std::make_pair(outputs, inputs), std::make_pair(2, 5));
    ComPtr<IAMTVTuner> tuner;
    ASSERT_EQ(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, card.Get(), IAMTVTuner::iid,
                                     tuner.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<IAMAnalogVideoDecoder> decoder;
    ASSERT_EQ(builder->FindInterface(nullptr, &MEDIATYPE_Video, card.Get(), IAMAnalogVideoDecoder::iid,
                                     decoder.ReleaseAndGetVoidAddress()),
              S_OK);
    // One card, one state: a standard set on the decoder is the tuner's.
    ASSERT_EQ(decoder->put_TVFormat(AnalogVideo_PAL_D), S_OK);
    LONG standard = 0;
    tuner->get_TVFormat(&standard);
    EXPECT_EQ(standard, AnalogVideo_PAL_D);

    ComPtr<IAMVfwCaptureDialogs> dialogs = QueryAs<IAMVfwCaptureDialogs>(card.Get());
    ASSERT_TRUE(dialogs);
    EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Format), S_OK);
    int shown = 0;
    SetDeviceDialogHandler([&](const DeviceDescription& d, int dialog, uint32_t) {
        EXPECT_EQ(d.name, "Orvanta Virtual Capture Card");
        shown = dialog;
        return S_OK;
    });
    EXPECT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Format, 0), S_OK);
    EXPECT_EQ(shown, VfwCaptureDialog_Format);
    SetDeviceDialogHandler(nullptr);
    ComPtr<ISpecifyPropertyPages> pages = QueryAs<ISpecifyPropertyPages>(card.Get());
    ASSERT_TRUE(pages);
    CAUUID list;
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.elements[0], CLSID_OrvantaDevicePropertyPage);
    std::free(list.elements);
    graph->RemoveFilter(card.Get());
}

TEST(DeviceFilters, MicrophoneInputPinsCarryMixers) {
    BuiltInDevices builtIn;
    ComPtr<IBaseFilter> mic = BindByName(CLSID_AudioInputDeviceCategory, "Orvanta Virtual Microphone");
    ASSERT_TRUE(mic);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(mic->EnumPins(pins.ReleaseAndGetAddressOf()), S_OK);
    std::vector<std::string> inputs;
    std::vector<BOOL> enabled;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction != PINDIR_INPUT) continue;
        PIN_INFO info;
        pin->QueryPinInfo(&info);
        inputs.push_back(info.achName);
        ComPtr<IAMAudioInputMixer> mixer = QueryAs<IAMAudioInputMixer>(pin.Get());
        ASSERT_TRUE(mixer);
        BOOL on = FALSE;
        mixer->get_Enable(&on);
        enabled.push_back(on);
    }
    EXPECT_EQ(inputs, (std::vector<std::string>{"Microphone", "Line In", "CD Audio", "Stereo Mix"}));
    EXPECT_EQ(enabled, (std::vector<BOOL>{TRUE, FALSE, FALSE, FALSE}));
    ComPtr<IAMStreamConfig> config = QueryAs<IAMStreamConfig>(PinNamed(mic.Get(), "Capture").Get());
    ASSERT_TRUE(config);
    AM_MEDIA_TYPE type;
    config->GetFormat(&type);
    EXPECT_EQ(type.WaveFormat()->nSamplesPerSec, 44100u);
    EXPECT_EQ(type.WaveFormat()->nChannels, 2);
}

TEST(DeviceFilters, TestPictureCarriesItsFrameNumber) {
    BuiltInDevices builtIn;
    std::vector<uint8_t> frame(static_cast<size_t>(DibStride(320, 24)) * 240);
    ASSERT_TRUE(DrawTestPicture(MEDIASUBTYPE_RGB24, 320, 240, 123456, 0, frame.data(), frame.size()));
    EXPECT_EQ(TestPictureFrameNumber(frame.data(), 320, 240), 123456);
    std::vector<uint8_t> next(frame.size());
    DrawTestPicture(MEDIASUBTYPE_RGB24, 320, 240, 123457, 0, next.data(), next.size());
    EXPECT_NE(frame, next);
    std::vector<uint8_t> small(100);
    EXPECT_FALSE(DrawTestPicture(MEDIASUBTYPE_RGB24, 320, 240, 1, 0, small.data(), small.size()));
    std::vector<uint8_t> yuy2(320 * 240 * 2);
    EXPECT_TRUE(DrawTestPicture(MEDIASUBTYPE_YUY2, 320, 240, 1, 0, yuy2.data(), yuy2.size()));
    EXPECT_FALSE(DrawTestPicture(MEDIASUBTYPE_YUY2, 321, 240, 1, 0, yuy2.data(), yuy2.size()));
}

}  // namespace
