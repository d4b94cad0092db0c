#include "components/mmsh/MmshFraming.h"

#include "components/mmsh/AsfBytes.h"

namespace mmsh_framing {
namespace {

constexpr const char* kServer = "Server: Orvanta-MMSH/1.0\r\n";

void PutPrefix(uint8_t* out, uint8_t id, uint32_t locationId, uint8_t afFlags, size_t payloadSize) {
    uint16_t length = static_cast<uint16_t>(payloadSize + 8);
    out[0] = '$';
    out[1] = id;
    WriteLe16(out + 2, length);
    WriteLe32(out + 4, locationId);
    out[8] = 0;  // incarnation
    out[9] = afFlags;
    WriteLe16(out + 10, length);  // both length fields: players read one or the other
}

std::string StreamingHead(uint32_t clientId, const char* contentType) {
    std::string head = "HTTP/1.0 200 OK\r\n";
    head += kServer;
    head += "Cache-Control: no-cache\r\n";
    head += "Pragma: no-cache,client-id=" + std::to_string(clientId) + ",features=\"broadcast\"\r\n";
    head += "Content-Type: ";
    head += contentType;
    head += "\r\n";
    return head;
}

}  // namespace

std::vector<uint8_t> HeaderChunk(std::span<const uint8_t> header) {
    std::vector<uint8_t> chunk(kDataPrefixSize + header.size());
    PutPrefix(chunk.data(), 'H', 0, 0x0C, header.size());
    std::copy(header.begin(), header.end(), chunk.begin() + kDataPrefixSize);
    return chunk;
}

std::array<uint8_t, kDataPrefixSize> DataPrefix(uint32_t locationId, size_t payloadSize) {
    std::array<uint8_t, kDataPrefixSize> prefix{};
    PutPrefix(prefix.data(), 'D', locationId, 0, payloadSize);
    return prefix;
}

std::array<uint8_t, 8> EndChunk() { return {'$', 'E', 4, 0, 0, 0, 0, 0}; }

std::string DescribeHead(uint32_t clientId, size_t contentLength) {
    return StreamingHead(clientId, "application/vnd.ms.wms-hdr.asfv1") +
           "Content-Length: " + std::to_string(contentLength) + "\r\nConnection: close\r\n\r\n";
}

std::string PlayHead(uint32_t clientId) {
    return StreamingHead(clientId, "application/x-mms-framed") + "Connection: close\r\n\r\n";
}

std::string DownloadHead() {
    return std::string("HTTP/1.0 200 OK\r\n") + kServer +
           "Cache-Control: no-cache\r\nContent-Type: video/x-ms-asf\r\nConnection: close\r\n\r\n";
}

std::string Mp3StreamHead() {
    return std::string("HTTP/1.0 200 OK\r\n") + kServer +
           "Cache-Control: no-cache\r\nContent-Type: audio/mpeg\r\nConnection: close\r\n\r\n";
}

std::string EmptyHead(int status, const char* reason) {
    return "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\n" + kServer +
           "Content-Length: 0\r\nConnection: close\r\n\r\n";
}

}  // namespace mmsh_framing
