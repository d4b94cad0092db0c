#pragma once
// The control's type library LUMICORLib: the control's dispatch and event interfaces and its
// coclass, and the interfaces and (non-creatable) coclasses of the collections and the
// adjustment objects. The module hands it out through DllGetTypeLib and registers it, so that a
// container that links nothing of the control can bind every member by name.
#include <vector>

#include "platform/com/TypeLib.h"

inline constexpr const char* kLumicorLibName = "LUMICORLib";
inline constexpr const char* kLumicorLibHelpString = "Lumicor Live ActiveX Control";
inline constexpr const char* kLumicorLibHelpFile = "Lumicor.hlp";

// The library made of these pieces: `control` becomes _DLumicor and `events` _DLumicorEvents
// (their identity and help strings are the library's own), `interfaces` and `coclasses` follow
// them, and the coclass Lumicor names the two as its default interface and default source.
TypeLibDesc LumicorTypeLibDescription(InterfaceDesc control, InterfaceDesc events,
                                      std::vector<InterfaceDesc> interfaces,
                                      std::vector<CoclassDesc> coclasses);

// The whole library, from the control's, the collections' and the adjustments' descriptions.
HRESULT BuildLumicorTypeLib(ITypeLib** lib);
