// The capture session's cost per recorded frame against FFmpeg making the same file.
//
// Session: the virtual camera at 640x480, 25 fps, with the text, date and logo overlays, into AVI
// through "MPEG-4 Video Codec V2" at a fixed bit rate, recording in real time for a few seconds.
// Its cost is the CPU time (user + system, every thread) of this process from the start of the
// session to its stop, divided by the frames in the file; the preview branch (second overlay,
// grabber, video window) runs as it always does and counts too.
// FFmpeg: a generated 640x480 25 fps picture, drawtext for the text and the date, overlay of the
// same logo (keyed on the same colour), msmpeg4v2 at the same bit rate, key frame distance and
// one encoder thread, as many frames as the session recorded, run as a child process in the same
// run; its CPU time comes from wait4. Both are CPU times, so a busy machine distorts neither side.
// Printed per run: both times per frame and their ratio (target: at most 1.00), then the spread.
//
// Second measurement (a child process of this program pinned to one core before any thread
// exists): the camera as a 1920x1080 30 fps fixed-caps device through the same overlays and
// compressor, its dropped frames as the
// Capturing events and the device's IAMDroppedFrames report them, and frames recorded against the
// frames the recording time should give.
//
// Options: --seconds=N (default 10), --runs=N (default 3), --no-hd; others are ignored (the
// benchmark runner passes its own to every benchmark).
#include <sched.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/CaptureSession.h"
#include "platform/codecs/CompressorSettings.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ModuleLoader.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/Uuids.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {
const char* const kCamera = "Orvanta Virtual Camera";
const char* const kCompressor = "MPEG-4 Video Codec V2";
const char* const kFontName = "DejaVu Sans";
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kText = "Orvanta capture bench";
constexpr int kBitRateKbps = 1500;
constexpr int kKeyFrameEvery = 15;
constexpr COLORREF kLogoKey = 0x00FF00FF;  // magenta, 0x00BBGGRR

struct Options {
    int seconds = 10;
    int runs = 3;
    bool hd = true;
    bool hdOnly = false;
};

double CpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return CpuSeconds(u);
}

// Waits in the event loop (blocking, not polling: the waiting adds nothing to the CPU time).
void RunEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[256];
    while (fgets(line, sizeof line, pipe)) out += line;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ',')) out.pop_back();
    return out;
}

// codec,width,height,r_frame_rate,bit_rate,nb_read_packets of the first video stream.
std::string ProbeVideo(const fs::path& file) {
    return Output("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                  "stream=codec_name,width,height,r_frame_rate,bit_rate,nb_read_packets -of csv=p=0 '" +
                  file.string() + "' 2>/dev/null");
}

long FramesIn(const fs::path& file) {
    std::string probe = ProbeVideo(file);
    size_t comma = probe.rfind(',');
    return comma == std::string::npos ? 0 : std::atol(probe.c_str() + comma + 1);
}

// Runs `args` as a child process; its CPU time, or a negative number when it failed.
double ChildCpuSeconds(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    rusage u{};
    if (wait4(pid, &status, 0, &u) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return CpuSeconds(u);
}

class CountingOwner final : public SessionOwner {
public:
    void FireClick() override {}
    void FireDblClick() override {}
    void FireMouseMove(int16_t, int16_t, int32_t, int32_t) override {}
    void FireCapturing(int32_t seconds, int32_t dropped) override {
        ++events;
        lastSeconds = seconds;
        lastDropped = dropped;
    }
    int events = 0;
    int32_t lastSeconds = 0, lastDropped = 0;
};

struct SessionResult {
    bool ok = false;
    double cpuSeconds = 0;
    double wallSeconds = 0;  // from the start returning to the stop
    long frames = 0;
    std::string probe;
    int capturingEvents = 0;
    int32_t capturingDropped = -1;
    LONG dropped = -1, notDropped = -1;
    std::vector<LONG> droppedFrames;  // the first few the device lost, by frame number
};

// The device's own count of dropped and delivered frames, found as the session's timer finds it.
void ReadDroppedFrames(CCaptureSession& session, SessionResult& result) {
    ComPtr<ICaptureGraphBuilder2> builder;
    if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder))) return;
    builder->SetFiltergraph(session.Graph());
    ComPtr<IBaseFilter> device;
    if (FAILED(session.Graph()->FindFilterByName(kCamera, device.ReleaseAndGetAddressOf())) || !device) return;
    ComPtr<IAMDroppedFrames> dropped;
    builder->FindInterface(nullptr, &MEDIATYPE_Video, device.Get(), IAMDroppedFrames::iid,
                           dropped.ReleaseAndGetVoidAddress());
    if (!dropped) return;
    dropped->GetNumDropped(&result.dropped);
    dropped->GetNumNotDropped(&result.notDropped);
    std::vector<LONG> numbers(8);
    LONG copied = 0;
    if (SUCCEEDED(dropped->GetDroppedInfo(static_cast<LONG>(numbers.size()), numbers.data(), &copied))) {
        numbers.resize(static_cast<size_t>(std::clamp<LONG>(copied, 0, static_cast<LONG>(numbers.size()))));
        result.droppedFrames = numbers;
    }
}

