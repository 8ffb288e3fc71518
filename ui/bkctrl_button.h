#pragma once
// Skin button ("skinbtn"): a skin picked by state (normal, hover, pushed,
// disabled) with the inner text over it.
#include <string>

#include "ui/bkwnd.h"

class CBkSkinBase;

class CBkSkinBtnWnd : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("skinbtn")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL NeedsRedrawOnStateChange() override { return TRUE; }
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Own skin, else the style's; null when neither names an existing skin.
    CBkSkinBase* FindButtonSkin() const;
    DWORD GetSkinIndex() const;

protected:
    void OnButtonPaint(HDC hdc);

    std::string m_strSkin;
};
