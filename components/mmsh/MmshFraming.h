#pragma once
// The byte forms of the streaming protocol: the $H/$D/$E chunks around ASF data and the HTTP
// response heads. $M, $P and $T are never produced (one player ends its session on them).
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mmsh_framing {

constexpr size_t kDataPrefixSize = 12;  // framing header (4) + MMS data packet header (8)

// "$H": the whole ASF header in one chunk (callers keep it below 65527 bytes).
std::vector<uint8_t> HeaderChunk(std::span<const uint8_t> header);
// The 12 bytes that go before one ASF data packet of `payloadSize` bytes.
std::array<uint8_t, kDataPrefixSize> DataPrefix(uint32_t locationId, size_t payloadSize);
// "$E" with reason 0: the broadcast is over.
std::array<uint8_t, 8> EndChunk();

std::string DescribeHead(uint32_t clientId, size_t contentLength);
std::string PlayHead(uint32_t clientId);
std::string DownloadHead();
// MP3 over plain HTTP: no length (the stream has no end the server knows) and no icy-metaint
// (announcing one would oblige the server to insert metadata blocks into the audio).
std::string Mp3StreamHead();
std::string EmptyHead(int status, const char* reason);

}  // namespace mmsh_framing
