// Screen recording cost, on a private Xvfb with content that changes every frame:
//
// 1. 1280x720 at 25 frames a second to FLV (flv1 + MP3) with the cursor, for 10 s: the process
//    CPU time of our recording (screen source, Flash writer, audio from the virtual microphone)
//    per frame, against `ffmpeg -f x11grab -draw_mouse 1` writing flv1 + MP3 at the same size,
//    rate and bit rates from the same screen, measured from its rusage, each side's time divided
//    by the frames in its own file, both files' facts printed. Target: at most 1.0x. The exit
//    code is 1 when either side wrote no file.
// 2. Grab + cursor + conversion to a bottom-up RGB24 DIB of one 1920x1080 frame: the screen source
//    running without a clock (as fast as a null renderer takes its frames).
// 3. 1920x1080 at 30 frames a second for 10 s with the process bound to one core: the source's
//    dropped-frame count, which must be 0.
//
// Not a timed test: it prints what it measured.
#include <QApplication>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/support/FileFacts.h"
#include "components/pavisse/ScreenSourceFilter.h"
#include "components/scrivel/ScrivelCtrl.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/ModuleLoader.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/filters/StockFilters.h"

// Last: Xlib defines names (Bool, Status) that Qt's headers use.
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 10;
constexpr double kSameBitRate = 0.15;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A private X server of that size; its display name, or empty.
struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        const std::string fd = std::to_string(fds[1]);
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) display = ":" + number;
    }
    ~Xvfb() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Content that changes every frame: bars moving across the whole screen.
