#pragma once
// The capture session: one per control, for the control's whole life. It binds devices and
// compressors by friendly name, builds a fresh filter graph at every start (preview, overlay,
// compression, file writing), runs, pauses and tears it down, hosts the video window in its child
// window, fires the owner's mouse and progress events and carries the overlay settings to the two
// overlay filters of the graph ("Preview Text Filter", "Write Text Filter").
//
// The control copies its properties into the public fields below before each start; the session
// reads them while building. Everything runs on the UI thread.
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/SessionOwner.h"
#include "engine/SessionWindow.h"
#include "engine/VideoAspect.h"
#include "engine/VideoFormats.h"
#include "engine/WmvProfiles.h"
#include "platform/com/Bitmap.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Picture.h"
#include "platform/devices/DeviceEnumInterfaces.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/StockInterfaces.h"

struct IAMDroppedFrames;
struct IOverlayConfig;
struct IWMProfile;
using NameList = std::vector<std::string>;
using COLORREF = uint32_t;

class CCaptureSession {
public:
    CCaptureSession();
    ~CCaptureSession();
    CCaptureSession(const CCaptureSession&) = delete;
    CCaptureSession& operator=(const CCaptureSession&) = delete;

    // The child window inside the control's window; the control keeps it at its client size.
    void CreateSessionWindow(QWidget* parent);
    SessionWindow* Window() const { return windowAlive_.data(); }

    // Device discovery at control creation: fills the collections and probes the first device.
    void EnumerateDevices(NameList& devices, VideoFormatList& videoFormats, NameList& videoCompressors,
                          NameList& audioDevices, NameList& audioCompressors, NameList& videoInputs,
                          NameList& audioInputPins, int16_t audioInputPinIndex);
    // RefreshDevice: the probe build for these names (the control stopped the session first).
    void ProbeDevice(const std::string& videoName, const std::string& audioName, VideoFormatList& videoFormats,
                     NameList& videoInputs);
    // S_OK or a success code when the graph runs; else the first failure, with the graph torn down
    // and its step in LastFailure().
    HRESULT StartSession(VideoFormatList& videoFormats, const std::string& videoName, const std::string& audioName,
                      const std::string& videoCompressor, const std::string& audioCompressor, int videoFormat,
                      int videoInput, const Guid& wmvProfile);
    HRESULT StopSession();
    // What ended the last start or recording, in words for a person; empty when nothing failed.
    const std::string& LastFailure() const { return lastFailure_; }
    HRESULT PauseCapture();
    HRESULT ResumeCapture();
    HRESULT EnsureGraph();
    HRESULT BuildGraph(VideoFormatList& videoFormats, ICaptureGraphBuilder2* builder, IBaseFilter* videoDevice,
                       IBaseFilter* audioDevice, IBaseFilter* videoCompressorFilter,
                       IBaseFilter* audioCompressorFilter, NameList* videoInputs, int videoInput, int videoFormat);

    // The control's Start asks a helper left from an earlier start to quit (WM_COMMAND 1 to the
    // "Relayoclass" window); also on the control's destruction.
    static void AskHelperToQuit();
    // The same, after waiting (boundedly) for the window of a helper this session launched.
    void QuitHelper();

    // Video window and events.
    HRESULT AttachVideoWindow();
    void ResizeVideo(int32_t width, int32_t height);
    LRESULT WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Overlay settings.
    void EnableTextOverlay(bool flag);
    void EnableImageOverlay(bool flag);
    void EnableDateOverlay(bool flag);
    void UpdateTextOverlay(int16_t style, int32_t fontStyle, const std::string& fontName, int32_t fontSize, int32_t x,
                           int32_t y, const std::string& overlayText, COLORREF color, COLORREF backColor,
                           int32_t backTransparency, int32_t hatch, COLORREF hatchFore, COLORREF hatchBack,
                           const std::string& texture);
    void UpdateDateOverlay(int32_t formatIndex, int32_t fontStyle, const std::string& fontName, int32_t fontSize,
                           int32_t x, int32_t y, COLORREF color);
    void DrawImageOverlay(int32_t x, int32_t y, const std::string& path, COLORREF transparentColor, int32_t alpha);
    void UpdateOutlineBackColor(COLORREF color);
    void UpdateOutlineBorderColor(COLORREF color);

    // Snapshots and the device's dialogs, on the current graph and grabber.
    HRESULT GrabFrame(Bitmap& bitmap);
    int32_t SnapShot(const std::string& fileName, HRESULT* fileError = nullptr);
    int32_t SnapShotJPEG(const std::string& fileName, int16_t quality);
    HBITMAP SnapShot2HBITMAP(Bitmap& controlBitmap);
    ComPtr<IPictureDisp> SnapShot2Picture(ComPtr<IPictureDisp>& pictureHolder);
    std::string ShowVideoFormatPage();
    int ShowCaptureDevicePage();

