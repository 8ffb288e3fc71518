#include <gtest/gtest.h>

#include "tests/ui_controls2/controls2_helpers.h"
#include "ui/bkctrl_slider.h"

using c2test::HostWindow;
using c2test::Load;
using c2test::Note;

namespace {

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        c2test::SetSkins("");
        root = Load("<dlg><slider id=\"7\" pos=\"10,0,120,20\" sliderpos=\"50\"/></dlg>", host.hwnd());
        ASSERT_TRUE(root);
        slider = static_cast<BkSlider*>(root->FindChildByCmdID(7));
        ASSERT_NE(slider, nullptr);
    }
    // As the view does it: pushed state first, then the message.
    void Press(int x) {
        slider->ModifyState(BKSTATE_PUSHED, 0);
        slider->SendMessageToSelf(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10));
    }
    void Move(int x) { slider->SendMessageToSelf(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 10)); }
    void Release() { slider->ModifyState(0, BKSTATE_PUSHED); }

    HostWindow host;
    std::unique_ptr<CBkDialog> root;
    BkSlider* slider = nullptr;
};

TEST_F(SliderTest, PositionClampedAndThumbPlaced) {
    // 110 wide, 10-pixel thumb without a skin, position 50: 50 pixels in.
    EXPECT_EQ(slider->GetThumbRect(), (RECT{60, 0, 70, 20}));
    EXPECT_EQ(slider->SetAttribute("sliderpos", "150", FALSE), S_OK);
    EXPECT_EQ(slider->GetPos(), 100);
    EXPECT_EQ(slider->GetThumbRect(), (RECT{110, 0, 120, 20}));
    slider->SetAttribute("sliderpos", "-5", FALSE);
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_EQ(slider->GetThumbRect().left, 10);
    EXPECT_EQ(slider->SetAttribute("skinbg", "none", FALSE), TRUE);
    EXPECT_EQ(slider->SetAttribute("bogus", "1", FALSE), E_FAIL);

    // Moving the control moves the thumb with it.
    c2test::Place(root.get(), 100, 0, 200, 100);
    EXPECT_EQ(slider->GetRect(), (RECT{110, 0, 220, 20}));
    EXPECT_EQ(slider->GetThumbRect().left, 110);
}

TEST_F(SliderTest, PressOutsideJumpsDragMovesAndReleaseReports) {
    Press(100);  // thumb centred on 100: left 95, (95 - 10) * 100 / 100 = 85
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0].code, static_cast<UINT>(BKNM_SLIDER_POSCHANGING));
    EXPECT_EQ(host.notes[0].item, 7u);
    EXPECT_EQ(host.notes[0].oldPos, 50);
    EXPECT_EQ(host.notes[0].newPos, 85);
    EXPECT_EQ(slider->GetPos(), 85);
    EXPECT_TRUE(slider->IsDragging());

    Move(40);  // left 35 -> 25
    ASSERT_EQ(host.notes.size(), 2u);
    EXPECT_EQ(host.notes[1].newPos, 25);
    Move(-300);  // clamped to the left edge
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_EQ(slider->GetThumbRect().left, 10);
    const size_t before = host.notes.size();
    Move(-200);  // still clamped: nothing changes, nothing is sent
    EXPECT_EQ(host.notes.size(), before);

    Release();
    EXPECT_FALSE(slider->IsDragging());
    ASSERT_EQ(host.notes.back().code, static_cast<UINT>(BKNM_SLIDER_POSCHANGED));
    EXPECT_EQ(host.notes.back().oldPos, 0);
    EXPECT_EQ(host.notes.back().newPos, 0);
    EXPECT_GT(host.invalidations, 0);

    // Other state changes are no end of a press.
    host.notes.clear();
    slider->ModifyState(BKSTATE_HOVER, 0);
    slider->ModifyState(0, BKSTATE_HOVER | BKSTATE_PUSHED);
    EXPECT_TRUE(host.notes.empty());
}

