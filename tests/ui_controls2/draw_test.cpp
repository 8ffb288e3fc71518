#include <gtest/gtest.h>

#include <objidl.h>
#include <gdiplus.h>

#include "tests/support/test_support.h"
#include "tests/ui_controls2/controls2_helpers.h"
#include "tests/ui_skins/skin_test_util.h"
#include "ui/bkctrl_icon.h"
#include "ui/bkctrl_imagex.h"
#include "ui/bkctrl_line.h"
#include "ui/bkctrl_link.h"

using c2test::Canvas;
using c2test::Load;

namespace {

const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

void Draw(CBkDialog* root, Canvas& canvas) {
    HDC dc = canvas.dc();
    root->RedrawRegion(dc, nullptr);
}

TEST(LineTest, DotsWithGdiSolidWithGdiplusAndUnknownStyleKept) {
    // Zero height: the background fill is empty and only the line shows.
    auto root = Load("<dlg>"
                     "<hr id=\"1\" pos=\"0,10,100,10\" crbg=\"ff0000\" style=\"dot\"/>"
                     "<hr id=\"2\" pos=\"0,20,100,20\" crbg=\"ff0000\" style=\"dot\" gdiplus=\"1\"/>"
                     "<hr id=\"3\" pos=\"0,30,100,30\" crbg=\"0000ff\" size=\"3\"/>"
                     "</dlg>",
                     nullptr);
    ASSERT_TRUE(root);
    Canvas canvas(120, 40);
    Draw(root.get(), canvas);

    const int dotted = canvas.Count(RECT{0, 10, 100, 11}, kRed);
    EXPECT_GT(dotted, 20);
    EXPECT_LT(dotted, 90);  // gaps between the dots
    EXPECT_GE(canvas.Count(RECT{1, 20, 99, 21}, kRed), 98);  // GDI+ ignores the pen style
    EXPECT_GE(canvas.Count(RECT{0, 29, 100, 32}, kBlue), 250);  // three pixels wide
    EXPECT_EQ(canvas.At(50, 15), kGrey);

    auto* line = static_cast<CBkLine*>(root->FindChildByCmdID(1));
    EXPECT_EQ(line->SetAttribute("style", "wavy", FALSE), E_FAIL);
    EXPECT_EQ(line->GetPenStyle(), PS_DOT);
    EXPECT_EQ(line->SetAttribute("style", "dashdotdot", FALSE), S_FALSE);
    EXPECT_EQ(line->GetPenStyle(), PS_DASHDOTDOT);
    EXPECT_EQ(line->SetAttribute("size", "999999999", FALSE), S_FALSE);
    EXPECT_LE(line->GetLineSize(), 1024);
}

TEST(IconTest, SystemIconScaledIntoItsRectangleAndMissingIconBlank) {
    auto root = Load("<dlg>"
                     "<icon id=\"1\" pos=\"0,0,16,16\" src=\"32516\" oem=\"1\" size=\"32\"/>"
                     "<icon id=\"2\" pos=\"40,0\" src=\"999\" size=\"24\"/>"
                     "<icon id=\"3\" pos=\"80,0\" src=\"-7\" size=\"100000\"/>"
                     "<dlg pos=\"0,50,100,100\"><icon id=\"4\" width=\"16\" height=\"16\" src=\"32512\" oem=\"1\" size=\"32\"/></dlg>"
                     "</dlg>",
                     nullptr);
    ASSERT_TRUE(root);
    auto* oem = static_cast<CBkIconWnd*>(root->FindChildByCmdID(1));
    auto* missing = static_cast<CBkIconWnd*>(root->FindChildByCmdID(2));
    ASSERT_NE(oem->GetIcon(), nullptr);
    EXPECT_EQ(missing->GetIcon(), nullptr);
    // Natural size is the "size" attribute; absurd sizes are capped.
    EXPECT_EQ(missing->GetRect(), (RECT{40, 0, 64, 24}));
    EXPECT_LE(root->FindChildByCmdID(3)->GetRect().right - 80, 256);

    Canvas canvas(300, 300);
    Draw(root.get(), canvas);
    EXPECT_GT(16 * 16 - canvas.Count(RECT{0, 0, 16, 16}, kGrey), 10);
    EXPECT_EQ(canvas.Count(RECT{16, 0, 40, 40}, kGrey), 24 * 40);  // nothing beyond 16 x 16
    EXPECT_EQ(canvas.Count(RECT{0, 16, 16, 40}, kGrey), 16 * 24);
    EXPECT_EQ(canvas.Count(RECT{40, 0, 64, 24}, kGrey), 24 * 24);
    // Fixed width and height also shrink the 32-pixel icon into 16 x 16.
    EXPECT_EQ(root->FindChildByCmdID(4)->GetRect(), (RECT{0, 50, 16, 66}));
    EXPECT_GT(16 * 16 - canvas.Count(RECT{0, 50, 16, 66}, kGrey), 10);
    EXPECT_EQ(canvas.Count(RECT{16, 50, 40, 90}, kGrey), 24 * 40);

    // A new src through the view reloads at the next paint.
    EXPECT_EQ(missing->SetAttribute("oem", "1", FALSE), S_FALSE);
    EXPECT_EQ(missing->SetAttribute("src", "32512", FALSE), S_FALSE);
    Draw(root.get(), canvas);
    EXPECT_NE(missing->GetIcon(), nullptr);
}

HICON MakeIcon(COLORREF color) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 16, 16);
    HBITMAP mask = ::CreateBitmap(16, 16, 1, 1, nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    RECT rc = {0, 0, 16, 16};
    HBRUSH brush = ::CreateSolidBrush(color);
    ::FillRect(dc, &rc, brush);
    ::DeleteObject(brush);
    ::SelectObject(dc, mask);
    ::PatBlt(dc, 0, 0, 16, 16, BLACKNESS);  // opaque everywhere
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    ICONINFO ii = {TRUE, 0, 0, mask, bmp};
    HICON icon = ::CreateIconIndirect(&ii);
    ::DeleteObject(bmp);
    ::DeleteObject(mask);
    return icon;
}

