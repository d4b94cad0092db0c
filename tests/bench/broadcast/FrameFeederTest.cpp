#include "bench/broadcast/FrameFeeder.h"

#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/broadcast/FrameCounter.h"
#include "tests/support/TestEnvironment.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kRate = 25;
constexpr size_t kFrameBytes = kWidth * kHeight * 3 / 2;
const std::string kHeader = "YUV4MPEG2 W320 H240 F25:1 Ip A1:1 C420jpeg\n";

std::filesystem::path TestFile(const std::string& name) {
    return testing_support::TestEnvironment::Current().Dir() / name;
}

bool ReadExactly(int fd, void* data, size_t size) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
        ssize_t got = ::read(fd, bytes, size);
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

TEST(FrameFeeder, TheStillFileIsOneFrameThatIsRewrittenWithEachNumberAtTheRate) {
    const auto file = TestFile("still.y4m");
    FrameFeeder feeder(kWidth, kHeight, kRate);
    ASSERT_TRUE(feeder.WriteStillFile(file));
    ASSERT_EQ(std::filesystem::file_size(file), kHeader.size() + 6 + kFrameBytes);
    std::ifstream in(file, std::ios::binary);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header + "\n", kHeader);

    feeder.StartOverwriting(file);
    ::usleep(300000);
    feeder.Stop();
    EXPECT_EQ(feeder.Error(), "");
    const uint32_t handed = feeder.FramesHandedOver();
    ASSERT_GE(handed, 5u);
    ASSERT_LE(handed, 10u);  // 300 ms at 25 fps: 8 frames, give or take a busy machine
    for (uint32_t n = 1; n < handed; ++n) {
        // Each on its slot of the rate's clock, not drifting.
        const int64_t due = feeder.StartedAt() + static_cast<int64_t>(n) * 1000000000 / kRate;
        EXPECT_GE(*feeder.HandedOverAt(n), due);
        EXPECT_LT(*feeder.HandedOverAt(n), due + 150000000) << n;
    }
    EXPECT_FALSE(feeder.HandedOverAt(handed));

    std::vector<uint8_t> frame(kFrameBytes);
    int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pread(fd, frame.data(), frame.size(), static_cast<off_t>(kHeader.size() + 6)),
              static_cast<ssize_t>(frame.size()));
    ::close(fd);
    EXPECT_EQ(ReadFrameCounter(frame.data(), kWidth, kWidth), handed - 1);
}

TEST(FrameFeederStream, APipeGetsTheHeaderThenNumberedFramesAndItsEndAtStop) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FrameFeeder feeder(kWidth, kHeight, kRate);
    feeder.StartStreaming(fds[1]);
    std::string header(kHeader.size(), 0);
    ASSERT_TRUE(ReadExactly(fds[0], header.data(), header.size()));
    EXPECT_EQ(header, kHeader);
    std::vector<uint8_t> frame(kFrameBytes);
    for (uint32_t n = 0; n < 3; ++n) {
        char line[6];
        ASSERT_TRUE(ReadExactly(fds[0], line, sizeof line));
        EXPECT_EQ(std::string(line, sizeof line), "FRAME\n");
        ASSERT_TRUE(ReadExactly(fds[0], frame.data(), frame.size()));
        EXPECT_EQ(ReadFrameCounter(frame.data(), kWidth, kWidth), n);
        EXPECT_TRUE(feeder.HandedOverAt(n));
    }
    feeder.Stop();
    // Whatever was still in the pipe, then its end.
    char sink[65536];
    ssize_t got = 0;
    while ((got = ::read(fds[0], sink, sizeof sink)) > 0) {}
    EXPECT_EQ(got, 0);
    EXPECT_EQ(feeder.Error(), "");
    ::close(fds[0]);
}

TEST(FrameFeederStream, AReaderThatStopsReadingNeitherHoldsTheStopNorPassesForAFailure) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FrameFeeder feeder(kWidth, kHeight, kRate);
    feeder.StartStreaming(fds[1]);
    ::usleep(200000);  // the pipe fills and nobody reads
    const int64_t before = MonotonicNs();
    feeder.Stop();
    EXPECT_LT(MonotonicNs() - before, 500000000);
    EXPECT_EQ(feeder.Error(), "");
    ::close(fds[0]);
}

TEST(FrameFeederStream, AReaderThatGoesAwayIsReported) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    ::signal(SIGPIPE, SIG_IGN);  // as the benchmark does: a write then fails with EPIPE
    FrameFeeder feeder(kWidth, kHeight, kRate);
    feeder.StartStreaming(fds[1]);
    ::usleep(150000);
    feeder.Stop();
    EXPECT_NE(feeder.Error(), "");
}

}  // namespace
