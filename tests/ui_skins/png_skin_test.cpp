// GDI+ image skins and pools. The PNG and JPG images are encoded with GDI+
// at run time into a temporary resource folder; each test has its own ids,
// as the pools keep every image for the whole run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tinyxml.h>

#include "platform/strconv.h"
#include "skin_test_util.h"
#include "tests/support/test_support.h"
#include "tests/ui_foundation/resource_folder.h"
#include "ui/bkpngpool.h"
#include "ui/bkpngskin.h"
#include "ui/bkskin.h"

using skintest::Argb;
using skintest::Canvas;
using skintest::kBlue;
using skintest::kGreen;
using skintest::kRed;
using skintest::kWhite;
using skintest::MakeSkin;
using skintest::Near;

namespace {

const COLORREF kYellow = RGB(255, 255, 0);

class PngSkinTest : public ::testing::Test {
protected:
    ResourceFolder folder_;

    void WriteImage(UINT id, const wchar_t* type, int w, int h, const skintest::PixelFn& fn)
    {
        std::string bytes = skintest::EncodeImage(w, h, fn, type);
        ASSERT_FALSE(bytes.empty()) << "no GDI+ encoder for " << platform::WideToUtf8(type);
        ASSERT_TRUE(folder_.Write(id, type, bytes));
    }
    std::string FilePath(const wchar_t* name) const { return platform::WideToAnsi(folder_.Path() + L"\\" + name); }
};

// Four 36 x 12 sub-images: red, green, blue, yellow.
uint32_t FourStates(int x, int)
{
    static const COLORREF colors[] = {kRed, kGreen, kBlue, kYellow};
    return Argb(colors[(x / 36) % 4]);
}

} // namespace

// --- pools ------------------------------------------------------------------------

TEST_F(PngSkinTest, PoolsDecodeEachIdOnceAndKeepFailedDecodes)
{
    WriteImage(2001, L"png", 8, 4, [](int, int) { return Argb(kRed); });
    Gdiplus::Image* image = BkPngPool::Get(2001);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 8u);
    EXPECT_EQ(BkPngPool::Get(2001), image);

    // Missing: an image that failed to decode, kept and handed out again.
    Gdiplus::Image* missing = BkPngPool::Get(2002);
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(BkGetImageSize(missing, nullptr, nullptr));
    WriteImage(2002, L"png", 8, 4, [](int, int) { return Argb(kRed); });
    EXPECT_EQ(BkPngPool::Get(2002), missing);

    WriteImage(2003, L"jpg", 8, 4, [](int, int) { return Argb(kRed); });
    Gdiplus::Image* jpg = BkJpgPool::Get(2003);
    ASSERT_NE(jpg, nullptr);
    EXPECT_TRUE(BkGetImageSize(jpg, nullptr, nullptr));
    EXPECT_EQ(BkJpgPool::Get(2003), jpg);
    EXPECT_NE(BkJpgPool::Get(2004), nullptr);
    EXPECT_EQ(BkJpgPool::Get(2004), BkJpgPool::Get(2004));
}

TEST_F(PngSkinTest, MissingAndCorruptImagesDrawNothing)
{
    std::string png = skintest::EncodeImage(16, 16, [](int, int) { return Argb(kRed); }, L"png");
    ASSERT_TRUE(folder_.Write(2011, L"png", png.substr(0, png.size() / 2)));   // cut short
    ASSERT_TRUE(folder_.Write(2012, L"png", "\x89PNG\r\n\x1a\n garbage"));
    ASSERT_TRUE(folder_.Write(2013, L"jpg", "\xFF\xD8\xFF garbage"));
    Canvas canvas(40, 40);
    RECT rc = {0, 0, 40, 40};
    for (const char* attrs : {"src=\"2010\"", "src=\"2011\"", "src=\"2012\" subwidth=\"4\"",
                              "src=\"2012\" tile_stretch=\"1\" left=\"3\" top=\"3\""}) {
        auto skin = MakeSkin<CBkPngSkin>(attrs);
        skin->Draw(canvas.dc(), rc, 0);
        skin->DrawTiled(canvas.dc(), rc);
        skin->DrawGray(canvas.dc(), rc, rc);
        skin->DrawAlpha(canvas.dc(), rc, rc, 200);
        skin->DrawStretch(canvas.dc(), rc, rc);
        skin->DrawMirrored(canvas.dc(), rc);
        EXPECT_EQ(skin->GetSkinSize().cx, 0) << attrs;
    }
    for (const char* attrs : {"src=\"2013\"", "src=\"2014\" margin_left=\"3\""}) {
        auto skin = MakeSkin<CBkJpgSkin>(attrs);
        skin->Draw(canvas.dc(), rc, 0);
        skin->DrawGray(canvas.dc(), rc, rc);
        EXPECT_EQ(skin->GetSkinSize().cy, 0) << attrs;
    }
    for (const char* attrs : {"src=\"2015\"", "src=\"2013\" file=\"no such file.png\""}) {
        auto skin = MakeSkin<CBkNormalPngSkin>(attrs);
        skin->Draw(canvas.dc(), rc, 0);
        skin->DrawTiled(canvas.dc(), rc);
        skin->DrawGray(canvas.dc(), rc, rc);
        EXPECT_EQ(skin->GetSkinSize().cx, 0) << attrs;
    }
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 0, 0}, kWhite));
}

