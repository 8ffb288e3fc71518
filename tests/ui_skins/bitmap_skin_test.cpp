// Bitmap skins drawn into a 32-bit DIB, with their bitmaps written as .bmp
// files into a temporary resource folder. Every test uses its own resource
// ids: the bitmap pool keeps what it loaded for the whole run.
#include <gtest/gtest.h>

#include <string>

#include "skin_test_util.h"
#include "tests/ui_foundation/resource_folder.h"
#include "ui/bkbitmapskin.h"
#include "ui/bkbmppool.h"
#include "ui/bkdraw.h"
#include "ui/bkskin.h"
#include "ui/bkwnd.h"

using namespace skintest;

namespace {

const DWORD kWhole = static_cast<DWORD>(-1);
const RECT kNothing = {0, 0, 0, 0};

class BitmapSkinTest : public ::testing::Test {
protected:
    ResourceFolder folder_;

    void WriteBmp(UINT id, int w, int h, int bpp, const PixelFn& fn) {
        ASSERT_TRUE(folder_.Write(id, L"bmp", MakeBmp(w, h, bpp, fn)));
    }
    // Three 10 x 8 sub-images: red, green, blue.
    void WriteRgbStrip(UINT id) {
        WriteBmp(id, 30, 8, 24, [](int x, int) { return Argb(x < 10 ? kRed : x < 20 ? kGreen : kBlue); });
    }
};

} // namespace

TEST_F(BitmapSkinTest, PoolRetriesMissingIdsAndRefusesCorruptFiles) {
    EXPECT_EQ(BkBmpPool::GetBitmap(1101), nullptr);
    WriteRgbStrip(1101);
    HBITMAP first = BkBmpPool::GetBitmap(1101);   // a missing id was not remembered
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(BkBmpPool::GetBitmap(1101), first);

    std::string huge = MakeBmp(2, 2, 32, [](int, int) { return 0xFFFFFFFFu; });
    auto* ih = reinterpret_cast<BITMAPINFOHEADER*>(&huge[sizeof(BITMAPFILEHEADER)]);
    ih->biWidth = ih->biHeight = 100000;   // claims far more pixels than the file holds
    std::string cut = MakeBmp(64, 64, 24, [](int, int) { return 0u; });
    cut.resize(cut.size() / 2);
    ASSERT_TRUE(folder_.Write(1102, L"bmp", "BM this is not a bitmap at all"));
    ASSERT_TRUE(folder_.Write(1103, L"bmp", huge));
    ASSERT_TRUE(folder_.Write(1104, L"bmp", cut));
    for (UINT id : {1102u, 1103u, 1104u}) EXPECT_EQ(BkBmpPool::GetBitmap(id), nullptr) << id;

    // Skins over missing or unparsable sources load and draw nothing.
    Canvas canvas(10, 10);
    RECT rc = {0, 0, 10, 10};
    for (const char* src : {"1104", "1119", "12ab"}) {
        auto skin = MakeSkin<CBkImageSkin>(std::string("src=\"") + src + "\"");
        EXPECT_TRUE(skin->IsLoaded());
        skin->Draw(canvas.dc(), rc, kWhole);
        EXPECT_EQ(skin->GetSkinSize().cx, 0) << src;
    }
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));
}

TEST_F(BitmapSkinTest, ImageListDrawsSubImagesAtNaturalOrStretchSize) {
    WriteRgbStrip(1110);
    auto skin = MakeSkin<CBkImageSkin>("src=\"1110\" subwidth=\"10\"");
    EXPECT_EQ(skin->GetSkinSize().cx, 10);
    Canvas canvas(60, 30);
    RECT rc = {5, 5, 55, 25};   // the rectangle's size is not used
    skin->Draw(canvas.dc(), rc, 1);
    ExpectPixels(canvas, {{5, 5, kGreen}, {14, 12, kGreen}});
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{5, 5, 15, 13}, kWhite));
    canvas.Fill(kWhite);
    skin->Draw(canvas.dc(), rc, kWhole);   // the whole strip
    ExpectPixels(canvas, {{5, 5, kRed}, {20, 5, kGreen}, {34, 12, kBlue}, {35, 5, kWhite}});
    canvas.Fill(kWhite);
    skin->Draw(canvas.dc(), rc, 3);   // past the strip: nothing
    skin->Draw(canvas.dc(), rc, 0x7FFFFFFF);
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));

    // Without sub-images only the whole strip is drawn; a negative width means none.
    auto whole = MakeSkin<CBkImageSkin>("src=\"1110\" subwidth=\"-20\"");
    EXPECT_EQ(whole->GetSkinSize().cx, 30);
    whole->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));

    auto stretched = MakeSkin<CBkImageSkin>("src=\"1110\" subwidth=\"10\" stretch-x=\"20\" stretch-y=\"16\"");
    RECT at = {2, 3, 40, 30};
    stretched->Draw(canvas.dc(), at, 2);
    ExpectPixels(canvas, {{2, 3, kBlue}, {21, 18, kBlue}, {22, 18, kWhite}, {21, 19, kWhite}});
}

