#include "platform/com/Variant.h"

#include <cstdio>
#include <ostream>
#include <utility>

#include "platform/com/VariantConvert.h"

namespace {
const std::string kEmptyText;

bool IsIntegerType(VARTYPE type) {
    switch (type) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}
}  // namespace

Variant::Variant(Variant&& other) noexcept
    : vt_(std::exchange(other.vt_, VT_EMPTY)),
      bits_(std::exchange(other.bits_, 0)),
      ref_(std::exchange(other.ref_, nullptr)),
      bstr_(std::move(other.bstr_)),
      unknown_(std::move(other.unknown_)) {
    other.bstr_.clear();
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        vt_ = std::exchange(other.vt_, VT_EMPTY);
        bits_ = std::exchange(other.bits_, 0);
        ref_ = std::exchange(other.ref_, nullptr);
        bstr_ = std::move(other.bstr_);
        other.bstr_.clear();
        unknown_ = std::move(other.unknown_);
    }
    return *this;
}

Variant::Variant(bool value) : Variant(MakeBool(value ? VARIANT_TRUE : VARIANT_FALSE)) {}
Variant::Variant(int8_t value) : Variant(FromScalar(VT_I1, value)) {}
Variant::Variant(uint8_t value) : Variant(FromScalar(VT_UI1, value)) {}
Variant::Variant(int16_t value) : Variant(FromScalar(VT_I2, value)) {}
Variant::Variant(uint16_t value) : Variant(FromScalar(VT_UI2, value)) {}
Variant::Variant(int32_t value) : Variant(FromScalar(VT_I4, value)) {}
Variant::Variant(uint32_t value) : Variant(FromScalar(VT_UI4, value)) {}
Variant::Variant(int64_t value) : Variant(FromScalar(VT_I8, value)) {}
Variant::Variant(uint64_t value) : Variant(FromScalar(VT_UI8, value)) {}
Variant::Variant(float value) : Variant(FromScalar(VT_R4, value)) {}
Variant::Variant(double value) : Variant(FromScalar(VT_R8, value)) {}
Variant::Variant(const char* text) : Variant(std::string(text ? text : "")) {}
Variant::Variant(std::string text) : vt_(VT_BSTR), bstr_(std::move(text)) {}
Variant::Variant(std::string_view text) : Variant(std::string(text)) {}

Variant Variant::MakeNull() {
    Variant v;
    v.vt_ = VT_NULL;
    return v;
}
Variant Variant::MakeError(SCODE code) {
    return FromScalar(VT_ERROR, code);
}
Variant Variant::MakeMissing() {
    return MakeError(DISP_E_PARAMNOTFOUND);
}
Variant Variant::MakeBool(VARIANT_BOOL value) {
    return FromScalar(VT_BOOL, value ? VARIANT_TRUE : VARIANT_FALSE);
}
Variant Variant::MakeInt(int32_t value) {
    return FromScalar(VT_INT, value);
}
Variant Variant::MakeUInt(uint32_t value) {
    return FromScalar(VT_UINT, value);
}
Variant Variant::MakeCurrency(CY value) {
    return FromScalar(VT_CY, value.int64);
}

Variant Variant::MakeDispatch(IDispatch* dispatch) {
    Variant v;
    v.vt_ = VT_DISPATCH;
    v.unknown_ = static_cast<IUnknown*>(dispatch);
    return v;
}

Variant Variant::MakeUnknown(IUnknown* unknown) {
    Variant v;
    v.vt_ = VT_UNKNOWN;
    v.unknown_ = unknown;
    return v;
}

Variant Variant::MakeByRef(VARTYPE type, void* target) {
    Variant v;
    VARTYPE base = static_cast<VARTYPE>(type & ~VT_BYREF);
    if (!target || (!IsSupportedVarType(base) && base != VT_VARIANT) || base == VT_EMPTY ||
        base == VT_NULL) {
        return v;  // nothing sensible to refer to: an empty variant
    }
    v.vt_ = static_cast<VARTYPE>(base | VT_BYREF);
    v.ref_ = target;
    return v;
}

bool Variant::IsMissing() const {
    return vt_ == VT_ERROR && Scode() == DISP_E_PARAMNOTFOUND;
}

const std::string& Variant::Bstr() const {
    return vt_ == VT_BSTR ? bstr_ : kEmptyText;
}

