#include <gtest/gtest.h>

#include <cstring>

#include "tests/ui_controls/controls_helpers.h"
#include "ui/bkctrl_image.h"
#include "ui/bkctrl_text.h"

using ctrl_test::Canvas;
using ctrl_test::Find;
using ctrl_test::Paint;
using ctrl_test::RecordingSkin;
using ctrl_test::SetSkins;
using tree_test::LoadTree;
using tree_test::Rect;

namespace {

const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kRed = RGB(0xFF, 0, 0);
const COLORREF kGreen = RGB(0, 0xFF, 0);
const COLORREF kBlue = RGB(0, 0, 0xFF);

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name=\"rgb\" colors=\"FF0000,00FF00,0000FF,FFFF00\" cx=\"20\" cy=\"10\"/>"
                 "<tskin name=\"tall\" colors=\"00FF00\" cy=\"100\"/>"
                 "<tskin name=\"nosize\" colors=\"0000FF\"/>"
                 "<tskin name=\"red\" colors=\"FF0000\"/>");
    }
    std::vector<ctrl_test::SkinCall>& Calls() { return RecordingSkin::Calls(); }
};

TEST_F(ControlTest, ElementTableCreatesEachControlUnderItsExactName) {
    const char* names[] = {"text", "button", "img", "img_h", "imgbg", "scrollimg", "imgbtn",
                           "skinbtn", "check", "radio", "progress", "progressex"};
    for (const char* name : names) {
        std::unique_ptr<CBkWindow> wnd(CBkDialog::CreateChildByName(name));
        ASSERT_NE(wnd, nullptr) << name;
        EXPECT_STREQ(wnd->GetObjectClass(), name);
        EXPECT_TRUE(wnd->IsClass(name));
    }
    std::unique_ptr<CBkWindow> btn(CBkDialog::CreateChildByName("imgbtn"));
    EXPECT_FALSE(btn->IsClass("img"));
    EXPECT_EQ(CBkDialog::CreateChildByName("Text"), nullptr);
    EXPECT_EQ(CBkDialog::CreateChildByName("imgbt"), nullptr);

    // Buttons repaint on every state change; plain text and images only
    // when their style asks for it.
    for (const char* name : {"button", "imgbtn", "skinbtn", "check", "radio"}) {
        std::unique_ptr<CBkWindow> wnd(CBkDialog::CreateChildByName(name));
        EXPECT_TRUE(wnd->NeedsRedrawOnStateChange()) << name;
    }
    for (const char* name : {"text", "img", "img_h", "imgbg", "scrollimg"}) {
        std::unique_ptr<CBkWindow> wnd(CBkDialog::CreateChildByName(name));
        EXPECT_FALSE(wnd->NeedsRedrawOnStateChange()) << name;
    }
}

