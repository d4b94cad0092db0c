// The V4L2 backend against recorded driver answers: a UVC webcam and an analogue TV card.
#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/devices/AnalogVideoDecoder.h"
#include "platform/devices/Crossbar.h"
#include "platform/devices/DeviceControls.h"
#include "platform/devices/DroppedFrames.h"
#include "platform/devices/TvTuner.h"
#include "platform/devices/VideoSubtypes.h"
#include "platform/devices/v4l2/V4l2Driver.h"
#include "platform/devices/v4l2/V4l2Probe.h"
#include "platform/devices/v4l2/V4l2Stream.h"
#include "tests/platform/devices/FakeV4l2Api.h"

namespace {

bool Logged(const FakeV4l2Api& api, const std::string& line) {
    return std::find(api.Log().begin(), api.Log().end(), line) != api.Log().end();
}

// A bound device: its state with a V4L2 driver on an open descriptor.
struct BoundDevice {
    std::shared_ptr<FakeV4l2Api> api;
    V4l2DeviceInfo info;
    std::shared_ptr<DeviceState> state;
    V4l2Driver* driver = nullptr;

    explicit BoundDevice(const std::string& recording) : api(FakeV4l2Api::FromRecording(recording)) {
        int fd = api->Open("/dev/video0", 0);
        auto probed = ProbeV4l2Device(*api, fd, "/dev/video0");
        EXPECT_TRUE(probed.has_value());
        info = *probed;
        auto d = std::make_unique<V4l2Driver>(api, fd, info);
        driver = d.get();
        state = std::make_shared<DeviceState>(info.description, std::move(d));
    }
};

TEST(V4l2Probe, WebcamNamesFormatsAndSizes) {
    auto api = FakeV4l2Api::FromRecording("v4l2-uvc-webcam.json");
    auto info = ProbeV4l2Node(*api, "/dev/video0");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(api->OpenCount(), 0);  // probing leaves nothing open
    EXPECT_EQ(info->description.name, "USB 2.0 Camera: HD USB Camera");
    EXPECT_EQ(info->busInfo, "usb-0000:00:14.0-2");
    EXPECT_EQ(info->description.backend, "v4l2");

    // Discrete sizes: one fixed capability each, in the driver's order, YUYV as YUY2.
    const auto& caps = info->description.captureCaps;
    ASSERT_EQ(caps.size(), 6u);
    EXPECT_EQ(caps[0].subtype, VideoSubtypeByName("YUY2")->subtype);
    EXPECT_FALSE(caps[0].IsScalable());
    EXPECT_EQ(std::make_pair(caps[0].maxWidth, caps[0].maxHeight), std::make_pair(640, 480));
    EXPECT_EQ(std::make_pair(caps[1].maxWidth, caps[1].maxHeight), std::make_pair(160, 120));
    EXPECT_EQ(caps[0].minFrameInterval, 333333);  // 1/30 s fastest
    EXPECT_EQ(caps[0].maxFrameInterval, 666667);
    EXPECT_EQ(caps[3].minFrameInterval, 1000000);  // 720p only at 10 fps
    EXPECT_EQ(caps[3].defaultFrameInterval, 1000000);
    EXPECT_EQ(caps[4].subtype, VideoSubtypeByName("MJPG")->subtype);
    EXPECT_EQ(caps[4].compression, Guid::FourCC('M', 'J', 'P', 'G'));
    // One stream a node: no preview pin, which would fight the capture pin for the device.
    EXPECT_FALSE(info->description.previewCaps.has_value());

    // A camera has no crossbar, tuner or decoder.
    EXPECT_FALSE(info->description.crossbar);
    EXPECT_FALSE(info->description.tuner);
    EXPECT_FALSE(info->description.decoder);
}

TEST(V4l2Probe, MetadataNodeIsNotACaptureDevice) {
    auto api = FakeV4l2Api::FromRecording("v4l2-uvc-webcam.json");
    EXPECT_EQ(api->ListNodes().size(), 2u);
    EXPECT_FALSE(ProbeV4l2Node(*api, "/dev/video1").has_value());
    EXPECT_FALSE(ProbeV4l2Node(*api, "/dev/video7").has_value());
}

TEST(V4l2Probe, WebcamControlsMapToProcAmpAndCamera) {
    auto api = FakeV4l2Api::FromRecording("v4l2-uvc-webcam.json");
    auto info = ProbeV4l2Node(*api, "/dev/video0");
    ASSERT_TRUE(info.has_value());
    auto find = [](const std::vector<ControlDescription>& list, LONG property) -> const ControlDescription* {
        for (const auto& c : list)
            if (c.property == property) return &c;
        return nullptr;
    };
    const auto& procAmp = info->description.procAmp;
    const ControlDescription* brightness = find(procAmp, VideoProcAmp_Brightness);
    ASSERT_TRUE(brightness);
    EXPECT_EQ(std::make_tuple(brightness->min, brightness->max, brightness->defaultValue, brightness->value),
              std::make_tuple(-64, 64, 0, 10));
    EXPECT_EQ(brightness->capsFlags, 0x2);  // no automatic brightness on this camera
    const ControlDescription* white = find(procAmp, VideoProcAmp_WhiteBalance);
    ASSERT_TRUE(white);
    EXPECT_EQ(white->capsFlags, 0x3);   // the automatic white balance companion exists
    EXPECT_EQ(white->valueFlags, 0x1);  // ... and is on
    EXPECT_EQ(white->v4l2AutoId, static_cast<uint32_t>(V4L2_CID_AUTO_WHITE_BALANCE));
    const ControlDescription* gain = find(procAmp, VideoProcAmp_Gain);
    ASSERT_TRUE(gain);
    EXPECT_EQ(gain->capsFlags, 0x2);  // no AUTOGAIN control
    EXPECT_TRUE(find(procAmp, VideoProcAmp_BacklightCompensation));
    EXPECT_FALSE(find(procAmp, VideoProcAmp_ColorEnable));

    const auto& camera = info->description.cameraControl;
    const ControlDescription* exposure = find(camera, CameraControl_Exposure);
    ASSERT_TRUE(exposure);
    EXPECT_EQ(std::make_tuple(exposure->min, exposure->max, exposure->capsFlags, exposure->valueFlags),
              std::make_tuple(1, 5000, 0x3, 0x1));  // aperture priority counts as automatic
    EXPECT_FALSE(find(camera, CameraControl_Tilt));  // flagged disabled by the driver
    EXPECT_FALSE(find(camera, CameraControl_Focus));
}

TEST(V4l2Driver, ControlWritesSwitchTheAutoCompanionFirst) {
    BoundDevice device("v4l2-uvc-webcam.json");
    auto camera = MakeCom<CameraControl>(device.state);
    auto procAmp = MakeCom<VideoProcAmp>(device.state);

    // Writing a manual exposure while auto exposure is on: auto off first, else UVC answers EBUSY.
    ASSERT_EQ(camera->Set(CameraControl_Exposure, 300, CameraControl_Flags_Manual), S_OK);
    const auto& log = device.api->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "S_CTRL 0x009a0901=1");
    EXPECT_EQ(log.back(), "S_CTRL 0x009a0902=300");
    LONG value = 0, flags = 0;
    ASSERT_EQ(camera->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(std::make_pair(value, flags), std::make_pair(300, 2));

    ASSERT_EQ(camera->Set(CameraControl_Exposure, 0, CameraControl_Flags_Auto), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_CTRL 0x009a0901=3");
    camera->Get(CameraControl_Exposure, &value, &flags);
    EXPECT_EQ(flags, 1);

    // A control without companion refuses auto; a plain write goes straight through.
    EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Auto), E_INVALIDARG);
    ASSERT_EQ(procAmp->Set(VideoProcAmp_Brightness, -20, VideoProcAmp_Flags_Manual), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_CTRL 0x00980900=-20");
    EXPECT_EQ(procAmp->Set(VideoProcAmp_WhiteBalance, 5000, VideoProcAmp_Flags_Manual), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_CTRL 0x0098091a=5000");
}

TEST(V4l2Probe, AnalogCardScalesAndHasCrossbarTunerDecoder) {
    auto api = FakeV4l2Api::FromRecording("v4l2-analog-tv-card.json");
    auto info = ProbeV4l2Node(*api, "/dev/video0");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->description.name, "UNKNOWN/GENERIC");

    // No size enumeration: every known format scales over the TRY_FMT range; GREY is skipped.
    EXPECT_FALSE(info->description.previewCaps.has_value());
    const auto& caps = info->description.captureCaps;
    ASSERT_EQ(caps.size(), 7u);
    EXPECT_EQ(caps[0].subtype, VideoSubtypeByName("RGB555")->subtype);
    EXPECT_EQ(caps[2].subtype, VideoSubtypeByName("RGB24")->subtype);
    EXPECT_EQ(caps[6].subtype, VideoSubtypeByName("I420")->subtype);
    EXPECT_TRUE(caps[4].IsScalable());
    EXPECT_EQ(std::make_tuple(caps[4].minWidth, caps[4].minHeight, caps[4].maxWidth, caps[4].maxHeight),
              std::make_tuple(48, 32, 720, 576));
    EXPECT_EQ(caps[4].defaultFrameInterval, 400000);  // 1/25 from the PAL standard

    ASSERT_TRUE(info->description.crossbar);
    const CrossbarDescription& crossbar = *info->description.crossbar;
    ASSERT_EQ(crossbar.inputs.size(), 5u);
    EXPECT_EQ(crossbar.inputs[0].physicalType, PhysConn_Video_Tuner);
    EXPECT_EQ(crossbar.inputs[1].physicalType, PhysConn_Video_Composite);
    EXPECT_EQ(crossbar.inputs[2].physicalType, PhysConn_Video_SVideo);
    EXPECT_EQ(crossbar.inputs[3].physicalType, PhysConn_Audio_Tuner);
    EXPECT_EQ(crossbar.inputs[4].physicalType, PhysConn_Audio_Line);
    EXPECT_EQ(crossbar.inputs[0].related, 3);  // audioset bit 0: the tuner sound
    EXPECT_EQ(crossbar.inputs[2].related, 4);
    ASSERT_EQ(crossbar.outputs.size(), 2u);
    EXPECT_EQ(crossbar.routes, (std::vector<LONG>{1, 4}));  // G_INPUT 1, G_AUDIO 1

    ASSERT_TRUE(info->description.tuner);
    EXPECT_EQ(info->description.tuner->availableModes, AMTUNER_MODE_TV);
    EXPECT_FALSE(info->description.tuner->hasChannelTable);
    EXPECT_EQ(info->tunerIndex, 0);
    EXPECT_FALSE(info->tunerLowUnits);

    ASSERT_TRUE(info->description.decoder);
    LONG standards = info->description.decoder->availableTvFormats;
    EXPECT_TRUE(standards & AnalogVideo_PAL_B);
    EXPECT_TRUE(standards & AnalogVideo_PAL_I);
    EXPECT_TRUE(standards & AnalogVideo_NTSC_M);
    EXPECT_TRUE(standards & AnalogVideo_SECAM_L);
    EXPECT_TRUE(standards & AnalogVideo_PAL_N_COMBO);
    EXPECT_EQ(info->description.decoder->tvFormat, AnalogVideo_PAL_B);
    EXPECT_FALSE(info->description.decoder->horizontalLocked);  // the composite input has no signal

    EXPECT_TRUE(info->hasAudioMute);
    EXPECT_EQ(info->description.procAmp.size(), 4u);
    EXPECT_TRUE(info->description.cameraControl.empty());
}

TEST(V4l2Driver, CrossbarRoutesSelectInputsAndMuteSound) {
    BoundDevice device("v4l2-analog-tv-card.json");
    auto crossbar = MakeCom<Crossbar>(device.state);
    ASSERT_EQ(crossbar->Route(0, 2), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_INPUT 2");
    ASSERT_EQ(crossbar->Route(1, 3), S_OK);
    EXPECT_TRUE(Logged(*device.api, "S_AUDIO 0"));
    EXPECT_EQ(device.api->Log().back(), "S_CTRL 0x00980909=0");
    ASSERT_EQ(crossbar->Route(1, -1), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_CTRL 0x00980909=1");
    EXPECT_EQ(crossbar->Route(0, -1), E_INVALIDARG);  // the decoder always shows some input
}

TEST(V4l2Driver, TunerTunesByChannelPlanAndMeasuresSignal) {
    BoundDevice device("v4l2-analog-tv-card.json");
    auto tuner = MakeCom<TvTuner>(device.state);
    ASSERT_EQ(tuner->put_CountryCode(1), S_OK);
    ASSERT_EQ(tuner->put_InputType(0, TunerInputAntenna), S_OK);
    LONG min = 0, max = 0;
    tuner->ChannelMinMax(&min, &max);
    EXPECT_EQ(std::make_pair(min, max), std::make_pair(2, 69));

    // US UHF 14 is 471.25 MHz: 7540 in 62.5 kHz units; the recording has a carrier there.
    ASSERT_EQ(tuner->put_Channel(14, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_FREQUENCY 7540");
    LONG signal = -5;
    tuner->SignalPresent(&signal);
    EXPECT_EQ(signal, AMTUNER_SIGNALPRESENT);
    // US VHF 7 (175.25 MHz) is silent.
    ASSERT_EQ(tuner->put_Channel(7, 0, 0), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_FREQUENCY 2804");
    LONG found = -1;
    ASSERT_EQ(tuner->AutoTune(8, &found), S_OK);
    EXPECT_EQ(found, 0);
    ASSERT_EQ(tuner->AutoTune(7, &found), S_OK);
    EXPECT_EQ(found, 1);  // the recording has a carrier at 2804 as well

    // European plan: E5 = 175.25 MHz as well, E21 = 471.25 MHz.
    ASSERT_EQ(tuner->put_CountryCode(49), S_OK);
    ASSERT_EQ(tuner->put_Channel(21, 0, 0), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_FREQUENCY 7540");
    EXPECT_EQ(tuner->put_Channel(15, 0, 0), E_INVALIDARG);  // no channel E15
}

TEST(V4l2Driver, DecoderSetsTheStandard) {
    BoundDevice device("v4l2-analog-tv-card.json");
    auto decoder = MakeCom<AnalogVideoDecoder>(device.state);
    ASSERT_EQ(decoder->put_TVFormat(AnalogVideo_PAL_D), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_STD 0x000000e0");
    ASSERT_EQ(decoder->put_TVFormat(AnalogVideo_NTSC_M), S_OK);
    EXPECT_EQ(device.api->Log().back(), "S_STD 0x00001000");
    LONG locked = 1;
    decoder->get_HorizontalLocked(&locked);
    EXPECT_EQ(locked, 0);
    auto crossbar = MakeCom<Crossbar>(device.state);
    crossbar->Route(0, 0);  // the tuner input has a picture
    decoder->get_HorizontalLocked(&locked);
    EXPECT_EQ(locked, 1);
}

TEST(V4l2Stream, SequenceGapsAndErrorsCountAsDropped) {
    BoundDevice device("v4l2-uvc-webcam.json");
    V4l2Stream stream(*device.api, device.driver->Fd(), device.state->dropped);
    v4l2_pix_format chosen{};
    ASSERT_EQ(stream.SetFormat(V4L2_PIX_FMT_YUYV, 330, 250, 666667, &chosen), S_OK);
    EXPECT_EQ(std::make_pair(chosen.width, chosen.height), std::make_pair(320u, 240u));  // nearest size
    EXPECT_TRUE(Logged(*device.api, "S_PARM 666667/10000000"));
    ASSERT_EQ(stream.Start(4), S_OK);
    EXPECT_EQ(device.api->MappedBuffers(), 4);
    // The format cannot change while buffers exist.
    EXPECT_TRUE(FAILED(stream.SetFormat(V4L2_PIX_FMT_YUYV, 640, 480, 0, nullptr)));

    std::vector<uint32_t> delivered;
    std::vector<uint8_t> firstBytes;
    for (int i = 0; i < 10; ++i) {
        HRESULT hr = stream.ReadFrame(10, [&](const V4l2Frame& frame) {
            delivered.push_back(frame.sequence);
            firstBytes.push_back(frame.data[0]);
            EXPECT_EQ(frame.size, 320u * 240u * 2u);
        });
        ASSERT_TRUE(SUCCEEDED(hr));
    }
    // Recorded sequence 0 1 2 5 6 7 with 6 flagged as an error.
    EXPECT_EQ(delivered, (std::vector<uint32_t>{0, 1, 2, 5, 7}));
    EXPECT_EQ(firstBytes, (std::vector<uint8_t>{0, 1, 2, 5, 7}));
    auto dropped = MakeCom<DroppedFrames>(device.state);
    LONG count = 0;
    dropped->GetNumDropped(&count);
    EXPECT_EQ(count, 3);  // 3 and 4 never came, 6 came broken
    dropped->GetNumNotDropped(&count);
    EXPECT_EQ(count, 5);
    LONG frames[8] = {}, copied = 0;
    dropped->GetDroppedInfo(8, frames, &copied);
    EXPECT_EQ(std::vector<LONG>(frames, frames + copied), (std::vector<LONG>{3, 4, 6}));

    stream.Stop();
    EXPECT_EQ(device.api->MappedBuffers(), 0);
    EXPECT_TRUE(Logged(*device.api, "STREAMOFF"));
    EXPECT_EQ(device.api->Log().back(), "REQBUFS 0");
    EXPECT_EQ(stream.SetFormat(V4L2_PIX_FMT_YUYV, 640, 480, 0, nullptr), S_OK);
}

}  // namespace
