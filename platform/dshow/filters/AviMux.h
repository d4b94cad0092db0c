#pragma once
// The AVI Mux (CLSID_AviDest, IConfigAviMux): interleaves its video and audio inputs into an AVI
// file through libavformat, writing the bytes through the File Writer connected to "AVI Out"
// (IByteStreamSink). The mux always has one free input pin ("Input 01", "Input 02", ...).
//
// The file starts when the graph pauses from stopped (header with one stream per connected
// input) and is complete (trailer, index, file closed) when the graph stops or when every input
// has ended its stream, whichever comes first. Video timestamps map to frame numbers of the
// stream's frame interval (so stream time that stood still while paused leaves no gap); audio is
// timed by its sample count. Uncompressed RGB is stored as a bottom-up DIB, as AVI players expect.
//
// Threads: Receive from each input's streaming thread, serialized by the mux; state calls on the
// graph's thread.
#include <mutex>
#include <vector>

#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/OutputPin.h"
#include "platform/dshow/base/WithInterfaces.h"

class AviMux;
struct AVFormatContext;
struct AVIOContext;
struct AVPacket;
struct AVBufferPool;
struct IByteStreamSink;

class AviMuxInputPin final : public InputPin {
public:
    AviMuxInputPin(AviMux* mux, const char* name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT CompleteConnect(IPin* receivePin) override;

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    AviMux* mux_;
};

class AviMuxOutputPin final : public OutputPin {
public:
    explicit AviMuxOutputPin(AviMux* mux);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
};

class AviMux final : public WithInterfaces<BaseFilter, IConfigAviMux> {
public:
    AviMux();

    // IConfigAviMux
    HRESULT SetMasterStream(LONG stream) override;
    HRESULT GetMasterStream(LONG* stream) override;
    HRESULT SetOutputCompatibilityIndex(BOOL oldIndex) override;
    HRESULT GetOutputCompatibilityIndex(BOOL* oldIndex) override;

    HRESULT Pause() override;
    HRESULT Stop() override;

    AviMuxOutputPin* Output() const { return output_; }

protected:
    ~AviMux() override;

private:
    friend class AviMuxInputPin;
    struct Stream {
        AviMuxInputPin* pin = nullptr;
        int index = -1;          // libavformat stream index
        bool video = false;
        bool ended = false;
        REFERENCE_TIME frameInterval = 0;
        int64_t nextPts = 0;     // video: frame number; audio: sample count
        int blockAlign = 1;
        bool keyFrames = false;  // every frame is a key frame (uncompressed)
        AVBufferPool* pool = nullptr;
        int poolSize = 0;
        AVPacket* packet = nullptr;
    };

    void AddFreeInput();
    HRESULT StartFile();
    HRESULT AddStream(AviMuxInputPin* pin);
    HRESULT Receive(AviMuxInputPin* pin, IMediaSample* sample);
    void EndOfStream(AviMuxInputPin* pin);
    // Writes the trailer and closes the file; `notify`: tell the writer the stream ended.
    void FinishFileLocked(bool notify);
    void ReleaseLocked();

    static int WritePacket(void* opaque, uint8_t* data, int size);
    static int64_t SeekPacket(void* opaque, int64_t offset, int whence);

    AviMuxOutputPin* output_;
    int inputCount_ = 0;
    LONG masterStream_ = -1;
    BOOL compatibilityIndex_ = TRUE;

    std::mutex muxLock_;
    ComPtr<IByteStreamSink> sink_;
    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr;
    bool headerWritten_ = false;
    bool writeFailed_ = false;
    HRESULT writeError_ = S_OK;  // the sink's first failure
    int64_t lastWholePacketEnd_ = 0;  // file offset after the last packet written whole
    std::vector<Stream> streams_;
};
