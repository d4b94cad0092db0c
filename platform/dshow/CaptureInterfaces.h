#pragma once
// Capture interfaces: pin categories (IKsPropertySet), stream configuration (IAMStreamConfig and
// its capability blocks), stream control (IAMStreamControl), the capture graph builder
// (ICaptureGraphBuilder2), file sinks (IFileSinkFilter(2)) and the AVI multiplexer's IConfigAviMux.
#include <string>

#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"

inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
inline constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND) and HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND).
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = MakeHResult(0x80070490);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = MakeHResult(0x80070492);

// On pins: Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY) gives the pin's category GUID (16 bytes).
struct IKsPropertySet : IUnknown {
    static constexpr IID iid = MakeGuid("{31EFAC30-515C-11D0-A9AA-00AA0061BE93}");
    virtual HRESULT Set(REFGUID propSet, DWORD id, void* instanceData, DWORD instanceSize,
                        void* propertyData, DWORD propertySize) = 0;
    virtual HRESULT Get(REFGUID propSet, DWORD id, void* instanceData, DWORD instanceSize,
                        void* propertyData, DWORD propertySize, DWORD* returned) = 0;
    virtual HRESULT QuerySupported(REFGUID propSet, DWORD id, DWORD* support) = 0;

protected:
    ~IKsPropertySet() = default;
};

// The capability block of a video pin (IAMStreamConfig::GetStreamCaps), 128 bytes.
struct VIDEO_STREAM_CONFIG_CAPS {
    Guid guid;  // format type of the capability, e.g. FORMAT_VideoInfo
    ULONG VideoStandard = 0;
    SIZE InputSize;
    SIZE MinCroppingSize;
    SIZE MaxCroppingSize;
    int CropGranularityX = 0;
    int CropGranularityY = 0;
    int CropAlignX = 0;
    int CropAlignY = 0;
    SIZE MinOutputSize;
    SIZE MaxOutputSize;
    int OutputGranularityX = 0;
    int OutputGranularityY = 0;
    int StretchTapsX = 0;
    int StretchTapsY = 0;
    int ShrinkTapsX = 0;
    int ShrinkTapsY = 0;
    LONGLONG MinFrameInterval = 0;
    LONGLONG MaxFrameInterval = 0;
    LONG MinBitsPerSecond = 0;
    LONG MaxBitsPerSecond = 0;
};
static_assert(sizeof(VIDEO_STREAM_CONFIG_CAPS) == 128);

// The capability block of an audio pin.
struct AUDIO_STREAM_CONFIG_CAPS {
    Guid guid;  // MEDIATYPE_Audio
    ULONG MinimumChannels = 0;
    ULONG MaximumChannels = 0;
    ULONG ChannelsGranularity = 0;
    ULONG MinimumBitsPerSample = 0;
    ULONG MaximumBitsPerSample = 0;
    ULONG BitsPerSampleGranularity = 0;
    ULONG MinimumSampleFrequency = 0;
    ULONG MaximumSampleFrequency = 0;
    ULONG SampleFrequencyGranularity = 0;
};

struct IAMStreamConfig : IUnknown {
    static constexpr IID iid = MakeGuid("{C6E13340-30AC-11D0-A18C-00A0C9118956}");
    virtual HRESULT SetFormat(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetFormat(AM_MEDIA_TYPE* type) = 0;
    // `size` is the size of one capability block (VIDEO_ or AUDIO_STREAM_CONFIG_CAPS).
    virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
    // Fills `type` and the `size` bytes at `caps`; S_FALSE for an index past the end.
    virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE* type, BYTE* caps) = 0;

protected:
    ~IAMStreamConfig() = default;
};

inline constexpr DWORD AM_STREAM_INFO_START_DEFINED = 0x01;
inline constexpr DWORD AM_STREAM_INFO_STOP_DEFINED = 0x02;
inline constexpr DWORD AM_STREAM_INFO_DISCARDING = 0x04;
inline constexpr DWORD AM_STREAM_INFO_STOP_SEND_EXTRA = 0x10;

struct AM_STREAM_INFO {
    REFERENCE_TIME tStart = 0;
    REFERENCE_TIME tStop = 0;
    DWORD dwStartCookie = 0;
    DWORD dwStopCookie = 0;
    DWORD dwFlags = 0;
};

// Stream control on an output pin, in stream time. StartAt(null) starts now, StartAt(MAXLONGLONG)
// cancels a pending start; StopAt(null) stops now, StopAt(MAXLONGLONG) cancels a pending stop.
// A stopped stream discards its samples.
struct IAMStreamControl : IUnknown {
    static constexpr IID iid = MakeGuid("{36B73881-C2C8-11CF-8B46-00805F6CEF60}");
    virtual HRESULT StartAt(const REFERENCE_TIME* start, DWORD cookie) = 0;
    virtual HRESULT StopAt(const REFERENCE_TIME* stop, BOOL sendExtra, DWORD cookie) = 0;
    virtual HRESULT GetInfo(AM_STREAM_INFO* info) = 0;

protected:
    ~IAMStreamControl() = default;
};