bool IconAlive(HICON icon) {
    ICONINFO ii = {};
    if (!::GetIconInfo(icon, &ii)) return false;
    if (ii.hbmMask) ::DeleteObject(ii.hbmMask);
    if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
    return true;
}

TEST(HIconTest, DrawsStretchedAndAutodelDestroysReplacedIcon) {
    HICON first = MakeIcon(kRed);
    HICON second = MakeIcon(kBlue);
    HICON kept = MakeIcon(kBlue);
    ASSERT_TRUE(first && second && kept);
    {
        auto root = Load("<dlg><hicon id=\"1\" pos=\"0,0,32,32\" autodel=\"1\" handle=\"" +
                             std::to_string(reinterpret_cast<ULONG_PTR>(first)) + "\"/>"
                             "<hicon id=\"2\" pos=\"40,0,56,16\" handle=\"" +
                             std::to_string(reinterpret_cast<ULONG_PTR>(kept)) + "\"/></dlg>",
                         nullptr);
        ASSERT_TRUE(root);
        Canvas canvas(64, 40);
        Draw(root.get(), canvas);
        EXPECT_EQ(canvas.Count(RECT{0, 0, 32, 32}, kRed), 32 * 32);
        EXPECT_EQ(canvas.Count(RECT{40, 0, 56, 16}, kBlue), 16 * 16);

        CBkWindow* wnd = root->FindChildByCmdID(1);
        const std::string firstText = std::to_string(reinterpret_cast<ULONG_PTR>(first));
        wnd->SetAttribute("handle", firstText, FALSE);  // same handle: kept
        EXPECT_TRUE(IconAlive(first));
        wnd->SetAttribute("handle", std::to_string(reinterpret_cast<ULONG_PTR>(second)), FALSE);
        EXPECT_FALSE(IconAlive(first));
        EXPECT_EQ(static_cast<CBkHIcon*>(wnd)->GetIcon(), second);
        EXPECT_EQ(wnd->SetAttribute("autodel", "1", FALSE), TRUE);
        EXPECT_EQ(wnd->SetAttribute("nonsense", "1", FALSE), E_FAIL);
    }
    EXPECT_FALSE(IconAlive(second));  // destroyed with the control
    EXPECT_TRUE(IconAlive(kept));     // not owned without autodel
    ::DestroyIcon(kept);
}

