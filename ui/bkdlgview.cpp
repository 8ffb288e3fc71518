#include "ui/bkdlgview.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tinyxml.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/strconv.h"
#include "platform/trace.h"
#include "ui/bkfontpool.h"
#include "ui/bkshadowwnd.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkwinmanager.h"
#include "ui/bkxml.h"

namespace {

// Header controls that take clicks themselves; a press anywhere else in the
// header drags the window.
bool IsClickableHeaderClass(LPCSTR cls, bool withRichText) {
    static const char* const kClasses[] = {"button", "imgbtn", "dlgbtn", "tabctrl", "link", "skinbtn",
                                           "imgbtnsized", "check", "slider", "img"};
    if (cls == nullptr) return false;
    for (const char* name : kClasses)
        if (std::strcmp(cls, name) == 0) return true;
    return withRichText && std::strcmp(cls, "richtext") == 0;
}

int IntAttribute(const TiXmlElement* elem, const char* name) {
    const char* value = elem->Attribute(name);
    return value ? std::atoi(value) : 0;
}

const UINT kMouseFirst = 0x200;
const UINT kMouseLast = 0x20D;
const WPARAM kScMoveByCaption = 0xF012;
const WPARAM kScRestoreByCaption = 0xF122;
const WPARAM kScMaximizeByCaption = 0xF032;

} // namespace

// ---------------------------------------------------------------------------
// Item accessors

CBkWindow* CBkViewImpl::FindControl(UINT uCmdID) {
    CBkWindow* wnd = nullptr;
    if (m_bHeaderLoaded) wnd = m_bkHeader.FindChildByCmdID(uCmdID);
    if (wnd == nullptr && m_bBodyLoaded) wnd = m_bkBody.FindChildByCmdID(uCmdID);
    if (wnd == nullptr && m_bFooterLoaded) wnd = m_bkFooter.FindChildByCmdID(uCmdID);
    return wnd;
}

BOOL CBkViewImpl::SetItemText(UINT uItemID, LPCWSTR lpszText) {
    CBkWindow* wnd = FindControl(uItemID);
    if (wnd == nullptr) return FALSE;
    InvalidateControl(wnd, TRUE);
    wnd->SetInnerText(lpszText ? lpszText : L"");
    InvalidateControl(wnd, TRUE);
    return TRUE;
}

BOOL CBkViewImpl::SetItemAttribute(UINT uItemID, LPCSTR lpszAttrib, LPCSTR lpszValue) {
    CBkWindow* wnd = FindControl(uItemID);
    if (wnd == nullptr || lpszAttrib == nullptr) return FALSE;
    InvalidateControl(wnd, FALSE);
    wnd->SetAttribute(lpszAttrib, lpszValue ? lpszValue : "", FALSE);
    InvalidateControl(wnd, TRUE);
    return TRUE;
}

BOOL CBkViewImpl::SetItemIntAttribute(UINT uItemID, LPCSTR lpszAttrib, int nValue) {
    char text[16];
    std::snprintf(text, sizeof(text), "%d", nValue);
    return SetItemAttribute(uItemID, lpszAttrib, text);
}

BOOL CBkViewImpl::SetItemDWordAttribute(UINT uItemID, LPCSTR lpszAttrib, DWORD dwValue) {
    char text[16];
    std::snprintf(text, sizeof(text), "%lu", static_cast<unsigned long>(dwValue));
    return SetItemAttribute(uItemID, lpszAttrib, text);
}

BOOL CBkViewImpl::GetItemCheck(UINT uItemID) {
    CBkWindow* wnd = FindControl(uItemID);
    return wnd != nullptr && (wnd->GetState() & BKSTATE_CHECKED) != 0;
}

BOOL CBkViewImpl::SetItemCheck(UINT uItemID, BOOL bCheck) {
    CBkWindow* wnd = FindControl(uItemID);
    if (wnd == nullptr) return FALSE;
    if (bCheck) wnd->ModifyState(BKSTATE_CHECKED, 0);
    else wnd->ModifyState(0, BKSTATE_CHECKED);
    InvalidateControl(wnd, TRUE);
    return TRUE;
}

