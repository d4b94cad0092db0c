#include <gtest/gtest.h>

#include <vector>

#include "platform/wmf/ProfileParser.h"
#include "platform/wmf/WmfInterfaces.h"
#include "tests/platform/wmf/ProfileFiles.h"

using namespace wmf_test;

namespace {
struct Shipped {
    const char* stem;
    LONG width, height;
    REFERENCE_TIME interval;
    DWORD videoBitrate, audioBitrate, sampleRate;
    WORD channels;
};

// What data/WMVFiles promises for each file (the generator's table).
const Shipped kShipped[] = {
    {"176x144-l", 176, 144, 666667, 64000, 32000, 22050, 1},      {"176x144-m", 176, 144, 400000, 128000, 48000, 32000, 2},
    {"176x144", 176, 144, 400000, 256000, 64000, 44100, 2},       {"320x240-l", 320, 240, 666667, 192000, 32000, 22050, 1},
    {"320x240-m", 320, 240, 400000, 384000, 64000, 44100, 2},     {"320x240", 320, 240, 400000, 768000, 96000, 44100, 2},
    {"640x480-l", 640, 480, 666667, 600000, 48000, 32000, 2},     {"640x480-m", 640, 480, 400000, 1200000, 96000, 44100, 2},
    {"640x480", 640, 480, 400000, 2500000, 128000, 44100, 2},     {"720x480", 720, 480, 333667, 3000000, 128000, 48000, 2},
    {"720x576", 720, 576, 400000, 3000000, 128000, 48000, 2},     {"800x600-l", 800, 600, 666667, 800000, 64000, 44100, 2},
    {"800x600-m", 800, 600, 400000, 1600000, 96000, 44100, 2},    {"800x600", 800, 600, 400000, 3200000, 128000, 44100, 2},
    {"1024x768-l", 1024, 768, 666667, 1200000, 64000, 44100, 2},  {"1024x768-m", 1024, 768, 400000, 2400000, 128000, 44100, 2},
    {"1024x768", 1024, 768, 400000, 4800000, 160000, 48000, 2},   {"1280x1024-l", 1280, 1024, 666667, 1800000, 96000, 44100, 2},
    {"1280x1024-m", 1280, 1024, 400000, 3600000, 128000, 44100, 2}, {"1280x1024", 1280, 1024, 400000, 7200000, 192000, 48000, 2},
    {"1920x1080", 1920, 1080, 400000, 8000000, 192000, 48000, 2},
};

HRESULT Parse(const std::string& xml, ProfileDescription* d) { return ParseProfileText(Utf16(xml), d); }
}  // namespace

TEST(ShippedProfiles, EveryFileLoadsWithItsSizeRatesAndStreams) {
    ASSERT_EQ(std::size(kShipped), 21u);
    for (const Shipped& e : kShipped) {
        SCOPED_TRACE(e.stem);
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(LoadText(ProfileTextOf(ShippedProfile(e.stem)), &profile), S_OK);
        DWORD count = 0;
        ASSERT_EQ(profile->GetStreamCount(&count), S_OK);
        ASSERT_EQ(count, 2u);
        bool sawAudio = false, sawVideo = false;
        for (DWORD i = 0; i < count; ++i) {
            ComPtr<IWMStreamConfig> stream;
            ASSERT_EQ(profile->GetStream(i, stream.ReleaseAndGetAddressOf()), S_OK);
            Guid type;
            ASSERT_EQ(stream->GetStreamType(&type), S_OK);
            DWORD bitrate = 0, window = 0;
            WORD number = 0;
            stream->GetBitrate(&bitrate);
            stream->GetBufferWindow(&window);
            stream->GetStreamNumber(&number);
            EXPECT_EQ(window, 5000u);
            ComPtr<IWMMediaProps> props = QueryAs<IWMMediaProps>(stream.Get());
            ASSERT_TRUE(props);
            DWORD size = 0;
            ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
            WM_MEDIA_TYPE mt;
            ASSERT_EQ(props->GetMediaType(&mt, &size), S_OK);
            if (type == WMMEDIATYPE_Audio) {
                sawAudio = true;
                EXPECT_EQ(number, 1);
                EXPECT_EQ(bitrate, e.audioBitrate);
                const WAVEFORMATEX* wfx = mt.WaveFormat();
                ASSERT_TRUE(wfx);
                EXPECT_EQ(wfx->wFormatTag, WAVE_FORMAT_WMAUDIO2);
                EXPECT_EQ(wfx->nSamplesPerSec, e.sampleRate);
                EXPECT_EQ(wfx->nChannels, e.channels);
                EXPECT_EQ(wfx->nAvgBytesPerSec * 8, e.audioBitrate);
                EXPECT_EQ(wfx->cbSize, 10);
                EXPECT_EQ(mt.subtype, WMMEDIASUBTYPE_WMAudioV2);
            } else {
                ASSERT_EQ(type, WMMEDIATYPE_Video);
                sawVideo = true;
                EXPECT_EQ(number, 2);
                EXPECT_EQ(bitrate, e.videoBitrate);
                const VIDEOINFOHEADER* vih = mt.VideoInfo();
                ASSERT_TRUE(vih);
                EXPECT_EQ(vih->bmiHeader.biWidth, e.width);
                EXPECT_EQ(vih->bmiHeader.biHeight, e.height);
                EXPECT_EQ(vih->AvgTimePerFrame, e.interval);
                EXPECT_EQ(vih->dwBitRate, e.videoBitrate);
                EXPECT_EQ(vih->bmiHeader.biCompression, Guid::FourCC('W', 'M', 'V', '2'));
                EXPECT_EQ(vih->rcTarget.right, e.width);
                EXPECT_EQ(mt.subtype, WMMEDIASUBTYPE_WMV2);
                ComPtr<IWMVideoMediaProps> video = QueryAs<IWMVideoMediaProps>(stream.Get());
                ASSERT_TRUE(video);
                LONGLONG spacing = 0;
                video->GetMaxKeyFrameSpacing(&spacing);
                EXPECT_EQ(spacing, 50000000);
            }
        }
        EXPECT_TRUE(sawAudio && sawVideo);
        // The name says the size.
        DWORD length = 0;
        ASSERT_EQ(profile->GetName(nullptr, &length), S_OK);
        std::string name(length, '\0');
        ASSERT_EQ(profile->GetName(name.data(), &length), S_OK);
        EXPECT_EQ(name.find(std::to_string(e.width) + "x" + std::to_string(e.height)), 0u) << name;
    }
}

