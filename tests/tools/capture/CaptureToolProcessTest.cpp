// The real orvanta-capture of the program folder, run as a user runs it (with this test's own
// registry store and runtime folder, which it inherits): its failures with exit codes and
// messages, the `list` output, and short recordings and snapshots that ffprobe reads.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/os/WindowMessages.h"

#include "tests/support/MediaProbe.h"
#include "platform/os/Process.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/Loopback.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the tool with `args`, killed after `seconds`. `leakCheck` false turns off the leak check
// that a sanitizer build runs at the tool's exit: in a recording with overlays run from this
// test, the checker itself faults while it reads a stale dynamic-TLS slot (the same run from a
// shell checks cleanly), and that fault would read as the tool's own failure.
ToolRun RunTool(const std::vector<std::string>& args, int seconds = 60, bool leakCheck = true) {
    const auto dir = testing_support::TestEnvironment::Current().Dir();
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string line = (leakCheck ? std::string() : "ASAN_OPTIONS=" + Quote(std::string(asan ? asan : "") + ":detect_leaks=0") + " ") +
                       "timeout -k 2 " + std::to_string(seconds) + " " +
                       Quote((testing_support::DistDir() / "orvanta-capture").string());
    for (const std::string& a : args) line += " " + Quote(a);
    line += " >" + Quote((dir / "tool.out").string()) + " 2>" + Quote((dir / "tool.err").string()) + " </dev/null";
    // Through the platform's process start: the tool gets a clean signal state and none of this
    // process's descriptors, as a program started from a shell would.
    int status = -1;
    ToolRun run;
    if (FAILED(RunProcess({"/bin/sh", "-c", line}, static_cast<unsigned>(seconds + 5) * 1000, &status))) status = -1;
    run.status = status;
    run.out = testing_support::ReadFile(dir / "tool.out");
    run.err = testing_support::ReadFile(dir / "tool.err");
    return run;
}

std::filesystem::path TestFile(const std::string& name) {
    return testing_support::TestEnvironment::Current().Dir() / name;
}

std::string Probe(const std::filesystem::path& file) {
    return testing_support::Ffprobe(file, "-show_entries stream=codec_name,width,height:format=duration -of compact");
}

std::string StreamTypes(const std::filesystem::path& file) {
    return testing_support::Ffprobe(file, "-show_entries stream=codec_type -of compact");
}

double DurationIn(const std::string& probe) {
    size_t at = probe.find("duration=");
    return at == std::string::npos ? -1 : std::atof(probe.c_str() + at + 9);
}

// Standard output of a shell command killed after `seconds`.
std::string BoundedOutput(const std::string& command, int seconds) {
    const auto file = testing_support::TestEnvironment::Current().Dir() / "bounded.out";
    std::system(("timeout -k 2 " + std::to_string(seconds) + " " + command + " >" + Quote(file.string()) +
                 " 2>/dev/null </dev/null")
                    .c_str());
    return testing_support::ReadFile(file);
}

}  // namespace