BOOL CBkViewImpl::EnableItem(UINT uItemID, BOOL bEnable) {
    CBkWindow* wnd = FindControl(uItemID);
    if (wnd == nullptr) return FALSE;
    if (bEnable) wnd->ModifyState(0, BKSTATE_DISABLED);
    else wnd->ModifyState(BKSTATE_DISABLED, BKSTATE_HOVER);
    InvalidateControl(wnd, TRUE);
    return TRUE;
}

BOOL CBkViewImpl::SetItemVisible(UINT uItemID, BOOL bVisible) {
    CBkWindow* wnd = FindControl(uItemID);
    if (wnd == nullptr) return FALSE;
    wnd->SendMessageToSelf(WM_SHOWWINDOW, bVisible ? TRUE : FALSE);
    AddDirtyRect(wnd->GetRect());
    return TRUE;
}

BOOL CBkViewImpl::IsItemVisible(UINT uItemID) {
    CBkWindow* wnd = FindControl(uItemID);
    return wnd != nullptr && wnd->IsVisible(FALSE);
}

// ---------------------------------------------------------------------------
// The view window

CBkDialogView::CBkDialogView() = default;

CBkDialogView::~CBkDialogView() {
    m_bkHeader.SendMessageToSelf(WM_DESTROY);
    m_bkBody.SendMessageToSelf(WM_DESTROY);
    m_bkFooter.SendMessageToSelf(WM_DESTROY);
    if (m_hToolTip && ::IsWindow(m_hToolTip)) ::DestroyWindow(m_hToolTip);
    m_hToolTip = nullptr;
}

void CBkDialogView::Reset() {
    m_bLayoutLoaded = FALSE;
    m_dwDlgStyle = kDefaultStyle;
    m_dwDlgExStyle = kDefaultExStyle;
    m_bkHeader.SendMessageToSelf(WM_DESTROY);
    m_bkBody.SendMessageToSelf(WM_DESTROY);
    m_bkFooter.SendMessageToSelf(WM_DESTROY);
    m_bHeaderLoaded = m_bBodyLoaded = m_bFooterLoaded = FALSE;
    // A new layout starts from the defaults, not from the last one's values.
    m_strTitle.clear();
    m_strFrameSkin.clear();
    m_nWidth = m_nHeight = m_nMinWidth = m_nMinHeight = 0;
    m_bMovable = TRUE;
    m_bResizable = FALSE;
    m_bHoldSize = FALSE;
    m_hHover = m_hPushed = 0;
}

