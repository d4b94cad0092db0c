// The ASF header and data packet readers: what a growing file's header becomes for broadcast,
// and that no cut or lying length makes them read outside their bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "components/mmsh/AsfBytes.h"
#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/AsfPacketInfo.h"
#include "tests/components/mmsh/AsfTestFiles.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace {

const uint8_t kVideo[] = {2};

// Offsets of the File Properties object and the Data Object in asf_test::Header().
constexpr size_t kFp = 30;

}  // namespace

TEST(AsfHeaderTest, WritersHeaderBecomesABroadcastHeader) {
    std::vector<uint8_t> bytes = asf_test::Header();
    AsfHeaderResult result = ParseAsfHeader(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    const AsfHeader& h = result.header;
    EXPECT_EQ(h.packetSize, 3200u);
    EXPECT_EQ(h.prerollMs, 3100u);
    EXPECT_EQ(h.audioStreams, std::vector<uint8_t>{1});
    EXPECT_EQ(h.videoStreams, std::vector<uint8_t>{2});
    EXPECT_EQ(h.FirstPacketOffset(), bytes.size());
    ASSERT_EQ(h.broadcastCopy.size(), bytes.size());
    const uint8_t* fp = h.broadcastCopy.data() + kFp;
    EXPECT_EQ(ReadLe64(fp + 40), 0u);  // file size
    EXPECT_EQ(ReadLe64(fp + 56), 0u);  // packets
    EXPECT_EQ(ReadLe64(fp + 64), 0u);  // play duration
    EXPECT_EQ(ReadLe64(fp + 72), 0u);  // send duration
    EXPECT_EQ(ReadLe64(fp + 80), 3100u);
    EXPECT_EQ(ReadLe32(fp + 88), 1u);  // broadcast, not seekable
    EXPECT_EQ(ReadLe32(fp + 92), ReadLe32(fp + 96));
    const uint8_t* data = h.broadcastCopy.data() + h.headerObjectSize;
    EXPECT_EQ(ReadLe64(data + 16), 50u);
    EXPECT_EQ(ReadLe64(data + 40), 0u);
    // Bytes after the Data Object's fixed part are not part of the copy.
    bytes.resize(bytes.size() + 100, 0x82);
    EXPECT_EQ(ParseAsfHeader(bytes).header.broadcastCopy.size(), h.broadcastCopy.size());
}

TEST(AsfHeaderTest, RefusesHeadersThatCannotBeServed) {
    auto refused = [](asf_test::HeaderShape shape) { return !ParseAsfHeader(asf_test::Header(shape)).ok; };
    asf_test::HeaderShape shape;
    shape.minPacketSize = 3000;
    EXPECT_TRUE(refused(shape)) << "variable packet size";
    shape = {};
    shape.minPacketSize = shape.maxPacketSize = 0;
    EXPECT_TRUE(refused(shape));
    shape.minPacketSize = shape.maxPacketSize = 65528;  // does not fit one $D
    EXPECT_TRUE(refused(shape));
    shape.minPacketSize = shape.maxPacketSize = 65527;
    EXPECT_FALSE(refused(shape));
    shape = {};
    shape.fileProperties = false;
    EXPECT_TRUE(refused(shape));
    shape = {};
    shape.audio = shape.video = false;
    EXPECT_TRUE(refused(shape));
}

TEST(AsfHeaderTest, LengthsThatLieAreRefusedWithoutReadingPastTheBuffer) {
    const std::vector<uint8_t> good = asf_test::Header();
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(ParseAsfHeader(truncated).ok) << cut;
    }
    std::vector<uint8_t> bad = good;
    WriteLe64(bad.data() + kFp + 16, 0);  // child object of size 0
    EXPECT_FALSE(ParseAsfHeader(bad).ok);
    bad = good;
    WriteLe64(bad.data() + kFp + 16, 1u << 20);  // child runs past the header
    EXPECT_FALSE(ParseAsfHeader(bad).ok);
    bad = good;
    WriteLe64(bad.data() + kFp + 16, 100);  // file properties cut short
    EXPECT_FALSE(ParseAsfHeader(bad).ok);
    bad = good;
    WriteLe64(bad.data() + 16, 1ull << 62);  // header size beyond anything servable
    EXPECT_FALSE(ParseAsfHeader(bad).ok);
    EXPECT_EQ(ReadAsfHeaderObjectSize(bad), 0u);
    bad = good;
    bad[bad.size() - 50] ^= 0xFF;  // no Data Object after the header
    EXPECT_FALSE(ParseAsfHeader(bad).ok);
    bad = good;
    bad[0] ^= 0xFF;
    EXPECT_FALSE(ParseAsfHeader(bad).ok);
}

