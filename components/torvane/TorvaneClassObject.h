#pragma once
// The class object of the MPEG encoder filter, for the module's DllGetClassObject. Kept apart from
// the filter's header so that the registration code needs none of the filter-graph headers.
#include "platform/com/Unknown.h"

HRESULT GetMpegEncoderClassObject(REFIID riid, void** object);
