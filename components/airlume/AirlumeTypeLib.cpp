#include "components/airlume/AirlumeTypeLib.h"

#include <new>

#include "components/airlume/AirlumeCtrl.h"
#include "components/airlume/AirlumeIds.h"

HRESULT BuildAirlumeTypeLib(ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    *lib = nullptr;
    try {
        TypeLibDesc desc;
        desc.libid = LIBID_AIRLUMELib;
        desc.majorVersion = kAirlumeLibMajor;
        desc.minorVersion = kAirlumeLibMinor;
        desc.lcid = kAirlumeLibLcid;
        desc.libFlags = LIBFLAG_FCONTROL;
        desc.name = "AIRLUMELib";
        desc.helpString = "Airlume Media Broadcaster ActiveX Control";

        InterfaceDesc control = AirlumeDispatchDescription();
        control.kind = TKIND_DISPATCH;
        InterfaceDesc events = AirlumeEventsDescription();
        events.kind = TKIND_DISPATCH;
        desc.interfaces.push_back(std::move(control));
        desc.interfaces.push_back(std::move(events));

        CoclassDesc airlume;
        airlume.clsid = CLSID_Airlume;
        airlume.name = "Airlume";
        airlume.typeFlags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
        airlume.helpString = "Airlume Control";
        airlume.interfaces.push_back({DIID__DAirlume, IMPLTYPEFLAG_FDEFAULT});
        airlume.interfaces.push_back({DIID__DAirlumeEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE});
        desc.coclasses.push_back(std::move(airlume));
        return CreateTypeLib(std::move(desc), lib);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
