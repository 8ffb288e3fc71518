#include "ui/bkcontainer.h"

#include <tinyxml.h>

#include "ui/bkstyle.h"
#include "ui/bkvalue.h"

CBkContainerWnd::CBkContainerWnd() : m_nOnlyDrawChild(0) {}

CBkContainerWnd::~CBkContainerWnd() {
    DestroyChilds();
}

BOOL CBkContainerWnd::Load(const TiXmlElement* pXmlElem) {
    if (!CBkWindow::Load(pXmlElem)) return FALSE;
    LoadChilds(pXmlElem->FirstChildElement());
    return TRUE;
}

HRESULT CBkContainerWnd::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "onlydrawchild") {
        m_nOnlyDrawChild = BkParseInt(strValue);
        return S_FALSE;
    }
    return E_FAIL;
}

void CBkContainerWnd::Broadcast(DWORD dwArg1, DWORD dwArg2, DWORD dwArg3) {
    for (auto& child : m_lstChildren) child->Broadcast(dwArg1, dwArg2, dwArg3);
}

void CBkContainerWnd::SetContainer(HWND hWndContainer) {
    CBkWindow::SetContainer(hWndContainer);
    for (auto& child : m_lstChildren) child->SetContainer(hWndContainer);
}

HBKWND CBkContainerWnd::HitTest(int x, int y, BOOL bCheck) {
    POINT pt = {x, y};
    if (!::PtInRect(&m_rcWindow, pt)) return 0;
    if (m_nOnlyDrawChild != 0) return m_hBkWnd;

    // Last drawn is topmost; floating children lie above the flow.
    for (int pass = 0; pass < 2; ++pass) {
        const bool wantFloat = pass == 0;
        for (auto it = m_lstChildren.rbegin(); it != m_lstChildren.rend(); ++it) {
            CBkWindow* child = it->get();
            if (child->GetState() & BKSTATE_HIDDEN) continue;
            if (((child->GetLayoutFlags() & BKLAYOUT_FLOAT) != 0) != wantFloat) continue;
            if (child->GetTransparent() != 0) continue;
            if (HBKWND hit = child->HitTest(x, y, bCheck)) return hit;
        }
    }
    return m_hBkWnd;
}

BOOL CBkContainerWnd::IsContainer() {
    return TRUE;
}

BOOL CBkContainerWnd::RedrawRegion(HDC& hdc, HRGN hRgn) {
    if (!CBkWindow::RedrawRegion(hdc, hRgn)) return FALSE;
    // Children without a font or colour of their own draw with the
    // container's.
    TextDcScope scope(*this, hdc);
    for (auto& child : m_lstChildren) {
        if (!(child->GetState() & BKSTATE_HIDDEN)) child->RedrawRegion(hdc, hRgn);
    }
    return TRUE;
}

BOOL CBkContainerWnd::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_WINDOWPOSCHANGED:
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        RepositionChilds();
        break;
    case WM_DESTROY:
        DestroyChilds();
        lResult = 0;
        break;
    case WM_PAINT:
        lResult = 0;
        break;
    case WM_SHOWWINDOW:
        ModifyState(wParam ? 0 : BKSTATE_HIDDEN, wParam ? BKSTATE_HIDDEN : 0);
        ShowRealWindows(this, static_cast<BOOL>(wParam));
        lResult = 0;
        break;
    case WM_MOUSEMOVE: {
        // The container's own entry report, then the children under the point.
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        for (auto& child : m_lstChildren) {
            if (child->GetState() & BKSTATE_HIDDEN) continue;
            if (::PtInRect(&child->GetRect(), pt)) child->SendMessageToSelf(WM_MOUSEMOVE, wParam, lParam);
        }
        lResult = 0;
        break;
    }
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
    m_bMsgHandled = TRUE;
    return TRUE;
}

