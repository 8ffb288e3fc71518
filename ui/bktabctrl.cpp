#include "ui/bktabctrl.h"

#include <tinyxml.h>

#include <cstdlib>

#include "platform/strconv.h"
#include "ui/bkctrl_group.h"
#include "ui/bkfontpool.h"
#include "ui/bknotify.h"
#include "ui/bkskin.h"
#include "ui/bkskinbase.h"
#include "ui/bkstyle.h"
#include "ui/bkvalue.h"

namespace {

const UINT kTitleFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_TABSTOP | DT_NOPREFIX | DT_END_ELLIPSIS;
const UINT kCharFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

CBkSkinBase* Skin(const std::string& name) {
    return name.empty() ? nullptr : BkSkin::GetSkin(name);
}

LONG CurrentFontHeight(HDC hdc) {
    LOGFONTW lf = {};
    HGDIOBJ font = ::GetCurrentObject(hdc, OBJ_FONT);
    if (font == nullptr || ::GetObjectW(font, sizeof(lf), &lf) == 0) return 0;
    return lf.lfHeight;
}

} // namespace

// ---------------------------------------------------------------- page

HRESULT CBkTab::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkDialog::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "title") {
        m_strTitle = platform::Utf8ToWide(strValue);
        return S_OK;
    }
    if (strName == "hide") {
        m_nHide = BkParseInt(strValue);
        return S_FALSE;
    }
    return E_FAIL;
}

// ---------------------------------------------------------------- tab control

CBkTabCtrl::CBkTabCtrl()
    : m_nHover(-1),
      m_nCurSel(0),
      m_nTabSpacing(0),
      m_nTabPos(0),
      m_nFramePos(0),
      m_nTabWidth(0),
      m_nTabHeight(0),
      m_nVertFont(0),
      m_rcPage(),
      m_nIconX(0),
      m_nIconY(0),
      m_nTextX(0),
      m_nTextY(0),
      m_nTabAlign(ALIGN_TOP),
      m_crTabText(CLR_INVALID),
      m_hSelFont(nullptr) {}

HRESULT CBkTabCtrl::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkContainerWnd::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    struct IntField {
        const char* name;
        int CBkTabCtrl::*field;
    };
    static const IntField kInts[] = {
        {"tabspacing", &CBkTabCtrl::m_nTabSpacing}, {"tabpos", &CBkTabCtrl::m_nTabPos},
        {"framepos", &CBkTabCtrl::m_nFramePos},     {"tabwidth", &CBkTabCtrl::m_nTabWidth},
        {"tabheight", &CBkTabCtrl::m_nTabHeight},   {"vertfont", &CBkTabCtrl::m_nVertFont},
        {"icon-x", &CBkTabCtrl::m_nIconX},          {"icon-y", &CBkTabCtrl::m_nIconY},
        {"text-x", &CBkTabCtrl::m_nTextX},          {"text-y", &CBkTabCtrl::m_nTextY},
    };
    for (const IntField& f : kInts) {
        if (strName == f.name) {
            this->*f.field = BkParseInt(strValue);
            return S_FALSE;
        }
    }
    if (strName == "cursel") {
        m_nCurSel = BkParseInt(strValue);
        // Set later, the selection shows its page like a click does.
        if (!bLoading) {
            ClampSelection();
            ShowSelectedPage();
        }
        return S_FALSE;
    }
    if (strName == "tabskin") { m_strTabSkin = strValue; return S_OK; }
    if (strName == "frameskin") { m_strFrameSkin = strValue; return S_OK; }
    if (strName == "iconskin") { m_strIconSkin = strValue; return S_OK; }
    if (strName == "splitterskin") { m_strSplitterSkin = strValue; return S_OK; }
    if (strName == "tabalign") {
        if (strValue == "top") m_nTabAlign = ALIGN_TOP;
        else if (strValue == "left") m_nTabAlign = ALIGN_LEFT;
        else return E_FAIL;
        return S_OK;
    }
    if (strName == "tabtext") {
        m_crTabText = BkParseColor(strValue);
        return S_FALSE;
    }
    if (strName == "Selfont") {
        m_hSelFont = BkFontPool::GetFont(static_cast<BkFontKey>(BkParseHex(strValue)));
        return S_FALSE;
    }
    return E_FAIL;
}

