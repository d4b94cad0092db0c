#include "platform/os/WindowMessages.h"

#include <strings.h>

#include <string>

#include "platform/os/MessageClient.h"
#include "platform/os/Win32Error.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowHost.h"

namespace {

// The UI thread's own window, or null (for any other thread, even when the window is ours).
WindowCore* LocalWindow(HWND window) {
    if (window == 0 || !WindowHost::OnUiThread()) return nullptr;
    return WindowHost::Instance().Find(window);
}

bool Matches(const char* wanted, const std::string& actual) {
    return !wanted || ::strcasecmp(wanted, actual.c_str()) == 0;
}

}  // namespace

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!SendMessageTimeout(window, message, wParam, lParam, kDefaultSendTimeoutMs, &result))
        return 0;
    return result;
}

BOOL SendMessageTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        LRESULT* result, HRESULT* error) {
    HRESULT hr = S_OK;
    LRESULT value = 0;
    if (LocalWindow(window)) {
        WindowHost::Instance().Dispatch(window, message, wParam, lParam, &value);
    } else {
        hr = MessageClient::Send(window, message, wParam, lParam, timeoutMs, &value);
    }
    if (error) *error = hr;
    if (result) *result = SUCCEEDED(hr) ? value : 0;
    return SUCCEEDED(hr) ? TRUE : FALSE;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HRESULT* error) {
    HRESULT hr = S_OK;
    if (message == WM_COPYDATA) {
        hr = HResultFromWin32(ERROR_MESSAGE_SYNC_ONLY);
    } else if (LocalWindow(window)) {
        WindowHost::Instance().PostLocal(window, message, wParam, lParam);
    } else {
        hr = MessageClient::Post(window, message, wParam, lParam, kDefaultSendTimeoutMs);
    }
    if (error) *error = hr;
    return SUCCEEDED(hr) ? TRUE : FALSE;
}

HWND FindWindow(const char* className, const char* title) {
    auto directory = WindowDirectory::Open();
    if (!directory) return 0;
    for (const WindowRecord& record : directory->List()) {
        if (!Matches(className, record.className) || !Matches(title, record.title)) continue;
        if (LocalWindow(record.handle) ||
            directory->Probe(record.handle) == WindowDirectory::Liveness::Alive) {
            return record.handle;
        }
    }
    return 0;
}

BOOL IsWindow(HWND window) {
    if (window == 0) return FALSE;
    if (LocalWindow(window)) return TRUE;
    auto directory = WindowDirectory::Open();
    if (!directory || !directory->Read(window)) return FALSE;
    return directory->Probe(window) == WindowDirectory::Liveness::Alive ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND window) {
    if (!LocalWindow(window)) return FALSE;
    return WindowHost::Instance().DestroyWindow(window) ? TRUE : FALSE;
}

BOOL SetWindowText(HWND window, std::string_view title) {
    if (!LocalWindow(window)) return FALSE;
    return SUCCEEDED(WindowHost::Instance().SetTitle(window, std::string(title))) ? TRUE : FALSE;
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs) {
    WindowCore* core = LocalWindow(window);
    return core ? core->SetTimer(id, elapseMs) : 0;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    WindowCore* core = LocalWindow(window);
    return core && core->KillTimer(id) ? TRUE : FALSE;
}
