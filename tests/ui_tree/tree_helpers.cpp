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

void SetStyles(const std::string& xml) {
    std::vector<std::string> sources;
    if (!xml.empty()) sources.push_back(xml);
    BkStyle::LoadStylesFromSources(sources);
}

void SetStrings(const std::string& xml) {
    std::vector<std::string> sources;
    if (!xml.empty()) sources.push_back(xml);
    BkString::LoadFromSources(sources);
}

void Place(CBkWindow* wnd, int x, int y, int cx, int cy) {
    WINDOWPOS wp = {};
    wp.x = x;
    wp.y = y;
    wp.cx = cx;
    wp.cy = cy;
    wnd->SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

RECT Rect(int l, int t, int r, int b) {
    RECT rc = {l, t, r, b};
    return rc;
}

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
    const DWORD px = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    for (int i = 0; i < w_ * h_; ++i) bits_[i] = px;
}

COLORREF Canvas::At(int x, int y) const {
    ::GdiFlush();
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return CLR_INVALID;
    DWORD px = bits_[y * w_ + x];
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

int Canvas::CountOther(const RECT& rc, COLORREF color) const {
    int n = 0;
    for (int y = std::max<LONG>(0, rc.top); y < std::min<LONG>(h_, rc.bottom); ++y)
        for (int x = std::max<LONG>(0, rc.left); x < std::min<LONG>(w_, rc.right); ++x)
            if (At(x, y) != color) ++n;
    return n;
}

int Canvas::Count(const RECT& rc, COLORREF color, bool outside) const {
    int n = 0;
    if (outside) {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                POINT pt = {x, y};
                if (!::PtInRect(&rc, pt) && At(x, y) == color) ++n;
            }
        return n;
    }
    for (int y = std::max<LONG>(0, rc.top); y < std::min<LONG>(h_, rc.bottom); ++y)
        for (int x = std::max<LONG>(0, rc.left); x < std::min<LONG>(w_, rc.right); ++x)
            if (At(x, y) == color) ++n;
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
