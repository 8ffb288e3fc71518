// GDI+ image skins and pools. The PNG and JPG images are encoded with GDI+
// at run time into a temporary resource folder; each test has its own ids,
// as the pools keep every image for the whole run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/strconv.h"
#include "skin_test_util.h"
#include "tests/support/test_support.h"
#include "tests/ui_foundation/resource_folder.h"
#include "ui/bkpngpool.h"
#include "ui/bkpngskin.h"

using namespace skintest;

namespace {

const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kHalfBlueOnWhite = RGB(127, 127, 255);
const RECT kNothing = {0, 0, 0, 0};

#define EXPECT_NEAR_COLOUR(canvas, x, y, want, tolerance) \
    EXPECT_TRUE(Near((canvas).At(x, y), want, tolerance)) << std::hex << (canvas).At(x, y) << " at " << std::dec << x << "," << y

class PngSkinTest : public ::testing::Test {
protected:
    ResourceFolder folder_;

    void WriteImage(UINT id, const wchar_t* type, int w, int h, const PixelFn& fn) {
        std::string bytes = EncodeImage(w, h, fn, type);
        ASSERT_FALSE(bytes.empty()) << "no GDI+ encoder for " << platform::WideToUtf8(type);
        ASSERT_TRUE(folder_.Write(id, type, bytes));
    }
    std::string FilePath(const wchar_t* name) const { return platform::WideToAnsi(folder_.Path() + L"\\" + name); }
};

uint32_t Solid(COLORREF c) { return Argb(c); }

// Four 36 x 12 sub-images: red, green, blue, yellow.
uint32_t FourStates(int x, int) {
    static const COLORREF colors[] = {kRed, kGreen, kBlue, kYellow};
    return Argb(colors[(x / 36) % 4]);
}

} // namespace

TEST_F(PngSkinTest, PoolsDecodeOnceAndBrokenImagesDrawNothing) {
    WriteImage(2001, L"png", 8, 4, [](int, int) { return Solid(kRed); });
    WriteImage(2003, L"jpg", 8, 4, [](int, int) { return Solid(kRed); });
    Gdiplus::Image* png = BkPngPool::Get(2001);
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->GetWidth(), 8u);
    EXPECT_EQ(BkPngPool::Get(2001), png);
    EXPECT_TRUE(BkGetImageSize(BkJpgPool::Get(2003), nullptr, nullptr));
    // A missing id is kept as an image that failed to decode, also once the file appears.
    Gdiplus::Image* missing = BkPngPool::Get(2002);
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(BkGetImageSize(missing, nullptr, nullptr));
    WriteImage(2002, L"png", 8, 4, [](int, int) { return Solid(kRed); });
    EXPECT_EQ(BkPngPool::Get(2002), missing);
    EXPECT_EQ(BkJpgPool::Get(2004), BkJpgPool::Get(2004));

    std::string whole = EncodeImage(16, 16, [](int, int) { return Solid(kRed); }, L"png");
    ASSERT_TRUE(folder_.Write(2011, L"png", whole.substr(0, whole.size() / 2)));   // cut short
    ASSERT_TRUE(folder_.Write(2012, L"png", "\x89PNG\r\n\x1a\n garbage"));
    ASSERT_TRUE(folder_.Write(2013, L"jpg", "\xFF\xD8\xFF garbage"));
    std::vector<std::unique_ptr<CBkSkinBase>> skins;
    for (const char* attrs : {"src=\"2010\"", "src=\"2011\"", "src=\"2012\" subwidth=\"4\"",
                              "src=\"2012\" tile_stretch=\"1\" left=\"3\" top=\"3\""})
        skins.push_back(MakeSkin<CBkPngSkin>(attrs));
    skins.push_back(MakeSkin<CBkJpgSkin>("src=\"2013\""));
    skins.push_back(MakeSkin<CBkJpgSkin>("src=\"2014\" margin_left=\"3\""));
    skins.push_back(MakeSkin<CBkNormalPngSkin>("src=\"2015\""));
    skins.push_back(MakeSkin<CBkNormalPngSkin>("src=\"2013\" file=\"no such file.png\""));
    Canvas canvas(40, 40);
    RECT rc = {0, 0, 40, 40};
    for (auto& skin : skins) {
        skin->Draw(canvas.dc(), rc, 0);
        skin->DrawTiled(canvas.dc(), rc);
        skin->DrawGray(canvas.dc(), rc, rc);
        skin->DrawAlpha(canvas.dc(), rc, rc, 200);
        skin->DrawStretch(canvas.dc(), rc, rc);
        skin->DrawMirrored(canvas.dc(), rc);
        EXPECT_EQ(skin->GetSkinSize().cx, 0);
    }
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));
}

