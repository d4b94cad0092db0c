#pragma once
// Samples and allocators: IMediaSample(2), IMemAllocator and the input pin's transport
// IMemInputPin. A sample returns to its allocator's pool when its last reference goes.
#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/MediaType.h"

struct IMediaSample : IUnknown {
    static constexpr IID iid = MakeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    // VFW_E_SAMPLE_TIME_NOT_SET without times; VFW_S_NO_STOP_TIME with a start time only (the
    // stop time is then start + 1).
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    // A null start clears both times; a null stop sets the start time alone.
    virtual HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;  // S_OK or S_FALSE, as the three flag queries below
    virtual HRESULT SetSyncPoint(BOOL syncPoint) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL preroll) = 0;
    virtual LONG GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(LONG length) = 0;  // VFW_E_BUFFER_OVERFLOW above GetSize
    // S_FALSE (and `type` untouched) when the media type did not change with this sample.
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;  // null: no change
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
    virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* stop) = 0;  // VFW_E_MEDIA_TIME_NOT_SET
    virtual HRESULT SetMediaTime(const LONGLONG* start, const LONGLONG* stop) = 0;

protected:
    ~IMediaSample() = default;
};

inline constexpr DWORD AM_SAMPLE_SPLICEPOINT = 0x01;
inline constexpr DWORD AM_SAMPLE_PREROLL = 0x02;
inline constexpr DWORD AM_SAMPLE_DATADISCONTINUITY = 0x04;
inline constexpr DWORD AM_SAMPLE_TYPECHANGED = 0x08;
inline constexpr DWORD AM_SAMPLE_TIMEVALID = 0x10;
inline constexpr DWORD AM_SAMPLE_TIMEDISCONTINUITY = 0x40;
inline constexpr DWORD AM_SAMPLE_STOPVALID = 0x100;
inline constexpr DWORD AM_SAMPLE_ENDOFSTREAM = 0x200;

// All properties of a sample at once. pMediaType and pbBuffer stay owned by the sample.
struct AM_SAMPLE2_PROPERTIES {
    DWORD cbData = sizeof(AM_SAMPLE2_PROPERTIES);
    DWORD dwTypeSpecificFlags = 0;
    DWORD dwSampleFlags = 0;
    LONG lActual = 0;
    REFERENCE_TIME tStart = 0;
    REFERENCE_TIME tStop = 0;
    DWORD dwStreamId = 0;
    AM_MEDIA_TYPE* pMediaType = nullptr;
    BYTE* pbBuffer = nullptr;
    LONG cbBuffer = 0;
};

struct IMediaSample2 : IMediaSample {
    static constexpr IID iid = MakeGuid("{36B73884-C2C8-11CF-8B46-00805F6CEF60}");
    using Base = IMediaSample;
    virtual HRESULT GetProperties(DWORD size, BYTE* properties) = 0;
    // Sets flags, actual length, times and stream id; the buffer fields are ignored.
    virtual HRESULT SetProperties(DWORD size, const BYTE* properties) = 0;

protected:
    ~IMediaSample2() = default;
};

struct IMemAllocator : IUnknown {
    static constexpr IID iid = MakeGuid("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
    // VFW_E_ALREADY_COMMITTED while committed, VFW_E_BUFFERS_OUTSTANDING while samples are out.
    virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
    virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
    // Allocates the buffers; GetBuffer works only between Commit and Decommit.
    virtual HRESULT Commit() = 0;
    // Wakes every waiting GetBuffer (VFW_E_NOT_COMMITTED); buffers go when their samples return.
    virtual HRESULT Decommit() = 0;
    // Waits for a free sample unless `flags` has AM_GBF_NOWAIT (then VFW_E_TIMEOUT).
    virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                              DWORD flags) = 0;
    virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

protected:
    ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
    static constexpr IID iid = MakeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) = 0;  // E_NOTIMPL: none
    // S_OK: go on; S_FALSE: send no more until the next run or flush; an error stops the stream.
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
    virtual HRESULT ReceiveCanBlock() = 0;

protected:
    ~IMemInputPin() = default;
};

inline constexpr IID IID_IMediaSample = IMediaSample::iid;
inline constexpr IID IID_IMediaSample2 = IMediaSample2::iid;
inline constexpr IID IID_IMemAllocator = IMemAllocator::iid;
inline constexpr IID IID_IMemInputPin = IMemInputPin::iid;
