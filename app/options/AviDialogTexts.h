#pragma once
// Texts the device and the screen recorder's AVI dialogs share.

inline constexpr char kAviOptionsTitle[] = "AVI/MPEG4 Output Settings:";
inline constexpr char kNoPropertyPageText[] = "This compressor has no property page.";
