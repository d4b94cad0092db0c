#pragma once
// The base of every filter: identity, graph membership, pins, state and the clock.
//
// State: Stop / Pause / Run move the filter and call the pin hooks (stopped -> paused: Active;
// -> stopped: Inactive; paused -> running: Run; running -> paused: Paused). Derived filters
// override Stop / Pause / Run to add their own work and call the base. While running, stream time
// is clock time minus the start time given to Run; while paused it stands at the value it had
// when the filter paused.
//
// Threads: created, connected and changed in state on the graph's thread, under FilterLock().
// Streaming threads may call State(), StreamTime(), Clock() and NotifyEvent(), which do not take
// the filter lock.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/base/BasePin.h"

// Filters tell the graph what they are (the graph counts renderers for EC_COMPLETE).
inline constexpr DWORD AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr DWORD AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

struct IAMFilterMiscFlags : IUnknown {
    static constexpr IID iid = MakeGuid("{2DD74950-A890-11D1-ABE8-00A0C905F375}");
    virtual ULONG GetMiscFlags() = 0;

protected:
    ~IAMFilterMiscFlags() = default;
};

class BaseFilter : public ComObject<IBaseFilter, IAMFilterMiscFlags> {
public:
    // IPersist
    HRESULT GetClassID(CLSID* classId) override;
    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(const char* id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) override;
    HRESULT QueryVendorInfo(char* info, ULONG size) override;
    // IAMFilterMiscFlags: 0 unless the filter is a renderer or a source.
    ULONG GetMiscFlags() override { return 0; }

    int PinCount() const;
    BasePin* GetPin(int index) const;
    FILTER_STATE State() const { return state_; }
    std::recursive_mutex& FilterLock() const { return filterLock_; }
    // The graph (no reference), or null outside a graph.
    IFilterGraph* Graph() const { return graph_; }
    std::string Name() const;
    const CLSID& ClassId() const { return clsid_; }

    // Stream time now: VFW_E_NO_CLOCK without a clock, VFW_E_NOT_RUNNING when stopped.
    HRESULT StreamTime(REFERENCE_TIME* time) const;
    // The reference time of stream time 0 given to the last Run.
    REFERENCE_TIME StartTime() const;
    ComPtr<IReferenceClock> Clock() const;
    // Posts an event to the graph (EC_COMPLETE, EC_ERRORABORT, ...); S_FALSE outside a graph.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

protected:
    explicit BaseFilter(const CLSID& clsid);
    ~BaseFilter() override;

    // Adds a pin at the end of the pin list (the filter owns it); returns it.
    template <class Pin>
    Pin* AddPin(std::unique_ptr<Pin> pin) {
        Pin* raw = pin.get();
        AddPinImpl(std::unique_ptr<BasePin>(std::move(pin)));
        return raw;
    }
    // Removes and destroys an unconnected pin (outstanding pin references must be gone).
    void RemovePin(BasePin* pin);

private:
    void AddPinImpl(std::unique_ptr<BasePin> pin);
    void Deactivate();

    CLSID clsid_;
    mutable std::recursive_mutex filterLock_;
    mutable std::mutex pinsLock_;
    std::vector<std::unique_ptr<BasePin>> pins_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    IFilterGraph* graph_ = nullptr;
    IMediaEventSink* events_ = nullptr;  // the graph's sink, without a reference (as the graph)
    std::string name_;

    mutable std::mutex timeLock_;
    ComPtr<IReferenceClock> clock_;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME pausedStreamTime_ = 0;
    bool hasPausedStreamTime_ = false;
};