BOOL CBkTabCtrl::Load(const TiXmlElement* pXmlElem) {
    if (!CBkWindow::Load(pXmlElem)) return FALSE;
    SendMessageToSelf(WM_DESTROY);
    for (const TiXmlElement* elem = pXmlElem->FirstChildElement(); elem; elem = elem->NextSiblingElement()) {
        if (std::string(elem->Value()) != "tab") continue;
        std::unique_ptr<CBkTab> page(new CBkTab);
        page->SetParentHandle(m_hBkWnd);
        page->SetContainer(m_hWndContainer);
        page->Load(elem);
        page->SetAttribute("pos", "0,0,-0,-0", TRUE);
        m_lstChildren.push_back(std::move(page));
    }
    ClampSelection();
    ShowSelectedPage();
    return TRUE;
}

CBkTab* CBkTabCtrl::GetTab(int nIndex) const {
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_lstChildren.size()) return nullptr;
    return static_cast<CBkTab*>(m_lstChildren[static_cast<size_t>(nIndex)].get());
}

int CBkTabCtrl::GetPageCount() const {
    return static_cast<int>(m_lstChildren.size());
}

CBkContainerWnd* CBkTabCtrl::GetPage(int nIndex) const {
    return GetTab(nIndex);
}

int CBkTabCtrl::FirstVisiblePage() const {
    for (int i = 0; i < GetPageCount(); ++i)
        if (!GetTab(i)->IsTabHidden()) return i;
    return -1;
}

void CBkTabCtrl::ClampSelection() {
    CBkTab* selected = GetTab(m_nCurSel);
    if (selected != nullptr && !selected->IsTabHidden()) return;
    const int first = FirstVisiblePage();
    if (first >= 0) m_nCurSel = first;
    else if (selected == nullptr) m_nCurSel = 0;
}

void CBkTabCtrl::ShowSelectedPage() {
    for (int i = 0; i < GetPageCount(); ++i) {
        CBkTab* page = GetTab(i);
        const BOOL show = i == m_nCurSel && !page->IsTabHidden();
        page->SendMessageToSelf(WM_SHOWWINDOW, show);
    }
    if (CBkTab* page = GetTab(m_nCurSel)) RepositionChild(page);
    BkInvalidateControlRect(m_rcWindow, this);
}

SIZE CBkTabCtrl::TabSize() const {
    SIZE skin = {0, 0};
    if (CBkSkinBase* tab = Skin(m_strTabSkin)) skin = tab->GetSkinSize();
    SIZE size = {m_nTabWidth != 0 ? m_nTabWidth : skin.cx, m_nTabHeight != 0 ? m_nTabHeight : skin.cy};
    return size;
}

RECT CBkTabCtrl::GetTabRect(int nIndex) const {
    RECT rc = {0, 0, 0, 0};
    if (nIndex < 0 || nIndex >= GetPageCount()) return rc;
    int before = 0;
    for (int i = 0; i < nIndex; ++i)
        if (!GetTab(i)->IsTabHidden()) ++before;
    // Tabs step by their real size, so that a strip sized by its skin does
    // not draw every tab in one place.
    const SIZE size = TabSize();
    rc = RECT{m_rcWindow.left, m_rcWindow.top, m_rcWindow.left + size.cx, m_rcWindow.top + size.cy};
    if (m_nTabAlign == ALIGN_LEFT)
        ::OffsetRect(&rc, 0, before * (m_nTabSpacing + size.cy) + m_nTabPos);
    else
        ::OffsetRect(&rc, before * (m_nTabSpacing + size.cx) + m_nTabPos, 0);
    return rc;
}

int CBkTabCtrl::TabAt(POINT pt) const {
    for (int i = 0; i < GetPageCount(); ++i) {
        if (i == m_nCurSel || GetTab(i)->IsTabHidden()) continue;
        RECT rc = GetTabRect(i);
        if (::PtInRect(&rc, pt)) return i;
    }
    return -1;
}

