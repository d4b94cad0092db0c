// What the Flash containers and MP3 allow, and the recording volume's arithmetic.
#include <gtest/gtest.h>

#include "components/scrivel/FlashSettings.h"
#include "components/scrivel/VolumeFilter.h"

namespace {

TEST(FlashSettings, SoundIsKeptToTheRatesAndBitRatesMp3HasInTheContainers) {
    EXPECT_EQ(FlashSampleRate(48000), 44100);
    EXPECT_EQ(FlashSampleRate(32000), 22050);
    EXPECT_EQ(FlashSampleRate(16000), 11025);
    EXPECT_EQ(FlashSampleRate(8000), 11025);
    // MPEG-1 rates stop at 320 kbit/s and start at 32; MPEG-2 at 160, MPEG-2.5 at 64.
    EXPECT_EQ(Mp3Bitrate(500000, 44100), 320000);
    EXPECT_EQ(Mp3Bitrate(8000, 44100), 32000);
    EXPECT_EQ(Mp3Bitrate(320000, 22050), 160000);
    EXPECT_EQ(Mp3Bitrate(128000, 11025), 64000);
    EXPECT_EQ(Mp3Bitrate(100000, 44100), 96000);

    FlashSettings s;
    s.width = 801;
    s.height = 1;
    s.framesPerSecond = 0;
    s.audioChannels = 6;
    s.audioSampleRate = 48000;
    s.audioBitrate = 500000;
    s.videoBitrate = 1;
    FlashSettings c = ClampFlashSettings(s);
    EXPECT_EQ(c.width, 802);
    EXPECT_EQ(c.height, 2);
    EXPECT_EQ(c.framesPerSecond, 1);
    EXPECT_EQ(c.audioChannels, 2);
    EXPECT_EQ(c.audioSampleRate, 44100);
    EXPECT_EQ(c.audioBitrate, 320000);
    EXPECT_EQ(c.videoBitrate, 20000);
}

TEST(Volume, SamplesAreScaledBelowFullVolumeOnly) {
    int16_t samples[] = {32767, -32768, 1000, -1000};
    ApplyGain(samples, 4, 1.0);
    EXPECT_EQ(samples[0], 32767);
    EXPECT_EQ(samples[1], -32768);
    ApplyGain(samples, 4, 0.5);
    EXPECT_EQ(samples[0], 16383);
    EXPECT_EQ(samples[1], -16384);
    EXPECT_EQ(samples[2], 500);
    EXPECT_EQ(samples[3], -500);
    ApplyGain(samples, 4, 0.0);
    for (int16_t s : samples) EXPECT_EQ(s, 0);
}

}  // namespace