// --- png ----------------------------------------------------------------------------

TEST_F(PngSkinTest, SubImagesWrapAroundTheStrip)
{
    WriteImage(2020, L"png", 144, 12, FourStates);
    auto skin = MakeSkin<CBkPngSkin>("src=\"2020\" subwidth=\"36\"");
    EXPECT_FALSE(skin->IgnoreState());
    SIZE size = skin->GetSkinSize();
    EXPECT_EQ(size.cx, 36);
    EXPECT_EQ(size.cy, 12);
    Canvas canvas(60, 20);
    RECT rc = {4, 4, 60, 20};
    const struct { DWORD index; COLORREF color; } cases[] = {
        {1, kGreen}, {5, kGreen}, {static_cast<DWORD>(-1), kYellow}, {0, kRed}, {2, kBlue},
    };
    for (const auto& c : cases) {
        canvas.Fill(kWhite);
        skin->Draw(canvas.dc(), rc, c.index);
        EXPECT_EQ(canvas.At(4, 4), c.color) << c.index;
        EXPECT_EQ(canvas.At(39, 15), c.color) << c.index;
        EXPECT_TRUE(canvas.UnchangedOutside(RECT{4, 4, 40, 16}, kWhite)) << c.index;
    }
}

TEST_F(PngSkinTest, PerPixelAlphaBlendsOverTheDestination)
{
    // Left: transparent; middle: half red; right: opaque blue.
    WriteImage(2021, L"png", 30, 4, [](int x, int) {
        return x < 10 ? Argb(kRed, 0) : x < 20 ? Argb(kRed, 128) : Argb(kBlue);
    });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2021\"");
    EXPECT_TRUE(skin->IgnoreState());
    Canvas canvas(30, 4, kGreen);
    RECT rc = {0, 0, 30, 4};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(5, 1), kGreen);
    EXPECT_TRUE(Near(canvas.At(15, 1), RGB(128, 127, 0), 4)) << std::hex << canvas.At(15, 1);
    EXPECT_EQ(canvas.At(25, 1), kBlue);

    // DrawAlpha at half opacity on top of the per-pixel alpha.
    canvas.Fill(kWhite);
    RECT dest = {0, 0, 30, 4};
    skin->DrawAlpha(canvas.dc(), dest, rc, 128);
    EXPECT_TRUE(Near(canvas.At(25, 1), RGB(127, 127, 255), 4)) << std::hex << canvas.At(25, 1);
    EXPECT_EQ(canvas.At(5, 1), kWhite);
}

TEST_F(PngSkinTest, HorizontalMarginsKeepCapsAndStretchTheMiddle)
{
    // 5 red | 10 green | 5 half-transparent blue.
    WriteImage(2022, L"png", 20, 6, [](int x, int) {
        return x < 5 ? Argb(kRed) : x < 15 ? Argb(kGreen) : Argb(kBlue, 128);
    });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2022\" margin_left=\"5\" margin_right=\"5\"");
    Canvas canvas(220, 10);
    RECT rc = {10, 2, 210, 8};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(10, 2), kRed);
    EXPECT_EQ(canvas.At(14, 7), kRed);
    EXPECT_EQ(canvas.At(16, 4), kGreen);
    EXPECT_EQ(canvas.At(110, 4), kGreen);
    EXPECT_EQ(canvas.At(203, 4), kGreen);
    // The half-transparent right cap is blended once, not twice.
    EXPECT_TRUE(Near(canvas.At(205, 4), RGB(127, 127, 255), 4)) << std::hex << canvas.At(205, 4);
    EXPECT_TRUE(Near(canvas.At(209, 7), RGB(127, 127, 255), 4));
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite));
}