TEST(StorageImageTest, SubImagesWholeImageAndMissingFile) {
    // 20 x 10: left half red, right half blue.
    const std::string png = skintest::EncodeImage(
        20, 10, [](int x, int) -> uint32_t { return x < 10 ? 0xFFFF0000u : 0xFF0000FFu; }, L"png");
    ASSERT_FALSE(png.empty());
    const std::wstring path = L"C:\\controls2_storage.png";
    ASSERT_TRUE(testing_support::WriteFileBytes(path, png));

    auto root = Load("<dlg>"
                     "<storageimage id=\"1\" pos=\"0,0,10,10\" filepath=\"C:\\controls2_storage.png\" subwidth=\"10\" sub=\"3\"/>"
                     "<storageimage id=\"2\" pos=\"20,0,40,10\" filepath=\"C:\\controls2_storage.png\" subwidth=\"20\"/>"
                     "<storageimage id=\"3\" pos=\"50,0,60,10\" filepath=\"C:\\no\\such.png\"/>"
                     "<storageimage id=\"4\" pos=\"70,0,80,10\" filepath=\"C:\\controls2_storage.png\" subwidth=\"-5\" sub=\"-99999999\"/>"
                     "</dlg>",
                     nullptr);
    ASSERT_TRUE(root);
    Canvas canvas(90, 10);
    Draw(root.get(), canvas);
    EXPECT_TRUE(skintest::Near(canvas.At(5, 5), kBlue));   // sub 3 modulo 2 = the second
    EXPECT_TRUE(skintest::Near(canvas.At(23, 5), kRed));   // subwidth = width: the whole image
    EXPECT_TRUE(skintest::Near(canvas.At(37, 5), kBlue));
    EXPECT_EQ(canvas.Count(RECT{50, 0, 60, 10}, kGrey), 100);
    EXPECT_TRUE(skintest::Near(canvas.At(71, 5), kRed));   // absurd values: the whole image
    EXPECT_TRUE(skintest::Near(canvas.At(78, 5), kBlue));
    ::DeleteFileW(path.c_str());
}

TEST(MemoryImageTest, OwnerImageStretchedAndNullDrawsNothing) {
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(255, 0, 0, 255));
    Gdiplus::Image* image = &bitmap;
    auto root = Load("<dlg><memimage id=\"1\" pos=\"0,0,20,20\" mempointer=\"" +
                         std::to_string(reinterpret_cast<ULONG_PTR>(image)) + "\"/>"
                         "<memimage id=\"2\" pos=\"30,0,40,10\" mempointer=\"12x\"/></dlg>",
                     nullptr);
    ASSERT_TRUE(root);
    Canvas canvas(40, 20);
    Draw(root.get(), canvas);
    EXPECT_TRUE(skintest::Near(canvas.At(10, 10), kBlue));
    EXPECT_TRUE(skintest::Near(canvas.At(4, 4), kBlue));
    EXPECT_EQ(canvas.Count(RECT{30, 0, 40, 10}, kGrey), 100);
}

