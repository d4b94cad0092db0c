#pragma once
// What ffprobe says of a recorded file's video stream, so that a benchmark can show that both
// sides wrote the same kind of file with as many frames at a similar bit rate before it compares
// their times.
#include <cstdint>
#include <filesystem>
#include <string>

struct FileFacts {
    std::string codec;
    int width = 0, height = 0;
    long frames = 0;
    long bitRate = 0;  // bits a second of the video stream
    uintmax_t bytes = 0;
    // "codec WxH, N bytes, F frames, R kb/s"
    std::string Text() const;
};

// The first video stream of `file`; frames 0 when the file is missing or unreadable.
FileFacts Probe(const std::filesystem::path& file);

// Whether both bit rates are known and lie within `tolerance` (a fraction of the higher) of each
// other.
bool SameBitRate(const FileFacts& a, const FileFacts& b, double tolerance);
