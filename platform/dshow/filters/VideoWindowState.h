#pragma once
// What the Video Renderer shares with its widget: the window's properties (set on the UI thread
// through IVideoWindow / IBasicVideo) and the newest frame (set on the streaming thread). Shared
// ownership, so that work queued for the UI thread never outlives what it touches.
#include <QPointer>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/SampleInterfaces.h"

class VideoWidget;

struct VideoWindowState {
    std::mutex lock;

    // Window (IVideoWindow).
    OAHWND owner = 0;
    OAHWND drain = 0;
    LONG style = 0x06CF0000;  // WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
    bool autoShow = true;
    bool visible = false;
    bool sizeSet = false;  // the window got a size of its own (else it takes the video's)
    RECT window{0, 0, 320, 240};  // left, top, right, bottom in the owner's client coordinates
    LONG borderColor = 0;  // OLE_COLOR
    std::string caption = "ActiveMovie Window";
    bool foreground = false;

    // Video (IBasicVideo).
    LONG videoWidth = 0;
    LONG videoHeight = 0;
    bool bottomUp = true;
    int bitCount = 24;
    LONG stride = 0;
    REFERENCE_TIME avgTimePerFrame = 0;
    bool defaultSource = true;
    RECT source;
    bool defaultDestination = true;
    RECT destination;  // meaningful when not default

    // Frames.
    ComPtr<IMediaSample> frame;
    // The last frame, copied when the graph stopped: the sample went back to its pool, the
    // picture stays on screen.
    std::vector<BYTE> still;
    bool updateQueued = false;
    uint64_t received = 0;
    uint64_t dropped = 0;  // replaced before they were painted
    uint64_t painted = 0;

    QPointer<VideoWidget> widget;

    LONG ClientWidth() const { return window.right - window.left; }
    LONG ClientHeight() const { return window.bottom - window.top; }
    RECT SourceRect() const { return defaultSource ? RECT{0, 0, videoWidth, videoHeight} : source; }
    RECT DestinationRect() const {
        return defaultDestination ? RECT{0, 0, ClientWidth(), ClientHeight()} : destination;
    }
};

// Runs `work` on the UI thread: at once when called there, else queued. Nothing happens without
// a Qt application (a renderer with no screen keeps its state and draws nowhere).
void RunOnUiThread(std::function<void()> work);
// Creates, re-parents, places and shows the widget as the state says; UI thread only.
void ApplyWindowState(const std::shared_ptr<VideoWindowState>& state);
