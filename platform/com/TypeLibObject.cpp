#include "platform/com/TypeLibObject.h"

#include <new>
#include <set>

#include "platform/com/MemberName.h"
#include "platform/com/TypeInfoObject.h"

namespace {
// Every match of `name` among the types and their members, in library order.
template <class Visit>
void ForEachName(const TypeLibDesc& desc, std::string_view name, Visit visit) {
    for (size_t i = 0; i < desc.interfaces.size(); ++i) {
        const InterfaceDesc& itf = desc.interfaces[i];
        if (MemberNamesEqual(itf.name, name)) visit(static_cast<UINT>(i), MEMBERID_NIL);
        MEMBERID last = DISPID_UNKNOWN;
        bool any = false;
        for (const FuncDesc& f : itf.funcs) {
            // A property's get and put are one member.
            if (any && f.memid == last) continue;
            if (MemberNamesEqual(f.name, name)) {
                visit(static_cast<UINT>(i), f.memid);
                last = f.memid;
                any = true;
            }
        }
    }
    for (size_t i = 0; i < desc.coclasses.size(); ++i) {
        if (MemberNamesEqual(desc.coclasses[i].name, name)) {
            visit(static_cast<UINT>(desc.interfaces.size() + i), MEMBERID_NIL);
        }
    }
}
}  // namespace

TypeLibObject::TypeLibObject(std::shared_ptr<const TypeLibDesc> desc) : desc_(std::move(desc)) {}

UINT TypeLibObject::GetTypeInfoCount() {
    return static_cast<UINT>(desc_->interfaces.size() + desc_->coclasses.size());
}

HRESULT TypeLibObject::GetTypeInfo(UINT index, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (index >= GetTypeInfoCount()) return TYPE_E_ELEMENTNOTFOUND;
    try {
        *info = MakeCom<TypeInfoObject>(desc_, index).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TypeLibObject::GetTypeInfoType(UINT index, TYPEKIND* kind) {
    if (!kind) return E_INVALIDARG;
    if (index >= GetTypeInfoCount()) return TYPE_E_ELEMENTNOTFOUND;
    *kind = index < desc_->interfaces.size() ? desc_->interfaces[index].kind : TKIND_COCLASS;
    return S_OK;
}

HRESULT TypeLibObject::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    for (size_t i = 0; i < desc_->interfaces.size(); ++i) {
        if (desc_->interfaces[i].iid == guid) return GetTypeInfo(static_cast<UINT>(i), info);
    }
    for (size_t i = 0; i < desc_->coclasses.size(); ++i) {
        if (desc_->coclasses[i].clsid == guid) {
            return GetTypeInfo(static_cast<UINT>(desc_->interfaces.size() + i), info);
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeLibObject::GetLibAttr(TLIBATTR* attr) {
    if (!attr) return E_INVALIDARG;
    attr->guid = desc_->libid;
    attr->lcid = desc_->lcid;
    attr->wMajorVerNum = desc_->majorVersion;
    attr->wMinorVerNum = desc_->minorVersion;
    attr->wLibFlags = desc_->libFlags;
    return S_OK;
}

HRESULT TypeLibObject::GetDocumentation(INT index, BSTR* name, BSTR* docString, DWORD* helpContext,
                                        BSTR* helpFile) {
    if (index == -1) {
        if (name) *name = desc_->name;
        if (docString) *docString = desc_->helpString;
        if (helpContext) *helpContext = desc_->helpContext;
        if (helpFile) *helpFile = desc_->helpFile;
        return S_OK;
    }
    if (index < 0 || static_cast<UINT>(index) >= GetTypeInfoCount()) return TYPE_E_ELEMENTNOTFOUND;
    ComPtr<ITypeInfo> info;
    HRESULT hr = GetTypeInfo(static_cast<UINT>(index), info.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    return info->GetDocumentation(MEMBERID_NIL, name, docString, helpContext, helpFile);
}

HRESULT TypeLibObject::IsName(const char* name, BOOL* found) {
    if (!name || !found) return E_INVALIDARG;
    bool any = false;
    if (MemberNamesEqual(desc_->name, name)) any = true;
    ForEachName(*desc_, name, [&](UINT, MEMBERID) { any = true; });
    *found = any ? TRUE : FALSE;
    return S_OK;
}

HRESULT TypeLibObject::FindName(const char* name, ITypeInfo** infos, MEMBERID* memids,
                                USHORT* found) {
    if (!name || !found || (*found > 0 && (!infos || !memids))) return E_INVALIDARG;
    USHORT capacity = *found;
    USHORT count = 0;
    HRESULT hr = S_OK;
    ForEachName(*desc_, name, [&](UINT index, MEMBERID memid) {
        if (count >= capacity || FAILED(hr)) return;
        hr = GetTypeInfo(index, &infos[count]);
        if (SUCCEEDED(hr)) memids[count++] = memid;
    });
    if (FAILED(hr)) {
        for (USHORT i = 0; i < count; ++i) {
            infos[i]->Release();
            infos[i] = nullptr;
        }
        count = 0;
    }
    *found = count;
    return hr;
}

HRESULT CreateTypeLib(TypeLibDesc desc, ITypeLib** lib) {
    if (!lib) return E_INVALIDARG;
    *lib = nullptr;
    std::set<Guid> guids;
    for (const InterfaceDesc& itf : desc.interfaces) {
        if (itf.iid.IsNull() || !guids.insert(itf.iid).second) return E_INVALIDARG;
    }
    for (const CoclassDesc& cls : desc.coclasses) {
        if (cls.clsid.IsNull() || !guids.insert(cls.clsid).second) return E_INVALIDARG;
        for (const ImplementedInterface& impl : cls.interfaces) {
            bool known = false;
            for (const InterfaceDesc& itf : desc.interfaces) known = known || itf.iid == impl.iid;
            if (!known) return E_INVALIDARG;
        }
    }
    try {
        auto shared = std::make_shared<const TypeLibDesc>(std::move(desc));
        *lib = MakeCom<TypeLibObject>(std::move(shared)).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CreateTypeInfo(InterfaceDesc desc, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    try {
        auto lib = std::make_shared<TypeLibDesc>();
        lib->name = desc.name;
        lib->interfaces.push_back(std::move(desc));
        *info =
            MakeCom<TypeInfoObject>(std::shared_ptr<const TypeLibDesc>(std::move(lib)), 0).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
