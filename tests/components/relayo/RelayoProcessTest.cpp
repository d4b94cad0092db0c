// The Relayo program driven as the capture session drives it: found by its window class, given a
// start block for a WMV file that ffmpeg is still writing, read back by FFmpeg's mmsh client,
// reporting its clients to our window, and ended by WM_COMMAND 1.
#include <fstream>

#include "platform/base/HResult.h"
#include "platform/contracts/PublishFailureReport.h"
#include "tests/components/relayo/RelayoTestSupport.h"

using namespace relayo_test;
using namespace std::chrono_literals;
using os_test::SpinUntil;

TEST_F(RelayoProcessTest, LiveBroadcastReachesPlayersAndClientsAreReported) {
    StartWriter(60);
    uint16_t port = FreeLoopbackPort();
    // The block may come before the writer's first byte: the helper waits for the header.
    // An address that is not rtmp:// is ignored.
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, 3, file_.string(),
                              "http://127.0.0.1:1/elsewhere")),
              1);
    ASSERT_TRUE(WaitServing(port));

    mmsh_test::CommandResult probe;
    std::atomic<bool> done = false;
    std::thread([&] {
        probe = mmsh_test::Run(
            "ffprobe -v error -show_entries stream=codec_name,width,height -of compact " +
                Url(port),
            30);
        done = true;
    }).detach();
    ASSERT_TRUE(SpinUntil([&] { return done.load(); }, 35000));
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("codec_name=wmv2|width=320|height=240"), std::string::npos)
        << probe.output;
    EXPECT_NE(probe.output.find("codec_name=wmav2"), std::string::npos) << probe.output;

    auto noneLeft = [&] {
        std::vector<Report> r = Reports();
        return !r.empty() && r.back().Count() == 0;
    };
    // The server counts the probe as a player until it sees the probe's connection gone (its next
    // packet to it fails): the recorders come after that departure has been reported, or the
    // third could find all three places taken.
    ASSERT_TRUE(SpinUntil(noneLeft, 10000))
        << "the probe's departure was not reported";

    // Three recordings at once, while a fourth player is turned away.
    std::atomic<int> finished = 0;
    std::vector<mmsh_test::CommandResult> recorded(3);
    for (int i = 0; i < 3; ++i)
        std::thread([&, i] {
            std::string out = (Dir() / ("rec" + std::to_string(i) + ".asf")).string();
            recorded[i] = mmsh_test::Run(
                "ffmpeg -nostdin -v error -i " + Url(port) + " -t 5 -c copy -y " + out, 40);
            ++finished;
        }).detach();
    ASSERT_TRUE(SpinUntil(
        [&] {
            for (const Report& r : Reports())
                if (r.Count() == 3) return true;
            return false;
        },
        20000))
        << "no report of three clients";
    mmsh_test::RawResponse fourth = mmsh_test::Fetch(port, mmsh_test::PlayRequest(), 4096, 3000ms);
    EXPECT_EQ(fourth.status, 503) << fourth.head;
    ASSERT_TRUE(SpinUntil([&] { return finished == 3; }, 45000));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(recorded[i].status, 0) << recorded[i].output;
        std::string out = (Dir() / ("rec" + std::to_string(i) + ".asf")).string();
        mmsh_test::CommandResult read = mmsh_test::Run(
            "ffprobe -v error -show_entries stream=codec_name:format=duration -of compact " + out,
            20);
        EXPECT_NE(read.output.find("codec_name=wmv2"), std::string::npos) << read.output;
        EXPECT_NE(read.output.find("codec_name=wmav2"), std::string::npos) << read.output;
        size_t at = read.output.find("duration=");
        ASSERT_NE(at, std::string::npos) << read.output;
        EXPECT_GE(std::stod(read.output.substr(at + 9)), 4.0) << read.output;
    }
    ASSERT_TRUE(SpinUntil(noneLeft, 10000));

    std::vector<Report> reports = Reports();
    int peak = 0;
    for (const Report& r : reports) {
        EXPECT_EQ(r.tag, 0x10016u);
        EXPECT_EQ(r.from, helper_);
        ASSERT_GE(r.bytes.size(), 1524u);
        EXPECT_EQ(r.bytes[4] | r.bytes[5] << 8 | r.bytes[6] << 16 | r.bytes[7] << 24, 0x10037);
        int count = r.Count();
        peak = std::max(peak, count);
        std::string expected;
        for (int i = 0; i < count; ++i) expected += (i ? ";" : "") + std::string("127.0.0.1");
        EXPECT_EQ(r.Text(), expected) << "count " << count;
    }
    EXPECT_EQ(peak, 3);
    // ffprobe (one player), then the three recorders: every arrival and departure is a report.
    EXPECT_GE(reports.size(), 8u);
}

