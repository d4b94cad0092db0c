#pragma once
// The dispatch interfaces of the nine collections and their items. They add no slots to
// IDispatch (every member is reached by DISPID); each has its own IID so that a container can tell
// them apart and the type library can describe each. `coclass` is the CLSID the type library
// declares for the class behind the interface (type information only: nothing creates it).
#include "platform/com/Dispatch.h"

struct IDevices : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{B0FB0862-4A4F-4395-BB42-8D31903ED98C}");
    static constexpr CLSID coclass = MakeGuid("{72A4219D-8FC1-4E2B-A9C1-77654FD3B5BB}");
    static constexpr const char* interfaceName = "IDevices";
    static constexpr const char* coclassName = "Devices";

protected:
    ~IDevices() = default;
};

struct IDevice : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{39EDC387-7C09-48CD-8C6A-9FA8F77148B8}");
    static constexpr CLSID coclass = MakeGuid("{F7DC9E32-6AE4-476A-9DCC-E12FDCC106FC}");
    static constexpr const char* interfaceName = "IDevice";
    static constexpr const char* coclassName = "Device";

protected:
    ~IDevice() = default;
};

struct IVideoFormats : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{DD55C4EB-00E7-46AD-8137-E5A3EFA206E8}");
    static constexpr CLSID coclass = MakeGuid("{D1BF552D-235F-487D-B886-BEA11B61149B}");
    static constexpr const char* interfaceName = "IVideoFormats";
    static constexpr const char* coclassName = "VideoFormats";

protected:
    ~IVideoFormats() = default;
};

struct IVideoFormat : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{6034A5E2-AD25-4E94-A429-363481ACEB4A}");
    static constexpr CLSID coclass = MakeGuid("{D87892B1-EBB2-49FE-AFE7-F06852C5C3F6}");
    static constexpr const char* interfaceName = "IVideoFormat";
    static constexpr const char* coclassName = "VideoFormat";

protected:
    ~IVideoFormat() = default;
};

struct IVideoCompressors : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{19534C76-9593-4369-B2EF-7163D0AC5553}");
    static constexpr CLSID coclass = MakeGuid("{36EFD2AC-43C5-497A-959D-24E1C1B42D10}");
    static constexpr const char* interfaceName = "IVideoCompressors";
    static constexpr const char* coclassName = "VideoCompressors";

protected:
    ~IVideoCompressors() = default;
};

struct IVideoCompressor : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{23A87658-4229-4F90-8E1A-05EBB407B71B}");
    static constexpr CLSID coclass = MakeGuid("{2D4001B8-FF82-40BC-9D44-6FE62719D870}");
    static constexpr const char* interfaceName = "IVideoCompressor";
    static constexpr const char* coclassName = "VideoCompressor";

protected:
    ~IVideoCompressor() = default;
};

struct IAudioDevices : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{D4E1418D-11CD-4AEF-BBBC-5518AB049180}");
    static constexpr CLSID coclass = MakeGuid("{251E3BA8-6D98-49E5-B5B5-B69A176602B9}");
    static constexpr const char* interfaceName = "IAudioDevices";
    static constexpr const char* coclassName = "AudioDevices";

protected:
    ~IAudioDevices() = default;
};

struct IAudioDevice : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{6520FF57-B865-4069-A1B2-2BD7C538A66C}");
    static constexpr CLSID coclass = MakeGuid("{670F4525-B883-4593-96D2-F0CE0B8742FA}");
    static constexpr const char* interfaceName = "IAudioDevice";
    static constexpr const char* coclassName = "AudioDevice";

protected:
    ~IAudioDevice() = default;
};

struct IAudioCompressors : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{84AACB3E-E9E5-4DD2-A677-8A099A5BFF25}");
    static constexpr CLSID coclass = MakeGuid("{7CC09576-3DB2-45D8-A7CD-3671480B1071}");
    static constexpr const char* interfaceName = "IAudioCompressors";
    static constexpr const char* coclassName = "AudioCompressors";

protected:
    ~IAudioCompressors() = default;
};

struct IAudioCompressor : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{3ECBF508-9BC4-4D74-B384-D2A80453385C}");
    static constexpr CLSID coclass = MakeGuid("{8C10F0D1-96BC-4C8C-BA9C-73F3F5964C61}");
    static constexpr const char* interfaceName = "IAudioCompressor";
    static constexpr const char* coclassName = "AudioCompressor";

protected:
    ~IAudioCompressor() = default;
};

struct IAudioInputPins : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{1699DFCD-4AED-48A5-8C48-9CF2733F1F07}");
    static constexpr CLSID coclass = MakeGuid("{7C742A39-530A-4FC9-8EDE-97D5A57A60DB}");
    static constexpr const char* interfaceName = "IAudioInputPins";
    static constexpr const char* coclassName = "AudioInputPins";

protected:
    ~IAudioInputPins() = default;
};

struct IAudioInputPin : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{A2029CBD-9A4E-447C-8243-2BFC946A1725}");
    static constexpr CLSID coclass = MakeGuid("{DA6EE423-0CB8-4835-9B12-6FAC5337787A}");
    static constexpr const char* interfaceName = "IAudioInputPin";
    static constexpr const char* coclassName = "AudioInputPin";

protected:
    ~IAudioInputPin() = default;
};

