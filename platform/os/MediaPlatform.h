#pragma once
// The version of the media platform these layers provide (filter graphs, capture devices,
// compressors, Windows Media profiles and writers), in the four-number form that programs check
// under HKEY_LOCAL_MACHINE "SOFTWARE\Microsoft\DirectX", value "Version": the level of the
// platform interfaces the layers implement. Installation and the build record it there
// (orvanta-registry record-platform).
inline constexpr char kMediaPlatformKey[] = "SOFTWARE\\Microsoft\\DirectX";
inline constexpr char kMediaPlatformValue[] = "Version";
inline constexpr char kMediaPlatformVersion[] = "4.09.00.0904";