TEST_F(RelayoProcessTest, BadBlocksAreRefusedAndANewBlockReplacesTheBroadcast) {
    StartWriter(60);
    uint16_t first = FreeLoopbackPort();
    std::vector<uint8_t> good = StartBlock(control_->Handle(), first, 2, file_.string());
    std::vector<uint8_t> shortBlock(good.begin(), good.begin() + 100);
    std::vector<uint8_t> portZero = StartBlock(control_->Handle(), 0, 2, file_.string());
    std::vector<uint8_t> unterminated = good;
    std::memset(&unterminated[364], 'a', 260);
    std::vector<uint8_t> tagged = good;
    Put32(tagged, 4, 0x10037);
    EXPECT_EQ(Send(shortBlock), 0);
    EXPECT_EQ(Send(portZero), 0);
    EXPECT_EQ(Send(unterminated), 0);
    EXPECT_EQ(Send(tagged), 0);
    EXPECT_EQ(Send(good, 0x10017), 0);
    EXPECT_EQ(Send({}), 0);

    ASSERT_EQ(Send(good), 1) << "the helper survived the bad blocks";
    ASSERT_TRUE(WaitServing(first));
    uint16_t second = FreeLoopbackPort();
    ASSERT_EQ(Send(StartBlock(control_->Handle(), second, 2, file_.string())), 1);
    ASSERT_TRUE(WaitServing(second));
    EXPECT_TRUE(CanBind(first)) << "the first broadcast still holds its port";
}

TEST_F(RelayoProcessTest, QuitCommandEndsTheHelperAndFreesItsPort) {
    StartWriter(30);
    uint16_t port = FreeLoopbackPort();
    // A streaming server that is not there: the push keeps retrying, the broadcast and the quit
    // are not held up by it.
    ASSERT_EQ(Send(StartBlock(0, port, 1, file_.string(),
                              "rtmp://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/live/x")),
              1);
    ASSERT_TRUE(WaitServing(port));
    LRESULT ignored = 0;
    EXPECT_TRUE(SendMessageTimeout(helper_, WM_COMMAND, 2, 0, 5000, &ignored));
    EXPECT_TRUE(IsWindow(helper_)) << "only command 1 quits";

    os_test::SpinFor(2500);  // a push attempt or two
    auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(SendMessageTimeout(helper_, WM_COMMAND, 1, 0, 5000, &ignored));
    EXPECT_LT(os_test::ElapsedMs(before), 1000);
    EXPECT_EQ(WaitExit(5000), std::optional<int>(0));
    EXPECT_EQ(FindWindow("Relayoclass", nullptr), 0u);
    EXPECT_TRUE(CanBind(port));
}

TEST_F(RelayoProcessTest, AStreamingServerThatIsNotThereIsReportedToTheOwnerAtOnce) {
    StartWriter(30);
    uint16_t port = FreeLoopbackPort();
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/live/x";
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, 1, file_.string(), url)), 1);
    ASSERT_TRUE(WaitServing(port)) << "the broadcast itself goes on";
    auto before = std::chrono::steady_clock::now();
    std::optional<PublishFailure> failure = WaitPublishFailure(10000);
    ASSERT_TRUE(failure);
    EXPECT_LT(os_test::ElapsedMs(before), 10000);
    EXPECT_EQ(failure->code, HResultFromErrno(ECONNREFUSED));
    EXPECT_NE(failure->text.find(url), std::string::npos) << failure->text;
    EXPECT_NE(failure->text.find("trying again"), std::string::npos) << failure->text;
}

namespace {
// Whether the process has a library whose file name contains `name` mapped.
bool Maps(pid_t pid, const std::string& name) {
    return testing_support::ReadFile("/proc/" + std::to_string(pid) + "/maps").find(name) != std::string::npos;
}
}  // namespace

TEST_F(RelayoProcessTest, CodecLibrariesAreMappedOnlyForAPush) {
    StartWriter(30);
    uint16_t port = FreeLoopbackPort();
    ASSERT_EQ(Send(StartBlock(0, port, 1, file_.string())), 1);
    ASSERT_TRUE(WaitServing(port));
    EXPECT_FALSE(Maps(pid_, "libavcodec")) << "a broadcast served from here alone loaded the codecs";
    EXPECT_FALSE(Maps(pid_, "RelayoRtmp.so"));

    uint16_t second = FreeLoopbackPort();
    ASSERT_EQ(Send(StartBlock(0, second, 1, file_.string(),
                              "rtmp://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/live/x")),
              1);
    ASSERT_TRUE(WaitServing(second));
    EXPECT_TRUE(Maps(pid_, "RelayoRtmp.so"));
    EXPECT_TRUE(Maps(pid_, "libavcodec"));
}