TEST_F(BitmapSkinTest, MaskColourAndPerPixelAlphaModes) {
    const COLORREF magenta = RGB(255, 0, 255);
    WriteBmp(1113, 8, 8, 24, [&](int x, int y) { return Argb((x + y) % 2 ? magenta : kBlue); });
    Canvas canvas(10, 10, kGreen);
    RECT rc = {1, 1, 9, 9};
    MakeSkin<CBkImageSkin>("src=\"1113\" mode=\"mask\"")->Draw(canvas.dc(), rc, kWhole);
    ExpectPixels(canvas, {{1, 1, kBlue}, {2, 1, kGreen}, {8, 7, kGreen}, {8, 8, kBlue}, {0, 0, kGreen}});
    canvas.Fill(kGreen);
    MakeSkin<CBkImageSkin>("src=\"1113\" mode=\"mask\" maskcolor=\"0000FF\"")->Draw(canvas.dc(), rc, kWhole);
    ExpectPixels(canvas, {{1, 1, kGreen}, {2, 1, magenta}});

    // Left half half-transparent red, right half opaque blue; a 24-bit bitmap has no alpha to blend.
    WriteBmp(1114, 10, 4, 32, [](int x, int) { return x < 5 ? Argb(kRed, 128) : Argb(kBlue, 255); });
    WriteBmp(1115, 10, 4, 24, [](int, int) { return Argb(kRed); });
    canvas.Fill(kWhite);
    RECT at = {1, 1, 12, 6};
    MakeSkin<CBkImageSkin>("src=\"1114\" mode=\"alpha\"")->Draw(canvas.dc(), at, kWhole);
    EXPECT_TRUE(Near(canvas.At(1, 1), RGB(255, 127, 127))) << std::hex << canvas.At(1, 1);
    ExpectPixels(canvas, {{6, 4, kBlue}, {1, 5, kWhite}});
    canvas.Fill(kWhite);
    MakeSkin<CBkImageSkin>("src=\"1115\" mode=\"alpha\"")->Draw(canvas.dc(), at, kWhole);
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));
}

namespace {

// A 30 x 40 frame bitmap split at column 5 and row 28: each corner, edge
// strip and the centre pixel has its own colour.
const COLORREF kTL = RGB(10, 0, 0), kTR = RGB(20, 0, 0), kBL = RGB(30, 0, 0), kBR = RGB(40, 0, 0);
const COLORREF kTopEdge = RGB(0, 10, 0), kBottomEdge = RGB(0, 20, 0);
const COLORREF kLeftEdge = RGB(0, 0, 10), kRightEdge = RGB(0, 0, 20), kCentre = RGB(9, 9, 9);

uint32_t FramePixel(int x, int y) {
    const int L = 5, T = 28;
    if (x == L && y == T) return Argb(kCentre);
    if (x == L) return Argb(y < T ? kTopEdge : kBottomEdge);
    if (y == T) return Argb(x < L ? kLeftEdge : kRightEdge);
    if (y < T) return Argb(x < L ? kTL : kTR);
    return Argb(x < L ? kBL : kBR);
}

} // namespace

