// Load: 50 players on loopback for 60 seconds of a 320x240 live broadcast. Every player must stay
// within 2 seconds of the live edge and the helper's memory must stay flat. Long; not part of the
// default suite (see this folder's CMakeLists.txt).
#include <poll.h>

#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/AsfPacketInfo.h"
#include "tests/components/relayo/RelayoTestSupport.h"

using namespace relayo_test;

namespace {

constexpr int kPlayers = 50;
constexpr auto kRun = std::chrono::seconds(60);

// A player reading the framed stream and remembering the send time of its newest packet.
struct Player {
    int fd = -1;
    std::vector<uint8_t> buffer;
    bool headDone = false;
    std::vector<uint8_t> videoStreams;
    uint64_t packets = 0;
    int64_t lastSendMs = -1;
    bool failed = false;

    void Consume() {
        if (!headDone) {
            static const std::string end = "\r\n\r\n";
            auto at = std::search(buffer.begin(), buffer.end(), end.begin(), end.end());
            if (at == buffer.end()) return;
            buffer.erase(buffer.begin(), at + 4);
            headDone = true;
        }
        size_t used = 0;
        while (buffer.size() - used >= 4) {
            const uint8_t* c = buffer.data() + used;
            size_t length = c[2] | c[3] << 8;
            if (buffer.size() - used < 4 + length) break;
            if (c[0] != '$' || length < 8) {
                failed = true;
                return;
            }
            std::span<const uint8_t> payload(c + 12, length - 8);
            if (c[1] == 'H') {
                AsfHeaderResult header = ParseAsfHeader(payload);
                if (header.ok) videoStreams = header.header.videoStreams;
            } else if (c[1] == 'D') {
                AsfPacketInfo info = ParseAsfPacket(payload, videoStreams);
                if (info.valid) lastSendMs = info.sendTimeMs;
                ++packets;
            }
            used += 4 + length;
        }
        buffer.erase(buffer.begin(), buffer.begin() + used);
    }
};

}  // namespace

TEST_F(RelayoProcessTest, FiftyPlayersForSixtySecondsStayLiveAndMemoryStaysFlat) {
    StartWriter(90);
    uint16_t port = FreePort();
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, kPlayers, file_.string())), 1);
    ASSERT_TRUE(WaitServing(port));

    std::vector<Player> players(kPlayers);
    std::string play = mmsh_test::PlayRequest();
    for (Player& p : players) {
        p.fd = mmsh_test::Connect(port);
        ASSERT_GE(p.fd, 0);
        ASSERT_EQ(::send(p.fd, play.data(), play.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(play.size()));
    }
    ASSERT_TRUE(SpinUntil(
        [&] {
            std::vector<Report> r = Reports();
            return !r.empty() && r.back().Count() == kPlayers;
        },
        10000));

    // Reading runs on its own thread so that the reports keep reaching our window meanwhile.
    std::atomic<bool> finished = false;
    int64_t worstLagMs = 0;
    long rssAt10 = 0, rssAtEnd = 0;
    std::thread reader([&] {
        auto start = std::chrono::steady_clock::now();
        auto nextSample = start + std::chrono::seconds(1);
        std::vector<uint8_t> chunk(65536);
        while (std::chrono::steady_clock::now() - start < kRun) {
            std::vector<pollfd> fds;
            for (Player& p : players) fds.push_back({p.fd, POLLIN, 0});
            ::poll(fds.data(), fds.size(), 50);
            for (size_t i = 0; i < players.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
                ssize_t n = ::recv(players[i].fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
                if (n <= 0) {
                    players[i].failed = true;
                    continue;
                }
                players[i].buffer.insert(players[i].buffer.end(), chunk.begin(), chunk.begin() + n);
                players[i].Consume();
            }
            auto now = std::chrono::steady_clock::now();
            if (now >= nextSample) {
                nextSample += std::chrono::seconds(1);
                int64_t edge = -1;
                for (const Player& p : players) edge = std::max(edge, p.lastSendMs);
                if (now - start > std::chrono::seconds(5))  // past the join burst
                    for (const Player& p : players)
                        worstLagMs = std::max(worstLagMs, edge - p.lastSendMs);
                if (now - start >= std::chrono::seconds(10) && rssAt10 == 0) rssAt10 = RssKiB(pid_);
            }
        }
        rssAtEnd = RssKiB(pid_);
        finished = true;
    });
    SpinUntil([&] { return finished.load(); }, 90000);
    reader.join();

    uint64_t fewest = UINT64_MAX, most = 0;
    for (const Player& p : players) {
        EXPECT_FALSE(p.failed);
        fewest = std::min(fewest, p.packets);
        most = std::max(most, p.packets);
        ::close(p.fd);
    }
    std::printf(
        "players %d, packets per player %llu..%llu, worst lag %lld ms, helper RSS %ld KiB at 10 s, "
        "%ld KiB "
        "at 60 s\n",
        kPlayers, static_cast<unsigned long long>(fewest), static_cast<unsigned long long>(most),
        static_cast<long long>(worstLagMs), rssAt10, rssAtEnd);
    EXPECT_GT(fewest, 100u);
    EXPECT_LE(worstLagMs, 2000);
    EXPECT_LT(rssAtEnd - rssAt10, 8 * 1024);
    EXPECT_TRUE(SpinUntil(
        [&] {
            std::vector<Report> r = Reports();
            return r.back().Count() == 0;
        },
        10000));
}
