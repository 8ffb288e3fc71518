// Bitmap skins drawn into a 32-bit DIB, with their bitmaps written as .bmp
// files into a temporary resource folder. Every test uses its own resource
// ids: the bitmap pool keeps what it loaded for the whole run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tinyxml.h>

#include "skin_test_util.h"
#include "tests/ui_foundation/resource_folder.h"
#include "ui/bkbitmapskin.h"
#include "ui/bkbmppool.h"
#include "ui/bkdraw.h"
#include "ui/bkskin.h"
#include "ui/bkwnd.h"

using skintest::Argb;
using skintest::Canvas;
using skintest::MakeBmp;
using skintest::kBlue;
using skintest::kGreen;
using skintest::kRed;
using skintest::kWhite;
using skintest::MakeSkin;
using skintest::Near;

namespace {

class BitmapSkinTest : public ::testing::Test {
protected:
    ResourceFolder folder_;

    void WriteBmp(UINT id, int w, int h, int bpp, const skintest::PixelFn& fn)
    {
        ASSERT_TRUE(folder_.Write(id, L"bmp", MakeBmp(w, h, bpp, fn)));
    }
    // Three 10 x 8 sub-images: red, green, blue.
    void WriteRgbStrip(UINT id)
    {
        WriteBmp(id, 30, 8, 24, [](int x, int) { return Argb(x < 10 ? kRed : x < 20 ? kGreen : kBlue); });
    }
};

} // namespace

// --- bitmap pool --------------------------------------------------------------

TEST_F(BitmapSkinTest, PoolLoadsOnceAndRetriesMissingIds)
{
    EXPECT_EQ(BkBmpPool::GetBitmap(1101), nullptr);
    WriteRgbStrip(1101);
    HBITMAP first = BkBmpPool::GetBitmap(1101);   // a missing id was not remembered
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(BkBmpPool::GetBitmap(1101), first);
    BITMAP bm = {};
    ASSERT_TRUE(::GetObjectW(first, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 30);
    EXPECT_EQ(bm.bmHeight, 8);
}

TEST_F(BitmapSkinTest, PoolRefusesCorruptAndAbsurdFiles)
{
    ASSERT_TRUE(folder_.Write(1102, L"bmp", "BM this is not a bitmap at all"));
    EXPECT_EQ(BkBmpPool::GetBitmap(1102), nullptr);

    // A header that claims 100000 x 100000 pixels in a tiny file.
    std::string huge = MakeBmp(2, 2, 32, [](int, int) { return 0xFFFFFFFFu; });
    BITMAPINFOHEADER* ih = reinterpret_cast<BITMAPINFOHEADER*>(&huge[sizeof(BITMAPFILEHEADER)]);
    ih->biWidth = 100000;
    ih->biHeight = 100000;
    ASSERT_TRUE(folder_.Write(1103, L"bmp", huge));
    EXPECT_EQ(BkBmpPool::GetBitmap(1103), nullptr);

    // Pixels that would run past the end of the file.
    std::string cut = MakeBmp(64, 64, 24, [](int, int) { return 0u; });
    cut.resize(cut.size() / 2);
    ASSERT_TRUE(folder_.Write(1104, L"bmp", cut));
    EXPECT_EQ(BkBmpPool::GetBitmap(1104), nullptr);
}

// --- imglst -----------------------------------------------------------------------

TEST_F(BitmapSkinTest, ImageListDrawsSubImagesAtNaturalSize)
{
    WriteRgbStrip(1110);
    auto skin = MakeSkin<CBkImageSkin>("src=\"1110\" subwidth=\"10\"");
    EXPECT_FALSE(skin->IgnoreState());
    SIZE size = skin->GetSkinSize();
    EXPECT_EQ(size.cx, 10);
    EXPECT_EQ(size.cy, 8);

    Canvas canvas(60, 30);
    RECT rc = {5, 5, 55, 25};   // the rectangle's size is not used
    skin->Draw(canvas.dc(), rc, 1);
    EXPECT_EQ(canvas.At(5, 5), kGreen);
    EXPECT_EQ(canvas.At(14, 12), kGreen);
    RECT drawn = {5, 5, 15, 13};
    EXPECT_TRUE(canvas.UnchangedOutside(drawn, kWhite));

    canvas.Fill(kWhite);
    skin->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));   // the whole strip
    EXPECT_EQ(canvas.At(5, 5), kRed);
    EXPECT_EQ(canvas.At(20, 5), kGreen);
    EXPECT_EQ(canvas.At(34, 12), kBlue);
    EXPECT_EQ(canvas.At(35, 5), kWhite);

    canvas.Fill(kWhite);
    skin->Draw(canvas.dc(), rc, 7);   // past the strip: nothing
    skin->Draw(canvas.dc(), rc, 0x7FFFFFFF);
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 0, 0}, kWhite));
}