IDispatch* Variant::Dispatch() const {
    // The stored IUnknown is the IUnknown base of an IDispatch: this cast returns to it.
    return vt_ == VT_DISPATCH ? static_cast<IDispatch*>(unknown_.Get()) : nullptr;
}

IUnknown* Variant::Unknown() const {
    return vt_ == VT_UNKNOWN || vt_ == VT_DISPATCH ? unknown_.Get() : nullptr;
}

bool Variant::GetInteger(int64_t* value) const {
    if (!value || !IsIntegerType(vt_)) return false;
    switch (vt_) {
        case VT_I1:
            *value = I1();
            break;
        case VT_UI1:
            *value = UI1();
            break;
        case VT_I2:
            *value = I2();
            break;
        case VT_UI2:
            *value = UI2();
            break;
        case VT_I4:
            *value = I4();
            break;
        case VT_UI4:
            *value = UI4();
            break;
        case VT_I8:
            *value = I8();
            break;
        case VT_UI8:
            *value = static_cast<int64_t>(UI8());
            break;
        case VT_INT:
            *value = Int();
            break;
        case VT_UINT:
            *value = UInt();
            break;
        case VT_BOOL:
            *value = Bool() ? -1 : 0;
            break;
        default:
            return false;
    }
    return true;
}

Variant Variant::Deref() const {
    if (!IsByRef()) return *this;
    VARTYPE base = BaseType();
    switch (base) {
        case VT_I1:
            return FromScalar(base, *static_cast<int8_t*>(ref_));
        case VT_UI1:
            return FromScalar(base, *static_cast<uint8_t*>(ref_));
        case VT_I2:
        case VT_BOOL:
            return FromScalar(base, *static_cast<int16_t*>(ref_));
        case VT_UI2:
            return FromScalar(base, *static_cast<uint16_t*>(ref_));
        case VT_I4:
        case VT_INT:
        case VT_ERROR:
            return FromScalar(base, *static_cast<int32_t*>(ref_));
        case VT_UI4:
        case VT_UINT:
            return FromScalar(base, *static_cast<uint32_t*>(ref_));
        case VT_I8:
        case VT_CY:
            return FromScalar(base, *static_cast<int64_t*>(ref_));
        case VT_UI8:
            return FromScalar(base, *static_cast<uint64_t*>(ref_));
        case VT_R4:
            return FromScalar(base, *static_cast<float*>(ref_));
        case VT_R8:
            return FromScalar(base, *static_cast<double*>(ref_));
        case VT_BSTR:
            return Variant(*static_cast<std::string*>(ref_));
        case VT_DISPATCH:
            return MakeDispatch(*static_cast<IDispatch**>(ref_));
        case VT_UNKNOWN:
            return MakeUnknown(*static_cast<IUnknown**>(ref_));
        case VT_VARIANT: {
            // A referenced variant may itself refer to a value; a chain of variant references
            // (which could loop) is not followed.
            const Variant& inner = *static_cast<const Variant*>(ref_);
            if (!inner.IsByRef()) return inner;
            return inner.BaseType() == VT_VARIANT ? Variant() : inner.Deref();
        }
        default:
            return Variant();
    }
}

HRESULT Variant::AssignThroughRef(const Variant& value) const {
    if (!IsByRef()) return E_INVALIDARG;
    VARTYPE base = BaseType();
    if (base == VT_VARIANT) {
        *static_cast<Variant*>(ref_) = value.Deref();
        return S_OK;
    }
    Variant converted;
    HRESULT hr = VariantChangeType(&converted, &value, 0, base);
    if (FAILED(hr)) return hr;
    switch (base) {
        case VT_BSTR:
            *static_cast<std::string*>(ref_) = converted.Bstr();
            return S_OK;
        case VT_DISPATCH: {
            IDispatch*& slot = *static_cast<IDispatch**>(ref_);
            IDispatch* next = converted.Dispatch();
            if (next) next->AddRef();
            if (slot) slot->Release();
            slot = next;
            return S_OK;
        }
        case VT_UNKNOWN: {
            IUnknown*& slot = *static_cast<IUnknown**>(ref_);
            IUnknown* next = converted.Unknown();
            if (next) next->AddRef();
            if (slot) slot->Release();
            slot = next;
            return S_OK;
        }
        default: {
            size_t size = 0;
            switch (base) {
                case VT_I1:
                case VT_UI1:
                    size = 1;
                    break;
                case VT_I2:
                case VT_UI2:
                case VT_BOOL:
                    size = 2;
                    break;
                case VT_I4:
                case VT_UI4:
                case VT_INT:
                case VT_UINT:
                case VT_ERROR:
                case VT_R4:
                    size = 4;
                    break;
                default:
                    size = 8;
                    break;
            }
            std::memcpy(ref_, &converted.bits_, size);
            return S_OK;
        }
    }
}

