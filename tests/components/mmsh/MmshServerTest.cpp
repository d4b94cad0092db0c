// The server against real writers and clients on loopback: the ffmpeg CLI writes a live ASF,
// FFmpeg's own mmsh client reads the broadcast, raw sockets check the framing and misbehave.
#include "components/mmsh/MmshServer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <thread>

#include "components/mmsh/AsfBytes.h"
#include "components/mmsh/AsfHeader.h"
#include "components/mmsh/AsfPacketInfo.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/TestEnvironment.h"

using namespace std::chrono_literals;
using mmsh_test::Chunk;

namespace {

class MmshServerTest : public testing::Test {
protected:
    std::filesystem::path Dir() const { return testing_support::TestEnvironment::Current().Dir(); }

    // Starts the writer and the server and waits until the server has the header.
    void StartLive(int seconds, int maxClients, bool realTime = true, MmshServerOptions options = {}) {
        file_ = Dir() / "live.asf";
        writer_ = std::make_unique<mmsh_test::LiveAsfWriter>(file_, seconds, realTime);
        options.file = file_;
        options.bindAddress = "127.0.0.1";
        options.maxClients = maxClients;
        options.onClientChange = [this](const MmshClientEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
        };
        server_ = std::make_unique<MmshServer>(options);
        ASSERT_EQ(server_->Start(), 0);
        ASSERT_NE(server_->Port(), 0);
        for (int i = 0; i < 500 && !server_->HeaderReady(); ++i) std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(server_->HeaderReady()) << "the writer produced no header";
    }

    std::string Url() const { return "mmsh://127.0.0.1:" + std::to_string(server_->Port()) + "/"; }

    std::vector<MmshClientEvent> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

    bool WaitForClients(int count, std::chrono::milliseconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (server_->ClientCount() == count) return true;
            std::this_thread::sleep_for(10ms);
        }
        return server_->ClientCount() == count;
    }

    // The server's thread reports into events_ until it is stopped.
    void TearDown() override {
        server_.reset();
        writer_.reset();
    }

    std::filesystem::path file_;
    std::mutex mutex_;
    std::vector<MmshClientEvent> events_;
    std::unique_ptr<mmsh_test::LiveAsfWriter> writer_;
    std::unique_ptr<MmshServer> server_;
};

// Reads a framed Play answer for `duration` and splits it.
std::vector<Chunk> PlayFor(uint16_t port, std::chrono::milliseconds duration, mmsh_test::RawResponse* raw = nullptr) {
    mmsh_test::RawResponse response = mmsh_test::Fetch(port, mmsh_test::PlayRequest(), SIZE_MAX, duration);
    EXPECT_EQ(response.status, 200) << response.head;
    std::vector<Chunk> chunks;
    std::string fault;
    EXPECT_TRUE(mmsh_test::SplitChunks(response.body, chunks, fault)) << fault;
    if (raw) *raw = std::move(response);
    return chunks;
}

}  // namespace

TEST_F(MmshServerTest, FfprobeReadsTheLiveBroadcast) {
    StartLive(20, 2);
    mmsh_test::CommandResult probe = mmsh_test::Run(
        "ffprobe -v error -show_entries stream=codec_name,width,height -of compact " + Url(), 30);
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("codec_name=wmv2|width=320|height=240"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("codec_name=wmav2"), std::string::npos) << probe.output;
}

TEST_F(MmshServerTest, FfmpegRecordsFiveSecondsThatFfprobeReads) {
    StartLive(20, 1);
    std::filesystem::path recording = Dir() / "recorded.asf";
    mmsh_test::CommandResult record = mmsh_test::Run(
        "ffmpeg -nostdin -v error -i " + Url() + " -t 5 -c copy -y " + recording.string(), 40);
    EXPECT_EQ(record.status, 0) << record.output;
    mmsh_test::CommandResult probe = mmsh_test::Run(
        "ffprobe -v error -show_entries stream=codec_name,width,height:format=duration -of compact " +
            recording.string(), 20);
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("codec_name=wmv2|width=320|height=240"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("codec_name=wmav2"), std::string::npos) << probe.output;
    size_t at = probe.output.find("duration=");
    ASSERT_NE(at, std::string::npos) << probe.output;
    EXPECT_GE(std::atof(probe.output.c_str() + at + 9), 4.0) << probe.output;

    // The player came and went, from the loopback address; the describe request was no client.
    ASSERT_TRUE(WaitForClients(0, 3s));
    std::vector<MmshClientEvent> events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(events[0].connected);
    EXPECT_EQ(events[0].address, "127.0.0.1");
    EXPECT_EQ(events[0].addresses, std::vector<std::string>{"127.0.0.1"});
    EXPECT_FALSE(events[1].connected);
    EXPECT_TRUE(events[1].addresses.empty());
}

