#pragma once
// The screen capture control (Scrivel) as the program drives it: created by its class identifier
// in a control site of ours (tiny and invisible on the Screen Recorder page, hidden in the AVI
// options dialog) and reached only by the control's fixed DISPIDs. Failed puts and calls are
// said on stderr and counted, so that a recording is not started on settings that did not
// arrive; failed reads give the neutral value of their type.
#include <functional>
#include <string>
#include <vector>

#include "app/outside/LumicorCollection.h"
#include "platform/com/ControlSite.h"

class QWidget;

inline constexpr CLSID CLSID_Screen2Video = MakeGuid("{C1E943ED-5A44-4688-944C-9B7C3C82513B}");

// Output kinds (28).
enum ScreenOutputKind : int32_t { kScreenOutputAvi = 0, kScreenOutputWmv = 1, kScreenOutputSwf = 2, kScreenOutputFlv = 3 };

class CScreen2Video {
public:
    // Sees every put (with its one value) and every method call (with its arguments) on the
    // control, in order: tests read the calling order and the zoom rectangles through it.
    using CallHook = std::function<void(DISPID dispid, const std::vector<Variant>& values)>;

    CScreen2Video() = default;
    ~CScreen2Video();
    CScreen2Video(const CScreen2Video&) = delete;
    CScreen2Video& operator=(const CScreen2Video&) = delete;

    // Creates the control in `container`, initialises and activates it.
    HRESULT Create(QWidget* container);
    void Destroy();
    explicit operator bool() const { return static_cast<bool>(driver_); }
    void SetCallHook(CallHook hook) { hook_ = std::move(hook); }
    // Puts and calls that failed since the last ResetFailures.
    int Failures() const { return failures_; }
    void ResetFailures() { failures_ = 0; }

    // Collections (2, 8, 10, 17, 20).
    LumicorCollection VideoCompressors() const;
    LumicorCollection AudioCompressors() const;
    LumicorCollection WMVProfiles() const;
    LumicorCollection AudioInputPins() const;
    LumicorCollection AudioDevices() const;
    // The configuration dialog of video compressor `index`: true when one was shown.
    bool ShowVideoCompressorPage(int index) const;

    // Properties.
    void SetVideoCompressor(short index);           // 1
    void SetFileName(const std::string& path);      // 3
    void SetUseVideoCompressor(bool on);            // 4
    void SetRecordAudio(bool on);                   // 5
    void SetAudioCompressor(short index);           // 6
    void SetUseAudioCompressor(bool on);            // 7
    void SetWMVProfile(short index);                // 9
    void SetWMVProfileFile(const std::string& file);  // 11
    void SetCaptureWidth(short width);              // 12
    void SetCaptureHeight(short height);            // 13
    void SetCaptureCursor(bool on);                 // 15
    void SetFrameRate(short fps);                   // 16
    void SetAudioInputPin(short index);             // 18
    void SetAudioDevice(short index);               // 19
    void SetSWFAudioBitrate(long bitsPerSecond);    // 22
    void SetSWFAudioChannels(long channels);        // 23
    void SetSWFAudioSampleRate(long hertz);         // 24
    void SetSWFWidth(short width);                  // 25
    void SetSWFHeight(short height);                // 26
    void SetSWFVideoBitrate(long bitsPerSecond);    // 27
    void SetOutputKind(long kind);                  // 28
    void SetFLVAudioBitrate(long bitsPerSecond);    // 29
    void SetFLVAudioChannels(long channels);        // 30
    void SetFLVAudioSampleRate(long hertz);         // 31
    void SetFLVVideoBitrate(long bitsPerSecond);    // 32
    void SetFLVHeight(short height);                // 33
    void SetFLVWidth(short width);                  // 34
    void SetVolume(double volume);                  // 35
    void SetMP3Bitrate(short kbps);                 // 36
    void SetMP3SampleRate(long hertz);              // 37

    // Methods.
    long Start();                                   // 40: below 0 is failure (also when the call fails)
    void Stop();                                    // 41
    long GetScreenWidth();                          // 42
    long GetScreenHeight();                         // 43
    bool RefreshAudioInputPins(short device);       // 44
    void Pause();                                   // 45
    void Resume();                                  // 46
    void SetCaptureRect(short left, short top, short right, short bottom);  // 49
    // Why the last start failed, in the control's words ("" when it cannot say).
    std::string LastError() const;

private:
    LumicorCollection Collection(DISPID property) const;
    void Put(DISPID dispid, Variant value);
    long CallInteger(DISPID dispid, std::vector<Variant> args, long fallback);
    void CallVoid(DISPID dispid, std::vector<Variant> args = {});

    ComPtr<ControlSite> site_;
    DispatchDriver driver_;
    CallHook hook_;
    int failures_ = 0;
};