TEST_F(PngSkinTest, SubImagesWrapAroundTheStrip) {
    WriteImage(2020, L"png", 144, 12, FourStates);
    auto skin = MakeSkin<CBkPngSkin>("src=\"2020\" subwidth=\"36\"");
    EXPECT_EQ(skin->GetSkinSize().cx, 36);
    Canvas canvas(60, 20);
    RECT rc = {4, 4, 60, 20};
    const struct { DWORD index; COLORREF color; } cases[] = {
        {1, kGreen}, {5, kGreen}, {static_cast<DWORD>(-1), kYellow}, {0, kRed}, {2, kBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        canvas.Fill(kWhite);
        skin->Draw(canvas.dc(), rc, c.index);
        ExpectPixels(canvas, {{4, 4, c.color}, {39, 15, c.color}});
        EXPECT_TRUE(canvas.UnchangedOutside(RECT{4, 4, 40, 16}, kWhite));
    }
}

TEST_F(PngSkinTest, PerPixelAlphaBlendsOverTheDestination) {
    // Left: transparent; middle: half red; right: opaque blue.
    WriteImage(2021, L"png", 30, 4, [](int x, int) { return x < 10 ? Argb(kRed, 0) : x < 20 ? Argb(kRed, 128) : Solid(kBlue); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2021\"");
    Canvas canvas(30, 4, kGreen);
    RECT rc = {0, 0, 30, 4};
    skin->Draw(canvas.dc(), rc, 0);
    ExpectPixels(canvas, {{5, 1, kGreen}, {25, 1, kBlue}});
    EXPECT_NEAR_COLOUR(canvas, 15, 1, RGB(128, 127, 0), 4);
    // DrawAlpha at half opacity on top of the per-pixel alpha.
    canvas.Fill(kWhite);
    skin->DrawAlpha(canvas.dc(), rc, rc, 128);
    EXPECT_NEAR_COLOUR(canvas, 25, 1, kHalfBlueOnWhite, 4);
    EXPECT_EQ(canvas.At(5, 1), kWhite);
}

TEST_F(PngSkinTest, MarginsKeepCapsAndStretchOrTileTheMiddle) {
    // 5 red | 10 green | 5 half-transparent blue.
    WriteImage(2022, L"png", 20, 6, [](int x, int) { return x < 5 ? Solid(kRed) : x < 15 ? Solid(kGreen) : Argb(kBlue, 128); });
    Canvas canvas(220, 100);
    RECT rc = {10, 2, 210, 8};
    MakeSkin<CBkPngSkin>("src=\"2022\" margin_left=\"5\" margin_right=\"5\"")->Draw(canvas.dc(), rc, 0);
    ExpectPixels(canvas, {{10, 2, kRed}, {14, 7, kRed}, {16, 4, kGreen}, {110, 4, kGreen}, {203, 4, kGreen}});
    // The half-transparent right cap is blended once, not twice.
    EXPECT_NEAR_COLOUR(canvas, 205, 4, kHalfBlueOnWhite, 4);
    EXPECT_NEAR_COLOUR(canvas, 209, 7, kHalfBlueOnWhite, 4);
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite));

    // 2 red | yellow marker | 15 green | 2 blue: tiled pieces of 16, 16 and 14 start at 2, 18 and 34.
    WriteImage(2023, L"png", 20, 4, [](int x, int) { return Solid(x < 2 ? kRed : x == 2 ? kYellow : x < 18 ? kGreen : kBlue); });
    canvas.Fill(kWhite);
    RECT tiled = {0, 0, 50, 4};
    MakeSkin<CBkPngSkin>("src=\"2023\" middle_tile=\"1\" margin_left=\"2\" margin_right=\"2\"")->Draw(canvas.dc(), tiled, 0);
    ExpectPixels(canvas, {{1, 0, kRed}, {2, 0, kYellow}, {17, 0, kGreen}, {18, 0, kYellow}, {33, 0, kGreen},
                          {34, 0, kYellow}, {47, 3, kGreen}, {48, 0, kBlue}, {49, 3, kBlue}});

    WriteImage(2024, L"png", 10, 30, [](int, int y) { return Solid(y < 5 ? kRed : y < 25 ? kGreen : kBlue); });
    canvas.Fill(kWhite);
    RECT bar = {0, 0, 10, 100};
    MakeSkin<CBkPngSkin>("src=\"2024\" margin_top=\"5\" margin_bottom=\"5\"")->Draw(canvas.dc(), bar, 0);
    ExpectPixels(canvas, {{5, 0, kRed}, {5, 4, kRed}, {5, 6, kGreen}, {5, 93, kGreen}, {5, 95, kBlue}, {9, 99, kBlue}});
}

