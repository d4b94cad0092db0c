#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// A frame number read from a decoded picture, and when that picture arrived (monotonic ns).
struct FrameArrival {
    uint32_t number;
    int64_t at;
};

struct DelayFigures {
    int frames = 0;   // live frames the delay is taken over
    int guessed = 0;  // numbers read out of sequence or before their hand-over: a decoder's guesses
    int64_t firstWholeAt = 0;  // the first picture whose number counts (0: none)
    double medianMs = -1, p90Ms = -1, minMs = -1, maxMs = -1;
};

// The delay of each live frame: its arrival minus its hand-over, for the frames handed over from
// `liveFrom` on (those before came in the server's catch-up burst, and say nothing of the delay).
// A player that joined between key frames, or lost part of a frame, decodes guesses until the next
// key frame, and a number read from a guess can be anything: a number counts only within a run of
// five pictures whose numbers rise by one to three frames each, and only when it arrived after it
// was handed over.
DelayFigures MeasureDelays(const std::vector<FrameArrival>& arrivals,
                           const std::function<std::optional<int64_t>(uint32_t)>& handedOverAt, int64_t liveFrom);

// The value at fraction `p` (0 to 1) of the sorted values, the nearest rank; -1 for none.
double Percentile(std::vector<double> values, double p);