TEST_F(BitmapSkinTest, ImageListWithoutSubImagesOnlyDrawsWholeStrip)
{
    WriteRgbStrip(1111);
    auto skin = MakeSkin<CBkImageSkin>("src=\"1111\"");
    EXPECT_TRUE(skin->IgnoreState());
    EXPECT_EQ(skin->GetSkinSize().cx, 30);
    Canvas canvas(40, 10);
    RECT rc = {0, 0, 40, 10};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(0, 0), kWhite);
    skin->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_EQ(canvas.At(0, 0), kRed);
    EXPECT_EQ(canvas.At(29, 7), kBlue);
}

TEST_F(BitmapSkinTest, ImageListStretchesToStretchSize)
{
    WriteRgbStrip(1112);
    auto skin = MakeSkin<CBkImageSkin>("src=\"1112\" subwidth=\"10\" stretch-x=\"20\" stretch-y=\"16\"");
    SIZE size = skin->GetSkinSize();
    EXPECT_EQ(size.cx, 20);
    EXPECT_EQ(size.cy, 16);
    Canvas canvas(40, 30);
    RECT rc = {2, 3, 40, 30};
    skin->Draw(canvas.dc(), rc, 2);
    EXPECT_EQ(canvas.At(2, 3), kBlue);
    EXPECT_EQ(canvas.At(21, 18), kBlue);
    EXPECT_EQ(canvas.At(22, 18), kWhite);
    EXPECT_EQ(canvas.At(21, 19), kWhite);
}

TEST_F(BitmapSkinTest, MaskColourPixelsLeaveDestinationUnchanged)
{
    const COLORREF magenta = RGB(255, 0, 255);
    WriteBmp(1113, 8, 8, 24, [&](int x, int y) { return Argb((x + y) % 2 ? magenta : kBlue); });
    auto skin = MakeSkin<CBkImageSkin>("src=\"1113\" mode=\"mask\"");
    Canvas canvas(10, 10, kGreen);
    RECT rc = {1, 1, 9, 9};
    skin->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_EQ(canvas.At(1, 1), kBlue);
    EXPECT_EQ(canvas.At(2, 1), kGreen);
    EXPECT_EQ(canvas.At(8, 7), kGreen);
    EXPECT_EQ(canvas.At(8, 8), kBlue);
    EXPECT_EQ(canvas.At(0, 0), kGreen);

    // Another mask colour from the skin.
    auto blueMask = MakeSkin<CBkImageSkin>("src=\"1113\" mode=\"mask\" maskcolor=\"0000FF\"");
    canvas.Fill(kGreen);
    blueMask->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_EQ(canvas.At(1, 1), kGreen);
    EXPECT_EQ(canvas.At(2, 1), magenta);
}

TEST_F(BitmapSkinTest, AlphaModeBlendsOnlyThirtyTwoBitBitmaps)
{
    // Left half half-transparent red, right half opaque blue.
    WriteBmp(1114, 10, 4, 32, [](int x, int) { return x < 5 ? Argb(kRed, 128) : Argb(kBlue, 255); });
    WriteBmp(1115, 10, 4, 24, [](int, int) { return Argb(kRed); });
    auto skin = MakeSkin<CBkImageSkin>("src=\"1114\" mode=\"alpha\"");
    Canvas canvas(12, 6);
    RECT rc = {1, 1, 12, 6};
    skin->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_TRUE(Near(canvas.At(1, 1), RGB(255, 127, 127))) << std::hex << canvas.At(1, 1);
    EXPECT_EQ(canvas.At(6, 4), kBlue);
    EXPECT_EQ(canvas.At(11, 1), kWhite);
    EXPECT_EQ(canvas.At(1, 5), kWhite);

    auto flat = MakeSkin<CBkImageSkin>("src=\"1115\" mode=\"alpha\"");
    canvas.Fill(kWhite);
    flat->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 0, 0}, kWhite));
}

