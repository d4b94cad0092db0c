#include "components/torvane/TorvaneClassObject.h"

#include "components/torvane/MpegEncoderFilter.h"
#include "platform/com/ClassFactory.h"

HRESULT GetMpegEncoderClassObject(REFIID riid, void** object) { return GetClassFactory<MpegEncoderFilter>(riid, object); }
