#include <gtest/gtest.h>

#include "platform/com/Variant.h"
#include "platform/com/VariantConvert.h"
#include "tests/platform/com/AutomationTestObjects.h"

using automation_test::RefCount;
using automation_test::ValueObject;

TEST(Variant, CodesAndTypedValuesAreThePlatformsOwn) {
    // The numbers travel in DISPPARAMS and type descriptions.
    EXPECT_EQ(VT_I2, 2);
    EXPECT_EQ(VT_I4, 3);
    EXPECT_EQ(VT_BSTR, 8);
    EXPECT_EQ(VT_DISPATCH, 9);
    EXPECT_EQ(VT_ERROR, 10);
    EXPECT_EQ(VT_BOOL, 11);
    EXPECT_EQ(VT_VARIANT, 12);
    EXPECT_EQ(VT_UNKNOWN, 13);
    EXPECT_EQ(VT_UI1, 17);
    EXPECT_EQ(VT_BYREF, 0x4000);

    EXPECT_EQ(Variant(int16_t{-5}).Type(), VT_I2);
    EXPECT_EQ(Variant(int16_t{-5}).I2(), -5);
    EXPECT_EQ(Variant(5).Type(), VT_I4);
    EXPECT_EQ(Variant(uint8_t{200}).UI1(), 200);
    EXPECT_EQ(Variant(2.5f).R4(), 2.5f);
    EXPECT_EQ(Variant("text").Bstr(), "text");
    EXPECT_EQ(Variant(true).Bool(), VARIANT_TRUE);
    EXPECT_EQ(Variant(false).Bool(), VARIANT_FALSE);
    EXPECT_EQ(Variant::MakeBool(7).Bool(), VARIANT_TRUE);
    EXPECT_EQ(Variant::MakeError(E_FAIL).Scode(), E_FAIL);
    EXPECT_TRUE(Variant::MakeMissing().IsMissing());
    EXPECT_FALSE(Variant::MakeError(E_FAIL).IsMissing());
    EXPECT_EQ(Variant::MakeCurrency(CY{125000}).Cy().int64, 125000);

    // Reading another type than the one held gives nothing, never a reinterpretation.
    Variant number(42);
    EXPECT_EQ(number.I2(), 0);
    EXPECT_EQ(number.R8(), 0.0);
    EXPECT_EQ(number.Bstr(), "");
    EXPECT_EQ(number.Dispatch(), nullptr);
}

TEST(Variant, InterfacesAreReferencedByEveryCopy) {
    ComPtr<ValueObject> object = MakeCom<ValueObject>(Variant(1));
    ASSERT_EQ(RefCount(object.Get()), 1u);
    {
        Variant held = Variant::MakeDispatch(object.Get());
        EXPECT_EQ(RefCount(object.Get()), 2u);
        Variant copy = held;
        EXPECT_EQ(RefCount(object.Get()), 3u);
        EXPECT_EQ(copy.Dispatch(), static_cast<IDispatch*>(object.Get()));
        Variant moved = std::move(copy);
        EXPECT_EQ(RefCount(object.Get()), 3u);
        EXPECT_TRUE(copy.IsEmpty());
        held = Variant(3);
        EXPECT_EQ(RefCount(object.Get()), 2u);
        moved.Clear();
        EXPECT_EQ(RefCount(object.Get()), 1u);
        Variant again = Variant::MakeUnknown(object->GetUnknown());
        EXPECT_EQ(RefCount(object.Get()), 2u);
    }
    EXPECT_EQ(RefCount(object.Get()), 1u);
    object.Reset();
    EXPECT_EQ(ValueObject::live, 0);
}

