#include "control/LumicorTypeLib.h"

#include <iterator>
#include <new>

#include "control/Adjustment.h"
#include "control/Collections.h"
#include "control/LumicorCtrl.h"
#include "control/LumicorIds.h"

TypeLibDesc LumicorTypeLibDescription(InterfaceDesc control, InterfaceDesc events,
                                      std::vector<InterfaceDesc> interfaces,
                                      std::vector<CoclassDesc> coclasses) {
    TypeLibDesc lib;
    lib.libid = LIBID_LUMICORLib;
    lib.majorVersion = kLumicorLibMajor;
    lib.minorVersion = kLumicorLibMinor;
    lib.lcid = kLumicorLibLcid;
    lib.libFlags = LIBFLAG_FCONTROL;
    lib.name = kLumicorLibName;
    lib.helpString = kLumicorLibHelpString;
    lib.helpFile = kLumicorLibHelpFile;

    // Containers bind to these identities; whatever the dispatch tables call themselves, the
    // library states them.
    control.iid = DIID__DLumicor;
    control.name = "_DLumicor";
    control.kind = TKIND_DISPATCH;
    control.helpString = "Dispatch interface for Lumicor Control";
    events.iid = DIID__DLumicorEvents;
    events.name = "_DLumicorEvents";
    events.kind = TKIND_DISPATCH;
    events.helpString = "Event interface for Lumicor Control";

    lib.interfaces.reserve(interfaces.size() + 2);
    lib.interfaces.push_back(std::move(control));
    lib.interfaces.push_back(std::move(events));
    lib.interfaces.insert(lib.interfaces.end(), std::make_move_iterator(interfaces.begin()),
                          std::make_move_iterator(interfaces.end()));

    CoclassDesc lumicor;
    lumicor.clsid = CLSID_Lumicor;
    lumicor.name = "Lumicor";
    lumicor.typeFlags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
    lumicor.helpString = "Lumicor Control";
    lumicor.interfaces.push_back({DIID__DLumicor, IMPLTYPEFLAG_FDEFAULT});
    lumicor.interfaces.push_back({DIID__DLumicorEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE});
    lib.coclasses.reserve(coclasses.size() + 1);
    lib.coclasses.push_back(std::move(lumicor));
    lib.coclasses.insert(lib.coclasses.end(), std::make_move_iterator(coclasses.begin()),
                         std::make_move_iterator(coclasses.end()));
    return lib;
}

HRESULT BuildLumicorTypeLib(ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    *lib = nullptr;
    try {
        std::vector<InterfaceDesc> interfaces = CollectionInterfaceDescriptions();
        std::vector<InterfaceDesc> adjustments = AdjustmentInterfaceDescriptions();
        interfaces.insert(interfaces.end(), std::make_move_iterator(adjustments.begin()),
                          std::make_move_iterator(adjustments.end()));
        std::vector<CoclassDesc> coclasses = CollectionCoclassDescriptions();
        std::vector<CoclassDesc> adjustmentClasses = AdjustmentCoclassDescriptions();
        coclasses.insert(coclasses.end(), std::make_move_iterator(adjustmentClasses.begin()),
                         std::make_move_iterator(adjustmentClasses.end()));
        // CreateTypeLib refuses a GUID used twice or a coclass naming an interface it lacks.
        return CreateTypeLib(LumicorTypeLibDescription(LumicorDispatchDescription(),
                                                       LumicorEventsDescription(),
                                                       std::move(interfaces), std::move(coclasses)),
                             lib);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
