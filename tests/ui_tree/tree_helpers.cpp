#include "tests/ui_tree/tree_helpers.h"

#include <algorithm>
#include <ostream>
#include <tinyxml.h>

#include "platform/gdi.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"

namespace tree_test {

std::unique_ptr<CBkDialog> LoadTree(const std::string& xml, int w, int h, int x, int y) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.Error() || doc.RootElement() == nullptr) return nullptr;
    std::unique_ptr<CBkDialog> root(new CBkDialog);
    if (!root->Load(doc.RootElement())) return nullptr;
    Place(root.get(), x, y, w, h);
    return root;
}

static std::vector<std::string> Sources(const std::string& xml) {
    return xml.empty() ? std::vector<std::string>() : std::vector<std::string>{xml};
}
void SetStyles(const std::string& xml) { BkStyle::LoadStylesFromSources(Sources(xml)); }
void SetStrings(const std::string& xml) { BkString::LoadFromSources(Sources(xml)); }

void Place(CBkWindow* wnd, int x, int y, int cx, int cy) {
    WINDOWPOS wp = {};
    wp.x = x, wp.y = y, wp.cx = cx, wp.cy = cy;
    wnd->SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

Canvas::Canvas(int w, int h, COLORREF fill) : w_(w), h_(h) {
    dc_ = ::CreateCompatibleDC(nullptr);
    bmp_ = platform::CreateDib32(w, h, reinterpret_cast<void**>(&bits_));
    old_ = ::SelectObject(dc_, bmp_);
    ::SetBkMode(dc_, TRANSPARENT);
    Fill(fill);
}

Canvas::~Canvas() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bmp_);
    ::DeleteDC(dc_);
}

void Canvas::Fill(COLORREF color) {
    ::GdiFlush();
    std::fill(bits_, bits_ + w_ * h_, (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color));
}

COLORREF Canvas::At(int x, int y) const {
    ::GdiFlush();
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return CLR_INVALID;
    DWORD px = bits_[y * w_ + x];
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

int Canvas::CountOther(const RECT& rc, COLORREF color) const {
    RECT whole = {0, 0, w_, h_}, in = {};
    ::IntersectRect(&in, &rc, &whole);
    return (in.right - in.left) * (in.bottom - in.top) - Count(in, color);
}

int Canvas::Count(const RECT& rc, COLORREF color, bool outside) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            if ((::PtInRect(&rc, POINT{x, y}) != FALSE) != outside && At(x, y) == color) ++n;
    return n;
}

int Canvas::LowestRow(const RECT& rc, COLORREF color) const {
    for (int y = rc.bottom - 1; y >= rc.top; --y)
        for (int x = rc.left; x < rc.right; ++x)
            if (At(x, y) != color) return y;
    return -1;
}

int Canvas::HighestRow(const RECT& rc, COLORREF color) const {
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (At(x, y) != color) return y;
    return -1;
}

} // namespace tree_test

std::ostream& operator<<(std::ostream& os, const RECT& rc) {
    return os << "(" << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom << ")";
}
