#pragma once
// The single-line edit of the search box: a subclassed system EDIT that tells
// its owner, by posted messages, that the text may have changed (before the
// edit applies the key, so the owner reads the new text) or that it lost
// the focus.
#include <windows.h>

#include <string>

#include "platform/window_impl.h"
#include "shell/shell_messages.h"

class CSearchEdit : public platform::WindowImplBase {
public:
    // Creates the EDIT (a popup tool window owned by `owner` over `rc`,
    // screen coordinates) and subclasses it. Null on failure.
    HWND Create(HWND owner, const RECT& rc);
    void SetNotifyOwner(HWND owner) { m_hOwner = owner; }
    HWND NotifyOwner() const { return m_hOwner; }
    std::wstring GetText() const;
    void SetText(const wchar_t* text);
    // Whether the character typed (WM_CHAR) may change the text: then the
    // owner hears of it.
    static bool ChangesText(WPARAM ch);

    WINDOW_MAP_BEGIN(CSearchEdit)
        ON_WINDOW_MESSAGE(WM_KEYDOWN, OnKeyDown)
        ON_WINDOW_MESSAGE(WM_CHAR, OnChar)
        ON_WINDOW_MESSAGE(WM_CUT, OnClipboardEdit)
        ON_WINDOW_MESSAGE(WM_PASTE, OnClipboardEdit)
        ON_WINDOW_MESSAGE(WM_CLEAR, OnClipboardEdit)
        ON_WINDOW_MESSAGE(WM_KILLFOCUS, OnKillFocus)
        ON_WINDOW_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
    WINDOW_MAP_END()

private:
    void Notify(UINT msg, WPARAM wParam);
    LRESULT OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnClipboardEdit(UINT, WPARAM, LPARAM, BOOL& bHandled);
    LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled);
    LRESULT OnSysCommand(UINT, WPARAM, LPARAM, BOOL&) { return 0; }

    HWND m_hOwner = nullptr;
};