TEST_F(PngSkinTest, TiledMiddleLaysWholePiecesThenAPartialOne)
{
    // 2 red | yellow marker | 15 green | 2 blue.
    WriteImage(2023, L"png", 20, 4, [](int x, int) {
        return Argb(x < 2 ? kRed : x == 2 ? kYellow : x < 18 ? kGreen : kBlue);
    });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2023\" middle_tile=\"1\" margin_left=\"2\" margin_right=\"2\"");
    Canvas canvas(50, 4);
    RECT rc = {0, 0, 50, 4};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(1, 0), kRed);
    // Pieces of 16, 16 and 14 pixels start at 2, 18 and 34.
    EXPECT_EQ(canvas.At(2, 0), kYellow);
    EXPECT_EQ(canvas.At(17, 0), kGreen);
    EXPECT_EQ(canvas.At(18, 0), kYellow);
    EXPECT_EQ(canvas.At(33, 0), kGreen);
    EXPECT_EQ(canvas.At(34, 0), kYellow);
    EXPECT_EQ(canvas.At(47, 3), kGreen);
    EXPECT_EQ(canvas.At(48, 0), kBlue);
    EXPECT_EQ(canvas.At(49, 3), kBlue);
}

TEST_F(PngSkinTest, VerticalMarginsMakeATopToBottomBar)
{
    WriteImage(2024, L"png", 10, 30, [](int, int y) { return Argb(y < 5 ? kRed : y < 25 ? kGreen : kBlue); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2024\" margin_top=\"5\" margin_bottom=\"5\"");
    Canvas canvas(10, 100);
    RECT rc = {0, 0, 10, 100};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(5, 0), kRed);
    EXPECT_EQ(canvas.At(5, 4), kRed);
    EXPECT_EQ(canvas.At(5, 6), kGreen);
    EXPECT_EQ(canvas.At(5, 93), kGreen);
    EXPECT_EQ(canvas.At(5, 95), kBlue);
    EXPECT_EQ(canvas.At(9, 99), kBlue);
}

TEST_F(PngSkinTest, EightPieceFrameLeavesTheCentreUntouched)
{
    // 200 x 100, split at column 150 and row 65: corners red, edges green.
    WriteImage(2025, L"png", 200, 100, [](int x, int y) {
        return Argb(x == 150 || y == 65 ? kGreen : kRed);
    });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2025\" tile_stretch=\"1\" left=\"150\" top=\"65\" margin_bottom=\"16\"");
    Canvas canvas(320, 220, kBlue);
    RECT rc = {10, 10, 310, 210};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(10, 10), kRed);          // top-left corner
    EXPECT_EQ(canvas.At(159, 74), kRed);
    EXPECT_EQ(canvas.At(309, 10), kRed);         // top-right corner, 49 wide
    EXPECT_EQ(canvas.At(261, 10), kRed);
    EXPECT_EQ(canvas.At(200, 10), kGreen);       // top edge
    EXPECT_EQ(canvas.At(10, 120), kGreen);       // left edge
    EXPECT_EQ(canvas.At(309, 120), kGreen);      // right edge
    EXPECT_EQ(canvas.At(10, 209), kRed);         // bottom-left corner
    EXPECT_EQ(canvas.At(200, 209), kGreen);      // bottom edge
    EXPECT_EQ(canvas.At(200, 120), kBlue);       // the centre is left as it was
    EXPECT_EQ(canvas.At(170, 150), kBlue);
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kBlue));
}

