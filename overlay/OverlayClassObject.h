#pragma once
// The class object of the overlay filter, for the module's DllGetClassObject. Kept apart from the
// filter's header so that the registration code needs none of the filter-graph headers.
#include "platform/com/Unknown.h"

// A new class factory of OverlayTransformFilter asked for `riid`.
HRESULT GetOverlayClassObject(REFIID riid, void** object);
