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

void ReadSwfChoice(const IniStore& store, SwfChoice& c) { ReadFlashChoice(store, kSwfKeys, c); }

void WriteSwfChoice(IniStore& store, const SwfChoice& c) { WriteFlashChoice(store, kSwfKeys, c); }

FlvOptions& ScreenFlvOptions() {
    static FlvOptions options;
    return options;
}

AviOptions& ScreenAviOptions() {
    static AviOptions options;
    return options;
}

void ReadFlashChoice(const IniStore& store, const FlashKeys& k, FlashChoice& c) {
    c.isChange = store.GetBool(k.section, k.isChange, c.isChange);
    c.width = store.GetInt(k.section, k.width, c.width);
    c.height = store.GetInt(k.section, k.height, c.height);
    c.videoBitrate = store.GetInt(k.section, k.videoBitrate, c.videoBitrate);
    c.sampleRate = store.GetInt(k.section, k.sampleRate, c.sampleRate);
    c.audioBitrate = store.GetInt(k.section, k.audioBitrate, c.audioBitrate);
    c.channel = store.GetIndex(k.section, k.channel, c.channel, 2);
}

void WriteFlashChoice(IniStore& store, const FlashKeys& k, const FlashChoice& c) {
    store.WriteBool(k.section, k.isChange, c.isChange);
    store.WriteInt(k.section, k.width, c.width);
    store.WriteInt(k.section, k.height, c.height);
    store.WriteInt(k.section, k.videoBitrate, c.videoBitrate);
    store.WriteInt(k.section, k.sampleRate, c.sampleRate);
    store.WriteInt(k.section, k.audioBitrate, c.audioBitrate);
    store.WriteInt(k.section, k.channel, c.channel);
}

void ReadAviOptions(const IniStore& store, AviOptions& o) {
    o.isChange = store.GetBool(kAviDialog, "AviIsChange", o.isChange);
    o.isSetVideo = store.GetBool(kAviDialog, "IsSetAviVideo", o.isSetVideo);
    o.isSetAudio = store.GetBool(kAviDialog, "IsSetAviAudio", o.isSetAudio);
    o.video = store.GetInt(kAviDialog, "AviVideo", o.video);
    o.audio = store.GetInt(kAviDialog, "AviAudio", o.audio);
    o.mp3Mode = store.GetIndex(kAviDialog, "AviMp3Mode", o.mp3Mode, kMp3ModeCount);
}

void WriteAviOptions(IniStore& store, const AviOptions& o) {
    store.WriteBool(kAviDialog, "AviIsChange", o.isChange);
    store.WriteBool(kAviDialog, "IsSetAviVideo", o.isSetVideo);
    store.WriteBool(kAviDialog, "IsSetAviAudio", o.isSetAudio);
    store.WriteInt(kAviDialog, "AviVideo", o.video);
    store.WriteInt(kAviDialog, "AviAudio", o.audio);
}