TEST_F(PngSkinTest, FlipMirrorsTheImageAndLeavesThePooledImageAsItWas)
{
    WriteImage(2026, L"png", 20, 4, [](int x, int) { return Argb(x < 10 ? kRed : kBlue); });
    auto flipped = MakeSkin<CBkPngSkin>("src=\"2026\" flip=\"1\"");
    auto plain = MakeSkin<CBkPngSkin>("src=\"2026\"");
    Canvas canvas(20, 4);
    RECT rc = {0, 0, 20, 4};
    flipped->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(2, 1), kBlue);
    EXPECT_EQ(canvas.At(17, 1), kRed);
    plain->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(2, 1), kRed);
    EXPECT_EQ(canvas.At(17, 1), kBlue);

    plain->DrawMirrored(canvas.dc(), rc);
    EXPECT_EQ(canvas.At(2, 1), kBlue);
    canvas.Fill(kWhite);
    RECT src = {0, 0, 20, 4};
    plain->DrawStretch(canvas.dc(), rc, src);
    EXPECT_EQ(canvas.At(2, 1), kRed);

    CBkPngSkin skin;
    EXPECT_EQ(skin.SetAttribute("fliptype", "9", TRUE), E_FAIL);
    EXPECT_EQ(skin.SetAttribute("mode", "alpha", TRUE), E_FAIL);
    EXPECT_EQ(skin.SetAttribute("margin_left", "3", TRUE), TRUE);
}

TEST_F(PngSkinTest, TiledAndGrayDrawing)
{
    WriteImage(2027, L"png", 10, 10, [](int, int) { return Argb(kRed); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2027\"");
    Canvas canvas(40, 30);
    RECT rc = {0, 0, 35, 25};
    skin->DrawTiled(canvas.dc(), rc);
    EXPECT_EQ(canvas.At(0, 0), kRed);
    EXPECT_EQ(canvas.At(29, 19), kRed);
    EXPECT_EQ(canvas.At(32, 5), kWhite);    // no partial copies
    EXPECT_EQ(canvas.At(5, 22), kWhite);

    canvas.Fill(kWhite);
    RECT narrow = {0, 0, 9, 30};
    skin->DrawTiled(canvas.dc(), narrow);
    EXPECT_EQ(canvas.At(0, 0), kWhite);

    RECT dest = {0, 0, 20, 20};
    RECT src = {0, 0, 10, 10};
    skin->DrawGray(canvas.dc(), dest, src);
    EXPECT_TRUE(Near(canvas.At(10, 10), RGB(76, 76, 76), 2)) << std::hex << canvas.At(10, 10);
    EXPECT_EQ(canvas.At(25, 10), kWhite);
}

TEST_F(PngSkinTest, AbsurdMarginsStayInsideTheRectangle)
{
    WriteImage(2028, L"png", 20, 6, [](int, int) { return Argb(kRed); });
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

TEST_F(PngSkinTest, GdiplusPartDrawingThroughTheCallersGraphics)
{
    WriteImage(2029, L"png", 20, 4, [](int x, int) { return Argb(x < 10 ? kRed : kBlue); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2029\"");
    Canvas canvas(40, 10);
    {
        Gdiplus::Graphics graphics(canvas.dc());
        skin->DrawPart(&graphics, Gdiplus::Rect(0, 0, 10, 4), Gdiplus::Rect(10, 0, 10, 4));
        skin->DrawWithAttributes(&graphics, Gdiplus::Rect(20, 0, 10, 4), Gdiplus::Rect(0, 0, 10, 4), nullptr);
    }
    EXPECT_EQ(canvas.At(5, 1), kBlue);
    EXPECT_EQ(canvas.At(25, 1), kRed);
    EXPECT_EQ(canvas.At(35, 1), kWhite);

    POINT points[3] = {{0, 5}, {20, 5}, {0, 9}};
    RECT src = {0, 0, 20, 4};
    skin->DrawToPoints(canvas.dc(), points, src);
    EXPECT_EQ(canvas.At(3, 7), kRed);
    EXPECT_EQ(canvas.At(17, 7), kBlue);
}

// --- jpg ------------------------------------------------------------------------------

TEST_F(PngSkinTest, JpgDrawsCapsAndSubImages)
{
    WriteImage(2030, L"jpg", 40, 20, [](int x, int) { return Argb(x < 20 ? kRed : kBlue); });
    auto skin = MakeSkin<CBkJpgSkin>("src=\"2030\" margin_left=\"8\" margin_right=\"8\"");
    SIZE size = skin->GetSkinSize();
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 20);
    Canvas canvas(120, 30);
    RECT rc = {10, 5, 110, 25};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(12, 15), kRed, 40)) << std::hex << canvas.At(12, 15);
    EXPECT_TRUE(Near(canvas.At(106, 15), kBlue, 40)) << std::hex << canvas.At(106, 15);
    EXPECT_TRUE(Near(canvas.At(30, 15), kRed, 40));
    EXPECT_TRUE(Near(canvas.At(90, 15), kBlue, 40));
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite));

    auto strip = MakeSkin<CBkJpgSkin>("src=\"2030\" subwidth=\"20\"");
    canvas.Fill(kWhite);
    strip->Draw(canvas.dc(), rc, 1);
    EXPECT_TRUE(Near(canvas.At(15, 15), kBlue, 40));
    EXPECT_EQ(canvas.At(35, 15), kWhite);
    canvas.Fill(kWhite);
    strip->Draw(canvas.dc(), rc, 2);    // past the strip
    strip->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 0, 0}, kWhite));

    canvas.Fill(kWhite);
    RECT src = {0, 0, 20, 20};
    skin->DrawGray(canvas.dc(), rc, src);
    COLORREF grey = canvas.At(50, 15);
    EXPECT_TRUE(Near(grey, RGB(76, 76, 76), 40)) << std::hex << grey;
    EXPECT_LE(std::abs(GetRValue(grey) - GetBValue(grey)), 4);
}

