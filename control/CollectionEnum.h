#pragma once
// The enumerator a collection's _NewEnum hands out: an IEnumVARIANT (platform/com/EnumVariant.h)
// whose list is the collection's live item list, read afresh at every Next and Skip, so that it
// sees items appended after it was made. XEnumVARIANT is the part that reaches the collection; it
// holds a reference on the collection, which therefore outlives every enumerator and clone.
#include "platform/com/ComPtr.h"
#include "platform/com/EnumVariant.h"

// What the enumerator reads of its collection.
class CollectionItemSource {
public:
    virtual ULONG ItemCount() const = 0;
    // The dispatch interface of the item at `index` (< ItemCount()) as VT_DISPATCH with its own
    // reference; E_UNEXPECTED for a position that holds no item.
    virtual HRESULT ItemAt(ULONG index, Variant* item) const = 0;

protected:
    ~CollectionItemSource() = default;
};

class XEnumVARIANT final : public EnumVariantSource {
public:
    // `owner` is the collection object that `items` belongs to.
    XEnumVARIANT(IUnknown* owner, const CollectionItemSource* items);

    ULONG Count() const override;
    HRESULT Item(ULONG index, Variant* item) const override;

    // A new enumerator positioned at the first item, as IUnknown with one reference.
    static ComPtr<IUnknown> Create(IUnknown* owner, const CollectionItemSource* items);

private:
    ComPtr<IUnknown> owner_;
    const CollectionItemSource* items_;
};