TEST(ProfileText, AcceptsBothByteOrdersCaseFreeNamesAndEntities) {
    std::string xml = ProfileXml(ProfileParts());
    ProfileDescription d;
    ASSERT_EQ(Parse(xml, &d), S_OK);
    EXPECT_EQ(d.name, "Test & profile");
    EXPECT_EQ(d.description, "one of each");
    ASSERT_EQ(d.streams.size(), 2u);
    EXPECT_EQ(d.streams[0].bufferWindow, 0xFFFFFFFFu);  // -1: unspecified
    EXPECT_EQ(d.streams[1].quality, 80u);
    ASSERT_EQ(d.streams[0].type.cbFormat(), sizeof(WAVEFORMATEX) + 10);
    EXPECT_EQ(d.streams[0].type.pbFormat()[sizeof(WAVEFORMATEX) + 1], 0x08);  // codec data bytes kept

    // Byte-swapped text behind a swapped mark.
    std::u16string swapped = u"\xFFFE";
    for (char16_t c : Utf16(xml)) swapped.push_back(static_cast<char16_t>((c >> 8) | (c << 8)));
    ProfileDescription s;
    ASSERT_EQ(ParseProfileText(swapped, &s), S_OK);
    EXPECT_EQ(s.name, "Test & profile");

    // Upper-case element and attribute names, a declaration and a comment.
    std::string upper = "<?xml version=\"1.0\"?><!-- made by hand -->" + xml;
    for (const char* name : {"<profile", "</profile", "streamconfig", "biwidth", "nSamplesPerSec"}) {
        std::string from = name, to = name;
        for (char& c : to) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (size_t at = upper.find(from); at != std::string::npos; at = upper.find(from, at + 1)) upper.replace(at, from.size(), to);
    }
    ProfileDescription u;
    ASSERT_EQ(Parse(upper, &u), S_OK);
    EXPECT_EQ(u.streams[1].type.VideoInfo()->bmiHeader.biWidth, 320);
    EXPECT_EQ(u.streams[0].type.WaveFormat()->nSamplesPerSec, 44100u);
}

