#pragma once
// The filter graph manager's interfaces: IFilterGraph and IGraphBuilder (filters, connections,
// intelligent connect, render), IMediaControl (state), IMediaSeeking (positions), the event
// interfaces, and IEnumFilters.
#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/FilterInterfaces.h"

struct IEnumFilters : IUnknown {
    static constexpr IID iid = MakeGuid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** clone) = 0;

protected:
    ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
    static constexpr IID iid = MakeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
    // A name already in the graph gets " 0001", " 0002", ... appended (VFW_S_DUPLICATE_NAME).
    // A null name takes the filter's class name. The graph holds a reference to the filter.
    virtual HRESULT AddFilter(IBaseFilter* filter, const char* name) = 0;
    // Disconnects every pin of the filter (both sides) and releases it.
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    // In the order the filters were added.
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    // Byte-wise equal name; VFW_E_NOT_FOUND otherwise.
    virtual HRESULT FindFilterByName(const char* name, IBaseFilter** filter) = 0;
    // Connects exactly these pins, without intermediate filters (`type` may be null or partial).
    virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;

protected:
    ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
    static constexpr IID iid = MakeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
    using Base = IFilterGraph;
    // Direct first, then through registered transform filters by merit (intelligent connect).
    virtual HRESULT Connect(IPin* output, IPin* input) = 0;
    // Connects the output pin to the default renderer of its major type (through converters).
    virtual HRESULT Render(IPin* output) = 0;
    virtual HRESULT RenderFile(const char* file, const char* playList) = 0;  // E_NOTIMPL
    virtual HRESULT AddSourceFilter(const char* file, const char* name, IBaseFilter** filter) = 0;
    virtual HRESULT SetLogFile(DWORD_PTR file) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT ShouldOperationContinue() = 0;

protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    static constexpr IID iid = MakeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
    // State changes reach the filters downstream first (renderers, then sources).
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    // `state` is a FILTER_STATE value; VFW_S_CANT_CUE when paused with live sources.
    virtual HRESULT GetState(LONG msTimeout, OAFilterState* state) = 0;
    virtual HRESULT StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

inline constexpr Guid TIME_FORMAT_MEDIA_TIME = MakeGuid("{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");

// Positions are in TIME_FORMAT_MEDIA_TIME (100 ns units). For the running graph the current
// position is its stream time, which stands still while the graph is paused.
struct IMediaSeeking : IUnknown {
    static constexpr IID iid = MakeGuid("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const Guid* format) = 0;
    virtual HRESULT GetTimeFormat(Guid* format) = 0;
    virtual HRESULT SetTimeFormat(const Guid* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                 DWORD stopFlags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    virtual HRESULT GetRate(double* rate) = 0;

protected:
    ~IMediaSeeking() = default;
};

// What filters use to post events to their graph (EC_COMPLETE, EC_ERRORABORT, ...).
struct IMediaEventSink : IUnknown {
    static constexpr IID iid = MakeGuid("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEventSink() = default;
};

// The graph's event queue. EC_COMPLETE is posted once every renderer has had its end of stream.
struct IMediaEventEx : IUnknown {
    static constexpr IID iid = MakeGuid("{56A868C0-0AD4-11CE-B03A-0020AF0BA770}");
    // E_ABORT when no event arrives within `msTimeout` (INFINITE waits).
    virtual HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) = 0;
    // Waits for EC_COMPLETE, EC_USERABORT or EC_ERRORABORT; E_ABORT on time-out.
    virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* eventCode) = 0;
    virtual HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEventEx() = default;
};

inline constexpr IID IID_IEnumFilters = IEnumFilters::iid;
inline constexpr IID IID_IFilterGraph = IFilterGraph::iid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::iid;
inline constexpr IID IID_IMediaControl = IMediaControl::iid;
inline constexpr IID IID_IMediaSeeking = IMediaSeeking::iid;
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::iid;
inline constexpr IID IID_IMediaEventEx = IMediaEventEx::iid;
