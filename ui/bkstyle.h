#pragma once
// Named visual styles, looked up by a control's "class" attribute, from XML
// resource 60001 (<style><class name="..." .../>...</style>). An unknown name
// gives the default style (the entry under the empty name). UI thread only.
#include <string>
#include <unordered_map>
#include <vector>
#include <windows.h>

#include "ui/bkobject.h"

class BkStyle : public CBkObject {
    BK_DECLARE_ELEMENT_NAME("style")

public:
    BkStyle();

    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;

    // Rebuilds the pool from every source of the resource (program first,
    // then the resource folder); the first definition of a name wins. FALSE
    // when no source exists or none is a well-formed style table.
    static BOOL LoadStyles();
    static BOOL LoadStylesFromSources(const std::vector<std::string>& sources);
    // Never null: an unknown name answers the default style. The reference
    // stays valid until the next load.
    static const BkStyle& GetStyle(const std::string& strName);

    COLORREF m_crBg;            // "crbg", CLR_INVALID = none
    COLORREF m_crBgHover;       // "crbghover"
    COLORREF m_crText;          // "crtext"
    COLORREF m_crHoverText;     // "crhover"
    COLORREF m_crDisabledText;  // "crdisabled"
    UINT m_nTextAlign;          // "textmode", DrawText format flags
    HFONT m_hFont;              // "font", from the font pool
    HFONT m_hFontHover;         // "hoverfont"
    int m_nMarginX;             // "x-margin"
    int m_nMarginY;             // "y-margin"
    int m_nSpacing;             // "spacing"
    int m_nLineSpacing;         // "linespacing"
    LPCWSTR m_lpCursorName;     // "cursor", a system cursor id
    std::string m_strSkinName;  // "skin"
    int m_nShadow;              // "shadow"
    int m_nGdiplus;             // "gdiplus"
    int m_nGdiplusCalcText;     // "gdipluscalctxt"
    int m_nYaHeiResizeDisable;  // "yhresizedisable"
    int m_nTextRenderingHint;   // "gditxtrndhit"
    COLORREF m_crShadow;        // "crshadow"
    int m_nAlphaBg;             // "alphabg", 0-255
    int m_nAlphaText;           // "alphatxt", 0-255
    int m_nBgGdiplus;           // "bggdiplus"
    std::string m_strName;      // "name"

private:
    typedef std::unordered_map<std::string, BkStyle> Pool;
    static Pool& StylePool();
    static void ResetPool(Pool& pool);
    static BOOL AddSource(const std::string& strXml);
};
