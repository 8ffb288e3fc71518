#pragma once
// The view: the one real child window (id 1000) of every skinned window. It
// holds the three control trees of a layout (header, body, footer), draws
// them through a cached bitmap and a pending dirty region, turns mouse input
// into control states and reports clicks and hovers to its parent as
// WM_NOTIFY records (BKNM_*).
#include <string>
#include <windows.h>

#include "platform/gdi.h"
#include "platform/window_impl.h"
#include "ui/bkcontainer.h"
#include "ui/bknotify.h"

class CShadowWnd;

#define IDC_BKVIEW 1000

// Finding and changing controls by command id (header, then body, then
// footer). Each answers FALSE when no control has the id.
class CBkViewImpl {
public:
    CBkViewImpl() = default;
    virtual ~CBkViewImpl() = default;
    CBkViewImpl(const CBkViewImpl&) = delete;
    CBkViewImpl& operator=(const CBkViewImpl&) = delete;

    CBkWindow* FindControl(UINT uCmdID);

    BOOL SetItemText(UINT uItemID, LPCWSTR lpszText);
    BOOL SetItemAttribute(UINT uItemID, LPCSTR lpszAttrib, LPCSTR lpszValue);
    BOOL SetItemIntAttribute(UINT uItemID, LPCSTR lpszAttrib, int nValue);
    BOOL SetItemDWordAttribute(UINT uItemID, LPCSTR lpszAttrib, DWORD dwValue);
    BOOL GetItemCheck(UINT uItemID);
    BOOL SetItemCheck(UINT uItemID, BOOL bCheck);
    BOOL EnableItem(UINT uItemID, BOOL bEnable);
    BOOL SetItemVisible(UINT uItemID, BOOL bVisible);
    BOOL IsItemVisible(UINT uItemID);
    // Replaces the markup of a "richtext" control with the text (UTF-8 or
    // UTF-16). FALSE when no rich text has the id or the markup does not
    // parse; the control is then unchanged.
    BOOL SetRichTextUtf8(UINT uItemID, const std::string& strMarkup);
    BOOL SetRichTextW(UINT uItemID, LPCWSTR lpszMarkup);

    // Adds the control's rectangle to the pending region; with the check,
    // nothing for a control that is hidden itself or through an ancestor.
    virtual void InvalidateControl(CBkWindow* pWnd, BOOL bCheckVisible = TRUE) = 0;
    virtual void AddDirtyRect(const RECT& rc) = 0;

    CBkDialog& Header() { return m_bkHeader; }
    CBkDialog& Body() { return m_bkBody; }
    CBkDialog& Footer() { return m_bkFooter; }

protected:
    CBkDialog m_bkHeader;
    CBkDialog m_bkBody;
    CBkDialog m_bkFooter;
    BOOL m_bHeaderLoaded = FALSE;
    BOOL m_bBodyLoaded = FALSE;
    BOOL m_bFooterLoaded = FALSE;
};

class CBkDialogView : public platform::WindowImpl<CBkDialogView>, public CBkViewImpl {
public:
    enum BlitMode { BLIT_COPY = 0, BLIT_COLORKEY = 1, BLIT_ALPHA = 2 };
    static const DWORD kDefaultStyle = WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX;
    static const DWORD kDefaultExStyle = WS_EX_CONTROLPARENT;

    static const wchar_t* WindowClassName() { return L"BkDialogView"; }
    static UINT WindowClassStyle() { return CS_DBLCLKS; }
    static HCURSOR WindowClassCursor() { return ::LoadCursorW(nullptr, IDC_ARROW); }

    CBkDialogView();
    ~CBkDialogView() override;

    // Loads the layout ("layer" root). FALSE when the text does not parse or
    // the root is not "layer"; the view is then empty.
    BOOL XmlLoad(const std::string& strXml);
    // Creates the view window as a child of hWndParent (null rectangle: the
    // parent's client area).
    HWND Create(HWND hWndParent, const RECT* pRect, UINT uID = IDC_BKVIEW);

    void ShowAllRealWindows();
    void LayoutParts();
    void InvalidateControl(CBkWindow* pWnd, BOOL bCheckVisible = TRUE) override;
    void AddDirtyRect(const RECT& rc) override;
    // Draws the pending region straight into a DC (layered windows that
    // paint themselves).
    void DrawDirtyRegion(HDC hdc);
    // Asks for everything to be drawn at the next paint.
    void RequestFullRepaint();

    void SetBlitMode(int nMode, COLORREF crKey = RGB(255, 0, 255)) { m_nBlitMode = nMode; m_crColorKey = crKey; }
    int GetBlitMode() const { return m_nBlitMode; }
    void SetShadow(CShadowWnd* pShadow) { m_pShadow = pShadow; }