// Records `seconds` of the camera at width x height with every overlay: through the user format
// (25 fps), or else at the device's last capability (a fixed-caps camera of that size).
SessionResult RecordSession(const fs::path& file, const fs::path& logo, int width, int height, bool userFormat,
                            int seconds) {
    SessionResult result;
    QWidget parent;
    parent.resize(320, 240);
    parent.show();
    CountingOwner owner;
    CCaptureSession session;
    session.ownerControl = &owner;
    session.CreateSessionWindow(&parent);
    VideoFormatList formats;
    if (userFormat) {
        session.useUserFormat = true;
        session.userWidth = width;
        session.userHeight = height;
    }
    session.captureMode = true;
    session.captureAudio = false;
    session.useVideoCompressor = true;
    session.captureFileName = file.string();

    double cpuBegin = ProcessCpuSeconds();
    if (!session.StartSession(formats, kCamera, "", kCompressor, "", -1, -1, Guid{})) {
        std::fprintf(stderr, "the session did not start\n");
        return result;
    }
    QElapsedTimer wall;
    wall.start();
    // As the control's Start does: the switches, then the settings.
    session.EnableTextOverlay(true);
    session.EnableDateOverlay(true);
    session.EnableImageOverlay(true);
    session.UpdateTextOverlay(0, 1, kFontName, 20, 10, 10, kText, 0x00FFFFFF, 0, 0, 0, 0, 0, "");
    session.UpdateDateOverlay(0, 0, kFontName, 16, 10, height - 30, 0x0000FFFF);
    session.DrawImageOverlay(width - 170, 10, logo.string(), kLogoKey, 0);
    RunEventLoop(seconds * 1000);
    ReadDroppedFrames(session, result);
    result.wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    HRESULT stopped = session.StopSession();
    result.cpuSeconds = ProcessCpuSeconds() - cpuBegin;
    result.capturingEvents = owner.events;
    result.capturingDropped = owner.lastDropped;
    result.probe = ProbeVideo(file);
    result.frames = FramesIn(file);
    result.ok = stopped == S_OK && result.frames > 0;
    return result;
}

// The same file by FFmpeg: generated picture, text, date, keyed logo, msmpeg4v2.
double RecordFfmpeg(const fs::path& file, const fs::path& logo, int width, int height, long frames) {
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::string font = std::string("fontfile=") + kFontFile;
    std::string graph = "[1:v]colorkey=0xFF00FF:0.01:0[logo];[0:v]drawtext=" + font + ":text='" + kText +
                        "':fontsize=20:fontcolor=white:x=10:y=10,drawtext=" + font +
                        ":text='%{localtime}':fontsize=16:fontcolor=yellow:x=10:y=" + std::to_string(height - 30) +
                        "[base];[base][logo]overlay=" + std::to_string(width - 170) + ":10[v]";
    return ChildCpuSeconds({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                            "testsrc=size=" + size + ":rate=25", "-i", logo.string(), "-filter_complex", graph,
                            "-map", "[v]", "-frames:v", std::to_string(frames), "-c:v", "msmpeg4v2", "-b:v",
                            std::to_string(kBitRateKbps) + "k", "-g", std::to_string(kKeyFrameEvery), "-bf", "0",
                            "-threads", "1", "-filter_threads", "1", file.string()});
}

