#pragma once
// The capture control (Grabwell) as the program drives it: created by its class identifier in a
// control site of ours and reached only through its dispatch interface, by the control's fixed
// DISPIDs. Failed calls give the neutral value of their type (0, FALSE, "").
#include <functional>
#include <memory>
#include <string>

#include "app/outside/LumicorCollection.h"
#include "platform/com/ControlSite.h"

class QWidget;

inline constexpr CLSID CLSID_Lumicor = MakeGuid("{E01CA1FE-309C-498D-B3B4-B16E0AB964DD}");

class CLumicor {
public:
    struct Events {
        std::function<void(int32_t seconds, int32_t dropped)> capturing;
        std::function<void(int16_t clients, const std::string& addresses)> clientConnected;
        std::function<void()> click;
        std::function<void()> dblClick;
    };

    CLumicor();
    ~CLumicor();
    CLumicor(const CLumicor&) = delete;
    CLumicor& operator=(const CLumicor&) = delete;

    // Creates the control in `container`, initialises and activates it (its window enumerates
    // the devices) and advises the events.
    HRESULT Create(QWidget* container, Events events = {});
    // Drives a control made elsewhere.
    void Attach(ComPtr<IDispatch> control);
    void Destroy();
    explicit operator bool() const { return static_cast<bool>(driver_); }
    const DispatchDriver& Driver() const { return driver_; }

    // Collections.
    LumicorCollection Devices() const;
    LumicorCollection VideoFormats() const;
    LumicorCollection VideoCompressors() const;
    LumicorCollection AudioDevices() const;
    LumicorCollection AudioCompressors() const;
    LumicorCollection AudioInputPins() const;
    LumicorCollection VideoInputs() const;
    LumicorCollection TVChannels() const;
    LumicorCollection WMVProfiles() const;
    // Per-entry values of the collections.
    long VideoFormatWidth(int index) const;
    long VideoFormatHeight(int index) const;
    long ChannelSignal(int index) const;
    std::string WMVProfileDescription(int index) const;
    BOOL SetMixLevel(int index, double level) const;

    // Selections (0-based indexes into the collections).
    short GetDevice() const;
    void SetDevice(short index) const;
    short GetVideoFormat() const;
    void SetVideoFormat(short index) const;
    short GetAudioDevice() const;
    void SetAudioDevice(short index) const;
    short GetVideoCompressor() const;
    void SetVideoCompressor(short index) const;
    short GetAudioCompressor() const;
    void SetAudioCompressor(short index) const;
    short GetVideoInput() const;
    void SetVideoInput(short index) const;
    short GetAudioInputPin() const;
    void SetAudioInputPin(short index) const;
    short GetWMVProfile() const;
    void SetWMVProfile(short index) const;
    short GetFrameRate() const;
    void SetFrameRate(short rate) const;
    void SetUseUserDefineVideoFormat(BOOL use) const;

    // Capture and output.
    BOOL GetCaptureMode() const;
    void SetCaptureMode(BOOL capture) const;
    std::string GetCaptureFileName() const;
    void SetCaptureFileName(const std::string& file) const;
    void SetCaptureAudio(BOOL on) const;
    void SetCaptureVideo(BOOL on) const;
    void SetUseVideoCompressor(BOOL on) const;
    void SetUseAudioCompressor(BOOL on) const;
    void SetShowPreview(BOOL on) const;
    void SetAspectRatio(BOOL on) const;
    void SetBackgroundColor(uint32_t color) const;
    void SetOutputType(short type) const;
    void SetWMVCustomFileName(const std::string& file) const;
    void SetMPEGAudioBitrate(long bitsPerSecond) const;
    void SetMPEGVideoBitrate(long bitsPerSecond) const;
    void SetMPEGAudioChannels(short channels) const;
    void SetMPEGAudioSampleRate(long hertz) const;
    void SetMPEGWidth(short width) const;
    void SetMPEGHeight(short height) const;
    void SetMPEGFrameRate(short rate) const;

    // Tuner.
    void SetCountryCode(short code) const;
    short GetChannel() const;
    void SetChannel(short channel) const;
    BOOL GetTVMute() const;
    void SetTVMute(BOOL mute) const;
    void SetVideoStandard(short standard) const;
    void SetTunerMode(short mode) const;
    void SetTunerInput(short input) const;

    // Overlay.
    void SetTextColor(uint32_t color) const;
    void SetTextFontName(const std::string& name) const;
    void SetTextFontSize(short size) const;
    void SetTextFontStyle(short style) const;
    void SetTextStyle(short style) const;
    void SetShowText(BOOL on) const;
    void SetDateColor(uint32_t color) const;
    void SetDateFontName(const std::string& name) const;
    void SetDateFontSize(short size) const;
    void SetDateFontStyle(short style) const;
    void SetShowDateTime(BOOL on) const;
    void SetShowImage(BOOL on) const;

    // Broadcast.
    void SetBroadCast(BOOL on) const;
    void SetBroadCastPortNo(short port) const;
    void SetMaxClients(short clients) const;
    void SetPublishingURL(const std::string& url) const;

    // Methods.
    short Start() const;  // 0, -1, -2; -1 also when the call fails
    void Stop() const;
    void Pause() const;
    void Resume() const;
    BOOL SnapShot(const std::string& file) const;
    BOOL SnapShotJPEG(const std::string& file, short quality) const;
    BOOL ShowVideoCapturePropertyPage() const;
    BOOL ShowAudioCapturePropertyPage() const;
    BOOL ShowVideoFormatPropertyPage() const;
    BOOL ShowCrossbarPropertyPage() const;
    BOOL ScanTVChannels() const;
    void ResizeControl(short width, short height) const;
    void RefreshDevice() const;
    BOOL RefreshAudioInputPin(short audioDevice) const;
    void DrawText(short x, short y, const std::string& text) const;
    void DrawTime(short x, short y, short dateFormat) const;
    void DrawImage(short x, short y, const std::string& image, uint32_t transparent,
                   short alpha) const;
    void SetHashBrushValue(short hatchStyle, uint32_t fore, uint32_t back) const;
    void SetTextureBrushImage(const std::string& image) const;
    void SetOutlineTextBackColor(uint32_t color) const;
    void SetOutlineTextBorderColor(uint32_t color) const;
    std::string GetVideoCompressorName(short index) const;
    void SetUserDefineVideoFormat(short width, short height) const;
    std::string GetConnectedIP(short index) const;
    void AboutBox() const;

private:
    LumicorCollection Collection(DISPID property, DISPID nameMember) const;
    int64_t GetInteger(DISPID dispid) const;
    std::string GetText(DISPID dispid) const;
    void Put(DISPID dispid, Variant value) const;
    int64_t CallInteger(DISPID dispid, std::vector<Variant> args = {}, int64_t fallback = 0) const;
    std::string CallText(DISPID dispid, std::vector<Variant> args) const;
    void CallVoid(DISPID dispid, std::vector<Variant> args = {}) const;

    ComPtr<ControlSite> site_;
    DispatchDriver driver_;
};
