#include <gtest/gtest.h>

#include <algorithm>

#include "tests/ui_controls/controls_helpers.h"
#include "ui/bkctrl_button.h"
#include "ui/bkctrl_check.h"
#include "ui/bkctrl_group.h"
#include "ui/bkctrl_progress.h"
#include "ui/bkvalue.h"

using namespace ctrl_test;

namespace {

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name='face' colors='FF0000,00FF00,0000FF,FFFF00' cx='50' cy='24'/>"
                 "<tskin name='bg' colors='00FF00' cx='10' cy='14'/><tskin name='pos' colors='0000FF' cx='4' cy='6'/>");
    }
    static void Release(CBkWindow* wnd, int x = 0, int y = 0) {
        wnd->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    static bool Checked(CBkWindow* wnd) { return (wnd->GetState() & BKSTATE_CHECKED) != 0; }
    CBkProgress* Load(const std::string& attrs, const char* element = "progress") {
        root_ = LoadTree(std::string("<dlg><") + element + " id='1' pos='0,0,100,20' " + attrs + "/></dlg>", 120, 40);
        return root_ ? static_cast<CBkProgress*>(Find(root_.get(), 1)) : nullptr;
    }
    std::unique_ptr<CBkDialog> root_;
    const COLORREF kBar = CBkProgress::kBarColor, kWhite = RGB(0xFF, 0xFF, 0xFF), kBlack = RGB(0, 0, 0);
};

TEST_F(ButtonTest, MarksWidenTheTextDrawByStateAndTheCheckAttributeSetsNoState) {
    auto root = LoadTree("<dlg><check id='1' pos='0,0,120,20' crtext='FF0000' check='1'>Check me</check>"
                         "<radio id='2' pos='0,30,120,50' crtext='FF0000' check='1'>Radio</radio>"
                         "<text id='3' pos='0,60'>Label text</text><check id='4' pos='0,60'>Label text</check>"
                         "<radio id='5' pos='0,60'>Label text</radio><check id='6' pos='0,0'/>"
                         "<radio id='7' pos='0,0'/></dlg>");
    ASSERT_NE(root, nullptr);
    const RECT text = Find(root.get(), 3)->GetRect(), check = Find(root.get(), 4)->GetRect();
    EXPECT_EQ(check.right - check.left, text.right - text.left + 17);
    EXPECT_EQ(Find(root.get(), 5)->GetRect().right, text.right + 14);
    EXPECT_EQ(check.bottom - check.top, std::max<LONG>(13, text.bottom - text.top));
    EXPECT_EQ(Find(root.get(), 6)->GetRect(), Rect(0, 0, 17, 13));
    EXPECT_EQ(Find(root.get(), 7)->GetRect(), Rect(0, 0, 14, 12));
    const std::pair<RECT, LONG> rows[] = {{Rect(0, 0, 13, 20), 17}, {Rect(0, 34, 12, 46), 14}};  // mark, text left
    for (UINT id : {1u, 2u}) {
        SCOPED_TRACE(id);
        auto* box = static_cast<CBkMarkBox*>(Find(root.get(), id));
        EXPECT_FALSE(Checked(box));
        const RECT mark = box->GetMarkRect(), rc = box->GetRect();
        EXPECT_EQ(mark, rows[id - 1].first);
        Canvas unchecked(120, 60), checked(120, 60), disabled(120, 60);
        Paint(box, unchecked.dc());
        EXPECT_GT(unchecked.CountOther(mark, kGrey), 0);
        EXPECT_EQ(unchecked.Count(Rect(0, rc.top, rows[id - 1].second, rc.bottom), kRed), 0);
        EXPECT_GT(unchecked.Count(Rect(rows[id - 1].second, rc.top, 120, rc.bottom), kRed), 0);
        EXPECT_EQ(box->GetRect(), rc);  // the left edge moved back after drawing
        box->ModifyState(BKSTATE_CHECKED, 0);
        Paint(box, checked.dc());
        box->ModifyState(BKSTATE_DISABLED, 0);
        Paint(box, disabled.dc());
        int checkedDiffers = 0, disabledDiffers = 0;
        for (LONG y = mark.top; y < mark.bottom; ++y)
            for (LONG x = mark.left; x < mark.right; ++x) {
                checkedDiffers += checked.At(x, y) != unchecked.At(x, y);
                disabledDiffers += disabled.At(x, y) != checked.At(x, y);
            }
        EXPECT_TRUE(checkedDiffers > 0 && disabledDiffers > 0);
    }
}

