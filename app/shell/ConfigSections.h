#pragma once
// The "config.ini" sections of the screen recorder and its output choices (WMV, SWF, FLV, AVI):
// their process-wide values with the defaults, read from and written to the IniStore.
#include <array>
#include <string>

#include "app/shell/IniStore.h"

inline constexpr char kCatchScreen[] = "CatchScreen";
inline constexpr char kWmvDialog[] = "WMVDLG";
inline constexpr char kSwfDialog[] = "SWFDLG";
inline constexpr char kFlvDialog[] = "FLVDLG";
inline constexpr char kAviDialog[] = "AVIDLG";

// Frame rates of the screen recorder's list; FPSIndex points into it.
inline constexpr std::array<int, 10> kScreenFrameRates = {1, 2, 3, 4, 5, 10, 15, 20, 25, 30};
inline constexpr int kScreenFormatCount = 4;  // 0 WMV, 1 AVI/MPEG4, 2 FLV, 3 SWF

struct ScreenRecorderSettings {
    int format = 0;
    int fpsIndex = 5;
    int volume = 100;
    // Ctrl+letter hot keys, in the order of their ids 40981..40985.
    std::array<char, 5> keys = {'K', 'P', 'Q', 'I', 'O'};
    bool isAddAudio = true;
    bool isCatchCursor = true;
    bool isStartMinSize = true;
};

struct WmvChoice {
    bool isChange = false;
    int type = 1;            // 0 Default, 1 Advanced, 2 Custom
    int defaultIndex = 0;    // in the default profile list
    int advancedIndex = 5;   // in the advanced profile list
    std::string customFile;  // a ".prx" file
};

// The Flash output choices; SWF and FLV keep the same values under their own keys.
struct FlashChoice {
    bool isChange = false;
    int width = 320;
    int height = 240;
    int videoBitrate = 1500;  // kbps
    int sampleRate = 44100;   // Hz
    int audioBitrate = 128;   // kbps
    int channel = 0;          // 0 Stereo, 1 Mono
};
using SwfChoice = FlashChoice;
using FlvOptions = FlashChoice;

// The key names of one section of Flash choices.
struct FlashKeys {
    const char* section;
    const char* isChange;
    const char* width;
    const char* height;
    const char* videoBitrate;
    const char* sampleRate;
    const char* audioBitrate;
    const char* channel;
};
inline constexpr FlashKeys kSwfKeys = {kSwfDialog, "SwfIsChange", "swfwgv", "swfhgv",
                                       "swfbrgv", "swfsrgv", "swfabgv", "swfchgv"};
inline constexpr FlashKeys kFlvKeys = {kFlvDialog, "flvIsChange", "flvwgv", "flvhgv",
                                       "flvbrgv", "flvsrgv", "flvabgv", "flvchgv"};

// The screen recorder's AVI choice ("AVIDLG"); the indexes point into the screen capture
// control's compressor lists and the MP3 quality list.
struct AviOptions {
    bool isChange = false;
    bool isSetVideo = false;
    bool isSetAudio = false;
    int video = 0;
    int audio = 0;
    int mp3Mode = 0;
};
inline constexpr int kMp3ModeCount = 15;

// The process-wide records.
ScreenRecorderSettings& ScreenSettings();
WmvChoice& ScreenWmvChoice();
SwfChoice& ScreenSwfChoice();
FlvOptions& ScreenFlvOptions();
AviOptions& ScreenAviOptions();

// The hot-key keys of "CatchScreen", in id order.
inline constexpr std::array<const char*, 5> kHotKeyNames = {"StartKey", "PauseKey", "StopKey",
                                                            "ZoomInKey", "ZoomOutKey"};

// Each reads its section over the record, the record's values being the defaults. An index
// outside its list, a hot key that is no letter A-Z and a volume outside 0..100 keep the value
// the record held.
void ReadScreenSettings(const IniStore& store, ScreenRecorderSettings& settings);
void ReadWmvChoice(const IniStore& store, WmvChoice& choice);
void ReadSwfChoice(const IniStore& store, SwfChoice& choice);
void ReadFlashChoice(const IniStore& store, const FlashKeys& keys, FlashChoice& choice);
// The compressor indexes are checked against the lists by the AVI dialog.
void ReadAviOptions(const IniStore& store, AviOptions& options);
void WriteScreenSettings(IniStore& store, const ScreenRecorderSettings& settings);
void WriteWmvChoice(IniStore& store, const WmvChoice& choice);
void WriteSwfChoice(IniStore& store, const SwfChoice& choice);
void WriteFlashChoice(IniStore& store, const FlashKeys& keys, const FlashChoice& choice);
// All but "AviMp3Mode", which its own dialog writes.
void WriteAviOptions(IniStore& store, const AviOptions& options);
