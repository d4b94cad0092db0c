#pragma once
// Helpers of the streaming server tests: a live ASF writer (the ffmpeg CLI, flushing every
// packet), bounded runs of the ffmpeg tools, and a raw loopback client that reads the framing.
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mmsh_test {

// ffmpeg writing `seconds` of 320x240 wmv2 + wmav2 in real time into `file`.
class LiveAsfWriter {
public:
    LiveAsfWriter(std::filesystem::path file, int seconds, bool realTime = true);
    ~LiveAsfWriter();
    LiveAsfWriter(const LiveAsfWriter&) = delete;
    LiveAsfWriter& operator=(const LiveAsfWriter&) = delete;
    // Waits (bounded) until the file holds at least `bytes`.
    bool WaitForBytes(uint64_t bytes, std::chrono::milliseconds limit) const;
    // Waits for the writer to exit; its exit status, or -1 after the time limit.
    int Wait(std::chrono::milliseconds limit);

private:
    std::filesystem::path file_;
    pid_t pid_ = -1;
};

// Finished files made by the ffmpeg CLI: `seconds` of 320x240 wmv2 at 25 fps + wmav2 in ASF,
// and of a 44100 Hz tone in MP3 at 128 kbit/s (ID3v2 and an Info frame, and ID3v1 when asked).
bool MakeWmv(const std::filesystem::path& file, int seconds);
bool MakeMp3(const std::filesystem::path& file, int seconds, bool id3v1 = false);

struct CommandResult {
    int status = -1;
    std::string output;  // stdout and stderr
};
// Runs a shell command, killed after `seconds`.
CommandResult Run(const std::string& command, int seconds);

// What a raw client saw of one response.
struct RawResponse {
    int status = 0;
    std::string head;
    std::vector<uint8_t> body;
    bool closedByServer = false;
};
// Connects to 127.0.0.1:port, sends `request`, reads until the server closes, `bodyLimit` body
// bytes arrived, or `limit` passed.
RawResponse Fetch(uint16_t port, const std::string& request, size_t bodyLimit, std::chrono::milliseconds limit);
// A connected socket (or -1).
int Connect(uint16_t port);

struct Chunk {
    char type = 0;
    uint32_t locationId = 0;
    std::vector<uint8_t> payload;
};
// Splits a framed body into chunks, checking both length fields; false on a framing fault (the
// trailing partial chunk is not a fault).
bool SplitChunks(const std::vector<uint8_t>& body, std::vector<Chunk>& out, std::string& fault);

std::string PlayRequest();
std::string DescribeRequest();

}  // namespace mmsh_test
