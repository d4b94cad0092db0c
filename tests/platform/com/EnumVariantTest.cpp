#include <gtest/gtest.h>

#include <vector>

#include "platform/com/EnumVariant.h"
#include "tests/platform/com/AutomationTestObjects.h"

using automation_test::RefCount;
using automation_test::ValueObject;

namespace {

// A collection as the control keeps one: a live list of items, some entries possibly empty.
struct Items {
    std::vector<ComPtr<ValueObject>> list;

    void Append(const char* name) { list.push_back(MakeCom<ValueObject>(Variant(name))); }
    ComPtr<EnumVariant> Enumerate() {
        return EnumVariant::Create([this] { return static_cast<ULONG>(list.size()); },
                                   [this](ULONG index, Variant* item) {
                                       if (!list[index]) return E_UNEXPECTED;
                                       *item = Variant::MakeDispatch(list[index].Get());
                                       return S_OK;
                                   });
    }
};

std::string NameOf(const Variant& item) {
    auto* object =
        static_cast<ValueObject*>(static_cast<automation_test::IValueObject*>(item.Dispatch()));
    return object ? object->Value().Bstr() : "<none>";
}

}  // namespace

TEST(EnumVariant, NextDeliversUpToTheRequestedCount) {
    Items items;
    items.Append("a");
    items.Append("b");
    items.Append("c");
    ComPtr<EnumVariant> e = items.Enumerate();

    Variant out[5];
    ULONG fetched = 99;
    EXPECT_EQ(e->Next(5, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    EXPECT_EQ(NameOf(out[0]), "a");
    EXPECT_EQ(NameOf(out[2]), "c");
    EXPECT_EQ(out[0].Type(), VT_DISPATCH);
    EXPECT_TRUE(out[3].IsEmpty());
    EXPECT_EQ(RefCount(items.list[0]->GetUnknown()), 2u);  // the list's and the caller's

    Variant one(7);  // emptied even when nothing is delivered
    EXPECT_EQ(e->Next(1, &one, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(one.IsEmpty());

    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Next(1, &one, nullptr), S_OK);  // one element needs no count
    EXPECT_EQ(NameOf(one), "a");
    EXPECT_EQ(e->Next(0, nullptr, &fetched), S_OK);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e->Next(2, out, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(NameOf(out[1]), "c");
}

TEST(EnumVariant, SeveralElementsNeedACountPointer) {
    Items items;
    items.Append("a");
    ComPtr<EnumVariant> e = items.Enumerate();
    Variant out[2] = {Variant(1), Variant(2)};
    EXPECT_EQ(e->Next(2, out, nullptr), E_INVALIDARG);
    // Nothing else happened: not even the output was touched, and the position stayed.
    EXPECT_EQ(out[0], Variant(1));
    EXPECT_EQ(e->Position(), 0u);
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(1, out, &fetched), S_OK);
    EXPECT_EQ(NameOf(out[0]), "a");
    EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
}

TEST(EnumVariant, SkipResetAndCloneMoveThePosition) {
    Items items;
    items.Append("a");
    items.Append("b");
    items.Append("c");
    ComPtr<EnumVariant> e = items.Enumerate();
    EXPECT_EQ(e->Skip(2), S_OK);
    Variant out;
    EXPECT_EQ(e->Next(1, &out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out), "c");
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(5), S_FALSE);
    EXPECT_EQ(e->Next(1, &out, nullptr), S_FALSE);
    EXPECT_EQ(e->Skip(0), S_OK);

    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(clone->Next(1, &out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out), "b");
    // The clone moves on its own.
    EXPECT_EQ(e->Next(1, &out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out), "b");
    EXPECT_EQ(clone->Next(1, &out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out), "c");
    EXPECT_EQ(e->Clone(nullptr), E_POINTER);

    ComPtr<EnumVariant> nothing = MakeCom<EnumVariant>(nullptr);
    EXPECT_EQ(nothing->Skip(1), E_UNEXPECTED);
    EXPECT_EQ(nothing->Next(1, &out, nullptr), S_FALSE);
}

TEST(EnumVariant, TheListIsReadAtEveryCall) {
    Items items;
    items.Append("a");
    ComPtr<EnumVariant> e = items.Enumerate();
    Variant out[3];
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(3, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    items.Append("b");  // appended after the enumerator was made
    EXPECT_EQ(e->Next(3, out, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(NameOf(out[0]), "b");

    // The list shrank under the enumerator: it simply ends.
    items.list.clear();
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_FALSE);
}

TEST(EnumVariant, AnEntryWithoutItemFailsAndHandsNothingBack) {
    Items items;
    items.Append("a");
    items.list.emplace_back();  // an entry without an item object
    items.Append("c");
    ComPtr<EnumVariant> e = items.Enumerate();
    Variant out[3];
    ULONG fetched = 9;
    EXPECT_EQ(e->Next(3, out, &fetched), E_UNEXPECTED);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(out[0].IsEmpty());
    EXPECT_EQ(RefCount(items.list[0]->GetUnknown()), 1u);  // no reference leaked to the caller
    EXPECT_EQ(e->Position(), 0u);
    EXPECT_EQ(e->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out[0]), "a");
    EXPECT_EQ(e->Next(1, out, nullptr), E_UNEXPECTED);
}

TEST(EnumVariant, FixedListsAreCopied) {
    std::vector<Variant> values = {Variant(1), Variant("two")};
    ComPtr<EnumVariant> e = EnumVariant::Create(values);
    values.clear();
    Variant out[2];
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(2, out, &fetched), S_OK);
    EXPECT_EQ(out[0], Variant(1));
    EXPECT_EQ(out[1], Variant("two"));
    EXPECT_TRUE(QueryAs<IEnumVARIANT>(e.Get()));
}