TEST(CaptureTool, FailuresExitNonZeroWithAMessageThatSaysWhy) {
    ToolRun none = RunTool({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("orvanta-capture: no command given"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("usage:"), std::string::npos) << none.err;

    ToolRun device = RunTool({"record", TestFile("x.avi").string(), "--seconds", "1", "--device", "No Such Camera"});
    EXPECT_EQ(device.status, 1);
    EXPECT_NE(device.err.find("unknown video device \"No Such Camera\""), std::string::npos) << device.err;
    EXPECT_FALSE(std::filesystem::exists(TestFile("x.avi")));

    ToolRun audio = RunTool({"record", TestFile("x.avi").string(), "--seconds", "1", "--audio-device", "No Mic"});
    EXPECT_EQ(audio.status, 1);
    EXPECT_NE(audio.err.find("unknown audio device \"No Mic\""), std::string::npos) << audio.err;

    ToolRun folder = RunTool({"record", TestFile("missing/x.avi").string(), "--seconds", "1"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("cannot write " + TestFile("missing/x.avi").string()), std::string::npos) << folder.err;

    ToolRun format = RunTool({"record", TestFile("x.avi").string(), "--seconds", "1", "--format", "30000"});
    EXPECT_EQ(format.status, 1);
    EXPECT_NE(format.err.find("the device has no format 30000"), std::string::npos) << format.err;

    // A profile file that is no profile: the control's Start fails.
    std::ofstream(TestFile("bad.prx")) << "not a profile";
    ToolRun profile =
        RunTool({"record", TestFile("x.wmv").string(), "--seconds", "1", "--profile", TestFile("bad.prx").string()});
    EXPECT_EQ(profile.status, 1);
    EXPECT_NE(profile.err.find("Start returned -1"), std::string::npos) << profile.err;

    ToolRun snapshot = RunTool({"snapshot", TestFile("shot.jpg").string(), "--device", "Nope"});
    EXPECT_EQ(snapshot.status, 1);
    EXPECT_NE(snapshot.err.find("unknown video device \"Nope\""), std::string::npos) << snapshot.err;
}

TEST(CaptureTool, ListPrintsTheDevicesWithTheirFormatsTheCompressorsAndTheProfiles) {
    ToolRun list = RunTool({"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    const std::string& out = list.out;
    size_t devices = out.find("Video devices:\n");
    size_t camera = out.find("  0: Orvanta Virtual Camera\n");
    size_t card = out.find(": Orvanta Virtual Capture Card\n");
    size_t audio = out.find("Audio devices:\n");
    size_t video = out.find("Video compressors:\n");
    size_t audioCodecs = out.find("Audio compressors:\n");
    size_t profiles = out.find("WMV profiles:\n");
    for (size_t at : {devices, camera, card, audio, video, audioCodecs, profiles}) ASSERT_NE(at, std::string::npos) << out;
    EXPECT_LT(devices, camera);
    EXPECT_LT(card, audio);
    EXPECT_LT(audio, video);
    EXPECT_LT(video, audioCodecs);
    EXPECT_LT(audioCodecs, profiles);
    // Each device lists its own formats: the card's fixed ones come after its name.
    size_t cardFormats = out.find("formats:", card);
    ASSERT_NE(cardFormats, std::string::npos);
    EXPECT_NE(out.substr(cardFormats, audio - cardFormats).find("720"), std::string::npos) << out;
    EXPECT_NE(out.find("0: Orvanta Virtual Microphone", audio), std::string::npos) << out;
    EXPECT_EQ(out.find("(none)", profiles), std::string::npos) << out;
    EXPECT_TRUE(list.err.empty()) << list.err;
}

TEST(CaptureTool, ShortRecordingsToAviAndWmvWithOverlaysAndASnapshotAreReadByFfprobe) {
    const auto avi = TestFile("clip.avi");
    ToolRun record =
        RunTool({"record", avi.string(), "--seconds", "3", "--text", "Orvanta test", "--date", "0"}, 60, false);
    ASSERT_EQ(record.status, 0) << record.err;
    EXPECT_NE(record.out.find("recording " + avi.string()), std::string::npos) << record.out;
    // The progress line; how many frames a loaded machine drops is not this test's matter.
    EXPECT_NE(record.out.find("capturing: 1 s, "), std::string::npos) << record.out;
    EXPECT_NE(record.out.find("wrote " + avi.string()), std::string::npos) << record.out;
    std::string probe = Probe(avi);
    const std::string types = StreamTypes(avi);
    EXPECT_NE(types.find("codec_type=video"), std::string::npos) << types;
    EXPECT_NE(types.find("codec_type=audio"), std::string::npos) << types;
    EXPECT_GE(DurationIn(probe), 2.0) << probe;

    const auto wmv = TestFile("clip.wmv");
    const auto profile = testing_support::SourceDir() / "data" / "WMVFiles" / "176x144.prx";
    record = RunTool({"record", wmv.string(), "--seconds", "3", "--profile", profile.string()});
    ASSERT_EQ(record.status, 0) << record.err;
    probe = Probe(wmv);
    EXPECT_NE(probe.find("codec_name=wmv2|width=176|height=144"), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_name=wmav2"), std::string::npos) << probe;

    const auto jpg = TestFile("shot.jpg");
    ToolRun snapshot = RunTool({"snapshot", jpg.string(), "--quality", "80"});
    ASSERT_EQ(snapshot.status, 0) << snapshot.err;
    probe = Probe(jpg);
    EXPECT_NE(probe.find("codec_name=mjpeg"), std::string::npos) << probe;
}

TEST(CaptureTool, ABroadcastIsPlayedOnLoopbackAndItsHelperEndsWithTheTool) {
    const uint16_t port = testing_support::FreeLoopbackPort();
    ToolRun cast;
    std::thread tool([&] {
        cast = RunTool({"broadcast", "--port", std::to_string(port), "--seconds", "12", "--clients", "2"}, 40);
    });
    const std::string url = "mmsh://127.0.0.1:" + std::to_string(port) + "/";
    // The stream needs a moment to begin: ffprobe is retried, each try bounded.
    std::string probe;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (probe.find("codec_name=wmv2") == std::string::npos && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        probe = BoundedOutput("ffprobe -v error -show_entries stream=codec_name -of compact " + url, 15);
    }
    tool.join();
    EXPECT_NE(probe.find("codec_name=wmv2"), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_name=wmav2"), std::string::npos) << probe;
    ASSERT_EQ(cast.status, 0) << cast.err;
    EXPECT_NE(cast.out.find("broadcasting at mms://"), std::string::npos) << cast.out;
    EXPECT_NE(cast.out.find(":" + std::to_string(port) + " for 12 s"), std::string::npos) << cast.out;
    EXPECT_NE(cast.out.find("clients: 1 (127.0.0.1)"), std::string::npos) << cast.out;
    EXPECT_NE(cast.out.find("broadcast ended"), std::string::npos) << cast.out;
    // The control's destruction asked its helper to quit.
    const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (FindWindow("Relayoclass", nullptr) != HWND_NONE && std::chrono::steady_clock::now() < gone)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(FindWindow("Relayoclass", nullptr), HWND_NONE);
}
