// Following a file as a writer grows it: the header appears in pieces, only whole packets are
// handed out, and each way a recording ends is noticed.
#include "components/mmsh/AsfFileFollower.h"

#include <gtest/gtest.h>

#include <fstream>

#include "components/mmsh/AsfBytes.h"
#include "tests/components/mmsh/AsfTestFiles.h"
#include "tests/support/TestEnvironment.h"

namespace {

class AsfFileFollowerTest : public testing::Test {
protected:
    std::filesystem::path file_ = testing_support::TestEnvironment::Current().Dir() / "growing.asf";

    void Append(const std::vector<uint8_t>& bytes, size_t from = 0, size_t count = SIZE_MAX) {
        std::ofstream out(file_, std::ios::binary | std::ios::app);
        count = std::min(count, bytes.size() - from);
        out.write(reinterpret_cast<const char*>(bytes.data() + from), static_cast<std::streamsize>(count));
    }
    void Overwrite(size_t offset, const std::vector<uint8_t>& bytes) {
        std::fstream out(file_, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(offset));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

}  // namespace

TEST_F(AsfFileFollowerTest, HandsOutWholePacketsUntilTheIndexObject) {
    AsfFileFollower follower(file_);
    EXPECT_EQ(follower.Poll(), AsfFileFollower::State::WaitingForHeader) << "no file yet";
    std::vector<uint8_t> header = asf_test::Header();
    Append(header, 0, 20);
    EXPECT_EQ(follower.Poll(), AsfFileFollower::State::WaitingForHeader);
    Append(header, 20, header.size() - 21);
    EXPECT_EQ(follower.Poll(), AsfFileFollower::State::WaitingForHeader) << "data object start incomplete";
    Append(header, header.size() - 1);
    ASSERT_EQ(follower.Poll(), AsfFileFollower::State::Following) << follower.Error();
    EXPECT_EQ(follower.Header().packetSize, 3200u);
    EXPECT_FALSE(follower.Next());

    std::vector<uint8_t> packet = asf_test::Packet(3200, 40, 2, true, 0);
    Append(packet, 0, 3000);
    follower.Poll();
    EXPECT_FALSE(follower.Next()) << "a packet still being written";
    Append(packet, 3000);
    Append(asf_test::Packet(3200, 80, 1, false, 0));
    follower.Poll();
    EXPECT_EQ(follower.CompletePackets(), 2u);
    std::optional<AsfFilePacket> first = follower.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->index, 0u);
    EXPECT_EQ(first->bytes, packet);
    EXPECT_TRUE(first->info.startsKeyFrame);
    std::optional<AsfFilePacket> second = follower.Next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->info.sendTimeMs, 80u);
    EXPECT_FALSE(follower.Next());

    Append(asf_test::SimpleIndex(200));
    EXPECT_EQ(follower.Poll(), AsfFileFollower::State::Ended);
}

TEST_F(AsfFileFollowerTest, AnIndexObjectLargerThanAPacketEndsTooAndIsNotSentAsAPacket) {
    Append(asf_test::Header());
    Append(asf_test::Packet(3200, 0, 2, true, 0));
    Append(asf_test::SimpleIndex(5000));
    AsfFileFollower follower(file_);
    ASSERT_EQ(follower.Poll(), AsfFileFollower::State::Following);
    EXPECT_TRUE(follower.Next());
    EXPECT_FALSE(follower.Next());
    EXPECT_EQ(follower.CurrentState(), AsfFileFollower::State::Ended);
}

TEST_F(AsfFileFollowerTest, HeaderRewrittenAtTheEndOrFileCutEndsTheRecording) {
    std::vector<uint8_t> header = asf_test::Header();
    Append(header);
    Append(asf_test::Packet(3200, 0, 2, true, 0));
    AsfFileFollower rewritten(file_);
    ASSERT_EQ(rewritten.Poll(), AsfFileFollower::State::Following);
    EXPECT_TRUE(rewritten.Next());
    // The writer finishes faster than we serve: two more packets, an index, the real sizes.
    Append(asf_test::Packet(3200, 40, 2, false, 0));
    Append(asf_test::Packet(3200, 80, 2, false, 0));
    Append(asf_test::SimpleIndex(4000));
    std::vector<uint8_t> realSize(8, 0);
    WriteLe64(realSize.data(), 50 + 3 * 3200);
    Overwrite(header.size() - 50 + 16, realSize);
    EXPECT_EQ(rewritten.Poll(), AsfFileFollower::State::Ended);
    EXPECT_FALSE(rewritten.Exhausted()) << "the packets written before the end are still to serve";
    std::optional<AsfFilePacket> last;
    for (int i = 0; i < 2; ++i) last = rewritten.Next();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->info.sendTimeMs, 80u);
    EXPECT_FALSE(rewritten.Next()) << "the index object is no packet";
    EXPECT_TRUE(rewritten.Exhausted());

    std::filesystem::remove(file_);
    Append(header);
    Append(asf_test::Packet(3200, 0, 2, true, 0));
    AsfFileFollower cut(file_);
    ASSERT_EQ(cut.Poll(), AsfFileFollower::State::Following);
    std::filesystem::resize_file(file_, header.size() + 100);
    EXPECT_EQ(cut.Poll(), AsfFileFollower::State::Ended);
    EXPECT_FALSE(cut.Next()) << "nothing is read from a file that changed under us";
    EXPECT_TRUE(cut.Exhausted());
}

TEST_F(AsfFileFollowerTest, ServesNothingFromAnUnservableFile) {
    asf_test::HeaderShape shape;
    shape.minPacketSize = 1600;
    Append(asf_test::Header(shape));
    AsfFileFollower follower(file_);
    EXPECT_EQ(follower.Poll(), AsfFileFollower::State::Failed);
    EXPECT_FALSE(follower.Error().empty());
    EXPECT_FALSE(follower.Next());

    std::filesystem::path text = file_.parent_path() / "notes.txt";
    std::ofstream(text) << "this is not an asf file at all, just words";
    AsfFileFollower wrong(text);
    EXPECT_EQ(wrong.Poll(), AsfFileFollower::State::Failed);
}
