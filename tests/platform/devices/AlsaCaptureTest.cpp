// An ALSA capture device inside the audio capture filter, over ALSA's "null" PCM (no sound card
// is touched): the pin opens the PCM in the connected format (reading it as another format would
// overrun the samples, which the sanitizer build sees) and time-stamps what it reads without gaps.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/devices/CaptureDevices.h"
#include "platform/dshow/MediaType.h"
#include "tests/platform/devices/CaptureGraph.h"

namespace {

// Whether this machine's ALSA offers the null capture PCM at all (a library built without the
// plugin has none); asked of ALSA itself, so that a failure of our own filter is never skipped.
bool NullPcmOpens() {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "null", SND_PCM_STREAM_CAPTURE, 0) < 0) return false;
    snd_pcm_close(pcm);
    return true;
}

TEST(AlsaCapture, FilterReadsThePcmInTheConnectedFormat) {
    if (!NullPcmOpens()) GTEST_SKIP() << "this ALSA has no null PCM";
    DeviceDescription null;
    null.kind = DeviceKind::Audio;
    null.name = "Null";
    null.backend = "alsa";
    null.path = "null";
    ComPtr<IBaseFilter> device;
    ASSERT_EQ(BindCaptureDevice(null, device.ReleaseAndGetAddressOf()), S_OK);

    // Mono 22050 Hz instead of the description's stereo 44100: the PCM must be opened so.
    ComPtr<IPin> capture;
    ASSERT_EQ(device->FindPin("Capture", capture.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IAMStreamConfig> config = QueryAs<IAMStreamConfig>(capture.Get());
    ASSERT_TRUE(config);
    AM_MEDIA_TYPE mono = MakePcmAudioType(22050, 1, 16);
    ASSERT_EQ(config->SetFormat(&mono), S_OK);

    CaptureGraph run;
    ASSERT_EQ(run.Add(device.Get()), S_OK);
    ASSERT_EQ(run.Render(MEDIATYPE_Audio), S_OK);
    ASSERT_TRUE(SUCCEEDED(run.Run()));
    for (int i = 0; i < 100 && run.log->Samples().size() < 5; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    run.Stop();

    auto chunks = run.log->Samples();
    ASSERT_GE(chunks.size(), 5u);
    // Contiguous times counted from the frames read (16-bit mono: two bytes a frame at 22050 Hz).
    REFERENCE_TIME expectedStart = 0;
    int64_t frames = 0;
    for (const CapturedSample& c : chunks) {
        ASSERT_GT(c.length, 0);
        EXPECT_EQ(c.length % 2, 0);
        EXPECT_EQ(c.start, expectedStart);
        frames += c.length / 2;
        EXPECT_EQ(c.stop, frames * UNITS / 22050);
        expectedStart = c.stop;
    }
}

}  // namespace
