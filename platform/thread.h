#pragma once
// A joinable thread started with _beginthreadex, so the C runtime's per-thread
// data is set up and freed properly.
#include <windows.h>
#include "platform/handle.h"

namespace platform {

class Thread {
public:
    using Proc = unsigned (__stdcall*)(void*);

    Thread() noexcept = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    Thread(Thread&&) noexcept = default;
    Thread& operator=(Thread&&) noexcept;

    // Starts proc(arg). Fails (and logs) when a thread is still held or the
    // system refuses; the previous, finished thread's handle is released.
    bool Start(Proc proc, void* arg);

    // True while the thread has not ended (a zero-time wait).
    bool IsRunning() const noexcept;
    // Waits for the end of the thread; true when it ended within the time.
    bool Join(DWORD timeoutMs = INFINITE) noexcept;
    // Exit code of an ended thread, or STILL_ACTIVE.
    DWORD ExitCode() const noexcept;

    HANDLE Handle() const noexcept { return handle_.Get(); }
    bool IsStarted() const noexcept { return handle_.IsValid(); }
    // Forgets an ended thread's handle.
    void Close() noexcept { handle_.Close(); }

private:
    UniqueHandle handle_;
};

} // namespace platform
