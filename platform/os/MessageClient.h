#pragma once
// The sending side of a message to a window reached through its socket: a window of another
// process, or of this process when the caller is not the UI thread. Every step (connect, write,
// wait for the reply) is bounded by the time-out, so a peer that never answers cannot hang the
// caller; a peer that died is a failure at once, and its leftover files are removed.
#include <span>

#include "platform/os/WindowTypes.h"

class MessageClient {
public:
    // Sends and waits for the procedure's result. WM_COPYDATA takes lParam as a COPYDATASTRUCT*
    // and carries its bytes. Failures: HResultFromWin32(ERROR_INVALID_WINDOW_HANDLE) when the
    // window does not exist (or went away before answering), HResultFromWin32(ERROR_TIMEOUT),
    // E_INVALIDARG for an unusable WM_COPYDATA block, E_FAIL for a malformed reply.
    static HRESULT Send(HWND target, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs,
                        LRESULT* result);
    // Queues the message at the window; WM_COPYDATA cannot be posted (ERROR_MESSAGE_SYNC_ONLY).
    static HRESULT Post(HWND target, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs);
};