TEST_F(BitmapSkinTest, ImageListRefusesUnknownAttributesAndModes)
{
    CBkImageSkin skin;
    EXPECT_EQ(skin.SetAttribute("mode", "alpha", TRUE), S_OK);
    EXPECT_EQ(skin.SetAttribute("mode", "blend", TRUE), E_FAIL);
    EXPECT_EQ(skin.m_nMode, BKIMG_MODE_ALPHA);
    EXPECT_EQ(skin.SetAttribute("stretch-x", "4", TRUE), TRUE);
    EXPECT_EQ(skin.SetAttribute("left", "4", TRUE), E_FAIL);
    EXPECT_EQ(skin.SetAttribute("subwidth", "-20", TRUE), S_OK);
    EXPECT_EQ(skin.m_nSubWidth, 0);
}

TEST_F(BitmapSkinTest, MissingOrUnparsableSourceLoadsWithoutBitmap)
{
    auto missing = MakeSkin<CBkImageSkin>("src=\"1119\"");
    auto garbage = MakeSkin<CBkImageSkin>("src=\"12ab\"");
    EXPECT_TRUE(missing->LazyLoad());
    EXPECT_TRUE(missing->IsLoaded());
    EXPECT_EQ(missing->m_hBitmap, nullptr);
    Canvas canvas(10, 10);
    RECT rc = {0, 0, 10, 10};
    missing->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    garbage->Draw(canvas.dc(), rc, static_cast<DWORD>(-1));
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 0, 0}, kWhite));
    SIZE size = missing->GetSkinSize();
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 0);
}

// --- imgframe -------------------------------------------------------------------

namespace {

// A 30 x 40 frame bitmap split at column 5 and row 28: each corner, edge
// strip and the centre pixel has its own colour.
const COLORREF kTL = RGB(10, 0, 0), kTR = RGB(20, 0, 0), kBL = RGB(30, 0, 0), kBR = RGB(40, 0, 0);
const COLORREF kTopEdge = RGB(0, 10, 0), kBottomEdge = RGB(0, 20, 0);
const COLORREF kLeftEdge = RGB(0, 0, 10), kRightEdge = RGB(0, 0, 20), kCentre = RGB(9, 9, 9);

uint32_t FramePixel(int x, int y)
{
    const int L = 5, T = 28;
    if (x == L && y == T) return Argb(kCentre);
    if (x == L) return Argb(y < T ? kTopEdge : kBottomEdge);
    if (y == T) return Argb(x < L ? kLeftEdge : kRightEdge);
    if (y < T) return Argb(x < L ? kTL : kTR);
    return Argb(x < L ? kBL : kBR);
}

} // namespace

TEST_F(BitmapSkinTest, FrameDrawsCornersAtNaturalSizeAndStretchesEdges)
{
    WriteBmp(1120, 30, 40, 24, FramePixel);
    auto skin = MakeSkin<CBkSkinImgFrame>("src=\"1120\" left=\"5\" top=\"28\" crbg=\"336699\"");
    Canvas canvas(120, 120);
    RECT rc = {10, 10, 110, 110};
    skin->Draw(canvas.dc(), rc, 0);
    // Top-left 5 x 28, top-right 24 x 28, bottom-left 5 x 11, bottom-right 24 x 11.
    EXPECT_EQ(canvas.At(10, 10), kTL);
    EXPECT_EQ(canvas.At(14, 37), kTL);
    EXPECT_EQ(canvas.At(86, 10), kTR);
    EXPECT_EQ(canvas.At(109, 37), kTR);
    EXPECT_EQ(canvas.At(10, 99), kBL);
    EXPECT_EQ(canvas.At(14, 109), kBL);
    EXPECT_EQ(canvas.At(86, 99), kBR);
    EXPECT_EQ(canvas.At(109, 109), kBR);
    // Edges between the corners.
    EXPECT_EQ(canvas.At(15, 10), kTopEdge);
    EXPECT_EQ(canvas.At(85, 37), kTopEdge);
    EXPECT_EQ(canvas.At(50, 99), kBottomEdge);
    EXPECT_EQ(canvas.At(10, 38), kLeftEdge);
    EXPECT_EQ(canvas.At(14, 98), kLeftEdge);
    EXPECT_EQ(canvas.At(86, 38), kRightEdge);
    EXPECT_EQ(canvas.At(109, 98), kRightEdge);
    // The centre is the crbg fill, never the image.
    EXPECT_EQ(canvas.At(15, 38), RGB(0x33, 0x66, 0x99));
    EXPECT_EQ(canvas.At(85, 98), RGB(0x33, 0x66, 0x99));
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite));
    EXPECT_EQ(skin->GetSkinSize().cx, 0);
}

