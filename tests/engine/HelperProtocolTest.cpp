// The two sides of the helper protocol against each other: the start block the session builds is
// one the helper takes with the same fields, and the client report the helper builds is one the
// session reads back whole.
#include <gtest/gtest.h>

#include "components/relayo/ClientReport.h"
#include "components/relayo/StartBlock.h"
#include "engine/HelperBlocks.h"

TEST(HelperProtocol, TheHelperTakesTheSessionsStartBlockWithEveryField) {
    HelperStartFields fields;
    fields.ownerWindow = 0x00C0FFEE;
    fields.port = -25536;  // 40000 as the session's 16-bit field holds it
    fields.maxClients = 7;
    fields.file = "/tmp/orvanta/tmp.wmv";
    fields.publishingUrl = "rtmp://127.0.0.1/live/cam";
    std::optional<HelperStartBlock> block = BuildHelperStartBlock(fields);
    ASSERT_TRUE(block);
    relayo::StartBlockResult taken = relayo::ParseStartBlock(kHelperCopyDataTag, *block);
    ASSERT_TRUE(taken.block) << taken.error;
    EXPECT_EQ(taken.block->owner, fields.ownerWindow);
    EXPECT_EQ(taken.block->port, 40000);
    EXPECT_EQ(taken.block->maxClients, 7);
    EXPECT_EQ(taken.block->file, fields.file);
    EXPECT_EQ(taken.block->publishingAddress, fields.publishingUrl);

    // The longest texts the session lets through still reach the helper whole.
    fields.file = "/" + std::string(kStartFileFieldSize - 2, 'f');
    fields.publishingUrl = std::string(kStartAddressFieldSize - 1, 'u');
    block = BuildHelperStartBlock(fields);
    ASSERT_TRUE(block);
    taken = relayo::ParseStartBlock(kHelperCopyDataTag, *block);
    ASSERT_TRUE(taken.block) << taken.error;
    EXPECT_EQ(taken.block->file, fields.file);
    EXPECT_EQ(taken.block->publishingAddress, fields.publishingUrl);
}

TEST(HelperProtocol, TheSessionReadsTheHelpersClientReports) {
    for (const std::vector<std::string>& clients :
         {std::vector<std::string>{},
          {"127.0.0.1"},
          {"10.0.0.1", "10.0.0.2", "10.0.0.3"},
          std::vector<std::string>(200, "192.168.100.200")}) {
        const std::vector<uint8_t> bytes = relayo::BuildClientReport(clients);
        std::optional<ClientReport> report = ParseClientReport(kHelperCopyDataTag, bytes);
        ASSERT_TRUE(report) << clients.size() << " clients";
        EXPECT_EQ(report->count, clients.size());
        EXPECT_EQ(report->addresses, clients);
    }
}
