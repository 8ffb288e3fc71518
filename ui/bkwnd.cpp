#include "ui/bkwnd.h"

#include <algorithm>
#include <cstdlib>
#include <tinyxml.h>
#include <unordered_map>

#include "platform/gdi.h"
#include "platform/lock.h"
#include "platform/strconv.h"
#include "platform/system_api.h"
#include "ui/bkcontainer.h"
#include "ui/bkfontpool.h"
#include "ui/bkgdiplus.h"
#include "ui/bknotify.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstrref.h"
#include "ui/bkstyle.h"
#include "ui/bkvalue.h"

namespace {

// Handle -> control for the whole process. Allocated once and never freed:
// controls held by static objects may be destroyed after static destructors
// have run, and must still find the registry then.
struct ControlRegistry {
    platform::CriticalSection lock;
    std::unordered_map<HBKWND, CBkWindow*> controls;
    HBKWND lastHandle = 0;
};

ControlRegistry& Registry() {
    static ControlRegistry* registry = new ControlRegistry;
    return *registry;
}

HBKWND RegisterControl(CBkWindow* wnd) {
    ControlRegistry& reg = Registry();
    platform::ScopedLock lock(reg.lock);
    // Handles are never reused in a run; 0 is reserved for "no control".
    if (++reg.lastHandle == 0) ++reg.lastHandle;
    reg.controls[reg.lastHandle] = wnd;
    return reg.lastHandle;
}

void UnregisterControl(HBKWND handle) {
    ControlRegistry& reg = Registry();
    platform::ScopedLock lock(reg.lock);
    reg.controls.erase(handle);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Ancestors are followed through the registry; a broken chain simply ends.
// The depth cap keeps a corrupted parent link from looping forever.
const int kMaxTreeDepth = 1024;

// The first text node below the element, as UTF-16.
std::wstring FirstTextChild(const TiXmlElement* elem) {
    for (const TiXmlNode* node = elem->FirstChild(); node; node = node->NextSibling()) {
        if (const TiXmlText* text = node->ToText()) return platform::Utf8ToWide(text->ValueStr());
    }
    return std::wstring();
}

LONG FontHeight(HGDIOBJ font) {
    LOGFONTW lf = {};
    if (font == nullptr || ::GetObjectW(font, sizeof(lf), &lf) == 0) return 0;
    return lf.lfHeight;
}

} // namespace

COLORREF BkParseControlColor(const std::string& strValue) {
    BYTE pairs[3] = {0, 0, 0};
    for (size_t i = 0; i < 3; ++i) {
        // A value cut short reads its missing pairs as 0 rather than reading
        // past the end.
        size_t at = i * 2;
        if (at + 1 < strValue.size()) {
            int hi = HexDigit(strValue[at]);
            int lo = HexDigit(strValue[at + 1]);
            if (hi >= 0 && lo >= 0) pairs[i] = static_cast<BYTE>(hi * 16 + lo);
        }
    }
    return RGB(pairs[0], pairs[1], pairs[2]);
}

int BkDrawShadowText(HDC hdc, LPCWSTR lpszText, int cch, RECT* prc, DWORD dwFormat, COLORREF crText,
                     COLORREF crShadow, int nOffsetX, int nOffsetY) {
    const platform::SystemApi& api = platform::GetSystemApi();
    if (api.DrawShadowText == nullptr) return 0;
    return api.DrawShadowText(hdc, lpszText, static_cast<UINT>(cch), prc, dwFormat, crText, crShadow, nOffsetX,
                              nOffsetY);
}

CBkWindow::CBkWindow()
    : m_hBkWnd(0),
      m_hBkWndParent(0),
      m_hWndContainer(nullptr),
      m_uCmdID(0),
      m_rcWindow(),
      m_uPositionType(0),
      m_lSpecifyWidth(0),
      m_lSpecifyHeight(0),
      m_dwState(0),
      m_uVAlign(BKALIGN_TOP),
      m_uHAlign(BKALIGN_LEFT),
      m_nTransparent(0),
      m_crBg(CLR_INVALID),
      m_crText(CLR_INVALID),
      m_hFont(nullptr),
      m_uTextFormat(0),
      m_nTextAlpha(-1),
      m_nHeadAcceptLBtnDownMsg(0),
      m_bMsgHandled(FALSE),
      m_uNotifyMask(0),
      m_bEntryReported(FALSE) {
    m_hBkWnd = RegisterControl(this);
}

CBkWindow::~CBkWindow() {
    UnregisterControl(m_hBkWnd);
}

CBkWindow* CBkWindow::FromHandle(HBKWND hBkWnd) {
    if (hBkWnd == 0) return nullptr;
    ControlRegistry& reg = Registry();
    platform::ScopedLock lock(reg.lock);
    auto it = reg.controls.find(hBkWnd);
    return it == reg.controls.end() ? nullptr : it->second;
}

platform::CriticalSection& CBkWindow::RegistryLock() {
    return Registry().lock;
}

const BkStyle& CBkWindow::GetStyle() const {
    return BkStyle::GetStyle(m_strStyleName);
}

BOOL CBkWindow::Load(const TiXmlElement* pXmlElem) {
    if (pXmlElem == nullptr) return FALSE;

    m_strInnerText = BkExpandStringRefs(FirstTextChild(pXmlElem),
                                        [](int id) -> const wchar_t* { return BkString::Get(static_cast<UINT>(id)); });

    m_uPositionType = 0;
    CBkObject::Load(pXmlElem);

    const char* show = pXmlElem->Attribute("show");
    if (show != nullptr && *show != '\0') {
        if (std::atoi(show) == 0)
            ModifyState(BKSTATE_HIDDEN, 0);
        else
            ModifyState(0, BKSTATE_HIDDEN);
    }

    if (m_dlgpos.count != 2 && m_dlgpos.count != 4) {
        const char* width = pXmlElem->Attribute("width");
        int w = width ? std::atoi(width) : 0;
        if (w > 0) {
            m_lSpecifyWidth = w;
            m_rcWindow.right = m_rcWindow.left + w;
            m_uPositionType |= BKLAYOUT_WIDTH_FIXED;
        } else if (width != nullptr && std::string(width) == "full") {
            m_uPositionType |= BKLAYOUT_WIDTH_FULL;
        } else {
            m_uPositionType |= BKLAYOUT_WIDTH_AUTO;
        }

        const char* height = pXmlElem->Attribute("height");
        int h = height ? std::atoi(height) : 0;
        if (h > 0) {
            m_lSpecifyHeight = h;
            m_rcWindow.bottom = m_rcWindow.top + h;
            m_uPositionType |= BKLAYOUT_HEIGHT_FIXED;
        } else if (height != nullptr && std::string(height) == "full") {
            m_uPositionType |= BKLAYOUT_HEIGHT_FULL;
        } else {
            m_uPositionType |= BKLAYOUT_HEIGHT_AUTO;
        }

        if (m_uPositionType & (BKLAYOUT_WIDTH_AUTO | BKLAYOUT_HEIGHT_AUTO)) {
            SIZE size = {0, 0};
            SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size));
            if (m_uPositionType & BKLAYOUT_WIDTH_AUTO) m_rcWindow.right = m_rcWindow.left + size.cx;
            if (m_uPositionType & BKLAYOUT_HEIGHT_AUTO) m_rcWindow.bottom = m_rcWindow.top + size.cy;
        }

