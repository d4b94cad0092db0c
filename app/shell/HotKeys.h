#pragma once
// The screen recorder's Ctrl+letter hot keys: ids 40981..40985 (Start, Pause, Stop, Dynamic
// Focus on, Dynamic Focus off), registered system-wide on the main window.
#include <array>
#include <string>

#include "platform/os/WindowTypes.h"

class GlobalHotKeys;
class IniStore;
struct ScreenRecorderSettings;

inline constexpr int kHotKeyStart = 40981;
inline constexpr int kHotKeyPause = 40982;
inline constexpr int kHotKeyStop = 40983;
inline constexpr int kHotKeyZoomIn = 40984;
inline constexpr int kHotKeyZoomOut = 40985;
inline constexpr int kHotKeyCount = 5;

inline constexpr char kHotKeyLetterText[] = "Please make sure you have input a letter between A-Z!";

// The id of table row i (0..4) and its name for messages.
constexpr int HotKeyId(int row) { return kHotKeyStart + row; }
const char* HotKeyName(int id);

// A hot-key message as the window receives it: wParam the id, the virtual-key code in the high
// word of lParam.
struct HotKeyMessage {
    UINT message = WM_HOTKEY;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};
HotKeyMessage MakeHotKeyMessage(int id, UINT modifiers, UINT virtualKey);

struct HotKeyOutcome {
    enum Result { Registered, NotALetter, Duplicate, Refused, Unavailable };
    Result result = Registered;
    int refusedId = 0;  // the first id the desktop refused (Refused only)
};

// Takes the first character of each of the five edits, upper-cased. A non-letter shows the A-Z
// message and a repeated letter changes nothing silently; both keep the hot keys registered
// before. Otherwise the letters are stored in `settings` and in "CatchScreen", all five ids are
// unregistered and registered again with Ctrl in id order, stopping at the first one the desktop
// refuses (a combination another program holds), which is said on stderr. Without hot keys on
// this desktop (no X display) the letters are stored and Unavailable is returned.
HotKeyOutcome ApplyHotKeys(GlobalHotKeys& keys, const std::array<std::string, 5>& edits,
                           ScreenRecorderSettings& settings, IniStore& store);