TEST(SkinImageTest, SizesSubImagesOpacityGreyAndStates) {
    c2test::SetSkins("<skins><probeskin name=\"p\" cx=\"12\" cy=\"7\" color=\"ff0000\"/>"
                     "<probeskin name=\"mid\" color=\"0000ff\"/></skins>");
    auto root = Load("<dlg>"
                     "<imgex id=\"1\" pos=\"0,0\" skin=\"p\" sub=\"2\" alpha=\"400\"/>"
                     "<imggray id=\"2\" pos=\"0,20,30,40\" skin=\"p\" gray=\"1\"/>"
                     "<imgrotale id=\"3\" pos=\"0,50,20,60\" skin=\"p\" sub=\"1\"/>"
                     "<imgbtnsized id=\"4\" pos=\"40,0\" skin=\"p\" skinmid=\"mid\" left=\"3\"/>"
                     "<imgex id=\"5\" pos=\"60,0\" skin=\"missing\"/>"
                     "</dlg>",
                     nullptr);
    ASSERT_TRUE(root);
    c2test::ProbeSkin* p = c2test::Probe("p");
    c2test::ProbeSkin* mid = c2test::Probe("mid");
    ASSERT_TRUE(p && mid);
    // Natural size from the skin.
    EXPECT_EQ(root->FindChildByCmdID(1)->GetRect(), (RECT{0, 0, 12, 7}));
    EXPECT_EQ(root->FindChildByCmdID(4)->GetRect(), (RECT{40, 0, 52, 7}));

    Canvas canvas(100, 70);
    HDC dc = canvas.dc();
    root->FindChildByCmdID(1)->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastCall, "DrawAlpha");
    EXPECT_EQ(p->lastSrc, (RECT{24, 0, 36, 7}));
    EXPECT_EQ(p->lastAlpha, 255);  // clamped

    root->FindChildByCmdID(2)->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastCall, "DrawGray");
    EXPECT_EQ(p->lastDest, (RECT{0, 20, 30, 40}));
    EXPECT_EQ(p->lastSrc, (RECT{0, 0, 12, 7}));
    root->FindChildByCmdID(2)->SetAttribute("gray", "0", FALSE);
    root->FindChildByCmdID(2)->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastCall, "DrawStretch");

    root->FindChildByCmdID(3)->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastCall, "DrawStretch");
    EXPECT_EQ(p->lastSrc, (RECT{12, 0, 24, 7}));
    p->lastCall.clear();
    EXPECT_EQ(root->FindChildByCmdID(3)->SetAttribute("angle", "45", FALSE), TRUE);
    root->FindChildByCmdID(3)->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastCall, "");  // not an image skin: nothing drawn rotated

    CBkWindow* btn = root->FindChildByCmdID(4);
    btn->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastState, 0u);
    EXPECT_EQ(mid->lastDest, (RECT{43, 0, 49, 7}));
    EXPECT_EQ(canvas.At(41, 3), kRed);
    EXPECT_EQ(canvas.At(45, 3), kBlue);
    btn->ModifyState(BKSTATE_HOVER, 0);
    btn->RedrawRegion(dc, nullptr);
    EXPECT_EQ(mid->lastState, 1u);
    btn->ModifyState(BKSTATE_PUSHED, 0);
    btn->RedrawRegion(dc, nullptr);
    EXPECT_EQ(p->lastState, 2u);

    root->FindChildByCmdID(5)->RedrawRegion(dc, nullptr);  // missing skin: no crash, nothing
    EXPECT_EQ(canvas.At(62, 2), kGrey);
    c2test::SetSkins("");
}

TEST(ElementTableTest, EveryControlOfThisSetIsCreatedByName) {
    for (const char* name : {"hr", "icon", "realwnd", "link", "memimage", "storageimage", "imgbtnsized", "imggray",
                             "imgex", "imgrotale", "slider", "dlgbtn", "hicon"}) {
        std::unique_ptr<CBkWindow> wnd(CBkDialog::CreateChildByName(name));
        ASSERT_NE(wnd, nullptr) << name;
        EXPECT_TRUE(wnd->IsClass(name)) << name;
    }
    std::unique_ptr<CBkWindow> link(CBkDialog::CreateChildByName("link"));
    EXPECT_EQ(link->SetAttribute("whatever", "1", FALSE), E_FAIL);
}

} // namespace