TEST_F(BitmapSkinTest, FrameKeepsCornersStretchesEdgesAndStaysInItsRectangle) {
    WriteBmp(1120, 30, 40, 24, FramePixel);
    Canvas canvas(120, 120);
    RECT rc = {10, 10, 110, 110};
    MakeSkin<CBkSkinImgFrame>("src=\"1120\" left=\"5\" top=\"28\" crbg=\"336699\"")->Draw(canvas.dc(), rc, 0);
    // Top-left 5 x 28, top-right 24 x 28, bottom-left 5 x 11, bottom-right 24 x 11; the centre is crbg.
    ExpectPixels(canvas, {{10, 10, kTL}, {14, 37, kTL}, {86, 10, kTR}, {109, 37, kTR}, {10, 99, kBL},
                          {14, 109, kBL}, {86, 99, kBR}, {109, 109, kBR}, {15, 10, kTopEdge}, {85, 37, kTopEdge},
                          {50, 99, kBottomEdge}, {10, 38, kLeftEdge}, {14, 98, kLeftEdge}, {86, 38, kRightEdge},
                          {109, 98, kRightEdge}, {15, 38, RGB(0x33, 0x66, 0x99)}, {85, 98, RGB(0x33, 0x66, 0x99)}});
    EXPECT_TRUE(canvas.UnchangedOutside(rc, kWhite));

    canvas.Fill(kWhite);
    RECT middle = {0, 0, 100, 60};
    MakeSkin<CBkSkinImgFrame>("src=\"1120\" left=\"5\" top=\"28\" part=\"middle\"")->Draw(canvas.dc(), middle, 0);
    ExpectPixels(canvas, {{0, 0, kLeftEdge}, {4, 59, kLeftEdge}, {76, 0, kRightEdge}, {99, 59, kRightEdge},
                          {5, 0, kWhite}, {50, 59, kWhite}});

    // Splits outside the bitmap and rectangles smaller than the corners.
    WriteBmp(1122, 6, 6, 24, [](int, int) { return Argb(kBlue); });
    RECT inner = {20, 20, 50, 50};
    for (const char* attrs : {"left=\"1000\" top=\"-5\"", "left=\"-7\" top=\"99999\"", "left=\"6\" top=\"6\""}) {
        canvas.Fill(kWhite);
        MakeSkin<CBkSkinImgFrame>(std::string("src=\"1122\" ") + attrs)->Draw(canvas.dc(), inner, 0);
        EXPECT_TRUE(canvas.UnchangedOutside(inner, kWhite)) << attrs;
        EXPECT_EQ(canvas.At(20, 20), kBlue) << attrs;
    }
    canvas.Fill(kWhite);
    RECT tiny = {20, 20, 22, 21};
    MakeSkin<CBkSkinImgFrame>("src=\"1122\" left=\"3\" top=\"3\"")->Draw(canvas.dc(), tiny, 0);
    EXPECT_EQ(canvas.At(20, 20), kBlue);
}

TEST_F(BitmapSkinTest, HorizontalExtendStretchesTheSplitColumnOfTheStateImage) {
    // 20 x 6: columns 0-4 red, column 5 green, 6-19 blue.
    WriteBmp(1130, 20, 6, 24, [](int x, int) { return Argb(x < 5 ? kRed : x == 5 ? kGreen : kBlue); });
    auto skin = MakeSkin<CBkSkinImgHorzExtend>("src=\"1130\" left=\"5\"");
    EXPECT_EQ(skin->GetSkinSize().cy, 6);
    Canvas canvas(80, 20);
    RECT rc = {0, 2, 60, 20};
    skin->Draw(canvas.dc(), rc, 0);
    ExpectPixels(canvas, {{4, 2, kRed}, {5, 2, kGreen}, {45, 7, kGreen}, {46, 7, kBlue}, {59, 2, kBlue},
                          {30, 8, kWhite}});   // bitmap height only
    canvas.Fill(kWhite);
    RECT narrow = {0, 0, 8, 6};   // narrower than the bitmap: drawn at the bitmap's width
    skin->Draw(canvas.dc(), narrow, 0);
    ExpectPixels(canvas, {{19, 0, kBlue}, {20, 0, kWhite}});

    // Four 10-wide sub-images of grey levels 0, 60, 120, 180.
    WriteBmp(1131, 40, 4, 24, [](int x, int) { int v = (x / 10) * 60; return Argb(RGB(v, v, v)); });
    auto states = MakeSkin<CBkSkinImgHorzExtend>("src=\"1131\" subwidth=\"10\" left=\"3\"");
    RECT bar = {0, 0, 30, 4};
    const struct { DWORD state; int level; } cases[] = {
        {0, 0}, {BKSTATE_HOVER, 1}, {BKSTATE_PUSHED | BKSTATE_HOVER, 2}, {BKSTATE_DISABLED | BKSTATE_PUSHED, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        states->Draw(canvas.dc(), bar, c.state);
        const COLORREF want = RGB(c.level * 60, c.level * 60, c.level * 60);
        ExpectPixels(canvas, {{0, 0, want}, {15, 0, want}, {29, 3, want}});
    }
}

TEST_F(BitmapSkinTest, ButtonFaceFollowsStateAndBorder) {
    auto skin = MakeSkin<CBkSkinButton>(
        "bg=\"102030\" border=\"FF0000\" bgup=\"00FF00\" bgdown=\"00FF00\" bguphover=\"0000FF\" "
        "bgdownhover=\"0000FF\" bguppush=\"FFFF00\" bgdownpush=\"FFFF00\"");
    const COLORREF bg = RGB(0x10, 0x20, 0x30);
    Canvas canvas(40, 20);
    RECT rc = {0, 0, 40, 20};
    const struct { DWORD state; COLORREF face; } cases[] = {
        {BKSTATE_DISABLED | BKSTATE_HOVER, bg}, {0, kGreen}, {BKSTATE_HOVER, kBlue},
        {BKSTATE_PUSHED | BKSTATE_HOVER, RGB(255, 255, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        skin->Draw(canvas.dc(), rc, c.state);
        ExpectPixels(canvas, {{0, 0, kRed}, {39, 19, kRed}, {1, 1, bg}, {20, 10, c.face}});
    }
    auto flat = MakeSkin<CBkSkinButton>("useborder=\"0\" bgup=\"000000\" bgdown=\"FFFFFF\"");
    canvas.Fill(kRed);
    flat->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(0, 0), RGB(0, 0, 0), 16));   // the gradient reaches the edge
    EXPECT_TRUE(Near(canvas.At(0, 19), kWhite, 16));
    EXPECT_LT(GetRValue(canvas.At(20, 5)), GetRValue(canvas.At(20, 15)));
}

TEST_F(BitmapSkinTest, GradationFillsBeyondItsSizeAndKeepsTheCallersClip) {
    auto vert = MakeSkin<CBkSkinGradation>("from=\"000000\" to=\"FFFFFF\" direction=\"vert\" size=\"10\"");
    Canvas canvas(30, 110, kRed);
    RECT rc = {0, 5, 30, 105};
    vert->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(3, 5), RGB(0, 0, 0), 30));
    EXPECT_LT(GetRValue(canvas.At(3, 6)), GetRValue(canvas.At(3, 13)));
    ExpectPixels(canvas, {{3, 15, kWhite}, {29, 104, kWhite}, {3, 4, kRed}, {3, 105, kRed}});

    canvas.Fill(kWhite);
    MakeSkin<CBkSkinGradation>("from=\"0000FF\" to=\"FF0000\"")->Draw(canvas.dc(), rc, 0);
    EXPECT_TRUE(Near(canvas.At(0, 50), kBlue, 20));
    EXPECT_TRUE(Near(canvas.At(29, 50), kRed, 20));

    canvas.Fill(kWhite);
    ::IntersectClipRect(canvas.dc(), 0, 0, 20, 110);
    MakeSkin<CBkSkinGradation>("from=\"000000\" to=\"000000\" direction=\"vert\"")->Draw(canvas.dc(), rc, 0);
    ExpectPixels(canvas, {{5, 20, RGB(0, 0, 0)}, {25, 20, kWhite}});
}

