#pragma once
// Small automation objects the tests of this folder share.
#include "platform/com/DispatchMap.h"
#include "platform/com/DispatchObject.h"

namespace automation_test {

struct IValueObject : IDispatch {
    static constexpr IID iid = MakeGuid("{3C1D6A52-7E0B-4F5C-8D21-6B4A9E0F1C37}");
    using Base = IDispatch;

protected:
    ~IValueObject() = default;
};

// A dispatch object whose default member (DISPID_VALUE, "Value") is a read/write variant.
class ValueObject final : public DispatchObject<ValueObject, IValueObject> {
public:
    explicit ValueObject(Variant value = {}) : value_(std::move(value)) { ++live; }
    ~ValueObject() override { --live; }

    static const DispatchTable& GetDispatchTable() {
        static const DispatchTable table = [] {
            DispatchMap<ValueObject> map(IValueObject::iid, "IValueObject");
            map.Property(
                DISPID_VALUE, "Value", [](ValueObject& o) { return o.value_; },
                [](ValueObject& o, const Variant& v) { o.value_ = v; });
            return map.Build();
        }();
        return table;
    }
    const Variant& Value() const { return value_; }

    static inline int live = 0;

private:
    Variant value_;
};

struct IPlainThing : IUnknown {
    static constexpr IID iid = MakeGuid("{9A7E21C4-5B3D-4E68-A0F1-2C8D7B6E5F40}");

protected:
    ~IPlainThing() = default;
};

// An object with no IDispatch at all.
class PlainObject final : public ComObject<IPlainThing> {};

// The reference count an object has now.
inline ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace automation_test
