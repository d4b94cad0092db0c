#include "tests/components/mmsh/AsfTestFiles.h"

#include "components/mmsh/AsfBytes.h"

namespace asf_test {
namespace {

void Append(std::vector<uint8_t>& out, const AsfGuid& guid) { out.insert(out.end(), guid.begin(), guid.end()); }
void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Append64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> StreamProperties(const AsfGuid& type, uint8_t number) {
    std::vector<uint8_t> o;
    Append(o, asf_guid::kStreamProperties);
    Append64(o, 78 + 4);
    Append(o, type);
    o.insert(o.end(), 16, 0);  // error correction type
    Append64(o, 0);
    Append32(o, 4);  // type-specific data length
    Append32(o, 0);
    Append16(o, number);
    Append32(o, 0);
    Append32(o, 0xDEADBEEF);  // type-specific data
    return o;
}

}  // namespace

std::vector<uint8_t> Header(const HeaderShape& shape) {
    std::vector<uint8_t> children;
    int count = 0;
    if (shape.fileProperties) {
        std::vector<uint8_t> fp;
        Append(fp, asf_guid::kFileProperties);
        Append64(fp, 104);
        fp.insert(fp.end(), 16, 0);  // file id
        Append64(fp, 123456);        // file size
        Append64(fp, 0);             // creation date
        Append64(fp, 77);            // packets
        Append64(fp, 99990000);      // play duration
        Append64(fp, 88880000);      // send duration
        Append64(fp, 3100);          // preroll
        Append32(fp, shape.flags);
        Append32(fp, shape.minPacketSize);
        Append32(fp, shape.maxPacketSize);
        Append32(fp, 364000);
        children.insert(children.end(), fp.begin(), fp.end());
        ++count;
    }
    if (shape.audio) {
        auto sp = StreamProperties(asf_guid::kAudioMedia, 1);
        children.insert(children.end(), sp.begin(), sp.end());
        ++count;
    }
    if (shape.video) {
        auto sp = StreamProperties(asf_guid::kVideoMedia, 2);
        children.insert(children.end(), sp.begin(), sp.end());
        ++count;
    }
    std::vector<uint8_t> out;
    Append(out, asf_guid::kHeader);
    Append64(out, 30 + children.size());
    Append32(out, static_cast<uint32_t>(count));
    out.push_back(1);
    out.push_back(2);
    out.insert(out.end(), children.begin(), children.end());
    Append(out, asf_guid::kData);
    Append64(out, 50);
    out.insert(out.end(), 16, 0);
    Append64(out, 0);
    out.push_back(1);
    out.push_back(1);
    return out;
}

std::vector<uint8_t> Packet(uint32_t size, uint32_t sendTimeMs, uint8_t stream, bool key, uint32_t offsetIntoObject) {
    std::vector<uint8_t> p = {0x82, 0x00, 0x00, 0x08 /* byte padding length */, 0x5D};
    p.push_back(0);  // padding length (not used by the server)
    Append32(p, sendTimeMs);
    Append16(p, 40);
    p.push_back(static_cast<uint8_t>(stream | (key ? 0x80 : 0)));
    p.push_back(7);  // media object number
    Append32(p, offsetIntoObject);
    p.push_back(8);  // replicated data length
    Append32(p, 5000);
    Append32(p, sendTimeMs + 3100);
    p.resize(size, 0xAB);
    return p;
}

std::vector<uint8_t> SimpleIndex(uint32_t size) {
    std::vector<uint8_t> out;
    Append(out, asf_guid::kSimpleIndex);
    Append64(out, size);
    out.resize(size, 0);
    return out;
}

}  // namespace asf_test