        const char* floating = pXmlElem->Attribute("float");
        m_uPositionType |= (floating && std::atoi(floating) != 0) ? BKLAYOUT_FLOAT : BKLAYOUT_INFLOW;
    }
    return TRUE;
}

HRESULT CBkWindow::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkObject::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;

    if (strName == "class") {
        m_strStyleName = strValue;
        return S_OK;
    }
    if (strName == "id") {
        m_uCmdID = static_cast<UINT>(BkParseInt(strValue));
        return S_FALSE;
    }
    if (strName == "alphatxt") {
        m_nTextAlpha = BkParseInt(strValue);
        return S_OK;
    }
    if (strName == "crbg") {
        m_crBg = BkParseControlColor(strValue);
        return S_FALSE;
    }
    if (strName == "crtext") {
        m_crText = BkParseControlColor(strValue);
        return S_FALSE;
    }
    if (strName == "font") {
        m_hFont = BkFontPool::GetFont(static_cast<BkFontKey>(BkParseHex(strValue)));
        return S_FALSE;
    }
    if (strName == "href") {
        m_strLinkUrl = platform::Utf8ToWide(strValue);
        return S_FALSE;
    }
    if (strName == "tip") {
        m_strToolTipText = platform::Utf8ToWide(strValue);
        return S_FALSE;
    }
    if (strName == "valign") {
        if (strValue == "top") m_uVAlign = BKALIGN_TOP;
        else if (strValue == "middle") m_uVAlign = BKALIGN_MIDDLE;
        else if (strValue == "bottom") m_uVAlign = BKALIGN_BOTTOM;
        else return E_FAIL;
        return S_OK;
    }
    if (strName == "align") {
        if (strValue == "left") m_uHAlign = BKALIGN_LEFT;
        else if (strValue == "center") m_uHAlign = BKALIGN_CENTER;
        else if (strValue == "right") m_uHAlign = BKALIGN_RIGHT;
        else return E_FAIL;
        return S_OK;
    }
    if (strName == "pos") {
        if (!m_dlgpos.Parse(strValue.c_str())) return S_FALSE;
        if (m_dlgpos.count == 2 || m_dlgpos.count == 4) {
            m_uPositionType = (m_uPositionType & ~(BKLAYOUT_WIDTH_MASK | BKLAYOUT_HEIGHT_MASK)) |
                              BKLAYOUT_WIDTH_AUTO | BKLAYOUT_HEIGHT_AUTO;
        }
        if (!bLoading) {
            CBkWindow* parent = GetParent();
            if (parent != nullptr && parent->IsContainer())
                static_cast<CBkContainerWnd*>(parent)->RepositionChild(this);
        }
        return S_FALSE;
    }
    if (strName == "transparent") {
        m_nTransparent = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "headacceptlbtndownmsg") {
        m_nHeadAcceptLBtnDownMsg = BkParseInt(strValue);
        return S_FALSE;
    }
    if (strName == "notify") {
        m_uNotifyMask = static_cast<UINT>(BkParseInt(strValue));
        return S_FALSE;
    }
    return E_FAIL;
}

