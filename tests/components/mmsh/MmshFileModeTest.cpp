// The server's file modes against files the ffmpeg CLI made: a finished WMV served from its first
// packet at its real rate to FFmpeg's own mmsh client and to a raw player, MP3 files over plain
// HTTP on one clock; and the choice of answer in every mode.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "components/mmsh/AsfBytes.h"
#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/MmshServer.h"
#include "components/mmsh/Mp3FileSource.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/TestEnvironment.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::filesystem::path Dir() { return testing_support::TestEnvironment::Current().Dir(); }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double FileDuration(const std::filesystem::path& file) {
    return std::atof(testing_support::Ffprobe(file, "-show_entries format=duration -of csv=p=0").c_str());
}

int VideoPackets(const std::filesystem::path& file) {
    return std::atoi(testing_support::Ffprobe(
                         file, "-count_packets -select_streams v -show_entries stream=nb_read_packets -of csv=p=0")
                         .c_str());
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

std::unique_ptr<MmshServer> Serve(const std::filesystem::path& file, MmshSourceMode mode, int maxClients = 2) {
    MmshServerOptions options;
    options.file = file;
    options.mode = mode;
    options.bindAddress = "127.0.0.1";
    options.maxClients = maxClients;
    auto server = std::make_unique<MmshServer>(options);
    EXPECT_EQ(server->Start(), 0);
    return server;
}

std::vector<uint8_t> Mp3Frames(const std::filesystem::path& file) {
    Mp3FileSource source(file, 0);
    EXPECT_TRUE(source.Open());
    std::vector<uint8_t> out;
    while (std::optional<Mp3Packet> p = source.Next()) out.insert(out.end(), p->bytes.begin(), p->bytes.end());
    return out;
}

const char* kHttpRequest =
    "GET / HTTP/1.1\r\nUser-Agent: Lavf/59.27.100\r\nAccept: */*\r\nRange: bytes=0-\r\nConnection: close\r\n"
    "Host: 127.0.0.1\r\nIcy-MetaData: 1\r\n\r\n";

}  // namespace

TEST(MmshFileMode, FfmpegReadsAFinishedWmvWholeAtItsRealRate) {
    std::filesystem::path source = Dir() / "clip.wmv";
    ASSERT_TRUE(mmsh_test::MakeWmv(source, 6));
    double duration = FileDuration(source);
    ASSERT_GT(duration, 5.5);

    auto server = Serve(source, MmshSourceMode::AsfFile);
    ASSERT_TRUE(WaitFor([&] { return server->HeaderReady(); }, 2s));
    std::filesystem::path recording = Dir() / "received.asf";
    auto began = Clock::now();
    mmsh_test::CommandResult read = mmsh_test::Run("ffmpeg -nostdin -v error -i mmsh://127.0.0.1:" +
                                                       std::to_string(server->Port()) + "/ -c copy -y " +
                                                       recording.string(),
                                                   40);
    double wall = Seconds(Clock::now() - began);
    EXPECT_NEAR(wall, duration, duration * 0.1) << read.output;
    EXPECT_EQ(VideoPackets(recording), VideoPackets(source)) << read.output;
    EXPECT_GT(VideoPackets(source), 140);

    // Served whole: the server says so, and a late player is refused.
    EXPECT_TRUE(WaitFor([&] { return server->FileServed(); }, 3s));
    EXPECT_EQ(mmsh_test::Fetch(server->Port(), mmsh_test::PlayRequest(), SIZE_MAX, 2s).status, 503);
}

TEST(MmshFileMode, APlayerGetsEveryPacketOfTheFileFromTheFirstThenTheEnd) {
    std::filesystem::path source = Dir() / "clip.wmv";
    ASSERT_TRUE(mmsh_test::MakeWmv(source, 3));
    std::string file = testing_support::ReadFile(source);
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    AsfHeaderResult header = ParseAsfHeader(bytes);
    ASSERT_TRUE(header.ok) << header.error;
    const uint64_t first = header.header.FirstPacketOffset();
    const uint64_t packets = ReadLe64(bytes.data() + header.header.headerObjectSize + 40);
    ASSERT_GT(packets, 10u);

    auto server = Serve(source, MmshSourceMode::AsfFile, 1);
    ASSERT_TRUE(WaitFor([&] { return server->HeaderReady(); }, 2s));
    mmsh_test::RawResponse describe = mmsh_test::Fetch(server->Port(), mmsh_test::DescribeRequest(), SIZE_MAX, 5s);
    auto began = Clock::now();
    mmsh_test::RawResponse play = mmsh_test::Fetch(server->Port(), mmsh_test::PlayRequest(), SIZE_MAX, 20s);
    double wall = Seconds(Clock::now() - began);
    ASSERT_EQ(play.status, 200) << play.head;
    EXPECT_TRUE(play.closedByServer);

    std::vector<mmsh_test::Chunk> chunks;
    std::string fault;
    ASSERT_TRUE(mmsh_test::SplitChunks(play.body, chunks, fault)) << fault;
    ASSERT_EQ(chunks.size(), packets + 2);
    EXPECT_EQ(chunks.front().type, 'H');
    EXPECT_EQ(std::vector<uint8_t>(describe.body.begin() + 12, describe.body.end()), chunks.front().payload);
    for (uint64_t i = 0; i < packets; ++i) {
        const mmsh_test::Chunk& c = chunks[i + 1];
        ASSERT_EQ(c.type, 'D') << i;
        EXPECT_EQ(c.locationId, i);
        const uint8_t* expected = bytes.data() + first + i * header.header.packetSize;
        ASSERT_TRUE(std::equal(c.payload.begin(), c.payload.end(), expected, expected + header.header.packetSize))
            << "packet " << i;
    }
    EXPECT_EQ(chunks.back().type, 'E');
    // Paced: the last packet goes out at its send time, not at once.
    EXPECT_GT(wall, 2.0);
    EXPECT_TRUE(WaitFor([&] { return server->FileServed(); }, 3s));
}