TEST_F(BitmapSkinTest, FrameMiddlePartDrawsOnlySideEdges)
{
    WriteBmp(1121, 30, 40, 24, FramePixel);
    auto skin = MakeSkin<CBkSkinImgFrame>("src=\"1121\" left=\"5\" top=\"28\" part=\"middle\"");
    Canvas canvas(100, 60);
    RECT rc = {0, 0, 100, 60};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(0, 0), kLeftEdge);
    EXPECT_EQ(canvas.At(4, 59), kLeftEdge);
    EXPECT_EQ(canvas.At(76, 0), kRightEdge);
    EXPECT_EQ(canvas.At(99, 59), kRightEdge);
    EXPECT_EQ(canvas.At(5, 0), kWhite);     // no top edge, no crbg
    EXPECT_EQ(canvas.At(50, 59), kWhite);   // no bottom edge
}

TEST_F(BitmapSkinTest, FrameRefusesUnknownAttributesAndParts)
{
    CBkSkinImgFrame skin;
    EXPECT_EQ(skin.SetAttribute("right", "3", TRUE), E_FAIL);
    EXPECT_EQ(skin.SetAttribute("part", "diagonal", TRUE), E_FAIL);
    EXPECT_EQ(skin.SetAttribute("subwidth", "3", TRUE), S_OK);   // the embedded image takes it
    EXPECT_FALSE(skin.IgnoreState());
}

TEST_F(BitmapSkinTest, FrameWithSplitOutsideTheBitmapStaysInsideItsRectangle)
{
    WriteBmp(1122, 6, 6, 24, [](int, int) { return Argb(kBlue); });
    Canvas canvas(50, 50);
    RECT rc = {10, 10, 40, 40};
    for (const char* attrs : {"left=\"1000\" top=\"-5\"", "left=\"-7\" top=\"99999\"", "left=\"6\" top=\"6\""}) {
        auto skin = MakeSkin<CBkSkinImgFrame>(std::string("src=\"1122\" ") + attrs);
        canvas.Fill(kWhite);
        skin->Draw(canvas.dc(), rc, 0);
        EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite)) << attrs;
        EXPECT_EQ(canvas.At(10, 10), kBlue) << attrs;
    }
    // A rectangle smaller than the corners.
    auto skin = MakeSkin<CBkSkinImgFrame>("src=\"1122\" left=\"3\" top=\"3\"");
    canvas.Fill(kWhite);
    RECT tiny = {20, 20, 22, 21};
    skin->Draw(canvas.dc(), tiny, 0);
}

// --- imghorzex -------------------------------------------------------------------

TEST_F(BitmapSkinTest, HorizontalExtendKeepsCapsAndStretchesTheSplitColumn)
{
    // 20 x 6: columns 0-4 red, column 5 green, 6-19 blue.
    WriteBmp(1130, 20, 6, 24, [](int x, int) { return Argb(x < 5 ? kRed : x == 5 ? kGreen : kBlue); });
    auto skin = MakeSkin<CBkSkinImgHorzExtend>("src=\"1130\" left=\"5\"");
    SIZE size = skin->GetSkinSize();
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 6);
    Canvas canvas(80, 20);
    RECT rc = {0, 2, 60, 20};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(4, 2), kRed);
    EXPECT_EQ(canvas.At(5, 2), kGreen);
    EXPECT_EQ(canvas.At(45, 7), kGreen);
    EXPECT_EQ(canvas.At(46, 7), kBlue);
    EXPECT_EQ(canvas.At(59, 2), kBlue);
    EXPECT_EQ(canvas.At(30, 8), kWhite);   // bitmap height only

    // Narrower than the bitmap: drawn at the bitmap's width.
    canvas.Fill(kWhite);
    RECT narrow = {0, 0, 8, 6};
    skin->Draw(canvas.dc(), narrow, 0);
    EXPECT_EQ(canvas.At(19, 0), kBlue);
    EXPECT_EQ(canvas.At(20, 0), kWhite);
}

