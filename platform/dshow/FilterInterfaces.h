#pragma once
// Filters and pins: IBaseFilter with its bases IMediaFilter and IPersist, IPin, the pin and media
// type enumerators, and the reference clock. Names are UTF-8. Out-parameters of interface type
// receive a new reference (use ComPtr::ReleaseAndGetAddressOf); media types are filled into the
// caller's AM_MEDIA_TYPE, which owns its format block.
#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/MediaType.h"

struct IFilterGraph;
struct IEnumPins;
struct IEnumMediaTypes;
struct IPin;

struct IPersist : IUnknown {
    static constexpr IID iid = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
    virtual HRESULT GetClassID(CLSID* classId) = 0;

protected:
    ~IPersist() = default;
};

// The graph clock. GetTime is monotonic, in 100 ns units, from an arbitrary origin.
struct IReferenceClock : IUnknown {
    static constexpr IID iid = MakeGuid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;

protected:
    ~IReferenceClock() = default;
};

struct IMediaFilter : IPersist {
    static constexpr IID iid = MakeGuid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
    using Base = IPersist;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    // `start` is the reference (clock) time that corresponds to stream time 0.
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    // S_OK, VFW_S_STATE_INTERMEDIATE or VFW_S_CANT_CUE (a live source while paused).
    virtual HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
    static constexpr IID iid = MakeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
    using Base = IMediaFilter;
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    // Finds a pin by its id (here the id is the pin's name); VFW_E_NOT_FOUND otherwise.
    virtual HRESULT FindPin(const char* id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // Called by the graph on AddFilter (graph and name) and RemoveFilter (both null). The filter
    // keeps the graph pointer without a reference.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) = 0;
    // E_NOTIMPL unless the filter has vendor text; `info` receives a copy of it.
    virtual HRESULT QueryVendorInfo(char* info, ULONG size) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IPin : IUnknown {
    static constexpr IID iid = MakeGuid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
    // On an output pin: connect to `receivePin`, with `type` (may be partial or null).
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
    // On an input pin: accept a connection from `connector` with this complete type.
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    // Breaks this side of the connection only (S_FALSE when not connected).
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT ConnectedTo(IPin** pin) = 0;  // VFW_E_NOT_CONNECTED when not connected
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryId(char* id, ULONG size) = 0;
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;  // S_OK or S_FALSE
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
    virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

protected:
    ~IPin() = default;
};

struct IEnumPins : IUnknown {
    static constexpr IID iid = MakeGuid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
    // S_OK when `count` pins were returned, S_FALSE when fewer.
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** clone) = 0;

protected:
    ~IEnumPins() = default;
};

struct IEnumMediaTypes : IUnknown {
    static constexpr IID iid = MakeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
    // Fills types[0..count); S_OK when `count` types were returned, S_FALSE when fewer.
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE* types, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMediaTypes** clone) = 0;

protected:
    ~IEnumMediaTypes() = default;
};

inline constexpr IID IID_IPersist = IPersist::iid;
inline constexpr IID IID_IReferenceClock = IReferenceClock::iid;
inline constexpr IID IID_IMediaFilter = IMediaFilter::iid;
inline constexpr IID IID_IBaseFilter = IBaseFilter::iid;
inline constexpr IID IID_IPin = IPin::iid;
inline constexpr IID IID_IEnumPins = IEnumPins::iid;
inline constexpr IID IID_IEnumMediaTypes = IEnumMediaTypes::iid;