// --- skinpng / skinjpg -------------------------------------------------------------------

TEST_F(PngSkinTest, NormalSkinLoadsFromFileOrResourceAtItsOpacity)
{
    WriteImage(2040, L"png", 10, 4, [](int, int) { return Argb(kRed); });
    ASSERT_TRUE(testing_support::WriteFileBytes(
        folder_.Path() + L"\\blue.png", skintest::EncodeImage(10, 4, [](int, int) { return Argb(kBlue); }, L"png")));

    auto fromResource = MakeSkin<CBkNormalPngSkin>("src=\"2040\"");
    auto fromFile = MakeSkin<CBkNormalPngSkin>("src=\"2041\" file=\"" + FilePath(L"blue.png") + "\" alpha=\"128\"");
    EXPECT_EQ(fromResource->GetSkinSize().cx, 10);
    Canvas canvas(10, 4);
    RECT rc = {0, 0, 10, 4};
    fromResource->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(5, 2), kRed);
    canvas.Fill(kWhite);
    fromFile->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(5, 2), RGB(127, 127, 255), 4)) << std::hex << canvas.At(5, 2);

    // The pool keeps the first bitmap of an id: a later skin naming another
    // file under the same id gets it too.
    auto sameId = MakeSkin<CBkNormalPngSkin>("src=\"2040\" file=\"" + FilePath(L"blue.png") + "\"");
    sameId->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(5, 2), kRed);

    WriteImage(2042, L"jpg", 10, 4, [](int, int) { return Argb(kGreen); });
    auto jpg = MakeSkin<CBkNormalJPGSkin>("src=\"2042\"");
    jpg->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(5, 2), kGreen, 40));
}

TEST_F(PngSkinTest, NormalSkinTakesOpacityFromTheConfigurationFile)
{
    WriteImage(2043, L"png", 10, 4, [](int, int) { return Argb(kRed); });
    std::wstring ini = folder_.Path() + L"\\skincfg.ini";
    ASSERT_TRUE(testing_support::WriteFileBytes(ini, "[alpha]\r\nk1=64\r\nhuge=9999\r\n"));
    CBkNormalSkin::SetAlphaConfigFile(ini);
    auto keyed = MakeSkin<CBkNormalPngSkin>("src=\"2043\" extern_alpha_key=\"k1\"");
    auto absent = MakeSkin<CBkNormalPngSkin>("src=\"2043\" alpha=\"10\" extern_alpha_key=\"k2\"");
    auto huge = MakeSkin<CBkNormalPngSkin>("src=\"2043\" extern_alpha_key=\"huge\"");
    auto plain = MakeSkin<CBkNormalPngSkin>("src=\"2043\" alpha=\"300\"");
    CBkNormalSkin::SetAlphaConfigFile(std::wstring());
    EXPECT_EQ(keyed->GetAlpha(), 64);
    EXPECT_EQ(absent->GetAlpha(), 255);
    EXPECT_EQ(huge->GetAlpha(), 255);
    EXPECT_EQ(plain->GetAlpha(), 255);

    Canvas canvas(10, 4);
    RECT rc = {0, 0, 10, 4};
    keyed->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(5, 2), RGB(255, 191, 191), 4)) << std::hex << canvas.At(5, 2);
}

