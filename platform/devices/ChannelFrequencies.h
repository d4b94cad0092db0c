#pragma once
// Channel number to vision-carrier frequency. The kernel has no channel tables, so the tuner
// carries the two plans most cards are sold for: North America (country code 1; broadcast on
// antenna, standard cable on cable) and the CCIR plan of Western Europe (every other country code:
// E2-E12 and E21-E69). Channels outside a plan have no frequency.
#include <cstdint>
#include <optional>

#include "platform/devices/DeviceInterfaces.h"

std::optional<int64_t> VisionCarrierKHz(LONG countryCode, TunerInputType input, LONG channel);
// The channel range of the plan that country and input use.
void ChannelPlanRange(LONG countryCode, TunerInputType input, LONG* channelMin, LONG* channelMax);
// Sound carrier offset above the vision carrier for that country's system, in kHz.
int64_t SoundCarrierOffsetKHz(LONG countryCode);
