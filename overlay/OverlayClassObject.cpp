#include "overlay/OverlayClassObject.h"

#include "overlay/OverlayTransformFilter.h"
#include "platform/com/ClassFactory.h"

HRESULT GetOverlayClassObject(REFIID riid, void** object) { return GetClassFactory<OverlayTransformFilter>(riid, object); }
