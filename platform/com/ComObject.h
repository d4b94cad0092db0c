#pragma once
// The reference-counting base of every object that implements interfaces. It is the only place
// that owns objects through `new` and `delete`: create objects with MakeCom<T>(...).
#include <atomic>
#include <type_traits>
#include <utility>

#include "platform/com/ComPtr.h"

namespace com_detail {
template <class I, class = void>
struct ParentOf {
    using type = void;
};
template <class I>
struct ParentOf<I, std::void_t<typename I::Base>> {
    using type = typename I::Base;
};

// Walks from I up its declared parents; the cast happens at each step so that the pointer is
// the right subobject for the interface asked for.
template <class I>
void* Match(I* self, REFIID riid) {
    if (riid == I::iid) return self;
    using Parent = typename ParentOf<I>::type;
    if constexpr (!std::is_void_v<Parent> && !std::is_same_v<Parent, IUnknown>) {
        return Match<Parent>(static_cast<Parent*>(self), riid);
    } else {
        return nullptr;
    }
}

// Live object count of this module, for DllCanUnloadNow.
inline std::atomic<long>& ModuleObjectCount() {
    static std::atomic<long> count{0};
    return count;
}
}  // namespace com_detail

template <class... Interfaces>
class ComObject : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "an object implements at least one interface");
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

public:
    ComObject() { ++com_detail::ModuleObjectCount(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        void* found = nullptr;
        if (riid == IID_IUnknown) {
            found = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            ((found = found ? found : com_detail::Match<Interfaces>(static_cast<Interfaces*>(this), riid)),
             ...);
            if (!found) found = QueryExtraInterface(riid);
        }
        if (!found) return E_NOINTERFACE;
        *object = found;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // The identity pointer of this object.
    IUnknown* GetUnknown() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

protected:
    virtual ~ComObject() { --com_detail::ModuleObjectCount(); }
    // Interfaces an object answers beyond its bases (tear-offs, inner objects); returns a pointer
    // without adding a reference, or null.
    virtual void* QueryExtraInterface(REFIID) { return nullptr; }

private:
    std::atomic<ULONG> refs_{0};
};

// Creates an object with one reference, owned by the returned pointer.
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args) {
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}
