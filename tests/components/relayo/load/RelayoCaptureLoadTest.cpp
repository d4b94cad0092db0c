// Load fed by a real capture: the virtual camera and microphone through a capture session at the
// shipped 320x240 normal-quality profile, the helper started by the session, and 50 players on
// loopback for 60 seconds. Every player must stay within 2 seconds of the live edge, and the
// capture must drop no frame while it feeds them. Long; not part of the default suite.
#include <poll.h>
#include <sys/socket.h>

#include "tests/components/relayo/load/LoadPlayer.h"
#include "tests/engine/BroadcastTestSupport.h"

using namespace broadcast_test;

namespace {

constexpr int kPlayers = 50;
constexpr auto kRun = std::chrono::seconds(60);

class RelayoCaptureLoad : public BroadcastSessionTest {};

}  // namespace

TEST_F(RelayoCaptureLoad, FiftyPlayersForSixtySecondsOfARealCaptureStayLiveAndNoFrameIsDropped) {
    BroadcastWith("320x240-m.prx", kPlayers);
    session.captureMode = true;
    session.captureFileName = TestFile("load.wmv").string();
    ASSERT_TRUE(StartBroadcast());
    ASSERT_TRUE(WaitServing());

    std::vector<relayo_load::Player> players(kPlayers);
    const std::string play = mmsh_test::PlayRequest();
    for (relayo_load::Player& p : players) {
        p.fd = mmsh_test::Connect(port);
        ASSERT_GE(p.fd, 0);
        ASSERT_EQ(::send(p.fd, play.data(), play.size(), MSG_NOSIGNAL), static_cast<ssize_t>(play.size()));
    }
    ASSERT_TRUE(PumpUntil(
        [&] {
            std::vector<ClientReport> r = Reports();
            return !r.empty() && r.back().count == kPlayers;
        },
        10000));

    // The players read on their own thread; this one keeps the capture's event loop turning.
    std::atomic<bool> finished = false;
    int64_t worstLagMs = 0;
    std::thread reader([&] {
        worstLagMs = relayo_load::ReadPlayers(players, kRun);
        finished = true;
    });
    PumpUntil([&] { return finished.load(); }, 90000);
    reader.join();

    uint64_t fewest = UINT64_MAX, most = 0;
    for (const relayo_load::Player& p : players) {
        EXPECT_FALSE(p.failed);
        fewest = std::min(fewest, p.packets);
        most = std::max(most, p.packets);
        ::close(p.fd);
    }
    const long dropped = DroppedFrames();
    std::vector<RecordedEvent> progress = owner.Named("Capturing");
    std::printf("players %d, packets per player %llu..%llu, worst lag %lld ms, capture at %d s, %ld frames dropped\n",
                kPlayers, static_cast<unsigned long long>(fewest), static_cast<unsigned long long>(most),
                static_cast<long long>(worstLagMs), progress.empty() ? -1 : progress.back().a, dropped);
    EXPECT_GT(fewest, 100u);
    EXPECT_LE(worstLagMs, 2000);
    EXPECT_EQ(dropped, 0);
    ASSERT_FALSE(progress.empty());
    for (const RecordedEvent& e : progress) EXPECT_EQ(e.b, 0) << "dropped frames at second " << e.a;
    EXPECT_TRUE(PumpUntil([&] { return Reports().back().count == 0; }, 10000));
}
