#include "components/pavisse/PavisseClassObject.h"

#include "components/pavisse/ScreenSourceFilter.h"
#include "platform/com/ClassFactory.h"

HRESULT GetScreenSourceClassObject(REFIID riid, void** object) { return GetClassFactory<ScreenSourceFilter>(riid, object); }
