#pragma once
// The windowless control: what every element of a skinned layout shares.
// Controls live in a tree held by one real window (the view); they are found
// by a process-wide numeric handle, placed by their "pos" attribute and drawn
// into the view's DC.
#include <string>
#include <windows.h>

#include "ui/bkobject.h"
#include "ui/bkpos.h"

class BkStyle;
namespace platform {
class CriticalSection;
}

// Control states, one bit each.
#define BKSTATE_HOVER 1u
#define BKSTATE_PUSHED 2u
#define BKSTATE_CHECKED 4u
#define BKSTATE_HIDDEN 8u
#define BKSTATE_DISABLED 16u

// Layout flags: width mode in bits 0-2, height mode in bits 4-6.
#define BKLAYOUT_WIDTH_FIXED 0x1u
#define BKLAYOUT_WIDTH_AUTO 0x2u
#define BKLAYOUT_WIDTH_FULL 0x4u
#define BKLAYOUT_WIDTH_MASK 0x7u
#define BKLAYOUT_HEIGHT_FIXED 0x10u
#define BKLAYOUT_HEIGHT_AUTO 0x20u
#define BKLAYOUT_HEIGHT_FULL 0x40u
#define BKLAYOUT_HEIGHT_MASK 0x70u
#define BKLAYOUT_INFLOW 0x100u
#define BKLAYOUT_FLOAT 0x200u

// Alignment values of "valign" and "align".
#define BKALIGN_TOP 0u
#define BKALIGN_MIDDLE 0x1000u
#define BKALIGN_BOTTOM 0x2000u
#define BKALIGN_LEFT 0u
#define BKALIGN_CENTER 0x4000u
#define BKALIGN_RIGHT 0x8000u

// Process-wide handle of a control; 0 is never a live control.
typedef DWORD HBKWND;

class CBkWindow : public CBkObject {
public:
    CBkWindow();
    ~CBkWindow() override;
    CBkWindow(const CBkWindow&) = delete;
    CBkWindow& operator=(const CBkWindow&) = delete;

    // The control registered under the handle, or null. Any thread.
    static CBkWindow* FromHandle(HBKWND hBkWnd);
    // The registry's lock, for tables that live beside the registry (the
    // selection groups) and must agree with its lookups.
    static platform::CriticalSection& RegistryLock();

    // CBkObject
    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

    virtual LPCWSTR GetToolTipText();
    virtual int GetHeadAcceptLBtnDownMsg();
    // Nothing in a plain control; containers pass the values to every child.
    virtual void Broadcast(DWORD dwArg1, DWORD dwArg2, DWORD dwArg3);
    // The system cursor named by the style's "cursor".
    virtual void SetCursor();
    // New state = (old | dwAdd) & ~dwRemove; answers the old state.
    virtual DWORD ModifyState(DWORD dwAdd, DWORD dwRemove);
    virtual void SetContainer(HWND hWndContainer);
    // This control's handle when the point lies in its rectangle, else 0.
    virtual HBKWND HitTest(int x, int y, BOOL bCheck);
    virtual BOOL NeedsRedrawOnStateChange();
    virtual BOOL IsContainer();
    // Background and the control's own paint, unless the rectangle lies
    // outside the region (null region: draw).
    virtual BOOL RedrawRegion(HDC& hdc, HRGN hRgn);
    virtual void DrawBackground(HDC& hdc);
    // Handles a control message; answers whether it was handled, with the
    // result in lResult.
    virtual BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

