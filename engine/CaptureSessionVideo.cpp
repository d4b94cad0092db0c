// Around the running graph: the video window in the session window, mouse and progress events,
// the overlay settings pushed to both overlay filters, snapshots and the device dialogs.
#include "engine/CaptureSession.h"
#include "engine/SessionMessages.h"
#include "engine/SessionTimers.h"
#include "engine/Snapshots.h"
#include "platform/contracts/OverlayConfig.h"
#include "platform/com/ClassRegistry.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/os/WindowMessages.h"

namespace {
int Red(COLORREF c) { return static_cast<int>(c & 0xFF); }
int Green(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }
}  // namespace

HRESULT CCaptureSession::AttachVideoWindow() {
    if (!graph_) return E_FAIL;
    ComPtr<IVideoWindow> videoWindow = QueryAs<IVideoWindow>(graph_.Get());
    ComPtr<IBasicVideo2> basicVideo = QueryAs<IBasicVideo2>(graph_.Get());
    if (!videoWindow || !basicVideo) return E_NOINTERFACE;

    LONG clientWidth = Window() ? Window()->width() : 0;
    LONG clientHeight = Window() ? Window()->height() : 0;
    OAHWND owner = Window() ? Window()->VideoOwnerHandle() : 0;

    HRESULT hr = videoWindow->put_AutoShow(OAFALSE);
    if (FAILED(hr)) return hr;
    videoWindow->put_Owner(owner);
    hr = videoWindow->put_MessageDrain(owner);
    if (FAILED(hr)) return hr;
    hr = videoWindow->put_WindowStyle(VW_WS_CHILD | VW_WS_CLIPSIBLINGS);
    if (FAILED(hr)) return hr;
    hr = videoWindow->SetWindowPosition(0, 0, clientWidth, clientHeight);
    if (FAILED(hr)) return hr;
    hr = videoWindow->put_Visible(Window() && Window()->isVisible() ? OATRUE : OAFALSE);
    if (FAILED(hr)) return hr;

    if (captureDefaultDest) {
        LONG l = 0, t = 0, w = 0, h = 0;
        hr = basicVideo->GetDestinationPosition(&l, &t, &w, &h);
        if (FAILED(hr)) return hr;
        defaultDestRect = {l, t, w, h};
        captureDefaultDest = false;
    }
    if (aspectRatio) {
        LONG sl = 0, st = 0, sw = 0, sh = 0;
        hr = basicVideo->GetSourcePosition(&sl, &st, &sw, &sh);
        if (FAILED(hr)) return hr;
        LONG dl = 0, dt = 0, dw = 0, dh = 0;
        hr = basicVideo->GetDestinationPosition(&dl, &dt, &dw, &dh);
        if (FAILED(hr)) return hr;
        VideoRect fit = FitToAspect(sw, sh, VideoRect{dl, dt, dw, dh});
        hr = basicVideo->SetDestinationPosition(fit.left, fit.top, fit.width, fit.height);
    } else {
        hr = basicVideo->SetDestinationPosition(defaultDestRect.left, defaultDestRect.top, defaultDestRect.width,
                                                defaultDestRect.height);
    }
    if (FAILED(hr)) return hr;
    hr = videoWindow->put_BorderColor(static_cast<LONG>(backgroundColor));
    if (FAILED(hr)) return hr;
    return videoWindow->SetWindowForeground(OATRUE);
}

void CCaptureSession::ResizeVideo(int32_t width, int32_t height) {
    if (!graph_) return;
    if (ComPtr<IVideoWindow> videoWindow = QueryAs<IVideoWindow>(graph_.Get())) {
        videoWindow->put_Height(height);
        videoWindow->put_Width(width);
    }
    if (ComPtr<IBasicVideo2> basicVideo = QueryAs<IBasicVideo2>(graph_.Get()))
        basicVideo->SetDestinationPosition(0, 0, width, height);
}

LRESULT CCaptureSession::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        if (ownerControl) ownerControl->FireClick();
        break;
    case WM_LBUTTONDBLCLK:
        if (ownerControl) ownerControl->FireDblClick();
        break;
    case WM_MOUSEMOVE:
        if (ownerControl) {
            auto keys = static_cast<int16_t>(LoWord(wParam));
            ownerControl->FireMouseMove(keys, keys, PointX(lParam), PointY(lParam));
        }
        break;
    case WM_TIMER:
        if (wParam == kProgressTimer) OnProgressTimer();
        else if (wParam == kEventTimer) DrainGraphEvents();
        break;
    default:
        break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

// The device's counter was found once when the graph started to run (StartSession).
void CCaptureSession::OnProgressTimer() {
    // An error the filters posted ends the capture before another progress event goes out.
    if (!DrainGraphEvents()) return;
    if (!captureMode || !graph_ || !droppedFrames_) return;
    LONG droppedCount = 0;
    droppedFrames_->GetNumDropped(&droppedCount);
    LONGLONG current = 0, stop = 0;
    if (ComPtr<IMediaSeeking> seeking = QueryAs<IMediaSeeking>(graph_.Get())) seeking->GetPositions(&current, &stop);
    if (ownerControl) ownerControl->FireCapturing(static_cast<int32_t>(current / UNITS), droppedCount);
}

template <class F>
void CCaptureSession::ForEachOverlay(F&& push) {
    if (!graph_) return;
    for (const char* name : {"Preview Text Filter", "Write Text Filter"}) {
        ComPtr<IBaseFilter> filter;
        if (FAILED(graph_->FindFilterByName(name, filter.ReleaseAndGetAddressOf())) || !filter) continue;
        if (ComPtr<IOverlayConfig> config = QueryAs<IOverlayConfig>(filter.Get()))
            push(config.Get(), name[0] == 'P');
    }
}