// A helper whose folder lacks the RTMP module: the broadcast goes on, the owner hears why the
// push does not.
class RelayoWithoutRtmpModuleTest : public RelayoProcessTest {
protected:
    void SetUp() override {
        std::filesystem::path lone = Dir() / "lone";
        std::filesystem::create_directories(lone);
        std::filesystem::copy_file(testing_support::DistDir() / "Relayo", lone / "Relayo");
        Start(lone / "Relayo");
    }
};

TEST_F(RelayoWithoutRtmpModuleTest, BroadcastGoesOnAndTheOwnerHearsThePushCannot) {
    StartWriter(30);
    uint16_t port = FreeLoopbackPort();
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/live/x";
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, 1, file_.string(), url)), 1);
    ASSERT_TRUE(WaitServing(port));
    std::optional<PublishFailure> failure = WaitPublishFailure(5000);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, CO_E_DLLNOTFOUND);
    EXPECT_NE(failure->text.find(url), std::string::npos) << failure->text;
    EXPECT_NE(failure->text.find("RelayoRtmp.so"), std::string::npos) << failure->text;
    mmsh_test::CommandResult direct =
        mmsh_test::Run("ffprobe -v error -show_entries stream=codec_name -of compact " + Url(port), 30);
    EXPECT_NE(direct.output.find("codec_name=wmv2"), std::string::npos) << direct.output;
}

namespace {

// nginx with its RTMP module on a loopback port, with a private configuration in the test's
// folder. The test skips only when the packages are missing: bootstrap installs them, so an nginx
// that is there but does not listen is a failure.
class NginxRtmp {
public:
    static constexpr const char* kModule = "/usr/lib/nginx/modules/ngx_rtmp_module.so";

    static bool Installed() {
        return std::filesystem::exists(kModule) && std::filesystem::exists("/usr/sbin/nginx");
    }

    explicit NginxRtmp(const std::filesystem::path& dir) : dir_(dir / "nginx"), port_(FreeLoopbackPort()) {
        if (!Installed()) return;
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "nginx.conf") << "load_module " << kModule << ";\n"
                                           << "daemon off;\nmaster_process off;\n"
                                           << "pid " << (dir_ / "nginx.pid").string() << ";\n"
                                           << "error_log " << (dir_ / "error.log").string() << ";\n"
                                           << "events { worker_connections 64; }\n"
                                           << "rtmp { server { listen 127.0.0.1:" << port_ << ";\n"
                                           << "  application live { live on; record off; } } }\n";
        std::string prefix = dir_.string(), conf = (dir_ / "nginx.conf").string(),
                    log = (dir_ / "error.log").string();
        std::vector<std::string> args{"/usr/sbin/nginx", "-p", prefix, "-c", conf, "-e", log};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
        for (int i = 0; i < 250 && pid_ > 0 && !Listening(); ++i) std::this_thread::sleep_for(20ms);
    }
    ~NginxRtmp() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Listening() const {
        int fd = mmsh_test::Connect(port_);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }
    std::string Url() const { return "rtmp://127.0.0.1:" + std::to_string(port_) + "/live/cam"; }
    std::string Log() const { return testing_support::ReadFile(dir_ / "error.log"); }

private:
    std::filesystem::path dir_;
    uint16_t port_;
    pid_t pid_ = -1;
};

}  // namespace

