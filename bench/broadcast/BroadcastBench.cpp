// The live broadcast to a crowd of loopback players, against VLC serving the same frames in the
// same run.
//
// Each side gets the same frames at the same real-time rate (FrameFeeder.h): the virtual
// camera's moving test picture at 640x480, 25 fps, with the frame number drawn across the top.
// orvanta-capture broadcasts its virtual camera, which plays a one-frame YUV4MPEG2 file that the
// bench rewrites at 25 fps; VLC reads the same YUV4MPEG2 frames from a pipe the bench writes at
// 25 fps (its standard input: from a file it would read ahead of real time). Both encode WMV8
// (FFmpeg's wmv2 encoder on both sides) at 1 Mb/s with a key frame every 5 s, video only, and
// serve it as MMSH on 127.0.0.1. VLC runs as an unprivileged user made for it.
//
// Per run and side, over the same window (--seconds, from the moment the server serves):
// - 50 players (FFmpeg's MMSH client copying to nothing) started 100 ms apart;
// - CPU: user + system time of the server's processes (the program, its descendants and, for
//   orvanta-capture, its broadcast helper) from /proc at the window's start and end; peak memory:
//   their VmHWM summed at the window's end;
// - once the crowd is there, one more player that decodes (FFmpeg with its default probing, the
//   top band of each picture as grey bytes on a pipe): its first picture's time from its start,
//   and the frame number read from each picture; delay = the picture's arrival here minus the
//   time the bench handed that frame over (for orvanta-capture that includes the camera's wait
//   for its next tick, up to one frame), for the frames handed over after it started;
// - after it, up to 8 newcomers one at a time (3.1 s apart, so that they join at different
//   places between key frames), each only until its first picture: the first-picture figure is
//   the median over them and the decoding player;
// - starved players: one whose FFmpeg ended, that received under 80% of the pictures its time
//   implies at 25 fps, or that went more than 2 s without a picture (FFmpeg's own progress
//   report, twice a second; from its first report on, after any catch-up burst).
// Each figure is the median of --runs runs; the two sides alternate which goes first. A side that
// fails a run is reported, the other runs go on, and the exit code is 1.
//
// Options: --seconds=N (default 60, at least 8 for a quick try), --runs=N (default 5),
// --players=N (default 50), --lock=FILE (hold an exclusive flock on FILE during each run, so that
// nothing else timed on the machine runs at the same moment, yet nothing waits a whole session);
// others are ignored (the benchmark runner passes its own to every benchmark). Setting
// ORVANTA_BENCH_PICTURES=DIR keeps each side's logs and the decoded frame numbers there.
// Exit code 1 when either side fails to run or a measurement is missing.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#include <stdlib.h>
#include <sys/prctl.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/broadcast/BenchServers.h"
#include "bench/broadcast/BroadcastRun.h"
#include "bench/support/BenchEnvironment.h"
#include "bench/support/BenchFigures.h"

namespace fs = std::filesystem;

namespace {
constexpr double kFirstFrameTarget = 1.5;

struct Options {
    int seconds = 60;
    int runs = 5;
    int players = 50;
    std::string lock;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--seconds=", 0) == 0) o.seconds = std::max(8, std::atoi(a.c_str() + 10));
        else if (a.rfind("--runs=", 0) == 0) o.runs = std::max(1, std::atoi(a.c_str() + 7));
        else if (a.rfind("--players=", 0) == 0) o.players = std::max(1, std::atoi(a.c_str() + 10));
        else if (a.rfind("--lock=", 0) == 0) o.lock = a.substr(7);
    }
    return o;
}

