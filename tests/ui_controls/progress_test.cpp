#include <gtest/gtest.h>

#include "tests/ui_controls/controls_helpers.h"
#include "ui/bkctrl_progress.h"

using ctrl_test::Canvas;
using ctrl_test::Find;
using ctrl_test::Paint;
using ctrl_test::RecordingSkin;
using ctrl_test::SetSkins;
using tree_test::LoadTree;
using tree_test::Rect;

namespace {

const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kBar = CBkProgress::kBarColor;
const COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kBlack = RGB(0, 0, 0);

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name=\"bg\" colors=\"00FF00\" cx=\"10\" cy=\"14\"/>"
                 "<tskin name=\"pos\" colors=\"0000FF\" cx=\"4\" cy=\"6\"/>");
    }
    CBkProgress* Load(const std::string& attrs, const char* element = "progress") {
        root_ = LoadTree(std::string("<dlg><") + element + " id=\"1\" pos=\"0,0,100,20\" " + attrs + "/></dlg>",
                         120, 40);
        return root_ ? static_cast<CBkProgress*>(Find(root_.get(), 1)) : nullptr;
    }
    std::unique_ptr<CBkDialog> root_;
};

TEST_F(ProgressTest, ValueAboveMaxFillsTheBarAndIsStoredClamped) {
    CBkProgress* bar = Load("min=\"0\" max=\"100\" value=\"150\" showpercent=\"1\"");
    ASSERT_NE(bar, nullptr);
    Canvas canvas(120, 40);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->GetValue(), 100u);
    EXPECT_EQ(bar->GetPercent(), 100);
    EXPECT_EQ(bar->PercentText(bar->GetPercent()), L"100%");
    EXPECT_EQ(bar->GetFilledRect(), Rect(2, 2, 98, 18));
    EXPECT_EQ(canvas.At(3, 3), kBar);
    EXPECT_EQ(canvas.At(96, 16), kBar);
    EXPECT_EQ(canvas.At(0, 10), RGB(0x70, 0x70, 0x70));  // the outline
    EXPECT_EQ(canvas.At(105, 10), kGrey);
    // Over the bar the text shows in the background colour only.
    EXPECT_GT(canvas.Count(bar->GetFilledRect(), kWhite), 0);
    EXPECT_EQ(canvas.Count(bar->GetFilledRect(), kBlack), 0);
}

TEST_F(ProgressTest, ReversedBoundsAreSwappedAndEqualBoundsShowAnEmptyBar) {
    CBkProgress* bar = Load("min=\"100\" max=\"0\" value=\"25\"");
    ASSERT_NE(bar, nullptr);
    Canvas canvas(120, 40);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->GetMin(), 0u);
    EXPECT_EQ(bar->GetMax(), 100u);
    EXPECT_EQ(bar->GetValue(), 25u);
    EXPECT_EQ(bar->GetFilledRect(), Rect(2, 2, 26, 18));  // a quarter of 96
    EXPECT_EQ(canvas.At(25, 10), kBar);
    EXPECT_EQ(canvas.At(27, 10), kWhite);

    bar = Load("min=\"7\" max=\"7\" value=\"9\" showpercent=\"1\" crtext=\"000000\"");
    ASSERT_NE(bar, nullptr);
    canvas.Fill(kGrey);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->GetPercent(), 0);
    EXPECT_EQ(bar->PercentText(bar->GetPercent()), L"0%");
    EXPECT_EQ(canvas.Count(Rect(0, 0, 100, 20), kBar), 0);
    EXPECT_GT(canvas.Count(Rect(0, 0, 100, 20), kBlack), 0);  // the text, outside any bar
}

TEST_F(ProgressTest, PercentIsTruncatedInWholeNumbers) {
    CBkProgress* bar = Load("min=\"0\" max=\"3\" value=\"1\"");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetPercent(), 33);
    bar->SetAttribute("max", "100", FALSE);
    bar->SetAttribute("value", "29", FALSE);
    EXPECT_EQ(bar->GetPercent(), 29);  // not 28 through 0.29 * 100
    bar->SetAttribute("max", "4294967295", FALSE);
    bar->SetAttribute("value", "4294967294", FALSE);
    EXPECT_EQ(bar->GetPercent(), 99);
    bar->SetAttribute("min", "4294967295", FALSE);
    EXPECT_EQ(bar->GetPercent(), 0);
}

TEST_F(ProgressTest, ExtendedBarAddsItsSuffixAndInset) {
    CBkProgress* bar = Load("min=\"0\" max=\"5\" value=\"2\" showpercent=\"1\" extendtext=\" (2/5)\" "
                            "posimg_left=\"10\"",
                            "progressex");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->PercentText(bar->GetPercent()), L"40% (2/5)");
    Canvas canvas(120, 40);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->GetFilledRect(), Rect(10, 2, 42, 18));  // 40 % of 80
    EXPECT_EQ(canvas.At(11, 3), kBar);
    EXPECT_EQ(canvas.At(8, 10), kWhite);
}

