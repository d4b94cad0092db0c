#pragma once
// Network tests stay on loopback.
#include <cstdint>

namespace testing_support {

// A loopback port that nothing listens on right now.
uint16_t FreeLoopbackPort();

}  // namespace testing_support
