#pragma once
// The two configuration interfaces of the outside MPEG encoder filter, created by its class
// identifier. The session calls them by slot; the slot order below is the binary contract with
// the encoder module and must not change.
#include "platform/com/Unknown.h"

inline constexpr CLSID CLSID_MpegEncoder = MakeGuid("{9ED2B05D-1909-4CE3-8B88-B9F01B3B9D5D}");

// Output kind values the session passes to SetOutputKind.
inline constexpr int kMpegOutputMpeg1 = 6;  // OutputType 2
inline constexpr int kMpegOutputMpeg2 = 7;  // OutputType above 2

struct IMpegEncoderOutput : IUnknown {
    static constexpr IID iid = MakeGuid("{7F9C7AD3-9A0C-4B2E-AA51-3C8802ED3FB4}");
    virtual HRESULT GetOutputKind(int* kind) = 0;
    virtual HRESULT SetOutputKind(int kind) = 0;

protected:
    ~IMpegEncoderOutput() = default;
};

struct IMpegEncoderSettings : IUnknown {
    static constexpr IID iid = MakeGuid("{1DE5F22F-D5D1-4980-9797-AC9931399A08}");
    virtual HRESULT SetStreamType(int type) = 0;                  // 1: MPEG-1, 2: MPEG-2
    virtual HRESULT SetVideoBitrate(int bitsPerSecond) = 0;       // 2
    virtual HRESULT SetVideoSize(int width, int height) = 0;      // 3
    virtual HRESULT SetFrameRate(const char* framesPerSecond) = 0; // 4, "%f" text
    virtual HRESULT Reserved5() = 0;
    virtual HRESULT SetMaxVideoBitrate(int bitsPerSecond) = 0;    // 6
    virtual HRESULT SetMinVideoBitrate(int bitsPerSecond) = 0;    // 7
    virtual HRESULT SetMaxDuration(int milliseconds) = 0;         // 8
    virtual HRESULT SetPreset(int preset) = 0;                    // 9
    virtual HRESULT Reserved10() = 0;
    virtual HRESULT Reserved11() = 0;
    virtual HRESULT Reserved12() = 0;
    virtual HRESULT Reserved13() = 0;
    virtual HRESULT Reserved14() = 0;
    virtual HRESULT Reserved15() = 0;
    virtual HRESULT Reserved16() = 0;
    virtual HRESULT Reserved17() = 0;
    virtual HRESULT Reserved18() = 0;
    virtual HRESULT Reserved19() = 0;
    virtual HRESULT SetAudioBitrate(int bitsPerSecond) = 0;       // 20
    virtual HRESULT SetAudioChannels(int channels) = 0;           // 21
    virtual HRESULT SetAudioSampleRate(int hertz) = 0;            // 22

protected:
    ~IMpegEncoderSettings() = default;
};
