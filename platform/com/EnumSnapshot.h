#pragma once
// Next / Skip / Reset / Clone of the standard enumerators (IEnumConnections,
// IEnumConnectionPoints) over a snapshot taken when the enumerator was made. `CopyOut` hands the
// caller an element with its own reference. fetched may be null only when one element is asked.
#include <memory>
#include <new>
#include <vector>

#include "platform/com/ComObject.h"

template <class IEnum, class Item, class Stored, void (*CopyOut)(const Stored&, Item*)>
class EnumSnapshot final : public ComObject<IEnum> {
public:
    explicit EnumSnapshot(std::vector<Stored> items)
        : items_(std::make_shared<const std::vector<Stored>>(std::move(items))) {}
    EnumSnapshot(std::shared_ptr<const std::vector<Stored>> items, ULONG position)
        : items_(std::move(items)), position_(position) {}

    HRESULT Next(ULONG count, Item* out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!fetched && count > 1) return E_INVALIDARG;
        if (count > 0 && !out) return E_POINTER;
        ULONG delivered = 0;
        while (delivered < count && position_ < items_->size()) {
            CopyOut((*items_)[position_++], &out[delivered++]);
        }
        if (fetched) *fetched = delivered;
        return delivered == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        ULONG left = static_cast<ULONG>(items_->size()) - position_;
        if (count <= left) {
            position_ += count;
            return S_OK;
        }
        position_ = static_cast<ULONG>(items_->size());
        return S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnum** enumerator) override {
        if (!enumerator) return E_POINTER;
        *enumerator = nullptr;
        try {
            *enumerator = MakeCom<EnumSnapshot>(items_, position_).Detach();
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

private:
    std::shared_ptr<const std::vector<Stored>> items_;
    ULONG position_ = 0;
};
