#include "platform/devices/ChannelFrequencies.h"

namespace {
bool NorthAmerica(LONG countryCode) { return countryCode == 1; }

std::optional<int64_t> UsBroadcast(LONG c) {
    if (c >= 2 && c <= 4) return 55250 + 6000 * (c - 2);
    if (c == 5 || c == 6) return 77250 + 6000 * (c - 5);
    if (c >= 7 && c <= 13) return 175250 + 6000 * (c - 7);
    if (c >= 14 && c <= 69) return 471250 + 6000 * (c - 14);
    return std::nullopt;
}

std::optional<int64_t> UsCable(LONG c) {
    if (c == 1) return 73250;
    if (c >= 2 && c <= 13) return UsBroadcast(c);
    if (c >= 14 && c <= 22) return 121250 + 6000 * (c - 14);
    if (c >= 23 && c <= 94) return 217250 + 6000 * (c - 23);
    if (c >= 95 && c <= 99) return 91250 + 6000 * (c - 95);
    if (c >= 100 && c <= 125) return 649250 + 6000 * (c - 100);
    return std::nullopt;
}

std::optional<int64_t> EuropeWest(LONG c) {
    if (c == 2) return 48250;
    if (c == 3) return 55250;
    if (c == 4) return 62250;
    if (c >= 5 && c <= 12) return 175250 + 7000 * (c - 5);
    if (c >= 21 && c <= 69) return 471250 + 8000 * (c - 21);
    return std::nullopt;
}
}  // namespace

std::optional<int64_t> VisionCarrierKHz(LONG countryCode, TunerInputType input, LONG channel) {
    if (NorthAmerica(countryCode)) return input == TunerInputCable ? UsCable(channel) : UsBroadcast(channel);
    return EuropeWest(channel);
}

void ChannelPlanRange(LONG countryCode, TunerInputType input, LONG* channelMin, LONG* channelMax) {
    if (NorthAmerica(countryCode)) {
        *channelMin = input == TunerInputCable ? 1 : 2;
        *channelMax = input == TunerInputCable ? 125 : 69;
    } else {
        *channelMin = 2;
        *channelMax = 69;
    }
}

int64_t SoundCarrierOffsetKHz(LONG countryCode) { return NorthAmerica(countryCode) ? 4500 : 5500; }
