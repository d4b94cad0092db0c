// orvanta-capture when the recording cannot go on: a disk that fills up ends it at once with
// the cause and exit status 1, and the file keeps what was written; the log shows the graph.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdlib>
#include <fstream>

#include "platform/os/Process.h"
#include "tests/support/MediaProbe.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
    double seconds = 0;
};

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ToolRun RunTool(const std::string& environment, const std::vector<std::string>& args, int seconds) {
    const auto dir = testing_support::TestEnvironment::Current().Dir();
    std::string line = environment + " timeout -k 2 " + std::to_string(seconds) + " " +
                       Quote((testing_support::DistDir() / "orvanta-capture").string());
    for (const std::string& a : args) line += " " + Quote(a);
    line += " >" + Quote((dir / "tool.out").string()) + " 2>" + Quote((dir / "tool.err").string()) + " </dev/null";
    ToolRun run;
    QElapsedTimer clock;
    clock.start();
    if (FAILED(RunProcess({"/bin/sh", "-c", line}, static_cast<unsigned>(seconds + 5) * 1000, &run.status)))
        run.status = -1;
    run.seconds = clock.elapsed() / 1000.0;
    run.out = testing_support::ReadFile(dir / "tool.out");
    run.err = testing_support::ReadFile(dir / "tool.err");
    return run;
}

int64_t Count(const std::string& probe, const std::string& key) {
    size_t at = probe.find(key + "=");
    return at == std::string::npos ? -1 : std::atoll(probe.c_str() + at + key.size() + 1);
}

}  // namespace

TEST(CaptureToolFailure, ADiskThatFillsUpEndsTheRecordingWithTheCauseAndTheFileStaysReadable) {
    testing_support::SmallDisk disk(testing_support::TestEnvironment::Current().Dir() / "small", 3);
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small disk here: " << disk.Why();
    const auto file = disk.Folder() / "full.avi";
    // Uncompressed video fills 3 MB within about two seconds; the tool was asked for a minute.
    ToolRun run = RunTool("", {"record", file.string(), "--seconds", "60", "--no-audio"}, 90);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_LT(run.seconds, 30) << "the recording went on after the disk was full";
    EXPECT_NE(run.err.find("disk full: recording stopped after "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("; " + file.string() + " holds "), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("wrote "), std::string::npos) << run.out;

    // Every frame the file holds decodes.
    const std::string probe = testing_support::Ffprobe(
        file, "-count_frames -count_packets -select_streams v:0 -show_entries stream=nb_read_frames,nb_read_packets -of compact");
    EXPECT_GT(Count(probe, "nb_read_packets"), 10) << probe;
    EXPECT_EQ(Count(probe, "nb_read_frames"), Count(probe, "nb_read_packets")) << probe;
}

TEST(CaptureToolFailure, ACameraThatGoesAwayEndsTheRecordingWithTheCauseAndTheFileStaysReadable) {
    const auto dir = testing_support::TestEnvironment::Current().Dir();
    std::ofstream(dir / "devices.json") << R"({"devices": [
      {"name": "Leaving Camera", "capture": [{"format": "RGB24", "width": 160, "height": 120, "frameRate": 15}],
       "unplugAfter": 1.0},
      {"name": "Microphone", "kind": "audio", "sampleRate": 22050, "channels": 1}]})";
    const auto file = dir / "gone.avi";
    ToolRun run = RunTool("ORVANTA_DEVICES=" + Quote((dir / "devices.json").string()),
                          {"record", file.string(), "--seconds", "60"}, 90);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_LT(run.seconds, 30) << "the recording went on after the camera was gone";
    EXPECT_NE(run.err.find("the capture device went away: recording stopped after "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("; " + file.string() + " holds "), std::string::npos) << run.err;
    const std::string probe = testing_support::Ffprobe(
        file, "-count_frames -count_packets -select_streams v:0 -show_entries stream=nb_read_frames,nb_read_packets -of compact");
    EXPECT_GT(Count(probe, "nb_read_packets"), 0) << probe;
    EXPECT_EQ(Count(probe, "nb_read_frames"), Count(probe, "nb_read_packets")) << probe;
}

TEST(CaptureToolFailure, DebugLoggingShowsTheGraphBeingBuilt) {
    const auto file = testing_support::TestEnvironment::Current().Dir() / "logged.avi";
    ToolRun run = RunTool("ORVANTA_LOG=debug", {"record", file.string(), "--seconds", "1", "--no-audio"}, 60);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("orvanta[engine] debug: graph: building for \"Orvanta Virtual Camera\" to " + file.string()),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("graph: connecting Smart Tee 2 -> Write Text Filter"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("graph: running, recording"), std::string::npos) << run.err;
}