LPCWSTR CBkWindow::GetToolTipText() {
    return m_strToolTipText.c_str();
}

int CBkWindow::GetHeadAcceptLBtnDownMsg() {
    return m_nHeadAcceptLBtnDownMsg;
}

void CBkWindow::Broadcast(DWORD, DWORD, DWORD) {}

void CBkWindow::SetCursor() {
    ::SetCursor(::LoadCursorW(nullptr, GetStyle().m_lpCursorName));
}

DWORD CBkWindow::ModifyState(DWORD dwAdd, DWORD dwRemove) {
    DWORD old = m_dwState;
    m_dwState = (old | dwAdd) & ~dwRemove;
    return old;
}

void CBkWindow::SetContainer(HWND hWndContainer) {
    m_hWndContainer = hWndContainer;
}

HBKWND CBkWindow::HitTest(int x, int y, BOOL) {
    POINT pt = {x, y};
    return ::PtInRect(&m_rcWindow, pt) ? m_hBkWnd : 0;
}

BOOL CBkWindow::NeedsRedrawOnStateChange() {
    const BkStyle& style = GetStyle();
    if (!style.m_strSkinName.empty()) {
        CBkSkinBase* skin = BkSkin::GetSkin(style.m_strSkinName);
        if (skin != nullptr && !skin->IgnoreState()) return TRUE;
    }
    return style.m_crHoverText != CLR_INVALID || style.m_hFontHover != nullptr || style.m_crBgHover != CLR_INVALID;
}

BOOL CBkWindow::IsContainer() {
    return FALSE;
}

BOOL CBkWindow::RedrawRegion(HDC& hdc, HRGN hRgn) {
    if (hRgn != nullptr && !::RectInRegion(hRgn, &m_rcWindow)) return FALSE;
    DrawBackground(hdc);
    SendMessageToSelf(WM_PAINT, reinterpret_cast<WPARAM>(hdc));
    return TRUE;
}

void CBkWindow::DrawBackground(HDC& hdc) {
    const BkStyle& style = GetStyle();
    if (!style.m_strSkinName.empty()) {
        if (CBkSkinBase* skin = BkSkin::GetSkin(style.m_strSkinName)) {
            skin->Draw(hdc, m_rcWindow, m_dwState);
            return;
        }
    }
    COLORREF color = m_crBg != CLR_INVALID ? m_crBg : style.m_crBg;
    if ((m_dwState & BKSTATE_HOVER) && style.m_crBgHover != CLR_INVALID) color = style.m_crBgHover;
    if (color == CLR_INVALID) return;

    if (style.m_nBgGdiplus != 0 && BkGdipFillRect(hdc, m_rcWindow, color, style.m_nAlphaBg)) return;
    COLORREF old = ::SetBkColor(hdc, color);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &m_rcWindow, nullptr, 0, nullptr);
    ::SetBkColor(hdc, old);
}

