#include "platform/wmf/SystemProfiles.h"

#include <cstdio>

namespace {
struct Entry {
    Guid id;
    const char* name;
    // Audio: rate 0 means no audio stream.
    DWORD sampleRate;
    WORD channels;
    DWORD audioKbps;
    // Video: width 0 means no video stream.
    LONG width;
    LONG height;
    REFERENCE_TIME frameInterval;
    DWORD videoKbps;
};

constexpr REFERENCE_TIME k8fps = 1250000;
constexpr REFERENCE_TIME k15fps = 666667;
constexpr REFERENCE_TIME k25fps = 400000;
constexpr REFERENCE_TIME k2997fps = 333667;
constexpr REFERENCE_TIME k30fps = 333333;

const Entry kVersion8[] = {
    {MakeGuid("{DAAC0C0F-C09A-4907-BE6D-90823643B007}"), "Audio for dial-up modems (24 Kbps)", 22050, 1, 24, 0, 0, 0, 0},
    {MakeGuid("{101C1FCE-5BBA-4DA7-8775-C803472EE681}"), "Audio for LAN and broadband (64 Kbps)", 44100, 2, 64, 0, 0, 0, 0},
    {MakeGuid("{2D5C5509-AB56-4A53-8DF3-41669CA9D420}"), "Near CD quality audio (128 Kbps)", 44100, 2, 128, 0, 0, 0, 0},
    {MakeGuid("{325A7201-7470-4136-B729-350BF3AE71DC}"), "Video for dial-up modems, no audio (28.8 Kbps)", 0, 0, 0, 160, 120, k8fps, 28},
    {MakeGuid("{52DFA011-622E-48AE-8FB1-C6B395F1BEAA}"), "Video for LAN, no audio (256 Kbps)", 0, 0, 0, 320, 240, k15fps, 256},
    {MakeGuid("{FFCCE06D-31C9-48AA-9BE4-B96B5667FDC5}"), "Video and audio for dial-up modems (56 Kbps)", 22050, 1, 24, 176, 144, k15fps, 32},
    {kDefaultAsfWriterProfile, "Video and audio for LAN (384 Kbps)", 44100, 2, 64, 320, 240, k25fps, 320},
    {MakeGuid("{2986BC90-5C05-4E72-9A5C-CF728C2365DF}"), "Video and audio for broadband (768 Kbps)", 44100, 2, 96, 640, 480, k25fps, 672},
    {MakeGuid("{79AEAA96-2EEB-4C21-A061-5C087B6028C3}"), "Video and audio for broadband NTSC (1400 Kbps)", 48000, 2, 128, 720, 480, k2997fps, 1272},
    {MakeGuid("{6FE05A62-EE29-4937-B3C0-74BD1259490F}"), "Video and audio for broadband PAL (1400 Kbps)", 48000, 2, 128, 720, 576, k25fps, 1272},
    {MakeGuid("{1BA96491-80FB-4420-A7DF-9D5540DB733C}"), "Video and audio for high-speed LAN (2 Mbps)", 44100, 2, 128, 640, 480, k30fps, 1872},
};

const Entry kVersion7[] = {
    {MakeGuid("{C6D0CD9B-57CE-4AF6-B50D-078255DF43DA}"), "Audio for LAN (64 Kbps, version 7)", 44100, 2, 64, 0, 0, 0, 0},
    {MakeGuid("{321FB6B0-2567-45EB-A778-77ACF8664BA6}"), "Video and audio for dial-up modems (56 Kbps, version 7)", 22050, 1, 24, 176, 144, k15fps, 32},
    {MakeGuid("{60F4B9E5-B1BE-4361-BB65-00F167CF761B}"), "Video and audio for LAN (256 Kbps, version 7)", 44100, 2, 64, 320, 240, k15fps, 192},
};

ProfileDescription Build(const Entry& e, WMT_VERSION version) {
    ProfileDescription p;
    p.version = version;
    p.id = e.id;
    p.name = e.name;
    char text[160];
    bool audio = e.sampleRate != 0, video = e.width != 0;
    std::snprintf(text, sizeof text, "Streams: %d audio %d video", audio ? 1 : 0, video ? 1 : 0);
    p.description = text;
    if (audio) {
        StreamDescription s;
        s.majorType = WMMEDIATYPE_Audio;
        s.streamNumber = 1;
        s.streamName = "Audio Stream";
        s.connectionName = "Audio";
        s.bitrate = e.audioKbps * 1000;
        s.bufferWindow = 5000;
        s.type = MakeWmaType(e.sampleRate, e.channels, s.bitrate);
        p.streams.push_back(std::move(s));
    }
    if (video) {
        StreamDescription s;
        s.majorType = WMMEDIATYPE_Video;
        s.streamNumber = audio ? 2 : 1;
        s.streamName = "Video Stream";
        s.connectionName = "Video";
        s.bitrate = e.videoKbps * 1000;
        s.bufferWindow = 5000;
        s.maxKeyFrameSpacing = 50000000;
        s.quality = 75;
        s.type = MakeWmvType(e.width, e.height, e.frameInterval, s.bitrate);
        p.streams.push_back(std::move(s));
    }
    return p;
}

template <size_t N>
std::vector<ProfileDescription> BuildAll(const Entry (&entries)[N], WMT_VERSION version) {
    std::vector<ProfileDescription> list;
    for (const Entry& e : entries) list.push_back(Build(e, version));
    return list;
}
}  // namespace

const std::vector<ProfileDescription>& SystemProfiles(WMT_VERSION version) {
    static const std::vector<ProfileDescription> v8 = BuildAll(kVersion8, WMT_VER_8_0);
    static const std::vector<ProfileDescription> v7 = BuildAll(kVersion7, WMT_VER_7_0);
    static const std::vector<ProfileDescription> none;
    return version == WMT_VER_8_0 ? v8 : version == WMT_VER_7_0 ? v7 : none;
}

const ProfileDescription* FindSystemProfile(REFGUID id) {
    for (WMT_VERSION version : {WMT_VER_8_0, WMT_VER_7_0}) {
        for (const ProfileDescription& p : SystemProfiles(version)) {
            if (p.id == id) return &p;
        }
    }
    return nullptr;
}
