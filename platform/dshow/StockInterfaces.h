#pragma once
// Interfaces of the stock filters: the Sample Grabber (ISampleGrabber and its callback) and the
// Video Renderer's window and video interfaces (IVideoWindow, IBasicVideo, IBasicVideo2). The
// graph manager answers IVideoWindow and IBasicVideo2 itself and forwards them to its renderer.
#include <string>

#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"
#include "platform/dshow/SampleInterfaces.h"

struct ISampleGrabberCB : IUnknown {
    static constexpr IID iid = MakeGuid("{0579154A-2B53-4994-B0D0-E773148EFF85}");
    // Called on the streaming thread; `time` is the sample's start time in seconds.
    virtual HRESULT SampleCB(double time, IMediaSample* sample) = 0;
    virtual HRESULT BufferCB(double time, BYTE* buffer, LONG length) = 0;

protected:
    ~ISampleGrabberCB() = default;
};

struct ISampleGrabber : IUnknown {
    static constexpr IID iid = MakeGuid("{6B652FFF-11FE-4FCE-92AD-0266B5D7C78F}");
    // One shot: after the first sample the grabber ends the stream.
    virtual HRESULT SetOneShot(BOOL oneShot) = 0;
    // The type the input accepts: a pattern (GUID_NULL fields accept anything).
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) = 0;  // VFW_E_NOT_CONNECTED
    virtual HRESULT SetBufferSamples(BOOL buffer) = 0;
    // With a null `buffer`: the size of the last sample in *size. Else copies the last sample
    // (E_OUTOFMEMORY when *size is too small) and sets *size. E_INVALIDARG when not buffering,
    // VFW_E_WRONG_STATE before the first sample.
    virtual HRESULT GetCurrentBuffer(LONG* size, BYTE* buffer) = 0;
    virtual HRESULT GetCurrentSample(IMediaSample** sample) = 0;
    // `which`: 0 calls SampleCB, 1 BufferCB.
    virtual HRESULT SetCallback(ISampleGrabberCB* callback, LONG which) = 0;

protected:
    ~ISampleGrabber() = default;
};

// The renderer's window. Owner and MessageDrain are window handles (OAHWND); the window is a Qt
// widget that becomes a child of the owner (see filters/VideoOwner.h). Colours are OLE_COLOR
// (0x00BBGGRR). Positions are in the owner's client coordinates.
struct IVideoWindow : IUnknown {
    static constexpr IID iid = MakeGuid("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT put_Caption(const char* caption) = 0;
    virtual HRESULT get_Caption(std::string* caption) = 0;
    virtual HRESULT put_WindowStyle(LONG style) = 0;
    virtual HRESULT get_WindowStyle(LONG* style) = 0;
    virtual HRESULT put_AutoShow(LONG autoShow) = 0;  // OATRUE / OAFALSE
    virtual HRESULT get_AutoShow(LONG* autoShow) = 0;
    virtual HRESULT put_Visible(LONG visible) = 0;
    virtual HRESULT get_Visible(LONG* visible) = 0;
    virtual HRESULT put_Left(LONG left) = 0;
    virtual HRESULT get_Left(LONG* left) = 0;
    virtual HRESULT put_Width(LONG width) = 0;
    virtual HRESULT get_Width(LONG* width) = 0;
    virtual HRESULT put_Top(LONG top) = 0;
    virtual HRESULT get_Top(LONG* top) = 0;
    virtual HRESULT put_Height(LONG height) = 0;
    virtual HRESULT get_Height(LONG* height) = 0;
    virtual HRESULT put_Owner(OAHWND owner) = 0;
    virtual HRESULT get_Owner(OAHWND* owner) = 0;
    virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT get_MessageDrain(OAHWND* drain) = 0;
    virtual HRESULT get_BorderColor(LONG* color) = 0;
    virtual HRESULT put_BorderColor(LONG color) = 0;
    virtual HRESULT SetWindowForeground(LONG focus) = 0;
    virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;

protected:
    ~IVideoWindow() = default;
};

using REFTIME = double;  // seconds

// Source rectangle: in video pixels. Destination rectangle: in the window's client pixels; the
// default destination is the whole client area and follows the window's size.
struct IBasicVideo : IUnknown {
    static constexpr IID iid = MakeGuid("{56A868B5-0AD4-11CE-B03A-0020AF0BA770}");
    virtual HRESULT get_AvgTimePerFrame(REFTIME* seconds) = 0;
    virtual HRESULT get_VideoWidth(LONG* width) = 0;
    virtual HRESULT get_VideoHeight(LONG* height) = 0;
    virtual HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT SetDefaultSourcePosition() = 0;
    virtual HRESULT SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT SetDefaultDestinationPosition() = 0;
    virtual HRESULT GetVideoSize(LONG* width, LONG* height) = 0;
    virtual HRESULT IsUsingDefaultSource() = 0;  // S_OK or S_FALSE
    virtual HRESULT IsUsingDefaultDestination() = 0;

protected:
    ~IBasicVideo() = default;
};

struct IBasicVideo2 : IBasicVideo {
    static constexpr IID iid = MakeGuid("{329BB360-F6EA-11D1-9038-00A0C9697298}");
    using Base = IBasicVideo;
    virtual HRESULT GetPreferredAspectRatio(LONG* x, LONG* y) = 0;

protected:
    ~IBasicVideo2() = default;
};

// Window styles the video window understands.
inline constexpr LONG VW_WS_CHILD = 0x40000000;
inline constexpr LONG VW_WS_VISIBLE = 0x10000000;
inline constexpr LONG VW_WS_CLIPSIBLINGS = 0x04000000;
inline constexpr LONG VW_WS_CLIPCHILDREN = 0x02000000;
inline constexpr LONG VW_WS_OVERLAPPEDWINDOW = 0x00CF0000;

inline constexpr IID IID_ISampleGrabberCB = ISampleGrabberCB::iid;
inline constexpr IID IID_ISampleGrabber = ISampleGrabber::iid;
inline constexpr IID IID_IVideoWindow = IVideoWindow::iid;
inline constexpr IID IID_IBasicVideo = IBasicVideo::iid;
inline constexpr IID IID_IBasicVideo2 = IBasicVideo2::iid;
