#include "platform/com/VariantConvert.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/com/MemberName.h"

namespace {

// A numeric value in the exact form of its source.
struct Number {
    enum class Kind { Signed, Unsigned, Real, Currency, Bool } kind = Kind::Signed;
    int64_t i = 0;  // Signed, Bool (-1 or 0), Currency (value times 10000)
    uint64_t u = 0;
    double r = 0;
    bool single = false;  // a VT_R4 source: printed with 7 digits
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Ties go to the even neighbour, independent of the floating-point rounding mode.
double RoundHalfEven(double x) {
    double low = std::floor(x);
    double diff = x - low;
    if (diff > 0.5) return low + 1;
    if (diff < 0.5) return low;
    return std::fmod(low, 2.0) == 0 ? low : low + 1;
}

// Currency to a whole number, ties to even.
int64_t RoundCurrency(int64_t scaled) {
    int64_t whole = scaled / 10000;
    int64_t rest = scaled % 10000;
    int64_t absRest = rest < 0 ? -rest : rest;
    if (absRest > 5000 || (absRest == 5000 && whole % 2 != 0)) whole += scaled < 0 ? -1 : 1;
    return whole;
}

// Roughly the power of ten of cleaned decimal text ("123.4e5" gives 8): positive when the value
// is at least 1.
long DecimalMagnitude(std::string_view clean) {
    size_t e = clean.find('e');
    long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = clean.substr(e + 1);
        bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
            digits.remove_prefix(1);
        for (char c : digits) {
            exponent = std::min(exponent * 10 + (c - '0'), 100000L);
        }
        if (negative) exponent = -exponent;
        clean = clean.substr(0, e);
    }
    if (!clean.empty() && clean.front() == '-') clean.remove_prefix(1);
    size_t point = clean.find('.');
    std::string_view whole = clean.substr(0, point);
    while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
    if (!whole.empty()) return static_cast<long>(whole.size()) + exponent;
    long zeros = 0;
    if (point != std::string_view::npos) {
        for (size_t i = point + 1; i < clean.size() && clean[i] == '0'; ++i) ++zeros;
    }
    return exponent - zeros;
}

// Decimal text: [sign] digits[,digits...] [. digits] [e [sign] digits], blanks around.
HRESULT ParseNumber(std::string_view text, Number* out) {
    text = Trim(text);
    std::string clean;
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (negative) clean += '-';
    size_t digits = 0;
    while (pos < text.size()) {
        char c = text[pos];
        if (c >= '0' && c <= '9') {
            clean += c;
            ++digits;
        } else if (c == ',' && digits > 0) {
            // group separator: dropped
        } else {
            break;
        }
        ++pos;
    }
    bool real = false;
    if (pos < text.size() && text[pos] == '.') {
        real = true;
        clean += '.';
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            clean += text[pos++];
            ++digits;
        }
    }
    if (digits == 0) return DISP_E_TYPEMISMATCH;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        real = true;
        clean += 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) clean += text[pos++];
        size_t exponentDigits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            clean += text[pos++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) return DISP_E_TYPEMISMATCH;
    }
    if (pos != text.size()) return DISP_E_TYPEMISMATCH;

    if (!real) {
        // Whole numbers are read exactly while they fit 64 bits.
        uint64_t magnitude = 0;
        const char* first = clean.data() + (negative ? 1 : 0);
        auto [end, error] = std::from_chars(first, clean.data() + clean.size(), magnitude);
        if (error == std::errc() && end == clean.data() + clean.size()) {
            if (negative) {
                if (magnitude <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) {
                    out->kind = Number::Kind::Signed;
                    out->i = magnitude == 0 ? 0 : static_cast<int64_t>(0 - magnitude);
                    return S_OK;
                }
            } else if (magnitude <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
                out->kind = Number::Kind::Signed;
                out->i = static_cast<int64_t>(magnitude);
                return S_OK;
            } else {
                out->kind = Number::Kind::Unsigned;
                out->u = magnitude;
                return S_OK;
            }
        }
    }
    double value = 0;
    auto [end, error] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too small reads as zero; too large overflows every target.
        out->kind = Number::Kind::Real;
        out->r = negative ? -0.0 : 0.0;
        return DecimalMagnitude(clean) > 0 ? DISP_E_OVERFLOW : S_OK;
    }
    if (error != std::errc() || end != clean.data() + clean.size()) return DISP_E_TYPEMISMATCH;
    out->kind = Number::Kind::Real;
    out->r = value;
    return S_OK;
}