HRESULT Variant::ChangeType(VARTYPE type, USHORT flags) {
    return VariantChangeType(this, this, flags, type);
}

void Variant::Clear() {
    *this = Variant();
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.vt_ != b.vt_) return false;
    if (a.IsByRef()) return a.ref_ == b.ref_;
    switch (a.vt_) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_BSTR:
            return a.bstr_ == b.bstr_;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return a.unknown_.Get() == b.unknown_.Get();
        case VT_R4:
            return a.R4() == b.R4();
        case VT_R8:
            return a.R8() == b.R8();
        default:
            return a.bits_ == b.bits_;
    }
}

std::string Variant::Describe() const {
    std::string text =
        IsByRef() ? std::string("VT_BYREF|") + VarTypeName(BaseType()) : VarTypeName(vt_);
    if (IsByRef() || vt_ == VT_EMPTY || vt_ == VT_NULL) return text;
    char number[64];
    switch (vt_) {
        case VT_BSTR:
            return text + " \"" + bstr_ + "\"";
        case VT_DISPATCH:
        case VT_UNKNOWN:
            std::snprintf(number, sizeof number, " %p", static_cast<void*>(unknown_.Get()));
            return text + number;
        case VT_ERROR:
            std::snprintf(number, sizeof number, " 0x%08X", static_cast<unsigned>(Scode()));
            return text + number;
        default: {
            Variant asText;
            if (SUCCEEDED(VariantChangeType(&asText, this, 0, VT_BSTR)))
                return text + " " + asText.Bstr();
            return text;
        }
    }
}

std::ostream& operator<<(std::ostream& out, const Variant& value) {
    return out << value.Describe();
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    *dest = *src;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (src->BaseType() == VT_VARIANT && src->IsByRef()) {
        auto* inner = static_cast<const Variant*>(src->RefTarget());
        if (inner->IsByRef() && inner->BaseType() == VT_VARIANT) return E_INVALIDARG;
    }
    *dest = src->Deref();
    return S_OK;
}

bool IsSupportedVarType(VARTYPE type) {
    switch (type) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_BOOL:
        case VT_BSTR:
        case VT_ERROR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

const char* VarTypeName(VARTYPE type) {
    switch (type) {
        case VT_EMPTY:
            return "VT_EMPTY";
        case VT_NULL:
            return "VT_NULL";
        case VT_I1:
            return "VT_I1";
        case VT_UI1:
            return "VT_UI1";
        case VT_I2:
            return "VT_I2";
        case VT_UI2:
            return "VT_UI2";
        case VT_I4:
            return "VT_I4";
        case VT_UI4:
            return "VT_UI4";
        case VT_I8:
            return "VT_I8";
        case VT_UI8:
            return "VT_UI8";
        case VT_INT:
            return "VT_INT";
        case VT_UINT:
            return "VT_UINT";
        case VT_R4:
            return "VT_R4";
        case VT_R8:
            return "VT_R8";
        case VT_CY:
            return "VT_CY";
        case VT_DATE:
            return "VT_DATE";
        case VT_BOOL:
            return "VT_BOOL";
        case VT_BSTR:
            return "VT_BSTR";
        case VT_ERROR:
            return "VT_ERROR";
        case VT_DISPATCH:
            return "VT_DISPATCH";
        case VT_UNKNOWN:
            return "VT_UNKNOWN";
        case VT_VARIANT:
            return "VT_VARIANT";
        case VT_VOID:
            return "VT_VOID";
        case VT_HRESULT:
            return "VT_HRESULT";
        case VT_USERDEFINED:
            return "VT_USERDEFINED";
        default:
            return "VT_?";
    }
}