TEST_F(ButtonTest, CheckBoxTogglesOnlyForAReleaseInsideItAndRadiosSelectWithinTheirGroup) {
    auto first = LoadTree("<dlg><radio id='1' pos='0,0' group='r_sel'>a</radio><radio id='2' pos='0,20' "
                          "group='r_sel'>b</radio><radio id='3' pos='0,40'>c</radio>"
                          "<check id='9' pos='10,10,60,30'>x</check></dlg>");
    auto second = LoadTree("<dlg><radio id='4' pos='0,0' group='r_sel'>d</radio>"
                           "<radio id='5' pos='0,20'>e</radio></dlg>");
    ASSERT_TRUE(first && second);
    CBkWindow* box = Find(first.get(), 9);
    EXPECT_EQ(box->GetRect(), Rect(10, 10, 77, 30));  // the mark's room is added to the position
    // Toggles at (20, 20) and (76, 29) only; -5 is left of it (signed).
    const std::pair<POINT, bool> rows[] = {{{20, 20}, true}, {{-5, 20}, true}, {{76, 29}, false}, {{77, 20}, false}};
    for (const auto& row : rows) {
        Release(box, row.first.x, row.first.y);
        EXPECT_EQ(Checked(box), row.second) << row.first.x;
    }
    EXPECT_TRUE(box->IsMsgHandled());

    NotifyRecorder view;
    first->SetContainer(view.hwnd());
    second->SetContainer(view.hwnd());
    CBkWindow *a = Find(first.get(), 1), *b = Find(first.get(), 2), *c = Find(first.get(), 3);
    CBkWindow *d = Find(second.get(), 4), *e = Find(second.get(), 5);
    Release(a, 500, 500);  // no point test for radios
    EXPECT_TRUE(Checked(a));
    Release(d);  // across windows
    EXPECT_TRUE(Checked(d) && !Checked(a));
    EXPECT_EQ(view.invalidated, std::vector<UINT>{a->GetBkHwnd()});
    view.invalidated.clear();
    Release(d);  // the checked one stays checked, nothing is sent
    EXPECT_TRUE(Checked(d) && view.invalidated.empty() && view.records.empty());
    // Radios without a group share the group of the empty name.
    for (CBkWindow* w : {b, c, e}) Release(w);
    EXPECT_TRUE(!Checked(d) && !Checked(c) && Checked(e) && Checked(b));
    const size_t unnamed = BkControlGroups::GroupSize("");
    second.reset();
    EXPECT_EQ(BkControlGroups::GroupSize("r_sel"), 2u);
    EXPECT_EQ(BkControlGroups::GroupSize(""), unnamed - 1);
    Release(c);  // the destroyed member is not touched
    EXPECT_TRUE(Checked(c));
}

