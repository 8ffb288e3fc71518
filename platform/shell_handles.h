#pragma once
// Owning wrappers for what the clipboard and the shell hand out: global memory
// blocks, item ID lists, popup menus, the clipboard itself and a thread's COM
// initialisation.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace platform {

// A block from GlobalAlloc, freed with GlobalFree unless released (handed to
// the clipboard, which then owns it).
class GlobalBlock {
public:
    GlobalBlock() noexcept = default;
    GlobalBlock(UINT flags, SIZE_T bytes) noexcept : h_(::GlobalAlloc(flags, bytes)) {}
    explicit GlobalBlock(HGLOBAL h) noexcept : h_(h) {}
    ~GlobalBlock() { Reset(); }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    GlobalBlock(GlobalBlock&& o) noexcept : h_(o.Release()) {}
    GlobalBlock& operator=(GlobalBlock&& o) noexcept {
        if (this != &o) { Reset(); h_ = o.Release(); }
        return *this;
    }

    HGLOBAL Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    HGLOBAL Release() noexcept { HGLOBAL h = h_; h_ = nullptr; return h; }
    void Reset() noexcept {
        if (h_) ::GlobalFree(h_);
        h_ = nullptr;
    }

private:
    HGLOBAL h_ = nullptr;
};

// GlobalLock for the life of the scope.
template <class T>
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL h) noexcept : h_(h), p_(h ? static_cast<T*>(::GlobalLock(h)) : nullptr) {}
    ~GlobalLockScope() { if (p_) ::GlobalUnlock(h_); }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    T* Get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
private:
    HGLOBAL h_;
    T* p_;
};

// OpenClipboard / CloseClipboard: the clipboard is closed on every path.
class ClipboardScope {
public:
    explicit ClipboardScope(HWND owner) noexcept : open_(::OpenClipboard(owner) != FALSE) {}
    ~ClipboardScope() { if (open_) ::CloseClipboard(); }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    bool IsOpen() const noexcept { return open_; }
private:
    bool open_;
};

// An item ID list from the shell allocator, freed with CoTaskMemFree.
class ItemIdList {
public:
    ItemIdList() noexcept = default;
    explicit ItemIdList(LPITEMIDLIST p) noexcept : p_(p) {}
    ~ItemIdList() { Reset(); }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ItemIdList(ItemIdList&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ItemIdList& operator=(ItemIdList&& o) noexcept {
        if (this != &o) { Reset(); p_ = o.p_; o.p_ = nullptr; }
        return *this;
    }

    LPITEMIDLIST Get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    LPITEMIDLIST* Receive() noexcept { Reset(); return &p_; }
    void Reset(LPITEMIDLIST p = nullptr) noexcept {
        if (p_) ::CoTaskMemFree(p_);
        p_ = p;
    }

private:
    LPITEMIDLIST p_ = nullptr;
};

// A popup menu from CreatePopupMenu, destroyed with DestroyMenu.
class MenuHandle {
public:
    MenuHandle() noexcept = default;
    explicit MenuHandle(HMENU h) noexcept : h_(h) {}
    ~MenuHandle() { Reset(); }
    MenuHandle(const MenuHandle&) = delete;
    MenuHandle& operator=(const MenuHandle&) = delete;
    HMENU Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void Reset(HMENU h = nullptr) noexcept {
        if (h_) ::DestroyMenu(h_);
        h_ = h;
    }
private:
    HMENU h_ = nullptr;
};

// CoInitialize for the scope; uninitialises only when the call counted
// (S_OK or S_FALSE), so a thread in another apartment is left as it was.
class ComInitScope {
public:
    ComInitScope() noexcept : hr_(::CoInitialize(nullptr)) {}
    ~ComInitScope() { if (SUCCEEDED(hr_)) ::CoUninitialize(); }
    ComInitScope(const ComInitScope&) = delete;
    ComInitScope& operator=(const ComInitScope&) = delete;
    HRESULT Result() const noexcept { return hr_; }
private:
    HRESULT hr_;
};

} // namespace platform
