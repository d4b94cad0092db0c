// FilterData values of the registry store, which any module (or a hand edit) may have written.
// The layout has one encoding for each content, so whatever decodes must encode to its bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/com/FilterRegistration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DWORD merit = 0;
    std::vector<FilterPinRegistration> pins;
    if (!DecodeFilterData(std::span<const uint8_t>(data, size), merit, pins)) {
        if (!pins.empty()) __builtin_trap();  // a refused value leaves the output alone
        return 0;
    }
    std::vector<uint8_t> encoded = EncodeFilterData(merit, pins);
    if (encoded.size() != size || !std::equal(encoded.begin(), encoded.end(), data))
        __builtin_trap();
    return 0;
}
