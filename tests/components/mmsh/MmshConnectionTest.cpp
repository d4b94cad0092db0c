// One connection driven by hand over a socket pair: framing of what it sends, skipping ahead when
// its client cannot keep up, the end of the broadcast, and its time-outs.
#include "components/mmsh/MmshConnection.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/components/mmsh/MmshTestSupport.h"

using namespace std::chrono_literals;
using Clock = MmshConnection::Clock;

namespace {

class MmshConnectionTest : public testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        peer_ = fds[1];
        connection_ = std::make_unique<MmshConnection>(fds[0], "10.0.0.7", 9, now_);
    }
    void TearDown() override {
        if (peer_ >= 0) ::close(peer_);
    }

    void Push(uint64_t index, bool key = false) {
        auto p = std::make_shared<LivePacket>();
        p->index = index;
        p->startsKeyFrame = key;
        p->bytes.assign(packetSize_, static_cast<uint8_t>(index));
        ring_.Push(p);
    }

    // Everything readable on the peer side right now; `eof` tells whether the connection closed.
    std::vector<uint8_t> Drain(bool* eof = nullptr) {
        std::vector<uint8_t> out;
        uint8_t buffer[8192];
        for (;;) {
            ssize_t n = ::recv(peer_, buffer, sizeof buffer, 0);
            if (n > 0) {
                out.insert(out.end(), buffer, buffer + n);
                continue;
            }
            if (eof) *eof = n == 0;
            return out;
        }
    }

    // Splits what followed the `head` + `header` bytes into chunks.
    std::vector<mmsh_test::Chunk> Chunks(const std::vector<uint8_t>& bytes, size_t skip) {
        std::vector<mmsh_test::Chunk> chunks;
        std::string fault;
        std::vector<uint8_t> body(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end());
        EXPECT_TRUE(mmsh_test::SplitChunks(body, chunks, fault)) << fault;
        return chunks;
    }

    const size_t packetSize_ = 1000;
    Clock::time_point now_ = Clock::now();
    PacketRing ring_{20 * 1000};
    int peer_ = -1;
    std::unique_ptr<MmshConnection> connection_;
};

const std::vector<uint8_t> kHeader = {1, 2, 3};

}  // namespace

TEST_F(MmshConnectionTest, StreamsFramedPacketsFromItsPositionAsTheRingGrows) {
    for (uint64_t i = 0; i < 5; ++i) Push(i);
    connection_->Stream("HEAD", kHeader, 2, true);
    connection_->Pump(ring_, false, now_);
    std::vector<uint8_t> got = Drain();
    ASSERT_GE(got.size(), 7u);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 4), "HEAD");
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 4, got.begin() + 7), kHeader);
    std::vector<mmsh_test::Chunk> chunks = Chunks(got, 7);
    ASSERT_EQ(chunks.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(chunks[i].type, 'D');
        EXPECT_EQ(chunks[i].locationId, 2 + i);
        EXPECT_EQ(chunks[i].payload, std::vector<uint8_t>(packetSize_, static_cast<uint8_t>(2 + i)));
    }
    Push(5);
    connection_->Pump(ring_, false, now_);
    chunks = Chunks(Drain(), 0);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].locationId, 5u);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Streaming);
}

TEST_F(MmshConnectionTest, SlowClientSkipsAheadToAKeyFrameAndNeverGetsAPartialPacket) {
    int small = 4096;
    ASSERT_EQ(::setsockopt(connection_->Fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    ASSERT_EQ(::setsockopt(peer_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    Push(0);
    connection_->Stream("", {}, 0, true);
    uint64_t index = 1;
    // The client does not read while 200 packets go by; the ring holds only 20.
    for (; index < 200; ++index) {
        Push(index, index % 10 == 0);
        connection_->Pump(ring_, false, now_);
    }
    EXPECT_TRUE(connection_->Blocked());
    EXPECT_LE(ring_.Bytes(), 20 * packetSize_);
    std::vector<uint8_t> got;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> part = Drain();
        got.insert(got.end(), part.begin(), part.end());
        connection_->Pump(ring_, false, now_);
        if (part.empty() && !connection_->Blocked()) break;
    }
    std::vector<mmsh_test::Chunk> chunks = Chunks(got, 0);
    ASSERT_GE(chunks.size(), 2u);
    EXPECT_GT(connection_->SkippedPackets(), 100u);
    bool jumped = false;
    for (size_t i = 1; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].payload.size(), packetSize_);
        if (chunks[i].locationId != chunks[i - 1].locationId + 1) {
            jumped = true;
            EXPECT_EQ(chunks[i].locationId % 10, 0u) << "resumes at a key frame";
        }
    }
    EXPECT_TRUE(jumped);
    EXPECT_EQ(chunks.back().locationId, 199u) << "caught up with the live edge";
}

TEST_F(MmshConnectionTest, EndOfBroadcastSendsEndChunkAfterTheLastPacketThenCloses) {
    Push(0);
    Push(1);
    connection_->Stream("", {}, 0, true);
    connection_->Pump(ring_, true, now_);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Lingering);
    bool eof = false;
    std::vector<mmsh_test::Chunk> chunks = Chunks(Drain(&eof), 0);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[2].type, 'E');
    EXPECT_TRUE(eof) << "our side is shut down";
    ::close(peer_);
    peer_ = -1;
    connection_->OnReadable();
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Done);
}

TEST_F(MmshConnectionTest, RawDownloadHasNoFraming) {
    Push(0);
    connection_->Stream("", kHeader, 0, false);
    connection_->Pump(ring_, false, now_);
    std::vector<uint8_t> got = Drain();
    ASSERT_EQ(got.size(), kHeader.size() + packetSize_);
    EXPECT_EQ(got[3], 0u);
}

TEST_F(MmshConnectionTest, TimeOuts) {
    const auto request = 10s, stall = 15s, linger = 2s;
    connection_->CheckTimeouts(now_ + 9s, request, stall, linger);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Request);
    connection_->CheckTimeouts(now_ + 11s, request, stall, linger);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Done) << "never sent a request";

    TearDown();
    SetUp();
    int small = 4096;
    ::setsockopt(connection_->Fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    for (uint64_t i = 0; i < 20; ++i) Push(i);
    connection_->Stream("", {}, 0, true);
    connection_->Pump(ring_, false, now_);
    ASSERT_TRUE(connection_->Blocked());
    connection_->CheckTimeouts(now_ + 14s, request, stall, linger);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Streaming);
    connection_->CheckTimeouts(now_ + 16s, request, stall, linger);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Done) << "took nothing for too long";

    TearDown();
    SetUp();
    connection_->Answer("HTTP/1.0 400 Bad Request\r\n\r\n", {});
    connection_->Pump(ring_, false, now_);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Lingering);
    connection_->CheckTimeouts(now_ + 3s, request, stall, linger);
    EXPECT_EQ(connection_->CurrentPhase(), MmshConnection::Phase::Done) << "the client never closed";
}
