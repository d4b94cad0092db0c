#pragma once
// The filter graph manager (CLSID_FilterGraph): holds the filters, connects them (directly or
// through catalog filters), renders output pins, runs the graph on its reference clock, keeps the
// event queue and hands the renderer's window interfaces out as its own.
//
// State changes go to the filters downstream first, so renderers are ready before their sources
// deliver. Run starts stream time a few milliseconds ahead of the clock; Pause freezes stream
// time and Run after Pause continues it from where it stood, so paused time leaves no gap.
//
// Threads: every call but the event sink comes from the graph's (UI) thread. Filters post events
// from streaming threads through IMediaEventSink.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/StockInterfaces.h"

class GraphVideoWindow;

class FilterGraph final
    : public ComObject<IGraphBuilder, IMediaControl, IMediaSeeking, IMediaFilter, IMediaEventEx, IMediaEventSink> {
public:
    FilterGraph();

    // IFilterGraph
    HRESULT AddFilter(IBaseFilter* filter, const char* name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(const char* name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    // IGraphBuilder
    HRESULT Connect(IPin* output, IPin* input) override;
    HRESULT Render(IPin* output) override;
    HRESULT RenderFile(const char* file, const char* playList) override;
    HRESULT AddSourceFilter(const char* file, const char* name, IBaseFilter** filter) override;
    HRESULT SetLogFile(DWORD_PTR file) override;
    HRESULT Abort() override;
    HRESULT ShouldOperationContinue() override;
    // IMediaControl (and IMediaFilter's Stop and Pause)
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG msTimeout, OAFilterState* state) override;
    HRESULT StopWhenReady() override;
    // IMediaSeeking
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const Guid* format) override;
    HRESULT GetTimeFormat(Guid* format) override;
    HRESULT SetTimeFormat(const Guid* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetRate(double* rate) override;
    // IMediaFilter (the graph as a whole): the clock; null runs the graph without one.
    HRESULT GetClassID(CLSID* classId) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IMediaEventEx
    HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) override;
    HRESULT WaitForCompletion(LONG msTimeout, LONG* eventCode) override;
    HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;
    // IMediaEventSink
    HRESULT Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;

    // The first filter of the graph that answers `riid` (for the window forwarders).
    ComPtr<IUnknown> FindFilterInterface(REFIID riid);

protected:
    ~FilterGraph() override;
    void* QueryExtraInterface(REFIID riid) override;

private:
    struct Entry {
        ComPtr<IBaseFilter> filter;
        std::string name;
    };
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    bool Contains(IBaseFilter* filter) const;
    bool PinInGraph(IPin* pin) const;
    // Filters ordered so that every filter comes before the filters upstream of it.
    std::vector<ComPtr<IBaseFilter>> DownstreamFirst() const;
    HRESULT ConnectThrough(IPin* output, IPin* input, int depth);
    HRESULT TryIntermediate(IPin* output, IPin* input, IBaseFilter* filter, int depth);
    HRESULT PauseFilters();
    void PrepareClock();
    REFERENCE_TIME ClockNow() const;
    void PostEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    int CountConnectedRenderers() const;

    mutable std::recursive_mutex lock_;
    std::vector<Entry> filters_;
    FILTER_STATE state_ = State_Stopped;
    ComPtr<IReferenceClock> clock_;
    bool clockChosen_ = false;  // SetSyncSource was called (null included)
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME pausedStreamTime_ = 0;

    std::mutex eventLock_;
    std::condition_variable eventArrived_;
    std::deque<Event> events_;
    int renderersPending_ = 0;
    bool running_ = false;  // accepts EC_COMPLETE from renderers

    std::unique_ptr<GraphVideoWindow> videoWindow_;
};