BOOL CBkDialogView::XmlLoad(const std::string& strXml) {
    Reset();

    TiXmlDocument doc;
    const TiXmlElement* root = nullptr;
    if (BkParseXml(strXml, doc)) root = doc.RootElement();
    if (root == nullptr || std::strcmp(root->Value(), "layer") != 0) {
        RequestFullRepaint();
        return FALSE;
    }

    if (const char* frame = root->Attribute("frame")) m_strFrameSkin = frame;
    if (const char* title = root->Attribute("title")) {
        int id = ::StrToIntA(title);
        if (id != 0) {
            LPCWSTR text = BkString::Get(static_cast<UINT>(id));
            m_strTitle = text ? text : L"";
        } else {
            m_strTitle = platform::Utf8ToWide(title);
        }
    }
    m_nWidth = IntAttribute(root, "width");
    m_nHeight = IntAttribute(root, "height");
    m_nMinWidth = IntAttribute(root, "min_width");
    m_nMinHeight = IntAttribute(root, "min_height");
    if (IntAttribute(root, "appwin")) m_dwDlgExStyle |= WS_EX_APPWINDOW;

    if (IntAttribute(root, "child")) {
        m_dwDlgStyle = (m_dwDlgStyle | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) & ~(WS_POPUP | WS_SYSMENU);
    } else {
        m_bHoldSize = IntAttribute(root, "holdsize") != 0;
        if (IntAttribute(root, "resize") == 0) {
            m_dwDlgStyle |= WS_MINIMIZEBOX;
            m_bResizable = FALSE;
        } else {
            m_dwDlgStyle |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
            m_bResizable = TRUE;
        }
        if (IntAttribute(root, "noborder") == 0) m_dwDlgExStyle |= WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;
        else m_dwDlgExStyle |= WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
        if (IntAttribute(root, "nomove")) m_bMovable = FALSE;
        if (IntAttribute(root, "popup")) m_dwDlgStyle |= WS_POPUP;
        // A drop-down that never takes the activation: without a system
        // menu a window manager leaves it unmanaged too, so it can stand
        // over the other popups of the program.
        if (IntAttribute(root, "noactivate")) {
            m_dwDlgStyle &= ~WS_SYSMENU;
            m_dwDlgExStyle |= WS_EX_NOACTIVATE;
        }
    }

    char pos[48];
    if (const TiXmlElement* header = root->FirstChildElement("header")) {
        m_bkHeader.Load(header);
        std::snprintf(pos, sizeof(pos), "0,0,-0,%d", IntAttribute(header, "height"));
        m_bkHeader.SetAttribute("pos", pos, TRUE);
        m_bHeaderLoaded = TRUE;
    }
    if (const TiXmlElement* footer = root->FirstChildElement("footer")) {
        m_bkFooter.Load(footer);
        std::snprintf(pos, sizeof(pos), "0,-%d,-0,-0", IntAttribute(footer, "height"));
        m_bkFooter.SetAttribute("pos", pos, TRUE);
        m_bFooterLoaded = TRUE;
    }
    if (const TiXmlElement* body = root->FirstChildElement("body")) {
        m_bkBody.Load(body);
        m_bkBody.SetAttribute("pos", "0,0,-0,-0", TRUE);
        m_bBodyLoaded = TRUE;
    }
    HWND view = Handle();
    m_bkHeader.SetContainer(view);
    m_bkBody.SetContainer(view);
    m_bkFooter.SetContainer(view);

    m_bLayoutLoaded = TRUE;
    if (view != nullptr) {
        LayoutParts();
        m_hHover = m_hPushed = 0;
    }
    return TRUE;
}

HWND CBkDialogView::Create(HWND hWndParent, const RECT* pRect, UINT uID) {
    RECT rc = {};
    if (pRect) rc = *pRect;
    else if (hWndParent) ::GetClientRect(hWndParent, &rc);
    HWND view = WindowImpl<CBkDialogView>::Create(hWndParent, &rc, m_strTitle.c_str(),
                                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, uID);
    if (view == nullptr) return nullptr;

    m_bkHeader.SetContainer(view);
    m_bkBody.SetContainer(view);
    m_bkFooter.SetContainer(view);

    static bool commonControlsReady = false;
    if (!commonControlsReady) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        commonControlsReady = ::InitCommonControlsEx(&icc) != FALSE;
    }
    m_hToolTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, view, nullptr,
                                   platform::CurrentModule(), nullptr);
    if (m_hToolTip) {
        TOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = view;
        ti.uId = reinterpret_cast<UINT_PTR>(view);
        ti.lpszText = const_cast<LPWSTR>(L"");
        ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        ::SendMessageW(m_hToolTip, TTM_ACTIVATE, TRUE, 0);
        ::SendMessageW(m_hToolTip, TTM_SETMAXTIPWIDTH, 0, 5000);
    } else {
        platform::TraceLastError("CreateWindowExW(tooltip)");
    }
    m_rgnPending.Reset();

    // The size message of the creation may have come before the parts knew
    // their window; lay out once more with everything in place.
    RECT client = GetClientRect();
    if (m_sizeCache.cx != client.right || m_sizeCache.cy != client.bottom) {
        BOOL handled = TRUE;
        OnSize(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), handled);
    } else {
        LayoutParts();
    }
    return view;
}

