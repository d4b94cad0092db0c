#pragma once
// One entry of the control's WMVProfiles collection: a system profile with exactly one audio and
// one video stream, in the order of the system profile list.
#include <string>
#include <vector>

#include "platform/com/Guid.h"

struct WmvProfileEntry {
    std::string name;
    std::string description;
    Guid id{};
};
using WmvProfileList = std::vector<WmvProfileEntry>;
