#pragma once
// Message maps: a window class lists its handlers between WINDOW_MAP_BEGIN and
// WINDOW_MAP_END; the first entry that matches runs, and a handler that
// leaves its `handled` flag TRUE ends the search. A handler that clears the
// flag lets the search go on, to later entries, to a chained map and finally
// to the window's default processing.
//
// Handler signatures:
//   message: LRESULT OnX(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled)
//   command: LRESULT OnX(WORD notifyCode, WORD id, HWND control, BOOL& handled)
//   notify:  LRESULT OnX(int idCtrl, NMHDR* header, BOOL& handled)
//
// Chaining is explicit: WINDOW_MAP_CHAIN(Base) asks Base's map (non-virtual
// call) at the point where it stands, usually last.
#include <windows.h>

#define WINDOW_MAP_BEGIN(theClass)                                                               \
public:                                                                                          \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,                \
                              LRESULT& lResult, DWORD dwMsgMapID = 0) {                          \
        BOOL bHandled = TRUE;                                                                    \
        (void)hWnd; (void)uMsg; (void)wParam; (void)lParam; (void)lResult; (void)bHandled;        \
        switch (dwMsgMapID) {                                                                    \
        case 0:

// A further section of the same map, reached with dwMsgMapID == n (a window
// that routes a subclassed child's messages through its own map uses it).
#define WINDOW_MAP_ALT(n) \
        break;             \
        case n:

#define WINDOW_MAP_END()  \
        break;            \
        default:          \
            break;        \
        }                 \
        return FALSE;     \
    }

#define ON_WINDOW_MESSAGE(msg, func)                                    \
    if (uMsg == (msg)) {                                                \
        bHandled = TRUE;                                                \
        lResult = func(uMsg, wParam, lParam, bHandled);                 \
        if (bHandled) return TRUE;                                      \
    }

#define ON_WINDOW_MESSAGE_RANGE(first, last, func)                      \
    if (static_cast<UINT>(uMsg - (first)) <= static_cast<UINT>((last) - (first))) { \
        bHandled = TRUE;                                                \
        lResult = func(uMsg, wParam, lParam, bHandled);                 \
        if (bHandled) return TRUE;                                      \
    }

// WM_COMMAND from control (or menu item / accelerator) `id`, any code.
#define ON_WINDOW_COMMAND(id, func)                                                              \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                         \
        bHandled = TRUE;                                                                         \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                               \
    }

#define ON_WINDOW_COMMAND_CODE(id, notifyCode, func)                                             \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (notifyCode)) {        \
        bHandled = TRUE;                                                                         \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                               \
    }

#define ON_WINDOW_COMMAND_RANGE(first, last, func)                                               \
    if (uMsg == WM_COMMAND &&                                                                    \
        static_cast<UINT>(LOWORD(wParam) - (first)) <= static_cast<UINT>((last) - (first))) {    \
        bHandled = TRUE;                                                                         \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                               \
    }

// WM_NOTIFY from control `id` (the skinned view is control 1000), any code.
#define ON_WINDOW_NOTIFY(id, func)                                                               \
    if (uMsg == WM_NOTIFY && lParam != 0 &&                                                      \
        reinterpret_cast<NMHDR*>(lParam)->idFrom == static_cast<UINT_PTR>(id)) {                  \
        bHandled = TRUE;                                                                         \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);    \
        if (bHandled) return TRUE;                                                               \
    }

#define ON_WINDOW_NOTIFY_CODE(id, notifyCode, func)                                              \
    if (uMsg == WM_NOTIFY && lParam != 0 &&                                                      \
        reinterpret_cast<NMHDR*>(lParam)->idFrom == static_cast<UINT_PTR>(id) &&                  \
        reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(notifyCode)) {                \
        bHandled = TRUE;                                                                         \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled);    \
        if (bHandled) return TRUE;                                                               \
    }

// Passes the message to the map of a base class.
#define WINDOW_MAP_CHAIN(theBase)                                                   \
    if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0))      \
        return TRUE;

// Passes the message to the map of a member object that has one.
#define WINDOW_MAP_CHAIN_MEMBER(member)                                             \
    if ((member).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult, 0))      \
        return TRUE;