TEST_F(PngSkinTest, EightPieceFrameLeavesTheCentreUntouched) {
    // 200 x 100, split at column 150 and row 65: corners red, edges green.
    WriteImage(2025, L"png", 200, 100, [](int x, int y) { return Solid(x == 150 || y == 65 ? kGreen : kRed); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2025\" tile_stretch=\"1\" left=\"150\" top=\"65\" margin_bottom=\"16\"");
    Canvas canvas(320, 220, kBlue);
    RECT rc = {10, 10, 310, 210};
    skin->Draw(canvas.dc(), rc, 0);
    ExpectPixels(canvas, {{10, 10, kRed}, {159, 74, kRed}, {309, 10, kRed}, {261, 10, kRed},   // corners
                          {200, 10, kGreen}, {10, 120, kGreen}, {309, 120, kGreen},            // edges
                          {10, 209, kRed}, {200, 209, kGreen}, {200, 120, kBlue}, {170, 150, kBlue}});
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kBlue));
}

TEST_F(PngSkinTest, FlipMirrorStretchTileGreyAndPoints) {
    WriteImage(2026, L"png", 20, 4, [](int x, int) { return Solid(x < 10 ? kRed : kBlue); });
    auto plain = MakeSkin<CBkPngSkin>("src=\"2026\"");
    Canvas canvas(40, 30);
    RECT rc = {0, 0, 20, 4};
    MakeSkin<CBkPngSkin>("src=\"2026\" flip=\"1\"")->Draw(canvas.dc(), rc, 0);
    ExpectPixels(canvas, {{2, 1, kBlue}, {17, 1, kRed}});
    plain->Draw(canvas.dc(), rc, 0);   // the pooled image was not flipped in place
    ExpectPixels(canvas, {{2, 1, kRed}, {17, 1, kBlue}});
    plain->DrawMirrored(canvas.dc(), rc);
    EXPECT_EQ(canvas.At(2, 1), kBlue);
    plain->DrawStretch(canvas.dc(), rc, rc);
    EXPECT_EQ(canvas.At(2, 1), kRed);

    WriteImage(2027, L"png", 10, 10, [](int, int) { return Solid(kRed); });
    auto square = MakeSkin<CBkPngSkin>("src=\"2027\"");
    canvas.Fill(kWhite);
    RECT area = {0, 0, 35, 25};
    square->DrawTiled(canvas.dc(), area);
    ExpectPixels(canvas, {{0, 0, kRed}, {29, 19, kRed}, {32, 5, kWhite}, {5, 22, kWhite}});   // no partial copies
    canvas.Fill(kWhite);
    RECT dest = {0, 0, 20, 20}, src = {0, 0, 10, 10};
    square->DrawGray(canvas.dc(), dest, src);
    EXPECT_NEAR_COLOUR(canvas, 10, 10, RGB(76, 76, 76), 2);
    EXPECT_EQ(canvas.At(25, 10), kWhite);

    // Parts through the caller's GDI+ graphics, and to a parallelogram as image controls slant.
    canvas.Fill(kWhite);
    {
        Gdiplus::Graphics graphics(canvas.dc());
        plain->DrawPart(&graphics, Gdiplus::Rect(0, 0, 10, 4), Gdiplus::Rect(10, 0, 10, 4));
        plain->DrawWithAttributes(&graphics, Gdiplus::Rect(20, 0, 10, 4), Gdiplus::Rect(0, 0, 10, 4), nullptr);
    }
    POINT points[3] = {{0, 5}, {20, 5}, {0, 9}};
    plain->DrawToPoints(canvas.dc(), points, rc);
    ExpectPixels(canvas, {{5, 1, kBlue}, {25, 1, kRed}, {35, 1, kWhite}, {3, 7, kRed}, {17, 7, kBlue}});
}

