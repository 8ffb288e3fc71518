#pragma once
// An owning COM interface pointer: Release at scope end, AddRef on copy.
#include <windows.h>
#include <unknwn.h>

namespace platform {

template <class I>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p`.
    explicit ComPtr(I* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(const ComPtr& o) noexcept {
        if (o.p_) o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) { Reset(); p_ = o.p_; o.p_ = nullptr; }
        return *this;
    }

    // Adopts a pointer whose reference the caller already holds.
    static ComPtr Adopt(I* p) noexcept { ComPtr c; c.p_ = p; return c; }

    I* Get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    I** Receive() noexcept { Reset(); return &p_; }
    void Reset() noexcept {
        if (p_) { I* p = p_; p_ = nullptr; p->Release(); }
    }
    I* Detach() noexcept { I* p = p_; p_ = nullptr; return p; }

    template <class Other>
    HRESULT QueryInterface(REFIID iid, ComPtr<Other>* out) const noexcept {
        if (!p_ || !out) return E_POINTER;
        return p_->QueryInterface(iid, reinterpret_cast<void**>(out->Receive()));
    }

private:
    I* p_ = nullptr;
};

} // namespace platform
