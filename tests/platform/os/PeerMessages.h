#pragma once
// What the test peer (OsPeer.cpp) answers, shared with the tests that talk to it.
#include <cstdint>
#include <string_view>

#include "platform/os/WindowTypes.h"

namespace peer_messages {

// Answers wParam * 1000 + lParam.
inline constexpr UINT kCombine = WM_USER + 1;
// Sends kCalledBack (lParam passed on) to the window in wParam and answers its result + 1.
inline constexpr UINT kCallBack = WM_USER + 2;
inline constexpr UINT kCalledBack = WM_USER + 3;

// WM_COPYDATA answers this hash of the bytes.
inline uint32_t Fnv1a(std::string_view bytes) {
    uint32_t hash = 2166136261u;
    for (char c : bytes) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return hash;
}

}  // namespace peer_messages
