#include "ui/bkrichtext.h"

#include <algorithm>
#include <cctype>
#include <tinyxml.h>

#include "platform/strconv.h"
#include "ui/bkctrl_util.h"
#include "ui/bkdlgview.h"
#include "ui/bknotify.h"
#include "ui/bkvalue.h"

namespace {

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Attr(const TiXmlElement* elem, const char* name) {
    const char* value = elem->Attribute(name);
    return value ? value : "";
}

// The markup nests at most this deep; deeper elements are skipped so that
// hostile text cannot exhaust the stack.
const int kMaxMarkupDepth = 64;
// The largest pen offset markup may ask for, and the range the pen is kept
// in: far beyond any window, far from the limits of int.
const long long kMaxPenOffset = 0x7FFF;
const long long kPenLimit = 1 << 24;

int ClampPen(long long value) {
    return static_cast<int>(std::min(std::max(value, -kPenLimit), kPenLimit));
}

int FontHeight(HDC hdc, HFONT font) {
    HGDIOBJ old = ::SelectObject(hdc, font);
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(hdc, &tm);
    ::SelectObject(hdc, old);
    return tm.tmHeight;
}

} // namespace

CBkRichText::CBkRichText() = default;
CBkRichText::~CBkRichText() = default;

BOOL CBkRichText::Load(const TiXmlElement* pXmlElem) {
    if (!CBkWindow::Load(pXmlElem)) return FALSE;
    ReloadMarkup(pXmlElem);
    return TRUE;
}

void CBkRichText::ReloadMarkup(const TiXmlElement* pElem) {
    m_links.clear();
    m_bLinksLaidOut = FALSE;
    m_nHoverLink = -1;
    m_nPressedLink = -1;
    m_pMarkup.reset(new TiXmlElement("richtext"));
    if (pElem == nullptr) return;
    for (const TiXmlNode* child = pElem->FirstChild(); child != nullptr; child = child->NextSibling())
        m_pMarkup->InsertEndChild(*child);
}

HRESULT CBkRichText::SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) {
    HRESULT hr = CBkWindow::SetAttribute(strName, strValue, bLoading);
    if (SUCCEEDED(hr)) return hr;
    if (strName == "defaultfont") {
        m_defaultFont = static_cast<BkFontKey>(BkParseHex(strValue));
        return TRUE;
    }
    if (strName == "linkclass") {
        m_linkStyle = BkStyle::GetStyle(strValue);
        return TRUE;
    }
    if (strName == "forcecursor") {
        m_nForceCursor = BkParseInt(strValue);
        return TRUE;
    }
    if (strName == "adjustpos") {
        if (BkParseInt(strValue) != 0) m_byAdjusted = 1;
        return TRUE;
    }
    if (strName == "autoadjustyahei") {
        m_nAutoAdjustYaHei = BkParseInt(strValue);
        return FALSE;
    }
    return E_FAIL;
}

