#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/wmf/ProfileParser.h"
#include "platform/wmf/SystemProfiles.h"
#include "platform/wmf/WmfInterfaces.h"
#include "tests/platform/wmf/ProfileFiles.h"

using namespace wmf_test;

namespace {
std::string NameOf(IWMProfile* p) {
    DWORD length = 0;
    if (FAILED(p->GetName(nullptr, &length))) return "?";
    std::string text(length + 1, '\0');
    length += 1;
    if (FAILED(p->GetName(text.data(), &length))) return "?";
    return text.c_str();
}
}  // namespace

// As the session enumerates: version 8, every profile walked, one-audio-one-video kept.
TEST(SystemProfileList, WalksAsTheSessionDoesAndHasProfilesToDrop) {
    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(WMCreateProfileManager(manager.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IWMProfileManager2> manager2 = QueryAs<IWMProfileManager2>(manager.Get());
    ASSERT_TRUE(manager2);
    ASSERT_EQ(manager2->SetSystemProfileVersion(WMT_VER_8_0), S_OK);
    DWORD count = 0;
    ASSERT_EQ(manager->GetSystemProfileCount(&count), S_OK);
    ASSERT_GE(count, 8u);
    std::set<Guid> ids;
    std::set<std::string> names;
    int kept = 0, audioOnly = 0, videoOnly = 0;
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMProfile> profile;
        ASSERT_EQ(manager->LoadSystemProfile(i, profile.ReleaseAndGetAddressOf()), S_OK);
        DWORD streams = 0;
        ASSERT_EQ(profile->GetStreamCount(&streams), S_OK);
        int audio = 0, video = 0;
        for (DWORD s = 0; s < streams; ++s) {
            ComPtr<IWMStreamConfig> config;
            ASSERT_EQ(profile->GetStream(s, config.ReleaseAndGetAddressOf()), S_OK);
            Guid type;
            config->GetStreamType(&type);
            ComPtr<IWMMediaProps> props = QueryAs<IWMMediaProps>(config.Get());
            ASSERT_TRUE(props);
            DWORD size = 0;
            ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
            WM_MEDIA_TYPE mt;
            DWORD small = size - 1;
            EXPECT_EQ(props->GetMediaType(&mt, &small), ASF_E_BUFFERTOOSMALL);
            ASSERT_EQ(props->GetMediaType(&mt, &size), S_OK);
            if (type == WMMEDIATYPE_Audio) {
                ++audio;
                ASSERT_TRUE(mt.WaveFormat());
            } else if (type == WMMEDIATYPE_Video) {
                ++video;
                ASSERT_TRUE(mt.VideoInfo());
            }
        }
        DWORD length = 0;
        ASSERT_EQ(profile->GetDescription(nullptr, &length), S_OK);
        std::string description(length + 1, '\0');
        DWORD room = length + 1;
        ASSERT_EQ(profile->GetDescription(description.data(), &room), S_OK);
        EXPECT_EQ(room, length);
        EXPECT_EQ(description.c_str(), "Streams: " + std::to_string(audio) + " audio " + std::to_string(video) + " video");
        ComPtr<IWMProfile2> profile2 = QueryAs<IWMProfile2>(profile.Get());
        ASSERT_TRUE(profile2);
        Guid id;
        ASSERT_EQ(profile2->GetProfileID(&id), S_OK);
        EXPECT_FALSE(id.IsNull());
        EXPECT_TRUE(ids.insert(id).second) << "duplicate id at " << i;
        EXPECT_TRUE(names.insert(NameOf(profile.Get())).second) << "duplicate name at " << i;
        if (audio == 1 && video == 1) ++kept;
        if (audio == 1 && video == 0) ++audioOnly;
        if (audio == 0 && video == 1) ++videoOnly;

        // The same profile by its identifier.
        ComPtr<IWMProfile> byId;
        ASSERT_EQ(manager->LoadProfileByID(id, byId.ReleaseAndGetAddressOf()), S_OK);
        EXPECT_EQ(NameOf(byId.Get()), NameOf(profile.Get()));
    }
    EXPECT_GE(kept, 4);
    EXPECT_GE(audioOnly, 1);
    EXPECT_GE(videoOnly, 1);
    ComPtr<IWMProfile> none;
    EXPECT_EQ(manager->LoadSystemProfile(count, none.ReleaseAndGetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(manager->LoadProfileByID(MakeGuid("{00000001-2222-3333-4444-555555555555}"), none.ReleaseAndGetAddressOf()),
              NS_E_INVALIDPROFILE);
    EXPECT_FALSE(none);
}

TEST(SystemProfileList, VersionsSelectTheirOwnLists) {
    ComPtr<IWMProfileManager> manager;
    ASSERT_EQ(WMCreateProfileManager(manager.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IWMProfileManager2> manager2 = QueryAs<IWMProfileManager2>(manager.Get());
    WMT_VERSION version{};
    ASSERT_EQ(manager2->GetSystemProfileVersion(&version), S_OK);
    EXPECT_EQ(version, WMT_VER_8_0);
    DWORD v8 = 0, v7 = 0;
    manager->GetSystemProfileCount(&v8);
    ASSERT_EQ(manager2->SetSystemProfileVersion(WMT_VER_7_0), S_OK);
    manager->GetSystemProfileCount(&v7);
    EXPECT_EQ(v8, SystemProfiles(WMT_VER_8_0).size());
    EXPECT_EQ(v7, SystemProfiles(WMT_VER_7_0).size());
    EXPECT_NE(v7, v8);
    EXPECT_EQ(manager2->SetSystemProfileVersion(WMT_VER_9_0), E_INVALIDARG);
    manager2->GetSystemProfileVersion(&version);
    EXPECT_EQ(version, WMT_VER_7_0);
}

TEST(ProfileObjects, NamesStreamsAndCopiesBehave) {
    ComPtr<IWMProfile> profile;
    ASSERT_EQ(LoadText(Utf16(ProfileXml(ProfileParts())), &profile), S_OK);
    // Length protocol: null asks, too small is refused with the needed length.
    DWORD length = 0;
    ASSERT_EQ(profile->GetName(nullptr, &length), S_OK);
    EXPECT_EQ(length, std::string("Test & profile").size() + 1);
    char small[4];
    DWORD room = sizeof small;
    EXPECT_EQ(profile->GetName(small, &room), ASF_E_BUFFERTOOSMALL);
    EXPECT_EQ(room, length);
    // A profile loaded from text has no identifier.
    Guid id = MakeGuid("{11111111-1111-1111-1111-111111111111}");
    ASSERT_EQ(QueryAs<IWMProfile2>(profile.Get())->GetProfileID(&id), S_OK);
    EXPECT_TRUE(id.IsNull());

    // GetStream hands out copies; ReconfigStream puts a change back.
    ComPtr<IWMStreamConfig> video;
    ASSERT_EQ(profile->GetStreamByNumber(2, video.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(video->SetBitrate(123000), S_OK);
    ComPtr<IWMStreamConfig> again;
    profile->GetStreamByNumber(2, again.ReleaseAndGetAddressOf());
    DWORD bitrate = 0;
    again->GetBitrate(&bitrate);
    EXPECT_EQ(bitrate, 384000u);
    ASSERT_EQ(profile->ReconfigStream(video.Get()), S_OK);
    profile->GetStreamByNumber(2, again.ReleaseAndGetAddressOf());
    again->GetBitrate(&bitrate);
    EXPECT_EQ(bitrate, 123000u);

    // Audio streams have no video properties.
    ComPtr<IWMStreamConfig> audio;
    ASSERT_EQ(profile->GetStreamByNumber(1, audio.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_FALSE(QueryAs<IWMVideoMediaProps>(audio.Get()));
    EXPECT_TRUE(QueryAs<IWMVideoMediaProps>(video.Get()));
    EXPECT_EQ(profile->GetStreamByNumber(7, again.ReleaseAndGetAddressOf()), ASF_E_NOTFOUND);

    // Numbers stay unique; removing frees them.
    EXPECT_EQ(profile->AddStream(audio.Get()), NS_E_INVALIDPROFILE);
    ASSERT_EQ(audio->SetStreamNumber(5), S_OK);
    EXPECT_EQ(audio->SetStreamNumber(64), E_INVALIDARG);
    ASSERT_EQ(profile->AddStream(audio.Get()), S_OK);
    DWORD count = 0;
    profile->GetStreamCount(&count);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(profile->RemoveStreamByNumber(5), S_OK);
    EXPECT_EQ(profile->RemoveStreamByNumber(5), ASF_E_NOTFOUND);
    ASSERT_EQ(profile->RemoveStream(video.Get()), S_OK);
    profile->GetStreamCount(&count);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(profile->GetStream(1, again.ReleaseAndGetAddressOf()), E_INVALIDARG);
}