class Painter {
public:
    explicit Painter(const std::string& display) : thread_([this, display] { Run(display); }) {}
    ~Painter() {
        stop_ = true;
        thread_.join();
    }

private:
    void Run(const std::string& name) {
        Display* d = XOpenDisplay(name.c_str());
        if (!d) return;
        const int s = DefaultScreen(d);
        const int w = DisplayWidth(d, s), h = DisplayHeight(d, s);
        Window root = RootWindow(d, s);
        GC gc = XCreateGC(d, root, 0, nullptr);
        for (int step = 0; !stop_; ++step) {
            for (int bar = 0; bar < 16; ++bar) {
                XSetForeground(d, gc, static_cast<unsigned long>((bar * 0x101F3B + step * 0x030507) & 0xFFFFFF));
                XFillRectangle(d, root, gc, (bar * w / 16 + step * 7) % w, 0, static_cast<unsigned>(w / 16),
                               static_cast<unsigned>(h));
            }
            XSync(d, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        XFreeGC(d, gc);
        XCloseDisplay(d);
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.ReleaseAndGetAddressOf());
    ComPtr<IPin> pin;
    PIN_DIRECTION direction;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK)
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    return {};
}

struct GraphRun {
    double cpuSeconds = 0;
    LONG delivered = 0;
    LONG dropped = 0;
};

// source -> sink (the Flash writer, or a null renderer), with or without the graph clock.
GraphRun RunSource(const std::string& display, LONG width, LONG height, int fps, bool cursor, IBaseFilter* sink,
                   const Guid& subtype, bool clock, double seconds) {
    GraphRun run;
    ComPtr<IGraphBuilder> graph;
    if (FAILED(CreateFilterGraphObject(CLSID_FilterGraph, &graph))) return run;
    ComPtr<ScreenSourceFilter> source = MakeCom<ScreenSourceFilter>();
    source->SetDisplayName(display.c_str());
    source->SetOutputSize(width, height);
    source->SetFrameInterval(UNITS / fps);
    source->SetCaptureCursor(cursor);
    RECT rect{0, 0, width, height};
    source->SetSourceRect(&rect);
    graph->AddFilter(source.Get(), "Screen");
    graph->AddFilter(sink, "Sink");
    AM_MEDIA_TYPE type = MakeVideoType(subtype, width, height, UNITS / fps);
    if (FAILED(graph->ConnectDirect(FirstPin(source.Get(), PINDIR_OUTPUT).Get(), FirstPin(sink, PINDIR_INPUT).Get(),
                                    &type))) {
        std::fprintf(stderr, "bench_screen: cannot connect the source\n");
        return run;
    }
    if (!clock) QueryAs<IMediaFilter>(graph.Get())->SetSyncSource(nullptr);
    ComPtr<IMediaControl> control = QueryAs<IMediaControl>(graph.Get());
    const double before = ProcessCpuSeconds();
    if (FAILED(control->Run())) {
        std::string error;
        source->GetLastError(&error);
        std::fprintf(stderr, "bench_screen: the source did not run: %s\n", error.c_str());
        return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    control->Stop();
    run.cpuSeconds = ProcessCpuSeconds() - before;
    source->Pin()->GetNumNotDropped(&run.delivered);
    source->Pin()->GetNumDropped(&run.dropped);
    return run;
}

// Our whole recording: the screen capture control to FLV with the virtual microphone's sound.
GraphRun RecordFlv(const fs::path& file) {
    GraphRun run;
    ComPtr<ScrivelCtrl> control = MakeCom<ScrivelCtrl>();
    DispatchDriver d(ComPtr<IDispatch>(static_cast<IDispatch*>(control.Get())));
    const std::pair<DISPID, Variant> settings[] = {
        {28, Variant(int32_t{3})},       {34, Variant(int16_t{1280})},   {33, Variant(int16_t{720})},
        {32, Variant(int32_t{1000000})}, {29, Variant(int32_t{64000})},  {30, Variant(int32_t{2})},
        {31, Variant(int32_t{44100})},   {12, Variant(int16_t{1280})},   {13, Variant(int16_t{720})},
        {16, Variant(int16_t{25})},      {15, Variant(true)},            {5, Variant(true)},
        {35, Variant(1.0)},              {3, Variant(file.string())},
    };
    for (const auto& [id, value] : settings) d.PutProperty(id, value);
    d.Call(49, {Variant(int16_t{0}), Variant(int16_t{0}), Variant(int16_t{1280}), Variant(int16_t{720})});
    const double before = ProcessCpuSeconds();
    Variant result;
    if (FAILED(d.Call(40, {}, &result)) || control->Recording() == false) {
        std::fprintf(stderr, "bench_screen: the recording did not start: %s\n", control->LastError().c_str());
        return run;
    }
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
    run.dropped = control->DroppedFrames();
    d.Call(41);
    run.cpuSeconds = ProcessCpuSeconds() - before;
    return run;
}

// ffmpeg's CPU seconds for the same recording; negative when it failed.
double FfmpegCpuSeconds(const std::string& display, const fs::path& file) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const std::string command = "ffmpeg -nostdin -v error -y -f x11grab -draw_mouse 1 -framerate 25 -video_size "
                                "1280x720 -i " + display + "+0,0 -f lavfi -i sine=frequency=440:sample_rate=44100 "
                                "-t " + std::to_string(kSeconds) + " -c:v flv -b:v 1000k -c:a libmp3lame -b:a 64k "
                                "-ar 44100 -ac 2 '" + file.string() + "'";
    if (std::system(command.c_str()) != 0) return -1;
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("bench_screen." + std::to_string(getpid()));
    fs::create_directories(dir);
    // A registry of its own holding the screen source, and only the virtual devices.
    setenv("ORVANTA_REGISTRY", (dir / "registry").c_str(), 1);
    setenv("ORVANTA_DEVICE_BACKENDS", "virtual", 1);
    RegisterFilterGraphClasses();
    HMODULE pavisse = nullptr;
    if (FAILED(LoadModule(fs::path(ORVANTA_DIST_DIR) / "system" / "Pavisse.so", pavisse))) {
        std::fprintf(stderr, "bench_screen: %s\n", LastModuleError().c_str());
        return 1;
    }
    auto registerServer = GetProcAddressAs<DllRegisterServerFn>(pavisse, "DllRegisterServer");
    if (!registerServer || FAILED(registerServer())) {
        std::fprintf(stderr, "bench_screen: Pavisse.so did not register\n");
        return 1;
    }

    bool failed = false;
    {
        Xvfb server(1280, 720);
        if (server.display.empty()) {
            std::fprintf(stderr, "bench_screen: Xvfb did not start\n");
            return 1;
        }
        Painter painter(server.display);
        setenv("DISPLAY", server.display.c_str(), 1);
        const fs::path oursFile = dir / "ours.flv", theirsFile = dir / "ffmpeg.flv";
        GraphRun ours = RecordFlv(oursFile);
        const double theirs = FfmpegCpuSeconds(server.display, theirsFile);
        // Each side's CPU over the frames its own file holds: a side that dropped or repeated
        // frames is not credited for work it did not do.
        const FileFacts oursFacts = Probe(oursFile), theirsFacts = Probe(theirsFile);
        std::printf("  our file:    %s\n  ffmpeg file: %s\n  bit rates %s\n", oursFacts.Text().c_str(),
                    theirsFacts.Text().c_str(),
                    SameBitRate(oursFacts, theirsFacts, kSameBitRate) ? "within 15% of each other"
                                                                      : "NOT within 15% of each other");
        if (ours.cpuSeconds <= 0 || oursFacts.frames <= 0) {
            std::printf("FAILED our recording wrote no frames\n");
            failed = true;
        } else if (theirs < 0 || theirsFacts.frames <= 0) {
            std::printf("FAILED the FFmpeg reference did not run\n");
            failed = true;
        } else {
            const double oursMs = ours.cpuSeconds * 1000 / static_cast<double>(oursFacts.frames);
            const double theirsMs = theirs * 1000 / static_cast<double>(theirsFacts.frames);
            const double ratio = oursMs / theirsMs;
            std::printf("1280x720 25 fps to FLV (flv1 + MP3), cursor, %d s: ours %.2f ms CPU/frame (%ld dropped), "
                        "ffmpeg x11grab %.2f ms CPU/frame: ratio %.2fx (target <= 1.0x: %s)\n",
                        kSeconds, oursMs, static_cast<long>(ours.dropped), theirsMs, ratio,
                        ratio <= 1.0 ? "holds" : "missed");
        }
    }
    {
        Xvfb server(1920, 1080);
        if (server.display.empty()) return 1;
        Painter painter(server.display);
        ComPtr<IBaseFilter> sink;
        CreateFilterGraphObject(CLSID_NullRenderer, &sink);
        GraphRun fast = RunSource(server.display, 1920, 1080, 30, true, sink.Get(), MEDIASUBTYPE_RGB24, false, 3);
        std::printf("1920x1080 grab + cursor + conversion to RGB24: %.2f ms CPU/frame (%ld frames)\n",
                    fast.delivered ? fast.cpuSeconds * 1000 / fast.delivered : 0.0, static_cast<long>(fast.delivered));

        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(0, &one);
        sched_setaffinity(0, sizeof one, &one);
        CreateFilterGraphObject(CLSID_NullRenderer, &sink);
        GraphRun paced = RunSource(server.display, 1920, 1080, 30, true, sink.Get(), MEDIASUBTYPE_RGB32, true, kSeconds);
        std::printf("1920x1080 30 fps for %d s on one core: %ld frames, %ld dropped (target 0)\n", kSeconds,
                    static_cast<long>(paced.delivered), static_cast<long>(paced.dropped));
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return failed ? 1 : 0;
}