void PrintRun(int run, const ServerSetup& setup, const RunFigures& f) {
    // A player with no progress report at all has no gap to speak of: it got nothing.
    char gap[48];
    if (f.longestGapSeconds >= 1e5) std::snprintf(gap, sizeof gap, "a player got nothing");
    else std::snprintf(gap, sizeof gap, "longest gap %.1f s", f.longestGapSeconds);
    std::printf("run %d, %-7s load %s: CPU %.2f s over %.1f s (%d processes), peak memory %.1f MB; first picture "
                "%.2f s median of %d newcomers, worst %.2f (first whole picture %.2f s); delay median %.0f ms, p90 "
                "%.0f ms, min %.0f, max %.0f (%d frames); starved %d/%d (ended early %d, %s), players got %.1f "
                "pictures/s median, %.1f lowest\n",
                run, setup.name.c_str(), LoadAverage().c_str(), f.cpuSeconds, f.windowSeconds, f.processes, f.peakMb,
                f.firstFrameSeconds, f.newcomers, f.firstFrameWorstSeconds, f.firstNumberSeconds, f.delayMedianMs,
                f.delayP90Ms, f.delayMinMs, f.delayMaxMs, f.delayFrames, f.starved, f.players, f.endedEarly, gap,
                f.playerMedianFps, f.playerLowestFps);
    std::printf("  %s stream: %s; frames handed over %u; the new player decoded %d pictures (%d without a readable "
                "number, %d read out of sequence)\n",
                setup.name.c_str(), f.stream.empty() ? "(ffprobe read nothing)" : f.stream.c_str(), f.framesFed,
                f.decodedFrames, f.unreadableFrames, f.guessedFrames);
    std::fflush(stdout);
}

struct Series {
    std::vector<double> cpu, memory, firstFrame, firstWhole, delay, delayP90, starved, fps;
    void Add(const RunFigures& f) {
        cpu.push_back(f.cpuSeconds);
        memory.push_back(f.peakMb);
        firstFrame.push_back(f.firstFrameSeconds);
        firstWhole.push_back(f.firstNumberSeconds);
        delay.push_back(f.delayMedianMs);
        delayP90.push_back(f.delayP90Ms);
        starved.push_back(f.starved);
        fps.push_back(f.playerMedianFps);
    }
};

// An exclusive flock on a file for one run (none for an empty name).
class RunLock {
public:
    explicit RunLock(const std::string& file) {
        if (file.empty()) return;
        fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0) failed_ = true;
    }
    ~RunLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    bool Held() const { return !failed_; }

private:
    int fd_ = -1;
    bool failed_ = false;
};

const char* Holds(bool held) { return held ? "holds" : "MISSED"; }

