#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/com/VariantConvert.h"
#include "tests/platform/com/AutomationTestObjects.h"

using automation_test::PlainObject;
using automation_test::ValueObject;

namespace {

struct Conversion {
    Variant from;
    VARTYPE to;
    HRESULT result;
    Variant expected;  // checked when the conversion succeeds
};

Variant I1(int8_t v) {
    return Variant(v);
}
Variant UI1(uint8_t v) {
    return Variant(v);
}
Variant I2(int16_t v) {
    return Variant(v);
}
Variant UI2(uint16_t v) {
    return Variant(v);
}
Variant I4(int32_t v) {
    return Variant(v);
}
Variant UI4(uint32_t v) {
    return Variant(v);
}
Variant I8(int64_t v) {
    return Variant(v);
}
Variant R4(float v) {
    return Variant(v);
}
Variant R8(double v) {
    return Variant(v);
}
Variant Text(const char* v) {
    return Variant(v);
}
Variant Bool(bool v) {
    return Variant(v);
}
Variant Cy(int64_t scaled) {
    return Variant::MakeCurrency(CY{scaled});
}

void Check(const std::vector<Conversion>& table) {
    for (const Conversion& c : table) {
        Variant out(12345);  // must stay untouched on failure
        HRESULT hr = VariantChangeType(&out, &c.from, 0, c.to);
        EXPECT_EQ(hr, c.result) << c.from << " to " << VarTypeName(c.to);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(out, c.expected) << c.from << " to " << VarTypeName(c.to);
        } else {
            EXPECT_EQ(out, Variant(12345)) << c.from << " to " << VarTypeName(c.to);
        }
    }
}

}  // namespace

TEST(VariantConvert, IntegersConvertWithinRangeAndOverflowOutside) {
    Check({
        {I4(5), VT_I2, S_OK, I2(5)},
        {I4(-32768), VT_I2, S_OK, I2(-32768)},
        {I4(-32769), VT_I2, DISP_E_OVERFLOW, {}},
        {I4(40000), VT_I2, DISP_E_OVERFLOW, {}},
        {I4(255), VT_UI1, S_OK, UI1(255)},
        {I4(256), VT_UI1, DISP_E_OVERFLOW, {}},
        {I4(-1), VT_UI1, DISP_E_OVERFLOW, {}},
        {UI1(200), VT_I1, DISP_E_OVERFLOW, {}},
        {I2(-5), VT_UI2, DISP_E_OVERFLOW, {}},
        {UI2(65535), VT_I2, DISP_E_OVERFLOW, {}},
        {UI2(65535), VT_I4, S_OK, I4(65535)},
        {I1(-3), VT_I4, S_OK, I4(-3)},
        {I4(-128), VT_I1, S_OK, I1(-128)},
        {UI4(0xFFFFFFFFu), VT_I4, DISP_E_OVERFLOW, {}},
        {UI4(0x7FFFFFFFu), VT_I4, S_OK, I4(0x7FFFFFFF)},
        {I8(int64_t{1} << 31), VT_I4, DISP_E_OVERFLOW, {}},
        {I8(-(int64_t{1} << 31)), VT_I4, S_OK, I4(std::numeric_limits<int32_t>::min())},
        {I4(-7), VT_I8, S_OK, I8(-7)},
        {I4(-7), VT_UI8, DISP_E_OVERFLOW, {}},
        {I2(3), VT_INT, S_OK, Variant::MakeInt(3)},
        {Variant::MakeUInt(9), VT_I2, S_OK, I2(9)},
        {I4(1), VT_R8, S_OK, R8(1.0)},
        {I4(16777217), VT_R4, S_OK, R4(16777216.0f)},
    });
}

