#pragma once
// The Windows Media profile interfaces: profiles (IWMProfile, IWMProfile2), their streams
// (IWMStreamConfig) and stream media types (IWMMediaProps, IWMVideoMediaProps), the profile
// manager (IWMProfileManager, IWMProfileManager2) and the ASF writer's IConfigAsfWriter.
//
// Shapes as platform/dshow declares its interfaces: names out are UTF-8 into the caller's buffer
// (`length` in characters, the terminating zero included: null buffer asks for the length, a
// buffer too small gives ASF_E_BUFFERTOOSMALL); the profile text in is UTF-16; media types are
// filled into the caller's WM_MEDIA_TYPE, which owns its format block. GetMediaType keeps the
// two-call shape (size first, then the type) so callers written for it work unchanged.
#include "platform/com/Unknown.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"

using WCHAR = char16_t;
// A stream's media type: the same record as a graph's media type.
using WM_MEDIA_TYPE = AM_MEDIA_TYPE;

enum WMT_VERSION : DWORD {
    WMT_VER_4_0 = 0x00040000,
    WMT_VER_7_0 = 0x00070000,
    WMT_VER_8_0 = 0x00080000,
    WMT_VER_9_0 = 0x00090000,
};

inline constexpr HRESULT ASF_E_BUFFERTOOSMALL = MakeHResult(0xC00D07D1);
inline constexpr HRESULT ASF_E_NOTFOUND = MakeHResult(0xC00D07F0);
inline constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = MakeHResult(0xC00D0BB8);
inline constexpr HRESULT NS_E_NOT_CONFIGURED = MakeHResult(0xC00D0BBC);
inline constexpr HRESULT NS_E_INVALIDPROFILE = MakeHResult(0xC00D0BC6);

inline constexpr Guid WMMEDIATYPE_Video = MEDIATYPE_Video;
inline constexpr Guid WMMEDIATYPE_Audio = MEDIATYPE_Audio;
inline constexpr Guid WMFORMAT_VideoInfo = FORMAT_VideoInfo;
inline constexpr Guid WMFORMAT_WaveFormatEx = FORMAT_WaveFormatEx;
inline constexpr Guid WMMEDIASUBTYPE_WMV1 = Guid::FromFourCC(Guid::FourCC('W', 'M', 'V', '1'));
inline constexpr Guid WMMEDIASUBTYPE_WMV2 = Guid::FromFourCC(Guid::FourCC('W', 'M', 'V', '2'));
inline constexpr Guid WMMEDIASUBTYPE_WMV3 = Guid::FromFourCC(Guid::FourCC('W', 'M', 'V', '3'));
inline constexpr Guid WMMEDIASUBTYPE_MP43 = Guid::FromFourCC(Guid::FourCC('M', 'P', '4', '3'));
inline constexpr Guid WMMEDIASUBTYPE_WMAudioV1 = Guid::FromFourCC(0x00000160);
inline constexpr Guid WMMEDIASUBTYPE_WMAudioV2 = Guid::FromFourCC(0x00000161);
inline constexpr Guid WMMEDIASUBTYPE_PCM = Guid::FromFourCC(0x00000001);
inline constexpr WORD WAVE_FORMAT_WMAUDIO1 = 0x0160;
inline constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x0161;

struct IWMMediaProps : IUnknown {
    static constexpr IID iid = MakeGuid("{96406BCE-2B2B-11D3-B36B-00C04F6108FF}");
    virtual HRESULT GetType(Guid* type) = 0;
    // `type` null: *size receives the size the type takes (record plus format block).
    virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
    virtual HRESULT SetMediaType(const WM_MEDIA_TYPE* type) = 0;

protected:
    ~IWMMediaProps() = default;
};

// Video streams only.
struct IWMVideoMediaProps : IWMMediaProps {
    static constexpr IID iid = MakeGuid("{96406BCF-2B2B-11D3-B36B-00C04F6108FF}");
    using Base = IWMMediaProps;
    // 100 ns units.
    virtual HRESULT GetMaxKeyFrameSpacing(LONGLONG* spacing) = 0;
    virtual HRESULT SetMaxKeyFrameSpacing(LONGLONG spacing) = 0;
    // 0 (smooth) .. 100 (crisp).
    virtual HRESULT GetQuality(DWORD* quality) = 0;
    virtual HRESULT SetQuality(DWORD quality) = 0;

protected:
    ~IWMVideoMediaProps() = default;
};

// A stream of a profile; the object also answers IWMMediaProps (and IWMVideoMediaProps when it
// is a video stream).
struct IWMStreamConfig : IUnknown {
    static constexpr IID iid = MakeGuid("{96406BDC-2B2B-11D3-B36B-00C04F6108FF}");
    virtual HRESULT GetStreamType(Guid* type) = 0;
    virtual HRESULT GetStreamNumber(WORD* number) = 0;
    // 1..63; E_INVALIDARG otherwise.
    virtual HRESULT SetStreamNumber(WORD number) = 0;
    virtual HRESULT GetStreamName(char* name, WORD* length) = 0;
    virtual HRESULT SetStreamName(const char* name) = 0;
    // The input the stream is fed from.
    virtual HRESULT GetConnectionName(char* name, WORD* length) = 0;
    virtual HRESULT SetConnectionName(const char* name) = 0;
    // Bits per second.
    virtual HRESULT GetBitrate(DWORD* bitrate) = 0;
    virtual HRESULT SetBitrate(DWORD bitrate) = 0;
    // Milliseconds.
    virtual HRESULT GetBufferWindow(DWORD* window) = 0;
    virtual HRESULT SetBufferWindow(DWORD window) = 0;

protected:
    ~IWMStreamConfig() = default;
};

