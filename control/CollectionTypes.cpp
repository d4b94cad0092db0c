// The collections as the control's type library describes them.
#include "control/Collections.h"

namespace {

struct CollectionType {
    const DispatchTable& (*table)();
    CLSID clsid;
    const char* coclassName;
};

template <class T, class Interface>
constexpr CollectionType TypeOf() {
    return {&T::GetDispatchTable, Interface::coclass, Interface::coclassName};
}

// Collections first, then their items, in the order of the control's properties.
constexpr CollectionType kTypes[] = {
    TypeOf<CDevices, IDevices>(),
    TypeOf<CVideoFormats, IVideoFormats>(),
    TypeOf<CVideoCompressors, IVideoCompressors>(),
    TypeOf<CAudioDevices, IAudioDevices>(),
    TypeOf<CAudioCompressors, IAudioCompressors>(),
    TypeOf<CAudioInputPins, IAudioInputPins>(),
    TypeOf<CVideoInputs, IVideoInputs>(),
    TypeOf<CTVChannels, ITVChannels>(),
    TypeOf<CWMVProfiles, IWMVProfiles>(),
    TypeOf<CDevice, IDevice>(),
    TypeOf<CVideoFormat, IVideoFormat>(),
    TypeOf<CVideoCompressor, IVideoCompressor>(),
    TypeOf<CAudioDevice, IAudioDevice>(),
    TypeOf<CAudioCompressor, IAudioCompressor>(),
    TypeOf<CAudioInputPin, IAudioInputPin>(),
    TypeOf<CVideoInput, IVideoInput>(),
    TypeOf<CTVChannel, ITVChannel>(),
    TypeOf<CWMVProfile, IWMVProfile>(),
};

CoclassDesc Coclass(const CLSID& clsid, const char* name, const IID& iid) {
    CoclassDesc coclass;
    coclass.clsid = clsid;
    coclass.name = name;
    coclass.typeFlags = 0;  // described, never created by a container
    coclass.interfaces.push_back({iid, IMPLTYPEFLAG_FDEFAULT});
    return coclass;
}

}  // namespace

std::vector<InterfaceDesc> CollectionInterfaceDescriptions() {
    std::vector<InterfaceDesc> interfaces;
    for (const CollectionType& type : kTypes) interfaces.push_back(type.table().Describe());
    for (const EnumeratorTypeInfo& e : kEnumeratorTypes) {
        InterfaceDesc desc;
        desc.iid = e.iid;
        desc.name = e.interfaceName;
        desc.kind = TKIND_DISPATCH;
        desc.typeFlags = TYPEFLAG_FDISPATCHABLE;
        desc.helpString = std::string("Dispatch interface for ") + e.coclassName;
        interfaces.push_back(std::move(desc));
    }
    return interfaces;
}

std::vector<CoclassDesc> CollectionCoclassDescriptions() {
    std::vector<CoclassDesc> coclasses;
    for (const CollectionType& type : kTypes)
        coclasses.push_back(Coclass(type.clsid, type.coclassName, type.table().Iid()));
    for (const EnumeratorTypeInfo& e : kEnumeratorTypes)
        coclasses.push_back(Coclass(e.clsid, e.coclassName, e.iid));
    return coclasses;
}
