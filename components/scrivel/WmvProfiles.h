#pragma once
// The WMV profiles the control offers: the system profiles with one audio and one video stream,
// and custom profile files.
#include <string>
#include <vector>

#include "platform/wmf/ProfileDescription.h"

std::vector<const ProfileDescription*> AudioVideoSystemProfiles();
// The profile with its video stream set to the recorded size and rate (its bit rate kept).
ProfileDescription ProfileForSize(const ProfileDescription& profile, LONG width, LONG height,
                                  REFERENCE_TIME frameInterval);
// Reads a custom profile file (UTF-16 text, a regular file of at most 1 MiB) and parses it.
HRESULT LoadProfileFile(const std::string& path, IWMProfile** profile);
