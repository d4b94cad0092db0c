#pragma once
// System error numbers with their Windows values, for the results callers compare: a mutex that
// already exists, a window that is gone, a send that timed out.
#include "platform/base/HResult.h"

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_MESSAGE_SYNC_ONLY = 1159;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_TIMEOUT = 1460;

constexpr HRESULT HResultFromWin32(DWORD error) {
    return error == 0 ? S_OK : MakeHResult(0x80070000u | (error & 0xFFFFu));
}

// A call made on a thread that does not own the object (windows belong to the UI thread).
inline constexpr HRESULT RPC_E_WRONG_THREAD = MakeHResult(0x8001010E);
