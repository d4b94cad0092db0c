#pragma once
// An output pin that streams from its own thread, the base of every source (capture devices,
// synthetic sources). The thread starts when the filter pauses (if the pin is connected) and ends
// when it stops. It is live: it delivers only while the filter runs. Each turn it takes a buffer
// from the allocator, lets FillBuffer fill and stamp it, and delivers it unless stream control
// (IAMStreamControl) has the stream stopped.
//
// The pin has a category (PIN_CATEGORY_CAPTURE, PREVIEW, ...) answered through IKsPropertySet
// (AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY); a pin made with GUID_NULL has none.
//
// Threads: FillBuffer, OnThreadStart and OnThreadStop run on the pin's streaming thread; they must
// not take the filter lock. A FillBuffer that waits for a device must return soon after
// StopRequested() becomes true (OnStopRequested is called on the graph's thread to wake it).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/base/OutputPin.h"
#include "platform/dshow/base/WithInterfaces.h"

// FillBuffer: nothing to deliver this turn (a wait was interrupted by a state change).
inline constexpr HRESULT SOURCE_S_SKIP = MakeHResult(0x00041001);

class SourcePin : public WithInterfaces<OutputPin, IKsPropertySet, IAMStreamControl> {
public:
    SourcePin(BaseFilter* filter, const char* name, const Guid& category);
    ~SourcePin() override;

    // IKsPropertySet: the pin category.
    HRESULT Set(REFGUID propSet, DWORD id, void* instanceData, DWORD instanceSize,
                void* propertyData, DWORD propertySize) override;
    HRESULT Get(REFGUID propSet, DWORD id, void* instanceData, DWORD instanceSize,
                void* propertyData, DWORD propertySize, DWORD* returned) override;
    HRESULT QuerySupported(REFGUID propSet, DWORD id, DWORD* support) override;

    // IAMStreamControl
    HRESULT StartAt(const REFERENCE_TIME* start, DWORD cookie) override;
    HRESULT StopAt(const REFERENCE_TIME* stop, BOOL sendExtra, DWORD cookie) override;
    HRESULT GetInfo(AM_STREAM_INFO* info) override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME start) override;
    void Paused() override;

    const Guid& Category() const { return category_; }
    // Samples delivered, and samples dropped by stream control, since the pin was made.
    uint64_t DeliveredCount() const { return delivered_; }
    uint64_t DiscardedCount() const { return discarded_; }

protected:
    // Fills and stamps one sample (buffer, actual length, times, sync point). S_OK: deliver it;
    // SOURCE_S_SKIP: deliver nothing this turn; S_FALSE: end of stream; an error ends the stream
    // and is reported to the graph as EC_ERRORABORT.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
    virtual HRESULT OnThreadStart() { return S_OK; }
    virtual void OnThreadStop() {}
    // The graph asks the thread to end or to pause; wake any device wait.
    virtual void OnStopRequested() {}

    bool StopRequested() const { return stopRequested_; }
    // Waits until the filter's stream time reaches `time`: S_OK when it did, SOURCE_S_SKIP when
    // the filter left the running state or the thread must end. Without a clock it returns at
    // once (the source then runs as fast as its consumers take samples).
    HRESULT WaitForStreamTime(REFERENCE_TIME time);
    // Sleeps up to `ms` milliseconds or until a state change.
    void WaitForStateChange(int ms);

    void* QueryExtraInterface(REFIID riid) override;

private:
    void ThreadMain();
    bool Running() const;
    // Stream control decision for a sample with this start time (stream time).
    bool PassesStreamControl(REFERENCE_TIME time, bool* sendEvent);

    Guid category_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::mutex waitLock_;
    std::condition_variable stateChanged_;
    std::atomic<uint64_t> delivered_{0};
    std::atomic<uint64_t> discarded_{0};

    std::mutex controlLock_;
    bool flowing_ = true;
    bool startPending_ = false;
    bool stopPending_ = false;
    bool stopSendExtra_ = false;
    REFERENCE_TIME startAt_ = 0;
    REFERENCE_TIME stopAt_ = 0;
    DWORD startCookie_ = 0;
    DWORD stopCookie_ = 0;
};