TEST_F(PngSkinTest, AbsurdMarginsStayInsideTheRectangle) {
    WriteImage(2028, L"png", 20, 6, [](int, int) { return Solid(kRed); });
    Canvas canvas(200, 40);
    RECT rc = {50, 10, 150, 30};
    for (const char* attrs : {"margin_left=\"1000\" margin_right=\"1000\"", "margin_top=\"500\" margin_bottom=\"900\"",
                              "left=\"99999\" top=\"-4\" margin_left=\"3\"", "subwidth=\"5000\"",
                              "middle_tile=\"1\" margin_left=\"10\" margin_right=\"10\"",
                              "tile_stretch=\"1\" left=\"500\" top=\"500\" margin_bottom=\"900\""}) {
        auto skin = MakeSkin<CBkPngSkin>(std::string("src=\"2028\" ") + attrs);
        canvas.Fill(kWhite);
        skin->Draw(canvas.dc(), rc, 0);
        skin->Draw(canvas.dc(), rc, 0x7FFFFFFF);
        EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite)) << attrs;
    }
}

TEST_F(PngSkinTest, StretchIntoATransparentSurfaceKeepsTheImagesAlpha) {
    // Layered windows (the drop shadow) stretch skins into a cleared 32-bit
    // surface and hand its alpha to the system.
    WriteImage(2060, L"png", 4, 4, [](int x, int) { return x < 2 ? Argb(kRed, 128) : Solid(kBlue); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2060\"");
    Canvas canvas(8, 8);
    canvas.ClearAlpha();
    RECT dest = {0, 0, 8, 8}, src = {0, 0, 4, 4};
    skin->DrawStretch(canvas.dc(), dest, src);
    // Premultiplied, as the system wants it; the stretched edges do not fade
    // into the transparency beyond the image.
    EXPECT_EQ(canvas.Raw(5, 4), 0xFF0000FFu) << std::hex << canvas.Raw(5, 4);
    EXPECT_EQ(canvas.Raw(7, 7), 0xFF0000FFu) << std::hex << canvas.Raw(7, 7);
    EXPECT_NEAR(static_cast<int>(canvas.Raw(0, 0) >> 24), 128, 2) << std::hex << canvas.Raw(0, 0);
    EXPECT_NEAR(static_cast<int>((canvas.Raw(0, 0) >> 16) & 0xFF), 128, 2) << std::hex << canvas.Raw(0, 0);
}

TEST_F(PngSkinTest, JpgDrawsCapsSubImagesAndGrey) {
    WriteImage(2030, L"jpg", 40, 20, [](int x, int) { return Solid(x < 20 ? kRed : kBlue); });
    auto skin = MakeSkin<CBkJpgSkin>("src=\"2030\" margin_left=\"8\" margin_right=\"8\"");
    Canvas canvas(120, 30);
    RECT rc = {10, 5, 110, 25};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_NEAR_COLOUR(canvas, 30, 15, kRed, 40);
    EXPECT_NEAR_COLOUR(canvas, 106, 15, kBlue, 40);
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite));

    auto strip = MakeSkin<CBkJpgSkin>("src=\"2030\" subwidth=\"20\"");
    canvas.Fill(kWhite);
    strip->Draw(canvas.dc(), rc, 2);   // past the strip: nothing
    strip->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));
    strip->Draw(canvas.dc(), rc, 1);
    EXPECT_NEAR_COLOUR(canvas, 15, 15, kBlue, 40);
    EXPECT_EQ(canvas.At(35, 15), kWhite);

    RECT src = {0, 0, 20, 20};
    skin->DrawGray(canvas.dc(), rc, src);
    COLORREF grey = canvas.At(50, 15);
    EXPECT_TRUE(Near(grey, RGB(76, 76, 76), 40)) << std::hex << grey;
    EXPECT_LE(std::abs(GetRValue(grey) - GetBValue(grey)), 4);
}

