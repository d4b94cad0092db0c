// The capture session's cost per recorded frame against FFmpeg encoding the same frames.
//
// Both sides encode one YUV4MPEG2 clip, written once per size from the virtual camera's test
// picture (50 frames, played in a loop): the session through a virtual camera that plays the clip
// at its rate, FFmpeg reading it with -stream_loop. The camera has one capture pin, as a webcam
// has, so that with the preview on the Smart Tee splits one stream: a device with a second pin
// reads and converts every frame twice. Both draw the same text, date and keyed logo,
// encode with "MPEG-4 Video Codec V2" (msmpeg4v2) at the same bit rate, key frame distance and one
// encoder thread, into AVI.
// The session's cost is the CPU time (user + system, every thread) of this process from the start
// of the session to its stop, divided by the frames in its file; FFmpeg's is the CPU time of its
// child process (wait4) for as many frames, divided by the frames in its file. Both are CPU
// times, so a busy machine distorts neither much, but the load average is printed beside every
// figure. Each figure is the median of --runs runs of --seconds seconds, with the preview off
// (the target) and on. The floor is FFmpeg encoding the same frames with no overlay; the session's
// cost above it is split by stage with a perf profile of one more run (--profile, needs perf).
// Both files' bit rates must lie within 15% of each other, else the two did different work.
//
// Second measurement (a child process of this program pinned to one core before any thread
// exists): the camera as a 1920x1080 30 fps fixed-caps device through the same overlays and
// compressor, its dropped frames as the Capturing events and the device's IAMDroppedFrames report
// them, and frames recorded against the frames the recording time should give.
//
// Options: --seconds=N (default 10), --runs=N (default 5), --sizes=640x480,1920x1080, --no-hd,
// --profile, --session-only=CLIP [--preview] (one session run alone, for a profiler); others are ignored (the benchmark runner passes its own to every benchmark).
// Exit code 1 when either side fails to run.
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
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/support/BenchEnvironment.h"
#include "bench/support/BenchFigures.h"
#include "bench/support/CommandOutput.h"
#include "bench/support/FileFacts.h"
#include "engine/CaptureSession.h"
#include "platform/base/Log.h"
#include "platform/codecs/CompressorSettings.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ModuleLoader.h"
#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/dshow/Uuids.h"

extern "C" {
#include <libavutil/log.h>
}

extern char** environ;

namespace fs = std::filesystem;

namespace {
const char* const kCamera = "Orvanta Virtual Camera";
const char* const kClipCamera = "Bench Clip Camera";
const char* const kCompressor = "MPEG-4 Video Codec V2";
const char* const kFontName = "DejaVu Sans";
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kText = "Orvanta capture bench";
constexpr int kBitRateKbps = 1500;
constexpr int kKeyFrameEvery = 15;
constexpr int kClipFrames = 50;
constexpr double kSameBitRate = 0.15;  // both files within 15% of each other
constexpr COLORREF kLogoKey = 0x00FF00FF;  // magenta, 0x00BBGGRR

struct Size {
    int width, height, rate;
};

struct Options {
    int seconds = 10;
    int runs = 5;
    bool hd = true;
    bool hdOnly = false;
    bool profile = false;
    fs::path sessionClip;  // --session-only=CLIP: one session run for the profiler
    bool sessionPreview = false;  // with --session-only: the preview on
    std::vector<Size> sizes{{640, 480, 25}, {1920, 1080, 30}};
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
    // A recording an error ended is no measurement.
    void FireCaptureError(int32_t code, const std::string& text) override {
        errorCode = code;
        errorText = text;
    }
    int events = 0;
    int32_t errorCode = 0;
    std::string errorText;
    int32_t lastSeconds = 0, lastDropped = 0;
};

struct SessionResult {
    bool ok = false;
    double cpuSeconds = 0;
    double wallSeconds = 0;  // from the start returning to the stop
    FileFacts file;
    int capturingEvents = 0;
    int32_t capturingDropped = -1;
    LONG dropped = -1, notDropped = -1;
    std::vector<LONG> droppedFrames;  // the first few the device lost, by frame number
};

// The device's own count of dropped and delivered frames, found as the session's timer finds it.
void ReadDroppedFrames(CCaptureSession& session, const char* camera, SessionResult& result) {
    ComPtr<ICaptureGraphBuilder2> builder;
    if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, &builder))) return;
    builder->SetFiltergraph(session.Graph());
    ComPtr<IBaseFilter> device;
    if (FAILED(session.Graph()->FindFilterByName(camera, device.ReleaseAndGetAddressOf())) || !device) return;
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

