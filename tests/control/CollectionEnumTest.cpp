// The enumerator a collection's _NewEnum hands out: Next, Skip, Reset and Clone with their
// results, over the collection's live list.
#include <gtest/gtest.h>

#include "control/Collections.h"
#include "platform/com/DispatchDriver.h"

namespace {

ComPtr<CDevices> Three() {
    ComPtr<CDevices> devices = MakeCom<CDevices>();
    devices->Entries() = {"One", "Two", "Three"};
    devices->Sync();
    return devices;
}

ComPtr<IEnumVARIANT> EnumOf(CDevices* devices) {
    ComPtr<IUnknown> unknown = devices->NewEnum();
    return QueryAs<IEnumVARIANT>(unknown.Get());
}

std::string NameOf(const Variant& item) {
    EXPECT_EQ(item.Type(), VT_DISPATCH);
    if (!item.Dispatch()) return "<null>";
    Variant name;
    EXPECT_EQ(DispatchDriver(ComPtr<IDispatch>(item.Dispatch())).GetProperty("Name", &name), S_OK);
    return name.Bstr();
}

}  // namespace

TEST(CollectionEnum, NextDeliversItemsAndSaysWhenTheListEnded) {
    ComPtr<CDevices> devices = Three();
    ComPtr<IEnumVARIANT> e = EnumOf(devices.Get());
    ASSERT_TRUE(e);

    Variant out[5];
    for (Variant& v : out) v = Variant("stale");
    ULONG fetched = 99;
    EXPECT_EQ(e->Next(5, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 3u);
    EXPECT_EQ(NameOf(out[0]), "One");
    EXPECT_EQ(NameOf(out[2]), "Three");
    EXPECT_TRUE(out[3].IsEmpty());  // the elements left over are emptied
    EXPECT_TRUE(out[4].IsEmpty());
    // The delivered item is the collection's own object.
    EXPECT_EQ(out[1].Dispatch(), devices->Item(Variant(int32_t{2})).Get());

    fetched = 99;
    Variant one("stale");
    EXPECT_EQ(e->Next(1, &one, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_TRUE(one.IsEmpty());

    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Next(1, &one, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(NameOf(one), "One");

    // celt 0 is a full delivery.
    EXPECT_EQ(e->Next(0, nullptr, &fetched), S_OK);
    EXPECT_EQ(fetched, 0u);
}

TEST(CollectionEnum, AFetchedCountIsNeededForMoreThanOne) {
    ComPtr<CDevices> devices = Three();
    ComPtr<IEnumVARIANT> e = EnumOf(devices.Get());
    Variant out[2];
    out[0] = Variant("untouched");
    EXPECT_EQ(e->Next(2, out, nullptr), E_INVALIDARG);
    EXPECT_EQ(out[0], Variant("untouched"));
    // The position did not move either.
    EXPECT_EQ(e->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out[0]), "One");
    EXPECT_EQ(e->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(NameOf(out[0]), "Two");
}

TEST(CollectionEnum, SkipResetAndClone) {
    ComPtr<CDevices> devices = Three();
    ComPtr<IEnumVARIANT> e = EnumOf(devices.Get());
    EXPECT_EQ(e->Skip(2), S_OK);
    Variant item;
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Three");
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(5), S_FALSE);
    EXPECT_EQ(e->Next(1, &item, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    // A clone starts where its original stands and then walks on its own.
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_TRUE(clone);
    EXPECT_EQ(clone->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Two");
    EXPECT_EQ(clone->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Three");
    EXPECT_EQ(e->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Two");
}

TEST(CollectionEnum, WalksTheLiveListAndKeepsItsCollection) {
    ComPtr<CDevices> devices = Three();
    ComPtr<IEnumVARIANT> e = EnumOf(devices.Get());
    EXPECT_EQ(e->Skip(3), S_OK);
    Variant item;
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(1, &item, &fetched), S_FALSE);

    // Items appended after the enumerator was made are seen.
    devices->Entries().push_back("Four");
    devices->Sync();
    EXPECT_EQ(e->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Four");

    // An emptied collection ends every walk; a refilled one is walked afresh after Reset.
    devices->Empty();
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Next(1, &item, &fetched), S_FALSE);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    devices->Entries() = {"Again"};
    devices->Sync();
    EXPECT_EQ(e->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Again");

    // The container dropped the collection but still walks it.
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
    CDevices* raw = devices.Get();
    raw->AddRef();
    devices.Reset();
    EXPECT_GT(raw->Release(), 0u);  // the enumerators hold it
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Next(1, &item, &fetched), S_OK);
    EXPECT_EQ(NameOf(item), "Again");
    e.Reset();
    clone.Reset();
}

TEST(CollectionEnum, ForEachThroughInvoke) {
    ComPtr<CDevices> devices = Three();
    // A for-each loop asks _NewEnum by DISPID with both call flags.
    Variant result;
    DispatchDriver d{ComPtr<IDispatch>(devices.Get())};
    ASSERT_EQ(d.Invoke(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ComPtr<IEnumVARIANT> e = QueryAs<IEnumVARIANT>(result.Unknown());
    ASSERT_TRUE(e);
    std::vector<std::string> names;
    Variant item;
    ULONG fetched = 0;
    while (e->Next(1, &item, &fetched) == S_OK) names.push_back(NameOf(item));
    EXPECT_EQ(names, (std::vector<std::string>{"One", "Two", "Three"}));
    // Each call makes a new enumerator at the first item.
    Variant second;
    ASSERT_EQ(d.GetProperty(DISPID_NEWENUM, &second), S_OK);
    EXPECT_NE(second.Unknown(), result.Unknown());
}

TEST(CollectionEnum, NothingOutlivesTheLastReference) {
    const long before = com_detail::ModuleObjectCount();
    {
        ComPtr<CDevices> devices = Three();
        ComPtr<IEnumVARIANT> e = EnumOf(devices.Get());
        ComPtr<IEnumVARIANT> clone;
        ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
        Variant item;
        ULONG fetched = 0;
        EXPECT_EQ(clone->Next(1, &item, &fetched), S_OK);
        EXPECT_GT(com_detail::ModuleObjectCount(), before);
    }
    EXPECT_EQ(com_detail::ModuleObjectCount(), before);
}