CBkWindow* CBkContainerWnd::FindChildByCmdID(UINT uCmdID) {
    for (auto& child : m_lstChildren) {
        if (child->GetCmdID() == uCmdID) return child.get();
    }
    for (auto& child : m_lstChildren) {
        if (!child->IsContainer()) continue;
        if (CBkWindow* found = static_cast<CBkContainerWnd*>(child.get())->FindChildByCmdID(uCmdID)) return found;
    }
    return nullptr;
}

void CBkContainerWnd::RepositionChilds() {
    for (auto& child : m_lstChildren) RepositionChild(child.get());
}

void CBkContainerWnd::RepositionChild(CBkWindow* pChild) {
    if (pChild == nullptr) return;
    const BkStyle& style = GetStyle();
    RECT inner = m_rcWindow;
    ::InflateRect(&inner, -style.m_nMarginX, -style.m_nMarginY);

    // Without a position the child lands at the inner top-left corner.
    const BkPosition& pos = pChild->GetPosition();
    BkPosItem itemX, itemY;
    if (pos.count != 0) {
        itemX = pos.items[0];
        itemY = pos.items[1];
    }
    WINDOWPOS wp = {};
    wp.x = BkPosition::Resolve(itemX, inner.left, inner.right);
    wp.y = BkPosition::Resolve(itemY, inner.top, inner.bottom);
    wp.cx = inner.right - inner.left;
    wp.cy = inner.bottom - inner.top;
    pChild->SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

BOOL CBkContainerWnd::LoadChilds(const TiXmlElement* pFirst) {
    SendMessageToSelf(WM_DESTROY);
    for (const TiXmlElement* elem = pFirst; elem != nullptr; elem = elem->NextSiblingElement()) {
        std::unique_ptr<CBkWindow> child(CBkDialog::CreateChildByName(elem->Value()));
        if (!child) continue;
        child->SetParentHandle(m_hBkWnd);
        child->SetContainer(m_hWndContainer);
        child->Load(elem);
        m_lstChildren.push_back(std::move(child));
    }
    return TRUE;
}

int CBkContainerWnd::GetPageCount() const {
    return 0;
}

CBkContainerWnd* CBkContainerWnd::GetPage(int) const {
    return nullptr;
}

int CBkContainerWnd::GetCurSelPage() const {
    return -1;
}

void CBkContainerWnd::ShowRealWindows(CBkContainerWnd* pContainer, BOOL bShow) {
    if (pContainer == nullptr) return;
    const BOOL effective = bShow && pContainer->IsVisible(TRUE);
    for (auto& owned : pContainer->m_lstChildren) {
        CBkWindow* child = owned.get();
        const BOOL childVisible = effective && !(child->GetState() & BKSTATE_HIDDEN);
        if (child->IsClass("realwnd")) {
            HWND real = ::GetDlgItem(child->GetContainer(), static_cast<int>(child->GetCmdID()));
            if (real != nullptr) ::ShowWindow(real, childVisible ? SW_SHOW : SW_HIDE);
        } else if ((child->IsClass("dlg") || child->IsClass("dlgbtn")) && child->IsContainer()) {
            ShowRealWindows(static_cast<CBkContainerWnd*>(child), bShow);
        } else if (child->IsClass("tabctrl") && child->IsContainer()) {
            CBkContainerWnd* tab = static_cast<CBkContainerWnd*>(child);
            const int selected = tab->GetCurSelPage();
            for (int i = 0; i < tab->GetPageCount(); ++i)
                ShowRealWindows(tab->GetPage(i), bShow && childVisible && i == selected);
        }
    }
}

void CBkContainerWnd::DestroyChilds() {
    // Taken out first, so a child's destruction that reaches back into this
    // container finds a consistent (empty) list.
    std::vector<std::unique_ptr<CBkWindow>> children;
    children.swap(m_lstChildren);
    for (auto& child : children) child->SendMessageToSelf(WM_DESTROY);
    children.clear();
}
