#pragma once
// A window that receives messages: a class name, a title and a window procedure, reachable by its
// handle from every process of this user (FindWindow, SendMessage, PostMessage in
// WindowMessages.h). The owner destroys it by dropping the object; DestroyWindow (or WM_CLOSE
// handled by DefWindowProc) ends the window earlier, and the object then only remembers it.
// Created and destroyed on the UI thread, the thread of the Qt application object.
#include <memory>
#include <string>

#include "platform/os/WindowCore.h"
#include "platform/os/WindowTypes.h"

class MessageWindow {
    struct Passkey {};

public:
    // Null when the window cannot be created (not on the UI thread, unusable runtime folder,
    // class name empty or over 256 bytes); *error then says why.
    static std::unique_ptr<MessageWindow> Create(std::string className, std::string title,
                                                 WindowProc proc, HRESULT* error = nullptr);

    MessageWindow(Passkey, HWND handle, uint64_t serial) : handle_(handle), serial_(serial) {}
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    ~MessageWindow();

    HWND Handle() const { return handle_; }
    // False once the window was destroyed.
    bool IsAlive() const;

private:
    // The window of this object, not a later one that got the same handle.
    WindowCore* Core() const;

    HWND handle_;
    uint64_t serial_;
};
