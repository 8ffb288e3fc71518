#pragma once
// The skinned dialog template: every window of the program that shows a
// skinned layout. It loads the layout by resource id, creates the window
// with the style the layout asks for, puts the view inside as child 1000,
// adds the drop shadow, runs modally when asked, and supplies the base
// message map that each window class chains to after its own entries:
//
//   class CMyDlg : public CBkDialogImpl<CMyDlg> {
//   public:
//       CMyDlg() : CBkDialogImpl<CMyDlg>(116) {}
//       WINDOW_MAP_BEGIN(CMyDlg)
//           ON_WINDOW_NOTIFY_CODE(IDC_BKVIEW, BKNM_COMMAND, OnBkCommand)
//           WINDOW_MAP_CHAIN(CBkDialogImpl<CMyDlg>)
//       WINDOW_MAP_END()
//   };
//
// Esc, Enter and the close box reach the window's notify handler as
// BKNM_COMMAND with item 2, 1 and 2.
#include <windows.h>

#include "platform/keyboard_anchor.h"
#include "platform/message_loop.h"
#include "platform/window_impl.h"
#include "ui/bkdlgview.h"
#include "ui/bkshadowwnd.h"

#ifndef WM_FORWARDMSG
#define WM_FORWARDMSG 0x037F
#endif

// Posted to a running modal window to give it the keyboard again (the user
// called for the program while the window is open). Posted, not sent: the
// focus request then carries the time of the call, newer than the focus
// change the call itself may have made (a click on the tray).
constexpr UINT WM_BKDLG_TAKE_KEYBOARD = 3159;

class CBkDialogHost : public platform::WindowImplBase, public platform::MessageFilter {
public:
    explicit CBkDialogHost(UINT uResID = 0);
    ~CBkDialogHost() override;

    // Loads the layout resource into the view. FALSE when it is missing or
    // does not load.
    BOOL Load();
    // Creates the window (hidden unless the layout or WM_INITDIALOG shows it);
    // null on failure.
    HWND Create(HWND hWndParent = nullptr);
    HWND Create(HWND hWndParent, const RECT& rc);
    // Runs the window modally over hWndOwner (null: the window registered
    // with the manager, else the active window); answers the end code, 0
    // when the window could not be made.
    int DoModal(HWND hWndOwner = nullptr, const RECT* pRect = nullptr);
    // The modal loop. A WM_QUIT that it takes is posted again, so the loop
    // outside ends too.
    void RunModalLoop();
    // Ends the modal loop with the code (wakes it with a thread message).
    void EndDialog(int nCode);
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Gives the running modal window the keyboard, whatever window has it.
    void TakeKeyboard();
    // The dialog or box of this thread that runs modally now (the innermost
    // DoModal window, else a visible message box), or null.
    static HWND RunningModal();

    UINT GetResID() const { return m_uResID; }
    void SetResID(UINT uResID) { m_uResID = uResID; }
    int GetEndCode() const { return m_nEndCode; }
    CBkDialogView& GetViewControl() { return m_richView; }
    CShadowWnd& GetShadow() { return m_wndShadow; }
    void EnableShadow(BOOL bEnable) { m_bShadowEnabled = bEnable; }
    void SetForegroundOnModal(BOOL bForeground) { m_bForeground = bForeground; }
    void SetFullDragOff(BOOL bOff) { m_bFullDrag = bOff; }

    // The view's item accessors.
    BOOL SetItemText(UINT uItemID, LPCWSTR lpszText) { return m_richView.SetItemText(uItemID, lpszText); }
    BOOL SetItemAttribute(UINT uItemID, LPCSTR lpszAttrib, LPCSTR lpszValue) {
        return m_richView.SetItemAttribute(uItemID, lpszAttrib, lpszValue);
    }
    BOOL SetItemIntAttribute(UINT uItemID, LPCSTR lpszAttrib, int nValue) {
        return m_richView.SetItemIntAttribute(uItemID, lpszAttrib, nValue);
    }
    BOOL SetItemDWordAttribute(UINT uItemID, LPCSTR lpszAttrib, DWORD dwValue) {
        return m_richView.SetItemDWordAttribute(uItemID, lpszAttrib, dwValue);
    }
    BOOL GetItemCheck(UINT uItemID) { return m_richView.GetItemCheck(uItemID); }
    BOOL SetItemCheck(UINT uItemID, BOOL bCheck) { return m_richView.SetItemCheck(uItemID, bCheck); }
    BOOL EnableItem(UINT uItemID, BOOL bEnable) { return m_richView.EnableItem(uItemID, bEnable); }
    BOOL SetItemVisible(UINT uItemID, BOOL bVisible) { return m_richView.SetItemVisible(uItemID, bVisible); }
    BOOL IsItemVisible(UINT uItemID) { return m_richView.IsItemVisible(uItemID); }

