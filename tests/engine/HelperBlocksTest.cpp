// The helper's two messages as bytes: the start block the session sends and the client reports
// the control takes back, including reports that are short, oversized or carry odd texts.
#include "engine/HelperBlocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
uint32_t Int32At(const HelperStartBlock& block, size_t offset) {
    uint32_t v = 0;
    std::memcpy(&v, block.data() + offset, 4);
    return v;
}

// Every byte of [from, to) is zero.
bool ZeroRange(const HelperStartBlock& block, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (block[i] != 0) return false;
    return true;
}

std::vector<uint8_t> Report(uint32_t tag, uint16_t count, const std::string& text, size_t size = 1524) {
    std::vector<uint8_t> bytes(size, 0);
    for (size_t i = 0; i < 4 && 4 + i < bytes.size(); ++i) bytes[4 + i] = static_cast<uint8_t>(tag >> (8 * i));
    if (bytes.size() >= 54) {
        bytes[52] = static_cast<uint8_t>(count);
        bytes[53] = static_cast<uint8_t>(count >> 8);
    }
    for (size_t i = 0; i < text.size() && kReportOffsetText + i < bytes.size(); ++i)
        bytes[kReportOffsetText + i] = static_cast<uint8_t>(text[i]);
    return bytes;
}
}  // namespace

TEST(HelperStartBlock, EveryFieldSitsAtItsOffsetAndEveryOtherByteIsZero) {
    HelperStartFields fields;
    fields.ownerWindow = 0x01020304;
    fields.port = 8080;
    fields.maxClients = 3;
    fields.file = "/tmp/x/tmp.wmv";
    fields.publishingUrl = "rtmp://127.0.0.1/live/a";
    auto block = BuildHelperStartBlock(fields);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 1524u);
    EXPECT_EQ(Int32At(*block, 4), 0x10016u);
    EXPECT_EQ(Int32At(*block, 24), 0x01020304u);
    EXPECT_EQ(Int32At(*block, 52), 0u);
    EXPECT_EQ(Int32At(*block, 72), 8080u);
    EXPECT_EQ(Int32At(*block, 76), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block->data() + 364)), fields.file);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block->data() + 624)), fields.publishingUrl);
    // Little-endian bytes of the tag.
    EXPECT_EQ((*block)[4], 0x16);
    EXPECT_EQ((*block)[5], 0x00);
    EXPECT_EQ((*block)[6], 0x01);
    EXPECT_TRUE(ZeroRange(*block, 0, 4));
    EXPECT_TRUE(ZeroRange(*block, 8, 24));
    EXPECT_TRUE(ZeroRange(*block, 28, 72));
    EXPECT_TRUE(ZeroRange(*block, 80, 364));
    EXPECT_TRUE(ZeroRange(*block, 364 + fields.file.size(), 624));
    EXPECT_TRUE(ZeroRange(*block, 624 + fields.publishingUrl.size(), 1524));
}

TEST(HelperStartBlock, NegativeSixteenBitValuesAreSignExtendedAndAnEmptyAddressIsAllZero) {
    HelperStartFields fields;
    fields.port = static_cast<int16_t>(0xC350);  // 50000 as the 16-bit property holds it
    fields.maxClients = -1;
    fields.file = "a.wmv";
    auto block = BuildHelperStartBlock(fields);
    ASSERT_TRUE(block);
    EXPECT_EQ(Int32At(*block, 72), 0xFFFFC350u);
    EXPECT_EQ(Int32At(*block, 76), 0xFFFFFFFFu);
    EXPECT_EQ(Int32At(*block, 24), 0u);
    EXPECT_TRUE(ZeroRange(*block, 624, 1524));
}

TEST(HelperStartBlock, TextsThatDoNotFitTheirFieldsAreRefusedNotCut) {
    HelperStartFields fields;
    fields.file = std::string(259, 'p');
    fields.publishingUrl = std::string(899, 'u');
    auto block = BuildHelperStartBlock(fields);
    ASSERT_TRUE(block);
    // The longest texts keep their terminating zero inside the field.
    EXPECT_EQ((*block)[364 + 259], 0);
    EXPECT_EQ((*block)[624 + 898], 'u');
    EXPECT_EQ((*block)[1523], 0);
    EXPECT_TRUE(HelperStartFieldsFit(fields.file, fields.publishingUrl));

    fields.file = std::string(260, 'p');
    EXPECT_FALSE(BuildHelperStartBlock(fields));
    EXPECT_FALSE(HelperStartFieldsFit(fields.file, fields.publishingUrl));
    fields.file = "ok.wmv";
    fields.publishingUrl = std::string(900, 'u');
    EXPECT_FALSE(BuildHelperStartBlock(fields));
    // A zero byte inside would cut the path just the same.
    fields.publishingUrl.clear();
    fields.file = std::string("a\0b.wmv", 7);
    EXPECT_FALSE(BuildHelperStartBlock(fields));
}