TEST_F(ControlTest, TextAndButtonDrawBackgroundAndTextAsTheBase) {
    auto root = LoadTree("<dlg>"
                         "<text id=\"1\" pos=\"0,0,100,20\" crbg=\"FF0000\" crtext=\"00FF00\">Hello</text>"
                         "<button id=\"2\" pos=\"0,30,100,50\" crbg=\"0000FF\" crtext=\"FFFFFF\">OK</button>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    Canvas canvas(120, 60);
    Paint(Find(root.get(), 1), canvas.dc());
    Paint(Find(root.get(), 2), canvas.dc());
    EXPECT_EQ(canvas.At(98, 18), kRed);
    EXPECT_GT(canvas.Count(Rect(0, 0, 100, 20), kGreen), 0);
    EXPECT_EQ(canvas.At(98, 48), kBlue);
    EXPECT_GT(canvas.Count(Rect(0, 30, 100, 50), RGB(255, 255, 255)), 0);
    EXPECT_EQ(canvas.At(110, 10), kGrey);
}

TEST_F(ControlTest, ImageDrawsItsSubImageAndMeasuresToTheSkin) {
    auto root = LoadTree("<dlg>"
                         "<img id=\"1\" pos=\"10,10\" skin=\"rgb\"/>"
                         "<img_h id=\"2\" pos=\"40,10\" skin=\"rgb\" sub=\"2\"/>"
                         "<img id=\"3\" pos=\"70,10\" skin=\"missing\" width=\"7\"/>"
                         "<img id=\"4\" pos=\"0,30,50,45\" skin=\"nosize\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* plain = Find(root.get(), 1);
    EXPECT_EQ(plain->GetRect(), Rect(10, 10, 30, 20));
    EXPECT_EQ(Find(root.get(), 2)->GetRect(), Rect(40, 10, 60, 20));
    // A skin without a size keeps what the position gives.
    EXPECT_EQ(Find(root.get(), 4)->GetRect(), Rect(0, 30, 50, 45));

    SIZE size = {0, 0};
    EXPECT_EQ(plain->SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size)), 1);
    EXPECT_EQ(Find(root.get(), 3)->SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size)), 0);

    Canvas canvas(100, 50);
    Calls().clear();
    for (UINT id = 1; id <= 3; ++id) Paint(Find(root.get(), id), canvas.dc());
    ASSERT_EQ(Calls().size(), 2u);  // the missing skin draws nothing
    EXPECT_EQ(Calls()[0].index, 0xFFFFFFFFu);  // sub left at -1 goes to the skin as is
    EXPECT_EQ(Calls()[1].index, 2u);
    EXPECT_EQ(canvas.At(15, 15), kRed);
    EXPECT_EQ(canvas.At(45, 15), kBlue);
    EXPECT_EQ(canvas.At(72, 15), kGrey);
}

TEST(ClipParams, EmptyPiecesAreSkippedAndTwentyAreKept) {
    int k[BK_MAX_CLIP_PARAMS];
    EXPECT_EQ(CBkImageWnd::ParseClipParams(L"10,,20", k), 2);
    EXPECT_EQ(k[0], 10);
    EXPECT_EQ(k[1], 20);
    EXPECT_EQ(k[2], 0);

    std::wstring many;
    for (int i = 1; i <= 25; ++i) many += std::to_wstring(i) + L",";
    EXPECT_EQ(CBkImageWnd::ParseClipParams(many, k), 20);
    EXPECT_EQ(k[19], 20);

    EXPECT_EQ(CBkImageWnd::ParseClipParams(L"", k), 0);
    EXPECT_EQ(CBkImageWnd::ParseClipParams(L",,,", k), 0);
    EXPECT_EQ(CBkImageWnd::ParseClipParams(L" 5,-3,x,99999999999999", k), 4);
    EXPECT_EQ(k[0], 5);
    EXPECT_EQ(k[1], -3);
    EXPECT_EQ(k[2], 0);
    EXPECT_EQ(k[3], BK_MAX_OFFSET);
}

