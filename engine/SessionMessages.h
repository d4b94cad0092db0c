#pragma once
// The mouse messages of the session window, with the numbers and key-state bits the Windows
// platform gives them (platform/os defines only the messages between processes).
#include <cstdint>

#include "platform/os/WindowTypes.h"

inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;

inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// Client coordinates packed as the mouse messages carry them (signed 16 bits each).
constexpr LPARAM MakePointParam(int x, int y) {
    return static_cast<LPARAM>(static_cast<uint16_t>(x) | static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16);
}
constexpr int PointX(LPARAM value) { return static_cast<int16_t>(value & 0xFFFF); }
constexpr int PointY(LPARAM value) { return static_cast<int16_t>((value >> 16) & 0xFFFF); }
