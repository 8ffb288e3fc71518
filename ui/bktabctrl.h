#pragma once
// "tabctrl": a strip of tabs along the top or down the left side, and one
// page ("tab" elements) shown at a time under or beside it. Selecting asks
// the view's parent first (BKNM_TAB_SELECT, which it may refuse); a change
// of the hovered tab is reported (BKNM_TAB_HOVER).
#include <string>
#include <vector>

#include "ui/bkcontainer.h"

class CBkTab : public CBkDialog {
    BK_DECLARE_ELEMENT_NAME("tab")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

    const std::wstring& GetTitle() const { return m_strTitle; }
    // "hide" 1 keeps the tab and its page out of the strip.
    BOOL IsTabHidden() const { return m_nHide != 0; }

private:
    std::wstring m_strTitle;
    int m_nHide = 0;
};

class CBkTabCtrl : public CBkContainerWnd {
    BK_DECLARE_ELEMENT_NAME("tabctrl")

public:
    enum TabAlign { ALIGN_TOP = 0, ALIGN_LEFT = 1 };

    CBkTabCtrl();

    // CBkObject
    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

    // CBkWindow
    HBKWND HitTest(int x, int y, BOOL bCheck) override;
    BOOL RedrawRegion(HDC& hdc, HRGN hRgn) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    void SetCursor() override;

    // CBkContainerWnd
    CBkWindow* FindChildByCmdID(UINT uCmdID) override;
    void RepositionChilds() override;
    void RepositionChild(CBkWindow* pChild) override;
    int GetPageCount() const override;
    CBkContainerWnd* GetPage(int nIndex) const override;
    int GetCurSelPage() const override { return m_nCurSel; }

    CBkTab* GetTab(int nIndex) const;
    int GetHover() const { return m_nHover; }
    const RECT& GetPageRect() const { return m_rcPage; }
    // The tab's rectangle; empty for an index outside the pages.
    RECT GetTabRect(int nIndex) const;
    // Selects the page as a click does (asks the owner first); FALSE when
    // refused or not possible.
    BOOL SelectPage(int nIndex);

private:
    // Tab width and height: the attribute, else the tab skin's size.
    SIZE TabSize() const;
    int FirstVisiblePage() const;
    int TabAt(POINT pt) const;
    void ComputePageRect();
    // Shows exactly the selected page, places it and hides the others.
    void ShowSelectedPage();
    // Keeps the selection on a page that exists and is not hidden.
    void ClampSelection();
    LRESULT NotifyTab(UINT uCode, int nNew, int nOld);
    void InvalidateTab(int nIndex);
    void DrawTab(HDC hdc, int nIndex, DWORD dwSkinIndex);
    void DrawTitle(HDC hdc, const std::wstring& strTitle, RECT rc);
    void DrawVerticalTitle(HDC hdc, const std::wstring& strTitle, const RECT& rc);

    int m_nHover;
    int m_nCurSel;
    int m_nTabSpacing;
    int m_nTabPos;
    int m_nFramePos;
    int m_nTabWidth;
    int m_nTabHeight;
    int m_nVertFont;
    std::string m_strTabSkin;
    std::string m_strFrameSkin;
    std::string m_strIconSkin;
    std::string m_strSplitterSkin;
    RECT m_rcPage;
    int m_nIconX, m_nIconY;
    int m_nTextX, m_nTextY;
    int m_nTabAlign;
    COLORREF m_crTabText;
    HFONT m_hSelFont;
};