    // Replaces the inner text; an auto-sized control without a four-item
    // position measures itself again.
    void SetInnerText(const std::wstring& strText);
    // Clears the handled flag and runs HandleMessage on this control.
    LRESULT SendMessageToSelf(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

    HBKWND GetBkHwnd() const { return m_hBkWnd; }
    HBKWND GetParentHandle() const { return m_hBkWndParent; }
    void SetParentHandle(HBKWND hParent) { m_hBkWndParent = hParent; }
    CBkWindow* GetParent() const { return FromHandle(m_hBkWndParent); }
    HWND GetContainer() const { return m_hWndContainer; }
    UINT GetCmdID() const { return m_uCmdID; }
    const RECT& GetRect() const { return m_rcWindow; }
    void SetRect(const RECT& rc) { m_rcWindow = rc; }
    DWORD GetState() const { return m_dwState; }
    DWORD GetLayoutFlags() const { return m_uPositionType; }
    const BkPosition& GetPosition() const { return m_dlgpos; }
    const std::wstring& GetInnerText() const { return m_strInnerText; }
    const std::wstring& GetLinkUrl() const { return m_strLinkUrl; }
    int GetTransparent() const { return m_nTransparent; }
    UINT GetNotifyMask() const { return m_uNotifyMask; }
    const std::string& GetStyleName() const { return m_strStyleName; }
    const BkStyle& GetStyle() const;
    COLORREF GetBgColor() const { return m_crBg; }
    COLORREF GetTextColor() const { return m_crText; }
    HFONT GetFont() const { return m_hFont; }
    UINT GetTextFormat() const { return m_uTextFormat; }
    int GetTextAlpha() const { return m_nTextAlpha; }
    UINT GetVAlign() const { return m_uVAlign; }
    UINT GetHAlign() const { return m_uHAlign; }

    // Visible: neither this control nor an ancestor is hidden (with bCheckParent
    // FALSE only this control's own bit counts). Disabled likewise.
    BOOL IsVisible(BOOL bCheckParent = TRUE) const;
    BOOL IsDisabled(BOOL bCheckParent = TRUE) const;

    BOOL IsMsgHandled() const { return m_bMsgHandled; }
    void SetMsgHandled(BOOL bHandled) { m_bMsgHandled = bHandled; }

    // The font a text of this control is drawn and measured with: own font,
    // else the style's, else the nearest ancestor's own or style font, else
    // the pool's default; in hover state a hover font of the style (or the
    // nearest ancestor's style) replaces it.
    HFONT ResolveFont() const;

protected:
    // Changes made to a DC for drawing this control's text, undone at the end
    // of the scope (containers draw their children inside one).
    class TextDcScope {
    public:
        TextDcScope(const CBkWindow& wnd, HDC hdc);
        ~TextDcScope();
        TextDcScope(const TextDcScope&) = delete;
        TextDcScope& operator=(const TextDcScope&) = delete;
        // The text box: the rectangle less the style's margins.
        RECT rcText;
    private:
        HDC m_hdc;
        HGDIOBJ m_hOldFont = nullptr;
        COLORREF m_crOldText = CLR_INVALID;
        COLORREF m_crOldBg = CLR_INVALID;
        int m_nOldBkMode = 0;
    };

    // Message handlers of the base; each sets the handled flag.
    void OnPaint(HDC hdc);
    void OnWindowPosChanged(const WINDOWPOS* pPos);
    LRESULT OnNcCalcSize(BOOL bCalcValidRects, SIZE* pSize);
    void OnMouseMove(UINT nFlags, POINT pt);
    void OnMouseLeave();

    // Where a control's text drawing departs from the base: the YaHei lift
    // whatever the style says, a fixed GDI+ alpha (-1: the control's or the
    // style's) and the style's GDI+ rendering hint or none.
    struct InnerTextOptions {
        bool alwaysLiftYaHei = false;
        int fixedAlpha = -1;
        bool useStyleHint = true;
    };
    // Draws the inner text into the prepared DC (steps of the face
    // adjustment, GDI+, shadow or plain DrawText).
    void DrawInnerText(HDC hdc, RECT rcText);
    void DrawInnerText(HDC hdc, RECT rcText, const InnerTextOptions& options);
    // Size of the inner text inside the given box, margins excluded.
    SIZE MeasureInnerText(const RECT& rcAvailable) const;
    void SendCtrlNotify(UINT uEvent);

    HBKWND m_hBkWnd;
    HBKWND m_hBkWndParent;
    HWND m_hWndContainer;
    UINT m_uCmdID;
    RECT m_rcWindow;
    UINT m_uPositionType;
    std::wstring m_strInnerText;
    int m_lSpecifyWidth;
    int m_lSpecifyHeight;
    DWORD m_dwState;
    UINT m_uVAlign;
    UINT m_uHAlign;
    std::wstring m_strLinkUrl;
    int m_nTransparent;
    std::wstring m_strToolTipText;
    std::string m_strStyleName;
    COLORREF m_crBg;
    COLORREF m_crText;
    HFONT m_hFont;
    UINT m_uTextFormat;
    int m_nTextAlpha;
    int m_nHeadAcceptLBtnDownMsg;
    BkPosition m_dlgpos;
    BOOL m_bMsgHandled;
    UINT m_uNotifyMask;
    BOOL m_bEntryReported;
};

// Colour attribute of a control: three RRGGBB pairs, a pair holding a
// non-hexadecimal character (or cut short) reading as 0.
COLORREF BkParseControlColor(const std::string& strValue);

// Draws text with a shadow through comctl32 when it has DrawShadowText;
// answers 0 when the function is missing or fails, so the caller falls back.
int BkDrawShadowText(HDC hdc, LPCWSTR lpszText, int cch, RECT* prc, DWORD dwFormat, COLORREF crText,
                     COLORREF crShadow, int nOffsetX, int nOffsetY);
