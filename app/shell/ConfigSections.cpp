#include "app/shell/ConfigSections.h"

namespace {

bool IsHotKeyLetter(char c) { return c >= 'A' && c <= 'Z'; }

int ReadInRange(const IniStore& store, const char* section, const char* key, int fallback,
                int low, int high) {
    int value = store.GetInt(section, key, fallback);
    return value >= low && value <= high ? value : fallback;
}

}  // namespace

ScreenRecorderSettings& ScreenSettings() {
    static ScreenRecorderSettings settings;
    return settings;
}

WmvChoice& ScreenWmvChoice() {
    static WmvChoice choice;
    return choice;
}

SwfChoice& ScreenSwfChoice() {
    static SwfChoice choice;
    return choice;
}

void ReadScreenSettings(const IniStore& store, ScreenRecorderSettings& s) {
    s.format = store.GetIndex(kCatchScreen, "Format", s.format, kScreenFormatCount);
    s.fpsIndex = store.GetIndex(kCatchScreen, "FPSIndex", s.fpsIndex,
                                static_cast<int>(kScreenFrameRates.size()));
    s.volume = ReadInRange(store, kCatchScreen, "volume", s.volume, 0, 100);
    for (size_t i = 0; i < s.keys.size(); ++i) {
        char key = store.GetChar(kCatchScreen, kHotKeyNames[i], s.keys[i]);
        if (IsHotKeyLetter(key)) s.keys[i] = key;
    }
    s.isAddAudio = store.GetBool(kCatchScreen, "IsAddAudio", s.isAddAudio);
    s.isCatchCursor = store.GetBool(kCatchScreen, "IsCatchCursor", s.isCatchCursor);
    s.isStartMinSize = store.GetBool(kCatchScreen, "IsStartMinSize", s.isStartMinSize);
}

void WriteScreenSettings(IniStore& store, const ScreenRecorderSettings& s) {
    store.WriteInt(kCatchScreen, "Format", s.format);
    store.WriteInt(kCatchScreen, "FPSIndex", s.fpsIndex);
    store.WriteInt(kCatchScreen, "volume", s.volume);
    for (size_t i = 0; i < s.keys.size(); ++i) store.WriteChar(kCatchScreen, kHotKeyNames[i], s.keys[i]);
    store.WriteBool(kCatchScreen, "IsAddAudio", s.isAddAudio);
    store.WriteBool(kCatchScreen, "IsCatchCursor", s.isCatchCursor);
    store.WriteBool(kCatchScreen, "IsStartMinSize", s.isStartMinSize);
}

void ReadWmvChoice(const IniStore& store, WmvChoice& c) {
    c.isChange = store.GetBool(kWmvDialog, "WmvIsChange", c.isChange);
    c.type = store.GetIndex(kWmvDialog, "wmvselg", c.type, 3);
    // The profile lists belong to the WMV dialog, which checks these two against them.
    c.defaultIndex = ReadInRange(store, kWmvDialog, "wmvdselg", c.defaultIndex, 0, 0x7FFF);
    c.advancedIndex = ReadInRange(store, kWmvDialog, "wmvaselg", c.advancedIndex, 0, 0x7FFF);
    c.customFile = store.GetString(kWmvDialog, "wmvc", c.customFile);
}

void WriteWmvChoice(IniStore& store, const WmvChoice& c) {
    store.WriteBool(kWmvDialog, "WmvIsChange", c.isChange);
    store.WriteInt(kWmvDialog, "wmvselg", c.type);
    store.WriteInt(kWmvDialog, "wmvdselg", c.defaultIndex);
    store.WriteInt(kWmvDialog, "wmvaselg", c.advancedIndex);
    store.WriteString(kWmvDialog, "wmvc", c.customFile);
}

void ReadSwfChoice(const IniStore& store, SwfChoice& c) {
    c.isChange = store.GetBool(kSwfDialog, "SwfIsChange", c.isChange);
    c.width = store.GetInt(kSwfDialog, "swfwgv", c.width);
    c.height = store.GetInt(kSwfDialog, "swfhgv", c.height);
    c.videoBitrate = store.GetInt(kSwfDialog, "swfbrgv", c.videoBitrate);
    c.sampleRate = store.GetInt(kSwfDialog, "swfsrgv", c.sampleRate);
    c.audioBitrate = store.GetInt(kSwfDialog, "swfabgv", c.audioBitrate);
    c.channel = store.GetIndex(kSwfDialog, "swfchgv", c.channel, 2);
}

void WriteSwfChoice(IniStore& store, const SwfChoice& c) {
    store.WriteBool(kSwfDialog, "SwfIsChange", c.isChange);
    store.WriteInt(kSwfDialog, "swfwgv", c.width);
    store.WriteInt(kSwfDialog, "swfhgv", c.height);
    store.WriteInt(kSwfDialog, "swfbrgv", c.videoBitrate);
    store.WriteInt(kSwfDialog, "swfsrgv", c.sampleRate);
    store.WriteInt(kSwfDialog, "swfabgv", c.audioBitrate);
    store.WriteInt(kSwfDialog, "swfchgv", c.channel);
}
