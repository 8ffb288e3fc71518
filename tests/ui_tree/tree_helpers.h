#pragma once
// Control trees built from layout text for the tests.
#include <memory>
#include <ostream>
#include <string>
#include <vector>
#include <windows.h>

#include "ui/bkcontainer.h"

namespace tree_test {

// Loads the root "dlg" of the text and places it at (x, y) in a w x h area,
// as the view places its parts. Null when the text does not parse.
std::unique_ptr<CBkDialog> LoadTree(const std::string& xml, int w = 400, int h = 300, int x = 0, int y = 0);

// Replaces the style table with the given "<style>...</style>" text and the
// string table with "<string>...</string>" (empty: an empty table).
void SetStyles(const std::string& xml);
void SetStrings(const std::string& xml);

// Places a control as a container would (WM_WINDOWPOSCHANGED).
void Place(CBkWindow* wnd, int x, int y, int cx, int cy);

RECT Rect(int l, int t, int r, int b);

// A top-down 32-bit DIB in a memory DC, filled with one colour, with the
// background mode transparent as the view paints.
class Canvas {
public:
    Canvas(int w, int h, COLORREF fill = RGB(0x80, 0x80, 0x80));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    void Fill(COLORREF color);
    void Clear() { Fill(RGB(0x80, 0x80, 0x80)); }   // back to the default grey
    COLORREF At(int x, int y) const;                 // CLR_INVALID outside the canvas
    // Pixels inside rc of another colour than the given one.
    int CountOther(const RECT& rc, COLORREF color) const;
    // Pixels inside rc (or, with outside, outside rc) of exactly this colour.
    int Count(const RECT& rc, COLORREF color, bool outside = false) const;
    // Lowest and highest rows inside rc holding a pixel of another colour;
    // -1 when there is none.
    int LowestRow(const RECT& rc, COLORREF color) const;
    int HighestRow(const RECT& rc, COLORREF color) const;

private:
    int w_;
    int h_;
    HDC dc_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// A "dlg" that lets a test add hand-made children (controls of elements that
// the table does not create, e.g. stand-ins for real windows).
class TestDialog : public CBkDialog {
public:
    CBkWindow* Adopt(CBkWindow* child) {
        child->SetParentHandle(GetBkHwnd());
        child->SetContainer(GetContainer());
        m_lstChildren.emplace_back(child);
        return child;
    }
};

} // namespace tree_test

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::ostream& operator<<(std::ostream& os, const RECT& rc);
