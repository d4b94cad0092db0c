// Encode time per frame at quality 90: our encoder (EncodeJpeg on a bitmap already copied into a
// DibImage) against libjpeg-turbo (float DCT, baseline, 4:2:0, quality 90, reading the same
// bottom-up BGR rows). Prints the times per frame and our time over libjpeg-turbo's.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "imaging/jpeg/DibImage.h"
#include "imaging/jpeg/JpegSnapshot.h"
#include "tests/imaging/jpeg/TestPictures.h"

namespace {

struct Frame {
    std::string name;
    int width, height;
    Dib24 dib;
};

std::vector<uint8_t> EncodeWithTurbo(const Dib24& dib, std::vector<uint8_t>& buffer) {
    jpeg_compress_struct c;
    jpeg_error_mgr error;
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* out = buffer.data();
    unsigned long size = buffer.size();
    jpeg_mem_dest(&c, &out, &size);
    const int width = dib.header.biWidth, height = dib.header.biHeight;
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);  // 2x2, 1x1, 1x1 sampling, fixed Huffman tables
    jpeg_set_quality(&c, 90, TRUE);
    c.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&c, TRUE);
    const size_t stride = (3 * static_cast<size_t>(width) + 3) / 4 * 4;
    std::vector<JSAMPROW> rows(height);
    for (int y = 0; y < height; ++y) {
        rows[y] = const_cast<JSAMPROW>(&dib.bits[(height - 1 - y) * stride]);
    }
    while (c.next_scanline < c.image_height) {
        jpeg_write_scanlines(&c, rows.data() + c.next_scanline, c.image_height - c.next_scanline);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> result(out, out + size);
    if (out != buffer.data()) std::free(out);
    jpeg_destroy_compress(&c);
    return result;
}

// Keeps the fastest repetition of every benchmark (CPU and wall time per frame) for the summary:
// on a shared machine the minimum is the least disturbed figure of both encoders.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
                cpuMs[run.run_name.function_name] = run.GetAdjustedCPUTime();
                realMs[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuMs, realMs;
};

double Min(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Frame> frames;
    for (auto [width, height] : {std::pair{640, 480}, {1920, 1080}}) {
        std::string size = std::to_string(width) + "x" + std::to_string(height);
        frames.push_back({"photo " + size, width, height, ToDib24(PhotoPicture(width, height, 1))});
        frames.push_back(
            {"chart " + size, width, height, ToDib24(SyntheticPicture(width, height))});
    }
    for (const Frame& frame : frames) {
        const Dib24* dib = &frame.dib;
        benchmark::RegisterBenchmark(("ours/" + frame.name).c_str(),
                                     [dib](benchmark::State& state) {
                                         DibImage image(dib->header, {}, dib->bits);
                                         size_t bytes = 0;
                                         for (auto _ : state) {
                                             std::vector<uint8_t> jpeg = EncodeJpeg(image, 90);
                                             bytes = jpeg.size();
                                             benchmark::DoNotOptimize(jpeg.data());
                                         }
                                         state.counters["bytes"] = static_cast<double>(bytes);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.3)
            ->Repetitions(5)
            ->ComputeStatistics("min", Min)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(
            ("libjpeg-turbo/" + frame.name).c_str(),
            [dib](benchmark::State& state) {
                std::vector<uint8_t> buffer(std::max<size_t>(dib->bits.size(), 10240));
                size_t bytes = 0;
                for (auto _ : state) {
                    std::vector<uint8_t> jpeg = EncodeWithTurbo(*dib, buffer);
                    bytes = jpeg.size();
                    benchmark::DoNotOptimize(jpeg.data());
                }
                state.counters["bytes"] = static_cast<double>(bytes);
            })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.3)
            ->Repetitions(5)
            ->ComputeStatistics("min", Min)
            ->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    std::printf("\nencode time per frame at quality 90, fastest of 5 repetitions (ms)\n");
    std::printf("%-18s %10s %10s %14s %14s %10s\n", "picture", "ours cpu", "ours wall", "turbo cpu",
                "turbo wall", "ratio cpu");
    for (const Frame& frame : frames) {
        const std::string ours = "ours/" + frame.name, turbo = "libjpeg-turbo/" + frame.name;
        if (!collector.cpuMs.count(ours) || !collector.cpuMs.count(turbo)) continue;
        std::printf("%-18s %10.2f %10.2f %14.2f %14.2f %10.2f\n", frame.name.c_str(),
                    collector.cpuMs[ours], collector.realMs[ours], collector.cpuMs[turbo],
                    collector.realMs[turbo], collector.cpuMs[ours] / collector.cpuMs[turbo]);
    }
    benchmark::Shutdown();
    return 0;
}