void CBkDialogView::ShowAllRealWindows() {
    if (m_bHeaderLoaded) CBkContainerWnd::ShowRealWindows(&m_bkHeader, TRUE);
    if (m_bFooterLoaded) CBkContainerWnd::ShowRealWindows(&m_bkFooter, TRUE);
    if (m_bBodyLoaded) CBkContainerWnd::ShowRealWindows(&m_bkBody, TRUE);
}

void CBkDialogView::LayoutParts() {
    if (Handle() == nullptr) return;
    RECT client = GetClientRect();
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    if (w <= 0 || h <= 0) return;

    int headerBottom = 0;
    int footerTop = h;
    if (m_bHeaderLoaded) {
        WINDOWPOS wp = {nullptr, nullptr, 0, 0, w, h, 0};
        m_bkHeader.SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
        headerBottom = m_bkHeader.GetRect().bottom;
    }
    if (m_bFooterLoaded) {
        // Measured first at the top, then moved so that its bottom is the
        // client bottom.
        WINDOWPOS wp = {nullptr, nullptr, 0, 0, w, h, 0};
        m_bkFooter.SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
        int fh = m_bkFooter.GetRect().bottom - m_bkFooter.GetRect().top;
        wp.y = h - fh;
        m_bkFooter.SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
        footerTop = m_bkFooter.GetRect().top;
    }
    if (m_bBodyLoaded) {
        WINDOWPOS wp = {nullptr, nullptr, 0, headerBottom, w, std::max(0, footerTop - headerBottom), 0};
        m_bkBody.SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    }
    RequestFullRepaint();
}

void CBkDialogView::RequestFullRepaint() {
    m_bFullRepaint = TRUE;
    m_bDirty = TRUE;
    m_rgnPending.Reset();
    if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void CBkDialogView::InvalidateControl(CBkWindow* pWnd, BOOL bCheckVisible) {
    if (pWnd == nullptr) return;
    if (bCheckVisible && !pWnd->IsVisible(TRUE)) return;
    AddDirtyRect(pWnd->GetRect());
}

void CBkDialogView::AddDirtyRect(const RECT& rc) {
    if (m_rgnPending) {
        platform::Region add(::CreateRectRgnIndirect(&rc));
        if (add) ::CombineRgn(m_rgnPending.Get(), m_rgnPending.Get(), add.Get(), RGN_OR);
    } else {
        m_rgnPending.Reset(::CreateRectRgnIndirect(&rc));
    }
    m_bDirty = TRUE;
    if (Handle()) ::InvalidateRect(Handle(), &rc, FALSE);
}

void CBkDialogView::DrawParts(HDC hdc, HRGN hRgn) {
    BkWinManager::PaintLock lock;
    platform::SaveDCScope save(hdc);
    ::SelectObject(hdc, BkFontPool::GetFont(0));
    ::SetBkMode(hdc, TRANSPARENT);
    if (hRgn) ::SelectClipRgn(hdc, hRgn);
    if (!m_strFrameSkin.empty()) {
        if (CBkSkinBase* skin = BkSkin::GetSkin(m_strFrameSkin)) {
            RECT client = GetClientRect();
            skin->Draw(hdc, client, 0);
        }
    }
    HDC dc = hdc;
    if (m_bHeaderLoaded) m_bkHeader.RedrawRegion(dc, hRgn);
    if (m_bBodyLoaded) m_bkBody.RedrawRegion(dc, hRgn);
    if (m_bFooterLoaded) m_bkFooter.RedrawRegion(dc, hRgn);
}

void CBkDialogView::DrawDirtyRegion(HDC hdc) {
    if (m_bFullRepaint) {
        m_rgnPending.Reset();
        m_bFullRepaint = FALSE;
        m_bDirty = TRUE;
    }
    if (!m_bDirty) return;
    DrawParts(hdc, m_rgnPending.Get());
    m_rgnPending.Reset();
    m_bDirty = FALSE;
}

void CBkDialogView::PaintTo(HDC hdcTarget) {
    if (m_bFullRepaint) {
        m_rgnPending.Reset();
        m_bFullRepaint = FALSE;
        m_bDirty = TRUE;
    }
    if (m_bmpCache) {
        platform::MemoryDC mem;
        platform::SelectObjectScope select(mem, m_bmpCache.Get());
        if (m_bDirty) {
            DrawParts(mem, m_rgnPending.Get());
            m_rgnPending.Reset();
            m_bDirty = FALSE;
        }
        const int w = m_sizeCache.cx;
        const int h = m_sizeCache.cy;
        switch (m_nBlitMode) {
        case BLIT_COLORKEY:
            ::TransparentBlt(hdcTarget, 0, 0, w, h, mem, 0, 0, w, h, m_crColorKey);
            break;
        case BLIT_ALPHA: {
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            ::AlphaBlend(hdcTarget, 0, 0, w, h, mem, 0, 0, w, h, blend);
            break;
        }
        default:
            ::BitBlt(hdcTarget, 0, 0, w, h, mem, 0, 0, SRCCOPY);
            break;
        }
    }
    if (m_pShadow && !m_pShadow->IsDragging() && !m_pShadow->IsShown()) m_pShadow->ShowShadow();
}

LRESULT CBkDialogView::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
    m_bmpCache.Reset();
    m_sizeCache = SIZE{0, 0};
    RECT client = GetClientRect();
    if (client.right > 0 && client.bottom > 0) {
        m_bmpCache.Reset(platform::CreateDib32(client.right, client.bottom, nullptr));
        if (m_bmpCache) m_sizeCache = SIZE{client.right, client.bottom};
        LayoutParts();
    }
    return 0;
}