TEST_F(SliderTest, VetoKeepsTheThumbAndSubPercentMovesAreSilent) {
    host.veto = true;
    const RECT before = slider->GetThumbRect();
    Press(20);
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(slider->GetThumbRect(), before);
    EXPECT_EQ(slider->GetPos(), 50);
    Release();
    host.veto = false;
    host.notes.clear();

    // Press on the thumb: no jump; then one pixel at a time.
    Press(62);
    EXPECT_TRUE(host.notes.empty());
    Move(63);  // left 61: 51
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0].newPos, 51);
    host.notes.clear();
    // A wide track where a pixel is less than a percent.
    root = Load("<dlg><slider id=\"8\" pos=\"0,0,410,20\"/></dlg>", host.hwnd(), 500);
    slider = static_cast<BkSlider*>(root->FindChildByCmdID(8));
    Press(5);  // on the thumb at 0
    Move(7);   // 2 pixels of 400: still 0 percent
    EXPECT_TRUE(host.notes.empty());
    EXPECT_EQ(slider->GetThumbRect().left, 2);
    // Setting the current value again does not move the thumb.
    slider->SetAttribute("sliderpos", "0", FALSE);
    EXPECT_EQ(slider->GetThumbRect().left, 2);
    Move(9);   // 4 pixels: 1 percent
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0].oldPos, 0);  // computed from the previous thumb
    EXPECT_EQ(host.notes[0].newPos, 1);
}

TEST_F(SliderTest, SkinnedThumbWidthStatesAndDegenerateSizes) {
    c2test::SetSkins("<skins><probeskin name=\"thumb\" cx=\"30\" cy=\"20\" color=\"ff0000\"/>"
                     "<probeskin name=\"track\" color=\"0000ff\"/></skins>");
    root = Load("<dlg><slider id=\"9\" pos=\"0,0,130,20\" sliderpos=\"100\" skin=\"thumb\" skinbg=\"track\" "
                "bgtopmargin=\"5\" bgbottommargin=\"5\"/>"
                "<slider id=\"10\" pos=\"0,30,20,40\" sliderpos=\"70\" skin=\"thumb\"/></dlg>",
                host.hwnd());
    slider = static_cast<BkSlider*>(root->FindChildByCmdID(9));
    EXPECT_EQ(slider->GetThumbRect(), (RECT{100, 0, 130, 20}));
    c2test::Canvas canvas(140, 50);
    HDC dc = canvas.dc();
    slider->RedrawRegion(dc, nullptr);
    EXPECT_EQ(canvas.At(50, 2), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(canvas.At(50, 10), RGB(0, 0, 255));
    EXPECT_EQ(canvas.At(110, 2), RGB(255, 0, 0));
    EXPECT_EQ(c2test::Probe("thumb")->lastState, 0u);
    Press(115);
    slider->RedrawRegion(dc, nullptr);
    EXPECT_EQ(c2test::Probe("thumb")->lastState, 2u);
    Release();
    slider->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(115, 10));
    slider->RedrawRegion(dc, nullptr);
    EXPECT_EQ(c2test::Probe("thumb")->lastState, 1u);
    slider->SendMessageToSelf(WM_MOUSELEAVE);
    slider->RedrawRegion(dc, nullptr);
    EXPECT_EQ(c2test::Probe("thumb")->lastState, 0u);

    // A thumb wider than its track stays at the left edge and never divides by zero.
    BkSlider* narrow = static_cast<BkSlider*>(root->FindChildByCmdID(10));
    EXPECT_EQ(narrow->GetThumbRect().left, 0);
    narrow->ModifyState(BKSTATE_PUSHED, 0);
    narrow->SendMessageToSelf(WM_LBUTTONDOWN, 0, MAKELPARAM(19, 35));
    narrow->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(2000, 35));
    EXPECT_EQ(narrow->GetThumbRect().left, 0);
    c2test::SetSkins("");
}

} // namespace
