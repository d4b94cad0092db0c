#include "app/shell/HotKeys.h"

#include <cctype>
#include <cstdio>

#include "app/shell/ConfigSections.h"
#include "platform/os/MessageBox.h"
#include "platform/x11/GlobalHotKeys.h"

const char* HotKeyName(int id) {
    static constexpr const char* names[kHotKeyCount] = {"Start", "Pause", "Stop", "Dynamic Focus",
                                                        "Cancel Dynamic Focus"};
    int row = id - kHotKeyStart;
    return row >= 0 && row < kHotKeyCount ? names[row] : "unknown";
}

HotKeyMessage MakeHotKeyMessage(int id, UINT modifiers, UINT virtualKey) {
    HotKeyMessage message;
    message.wParam = static_cast<WPARAM>(id);
    message.lParam = static_cast<LPARAM>((virtualKey & 0xFFFF) << 16 | (modifiers & 0xFFFF));
    return message;
}

HotKeyOutcome ApplyHotKeys(GlobalHotKeys& keys, const std::array<std::string, 5>& edits,
                           ScreenRecorderSettings& settings, IniStore& store) {
    std::array<char, 5> letters{};
    for (size_t i = 0; i < edits.size(); ++i) {
        unsigned char first = edits[i].empty() ? 0 : static_cast<unsigned char>(edits[i][0]);
        char letter = static_cast<char>(std::toupper(first));
        if (letter < 'A' || letter > 'Z') {
            MessageBox(kHotKeyLetterText, {}, MB_OK | MB_ICONINFORMATION);
            return {HotKeyOutcome::NotALetter, 0};
        }
        letters[i] = letter;
    }
    for (size_t i = 0; i < letters.size(); ++i) {
        for (size_t j = i + 1; j < letters.size(); ++j) {
            if (letters[i] == letters[j]) return {HotKeyOutcome::Duplicate, 0};
        }
    }
    settings.keys = letters;
    for (size_t i = 0; i < letters.size(); ++i)
        store.WriteChar(kCatchScreen, kHotKeyNames[i], letters[i]);
    if (!keys.Available()) return {HotKeyOutcome::Unavailable, 0};
    for (int row = 0; row < kHotKeyCount; ++row) keys.UnregisterHotKey(HotKeyId(row));
    for (int row = 0; row < kHotKeyCount; ++row) {
        const char letter = letters[static_cast<size_t>(row)];
        if (!keys.RegisterHotKey(HotKeyId(row), MOD_CONTROL, static_cast<UINT>(letter))) {
            std::fprintf(stderr,
                         "orvanta: the hot key Ctrl+%c (%s) is taken by another program; it and "
                         "the hot keys after it are not registered\n",
                         letter, HotKeyName(HotKeyId(row)));
            return {HotKeyOutcome::Refused, HotKeyId(row)};
        }
    }
    return {HotKeyOutcome::Registered, 0};
}