LRESULT CBkDialogView::OnPrint(UINT, WPARAM wParam, LPARAM, BOOL&) {
    PaintTo(reinterpret_cast<HDC>(wParam));
    return 0;
}

LRESULT CBkDialogView::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    platform::PaintDC dc(Handle());
    PaintTo(dc);
    return 0;
}

LRESULT CBkDialogView::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    m_bmpCache.Reset();
    m_sizeCache = SIZE{0, 0};
    m_bTracking = FALSE;
    m_bCaptured = FALSE;
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogView::OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

LRESULT CBkDialogView::OnSetCursor(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    // Asked by a child window the pointer is over: no control of the view
    // is under the pointer any more, and the child sets its own cursor.
    if (reinterpret_cast<HWND>(wParam) != Handle()) {
        DropHover();
        bHandled = FALSE;
        return 0;
    }
    CBkWindow* hover = CBkWindow::FromHandle(m_hHover);
    if (hover == nullptr) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return 1;
    }
    if (hover->IsClass("realwnd")) return 0;  // the real window sets its own
    if (IsEnabledControl(hover)) {
        hover->SetCursor();
        return 1;
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    return 1;
}

LRESULT CBkDialogView::OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) {
    return DLGC_WANTARROWS | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
}

LRESULT CBkDialogView::OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    HWND next = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
    if (next && next != Handle() && ::IsChild(Handle(), next)) ::SetFocus(next);
    bHandled = FALSE;
    return 0;
}

LRESULT CBkDialogView::OnNotify(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr != nullptr && hdr->code == BKNM_INVALIDATERECT) {
        AddDirtyRect(reinterpret_cast<BKNMINVALIDATERECT*>(lParam)->rect);
        return 0;
    }
    return ::SendMessageW(::GetParent(Handle()), uMsg, wParam, lParam);
}

LRESULT CBkDialogView::OnForward(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL&) {
    return ::SendMessageW(::GetParent(Handle()), uMsg, wParam, lParam);
}

LRESULT CBkDialogView::OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    // The view holds the focus of its window, so Esc and Enter arrive here;
    // the window turns them into items 2 and 1.
    if (wParam == VK_ESCAPE || wParam == VK_RETURN) ::SendMessageW(::GetParent(Handle()), uMsg, wParam, lParam);
    bHandled = FALSE;
    return 0;
}

// ---------------------------------------------------------------------------
// Mouse

