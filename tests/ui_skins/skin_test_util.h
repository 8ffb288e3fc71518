#pragma once
// Drawing surfaces and image files made on the spot for the skin tests.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include "tests/support/canvas.h"

namespace skintest {

// 0xAARRGGBB, as the test images are described.
using PixelFn = std::function<uint32_t(int x, int y)>;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);

inline uint32_t Argb(COLORREF c, int alpha = 255)
{
    return (static_cast<uint32_t>(alpha) << 24) | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// A skin of the given element, loaded from an attribute list such as
// `src="5" subwidth="10"` and made ready.
template <class T>
std::unique_ptr<T> MakeSkin(const std::string& attributes)
{
    std::string xml = "<skins><" + std::string(T::ElementName()) + " name=\"s\" " + attributes + "/></skins>";
    TiXmlDocument doc;
    doc.Parse(xml.c_str());
    std::unique_ptr<T> skin(new T);
    skin->Load(doc.RootElement()->FirstChildElement());
    skin->LazyLoad();
    return skin;
}

// A canvas, white unless told otherwise.
struct Canvas : testing_support::Canvas {
    Canvas(int width, int height, COLORREF fill = kWhite) : testing_support::Canvas(width, height, fill) {}
};

// Whether two colours differ by at most `tolerance` in every channel.
bool Near(COLORREF a, COLORREF b, int tolerance = 3);

// The bytes of a bottom-up .bmp file of 24 or 32 bits per pixel.
std::string MakeBmp(int width, int height, int bitsPerPixel, const PixelFn& pixel);

// The bytes of a PNG or JPG file encoded with GDI+ from a 32-bit ARGB image
// (format "png" or "jpg"); empty when the encoder is missing.
std::string EncodeImage(int width, int height, const PixelFn& pixel, const wchar_t* format);

// Expects each listed pixel of the canvas to have its colour.
struct Px { int x, y; COLORREF color; };
inline void ExpectPixels(const Canvas& canvas, std::initializer_list<Px> pixels)
{
    for (const Px& p : pixels)
        EXPECT_EQ(canvas.At(p.x, p.y), p.color) << "at " << p.x << "," << p.y;
}

} // namespace skintest
