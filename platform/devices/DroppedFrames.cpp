#include "platform/devices/DroppedFrames.h"

#include <algorithm>

HRESULT DroppedFrames::GetNumDropped(LONG* dropped) {
    if (!dropped) return E_POINTER;
    *dropped = state_->dropped.NumDropped();
    return S_OK;
}

HRESULT DroppedFrames::GetNumNotDropped(LONG* notDropped) {
    if (!notDropped) return E_POINTER;
    *notDropped = state_->dropped.NumNotDropped();
    return S_OK;
}

HRESULT DroppedFrames::GetDroppedInfo(LONG size, LONG* frames, LONG* copied) {
    if (!frames || !copied) return E_POINTER;
    if (size < 0) return E_INVALIDARG;
    auto list = state_->dropped.DroppedFrames();
    LONG count = std::min<LONG>(size, static_cast<LONG>(list.size()));
    std::copy_n(list.begin(), count, frames);
    *copied = count;
    return S_OK;
}

HRESULT DroppedFrames::GetAverageFrameSize(LONG* averageSize) {
    if (!averageSize) return E_POINTER;
    *averageSize = state_->dropped.AverageFrameSize();
    return S_OK;
}
