#include "control/CollectionEnum.h"

#include <memory>

XEnumVARIANT::XEnumVARIANT(IUnknown* owner, const CollectionItemSource* items)
    : owner_(owner), items_(items) {}

ULONG XEnumVARIANT::Count() const {
    return items_ ? items_->ItemCount() : 0;
}

HRESULT XEnumVARIANT::Item(ULONG index, Variant* item) const {
    if (!items_ || index >= items_->ItemCount()) return E_UNEXPECTED;
    return items_->ItemAt(index, item);
}

ComPtr<IUnknown> XEnumVARIANT::Create(IUnknown* owner, const CollectionItemSource* items) {
    ComPtr<EnumVariant> enumerator =
        MakeCom<EnumVariant>(std::make_shared<XEnumVARIANT>(owner, items));
    return ComPtr<IUnknown>(static_cast<IEnumVARIANT*>(enumerator.Get()));
}
