// Load: 50 players on loopback for 60 seconds of a 320x240 live broadcast. Every player must stay
// within 2 seconds of the live edge and the helper's memory must stay flat. Long; not part of the
// default suite (see this folder's CMakeLists.txt).
#include <poll.h>

#include "tests/components/relayo/RelayoTestSupport.h"
#include "tests/components/relayo/load/LoadPlayer.h"

using namespace relayo_test;

namespace {

constexpr int kPlayers = 50;
constexpr auto kRun = std::chrono::seconds(60);

}  // namespace

TEST_F(RelayoProcessTest, FiftyPlayersForSixtySecondsStayLiveAndMemoryStaysFlat) {
    StartWriter(90);
    uint16_t port = FreeLoopbackPort();
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, kPlayers, file_.string())), 1);
    ASSERT_TRUE(WaitServing(port));

    std::vector<relayo_load::Player> players(kPlayers);
    std::string play = mmsh_test::PlayRequest();
    for (relayo_load::Player& p : players) {
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
        worstLagMs = relayo_load::ReadPlayers(players, kRun, [&](std::chrono::steady_clock::duration elapsed) {
            if (elapsed >= std::chrono::seconds(10) && rssAt10 == 0) rssAt10 = RssKiB(pid_);
        });
        rssAtEnd = RssKiB(pid_);
        finished = true;
    });
    SpinUntil([&] { return finished.load(); }, 90000);
    reader.join();

    uint64_t fewest = UINT64_MAX, most = 0;
    for (const relayo_load::Player& p : players) {
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
