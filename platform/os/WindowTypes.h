#pragma once
// Window handles, message numbers and the WM_COPYDATA block, with the values the Windows platform
// gives them: the control and its helper program exchange exactly these numbers.
//
// A window handle is a 32-bit value, unique among the windows of one user, that any process of
// that user can reach (see MessageWindow). 0 is "no window".
#include <cstdint>

#include "platform/base/HResult.h"

using HWND = uint32_t;
using UINT = uint32_t;
using UINT_PTR = uint64_t;
using ULONG_PTR = uint64_t;
using WPARAM = uint64_t;
using LPARAM = int64_t;
using LRESULT = int64_t;

inline constexpr HWND HWND_NONE = 0;

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HOTKEY = 0x0312;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// The lParam of WM_COPYDATA points at this block; the receiver may read cbData bytes at lpData
// until its window procedure returns. Between processes the bytes are copied exactly.
struct COPYDATASTRUCT {
    ULONG_PTR dwData = 0;
    DWORD cbData = 0;
    void* lpData = nullptr;
};

constexpr uint16_t LoWord(uint64_t value) {
    return static_cast<uint16_t>(value & 0xFFFF);
}
constexpr uint16_t HiWord(uint64_t value) {
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}