TEST_F(BitmapSkinTest, HorizontalExtendPicksSubImageByState)
{
    // Four 10-wide sub-images of grey levels 0, 1, 2, 3 (x 60).
    WriteBmp(1131, 40, 4, 24, [](int x, int) { int v = (x / 10) * 60; return Argb(RGB(v, v, v)); });
    auto skin = MakeSkin<CBkSkinImgHorzExtend>("src=\"1131\" subwidth=\"10\" left=\"3\"");
    EXPECT_FALSE(skin->IgnoreState());
    Canvas canvas(30, 4);
    RECT rc = {0, 0, 30, 4};
    const struct { DWORD state; int level; } cases[] = {
        {0, 0}, {BKSTATE_HOVER, 1}, {BKSTATE_PUSHED | BKSTATE_HOVER, 2}, {BKSTATE_DISABLED | BKSTATE_PUSHED, 3},
    };
    for (const auto& c : cases) {
        skin->Draw(canvas.dc(), rc, c.state);
        COLORREF want = RGB(c.level * 60, c.level * 60, c.level * 60);
        EXPECT_EQ(canvas.At(0, 0), want) << c.state;
        EXPECT_EQ(canvas.At(15, 0), want) << c.state;
        EXPECT_EQ(canvas.At(29, 3), want) << c.state;
    }
}

// --- button and gradation -----------------------------------------------------------

TEST_F(BitmapSkinTest, ButtonFaceFollowsStateAndBorder)
{
    auto skin = MakeSkin<CBkSkinButton>(
        "bg=\"102030\" border=\"FF0000\" bgup=\"00FF00\" bgdown=\"00FF00\" bguphover=\"0000FF\" "
        "bgdownhover=\"0000FF\" bguppush=\"FFFF00\" bgdownpush=\"FFFF00\"");
    EXPECT_FALSE(skin->IgnoreState());
    EXPECT_FALSE(skin->LazyLoad());
    Canvas canvas(40, 20);
    RECT rc = {0, 0, 40, 20};
    skin->Draw(canvas.dc(), rc, BKSTATE_DISABLED | BKSTATE_HOVER);
    EXPECT_EQ(canvas.At(0, 0), kRed);               // border
    EXPECT_EQ(canvas.At(39, 19), kRed);
    EXPECT_EQ(canvas.At(1, 1), RGB(0x10, 0x20, 0x30));   // bg between border and face
    EXPECT_EQ(canvas.At(20, 10), RGB(0x10, 0x20, 0x30));  // no face when disabled

    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(20, 10), kGreen);
    EXPECT_EQ(canvas.At(1, 1), RGB(0x10, 0x20, 0x30));
    skin->Draw(canvas.dc(), rc, BKSTATE_HOVER);
    EXPECT_EQ(canvas.At(20, 10), kBlue);
    skin->Draw(canvas.dc(), rc, BKSTATE_PUSHED | BKSTATE_HOVER);
    EXPECT_EQ(canvas.At(20, 10), RGB(255, 255, 0));

    auto flat = MakeSkin<CBkSkinButton>("useborder=\"0\" bgup=\"000000\" bgdown=\"FFFFFF\"");
    skin.reset();
    canvas.Fill(kRed);
    flat->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(0, 0), RGB(0, 0, 0), 16));      // the gradient reaches the edge
    EXPECT_TRUE(Near(canvas.At(0, 19), kWhite, 16));
    EXPECT_LT(GetRValue(canvas.At(20, 5)), GetRValue(canvas.At(20, 15)));
}

TEST_F(BitmapSkinTest, GradationFillsBeyondItsSizeWithTheEndColour)
{
    auto vert = MakeSkin<CBkSkinGradation>("from=\"000000\" to=\"FFFFFF\" direction=\"vert\" size=\"10\"");
    EXPECT_TRUE(vert->IgnoreState());
    Canvas canvas(30, 110, kRed);
    RECT rc = {0, 5, 30, 105};
    vert->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(3, 5), RGB(0, 0, 0), 30));
    EXPECT_LT(GetRValue(canvas.At(3, 6)), GetRValue(canvas.At(3, 13)));
    EXPECT_EQ(canvas.At(3, 15), kWhite);
    EXPECT_EQ(canvas.At(29, 104), kWhite);
    EXPECT_EQ(canvas.At(3, 4), kRed);
    EXPECT_EQ(canvas.At(3, 105), kRed);

    auto horz = MakeSkin<CBkSkinGradation>("from=\"0000FF\" to=\"FF0000\"");
    canvas.Fill(kWhite);
    horz->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(0, 50), kBlue, 20));
    EXPECT_TRUE(Near(canvas.At(29, 50), kRed, 20));

    CBkSkinGradation bad;
    EXPECT_EQ(bad.SetAttribute("direction", "up", TRUE), E_FAIL);
    EXPECT_EQ(bad.SetAttribute("angle", "3", TRUE), E_FAIL);
}

