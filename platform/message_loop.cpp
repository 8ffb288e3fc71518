#include "platform/message_loop.h"

#include <algorithm>

#include "platform/trace.h"

namespace platform {

namespace {
thread_local MessageLoop* t_current = nullptr;
}

MessageLoop::MessageLoop() : previous_(t_current) { t_current = this; }

MessageLoop::~MessageLoop() {
    if (t_current == this) t_current = previous_;
}

MessageLoop* MessageLoop::Current() { return t_current; }

template <class P>
bool MessageLoop::Add(std::vector<P*>& list, P* item) {
    if (item == nullptr || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}

template <class P>
bool MessageLoop::Remove(std::vector<P*>& list, P* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (item == nullptr || it == list.end()) return false;
    if (iterating_ > 0) *it = nullptr;
    else list.erase(it);
    return true;
}

void MessageLoop::Compact() {
    if (iterating_ > 0) return;
    filters_.erase(std::remove(filters_.begin(), filters_.end(), nullptr), filters_.end());
    idleHandlers_.erase(std::remove(idleHandlers_.begin(), idleHandlers_.end(), nullptr), idleHandlers_.end());
}

bool MessageLoop::AddMessageFilter(MessageFilter* filter) { return Add(filters_, filter); }
bool MessageLoop::RemoveMessageFilter(MessageFilter* filter) { return Remove(filters_, filter); }
bool MessageLoop::AddIdleHandler(IdleHandler* handler) { return Add(idleHandlers_, handler); }
bool MessageLoop::RemoveIdleHandler(IdleHandler* handler) { return Remove(idleHandlers_, handler); }

BOOL MessageLoop::PreTranslateMessage(MSG* msg) {
    BOOL taken = FALSE;
    ++iterating_;
    // Index walk: filters added meanwhile are not asked for this message,
    // removed ones leave a null slot.
    for (size_t i = filters_.size(); i-- > 0 && !taken;) {
        if (i < filters_.size() && filters_[i] != nullptr) taken = filters_[i]->PreTranslateMessage(msg);
    }
    --iterating_;
    Compact();
    return taken;
}

void MessageLoop::RunIdleHandlers() {
    ++iterating_;
    for (size_t i = 0; i < idleHandlers_.size(); ++i) {
        if (idleHandlers_[i] != nullptr) idleHandlers_[i]->OnIdle();
    }
    --iterating_;
    Compact();
}

bool MessageLoop::EndsIdle(const MSG& msg) {
    switch (msg.message) {
    case WM_PAINT:
    case WM_TIMER:
    case 0x0118:  // the system's caret-blink timer
        return false;
    default:
        return true;
    }
}

int MessageLoop::Run() {
    MSG msg = {};
    bool idle = true;
    for (;;) {
        if (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            RunIdleHandlers();
            idle = false;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            TraceLastError("GetMessageW");
            continue;  // a failed fetch is retried
        }
        if (got == 0) break;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (EndsIdle(msg)) idle = true;
    }
    return static_cast<int>(msg.wParam);
}

} // namespace platform
