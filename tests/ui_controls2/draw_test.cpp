#include <gtest/gtest.h>

#include <vector>

#include <objidl.h>
#include <gdiplus.h>

#include "tests/support/test_support.h"
#include "tests/ui_controls/controls_helpers.h"
#include "tests/ui_skins/skin_test_util.h"
#include "ui/bkctrl_icon.h"
#include "ui/bkctrl_imagex.h"
#include "ui/bkctrl_line.h"

using namespace ctrl_test;
using skintest::Near;

namespace {

std::string Handle(const void* p) {
    return std::to_string(reinterpret_cast<ULONG_PTR>(p));
}

// A 16 x 16 icon of one opaque colour.
HICON MakeIcon(COLORREF color) {
    std::vector<BYTE> mask(16 * 16 / 8, 0);
    std::vector<DWORD> pixels(16 * 16, 0xFF000000u | (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color));
    return ::CreateIcon(nullptr, 16, 16, 1, 32, mask.data(), reinterpret_cast<const BYTE*>(pixels.data()));
}

bool IconAlive(HICON icon) {
    ICONINFO ii = {};
    if (!::GetIconInfo(icon, &ii)) return false;
    if (ii.hbmMask) ::DeleteObject(ii.hbmMask);
    if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
    return true;
}

TEST(LineTest, DotsWithGdiSolidWithGdiplusAndBadAttributesRefused) {
    // Zero height: the background fill is empty and only the line shows.
    auto root = LoadTree("<dlg><hr id='1' pos='0,10,100,10' crbg='ff0000' style='dot'/>"
                         "<hr id='2' pos='0,20,100,20' crbg='ff0000' style='dot' gdiplus='1'/>"
                         "<hr id='3' pos='0,30,100,30' crbg='0000ff' size='3'/></dlg>");
    ASSERT_TRUE(root);
    Canvas canvas(120, 40);
    Paint(root.get(), canvas.dc());
    const int dotted = canvas.Count(Rect(0, 10, 100, 11), kRed);
    EXPECT_TRUE(dotted > 20 && dotted < 90) << dotted;           // gaps between the dots
    EXPECT_GE(canvas.Count(Rect(1, 20, 99, 21), kRed), 98);     // GDI+ ignores the pen style
    EXPECT_GE(canvas.Count(Rect(0, 29, 100, 32), kBlue), 250);  // three pixels wide
    EXPECT_EQ(canvas.At(50, 15), kGrey);

    auto* line = static_cast<CBkLine*>(Find(root.get(), 1));
    line->SetAttribute("size", "999999999", FALSE);
    EXPECT_LE(line->GetLineSize(), 1024);
}

TEST(IconTest, SystemIconsScaledHandleIconsStretchedAndOnlyOwnedOnesDestroyed) {
    HICON first = MakeIcon(kRed), second = MakeIcon(kBlue), kept = MakeIcon(kBlue);
    ASSERT_TRUE(first && second && kept);
    {
        auto root = LoadTree("<dlg><icon id='1' pos='0,0,16,16' src='32516' oem='1' size='32'/>"
                             "<icon id='2' pos='40,0' src='999' size='24'/><icon id='3' pos='80,0' src='-7' "
                             "size='100000'/><dlg pos='0,50,100,100'><icon id='4' width='16' height='16' "
                             "src='32512' oem='1' size='32'/></dlg>"
                             "<hicon id='5' pos='100,0,132,32' autodel='1'/><hicon id='6' pos='140,0,156,16'/>"
                             // Handles are never taken from layout text.
                             "<hicon id='7' pos='160,0,176,16' handle='" + Handle(kept) + "'/></dlg>");
        ASSERT_TRUE(root);
        auto* hicon = static_cast<CBkHIcon*>(Find(root.get(), 5));
        hicon->SetIcon(first);
        static_cast<CBkHIcon*>(Find(root.get(), 6))->SetIcon(kept);
        EXPECT_EQ(static_cast<CBkHIcon*>(Find(root.get(), 7))->GetIcon(), nullptr);
        EXPECT_TRUE(FAILED(hicon->SetAttribute("handle", Handle(second), FALSE)));
        EXPECT_EQ(hicon->GetIcon(), first);
        auto* missing = static_cast<CBkIconWnd*>(Find(root.get(), 2));
        ASSERT_NE(static_cast<CBkIconWnd*>(Find(root.get(), 1))->GetIcon(), nullptr);
        EXPECT_EQ(missing->GetIcon(), nullptr);
        // Natural size is the "size" attribute; absurd sizes are capped.
        EXPECT_EQ(missing->GetRect(), Rect(40, 0, 64, 24));
        EXPECT_LE(Find(root.get(), 3)->GetRect().right - 80, 256);
        EXPECT_EQ(Find(root.get(), 4)->GetRect(), Rect(0, 50, 16, 66));

        Canvas canvas(300, 300);
        Paint(root.get(), canvas.dc());
        // Both 32-pixel icons are shrunk into 16 x 16; the missing one is blank.
        for (LONG top : {0, 50}) {
            EXPECT_GT(canvas.CountOther(Rect(0, top, 16, top + 16), kGrey), 10) << top;
            EXPECT_EQ(canvas.CountOther(Rect(16, top, 40, top + 40), kGrey), 0) << top;
            EXPECT_EQ(canvas.CountOther(Rect(0, top + 16, 16, top + 40), kGrey), 0) << top;
        }
        EXPECT_EQ(canvas.CountOther(Rect(40, 0, 64, 24), kGrey), 0);
        EXPECT_EQ(canvas.Count(Rect(100, 0, 132, 32), kRed), 32 * 32);
        EXPECT_EQ(canvas.Count(Rect(140, 0, 156, 16), kBlue), 16 * 16);
        // A new src reloads at the next paint.
        missing->SetAttribute("oem", "1", FALSE);
        missing->SetAttribute("src", "32512", FALSE);
        Paint(root.get(), canvas.dc());
        EXPECT_NE(missing->GetIcon(), nullptr);

        hicon->SetIcon(first);  // the same handle again: kept
        EXPECT_TRUE(IconAlive(first));
        hicon->SetIcon(second);
        EXPECT_FALSE(IconAlive(first));
        EXPECT_EQ(hicon->GetIcon(), second);
    }
    EXPECT_FALSE(IconAlive(second));  // destroyed with the control
    EXPECT_TRUE(IconAlive(kept));     // not owned without autodel
    ::DestroyIcon(kept);
}

TEST(FileAndMemoryImageTest, SubImagesWholeImagesAndBadSourcesDrawNothing) {
    // 20 x 10: left half red, right half blue.
    const std::string png = skintest::EncodeImage(
        20, 10, [](int x, int) -> uint32_t { return x < 10 ? 0xFFFF0000u : 0xFF0000FFu; }, L"png");
    const std::wstring path = L"C:\\controls2_storage.png";
    ASSERT_TRUE(!png.empty() && testing_support::WriteFileBytes(path, png));
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(255, 0, 0, 255));

