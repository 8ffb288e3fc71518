#pragma once
// What the control tests share: a skin class that paints solid colours and
// records how it was asked to draw, and a window standing in for the view
// that records the notifications controls send to it.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/ui_tree/tree_helpers.h"
#include "ui/bknotify.h"
#include "ui/bkskinbase.h"

namespace ctrl_test {

using tree_test::Canvas;
using tree_test::LoadTree;
using tree_test::Rect;

const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kRed = RGB(0xFF, 0, 0);
const COLORREF kGreen = RGB(0, 0xFF, 0);
const COLORREF kBlue = RGB(0, 0, 0xFF);

struct SkinCall {
    std::string skin;
    std::string op;  // "Draw", "DrawAlpha", "DrawGray", "DrawStretch", "DrawTiled", ...
    RECT dest;
    RECT src;
    DWORD index;
    POINT points[3];
    int alpha;
};

// <tskin name="..." colors="ff0000,00ff00" cx="10" cy="8"/>: Draw fills with
// the colour of the index (the first for an index past the list), the other
// operations with the first colour; DrawToPoints draws nothing.
class RecordingSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("tskin")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override { Record("Draw", hdc, rcDraw, RECT{}, dwState); }
    void DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest, const Gdiplus::Rect& rcSrc,
                            Gdiplus::ImageAttributes* pAttributes) override;
    void DrawToPoints(HDC hdc, const POINT* pPoints, const RECT& rcSrc) override;
    void DrawAlpha(HDC hdc, const RECT& rcDest, const RECT& rcSrc, BYTE byAlpha) override {
        Record("DrawAlpha", hdc, rcDest, rcSrc, 0, byAlpha);
    }
    void DrawStretch(HDC hdc, const RECT& d, const RECT& s) override { Record("DrawStretch", hdc, d, s, 0); }
    void DrawGray(HDC hdc, const RECT& d, const RECT& s) override { Record("DrawGray", hdc, d, s, 0); }
    void DrawTiled(HDC hdc, const RECT& rcDraw) override { Record("DrawTiled", hdc, rcDraw, RECT{}, 0); }
    SIZE GetSkinSize() override { return size_; }
    BOOL LazyLoad() override { return TRUE; }

    static std::vector<SkinCall>& Calls();

private:
    void Record(const char* op, HDC hdc, const RECT& dest, const RECT& src, DWORD index, int alpha = -1);
    std::string name_;
    std::vector<COLORREF> colors_;
    SIZE size_ = {0, 0};
};

// Loads the given "<tskin .../>" elements as the skin table and clears the
// call log.
void SetSkins(const std::string& elements);
inline std::vector<SkinCall>& Calls() { return RecordingSkin::Calls(); }

// A top-level window standing in for the view. BKNM_INVALIDATERECT is
// answered with 7 and its item kept apart; with veto set, slider changes are
// refused.
class NotifyRecorder {
public:
    struct Record {
        NMHDR hdr;
        UINT item;
        int oldPos, newPos;
    };
    NotifyRecorder();
    HWND hwnd() const { return window_.hwnd(); }
    std::vector<Record> records;
    std::vector<UINT> invalidated;
    bool veto = false;

private:
    bool OnMessage(UINT msg, LPARAM lp, LRESULT& result);
    testing_support::HookWindow window_;
};

inline void Paint(CBkWindow* wnd, HDC hdc) { wnd->RedrawRegion(hdc, nullptr); }
inline CBkWindow* Find(CBkDialog* root, UINT id) { return root->FindChildByCmdID(id); }

} // namespace ctrl_test
