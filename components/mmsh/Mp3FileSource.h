#pragma once
// The audio frames of one MP3 file in order, each with the stream time at which it plays, read
// through a small buffer (a file of any size costs the same memory). Tags, VBR information
// frames and junk are passed over: a listener gets audio frames only. The stream time starts at
// what the caller gives, so that files played one after another keep one clock. Not thread-safe.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct Mp3Packet {
    int64_t startUs = 0;  // stream time of the frame's first sample
    uint32_t durationUs = 0;
    std::vector<uint8_t> bytes;  // one whole frame
};

class Mp3FileSource {
public:
    Mp3FileSource(std::filesystem::path file, int64_t startUs);
    ~Mp3FileSource();
    Mp3FileSource(const Mp3FileSource&) = delete;
    Mp3FileSource& operator=(const Mp3FileSource&) = delete;

    // Opens the file; false (see Error) when it cannot be read.
    bool Open();
    // The next audio frame, or nothing at the end of the file (or after a read error).
    std::optional<Mp3Packet> Next();
    bool Exhausted() const { return exhausted_; }
    // Sets the stream time of the first frame (before any is read).
    void Rebase(int64_t startUs) { positionUs_ = startUs; }
    // Stream time after the last frame handed out.
    int64_t PositionUs() const { return positionUs_; }
    uint64_t FramesRead() const { return frames_; }
    const std::string& Error() const { return error_; }

    // Whether the file holds an MP3 frame near its start (after any tags and at most 64 KiB of
    // junk): what tells an MP3 file from another kind.
    static bool Probe(const std::filesystem::path& file);

private:
    bool Fill();
    void Skip(uint64_t bytes);

    std::filesystem::path file_;
    int fd_ = -1;
    int64_t positionUs_;
    uint64_t frames_ = 0;
    std::vector<uint8_t> buffer_;
    size_t at_ = 0;             // next unread byte of buffer_
    uint64_t bufferOffset_ = 0; // file offset of buffer_[0]
    uint64_t fileSize_ = 0;
    uint64_t junkBytes_ = 0;
    bool exhausted_ = false;
    std::string error_;
};
