#include "shell/search_edit.h"

#include <string>

HWND CSearchEdit::Create(HWND owner, const RECT& rc) {
    HWND hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL, rc.left, rc.top,
                                  rc.right - rc.left, rc.bottom - rc.top, owner, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr) return nullptr;
    if (!SubclassWindow(hwnd)) {
        ::DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

std::wstring CSearchEdit::GetText() const {
    HWND hwnd = Handle();
    if (hwnd == nullptr) return std::wstring();
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void CSearchEdit::SetText(const wchar_t* text) {
    if (Handle()) ::SetWindowTextW(Handle(), text ? text : L"");
}

void CSearchEdit::Notify(UINT msg, WPARAM wParam) {
    if (m_hOwner && ::IsWindow(m_hOwner)) ::PostMessageW(m_hOwner, msg, wParam, 0);
}

LRESULT CSearchEdit::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    switch (wParam) {
    case VK_TAB:
    case VK_ESCAPE:
    case VK_UP:
    case VK_DOWN:
        Notify(WM_SEARCH_CHANGED, wParam);
        break;
    case VK_DELETE:
        Notify(WM_SEARCH_CHANGED, 0);
        break;
    default:
        break;
    }
    bHandled = FALSE;
    return 0;
}

bool CSearchEdit::ChangesText(WPARAM ch) {
    // Tab, Enter and Esc never go into a one-line edit: the keys have done
    // their work on WM_KEYDOWN. A search started by their characters would
    // take the focus back from the list that Tab moved into.
    if (ch == L'\t' || ch == L'\r' || ch == L'\n' || ch == 27) return false;
    return !(::GetKeyState(VK_CONTROL) & 0x8000) || ch == 26;
}

LRESULT CSearchEdit::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (ChangesText(wParam)) Notify(WM_SEARCH_CHANGED, 0);
    bHandled = FALSE;
    return 0;
}

LRESULT CSearchEdit::OnClipboardEdit(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    Notify(WM_SEARCH_CHANGED, 0);
    bHandled = FALSE;
    return 0;
}

LRESULT CSearchEdit::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    Notify(WM_SEARCH_EDIT_KILLFOCUS, 0);
    bHandled = FALSE;
    return 0;
}