void CBkTabCtrl::ComputePageRect() {
    const SIZE size = TabSize();
    m_rcPage = m_rcWindow;
    if (m_nTabAlign == ALIGN_LEFT) m_rcPage.left += size.cx + m_nFramePos;
    else m_rcPage.top += size.cy + m_nFramePos;
    const BkStyle& style = GetStyle();
    ::InflateRect(&m_rcPage, -style.m_nMarginX, -style.m_nMarginY);
}

void CBkTabCtrl::RepositionChilds() {
    ComputePageRect();
    for (auto& page : m_lstChildren) RepositionChild(page.get());
}

void CBkTabCtrl::RepositionChild(CBkWindow* pChild) {
    if (pChild == nullptr) return;
    WINDOWPOS wp = {};
    wp.x = m_rcPage.left;
    wp.y = m_rcPage.top;
    wp.cx = m_rcPage.right - m_rcPage.left;
    wp.cy = m_rcPage.bottom - m_rcPage.top;
    pChild->SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

CBkWindow* CBkTabCtrl::FindChildByCmdID(UINT uCmdID) {
    for (auto& page : m_lstChildren) {
        if (page->GetCmdID() == uCmdID) return page.get();
        if (CBkWindow* found = static_cast<CBkTab*>(page.get())->FindChildByCmdID(uCmdID)) return found;
    }
    return nullptr;
}

HBKWND CBkTabCtrl::HitTest(int x, int y, BOOL bCheck) {
    POINT pt = {x, y};
    if (!::PtInRect(&m_rcWindow, pt)) return 0;
    if (!::PtInRect(&m_rcPage, pt)) return m_hBkWnd;
    CBkTab* page = GetTab(m_nCurSel);
    if (page == nullptr || (page->GetState() & BKSTATE_HIDDEN)) return m_hBkWnd;
    HBKWND hit = page->HitTest(x, y, bCheck);
    return hit != 0 ? hit : m_hBkWnd;
}

void CBkTabCtrl::SetCursor() {
    ::SetCursor(::LoadCursorW(nullptr, m_nHover != -1 ? IDC_HAND : IDC_ARROW));
}

LRESULT CBkTabCtrl::NotifyTab(UINT uCode, int nNew, int nOld) {
    HWND view = m_hWndContainer;
    if (view == nullptr || !::IsWindow(view)) return 0;
    BKNMTABITEM nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
    nm.hdr.code = uCode;
    nm.uTabID = m_uCmdID;
    nm.nTabItemIDNew = nNew;
    nm.nTabItemIDOld = nOld;
    nm.nResult = 0;
    LRESULT answer = ::SendMessageW(view, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    return answer != 0 ? answer : nm.nResult;
}

void CBkTabCtrl::InvalidateTab(int nIndex) {
    RECT rc = GetTabRect(nIndex);
    if (!::IsRectEmpty(&rc)) BkInvalidateControlRect(rc, this);
}

BOOL CBkTabCtrl::SelectPage(int nIndex) {
    const HBKWND self = m_hBkWnd;
    const int old = m_nCurSel;
    if (NotifyTab(BKNM_TAB_SELECT, nIndex, old) != 0) return FALSE;
    // The owner may have reloaded the layout meanwhile.
    if (CBkWindow::FromHandle(self) != this) return FALSE;
    CBkTab* page = GetTab(nIndex);
    if (nIndex == m_nCurSel || page == nullptr || page->IsTabHidden()) return FALSE;
    InvalidateTab(old);
    InvalidateTab(nIndex);
    if (CBkTab* oldPage = GetTab(old)) oldPage->SendMessageToSelf(WM_SHOWWINDOW, FALSE);
    m_nCurSel = nIndex;
    if (m_nHover == nIndex) m_nHover = -1;
    page->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    RepositionChild(page);
    BkInvalidateControlRect(m_rcPage, this);
    return TRUE;
}

BOOL CBkTabCtrl::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    lResult = 0;
    switch (uMsg) {
    case WM_WINDOWPOSCHANGED: {
        LRESULT ignored = 0;
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, ignored);
        RepositionChilds();
        break;
    }
    case WM_PAINT: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        if (hdc == nullptr) break;
        RECT frame = m_rcPage;
        const BkStyle& style = GetStyle();
        ::InflateRect(&frame, style.m_nMarginX, style.m_nMarginY);
        if (CBkSkinBase* skin = Skin(m_strFrameSkin)) skin->Draw(hdc, frame, 0);

        const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
        COLORREF text = m_crTabText != CLR_INVALID ? m_crTabText : (m_crText != CLR_INVALID ? m_crText : style.m_crText);
        const COLORREF oldText = text != CLR_INVALID ? ::SetTextColor(hdc, text) : CLR_INVALID;
        HGDIOBJ oldFont = style.m_hFont ? ::SelectObject(hdc, style.m_hFont) : nullptr;

        int visibleLeft = 0;
        for (int i = 0; i < GetPageCount(); ++i)
            if (!GetTab(i)->IsTabHidden()) ++visibleLeft;
        CBkSkinBase* splitter = Skin(m_strSplitterSkin);
        for (int i = 0; i < GetPageCount(); ++i) {
            if (GetTab(i)->IsTabHidden()) continue;
            --visibleLeft;
            RECT tab = GetTabRect(i);
            if (splitter != nullptr && visibleLeft > 0) {
                const SIZE size = splitter->GetSkinSize();
                RECT cell;
                if (m_nTabAlign == ALIGN_LEFT) {
                    cell = RECT{tab.left, tab.bottom, tab.right, tab.bottom + m_nTabSpacing};
                    const int trim = ((cell.bottom - cell.top) - size.cy) / 2;
                    cell.top += trim;
                    cell.bottom = cell.top + size.cy;
                } else {
                    cell = RECT{tab.right, tab.top, tab.right + m_nTabSpacing, tab.bottom};
                    const int trim = ((cell.right - cell.left) - size.cx) / 2;
                    cell.left += trim;
                    cell.right = cell.left + size.cx;
                }
                splitter->Draw(hdc, cell, static_cast<DWORD>(-1));
            }
            if (i != m_nCurSel) DrawTab(hdc, i, i == m_nHover ? 1 : 0);
        }
        if (CBkTab* selected = GetTab(m_nCurSel)) {
            if (!selected->IsTabHidden()) {
                if (style.m_crHoverText != CLR_INVALID) ::SetTextColor(hdc, style.m_crHoverText);
                DrawTab(hdc, m_nCurSel, 2);
            }
        }
        if (oldFont) ::SelectObject(hdc, oldFont);
        if (oldText != CLR_INVALID) ::SetTextColor(hdc, oldText);
        ::SetBkMode(hdc, oldMode);
        break;
    }
    case WM_SHOWWINDOW:
        ModifyState(wParam ? 0 : BKSTATE_HIDDEN, wParam ? BKSTATE_HIDDEN : 0);
        if (CBkTab* page = GetTab(m_nCurSel)) {
            if (!page->IsTabHidden()) page->SendMessageToSelf(WM_SHOWWINDOW, wParam);
        }
        break;
    case WM_MOUSEMOVE: {
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const int hover = TabAt(pt);
        if (hover != m_nHover) {
            const int old = m_nHover;
            InvalidateTab(old);
            InvalidateTab(hover);
            m_nHover = hover;
            NotifyTab(BKNM_TAB_HOVER, hover, old);
        }
        break;
    }
    case WM_MOUSELEAVE:
        if (m_nHover != -1) {
            const int old = m_nHover;
            InvalidateTab(old);
            m_nHover = -1;
            NotifyTab(BKNM_TAB_HOVER, -1, old);
        }
        break;
    case WM_LBUTTONDOWN: {
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const int hit = TabAt(pt);
        if (hit != -1) SelectPage(hit);
        break;
    }
    default:
        return CBkContainerWnd::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
    m_bMsgHandled = TRUE;
    return TRUE;
}

