#include "platform/window_impl.h"

#include "platform/trace.h"

namespace platform {

namespace {

// The object whose window is being created on this thread; taken by the first
// message the new window receives.
thread_local WindowImplBase* t_creating = nullptr;

const wchar_t kObjectProp[] = L"LumsekWindowObject";

} // namespace

WindowImplBase::~WindowImplBase() {
    if (hwnd_ == nullptr) return;
    HWND hwnd = hwnd_;
    if (!::IsWindow(hwnd)) {
        hwnd_ = nullptr;
        return;
    }
    Trace("window object destroyed while its window %p lives", static_cast<void*>(hwnd));
    if (subclassed_) {
        // A control that was only borrowed goes back to its own procedure.
        if (UnsubclassWindow() == nullptr) ::RemovePropW(hwnd, kObjectProp);
        hwnd_ = nullptr;
        return;
    }
    ::SetWindowLongPtrW(hwnd, 0, 0);
    hwnd_ = nullptr;
    ::DestroyWindow(hwnd);
}

void WindowImplBase::MakeClassName(wchar_t* out, const void* token) {
    static const wchar_t kPrefix[] = L"LumsekWindow";
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    size_t n = 0;
    for (; kPrefix[n]; ++n) out[n] = kPrefix[n];
    uintptr_t v = reinterpret_cast<uintptr_t>(token);
    for (int shift = static_cast<int>(sizeof(v) * 8) - 4; shift >= 0; shift -= 4) out[n++] = kHex[(v >> shift) & 0xF];
    out[n] = 0;
}

WindowImplBase* WindowImplBase::FromHandle(HWND hwnd) {
    if (hwnd == nullptr || !::IsWindow(hwnd)) return nullptr;
    if (void* p = ::GetPropW(hwnd, kObjectProp)) return static_cast<WindowImplBase*>(p);
    if (reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC)) == &WindowImplBase::ClassWindowProc)
        return reinterpret_cast<WindowImplBase*>(::GetWindowLongPtrW(hwnd, 0));
    return nullptr;
}

HWND WindowImplBase::CreateOfClass(const wchar_t* className, HWND parent, const RECT* rect, const wchar_t* title,
                                   DWORD style, DWORD exStyle, UINT_PTR idOrMenu, void* param) {
    if (hwnd_ != nullptr) {
        Trace("window object already has a window");
        return nullptr;
    }
    RECT rc = rect ? *rect : RECT{0, 0, 0, 0};
    t_creating = this;
    // Counts as a message being handled: a window destroyed during its own
    // creation must not reach OnFinalMessage while Create still runs.
    ++depth_;
    HWND hwnd = ::CreateWindowExW(exStyle, className, title ? title : L"", style, rc.left, rc.top,
                                  rc.right - rc.left, rc.bottom - rc.top, parent,
                                  reinterpret_cast<HMENU>(idOrMenu), CurrentModule(), param);
    --depth_;
    if (t_creating == this) t_creating = nullptr;
    if (hwnd == nullptr) {
        TraceLastError("CreateWindowExW");
        // A failed creation never counts as a final message: the caller still
        // owns the object.
        hwnd_ = nullptr;
        finalPending_ = false;
        return nullptr;
    }
    return hwnd;
}

LRESULT CALLBACK WindowImplBase::ClassWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<WindowImplBase*>(::GetWindowLongPtrW(hwnd, 0));
    if (self == nullptr) {
        self = t_creating;
        if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
        t_creating = nullptr;
        ::SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
        self->superProc_ = ::DefWindowProcW;
        self->subclassed_ = false;
    }
    return self->Dispatch(hwnd, msg, wp, lp);
}

LRESULT CALLBACK WindowImplBase::SubclassWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<WindowImplBase*>(::GetPropW(hwnd, kObjectProp));
    if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
    return self->Dispatch(hwnd, msg, wp, lp);
}

bool WindowImplBase::SubclassWindow(HWND hwnd) {
    if (hwnd_ != nullptr || hwnd == nullptr || !::IsWindow(hwnd)) return false;
    if (FromHandle(hwnd) != nullptr) return false;
    if (!::SetPropW(hwnd, kObjectProp, this)) {
        TraceLastError("SetPropW");
        return false;
    }
    ::SetLastError(0);
    auto old = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowImplBase::SubclassWindowProc)));
    if (old == nullptr && ::GetLastError() != 0) {
        TraceLastError("SetWindowLongPtrW(GWLP_WNDPROC)");
        ::RemovePropW(hwnd, kObjectProp);
        return false;
    }
    superProc_ = old;
    subclassed_ = true;
    hwnd_ = hwnd;
    return true;
}

HWND WindowImplBase::UnsubclassWindow() {
    if (!subclassed_ || hwnd_ == nullptr) return nullptr;
    HWND hwnd = hwnd_;
    auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    if (current != &WindowImplBase::SubclassWindowProc) return nullptr;
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
    ::RemovePropW(hwnd, kObjectProp);
    superProc_ = ::DefWindowProcW;
    subclassed_ = false;
    hwnd_ = nullptr;
    return hwnd;
}

LRESULT WindowImplBase::DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    HWND hwnd = hwnd_ ? hwnd_ : (currentMsg_ ? currentMsg_->hwnd : nullptr);
    if (hwnd == nullptr) return 0;
    if (subclassed_ && superProc_ != nullptr) return ::CallWindowProcW(superProc_, hwnd, msg, wp, lp);
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT WindowImplBase::DefWindowProc() {
    if (currentMsg_ == nullptr) return 0;
    return DefWindowProc(currentMsg_->message, currentMsg_->wParam, currentMsg_->lParam);
}

void WindowImplBase::Unbind(HWND hwnd) {
    if (subclassed_) {
        // Put the original procedure back unless someone subclassed on top of
        // us; the window is gone after this message anyway.
        if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) == &WindowImplBase::SubclassWindowProc)
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
        ::RemovePropW(hwnd, kObjectProp);
        subclassed_ = false;
        superProc_ = ::DefWindowProcW;
    } else {
        ::SetWindowLongPtrW(hwnd, 0, 0);
    }
    hwnd_ = nullptr;
}

LRESULT WindowImplBase::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MSG current = {};
    current.hwnd = hwnd;
    current.message = msg;
    current.wParam = wp;
    current.lParam = lp;
    const MSG* outer = currentMsg_;
    currentMsg_ = &current;
    ++depth_;
    // Taken now: a handler may unsubclass the control while it runs.
    WNDPROC super = subclassed_ ? superProc_ : nullptr;

    LRESULT result = 0;
    if (!ProcessWindowMessage(hwnd, msg, wp, lp, result, 0)) {
        if (super) result = ::CallWindowProcW(super, hwnd, msg, wp, lp);
        else result = ::DefWindowProcW(hwnd, msg, wp, lp);
    }

    --depth_;
    currentMsg_ = outer;
    if (msg == WM_NCDESTROY && hwnd_ == hwnd) {
        Unbind(hwnd);
        finalPending_ = true;
    }
    if (finalPending_ && depth_ == 0) {
        finalPending_ = false;
        OnFinalMessage(hwnd);  // may delete this object: nothing after it
    }
    return result;
}

} // namespace platform