    // Tuner and crossbar, on the current graph's device (found by videoDeviceName).
    struct TvChannelEntry {
        std::string channel;  // decimal
        int32_t signal = 0;   // 0 or 1
    };
    using TvChannelList = std::vector<TvChannelEntry>;
    HRESULT ListCrossbarInputs(ICaptureGraphBuilder2* builder, IBaseFilter* device, NameList* videoInputs);
    HRESULT RouteVideoInput(ICaptureGraphBuilder2* builder, IBaseFilter* device, int input);
    HRESULT RouteTvAudio(ICaptureGraphBuilder2* builder, IBaseFilter* device, bool enable);
    bool IsTunerInput(ICaptureGraphBuilder2* builder, IBaseFilter* device, int input);
    // False when the build must end here (successfully).
    bool SetupTuner(ICaptureGraphBuilder2* builder, IBaseFilter* device);
    void SetChannel(int32_t c);
    void SetTvMute(bool flag);
    // Appends one entry per channel; 1 when a tuner was used, else 0.
    int32_t ScanChannels(TvChannelList& channels);
    void SetVideoStandard(int16_t index);
    // The input routed to the video decoder after the dialog, or -1.
    int32_t ShowCrossbarPage();
    // Audio input pins of the audio device.
    struct AudioInputPinEntry {
        std::string name;
        double mixLevel = 1.0;
    };
    using AudioInputPinList = std::vector<AudioInputPinEntry>;
    HRESULT ListAudioInputPins(NameList& pins, IBaseFilter* device);
    HRESULT SelectAudioInputPin(IBaseFilter* device, int position);
    HRESULT RestoreAudioInputPin(IBaseFilter* device, int position);
    // The control emptied both collections first; false when no device or a device fails.
    bool RefreshAudioInputs(int index, NameList& audioDevices, NameList& audioInputPins);
    int ShowAudioCapturePage();
    // Picture (IAMVideoProcAmp) and camera (IAMCameraControl) settings of the current graph's video
    // device (engine/SessionAdjustments.cpp). Without a graph, the device filter or the interface
    // they do nothing and leave every out argument as it was.
    void GetProcAmpRange(LONG property, LONG& min, LONG& max, LONG& step, LONG& defaultValue, LONG& flags,
                         bool& available);
    void GetProcAmpValue(LONG property, LONG& value, LONG& flags);
    void SetProcAmpValue(LONG property, LONG value, LONG flags);
    void GetCameraRange(LONG property, LONG& min, LONG& max, LONG& step, LONG& defaultValue, LONG& flags,
                        bool& available);
    void GetCameraValue(LONG property, LONG& value, LONG& flags);
    void SetCameraValue(LONG property, LONG value, LONG flags);
    // WMV output and the broadcast helper.
    // Appends the system profiles (version 8) with one audio and one video stream.
    HRESULT EnumerateWmvProfiles(WmvProfileList& profiles);
    // A profile from a UTF-16 .prx file: E_POINTER for no name, the system error when the file
    // cannot be opened or read, 0xC00D001C when it is no disk file, else LoadProfileByData's result.
    static HRESULT LoadCustomProfile(const char* fileName, IWMProfile** profile);
    // From wmvCustomFileName when set (its errors end the build), else from wmvProfileGuid.
    HRESULT ConfigureAsfWriter(IBaseFilter* writer);
    // The start block for wmvFileName, sent once the graph runs; nothing when a field does not fit.
    void SendHelperStartBlock();
    // WM_COPYDATA to the "Relayoclass" window; lost silently when there is none.
    void SendToHelper(ULONG_PTR dwData, DWORD count, const void* data);

    // The MPEG encoder configured for `path`: created by class identifier and added as "vcd". The
    // first failure; a missing encoder is one (nothing would be written).
    HRESULT ConfigureMpegEncoder(const std::string& path);

    IGraphBuilder* Graph() const { return graph_.Get(); }
    ISampleGrabber* Grabber() const { return grabber_.Get(); }
    IBaseFilter* MpegEncoder() const { return mpegEncoder_.Get(); }

    // Fields (the control writes them; see the header comment).
    SessionOwner* ownerControl = nullptr;
    std::string moduleFolder;  // ends with "/"
    std::string videoDeviceName, audioDeviceName;
    std::string videoCompressorName, audioCompressorName;
    std::string captureFileName = "c:\\abc.avi";
    std::string wmvFileName;
    int16_t outputType = 0;
    bool captureMode = false;
    bool captureVideo = true;
    bool captureAudio = true;
    bool showPreview = true;
    bool useVideoCompressor = false, useAudioCompressor = false;
    bool broadcast = false;
    int16_t broadcastPort = 8080;
    int16_t maxClients = 3;
    std::string publishingUrl;
    Guid wmvProfileGuid{};
    std::string wmvCustomFileName;
    // Where the helper sends its client reports (the control's window), and the wParam of the
    // messages to the helper (the application's main window); 0 when there is none.
    HWND ownerWindow = HWND_NONE;
    HWND mainWindow = HWND_NONE;
    bool useUserFormat = false;
    int32_t userWidth = 0, userHeight = 0;
    // 0 or below keeps a capability's own frame interval.
    int32_t frameRate = 0;
    int32_t mpegVideoBitrate = 4600000;
    int32_t mpegAudioBitrate = 224000;
    int32_t mpegAudioChannels = 2;
    int32_t mpegAudioSampleRate = 44100;
    float mpegFrameRate = 25.0f;
    int16_t mpegWidth = 320, mpegHeight = 240;
    bool scalableSource = false;

