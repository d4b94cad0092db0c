#pragma once
// Start-up of the capture device and compressor layers: the one call the engine (or any program
// that records) makes before it enumerates devices.
//
//   RegisterCaptureClasses();   // once, on the UI thread, at start-up; idempotent
//
// It makes these creatable by CLSID in this process (CoCreateInstance, CLSCTX_INPROC_SERVER):
//   CLSID_SystemDeviceEnum          the system device enumerator (ICreateDevEnum)
//   CLSID_OrvantaDevicePropertyPage the settings page the capture devices name (IPropertyPage)
//   each installed compressor's     its compressor filter (IBaseFilter)
// and makes the video and audio compressor categories of the enumerator list the installed
// compressors (the capture categories need nothing: the device backends answer them).
// The filter graph's own classes are the graph layer's start-up (RegisterFilterGraphClasses).
#include "platform/base/HResult.h"

// The first failure of a registration (later calls return the same); S_OK when all succeeded.
HRESULT RegisterCaptureClasses();