BOOL CBkTabCtrl::RedrawRegion(HDC& hdc, HRGN hRgn) {
    if (!CBkWindow::RedrawRegion(hdc, hRgn)) return FALSE;
    CBkTab* page = GetTab(m_nCurSel);
    if (page == nullptr || (page->GetState() & BKSTATE_HIDDEN)) return TRUE;
    TextDcScope scope(*this, hdc);
    page->RedrawRegion(hdc, hRgn);
    return TRUE;
}

void CBkTabCtrl::DrawTab(HDC hdc, int nIndex, DWORD dwSkinIndex) {
    CBkTab* page = GetTab(nIndex);
    if (page == nullptr) return;
    const RECT tab = GetTabRect(nIndex);
    if (CBkSkinBase* skin = Skin(m_strTabSkin)) skin->Draw(hdc, tab, dwSkinIndex);
    if (CBkSkinBase* icon = Skin(m_strIconSkin)) {
        RECT rc = tab;
        ::OffsetRect(&rc, m_nIconX, m_nIconY);
        icon->Draw(hdc, rc, static_cast<DWORD>(nIndex));
    }
    RECT rc = tab;
    ::OffsetRect(&rc, m_nTextX, m_nTextY);
    HGDIOBJ oldFont = (dwSkinIndex == 2 && m_hSelFont) ? ::SelectObject(hdc, m_hSelFont) : nullptr;
    if (m_nVertFont != 0) DrawVerticalTitle(hdc, page->GetTitle(), rc);
    else DrawTitle(hdc, page->GetTitle(), rc);
    if (oldFont) ::SelectObject(hdc, oldFont);
}