BOOL CBkWindow::HandleMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    m_bMsgHandled = TRUE;
    lResult = 0;
    switch (uMsg) {
    case WM_CREATE:
        lResult = 1;
        break;
    case WM_DESTROY:
        break;
    case WM_PAINT:
        OnPaint(reinterpret_cast<HDC>(wParam));
        break;
    case WM_SHOWWINDOW:
        if (wParam)
            ModifyState(0, BKSTATE_HIDDEN);
        else
            ModifyState(BKSTATE_HIDDEN, 0);
        break;
    case WM_WINDOWPOSCHANGED:
        OnWindowPosChanged(reinterpret_cast<const WINDOWPOS*>(lParam));
        break;
    case WM_NCCALCSIZE:
        lResult = OnNcCalcSize(static_cast<BOOL>(wParam), reinterpret_cast<SIZE*>(lParam));
        break;
    case WM_MOUSEMOVE: {
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        OnMouseMove(static_cast<UINT>(wParam), pt);
        break;
    }
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        break;
    default:
        m_bMsgHandled = FALSE;
        break;
    }
    return m_bMsgHandled;
}

void CBkWindow::SetInnerText(const std::wstring& strText) {
    m_strInnerText = strText;
    if ((m_uPositionType & (BKLAYOUT_WIDTH_AUTO | BKLAYOUT_HEIGHT_AUTO)) && m_dlgpos.count != 4) {
        SIZE size = {0, 0};
        SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size));
        if (m_uPositionType & BKLAYOUT_WIDTH_AUTO) m_rcWindow.right = m_rcWindow.left + size.cx;
        if (m_uPositionType & BKLAYOUT_HEIGHT_AUTO) m_rcWindow.bottom = m_rcWindow.top + size.cy;
    }
}

LRESULT CBkWindow::SendMessageToSelf(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    m_bMsgHandled = FALSE;
    HandleMessage(m_hWndContainer, uMsg, wParam, lParam, result);
    return result;
}

BOOL CBkWindow::IsVisible(BOOL bCheckParent) const {
    if (m_dwState & BKSTATE_HIDDEN) return FALSE;
    if (!bCheckParent) return TRUE;
    int depth = 0;
    for (CBkWindow* p = GetParent(); p != nullptr && depth < kMaxTreeDepth; p = p->GetParent(), ++depth) {
        if (p->m_dwState & BKSTATE_HIDDEN) return FALSE;
    }
    return TRUE;
}

BOOL CBkWindow::IsDisabled(BOOL bCheckParent) const {
    if (m_dwState & BKSTATE_DISABLED) return TRUE;
    if (!bCheckParent) return FALSE;
    int depth = 0;
    for (CBkWindow* p = GetParent(); p != nullptr && depth < kMaxTreeDepth; p = p->GetParent(), ++depth) {
        if (p->m_dwState & BKSTATE_DISABLED) return TRUE;
    }
    return FALSE;
}

HFONT CBkWindow::ResolveFont() const {
    const BkStyle& style = GetStyle();
    HFONT font = m_hFont ? m_hFont : style.m_hFont;
    int depth = 0;
    for (CBkWindow* p = GetParent(); font == nullptr && p != nullptr && depth < kMaxTreeDepth;
         p = p->GetParent(), ++depth) {
        font = p->m_hFont ? p->m_hFont : p->GetStyle().m_hFont;
    }
    if (font == nullptr) font = BkFontPool::GetFont(0);

    if (m_dwState & BKSTATE_HOVER) {
        HFONT hover = style.m_hFontHover;
        depth = 0;
        for (CBkWindow* p = GetParent(); hover == nullptr && p != nullptr && depth < kMaxTreeDepth;
             p = p->GetParent(), ++depth) {
            hover = p->GetStyle().m_hFontHover;
        }
        if (hover != nullptr) font = hover;
    }
    return font;
}

CBkWindow::TextDcScope::TextDcScope(const CBkWindow& wnd, HDC hdc) : rcText(wnd.m_rcWindow), m_hdc(hdc) {
    const BkStyle& style = wnd.GetStyle();
    ::InflateRect(&rcText, -style.m_nMarginX, -style.m_nMarginY);

    if (!style.m_strSkinName.empty() && BkSkin::GetSkin(style.m_strSkinName) != nullptr)
        m_nOldBkMode = ::SetBkMode(hdc, TRANSPARENT);

    COLORREF bg = wnd.m_crBg != CLR_INVALID ? wnd.m_crBg : style.m_crBg;
    if (bg != CLR_INVALID) m_crOldBg = ::SetBkColor(hdc, bg);

    HFONT font = wnd.ResolveFont();
    if (font != nullptr) m_hOldFont = ::SelectObject(hdc, font);

    COLORREF text = wnd.m_crText != CLR_INVALID ? wnd.m_crText : style.m_crText;
    if (wnd.IsDisabled(TRUE)) {
        if (style.m_crDisabledText != CLR_INVALID) text = style.m_crDisabledText;
    } else if ((wnd.m_dwState & BKSTATE_HOVER) && style.m_crHoverText != CLR_INVALID) {
        text = style.m_crHoverText;
    }
    if (text != CLR_INVALID) m_crOldText = ::SetTextColor(hdc, text);
}

