#include "platform/dshow/base/SourceFilter.h"

HRESULT SourceFilter::GetState(DWORD msTimeout, FILTER_STATE* state) {
    HRESULT hr = BaseFilter::GetState(msTimeout, state);
    if (FAILED(hr)) return hr;
    // A live source cannot deliver data while paused, so it cannot cue.
    return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;
}
