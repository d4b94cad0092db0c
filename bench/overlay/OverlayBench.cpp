// Cost of one frame through the overlay filter with text, date and logo on, against GStreamer and
// FFmpeg doing the same drawing on the same RGB24 frames in this run; and the filter's frame copy
// alone against a plain memcpy. Prints ms per frame and the ratios after the benchmark table; the
// target is at most FFmpeg's cost, GStreamer's the goal.
// Before anything is timed the filter must take every setting and a first frame, and a pixel
// under the text must have changed: a filter that fails would otherwise win. The exit code is 1
// when the filter or a reference failed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "bench/overlay/ReferenceOverlays.h"
#include "overlay/OverlayTransformFilter.h"
#include "tests/overlay/OverlayTestSamples.h"

namespace {
constexpr const char* kText = "Orvanta overlay benchmark 0123456789";
constexpr int kFrames = 8;  // distinct source frames, cycled
constexpr int kTextSize = 24, kDateSize = 16;
constexpr int kTextX = 10, kTextY = 10, kDateX = 10, kDateY = 60, kLogoX = 20, kLogoY = 120;

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}};

std::string LogoPath() { return (std::filesystem::temp_directory_path() / "orvanta-bench-logo.png").string(); }

// A 160x80 logo with transparent corners, as a real one would have.
void WriteLogo() {
    QImage logo(160, 80, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 90, 200));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(0, 0, 159, 79, 20, 20);
    p.setPen(Qt::white);
    p.setFont(QFont("DejaVu Sans", 20, QFont::Bold));
    p.drawText(QRect(0, 0, 160, 80), Qt::AlignCenter, "LOGO");
    p.end();
    logo.save(QString::fromStdString(LogoPath()));
}

// Bottom-up RGB24 frames with padded rows (none at these widths), the same for every contender.
const std::vector<std::vector<uint8_t>>& Frames(Size s) {
    static std::map<int, std::vector<std::vector<uint8_t>>> cache;
    auto& frames = cache[s.width];
    if (frames.empty()) {
        const size_t bytes = static_cast<size_t>(s.width) * 3 * s.height;
        for (int f = 0; f < kFrames; ++f) {
            std::vector<uint8_t> frame(bytes);
            uint32_t seed = 12345u + static_cast<uint32_t>(f);
            for (size_t i = 0; i < bytes; ++i) {
                seed = seed * 1664525u + 1013904223u;
                frame[i] = static_cast<uint8_t>((i / 3 % s.width) / 4 + (seed >> 28));
            }
            frames.push_back(std::move(frame));
        }
    }
    return frames;
}

OverlayScene Scene(Size s) {
    OverlayScene scene;
    scene.width = s.width;
    scene.height = s.height;
    scene.text = kText;
    scene.fontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    scene.fontFamily = "DejaVu Sans";
    scene.textSize = kTextSize;
    scene.textX = kTextX;
    scene.textY = kTextY;
    scene.dateSize = kDateSize;
    scene.dateX = kDateX;
    scene.dateY = kDateY;
    scene.logoPath = LogoPath();
    scene.logoX = kLogoX;
    scene.logoY = kLogoY;
    scene.frames = &Frames(s);
    return scene;
}

void BM_Memcpy(benchmark::State& state, Size s) {
    const auto& frames = Frames(s);
    std::vector<uint8_t> out(frames[0].size());
    int i = 0;
    for (auto _ : state) {
        std::memcpy(out.data(), frames[i++ % kFrames].data(), out.size());
        benchmark::ClobberMemory();
    }
}