// Records `seconds` of `camera` (at its default format) with every overlay, the preview on or off.
SessionResult RecordSession(const char* camera, const fs::path& file, const fs::path& logo, int width, int height,
                            bool preview, int seconds) {
    SessionResult result;
    QWidget parent;
    parent.resize(320, 240);
    parent.show();
    CountingOwner owner;
    CCaptureSession session;
    session.ownerControl = &owner;
    session.CreateSessionWindow(&parent);
    VideoFormatList formats;
    session.captureMode = true;
    session.captureAudio = false;
    session.showPreview = preview;
    session.useVideoCompressor = true;
    session.captureFileName = file.string();

    double cpuBegin = ProcessCpuSeconds();
    const HRESULT started = session.StartSession(formats, camera, "", kCompressor, "", -1, -1, Guid{});
    if (FAILED(started)) {
        std::fprintf(stderr, "the session did not start (%s)\n", HResultText(started).c_str());
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
    ReadDroppedFrames(session, camera, result);
    result.wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    HRESULT stopped = session.StopSession();
    result.cpuSeconds = ProcessCpuSeconds() - cpuBegin;
    result.capturingEvents = owner.events;
    result.capturingDropped = owner.lastDropped;
    result.file = Probe(file);
    if (owner.errorCode != 0) std::fprintf(stderr, "the recording ended by an error: %s\n", owner.errorText.c_str());
    result.ok = stopped == S_OK && owner.errorCode == 0 && result.file.frames > 0;
    return result;
}

// FFmpeg encoding `frames` frames of the clip with the same settings, with the session's
// overlays or none (the floor). Its CPU seconds, negative when it failed.
double RecordFfmpeg(const fs::path& clip, const fs::path& file, const fs::path& logo, const Size& size, long frames,
                    bool overlays) {
    std::vector<std::string> args{"ffmpeg", "-nostdin", "-v", "error", "-y", "-stream_loop", "-1", "-i", clip.string()};
    if (overlays) {
        std::string font = std::string("fontfile=") + kFontFile;
        std::string graph = "[1:v]colorkey=0xFF00FF:0.01:0[logo];[0:v]drawtext=" + font + ":text='" + kText +
                            "':fontsize=20:fontcolor=white:x=10:y=10,drawtext=" + font +
                            ":text='%{localtime}':fontsize=16:fontcolor=yellow:x=10:y=" + std::to_string(size.height - 30) +
                            "[base];[base][logo]overlay=" + std::to_string(size.width - 170) + ":10[v]";
        args.insert(args.end(), {"-i", logo.string(), "-filter_complex", graph, "-map", "[v]"});
    }
    args.insert(args.end(), {"-frames:v", std::to_string(frames), "-c:v", "msmpeg4v2", "-b:v",
                             std::to_string(kBitRateKbps) + "k", "-g", std::to_string(kKeyFrameEvery), "-bf", "0",
                             "-threads", "1", "-filter_threads", "1", file.string()});
    return ChildCpuSeconds(args);
}

// The clip both sides encode: kClipFrames frames of the virtual camera's test picture.
bool WriteClip(const fs::path& file, const Size& size) {
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return false;
    std::fprintf(out, "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n", size.width, size.height, size.rate);
    std::vector<uint8_t> frame(static_cast<size_t>(size.width) * size.height * 3 / 2);
    bool ok = true;
    for (int n = 0; n < kClipFrames && ok; ++n) {
        ok = DrawTestPicture(MEDIASUBTYPE_I420, size.width, size.height, static_cast<uint32_t>(n), 0, frame.data(),
                             frame.size()) &&
             std::fputs("FRAME\n", out) >= 0 && std::fwrite(frame.data(), 1, frame.size(), out) == frame.size();
    }
    return std::fclose(out) == 0 && ok;
}

// The device list with one camera playing `clip`, without a preview pin.
bool UseClipCamera(const fs::path& dir, const fs::path& clip) {
    fs::path file = dir / "clip-devices.json";
    FILE* out = std::fopen(file.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, R"({"devices": [{"name": "%s", "kind": "video", "file": "%s"}]})",
                 kClipCamera, clip.c_str());
    return std::fclose(out) == 0 && setenv("ORVANTA_DEVICES", file.c_str(), 1) == 0;
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

// One preview setting at one size: the session and FFmpeg, --runs times. The median ratio, or a
// negative number when a side failed.
struct Comparison {
    double ratio = -1;
    double sessionMs = 0, ffmpegMs = 0;
};

Comparison Compare(const fs::path& dir, const fs::path& clip, const fs::path& logo, const Size& size, bool preview,
                   const Options& options) {
    std::vector<double> sessionMs, ffmpegMs, ratios;
    const char* label = preview ? "preview on" : "preview off";
    for (int run = 1; run <= options.runs; ++run) {
        fs::path sessionFile = dir / "session.avi", ffmpegFile = dir / "ffmpeg.avi";
        SessionResult s = RecordSession(kClipCamera, sessionFile, logo, size.width, size.height, preview, options.seconds);
        if (!s.ok) {
            std::printf("run %d: the session did not record (%s)\n", run, s.file.Text().c_str());
            return {};
        }
        double ffmpegCpu = RecordFfmpeg(clip, ffmpegFile, logo, size, s.file.frames, true);
        FileFacts f = Probe(ffmpegFile);
        if (ffmpegCpu < 0 || f.frames <= 0) {
            std::printf("run %d: the FFmpeg reference failed to run\n", run);
            return {};
        }
        double perSession = s.cpuSeconds * 1000.0 / static_cast<double>(s.file.frames);
        double perFfmpeg = ffmpegCpu * 1000.0 / static_cast<double>(f.frames);
        sessionMs.push_back(perSession);
        ffmpegMs.push_back(perFfmpeg);
        ratios.push_back(perSession / perFfmpeg);
        std::printf("run %d, %dx%d %d fps, %s, load %s: session %.3f ms/frame (%ld frames in %.2f s, CPU %.3f s), "
                    "ffmpeg %.3f ms/frame, ratio %.2f\n",
                    run, size.width, size.height, size.rate, label, LoadAverage().c_str(), perSession, s.file.frames,
                    s.wallSeconds, s.cpuSeconds, perFfmpeg, perSession / perFfmpeg);
        std::printf("  session file: %s\n  ffmpeg file:  %s\n  bit rates %s\n", s.file.Text().c_str(), f.Text().c_str(),
                    SameBitRate(s.file, f, kSameBitRate) ? "within 15% of each other: the same work"
                                                         : "NOT within 15% of each other: the two did different work");
        std::fflush(stdout);
        std::error_code ignored;
        fs::remove(sessionFile, ignored);
        fs::remove(ffmpegFile, ignored);
    }
    PrintSpread("session CPU per frame", sessionMs, " ms");
    PrintSpread("ffmpeg CPU per frame", ffmpegMs, " ms");
    return {Median(ratios), Median(sessionMs), Median(ffmpegMs)};
}

// FFmpeg encoding the same frames with no overlay: the least the work can cost. Median ms/frame.
double Floor(const fs::path& dir, const fs::path& clip, const fs::path& logo, const Size& size, long frames,
             const Options& options) {
    std::vector<double> ms;
    for (int run = 1; run <= options.runs; ++run) {
        fs::path file = dir / "floor.avi";
        double cpu = RecordFfmpeg(clip, file, logo, size, frames, false);
        FileFacts f = Probe(file);
        if (cpu < 0 || f.frames <= 0) return -1;
        ms.push_back(cpu * 1000.0 / static_cast<double>(f.frames));
        if (run == 1) std::printf("  floor file:   %s\n", f.Text().c_str());
    }
    return Median(ms);
}

// Which stage a profiled function belongs to, by its module and name. The scaler's code has no
// symbols, so both conversions (the camera's YUV to RGB24 and the compressor's RGB24 to YUV) count
// as one stage.
std::string StageOf(const std::string& module, const std::string& symbol) {
    auto has = [&](const char* word) { return symbol.find(word) != std::string::npos; };
    auto in = [&](const char* name) { return module.find(name) != std::string::npos; };
    // Every memory copy; in call-graph profiles nearly all of it is the overlay's copy of its input
    // and the encoder's copy of its picture, which a flat profile cannot tell apart.
    if (has("memmove") || has("memcpy")) return "copies";
    if (in("Lamina") || in("libQt6Gui") || in("freetype") || has("Overlay")) return "overlay";
    if (in("swscale") || in("libyuv")) return "conversion";
    if (in("avcodec") || in("avutil") || has("VideoCompressor")) return "encoder";
    if (has("VideoFilePlayer") || has("pread") || has("filemap") || has("copy_page_to_iter") || has("_copy_to_iter") || has("FillBuffer") ||
        has("xas_") || has("folio"))
        return "capture";
    if (in("avformat") || has("AviMux") || has("FileWriter") || has("ext4") || has("write") || has("jbd2")) return "mux";
    return "other";
}

// One more preview-off session under perf; the share of its samples in each stage.
bool ProfileStages(const fs::path& dir, const fs::path& clip, const Size& size, const Options& options,
                   double sessionMs, double floorMs) {
    fs::path data = dir / "perf.data";
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string seconds = "--seconds=" + std::to_string(options.seconds);
    std::string sizeArg = "--sizes=" + std::to_string(size.width) + "x" + std::to_string(size.height);
    // From two seconds in: the start of the program and of the session are not a frame's cost.
    std::string command = "perf record -q -F 1999 -D 2000 -o '" + data.string() + "' -- '" + self + "' --session-only='" +
                          clip.string() + "' " + sizeArg + " " + seconds + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::printf("  stages: perf record failed (is perf installed and allowed?)\n");
        return false;
    }
    std::string report = CommandOutput("perf report -q -i '" + data.string() +
                                "' --comm bench_engine --sort dso,sym --percent-limit 0 --stdio 2>/dev/null");
    std::map<std::string, double> stages;
    size_t at = 0;
    while (at < report.size()) {
        size_t end = report.find('\n', at);
        std::string line = report.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? report.size() : end + 1;
        double percent = 0;
        char module[256] = {}, symbol[512] = {};
        // "    12.34%  libavcodec.so.59  [.] ff_something" (the session's process only: not the
        // ffprobe run on its file after the stop)
        if (std::sscanf(line.c_str(), " %lf%% %255s [%*c] %511[^\n]", &percent, module, symbol) != 3) continue;
        stages[StageOf(module, symbol)] += percent;
    }
    double total = 0;
    for (auto& [stage, percent] : stages) total += percent;
    if (total <= 0) {
        std::printf("  stages: the profile holds no samples\n");
        return false;
    }
    std::printf("  session by stage (perf, preview off; %.3f ms/frame, %.3f above the floor; \"copies\" are memory copies, "
                "nearly all the overlay's and the encoder's whole-frame copies, \"other\" is the kernel's scheduling and "
                "interrupts, the rest of the C library, the event loop):\n",
                sessionMs, sessionMs - floorMs);
    for (const char* stage : {"capture", "conversion", "overlay", "copies", "encoder", "mux", "other"})
        std::printf("    %-10s %5.1f%%  ~%.3f ms/frame\n", stage, 100.0 * stages[stage] / total,
                    sessionMs * stages[stage] / total);
    return true;
}

int RunComparisons(const fs::path& dir, const fs::path& logo, const Options& options) {
    int rc = 0;
    for (const Size& size : options.sizes) {
        fs::path clip = dir / ("clip-" + std::to_string(size.width) + "x" + std::to_string(size.height) + ".y4m");
        if (!WriteClip(clip, size) || !UseClipCamera(dir, clip)) {
            std::printf("cannot write the clip %s\n", clip.c_str());
            return 1;
        }
        std::printf("== %dx%d %d fps: the same %d-frame clip, text+date+logo, %s %d kb/s, AVI\n", size.width, size.height,
                    size.rate, kClipFrames, kCompressor, kBitRateKbps);
        std::fflush(stdout);
        Comparison off = Compare(dir, clip, logo, size, false, options);
        if (off.ratio < 0) return 1;
        Comparison on = Compare(dir, clip, logo, size, true, options);
        if (on.ratio < 0) return 1;
        const long frames = static_cast<long>(options.seconds) * size.rate;
        double floorMs = Floor(dir, clip, logo, size, frames, options);
        if (floorMs < 0) {
            std::printf("the FFmpeg floor (no overlay) failed to run\n");
            return 1;
        }
        std::printf("%dx%d ratio session/ffmpeg, CPU per frame, preview off: %.2f (target <= 0.90); "
                    "preview on: %.2f (target <= 1.00); load %s\n",
                    size.width, size.height, off.ratio, on.ratio, LoadAverage().c_str());
        std::printf("  floor (ffmpeg, no overlay) %.3f ms/frame; session above it %.3f ms/frame (preview off), "
                    "ffmpeg's overlays %.3f ms/frame\n",
                    floorMs, off.sessionMs - floorMs, off.ffmpegMs - floorMs);
        std::fflush(stdout);
        if (options.profile) ProfileStages(dir, clip, size, options, off.sessionMs, floorMs);
        std::error_code ignored;
        fs::remove(clip, ignored);
    }
    return rc;
}

// One session run alone (for the profiler): the camera playing the given clip, preview off.
int RunSessionOnly(const fs::path& dir, const fs::path& logo, const Options& options) {
    const Size& size = options.sizes.front();
    if (!UseClipCamera(dir, options.sessionClip)) return 1;
    SessionResult s = RecordSession(kClipCamera, dir / "session.avi", logo, size.width, size.height,
                                    options.sessionPreview, options.seconds);
    if (s.file.frames > 0)
        std::printf("session %.3f ms/frame (%ld frames in %.2f s, CPU %.3f s)\n",
                    s.cpuSeconds * 1000.0 / static_cast<double>(s.file.frames), s.file.frames, s.wallSeconds,
                    s.cpuSeconds);
    return s.ok ? 0 : 1;
}

// The camera as a fixed-caps device of one capability, 1920x1080 RGB24 at 30 fps.
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
    SessionResult s = RecordSession(kCamera, file, logo, 1920, 1080, true, options.seconds);
    if (!s.ok) {
        std::printf("1920x1080: the session did not record (%s)\n", s.file.Text().c_str());
        return 1;
    }
    double expected = s.wallSeconds * 30.0;
    std::printf("1920x1080 30 fps, text+date+logo, preview on, %s, pinned to core %d, %.2f s recorded, load %s:\n",
                kCompressor, cpu, s.wallSeconds, LoadAverage().c_str());
    std::printf("  frames in the file %ld, expected %.0f (%.1f%%); file %s\n", s.file.frames, expected,
                100.0 * static_cast<double>(s.file.frames) / expected, s.file.Text().c_str());
    std::printf("  dropped: last Capturing event %d (%d events), IAMDroppedFrames dropped %ld, not dropped %ld\n",
                s.capturingDropped, s.capturingEvents, static_cast<long>(s.dropped), static_cast<long>(s.notDropped));
    if (!s.droppedFrames.empty()) {
        std::printf("  frames lost:");
        for (LONG n : s.droppedFrames) std::printf(" %ld", static_cast<long>(n));
        std::printf("%s\n", s.dropped > static_cast<LONG>(s.droppedFrames.size()) ? " ..." : "");
    }
    std::printf("  CPU %.3f s = %.3f ms/frame (%.0f%% of the core)\n", s.cpuSeconds,
                s.cpuSeconds * 1000.0 / static_cast<double>(s.file.frames), 100.0 * s.cpuSeconds / s.wallSeconds);
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

std::vector<Size> ParseSizes(const std::string& list) {
    std::vector<Size> sizes;
    for (size_t at = 0; at < list.size();) {
        size_t comma = list.find(',', at);
        std::string item = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        int w = 0, h = 0;
        if (std::sscanf(item.c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w % 2 == 0 && h % 2 == 0)
            sizes.push_back({w, h, h >= 720 ? 30 : 25});
        at = comma == std::string::npos ? list.size() : comma + 1;
    }
    return sizes;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--seconds=", 0) == 0) o.seconds = std::max(1, std::atoi(a.c_str() + 10));
        else if (a.rfind("--runs=", 0) == 0) o.runs = std::max(1, std::atoi(a.c_str() + 7));
        else if (a.rfind("--sizes=", 0) == 0) {
            if (auto sizes = ParseSizes(a.substr(8)); !sizes.empty()) o.sizes = sizes;
        } else if (a == "--no-hd") o.hd = false;
        else if (a == "--hd-only") o.hdOnly = true;
        else if (a == "--profile") o.profile = true;
        else if (a.rfind("--session-only=", 0) == 0) o.sessionClip = a.substr(15);
        else if (a == "--preview") o.sessionPreview = true;
    }
    return o;
}
}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    // The encoder's warnings (clipped coefficients at a low bit rate) would bury the figures.
    av_log_set_level(AV_LOG_ERROR);
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
    fs::path dir = MakeBenchEnvironment();
    if (dir.empty()) return 1;
    QApplication app(argc, argv);
    int rc = 1;
    fs::path logo = dir / "logo.bmp";
    StoreSettings(kCompressor, {DefaultQuality(kCompressor), kBitRateKbps, kKeyFrameEvery});
    if (RegisterOverlayModule() && WriteLogo(logo)) {
        if (options.hdOnly) {
            rc = UseHdCamera(dir) ? RunPinnedHd(dir, logo, options) : 1;
        } else if (!options.sessionClip.empty()) {
            rc = RunSessionOnly(dir, logo, options);
        } else {
            rc = RunComparisons(dir, logo, options);
            if (rc == 0 && options.hd) rc = SpawnPinnedHd(options);
        }
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return rc;
}
