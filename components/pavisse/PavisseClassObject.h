#pragma once
// The class object of the screen source filter, for the module's DllGetClassObject.
#include "platform/com/Unknown.h"

HRESULT GetScreenSourceClassObject(REFIID riid, void** object);