TEST_F(PngSkinTest, NormalSkinLoadsFromResourceOrFileAtItsOpacity) {
    WriteImage(2040, L"png", 10, 4, [](int, int) { return Solid(kRed); });
    WriteImage(2042, L"jpg", 10, 4, [](int, int) { return Solid(kGreen); });
    ASSERT_TRUE(testing_support::WriteFileBytes(folder_.Path() + L"\\blue.png",
                                                EncodeImage(10, 4, [](int, int) { return Solid(kBlue); }, L"png")));
    const std::wstring ini = folder_.Path() + L"\\skincfg.ini";
    ASSERT_TRUE(testing_support::WriteFileBytes(ini, "[alpha]\r\nk1=64\r\nhuge=9999\r\n"));
    CBkNormalSkin::SetAlphaConfigFile(ini);
    auto keyed = MakeSkin<CBkNormalPngSkin>("src=\"2040\" extern_alpha_key=\"k1\"");
    // An absent key, or an opacity beyond a byte from either place, means opaque.
    for (const char* attrs : {"alpha=\"10\" extern_alpha_key=\"k2\"", "extern_alpha_key=\"huge\"", "alpha=\"300\""})
        EXPECT_EQ(MakeSkin<CBkNormalPngSkin>(std::string("src=\"2040\" ") + attrs)->GetAlpha(), 255) << attrs;
    CBkNormalSkin::SetAlphaConfigFile(std::wstring());
    EXPECT_EQ(keyed->GetAlpha(), 64);

    Canvas canvas(10, 4);
    RECT rc = {0, 0, 10, 4};
    keyed->Draw(canvas.dc(), rc, 0);
    EXPECT_NEAR_COLOUR(canvas, 5, 2, RGB(255, 191, 191), 4);
    canvas.Fill(kWhite);
    MakeSkin<CBkNormalPngSkin>("src=\"2041\" file=\"" + FilePath(L"blue.png") + "\" alpha=\"128\"")->Draw(canvas.dc(), rc, 0);
    EXPECT_NEAR_COLOUR(canvas, 5, 2, kHalfBlueOnWhite, 4);
    // The pool keeps the first bitmap of an id: a later skin naming another
    // file under the same id gets it too.
    MakeSkin<CBkNormalPngSkin>("src=\"2040\" file=\"" + FilePath(L"blue.png") + "\"")->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(5, 2), kRed);
    MakeSkin<CBkNormalJPGSkin>("src=\"2042\"")->Draw(canvas.dc(), rc, 0);
    EXPECT_NEAR_COLOUR(canvas, 5, 2, kGreen, 40);
}

TEST_F(PngSkinTest, NormalSkinSubImagesTilesGreyAndMargins) {
    WriteImage(2044, L"png", 144, 12, FourStates);
    auto skin = MakeSkin<CBkNormalPngSkin>("src=\"2044\" subwidth=\"36\"");
    Canvas canvas(150, 30);
    RECT rc = {0, 0, 36, 12};
    skin->Draw(canvas.dc(), rc, 6);
    ExpectPixels(canvas, {{0, 0, kBlue}, {36, 0, kWhite}});
    canvas.Fill(kWhite);
    RECT wide = {0, 0, 150, 30};
    skin->DrawTiled(canvas.dc(), wide);
    ExpectPixels(canvas, {{0, 13, kRed}, {143, 23, kYellow}, {145, 5, kWhite}, {5, 25, kWhite}});
    skin->DrawGray(canvas.dc(), rc, rc);
    EXPECT_NEAR_COLOUR(canvas, 5, 5, RGB(76, 76, 76), 2);

    canvas.Fill(kWhite);
    RECT bar = {0, 0, 150, 20};
    MakeSkin<CBkNormalPngSkin>("src=\"2044\" margin_left=\"36\" margin_right=\"36\"")->Draw(canvas.dc(), bar, 0);
    ExpectPixels(canvas, {{0, 5, kRed}, {60, 5, kGreen}, {149, 5, kYellow}, {5, 15, kWhite}});   // image height only
}