void CCaptureSession::EnableTextOverlay(bool flag) {
    showText = flag;
    ForEachOverlay([&](IOverlayConfig* c, bool) { c->SetShowText(flag ? 1 : 0); });
}

void CCaptureSession::EnableImageOverlay(bool flag) {
    showImage = flag;
    ForEachOverlay([&](IOverlayConfig* c, bool) { c->SetShowImage(flag ? 1 : 0); });
}

void CCaptureSession::EnableDateOverlay(bool flag) {
    showDate = flag;
    ForEachOverlay([&](IOverlayConfig* c, bool) { c->SetShowDate(flag ? 1 : 0); });
}

void CCaptureSession::UpdateTextOverlay(int16_t style, int32_t fontStyle, const std::string& fontName,
                                        int32_t fontSize, int32_t x, int32_t y, const std::string& overlayText,
                                        COLORREF color, COLORREF /*backColor*/, int32_t /*backTransparency*/,
                                        int32_t hatch, COLORREF hatchFore, COLORREF hatchBack,
                                        const std::string& texture) {
    textStyle = style;
    textFontStyle = fontStyle;
    textFontName = fontName;
    textFontSize = fontSize;
    textX = x;
    textY = y;
    text = overlayText;
    textColor = color;
    hatchStyle = hatch;
    hatchForeColor = hatchFore;
    hatchBackColor = hatchBack;
    textureImage = texture;
    ForEachOverlay([&](IOverlayConfig* c, bool preview) {
        c->SetShowText(showText ? 1 : 0);
        if (preview) {
            c->SetOutlineBorderColor(Red(outlineBorderColor), Green(outlineBorderColor), Blue(outlineBorderColor));
            c->SetOutlineBackColor(Red(outlineBackColor), Green(outlineBackColor), Blue(outlineBackColor));
        }
        c->SetTextStyle(textStyle);
        c->SetTextFontStyle(textFontStyle);
        c->SetHatchBrush(hatchStyle, Red(hatchForeColor), Green(hatchForeColor), Blue(hatchForeColor),
                         Red(hatchBackColor), Green(hatchBackColor), Blue(hatchBackColor));
        c->SetTextureImage(textureImage.c_str());
        c->SetTextPosition(textX, textY);
        c->SetText(text.c_str());
        c->SetTextColor(Red(textColor), Green(textColor), Blue(textColor));
        c->SetTextFont(textFontName.c_str(), textFontSize);
    });
}

void CCaptureSession::UpdateDateOverlay(int32_t formatIndex, int32_t fontStyle, const std::string& fontName,
                                        int32_t fontSize, int32_t x, int32_t y, COLORREF color) {
    ForEachOverlay([&](IOverlayConfig* c, bool) {
        c->SetShowDate(showDate ? 1 : 0);
        c->SetDateFormat(formatIndex);
        c->SetDateFontStyle(fontStyle);
        c->SetDatePosition(x, y);
        c->SetDateColor(Red(color), Green(color), Blue(color));
        c->SetDateFont(fontName.c_str(), fontSize);
    });
}

void CCaptureSession::DrawImageOverlay(int32_t x, int32_t y, const std::string& path, COLORREF transparentColor,
                                       int32_t alpha) {
    ForEachOverlay([&](IOverlayConfig* c, bool) {
        c->SetShowImage(showImage ? 1 : 0);
        c->SetImagePosition(x, y);
        c->SetImageKey(Red(transparentColor), Green(transparentColor), Blue(transparentColor), alpha);
        c->SetImagePath(path.c_str());
    });
}

void CCaptureSession::UpdateOutlineBackColor(COLORREF color) {
    if (!graph_) return;
    outlineBackColor = color;
    ForEachOverlay([&](IOverlayConfig* c, bool) { c->SetOutlineBackColor(Red(color), Green(color), Blue(color)); });
}

void CCaptureSession::UpdateOutlineBorderColor(COLORREF color) {
    if (!graph_) return;
    outlineBorderColor = color;
    ForEachOverlay([&](IOverlayConfig* c, bool) { c->SetOutlineBorderColor(Red(color), Green(color), Blue(color)); });
}

HRESULT CCaptureSession::GrabFrame(Bitmap& bitmap) { return ::GrabFrame(graph_.Get(), grabber_.Get(), bitmap); }

int32_t CCaptureSession::SnapShot(const std::string& fileName, HRESULT* fileError) {
    return ::SnapShot(graph_.Get(), grabber_.Get(), fileName, fileError);
}

int32_t CCaptureSession::SnapShotJPEG(const std::string& fileName, int16_t quality) {
    return ::SnapShotJPEG(graph_.Get(), grabber_.Get(), fileName, quality);
}

HBITMAP CCaptureSession::SnapShot2HBITMAP(Bitmap& controlBitmap) {
    return ::SnapShot2HBITMAP(graph_.Get(), grabber_.Get(), controlBitmap);
}

ComPtr<IPictureDisp> CCaptureSession::SnapShot2Picture(ComPtr<IPictureDisp>& pictureHolder) {
    return ::SnapShot2Picture(graph_.Get(), grabber_.Get(), pictureHolder);
}

std::string CCaptureSession::ShowVideoFormatPage() { return ::ShowVideoFormatPage(graph_.Get(), videoDeviceName); }

int CCaptureSession::ShowCaptureDevicePage() { return ::ShowCaptureDevicePage(graph_.Get(), videoDeviceName); }
