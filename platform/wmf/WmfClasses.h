#pragma once
// Start-up registration of this layer's classes. Call RegisterWindowsMediaClasses() once when the
// program (or the control module) starts, after the class registry is usable: it makes
// CLSID_WMAsfWriter creatable in this process through CoCreateInstance and so through
// CreateFilterGraphObject and ICaptureGraphBuilder2::SetOutputFileName(MEDIASUBTYPE_Asf, ...).
// Idempotent and thread-safe; returns the first registration error, else S_OK.
#include "platform/com/Unknown.h"

HRESULT RegisterWindowsMediaClasses();
