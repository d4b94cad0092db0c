#include "bench/broadcast/FrameDelays.h"

#include <algorithm>

namespace {
constexpr size_t kRun = 5;
constexpr uint32_t kMostStep = 3;  // a server may drop a frame or two, never reorder them
}  // namespace

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5))];
}

DelayFigures MeasureDelays(const std::vector<FrameArrival>& arrivals,
                           const std::function<std::optional<int64_t>(uint32_t)>& handedOverAt, int64_t liveFrom) {
    auto rises = [&](size_t k) {
        return arrivals[k].number > arrivals[k - 1].number && arrivals[k].number - arrivals[k - 1].number <= kMostStep;
    };
    std::vector<bool> inRun(arrivals.size(), false);
    for (size_t i = 0; i + kRun <= arrivals.size(); ++i) {
        bool rising = true;
        for (size_t k = i + 1; k < i + kRun && rising; ++k) rising = rises(k);
        if (rising)
            for (size_t k = i; k < i + kRun; ++k) inRun[k] = true;
    }
    DelayFigures f;
    std::vector<double> delays;
    for (size_t i = 0; i < arrivals.size(); ++i) {
        const FrameArrival& a = arrivals[i];
        std::optional<int64_t> in = handedOverAt(a.number);
        if (!inRun[i] || !in || a.at < *in) {
            ++f.guessed;
            continue;
        }
        if (f.firstWholeAt == 0) f.firstWholeAt = a.at;
        if (*in >= liveFrom) delays.push_back(static_cast<double>(a.at - *in) / 1e6);
    }
    f.frames = static_cast<int>(delays.size());
    f.medianMs = Percentile(delays, 0.5);
    f.p90Ms = Percentile(delays, 0.9);
    f.minMs = Percentile(delays, 0.0);
    f.maxMs = Percentile(delays, 1.0);
    return f;
}