LRESULT CBkDialogView::OnMouseRelay(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if (uMsg < kMouseFirst || (uMsg > kMouseLast && uMsg != WM_MOUSELEAVE)) {
        bHandled = FALSE;
        return 0;
    }
    if (m_hToolTip && uMsg != WM_MOUSELEAVE) {
        MSG msg = {};
        msg.hwnd = Handle();
        msg.message = uMsg;
        msg.wParam = wParam;
        msg.lParam = lParam;
        ::SendMessageW(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    switch (uMsg) {
    case WM_MOUSEMOVE: OnMouseMove(wParam, lParam); break;
    case WM_MOUSELEAVE: OnMouseLeave(); break;
    case WM_LBUTTONDOWN: OnLButtonDown(wParam, lParam); break;
    case WM_LBUTTONUP: OnLButtonUp(wParam, lParam); break;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(wParam, lParam); break;
    case WM_RBUTTONDOWN: OnRButtonDown(wParam, lParam); break;
    default: bHandled = FALSE; break;
    }
    return 0;
}

bool CBkDialogView::IsEnabledControl(CBkWindow* pWnd) { return pWnd != nullptr && !pWnd->IsDisabled(TRUE); }

HBKWND CBkDialogView::HitTestParts(POINT pt, BOOL* pFromHeader) {
    if (pFromHeader) *pFromHeader = FALSE;
    HBKWND hit = 0;
    if (m_bHeaderLoaded) {
        hit = m_bkHeader.HitTest(pt.x, pt.y, TRUE);
        if (hit && pFromHeader) *pFromHeader = TRUE;
    }
    if (hit == 0 && m_bBodyLoaded) hit = m_bkBody.HitTest(pt.x, pt.y, TRUE);
    if (hit == 0 && m_bFooterLoaded) hit = m_bkFooter.HitTest(pt.x, pt.y, TRUE);
    return hit;
}

bool CBkDialogView::NotifyParent(UINT uCode, UINT uItemID, LPCSTR lpszClass) {
    HWND self = Handle();
    if (self == nullptr) return false;
    HWND parent = ::GetParent(self);
    if (parent == nullptr) return true;
    BKNMCOMMAND nm = {};
    nm.hdr.hwndFrom = self;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(self));
    nm.hdr.code = uCode;
    nm.uItemID = uItemID;
    nm.szItemClass = lpszClass;
    ::SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    // The handler may have destroyed the window, and with it this object:
    // only the handle, a local, is looked at before anything else.
    return ::IsWindow(self) && platform::WindowImplBase::FromHandle(self) == this;
}

void CBkDialogView::SetControlState(HBKWND hWnd, DWORD dwAdd, DWORD dwRemove) {
    CBkWindow* wnd = CBkWindow::FromHandle(hWnd);
    if (wnd == nullptr) return;
    DWORD old = wnd->ModifyState(dwAdd, dwRemove);
    if (old != wnd->GetState() && wnd->NeedsRedrawOnStateChange()) InvalidateControl(wnd, TRUE);
}

void CBkDialogView::UpdateToolTip(CBkWindow* pWnd) {
    if (m_hToolTip == nullptr) return;
    TOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(Handle());
    // An empty text is never shown, even by a show timer already running.
    LPCWSTR text = pWnd && !m_bToolTipSuspended ? pWnd->GetToolTipText() : nullptr;
    ti.lpszText = const_cast<LPWSTR>(text ? text : L"");
    ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CBkDialogView::SuspendToolTip(BOOL bSuspend) {
    m_bToolTipSuspended = bSuspend;
    UpdateToolTip(CBkWindow::FromHandle(m_hHover));
    if (bSuspend && m_hToolTip) ::SendMessageW(m_hToolTip, TTM_POP, 0, 0);
}

void CBkDialogView::TrackLeave() {
    if (m_bTracking) return;
    TRACKMOUSEEVENT tme = {};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = Handle();
    if (::TrackMouseEvent(&tme)) m_bTracking = TRUE;
}

void CBkDialogView::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    ::PostMessageW(::GetParent(Handle()), WM_MOUSEMOVE, wParam, lParam);
    TrackLeave();
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HBKWND hit = HitTestParts(pt);
    if (CBkWindow* wnd = CBkWindow::FromHandle(hit)) {
        if (IsEnabledControl(wnd)) wnd->SendMessageToSelf(WM_MOUSEMOVE, wParam, lParam);
        if (!NotifyParent(BKNM_MOUSEHOVER, wnd->GetCmdID(), nullptr)) return;
    }
    if (hit == m_hHover) return;

    HBKWND old = m_hHover;
    CBkWindow* oldWnd = CBkWindow::FromHandle(old);
    if (oldWnd != nullptr && IsEnabledControl(oldWnd)) {
        SetControlState(old, 0, BKSTATE_HOVER);
        oldWnd->SendMessageToSelf(WM_MOUSELEAVE);
        UINT oldId = oldWnd->GetCmdID();
        if (!NotifyParent(BKNM_MOUSELEAVE, oldId, nullptr)) return;
    }
    // Looked up again: the parent may have reloaded the controls meanwhile.
    CBkWindow* wnd = CBkWindow::FromHandle(hit);
    if (wnd != nullptr && IsEnabledControl(wnd)) SetControlState(hit, BKSTATE_HOVER, 0);
    m_hHover = wnd ? hit : 0;
    if (m_hHover != 0) ::SetTimer(Handle(), kHoverCheckTimer, kHoverCheckPeriod, nullptr);
    UpdateToolTip(wnd);
}

void CBkDialogView::OnMouseLeave() {
    ::PostMessageW(::GetParent(Handle()), WM_MOUSELEAVE, 0, 0);
    m_bTracking = FALSE;
    ::KillTimer(Handle(), kHoverCheckTimer);
    UINT id = 0;
    if (CBkWindow* hover = CBkWindow::FromHandle(m_hHover)) {
        SetControlState(m_hHover, 0, BKSTATE_HOVER);
        hover->SendMessageToSelf(WM_MOUSELEAVE);
        id = hover->GetCmdID();
    }
    m_hHover = 0;
    if (CBkWindow* pushed = CBkWindow::FromHandle(m_hPushed)) {
        SetControlState(m_hPushed, 0, BKSTATE_PUSHED);
        id = pushed->GetCmdID();
    }
    m_hPushed = 0;
    NotifyParent(BKNM_MOUSELEAVE, id, nullptr);
}

LRESULT CBkDialogView::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (wParam != kHoverCheckTimer) {
        bHandled = FALSE;
        return 0;
    }
    CheckHoverUnderPointer();
    return 0;
}