    auto root = LoadTree(
        "<dlg><storageimage id='1' pos='0,0,10,10' filepath='C:\\controls2_storage.png' subwidth='10' sub='3'/>"
        "<storageimage id='2' pos='20,0,40,10' filepath='C:\\controls2_storage.png' subwidth='20'/>"
        "<storageimage id='3' pos='50,0,60,10' filepath='C:\\no\\such.png'/>"
        "<storageimage id='4' pos='70,0,80,10' filepath='C:\\controls2_storage.png' subwidth='-5' sub='-99999999'/>"
        "<memimage id='5' pos='0,20,20,40'/>"
        // An address in layout text is refused; only the owner's code sets the image.
        "<memimage id='6' pos='30,20,40,30' mempointer='" + Handle(static_cast<Gdiplus::Image*>(&bitmap)) + "'/></dlg>");
    ASSERT_TRUE(root);
    static_cast<CBkMemoryImage*>(Find(root.get(), 5))->SetImage(&bitmap);
    EXPECT_EQ(static_cast<CBkMemoryImage*>(Find(root.get(), 6))->GetImage(), nullptr);
    Canvas canvas(90, 40);
    Paint(root.get(), canvas.dc());
    EXPECT_TRUE(Near(canvas.At(5, 5), kBlue));   // sub 3 modulo 2 = the second
    EXPECT_TRUE(Near(canvas.At(23, 5), kRed));   // subwidth = width: the whole image
    EXPECT_TRUE(Near(canvas.At(37, 5), kBlue));
    EXPECT_TRUE(Near(canvas.At(71, 5), kRed));   // absurd values: the whole image
    EXPECT_TRUE(Near(canvas.At(78, 5), kBlue));
    EXPECT_TRUE(Near(canvas.At(10, 30), kBlue) && Near(canvas.At(4, 24), kBlue));  // the owner's image, stretched
    EXPECT_EQ(canvas.CountOther(Rect(50, 0, 60, 10), kGrey) + canvas.CountOther(Rect(30, 20, 40, 30), kGrey), 0);
    ::DeleteFileW(path.c_str());
}

