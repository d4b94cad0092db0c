#pragma once
// Network tests stay on loopback.
#include <cstdint>

namespace testing_support {

// A loopback port that nothing listens on right now.
uint16_t FreeLoopbackPort();
// One from 4000 up to `highest` (for settings that take small port numbers); 0 when none was.
uint16_t FreeLoopbackPortUpTo(uint16_t highest);

}  // namespace testing_support
