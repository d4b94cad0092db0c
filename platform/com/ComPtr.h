#pragma once
// An owning interface pointer: AddRef on copy, Release on reset or destruction.
#include <cstddef>
#include <utility>

#include "platform/com/Unknown.h"

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference on `p`.
    ComPtr(T* p) : ptr_(p) { AddRefIfSet(); }
    ComPtr(const ComPtr& other) : ptr_(other.ptr_) { AddRefIfSet(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U>
    ComPtr(const ComPtr<U>& other) : ptr_(other.Get()) { AddRefIfSet(); }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) {
        if (this != &other) ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p) {
        ComPtr(p).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T& operator*() const { return *ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    void Reset() {
        if (T* p = std::exchange(ptr_, nullptr)) p->Release();
    }
    // Adopts a reference the caller already owns.
    void Attach(T* p) {
        Reset();
        ptr_ = p;
    }
    // Hands the reference to the caller.
    [[nodiscard]] T* Detach() { return std::exchange(ptr_, nullptr); }
    // For out-parameters: releases what is held and lets the callee store a new reference.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &ptr_;
    }
    T** GetAddressOf() { return &ptr_; }
    void** ReleaseAndGetVoidAddress() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

    // Copies out a new reference, as interface getters do.
    HRESULT CopyTo(T** out) const {
        if (!out) return E_POINTER;
        *out = ptr_;
        AddRefIfSet();
        return S_OK;
    }
    template <class U>
    HRESULT As(ComPtr<U>* out) const {
        if (!out) return E_POINTER;
        if (!ptr_) return E_POINTER;
        return ptr_->QueryInterface(U::iid, out->ReleaseAndGetVoidAddress());
    }
    template <class U>
    ComPtr<U> As() const {
        ComPtr<U> out;
        As(&out);
        return out;
    }
    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.ptr_ == b.ptr_; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.ptr_ == nullptr; }

private:
    void AddRefIfSet() const {
        if (ptr_) ptr_->AddRef();
    }
    T* ptr_ = nullptr;
};

// QueryInterface into a ComPtr: `ComPtr<IFoo> foo = QueryAs<IFoo>(unknown);`
template <class U, class T>
ComPtr<U> QueryAs(T* object) {
    ComPtr<U> out;
    if (object) object->QueryInterface(U::iid, out.ReleaseAndGetVoidAddress());
    return out;
}