TEST_F(RelayoProcessTest, RtmpAddressGetsTheBroadcastPushedAsFlv) {
    if (!NginxRtmp::Installed()) GTEST_SKIP() << "nginx with its RTMP module is not installed";
    NginxRtmp nginx(Dir());
    ASSERT_TRUE(nginx.Listening()) << "nginx did not listen on loopback:\n" << nginx.Log();
    StartWriter(60);
    uint16_t port = FreeLoopbackPort();
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, 3, file_.string(), nginx.Url())), 1);
    ASSERT_TRUE(WaitServing(port));

    // The push goes on while players read the broadcast directly.
    mmsh_test::CommandResult probe, direct;
    std::atomic<int> done = 0;
    std::thread([&] {
        probe = mmsh_test::Run(
            "ffprobe -v error -rw_timeout 15000000 -show_entries stream=codec_name,width,height "
            "-of compact " +
                nginx.Url(),
            30);
        ++done;
    }).detach();
    std::thread([&] {
        direct = mmsh_test::Run(
            "ffprobe -v error -show_entries stream=codec_name -of compact " + Url(port), 30);
        ++done;
    }).detach();
    ASSERT_TRUE(SpinUntil([&] { return done == 2; }, 40000));
    EXPECT_EQ(probe.status, 0) << probe.output << nginx.Log();
    EXPECT_NE(probe.output.find("codec_name=flv1|width=320|height=240"), std::string::npos)
        << probe.output;
    EXPECT_NE(probe.output.find("codec_name=aac"), std::string::npos) << probe.output;
    EXPECT_NE(direct.output.find("codec_name=wmv2"), std::string::npos) << direct.output;

    // Five seconds recorded from the streaming server play back.
    std::string out = (Dir() / "fromServer.flv").string();
    mmsh_test::CommandResult recorded;
    std::atomic<bool> finished = false;
    std::thread([&] {
        recorded = mmsh_test::Run(
            "ffmpeg -nostdin -v error -i " + nginx.Url() + " -t 5 -c copy -y " + out, 40);
        finished = true;
    }).detach();
    ASSERT_TRUE(SpinUntil([&] { return finished.load(); }, 45000));
    EXPECT_EQ(recorded.status, 0) << recorded.output;
    mmsh_test::CommandResult read =
        mmsh_test::Run("ffprobe -v error -show_entries format=duration -of compact " + out, 20);
    size_t at = read.output.find("duration=");
    ASSERT_NE(at, std::string::npos) << read.output;
    EXPECT_GE(std::stod(read.output.substr(at + 9)), 4.0) << read.output;

    // Quitting still answers at once although a push is running.
    LRESULT ignored = 0;
    auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(SendMessageTimeout(helper_, WM_COMMAND, 1, 0, 5000, &ignored));
    EXPECT_LT(os_test::ElapsedMs(before), 3000);
    EXPECT_EQ(WaitExit(5000), std::optional<int>(0));
}

TEST_F(RelayoProcessTest, JunkStalledAndVanishedClientsDoNotStopTheBroadcast) {
    StartWriter(60);
    uint16_t port = FreeLoopbackPort();
    ASSERT_EQ(Send(StartBlock(control_->Handle(), port, 3, file_.string())), 1);
    ASSERT_TRUE(WaitServing(port));
    long rssBefore = RssKiB(pid_);
    ASSERT_GT(rssBefore, 0);

    std::vector<int> sockets;
    for (int i = 0; i < 10; ++i) {  // junk requests
        int fd = mmsh_test::Connect(port);
        std::string junk = "\x01\x02 NOT HTTP \xff\r\n\r\n" + std::string(i * 500, 'x');
        (void)::send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
        sockets.push_back(fd);
    }
    for (int i = 0; i < 10; ++i) sockets.push_back(mmsh_test::Connect(port));  // silent
    for (int i = 0; i < 2; ++i) {  // players that never read
        int fd = mmsh_test::Connect(port);
        int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        std::string play = mmsh_test::PlayRequest();
        (void)::send(fd, play.data(), play.size(), MSG_NOSIGNAL);
        sockets.push_back(fd);
    }
    // A player that vanishes mid-stream.
    mmsh_test::RawResponse gone = mmsh_test::Fetch(port, mmsh_test::PlayRequest(), 20000, 3000ms);
    EXPECT_EQ(gone.status, 200);
    os_test::SpinFor(3000);

    mmsh_test::CommandResult probe;
    std::atomic<bool> done = false;
    std::thread([&] {
        probe = mmsh_test::Run(
            "ffprobe -v error -show_entries stream=codec_name -of compact " + Url(port), 30);
        done = true;
    }).detach();
    ASSERT_TRUE(SpinUntil([&] { return done.load(); }, 35000));
    EXPECT_NE(probe.output.find("codec_name=wmv2"), std::string::npos) << probe.output;
    EXPECT_TRUE(SpinUntil(
        [&] {
            std::vector<Report> r = Reports();
            return !r.empty() && r.back().Count() == 2;
        },
        5000))
        << "the two stalled players are still counted, the vanished one is not";
    long rssAfter = RssKiB(pid_);
    EXPECT_LT(rssAfter - rssBefore, 24 * 1024) << rssBefore << " KiB -> " << rssAfter << " KiB";
    for (int fd : sockets) ::close(fd);
    EXPECT_TRUE(SpinUntil(
        [&] {
            std::vector<Report> r = Reports();
            return r.back().Count() == 0;
        },
        5000));
}