    // Video window.
    COLORREF backgroundColor = 0;
    bool aspectRatio = false;
    VideoRect defaultDestRect;
    bool captureDefaultDest = true;

    // Overlay settings last pushed by the control.
    bool showText = false, showImage = false, showDate = false;
    int16_t textStyle = 0;
    int32_t textFontStyle = 0;
    std::string textFontName = "Arial";
    int32_t textFontSize = 8;
    int32_t textX = 0, textY = 0;
    std::string text;
    COLORREF textColor = 0;
    int32_t hatchStyle = 0;
    COLORREF hatchForeColor = 0, hatchBackColor = 0;
    std::string textureImage;
    COLORREF outlineBackColor = 0x0000FF;
    COLORREF outlineBorderColor = 0x00FF00;

    // Tuner and crossbar.
    bool tunerInput = false;
    int32_t tunerMode = 0;
    int32_t countryCode = 0;
    int32_t channel = 0;
    bool tvMute = false;
    int16_t videoStandard = 0;
    bool noVideoDevice = false;

    // Audio input pins. The control points audioInputPinEntries at its AudioInputPins entries so
    // that a build can send each line's stored mix level; null when it keeps none.
    const AudioInputPinList* audioInputPinEntries = nullptr;
    int16_t audioInputPin = 0;
    int32_t enabledPinAtStart = -1;
    bool noAudioDevice = false;

private:
    // The file sink of step 8 for the shape `scalable` names (AVI mux, ASF writer or MPEG encoder).
    HRESULT CreateFileSink(ICaptureGraphBuilder2* builder);
    void RemoveFileSink();
    HRESULT BuildScalableFileBranch(ICaptureGraphBuilder2* builder, IBaseFilter* tee, IBaseFilter* audioDevice,
                                    IBaseFilter* videoCompressorFilter, IBaseFilter* audioCompressorFilter);
    HRESULT RouteInputs(ICaptureGraphBuilder2* builder, IBaseFilter* device, NameList* videoInputs, int videoInput,
                        bool tunerFirst, bool* stop);
    // An overlay filter added under `name`, or null when the overlay module is missing (the
    // branch then goes without it); adding it to the graph must succeed.
    HRESULT AddOverlayFilter(const char* name, ComPtr<IBaseFilter>* filter);
    HRESULT AddStockFilter(const CLSID& clsid, const char* name, ComPtr<IBaseFilter>* filter);
    // Logs one build step at debug level and keeps the first failing step for LastFailure().
    HRESULT Check(HRESULT hr, const std::string& step);
    HRESULT Render(ICaptureGraphBuilder2* builder, const Guid* category, const Guid* type, IBaseFilter* source,
                   IBaseFilter* intermediate, IBaseFilter* sink, bool sinkOptional);
    HRESULT FailStart(HRESULT hr, const std::string& step);
    void OnProgressTimer();
    // Takes every event the graph's filters posted; false when one of them ended the session.
    bool DrainGraphEvents();
    // An error event while running: the graph stops (the writers finish their files) and the
    // owner is told once.
    void FailRunningSession(LONG eventCode, HRESULT hr);
    template <class F>
    void ForEachOverlay(F&& push);

    std::unique_ptr<SessionWindow> window_;
    // Qt deletes the window with its parent; then the session must not delete it again.
    QPointer<SessionWindow> windowAlive_;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<ISampleGrabber> grabber_;
    ComPtr<IBaseFilter> mpegEncoder_;
    // Of the running graph: its event queue and the device's dropped-frame counter (the progress
    // timer reads both every 33 ms).
    ComPtr<IMediaEventEx> events_;
    ComPtr<IAMDroppedFrames> droppedFrames_;
    std::string lastFailure_;
    // Per build: the file sink and whether each compressor went into the graph.
    ComPtr<IBaseFilter> mux_;
    ComPtr<IBaseFilter> muxWriter_;
    HRESULT sinkError_ = S_OK;
    bool videoCompressorAdded_ = false;
    bool audioCompressorAdded_ = false;
    bool audioAdded_ = false;
    // Whether this start launched the helper program: its window may still be on its way.
    bool helperLaunched_ = false;
    // Waits (at most a few seconds) for the window of the helper this start launched.
    void WaitForLaunchedHelper();
};