TEST_F(ButtonTest, SkinButtonIndexFollowsStateAndStyleSkinStandsIn) {
    tree_test::SetStyles("<style><class name='btnstyle' skin='face'/><class name='plain'/></style>");
    auto root = LoadTree("<dlg><skinbtn id='1' pos='0,0' skin='face' crtext='FFFFFF'>OK</skinbtn>"
                         "<skinbtn id='2' pos='60,0' class='btnstyle'/>"
                         "<skinbtn id='3' pos='0,30' class='plain' crtext='FF0000'>Text</skinbtn>"
                         "<skinbtn id='4' pos='0,60' skin='missing' crtext='FF0000'>Text</skinbtn></dlg>");
    ASSERT_NE(root, nullptr);
    auto* btn = static_cast<CBkSkinBtnWnd*>(Find(root.get(), 1));
    EXPECT_EQ(btn->GetRect(), Rect(0, 0, 50, 24));
    EXPECT_EQ(Find(root.get(), 2)->GetRect(), Rect(60, 0, 110, 24));
    const DWORD added[] = {0, BKSTATE_HOVER, BKSTATE_PUSHED, BKSTATE_DISABLED};
    for (DWORD i = 0; i < 4; ++i) {
        btn->ModifyState(added[i], 0);
        EXPECT_EQ(btn->GetSkinIndex(), i);
    }
    btn->ModifyState(0, BKSTATE_DISABLED | BKSTATE_HOVER);
    Find(root.get(), 2)->ModifyState(BKSTATE_HOVER, 0);
    Canvas canvas(120, 90);
    // The control's own paint only: the view would also lay the style's skin under it.
    for (UINT id = 1; id <= 4; ++id)
        Find(root.get(), id)->SendMessageToSelf(WM_PAINT, reinterpret_cast<WPARAM>(canvas.dc()));
    ASSERT_EQ(Calls().size(), 2u);  // no skin: only the text
    EXPECT_EQ(Calls()[0].index, 2u);
    EXPECT_EQ(Calls()[1].index, 1u);
    EXPECT_EQ(canvas.At(1, 1), kBlue);
    EXPECT_GT(canvas.Count(Rect(0, 0, 50, 24), kWhite), 0);  // text over the skin
    EXPECT_GT(canvas.Count(Find(root.get(), 3)->GetRect(), kRed), 0);
    EXPECT_GT(canvas.Count(Find(root.get(), 4)->GetRect(), kRed), 0);
}

TEST_F(ButtonTest, ProgressClampsSwapsAndTruncatesAndNumbersReadSafely) {
    CBkProgress* bar = Load("min='0' max='100' value='150' showpercent='1'");
    ASSERT_NE(bar, nullptr);
    Canvas canvas(120, 40);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->PercentText(bar->GetPercent()), L"100%");
    EXPECT_EQ(bar->GetFilledRect(), Rect(2, 2, 98, 18));
    EXPECT_TRUE(canvas.At(97, 17) == kBar && canvas.At(105, 10) == kGrey);
    // Over the bar the text shows in the background colour only.
    EXPECT_GT(canvas.Count(bar->GetFilledRect(), kWhite), 0);
    EXPECT_EQ(canvas.Count(bar->GetFilledRect(), kBlack), 0);
    bar = Load("min='100' max='0' value='25'");
    canvas.Fill(kGrey);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->GetFilledRect(), Rect(2, 2, 26, 18));  // swapped; a quarter of 96
    EXPECT_EQ(canvas.At(27, 10), kWhite);
    bar = Load("min='7' max='7' value='9' showpercent='1' crtext='000000'");
    canvas.Fill(kGrey);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->PercentText(bar->GetPercent()), L"0%");
    EXPECT_EQ(canvas.Count(Rect(0, 0, 100, 20), kBar), 0);
    EXPECT_GT(canvas.Count(Rect(0, 0, 100, 20), kBlack), 0);  // the text, outside any bar

    const struct { const char *min, *max, *value; int percent; } rows[] = {
        {"0", "3", "1", 33}, {"0", "100", "29", 29},  // not 28 through 0.29 * 100
        {"0", "4294967295", "4294967294", 99}, {"4294967295", "4294967295", "4294967294", 0}};
    for (const auto& row : rows) {
        bar->SetAttribute("min", row.min, FALSE);
        bar->SetAttribute("max", row.max, FALSE);
        bar->SetAttribute("value", row.value, FALSE);
        EXPECT_EQ(bar->GetPercent(), row.percent) << row.value << " of " << row.max;
    }
    const std::pair<const char*, unsigned> numbers[] = {
        {"42", 42}, {"  +12", 12}, {"4294967295", 4294967295u}, {"99999999999999999999", 4294967295u},
        {"-5", 0},  {"", 0},       {"abc", 0},                  {"7x", 7}};
    for (const auto& n : numbers) EXPECT_EQ(BkParseUnsigned(n.first), n.second) << n.first;
}

