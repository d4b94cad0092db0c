#include "components/scrivel/FlashSettings.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>

namespace {
// MPEG-1 layer III (32, 44.1, 48 kHz), MPEG-2 (16, 22.05, 24 kHz) and MPEG-2.5 (8, 11.025, 12 kHz).
constexpr std::array<int, 14> kMpeg1Kbps{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2Kbps{8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 8> kMpeg25Kbps{8, 16, 24, 32, 40, 48, 56, 64};

template <class Values>
int Nearest(const Values& values, int value) {
    int best = values[0];
    for (int v : values)
        if (std::abs(v - value) < std::abs(best - value)) best = v;
    return best;
}

int EvenWithin(int value, int low, int high) {
    value = std::clamp(value, low, high);
    return value % 2 ? std::min(value + 1, high) : value;
}
}  // namespace

int FlashSampleRate(int hertz) { return Nearest(std::array<int, 3>{44100, 22050, 11025}, hertz); }

int Mp3Bitrate(int bitsPerSecond, int sampleRate) {
    const int kbps = bitsPerSecond / 1000;
    if (sampleRate >= 32000) return Nearest(kMpeg1Kbps, kbps) * 1000;
    if (sampleRate >= 16000) return Nearest(kMpeg2Kbps, kbps) * 1000;
    return Nearest(kMpeg25Kbps, kbps) * 1000;
}

FlashSettings ClampFlashSettings(FlashSettings s) {
    s.audioSampleRate = FlashSampleRate(s.audioSampleRate);
    s.audioBitrate = Mp3Bitrate(s.audioBitrate, s.audioSampleRate);
    s.audioChannels = std::clamp(s.audioChannels, 1, 2);
    s.width = EvenWithin(s.width, 2, 4096);
    s.height = EvenWithin(s.height, 2, 4096);
    s.framesPerSecond = std::clamp(s.framesPerSecond, 1, 120);
    s.videoBitrate = std::clamp(s.videoBitrate, 20000, 20000000);
    return s;
}
