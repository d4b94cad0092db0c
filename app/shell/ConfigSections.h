#pragma once
// The "config.ini" sections of the screen recorder, the WMV choice and the SWF choice: their
// process-wide values with the defaults, read from and written to the IniStore.
#include <array>
#include <string>

#include "app/shell/IniStore.h"

inline constexpr char kCatchScreen[] = "CatchScreen";
inline constexpr char kWmvDialog[] = "WMVDLG";
inline constexpr char kSwfDialog[] = "SWFDLG";

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

struct SwfChoice {
    bool isChange = false;
    int width = 320;
    int height = 240;
    int videoBitrate = 1500;  // kbps
    int sampleRate = 44100;   // Hz
    int audioBitrate = 128;   // kbps
    int channel = 0;          // 0 Stereo, 1 Mono
};

// The process-wide records.
ScreenRecorderSettings& ScreenSettings();
WmvChoice& ScreenWmvChoice();
SwfChoice& ScreenSwfChoice();

// The hot-key keys of "CatchScreen", in id order.
inline constexpr std::array<const char*, 5> kHotKeyNames = {"StartKey", "PauseKey", "StopKey",
                                                            "ZoomInKey", "ZoomOutKey"};

// Each reads its section over the record, the record's values being the defaults. An index
// outside its list, a hot key that is no letter A-Z and a volume outside 0..100 keep the value
// the record held.
void ReadScreenSettings(const IniStore& store, ScreenRecorderSettings& settings);
void ReadWmvChoice(const IniStore& store, WmvChoice& choice);
void ReadSwfChoice(const IniStore& store, SwfChoice& choice);
void WriteScreenSettings(IniStore& store, const ScreenRecorderSettings& settings);
void WriteWmvChoice(IniStore& store, const WmvChoice& choice);
void WriteSwfChoice(IniStore& store, const SwfChoice& choice);
