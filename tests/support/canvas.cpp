#include "tests/support/canvas.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/gdi.h"

namespace testing_support {

Canvas::Canvas(int width, int height, COLORREF fill) : w_(width), h_(height) {
    dc_ = ::CreateCompatibleDC(nullptr);
    bmp_ = platform::CreateDib32(width, height, reinterpret_cast<void**>(&bits_));
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
    std::fill(bits_, bits_ + w_ * h_, 0xFF000000u | (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color));
}

void Canvas::ClearAlpha() {
    ::GdiFlush();
    std::fill(bits_, bits_ + w_ * h_, 0u);
}

uint32_t Canvas::Raw(int x, int y) const {
    ::GdiFlush();
    if (x < 0 || y < 0 || x >= w_ || y >= h_) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is outside the canvas";
        return 0;
    }
    return bits_[y * w_ + x];
}

COLORREF Canvas::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return CLR_INVALID;
    const uint32_t px = Raw(x, y);
    return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
}

int Canvas::Count(const RECT& rc, COLORREF color, bool outside) const {
    int n = 0;
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            if ((::PtInRect(&rc, POINT{x, y}) != FALSE) != outside && At(x, y) == color) ++n;
    return n;
}

int Canvas::CountOther(const RECT& rc, COLORREF color) const {
    RECT whole = {0, 0, w_, h_}, in = {};
    ::IntersectRect(&in, &rc, &whole);
    return (in.right - in.left) * (in.bottom - in.top) - Count(in, color);
}

bool Canvas::UnchangedOutside(const RECT& rc, COLORREF fill) const {
    RECT whole = {0, 0, w_, h_}, in = {};
    ::IntersectRect(&in, &rc, &whole);
    return Count(rc, fill, true) == w_ * h_ - (in.right - in.left) * (in.bottom - in.top);
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

} // namespace testing_support
