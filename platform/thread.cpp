#include "platform/thread.h"

#include <process.h>

#include <utility>

#include "platform/trace.h"

namespace platform {

Thread::~Thread() {
    // A thread object must not outlive its owner's data; wait rather than leak
    // a thread that may still use it.
    Join();
}

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        Join();
        handle_ = std::move(other.handle_);
    }
    return *this;
}

bool Thread::Start(Proc proc, void* arg) {
    if (IsRunning()) {
        Trace("Thread::Start: a thread is still running");
        return false;
    }
    handle_.Close();
    unsigned id = 0;
    uintptr_t h = _beginthreadex(nullptr, 0, proc, arg, 0, &id);
    if (h == 0) {
        TraceLastError("_beginthreadex");
        return false;
    }
    handle_.Reset(reinterpret_cast<HANDLE>(h));
    return true;
}

bool Thread::IsRunning() const noexcept {
    return handle_.IsValid() && ::WaitForSingleObject(handle_.Get(), 0) == WAIT_TIMEOUT;
}

bool Thread::Join(DWORD timeoutMs) noexcept {
    if (!handle_.IsValid()) return true;
    return ::WaitForSingleObject(handle_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Thread::ExitCode() const noexcept {
    DWORD code = STILL_ACTIVE;
    if (handle_.IsValid()) ::GetExitCodeThread(handle_.Get(), &code);
    return code;
}

} // namespace platform
