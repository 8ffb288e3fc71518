#pragma once
// Control trees built from layout text for the tests.
#include <memory>
#include <ostream>
#include <string>
#include <vector>
#include <windows.h>

#include "tests/support/canvas.h"
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

// A canvas of the default grey unless told otherwise.
struct Canvas : testing_support::Canvas {
    explicit Canvas(int w, int h, COLORREF fill = RGB(0x80, 0x80, 0x80)) : testing_support::Canvas(w, h, fill) {}
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