TEST(ProfileText, MalformedOrAbsurdProfilesAreRefused) {
    auto with = [](auto change) {
        ProfileParts p;
        change(p);
        return ProfileXml(p);
    };
    std::string good = ProfileXml(ProfileParts());
    struct Case {
        const char* what;
        std::string xml;
    };
    std::vector<Case> cases = {
        {"empty", ""},
        {"not XML", "this is not a profile"},
        {"cut short", good.substr(0, good.size() / 2)},
        {"unclosed root", good.substr(0, good.size() - std::string("</profile>").size())},
        {"mismatched tags", "<profile><streamconfig></profile></streamconfig>"},
        {"other root", "<profiles version=\"589824\"></profiles>"},
        {"no streams", "<profile version=\"589824\" name=\"x\"></profile>"},
        {"second root", good + "<profile/>"},
        {"undefined entity", with([](ProfileParts& p) { p.width = "&width;"; })},
        {"zero width", with([](ProfileParts& p) { p.width = "0"; })},
        {"huge width", with([](ProfileParts& p) { p.width = "100000"; })},
        {"negative width", with([](ProfileParts& p) { p.width = "-320"; })},
        {"zero height", with([](ProfileParts& p) { p.height = "0"; })},
        {"width overflows", with([](ProfileParts& p) { p.width = "99999999999999999999999"; })},
        {"width not a number", with([](ProfileParts& p) { p.width = "wide"; })},
        {"zero frame interval", with([](ProfileParts& p) { p.frameInterval = "0"; })},
        {"thousands of frames a second", with([](ProfileParts& p) { p.frameInterval = "10"; })},
        {"zero sample rate", with([](ProfileParts& p) { p.sampleRate = "0"; })},
        {"absurd sample rate", with([](ProfileParts& p) { p.sampleRate = "1000000000"; })},
        {"no channels", with([](ProfileParts& p) { p.channels = "0"; })},
        {"too many channels", with([](ProfileParts& p) { p.channels = "64"; })},
        {"zero bit rate", with([](ProfileParts& p) { p.videoBitrate = "0"; })},
        {"absurd bit rate", with([](ProfileParts& p) { p.audioBitrate = "4000000000"; })},
        {"duplicate stream numbers", with([](ProfileParts& p) { p.videoNumber = "1"; })},
        {"stream number 0", with([](ProfileParts& p) { p.audioNumber = "0"; })},
        {"stream number 64", with([](ProfileParts& p) { p.audioNumber = "64"; })},
        {"bad subtype GUID", with([](ProfileParts& p) { p.videoSubtype = "{not-a-guid}"; })},
        {"missing width", [&] {
             std::string x = good;
             x.erase(x.find("biwidth=\"320\""), std::string("biwidth=\"320\"").size());
             return x;
         }()},
        {"missing wave format", [&] {
             std::string x = good;
             size_t from = x.find("<waveformatex"), to = x.find("/>", from) + 2;
             x.erase(from, to - from);
             return x;
         }()},
        {"odd codec data", [&] {
             std::string x = good;
             x.replace(x.find("00080000010000000000"), 20, "0008000");
             return x;
         }()},
        {"wave format in a video stream", [&] {
             std::string x = good;
             // The audio stream claims to be video.
             x.replace(x.find("{73647561"), 9, "{73646976");
             x.replace(x.find("streamnumber=\"2\""), 16, "streamnumber=\"3\"");
             return x;
         }()},
    };
    for (const Case& c : cases) {
        ProfileDescription d;
        EXPECT_EQ(Parse(c.xml, &d), NS_E_INVALIDPROFILE) << c.what;
        EXPECT_TRUE(d.streams.empty()) << c.what;
        ComPtr<IWMProfile> profile;
        EXPECT_EQ(LoadText(Utf16(c.xml), &profile), NS_E_INVALIDPROFILE) << c.what;
        EXPECT_FALSE(profile) << c.what;
    }
}

TEST(ProfileText, WrongEncodingsAndOverlongTextsAreRefused) {
    std::string good = ProfileXml(ProfileParts());
    // A UTF-8 file read as UTF-16 (what the loader sees when a hand-made file is not UTF-16).
    std::u16string utf8((good.size() + 1) / 2, u'\0');
    std::memcpy(utf8.data(), good.data(), good.size());
    ProfileDescription d;
    EXPECT_EQ(ParseProfileText(utf8, &d), NS_E_INVALIDPROFILE);

    std::u16string lone = Utf16(good);
    lone.insert(lone.find(u"Test"), 1, u'\xD800');
    EXPECT_EQ(ParseProfileText(lone, &d), NS_E_INVALIDPROFILE);
    std::u16string control = Utf16(good);
    control.insert(control.find(u"Test"), 1, u'\x0001');
    EXPECT_EQ(ParseProfileText(control, &d), NS_E_INVALIDPROFILE);

    // Longer than any profile: refused through the manager without reading to its end.
    std::u16string padded = Utf16(good);
    padded.insert(padded.find(u"<streamconfig"), kMaxProfileTextLength, u' ');
    EXPECT_EQ(ParseProfileText(padded, &d), NS_E_INVALIDPROFILE);
    ComPtr<IWMProfile> profile;
    EXPECT_EQ(LoadText(padded, &profile), NS_E_INVALIDPROFILE);
    // ... while the same profile with a little padding loads.
    std::u16string slightly = Utf16(good);
    slightly.insert(slightly.find(u"<streamconfig"), 1000, u' ');
    EXPECT_EQ(LoadText(slightly, &profile), S_OK);

    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(WMCreateProfileManager(manager.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(manager->LoadProfileByData(nullptr, profile.ReleaseAndGetAddressOf()), E_POINTER);
    EXPECT_EQ(manager->LoadProfileByData(u"", profile.ReleaseAndGetAddressOf()), NS_E_INVALIDPROFILE);
}
