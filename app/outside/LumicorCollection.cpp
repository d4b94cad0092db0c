#include "app/outside/LumicorCollection.h"

namespace {
constexpr DISPID kCount = 1;
}

int64_t IntegerOfVariant(const Variant& value, int64_t fallback) {
    Variant plain = value.Deref();
    int64_t n = 0;
    if (plain.GetInteger(&n)) return plain.Type() == VT_BOOL ? (n ? 1 : 0) : n;
    return fallback;
}

std::string TextOfVariant(const Variant& value) {
    Variant text = value.Deref();
    if (text.Type() != VT_BSTR && FAILED(text.ChangeType(VT_BSTR))) return {};
    return text.Bstr();
}

int LumicorCollection::Count() const {
    Variant count;
    if (!driver_ || FAILED(driver_.GetProperty(kCount, &count))) return 0;
    int64_t n = IntegerOfVariant(count, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

std::string LumicorCollection::Name(int index) const {
    Variant name;
    if (!driver_ || index < 0 || index > 0x7FFF ||
        FAILED(driver_.Call(nameMember_, {Variant(static_cast<int16_t>(index))}, &name))) {
        return {};
    }
    return TextOfVariant(name);
}

std::vector<std::string> LumicorCollection::Names() const {
    std::vector<std::string> names;
    for (int i = 0, n = Count(); i < n; ++i) names.push_back(Name(i));
    return names;
}

int LumicorCollection::Find(const std::string& name) const {
    for (int i = 0, n = Count(); i < n; ++i) {
        if (Name(i) == name) return i;
    }
    return -1;
}
