// Skins drawn into a 32-bit DIB from images made at run time. Every test uses
// its own resource ids: the pools keep what they loaded for the whole run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/strconv.h"
#include "skin_test_util.h"
#include "tests/support/test_support.h"
#include "tests/ui_foundation/resource_folder.h"
#include "ui/bkbitmapskin.h"
#include "ui/bkctrl_imagex.h"
#include "ui/bkbmppool.h"
#include "ui/bkdraw.h"
#include "ui/bkpngpool.h"
#include "ui/bkpngskin.h"
#include "ui/bkskin.h"
#include "ui/bkwnd.h"

using namespace skintest;

namespace {

const DWORD kWhole = static_cast<DWORD>(-1);
const RECT kNothing = {0, 0, 0, 0};
const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kHalfBlueOnWhite = RGB(127, 127, 255);

#define EXPECT_NEAR_COLOUR(canvas, x, y, want, tolerance) \
    EXPECT_TRUE(Near((canvas).At(x, y), want, tolerance)) << std::hex << (canvas).At(x, y) << " at " << std::dec << x << "," << y

class SkinTest : public ::testing::Test {
protected:
    ResourceFolder folder_;

    void WriteBmp(UINT id, int w, int h, int bpp, const PixelFn& fn) {
        ASSERT_TRUE(folder_.Write(id, L"bmp", MakeBmp(w, h, bpp, fn)));
    }
    // Three 10 x 8 sub-images: red, green, blue.
    void WriteRgbStrip(UINT id) {
        WriteBmp(id, 30, 8, 24, [](int x, int) { return Argb(x < 10 ? kRed : x < 20 ? kGreen : kBlue); });
    }
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

TEST_F(SkinTest, PoolRetriesMissingIdsAndRefusesCorruptFiles) {
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
    for (const char* src : {"1104", "1119", "12ab"}) {
        auto skin = MakeSkin<CBkImageSkin>(std::string("src=\"") + src + "\"");
        EXPECT_TRUE(skin->IsLoaded());
        skin->Draw(canvas.dc(), RECT{0, 0, 10, 10}, kWhole);
        EXPECT_EQ(skin->GetSkinSize().cx, 0) << src;
    }
    EXPECT_TRUE(canvas.UnchangedOutside(kNothing, kWhite));
}

TEST_F(SkinTest, ImageListDrawsSubImagesAtNaturalOrStretchSize) {
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
    stretched->Draw(canvas.dc(), RECT{2, 3, 40, 30}, 2);
    ExpectPixels(canvas, {{2, 3, kBlue}, {21, 18, kBlue}, {22, 18, kWhite}, {21, 19, kWhite}});
}

TEST_F(SkinTest, MaskColourAndPerPixelAlphaModes) {
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

TEST_F(SkinTest, FrameKeepsCornersStretchesEdgesAndStaysInItsRectangle) {
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
    MakeSkin<CBkSkinImgFrame>("src=\"1122\" left=\"3\" top=\"3\"")->Draw(canvas.dc(), RECT{20, 20, 22, 21}, 0);
    EXPECT_EQ(canvas.At(20, 20), kBlue);
}

TEST_F(SkinTest, HorizontalExtendStretchesTheSplitColumnOfTheStateImage) {
    // 20 x 6: columns 0-4 red, column 5 green, 6-19 blue.
    WriteBmp(1130, 20, 6, 24, [](int x, int) { return Argb(x < 5 ? kRed : x == 5 ? kGreen : kBlue); });
    auto skin = MakeSkin<CBkSkinImgHorzExtend>("src=\"1130\" left=\"5\"");
    EXPECT_EQ(skin->GetSkinSize().cy, 6);
    Canvas canvas(80, 20);
    skin->Draw(canvas.dc(), RECT{0, 2, 60, 20}, 0);
    ExpectPixels(canvas, {{4, 2, kRed}, {5, 2, kGreen}, {45, 7, kGreen}, {46, 7, kBlue}, {59, 2, kBlue},
                          {30, 8, kWhite}});   // bitmap height only
    canvas.Fill(kWhite);
    RECT narrow = {0, 0, 8, 6};   // narrower than the bitmap: drawn at the bitmap's width
    skin->Draw(canvas.dc(), narrow, 0);
    ExpectPixels(canvas, {{19, 0, kBlue}, {20, 0, kWhite}});

    // Four 10-wide sub-images of grey levels 0, 60, 120, 180.
    WriteBmp(1131, 40, 4, 24, [](int x, int) { int v = (x / 10) * 60; return Argb(RGB(v, v, v)); });
    auto states = MakeSkin<CBkSkinImgHorzExtend>("src=\"1131\" subwidth=\"10\" left=\"3\"");
    const struct { DWORD state; int level; } cases[] = {
        {0, 0}, {BKSTATE_HOVER, 1}, {BKSTATE_PUSHED | BKSTATE_HOVER, 2}, {BKSTATE_DISABLED | BKSTATE_PUSHED, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        states->Draw(canvas.dc(), RECT{0, 0, 30, 4}, c.state);
        const COLORREF want = RGB(c.level * 60, c.level * 60, c.level * 60);
        ExpectPixels(canvas, {{0, 0, want}, {15, 0, want}, {29, 3, want}});
    }
}

TEST_F(SkinTest, ButtonFaceFollowsStateAndBorder) {
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

TEST_F(SkinTest, GradationFillsBeyondItsSizeAndKeepsTheCallersClip) {
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

TEST_F(SkinTest, SkinTableBuildsEveryImageSkinByElementName) {
    WriteRgbStrip(1140);
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins><imglst name=\"imglst\" src=\"1140\" subwidth=\"10\"/>"
        "<imgframe name=\"imgframe\" src=\"1140\" left=\"2\" top=\"2\" right=\"9\"/><button name=\"button\"/>"
        "<imghorzex name=\"imghorzex\" src=\"1140\" left=\"4\"/><gradation name=\"gradation\" from=\"000000\"/>"
        "<png name=\"png\" src=\"1141\" mode=\"alpha\"/><jpg name=\"jpg\" src=\"1142\"/>"
        "<skinpng name=\"skinpng\" src=\"1143\"/><skinjpg name=\"skinjpg\" src=\"1144\"/>"
        "<img name=\"img\" src=\"1140\"/></skins>"}));
    for (const char* name : {"imglst", "imgframe", "button", "imghorzex", "gradation", "png", "jpg", "skinpng", "skinjpg"})
        EXPECT_TRUE(BkSkin::GetSkin(name) && BkSkin::GetSkin(name)->IsClass(name)) << name;
    EXPECT_EQ(BkSkin::GetSkin("imglst")->GetSkinSize().cx, 10);   // loaded by the lookup
    EXPECT_EQ(BkSkin::GetSkin("img"), nullptr);
    BkSkin::LoadSkinsFromSources({});
}

TEST_F(SkinTest, EmptyDibAndAlphaBlendOfDeviceBitmaps) {
    HBITMAP bmp = nullptr;
    EXPECT_FALSE(BkCreateEmptyDib32(&bmp, 0, 5) || BkCreateEmptyDib32(&bmp, 5, -1) || bmp);
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

TEST_F(SkinTest, PoolsDecodeOnceAndBrokenImagesDrawNothing) {
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

TEST_F(SkinTest, SubImagesWrapAroundTheStripAndPerPixelAlphaBlends) {
    WriteImage(2020, L"png", 144, 12, FourStates);
    auto skin = MakeSkin<CBkPngSkin>("src=\"2020\" subwidth=\"36\"");
    EXPECT_EQ(skin->GetSkinSize().cx, 36);
    Canvas canvas(60, 20);
    const struct { DWORD index; COLORREF color; } cases[] = {
        {1, kGreen}, {5, kGreen}, {static_cast<DWORD>(-1), kYellow}, {0, kRed}, {2, kBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        canvas.Fill(kWhite);
        skin->Draw(canvas.dc(), RECT{4, 4, 60, 20}, c.index);
        ExpectPixels(canvas, {{4, 4, c.color}, {39, 15, c.color}});
        EXPECT_TRUE(canvas.UnchangedOutside(RECT{4, 4, 40, 16}, kWhite));
    }

    // Per-pixel alpha, left to right: transparent, half red, opaque blue; DrawAlpha halves it again.
    WriteImage(2021, L"png", 30, 4, [](int x, int) { return x < 10 ? Argb(kRed, 0) : x < 20 ? Argb(kRed, 128) : Solid(kBlue); });
    auto alpha = MakeSkin<CBkPngSkin>("src=\"2021\"");
    RECT strip = {0, 0, 30, 4};
    canvas.Fill(kGreen);
    alpha->Draw(canvas.dc(), strip, 0);
    ExpectPixels(canvas, {{5, 1, kGreen}, {25, 1, kBlue}});
    EXPECT_NEAR_COLOUR(canvas, 15, 1, RGB(128, 127, 0), 4);
    canvas.Fill(kWhite);
    alpha->DrawAlpha(canvas.dc(), strip, strip, 128);
    EXPECT_NEAR_COLOUR(canvas, 25, 1, kHalfBlueOnWhite, 4);
    EXPECT_EQ(canvas.At(5, 1), kWhite);
}

TEST_F(SkinTest, MarginsKeepCapsAndStretchOrTileTheMiddle) {
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
    MakeSkin<CBkPngSkin>("src=\"2024\" margin_top=\"5\" margin_bottom=\"5\"")->Draw(canvas.dc(), RECT{0, 0, 10, 100}, 0);
    ExpectPixels(canvas, {{5, 0, kRed}, {5, 4, kRed}, {5, 6, kGreen}, {5, 93, kGreen}, {5, 95, kBlue}, {9, 99, kBlue}});
}

TEST_F(SkinTest, EightPieceFrameLeavesTheCentreUntouched) {
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

TEST_F(SkinTest, FlipMirrorStretchTileGreyAndPoints) {
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
    square->DrawTiled(canvas.dc(), RECT{0, 0, 35, 25});
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

TEST_F(SkinTest, FlippedSkinDrawsItsOwnCopyNeverThePooledImage) {
    WriteImage(2029, L"png", 20, 4, [](int x, int) { return Solid(x < 10 ? kRed : kBlue); });
    auto flipped = MakeSkin<CBkPngSkin>("src=\"2029\" fliptype=\"2\"");  // turned half round
    Canvas canvas(40, 30);
    RECT rc = {0, 0, 20, 4};
    flipped->DrawStretch(canvas.dc(), rc, rc);
    ExpectPixels(canvas, {{2, 1, kBlue}, {17, 1, kRed}});
    // Another user holds the pooled image's pixels meanwhile: a flip made in
    // the shared image would fail, or be seen by that user.
    auto* pooled = static_cast<Gdiplus::Bitmap*>(BkPngPool::Get(2029));
    Gdiplus::Rect all(0, 0, 20, 4);
    Gdiplus::BitmapData data;
    ASSERT_EQ(pooled->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data), Gdiplus::Ok);
    const uint32_t first = static_cast<const uint32_t*>(data.Scan0)[0];
    canvas.Fill(kWhite);
    flipped->DrawStretch(canvas.dc(), rc, rc);
    flipped->DrawMirrored(canvas.dc(), RECT{20, 0, 40, 4});
    EXPECT_EQ(static_cast<const uint32_t*>(data.Scan0)[0], first);
    pooled->UnlockBits(&data);
    ExpectPixels(canvas, {{2, 1, kBlue}, {17, 1, kRed}, {22, 1, kRed}, {37, 1, kBlue}});
}

TEST_F(SkinTest, AbsurdMarginsStayInsideTheRectangle) {
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

TEST_F(SkinTest, StretchIntoATransparentSurfaceKeepsTheImagesAlpha) {
    // Layered windows (the drop shadow) stretch skins into a cleared surface and hand its alpha to the system.
    WriteImage(2060, L"png", 4, 4, [](int x, int) { return x < 2 ? Argb(kRed, 128) : Solid(kBlue); });
    auto skin = MakeSkin<CBkPngSkin>("src=\"2060\"");
    Canvas canvas(8, 8);
    canvas.ClearAlpha();
    RECT dest = {0, 0, 8, 8}, src = {0, 0, 4, 4};
    skin->DrawStretch(canvas.dc(), dest, src);
    // Premultiplied; the stretched edges do not fade into the transparency beyond the image.
    EXPECT_EQ(canvas.Raw(7, 7), 0xFF0000FFu) << std::hex << canvas.Raw(7, 7);
    EXPECT_NEAR(static_cast<int>(canvas.Raw(0, 0) >> 24), 128, 2) << std::hex << canvas.Raw(0, 0);
    EXPECT_NEAR(static_cast<int>((canvas.Raw(0, 0) >> 16) & 0xFF), 128, 2) << std::hex << canvas.Raw(0, 0);
}

TEST_F(SkinTest, JpgDrawsCapsSubImagesAndGrey) {
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
    skin->DrawGray(canvas.dc(), rc, RECT{0, 0, 20, 20});
    EXPECT_NEAR_COLOUR(canvas, 50, 15, RGB(76, 76, 76), 40);
    EXPECT_LE(std::abs(GetRValue(canvas.At(50, 15)) - GetBValue(canvas.At(50, 15))), 4);
}

TEST_F(SkinTest, RotatedImageTurnsJpgSkinsAsWellAsPng) {
    const PixelFn halves = [](int x, int) { return Solid(x < 10 ? kRed : kBlue); };
    WriteImage(2050, L"png", 20, 10, halves);
    WriteImage(2051, L"jpg", 20, 10, halves);
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({"<skins><png name=\"rp\" src=\"2050\"/><jpg name=\"rj\" src=\"2051\"/></skins>"}));
    for (const char* skin : {"rp", "rj"}) {
        const std::string xml = std::string("<imgrotale skin=\"") + skin + "\" angle=\"180\"/>";
        TiXmlDocument doc;
        doc.Parse(xml.c_str());
        CBkImageRotale image;
        image.Load(doc.RootElement());
        WINDOWPOS pos = {nullptr, nullptr, 10, 5, 20, 10, 0};
        image.SendMessageToSelf(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
        ASSERT_EQ(image.GetRect().right, 30) << skin;  // the skin's own size
        Canvas canvas(40, 20);
        HDC dc = canvas.dc();
        image.RedrawRegion(dc, nullptr);
        // Half a turn: the blue half now on the left.
        EXPECT_NEAR_COLOUR(canvas, 13, 10, kBlue, 40);
        EXPECT_NEAR_COLOUR(canvas, 26, 10, kRed, 40);
    }
    BkSkin::LoadSkinsFromSources({});
}

TEST_F(SkinTest, NormalSkinLoadsFromResourceOrFileAtItsOpacity) {
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

TEST_F(SkinTest, NormalSkinSubImagesTilesGreyAndMargins) {
    WriteImage(2044, L"png", 144, 12, FourStates);
    auto skin = MakeSkin<CBkNormalPngSkin>("src=\"2044\" subwidth=\"36\"");
    Canvas canvas(150, 30);
    RECT rc = {0, 0, 36, 12};
    skin->Draw(canvas.dc(), rc, 6);
    ExpectPixels(canvas, {{0, 0, kBlue}, {36, 0, kWhite}});
    canvas.Fill(kWhite);
    skin->DrawTiled(canvas.dc(), RECT{0, 0, 150, 30});
    ExpectPixels(canvas, {{0, 13, kRed}, {143, 23, kYellow}, {145, 5, kWhite}, {5, 25, kWhite}});
    skin->DrawGray(canvas.dc(), rc, rc);
    EXPECT_NEAR_COLOUR(canvas, 5, 5, RGB(76, 76, 76), 2);

    canvas.Fill(kWhite);
    MakeSkin<CBkNormalPngSkin>("src=\"2044\" margin_left=\"36\" margin_right=\"36\"")->Draw(canvas.dc(), RECT{0, 0, 150, 20}, 0);
    ExpectPixels(canvas, {{0, 5, kRed}, {60, 5, kGreen}, {149, 5, kYellow}, {5, 15, kWhite}});   // image height only
}