// The image is drawn through a GDI+ clip: a rectangle, a pie, or an empty
// path for unknown types, with the alpha as a colour matrix.
TEST_F(ControlTest, ClippedImageShowsOnlyInsideTheClipWithItsAlpha) {
    auto root = LoadTree("<dlg>"
                         "<img id=\"1\" pos=\"0,0,40,40\" skin=\"red\" cliptype=\"2\" clipparam=\"10,10,20,20\"/>"
                         "<img id=\"2\" pos=\"0,0,40,40\" skin=\"red\" cliptype=\"2\" alpha=\"0\" "
                         "clipparam=\"0,0,40,40\"/>"
                         "<img id=\"3\" pos=\"0,0,40,40\" skin=\"red\" cliptype=\"2\" alpha=\"50\" "
                         "clipparam=\"0,0,40,40\"/>"
                         "<img id=\"4\" pos=\"0,0,40,40\" skin=\"red\" cliptype=\"1\" clipparam=\"0,0,40,40,0,90\"/>"
                         "<img id=\"5\" pos=\"0,0,40,40\" skin=\"red\" cliptype=\"7\" clipparam=\"0,0,40,40\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    Canvas canvas(40, 40);

    Paint(Find(root.get(), 1), canvas.dc());
    EXPECT_EQ(canvas.At(15, 15), kRed);
    EXPECT_EQ(canvas.At(25, 25), kRed);
    EXPECT_EQ(canvas.At(5, 5), kGrey);
    EXPECT_EQ(canvas.At(35, 35), kGrey);
    ASSERT_FALSE(Calls().empty());
    EXPECT_EQ(Calls().back().op, "DrawWithAttributes");
    EXPECT_EQ(Calls().back().dest, Rect(0, 0, 40, 40));
    EXPECT_EQ(Calls().back().src, Rect(0, 0, 40, 40));

    canvas.Fill(kGrey);
    Paint(Find(root.get(), 2), canvas.dc());
    EXPECT_EQ(canvas.At(20, 20), kGrey);  // alpha 0: fully transparent

    Paint(Find(root.get(), 3), canvas.dc());
    COLORREF half = canvas.At(20, 20);
    EXPECT_NEAR(GetRValue(half), (0xFF + 0x80) / 2, 4);
    EXPECT_NEAR(GetGValue(half), 0x40, 4);

    canvas.Fill(kGrey);
    Paint(Find(root.get(), 4), canvas.dc());
    EXPECT_EQ(canvas.At(30, 30), kRed);   // the quarter from 0 to 90 degrees
    EXPECT_EQ(canvas.At(10, 10), kGrey);
    EXPECT_EQ(canvas.At(30, 10), kGrey);

    canvas.Fill(kGrey);
    Paint(Find(root.get(), 5), canvas.dc());
    EXPECT_EQ(canvas.CountOther(Rect(0, 0, 40, 40), kGrey), 0);
}

TEST_F(ControlTest, ParallelogramDrawGetsTheThreeCornersAndTheControlSize) {
    auto root = LoadTree("<dlg><img id=\"1\" pos=\"10,20,60,50\" skin=\"red\" cliptype=\"3\" "
                         "clipparam=\"1,2,40,3,5,30\"/></dlg>");
    ASSERT_NE(root, nullptr);
    Canvas canvas(80, 60);
    Paint(Find(root.get(), 1), canvas.dc());
    ASSERT_EQ(Calls().size(), 1u);
    const ctrl_test::SkinCall& call = Calls()[0];
    EXPECT_EQ(call.op, "DrawToPoints");
    EXPECT_EQ(call.points[0].x, 11);
    EXPECT_EQ(call.points[0].y, 22);
    EXPECT_EQ(call.points[1].x, 50);
    EXPECT_EQ(call.points[1].y, 23);
    EXPECT_EQ(call.points[2].x, 15);
    EXPECT_EQ(call.points[2].y, 50);
    EXPECT_EQ(call.src, Rect(0, 0, 50, 30));
}

TEST_F(ControlTest, BackgroundImageTilesOnlyWhenFilled) {
    auto root = LoadTree("<dlg>"
                         "<imgbg id=\"1\" pos=\"0,0\" skin=\"rgb\"/>"
                         "<imgbg id=\"2\" pos=\"0,0\" skin=\"rgb\" fill=\"1\" cx=\"30\" cy=\"12\"/>"
                         "<imgbg id=\"3\" pos=\"0,0\" skin=\"missing\" fill=\"1\" cx=\"-5\" cy=\"x\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Find(root.get(), 1)->GetRect(), Rect(0, 0, 0, 0));
    EXPECT_EQ(Find(root.get(), 2)->GetRect(), Rect(0, 0, 30, 12));
    SIZE size = {0, 0};
    EXPECT_EQ(Find(root.get(), 1)->SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size)), 1);

    Canvas canvas(40, 20);
    for (UINT id = 1; id <= 3; ++id) Paint(Find(root.get(), id), canvas.dc());
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].op, "DrawTiled");
    EXPECT_EQ(Calls()[0].dest, Rect(0, 0, 30, 12));
    EXPECT_EQ(canvas.At(29, 11), kRed);
    EXPECT_EQ(canvas.At(31, 11), kGrey);
}