TEST(ClientReportParser, TakesTheCountAndTheAddresses) {
    auto report = ParseClientReport(0x10016, Report(0x10037, 2, "10.0.0.1;10.0.0.2"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 2);
    EXPECT_EQ(report->text, "10.0.0.1;10.0.0.2");
    EXPECT_EQ(report->addresses, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));

    // A trailing semicolon adds no empty entry; the text is passed on as it came.
    report = ParseClientReport(0x10016, Report(0x10037, 1, "192.168.1.7;"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->text, "192.168.1.7;");
    EXPECT_EQ(report->addresses, (std::vector<std::string>{"192.168.1.7"}));

    // The count is 16 bits, unsigned.
    report = ParseClientReport(0x10016, Report(0x10037, 0xFFFE, "a"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 0xFFFE);
}

TEST(ClientReportParser, AnEmptyTextStillMakesAReport) {
    auto report = ParseClientReport(0x10016, Report(0x10037, 0, ""));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 0);
    EXPECT_TRUE(report->text.empty());
    EXPECT_TRUE(report->addresses.empty());
    // Two separators: two empty entries (the final one adds none).
    report = ParseClientReport(0x10016, Report(0x10037, 0, ";;"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->addresses, (std::vector<std::string>{"", ""}));
}

TEST(ClientAddressSplit, QuotesProtectSeparatorsAndDoubledQuotesGiveOneAndEndTheStretch) {
    EXPECT_EQ(SplitClientAddresses(""), std::vector<std::string>{});
    EXPECT_EQ(SplitClientAddresses("a"), std::vector<std::string>{"a"});
    EXPECT_EQ(SplitClientAddresses(";"), std::vector<std::string>{""});
    EXPECT_EQ(SplitClientAddresses("a;b;;c;"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(SplitClientAddresses(";;x"), (std::vector<std::string>{"", "", "x"}));
    EXPECT_EQ(SplitClientAddresses("\"a;b\";c"), (std::vector<std::string>{"a;b", "c"}));
    EXPECT_EQ(SplitClientAddresses("\"x\"\"y;z\";w"), (std::vector<std::string>{"x\"y", "z;w"}));
}

TEST(ClientReportParser, OtherMessagesAreNotReports) {
    EXPECT_FALSE(ParseClientReport(0x10017, Report(0x10037, 1, "a")));
    EXPECT_FALSE(ParseClientReport(0x10016, Report(0x10016, 1, "a")));
    EXPECT_FALSE(ParseClientReport(0x10016, {}));
    // Too short for the tag, or for the count behind it.
    EXPECT_FALSE(ParseClientReport(0x10016, Report(0x10037, 1, "", 7)));
    EXPECT_FALSE(ParseClientReport(0x10016, Report(0x10037, 1, "", 53)));
    EXPECT_TRUE(ParseClientReport(0x10016, Report(0x10037, 1, "", 54)));
}

TEST(ClientReportParser, TheTextIsReadOnlyWithinTheMessage) {
    // Ends before the text: a count and no text.
    auto report = ParseClientReport(0x10016, Report(0x10037, 4, "", 900));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 4);
    EXPECT_TRUE(report->text.empty());
    // Exactly at the text's start: still nothing to read.
    report = ParseClientReport(0x10016, Report(0x10037, 4, "", 936));
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->text.empty());
    // A text without its terminating zero stops at the message's end.
    std::vector<uint8_t> bytes = Report(0x10037, 1, "10.1.2.3", 936 + 5);
    report = ParseClientReport(0x10016, bytes);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->text, "10.1.");
    // Bytes after the zero are not part of the text.
    bytes = Report(0x10037, 1, "1.1.1.1", 1524);
    std::memcpy(bytes.data() + 936 + 8, "junk", 4);
    report = ParseClientReport(0x10016, bytes);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->text, "1.1.1.1");
}

TEST(ClientReportParser, AnOversizedReportCarriesAllItsAddresses) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ";";
    auto report = ParseClientReport(0x10016, Report(0x10037, 200, text, 936 + text.size() + 1));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->count, 200);
    ASSERT_EQ(report->addresses.size(), 200u);
    EXPECT_EQ(report->addresses.front(), "10.0.0.0");
    EXPECT_EQ(report->addresses.back(), "10.0.0.199");
}