TEST(MmshFileMode, Mp3ListenersGetTheFramesOfTwoFilesOnOneClockWithoutMetadata) {
    std::filesystem::path a = Dir() / "a.mp3", b = Dir() / "b.mp3";
    ASSERT_TRUE(mmsh_test::MakeMp3(a, 2, true));
    ASSERT_TRUE(mmsh_test::MakeMp3(b, 2));
    std::vector<uint8_t> expected = Mp3Frames(a);
    std::vector<uint8_t> second = Mp3Frames(b);
    expected.insert(expected.end(), second.begin(), second.end());

    auto began = Clock::now();
    auto server = Serve(a, MmshSourceMode::Mp3Files);
    auto listener = std::async(std::launch::async, [&] {
        return mmsh_test::Fetch(server->Port(), kHttpRequest, SIZE_MAX, 20s);
    });
    ASSERT_TRUE(WaitFor([&] { return server->FileServed(); }, 10s));
    double firstEnded = Seconds(Clock::now() - began);
    EXPECT_EQ(server->ClientCount(), 1);  // a listener stays for the next file
    ASSERT_TRUE(server->PlayNext(b));
    EXPECT_FALSE(server->FileServed());
    ASSERT_TRUE(WaitFor([&] { return server->FileServed(); }, 10s));
    double bothEnded = Seconds(Clock::now() - began);
    server->Stop();
    mmsh_test::RawResponse heard = listener.get();

    EXPECT_NEAR(firstEnded, 2.05, 0.25);
    EXPECT_NEAR(bothEnded, 4.1, 0.4);
    ASSERT_EQ(heard.status, 200) << heard.head;
    EXPECT_NE(heard.head.find("Content-Type: audio/mpeg\r\n"), std::string::npos) << heard.head;
    EXPECT_EQ(heard.head.find("Content-Length"), std::string::npos) << heard.head;
    EXPECT_EQ(heard.head.find("icy-metaint"), std::string::npos) << heard.head;
    EXPECT_EQ(heard.body.size(), expected.size());
    EXPECT_TRUE(heard.body == expected) << "the listener did not get exactly the audio frames";

    EXPECT_FALSE(server->PlayNext(Dir() / "missing.mp3"));
    auto asf = Serve(a, MmshSourceMode::AsfFile);
    EXPECT_FALSE(asf->PlayNext(b));
}

TEST(MmshFileMode, AFileThatCannotBeServedIsReportedAndRefused) {
    std::filesystem::path junk = Dir() / "junk.wmv";
    std::string bytes(4000, 'x');
    std::copy(asf_guid::kHeader.begin(), asf_guid::kHeader.end(), bytes.begin());
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    for (MmshSourceMode mode : {MmshSourceMode::AsfFile, MmshSourceMode::Mp3Files}) {
        auto server = Serve(mode == MmshSourceMode::AsfFile ? junk : Dir() / "missing.mp3", mode);
        EXPECT_TRUE(WaitFor([&] { return server->SourceFailed(); }, 2s));
        EXPECT_EQ(mmsh_test::Fetch(server->Port(), kHttpRequest, SIZE_MAX, 2s).status, 503);
    }
}

TEST(MmshAnswerChoice, FollowsTheModeTheRequestAndTheFreeSlots) {
    auto request = [](MmshRequestKind kind) {
        MmshRequest r;
        r.kind = kind;
        return r;
    };
    MmshServingState asf{MmshSourceMode::AsfFile, true, false, 1, 2};
    EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Complete, request(MmshRequestKind::Describe), asf), MmshAnswer::Header);
    EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Complete, request(MmshRequestKind::Play), asf),
              MmshAnswer::FramedStream);
    EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Complete, request(MmshRequestKind::Download), asf),
              MmshAnswer::AsfDownload);
    MmshServingState mp3{MmshSourceMode::Mp3Files, true, false, 0, 1};
    for (MmshRequestKind kind : {MmshRequestKind::Describe, MmshRequestKind::Play, MmshRequestKind::Download})
        EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Complete, request(kind), mp3), MmshAnswer::Mp3Stream);

    // Full, ended or not ready: refused; statistics are always taken; broken requests never.
    MmshServingState full = asf;
    full.players = 2;
    MmshServingState ended = asf;
    ended.sourceEnded = true;
    MmshServingState waiting = mp3;
    waiting.headerReady = false;
    for (const MmshServingState& s : {full, ended, waiting}) {
        EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Complete, request(MmshRequestKind::Describe), s),
                  MmshAnswer::Unavailable);
        EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Complete, request(MmshRequestKind::Log), s), MmshAnswer::Logged);
        EXPECT_EQ(ChooseMmshAnswer(MmshParseState::Malformed, request(MmshRequestKind::Play), s),
                  MmshAnswer::BadRequest);
    }
    EXPECT_EQ(ChooseMmshAnswer(MmshParseState::TooLarge, {}, mp3), MmshAnswer::TooLarge);
    EXPECT_EQ(ChooseMmshAnswer(MmshParseState::NotSupported, {}, mp3), MmshAnswer::NotImplemented);
    EXPECT_FALSE(IsPlayerAnswer(MmshAnswer::Header));
    EXPECT_TRUE(IsPlayerAnswer(MmshAnswer::Mp3Stream));
}
