#pragma once
// The session window's timers: progress while capturing (33 ms, which also reads the graph's
// events) and, while only previewing, the graph's events alone.
#include "platform/os/WindowTypes.h"

inline constexpr UINT_PTR kProgressTimer = 1;
inline constexpr UINT kProgressPeriodMs = 33;
inline constexpr UINT_PTR kEventTimer = 2;
inline constexpr UINT kEventPeriodMs = 100;
