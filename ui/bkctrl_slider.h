#pragma once
// "slider": a horizontal slider, position 0-100, with a draggable thumb. Moves
// are offered to the view's owner (BKNM_SLIDER_POSCHANGING, which may veto
// them) and the end of a press is reported (BKNM_SLIDER_POSCHANGED).
#include "ui/bkwnd.h"

class BkSlider : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("slider")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    // The view ends a press by removing BKSTATE_PUSHED alone.
    DWORD ModifyState(DWORD dwAdd, DWORD dwRemove) override;

    int GetPos() const { return m_nPos; }
    const RECT& GetThumbRect() const { return m_rcThumb; }
    BOOL IsDragging() const { return m_bDragging; }

private:
    int ThumbWidth() const;
    void UpdateThumb();
    // Thumb left edge kept inside the control.
    int ClampThumbLeft(int left) const;
    int PosFromThumbLeft(int left) const;
    // Moves the thumb to the left edge and offers the new position; a veto
    // puts the thumb back.
    void MoveThumbTo(int left);
    // Sends the notification; answers its result (non-zero: veto).
    LRESULT Notify(UINT uCode, int nOldPos, int nNewPos);
    void OnLButtonDown(POINT pt);
    void OnMouseMoveThumb(POINT pt);
    void Paint(HDC hdc);

    int m_nPos = 0;
    std::string m_strSkinBg;
    std::string m_strSkinThumb;
    int m_nBgLeftMargin = 0;
    int m_nBgRightMargin = 0;
    int m_nBgTopMargin = 0;
    int m_nBgBottomMargin = 0;
    RECT m_rcThumb = {0, 0, 0, 0};
    int m_nDragOffset = 0;
    BOOL m_bDragging = FALSE;
    BOOL m_bThumbHover = FALSE;
};