// GetStream hands out a copy of the stream: changes to it reach the profile through
// ReconfigStream (or AddStream for a new one).
struct IWMProfile : IUnknown {
    static constexpr IID iid = MakeGuid("{96406BDB-2B2B-11D3-B36B-00C04F6108FF}");
    virtual HRESULT GetVersion(WMT_VERSION* version) = 0;
    virtual HRESULT GetName(char* name, DWORD* length) = 0;
    virtual HRESULT SetName(const char* name) = 0;
    virtual HRESULT GetDescription(char* description, DWORD* length) = 0;
    virtual HRESULT SetDescription(const char* description) = 0;
    virtual HRESULT GetStreamCount(DWORD* count) = 0;
    // E_INVALIDARG past the end.
    virtual HRESULT GetStream(DWORD index, IWMStreamConfig** config) = 0;
    // ASF_E_NOTFOUND for a number no stream has.
    virtual HRESULT GetStreamByNumber(WORD number, IWMStreamConfig** config) = 0;
    virtual HRESULT RemoveStream(IWMStreamConfig* config) = 0;
    virtual HRESULT RemoveStreamByNumber(WORD number) = 0;
    // A copy of `config` joins the profile; NS_E_INVALIDPROFILE when its number is taken.
    virtual HRESULT AddStream(IWMStreamConfig* config) = 0;
    // Replaces the stream of the same number.
    virtual HRESULT ReconfigStream(IWMStreamConfig* config) = 0;
    // A new, unattached stream of that major type.
    virtual HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** config) = 0;

protected:
    ~IWMProfile() = default;
};

struct IWMProfile2 : IWMProfile {
    static constexpr IID iid = MakeGuid("{07E72D33-D94E-4BE7-8843-60AE5FF7E5F5}");
    using Base = IWMProfile;
    // The identifier of a system profile, or of a loaded profile (GUID_NULL when it has none).
    virtual HRESULT GetProfileID(Guid* id) = 0;

protected:
    ~IWMProfile2() = default;
};

struct IWMProfileManager : IUnknown {
    static constexpr IID iid = MakeGuid("{D16679F2-6CA0-472D-8D31-2F5D55AEE155}");
    virtual HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) = 0;
    // A system profile by its identifier; NS_E_INVALIDPROFILE for an unknown one.
    virtual HRESULT LoadProfileByID(REFGUID id, IWMProfile** profile) = 0;
    // A zero-terminated UTF-16 profile text (a .prx file's content; a byte order mark may lead).
    // NS_E_INVALIDPROFILE for anything that is not a well-formed profile of sound sizes and rates.
    virtual HRESULT LoadProfileByData(const WCHAR* profileText, IWMProfile** profile) = 0;
    // Of the current system profile version.
    virtual HRESULT GetSystemProfileCount(DWORD* count) = 0;
    virtual HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile) = 0;

protected:
    ~IWMProfileManager() = default;
};

struct IWMProfileManager2 : IWMProfileManager {
    static constexpr IID iid = MakeGuid("{7A924E51-73C1-494D-8019-23D37ED9B89A}");
    using Base = IWMProfileManager;
    virtual HRESULT GetSystemProfileVersion(WMT_VERSION* version) = 0;
    // WMT_VER_7_0 or WMT_VER_8_0 (the only system profile sets); E_INVALIDARG otherwise.
    virtual HRESULT SetSystemProfileVersion(WMT_VERSION version) = 0;

protected:
    ~IWMProfileManager2() = default;
};

// The ASF writer's configuration. Configuring replaces the writer's input pins by one pin per
// stream of the profile (allowed while the pins are unconnected, or when the new profile has the
// same kinds of streams).
struct IConfigAsfWriter : IUnknown {
    static constexpr IID iid = MakeGuid("{45086030-F7E4-486A-B504-826BB5792A3B}");
    virtual HRESULT ConfigureFilterUsingProfileId(DWORD profileId) = 0;
    virtual HRESULT GetCurrentProfileId(DWORD* profileId) = 0;
    // A system profile; on an error the writer keeps its configuration.
    virtual HRESULT ConfigureFilterUsingProfileGuid(REFGUID profile) = 0;
    virtual HRESULT GetCurrentProfileGuid(Guid* profile) = 0;
    virtual HRESULT ConfigureFilterUsingProfile(IWMProfile* profile) = 0;
    virtual HRESULT GetCurrentProfile(IWMProfile** profile) = 0;
    virtual HRESULT SetIndexMode(BOOL index) = 0;
    virtual HRESULT GetIndexMode(BOOL* index) = 0;

protected:
    ~IConfigAsfWriter() = default;
};

inline constexpr IID IID_IWMMediaProps = IWMMediaProps::iid;
inline constexpr IID IID_IWMVideoMediaProps = IWMVideoMediaProps::iid;
inline constexpr IID IID_IWMStreamConfig = IWMStreamConfig::iid;
inline constexpr IID IID_IWMProfile = IWMProfile::iid;
inline constexpr IID IID_IWMProfile2 = IWMProfile2::iid;
inline constexpr IID IID_IWMProfileManager = IWMProfileManager::iid;
inline constexpr IID IID_IWMProfileManager2 = IWMProfileManager2::iid;
inline constexpr IID IID_IConfigAsfWriter = IConfigAsfWriter::iid;

// Creates a profile manager (system profile version 8 to begin with).
HRESULT WMCreateProfileManager(IWMProfileManager** manager);
