// The live broadcast end to end: the virtual camera and microphone through a session with
// broadcast on, the real helper program started by the session, players on loopback reading the
// stream with FFmpeg's mmsh client, and the helper's client reports reaching the owner window.
#include "tests/engine/BroadcastTestSupport.h"

using namespace broadcast_test;

namespace {

std::string Probe(const std::string& target) {
    return "ffprobe -v error -show_entries stream=codec_name,width,height:format=duration -of compact " + target;
}

std::string RecordCommand(uint16_t port, const std::filesystem::path& out) {
    return "ffmpeg -nostdin -v error -i " + Url(port) + " -t 5 -c copy -y " + out.string();
}

double DurationIn(const std::string& probe) {
    size_t at = probe.find("duration=");
    return at == std::string::npos ? -1 : std::atof(probe.c_str() + at + 9);
}

class BroadcastEndToEnd : public BroadcastSessionTest {};

}  // namespace

TEST_F(BroadcastEndToEnd, PlayersReadTheLiveCaptureAtTheProfileSizeAndTheHelperReportsThem) {
    BroadcastWith("320x240-m.prx", 3);
    const std::filesystem::path file = TestFile("live.wmv");
    session.captureMode = true;
    session.captureFileName = file.string();
    ASSERT_TRUE(StartBroadcast());
    ASSERT_TRUE(WaitServing()) << "the helper started by the session serves nothing on " << port;

    {
        BackgroundCommand probe(Probe(Url(port)), 30);
        PumpUntilDone(probe, 30);
        ASSERT_TRUE(probe.Done());
        EXPECT_EQ(probe.Result().status, 0) << probe.Result().output;
        EXPECT_NE(probe.Result().output.find("codec_name=wmv2|width=320|height=240"), std::string::npos)
            << probe.Result().output;
        EXPECT_NE(probe.Result().output.find("codec_name=wmav2"), std::string::npos) << probe.Result().output;
    }

    auto noneLeft = [&] {
        std::vector<ClientReport> r = Reports();
        return !r.empty() && r.back().count == 0;
    };
    // The helper counts the probe as a player until its next packet to it fails: the recorders
    // come once that departure is reported, or the third could find every place taken.
    ASSERT_TRUE(PumpUntil(noneLeft, 10000))
        << "the probe's departure was not reported";

    // Three players record at once; a fourth is turned away while they play.
    std::vector<std::filesystem::path> outs;
    std::vector<std::unique_ptr<BackgroundCommand>> players;
    for (int i = 0; i < 3; ++i) {
        outs.push_back(TestFile("player" + std::to_string(i) + ".asf"));
        players.push_back(std::make_unique<BackgroundCommand>(RecordCommand(port, outs.back()), 40));
    }
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (const ClientReport& r : Reports())
                if (r.count == 3) return true;
            return false;
        },
        20000))
        << "no report of three clients reached the owner window";
    // The refusal is immediate; the bound only matters when it is missing.
    mmsh_test::RawResponse fourth =
        mmsh_test::Fetch(port, mmsh_test::PlayRequest(), 4096, std::chrono::milliseconds(3000));
    EXPECT_GE(fourth.status, 400) << fourth.head;
    EXPECT_EQ(fourth.status, 503) << fourth.head;
    for (auto& player : players) PumpUntilDone(*player, 40);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(outs[i].string());
        ASSERT_TRUE(players[i]->Done());
        EXPECT_EQ(players[i]->Result().status, 0) << players[i]->Result().output;
        std::string read = mmsh_test::Run(Probe(outs[i].string()), 20).output;
        EXPECT_NE(read.find("codec_name=wmv2|width=320|height=240"), std::string::npos) << read;
        EXPECT_NE(read.find("codec_name=wmav2"), std::string::npos) << read;
        EXPECT_GE(DurationIn(read), 4.0) << read;
    }
    ASSERT_TRUE(PumpUntil(noneLeft, 10000))
        << "the departures were not reported";

    // Every report is consistent: as many addresses as clients, each the loopback address.
    int peak = 0;
    for (const ClientReport& r : Reports()) {
        peak = std::max<int>(peak, r.count);
        EXPECT_EQ(r.addresses.size(), r.count) << r.text;
        for (const std::string& a : r.addresses) EXPECT_EQ(a, "127.0.0.1") << r.text;
    }
    EXPECT_EQ(peak, 3);
    EXPECT_EQ(Others(), 0);

    // The progress carries the device's own dropped-frame count: it only grows and never passes
    // the device's final count. (Whether a loaded test machine drops any is not this test's
    // matter; the long load test holds the capture to none.)
    std::vector<RecordedEvent> progress = owner.Named("Capturing");
    ASSERT_FALSE(progress.empty());
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_GE(progress[i].b, progress[i - 1].b);
    EXPECT_LE(progress.back().b, DroppedFrames());
    // The capture ran through the probe and the players' five seconds.
    EXPECT_GE(progress.back().a, 5);

    // The served file is the capture file, complete once the session stops.
    ASSERT_EQ(session.StopSession(), S_OK);
    std::string recorded = mmsh_test::Run(Probe(file.string()), 20).output;
    EXPECT_NE(recorded.find("codec_name=wmv2|width=320|height=240"), std::string::npos) << recorded;
    EXPECT_GE(DurationIn(recorded), 5.0) << recorded;
}

TEST_F(BroadcastEndToEnd, ARestartReplacesTheHelperAndThePreviewBroadcastIsServedFromTmpWmv) {
    BroadcastWith("176x144.prx", 2);
    ASSERT_TRUE(StartBroadcast());
    ASSERT_TRUE(WaitServing());
    EXPECT_EQ(session.wmvFileName, (tempDir / "tmp.wmv").string());
    ASSERT_EQ(OurHelperProcesses().size(), 1u);
    const pid_t first = OurHelperProcesses()[0];

    // The control's next Start: the old helper quits, a new one serves the new broadcast on the
    // same port (the old one must have let it go).
    session.StopSession();
    ASSERT_TRUE(StartBroadcast());
    ASSERT_TRUE(WaitServing());
    ASSERT_TRUE(PumpUntil([&] { return OurHelperProcesses().size() == 1u; }, 5000));
    EXPECT_NE(OurHelperProcesses()[0], first);

    BackgroundCommand probe(Probe(Url(port)), 30);
    PumpUntilDone(probe, 30);
    ASSERT_TRUE(probe.Done());
    EXPECT_EQ(probe.Result().status, 0) << probe.Result().output;
    EXPECT_NE(probe.Result().output.find("codec_name=wmv2|width=176|height=144"), std::string::npos)
        << probe.Result().output;
    ASSERT_TRUE(PumpUntil([&] { return !Reports().empty() && Reports().back().count == 0; }, 10000));
    EXPECT_EQ(Reports().front().count, 1) << Reports().front().text;
}
