#pragma once
// The Grabwell control: the one automation object through which containers reach the capture
// engine. It keeps every setting in its members, hands them to its capture session at Start and
// forwards the few that change a running capture at once; it owns the nine collections and the
// seventeen adjustment objects, persists its settings, answers the property browser, turns the
// session's callbacks into events and reads the broadcast helper's client reports.
//
// The member functions are spread by job: LumicorCtrl.cpp (life cycle, window, events, client
// reports), LumicorCtrlProperties.cpp (dispatch table and setters), LumicorCtrlStart.cpp (Start,
// Stop, refreshes), LumicorCtrlMethods.cpp (snapshots, pages, overlay methods),
// LumicorCtrlPersist.cpp (persistence), LumicorCtrlBrowsing.cpp (design-time browsing).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "control/AdjustmentKinds.h"
#include "control/Collections.h"
#include "engine/CaptureSession.h"
#include "engine/SessionOwner.h"
#include "platform/com/Bitmap.h"
#include "platform/com/OleControl.h"
#include "platform/com/Picture.h"
#include "platform/com/TypeDescription.h"

// For the module's class factory.
HRESULT CreateLumicorCtrl(REFIID riid, void** object);
// For the type library: _DLumicor and _DLumicorEvents as the control answers them.
InterfaceDesc LumicorDispatchDescription();
InterfaceDesc LumicorEventsDescription();

// DISPIDs of the control's events.
inline constexpr DISPID kDispidCapturing = 1;
inline constexpr DISPID kDispidClientConnected = 2;
// Added to the event interface: a running capture or preview ended by an error, or a start
// failed; the HRESULT and the cause in words.
inline constexpr DISPID kDispidCaptureError = 3;

class CLumicorCtrl final : public OleControl, public SessionOwner {
public:
    CLumicorCtrl();
    ~CLumicorCtrl() override;

    static const DispatchTable& GetDispatchTable();
    static const DispatchTable& GetEventsTable();

    // SessionOwner.
    void FireClick() override;
    void FireDblClick() override;
    void FireMouseMove(int16_t button, int16_t shift, int32_t x, int32_t y) override;
    void FireCapturing(int32_t seconds, int32_t dropped) override;
    void FireCaptureError(int32_t code, const std::string& text) override;

    // The client report of one WM_COPYDATA; false when it is no report (default handling).
    bool HandleCopyData(const COPYDATASTRUCT& data);

    CCaptureSession& Session() { return session_; }
    const std::vector<std::string>& ClientAddresses() const { return clientAddresses_; }

    // Methods (automation).
    int16_t Start();
    void Stop();
    void Pause();
    void Resume();
    BOOL SnapShot(const std::string& fileName);
    BOOL SnapShotJPEG(const std::string& fileName, int16_t quality);
    int32_t SnapShot2HBITMAP();
    ComPtr<IPictureDisp> SnapShot2Picture();
    BOOL ShowVideoCapturePropertyPage();
    BOOL ShowAudioCapturePropertyPage();
    BOOL ShowVideoFormatPropertyPage();
    BOOL ShowCrossbarPropertyPage();
    BOOL ScanTVChannels();
    void ResizeControl(int16_t width, int16_t height);
    void RefreshDevice();
    BOOL RefreshAudioInputPin(int16_t audioDeviceIndex);
    void DrawText(int16_t x, int16_t y, const std::string& text);
    void DrawTime(int16_t x, int16_t y, int16_t dateFormat);
    void DrawImage(int16_t x, int16_t y, const std::string& imagePath, OLE_COLOR transparentColor,
                   int16_t alpha);
    void SetHashBrushValue(int16_t hatchStyle, OLE_COLOR foreColor, OLE_COLOR backColor);
    void SetTextureBrushImage(const std::string& image);
    void SetOutlineTextBackColor(OLE_COLOR color);
    void SetOutlineTextBorderColor(OLE_COLOR color);
    std::string GetVideoCompressorName(int16_t index) const;
    void SetUserDefineVideoFormat(int16_t width, int16_t height);
    std::string GetConnectedIP(int16_t index) const;
    void AboutBox();

protected:
    const DispatchTable& ControlDispatchTable() const override { return GetDispatchTable(); }
    void* DispatchSelf() override { return this; }
    CLSID ControlClsid() const override;
    IID EventsIid() const override;
    DWORD MiscStatus() const override;
    std::string WindowClassName() const override { return "LumicorCtrlWindow"; }
    std::vector<CLSID> PropertyPageClasses() const override;
    void DoPropExchange(PropExchange& px) override;

