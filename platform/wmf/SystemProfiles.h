#pragma once
// The system profile list: our own catalogue in place of the Windows Media runtime's, grouped by
// connection (dial-up modem, LAN, broadband) as audio-only, video-only and audio+video profiles,
// each with a name, a description and a fixed identifier. Version 8 holds the full list, version
// 7 an older, smaller one. Every profile is one the ASF writer can write.
#include <vector>

#include "platform/wmf/ProfileDescription.h"

// The profiles of that version in list order; empty for a version without system profiles.
const std::vector<ProfileDescription>& SystemProfiles(WMT_VERSION version);
// A system profile of any version by its identifier; null when none has it.
const ProfileDescription* FindSystemProfile(REFGUID id);
// What the ASF writer starts with: "Video and audio for LAN (384 Kbps)".
inline constexpr Guid kDefaultAsfWriterProfile = MakeGuid("{4F914E8E-D22F-483F-8351-857A6B607B39}");
