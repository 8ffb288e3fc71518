#pragma once
// "richtext": a short marked-up text (bold, italic, underline, size, colour,
// vertical alignment of runs, line breaks, pen offsets) wrapped at character
// granularity, with links that report their id to the window that owns the
// view. The markup is a private copy of the element's XML children.
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "ui/bkfontpool.h"
#include "ui/bkstyle.h"
#include "ui/bkwnd.h"

class TiXmlElement;
class TiXmlNode;

class CBkRichText : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("richtext")

public:
    struct Link {
        std::wstring strText;
        RECT rc;
        int nId;
        std::string strColor;       // RRGGBB or empty
        std::string strHoverColor;  // RRGGBB or empty
    };

    CBkRichText();
    ~CBkRichText() override;

    BOOL Load(const TiXmlElement* pXmlElem) override;
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void SetCursor() override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Replaces the markup by the children of the element; links are laid out
    // again at the next paint.
    void ReloadMarkup(const TiXmlElement* pElem);

    const std::vector<Link>& GetLinks() const { return m_links; }
    BOOL AreLinksLaidOut() const { return m_bLinksLaidOut; }
    int GetHoverLink() const { return m_nHoverLink; }

private:
    // Pen and state of one layout pass.
    struct Pen {
        HDC hdc;
        int x;
        int y;
        bool measureOnly;
        UINT align;  // BKALIGN_TOP, _MIDDLE or _BOTTOM
    };

    void Paint(HDC hdc);
    void LayoutNode(const TiXmlNode* pNode, Pen& pen, BkFontKey key);
    void LayoutText(const std::wstring& text, Pen& pen, BkFontKey key);
    void RecordLink(const TiXmlElement* pElem, Pen& pen, BkFontKey key);
    void DrawLinks(HDC hdc);
    // How far a run of the key is raised for centre or bottom alignment.
    int AlignRaise(HDC hdc, BkFontKey key, UINT align) const;
    void ResetLayout();
    void InvalidateLink(int nIndex);
    void SendLinkClick(int nLinkId);
    int LineLeft() const;
    int LineRight() const;

    std::unique_ptr<TiXmlElement> m_pMarkup;
    BkFontKey m_defaultFont = 0;
    BkStyle m_linkStyle;
    BOOL m_bLinksLaidOut = FALSE;
    int m_nHoverLink = -1;
    int m_nPressedLink = -1;
    BYTE m_byAdjusted = 0;
    int m_nForceCursor = 0;
    int m_nAutoAdjustYaHei = 1;
    std::vector<Link> m_links;
    size_t m_nNextLink = 0;  // links met so far in a pass after they were recorded
};
