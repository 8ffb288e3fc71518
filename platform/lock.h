#pragma once
// A critical section and its scoped lock.
#include <windows.h>

namespace platform {

class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&cs_); }
    ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() noexcept { ::EnterCriticalSection(&cs_); }
    void Leave() noexcept { ::LeaveCriticalSection(&cs_); }
    bool TryEnter() noexcept { return ::TryEnterCriticalSection(&cs_) != FALSE; }

private:
    CRITICAL_SECTION cs_;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& cs) noexcept : cs_(&cs) { cs_->Enter(); }
    ~ScopedLock() { Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    // Leaves early; the destructor then does nothing.
    void Unlock() noexcept {
        if (cs_) { cs_->Leave(); cs_ = nullptr; }
    }

private:
    CriticalSection* cs_;
};

} // namespace platform