CBkWindow::TextDcScope::~TextDcScope() {
    if (m_crOldText != CLR_INVALID) ::SetTextColor(m_hdc, m_crOldText);
    if (m_hOldFont != nullptr && m_hOldFont != HGDI_ERROR) ::SelectObject(m_hdc, m_hOldFont);
    if (m_crOldBg != CLR_INVALID) ::SetBkColor(m_hdc, m_crOldBg);
    if (m_nOldBkMode != 0) ::SetBkMode(m_hdc, m_nOldBkMode);
}

void CBkWindow::OnPaint(HDC hdc) {
    if (m_strInnerText.empty() || hdc == nullptr) return;
    TextDcScope scope(*this, hdc);
    if (m_uTextFormat == 0) m_uTextFormat = GetStyle().m_nTextAlign;
    DrawInnerText(hdc, scope.rcText);
}

void CBkWindow::DrawInnerText(HDC hdc, RECT rc) {
    DrawInnerText(hdc, rc, InnerTextOptions());
}

void CBkWindow::DrawInnerText(HDC hdc, RECT rc, const InnerTextOptions& options) {
    const BkStyle& style = GetStyle();
    const UINT format = m_uTextFormat;

    // The YaHei face sits lower in its cell than the faces the layouts were
    // drawn for; lift the text box by the size difference.
    if (BkFontPool::IsYaHeiDefault() && (options.alwaysLiftYaHei || style.m_nYaHeiResizeDisable != 1)) {
        const LONG defaultHeight = BkFontPool::GetDefaultHeight();
        const int d = static_cast<int>(defaultHeight - FontHeight(::GetCurrentObject(hdc, OBJ_FONT)));
        const int absDefault = static_cast<int>(defaultHeight < 0 ? -defaultHeight : defaultHeight);
        if (format & DT_BOTTOM) {
            const LONG originalTop = rc.top;
            ::OffsetRect(&rc, 0, -(2 * d + 2));
            if (rc.bottom - rc.top < absDefault + 3 * d + 4) rc.bottom = rc.top + absDefault + 3 * d + 4;
            if (rc.bottom < originalTop + absDefault + d + 3) rc.bottom = originalTop + absDefault + d + 3;
        } else if (!(format & DT_VCENTER)) {
            ::OffsetRect(&rc, 0, -(3 * d + 3));
        }
    }

    const int length = static_cast<int>(m_strInnerText.size());
    if (style.m_nGdiplus != 0) {
        int alpha = m_nTextAlpha != -1 ? m_nTextAlpha : style.m_nAlphaText;
        if (options.fixedAlpha >= 0) alpha = options.fixedAlpha;
        if (alpha == 255) alpha = 254;
        // Hint 0 is the system default, the same as setting none.
        const int hint = options.useStyleHint ? style.m_nTextRenderingHint : 0;
        if (BkGdipDrawText(hdc, m_strInnerText, rc, format, alpha, hint)) return;
        // GDI+ not started or refused: the text still shows through GDI.
    } else if (style.m_nShadow != 0) {
        RECT shadowRect = rc;
        if (BkDrawShadowText(hdc, m_strInnerText.c_str(), length, &shadowRect, format, ::GetTextColor(hdc),
                             style.m_crShadow, 2, 2) != 0) {
            return;
        }
    }
    ::DrawTextW(hdc, m_strInnerText.c_str(), length, &rc, format);
}