void CBkRichText::SetCursor() {
    const bool hand = m_nForceCursor != 0 || m_nHoverLink >= 0;
    ::SetCursor(::LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

int CBkRichText::LineLeft() const {
    return m_rcWindow.left + GetStyle().m_nMarginX;
}

int CBkRichText::LineRight() const {
    return m_rcWindow.right - GetStyle().m_nMarginX;
}

void CBkRichText::ResetLayout() {
    m_links.clear();
    m_bLinksLaidOut = FALSE;
    m_nHoverLink = -1;
    m_nPressedLink = -1;
    m_byAdjusted = 0;
}

int CBkRichText::AlignRaise(HDC hdc, BkFontKey key, UINT align) const {
    if (align == BKALIGN_TOP) return 0;
    const int diff = FontHeight(hdc, BkFontPool::GetFont(key)) -
                     FontHeight(hdc, BkFontPool::GetFont(static_cast<BkFontKey>(key & 0xFF)));
    return align == BKALIGN_MIDDLE ? diff / 2 : diff;
}

void CBkRichText::LayoutText(const std::wstring& text, Pen& pen, BkFontKey key) {
    if (text.empty()) return;
    const BkStyle& style = GetStyle();
    const int raise = pen.measureOnly ? 0 : AlignRaise(pen.hdc, key, pen.align);
    size_t at = 0;
    int lastWidth = 0;
    while (at < text.size()) {
        const int remaining = static_cast<int>(text.size() - at);
        int fit = 0;
        SIZE size = {0, 0};
        ::GetTextExtentExPointW(pen.hdc, text.c_str() + at, remaining, std::max(0, LineRight() - pen.x), &fit, nullptr,
                                &size);
        // At least one character per line, however narrow the control.
        fit = std::min(std::max(fit, 1), remaining);
        ::GetTextExtentPoint32W(pen.hdc, text.c_str() + at, fit, &size);
        lastWidth = size.cx;
        if (!pen.measureOnly) ::TextOutW(pen.hdc, pen.x, pen.y - raise, text.c_str() + at, fit);
        at += static_cast<size_t>(fit);
        if (at < text.size()) {
            pen.x = LineLeft();
            pen.y += style.m_nLineSpacing;
        }
    }
    pen.x += lastWidth + style.m_nSpacing;
}

void CBkRichText::RecordLink(const TiXmlElement* pElem, Pen& pen, BkFontKey key) {
    const BkStyle& style = GetStyle();
    Link link;
    for (const TiXmlNode* node = pElem->FirstChild(); node; node = node->NextSibling()) {
        if (const TiXmlText* text = node->ToText()) {
            link.strText = platform::Utf8ToWide(text->ValueStr());
            break;
        }
    }
    HGDIOBJ old = nullptr;
    if (m_linkStyle.m_hFont != nullptr) old = ::SelectObject(pen.hdc, m_linkStyle.m_hFont);
    SIZE size = {0, 0};
    ::GetTextExtentPoint32W(pen.hdc, link.strText.c_str(), static_cast<int>(link.strText.size()), &size);
    if (old != nullptr) ::SelectObject(pen.hdc, old);

    // Links are never split: one that does not fit starts the next line.
    if (pen.x + size.cx > LineRight()) {
        pen.x = LineLeft();
        pen.y += style.m_nLineSpacing;
    }
    const int top = pen.y - AlignRaise(pen.hdc, key, pen.align);
    ::SetRect(&link.rc, pen.x, top, pen.x + size.cx, top + size.cy);
    pen.x = link.rc.right + style.m_nSpacing;

    if (pen.measureOnly) return;  // the centring pass only measures
    UINT id = 0;
    link.nId = BkParseId(Attr(pElem, "id"), &id) ? static_cast<int>(id) : 0;
    link.strColor = Attr(pElem, "color");
    link.strHoverColor = Attr(pElem, "hover_color");
    m_links.push_back(link);
}

void CBkRichText::LayoutNode(const TiXmlNode* pNode, Pen& pen, BkFontKey key) {
    static thread_local int depth = 0;
    if (pNode == nullptr || depth >= kMaxMarkupDepth) return;

    if (const TiXmlText* text = pNode->ToText()) {
        LayoutText(platform::Utf8ToWide(text->ValueStr()), pen, key);
        return;
    }
    const TiXmlElement* elem = pNode->ToElement();
    if (elem == nullptr) return;

    const BkStyle& style = GetStyle();
    const std::string name = Lower(elem->ValueStr());
    COLORREF oldColor = CLR_INVALID;
    const UINT parentAlign = pen.align;
    bool measureChildren = pen.measureOnly;

    if (name == "b") {
        key |= BKF_BOLD;
    } else if (name == "i") {
        key |= BKF_ITALIC;
    } else if (name == "u") {
        key |= BKF_UNDERLINE;
    } else if (name == "s") {
        key |= static_cast<BkFontKey>(BkParseHex(Attr(elem, "size")) << 8);
    } else if (name == "c") {
        const COLORREF color = BkParseColor(Attr(elem, "color"));
        if (color != CLR_INVALID && !pen.measureOnly) oldColor = ::SetTextColor(pen.hdc, color);
    } else if (name == "g") {
        const std::string align = Attr(elem, "align");
        pen.align = align == "c" ? BKALIGN_MIDDLE : (align == "b" ? BKALIGN_BOTTOM : BKALIGN_TOP);
    } else if (name == "br") {
        pen.x = LineLeft();
        pen.y += style.m_nLineSpacing;
    } else if (name == "o") {
        // Offsets come from markup: clamped before they reach the pen, and the
        // wrap worked out in 64 bits, so no value can overflow the pen.
        const long long offset = std::min<long long>(BkParseHex(Attr(elem, "offset")) & 0x7FFFFFFF, kMaxPenOffset);
        const long long m = style.m_nMarginX;
        const long long width = m_rcWindow.right - m_rcWindow.left;
        const long long line = width - 2 * m;
        // Counted from the control's left edge so that a control away from
        // the window's left edge wraps the same way.
        const long long x = static_cast<long long>(pen.x) - m_rcWindow.left + offset;
        if (x > width - m) {
            if (line > 0) {
                pen.y = ClampPen(pen.y + ((x - 3 * m - 1) / line) * style.m_nLineSpacing);
                pen.x = ClampPen((x - m - width) % line + m + m_rcWindow.left);
            } else {
                pen.x = LineLeft();
                pen.y = ClampPen(static_cast<long long>(pen.y) + style.m_nLineSpacing);
            }
        } else {
            pen.x = ClampPen(x + m_rcWindow.left);
        }
    } else if (name == "a") {
        if (!m_bLinksLaidOut) {
            HFONT font = BkFontPool::GetFont(key);
            HGDIOBJ old = ::SelectObject(pen.hdc, font);
            RecordLink(elem, pen, key);
            ::SelectObject(pen.hdc, old);
            return;
        }
        // The link pass draws the text.
        measureChildren = true;
    }

    HGDIOBJ oldFont = ::SelectObject(pen.hdc, BkFontPool::GetFont(key));
    const bool parentMeasure = pen.measureOnly;
    pen.measureOnly = measureChildren;
    ++depth;
    for (const TiXmlNode* child = elem->FirstChild(); child != nullptr; child = child->NextSibling())
        LayoutNode(child, pen, key);
    --depth;
    pen.measureOnly = parentMeasure;
    ::SelectObject(pen.hdc, oldFont);
    if (oldColor != CLR_INVALID) ::SetTextColor(pen.hdc, oldColor);
    pen.align = parentAlign;
}

void CBkRichText::DrawLinks(HDC hdc) {
    if (m_links.empty()) return;
    const COLORREF base = IsDisabled(TRUE) ? m_linkStyle.m_crDisabledText : m_linkStyle.m_crText;
    if (base != CLR_INVALID) ::SetTextColor(hdc, base);
    HGDIOBJ oldFont = nullptr;
    if (m_linkStyle.m_hFont != nullptr) oldFont = ::SelectObject(hdc, m_linkStyle.m_hFont);

    for (size_t i = 0; i < m_links.size(); ++i) {
        const Link& link = m_links[i];
        bool changed = false;
        if (static_cast<int>(i) == m_nHoverLink) {
            if (m_linkStyle.m_hFont != nullptr && m_linkStyle.m_hFontHover != nullptr) {
                ::SelectObject(hdc, m_linkStyle.m_hFontHover);
                changed = true;
            }
            COLORREF hover = BkParseColor(link.strHoverColor);
            if (hover == CLR_INVALID && m_linkStyle.m_crText != CLR_INVALID) hover = m_linkStyle.m_crHoverText;
            if (hover != CLR_INVALID) {
                ::SetTextColor(hdc, hover);
                changed = true;
            }
        } else {
            const COLORREF own = BkParseColor(link.strColor);
            if (own != CLR_INVALID) {
                ::SetTextColor(hdc, own);
                changed = true;
            }
        }
        ::TextOutW(hdc, link.rc.left, link.rc.top, link.strText.c_str(), static_cast<int>(link.strText.size()));
        if (changed) {
            if (m_linkStyle.m_hFont != nullptr) ::SelectObject(hdc, m_linkStyle.m_hFont);
            if (base != CLR_INVALID) ::SetTextColor(hdc, base);
        }
    }
    if (oldFont != nullptr) ::SelectObject(hdc, oldFont);
}

void CBkRichText::Paint(HDC hdc) {
    if (hdc == nullptr || !m_pMarkup) return;
    TextDcScope scope(*this, hdc);
    const BkStyle& style = GetStyle();
    HGDIOBJ oldFont = ::SelectObject(hdc, BkFontPool::GetFont(m_defaultFont));

    RECT rcText = m_rcWindow;
    ::InflateRect(&rcText, -style.m_nMarginX, -style.m_nMarginY);
    if (m_nAutoAdjustYaHei != 0 && BkFontPool::IsYaHeiDefault() && m_byAdjusted == 0) {
        const int d = BkFontPool::GetFontSizeDelta(BkFontPool::GetFont(m_defaultFont));
        const int shift = -3 * d - 3;
        if (style.m_nTextAlign & DT_BOTTOM) {
            ::OffsetRect(&rcText, 0, shift);
            const LONG h = BkFontPool::GetDefaultHeight();
            const int minHeight = static_cast<int>(h < 0 ? -h : h) + 3 * d + 4;
            if (rcText.bottom - rcText.top < minHeight) rcText.bottom = rcText.top + minHeight;
        } else if (!(style.m_nTextAlign & DT_VCENTER)) {
            ::OffsetRect(&rcText, 0, shift);
        }
        m_rcWindow = rcText;
        m_byAdjusted = 1;
    }

    const int saved = ::SaveDC(hdc);
    ::IntersectClipRect(hdc, rcText.left, rcText.top, rcText.right, rcText.bottom);
    ::SetBkMode(hdc, TRANSPARENT);

    Pen pen = {hdc, static_cast<int>(rcText.left), static_cast<int>(rcText.top), false, BKALIGN_TOP};
    if (style.m_nTextAlign & DT_CENTER) {
        Pen measure = pen;
        measure.measureOnly = true;
        LayoutNode(m_pMarkup.get(), measure, m_defaultFont);
        pen.x = rcText.left + (rcText.right - measure.x) / 2;
    }
    LayoutNode(m_pMarkup.get(), pen, m_defaultFont);
    m_bLinksLaidOut = TRUE;
    DrawLinks(hdc);

    ::RestoreDC(hdc, saved);
    ::SelectObject(hdc, oldFont);
}

void CBkRichText::InvalidateLink(int) {
    BkInvalidateControl(*this);
}

void CBkRichText::SendLinkClick(int nLinkId) {
    HWND view = m_hWndContainer;
    if (view == nullptr || !::IsWindow(view)) return;
    HWND parent = ::GetParent(view);
    if (parent == nullptr) return;
    BKNMCOMMAND nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
    nm.hdr.code = BKNM_COMMAND;
    nm.uItemID = static_cast<UINT>(nLinkId);
    nm.szItemClass = "richtext";
    ::SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

BOOL CBkRichText::HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    switch (uMsg) {
    case WM_PAINT:
        Paint(reinterpret_cast<HDC>(wParam));
        break;
    case WM_WINDOWPOSCHANGED:
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        ResetLayout();
        break;
    case WM_MOUSEMOVE: {
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        int hit = -1;
        for (size_t i = 0; i < m_links.size(); ++i) {
            if (::PtInRect(&m_links[i].rc, pt)) {
                hit = static_cast<int>(i);
                break;
            }
        }
        if (hit != m_nHoverLink) {
            InvalidateLink(m_nHoverLink);
            m_nHoverLink = hit;
            InvalidateLink(hit);
        }
        break;
    }
    case WM_LBUTTONDOWN:
        m_nPressedLink = m_nHoverLink;
        break;
    case WM_LBUTTONUP: {
        const int pressed = m_nPressedLink;
        m_nPressedLink = -1;
        if (pressed >= 0 && pressed == m_nHoverLink && static_cast<size_t>(pressed) < m_links.size()) {
            // The owner may reload the markup in its handler: only a copy is sent.
            const int id = m_links[static_cast<size_t>(pressed)].nId;
            SendLinkClick(id);
            return TRUE;
        }
        break;
    }
    case WM_MOUSELEAVE:
        CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
        InvalidateLink(m_nHoverLink);
        m_nHoverLink = -1;
        break;
    default:
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
    lResult = 0;
    m_bMsgHandled = TRUE;
    return TRUE;
}

// The view's entry points for rich text live with the control.
BOOL CBkViewImpl::SetRichTextUtf8(UINT uItemID, const std::string& strMarkup) {
    CBkWindow* wnd = FindControl(uItemID);
    // "richtextex" is a name layouts may use, but no control of it exists.
    if (wnd == nullptr || !wnd->IsClass("richtext")) return FALSE;
    const std::string text = "<richtext>" + strMarkup + "</richtext>";
    TiXmlDocument doc;
    doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.Error() || doc.RootElement() == nullptr) return FALSE;
    static_cast<CBkRichText*>(wnd)->ReloadMarkup(doc.RootElement());
    InvalidateControl(wnd, TRUE);
    if (wnd->IsVisible(TRUE)) wnd->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    return TRUE;
}

BOOL CBkViewImpl::SetRichTextW(UINT uItemID, LPCWSTR lpszMarkup) {
    return SetRichTextUtf8(uItemID, platform::WideToUtf8(lpszMarkup ? lpszMarkup : L""));
}