    void OnCreate() override;
    void OnSize(int width, int height) override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    bool OnGetDisplayString(DISPID dispid, std::string& text) override;
    bool OnGetPredefinedStrings(DISPID dispid, std::vector<std::string>& strings,
                                std::vector<DWORD>& cookies) override;
    bool OnGetPredefinedValue(DISPID dispid, DWORD cookie, Variant& value) override;
    HRESULT OnShowPropertyPages() override;

private:
    friend struct LumicorProperties;

    // What a setter does after storing the value.
    enum Effect : unsigned {
        kModify = 0x1,      // M
        kNotify = 0x2,      // N: design mode only
        kNotifyAll = 0x4,   // N*
        kInvalidate = 0x8,  // I
    };
    void AfterSet(DISPID dispid, unsigned effects);
    void SendTextOverlay();
    void SendDateOverlay();
    // The names of the entries an index property selects from; null for other DISPIDs.
    std::vector<std::string> BrowsingNames(DISPID dispid) const;
    bool IsBrowsedIndex(DISPID dispid, int16_t* index) const;
    void SyncAll();

    // Settings (initial values as a new control's constructor gives them; persisted ones are
    // reset by InitNew).
    int16_t device_ = 0, videoFormat_ = 0, audioDevice_ = 0, videoCompressor_ = 0;
    int16_t audioCompressor_ = 0, videoInput_ = 0, audioInputPin_ = 0, frameRate_ = 15;
    BOOL useUserDefineVideoFormat_ = FALSE;
    BOOL captureMode_ = FALSE;
    std::string captureFileName_;
    BOOL captureAudio_ = TRUE, captureVideo_ = TRUE;
    BOOL useVideoCompressor_ = FALSE, useAudioCompressor_ = FALSE;
    BOOL showPreview_ = TRUE, aspectRatio_ = TRUE;
    OLE_COLOR backgroundColor_ = 0;
    int16_t outputType_ = 0, wmvProfile_ = 0;
    std::string wmvCustomFileName_;
    int32_t mpegAudioBitrate_ = 224000, mpegVideoBitrate_ = 4600000, mpegAudioSampleRate_ = 44100;
    int16_t mpegAudioChannels_ = 2, mpegWidth_ = 320, mpegHeight_ = 240, mpegFrameRate_ = 25;
    int16_t countryCode_ = 1, channel_ = 0, videoStandard_ = 0, tunerMode_ = 0, tunerInput_ = 0;
    BOOL tvMute_ = FALSE;
    OLE_COLOR textColor_ = 255;
    std::string textFontName_ = "Arial";
    int16_t textFontSize_ = 8, textFontStyle_ = 0, textStyle_ = 0;
    BOOL showText_ = TRUE, showDateTime_ = TRUE, showImage_ = TRUE;
    OLE_COLOR dateColor_ = 0;
    std::string dateFontName_ = "Arial";
    int16_t dateFontSize_ = 12, dateFontStyle_ = 0;
    BOOL broadcast_ = FALSE;
    int16_t broadcastPortNo_ = 8080, maxClients_ = 3;
    std::string publishingUrl_;

    // Overlay state without a property of its own.
    int32_t textX_ = 0, textY_ = 0;
    std::string overlayText_;
    int32_t dateX_ = 0, dateY_ = 0, dateFormat_ = 0;
    int16_t hatchStyle_ = 0;
    OLE_COLOR hatchForeColor_ = 0xFFFFFF, hatchBackColor_ = 0;
    std::string textureImage_;
    OLE_COLOR textBgColor_ = 0;
    BOOL textBgTransparent_ = FALSE;
    BOOL textFontBold_ = FALSE, textFontItalic_ = FALSE, textFontUnderline_ = FALSE;
    BOOL outputWmv_ = FALSE;
    int16_t userWidth_ = 0, userHeight_ = 0;

    std::vector<std::string> clientAddresses_;
    Bitmap snapshotBitmap_;
    ComPtr<IPictureDisp> pictureHolder_;
    std::string controlFolder_;

    CCaptureSession session_;
    ComPtr<CDevices> devices_;
    ComPtr<CVideoFormats> videoFormats_;
    ComPtr<CVideoCompressors> videoCompressors_;
    ComPtr<CAudioDevices> audioDevices_;
    ComPtr<CAudioCompressors> audioCompressors_;
    ComPtr<CAudioInputPins> audioInputPins_;
    ComPtr<CVideoInputs> videoInputs_;
    ComPtr<CTVChannels> tvChannels_;
    ComPtr<CWMVProfiles> wmvProfiles_;
    std::array<ComPtr<IDispatch>, kAdjustmentCount> adjustments_;
};
