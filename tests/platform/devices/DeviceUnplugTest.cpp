// Devices that go away while they stream: a virtual device described to be pulled out, and an
// ALSA card behind the seam that the test pulls out. Each delivers what it caught before, then
// fails its reads with ENODEV, which reaches the graph as one EC_ERRORABORT.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/devices/SystemDeviceEnum.h"
#include "platform/devices/alsa/AlsaPcmApi.h"
#include "platform/dshow/GraphEvents.h"
#include "tests/platform/devices/CaptureGraph.h"
#include "tests/platform/devices/FakeAlsaPcmApi.h"
#include "tests/support/TestEnvironment.h"

namespace {

void UseDevices(const std::string& json) {
    auto file = testing_support::TestEnvironment::Current().Dir() / "devices.json";
    std::ofstream(file) << json;
    setenv("ORVANTA_DEVICES", file.c_str(), 1);
}

// The first device of the category, bound as the session binds it.
ComPtr<IBaseFilter> BindFirst(const Guid& category) {
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IBaseFilter> filter;
    ComPtr<IEnumMoniker> list;
    ComPtr<IMoniker> moniker;
    if (SUCCEEDED(CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf())) &&
        devices->CreateClassEnumerator(category, list.ReleaseAndGetAddressOf(), 0) == S_OK &&
        list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK)
        moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid,
                              filter.ReleaseAndGetVoidAddress());
    return filter;
}

struct Abort {
    LONG code = 0;
    HRESULT hr = S_OK;
    int count = 0;  // error events seen in all
};

// Waits up to `ms` for the graph's first error event, then collects any that follow it.
Abort WaitForAbort(CaptureGraph& run, LONG ms) {
    Abort abort;
    ComPtr<IMediaEventEx> events = QueryAs<IMediaEventEx>(run.graph.Get());
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    LONG wait = ms;
    while (events && events->GetEvent(&code, &p1, &p2, wait) == S_OK) {
        events->FreeEventParams(code, p1, p2);
        if (code != EC_ERRORABORT) continue;
        if (abort.count++ == 0) abort = {code, static_cast<HRESULT>(p1), 1};
        wait = 300;  // a second report would come at once
    }
    return abort;
}

TEST(DeviceUnplug, AVirtualCameraDeliversItsFramesUntilItIsPulledOutThenFailsWithENODEV) {
    UseDevices(
        R"({"devices": [{"name": "Short Camera", "capture": [{"format": "RGB24", "width": 160,
      "height": 120, "frameRate": 10}], "unplugAfter": 0.5}]})");
    ComPtr<IBaseFilter> camera = BindFirst(CLSID_VideoInputDeviceCategory);
    ASSERT_TRUE(camera);
    CaptureGraph run;
    ASSERT_EQ(run.Add(camera.Get()), S_OK);
    ASSERT_EQ(run.Render(MEDIATYPE_Video), S_OK);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(SUCCEEDED(run.Run()));
    const Abort abort = WaitForAbort(run, 5000);
    const qint64 gone = clock.elapsed();
    run.Stop();

    ASSERT_EQ(abort.count, 1);
    EXPECT_EQ(abort.hr, HResultFromErrno(ENODEV));
    // The stream clock cannot run ahead of the wall clock: the device went no earlier than 0.5 s.
    EXPECT_GE(gone, 490);
    const auto frames = run.log->Samples();
    ASSERT_FALSE(frames.empty());
    EXPECT_LE(frames.size(), 5u);
    for (const CapturedSample& f : frames)
        EXPECT_LT(f.start, UNITS / 2) << "a frame from after the unplug";
}

TEST(DeviceUnplug, AVirtualMicrophoneDeliversWholeChunksUntilItIsPulledOutThenFailsWithENODEV) {
    UseDevices(R"({"devices": [{"name": "Short Microphone", "kind": "audio", "sampleRate": 8000,
      "channels": 1, "unplugAfter": 0.35}]})");
    ComPtr<IBaseFilter> microphone = BindFirst(CLSID_AudioInputDeviceCategory);
    ASSERT_TRUE(microphone);
    CaptureGraph run;
    ASSERT_EQ(run.Add(microphone.Get()), S_OK);
    ASSERT_EQ(run.Render(MEDIATYPE_Audio), S_OK);
    run.log->keepData = true;
    ASSERT_TRUE(SUCCEEDED(run.Run()));
    const Abort abort = WaitForAbort(run, 5000);
    run.Stop();

    ASSERT_EQ(abort.count, 1);
    EXPECT_EQ(abort.hr, HResultFromErrno(ENODEV));
    // Chunks of 100 ms: the three that ended before 0.35 s, not the one cut by the unplug.
    const auto chunks = run.log->Samples();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks.back().stop, 3 * UNITS / 10);
    // What it caught is its tone at half scale, one unbroken wave across the chunks.
    std::vector<int16_t> tone;
    for (const CapturedSample& chunk : chunks) {
        ASSERT_EQ(chunk.data.size(), 1600u);
        const size_t at = tone.size();
        tone.resize(at + 800);
        std::memcpy(tone.data() + at, chunk.data.data(), chunk.data.size());
    }
    for (size_t n = 0; n < tone.size(); ++n) {
        const double expected = 0.5 * 32767.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(n) / 8000.0);
        ASSERT_NEAR(tone[n], expected, 1.0) << "sample " << n;
    }
}

TEST(DeviceUnplug, AnAlsaCardPulledOutFailsTheReadsWithENODEVAndItsPcmIsClosed) {
    auto card = std::make_shared<FakeAlsaPcmApi>();
    UseAlsaPcmApi(card);
    setenv("ORVANTA_DEVICE_BACKENDS", "alsa", 1);
    ComPtr<IBaseFilter> device = BindFirst(CLSID_AudioInputDeviceCategory);
    ASSERT_TRUE(device);
    {
        CaptureGraph run;
        ASSERT_EQ(run.Add(device.Get()), S_OK);
        ASSERT_EQ(run.Render(MEDIATYPE_Audio), S_OK);
        ASSERT_TRUE(SUCCEEDED(run.Run()));
        for (int i = 0; i < 200 && run.log->Samples().size() < 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(run.log->Samples().size(), 3u);
        EXPECT_EQ(card->OpenPcms(), 1);
        card->Unplug();
        const Abort abort = WaitForAbort(run, 5000);
        ASSERT_EQ(abort.count, 1);
        EXPECT_EQ(abort.hr, HResultFromErrno(ENODEV));
        const size_t caught = run.log->Samples().size();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(run.log->Samples().size(), caught) << "samples after the card was gone";
        run.Stop();
    }
    EXPECT_EQ(card->OpenPcms(), 0);
    UseAlsaPcmApi(nullptr);
}

}  // namespace