    // The base message map.
    WINDOW_MAP_BEGIN(CBkDialogHost)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_MOVE, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_SIZE, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_PAINT, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_SHOWWINDOW, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_WINDOWPOSCHANGED, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_MOVING, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_EXITSIZEMOVE, OnShadowFollow)
        ON_WINDOW_MESSAGE(WM_NCACTIVATE, OnAnswerOne)
        ON_WINDOW_MESSAGE(WM_ERASEBKGND, OnAnswerOne)
        ON_WINDOW_MESSAGE(WM_NCCALCSIZE, OnNcCalcSize)
        ON_WINDOW_MESSAGE(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
        ON_WINDOW_MESSAGE(WM_GETMINMAXINFO, OnGetMinMaxInfo)
        ON_WINDOW_MESSAGE(WM_SIZE, OnSize)
        ON_WINDOW_MESSAGE(WM_KEYDOWN, OnKeyDown)
        ON_WINDOW_MESSAGE(WM_CLOSE, OnClose)
        ON_WINDOW_COMMAND(IDOK, OnOkCancel)
        ON_WINDOW_COMMAND(IDCANCEL, OnOkCancel)
        ON_WINDOW_MESSAGE(WM_MOUSEWHEEL, OnMouseWheel)
        ON_WINDOW_MESSAGE(WM_SETFOCUS, OnSetFocus)
        ON_WINDOW_MESSAGE(WM_ENTERSIZEMOVE, OnEnterSizeMove)
        ON_WINDOW_MESSAGE(WM_EXITSIZEMOVE, OnExitSizeMove)
        ON_WINDOW_MESSAGE(WM_SETCURSOR, OnSetCursor)
        ON_WINDOW_MESSAGE(WM_BKDLG_TAKE_KEYBOARD, OnTakeKeyboard)
    WINDOW_MAP_END()

protected:
    // Creates the frame window of the derived class's window class.
    virtual HWND CreateFrame(HWND hWndParent, const RECT& rc, LPCWSTR lpszTitle, DWORD dwStyle, DWORD dwExStyle) = 0;

    LRESULT OnShadowFollow(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnAnswerOne(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnWindowPosChanging(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnOkCancel(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEnterSizeMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnExitSizeMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetCursor(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnTakeKeyboard(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    UINT m_uResID;
    int m_nEndCode = 0;
    // Declared before the shadow so that the shadow goes first.
    CBkDialogView m_richView;
    CShadowWnd m_wndShadow;
    BOOL m_bShadowEnabled = TRUE;
    BOOL m_bForeground = TRUE;
    BOOL m_bFullDrag = FALSE;
    int m_nSavedFullDrag = -1;
    BOOL m_bEnd = FALSE;
    // Brings the keyboard into the program for this window: made while it
    // runs modally, or while a window that is not modal holds the keys it
    // was called for.
    platform::KeyboardAnchor m_keyAnchor;

private:
    HWND CreateWithRect(HWND hWndParent, const RECT* pRect);
};

template <class T>
class CBkDialogImpl : public platform::WindowImpl<T, CBkDialogHost> {
    using Frame = platform::WindowImpl<T, CBkDialogHost>;

public:
    explicit CBkDialogImpl(UINT uResID = 0) : Frame(uResID) {}

    HWND Create(HWND hWndParent = nullptr) { return CBkDialogHost::Create(hWndParent); }
    HWND Create(HWND hWndParent, const RECT& rc) { return CBkDialogHost::Create(hWndParent, rc); }

protected:
    HWND CreateFrame(HWND hWndParent, const RECT& rc, LPCWSTR lpszTitle, DWORD dwStyle, DWORD dwExStyle) override {
        return Frame::Create(hWndParent, &rc, lpszTitle, dwStyle, dwExStyle);
    }
};

// The window Parts name the template of skinned dialog views this way too.
template <class T>
using CBkDialogViewImpl = CBkDialogImpl<T>;
