// The filter graph's cost per frame against a plain copy of the same frames.
//
// Graph: synthetic source (it copies its picture into each sample) -> Smart Tee; capture output ->
// Null Renderer; preview output -> Sample Grabber -> Null Renderer. It runs without a clock, so
// frames go as fast as the graph takes them; each measurement covers 240 frames of the running
// graph (steady state: starting and stopping are not part of a frame's cost).
//
// The target (at most 1.5) applies to the graph as the capture session runs it: the grabber
// buffering samples for snapshots. It then holds the last frame while the next one is filled, so
// the source writes two buffers in turn, and the reference is a copy of the same picture into two
// buffers in turn (once a picture and two buffers no longer fit in the cache, 1920x1080 RGB24 on a
// machine with a 16 MB last-level cache, that costs memory bandwidth that no graph can save).
// Printed beside it: the grabber not buffering against the plainest copy there is, the same
// picture once per frame into one buffer. Everything is timed in CPU time of the whole process
// (every thread's work counts, and a busy machine does not distort the wall clock of one side
// only). The exit code is 1 when a measurement is missing (a graph that did not connect or run).
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/dshow/filters/NullRenderer.h"
#include "platform/dshow/filters/SampleGrabber.h"
#include "platform/dshow/filters/SmartTee.h"
#include "platform/dshow/graph/FilterGraph.h"
#include "platform/dshow/graph/PinQueries.h"
#include "platform/dshow/synthetic/SyntheticVideoSource.h"

namespace {
constexpr int kFramesPerRun = 240;

struct Size {
    LONG width;
    LONG height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}};

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, const char* name) {
    ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

void Copy(benchmark::State& state, size_t buffers) {
    Size size = kSizes[state.range(0)];
    SyntheticVideoFormat format;
    format.width = size.width;
    format.height = size.height;
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(format);
    const std::vector<BYTE>& picture = source->Picture();
    std::vector<std::vector<BYTE>> ring(buffers, std::vector<BYTE>(picture.size(), 1));
    for (auto _ : state) {
        double begin = ProcessCpuSeconds();
        for (int i = 0; i < kFramesPerRun; ++i) {
            BYTE* target = ring[static_cast<size_t>(i) % buffers].data();
            std::memcpy(target, picture.data(), picture.size());
            benchmark::DoNotOptimize(target);
        }
        benchmark::ClobberMemory();
        state.SetIterationTime(ProcessCpuSeconds() - begin);
    }
    state.SetItemsProcessed(state.iterations() * kFramesPerRun);
}

void PlainCopy(benchmark::State& state) { Copy(state, 1); }
void PlainCopyRing(benchmark::State& state) { Copy(state, 2); }

void Graph(benchmark::State& state) {
    Size size = kSizes[state.range(0)];
    bool buffering = state.range(1) != 0;
    SyntheticVideoFormat format;
    format.width = size.width;
    format.height = size.height;

    ComPtr<FilterGraph> graph = MakeCom<FilterGraph>();
    IGraphBuilder* builder = graph.Get();
    QueryAs<IMediaFilter>(builder)->SetSyncSource(nullptr);
    ComPtr<SyntheticVideoSource> source = MakeCom<SyntheticVideoSource>(format);
    ComPtr<SmartTee> tee = MakeCom<SmartTee>();
    ComPtr<NullRenderer> captureSink = MakeCom<NullRenderer>();
    ComPtr<SampleGrabber> grabber = MakeCom<SampleGrabber>();
    ComPtr<NullRenderer> previewSink = MakeCom<NullRenderer>();
    grabber->SetBufferSamples(buffering ? TRUE : FALSE);
    builder->AddFilter(source.Get(), "source");
    builder->AddFilter(tee.Get(), "Smart Tee");
    builder->AddFilter(captureSink.Get(), "capture");
    builder->AddFilter(grabber.Get(), "Grabber");
    builder->AddFilter(previewSink.Get(), "preview");
    bool connected = SUCCEEDED(builder->ConnectDirect(PinOf(source.Get(), "Capture").Get(), PinOf(tee.Get(), "Input").Get(), nullptr)) &&
                     SUCCEEDED(builder->ConnectDirect(PinOf(tee.Get(), "Capture").Get(), PinOf(captureSink.Get(), "In").Get(), nullptr)) &&
                     SUCCEEDED(builder->ConnectDirect(PinOf(tee.Get(), "Preview").Get(), PinOf(grabber.Get(), "Input").Get(), nullptr)) &&
                     SUCCEEDED(builder->ConnectDirect(PinOf(grabber.Get(), "Output").Get(), PinOf(previewSink.Get(), "In").Get(), nullptr));
    if (!connected) {
        state.SkipWithError("the graph did not connect");
        return;
    }
    IMediaControl* control = graph.Get();
    if (FAILED(control->Run())) {
        state.SkipWithError("the graph did not run");
        return;
    }
    // Past the start: pools committed, threads running, pages touched.
    while (captureSink->ReceivedCount() < 2 * kFramesPerRun) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (auto _ : state) {
        uint64_t until = captureSink->ReceivedCount() + kFramesPerRun;
        double begin = ProcessCpuSeconds();
        // Sleeping, not spinning: the waiting thread adds (almost) nothing to the process's time.
        while (captureSink->ReceivedCount() < until) std::this_thread::sleep_for(std::chrono::microseconds(500));
        state.SetIterationTime(ProcessCpuSeconds() - begin);
    }
    uint64_t captured = captureSink->ReceivedCount();
    control->Stop();
    state.SetItemsProcessed(state.iterations() * kFramesPerRun);
    state.counters["preview_share"] =
        benchmark::Counter(static_cast<double>(grabber->ReceivedCount()) / static_cast<double>(captured));
}

BENCHMARK(PlainCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(PlainCopyRing)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(Graph)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"size", "buffering"})->Unit(benchmark::kMillisecond)->UseManualTime();

