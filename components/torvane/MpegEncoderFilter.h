#pragma once
// The MPEG encoder filter (CLSID_MpegEncoder): a sink with a "Video" input (RGB24, RGB32 or YUY2)
// and an "Audio" input (8- or 16-bit PCM) that writes the file named through IFileSinkFilter,
// configured through IMpegEncoderOutput and IMpegEncoderSettings (platform/contracts/MpegEncoderInterfaces.h).
//
// The file starts when the graph pauses from stopped, with a stream for each connected input; a
// configuration that cannot be written (no file name, a folder that cannot take the file, values
// the encoder refuses) fails that Pause. The file is complete when the graph stops or when every
// connected input has ended its stream (then EC_COMPLETE goes to the graph). Settings apply to
// the next file.
//
// Threads: Receive from each input's streaming thread, serialized here; configuration and state
// calls on the graph's thread.
#include <mutex>
#include <string>

#include "components/torvane/MpegFileWriter.h"
#include "components/torvane/MpegSettings.h"
#include "platform/contracts/MpegEncoderInterfaces.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/WithInterfaces.h"

class MpegEncoderFilter;

class MpegEncoderInputPin final : public InputPin {
public:
    MpegEncoderInputPin(MpegEncoderFilter* filter, const char* name, bool video);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    bool IsVideo() const { return video_; }

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    MpegEncoderFilter* filter_;
    bool video_;
};

class MpegEncoderFilter final
    : public WithInterfaces<BaseFilter, IFileSinkFilter, IMpegEncoderOutput, IMpegEncoderSettings> {
public:
    MpegEncoderFilter();

    // IFileSinkFilter
    HRESULT SetFileName(const char* file, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(std::string* file, AM_MEDIA_TYPE* type) override;

    // IMpegEncoderOutput
    HRESULT GetOutputKind(int* kind) override;
    HRESULT SetOutputKind(int kind) override;

    // IMpegEncoderSettings
    HRESULT SetStreamType(int type) override;
    HRESULT SetVideoBitrate(int bitsPerSecond) override;
    HRESULT SetVideoSize(int width, int height) override;
    HRESULT SetFrameRate(const char* framesPerSecond) override;
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT SetMaxVideoBitrate(int bitsPerSecond) override;
    HRESULT SetMinVideoBitrate(int bitsPerSecond) override;
    HRESULT SetMaxDuration(int milliseconds) override;
    HRESULT SetPreset(int preset) override;
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Reserved12() override { return E_NOTIMPL; }
    HRESULT Reserved13() override { return E_NOTIMPL; }
    HRESULT Reserved14() override { return E_NOTIMPL; }
    HRESULT Reserved15() override { return E_NOTIMPL; }
    HRESULT Reserved16() override { return E_NOTIMPL; }
    HRESULT Reserved17() override { return E_NOTIMPL; }
    HRESULT Reserved18() override { return E_NOTIMPL; }
    HRESULT Reserved19() override { return E_NOTIMPL; }
    HRESULT SetAudioBitrate(int bitsPerSecond) override;
    HRESULT SetAudioChannels(int channels) override;
    HRESULT SetAudioSampleRate(int hertz) override;

    // The encoder ends a stream: the graph counts it among its renderers.
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    HRESULT Pause() override;
    HRESULT Stop() override;

    MpegSettings Settings() const;

protected:
    ~MpegEncoderFilter() override;

private:
    friend class MpegEncoderInputPin;
    HRESULT StartFile();
    HRESULT Receive(MpegEncoderInputPin* pin, IMediaSample* sample);
    void EndOfStream(MpegEncoderInputPin* pin);
    template <class Apply>
    HRESULT Change(HRESULT check, Apply apply) {
        if (FAILED(check)) return check;
        std::lock_guard lock(settingsLock_);
        apply(settings_);
        return S_OK;
    }

    MpegEncoderInputPin* video_;
    MpegEncoderInputPin* audio_;

    mutable std::mutex settingsLock_;
    MpegSettings settings_;
    std::string file_;

    std::mutex writeLock_;
    MpegFileWriter writer_;
    bool videoEnded_ = false;
    bool audioEnded_ = false;
};
