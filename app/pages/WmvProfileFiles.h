#pragma once
// The built-in WMV profile files of the program folder's "WMVFiles" and their display names, and
// the screen recorder's Advanced list (the 15 of them from 320x240 to 1280x1024).
#include <array>
#include <string>

struct WmvProfileFile {
    const char* name;
    const char* file;  // under the program folder
};

inline constexpr std::array<WmvProfileFile, 21> kWmvProfileFiles = {{
    {"176x144 Window Media Video/Audio 9 (Low Quality)", "/WMVFiles/176x144-l.prx"},
    {"176x144 Window Media Video/Audio 9 (Normal Quality)", "/WMVFiles/176x144-m.prx"},
    {"176x144 Window Media Video/Audio 9 (High Quality)", "/WMVFiles/176x144.prx"},
    {"320x240 Window Media Video/Audio 9 (Low Quality)", "/WMVFiles/320x240-l.prx"},
    {"320x240 Window Media Video/Audio 9 (Normal Quality)", "/WMVFiles/320x240-m.prx"},
    {"320x240 Window Media Video/Audio 9 (High Quality)", "/WMVFiles/320x240.prx"},
    {"640x480 Window Media Video/Audio 9 (Low Quality)", "/WMVFiles/640x480-l.prx"},
    {"640x480 Window Media Video/Audio 9 (Normal Quality)", "/WMVFiles/640x480-m.prx"},
    {"640x480 Window Media Video/Audio 9 (High Quality)", "/WMVFiles/640x480.prx"},
    {"720x480 Window Media Video/Audio 9 (DVD NTSC)", "/WMVFiles/720x480.prx"},
    {"720x576 Window Media Video/Audio 9 (DVD PAL)", "/WMVFiles/720x576.prx"},
    {"800x600 Window Media Video/Audio 9 (Low Quality)", "/WMVFiles/800x600-l.prx"},
    {"800x600 Window Media Video/Audio 9 (Normal Quality)", "/WMVFiles/800x600-m.prx"},
    {"800x600 Window Media Video/Audio 9 (High Quality)", "/WMVFiles/800x600.prx"},
    {"1024x768 Window Media Video/Audio 9 (Low Quality)", "/WMVFiles/1024x768-l.prx"},
    {"1024x768 Window Media Video/Audio 9 (Normal Quality)", "/WMVFiles/1024x768-m.prx"},
    {"1024x768 Window Media Video/Audio 9 (High Quality)", "/WMVFiles/1024x768.prx"},
    {"1280x1024 Window Media Video/Audio 9 (Low Quality)", "/WMVFiles/1280x1024-l.prx"},
    {"1280x1024 Window Media Video/Audio 9 (Normal Quality)", "/WMVFiles/1280x1024-m.prx"},
    {"1280x1024 Window Media Video/Audio 9 (High Quality)", "/WMVFiles/1280x1024.prx"},
    {"1920x1080 Window Media Video/Audio 9 (Full HD Quality)", "/WMVFiles/1920x1080.prx"},
}};

inline constexpr char kWmvOptionsTitle[] = "WMV Output Settings:";
inline constexpr char kNoCustomProfileText[] =
    "You have selected 'Custom Profile' option, but you never select a custom wmv profile. Please "
    "use 'Browse' button in this dialog to select one first.";

// Positions in kWmvProfileFiles of the Advanced list's entries, in its order.
inline constexpr std::array<int, 15> kAdvancedWmvProfiles = {3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18, 19};
