#include "platform/com/DispatchTable.h"

#include <new>
#include <stdexcept>

#include "platform/com/DispatchException.h"
#include "platform/com/MemberName.h"
#include "platform/com/TypeLib.h"
#include "platform/com/VariantConvert.h"

namespace {

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = FoldAsciiCase(c);
    return folded;
}

int IntegerWidth(VARTYPE type) {
    switch (type) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return 4;
        case VT_I8:
        case VT_UI8:
            return 8;
        default:
            return 0;
    }
}

Variant IntegerOfType(VARTYPE type, int64_t bits) {
    switch (type) {
        case VT_I1:
            return Variant(static_cast<int8_t>(bits));
        case VT_UI1:
            return Variant(static_cast<uint8_t>(bits));
        case VT_I2:
            return Variant(static_cast<int16_t>(bits));
        case VT_UI2:
            return Variant(static_cast<uint16_t>(bits));
        case VT_I4:
            return Variant(static_cast<int32_t>(bits));
        case VT_UI4:
            return Variant(static_cast<uint32_t>(bits));
        case VT_INT:
            return Variant::MakeInt(static_cast<int32_t>(bits));
        case VT_UINT:
            return Variant::MakeUInt(static_cast<uint32_t>(bits));
        case VT_I8:
            return Variant(bits);
        default:
            return Variant(static_cast<uint64_t>(bits));
    }
}

bool IsMissingArgument(const Variant& arg) {
    return arg.Deref().IsMissing();
}

// Colours and handles are 32-bit patterns: a caller may pass them signed or unsigned.
bool IsBitPattern(const TypeDesc& type) {
    return type.name == "OLE_COLOR" || type.name == "OLE_HANDLE";
}

// An argument converted to its parameter's type.
HRESULT CoerceArgument(const Variant& arg, const TypeDesc& type, Variant* out) {
    if (type.vt == VT_VARIANT) {
        *out = arg;
        return S_OK;
    }
    if (IsBitPattern(type)) {
        Variant value = arg.Deref();
        int64_t bits = 0;
        if (IntegerWidth(value.Type()) == IntegerWidth(type.vt) && value.GetInteger(&bits)) {
            *out = IntegerOfType(type.vt, bits);
            return S_OK;
        }
    }
    return VariantChangeType(out, &arg, 0, type.vt);
}