TEST(VariantConvert, RealsRoundHalfToEvenAndOverflowPastTheRange) {
    Check({
        {R8(2.5), VT_I4, S_OK, I4(2)},
        {R8(3.5), VT_I4, S_OK, I4(4)},
        {R8(-2.5), VT_I4, S_OK, I4(-2)},
        {R8(-3.5), VT_I4, S_OK, I4(-4)},
        {R8(0.5), VT_I2, S_OK, I2(0)},
        {R8(1.5), VT_UI1, S_OK, UI1(2)},
        {R8(2.4999), VT_I4, S_OK, I4(2)},
        {R8(2.5000001), VT_I4, S_OK, I4(3)},
        {R8(-0.4), VT_UI1, S_OK, UI1(0)},
        {R8(-0.6), VT_UI1, DISP_E_OVERFLOW, {}},
        {R8(2147483647.4), VT_I4, S_OK, I4(2147483647)},
        {R8(2147483647.5), VT_I4, DISP_E_OVERFLOW, {}},
        {R8(-2147483648.5), VT_I4, S_OK, I4(std::numeric_limits<int32_t>::min())},
        {R8(32767.5), VT_I2, DISP_E_OVERFLOW, {}},
        {R8(9.3e18), VT_I8, DISP_E_OVERFLOW, {}},
        {R8(std::nan("")), VT_I4, DISP_E_OVERFLOW, {}},
        {R8(HUGE_VAL), VT_I2, DISP_E_OVERFLOW, {}},
        {R4(1.5f), VT_I2, S_OK, I2(2)},
        {R8(1.5), VT_R4, S_OK, R4(1.5f)},
        {R8(1e300), VT_R4, DISP_E_OVERFLOW, {}},
        {R4(0.25f), VT_R8, S_OK, R8(0.25)},
    });
}