TEST_F(MmshServerTest, PlayAnswerIsOneHeaderThenConsecutiveFullPackets) {
    StartLive(20, 1);
    mmsh_test::RawResponse raw;
    std::vector<Chunk> chunks = PlayFor(server_->Port(), 2500ms, &raw);
    EXPECT_NE(raw.head.find("Content-Type: application/x-mms-framed\r\n"), std::string::npos);
    EXPECT_NE(raw.head.find("features=\"broadcast\""), std::string::npos);
    ASSERT_GT(chunks.size(), 10u);
    ASSERT_EQ(chunks[0].type, 'H');
    AsfHeaderResult header = ParseAsfHeader(chunks[0].payload);
    ASSERT_TRUE(header.ok) << header.error;
    EXPECT_EQ(chunks[0].payload.size(), header.header.headerObjectSize + 50);
    for (size_t i = 1; i < chunks.size(); ++i) {
        ASSERT_EQ(chunks[i].type, 'D') << i;
        ASSERT_EQ(chunks[i].payload.size(), header.header.packetSize);
        if (i > 1) {
            EXPECT_EQ(chunks[i].locationId, chunks[i - 1].locationId + 1);
        }
        EXPECT_TRUE(ParseAsfPacket(chunks[i].payload, header.header.videoStreams).valid);
    }
    // It joined where a video key frame starts.
    EXPECT_TRUE(ParseAsfPacket(chunks[1].payload, header.header.videoStreams).startsKeyFrame);
}

TEST_F(MmshServerTest, DescribeGetsTheSameHeaderAloneAndIsNoClient) {
    StartLive(20, 1);
    mmsh_test::RawResponse describe = mmsh_test::Fetch(server_->Port(), mmsh_test::DescribeRequest(), SIZE_MAX, 5s);
    EXPECT_EQ(describe.status, 200);
    EXPECT_TRUE(describe.closedByServer);
    EXPECT_NE(describe.head.find("Content-Length: " + std::to_string(describe.body.size()) + "\r\n"), std::string::npos)
        << describe.head;
    std::vector<Chunk> chunks;
    std::string fault;
    ASSERT_TRUE(mmsh_test::SplitChunks(describe.body, chunks, fault)) << fault;
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].type, 'H');
    std::vector<Chunk> play = PlayFor(server_->Port(), 500ms);
    ASSERT_FALSE(play.empty());
    EXPECT_EQ(play[0].payload, chunks[0].payload);
    EXPECT_TRUE(Events().size() == 2u || Events().size() == 1u);  // the player, maybe already gone
    for (const MmshClientEvent& e : Events()) EXPECT_EQ(e.address, "127.0.0.1");
}

TEST_F(MmshServerTest, PacketsArePacedBySendTimeWhenTheWriterRunsAhead) {
    // Without -re ffmpeg writes 20 s of media in about a second; the broadcast must still take
    // real time rather than bursting the whole file.
    StartLive(20, 1, /*realTime=*/false);
    auto started = std::chrono::steady_clock::now();
    std::vector<Chunk> chunks = PlayFor(server_->Port(), 3000ms);
    double elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    ASSERT_GT(chunks.size(), 5u);
    AsfHeaderResult header = ParseAsfHeader(chunks[0].payload);
    ASSERT_TRUE(header.ok);
    uint32_t first = ParseAsfPacket(chunks[1].payload, header.header.videoStreams).sendTimeMs;
    uint32_t last = ParseAsfPacket(chunks.back().payload, header.header.videoStreams).sendTimeMs;
    double span = static_cast<double>(last - first);
    EXPECT_LT(span, elapsedMs + 1000) << "packets were sent faster than real time";
    EXPECT_GT(span, elapsedMs - 1500) << "packets were held back";
}

