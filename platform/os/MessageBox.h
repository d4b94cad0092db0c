#pragma once
// The message box service: fixed texts with a caption, a set of buttons and an icon, answering
// which button was pressed, with the Windows values. The real box is a Qt dialog; tests install
// a handler (MessageBoxRecorder) that records the call and answers. With no screen (no
// QApplication, or the offscreen/minimal platform) nobody could press a button: the message goes
// to standard error and the default button answers.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/WindowTypes.h"

// Buttons (MB_TYPEMASK).
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_TYPEMASK = 0xF;
// Icons (MB_ICONMASK).
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONHAND = MB_ICONERROR;
inline constexpr UINT MB_ICONSTOP = MB_ICONERROR;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONEXCLAMATION = MB_ICONWARNING;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
inline constexpr UINT MB_ICONMASK = 0xF0;
// Default button (MB_DEFMASK).
inline constexpr UINT MB_DEFBUTTON1 = 0x000;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_DEFMASK = 0xF00;

// Answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    std::string text;
    std::string caption;  // empty: the application's name is shown
    UINT type = MB_OK;

    UINT Buttons() const { return type & MB_TYPEMASK; }
    UINT Icon() const { return type & MB_ICONMASK; }
    // The answers the buttons give, in their order (MB_OK for an unknown button set).
    std::vector<int> Answers() const;
    // The answer of the default button.
    int DefaultAnswer() const;
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

// Shows the box and returns the answer (IDOK, IDCANCEL, IDYES, ...). UI thread.
int MessageBox(std::string_view text, std::string_view caption = {}, UINT type = MB_OK);
// Replaces the dialog; an empty handler brings the dialog back. Returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
