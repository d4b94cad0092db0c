#pragma once
// A filter whose pins are SourcePins: it reports itself as a source and, being live, answers
// GetState with VFW_S_CANT_CUE while paused.
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/SourcePin.h"

class SourceFilter : public BaseFilter {
public:
    HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

protected:
    explicit SourceFilter(const CLSID& clsid) : BaseFilter(clsid) {}
};
