#include "platform/com/EnumVariant.h"

#include <new>

namespace {
class FunctionSource final : public EnumVariantSource {
public:
    FunctionSource(std::function<ULONG()> count, std::function<HRESULT(ULONG, Variant*)> item)
        : count_(std::move(count)), item_(std::move(item)) {}
    ULONG Count() const override { return count_ ? count_() : 0; }
    HRESULT Item(ULONG index, Variant* item) const override {
        return item_ ? item_(index, item) : E_UNEXPECTED;
    }

private:
    std::function<ULONG()> count_;
    std::function<HRESULT(ULONG, Variant*)> item_;
};

class VectorSource final : public EnumVariantSource {
public:
    explicit VectorSource(std::vector<Variant> items) : items_(std::move(items)) {}
    ULONG Count() const override { return static_cast<ULONG>(items_.size()); }
    HRESULT Item(ULONG index, Variant* item) const override {
        if (index >= items_.size()) return E_UNEXPECTED;
        *item = items_[index];
        return S_OK;
    }

private:
    std::vector<Variant> items_;
};
}  // namespace

EnumVariant::EnumVariant(std::shared_ptr<const EnumVariantSource> source, ULONG position)
    : source_(std::move(source)), position_(position) {}

ComPtr<EnumVariant> EnumVariant::Create(std::function<ULONG()> count,
                                        std::function<HRESULT(ULONG, Variant*)> item) {
    return MakeCom<EnumVariant>(
        std::make_shared<FunctionSource>(std::move(count), std::move(item)));
}

ComPtr<EnumVariant> EnumVariant::Create(std::vector<Variant> items) {
    return MakeCom<EnumVariant>(std::make_shared<VectorSource>(std::move(items)));
}

HRESULT EnumVariant::Next(ULONG celt, VARIANT* rgVar, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (!fetched && celt > 1) return E_INVALIDARG;
    if (celt > 0 && !rgVar) return E_POINTER;
    for (ULONG i = 0; i < celt; ++i) rgVar[i].Clear();
    ULONG delivered = 0;
    ULONG start = position_;
    if (source_) {
        while (delivered < celt && position_ < source_->Count()) {
            Variant item;
            HRESULT hr = source_->Item(position_, &item);
            if (FAILED(hr)) {
                // Hand back nothing: the caller would not release what a failed call delivered.
                for (ULONG i = 0; i < delivered; ++i) rgVar[i].Clear();
                position_ = start;
                if (fetched) *fetched = 0;
                return hr;
            }
            ++position_;
            rgVar[delivered++] = std::move(item);
        }
    }
    if (fetched) *fetched = delivered;
    return delivered == celt ? S_OK : S_FALSE;
}

HRESULT EnumVariant::Skip(ULONG celt) {
    if (!source_) return E_UNEXPECTED;
    ULONG count = source_->Count();
    ULONG left = position_ < count ? count - position_ : 0;
    if (celt <= left) {
        position_ += celt;
        return S_OK;
    }
    position_ = position_ < count ? count : position_;
    return S_FALSE;
}

HRESULT EnumVariant::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT EnumVariant::Clone(IEnumVARIANT** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    try {
        *enumerator = MakeCom<EnumVariant>(source_, position_).Detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