void CBkTabCtrl::DrawTitle(HDC hdc, const std::wstring& strTitle, RECT rc) {
    if (strTitle.empty()) return;
    const int length = static_cast<int>(strTitle.size());
    const BkStyle& style = GetStyle();
    if (style.m_nShadow != 0) {
        RECT shadow = rc;
        if (BkDrawShadowText(hdc, strTitle.c_str(), length, &shadow, kTitleFormat, ::GetTextColor(hdc),
                             style.m_crShadow, 2, 2) != 0)
            return;
    }
    ::DrawTextW(hdc, strTitle.c_str(), length, &rc, kTitleFormat);
}

void CBkTabCtrl::DrawVerticalTitle(HDC hdc, const std::wstring& strTitle, const RECT& rc) {
    const int count = static_cast<int>(strTitle.size());
    if (count == 0) return;
    // One cell per character, measured alone.
    std::vector<SIZE> cells(static_cast<size_t>(count));
    const bool yahei = BkFontPool::IsYaHeiDefault() != FALSE;
    const LONG defaultHeight = BkFontPool::GetDefaultHeight();
    int widest = 0, total = 0;
    for (int i = 0; i < count; ++i) {
        RECT measure = {0, 0, 0, 0};
        // Measured without centring: a centred measure may report half a line.
        ::DrawTextW(hdc, &strTitle[static_cast<size_t>(i)], 1, &measure, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SIZE size = {measure.right - measure.left, measure.bottom - measure.top};
        if (yahei) {
            const LONG absDefault = defaultHeight < 0 ? -defaultHeight : defaultHeight;
            size.cy = static_cast<LONG>(defaultHeight + absDefault - CurrentFontHeight(hdc));
        }
        cells[static_cast<size_t>(i)] = size;
        if (size.cx > widest) widest = size.cx;
        total += size.cy;
    }
    const BkStyle& style = GetStyle();
    const int cx = (rc.left + rc.right) / 2;
    const int cy = (rc.top + rc.bottom) / 2;
    RECT cell = {cx - widest / 2, cy - (total + count - 1) / 2, 0, 0};
    for (int i = 0; i < count; ++i) {
        const SIZE size = cells[static_cast<size_t>(i)];
        cell.right = cell.left + size.cx;
        cell.bottom = cell.top + size.cy + 1;
        RECT draw = cell;
        const wchar_t* ch = &strTitle[static_cast<size_t>(i)];
        if (style.m_nShadow == 0 ||
            BkDrawShadowText(hdc, ch, 1, &draw, kCharFormat, ::GetTextColor(hdc), style.m_crShadow, 2, 2) == 0)
            ::DrawTextW(hdc, ch, 1, &draw, kCharFormat);
        cell.top += size.cy + 1;
    }
}
