#include "components/torvane/MpegSettings.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {
// The MPEG-1/2 frame rate table; entries 9-13 are the unofficial MPEG-1 rates.
constexpr int kRateTable[][2] = {{0, 1},  {24000, 1001}, {24, 1}, {25, 1},  {30000, 1001}, {30, 1}, {50, 1},
                                 {60000, 1001}, {60, 1}, {15, 1}, {5, 1}, {10, 1}, {12, 1}, {15, 1}};

// MPEG-1 layer II rates (kbps) at 32/44.1/48 kHz, and at the half rates (MPEG-2 low sample rates).
constexpr int kMp2Rates[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int kMp2LowRates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

bool IsLowSampleRate(int hertz) { return hertz == 16000 || hertz == 22050 || hertz == 24000; }
}  // namespace

HRESULT MpegSettings::CheckKind(int kind) {
    return kind == kMpegKindSystemStream || kind == kMpegKindProgramStream ? S_OK : E_INVALIDARG;
}

HRESULT MpegSettings::CheckVideoStandard(int standard) { return standard == 1 || standard == 2 ? S_OK : E_INVALIDARG; }

HRESULT MpegSettings::CheckSize(int width, int height) {
    // MPEG-1 sizes are 12-bit; 4:2:0 chroma wants even sizes.
    if (width < 16 || height < 16 || width > 4095 || height > 4095) return E_INVALIDARG;
    return width % 2 == 0 && height % 2 == 0 ? S_OK : E_INVALIDARG;
}

HRESULT MpegSettings::ParseFrameRate(const char* text, double* rate) {
    if (!text || !rate) return E_POINTER;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text, &end);
    if (end == text || errno != 0 || !std::isfinite(value)) return E_INVALIDARG;
    while (*end == ' ') ++end;
    if (*end != '\0') return E_INVALIDARG;
    if (value < 1.0 || value > 60.0) return E_INVALIDARG;
    *rate = value;
    return S_OK;
}

HRESULT MpegSettings::CheckVideoBitrate(int bitsPerSecond) {
    return bitsPerSecond >= 32000 && bitsPerSecond <= 80000000 ? S_OK : E_INVALIDARG;
}

HRESULT MpegSettings::CheckDuration(int milliseconds) { return milliseconds >= 0 ? S_OK : E_INVALIDARG; }

HRESULT MpegSettings::CheckAudioChannels(int channels) { return channels == 1 || channels == 2 ? S_OK : E_INVALIDARG; }

HRESULT MpegSettings::CheckAudioBitrate(int bitsPerSecond) {
    return bitsPerSecond >= 8000 && bitsPerSecond <= 384000 ? S_OK : E_INVALIDARG;
}

HRESULT MpegSettings::CheckAudioSampleRate(int hertz) {
    switch (hertz) {
        case 16000: case 22050: case 24000: case 32000: case 44100: case 48000: return S_OK;
        default: return E_INVALIDARG;
    }
}

HRESULT MpegSettings::Validate() const {
    if (FAILED(CheckKind(kind)) || FAILED(CheckVideoStandard(videoStandard)) || FAILED(CheckSize(width, height)) ||
        FAILED(CheckVideoBitrate(videoBitrate)) || FAILED(CheckDuration(maxDurationMs)) ||
        FAILED(CheckAudioChannels(audioChannels)) || FAILED(CheckAudioBitrate(audioBitrate)) ||
        FAILED(CheckAudioSampleRate(audioSampleRate)) || !(frameRate >= 1.0 && frameRate <= 60.0)) {
        return E_INVALIDARG;
    }
    if (maxVideoBitrate != 0 && maxVideoBitrate < videoBitrate) return E_INVALIDARG;
    if (minVideoBitrate != 0 && minVideoBitrate > videoBitrate) return E_INVALIDARG;
    // MPEG-1 video carries no size beyond 4095, MPEG-2 no rate below the table's reach: both
    // already bounded above.
    return S_OK;
}

MpegFrameRate ChooseMpegFrameRate(double requested, bool mpeg2) {
    double whole = std::floor(requested);
    if (requested - whole < 1.0) {
        if (whole == 23) return {24000, 1001, false};
        if (whole == 29) return {30000, 1001, false};
        if (whole == 59) return {60000, 1001, false};
    }
    MpegFrameRate best{25, 1, false};
    double bestError = INFINITY;
    auto consider = [&](int num, int den, bool unofficial) {
        double error = std::fabs(static_cast<double>(num) / den - requested);
        if (error < bestError - 1e-9) {
            bestError = error;
            best = {num, den, unofficial};
        }
    };
    for (size_t i = 1; i < std::size(kRateTable); ++i) {
        bool unofficial = i >= 9;
        if (mpeg2) {
            if (unofficial) break;
            // MPEG-2 scales the table's rates by (n + 1) / (d + 1), n < 4, d < 32.
            for (int n = 1; n <= 4; ++n) {
                for (int d = 1; d <= 32; ++d) {
                    int a = n, b = d;
                    while (b) { int t = a % b; a = b; b = t; }
                    if (a != 1) continue;
                    consider(kRateTable[i][0] * n, kRateTable[i][1] * d, false);
                }
            }
        } else {
            consider(kRateTable[i][0], kRateTable[i][1], unofficial);
        }
    }
    // Reduce the fraction.
    int a = best.num, b = best.den;
    while (b) { int t = a % b; a = b; b = t; }
    best.num /= a;
    best.den /= a;
    return best;
}

int ChooseMp2Bitrate(int requested, int sampleRate) {
    const int* begin = IsLowSampleRate(sampleRate) ? std::begin(kMp2LowRates) : std::begin(kMp2Rates);
    const int* end = IsLowSampleRate(sampleRate) ? std::end(kMp2LowRates) : std::end(kMp2Rates);
    int best = *begin * 1000;
    for (const int* p = begin; p != end; ++p) {
        if (std::abs(*p * 1000 - requested) < std::abs(best - requested)) best = *p * 1000;
    }
    return best;
}
