#pragma once
// Progress bars: "progress" fills a bar in proportion to value between min
// and max, optionally with a percent text that turns to the background
// colour where the bar covers it, or moves a block along for work of unknown
// length; "progressex" adds a text suffix and its own inset of the bar.
#include <string>

#include "ui/bkwnd.h"

class CBkSkinBase;

class CBkProgress : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("progress")

public:
    // Colours of the drawn outline and bar.
    static const COLORREF kOutlineColor = 0x707070;
    static const COLORREF kBarColor = 0x906142;
    // Growth and slide of the moving block per paint, and its full width.
    static const int kBlockStep = 10;
    static const int kBlockGrowLimit = 30;

    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Orders min and max, clamps the value into them and answers the filled
    // fraction (0 when max equals min).
    double NormalizeFraction();
    // Whole percent of the (normalized) value, truncated; counted in
    // integers so that 29 of 100 shows 29, not 28 through rounding.
    int GetPercent() const;
    // The percent text.
    virtual std::wstring PercentText(int nPercent) const;

    DWORD GetMin() const { return m_dwMin; }
    DWORD GetMax() const { return m_dwMax; }
    DWORD GetValue() const { return m_dwValue; }
    const RECT& GetBlockRect() const { return m_rcBlock; }
    // The rectangle the bar filled at the last paint.
    const RECT& GetFilledRect() const { return m_rcFilled; }

protected:
    // Insets of the bar inside the control: with a position skin of height
    // cySkin, or drawn (cySkin < 0).
    virtual void GetBarInsets(int nWidth, int nHeight, int cySkin, int* pdx, int* pdy) const;
    void OnProgressPaint(HDC hdc);
    void StepBlock();
    static void FillBar(HDC hdc, const RECT& rc);

    DWORD m_dwMin = 0;
    DWORD m_dwMax = 0;
    DWORD m_dwValue = 0;
    DWORD m_dwSkinPosX = 2;
    int m_nShowPercent = 0;
    int m_bFirstPaint = 1;
    int m_nProgressBar = 0;
    RECT m_rcBlock = {0, 0, 0, 0};
    int m_nBlockAnchor = 0;
    std::string m_strBgSkin;
    std::string m_strPosSkin;
    RECT m_rcFilled = {0, 0, 0, 0};
};

class CBkProgressEx : public CBkProgress {
    BK_DECLARE_ELEMENT_NAME("progressex")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    std::wstring PercentText(int nPercent) const override;

protected:
    void GetBarInsets(int nWidth, int nHeight, int cySkin, int* pdx, int* pdy) const override;

    std::wstring m_strExtendText;
    int m_nPosImgLeft = 2;
};

// Unsigned 32-bit decimal of an attribute: leading blanks and "+" allowed,
// a negative number or no digits read as 0, values past the range as the
// largest one.
DWORD BkParseUnsigned(const std::string& strValue);