// Collects the real time per run of each benchmark to print the ratios at the end.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // One run per benchmark, or (with --benchmark_repetitions) the median of the repetitions.
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // The aggregates come after the repetitions they sum up.
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                times_[run.run_name.str()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            std::string arg = "/";  // appended, not prepended: GCC's -O3 -Wrestrict misfires on that
            arg.append(std::to_string(i)).append("/manual_time");
            std::string graphArg = "/size:";
            graphArg.append(std::to_string(i)).append("/buffering:");
            auto copy = times_.find("PlainCopy" + arg);
            auto ring = times_.find("PlainCopyRing" + arg);
            auto graph = times_.find("Graph" + graphArg + "0/manual_time");
            auto buffered = times_.find("Graph" + graphArg + "1/manual_time");
            if (copy == times_.end() || ring == times_.end() || graph == times_.end() || buffered == times_.end() ||
                copy->second <= 0 || ring->second <= 0) {
                std::printf("%ldx%ld: a measurement is missing, no ratio\n", static_cast<long>(kSizes[i].width),
                            static_cast<long>(kSizes[i].height));
                continue;
            }
            double perFrameCopy = copy->second / kFramesPerRun;
            double perFrameRing = ring->second / kFramesPerRun;
            double perFrameGraph = graph->second / kFramesPerRun;
            double perFrameBuffered = buffered->second / kFramesPerRun;
            std::printf("%ldx%ld: graph as the session runs it (grabber buffering) %.3f ms/frame, copy into two "
                        "buffers in turn %.3f ms/frame (CPU): ratio %.2f (target <= 1.50)\n",
                        static_cast<long>(kSizes[i].width), static_cast<long>(kSizes[i].height), perFrameBuffered,
                        perFrameRing, perFrameBuffered / perFrameRing);
            std::printf("%ldx%ld: beside it, the grabber not buffering %.3f ms/frame against one plain copy %.3f "
                        "ms/frame: ratio %.2f\n",
                        static_cast<long>(kSizes[i].width), static_cast<long>(kSizes[i].height), perFrameGraph,
                        perFrameCopy, perFrameGraph / perFrameCopy);
            ++complete_;
        }
    }
    // Whether every size got all four measurements.
    bool Complete() const { return complete_ == std::size(kSizes); }

private:
    std::map<std::string, double> times_;
    size_t complete_ = 0;
};
}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Complete() ? 0 : 1;
}