TEST_F(PngSkinTest, NormalSkinSubImagesTilesAndGrey)
{
    WriteImage(2044, L"png", 144, 12, FourStates);
    auto skin = MakeSkin<CBkNormalPngSkin>("src=\"2044\" subwidth=\"36\"");
    EXPECT_FALSE(skin->IgnoreState());
    Canvas canvas(150, 30);
    RECT rc = {0, 0, 36, 12};
    skin->Draw(canvas.dc(), rc, 6);
    EXPECT_EQ(canvas.At(0, 0), kBlue);
    EXPECT_EQ(canvas.At(36, 0), kWhite);

    canvas.Fill(kWhite);
    RECT wide = {0, 0, 150, 30};
    skin->DrawTiled(canvas.dc(), wide);
    EXPECT_EQ(canvas.At(0, 13), kRed);
    EXPECT_EQ(canvas.At(143, 23), kYellow);
    EXPECT_EQ(canvas.At(145, 5), kWhite);
    EXPECT_EQ(canvas.At(5, 25), kWhite);

    RECT src = {0, 0, 36, 12};
    skin->DrawGray(canvas.dc(), rc, src);
    EXPECT_TRUE(Near(canvas.At(5, 5), RGB(76, 76, 76), 2)) << std::hex << canvas.At(5, 5);

    auto margins = MakeSkin<CBkNormalPngSkin>("src=\"2044\" margin_left=\"36\" margin_right=\"36\"");
    canvas.Fill(kWhite);
    RECT bar = {0, 0, 150, 20};
    margins->Draw(canvas.dc(), bar, 0);
    EXPECT_EQ(canvas.At(0, 5), kRed);
    EXPECT_EQ(canvas.At(60, 5), kGreen);
    EXPECT_EQ(canvas.At(149, 5), kYellow);
    EXPECT_EQ(canvas.At(5, 15), kWhite);   // nothing below the image's height
}

TEST_F(PngSkinTest, SkinTableBuildsImageSkinsByElementName)
{
    WriteImage(2050, L"png", 6, 6, [](int, int) { return Argb(kRed); });
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins>"
        "<png name=\"p\" src=\"2050\" mode=\"alpha\"/>"
        "<jpg name=\"j\" src=\"2051\"/>"
        "<skinpng name=\"sp\" src=\"2050\"/>"
        "<skinjpg name=\"sj\" src=\"2052\"/>"
        "</skins>"}));
    CBkSkinBase* png = BkSkin::GetSkin("p");
    ASSERT_NE(png, nullptr);
    EXPECT_TRUE(png->IsClass("png"));
    EXPECT_EQ(png->GetSkinSize().cx, 6);   // loaded by the lookup, "mode" refused
    EXPECT_TRUE(BkSkin::GetSkin("j")->IsClass("jpg"));
    EXPECT_TRUE(BkSkin::GetSkin("sp")->IsClass("skinpng"));
    EXPECT_EQ(BkSkin::GetSkin("sp")->GetSkinSize().cy, 6);
    EXPECT_TRUE(BkSkin::GetSkin("sj")->IsClass("skinjpg"));
    EXPECT_EQ(BkSkin::GetSkin("sj")->GetSkinSize().cx, 0);
    BkSkin::LoadSkinsFromSources({});
}

TEST_F(PngSkinTest, StretchIntoATransparentSurfaceKeepsTheImagesAlpha)
{
    // Layered windows (the drop shadow) stretch skins into a cleared 32-bit
    // surface and hand its alpha to the system.
    WriteImage(2060, L"png", 4, 4, [](int x, int) { return x < 2 ? Argb(kRed, 128) : Argb(kBlue, 255); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2060\"");
    Canvas canvas(8, 8);
    canvas.ClearAlpha();
    RECT dest = {0, 0, 8, 8};
    RECT src = {0, 0, 4, 4};
    skin->DrawStretch(canvas.dc(), dest, src);
    // Premultiplied, as the system wants it; the stretched edges do not
    // fade into the transparency beyond the image.
    EXPECT_EQ(canvas.Raw(5, 4), 0xFF0000FFu) << std::hex << canvas.Raw(5, 4);
    EXPECT_EQ(canvas.Raw(7, 7), 0xFF0000FFu) << std::hex << canvas.Raw(7, 7);
    EXPECT_NEAR(static_cast<int>(canvas.Raw(0, 0) >> 24), 128, 2) << std::hex << canvas.Raw(0, 0);
    EXPECT_NEAR(static_cast<int>((canvas.Raw(0, 0) >> 16) & 0xFF), 128, 2) << std::hex << canvas.Raw(0, 0);
}
