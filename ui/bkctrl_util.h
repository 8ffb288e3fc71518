#pragma once
// Small helpers shared by the leaf controls for talking to their view.
#include <windows.h>

#include "ui/bknotify.h"
#include "ui/bkwnd.h"

// Asks the view that holds the control to repaint the control's rectangle.
// Skipped when the control is not (or no longer) in a live view.
inline void BkInvalidateControl(const CBkWindow& wnd) {
    HWND view = wnd.GetContainer();
    if (view == nullptr || !::IsWindow(view)) return;
    BKNMINVALIDATERECT nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
    nm.hdr.code = BKNM_INVALIDATERECT;
    nm.uItemID = wnd.GetCmdID();
    nm.rect = wnd.GetRect();
    ::SendMessageW(view, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

// Decimal text of a raw address or handle, as owners write them into
// attributes; full pointer width on both builds, 0 for anything else.
inline ULONG_PTR BkParseAddress(const char* text) {
    if (text == nullptr) return 0;
    unsigned long long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return 0;
        const unsigned long long next = value * 10 + static_cast<unsigned>(*p - '0');
        if (next / 10 != value) return 0;  // overflow
        value = next;
    }
    if (value > static_cast<unsigned long long>(static_cast<ULONG_PTR>(-1))) return 0;
    return static_cast<ULONG_PTR>(value);
}
