#pragma once
// A top-down 32-bit DIB selected into a memory DC, for tests that read back
// what was drawn. Fills are opaque; the background mode is transparent, as
// the view paints.
#include <windows.h>

#include <cstdint>

namespace testing_support {

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    void Fill(COLORREF color);
    void ClearAlpha();                  // every pixel 0: black, fully transparent
    COLORREF At(int x, int y) const;    // alpha dropped; CLR_INVALID outside the canvas
    uint32_t Raw(int x, int y) const;   // 0xAARRGGBB; a test failure outside the canvas
    // Pixels inside rc (or, with outside, outside rc) of exactly this colour,
    // and inside rc of another colour.
    int Count(const RECT& rc, COLORREF color, bool outside = false) const;
    int CountOther(const RECT& rc, COLORREF color) const;
    bool UnchangedOutside(const RECT& rc, COLORREF fill) const;
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
    uint32_t* bits_ = nullptr;
};

} // namespace testing_support