HRESULT ParseBool(std::string_view text, bool* out) {
    std::string_view word = Trim(text);
    if (MemberNamesEqual(word, "true") || MemberNamesEqual(word, "#true#")) {
        *out = true;
        return S_OK;
    }
    if (MemberNamesEqual(word, "false") || MemberNamesEqual(word, "#false#")) {
        *out = false;
        return S_OK;
    }
    Number n;
    HRESULT hr = ParseNumber(text, &n);
    if (hr == DISP_E_OVERFLOW) {
        *out = true;  // a huge number is still not zero
        return S_OK;
    }
    if (FAILED(hr)) return hr;
    *out = n.kind == Number::Kind::Real ? n.r != 0
                                        : (n.kind == Number::Kind::Unsigned ? n.u != 0 : n.i != 0);
    return S_OK;
}

// The default member of an object, read as a property.
HRESULT ValueOfObject(const Variant& object, USHORT flags, Variant* value) {
    if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
    ComPtr<IDispatch> dispatch;
    if (object.Type() == VT_DISPATCH) {
        dispatch = object.Dispatch();
    } else if (IUnknown* unknown = object.Unknown()) {
        dispatch = QueryAs<IDispatch>(unknown);
    }
    if (!dispatch) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none;
    Variant result;
    HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                  &none, &result, nullptr, nullptr);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    *value = std::move(result);
    return S_OK;
}