// A 160x80 logo on the key colour: a filled panel with a word on it.
bool WriteLogo(const fs::path& file) {
    QImage image(160, 80, QImage::Format_RGB888);
    image.fill(QColor(0xFF, 0x00, 0xFF));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(QColor(0x20, 0x60, 0xC0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRect(4, 4, 152, 72), 12, 12);
    painter.setPen(Qt::white);
    painter.setFont(QFont(kFontName, 18, QFont::Bold));
    painter.drawText(QRect(4, 4, 152, 72), Qt::AlignCenter, "ORVANTA");
    painter.end();
    return image.save(QString::fromStdString(file.string()), "BMP");
}

bool RegisterOverlayModule() {
    HMODULE module = nullptr;
    if (LoadModule(fs::path(ORVANTA_DIST_DIR) / "Lamina.so", module) != S_OK) {
        std::fprintf(stderr, "cannot load Lamina.so: %s\n", LastModuleError().c_str());
        return false;
    }
    auto registerServer = GetProcAddressAs<DllRegisterServerFn>(module, "DllRegisterServer");
    return registerServer && registerServer() == S_OK;
}

// A private registry, runtime and configuration folder with only the virtual devices, so the
// benchmark never touches the user's settings or real devices.
fs::path MakeEnvironment() {
    std::string pattern = (fs::temp_directory_path() / "orvanta-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return {};
    fs::path dir = pattern;
    fs::create_directories(dir / "run");
    fs::permissions(dir / "run", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(dir / "config");
    setenv("ORVANTA_REGISTRY", (dir / "registry").c_str(), 1);
    setenv("ORVANTA_RUNTIME_DIR", (dir / "run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    setenv("ORVANTA_SHUTDOWN_COMMAND", "true", 1);
    setenv("ORVANTA_DEVICE_BACKENDS", "virtual", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return dir;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void PrintSpread(const char* what, const std::vector<double>& v, const char* unit) {
    if (v.empty()) return;
    auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    std::printf("  %-28s median %.3f%s, min %.3f, max %.3f (%zu runs)\n", what, Median(v), unit, *lo, *hi, v.size());
}

int RunComparison(const fs::path& dir, const fs::path& logo, const Options& options) {
    std::vector<double> sessionMs, ffmpegMs, ratios;
    for (int run = 1; run <= options.runs; ++run) {
        fs::path sessionFile = dir / ("session-" + std::to_string(run) + ".avi");
        fs::path ffmpegFile = dir / ("ffmpeg-" + std::to_string(run) + ".avi");
        SessionResult s = RecordSession(sessionFile, logo, 640, 480, true, options.seconds);
        if (!s.ok) {
            std::printf("run %d: the session did not record (%s)\n", run, s.probe.c_str());
            return 1;
        }
        double ffmpegCpu = RecordFfmpeg(ffmpegFile, logo, 640, 480, s.frames);
        long ffmpegFrames = FramesIn(ffmpegFile);
        if (ffmpegCpu < 0 || ffmpegFrames <= 0) {
            std::printf("run %d: the FFmpeg command failed\n", run);
            return 1;
        }
        double perSession = s.cpuSeconds * 1000.0 / static_cast<double>(s.frames);
        double perFfmpeg = ffmpegCpu * 1000.0 / static_cast<double>(ffmpegFrames);
        sessionMs.push_back(perSession);
        ffmpegMs.push_back(perFfmpeg);
        ratios.push_back(perSession / perFfmpeg);
        std::printf("run %d: 640x480 25 fps, text+date+logo, %s %d kb/s\n", run, kCompressor, kBitRateKbps);
        std::printf("  session: %ld frames in %.2f s, CPU %.3f s = %.3f ms/frame; file %s\n", s.frames, s.wallSeconds,
                    s.cpuSeconds, perSession, s.probe.c_str());
        std::printf("  ffmpeg:  %ld frames, CPU %.3f s = %.3f ms/frame; file %s\n", ffmpegFrames, ffmpegCpu, perFfmpeg,
                    ProbeVideo(ffmpegFile).c_str());
        std::printf("  ratio session/ffmpeg (CPU per frame): %.2f (target <= 1.00)\n", perSession / perFfmpeg);
        std::fflush(stdout);
        std::error_code ignored;
        fs::remove(sessionFile, ignored);
        fs::remove(ffmpegFile, ignored);
    }
    std::printf("640x480 summary:\n");
    PrintSpread("session CPU per frame", sessionMs, " ms");
    PrintSpread("ffmpeg CPU per frame", ffmpegMs, " ms");
    PrintSpread("ratio", ratios, "");
    std::fflush(stdout);
    return 0;
}

// The camera as a fixed-caps device of one capability, 1920x1080 RGB24 at 30 fps: the scalable
// camera's user format runs at 25 fps, and its list of sizes stops short of 1920x1080.
bool UseHdCamera(const fs::path& dir) {
    fs::path file = dir / "devices.json";
    FILE* out = std::fopen(file.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, R"({"devices": [{"name": "%s", "kind": "video", "capture": [{"format": "RGB24", )"
                      R"("width": 1920, "height": 1080, "frameRate": 30}], "preview": "capture"}]})",
                 kCamera);
    std::fclose(out);
    return setenv("ORVANTA_DEVICES", file.c_str(), 1) == 0;
}

int RunPinnedHd(const fs::path& dir, const fs::path& logo, const Options& options) {
    int cpu = sched_getcpu();
    fs::path file = dir / "hd.avi";
    SessionResult s = RecordSession(file, logo, 1920, 1080, false, options.seconds);
    if (!s.ok) {
        std::printf("1920x1080: the session did not record (%s)\n", s.probe.c_str());
        return 1;
    }
    double expected = s.wallSeconds * 30.0;
    std::printf("1920x1080 30 fps, text+date+logo, %s, pinned to core %d, %.2f s recorded:\n", kCompressor, cpu,
                s.wallSeconds);
    std::printf("  frames in the file %ld, expected %.0f (%.1f%%); file %s\n", s.frames, expected,
                100.0 * static_cast<double>(s.frames) / expected, s.probe.c_str());
    std::printf("  dropped: last Capturing event %d (%d events), IAMDroppedFrames dropped %ld, not dropped %ld\n",
                s.capturingDropped, s.capturingEvents, static_cast<long>(s.dropped), static_cast<long>(s.notDropped));
    if (!s.droppedFrames.empty()) {
        std::printf("  frames lost:");
        for (LONG n : s.droppedFrames) std::printf(" %ld", static_cast<long>(n));
        std::printf("%s\n", s.dropped > static_cast<LONG>(s.droppedFrames.size()) ? " ..." : "");
    }
    std::printf("  CPU %.3f s = %.3f ms/frame (%.0f%% of the core)\n", s.cpuSeconds,
                s.cpuSeconds * 1000.0 / static_cast<double>(s.frames), 100.0 * s.cpuSeconds / s.wallSeconds);
    std::error_code ignored;
    fs::remove(file, ignored);
    std::fflush(stdout);
    return 0;
}

// This program again, pinned to the core it starts on, for the 1920x1080 measurement alone.
int SpawnPinnedHd(const Options& options) {
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string seconds = "--seconds=" + std::to_string(options.seconds);
    char* argv[] = {self.data(), const_cast<char*>("--hd-only"), seconds.data(), nullptr};
    std::fflush(stdout);
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) return 1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status);
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--seconds=", 0) == 0) o.seconds = std::max(1, std::atoi(a.c_str() + 10));
        else if (a.rfind("--runs=", 0) == 0) o.runs = std::max(1, std::atoi(a.c_str() + 7));
        else if (a == "--no-hd") o.hd = false;
        else if (a == "--hd-only") o.hdOnly = true;
    }
    return o;
}
}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    if (options.hdOnly) {
        // Before any thread exists, so that every thread of the session inherits the one core.
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) {
            std::perror("sched_setaffinity");
            return 1;
        }
    }
    fs::path dir = MakeEnvironment();
    if (dir.empty()) return 1;
    QApplication app(argc, argv);
    int rc = 1;
    fs::path logo = dir / "logo.bmp";
    StoreSettings(kCompressor, {DefaultQuality(kCompressor), kBitRateKbps, kKeyFrameEvery});
    if (RegisterOverlayModule() && WriteLogo(logo)) {
        if (options.hdOnly) {
            rc = UseHdCamera(dir) ? RunPinnedHd(dir, logo, options) : 1;
        } else {
            rc = RunComparison(dir, logo, options);
            if (rc == 0 && options.hd) rc = SpawnPinnedHd(options);
        }
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return rc;
}
