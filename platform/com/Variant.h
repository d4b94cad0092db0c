#pragma once
// VARIANT: one automation value tagged with its VT_ code. Values behave like values: copying a
// variant that holds an interface adds a reference, clearing or destroying it releases one; a
// by-reference variant (VT_BYREF | type) copies only its pointer, as on the Windows platform.
//
// Supported: VT_EMPTY, VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_I8, VT_UI8, VT_INT,
// VT_UINT, VT_R4, VT_R8, VT_CY, VT_BOOL (VARIANT_TRUE is -1), VT_BSTR (UTF-8), VT_ERROR,
// VT_DISPATCH, VT_UNKNOWN, and VT_BYREF forms of all of these and of VT_VARIANT.
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

#include "platform/com/AutomationTypes.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"

class Variant {
public:
    Variant() = default;
    Variant(const Variant&) = default;
    Variant& operator=(const Variant&) = default;
    // The source is left empty.
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() = default;

    Variant(bool value);  // VT_BOOL
    Variant(int8_t value);
    Variant(uint8_t value);
    Variant(int16_t value);
    Variant(uint16_t value);
    Variant(int32_t value);
    Variant(uint32_t value);
    Variant(int64_t value);
    Variant(uint64_t value);
    Variant(float value);
    Variant(double value);
    Variant(const char* text);  // VT_BSTR
    Variant(std::string text);
    Variant(std::string_view text);
    // No silent pointer-to-bool: interfaces go through MakeDispatch / MakeUnknown.
    template <class T>
    Variant(T*) = delete;
    Variant(std::nullptr_t) = delete;

    static Variant MakeNull();
    static Variant MakeError(SCODE code);
    // The marker of an omitted optional argument: VT_ERROR with DISP_E_PARAMNOTFOUND.
    static Variant MakeMissing();
    // VARIANT_BOOL form; any non-zero value is VARIANT_TRUE.
    static Variant MakeBool(VARIANT_BOOL value);
    static Variant MakeInt(int32_t value);    // VT_INT
    static Variant MakeUInt(uint32_t value);  // VT_UINT
    static Variant MakeCurrency(CY value);
    // Take their own reference; null pointers are allowed.
    static Variant MakeDispatch(IDispatch* dispatch);
    static Variant MakeUnknown(IUnknown* unknown);
    // `target` must point at storage of `type` (VT_BSTR: a BSTR, VT_VARIANT: a Variant,
    // VT_DISPATCH: an IDispatch*, VT_UNKNOWN: an IUnknown*) that outlives every copy of the
    // variant.
    static Variant MakeByRef(VARTYPE type, void* target);

    VARTYPE Type() const { return vt_; }
    bool IsByRef() const { return (vt_ & VT_BYREF) != 0; }
    // The type without VT_BYREF.
    VARTYPE BaseType() const { return static_cast<VARTYPE>(vt_ & ~VT_BYREF); }
    bool IsEmpty() const { return vt_ == VT_EMPTY; }
    bool IsNull() const { return vt_ == VT_NULL; }
    // VT_ERROR with DISP_E_PARAMNOTFOUND.
    bool IsMissing() const;

    // Each accessor reads its own type and gives 0 (or empty, or null) for any other.
    int8_t I1() const { return Scalar<int8_t>(VT_I1); }
    uint8_t UI1() const { return Scalar<uint8_t>(VT_UI1); }
    int16_t I2() const { return Scalar<int16_t>(VT_I2); }
    uint16_t UI2() const { return Scalar<uint16_t>(VT_UI2); }
    int32_t I4() const { return Scalar<int32_t>(VT_I4); }
    uint32_t UI4() const { return Scalar<uint32_t>(VT_UI4); }
    int64_t I8() const { return Scalar<int64_t>(VT_I8); }
    uint64_t UI8() const { return Scalar<uint64_t>(VT_UI8); }
    int32_t Int() const { return Scalar<int32_t>(VT_INT); }
    uint32_t UInt() const { return Scalar<uint32_t>(VT_UINT); }
    float R4() const { return Scalar<float>(VT_R4); }
    double R8() const { return Scalar<double>(VT_R8); }
    CY Cy() const { return CY{Scalar<int64_t>(VT_CY)}; }
    VARIANT_BOOL Bool() const { return Scalar<VARIANT_BOOL>(VT_BOOL); }
    SCODE Scode() const { return Scalar<SCODE>(VT_ERROR); }
    const std::string& Bstr() const;
    IDispatch* Dispatch() const;
    IUnknown* Unknown() const;
    // The pointer of a by-reference variant, else null.
    void* RefTarget() const { return IsByRef() ? ref_ : nullptr; }

    // The value an integer or VT_BOOL variant holds, widened (VT_BOOL gives -1 or 0). False for
    // other types.
    bool GetInteger(int64_t* value) const;

    // A copy with one level of reference removed (VariantCopyInd); a non-reference variant is
    // copied as it is.
    Variant Deref() const;
    // Writes `value`, converted to the target's type, through a by-reference variant.
    HRESULT AssignThroughRef(const Variant& value) const;
    // Converts in place (VariantChangeType); the variant is unchanged on failure.
    HRESULT ChangeType(VARTYPE type, USHORT flags = 0);
    void Clear();

    // Same type and same value; interfaces compare by pointer, references by target.
    friend bool operator==(const Variant& a, const Variant& b);
    // "VT_I4 5", "VT_BSTR \"text\"" and so on, for messages and test output.
    std::string Describe() const;
    friend std::ostream& operator<<(std::ostream& out, const Variant& value);

private:
    template <class T>
    static Variant FromScalar(VARTYPE type, T value) {
        Variant v;
        v.vt_ = type;
        std::memcpy(&v.bits_, &value, sizeof value);
        return v;
    }
    template <class T>
    T Scalar(VARTYPE type) const {
        T value{};
        if (vt_ == type) std::memcpy(&value, &bits_, sizeof value);
        return value;
    }

    VARTYPE vt_ = VT_EMPTY;
    uint64_t bits_ = 0;
    void* ref_ = nullptr;
    std::string bstr_;
    // VT_DISPATCH keeps the IDispatch pointer here, as its IUnknown base.
    ComPtr<IUnknown> unknown_;
};

// The Windows-style free functions, for code that reads like the platform's.
inline void VariantInit(VARIANT* v) {
    if (v) *v = Variant();
}
inline HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    v->Clear();
    return S_OK;
}
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);

// Known VT_ code (without VT_BYREF) of the types above.
bool IsSupportedVarType(VARTYPE type);
const char* VarTypeName(VARTYPE type);