void CBkDialogView::CheckHoverUnderPointer() {
    if (m_hHover == 0) {
        ::KillTimer(Handle(), kHoverCheckTimer);
        return;
    }
    // While captured the view gets every move and follows them itself.
    if (m_bCaptured) return;
    POINT pt = {};
    RECT rc = {};
    if (!::GetCursorPos(&pt) || !::GetWindowRect(Handle(), &rc)) return;
    HWND under = ::WindowFromPoint(pt);
    // The view itself or a window it lies in (the frame) still counts as
    // over the view; anything else (a popup over it, a child) does not.
    const bool overView = ::PtInRect(&rc, pt) && under != nullptr && (under == Handle() || ::IsChild(under, Handle()));
    if (!overView) DropHover();
}

void CBkDialogView::DropHover() {
    if (Handle() != nullptr) ::KillTimer(Handle(), kHoverCheckTimer);
    CBkWindow* hover = CBkWindow::FromHandle(m_hHover);
    m_hHover = 0;
    if (hover == nullptr) return;
    UINT id = hover->GetCmdID();
    if (IsEnabledControl(hover)) {
        SetControlState(hover->GetBkHwnd(), 0, BKSTATE_HOVER);
        hover->SendMessageToSelf(WM_MOUSELEAVE);
    }
    UpdateToolTip(nullptr);
    NotifyParent(BKNM_MOUSELEAVE, id, nullptr);
}

void CBkDialogView::TakeFocusOnClick() {
    HWND root = ::GetAncestor(Handle(), GA_ROOT);
    if (root && (::GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_NOACTIVATE)) return;
    ::SetFocus(Handle());
}