TEST_F(ButtonTest, ProgressExtendedBarAndSkinsKeepTheirInsets) {
    CBkProgress* bar = Load("min='0' max='5' value='2' showpercent='1' extendtext=' (2/5)' posimg_left='10'",
                            "progressex");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->PercentText(bar->GetPercent()), L"40% (2/5)");
    Canvas canvas(120, 40);
    Paint(bar, canvas.dc());
    EXPECT_EQ(bar->GetFilledRect(), Rect(10, 2, 42, 18));  // 40 % of 80
    EXPECT_TRUE(canvas.At(11, 3) == kBar && canvas.At(8, 10) == kWhite);
    // The background skin sets the height; a horizontal inset past half the
    // width leaves no position to draw.
    bar = Load("min='0' max='10' value='5' bgskin='bg' posskin='pos' skinposx='900'");
    EXPECT_EQ(bar->GetRect(), Rect(0, 0, 100, 14));
    SIZE size = {100, 20};
    EXPECT_EQ(bar->SendMessageToSelf(WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&size)), 1);
    EXPECT_EQ(size.cy, 14);
    Calls().clear();
    Paint(bar, canvas.dc());
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].skin, "bg");
    EXPECT_EQ(Calls()[0].dest, Rect(0, 0, 100, 14));
    EXPECT_TRUE(bar->GetFilledRect().left == 50 && bar->GetFilledRect().right == 50);
    bar = Load("min='0' max='10' value='5' posskin='pos' skinposx='10'");
    Calls().clear();
    Paint(bar, canvas.dc());
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].dest, Rect(10, 7, 50, 13));  // centred 6 high, half of 80 wide
}

TEST_F(ButtonTest, ProgressMovingBlockGrowsSlidesShrinksAndRestarts) {
    CBkProgress* bar = Load("progressbar='1'");
    ASSERT_NE(bar, nullptr);
    // Grows to 40 by tens, slides by tens, is held at the right edge every
    // other step while it leaves, then restarts empty.
    const LONG edges[][2] = {{2, 12},  {2, 22},  {2, 32},  {2, 42},   {12, 52},  {22, 62},   {32, 72}, {42, 82},
                             {52, 92}, {62, 102}, {72, 100}, {82, 110}, {92, 100}, {102, 110}, {2, 2}};
    Canvas canvas(120, 40);
    for (int i = 0; i < 15; ++i) {
        Paint(bar, canvas.dc());
        EXPECT_EQ(bar->GetBlockRect(), Rect(edges[i][0], 2, edges[i][1], 18)) << i;
    }
    EXPECT_EQ(canvas.At(105, 10), kGrey);  // never drawn outside

    root_ = LoadTree("<dlg><progress id='1' pos='0,0,20,20' progressbar='1'/>"
                     "<progressex id='2' pos='0,25,20,40' min='0' max='1' value='1' posimg_left='1000'/>"
                     "<progressex id='3' pos='0,45,20,60' min='0' max='1' value='1' posimg_left='-5'/></dlg>", 120, 80);
    ASSERT_NE(root_, nullptr);
    Canvas narrow(120, 80);
    for (int i = 0; i < 8; ++i) Paint(Find(root_.get(), 1), narrow.dc());
    for (UINT id : {2u, 3u}) Paint(Find(root_.get(), id), narrow.dc());
    EXPECT_EQ(narrow.CountOther(Rect(20, 0, 120, 80), kGrey), 0);
    EXPECT_EQ(narrow.Count(Rect(0, 25, 20, 40), kBar), 0);  // the inset leaves no bar
    EXPECT_GT(narrow.Count(Rect(0, 45, 20, 60), kBar), 0);  // a negative one counts as none
}

} // namespace
