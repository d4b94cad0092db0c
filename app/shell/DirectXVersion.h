#pragma once
// The media platform's version as start-up checks it: installation (and the first build)
// records it in the registry store under HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\DirectX",
// string value "Version", in the four-number form "4.09.00.0904".
#include <string_view>

#include "platform/os/MediaPlatform.h"

class RegistryStore;

// The lowest major * 10 + minor that start-up accepts.
inline constexpr int kRequiredDirectX = 90;

// Parses "a.b.c[.d]": three or four decimal numbers between dots and nothing else. The second
// number is the major version, the third the minor one. False for anything else.
bool ParseDirectXVersion(std::string_view text, int& major, int& minor);
// Reads the version value (at most 256 bytes are taken, as the value's buffer holds) and parses
// it; false when the key or the value is missing or the text does not parse.
bool GetDirectXVersion(const RegistryStore& registry, int& major, int& minor);
