#pragma once
// The scope popup under the search bar: three check rows that choose whether
// a search covers existing files, deleted files and web results. The last
// chosen row cannot be cleared, so the scope is never empty.
//
// Like a drop-down list it never takes the activation (the bar keeps the
// keyboard, and a window manager leaves the popup to us, so it stands over
// the result list): Esc, a click anywhere else in the program, or the
// program losing the activation (a click on the desktop or on another
// program), closes it.
#include <windows.h>

#include <memory>
#include <type_traits>

#include "ui/bkdlgimpl.h"

constexpr UINT WM_SEARCH_SCOPE_CHANGED = 1598;

enum ScopeBits : int {
    SCOPE_EXISTING = 1,
    SCOPE_DELETED = 2,
    SCOPE_WEB = 4,
    SCOPE_ALL = 7,
};

class CKSettingDlg : public CBkDialogImpl<CKSettingDlg> {
public:
    enum : UINT { IDC_ROW_FIRST = 501, IDC_ROW_LAST = 503, IDC_TEXT_FIRST = 401 };

    CKSettingDlg();

    // The bar that hears about every change.
    void SetOwner(HWND owner) { owner_ = owner; }
    int GetMask() const { return mask_; }
    // Takes a mask of the bar's (1 to 7; anything else is ignored).
    void SetMask(int mask);
    bool IsShown() const { return shown_; }

    // Shows the popup at the screen point; `cookie` goes back with the answer.
    void Popup(LPARAM cookie, int x, int y);
    void OnItemClick(UINT id);

    ~CKSettingDlg() override;

    WINDOW_MAP_BEGIN(CKSettingDlg)
        ON_WINDOW_MESSAGE(WM_NCACTIVATE, OnNcActivate)
        ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
        ON_WINDOW_MESSAGE(WM_ACTIVATEAPP, OnActivateApp)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(kHideMessage, OnHide)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CKSettingDlg>)
    WINDOW_MAP_END()

private:
    // Posted to itself: the deferred hide of a popup that lost the activation.
    static const UINT kHideMessage = WM_APP + 0x125;

    LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }
    LRESULT OnActivateApp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // Watch the thread's mouse presses and keys while the popup is shown.
    static LRESULT CALLBACK OnMouseHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK OnKeyboardHook(int code, WPARAM wParam, LPARAM lParam);
    void WatchClicks(bool watch);
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    // Skins from the mask; the row of a lone bit is locked.
    void ShowRows();
    LRESULT OnHide(UINT, WPARAM, LPARAM, BOOL&);
    // Answers the owner. `deferHide` hides the window only once the
    // activation that took it away is done (see OnNcActivate).
    void CloseWith(WPARAM mask, bool deferHide = false);

    using HookHandle = std::unique_ptr<std::remove_pointer_t<HHOOK>, decltype(&::UnhookWindowsHookEx)>;
    HookHandle hook_{nullptr, &::UnhookWindowsHookEx};
    HookHandle keyHook_{nullptr, &::UnhookWindowsHookEx};
    // The shown popup whose hook runs (one at a time on the UI thread).
    static CKSettingDlg* s_watching;

    int mask_ = SCOPE_ALL;
    bool shown_ = false;
    HWND owner_ = nullptr;
    LPARAM cookie_ = 0;
};