void CBkDialogView::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HBKWND hit = m_bHeaderLoaded ? m_bkHeader.HitTest(pt.x, pt.y, TRUE) : 0;
    if (hit != 0) {
        CBkWindow* wnd = CBkWindow::FromHandle(hit);
        if (wnd && !IsClickableHeaderClass(wnd->GetObjectClass(), true) && !IsChildLayer()) {
            TakeFocusOnClick();
            HWND parent = ::GetParent(Handle());
            if (parent && !(::GetWindowLongPtrW(parent, GWL_STYLE) & WS_MINIMIZE) && m_bMovable)
                ::SendMessageW(parent, WM_SYSCOMMAND, kScMoveByCaption, 0);
            return;
        }
    } else {
        hit = HitTestParts(pt);
    }
    CBkWindow* wnd = CBkWindow::FromHandle(hit);
    if (wnd == nullptr || !IsEnabledControl(wnd)) return;
    if (!m_bCaptured) {
        ::SetCapture(Handle());
        m_bCaptured = TRUE;
    }
    m_hHover = m_hPushed = hit;
    SetControlState(hit, BKSTATE_PUSHED, 0);
    UINT id = wnd->GetCmdID();
    wnd->SendMessageToSelf(WM_LBUTTONDOWN, wParam, lParam);
    NotifyParent(BKNM_LBUTTONDOWN, id, nullptr);
}

void CBkDialogView::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
    TakeFocusOnClick();
    if (m_bCaptured) {
        m_bCaptured = FALSE;
        ::ReleaseCapture();
    }
    HBKWND pushedHandle = m_hPushed;
    CBkWindow* pushed = CBkWindow::FromHandle(pushedHandle);
    m_hPushed = 0;
    if (pushed == nullptr) {
        NotifyParent(BKNM_LBUTTONUP, 0, nullptr);
        return;
    }
    SetControlState(pushedHandle, 0, BKSTATE_PUSHED);
    // Copied before anything is sent: a handler may delete the control.
    const UINT id = pushed->GetCmdID();
    LPCSTR cls = pushed->GetObjectClass();
    if (pushedHandle == m_hHover) {
        std::wstring href = pushed->GetLinkUrl();
        pushed->SendMessageToSelf(WM_LBUTTONUP, wParam, lParam);
        if (!href.empty()) {
            ::ShellExecuteW(nullptr, L"open", href.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        } else if (id != 0) {
            if (!NotifyParent(BKNM_LBUTTONUP, id, nullptr)) return;
            NotifyParent(BKNM_COMMAND, id, cls);
            return;
        }
    }
    NotifyParent(BKNM_LBUTTONUP, id, nullptr);
}

void CBkDialogView::OnLButtonDblClk(WPARAM, LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HBKWND hit = m_bHeaderLoaded ? m_bkHeader.HitTest(pt.x, pt.y, TRUE) : 0;
    if (hit != 0) {
        CBkWindow* wnd = CBkWindow::FromHandle(hit);
        if (wnd && !IsClickableHeaderClass(wnd->GetObjectClass(), false) && m_bResizable) {
            HWND parent = ::GetParent(Handle());
            if (parent)
                ::SendMessageW(parent, WM_SYSCOMMAND, ::IsZoomed(parent) ? kScRestoreByCaption : kScMaximizeByCaption, 0);
            return;
        }
    }
    TakeFocusOnClick();
    hit = HitTestParts(pt);
    if (CBkWindow* wnd = CBkWindow::FromHandle(hit)) NotifyParent(BKNM_LBUTTONDBLCLK, wnd->GetCmdID(), wnd->GetObjectClass());
}

void CBkDialogView::OnRButtonDown(WPARAM, LPARAM lParam) {
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HBKWND hit = HitTestParts(pt);
    if (CBkWindow* wnd = CBkWindow::FromHandle(hit)) NotifyParent(BKNM_RBUTTONDOWN, wnd->GetCmdID(), nullptr);
}