TEST(Variant, ReferencesReadAndWriteTheirTarget) {
    int32_t number = 7;
    Variant ref = Variant::MakeByRef(VT_I4, &number);
    EXPECT_EQ(ref.Type(), VT_BYREF | VT_I4);
    EXPECT_TRUE(ref.IsByRef());
    EXPECT_EQ(ref.BaseType(), VT_I4);
    EXPECT_EQ(ref.I4(), 0);  // a reference holds no value of its own
    EXPECT_EQ(ref.Deref(), Variant(7));
    number = 9;
    EXPECT_EQ(ref.Deref(), Variant(9));

    EXPECT_EQ(ref.AssignThroughRef(Variant(" 42 ")), S_OK);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(ref.AssignThroughRef(Variant("forty")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(ref.AssignThroughRef(Variant(int64_t{1} << 40)), DISP_E_OVERFLOW);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(Variant(5).AssignThroughRef(Variant(1)), E_INVALIDARG);

    std::string text = "before";
    Variant textRef = Variant::MakeByRef(VT_BSTR, &text);
    EXPECT_EQ(textRef.Deref(), Variant("before"));
    EXPECT_EQ(textRef.AssignThroughRef(Variant(12)), S_OK);
    EXPECT_EQ(text, "12");

    VARIANT_BOOL flag = VARIANT_FALSE;
    Variant flagRef = Variant::MakeByRef(VT_BOOL, &flag);
    EXPECT_EQ(flagRef.AssignThroughRef(Variant("True")), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);

    // A copy of a reference copies the pointer only.
    Variant copy = ref;
    EXPECT_EQ(copy, ref);
    EXPECT_EQ(copy.RefTarget(), &number);

    // Nothing sensible to refer to gives an empty variant.
    EXPECT_TRUE(Variant::MakeByRef(VT_I4, nullptr).IsEmpty());
    EXPECT_TRUE(Variant::MakeByRef(VT_NULL, &number).IsEmpty());
}

TEST(Variant, VariantReferencesAreFollowedOneLevel) {
    Variant inner(5);
    Variant ref = Variant::MakeByRef(VT_VARIANT, &inner);
    EXPECT_EQ(ref.Deref(), Variant(5));
    Variant copied;
    EXPECT_EQ(VariantCopyInd(&copied, &ref), S_OK);
    EXPECT_EQ(copied, Variant(5));

    // A variant that refers to a scalar through a variant reference still reads.
    int16_t small = 3;
    Variant scalarRef = Variant::MakeByRef(VT_I2, &small);
    Variant outer = Variant::MakeByRef(VT_VARIANT, &scalarRef);
    EXPECT_EQ(outer.Deref(), Variant(int16_t{3}));

    // A chain of variant references is refused, also one that loops onto itself.
    Variant loop;
    loop = Variant::MakeByRef(VT_VARIANT, &loop);
    EXPECT_EQ(VariantCopyInd(&copied, &loop), E_INVALIDARG);
    EXPECT_TRUE(loop.Deref().IsEmpty());
    Variant converted;
    EXPECT_EQ(VariantChangeType(&converted, &loop, 0, VT_I4), E_INVALIDARG);

    // Writing through a variant reference stores the value as it is.
    EXPECT_EQ(ref.AssignThroughRef(Variant("now text")), S_OK);
    EXPECT_EQ(inner, Variant("now text"));
}

TEST(Variant, EqualityNeedsTypeAndValue) {
    EXPECT_EQ(Variant(5), Variant(5));
    EXPECT_NE(Variant(5), Variant(int16_t{5}));
    EXPECT_NE(Variant(5), Variant(6));
    EXPECT_EQ(Variant(), Variant());
    EXPECT_EQ(Variant::MakeNull(), Variant::MakeNull());
    EXPECT_NE(Variant(), Variant::MakeNull());
    EXPECT_EQ(Variant("a"), Variant(std::string("a")));
    EXPECT_NE(Variant("a"), Variant("A"));
    EXPECT_EQ(Variant(5).Describe(), "VT_I4 5");
    EXPECT_EQ(Variant("x").Describe(), "VT_BSTR \"x\"");
}