void CBkWindow::OnWindowPosChanged(const WINDOWPOS* pPos) {
    if (pPos == nullptr) return;
    ::OffsetRect(&m_rcWindow, pPos->x - m_rcWindow.left, pPos->y - m_rcWindow.top);

    SIZE size = {pPos->cx, pPos->cy};
    SendMessageToSelf(WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&size));
    ::SetRect(&m_rcWindow, pPos->x, pPos->y, pPos->x + size.cx, pPos->y + size.cy);

    if (m_uPositionType & BKLAYOUT_WIDTH_FULL)
        m_rcWindow.right = std::max<LONG>(m_rcWindow.left, pPos->x + pPos->cx);
    else if (m_uPositionType & BKLAYOUT_WIDTH_FIXED)
        m_rcWindow.right = m_rcWindow.left + m_lSpecifyWidth;
    if (m_uPositionType & BKLAYOUT_HEIGHT_FULL)
        m_rcWindow.bottom = std::max<LONG>(m_rcWindow.top, pPos->y + pPos->cy);
    else if (m_uPositionType & BKLAYOUT_HEIGHT_FIXED)
        m_rcWindow.bottom = m_rcWindow.top + m_lSpecifyHeight;
}

LRESULT CBkWindow::OnNcCalcSize(BOOL bCalcValidRects, SIZE* pSize) {
    if (pSize == nullptr) return 0;
    if (m_dlgpos.count == 4) {
        const int x1 = BkPosition::Resolve(m_dlgpos.items[0], 0, pSize->cx);
        const int y1 = BkPosition::Resolve(m_dlgpos.items[1], 0, pSize->cy);
        const int x2 = BkPosition::Resolve(m_dlgpos.items[2], 0, pSize->cx);
        const int y2 = BkPosition::Resolve(m_dlgpos.items[3], 0, pSize->cy);
        // Corners that cross in a too small parent give an empty control,
        // not an inverted rectangle that GDI would still fill.
        pSize->cx = std::max(0, x2 - x1);
        pSize->cy = std::max(0, y2 - y1);
        return 0;
    }
    RECT rc = m_rcWindow;
    if (bCalcValidRects) ::SetRect(&rc, 0, 0, pSize->cx, pSize->cy);
    *pSize = MeasureInnerText(rc);
    return 0;
}

SIZE CBkWindow::MeasureInnerText(const RECT& rcAvailable) const {
    SIZE size = {0, 0};
    if (m_strInnerText.empty()) return size;

    const BkStyle& style = GetStyle();
    RECT rc = rcAvailable;
    ::InflateRect(&rc, -style.m_nMarginX, -style.m_nMarginY);
    if (style.m_nTextAlign & DT_WORDBREAK) rc.bottom = 32767;

    platform::MemoryDC dc;  // compatible with the screen
    if (!dc) return size;
    platform::SelectObjectScope fontScope(dc, ResolveFont());

    bool measured = false;
    if (style.m_nGdiplusCalcText != 0) {
        RECT layout = rc;
        if (CBkWindow* parent = GetParent()) layout = parent->GetRect();
        SIZE gdipSize = {0, 0};
        if (BkGdipMeasureText(dc, m_strInnerText, layout.right - layout.left, layout.bottom - layout.top, &gdipSize)) {
            rc.right = rc.left + gdipSize.cx;
            rc.bottom = rc.top + gdipSize.cy;
            measured = true;
        }
    }
    if (!measured) {
        ::DrawTextW(dc, m_strInnerText.c_str(), static_cast<int>(m_strInnerText.size()), &rc,
                    DT_CALCRECT | (style.m_nTextAlign & ~0xFu));
    }

    size.cx = rc.right - rc.left + 2 * style.m_nMarginX;
    size.cy = rc.bottom - rc.top + 2 * style.m_nMarginY;
    return size;
}

void CBkWindow::OnMouseMove(UINT, POINT) {
    if ((m_uNotifyMask & BKNOTIFY_MOUSEENTER) && !m_bEntryReported) {
        m_bEntryReported = TRUE;
        SendCtrlNotify(BKNM_CTRLEVENT_MOUSEENTER);
    }
}

void CBkWindow::OnMouseLeave() {
    m_bEntryReported = FALSE;
    if (m_uNotifyMask & BKNOTIFY_MOUSELEAVE) SendCtrlNotify(BKNM_CTRLEVENT_MOUSELEAVE);
}

void CBkWindow::SendCtrlNotify(UINT uEvent) {
    if (m_hWndContainer == nullptr || !::IsWindow(m_hWndContainer)) return;
    BKNMCTRLNOTIFY nm = {};
    nm.hdr.hwndFrom = m_hWndContainer;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_hWndContainer));
    nm.hdr.code = BKNM_CTRLNOTIFY;
    nm.uItemID = m_uCmdID;
    nm.szItemClass = "wnd";
    nm.uEvent = uEvent;
    ::SendMessageW(m_hWndContainer, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}
