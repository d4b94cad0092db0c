// Request bytes as a client may send them, in two pieces split where the first byte says.
#include <cstddef>
#include <cstdint>

#include "components/mmsh/MmshRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t split = data[0] % size;
    const char* text = reinterpret_cast<const char*>(data + 1);
    size_t length = size - 1;
    split = split > length ? length : split;
    MmshRequestParser parser;
    parser.Feed({text, split});
    if (parser.Feed({text + split, length - split}) == MmshParseState::Complete) {
        const MmshRequest& r = parser.Request();
        if (r.method.empty() || r.target.empty()) __builtin_trap();
    }
    MmshRequest whole;
    MmshRequestParser::Parse({text, length}, whole);
    return 0;
}