TEST_F(ProgressTest, SkinsDrawBackgroundAndPositionWithTheirInsets) {
    CBkProgress* bar = Load("min=\"0\" max=\"10\" value=\"5\" bgskin=\"bg\" posskin=\"pos\" skinposx=\"900\"");
    ASSERT_NE(bar, nullptr);
    // The background skin sets the height, even under a four-item position.
    EXPECT_EQ(bar->GetRect(), Rect(0, 0, 100, 14));
    SIZE size = {100, 20};
    EXPECT_EQ(bar->SendMessageToSelf(WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&size)), 1);
    EXPECT_EQ(size.cy, 14);
    Canvas canvas(120, 40);
    Paint(bar, canvas.dc());
    auto& calls = RecordingSkin::Calls();
    // The horizontal inset is held at half the width: no position is left
    // to draw.
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].skin, "bg");
    EXPECT_EQ(calls[0].index, 0u);
    EXPECT_EQ(calls[0].dest, Rect(0, 0, 100, 14));
    EXPECT_EQ(bar->GetFilledRect().left, 50);
    EXPECT_EQ(bar->GetFilledRect().right, 50);

    bar = Load("min=\"0\" max=\"10\" value=\"5\" posskin=\"pos\" skinposx=\"10\"");
    ASSERT_NE(bar, nullptr);
    calls.clear();
    Paint(bar, canvas.dc());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].dest, Rect(10, 7, 50, 13));  // (20 - 6) / 2 from top and bottom, half of 80 wide
}

TEST_F(ProgressTest, MovingBlockGrowsSlidesShrinksAndRestarts) {
    CBkProgress* bar = Load("progressbar=\"1\"");
    ASSERT_NE(bar, nullptr);
    Canvas canvas(120, 40);
    std::vector<RECT> blocks;
    for (int i = 0; i < 15; ++i) {
        Paint(bar, canvas.dc());
        blocks.push_back(bar->GetBlockRect());
    }
    EXPECT_EQ(blocks[0], Rect(2, 2, 12, 18));
    EXPECT_EQ(blocks[3], Rect(2, 2, 42, 18));   // grown to 40
    EXPECT_EQ(blocks[4], Rect(12, 2, 52, 18));  // then sliding
    EXPECT_EQ(blocks[8], Rect(52, 2, 92, 18));
    EXPECT_EQ(blocks[9], Rect(62, 2, 102, 18)); // right edge passes the control's
    EXPECT_EQ(blocks[10], Rect(72, 2, 100, 18)); // held at it, then sliding and held in turn
    EXPECT_EQ(blocks[11], Rect(82, 2, 110, 18));
    EXPECT_EQ(blocks[12], Rect(92, 2, 100, 18));
    EXPECT_EQ(blocks[13], Rect(102, 2, 110, 18));
    EXPECT_EQ(blocks[14], Rect(2, 2, 2, 18));   // restarted at the left
    EXPECT_EQ(canvas.At(105, 10), kGrey);       // never drawn outside
}

TEST_F(ProgressTest, BlockAndBarStayInsideNarrowControls) {
    root_ = LoadTree("<dlg>"
                     "<progress id=\"1\" pos=\"0,0,20,20\" progressbar=\"1\"/>"
                     "<progressex id=\"2\" pos=\"0,25,20,40\" min=\"0\" max=\"1\" value=\"1\" posimg_left=\"1000\"/>"
                     "<progressex id=\"3\" pos=\"0,45,20,60\" min=\"0\" max=\"1\" value=\"1\" posimg_left=\"-5\"/>"
                     "</dlg>",
                     120, 80);
    ASSERT_NE(root_, nullptr);
    Canvas canvas(120, 80);
    for (int i = 0; i < 8; ++i) Paint(Find(root_.get(), 1), canvas.dc());
    Paint(Find(root_.get(), 2), canvas.dc());
    Paint(Find(root_.get(), 3), canvas.dc());
    EXPECT_EQ(canvas.CountOther(Rect(20, 0, 120, 80), kGrey), 0);
    EXPECT_EQ(canvas.Count(Rect(0, 25, 20, 40), kBar), 0);  // the inset leaves no bar
    EXPECT_GT(canvas.Count(Rect(0, 45, 20, 60), kBar), 0);  // a negative one counts as none
}

TEST(ProgressValues, UnsignedAttributesReadSafely) {
    EXPECT_EQ(BkParseUnsigned("42"), 42u);
    EXPECT_EQ(BkParseUnsigned("  +12"), 12u);
    EXPECT_EQ(BkParseUnsigned("4294967295"), 4294967295u);
    EXPECT_EQ(BkParseUnsigned("99999999999999999999"), 4294967295u);
    EXPECT_EQ(BkParseUnsigned("-5"), 0u);
    EXPECT_EQ(BkParseUnsigned(""), 0u);
    EXPECT_EQ(BkParseUnsigned("abc"), 0u);
    EXPECT_EQ(BkParseUnsigned("7x"), 7u);

    CBkProgress bar;
    for (const char* name : {"min", "max", "value", "skinposx", "showpercent", "progressbar"})
        EXPECT_EQ(bar.SetAttribute(name, "1", TRUE), S_FALSE) << name;
    EXPECT_EQ(bar.SetAttribute("bgskin", "x", TRUE), S_OK);
    EXPECT_EQ(bar.SetAttribute("posskin", "x", TRUE), S_OK);
    EXPECT_EQ(bar.SetAttribute("extendtext", "x", TRUE), E_FAIL);
    CBkProgressEx ex;
    EXPECT_EQ(ex.SetAttribute("extendtext", "x", TRUE), S_OK);
    EXPECT_EQ(ex.SetAttribute("posimg_left", "1", TRUE), S_FALSE);
}

} // namespace