// The filter itself, fed through Transform with samples over the shared frames.
class LaminaRun {
public:
    LaminaRun(Size s, bool overlays) : size_(s) {
        filter_ = MakeCom<OverlayTransformFilter>();
        AM_MEDIA_TYPE type = MakeVideoType(MEDIASUBTYPE_RGB24, s.width, s.height, 333333);
        Check(filter_->Input()->ReceiveConnection(MakeCom<overlay_test::UpstreamPin>().Get(), &type), "ReceiveConnection");
        Check(filter_->SetShowText(overlays), "SetShowText");
        Check(filter_->SetShowDate(overlays), "SetShowDate");
        Check(filter_->SetShowImage(overlays), "SetShowImage");
        Check(filter_->SetText(kText), "SetText");
        Check(filter_->SetTextFont("DejaVu Sans", kTextSize), "SetTextFont");
        Check(filter_->SetTextColor(255, 255, 255), "SetTextColor");
        Check(filter_->SetTextPosition(kTextX, kTextY), "SetTextPosition");
        Check(filter_->SetDateFont("DejaVu Sans", kDateSize), "SetDateFont");
        Check(filter_->SetDateFormat(7), "SetDateFormat");
        Check(filter_->SetDatePosition(kDateX, kDateY), "SetDatePosition");
        Check(filter_->SetImagePosition(kLogoX, kLogoY), "SetImagePosition");
        Check(filter_->SetImageKey(0, 0, 0, 100), "SetImageKey");
        Check(filter_->SetImageKeyEnabled(0), "SetImageKeyEnabled");
        Check(filter_->SetImagePath(LogoPath().c_str()), "SetImagePath");
        const size_t bytes = Frames(s)[0].size();
        for (int f = 0; f < kFrames; ++f) {
            auto in = MakeCom<overlay_test::TestSample>(bytes);
            std::memcpy(in->buffer.data(), Frames(s)[f].data(), bytes);
            in->actual = static_cast<LONG>(bytes);
            inputs_.push_back(in);
        }
        output_ = MakeCom<overlay_test::TestSample>(bytes);
        if (!error_.empty()) return;
        // A first frame: it must come through, and with the overlays on the text must show.
        if (!Frame(0)) return;
        if (overlays && !TextDrawn()) error_ = "the filter ran but drew no text";
    }
    bool Frame(int i) {
        HRESULT hr = filter_->Transform(inputs_[i % kFrames].Get(), output_.Get());
        if (hr != S_OK) {
            error_ = "Transform failed (" + std::to_string(hr) + ")";
            return false;
        }
        return true;
    }
    const std::string& Error() const { return error_; }

private:
    void Check(HRESULT hr, const char* call) {
        if (FAILED(hr) && error_.empty()) error_ = std::string(call) + " failed (" + std::to_string(hr) + ")";
    }
    // Whether some pixel of the text's first line differs between frame 0 and what came out.
    bool TextDrawn() const {
        const auto& in = inputs_[0]->buffer;
        const auto& out = output_->buffer;
        const size_t stride = static_cast<size_t>(size_.width) * 3;
        for (int y = kTextY; y < kTextY + kTextSize; ++y) {
            const size_t row = static_cast<size_t>(size_.height - 1 - y) * stride;  // bottom-up
            for (int x = kTextX; x < kTextX + 10 * kTextSize; ++x)
                for (int c = 0; c < 3; ++c)
                    if (in[row + static_cast<size_t>(x) * 3 + c] != out[row + static_cast<size_t>(x) * 3 + c]) return true;
        }
        return false;
    }

    Size size_;
    ComPtr<OverlayTransformFilter> filter_;
    std::vector<ComPtr<overlay_test::TestSample>> inputs_;
    ComPtr<overlay_test::TestSample> output_;
    std::string error_;
};

void RunLamina(benchmark::State& state, Size s, bool overlays) {
    LaminaRun run(s, overlays);
    if (!run.Error().empty()) {
        state.SkipWithError(run.Error().c_str());
        return;
    }
    int i = 0;
    for (auto _ : state) {
        if (!run.Frame(i++)) {
            state.SkipWithError(run.Error().c_str());
            break;
        }
    }
}

void BM_LaminaCopy(benchmark::State& state, Size s) { RunLamina(state, s, false); }

void BM_Lamina(benchmark::State& state, Size s) { RunLamina(state, s, true); }

