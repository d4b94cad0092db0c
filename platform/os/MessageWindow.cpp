#include "platform/os/MessageWindow.h"

#include "platform/os/Win32Error.h"
#include "platform/os/WindowHost.h"
#include "platform/os/WindowMessages.h"

std::unique_ptr<MessageWindow> MessageWindow::Create(std::string className, std::string title,
                                                     WindowProc proc, HRESULT* error) {
    HWND handle = 0;
    HRESULT hr = WindowHost::OnUiThread()
                     ? WindowHost::Instance().CreateWindow(std::move(className), std::move(title),
                                                           std::move(proc), &handle)
                     : RPC_E_WRONG_THREAD;
    if (error) *error = hr;
    if (FAILED(hr)) return nullptr;
    return std::make_unique<MessageWindow>(Passkey{}, handle,
                                           WindowHost::Instance().Find(handle)->Serial());
}

MessageWindow::~MessageWindow() {
    if (Core()) DestroyWindow(handle_);
}

WindowCore* MessageWindow::Core() const {
    if (!WindowHost::OnUiThread()) return nullptr;
    WindowCore* core = WindowHost::Instance().Find(handle_);
    return core && core->Serial() == serial_ ? core : nullptr;
}

bool MessageWindow::IsAlive() const {
    WindowCore* core = Core();
    return core && !core->Destroying();
}
