#pragma once
// Window messages, in the calls of the Windows platform. Windows live on the UI thread (see
// MessageWindow); handles reach windows of every process of this user.
//
// SendMessage to a window of this process, called on the UI thread, calls the procedure directly.
// Any other send goes through the window's socket and waits at most the time-out; while the UI
// thread waits, messages sent to its own windows are served, so windows calling each other back
// across processes do not deadlock. PostMessage queues the message and returns.
#include <string_view>

#include "platform/os/WindowTypes.h"

inline constexpr UINT kDefaultSendTimeoutMs = 5000;

// The procedure's result, or 0 when the window is gone or did not answer in time.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// TRUE when the procedure ran and *result holds its answer; FALSE otherwise, with the reason in
// *error when given (HResultFromWin32 of ERROR_INVALID_WINDOW_HANDLE or ERROR_TIMEOUT, ...).
BOOL SendMessageTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        LRESULT* result, HRESULT* error = nullptr);
// TRUE when the message was queued at the window. WM_COPYDATA cannot be posted.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                 HRESULT* error = nullptr);

// The most recently created live window of that class (ASCII case-insensitive) and title; a null
// argument matches any. Windows of processes that died are skipped and their files removed.
HWND FindWindow(const char* className, const char* title);
// TRUE when the window exists in any process.
BOOL IsWindow(HWND window);

// The calls below act on windows of this process, on the UI thread.
BOOL DestroyWindow(HWND window);
BOOL SetWindowText(HWND window, std::string_view title);
// What a procedure returns for messages it does not handle: WM_CLOSE destroys the window,
// everything else answers 0.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_TIMER (wParam = id) every elapseMs; setting a running id restarts it. Returns id, or 0.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs);
BOOL KillTimer(HWND window, UINT_PTR id);
