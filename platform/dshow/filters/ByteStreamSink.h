#pragma once
// What a multiplexer writes its file through: the File Writer's input pin answers this, so the
// mux produces bytes (with the seeks a container needs to patch its headers) and the writer owns
// the file. Inside this layer only.
#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"

inline constexpr int STREAM_SEEK_SET = 0;
inline constexpr int STREAM_SEEK_CUR = 1;
inline constexpr int STREAM_SEEK_END = 2;

struct IByteStreamSink : IUnknown {
    static constexpr IID iid = MakeGuid("{8E1C7B52-3F0A-4D1E-9C67-2B5A4F60D913}");
    // Opens (creates or truncates) the file for a new recording.
    virtual HRESULT Open() = 0;
    // Writes at the current position.
    virtual HRESULT Write(const void* data, ULONG size) = 0;
    virtual HRESULT Seek(LONGLONG offset, int origin, LONGLONG* position) = 0;
    // Cuts the file to `size` bytes: what a mux keeps of a recording whose writes failed (the
    // last chunk, written in part, goes).
    virtual HRESULT Truncate(LONGLONG size) = 0;
    // The file is complete: it is closed.
    virtual HRESULT Close() = 0;

protected:
    ~IByteStreamSink() = default;
};
