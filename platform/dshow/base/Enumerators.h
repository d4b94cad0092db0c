#pragma once
// Enumerators over a snapshot taken when the enumerator is made: pins of a filter, filters of a
// graph (InterfaceEnumerator) and media types of a pin (MediaTypeEnumerator).
#include <utility>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/dshow/FilterInterfaces.h"

template <class Enum, class Item>
class InterfaceEnumerator final : public ComObject<Enum> {
public:
    explicit InterfaceEnumerator(std::vector<ComPtr<Item>> items, size_t position = 0)
        : items_(std::move(items)), position_(position) {}

    HRESULT Next(ULONG count, Item** out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        if (count != 1 && !fetched) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < items_.size()) {
            items_[position_++].CopyTo(&out[n]);
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ += count;
        if (position_ > items_.size()) {
            position_ = items_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(Enum** clone) override {
        if (!clone) return E_POINTER;
        *clone = MakeCom<InterfaceEnumerator>(items_, position_).Detach();
        return S_OK;
    }

private:
    std::vector<ComPtr<Item>> items_;
    size_t position_;
};

class MediaTypeEnumerator final : public ComObject<IEnumMediaTypes> {
public:
    explicit MediaTypeEnumerator(std::vector<AM_MEDIA_TYPE> types, size_t position = 0)
        : types_(std::move(types)), position_(position) {}

    HRESULT Next(ULONG count, AM_MEDIA_TYPE* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        if (count != 1 && !fetched) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < types_.size()) out[n++] = types_[position_++];
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ += count;
        if (position_ > types_.size()) {
            position_ = types_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumMediaTypes** clone) override {
        if (!clone) return E_POINTER;
        *clone = MakeCom<MediaTypeEnumerator>(types_, position_).Detach();
        return S_OK;
    }

private:
    std::vector<AM_MEDIA_TYPE> types_;
    size_t position_;
};