void BM_Reference(benchmark::State& state, Size s, std::unique_ptr<ReferenceRun> (*make)(const OverlayScene&)) {
    std::unique_ptr<ReferenceRun> run = make(Scene(s));
    if (!run->Ready()) {
        state.SkipWithError(run->Error().c_str());
        return;
    }
    int i = 0;
    for (auto _ : state) {
        if (!run->Frame(i++)) {
            state.SkipWithError(run->Error().c_str());
            break;
        }
    }
}

// Collects the mean CPU time per frame of every run for the summary. CPU time of the whole
// process, because GStreamer draws on its own streaming thread, and because the machine is shared:
// wall time measures the neighbours as much as the work.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.iterations > 0)
                msPerFrame[run.run_name.function_name] = run.GetAdjustedCPUTime();  // in the run's unit: ms
            else
                failed.push_back(run.run_name.function_name + ": " + run.error_message);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> msPerFrame;
    std::vector<std::string> failed;
};

std::string Name(const char* what, Size s) { return std::string(what) + "/" + std::to_string(s.width) + "x" + std::to_string(s.height); }
}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    InitReferences(&argc, &argv);
    benchmark::Initialize(&argc, argv);
    WriteLogo();
    for (Size s : kSizes) {
        benchmark::RegisterBenchmark(Name("Memcpy", s).c_str(), BM_Memcpy, s)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
        benchmark::RegisterBenchmark(Name("LaminaCopy", s).c_str(), BM_LaminaCopy, s)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
        benchmark::RegisterBenchmark(Name("Lamina", s).c_str(), BM_Lamina, s)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
        benchmark::RegisterBenchmark(Name("GStreamer", s).c_str(), BM_Reference, s, MakeGStreamerRun)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
        benchmark::RegisterBenchmark(Name("FFmpeg", s).c_str(), BM_Reference, s, MakeFfmpegRun)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto get = [&](const char* what, Size s) {
        auto it = reporter.msPerFrame.find(Name(what, s));
        return it == reporter.msPerFrame.end() ? -1.0 : it->second;
    };
    std::printf("\nms per frame (text + date + logo)    Lamina  GStreamer  FFmpeg   Lamina/GStreamer  Lamina/FFmpeg\n");
    for (Size s : kSizes) {
        double lamina = get("Lamina", s), gst = get("GStreamer", s), ff = get("FFmpeg", s);
        std::printf("  %4dx%-4d                          %7.3f  %9.3f  %6.3f   %16.2f  %13.2f\n", s.width, s.height, lamina,
                    gst, ff, gst > 0 ? lamina / gst : 0.0, ff > 0 ? lamina / ff : 0.0);
    }
    std::printf("frame copy alone                      Lamina  memcpy   Lamina/memcpy\n");
    for (Size s : kSizes) {
        double copy = get("LaminaCopy", s), mem = get("Memcpy", s);
        std::printf("  %4dx%-4d                          %7.3f  %6.3f   %13.2f\n", s.width, s.height, copy, mem,
                    mem > 0 ? copy / mem : 0.0);
    }
    for (Size s : kSizes) {
        double lamina = get("Lamina", s), gst = get("GStreamer", s), ff = get("FFmpeg", s);
        if (lamina <= 0 || gst <= 0 || ff <= 0) {
            reporter.failed.push_back(Name("Lamina, GStreamer or FFmpeg", s) + ": no measurement");
            continue;
        }
        std::printf("%dx%d ratio Lamina/FFmpeg, CPU per frame: %.2f (target <= 1.00: %s); Lamina/GStreamer %.2f "
                    "(the goal, <= 1.00: %s)\n",
                    s.width, s.height, lamina / ff, lamina <= ff ? "holds" : "missed", lamina / gst,
                    lamina <= gst ? "holds" : "missed");
    }
    std::filesystem::remove(LogoPath());
    for (const std::string& why : reporter.failed) std::printf("FAILED %s\n", why.c_str());
    return reporter.failed.empty() ? 0 : 1;
}
