#include "platform/window_class.h"

#include "platform/trace.h"

namespace platform {

HINSTANCE CurrentModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&CurrentModule), &module);
    return module ? module : ::GetModuleHandleW(nullptr);
}

ATOM RegisterWindowClass(const WindowClassSpec& spec) {
    if (spec.name == nullptr || spec.name[0] == 0) return 0;
    HINSTANCE instance = spec.instance ? spec.instance : CurrentModule();

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    // GetClassInfoEx answers the class atom when the class exists.
    if (ATOM existing = static_cast<ATOM>(::GetClassInfoExW(instance, spec.name, &wc))) return existing;

    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = spec.style;
    wc.lpfnWndProc = spec.proc ? spec.proc : ::DefWindowProcW;
    wc.cbWndExtra = spec.windowExtra;
    wc.hInstance = instance;
    wc.hIcon = spec.icon;
    wc.hIconSm = spec.smallIcon;
    wc.hCursor = spec.cursor ? spec.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = spec.background;
    wc.lpszClassName = spec.name;
    ATOM atom = ::RegisterClassExW(&wc);
    if (atom == 0) {
        // Another thread may have won the race; that class is as good as ours.
        if (::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
            WNDCLASSEXW again = {};
            again.cbSize = sizeof(again);
            return static_cast<ATOM>(::GetClassInfoExW(instance, spec.name, &again));
        }
        TraceLastError("RegisterClassExW");
    }
    return atom;
}

} // namespace platform
