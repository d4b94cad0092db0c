#pragma once
// What a Flash file (FLV or SWF, flv1 video and MP3 sound) is written with, and the limits both
// containers put on it: MP3 in them is 44100, 22050 or 11025 Hz, at the bit rates MP3 has for
// that rate.
#include <cstdint>

enum class FlashContainer : uint8_t { Flv, Swf };

struct FlashSettings {
    FlashContainer container = FlashContainer::Flv;
    int width = 320;  // even
    int height = 240;
    int framesPerSecond = 10;
    int videoBitrate = 400000;  // bit/s
    int audioBitrate = 64000;   // bit/s
    int audioChannels = 2;
    int audioSampleRate = 22050;
};

// The container's sample rate nearest to `hertz`.
int FlashSampleRate(int hertz);
// The MP3 bit rate (bit/s) nearest to `bitsPerSecond` among those MP3 has at `sampleRate`.
int Mp3Bitrate(int bitsPerSecond, int sampleRate);
// The settings brought inside the limits: sample rate and audio bit rate as above, one or two
// channels, sizes raised to even and kept within 2..4096, 1..120 frames a second, video 20 kbit/s
// to 20 Mbit/s.
FlashSettings ClampFlashSettings(FlashSettings settings);
