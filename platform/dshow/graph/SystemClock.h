#pragma once
// The graph's reference clock: the monotonic system clock in 100 ns units. Thread-safe.
#include "platform/com/ComObject.h"
#include "platform/dshow/FilterInterfaces.h"

class SystemClock final : public ComObject<IReferenceClock, IPersist> {
public:
    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT GetClassID(CLSID* classId) override;
};
