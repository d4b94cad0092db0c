#pragma once
// The control's own Flash writer: a renderer with a "Video" input (RGB32 or RGB24) and an "Audio"
// input (16-bit PCM) writing an FLV or SWF file (FlashFileWriter). The file starts when the graph
// pauses from stopped and is complete when the graph stops, when both connected inputs have ended
// or when the filter goes away; a pause and run in between continue the same file.
//
// Threads: Receive from each input's streaming thread, serialized here; the rest on the graph's
// thread.
#include <mutex>
#include <string>

#include "components/scrivel/FlashFileWriter.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"

class FlashMuxFilter;

class FlashMuxInputPin final : public InputPin {
public:
    FlashMuxInputPin(FlashMuxFilter* filter, const char* name, bool video);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    bool IsVideo() const { return video_; }

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    FlashMuxFilter* filter_;
    bool video_;
};

class FlashMuxFilter final : public BaseFilter {
public:
    FlashMuxFilter();

    // Before the graph pauses; the settings are clamped to what the container takes.
    void Configure(const std::string& path, const FlashSettings& settings);

    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    HRESULT Pause() override;
    HRESULT Stop() override;

protected:
    ~FlashMuxFilter() override;

private:
    friend class FlashMuxInputPin;
    HRESULT Receive(FlashMuxInputPin* pin, IMediaSample* sample);
    void EndOfStream(FlashMuxInputPin* pin);

    FlashMuxInputPin* video_;
    FlashMuxInputPin* audio_;
    std::string path_;
    FlashSettings settings_;

    std::mutex writeLock_;
    FlashFileWriter writer_;
    bool videoEnded_ = false;
    bool audioEnded_ = false;
};
