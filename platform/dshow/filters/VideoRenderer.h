#pragma once
// The Video Renderer (CLSID_VideoRenderer; also the default renderer of video): renders RGB24 and
// RGB32 DIB frames into a Qt widget (see VideoWidget) and answers IVideoWindow and IBasicVideo2.
// The streaming thread only stores the newest frame and asks the UI thread for a repaint; a frame
// that arrives before the previous one was painted replaces it (it is dropped, not queued). With
// no Qt application (no screen at all) the renderer keeps every property and draws nowhere.
//
// Threads: IVideoWindow / IBasicVideo calls on the UI thread; frames on the streaming thread.
#include <memory>

#include "platform/dshow/StockInterfaces.h"
#include "platform/dshow/base/WithInterfaces.h"
#include "platform/dshow/filters/RendererFilter.h"

struct VideoWindowState;
class QWidget;

class VideoRenderer final : public WithInterfaces<RendererFilter, IVideoWindow, IBasicVideo2> {
public:
    VideoRenderer();

    // IVideoWindow
    HRESULT put_Caption(const char* caption) override;
    HRESULT get_Caption(std::string* caption) override;
    HRESULT put_WindowStyle(LONG style) override;
    HRESULT get_WindowStyle(LONG* style) override;
    HRESULT put_AutoShow(LONG autoShow) override;
    HRESULT get_AutoShow(LONG* autoShow) override;
    HRESULT put_Visible(LONG visible) override;
    HRESULT get_Visible(LONG* visible) override;
    HRESULT put_Left(LONG left) override;
    HRESULT get_Left(LONG* left) override;
    HRESULT put_Width(LONG width) override;
    HRESULT get_Width(LONG* width) override;
    HRESULT put_Top(LONG top) override;
    HRESULT get_Top(LONG* top) override;
    HRESULT put_Height(LONG height) override;
    HRESULT get_Height(LONG* height) override;
    HRESULT put_Owner(OAHWND owner) override;
    HRESULT get_Owner(OAHWND* owner) override;
    HRESULT put_MessageDrain(OAHWND drain) override;
    HRESULT get_MessageDrain(OAHWND* drain) override;
    HRESULT get_BorderColor(LONG* color) override;
    HRESULT put_BorderColor(LONG color) override;
    HRESULT SetWindowForeground(LONG focus) override;
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;

    // IBasicVideo2
    HRESULT get_AvgTimePerFrame(REFTIME* seconds) override;
    HRESULT get_VideoWidth(LONG* width) override;
    HRESULT get_VideoHeight(LONG* height) override;
    HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT SetDefaultSourcePosition() override;
    HRESULT SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT SetDefaultDestinationPosition() override;
    HRESULT GetVideoSize(LONG* width, LONG* height) override;
    HRESULT IsUsingDefaultSource() override;
    HRESULT IsUsingDefaultDestination() override;
    HRESULT GetPreferredAspectRatio(LONG* x, LONG* y) override;

    // RendererFilter
    HRESULT RenderSample(IMediaSample* sample) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    void BreakConnect() override;
    LONG BuffersWanted() const override { return 3; }
    // A frame is kept for the UI thread to paint and never waited on.
    bool RenderCanBlock() const override { return false; }
    HRESULT Pause() override;
    HRESULT Stop() override;

    // Another way to give the owner: a widget directly.
    HRESULT SetOwnerWidget(QWidget* owner);
    // The window (for tests); null before the UI thread made it or without a Qt application.
    QWidget* Widget() const;
    uint64_t FramesReceived() const;
    uint64_t FramesDropped() const;
    uint64_t FramesPainted() const;

protected:
    ~VideoRenderer() override;

private:
    void Sync();

    std::shared_ptr<VideoWindowState> state_;
};