void PrintSummary(const Series& ours, const Series& vlc, const Options& options) {
    std::printf("== summary, median of %zu runs of %d s, %d players, load %s\n", ours.cpu.size(), options.seconds,
                options.players, LoadAverage().c_str());
    PrintSpread("orvanta CPU over the window", ours.cpu, " s");
    PrintSpread("vlc CPU over the window", vlc.cpu, " s");
    PrintSpread("orvanta peak memory", ours.memory, " MB");
    PrintSpread("vlc peak memory", vlc.memory, " MB");
    PrintSpread("orvanta first picture", ours.firstFrame, " s");
    PrintSpread("vlc first picture", vlc.firstFrame, " s");
    PrintSpread("orvanta delay (median of a run)", ours.delay, " ms");
    PrintSpread("vlc delay (median of a run)", vlc.delay, " ms");
    PrintSpread("orvanta first whole picture", ours.firstWhole, " s");
    PrintSpread("vlc first whole picture", vlc.firstWhole, " s");
    PrintSpread("orvanta player pictures/s", ours.fps, "");
    PrintSpread("vlc player pictures/s", vlc.fps, "");
    const double cpu = Median(ours.cpu), cpuVlc = Median(vlc.cpu);
    const double mem = Median(ours.memory), memVlc = Median(vlc.memory);
    const double first = Median(ours.firstFrame), delay = Median(ours.delay), delayVlc = Median(vlc.delay);
    const double starved = Median(ours.starved), starvedVlc = Median(vlc.starved);
    std::printf("ratio orvanta/vlc CPU (server and helper, /proc utime+stime over the window): %.2f (%.2f s / %.2f s; "
                "target <= 1.00: %s); load %s\n",
                cpu / cpuVlc, cpu, cpuVlc, Holds(cpu <= cpuVlc), LoadAverage().c_str());
    std::printf("ratio orvanta/vlc peak memory (VmHWM summed): %.2f (%.1f MB / %.1f MB; target <= 1.00: %s)\n",
                mem / memVlc, mem, memVlc, Holds(mem <= memVlc));
    std::printf("first picture of a new player (FFmpeg, default probing, from its start): orvanta %.2f s (target <= "
                "%.1f s: %s), vlc %.2f s; first whole picture (frame numbers in sequence): orvanta %.2f s, vlc %.2f s\n",
                first, kFirstFrameTarget, Holds(first <= kFirstFrameTarget), Median(vlc.firstFrame),
                Median(ours.firstWhole), Median(vlc.firstWhole));
    std::printf("ratio orvanta/vlc end-to-end delay (frame number handed over -> decoded at a player): %.2f (%.0f ms / "
                "%.0f ms; target <= 1.00: %s); p90 %.0f ms / %.0f ms\n",
                delay / delayVlc, delay, delayVlc, Holds(delay <= delayVlc), Median(ours.delayP90),
                Median(vlc.delayP90));
    std::printf("starved players (median of runs): orvanta %.0f of %d (target 0: %s), vlc %.0f of %d\n", starved,
                options.players, Holds(starved == 0), starvedVlc, options.players);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    ::signal(SIGPIPE, SIG_IGN);
    // The broadcast helper is started detached from orvanta-capture; as a subreaper this program
    // inherits it, so its CPU and memory are found and it is reaped here.
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
        std::perror("prctl(PR_SET_CHILD_SUBREAPER)");
        return 1;
    }
    const fs::path dir = MakeBenchEnvironment();
    if (dir.empty()) {
        std::printf("cannot make the benchmark's folder\n");
        return 1;
    }
    std::string vlcHomePattern = (fs::temp_directory_path() / "orvanta-bench-vlc-XXXXXX").string();
    const fs::path vlcHome = mkdtemp(vlcHomePattern.data()) ? fs::path(vlcHomePattern) : fs::path();

    StreamSettings stream;
    stream.clients = options.players + 5;  // the decoding player and ffprobe besides the crowd
    RunSettings settings;
    settings.width = stream.width;
    settings.height = stream.height;
    settings.rate = stream.rate;
    settings.seconds = options.seconds;
    settings.players = options.players;
    settings.dir = dir;
    std::string vlcCommand;
    for (const std::string& word : VlcCommand(stream, 0))
        vlcCommand += (vlcCommand.empty() ? "" : " ") + (word.find('{') != std::string::npos ? "'" + word + "'" : word);
    std::printf("== broadcast %dx%d %d fps, WMV8 (wmv2) %d kb/s, key frame every %d s, video only, MMSH on 127.0.0.1; "
                "%d players 100 ms apart for %d s; vlc (as user orvanta-bench when run as root): %s\n",
                stream.width, stream.height, stream.rate, stream.bitRate / 1000, stream.keyFrameSeconds, options.players,
                options.seconds, vlcCommand.c_str());
    std::fflush(stdout);

    // A side that fails a run is reported and the other runs still go ahead (a failure that comes
    // and goes is itself a finding); the exit code says a run failed.
    int rc = 0;
    int failed = 0;
    Series ours, vlc;
    for (int run = 1; run <= options.runs; ++run) {
        RunLock lock(options.lock);
        if (!lock.Held()) {
            std::printf("cannot lock %s\n", options.lock.c_str());
            rc = 1;
            break;
        }
        for (int side = 0; side < 2; ++side) {
            const bool orvantaNow = (side == 0) == (run % 2 == 1);
            ServerSetup setup;
            std::string why;
            const bool made = orvantaNow ? OrvantaServer(stream, dir, options.seconds, setup, why)
                                         : !vlcHome.empty() && VlcServer(stream, vlcHome, setup, why);
            if (!made) {
                std::printf("run %d: %s cannot be set up: %s\n", run, orvantaNow ? "orvanta" : "vlc",
                            vlcHome.empty() ? "no folder for VLC" : why.c_str());
                rc = 1;
                break;
            }
            RunFigures f = RunBroadcast(setup, settings);
            PrintRun(run, setup, f);
            if (!f.ok) {
                std::printf("run %d: %s FAILED: %s\n", run, setup.name.c_str(), f.failure.c_str());
                std::fflush(stdout);
                ++failed;
                continue;
            }
            (orvantaNow ? ours : vlc).Add(f);
        }
        if (rc != 0) break;
    }
    if (failed > 0) {
        std::printf("%d of %d side runs failed (above); the summary holds the others\n", failed, 2 * options.runs);
        rc = 1;
    }
    if (!ours.cpu.empty() && !vlc.cpu.empty()) PrintSummary(ours, vlc, options);
    else rc = 1;
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    if (!vlcHome.empty()) fs::remove_all(vlcHome, ignored);
    return rc;
}