HRESULT ToNumber(const Variant& v, USHORT flags, Number* n) {
    int64_t whole = 0;
    switch (v.Type()) {
        case VT_EMPTY:
            n->kind = Number::Kind::Signed;
            n->i = 0;
            return S_OK;
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
            v.GetInteger(&whole);
            n->kind = Number::Kind::Signed;
            n->i = whole;
            return S_OK;
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UINT:
            v.GetInteger(&whole);
            n->kind = Number::Kind::Unsigned;
            n->u = static_cast<uint64_t>(whole);
            return S_OK;
        case VT_UI8:
            n->kind = Number::Kind::Unsigned;
            n->u = v.UI8();
            return S_OK;
        case VT_BOOL:
            n->kind = Number::Kind::Bool;
            n->i = v.Bool() ? -1 : 0;
            return S_OK;
        case VT_R4:
            n->kind = Number::Kind::Real;
            n->r = v.R4();
            n->single = true;
            return S_OK;
        case VT_R8:
            n->kind = Number::Kind::Real;
            n->r = v.R8();
            return S_OK;
        case VT_CY:
            n->kind = Number::Kind::Currency;
            n->i = v.Cy().int64;
            return S_OK;
        case VT_BSTR:
            return ParseNumber(v.Bstr(), n);
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            Variant value;
            HRESULT hr = ValueOfObject(v, flags, &value);
            if (FAILED(hr)) return hr;
            return ToNumber(value.Deref(), flags | VARIANT_NOVALUEPROP, n);
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

template <class T>
HRESULT ToInteger(const Number& n, T* out) {
    using Limits = std::numeric_limits<T>;
    switch (n.kind) {
        case Number::Kind::Bool:
            *out = static_cast<T>(n.i);  // -1 sets every bit of an unsigned target
            return S_OK;
        case Number::Kind::Currency:
        case Number::Kind::Signed: {
            int64_t value = n.kind == Number::Kind::Currency ? RoundCurrency(n.i) : n.i;
            if constexpr (std::is_signed_v<T>) {
                if (value < static_cast<int64_t>(Limits::min()) ||
                    value > static_cast<int64_t>(Limits::max())) {
                    return DISP_E_OVERFLOW;
                }
            } else {
                if (value < 0 ||
                    static_cast<uint64_t>(value) > static_cast<uint64_t>(Limits::max())) {
                    return DISP_E_OVERFLOW;
                }
            }
            *out = static_cast<T>(value);
            return S_OK;
        }
        case Number::Kind::Unsigned:
            if (n.u > static_cast<uint64_t>(Limits::max())) return DISP_E_OVERFLOW;
            *out = static_cast<T>(n.u);
            return S_OK;
        case Number::Kind::Real: {
            if (!std::isfinite(n.r)) return DISP_E_OVERFLOW;
            double value = RoundHalfEven(n.r);
            // Exclusive upper bound 2^digits is exact in a double for every width.
            double upper = std::ldexp(1.0, Limits::digits);
            double lower = std::is_signed_v<T> ? -upper : 0.0;
            if (value >= upper || value < lower) return DISP_E_OVERFLOW;
            *out = static_cast<T>(value);
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

double ToDouble(const Number& n) {
    switch (n.kind) {
        case Number::Kind::Signed:
        case Number::Kind::Bool:
            return static_cast<double>(n.i);
        case Number::Kind::Unsigned:
            return static_cast<double>(n.u);
        case Number::Kind::Real:
            return n.r;
        case Number::Kind::Currency:
            return static_cast<double>(n.i) / 10000.0;
    }
    return 0;
}

HRESULT ToCurrency(const Number& n, CY* out) {
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10000;
    switch (n.kind) {
        case Number::Kind::Signed:
        case Number::Kind::Bool:
            if (n.i > kLimit || n.i < -kLimit) return DISP_E_OVERFLOW;
            out->int64 = n.i * 10000;
            return S_OK;
        case Number::Kind::Unsigned:
            if (n.u > static_cast<uint64_t>(kLimit)) return DISP_E_OVERFLOW;
            out->int64 = static_cast<int64_t>(n.u) * 10000;
            return S_OK;
        case Number::Kind::Currency:
            out->int64 = n.i;
            return S_OK;
        case Number::Kind::Real: {
            if (!std::isfinite(n.r)) return DISP_E_OVERFLOW;
            double scaled = RoundHalfEven(n.r * 10000.0);
            double upper = std::ldexp(1.0, 63);
            if (scaled >= upper || scaled < -upper) return DISP_E_OVERFLOW;
            out->int64 = static_cast<int64_t>(scaled);
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}

bool IsNonZero(const Number& n) {
    switch (n.kind) {
        case Number::Kind::Unsigned:
            return n.u != 0;
        case Number::Kind::Real:
            return n.r != 0;
        default:
            return n.i != 0;
    }
}

std::string FormatReal(double value, int digits) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-1.#INF" : "1.#INF";
    char text[64];
    auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
    if (error != std::errc()) return "0";
    std::string result(text, end);
    for (char& c : result) {
        if (c == 'e') c = 'E';
    }
    return result;
}

std::string FormatCurrency(int64_t scaled) {
    uint64_t magnitude =
        scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    // Appended piece by piece: prepending to a temporary makes GCC's -O3 see an overlapping copy.
    std::string text;
    if (scaled < 0) text.push_back('-');
    text.append(std::to_string(magnitude / 10000));
    uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        char digits[4];
        for (int i = 3; i >= 0; --i) {
            digits[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        size_t length = 4;
        while (digits[length - 1] == '0') --length;
        text.push_back('.');
        text.append(digits, length);
    }
    return text;
}

std::string FormatNumber(const Number& n) {
    switch (n.kind) {
        case Number::Kind::Signed:
        case Number::Kind::Bool:
            return std::to_string(n.i);
        case Number::Kind::Unsigned:
            return std::to_string(n.u);
        case Number::Kind::Real:
            return FormatReal(n.r, n.single ? 7 : 15);
        case Number::Kind::Currency:
            return FormatCurrency(n.i);
    }
    return {};
}

template <class T>
HRESULT IntegerResult(const Number& n, VARTYPE type, Variant* out) {
    T value{};
    HRESULT hr = ToInteger(n, &value);
    if (FAILED(hr)) return hr;
    if (type == VT_INT) {
        *out = Variant::MakeInt(static_cast<int32_t>(value));
    } else if (type == VT_UINT) {
        *out = Variant::MakeUInt(static_cast<uint32_t>(value));
    } else {
        *out = Variant(value);
    }
    return S_OK;
}

HRESULT NumberTo(const Number& n, VARTYPE type, Variant* out) {
    switch (type) {
        case VT_I1:
            return IntegerResult<int8_t>(n, type, out);
        case VT_UI1:
            return IntegerResult<uint8_t>(n, type, out);
        case VT_I2:
            return IntegerResult<int16_t>(n, type, out);
        case VT_UI2:
            return IntegerResult<uint16_t>(n, type, out);
        case VT_I4:
        case VT_INT:
            return IntegerResult<int32_t>(n, type, out);
        case VT_UI4:
        case VT_UINT:
            return IntegerResult<uint32_t>(n, type, out);
        case VT_I8:
            return IntegerResult<int64_t>(n, type, out);
        case VT_UI8:
            return IntegerResult<uint64_t>(n, type, out);
        case VT_R4: {
            double value = ToDouble(n);
            if (std::isfinite(value) && std::fabs(value) > FLT_MAX) return DISP_E_OVERFLOW;
            *out = Variant(static_cast<float>(value));
            return S_OK;
        }
        case VT_R8:
            *out = Variant(ToDouble(n));
            return S_OK;
        case VT_CY: {
            CY value;
            HRESULT hr = ToCurrency(n, &value);
            if (FAILED(hr)) return hr;
            *out = Variant::MakeCurrency(value);
            return S_OK;
        }
        case VT_BOOL:
            *out = Variant::MakeBool(IsNonZero(n) ? VARIANT_TRUE : VARIANT_FALSE);
            return S_OK;
        case VT_BSTR:
            *out = Variant(FormatNumber(n));
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT Convert(const Variant& value, USHORT flags, VARTYPE type, Variant* out) {
    VARTYPE from = value.Type();
    if (from == type) {
        *out = value;
        return S_OK;
    }
    if (from == VT_NULL || from == VT_ERROR) return DISP_E_TYPEMISMATCH;
    switch (type) {
        case VT_EMPTY:
            *out = Variant();
            return S_OK;
        case VT_NULL:
        case VT_ERROR:
            return DISP_E_TYPEMISMATCH;
        case VT_DISPATCH: {
            if (from == VT_EMPTY) {
                *out = Variant::MakeDispatch(nullptr);
                return S_OK;
            }
            if (from != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
            if (!value.Unknown()) {
                *out = Variant::MakeDispatch(nullptr);
                return S_OK;
            }
            ComPtr<IDispatch> dispatch = QueryAs<IDispatch>(value.Unknown());
            if (!dispatch) return E_NOINTERFACE;
            *out = Variant::MakeDispatch(dispatch.Get());
            return S_OK;
        }
        case VT_UNKNOWN: {
            if (from == VT_EMPTY) {
                *out = Variant::MakeUnknown(nullptr);
                return S_OK;
            }
            if (from != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
            // The object's identity, as QueryInterface(IUnknown) gives it.
            ComPtr<IUnknown> identity = QueryAs<IUnknown>(value.Dispatch());
            *out = Variant::MakeUnknown(identity.Get());
            return S_OK;
        }
        case VT_BSTR:
            if (from == VT_EMPTY) {
                *out = Variant(std::string());
                return S_OK;
            }
            if (from == VT_BOOL) {
                bool alpha = (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) != 0;
                bool set = value.Bool() != 0;
                *out = Variant(alpha ? (set ? "True" : "False") : (set ? "-1" : "0"));
                return S_OK;
            }
            break;
        case VT_BOOL:
            if (from == VT_BSTR) {
                bool set = false;
                HRESULT hr = ParseBool(value.Bstr(), &set);
                if (FAILED(hr)) return hr;
                *out = Variant::MakeBool(set ? VARIANT_TRUE : VARIANT_FALSE);
                return S_OK;
            }
            break;
        default:
            break;
    }
    if (!IsSupportedVarType(type)) return DISP_E_BADVARTYPE;
    if (from == VT_DISPATCH || from == VT_UNKNOWN) {
        Variant inner;
        HRESULT hr = ValueOfObject(value, flags, &inner);
        if (FAILED(hr)) return hr;
        return Convert(inner.Deref(), flags | VARIANT_NOVALUEPROP, type, out);
    }
    Number n;
    HRESULT hr = ToNumber(value, flags, &n);
    if (FAILED(hr)) return hr;
    return NumberTo(n, type, out);
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE type) {
    if (!dest || !src) return E_INVALIDARG;
    if ((type & (VT_BYREF | VT_ARRAY)) || !IsSupportedVarType(type)) return DISP_E_BADVARTYPE;
    Variant value;
    HRESULT hr = VariantCopyInd(&value, src);
    if (FAILED(hr)) return hr;
    Variant result;
    hr = Convert(value, flags, type, &result);
    if (FAILED(hr)) return hr;
    *dest = std::move(result);
    return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID, USHORT flags, VARTYPE type) {
    return VariantChangeType(dest, src, flags, type);
}