TEST_F(MmshServerTest, AtMostMaxClientsAndReportsCountEveryChange) {
    StartLive(20, 3);
    std::vector<int> players;
    for (int i = 0; i < 3; ++i) {
        int fd = mmsh_test::Connect(server_->Port());
        ASSERT_GE(fd, 0);
        std::string request = mmsh_test::PlayRequest();
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
        players.push_back(fd);
        ASSERT_TRUE(WaitForClients(i + 1, 3s));
    }
    EXPECT_EQ(mmsh_test::Fetch(server_->Port(), mmsh_test::PlayRequest(), 0, 3s).status, 503);
    EXPECT_EQ(mmsh_test::Fetch(server_->Port(), mmsh_test::DescribeRequest(), 0, 3s).status, 503);
    mmsh_test::CommandResult refused = mmsh_test::Run("ffprobe -v error " + Url(), 20);
    EXPECT_NE(refused.status, 0) << refused.output;
    EXPECT_EQ(server_->ClientCount(), 3);

    ::close(players[1]);  // a player leaves: its slot is free again
    ASSERT_TRUE(WaitForClients(2, 5s));
    mmsh_test::CommandResult probe = mmsh_test::Run("ffprobe -v error -show_entries stream=codec_name " + Url(), 30);
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("wmv2"), std::string::npos);

    ::close(players[0]);
    ::close(players[2]);
    ASSERT_TRUE(WaitForClients(0, 5s));
    std::vector<MmshClientEvent> events = Events();
    ASSERT_GE(events.size(), 6u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(events[i].connected);
        EXPECT_EQ(events[i].addresses.size(), i + 1);
    }
    EXPECT_FALSE(events[3].connected);
    EXPECT_EQ(events[3].addresses.size(), 2u);
    int joins = 0, leaves = 0;
    for (const MmshClientEvent& e : events) (e.connected ? joins : leaves)++;
    EXPECT_EQ(joins, leaves);
    EXPECT_TRUE(events.back().addresses.empty());
}

TEST_F(MmshServerTest, FiftyPlayersAllKeepUp) {
    StartLive(20, 50);
    std::vector<int> fds;
    std::string play = mmsh_test::PlayRequest();
    for (int i = 0; i < 50; ++i) {
        int fd = mmsh_test::Connect(server_->Port());
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::send(fd, play.data(), play.size(), MSG_NOSIGNAL), static_cast<ssize_t>(play.size()));
        fds.push_back(fd);
    }
    ASSERT_TRUE(WaitForClients(50, 5s));
    EXPECT_EQ(mmsh_test::Fetch(server_->Port(), play, 0, 3s).status, 503);
    std::vector<size_t> received(fds.size(), 0);
    std::vector<pollfd> polls;
    for (int fd : fds) polls.push_back({fd, POLLIN, 0});
    auto end = std::chrono::steady_clock::now() + 5s;
    std::vector<char> buffer(1 << 16);
    while (std::chrono::steady_clock::now() < end) {
        if (::poll(polls.data(), polls.size(), 100) <= 0) continue;
        for (size_t i = 0; i < polls.size(); ++i) {
            if (!(polls[i].revents & POLLIN)) continue;
            ssize_t n = ::recv(fds[i], buffer.data(), buffer.size(), 0);
            if (n > 0) received[i] += static_cast<size_t>(n);
        }
    }
    size_t most = *std::max_element(received.begin(), received.end());
    size_t least = *std::min_element(received.begin(), received.end());
    EXPECT_GT(least, 150000u) << "5 s of a 364 kbit/s broadcast";
    EXPECT_GT(least, most * 8 / 10) << "every player gets about the same";
    EXPECT_EQ(server_->ClientCount(), 50);
    for (int fd : fds) ::close(fd);
    EXPECT_TRUE(WaitForClients(0, 5s));
}

TEST_F(MmshServerTest, MisbehavingClientsDoNotDisturbOthers) {
    MmshServerOptions options;
    options.requestTimeout = 1000ms;
    StartLive(20, 3, true, options);
    uint16_t port = server_->Port();

    // Connects and never sends a request: closed after the request time-out.
    int silent = mmsh_test::Connect(port);
    // Asks to play and never reads.
    int deaf = mmsh_test::Connect(port);
    std::string play = mmsh_test::PlayRequest();
    ASSERT_EQ(::send(deaf, play.data(), play.size(), MSG_NOSIGNAL), static_cast<ssize_t>(play.size()));

    mmsh_test::RawResponse garbage = mmsh_test::Fetch(port, "\x16\x03\x01 hello\r\nno colon here\r\n\r\n", SIZE_MAX, 3s);
    EXPECT_EQ(garbage.status, 400);
    EXPECT_TRUE(garbage.closedByServer);
    std::string huge = "GET / HTTP/1.0\r\nX-Filler: " + std::string(40000, 'a') + "\r\n\r\n";
    mmsh_test::RawResponse oversized = mmsh_test::Fetch(port, huge, 0, 3s);
    EXPECT_EQ(oversized.status, 431);
    EXPECT_EQ(mmsh_test::Fetch(port, "DELETE / HTTP/1.1\r\nHost: x\r\n\r\n", 0, 3s).status, 501);

    // A well-behaved player still gets a steady stream meanwhile.
    std::vector<Chunk> chunks = PlayFor(port, 2500ms);
    EXPECT_GT(chunks.size(), 20u);
    mmsh_test::CommandResult probe = mmsh_test::Run("ffprobe -v error -show_entries stream=codec_name " + Url(), 30);
    EXPECT_EQ(probe.status, 0) << probe.output;

    // The silent connection was closed by the server.
    char byte;
    ssize_t n = ::recv(silent, &byte, 1, 0);
    EXPECT_EQ(n, 0);
    EXPECT_TRUE(WaitForClients(1, 3s)) << "only the deaf player remains";
    ::close(silent);
    ::close(deaf);
}

