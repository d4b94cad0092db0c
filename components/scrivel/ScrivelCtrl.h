#pragma once
// The screen capture control: containers set its properties and call Start, and it records a
// rectangle of the screen (the screen source filter, by class identifier) with sound from an
// audio device into AVI (chosen compressors over the AVI multiplexer), WMV (a system or custom
// profile through the ASF writer), FLV or SWF (flv1 and MP3, the control's own writer). Pause and
// Resume hold and continue the same file; Stop and destruction finish it. Any number of controls
// may live in one process; each has its own graph.
//
// The members are spread by job: ScrivelCtrl.cpp (life cycle and the dispatch table),
// ScrivelLists.cpp (the five lists), ScrivelRecording.cpp (the graph).
#include <cstdint>
#include <string>

#include "platform/contracts/ScreenSourceInterfaces.h"
#include "components/scrivel/NameCollection.h"
#include "components/scrivel/VolumeFilter.h"
#include "platform/codecs/CompressorSettings.h"
#include "platform/com/OleControl.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/GraphInterfaces.h"

// Output kinds (id 28).
enum ScrivelOutput : int32_t { kOutputAvi = 0, kOutputWmv = 1, kOutputSwf = 2, kOutputFlv = 3 };

class ScrivelCtrl final : public OleControl {
public:
    ScrivelCtrl();
    ~ScrivelCtrl() override;

    static const DispatchTable& GetDispatchTable();

    // Methods (automation).
    int16_t Start();
    void Stop();
    int32_t ScreenWidth();
    int32_t ScreenHeight();
    BOOL RefreshAudioInputPins(int16_t device);
    void Pause();
    void Resume();
    void SetCaptureRect(int16_t left, int16_t top, int16_t right, int16_t bottom);

    bool Recording() const { return static_cast<bool>(control_); }
    bool Paused() const { return paused_; }
    int32_t DroppedFrames() const;
    const std::string& LastError() const { return lastError_; }

protected:
    const DispatchTable& ControlDispatchTable() const override { return GetDispatchTable(); }
    void* DispatchSelf() override { return this; }
    CLSID ControlClsid() const override;
    IID EventsIid() const override;
    void DoPropExchange(PropExchange& px) override;
    void OnDestroy() override;

private:
    friend struct ScrivelProperties;

    void FillLists();
    // The source's size and the file's frame size for the output kind.
    void OutputSize(LONG* width, LONG* height) const;
    RECT RequestedRect() const;
    HRESULT BuildGraph(ICaptureGraphBuilder2* builder);
    HRESULT AddVideoBranch(ICaptureGraphBuilder2* builder, IBaseFilter* sink);
    HRESULT AddAudioBranch(ICaptureGraphBuilder2* builder, IBaseFilter* sink, IBaseFilter* compressor);
    HRESULT ConfigureAsfWriter(IBaseFilter* writer, LONG width, LONG height);
    // The MP3 choices (36, 37) for the chosen audio compressor when it is MP3.
    void ApplyMp3Settings(ICaptureGraphBuilder2* builder, IBaseFilter* audioDevice);
    void Fail(const std::string& text);
    void TearDown();

    // Properties, with their initial values.
    int16_t videoCompressor_ = 0, audioCompressor_ = 0, wmvProfile_ = 0;
    std::string fileName_, wmvProfileFile_;
    BOOL useVideoCompressor_ = FALSE, recordAudio_ = TRUE, useAudioCompressor_ = FALSE, captureCursor_ = TRUE;
    int16_t captureWidth_ = 0, captureHeight_ = 0, frameRate_ = 10;
    int16_t audioInputPin_ = 0, audioDevice_ = 0;
    int32_t swfAudioBitrate_ = 64000, swfAudioChannels_ = 2, swfAudioSampleRate_ = 22050;
    int16_t swfWidth_ = 320, swfHeight_ = 240;
    int32_t swfVideoBitrate_ = 400000;
    int32_t outputKind_ = kOutputAvi;
    int32_t flvAudioBitrate_ = 64000, flvAudioChannels_ = 2, flvAudioSampleRate_ = 22050;
    int32_t flvVideoBitrate_ = 400000;
    int16_t flvHeight_ = 240, flvWidth_ = 320;
    double volume_ = 1.0;
    int16_t mp3Bitrate_ = 128;
    int32_t mp3SampleRate_ = 44100;
    RECT rect_{};  // id 49; empty: the whole screen

    ComPtr<NameCollection> videoCompressors_, audioCompressors_, wmvProfiles_, audioInputPins_, audioDevices_;

    // The recording.
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IBaseFilter> source_;
    ComPtr<IScreenSourceConfig> sourceConfig_;
    ComPtr<VolumeFilter> volumeFilter_;
    bool paused_ = false;
    // The MP3 compressor's settings before a recording changed them, put back when it ends.
    std::string mp3Name_;
    CompressorSettings mp3Saved_;
    std::string lastError_;
};
