#pragma once
// The broadcaster's type library AIRLUMELib: _DAirlume, _DAirlumeEvents and the coclass Airlume
// naming them as its default interface and default source.
#include "platform/com/TypeLib.h"

HRESULT BuildAirlumeTypeLib(ITypeLib** lib);
