#include "bench/broadcast/BroadcastRun.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "bench/broadcast/ChildProcess.h"
#include "bench/broadcast/CopyPlayers.h"
#include "bench/broadcast/DecodingPlayer.h"
#include "bench/broadcast/FrameDelays.h"
#include "bench/broadcast/ProcessTree.h"
#include "bench/support/CommandOutput.h"

namespace fs = std::filesystem;

namespace {
constexpr int kReadyTimeoutMs = 30000;
constexpr int kSettleMs = 1000;         // the stream's header and first packets exist before players come
constexpr int kDecoderAfterCrowdMs = 1000;
constexpr int kSampleEveryMs = 250;
// More newcomers after the decoding player, one at a time, each only until its first picture:
// when a newcomer's first picture comes depends on where it joins between two key frames.
constexpr int kFirstPictureProbes = 8;
constexpr int kProbeGapMs = 3100;     // not a divisor of the key frame distance: the joins spread over it
constexpr int kProbeLimitMs = 10000;  // a newcomer with no picture by then counts as this long

std::string ReadText(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last lines of a file, for a failure message.
std::string Tail(const fs::path& file) {
    std::string text = ReadText(file);
    if (text.size() > 600) text = "..." + text.substr(text.size() - 600);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? "(nothing on its standard error)" : text;
}

bool Accepts(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

void SleepMs(int ms) { ::usleep(static_cast<useconds_t>(ms) * 1000); }

// The server's processes: itself (not the runuser that started it as another user), its
// descendants, and the helper it launched with its descendants.
std::vector<pid_t> ServerProcesses(pid_t root, const std::string& helper) {
    std::vector<pid_t> set;
    if (CommandName(root) != "runuser") set.push_back(root);
    for (pid_t p : Descendants(root)) set.push_back(p);
    if (!helper.empty()) {
        for (pid_t h : ChildrenRunning(::getpid(), helper)) {
            set.push_back(h);
            for (pid_t p : Descendants(h)) set.push_back(p);
        }
    }
    return set;
}

// Waits for the helpers this process inherited to end; those still there are killed. Then
// reaps every ended child left (a helper that already ended is no longer found by its program).
// Only called once everything else this process started has been ended and waited for.
int ReapHelpers(const std::string& helper, int ms) {
    std::vector<pid_t> left;
    for (int waited = 0; !helper.empty(); waited += 50) {
        left = ChildrenRunning(::getpid(), helper);
        for (pid_t h : left) ::waitpid(h, nullptr, WNOHANG);
        left = ChildrenRunning(::getpid(), helper);
        if (left.empty() || waited >= ms) break;
        SleepMs(50);
    }
    for (pid_t h : left) {
        ::kill(h, SIGKILL);
        ::waitpid(h, nullptr, 0);
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {}
    return static_cast<int>(left.size());
}

void Delays(const DecodingPlayer& decoder, const FrameFeeder& feeder, RunFigures& f) {
    const DelayFigures d = MeasureDelays(decoder.Arrivals(), [&](uint32_t n) { return feeder.HandedOverAt(n); },
                                         decoder.StartedAt());
    f.guessedFrames = d.guessed;
    if (d.firstWholeAt > 0) f.firstNumberSeconds = static_cast<double>(d.firstWholeAt - decoder.StartedAt()) / 1e9;
    f.delayFrames = d.frames;
    f.delayMedianMs = d.medianMs;
    f.delayP90Ms = d.p90Ms;
    f.delayMinMs = d.minMs;
    f.delayMaxMs = d.maxMs;
}
}  // namespace

uint16_t FreeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

RunFigures RunBroadcast(const ServerSetup& setup, const RunSettings& settings) {
    RunFigures f;
    const fs::path out = settings.dir / (setup.name + ".out"), err = settings.dir / (setup.name + ".err");
    FrameFeeder feeder(settings.width, settings.height, settings.rate);
    ChildProcess server;
    if (setup.feed == FrameFeeder::Mode::Overwrite) {
        if (!feeder.WriteStillFile(setup.stillFile)) {
            f.failure = "cannot write " + setup.stillFile.string();
            return f;
        }
        feeder.StartOverwriting(setup.stillFile);
        if (!server.Start(setup.argv, setup.environment, out, err)) {
            f.failure = server.Error();
            return f;
        }
    } else {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            f.failure = "no pipe for the frames";
            return f;
        }
        const bool started = server.Start(setup.argv, setup.environment, out, err, fds[0]);
        ::close(fds[0]);
        if (!started) {
            ::close(fds[1]);
            f.failure = server.Error();
            return f;
        }
        feeder.StartStreaming(fds[1]);
    }

    // Serving: the port takes connections (and the server said so, when it does).
    bool ready = false;
    for (int waited = 0; waited < kReadyTimeoutMs && server.Running(); waited += 100) {
        if ((setup.readyLine.empty() || ReadText(out).find(setup.readyLine) != std::string::npos) && Accepts(setup.port)) {
            ready = true;
            break;
        }
        SleepMs(100);
    }
    if (ready) SleepMs(kSettleMs);
    if (!ready || !server.Running() || !feeder.Error().empty()) {
        f.failure = !feeder.Error().empty() ? feeder.Error()
                    : server.Running()      ? "it did not serve on 127.0.0.1:" + std::to_string(setup.port) + " within 30 s"
                                            : "it ended (status " + std::to_string(server.Status()) + "): " + Tail(err);
        feeder.Stop();
        server.End(0);
        ReapHelpers(setup.helperProgram, 0);
        return f;
    }

    const std::string url = "mmsh://127.0.0.1:" + std::to_string(setup.port) + "/";
    CopyPlayers players(url, settings.rate);
    DecodingPlayer decoder;
    const int64_t start = MonotonicNs();
    const int64_t end = start + static_cast<int64_t>(settings.seconds) * 1000000000;
    const std::map<pid_t, ProcessFacts> before = ReadFacts(ServerProcesses(server.Pid(), setup.helperProgram));
    const int64_t decoderDue =
        std::min(start + static_cast<int64_t>(settings.players * settings.spacingMs + kDecoderAfterCrowdMs) * 1000000,
                 start + (end - start) / 2);
    int started = 0;
    bool decoderStarted = false;
    std::unique_ptr<DecodingPlayer> probe;
    std::vector<double> firstPictures;
    int64_t nextProbe = decoderDue + static_cast<int64_t>(kProbeGapMs) * 1000000;
    int64_t nextSample = start;
    std::string why;
    while (MonotonicNs() < end && f.failure.empty()) {
        const int64_t now = MonotonicNs();
        if (started < settings.players && now >= start + static_cast<int64_t>(started) * settings.spacingMs * 1000000) {
            if (!players.StartOne(settings.dir / ("player-" + std::to_string(started) + ".err"), why))
                f.failure = "a player could not be started: " + why;
            ++started;
        }
        if (!decoderStarted && now >= decoderDue) {
            if (!decoder.Start(url, settings.width, settings.dir / (setup.name + "-decoder.err"), why))
                f.failure = "the decoding player could not be started: " + why;
            decoderStarted = true;
        }
        if (!probe && decoderStarted && now >= nextProbe && static_cast<int>(firstPictures.size()) < kFirstPictureProbes &&
            end - now > static_cast<int64_t>(kProbeLimitMs) * 1000000) {
            probe = std::make_unique<DecodingPlayer>();
            if (!probe->Start(url, settings.width, settings.dir / (setup.name + "-probe.err"), why))
                f.failure = "a newcomer could not be started: " + why;
        }
        if (probe && (probe->FirstFrameAt() > 0 || now - probe->StartedAt() > static_cast<int64_t>(kProbeLimitMs) * 1000000)) {
            firstPictures.push_back(probe->FirstFrameAt() > 0
                                        ? static_cast<double>(probe->FirstFrameAt() - probe->StartedAt()) / 1e9
                                        : kProbeLimitMs / 1000.0);
            probe.reset();
            nextProbe = MonotonicNs() + static_cast<int64_t>(kProbeGapMs) * 1000000;
        }
        if (now >= nextSample) {
            players.Sample(now);
            nextSample += kSampleEveryMs * 1000000;
        }
        if (!server.Running()) f.failure = "it ended during the run (status " + std::to_string(server.Status()) + "): " + Tail(err);
        SleepMs(10);
    }
    players.Sample(MonotonicNs());
    const std::vector<pid_t> processes = ServerProcesses(server.Pid(), setup.helperProgram);
    const std::map<pid_t, ProcessFacts> after = ReadFacts(processes);
    f.windowSeconds = static_cast<double>(MonotonicNs() - start) / 1e9;
    for (const auto& [pid, facts] : after) {
        auto earlier = before.find(pid);
        f.cpuSeconds += facts.cpuSeconds - (earlier == before.end() ? 0.0 : earlier->second.cpuSeconds);
        f.peakMb += static_cast<double>(facts.peakKb) / 1024.0;
    }
    f.processes = static_cast<int>(after.size());
    // What the server sends, asked after the figures were taken so that the asking is no part of them.
    f.stream = CommandOutput("timeout 8 ffprobe -v error -select_streams v:0 -show_entries "
                             "stream=codec_name,width,height,avg_frame_rate -of csv=p=0 " + url + " 2>/dev/null");

    probe.reset();
    decoder.Stop();
    players.EndAll();
    if (setup.endsByItself) {
        server.End(30000);
    } else {
        feeder.Stop();  // the end of its input ends it
        server.End(5000);
    }
    const int lingering = ReapHelpers(setup.helperProgram, 10000);
    feeder.Stop();

    const CopyPlayers::Verdict verdict = players.Judge();
    f.players = verdict.players;
    f.starved = verdict.starved;
    f.endedEarly = verdict.endedEarly;
    f.playerMedianFps = verdict.medianFps;
    f.playerLowestFps = verdict.lowestFps;
    f.longestGapSeconds = verdict.longestGapSeconds;
    f.framesFed = feeder.FramesHandedOver();
    f.decodedFrames = decoder.Frames();
    f.unreadableFrames = decoder.Unreadable();
    if (decoder.FirstFrameAt() > 0)
        firstPictures.push_back(static_cast<double>(decoder.FirstFrameAt() - decoder.StartedAt()) / 1e9);
    if (!firstPictures.empty()) {
        f.firstFrameSeconds = Percentile(firstPictures, 0.5);
        f.firstFrameWorstSeconds = Percentile(firstPictures, 1.0);
        f.newcomers = static_cast<int>(firstPictures.size());
    }
    Delays(decoder, feeder, f);
    if (const char* keep = std::getenv("ORVANTA_BENCH_PICTURES")) {
        // number, arrival and hand-over in ms from the feeding's start, one picture a line
        std::error_code ignored;
        for (const fs::path& log : {out, err, settings.dir / (setup.name + "-decoder.err"), settings.dir / "player-0.err"})
            fs::copy_file(log, fs::path(keep) / (setup.name + "-" + log.filename().string()),
                          fs::copy_options::overwrite_existing, ignored);
        std::ofstream list(fs::path(keep) / (setup.name + "-pictures.txt"));
        for (const auto& [number, at] : decoder.Pictures()) {
            std::optional<int64_t> in = number >= 0 ? feeder.HandedOverAt(static_cast<uint32_t>(number)) : std::nullopt;
            list << number << ' ' << (at - feeder.StartedAt()) / 1000000 << ' '
                 << (in ? (*in - feeder.StartedAt()) / 1000000 : -1) << '\n';
        }
    }

    if (!f.failure.empty()) return f;
    if (!feeder.Error().empty()) f.failure = "feeding: " + feeder.Error();
    else if (lingering > 0) f.failure = "its helper did not end with it (killed)";
    else if (decoder.FirstFrameAt() <= 0)
        f.failure = "the decoding player got no picture: " + Tail(settings.dir / (setup.name + "-decoder.err")) +
                    "; the server's standard error: " + Tail(err);
    else if (f.delayFrames < 10)
        f.failure = "too few frame numbers read back in sequence to give a delay (" + std::to_string(f.delayFrames) +
                    " of " + std::to_string(f.decodedFrames) + " pictures)";
    f.ok = f.failure.empty();
    return f;
}