TEST(AsfPacketTest, SendTimeAndKeyFrameStart) {
    AsfPacketInfo key = ParseAsfPacket(asf_test::Packet(3200, 1234, 2, true, 0), kVideo);
    ASSERT_TRUE(key.valid);
    EXPECT_EQ(key.sendTimeMs, 1234u);
    EXPECT_EQ(key.durationMs, 40u);
    EXPECT_TRUE(key.startsKeyFrame);
    EXPECT_FALSE(ParseAsfPacket(asf_test::Packet(3200, 0, 2, false, 0), kVideo).startsKeyFrame);
    EXPECT_FALSE(ParseAsfPacket(asf_test::Packet(3200, 0, 2, true, 800), kVideo).startsKeyFrame) << "continuation";
    EXPECT_FALSE(ParseAsfPacket(asf_test::Packet(3200, 0, 1, true, 0), kVideo).startsKeyFrame) << "audio";
}

TEST(AsfPacketTest, KeyFrameInALaterPayloadOfAMultiplePayloadPacket) {
    std::vector<uint8_t> p = {0x82, 0x00, 0x00, 0x01 /* multiple payloads */, 0x5D};
    p.insert(p.end(), {0x10, 0x00, 0x00, 0x00, 0x28, 0x00});  // send time 16, duration 40
    p.push_back(0x80 | 2);                                      // two payloads, word lengths
    for (uint8_t stream : {uint8_t(1 | 0x80), uint8_t(2 | 0x80)}) {
        p.insert(p.end(), {stream, 0, 0, 0, 0, 0, 8});
        p.insert(p.end(), 8, 0);    // replicated data
        p.insert(p.end(), {4, 0});  // payload length 4
        p.insert(p.end(), 4, 0x55);
    }
    p.resize(3200, 0);
    AsfPacketInfo info = ParseAsfPacket(p, kVideo);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.sendTimeMs, 16u);
    EXPECT_TRUE(info.startsKeyFrame);
    // A payload length that runs past the packet ends the walk without a key frame.
    p[5 + 6 + 1 + 7 + 8] = 0xFF;
    p[5 + 6 + 1 + 7 + 8 + 1] = 0xFF;
    info = ParseAsfPacket(p, kVideo);
    EXPECT_TRUE(info.valid);
    EXPECT_FALSE(info.startsKeyFrame);
}

TEST(AsfPacketTest, CutOrMalformedPacketsAreInvalid) {
    std::vector<uint8_t> good = asf_test::Packet(3200, 5, 2, true, 0);
    for (size_t cut = 0; cut < 12; ++cut) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(ParseAsfPacket(truncated, kVideo).valid) << cut;
    }
    std::vector<uint8_t> bad = good;
    bad[0] = 0xE2;  // error correction length type must be 0
    EXPECT_FALSE(ParseAsfPacket(bad, kVideo).valid);
    EXPECT_FALSE(ParseAsfPacket(asf_test::SimpleIndex(3200), kVideo).startsKeyFrame);
}

TEST(AsfParsingTest, FileWrittenByTheAsfMuxerParsesPacketByPacket) {
    std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / "short.asf";
    mmsh_test::CommandResult made = mmsh_test::Run(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine -c:v wmv2 -g 25 "
        "-c:a wmav2 -b:a 64k -t 3 -y " + file.string(), 60);
    ASSERT_EQ(made.status, 0) << made.output;
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AsfHeaderResult result = ParseAsfHeader(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    const AsfHeader& h = result.header;
    EXPECT_EQ(h.packetSize, 3200u);
    ASSERT_EQ(h.videoStreams.size(), 1u);
    ASSERT_EQ(h.audioStreams.size(), 1u);
    uint64_t packets = ReadLe64(bytes.data() + h.headerObjectSize + 40);  // the finished file knows
    ASSERT_GT(packets, 10u);
    int keyFrames = 0;
    uint32_t lastSend = 0;
    for (uint64_t i = 0; i < packets; ++i) {
        std::span<const uint8_t> packet(bytes.data() + h.FirstPacketOffset() + i * h.packetSize, h.packetSize);
        AsfPacketInfo info = ParseAsfPacket(packet, h.videoStreams);
        ASSERT_TRUE(info.valid) << i;
        EXPECT_GE(info.sendTimeMs + 200, lastSend) << i;
        lastSend = info.sendTimeMs;
        keyFrames += info.startsKeyFrame;
    }
    EXPECT_GE(keyFrames, 3);  // one a second
    EXPECT_LE(keyFrames, 5);
    EXPECT_GE(lastSend, 2500u);
}