    BOOL IsLayoutLoaded() const { return m_bLayoutLoaded; }
    DWORD GetDlgStyle() const { return m_dwDlgStyle; }
    DWORD GetDlgExStyle() const { return m_dwDlgExStyle; }
    const std::wstring& GetTitle() const { return m_strTitle; }
    int GetLayerWidth() const { return m_nWidth; }
    int GetLayerHeight() const { return m_nHeight; }
    int GetMinWidth() const { return m_nMinWidth; }
    int GetMinHeight() const { return m_nMinHeight; }
    BOOL IsResizable() const { return m_bResizable; }
    BOOL IsHoldSize() const { return m_bHoldSize; }
    BOOL IsMovable() const { return m_bMovable; }
    BOOL IsChildLayer() const { return (m_dwDlgStyle & WS_CHILD) != 0; }
    const std::string& GetFrameSkin() const { return m_strFrameSkin; }
    HBKWND GetHoverControl() const { return m_hHover; }
    HBKWND GetPushedControl() const { return m_hPushed; }
    BOOL IsDirty() const { return m_bDirty; }
    HRGN GetPendingRegion() const { return m_rgnPending.Get(); }
    HWND GetToolTip() const { return m_hToolTip; }
    // While suspended the tooltip is hidden and shows no item's tip: a popup
    // or menu opened by an item stands where the tip would come up.
    void SuspendToolTip(BOOL bSuspend);
    // The pointer went onto a real window over or inside the view (an edit,
    // a list): the hovered control loses its hover as on leaving the view.
    // The view itself may get no WM_MOUSELEAVE for that.
    void DropHover();
    // While a control is hovered the view looks every kHoverCheckPeriod ms
    // whether the pointer is still over it: a window laid over the view
    // (an owned popup such as the search edit) takes the pointer without
    // the view being told. Drops the hover when it is not.
    void CheckHoverUnderPointer();
    static const UINT_PTR kHoverCheckTimer = 0x4B48;
    static const UINT kHoverCheckPeriod = 100;
    BOOL IsToolTipSuspended() const { return m_bToolTipSuspended; }

    WINDOW_MAP_BEGIN(CBkDialogView)
        ON_WINDOW_MESSAGE_RANGE(0x200, 0x20D, OnMouseRelay)
        ON_WINDOW_MESSAGE(WM_MOUSELEAVE, OnMouseRelay)
        ON_WINDOW_MESSAGE(WM_SIZE, OnSize)
        ON_WINDOW_MESSAGE(WM_PRINT, OnPrint)
        ON_WINDOW_MESSAGE(WM_PAINT, OnPaint)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        ON_WINDOW_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
        ON_WINDOW_MESSAGE(WM_SETCURSOR, OnSetCursor)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
        ON_WINDOW_MESSAGE(WM_SETFOCUS, OnSetFocus)
        ON_WINDOW_MESSAGE(WM_NOTIFY, OnNotify)
        ON_WINDOW_MESSAGE(WM_KEYDOWN, OnKeyDown)
        ON_WINDOW_MESSAGE(WM_COMMAND, OnForward)
        ON_WINDOW_MESSAGE(WM_HSCROLL, OnForward)
        ON_WINDOW_MESSAGE(WM_VSCROLL, OnForward)
    WINDOW_MAP_END()

private:
    LRESULT OnMouseRelay(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPrint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnEraseBkgnd(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetCursor(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnGetDlgCode(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnNotify(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnForward(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    void OnMouseLeave();
    // Puts the keyboard focus into the view after a click, unless its window
    // takes no activation (WS_EX_NOACTIVATE): the focus would activate it,
    // taking the activation from the window the user works in.
    void TakeFocusOnClick();
    void OnLButtonDown(WPARAM wParam, LPARAM lParam);
    void OnLButtonUp(WPARAM wParam, LPARAM lParam);
    void OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    void OnRButtonDown(WPARAM wParam, LPARAM lParam);

    void Reset();
    void PaintTo(HDC hdcTarget);
    void DrawParts(HDC hdc, HRGN hRgn);
    HBKWND HitTestParts(POINT pt, BOOL* pFromHeader = nullptr);
    // Sends a BKNM_* record to the parent. Answers false when the view went
    // away while the parent handled it (nothing may be touched then).
    bool NotifyParent(UINT uCode, UINT uItemID, LPCSTR lpszClass);
    void SetControlState(HBKWND hWnd, DWORD dwAdd, DWORD dwRemove);
    static bool IsEnabledControl(CBkWindow* pWnd);
    void UpdateToolTip(CBkWindow* pWnd);
    void TrackLeave();

    HWND m_hToolTip = nullptr;
    HBKWND m_hHover = 0;
    HBKWND m_hPushed = 0;
    BOOL m_bTracking = FALSE;
    BOOL m_bToolTipSuspended = FALSE;
    BOOL m_bCaptured = FALSE;

    BOOL m_bMovable = TRUE;
    BOOL m_bResizable = FALSE;
    BOOL m_bHoldSize = FALSE;
    BOOL m_bLayoutLoaded = FALSE;
    std::wstring m_strTitle;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nMinWidth = 0;
    int m_nMinHeight = 0;
    DWORD m_dwDlgStyle = kDefaultStyle;
    DWORD m_dwDlgExStyle = kDefaultExStyle;
    std::string m_strFrameSkin;

    platform::Bitmap m_bmpCache;
    SIZE m_sizeCache = {0, 0};
    int m_nBlitMode = BLIT_COPY;
    COLORREF m_crColorKey = RGB(255, 0, 255);
    BOOL m_bDirty = FALSE;
    BOOL m_bFullRepaint = TRUE;
    platform::Region m_rgnPending;
    CShadowWnd* m_pShadow = nullptr;
};
