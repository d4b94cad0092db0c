#pragma once
// The screen source filter (CLSID_ScreenSource, ScreenSourceInterfaces.h): a live "Capture" pin
// that reads the chosen rectangle of the X screen once a frame interval of stream time, draws the
// cursor on it, scales it to the output size and delivers it as a bottom-up DIB. A frame whose
// time has already passed by more than one interval when the thread gets to it (a slow server, a
// busy machine) is not made late: the frames missed are counted as dropped and the next one is
// taken on time, so the file keeps its rate and the counts stay honest.
//
// Threads: configuration on any thread under the filter's configuration lock; the X connection
// is opened when the filter pauses from stopped (so that a missing server fails the start) and
// is used by the streaming thread alone from then until it stops.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/contracts/ScreenSourceInterfaces.h"
#include "components/pavisse/X11ScreenGrabber.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/base/SourceFilter.h"

struct SwsContext;
class ScreenSourceFilter;

class ScreenSourcePin final : public WithInterfaces<SourcePin, IAMDroppedFrames> {
public:
    explicit ScreenSourcePin(ScreenSourceFilter* filter);
    ~ScreenSourcePin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // IAMDroppedFrames
    HRESULT GetNumDropped(LONG* dropped) override;
    HRESULT GetNumNotDropped(LONG* notDropped) override;
    HRESULT GetDroppedInfo(LONG size, LONG* frames, LONG* copied) override;
    HRESULT GetAverageFrameSize(LONG* averageSize) override;

    const X11ScreenGrabber& Grabber() const { return grabber_; }

protected:
    HRESULT FillBuffer(IMediaSample* sample) override;

private:
    HRESULT Convert(const uint8_t* pixels, int stride, int width, int height, BYTE* out);

    ScreenSourceFilter* filter_;
    X11ScreenGrabber grabber_;
    SwsContext* scaler_ = nullptr;
    uint64_t nextFrame_ = 0;
    std::atomic<LONG> dropped_{0};
    std::atomic<LONG> delivered_{0};
    std::atomic<int64_t> bytesDelivered_{0};
    mutable std::mutex droppedLock_;
    std::vector<LONG> droppedFrames_;  // the first ones, for GetDroppedInfo
};

class ScreenSourceFilter final : public WithInterfaces<SourceFilter, IScreenSourceConfig> {
public:
    ScreenSourceFilter();

    // IScreenSourceConfig
    HRESULT SetDisplayName(const char* name) override;
    HRESULT GetScreenSize(LONG* width, LONG* height) override;
    HRESULT SetSourceRect(const RECT* rect) override;
    HRESULT GetSourceRect(RECT* rect) override;
    HRESULT SetOutputSize(LONG width, LONG height) override;
    HRESULT SetFrameInterval(REFERENCE_TIME interval) override;
    HRESULT SetCaptureCursor(BOOL capture) override;
    HRESULT GetLastError(std::string* text) override;

    ScreenSourcePin* Pin() const { return pin_; }

private:
    friend class ScreenSourcePin;
    struct Settings {
        std::string displayName;
        RECT requested{};  // empty: the whole screen
        LONG width = 640;
        LONG height = 480;
        REFERENCE_TIME interval = UNITS / 10;
        bool cursor = true;
    };
    Settings Current() const;
    AM_MEDIA_TYPE MediaType(const Guid& subtype) const;
    // The requested rectangle fitted to a screen of that size; remembered for GetSourceRect.
    RECT FittedRect(LONG screenWidth, LONG screenHeight);
    void SetError(std::string text);

    ScreenSourcePin* pin_;
    mutable std::mutex configLock_;
    Settings settings_;
    RECT fitted_{};
    std::string lastError_;
};
