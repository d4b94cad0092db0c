#pragma once
// One HTTP request of a Windows Media HTTP streaming client, read incrementally from the socket.
// Requests are small; anything past the size limit is refused rather than buffered.
#include <cstddef>
#include <span>
#include <string>

enum class MmshRequestKind {
    Describe,  // GET without xPlayStrm=1: the header only
    Play,      // GET with xPlayStrm=1: header, then data packets
    Download,  // GET from a plain HTTP player (no NSPlayer agent, no client GUID): raw ASF
    Log,       // POST (play statistics): answered with an empty body
};

struct MmshRequest {
    MmshRequestKind kind = MmshRequestKind::Describe;
    std::string method;
    std::string target;
    std::string userAgent;
    std::string clientGuid;  // informational; not validated (some players send a malformed one)
};

enum class MmshParseState {
    NeedMore,
    Complete,
    Malformed,     // answer 400
    TooLarge,      // answer 431
    NotSupported,  // answer 501 (a method we do not serve)
};

class MmshRequestParser {
public:
    static constexpr size_t kMaxRequestBytes = 16 * 1024;

    // Appends received bytes; returns the state once the header block is complete or broken.
    // Bytes after the blank line (a POST body, pipelined junk) are ignored.
    MmshParseState Feed(std::span<const char> bytes);
    MmshParseState State() const { return state_; }
    const MmshRequest& Request() const { return request_; }

    // Parses a complete header block (request line, header lines, no trailing blank line needed).
    static MmshParseState Parse(std::string_view block, MmshRequest& out);

private:
    std::string buffer_;
    MmshParseState state_ = MmshParseState::NeedMore;
    MmshRequest request_;
};
