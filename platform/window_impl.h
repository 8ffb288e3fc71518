#pragma once
// Window objects: a C++ object bound to one real window, whose messages it
// dispatches through its message map (platform/message_map.h).
//
// Binding: a window of our own class is bound at its very first message, which
// may come before WM_NCCREATE (WM_GETMINMAXINFO does for framed windows); the
// object is taken from a per-thread slot that Create fills just before
// CreateWindowEx. A system control (an EDIT, say) is bound by subclassing an
// existing handle; messages the map leaves alone go to its original procedure.
//
// Unbinding: at WM_NCDESTROY, after the map and the default processing have
// seen it, the object lets go of the window and then OnFinalMessage runs; it
// is the last call the window makes on the object, so an object may delete
// itself there. When WM_NCDESTROY arrives while an outer message of the same
// object is still being handled (DestroyWindow called from a handler),
// OnFinalMessage waits until that outer handler has returned.
#include <windows.h>

#include "platform/message_map.h"
#include "platform/window.h"
#include "platform/window_class.h"

namespace platform {

class WindowImplBase : public Window {
public:
    WindowImplBase() noexcept = default;
    WindowImplBase(const WindowImplBase&) = delete;
    WindowImplBase& operator=(const WindowImplBase&) = delete;
    // An object destroyed while its window still lives first lets go of the
    // window (so no message reaches freed memory), then destroys it.
    virtual ~WindowImplBase();

    // The message map; WINDOW_MAP_BEGIN defines it in each window class.
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                      DWORD dwMsgMapID = 0) = 0;

    // Binds to an existing window (of any class, typically a system control).
    // Fails when this object is already bound or the window is bound to
    // another object of ours.
    bool SubclassWindow(HWND hwnd);
    // Gives the window its original procedure back; answers the window, or
    // null when it was not subclassed by this object or another procedure was
    // installed on top of ours since (then the binding stays).
    HWND UnsubclassWindow();
    bool IsSubclassed() const noexcept { return subclassed_; }

    // Default processing of a message: the original procedure of a subclassed
    // control, DefWindowProc for our own classes.
    LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // Default processing of the message being handled now.
    LRESULT DefWindowProc();
    // The message being handled now (null outside a handler).
    const MSG* CurrentMessage() const noexcept { return currentMsg_; }

    // The object bound to a window by this layer, or null.
    static WindowImplBase* FromHandle(HWND hwnd);

protected:
    // Called once after WM_NCDESTROY; the window handle is already null.
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

    // Creates a window of the given class (registered with
    // ClassWindowProc and at least sizeof(void*) window extra bytes).
    HWND CreateOfClass(const wchar_t* className, HWND parent, const RECT* rect, const wchar_t* title, DWORD style,
                       DWORD exStyle, UINT_PTR idOrMenu, void* param);

    static LRESULT CALLBACK ClassWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // "LumsekWindow" and the token in hex; `out` holds 48 characters.
    static void MakeClassName(wchar_t* out, const void* token);

private:
    static LRESULT CALLBACK SubclassWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Unbind(HWND hwnd);

    WNDPROC superProc_ = ::DefWindowProcW;
    bool subclassed_ = false;
    int depth_ = 0;            // nesting of messages being handled by this object
    bool finalPending_ = false;
    const MSG* currentMsg_ = nullptr;
};

// Base of a window class T with its own window class; Base is
// WindowImplBase or a class derived from it (a framework window base). T may
// hide these to choose its class:
//   static const wchar_t* WindowClassName();  // null: a name made for T
//   static UINT WindowClassStyle();           // e.g. CS_DBLCLKS
//   static HBRUSH WindowClassBackground();
//   static HCURSOR WindowClassCursor();        // null: arrow
template <class T, class Base = WindowImplBase>
class WindowImpl : public Base {
public:
    using Base::Base;

    static const wchar_t* WindowClassName() { return nullptr; }
    static UINT WindowClassStyle() { return 0; }
    static HBRUSH WindowClassBackground() { return nullptr; }
    static HCURSOR WindowClassCursor() { return nullptr; }

    // Registers T's class on first use and creates the window; a null
    // rectangle gives an empty one at (0, 0). Answers the window or null.
    HWND Create(HWND parent, const RECT* rect = nullptr, const wchar_t* title = nullptr, DWORD style = 0,
                DWORD exStyle = 0, UINT_PTR idOrMenu = 0, void* param = nullptr) {
        const wchar_t* name = ClassName();
        WindowClassSpec spec;
        spec.name = name;
        spec.style = T::WindowClassStyle();
        spec.proc = &WindowImplBase::ClassWindowProc;
        spec.windowExtra = sizeof(LONG_PTR);
        spec.background = T::WindowClassBackground();
        spec.cursor = T::WindowClassCursor();
        if (RegisterWindowClass(spec) == 0) return nullptr;
        return this->CreateOfClass(name, parent, rect, title, style, exStyle, idOrMenu, param);
    }

    static const wchar_t* ClassName() {
        if (const wchar_t* own = T::WindowClassName()) return own;
        // One name per T: the address of this function differs per T.
        static wchar_t generated[48] = {};
        if (generated[0] == 0) WindowImplBase::MakeClassName(generated, reinterpret_cast<const void*>(&WindowImpl::ClassName));
        return generated;
    }
};

} // namespace platform
