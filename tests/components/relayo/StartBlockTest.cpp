// The start block as the capture session lays it out, read field by field, and every way another
// process can get it wrong; the client report's layout byte by byte.
#include "components/relayo/StartBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "components/relayo/ClientReport.h"

using namespace relayo;

namespace {

void Put32(std::vector<uint8_t>& block, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Unset bytes carry a pattern (0xFF and zeros among them) so that a field read from the wrong
// offset shows.
std::vector<uint8_t> Block(uint32_t port = 8080, uint32_t clients = 3,
                           const std::string& file = "/tmp/tmp.wmv",
                           const std::string& address = "") {
    std::vector<uint8_t> block(1524);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
    Put32(block, 4, 0x10016);
    Put32(block, 24, 0x1234ABCD);
    Put32(block, 52, 0);
    Put32(block, 72, port);
    Put32(block, 76, clients);
    std::memset(&block[364], 0, 260);
    std::memcpy(&block[364], file.data(), std::min<size_t>(file.size(), 260));
    std::memset(&block[624], 0, 900);
    std::memcpy(&block[624], address.data(), std::min<size_t>(address.size(), 900));
    return block;
}

StartBlockResult Parse(const std::vector<uint8_t>& block, ULONG_PTR tag = 0x10016) {
    return ParseStartBlock(tag, block);
}

}  // namespace

TEST(StartBlock, FieldsAreReadAtTheirOffsets) {
    StartBlockResult r = Parse(Block(8080, 3, "/tmp/orvanta/tmp.wmv", "rtmp://127.0.0.1/live/cam"));
    ASSERT_TRUE(r.block) << r.error;
    EXPECT_EQ(r.block->owner, 0x1234ABCDu);
    EXPECT_EQ(r.block->port, 8080);
    EXPECT_EQ(r.block->maxClients, 3);
    EXPECT_EQ(r.block->file, "/tmp/orvanta/tmp.wmv");
    EXPECT_EQ(r.block->publishingAddress, "rtmp://127.0.0.1/live/cam");

    // No owner window: the broadcast runs, nobody gets reports.
    std::vector<uint8_t> noOwner = Block();
    Put32(noOwner, 24, 0);
    ASSERT_TRUE(Parse(noOwner).block);
    EXPECT_EQ(Parse(noOwner).block->owner, 0u);
}

TEST(StartBlock, PortIsASignExtendedSixteenBitValue) {
    EXPECT_EQ(Parse(Block(9999)).block->port, 9999);
    EXPECT_EQ(Parse(Block(1)).block->port, 1);
    // 40000 as a 16-bit value is -25536, sign-extended.
    EXPECT_EQ(Parse(Block(static_cast<uint32_t>(-25536))).block->port, 40000);
    EXPECT_EQ(Parse(Block(static_cast<uint32_t>(-1))).block->port, 65535);
    EXPECT_EQ(Parse(Block(65535)).block->port, 65535);
    for (uint32_t bad : {0u, 65536u, 0x10000u | 8080u, static_cast<uint32_t>(-32769),
                         static_cast<uint32_t>(-65536)})
        EXPECT_FALSE(Parse(Block(bad)).block) << bad;
}

TEST(StartBlock, ClientLimitIsCheckedAndCapped) {
    EXPECT_EQ(Parse(Block(8080, 0)).block->maxClients, 0) << "serves nobody directly, still runs";
    EXPECT_EQ(Parse(Block(8080, 1000)).block->maxClients, 1000);
    EXPECT_EQ(Parse(Block(8080, 0x7FFFFFFF)).block->maxClients, kMaxClientsCap);
    EXPECT_FALSE(Parse(Block(8080, static_cast<uint32_t>(-1))).block);
}

TEST(StartBlock, WrongKindOrSizeIsRefused) {
    EXPECT_FALSE(Parse(Block(), 0x10017).block);
    EXPECT_FALSE(Parse(Block(), 0).block);
    std::vector<uint8_t> wrongTag = Block();
    Put32(wrongTag, 4, 0x10037);
    EXPECT_FALSE(Parse(wrongTag).block);
    for (size_t size : {size_t{0}, size_t{4}, size_t{1523}, size_t{1525}, size_t{4096}}) {
        std::vector<uint8_t> block = Block();
        block.resize(size, 0);
        EXPECT_FALSE(Parse(block).block) << size;
    }
}

TEST(StartBlock, PathMustBeTerminatedAbsoluteAndPresent) {
    std::string longest = "/" + std::string(258, 'p');  // 259 bytes + terminator fill the field
    StartBlockResult r = Parse(Block(8080, 3, longest));
    ASSERT_TRUE(r.block) << r.error;
    EXPECT_EQ(r.block->file, longest);

    // 260 bytes without a terminator: refused, not read into the address field.
    EXPECT_FALSE(Parse(Block(8080, 3, "/" + std::string(259, 'p'), "x")).block);
    EXPECT_FALSE(Parse(Block(8080, 3, "")).block);
    EXPECT_FALSE(Parse(Block(8080, 3, "tmp.wmv")).block);
}

TEST(StartBlock, AddressMustBeTerminatedAndMayBeEmpty) {
    std::string longest(899, 'a');
    StartBlockResult r = Parse(Block(8080, 3, "/f.wmv", longest));
    ASSERT_TRUE(r.block);
    EXPECT_EQ(r.block->publishingAddress, longest);
    EXPECT_EQ(Parse(Block(8080, 3, "/f.wmv", "")).block->publishingAddress, "");
    EXPECT_FALSE(Parse(Block(8080, 3, "/f.wmv", std::string(900, 'a'))).block);
}

TEST(ClientReport, LayoutByteByByte) {
    std::vector<uint8_t> empty = BuildClientReport({});
    ASSERT_EQ(empty.size(), 1524u);
    EXPECT_EQ(empty[4], 0x37);
    EXPECT_EQ(empty[5], 0x00);
    EXPECT_EQ(empty[6], 0x01);
    EXPECT_EQ(empty[7], 0x00);
    EXPECT_EQ(empty[52], 0);
    EXPECT_EQ(empty[53], 0);
    EXPECT_EQ(empty[936], 0);
    for (size_t i = 0; i < empty.size(); ++i) {
        if (i < 4 || i > 7) {
            EXPECT_EQ(empty[i], 0) << i;
        }
    }

    std::vector<uint8_t> two = BuildClientReport({"127.0.0.1", "10.0.0.2"});
    ASSERT_EQ(two.size(), 1524u);
    EXPECT_EQ(two[52], 2);
    EXPECT_EQ(two[53], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&two[936]), "127.0.0.1;10.0.0.2")
        << "no trailing separator";
}

TEST(ClientReport, ManyAddressesGrowTheReportInsteadOfBeingCut) {
    std::vector<std::string> addresses;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        addresses.push_back("192.168.100." + std::to_string(i % 256));
        expected += (i ? ";" : "") + addresses.back();
    }
    std::vector<uint8_t> report = BuildClientReport(addresses);
    EXPECT_EQ(report.size(), 936 + expected.size() + 1);
    EXPECT_EQ(report[52] | report[53] << 8, 300);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&report[936])), expected);
    EXPECT_EQ(report.back(), 0);
}