TEST(VariantConvert, TextReadsAsDecimalNumbers) {
    Check({
        {Text("42"), VT_I4, S_OK, I4(42)},
        {Text("  -17\t"), VT_I4, S_OK, I4(-17)},
        {Text("+3"), VT_I2, S_OK, I2(3)},
        {Text("1,000"), VT_I4, S_OK, I4(1000)},
        {Text("2.5"), VT_I4, S_OK, I4(2)},
        {Text("3.5"), VT_I4, S_OK, I4(4)},
        {Text("1e3"), VT_I4, S_OK, I4(1000)},
        {Text("1.5E+2"), VT_I2, S_OK, I2(150)},
        {Text(".5"), VT_R8, S_OK, R8(0.5)},
        {Text("5."), VT_R8, S_OK, R8(5.0)},
        {Text("-0.25"), VT_R4, S_OK, R4(-0.25f)},
        {Text("40000"), VT_I2, DISP_E_OVERFLOW, {}},
        {Text("-1"), VT_UI4, DISP_E_OVERFLOW, {}},
        {Text("18446744073709551615"), VT_UI8, S_OK, Variant(uint64_t{18446744073709551615u})},
        {Text("-9223372036854775808"), VT_I8, S_OK, I8(std::numeric_limits<int64_t>::min())},
        {Text("99999999999999999999"), VT_I4, DISP_E_OVERFLOW, {}},
        {Text("1e400"), VT_R8, DISP_E_OVERFLOW, {}},
        {Text("1e-400"), VT_R8, S_OK, R8(0.0)},
        {Text("abc"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text(""), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("   "), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("12abc"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("1 2"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("0x10"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("-"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("."), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Text("1e"), VT_R8, DISP_E_TYPEMISMATCH, {}},
        {Text(",5"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("True"), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Text("12.5"), VT_CY, S_OK, Cy(125000)},
    });
}

TEST(VariantConvert, NumbersWriteAsText) {
    Check({
        {I4(-17), VT_BSTR, S_OK, Text("-17")},
        {UI4(4000000000u), VT_BSTR, S_OK, Text("4000000000")},
        {I8(std::numeric_limits<int64_t>::min()), VT_BSTR, S_OK, Text("-9223372036854775808")},
        {R8(1.5), VT_BSTR, S_OK, Text("1.5")},
        {R8(0.1), VT_BSTR, S_OK, Text("0.1")},
        {R8(-3.0), VT_BSTR, S_OK, Text("-3")},
        {R8(1e20), VT_BSTR, S_OK, Text("1E+20")},
        {R8(1e-5), VT_BSTR, S_OK, Text("1E-05")},
        {R8(0.0001), VT_BSTR, S_OK, Text("0.0001")},
        {R8(123456789012345678.0), VT_BSTR, S_OK, Text("1.23456789012346E+17")},
        {R8(1.0 / 3.0), VT_BSTR, S_OK, Text("0.333333333333333")},
        {R4(0.1f), VT_BSTR, S_OK, Text("0.1")},
        {R4(3.14159274f), VT_BSTR, S_OK, Text("3.141593")},
        {Cy(125000), VT_BSTR, S_OK, Text("12.5")},
        {Cy(30000), VT_BSTR, S_OK, Text("3")},
        {Cy(-1), VT_BSTR, S_OK, Text("-0.0001")},
        {Cy(-500), VT_BSTR, S_OK, Text("-0.05")},
        {Cy(1230), VT_BSTR, S_OK, Text("0.123")},
        {Cy(123456789), VT_BSTR, S_OK, Text("12345.6789")},
        {Cy(std::numeric_limits<int64_t>::min()), VT_BSTR, S_OK, Text("-922337203685477.5808")},
        {Cy(std::numeric_limits<int64_t>::max()), VT_BSTR, S_OK, Text("922337203685477.5807")},
    });
    // Text and back gives the same number.
    for (double value : {0.1, 1234.5678, -2.5e-7, 6.02214076e23}) {
        Variant number(value);
        Variant text;
        ASSERT_EQ(VariantChangeType(&text, &number, 0, VT_BSTR), S_OK);
        Variant back;
        ASSERT_EQ(VariantChangeType(&back, &text, 0, VT_R8), S_OK);
        EXPECT_EQ(back.R8(), value) << text;
    }
}

TEST(VariantConvert, BooleansAreMinusOneOrZero) {
    Check({
        {Bool(true), VT_I4, S_OK, I4(-1)},
        {Bool(true), VT_I2, S_OK, I2(-1)},
        {Bool(true), VT_UI1, S_OK, UI1(255)},
        {Bool(true), VT_UI4, S_OK, UI4(0xFFFFFFFFu)},
        {Bool(true), VT_R8, S_OK, R8(-1.0)},
        {Bool(false), VT_I4, S_OK, I4(0)},
        {Bool(true), VT_BSTR, S_OK, Text("-1")},
        {Bool(false), VT_BSTR, S_OK, Text("0")},
        {I4(0), VT_BOOL, S_OK, Bool(false)},
        {I4(7), VT_BOOL, S_OK, Bool(true)},
        {UI1(1), VT_BOOL, S_OK, Bool(true)},
        {R8(0.5), VT_BOOL, S_OK, Bool(true)},
        {Cy(0), VT_BOOL, S_OK, Bool(false)},
        {Text("true"), VT_BOOL, S_OK, Bool(true)},
        {Text(" FALSE "), VT_BOOL, S_OK, Bool(false)},
        {Text("#TRUE#"), VT_BOOL, S_OK, Bool(true)},
        {Text("0"), VT_BOOL, S_OK, Bool(false)},
        {Text("-1"), VT_BOOL, S_OK, Bool(true)},
        {Text("2.5"), VT_BOOL, S_OK, Bool(true)},
        {Text("yes"), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {Text(""), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
    });
    Variant text;
    Variant set(true);
    EXPECT_EQ(VariantChangeType(&text, &set, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(text, Text("True"));
    Variant clear(false);
    EXPECT_EQ(VariantChangeType(&text, &clear, VARIANT_LOCALBOOL, VT_BSTR), S_OK);
    EXPECT_EQ(text, Text("False"));
}

TEST(VariantConvert, CurrencyKeepsFourDecimals) {
    Check({
        {I4(5), VT_CY, S_OK, Cy(50000)},
        {R8(1.23456), VT_CY, S_OK, Cy(12346)},
        {R8(-0.5), VT_CY, S_OK, Cy(-5000)},
        {Cy(25000), VT_I4, S_OK, I4(2)},
        {Cy(35000), VT_I4, S_OK, I4(4)},
        {Cy(-25000), VT_I4, S_OK, I4(-2)},
        {Cy(-25001), VT_I4, S_OK, I4(-3)},
        {Cy(12345), VT_R8, S_OK, R8(1.2345)},
        {I8(std::numeric_limits<int64_t>::max()), VT_CY, DISP_E_OVERFLOW, {}},
        {R8(1e16), VT_CY, DISP_E_OVERFLOW, {}},
    });
}

TEST(VariantConvert, EmptyIsZeroAndNullAndErrorConvertToNothing) {
    Check({
        {Variant(), VT_I4, S_OK, I4(0)},
        {Variant(), VT_R8, S_OK, R8(0.0)},
        {Variant(), VT_BSTR, S_OK, Text("")},
        {Variant(), VT_BOOL, S_OK, Bool(false)},
        {Variant(), VT_DISPATCH, S_OK, Variant::MakeDispatch(nullptr)},
        {Variant(), VT_UNKNOWN, S_OK, Variant::MakeUnknown(nullptr)},
        {Variant::MakeNull(), VT_NULL, S_OK, Variant::MakeNull()},
        {Variant::MakeNull(), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Variant::MakeNull(), VT_BSTR, DISP_E_TYPEMISMATCH, {}},
        {Variant::MakeNull(), VT_BOOL, DISP_E_TYPEMISMATCH, {}},
        {Variant::MakeNull(), VT_EMPTY, DISP_E_TYPEMISMATCH, {}},
        {Variant(3), VT_NULL, DISP_E_TYPEMISMATCH, {}},
        {Variant::MakeError(E_FAIL), VT_I4, DISP_E_TYPEMISMATCH, {}},
        {Variant::MakeError(E_FAIL), VT_ERROR, S_OK, Variant::MakeError(E_FAIL)},
        {Variant(3), VT_ERROR, DISP_E_TYPEMISMATCH, {}},
        {Variant(3), VT_EMPTY, S_OK, Variant()},
        {Text("x"), VT_DISPATCH, DISP_E_TYPEMISMATCH, {}},
    });
}

TEST(VariantConvert, ObjectsConvertThroughTheirDefaultMember) {
    ComPtr<ValueObject> object = MakeCom<ValueObject>(Variant("  25 "));
    Variant holder = Variant::MakeDispatch(object.Get());
    Variant out;
    EXPECT_EQ(VariantChangeType(&out, &holder, 0, VT_I2), S_OK);
    EXPECT_EQ(out, I2(25));
    EXPECT_EQ(VariantChangeType(&out, &holder, 0, VT_BSTR), S_OK);
    EXPECT_EQ(out, Text("  25 "));
    EXPECT_EQ(VariantChangeType(&out, &holder, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);

    // The object's identity as IUnknown, and back to IDispatch.
    EXPECT_EQ(VariantChangeType(&out, &holder, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(out.Unknown(), object->GetUnknown());
    Variant asDispatch;
    EXPECT_EQ(VariantChangeType(&asDispatch, &out, 0, VT_DISPATCH), S_OK);
    EXPECT_NE(asDispatch.Dispatch(), nullptr);

    // A value that is itself an object is not followed again.
    ComPtr<ValueObject> outer = MakeCom<ValueObject>(Variant::MakeDispatch(object.Get()));
    Variant outerHolder = Variant::MakeDispatch(outer.Get());
    EXPECT_EQ(VariantChangeType(&out, &outerHolder, 0, VT_I4), DISP_E_TYPEMISMATCH);

    // No default member, no IDispatch, or no object at all.
    ComPtr<ValueObject> empty = MakeCom<ValueObject>(Variant::MakeNull());
    Variant emptyHolder = Variant::MakeDispatch(empty.Get());
    EXPECT_EQ(VariantChangeType(&out, &emptyHolder, 0, VT_I4), DISP_E_TYPEMISMATCH);
    ComPtr<PlainObject> plain = MakeCom<PlainObject>();
    Variant plainHolder = Variant::MakeUnknown(plain->GetUnknown());
    EXPECT_EQ(VariantChangeType(&out, &plainHolder, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&out, &plainHolder, 0, VT_DISPATCH), E_NOINTERFACE);
    Variant nothing = Variant::MakeDispatch(nullptr);
    EXPECT_EQ(VariantChangeType(&out, &nothing, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&out, &nothing, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(out.Unknown(), nullptr);
}

TEST(VariantConvert, ReferencesTargetsAndInPlaceConversion) {
    int16_t number = 300;
    Variant ref = Variant::MakeByRef(VT_I2, &number);
    Variant out;
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(out, Text("300"));
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_UI1), DISP_E_OVERFLOW);
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_I2), S_OK);
    EXPECT_EQ(out, I2(300));  // the value, not the reference

    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_BYREF | VT_I2), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_DATE), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_VARIANT), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(nullptr, &ref, 0, VT_I4), E_INVALIDARG);

    Variant value("7");
    EXPECT_EQ(value.ChangeType(VT_I4), S_OK);
    EXPECT_EQ(value, I4(7));
    EXPECT_EQ(VariantChangeType(&value, &value, 0, VT_BSTR), S_OK);
    EXPECT_EQ(value, Text("7"));
    EXPECT_EQ(value.ChangeType(VT_DISPATCH), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(value, Text("7"));
}
