#pragma once
// Registration of window classes, once per process and class name.
#include <windows.h>

namespace platform {

struct WindowClassSpec {
    const wchar_t* name = nullptr;
    UINT style = 0;                     // CS_* bits, e.g. CS_DBLCLKS for views that take double clicks
    WNDPROC proc = ::DefWindowProcW;
    int windowExtra = 0;                // cbWndExtra
    HBRUSH background = nullptr;
    HCURSOR cursor = nullptr;           // null: the arrow cursor
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HINSTANCE instance = nullptr;       // null: the module that holds this code
};

// Registers the class unless a class of that name is already registered for
// the instance; answers the class atom, 0 on failure (logged).
ATOM RegisterWindowClass(const WindowClassSpec& spec);

// The module that holds this code (the program, or the DLL it is linked into).
HINSTANCE CurrentModule();

} // namespace platform