// What a handler's exception means to the caller.
HRESULT RunHandler(const DispatchHandler& handler, void* self, std::vector<Variant>& args,
                   Variant* result, EXCEPINFO* excepInfo, const std::string& source) {
    try {
        handler(self, args, result);
        return S_OK;
    } catch (const DispatchError& e) {
        return e.Result();
    } catch (const DispatchException& e) {
        if (excepInfo) {
            *excepInfo = EXCEPINFO{};
            excepInfo->scode = e.Scode();
            excepInfo->bstrDescription = e.Description();
            excepInfo->bstrSource = e.Source().empty() ? source : e.Source();
        }
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        if (excepInfo) {
            *excepInfo = EXCEPINFO{};
            excepInfo->scode = E_FAIL;
            excepInfo->bstrDescription = e.what();
            excepInfo->bstrSource = source;
        }
        return DISP_E_EXCEPTION;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Places the arguments of DISPPARAMS on the parameters, converted. `putValue` is the rgvarg index
// of a put's new value (excluded here), or -1.
HRESULT GatherArguments(const std::vector<ParamDesc>& params, const DISPPARAMS& dp, int putValue,
                        std::vector<Variant>* out, UINT* argErr) {
    UINT named = dp.cNamedArgs;
    UINT positional = dp.cArgs - named;
    if (positional > params.size()) return DISP_E_BADPARAMCOUNT;
    std::vector<int> slot(params.size(), -1);
    for (UINT j = 0; j < positional; ++j) slot[j] = static_cast<int>(dp.cArgs - 1 - j);
    bool anyNamed = false;
    for (UINT i = 0; i < named; ++i) {
        if (static_cast<int>(i) == putValue) continue;
        DISPID id = dp.rgdispidNamedArgs[i];
        if (id < 0 || static_cast<size_t>(id) >= params.size() ||
            slot[static_cast<size_t>(id)] != -1) {
            if (argErr) *argErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
        slot[static_cast<size_t>(id)] = static_cast<int>(i);
        anyNamed = true;
    }
    out->clear();
    out->reserve(params.size() + 1);
    for (size_t p = 0; p < params.size(); ++p) {
        const ParamDesc& param = params[p];
        const Variant* arg = slot[p] >= 0 ? &dp.rgvarg[slot[p]] : nullptr;
        if (!arg || IsMissingArgument(*arg)) {
            if (param.defaultValue) {
                Variant value = *param.defaultValue;
                HRESULT hr = ConvertToDeclaredType(&value, param.type);
                if (FAILED(hr)) return hr;
                out->push_back(std::move(value));
                continue;
            }
            if (param.flags & PARAMFLAG_FOPT) {
                // Optional without a default: the parameter sees the missing marker.
                out->push_back(Variant::MakeMissing());
                continue;
            }
            if (!arg && !anyNamed) return DISP_E_BADPARAMCOUNT;
            if (arg && argErr) *argErr = static_cast<UINT>(slot[p]);
            return DISP_E_PARAMNOTOPTIONAL;
        }
        Variant value;
        HRESULT hr = CoerceArgument(*arg, param.type, &value);
        if (FAILED(hr)) {
            if (argErr) *argErr = static_cast<UINT>(slot[p]);
            return hr;
        }
        out->push_back(std::move(value));
    }
    return S_OK;
}

}  // namespace

HRESULT ConvertToDeclaredType(Variant* value, const TypeDesc& type) {
    if (type.vt == VT_VOID) {
        value->Clear();
        return S_OK;
    }
    if (type.vt == VT_VARIANT || value->Type() == type.vt) return S_OK;
    int64_t bits = 0;
    int width = IntegerWidth(type.vt);
    if (width != 0 && IntegerWidth(value->Type()) == width && value->GetInteger(&bits)) {
        *value = IntegerOfType(type.vt, bits);
        return S_OK;
    }
    return VariantChangeType(value, value, 0, type.vt);
}

DispatchTable::DispatchTable(IID iid, std::string name, std::string helpString)
    : iid_(iid), name_(std::move(name)), helpString_(std::move(helpString)) {}

void DispatchTable::Add(DispatchMember member) {
    if (member.name.empty()) throw std::logic_error("dispatch member without a name");
    if (!member.invoke) throw std::logic_error("dispatch member without a handler: " + member.name);
    if (byId_.count(member.dispid))
        throw std::logic_error("second dispatch member with one DISPID: " + member.name);
    std::string folded = Folded(member.name);
    if (byName_.count(folded))
        throw std::logic_error("second dispatch member with one name: " + member.name);
    if ((member.flags & kMemberDefault) && defaultMember_ >= 0) {
        throw std::logic_error("second default dispatch member: " + member.name);
    }
    bool optionalSeen = false;
    for (const ParamDesc& p : member.params) {
        bool optional = p.defaultValue.has_value() || (p.flags & PARAMFLAG_FOPT);
        if (optionalSeen && !optional) {
            throw std::logic_error("required parameter after an optional one: " + member.name);
        }
        optionalSeen = optionalSeen || optional;
    }
    size_t index = members_.size();
    if (member.flags & kMemberDefault) defaultMember_ = static_cast<ptrdiff_t>(index);
    byId_.emplace(member.dispid, index);
    byName_.emplace(std::move(folded), index);
    members_.push_back(std::move(member));
}

const DispatchMember* DispatchTable::Find(DISPID dispid) const {
    auto it = byId_.find(dispid);
    if (it != byId_.end()) return &members_[it->second];
    if (dispid == DISPID_VALUE && defaultMember_ >= 0)
        return &members_[static_cast<size_t>(defaultMember_)];
    return nullptr;
}

const DispatchMember* DispatchTable::FindByName(std::string_view name) const {
    auto it = byName_.find(Folded(name));
    return it == byName_.end() ? nullptr : &members_[it->second];
}

HRESULT DispatchTable::GetIDsOfNames(REFIID riid, const char* const* names, UINT count,
                                     DISPID* ids) const {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const DispatchMember* member = names[0] ? FindByName(names[0]) : nullptr;
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        bool found = false;
        for (size_t p = 0; names[i] && p < member->params.size(); ++p) {
            if (MemberNamesEqual(member->params[p].name, names[i])) {
                ids[i] = static_cast<DISPID>(p);
                found = true;
                break;
            }
        }
        if (!found) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchTable::Invoke(void* self, DISPID dispid, REFIID riid, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                              UINT* argErr) const {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    const DISPPARAMS& dp = *params;
    if ((dp.cArgs > 0 && !dp.rgvarg) || dp.cNamedArgs > dp.cArgs ||
        (dp.cNamedArgs > 0 && !dp.rgdispidNamedArgs)) {
        return E_INVALIDARG;
    }
    if (result) result->Clear();
    const DispatchMember* member = Find(dispid);
    if (!member) return DISP_E_MEMBERNOTFOUND;

    std::vector<Variant> args;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (member->kind != MemberKind::Property) return DISP_E_MEMBERNOTFOUND;
        bool objectLike = member->type.IsObject() || member->type.vt == VT_VARIANT;
        if (!(flags & DISPATCH_PROPERTYPUT) && !objectLike) return DISP_E_MEMBERNOTFOUND;
        if (member->IsReadOnly()) {
            if (excepInfo) {
                *excepInfo = EXCEPINFO{};
                excepInfo->scode = CTL_E_SETNOTSUPPORTED;
                excepInfo->bstrSource = name_;
                excepInfo->bstrDescription = "The property " + member->name + " is read-only.";
            }
            return CTL_E_SETNOTSUPPORTED;
        }
        int putValue = -1;
        for (UINT i = 0; i < dp.cNamedArgs; ++i) {
            if (dp.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
                putValue = static_cast<int>(i);
                break;
            }
        }
        if (putValue < 0) return DISP_E_PARAMNOTOPTIONAL;
        HRESULT hr = GatherArguments(member->params, dp, putValue, &args, argErr);
        if (FAILED(hr)) return hr;
        const Variant& newValue = dp.rgvarg[putValue];
        Variant value;
        hr = CoerceArgument(newValue, member->type, &value);
        if (FAILED(hr)) {
            if (argErr) *argErr = static_cast<UINT>(putValue);
            return hr;
        }
        args.push_back(std::move(value));
        Variant ignored;
        return RunHandler(member->put, self, args, &ignored, excepInfo, name_);
    }

    bool wanted = member->kind == MemberKind::Method ? (flags & DISPATCH_METHOD) != 0
                                                     : (flags & DISPATCH_PROPERTYGET) != 0;
    if (!wanted) return DISP_E_MEMBERNOTFOUND;
    for (UINT i = 0; i < dp.cNamedArgs; ++i) {
        if (dp.rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
            if (argErr) *argErr = i;
            return DISP_E_PARAMNOTFOUND;
        }
    }
    HRESULT hr = GatherArguments(member->params, dp, -1, &args, argErr);
    if (FAILED(hr)) return hr;
    Variant value;
    hr = RunHandler(member->invoke, self, args, &value, excepInfo, name_);
    if (FAILED(hr)) return hr;
    hr = ConvertToDeclaredType(&value, member->type);
    if (FAILED(hr)) return hr;
    if (result) *result = std::move(value);
    return S_OK;
}

InterfaceDesc DispatchTable::Describe() const {
    InterfaceDesc desc;
    desc.iid = iid_;
    desc.name = name_;
    desc.kind = TKIND_DISPATCH;
    desc.typeFlags = TYPEFLAG_FDISPATCHABLE;
    desc.helpString = helpString_;
    for (const DispatchMember& m : members_) {
        WORD funcFlags = 0;
        if (m.flags & kMemberRestricted) funcFlags |= FUNCFLAG_FRESTRICTED;
        if (m.flags & kMemberHidden) funcFlags |= FUNCFLAG_FHIDDEN;
        if (m.flags & kMemberDefault) funcFlags |= FUNCFLAG_FUIDEFAULT;
        FuncDesc f;
        f.memid = m.dispid;
        f.name = m.name;
        f.params = m.params;
        f.flags = funcFlags;
        f.helpString = m.helpString;
        if (m.kind == MemberKind::Method) {
            f.invkind = INVOKE_FUNC;
            f.result = m.type;
            desc.funcs.push_back(std::move(f));
            continue;
        }
        f.invkind = INVOKE_PROPERTYGET;
        f.result = m.type;
        desc.funcs.push_back(f);
        if (!m.IsReadOnly()) {
            f.invkind = m.type.IsObject() ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT;
            f.result = TypeDesc(VT_VOID);
            f.params.push_back(ParamDesc{"", m.type});
            desc.funcs.push_back(std::move(f));
        }
    }
    return desc;
}

HRESULT DispatchTable::GetTypeInfo(ITypeInfo** info) const {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    try {
        return CreateTypeInfo(Describe(), info);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