TEST_F(BitmapSkinTest, GradationKeepsTheCallersClip)
{
    auto skin = MakeSkin<CBkSkinGradation>("from=\"000000\" to=\"000000\" direction=\"vert\"");
    Canvas canvas(40, 40);
    ::IntersectClipRect(canvas.dc(), 0, 0, 20, 40);
    RECT rc = {0, 0, 40, 40};
    skin->Draw(canvas.dc(), rc, 0);
    EXPECT_EQ(canvas.At(5, 20), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(30, 20), kWhite);
}

// --- drawing routines and the table ----------------------------------------------------

TEST_F(BitmapSkinTest, EmptyDibIsBlackAndRefusesEmptySizes)
{
    HBITMAP bmp = nullptr;
    EXPECT_FALSE(BkCreateEmptyDib32(&bmp, 0, 5));
    EXPECT_EQ(bmp, nullptr);
    EXPECT_FALSE(BkCreateEmptyDib32(&bmp, 5, -1));
    ASSERT_TRUE(BkCreateEmptyDib32(&bmp, 7, 3));
    DIBSECTION ds = {};
    ASSERT_EQ(::GetObjectW(bmp, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
    ::GdiFlush();
    const uint32_t* px = static_cast<const uint32_t*>(ds.dsBm.bmBits);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(px[i] & 0xFFFFFF, 0u);
    ::DeleteObject(bmp);
}

TEST_F(BitmapSkinTest, SkinTableBuildsBitmapSkinsByElementName)
{
    WriteRgbStrip(1140);
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins>"
        "<imglst name=\"list\" src=\"1140\" subwidth=\"10\"/>"
        "<imgframe name=\"frame\" src=\"1140\" left=\"2\" top=\"2\" right=\"9\"/>"
        "<button name=\"btn\"/>"
        "<imghorzex name=\"bar\" src=\"1140\" left=\"4\"/>"
        "<gradation name=\"grad\" from=\"000000\" to=\"FFFFFF\"/>"
        "<img name=\"picture\" src=\"1140\"/>"
        "</skins>"}));
    CBkSkinBase* list = BkSkin::GetSkin("list");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->IsClass("imglst"));
    EXPECT_EQ(list->GetSkinSize().cx, 10);   // loaded by the lookup
    ASSERT_NE(BkSkin::GetSkin("frame"), nullptr);
    EXPECT_TRUE(BkSkin::GetSkin("frame")->IsClass("imgframe"));
    EXPECT_TRUE(BkSkin::GetSkin("btn")->IsClass("button"));
    EXPECT_TRUE(BkSkin::GetSkin("bar")->IsClass("imghorzex"));
    EXPECT_EQ(BkSkin::GetSkin("bar")->GetSkinSize().cy, 8);
    EXPECT_TRUE(BkSkin::GetSkin("grad")->IsClass("gradation"));
    EXPECT_EQ(BkSkin::GetSkin("picture"), nullptr);
    BkSkin::LoadSkinsFromSources({});
}

TEST_F(BitmapSkinTest, AlphaBlendReadsDeviceBitmapsAndClipsTheSourceWindow)
{
    // A device-dependent 32-bit bitmap: half-transparent red, opaque blue.
    const uint32_t pixels[2] = {Argb(kRed, 128), Argb(kBlue)};
    HBITMAP ddb = ::CreateBitmap(2, 1, 1, 32, pixels);
    ASSERT_NE(ddb, nullptr);
    Canvas canvas(6, 3);
    BkAlphaBlendBitmap(ddb, canvas.dc(), 1, 1, 2, 1, 0);
    EXPECT_TRUE(Near(canvas.At(1, 1), RGB(255, 127, 127))) << std::hex << canvas.At(1, 1);
    EXPECT_EQ(canvas.At(2, 1), kBlue);

    // A window reaching past the bitmap draws only what exists.
    canvas.Fill(kWhite);
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, 50, 50, 1);
    EXPECT_EQ(canvas.At(0, 0), kBlue);
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 1, 1}, kWhite));
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, 5, 5, 2);
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, 5, 5, -7);
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, -5, 5, 0);
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 1, 1}, kWhite));
    ::DeleteObject(ddb);
}