struct IVideoInputs : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{A6E98D4D-D86D-47D2-9C88-9C9CDA17B09C}");
    static constexpr CLSID coclass = MakeGuid("{A70FCE9D-3CAF-4BB1-81D1-122378FB2BAC}");
    static constexpr const char* interfaceName = "IVideoInputs";
    static constexpr const char* coclassName = "VideoInputs";

protected:
    ~IVideoInputs() = default;
};

struct IVideoInput : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{D50FE1C2-962A-439F-85F1-D2A1E87A3576}");
    static constexpr CLSID coclass = MakeGuid("{5B76CA84-FAAC-4884-9FE0-B885CE3F141F}");
    static constexpr const char* interfaceName = "IVideoInput";
    static constexpr const char* coclassName = "VideoInput";

protected:
    ~IVideoInput() = default;
};

struct ITVChannels : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{5C67BD7A-E0FA-41EF-8A03-F04DE42B9705}");
    static constexpr CLSID coclass = MakeGuid("{746654CA-9736-47D2-BC77-1A8447AA57D6}");
    static constexpr const char* interfaceName = "ITVChannels";
    static constexpr const char* coclassName = "TVChannels";

protected:
    ~ITVChannels() = default;
};

struct ITVChannel : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{59083203-AADB-4D30-9F71-7076BA3048B6}");
    static constexpr CLSID coclass = MakeGuid("{6E4FFB2E-FF7C-436D-8E12-584C19AF88A6}");
    static constexpr const char* interfaceName = "ITVChannel";
    static constexpr const char* coclassName = "TVChannel";

protected:
    ~ITVChannel() = default;
};

struct IWMVProfiles : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{5B0BD413-EBC9-4B48-9F99-414B25C867CE}");
    static constexpr CLSID coclass = MakeGuid("{C074F5D8-D530-45CF-A1DE-B492D499967C}");
    static constexpr const char* interfaceName = "IWMVProfiles";
    static constexpr const char* coclassName = "WMVProfiles";

protected:
    ~IWMVProfiles() = default;
};

struct IWMVProfile : IDispatch {
    using Base = IDispatch;
    static constexpr IID iid = MakeGuid("{C1D37E8B-25B6-4FD3-B11B-9A3AA964137C}");
    static constexpr CLSID coclass = MakeGuid("{5D8DD388-710B-4370-8935-A337B34F3106}");
    static constexpr const char* interfaceName = "IWMVProfile";
    static constexpr const char* coclassName = "WMVProfile";

protected:
    ~IWMVProfile() = default;
};

// The enumerator of each collection as the type library declares it: an empty dispatch interface
// and its coclass. The object a container actually gets from _NewEnum is an IEnumVARIANT.
struct EnumeratorTypeInfo {
    IID iid;
    const char* interfaceName;
    CLSID clsid;
    const char* coclassName;
};

inline constexpr EnumeratorTypeInfo kEnumeratorTypes[] = {
    {MakeGuid("{67C95752-0B29-448B-9F99-5DD468615D7C}"), "IEnumDevices",
     MakeGuid("{A7FCBEEB-3847-4AB7-96A5-E6CA1600D810}"), "EnumDevices"},
    {MakeGuid("{7DA61D16-5E79-40E4-92D3-E262BB10479F}"), "IEnumVideoFormats",
     MakeGuid("{172FADAB-E689-42B5-B435-AB758D1C7DB6}"), "EnumVideoFormats"},
    {MakeGuid("{6713C9DA-187C-4C39-ADDD-9F6F194F63DA}"), "IEnumVideoCompressors",
     MakeGuid("{A494DEC1-F2DB-4C18-A62E-3BAB80488ECC}"), "EnumVideoCompressors"},
    {MakeGuid("{D0CBD8C2-CD57-4124-8774-B940FDA45F54}"), "IEnumAudioDevices",
     MakeGuid("{E0622347-FD0A-4991-B2E0-41733E69C240}"), "EnumAudioDevices"},
    {MakeGuid("{64EE292D-92CA-420E-84DD-DD1EB782D58F}"), "IEnumAudioCompressors",
     MakeGuid("{1E4EDCB3-9F94-442A-A531-438E1E562180}"), "EnumAudioCompressors"},
    {MakeGuid("{3AAA2088-F0C0-4C57-B1FC-718B1898368F}"), "IEnumAudioInputPins",
     MakeGuid("{B4194A0D-6950-4A77-A942-41B8B1E65A7A}"), "EnumAudioInputPins"},
    {MakeGuid("{FBB69778-9498-4A4E-A4F2-73F56A4BE3F6}"), "IEnumVideoInputs",
     MakeGuid("{5C0F2AB1-83B4-4F40-A889-8EF3CEAB34BF}"), "EnumVideoInputs"},
    {MakeGuid("{42690C73-4494-4755-A5DF-DE9809B2AAE1}"), "IEnumTVChannels",
     MakeGuid("{30AF2DF7-A661-4043-A90E-06C00A638D0F}"), "EnumTVChannels"},
    {MakeGuid("{4540AB55-1050-4DEE-8462-8FA0EEC7ECF7}"), "IEnumWMVProfiles",
     MakeGuid("{4B513CFA-AAEF-469C-97A5-3C0F9B53100B}"), "EnumWMVProfiles"},
};
