#pragma once
// What the encoder is asked to write, as its two configuration interfaces set it, and the checks
// that keep a bad value out before any file is started.
#include <string>

#include "platform/base/HResult.h"

// The system stream kinds of IMpegEncoderOutput::SetOutputKind.
inline constexpr int kMpegKindSystemStream = 6;   // MPEG-1 system stream
inline constexpr int kMpegKindProgramStream = 7;  // MPEG-2 program stream

struct MpegSettings {
    int kind = kMpegKindSystemStream;
    int videoStandard = 1;  // 1: MPEG-1 video, 2: MPEG-2 video
    int width = 320;
    int height = 240;
    double frameRate = 25.0;
    int videoBitrate = 1150000;
    int maxVideoBitrate = 0;  // 0: no constraint beyond the average rate
    int minVideoBitrate = 0;
    int maxDurationMs = 0;    // 0: no limit
    int audioChannels = 2;
    int audioBitrate = 224000;
    int audioSampleRate = 44100;

    // The checks each setter makes (E_INVALIDARG when out of range).
    static HRESULT CheckKind(int kind);
    static HRESULT CheckVideoStandard(int standard);
    static HRESULT CheckSize(int width, int height);
    // Parses the "%f" text; the rate in *rate.
    static HRESULT ParseFrameRate(const char* text, double* rate);
    static HRESULT CheckVideoBitrate(int bitsPerSecond);
    static HRESULT CheckDuration(int milliseconds);
    static HRESULT CheckAudioChannels(int channels);
    static HRESULT CheckAudioBitrate(int bitsPerSecond);
    static HRESULT CheckAudioSampleRate(int hertz);

    // The whole record, including the combinations no single setter sees.
    HRESULT Validate() const;
};

// A frame rate MPEG video can carry, as a fraction.
struct MpegFrameRate {
    int num = 25;
    int den = 1;
    // Only through the unofficial MPEG-1 rates (needs the encoder's relaxed compliance).
    bool unofficial = false;
};

// The rate written for `requested`: the NTSC rates for their whole parts (23, 29, 59, as the
// program hands them down), otherwise the nearest rate the standard can express.
MpegFrameRate ChooseMpegFrameRate(double requested, bool mpeg2);

// The nearest MP2 bit rate allowed at that sample rate.
int ChooseMp2Bitrate(int requested, int sampleRate);
