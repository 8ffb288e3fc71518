#pragma once
// The skins that draw with GDI: a bitmap strip ("imglst"), a nine-part frame
// ("imgframe"), a gradient button face ("button"), a horizontally extended
// three-part bar ("imghorzex") and a plain gradient ("gradation"). Bitmaps
// come from BkBmpPool; attribute values come from untrusted skin files, so
// every size is checked against the bitmap before it is drawn.
#include <string>
#include <windows.h>

#include "ui/bkdraw.h"
#include "ui/bkskinbase.h"

class CBkImageSkin : public CBkSkinBase, public CBkImage {
    BK_DECLARE_ELEMENT_NAME("imglst")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    // dwState is the sub-image index (-1: the whole strip).
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    SIZE GetSkinSize() override;
    BOOL IgnoreState() override;
    BOOL LazyLoad() override;

    BOOL IsLoaded() const { return m_bLoaded; }

protected:
    std::string m_strSrc;   // decimal resource id, read on first load
    int m_nStretchX = 0;
    int m_nStretchY = 0;
};

class CBkSkinImgFrame : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("imgframe")

public:
    // Which edges a frame draws; a corner is drawn when both its edges are.
    enum {
        FRAME_TOP = 0x01,
        FRAME_CENTER = 0x02,    // named by the part values, never drawn
        FRAME_BOTTOM = 0x04,
        FRAME_LEFT = 0x08,
        FRAME_RIGHT = 0x20,
        FRAME_ALL = 0x2F,
    };

    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    BOOL IgnoreState() override { return m_imgSkin.IgnoreState(); }
    BOOL LazyLoad() override;

protected:
    CBkImageSkin m_imgSkin;
    int m_nLeft = 0;
    int m_nTop = 0;
    COLORREF m_crBg = CLR_INVALID;
    UINT m_uPart = FRAME_ALL;
};

class CBkSkinButton : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("button")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    // dwState holds the control's BKSTATE_* bits.
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;

protected:
    COLORREF m_crBg = RGB(0xEE, 0xEE, 0xEE);
    COLORREF m_crBorder = RGB(0x70, 0x70, 0x70);
    COLORREF m_crBgUpNormal = RGB(0xEE, 0xEE, 0xEE);
    COLORREF m_crBgUpHover = RGB(0xEE, 0xEE, 0xEE);
    COLORREF m_crBgUpPush = RGB(0xCE, 0xCE, 0xCE);
    COLORREF m_crBgDownNormal = RGB(0xD6, 0xD6, 0xD6);
    COLORREF m_crBgDownHover = RGB(0xE0, 0xE0, 0xE0);
    COLORREF m_crBgDownPush = RGB(0xC0, 0xC0, 0xC0);
    int m_nUseBorder = 1;
};

class CBkSkinImgHorzExtend : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("imghorzex")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    // dwState holds the control's BKSTATE_* bits, or -1 for the whole strip.
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    SIZE GetSkinSize() override;
    BOOL IgnoreState() override { return m_imgSkin.IgnoreState(); }
    BOOL LazyLoad() override;

protected:
    CBkImageSkin m_imgSkin;
    int m_nLeft = 0;
};

class CBkSkinGradation : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("gradation")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    BOOL IgnoreState() override { return TRUE; }

protected:
    COLORREF m_crFrom = CLR_INVALID;
    COLORREF m_crTo = CLR_INVALID;
    BOOL m_bVertical = FALSE;
    int m_nSize = 0;
};