TEST_F(MmshServerTest, EndOfRecordingSendsEndChunkAndRefusesNewPlayers) {
    StartLive(3, 2);
    std::vector<Chunk> chunks = PlayFor(server_->Port(), 15s);
    ASSERT_GT(chunks.size(), 2u);
    EXPECT_EQ(chunks.back().type, 'E');
    EXPECT_EQ(writer_->Wait(5s), 0);
    EXPECT_TRUE(server_->SourceEnded());
    EXPECT_EQ(mmsh_test::Fetch(server_->Port(), mmsh_test::PlayRequest(), 0, 3s).status, 503);
}

TEST_F(MmshServerTest, WriterFinishingAheadOfTheBroadcastLosesNoPackets) {
    StartLive(3, 1, /*realTime=*/false);
    std::vector<Chunk> chunks = PlayFor(server_->Port(), 15s);
    ASSERT_GT(chunks.size(), 3u);
    EXPECT_EQ(chunks.back().type, 'E');
    EXPECT_EQ(writer_->Wait(5s), 0);
    AsfHeaderResult header = ParseAsfHeader(chunks[0].payload);
    ASSERT_TRUE(header.ok);
    // The finished file's header knows its packet count; the broadcast ran to the last one.
    std::ifstream in(file_, std::ios::binary);
    std::vector<uint8_t> start(header.header.headerObjectSize + 50);
    in.read(reinterpret_cast<char*>(start.data()), static_cast<std::streamsize>(start.size()));
    uint64_t packets = ReadLe64(start.data() + header.header.headerObjectSize + 40);
    ASSERT_GT(packets, 10u);
    EXPECT_EQ(chunks[chunks.size() - 2].locationId, packets - 1);
}

TEST_F(MmshServerTest, StopEndsEveryConnection) {
    StartLive(20, 2);
    int player = mmsh_test::Connect(server_->Port());
    std::string play = mmsh_test::PlayRequest();
    ASSERT_EQ(::send(player, play.data(), play.size(), MSG_NOSIGNAL), static_cast<ssize_t>(play.size()));
    ASSERT_TRUE(WaitForClients(1, 3s));
    auto started = std::chrono::steady_clock::now();
    server_->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_EQ(server_->ClientCount(), 0);
    std::vector<MmshClientEvent> events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[1].connected);
    // The socket reaches end of file once the data already sent is drained.
    std::vector<char> buffer(1 << 16);
    ssize_t n;
    do n = ::recv(player, buffer.data(), buffer.size(), 0);
    while (n > 0);
    EXPECT_EQ(n, 0);
    ::close(player);
    EXPECT_LT(mmsh_test::Connect(server_->Port()), 0);
}

TEST_F(MmshServerTest, PlainHttpPlayerGetsRawAsf) {
    StartLive(20, 1);
    mmsh_test::RawResponse raw =
        mmsh_test::Fetch(server_->Port(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: curl/8\r\n\r\n", 200000, 3s);
    EXPECT_EQ(raw.status, 200);
    EXPECT_NE(raw.head.find("Content-Type: video/x-ms-asf"), std::string::npos);
    AsfHeaderResult header = ParseAsfHeader(raw.body);
    ASSERT_TRUE(header.ok) << header.error;
    size_t first = header.header.FirstPacketOffset();
    ASSERT_GT(raw.body.size(), first + header.header.packetSize);
    EXPECT_TRUE(ParseAsfPacket(std::span(raw.body).subspan(first, header.header.packetSize),
                               header.header.videoStreams).valid);
}

TEST(MmshServerStartTest, ReportsWhyItCannotListen) {
    MmshServerOptions options;
    options.file = "/nonexistent/live.asf";
    options.bindAddress = "127.0.0.1";
    MmshServer first(options);
    ASSERT_EQ(first.Start(), 0);
    options.port = first.Port();
    MmshServer second(options);
    EXPECT_EQ(second.Start(), EADDRINUSE);
    options.bindAddress = "not an address";
    MmshServer third(options);
    EXPECT_EQ(third.Start(), EINVAL);
    // No header yet: players are told to come back later rather than left waiting.
    EXPECT_EQ(mmsh_test::Fetch(first.Port(), mmsh_test::PlayRequest(), 0, 3s).status, 503);
}
