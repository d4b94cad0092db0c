#pragma once
// What a container may rely on in LUMICORLib, written out independently of the control's code:
// every member of _DLumicor and _DLumicorEvents with its DISPID, kind, types and parameter
// names, and the persisted keys of a new control. The module tests and the container test
// check the registered type library and the live control against these lists.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/AutomationTypes.h"
#include "platform/com/Variant.h"

namespace lumicor_expected {

struct Param {
    const char* name;
    VARTYPE vt;
};

struct Member {
    DISPID id;
    const char* name;
    bool method;    // false: a property
    bool readOnly;  // properties only
    VARTYPE vt;     // property type, or the method's result (VT_VOID: none)
    const char* declared = "";  // declared type name where the VT_ code says less
    std::vector<Param> params = {};
};

inline const std::vector<Member>& ControlMembers() {
    static const std::vector<Member> members = {
        {1, "Device", false, false, VT_I2},
        {2, "VideoFormat", false, false, VT_I2},
        {3, "Devices", false, true, VT_DISPATCH},
        {4, "VideoFormats", false, true, VT_DISPATCH},
        {5, "VideoCompressors", false, true, VT_DISPATCH},
        {6, "CaptureMode", false, false, VT_BOOL},
        {7, "CaptureFileName", false, false, VT_BSTR},
        {8, "Brightness", false, true, VT_DISPATCH},
        {9, "Contrast", false, true, VT_DISPATCH},
        {10, "Hue", false, true, VT_DISPATCH},
        {11, "Saturation", false, true, VT_DISPATCH},
        {12, "Sharpness", false, true, VT_DISPATCH},
        {13, "Gamma", false, true, VT_DISPATCH},
        {14, "ColorEnable", false, true, VT_DISPATCH},
        {15, "WhiteBalance", false, true, VT_DISPATCH},
        {16, "BacklightCompensation", false, true, VT_DISPATCH},
        {17, "Gain", false, true, VT_DISPATCH},
        {18, "Pan", false, true, VT_DISPATCH},
        {19, "Tilt", false, true, VT_DISPATCH},
        {20, "Roll", false, true, VT_DISPATCH},
        {21, "Zoom", false, true, VT_DISPATCH},
        {22, "Exposure", false, true, VT_DISPATCH},
        {23, "Iris", false, true, VT_DISPATCH},
        {24, "Focus", false, true, VT_DISPATCH},
        {25, "AudioDevices", false, true, VT_DISPATCH},
        {26, "AudioDevice", false, false, VT_I2},
        {27, "CaptureAudio", false, false, VT_BOOL},
        {28, "VideoCompressor", false, false, VT_I2},
        {29, "AudioCompressor", false, false, VT_I2},
        {30, "UseVideoCompressor", false, false, VT_BOOL},
        {31, "UseAudioCompressor", false, false, VT_BOOL},
        {32, "AudioCompressors", false, true, VT_DISPATCH},
        {33, "ShowPreview", false, false, VT_BOOL},
        {34, "CaptureVideo", false, false, VT_BOOL},
        {35, "AspectRatio", false, false, VT_BOOL},
        {36, "BackgroundColor", false, false, VT_I4, "OLE_COLOR"},
        {37, "TVChannels", false, true, VT_DISPATCH},
        {38, "CountryCode", false, false, VT_I2},
        {39, "Channel", false, false, VT_I2},
        {40, "TVMute", false, false, VT_BOOL},
        {41, "VideoInputs", false, true, VT_DISPATCH},
        {42, "VideoInput", false, false, VT_I2},
        {43, "WMVProfiles", false, true, VT_DISPATCH},
        {44, "WMVProfile", false, false, VT_I2},
        {45, "VideoStandard", false, false, VT_I2},
        {46, "FrameRate", false, false, VT_I2},
        {47, "TextColor", false, false, VT_I4, "OLE_COLOR"},
        {48, "TextFontName", false, false, VT_BSTR},
        {49, "TextFontSize", false, false, VT_I2},
        {50, "WMVCustomFileName", false, false, VT_BSTR},
        {51, "TunerMode", false, false, VT_I2},
        {52, "TunerInput", false, false, VT_I2},
        {54, "AudioInputPin", false, false, VT_I2},
        {55, "AudioInputPins", false, true, VT_DISPATCH},
        {56, "ShowImage", false, false, VT_BOOL},
        {57, "ShowText", false, false, VT_BOOL},
        {58, "DateColor", false, false, VT_I4, "OLE_COLOR"},
        {59, "DateFontName", false, false, VT_BSTR},
        {60, "DateFontSize", false, false, VT_I2},
        {61, "DateFontStyle", false, false, VT_I2},
        {62, "ShowDateTime", false, false, VT_BOOL},
        {63, "TextFontStyle", false, false, VT_I2},
        {64, "TextStyle", false, false, VT_I2},
        {65, "PublishingURL", false, false, VT_BSTR},
        {66, "BroadCastPortNo", false, false, VT_I2},
        {67, "MaxClients", false, false, VT_I2},
        {68, "BroadCast", false, false, VT_BOOL},
        {69, "UseUserDefineVideoFormat", false, false, VT_BOOL},
        {70, "OutputType", false, false, VT_I2},
        {71, "MPEGAudioBitrate", false, false, VT_I4},
        {72, "MPEGVideoBitrate", false, false, VT_I4},
        {73, "MPEGAudioChannels", false, false, VT_I2},
        {74, "MPEGAudioSampleRate", false, false, VT_I4},
        {75, "MPEGWidth", false, false, VT_I2},
        {76, "MPEGHeight", false, false, VT_I2},
        {77, "MPEGFrameRate", false, false, VT_I2},
        {78, "Start", true, false, VT_I2},
        {79, "Stop", true, false, VT_VOID},
        {80, "SnapShot", true, false, VT_BOOL, "", {{"strFileName", VT_BSTR}}},
        {81, "ShowVideoCapturePropertyPage", true, false, VT_BOOL},
        {82, "ScanTVChannels", true, false, VT_BOOL},
        {83, "ShowAudioCapturePropertyPage", true, false, VT_BOOL},
        {84, "ShowVideoFormatPropertyPage", true, false, VT_BOOL},
        {85, "ShowCrossbarPropertyPage", true, false, VT_BOOL},
        {86, "DrawTime", true, false, VT_VOID, "",
         {{"iX", VT_I2}, {"iY", VT_I2}, {"iDateFormat", VT_I2}}},
        {87, "SnapShotJPEG", true, false, VT_BOOL, "",
         {{"strFileName", VT_BSTR}, {"iJPEGQuality", VT_I2}}},
        {88, "Pause", true, false, VT_VOID},
        {89, "Resume", true, false, VT_VOID},
        {90, "SnapShot2HBITMAP", true, false, VT_I4},
        {91, "SnapShot2Picture", true, false, VT_DISPATCH, "IPictureDisp"},
        {92, "ResizeControl", true, false, VT_VOID, "", {{"iwidth", VT_I2}, {"iheight", VT_I2}}},
        {93, "RefreshDevice", true, false, VT_VOID},
        {94, "DrawImage", true, false, VT_VOID, "",
         {{"iX", VT_I2}, {"iY", VT_I2}, {"strImagePath", VT_BSTR}, {"clrTranColor", VT_I4},
          {"iAlphaValue", VT_I2}}},
        {95, "DrawText", true, false, VT_VOID, "",
         {{"iX", VT_I2}, {"iY", VT_I2}, {"strText", VT_BSTR}}},
        {96, "SetHashBrushValue", true, false, VT_VOID, "",
         {{"iHatchStyle", VT_I2}, {"clrForeColor", VT_I4}, {"clrBackColor", VT_I4}}},
        {97, "SetTextureBrushImage", true, false, VT_VOID, "", {{"strImage", VT_BSTR}}},
        {98, "SetOutlineTextBackColor", true, false, VT_VOID, "", {{"clrBack", VT_I4}}},
        {99, "SetOutlineTextBorderColor", true, false, VT_VOID, "", {{"clrBorder", VT_I4}}},
        {100, "GetVideoCompressorName", true, false, VT_BSTR, "", {{"iIndex", VT_I2}}},
        {101, "SetUserDefineVideoFormat", true, false, VT_VOID, "",
         {{"iwidth", VT_I2}, {"iheight", VT_I2}}},
        {102, "GetConnectedIP", true, false, VT_BSTR, "", {{"iIndex", VT_I2}}},
        {103, "RefreshAudioInputPin", true, false, VT_BOOL, "", {{"iAudioDeviceIndex", VT_I2}}},
        {-552, "AboutBox", true, false, VT_VOID},
    };
    return members;
}

inline const std::vector<Member>& EventMembers() {
    static const std::vector<Member> members = {
        {1, "Capturing", true, false, VT_VOID, "", {{"lFrame", VT_I4}, {"lDropFrame", VT_I4}}},
        {2, "ClientConnected", true, false, VT_VOID, "",
         {{"iNumClient", VT_I2}, {"strClientIP", VT_BSTR}}},
        {3, "CaptureError", true, false, VT_VOID, "", {{"code", VT_I4}, {"text", VT_BSTR}}},
        {-600, "Click", true, false, VT_VOID},
        {-601, "DblClick", true, false, VT_VOID},
        {-606, "MouseMove", true, false, VT_VOID, "",
         {{"Button", VT_I2}, {"Shift", VT_I2}, {"x", VT_I4}, {"y", VT_I4}}},
    };
    return members;
}

// The collection, item and enumerator interfaces, and the adjustment interfaces.
inline const std::vector<std::string>& OtherInterfaceNames() {
    static const std::vector<std::string> names = {
        "IDevices", "IDevice", "IVideoFormats", "IVideoFormat", "IVideoCompressors",
        "IVideoCompressor", "IAudioDevices", "IAudioDevice", "IAudioCompressors",
        "IAudioCompressor", "IAudioInputPins", "IAudioInputPin", "IVideoInputs", "IVideoInput",
        "ITVChannels", "ITVChannel", "IWMVProfiles", "IWMVProfile",
        "IEnumDevices", "IEnumVideoFormats", "IEnumVideoCompressors", "IEnumAudioDevices",
        "IEnumAudioCompressors", "IEnumAudioInputPins", "IEnumVideoInputs", "IEnumTVChannels",
        "IEnumWMVProfiles",
        "IBrightness", "IContrast", "IHue", "ISaturation", "ISharpness", "IGamma",
        "IColorEnable", "IWhiteBalance", "IBacklightCompensation", "IGain", "IPan", "ITilt",
        "IRoll", "IZoom", "IExposure", "IIris", "IFocus"};
    return names;
}

inline const std::vector<std::string>& OtherCoclassNames() {
    static const std::vector<std::string> names = {
        "Devices", "Device", "VideoFormats", "VideoFormat", "VideoCompressors", "VideoCompressor",
        "AudioDevices", "AudioDevice", "AudioCompressors", "AudioCompressor", "AudioInputPins",
        "AudioInputPin", "VideoInputs", "VideoInput", "TVChannels", "TVChannel", "WMVProfiles",
        "WMVProfile",
        "EnumDevices", "EnumVideoFormats", "EnumVideoCompressors", "EnumAudioDevices",
        "EnumAudioCompressors", "EnumAudioInputPins", "EnumVideoInputs", "EnumTVChannels",
        "EnumWMVProfiles",
        "Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "Gamma", "ColorEnable",
        "WhiteBalance", "BacklightCompensation", "Gain", "Pan", "Tilt", "Roll", "Zoom",
        "Exposure", "Iris", "Focus"};
    return names;
}

// The nine collection interfaces: each has Count, Item and a restricted _NewEnum.
inline const std::vector<std::string>& CollectionInterfaceNames() {
    static const std::vector<std::string> names = {
        "IDevices", "IVideoFormats", "IVideoCompressors", "IAudioDevices", "IAudioCompressors",
        "IAudioInputPins", "IVideoInputs", "ITVChannels", "IWMVProfiles"};
    return names;
}

struct PersistedKey {
    const char* key;
    VARTYPE vt;       // as the bag holds it: VT_I2, VT_I4, VT_UI4 (colours), VT_BOOL, VT_BSTR
    int64_t number;   // default of a number or flag (flags: 0 or 1)
    const char* text; // default of a string
};

// Persisted keys in exchange order, with their defaults. Colours are held as VT_UI4.
inline const std::vector<PersistedKey>& PersistedKeys() {
    static const std::vector<PersistedKey> keys = {
        {"Device", VT_I2, 0, ""},
        {"AudioInputPin", VT_I2, 0, ""},
        {"AudioDevice", VT_I2, 0, ""},
        {"VideoFormat", VT_I2, 0, ""},
        {"VideoInput", VT_I2, 0, ""},
        {"WMVProfile", VT_I2, 0, ""},
        {"FrameRate", VT_I2, 15, ""},
        {"VideoCompressor", VT_I2, 0, ""},
        {"Filename", VT_BSTR, 0, ""},
        {"CaptureMode", VT_BOOL, 0, ""},
        {"CaptureAudio", VT_BOOL, 1, ""},
        {"AudioCompressor", VT_I2, 0, ""},
        {"UseAudioCompressor", VT_BOOL, 0, ""},
        {"UseVideoCompressor", VT_BOOL, 0, ""},
        {"AspectRatio", VT_BOOL, 1, ""},
        {"CountryCode", VT_I2, 1, ""},
        {"Channel", VT_I2, 0, ""},
        {"TVMute", VT_BOOL, 0, ""},
        {"OutputWMV", VT_BOOL, 0, ""},
        {"VideoStandard", VT_I2, 0, ""},
        {"TextFontName", VT_BSTR, 0, "Arial"},
        {"TextFontBold", VT_BOOL, 0, ""},
        {"TextFontItalic", VT_BOOL, 0, ""},
        {"TextFontUnderline", VT_BOOL, 0, ""},
        {"TextColor", VT_UI4, 255, ""},
        {"TextBgColor", VT_UI4, 0, ""},
        {"TextBgTransparent", VT_BOOL, 0, ""},
        {"WMVCustomFileName", VT_BSTR, 0, ""},
        {"TunerMode", VT_I2, 0, ""},
        {"TunerInput", VT_I2, 0, ""},
        {"TextFontSize", VT_I2, 8, ""},
        {"BroadCast", VT_BOOL, 0, ""},
        {"BroadCastPortNo", VT_I2, 8080, ""},
        {"MaxClients", VT_I2, 3, ""},
        {"PublishingURL", VT_BSTR, 0, ""},
        {"OutputType", VT_I2, 0, ""},
        {"UseUserDefineVideoFormat", VT_BOOL, 0, ""},
        {"MPEGAudioSampleRate", VT_I4, 44100, ""},
        {"MPEGAudioChannels", VT_I2, 2, ""},
        {"MPEGVideoBitrate", VT_I4, 4600000, ""},
        {"MPEGAudioBitrate", VT_I4, 224000, ""},
        {"MPEGWidth", VT_I2, 320, ""},
        {"MPEGHeight", VT_I2, 240, ""},
        {"MPEGFrameRate", VT_I2, 25, ""},
    };
    return keys;
}

}  // namespace lumicor_expected