TEST_F(ControlTest, ScrollImagePicksTheSourceWindow) {
    auto root = LoadTree("<dlg>"
                         "<scrollimg id=\"1\" pos=\"0,0\" skin=\"tall\" cx=\"30\" cy=\"20\" hscroll=\"1\" "
                         "vscroll=\"1\" hpos=\"5\" vpos=\"3\"/>"
                         "<scrollimg id=\"2\" pos=\"0,0\" skin=\"tall\" cx=\"30\" cy=\"20\" vscroll=\"1\" vpos=\"3\"/>"
                         "<scrollimg id=\"3\" pos=\"0,0\" skin=\"tall\" cx=\"30\" cy=\"20\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Find(root.get(), 1)->GetRect(), Rect(0, 0, 30, 20));
    Canvas canvas(40, 40);
    for (UINT id = 1; id <= 3; ++id) Paint(Find(root.get(), id), canvas.dc());
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[0].op, "DrawStretch");
    EXPECT_EQ(Calls()[0].dest, Rect(0, 0, 30, 20));
    EXPECT_EQ(Calls()[0].src, Rect(5, 0, 35, 20));    // horizontal wins
    EXPECT_EQ(Calls()[1].src, Rect(0, 77, 30, 97));   // counted from the image's bottom
    EXPECT_EQ(Calls()[2].src, Rect(0, 0, 0, 0));
}

TEST_F(ControlTest, AttributesAnswerAsDocumentedAndUnknownOnesFail) {
    CBkImageWnd img;
    EXPECT_EQ(img.SetAttribute("skin", "a", TRUE), S_OK);
    EXPECT_EQ(img.SetAttribute("ico", "a", TRUE), S_OK);
    EXPECT_EQ(img.SetAttribute("caption", "\xE4\xB8\xAD", TRUE), S_OK);
    EXPECT_EQ(img.SetAttribute("mask", "a", TRUE), S_OK);
    for (const char* name : {"sub", "caption_top", "ico_top", "group", "cliptype", "alpha", "clipparam"})
        EXPECT_EQ(img.SetAttribute(name, "1", TRUE), S_FALSE) << name;
    EXPECT_EQ(img.SetAttribute("fill", "1", TRUE), E_FAIL);
    EXPECT_EQ(img.SetAttribute("id", "5", TRUE), S_FALSE);  // the common set first

    CBkImageBg bg;
    EXPECT_EQ(bg.SetAttribute("skin", "a", TRUE), S_OK);
    EXPECT_EQ(bg.SetAttribute("fill", "1", TRUE), S_FALSE);
    EXPECT_EQ(bg.SetAttribute("hpos", "1", TRUE), E_FAIL);
    CBkImageScroll scroll;
    EXPECT_EQ(scroll.SetAttribute("vpos", "1", TRUE), S_FALSE);
    EXPECT_EQ(scroll.SetAttribute("fill", "1", TRUE), E_FAIL);
}

// Layouts are data: absurd numbers and empty values draw something sane or
// nothing, never fault.
TEST_F(ControlTest, AbsurdImageAttributesDoNotFault) {
    auto root = LoadTree("<dlg>"
                         "<img id=\"1\" pos=\"0,0,40,40\" skin=\"rgb\" cliptype=\"2\" alpha=\"99999\" "
                         "clipparam=\"-2147483648,2147483647,-5,-5\"/>"
                         "<img id=\"2\" pos=\"0,0,40,40\" skin=\"rgb\" cliptype=\"1\" clipparam=\",,,\"/>"
                         "<img id=\"3\" pos=\"0,0,40,40\" skin=\"\" cliptype=\"3\"/>"
                         "<scrollimg id=\"4\" pos=\"0,0\" skin=\"tall\" cx=\"-40\" cy=\"999999\" hscroll=\"1\" "
                         "hpos=\"2147483647\"/>"
                         "<imgbtn id=\"5\" pos=\"0,0,40,40\" skin=\"rgb\" ico=\"rgb\" ico_top=\"2147483647\" "
                         "caption=\"\" caption_top=\"-2147483648\"/>"
                         "<imgbtn id=\"6\" pos=\"0,0,40,40\" caption=\"x\" caption_top=\"2147483647\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    Canvas canvas(40, 40);
    for (UINT id = 1; id <= 6; ++id) Paint(Find(root.get(), id), canvas.dc());
    EXPECT_EQ(canvas.At(5, 5), kRed);  // the image button still draws its skin
}

} // namespace
