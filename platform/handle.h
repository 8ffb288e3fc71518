#pragma once
// Owning wrappers for kernel handles. Two flavours because the API is not
// uniform: CreateFile answers INVALID_HANDLE_VALUE on failure, most other
// creators answer NULL.
#include <windows.h>

namespace platform {

template <HANDLE (*InvalidValue)()>
class BasicHandle {
public:
    BasicHandle() noexcept : h_(InvalidValue()) {}
    explicit BasicHandle(HANDLE h) noexcept : h_(h) {}
    ~BasicHandle() { Close(); }

    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle(BasicHandle&& other) noexcept : h_(other.Detach()) {}
    BasicHandle& operator=(BasicHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    HANDLE Get() const noexcept { return h_; }
    bool IsValid() const noexcept { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const noexcept { return IsValid(); }

    void Reset(HANDLE h = InvalidValue()) noexcept {
        if (h_ != h) { Close(); h_ = h; }
    }
    HANDLE Detach() noexcept { HANDLE h = h_; h_ = InvalidValue(); return h; }
    void Close() noexcept {
        if (IsValid()) ::CloseHandle(h_);
        h_ = InvalidValue();
    }

private:
    HANDLE h_;
};

inline HANDLE NullHandleValue() { return nullptr; }
inline HANDLE InvalidHandleValue() { return INVALID_HANDLE_VALUE; }

// Events, threads, processes, mutexes, mappings: invalid is NULL.
using UniqueHandle = BasicHandle<NullHandleValue>;
// Files and volumes from CreateFile: invalid is INVALID_HANDLE_VALUE.
using FileHandle = BasicHandle<InvalidHandleValue>;

// FindFirstFile handles are closed with FindClose.
class FindHandle {
public:
    FindHandle() noexcept = default;
    explicit FindHandle(HANDLE h) noexcept : h_(h) {}
    ~FindHandle() { if (IsValid()) ::FindClose(h_); }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const noexcept { return h_; }
    bool IsValid() const noexcept { return h_ != INVALID_HANDLE_VALUE; }
private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// A module from LoadLibrary, freed with FreeLibrary.
class ModuleHandle {
public:
    ModuleHandle() noexcept = default;
    explicit ModuleHandle(HMODULE h) noexcept : h_(h) {}
    ~ModuleHandle() { Reset(); }
    ModuleHandle(const ModuleHandle&) = delete;
    ModuleHandle& operator=(const ModuleHandle&) = delete;
    ModuleHandle(ModuleHandle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    ModuleHandle& operator=(ModuleHandle&& o) noexcept {
        if (this != &o) { Reset(); h_ = o.h_; o.h_ = nullptr; }
        return *this;
    }
    HMODULE Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void Reset(HMODULE h = nullptr) noexcept {
        if (h_) ::FreeLibrary(h_);
        h_ = h;
    }
private:
    HMODULE h_ = nullptr;
};

} // namespace platform
