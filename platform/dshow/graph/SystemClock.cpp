#include "platform/dshow/graph/SystemClock.h"

#include <chrono>

#include "platform/dshow/Uuids.h"

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
    if (!time) return E_POINTER;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    *time = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
    return S_OK;
}

HRESULT SystemClock::GetClassID(CLSID* classId) {
    if (!classId) return E_POINTER;
    *classId = CLSID_SystemClock;
    return S_OK;
}
