#pragma once
// What the control tests share: a skin class that paints solid colours and
// records how it was asked to draw, a 32-bit drawing surface, and a window
// that records the notifications controls send to their container.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/ui_tree/tree_helpers.h"
#include "ui/bkskinbase.h"

namespace ctrl_test {

// One call made on a recording skin.
struct SkinCall {
    std::string skin;   // the skin's name
    std::string op;     // "Draw", "DrawToPoints", "DrawStretch", "DrawTiled", "DrawWithAttributes"
    RECT dest;
    RECT src;
    DWORD index;
    POINT points[3];
};

// <tskin name="..." colors="ff0000,00ff00" cx="10" cy="8"/>: Draw fills the
// rectangle with the colour of the index (the first for -1 or an index past
// the list); the other operations fill the destination with the first
// colour. Every call is recorded in Calls().
class RecordingSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("tskin")

public:
    HRESULT SetAttribute(const std::string& strName, const std::string& strValue, BOOL bLoading) override;
    void Draw(HDC hdc, const RECT& rcDraw, DWORD dwState) override;
    void DrawWithAttributes(Gdiplus::Graphics* pGraphics, const Gdiplus::Rect& rcDest, const Gdiplus::Rect& rcSrc,
                            Gdiplus::ImageAttributes* pAttributes) override;
    void DrawToPoints(HDC hdc, const POINT* pPoints, const RECT& rcSrc) override;
    void DrawStretch(HDC hdc, const RECT& rcDest, const RECT& rcSrc) override;
    void DrawTiled(HDC hdc, const RECT& rcDraw) override;
    SIZE GetSkinSize() override { return size_; }
    BOOL LazyLoad() override { return TRUE; }

    static std::vector<SkinCall>& Calls();

private:
    COLORREF ColorOf(DWORD index) const;
    std::string name_;
    std::vector<COLORREF> colors_;
    SIZE size_ = {0, 0};
};

// Registers the recording skin class once and loads the given skins
// ("<tskin .../>" elements without the root), clearing the call log.
void SetSkins(const std::string& elements);

// The drawing surface of the tree tests.
using tree_test::Canvas;

// A plain top-level window that stands for a view: it records every
// WM_NOTIFY (BKNM_INVALIDATERECT records in particular).
class NotifyRecorder {
public:
    struct Record {
        WPARAM wParam;
        NMHDR hdr;
        UINT item;
        RECT rect;
    };
    NotifyRecorder();
    ~NotifyRecorder();
    HWND hwnd() const { return hwnd_; }
    std::vector<Record> records;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

// Paints a control as the view does: background, then its own paint.
void Paint(CBkWindow* wnd, HDC hdc);

// The first control of the tree with the command id.
CBkWindow* Find(CBkDialog* root, UINT id);

} // namespace ctrl_test
