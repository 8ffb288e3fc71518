#include "shell/scope_popup.h"

#include "platform/trace.h"

namespace {

const char kSkinChecked[] = "btn_menu_gou";
const char kSkinClear[] = "btn_menu";
const char kTextClass[] = "setting_btn_text";
const char kTextClassLocked[] = "setting_btn_text_enable";

bool IsSingleBit(int mask) { return mask == 1 || mask == 2 || mask == 4; }

} // namespace

CKSettingDlg* CKSettingDlg::s_watching = nullptr;

CKSettingDlg::CKSettingDlg() : CBkDialogImpl<CKSettingDlg>(125) {}

CKSettingDlg::~CKSettingDlg() { WatchClicks(false); }

void CKSettingDlg::SetMask(int mask) {
    if (mask >= 1 && mask <= SCOPE_ALL) mask_ = mask;
}

void CKSettingDlg::ShowRows() {
    for (UINT id = IDC_ROW_FIRST; id <= IDC_ROW_LAST; ++id) {
        const int bit = 1 << (id - IDC_ROW_FIRST);
        SetItemAttribute(id, "skin", (mask_ & bit) ? kSkinChecked : kSkinClear);
        const bool locked = IsSingleBit(mask_) && mask_ == bit;
        EnableItem(id, locked ? FALSE : TRUE);
        SetItemAttribute(IDC_TEXT_FIRST + (id - IDC_ROW_FIRST), "class", locked ? kTextClassLocked : kTextClass);
    }
}

void CKSettingDlg::Popup(LPARAM cookie, int x, int y) {
    ShowRows();
    // Shown without the activation: the bar keeps it, and the popup is
    // raised over every other window of ours, the result list included.
    ::SetWindowPos(Handle(), HWND_TOPMOST, x, y, 112, 86, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    shown_ = true;
    cookie_ = cookie;
    WatchClicks(true);
}

void CKSettingDlg::WatchClicks(bool watch) {
    if (!watch) {
        if (s_watching == this) s_watching = nullptr;
        hook_.reset();
        keyHook_.reset();
        return;
    }
    if (hook_) return;
    hook_.reset(::SetWindowsHookExW(WH_MOUSE, &CKSettingDlg::OnMouseHook, nullptr, ::GetCurrentThreadId()));
    if (!hook_) platform::TraceLastError("SetWindowsHookExW(WH_MOUSE)");
    // Esc closes the popup whichever window of ours has the keyboard (the
    // edit, the bar, the list), as it closes a drop-down list.
    keyHook_.reset(::SetWindowsHookExW(WH_KEYBOARD, &CKSettingDlg::OnKeyboardHook, nullptr, ::GetCurrentThreadId()));
    if (!keyHook_) platform::TraceLastError("SetWindowsHookExW(WH_KEYBOARD)");
    if (hook_ || keyHook_) s_watching = this;
}

LRESULT CALLBACK CKSettingDlg::OnKeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    CKSettingDlg* popup = s_watching;
    // Bit 31 of lParam is clear while the key goes down.
    const bool down = (static_cast<DWORD>(lParam) & 0x80000000u) == 0;
    if (code == HC_ACTION && popup && popup->shown_ && wParam == VK_ESCAPE && down) {
        popup->CloseWith(static_cast<WPARAM>(-1));
        return 1;  // the key only closes the popup: the edit keeps its text
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CKSettingDlg::OnMouseHook(int code, WPARAM wParam, LPARAM lParam) {
    CKSettingDlg* popup = s_watching;
    if (code == HC_ACTION && popup && popup->shown_ && lParam) {
        switch (wParam) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN: {
            // A press outside the popup closes it; the press itself goes on
            // to the window it was meant for.
            const auto* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
            HWND root = mouse->hwnd ? ::GetAncestor(mouse->hwnd, GA_ROOT) : nullptr;
            if (root != popup->Handle()) popup->CloseWith(static_cast<WPARAM>(-1));
            break;
        }
        default:
            break;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CKSettingDlg::OnItemClick(UINT id) {
    if (id < IDC_ROW_FIRST || id > IDC_ROW_LAST) return;
    const int bit = 1 << (id - IDC_ROW_FIRST);
    if (mask_ & bit) {
        // The last chosen row is locked; a click that reaches it anyway
        // must not leave the scope empty.
        if (mask_ == bit) return;
        mask_ &= ~bit;
    } else {
        mask_ |= bit;
    }
    ShowRows();
    CloseWith(static_cast<WPARAM>(mask_));
}

void CKSettingDlg::CloseWith(WPARAM mask, bool deferHide) {
    shown_ = false;
    WatchClicks(false);
    if (deferHide) ::PostMessageW(Handle(), kHideMessage, 0, 0);
    else ShowWindow(SW_HIDE);
    if (owner_ && ::IsWindow(owner_)) ::SendMessageW(owner_, WM_SEARCH_SCOPE_CHANGED, mask, cookie_);
}

LRESULT CKSettingDlg::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != FALSE || !shown_) {
        handled = FALSE;
        return 0;
    }
    // Another window of ours is being activated, by a click that must reach
    // it. Hiding the still active popup now would make the system activate
    // some other window in the middle of that (the bar, which then stood
    // over its edit and kept the click); it hides once that is done.
    CloseWith(static_cast<WPARAM>(-1), true);
    return TRUE;
}

LRESULT CKSettingDlg::OnActivateApp(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    // Another program took the activation: the popup goes like a menu does.
    if (!wParam && shown_) CloseWith(static_cast<WPARAM>(-1));
    handled = FALSE;
    return 0;
}

LRESULT CKSettingDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    WatchClicks(false);
    shown_ = false;
    handled = FALSE;
    return 0;
}

LRESULT CKSettingDlg::OnHide(UINT, WPARAM, LPARAM, BOOL&) {
    if (!shown_) ShowWindow(SW_HIDE);  // unless popped up again meanwhile
    return 0;
}

LRESULT CKSettingDlg::OnBkNotify(int, NMHDR* header, BOOL& handled) {
    const UINT item = reinterpret_cast<BKNMCOMMAND*>(header)->uItemID;
    if (header->code != BKNM_COMMAND || item < IDC_ROW_FIRST || item > IDC_ROW_LAST) {
        handled = FALSE;
        return 0;
    }
    OnItemClick(item);
    return 0;
}

LRESULT CKSettingDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) { return TRUE; }
