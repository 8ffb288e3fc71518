#pragma once
// "hr": a straight line from the control's top-left to its bottom-right
// corner in the control's (or its style's) background colour.
#include "ui/bkwnd.h"

class CBkLine : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("hr")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    int GetPenStyle() const { return m_nPenStyle; }
    int GetLineSize() const { return m_nLineSize; }

private:
    void DrawLine(HDC hdc);

    int m_nPenStyle = PS_SOLID;
    int m_nLineSize = 1;
    int m_nGdiplus = 0;
};
