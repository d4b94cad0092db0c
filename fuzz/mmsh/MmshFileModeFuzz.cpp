// A request as a client may send it, answered in each serving mode and state the first bytes
// pick: whatever the bytes, a full server never takes another player, an MP3 server never
// answers with ASF and a broken request never streams.
#include <cstddef>
#include <cstdint>

#include "components/mmsh/MmshAnswer.h"
#include "components/mmsh/MmshRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    MmshServingState state;
    state.mode = static_cast<MmshSourceMode>(data[0] % 3);
    state.headerReady = data[0] & 0x04;
    state.sourceEnded = data[0] & 0x08;
    state.players = data[1] & 0x0F;
    state.maxClients = data[1] >> 4;
    MmshRequestParser parser;
    MmshParseState parsed = parser.Feed({reinterpret_cast<const char*>(data + 2), size - 2});
    if (parsed == MmshParseState::NeedMore) return 0;
    MmshAnswer answer = ChooseMmshAnswer(parsed, parser.Request(), state);
    bool player = IsPlayerAnswer(answer);
    if (player && (state.players >= state.maxClients || !state.headerReady || state.sourceEnded)) __builtin_trap();
    if (player && parsed != MmshParseState::Complete) __builtin_trap();
    if (state.mode == MmshSourceMode::Mp3Files &&
        (answer == MmshAnswer::Header || answer == MmshAnswer::FramedStream || answer == MmshAnswer::AsfDownload))
        __builtin_trap();
    if (state.mode != MmshSourceMode::Mp3Files && answer == MmshAnswer::Mp3Stream) __builtin_trap();
    return 0;
}