struct IFileSinkFilter : IUnknown {
    static constexpr IID iid = MakeGuid("{A2104830-7C70-11CF-8BCE-00AA00A3F1A6}");
    virtual HRESULT SetFileName(const char* file, const AM_MEDIA_TYPE* type) = 0;
    // E_FAIL before a name was set; `type` may be null.
    virtual HRESULT GetCurFile(std::string* file, AM_MEDIA_TYPE* type) = 0;

protected:
    ~IFileSinkFilter() = default;
};

inline constexpr DWORD AM_FILE_OVERWRITE = 0x1;

struct IFileSinkFilter2 : IFileSinkFilter {
    static constexpr IID iid = MakeGuid("{00855B90-CE1B-11D0-BD4F-00A0C911CE86}");
    using Base = IFileSinkFilter;
    virtual HRESULT SetMode(DWORD flags) = 0;
    virtual HRESULT GetMode(DWORD* flags) = 0;

protected:
    ~IFileSinkFilter2() = default;
};

struct IConfigAviMux : IUnknown {
    static constexpr IID iid = MakeGuid("{5ACD6AA0-F482-11CE-8B67-00AA00A3F1A6}");
    // The stream whose clock the file follows; -1: none.
    virtual HRESULT SetMasterStream(LONG stream) = 0;
    virtual HRESULT GetMasterStream(LONG* stream) = 0;
    // TRUE: also write the old-style index that every player reads.
    virtual HRESULT SetOutputCompatibilityIndex(BOOL oldIndex) = 0;
    virtual HRESULT GetOutputCompatibilityIndex(BOOL* oldIndex) = 0;

protected:
    ~IConfigAviMux() = default;
};

struct ICaptureGraphBuilder2 : IUnknown {
    static constexpr IID iid = MakeGuid("{93E5A4E0-2D50-11D2-ABFA-00A0C9C6E38D}");
    virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
    // Creates a graph when none was set.
    virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
    // MEDIASUBTYPE_Avi: an AVI Mux and a File Writer, added and connected; MEDIASUBTYPE_Asf: the
    // ASF writer. `mux` receives the multiplexer, `sink` (may be null) the file sink.
    virtual HRESULT SetOutputFileName(const Guid* type, const char* file, IBaseFilter** mux,
                                      IFileSinkFilter** sink) = 0;
    // Looks for `riid` on the filter, its pins (of `category` and `type` when given), then
    // downstream and upstream (LOOK_UPSTREAM_ONLY / LOOK_DOWNSTREAM_ONLY as category restrict it).
    virtual HRESULT FindInterface(const Guid* category, const Guid* type, IBaseFilter* filter,
                                  REFIID riid, void** object) = 0;
    // Connects an output pin of `source` (a filter or a pin) of that category and type through
    // `intermediate` to `sink`; a null sink renders to the default renderer.
    virtual HRESULT RenderStream(const Guid* category, const Guid* type, IUnknown* source,
                                 IBaseFilter* intermediate, IBaseFilter* sink) = 0;
    // IAMStreamControl on every output pin of that category and type of `filter`, or of every
    // filter of the graph when `filter` is null.
    virtual HRESULT ControlStream(const Guid* category, const Guid* type, IBaseFilter* filter,
                                  REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie,
                                  WORD stopCookie) = 0;
    virtual HRESULT AllocCapFile(const char* file, LONGLONG size) = 0;
    virtual HRESULT CopyCaptureFile(const char* oldFile, const char* newFile, int allowEscAbort,
                                    IUnknown* callback) = 0;
    // The `index`-th pin (0-based) of that direction, category and type.
    virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const Guid* category,
                            const Guid* type, BOOL unconnected, int index, IPin** pin) = 0;

protected:
    ~ICaptureGraphBuilder2() = default;
};

inline constexpr IID IID_IKsPropertySet = IKsPropertySet::iid;
inline constexpr IID IID_IAMStreamConfig = IAMStreamConfig::iid;
inline constexpr IID IID_IAMStreamControl = IAMStreamControl::iid;
inline constexpr IID IID_IFileSinkFilter = IFileSinkFilter::iid;
inline constexpr IID IID_IFileSinkFilter2 = IFileSinkFilter2::iid;
inline constexpr IID IID_IConfigAviMux = IConfigAviMux::iid;
inline constexpr IID IID_ICaptureGraphBuilder2 = ICaptureGraphBuilder2::iid;
