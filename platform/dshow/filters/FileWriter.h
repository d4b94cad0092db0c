#pragma once
// The File Writer (CLSID_FileWriter, IFileSinkFilter2): writes what its input receives to the file
// it was given. A multiplexer upstream writes through the input pin's IByteStreamSink (it opens
// the file when it starts, seeks to patch its headers, and closes it when the file is complete);
// plain samples are written at the byte offset of their start time, or appended. A new recording
// always truncates the file, so nothing of an older, longer file is left behind its end.
#include <mutex>
#include <string>

#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/base/WithInterfaces.h"
#include "platform/dshow/filters/ByteStreamSink.h"
#include "platform/dshow/filters/RendererFilter.h"

class FileWriter;

class FileWriterInputPin final : public WithInterfaces<RendererInputPin, IByteStreamSink> {
public:
    explicit FileWriterInputPin(FileWriter* writer);
    HRESULT Open() override;
    HRESULT Write(const void* data, ULONG size) override;
    HRESULT Seek(LONGLONG offset, int origin, LONGLONG* position) override;
    HRESULT Truncate(LONGLONG size) override;
    HRESULT Close() override;

private:
    FileWriter* writer_;
};

class FileWriter final : public WithInterfaces<RendererFilter, IFileSinkFilter2> {
public:
    FileWriter();

    // IFileSinkFilter2
    HRESULT SetFileName(const char* file, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(std::string* file, AM_MEDIA_TYPE* type) override;
    HRESULT SetMode(DWORD flags) override;
    HRESULT GetMode(DWORD* flags) override;

    // RendererFilter: samples at their byte offsets.
    HRESULT RenderSample(IMediaSample* sample) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    void BreakConnect() override;
    void OnEndOfStream() override;

    // The stream of bytes (also reached through the input pin's IByteStreamSink).
    HRESULT OpenFile();
    HRESULT WriteBytes(const void* data, ULONG size);
    HRESULT SeekTo(LONGLONG offset, int origin, LONGLONG* position);
    HRESULT TruncateFile(LONGLONG size);
    HRESULT CloseFile();
    bool IsOpen() const;

protected:
    ~FileWriter() override;

private:
    HRESULT WriteAt(LONGLONG offset, const void* data, ULONG size);

    mutable std::mutex lock_;
    std::string file_;
    AM_MEDIA_TYPE type_;
    DWORD mode_ = 0;
    int fd_ = -1;
    LONGLONG position_ = 0;
    LONGLONG size_ = 0;
};
