#include "platform/com/TypeInfoObject.h"

#include <new>

#include "platform/com/MemberName.h"
#include "platform/com/TypeLibObject.h"

TypeInfoObject::TypeInfoObject(std::shared_ptr<const TypeLibDesc> lib, UINT index)
    : lib_(std::move(lib)), index_(index) {}

const InterfaceDesc* TypeInfoObject::Interface() const {
    return index_ < lib_->interfaces.size() ? &lib_->interfaces[index_] : nullptr;
}

const CoclassDesc* TypeInfoObject::Coclass() const {
    size_t at = index_ - lib_->interfaces.size();
    return index_ >= lib_->interfaces.size() && at < lib_->coclasses.size() ? &lib_->coclasses[at]
                                                                            : nullptr;
}

const FuncDesc* TypeInfoObject::FindMember(MEMBERID memid) const {
    const InterfaceDesc* itf = Interface();
    if (!itf) return nullptr;
    const FuncDesc* put = nullptr;
    for (const FuncDesc& f : itf->funcs) {
        if (f.memid != memid) continue;
        if (f.invkind == INVOKE_FUNC || f.invkind == INVOKE_PROPERTYGET) return &f;
        if (!put) put = &f;
    }
    return put;
}

HRESULT TypeInfoObject::GetTypeAttr(TYPEATTR* attr) {
    if (!attr) return E_INVALIDARG;
    *attr = TYPEATTR{};
    attr->lcid = lib_->lcid;
    attr->wMajorVerNum = lib_->majorVersion;
    attr->wMinorVerNum = lib_->minorVersion;
    if (const InterfaceDesc* itf = Interface()) {
        attr->guid = itf->iid;
        attr->typekind = itf->kind;
        attr->cFuncs = static_cast<WORD>(itf->funcs.size());
        attr->wTypeFlags = itf->typeFlags;
    } else if (const CoclassDesc* cls = Coclass()) {
        attr->guid = cls->clsid;
        attr->typekind = TKIND_COCLASS;
        attr->cImplTypes = static_cast<WORD>(cls->interfaces.size());
        attr->wTypeFlags = cls->typeFlags;
    } else {
        return E_UNEXPECTED;
    }
    return S_OK;
}

HRESULT TypeInfoObject::GetFuncDesc(UINT index, FuncDesc* desc) {
    if (!desc) return E_INVALIDARG;
    const InterfaceDesc* itf = Interface();
    if (!itf || index >= itf->funcs.size()) return TYPE_E_ELEMENTNOTFOUND;
    *desc = itf->funcs[index];
    return S_OK;
}

HRESULT TypeInfoObject::GetNames(MEMBERID memid, BSTR* names, UINT maxNames, UINT* count) {
    if (!count || (maxNames > 0 && !names)) return E_INVALIDARG;
    *count = 0;
    const FuncDesc* f = FindMember(memid);
    if (!f) return TYPE_E_ELEMENTNOTFOUND;
    size_t paramNames = f->params.size();
    if (f->invkind == INVOKE_PROPERTYPUT || f->invkind == INVOKE_PROPERTYPUTREF) {
        paramNames = paramNames > 0 ? paramNames - 1 : 0;  // the new value has no name
    }
    UINT n = 0;
    if (n < maxNames) names[n++] = f->name;
    for (size_t i = 0; i < paramNames && n < maxNames; ++i) names[n++] = f->params[i].name;
    *count = n;
    return S_OK;
}

HRESULT TypeInfoObject::GetIDsOfNames(const char* const* names, UINT count, MEMBERID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const InterfaceDesc* itf = Interface();
    if (!itf || !names[0]) return DISP_E_UNKNOWNNAME;
    const FuncDesc* member = nullptr;
    for (const FuncDesc& f : itf->funcs) {
        if (MemberNamesEqual(f.name, names[0])) {
            member = FindMember(f.memid);
            break;
        }
    }
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        bool found = false;
        for (size_t p = 0; names[i] && p < member->params.size(); ++p) {
            if (!member->params[p].name.empty() &&
                MemberNamesEqual(member->params[p].name, names[i])) {
                ids[i] = static_cast<MEMBERID>(p);
                found = true;
                break;
            }
        }
        if (!found) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT TypeInfoObject::GetDocumentation(MEMBERID memid, BSTR* name, BSTR* docString,
                                         DWORD* helpContext, BSTR* helpFile) {
    const std::string* itemName = nullptr;
    const std::string* help = nullptr;
    DWORD context = 0;
    if (memid == MEMBERID_NIL) {
        if (const InterfaceDesc* itf = Interface()) {
            itemName = &itf->name;
            help = &itf->helpString;
            context = itf->helpContext;
        } else if (const CoclassDesc* cls = Coclass()) {
            itemName = &cls->name;
            help = &cls->helpString;
            context = cls->helpContext;
        }
    } else if (const FuncDesc* f = FindMember(memid)) {
        itemName = &f->name;
        help = &f->helpString;
        context = f->helpContext;
    }
    if (!itemName) return TYPE_E_ELEMENTNOTFOUND;
    if (name) *name = *itemName;
    if (docString) *docString = *help;
    if (helpContext) *helpContext = context;
    if (helpFile) *helpFile = lib_->helpFile;
    return S_OK;
}

HRESULT TypeInfoObject::GetRefTypeOfImplType(UINT index, HREFTYPE* ref) {
    if (!ref) return E_INVALIDARG;
    const CoclassDesc* cls = Coclass();
    if (!cls || index >= cls->interfaces.size()) return TYPE_E_ELEMENTNOTFOUND;
    for (size_t i = 0; i < lib_->interfaces.size(); ++i) {
        if (lib_->interfaces[i].iid == cls->interfaces[index].iid) {
            *ref = static_cast<HREFTYPE>(i);
            return S_OK;
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeInfoObject::GetImplTypeFlags(UINT index, INT* flags) {
    if (!flags) return E_INVALIDARG;
    const CoclassDesc* cls = Coclass();
    if (!cls || index >= cls->interfaces.size()) return TYPE_E_ELEMENTNOTFOUND;
    *flags = cls->interfaces[index].flags;
    return S_OK;
}

HRESULT TypeInfoObject::GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (ref >= lib_->interfaces.size() + lib_->coclasses.size()) return TYPE_E_ELEMENTNOTFOUND;
    try {
        *info = MakeCom<TypeInfoObject>(lib_, ref).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TypeInfoObject::GetContainingTypeLib(ITypeLib** lib, UINT* index) {
    if (index) *index = index_;
    if (!lib) return S_OK;
    *lib = nullptr;
    try {
        *lib = MakeCom<TypeLibObject>(lib_).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