TEST_F(BitmapSkinTest, SkinTableBuildsEveryImageSkinByElementName) {
    WriteRgbStrip(1140);
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins><imglst name=\"imglst\" src=\"1140\" subwidth=\"10\"/>"
        "<imgframe name=\"imgframe\" src=\"1140\" left=\"2\" top=\"2\" right=\"9\"/><button name=\"button\"/>"
        "<imghorzex name=\"imghorzex\" src=\"1140\" left=\"4\"/><gradation name=\"gradation\" from=\"000000\"/>"
        "<png name=\"png\" src=\"1141\" mode=\"alpha\"/><jpg name=\"jpg\" src=\"1142\"/>"
        "<skinpng name=\"skinpng\" src=\"1143\"/><skinjpg name=\"skinjpg\" src=\"1144\"/>"
        "<img name=\"img\" src=\"1140\"/></skins>"}));
    for (const char* name : {"imglst", "imgframe", "button", "imghorzex", "gradation", "png", "jpg", "skinpng", "skinjpg"}) {
        CBkSkinBase* skin = BkSkin::GetSkin(name);
        ASSERT_NE(skin, nullptr) << name;
        EXPECT_TRUE(skin->IsClass(name));
    }
    EXPECT_EQ(BkSkin::GetSkin("imglst")->GetSkinSize().cx, 10);   // loaded by the lookup
    EXPECT_EQ(BkSkin::GetSkin("img"), nullptr);
    BkSkin::LoadSkinsFromSources({});
}

TEST_F(BitmapSkinTest, EmptyDibAndAlphaBlendOfDeviceBitmaps) {
    HBITMAP bmp = nullptr;
    EXPECT_FALSE(BkCreateEmptyDib32(&bmp, 0, 5));
    EXPECT_FALSE(BkCreateEmptyDib32(&bmp, 5, -1));
    EXPECT_EQ(bmp, nullptr);
    ASSERT_TRUE(BkCreateEmptyDib32(&bmp, 7, 3));
    DIBSECTION ds = {};
    ASSERT_EQ(::GetObjectW(bmp, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
    ::DeleteObject(bmp);

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
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, 5, 5, 2);
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, 5, 5, -7);
    BkAlphaBlendBitmap(ddb, canvas.dc(), 0, 0, -5, 5, 0);
    EXPECT_TRUE(canvas.UnchangedOutside(RECT{0, 0, 1, 1}, kWhite));
    ::DeleteObject(ddb);
}