TEST(SkinImageTest, SizesSubImagesOpacityGreyAndStates) {
    SetSkins("<tskin name='p' cx='12' cy='7' colors='ff0000'/><tskin name='mid' colors='0000ff'/>");
    auto root = LoadTree("<dlg><imgex id='1' pos='0,0' skin='p' sub='2' alpha='400'/>"
                         "<imggray id='2' pos='0,20,30,40' skin='p' gray='1'/>"
                         "<imgrotale id='3' pos='0,50,20,60' skin='p' sub='1'/>"
                         "<imgbtnsized id='4' pos='40,0' skin='p' skinmid='mid' left='3'/>"
                         "<imgex id='5' pos='60,0' skin='missing'/></dlg>");
    ASSERT_TRUE(root);
    EXPECT_EQ(Find(root.get(), 1)->GetRect(), Rect(0, 0, 12, 7));  // natural size from the skin
    EXPECT_EQ(Find(root.get(), 4)->GetRect(), Rect(40, 0, 52, 7));
    Canvas canvas(100, 70);
    // The last call to the given skin after painting the control.
    auto last = [&](UINT id, const char* skin) {
        Paint(Find(root.get(), id), canvas.dc());
        for (auto it = Calls().rbegin(); it != Calls().rend(); ++it)
            if (it->skin == skin) return *it;
        return SkinCall{};
    };
    SkinCall c = last(1, "p");
    EXPECT_EQ(c.op, "DrawAlpha");
    EXPECT_EQ(c.src, Rect(24, 0, 36, 7));
    EXPECT_EQ(c.alpha, 255);  // clamped
    c = last(2, "p");
    EXPECT_EQ(c.op, "DrawGray");
    EXPECT_EQ(c.dest, Rect(0, 20, 30, 40));
    EXPECT_EQ(c.src, Rect(0, 0, 12, 7));
    Find(root.get(), 2)->SetAttribute("gray", "0", FALSE);
    EXPECT_EQ(last(2, "p").op, "DrawStretch");
    EXPECT_EQ(last(3, "p").op, "DrawStretch");
    // Turned about the control's centre through GDI+.
    Find(root.get(), 3)->SetAttribute("angle", "45", FALSE);
    canvas.Fill(kGrey);
    c = last(3, "p");
    EXPECT_EQ(c.op, "DrawWithAttributes");
    EXPECT_EQ(c.dest, Rect(-10, -5, 10, 5));
    EXPECT_EQ(c.src, Rect(12, 0, 24, 7));
    EXPECT_EQ(canvas.At(10, 55), kRed);
    EXPECT_EQ(canvas.At(19, 51), kGrey);  // a corner the turn leaves empty

    EXPECT_EQ(last(4, "p").index, 0u);
    EXPECT_EQ(last(4, "mid").dest, Rect(43, 0, 49, 7));
    EXPECT_TRUE(canvas.At(41, 3) == kRed && canvas.At(45, 3) == kBlue);
    Find(root.get(), 4)->ModifyState(BKSTATE_HOVER, 0);
    EXPECT_EQ(last(4, "mid").index, 1u);
    Find(root.get(), 4)->ModifyState(BKSTATE_PUSHED, 0);
    EXPECT_EQ(last(4, "p").index, 2u);
    last(5, "p");  // missing skin: nothing
    EXPECT_EQ(canvas.At(62, 2), kGrey);
    SetSkins("");
}

} // namespace
