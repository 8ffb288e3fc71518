#include <gtest/gtest.h>

#include "tests/ui_controls/controls_helpers.h"
#include "ui/bkctrl_button.h"
#include "ui/bkctrl_check.h"
#include "ui/bkctrl_group.h"
#include "ui/bkctrl_text.h"

using ctrl_test::Canvas;
using ctrl_test::Find;
using ctrl_test::NotifyRecorder;
using ctrl_test::Paint;
using ctrl_test::RecordingSkin;
using ctrl_test::SetSkins;
using tree_test::LoadTree;
using tree_test::Rect;

namespace {

const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kRed = RGB(0xFF, 0, 0);

class MarkTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name=\"face\" colors=\"FF0000,00FF00,0000FF,FFFF00\" cx=\"50\" cy=\"24\"/>");
    }
};

TEST_F(MarkTest, ThemeStateAndClassicFlagsFollowTheStateBits) {
    CBkCheckBox box;
    struct Row {
        DWORD state;
        int theme;
    } rows[] = {
        {BKSTATE_CHECKED | BKSTATE_DISABLED | BKSTATE_PUSHED, 8},
        {BKSTATE_CHECKED | BKSTATE_PUSHED | BKSTATE_HOVER, 7},
        {BKSTATE_CHECKED, 5},
        {BKSTATE_CHECKED | BKSTATE_HOVER, 6},
        {BKSTATE_DISABLED | BKSTATE_HOVER, 4},
        {BKSTATE_PUSHED, 3},
        {0, 1},
        {BKSTATE_HOVER, 2},
    };
    for (const Row& row : rows) {
        box.ModifyState(row.state, ~row.state);
        EXPECT_EQ(box.GetThemeState(), row.theme) << row.state;
    }

    box.ModifyState(0, ~0u);
    EXPECT_EQ(box.GetClassicFlags(), static_cast<UINT>(DFCS_TRANSPARENT | DFCS_BUTTONCHECK));
    box.ModifyState(BKSTATE_CHECKED | BKSTATE_HOVER | BKSTATE_PUSHED | BKSTATE_DISABLED, 0);
    EXPECT_EQ(box.GetClassicFlags(), static_cast<UINT>(DFCS_TRANSPARENT | DFCS_INACTIVE | DFCS_HOT | DFCS_PUSHED |
                                                       DFCS_CHECKED));
    CBkRadioBox radio;
    EXPECT_EQ(radio.GetClassicFlags(), static_cast<UINT>(DFCS_TRANSPARENT | DFCS_BUTTONRADIO));
}

TEST_F(MarkTest, AttributesAreKeptButTheMarkFollowsOnlyTheStateBit) {
    auto root = LoadTree("<dlg>"
                         "<check id=\"1\" pos=\"0,0\" check=\"1\" skin=\"s1\" skin_check=\"s2\">Box</check>"
                         "<check id=\"2\" pos=\"0,20\"/>"
                         "<radio id=\"3\" pos=\"0,40\" check=\"1\" group=\"r_attr\">Radio</radio>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    auto* box = static_cast<CBkCheckBox*>(Find(root.get(), 1));
    EXPECT_FALSE(box->GetState() & BKSTATE_CHECKED);
    EXPECT_EQ(box->GetCheckAttribute(), 1);
    EXPECT_EQ(box->GetSkinName(), "s1");
    EXPECT_EQ(box->GetCheckSkinName(), "s2");
    auto* plain = static_cast<CBkCheckBox*>(Find(root.get(), 2));
    EXPECT_EQ(plain->GetSkinName(), "cmn_checkbox");
    EXPECT_EQ(plain->GetCheckSkinName(), "cmn_checkbox_check");
    EXPECT_FALSE(Find(root.get(), 3)->GetState() & BKSTATE_CHECKED);

    CBkRadioBox radio;
    EXPECT_EQ(radio.GetSkinName(), "cmn_radio");
    EXPECT_EQ(radio.GetCheckSkinName(), "cmn_radio_check");
    for (const char* name : {"check", "skin", "skin_check", "group"})
        EXPECT_EQ(radio.SetAttribute(name, "x", TRUE), S_FALSE) << name;
    EXPECT_EQ(radio.SetAttribute("sub", "1", TRUE), E_FAIL);
    EXPECT_EQ(box->SetAttribute("group", "x", TRUE), E_FAIL);
    EXPECT_EQ(box->SetAttribute("class", "x", TRUE), S_OK);  // the common set first
}

TEST_F(MarkTest, MarksWidenTheTextAndHaveAMinimumHeight) {
    auto root = LoadTree("<dlg>"
                         "<text id=\"1\" pos=\"0,0\">Label text</text>"
                         "<check id=\"2\" pos=\"0,0\">Label text</check>"
                         "<radio id=\"3\" pos=\"0,0\">Label text</radio>"
                         "<check id=\"4\" pos=\"0,0\"/>"
                         "<radio id=\"5\" pos=\"0,0\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    const RECT text = Find(root.get(), 1)->GetRect();
    const RECT check = Find(root.get(), 2)->GetRect();
    const RECT radio = Find(root.get(), 3)->GetRect();
    EXPECT_EQ(check.right - check.left, text.right - text.left + 17);
    EXPECT_EQ(radio.right - radio.left, text.right - text.left + 14);
    EXPECT_GE(check.bottom - check.top, 13);
    EXPECT_EQ(check.bottom - check.top, std::max<LONG>(13, text.bottom - text.top));
    EXPECT_EQ(Find(root.get(), 4)->GetRect(), Rect(0, 0, 17, 13));
    EXPECT_EQ(Find(root.get(), 5)->GetRect(), Rect(0, 0, 14, 12));
}

TEST_F(MarkTest, CheckBoxDrawsItsMarkByStateAndTheTextBesideIt) {
    auto root = LoadTree("<dlg>"
                         "<check id=\"1\" pos=\"0,0,120,20\" crtext=\"FF0000\">Check me</check>"
                         "<radio id=\"2\" pos=\"0,30,120,50\" crtext=\"FF0000\">Radio</radio>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    for (UINT id : {1u, 2u}) {
        auto* box = static_cast<CBkMarkBox*>(Find(root.get(), id));
        const RECT mark = box->GetMarkRect();
        const RECT rc = box->GetRect();
        if (id == 1) {
            EXPECT_EQ(mark, Rect(0, 0, 13, 20));
        } else {
            EXPECT_EQ(mark, Rect(0, 34, 12, 46));
        }

        Canvas unchecked(120, 60);
        Paint(box, unchecked.dc());
        EXPECT_GT(unchecked.CountOther(mark, kGrey), 0) << id;
        // The text starts right of the mark.
        const LONG offset = id == 1 ? 17 : 14;
        EXPECT_EQ(unchecked.Count(Rect(0, rc.top, offset, rc.bottom), kRed), 0) << id;
        EXPECT_GT(unchecked.Count(Rect(offset, rc.top, 120, rc.bottom), kRed), 0) << id;
        EXPECT_EQ(box->GetRect(), rc);  // the left edge moved back

        box->ModifyState(BKSTATE_CHECKED, 0);
        Canvas checked(120, 60);
        Paint(box, checked.dc());
        int differing = 0;
        for (LONG y = mark.top; y < mark.bottom; ++y)
            for (LONG x = mark.left; x < mark.right; ++x)
                if (checked.At(x, y) != unchecked.At(x, y)) ++differing;
        EXPECT_GT(differing, 0) << "checked mark looks unchecked, control " << id;

        box->ModifyState(BKSTATE_DISABLED, 0);
        Canvas disabled(120, 60);
        Paint(box, disabled.dc());
        differing = 0;
        for (LONG y = mark.top; y < mark.bottom; ++y)
            for (LONG x = mark.left; x < mark.right; ++x)
                if (checked.At(x, y) != disabled.At(x, y)) ++differing;
        EXPECT_GT(differing, 0) << "disabled mark looks enabled, control " << id;
    }
}

TEST_F(MarkTest, CheckBoxTogglesOnlyForAReleaseInsideIt) {
    auto root = LoadTree("<dlg><check id=\"1\" pos=\"10,10,60,30\">x</check></dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* box = Find(root.get(), 1);
    // The mark's room is added to whatever the position gives.
    EXPECT_EQ(box->GetRect(), Rect(10, 10, 77, 30));
    EXPECT_EQ(box->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(20, 20)), 0);
    EXPECT_TRUE(box->IsMsgHandled());
    EXPECT_TRUE(box->GetState() & BKSTATE_CHECKED);
    box->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(-5, 20));  // left of it, signed
    EXPECT_TRUE(box->GetState() & BKSTATE_CHECKED);
    box->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(76, 29));
    EXPECT_FALSE(box->GetState() & BKSTATE_CHECKED);
    box->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(77, 20));
    EXPECT_FALSE(box->GetState() & BKSTATE_CHECKED);
}

TEST_F(MarkTest, RadiosSelectWithinTheirGroupAcrossWindows) {
    auto first = LoadTree("<dlg>"
                          "<radio id=\"1\" pos=\"0,0\" group=\"r_sel\">a</radio>"
                          "<radio id=\"2\" pos=\"0,20\" group=\"r_sel\">b</radio>"
                          "<radio id=\"3\" pos=\"0,40\">c</radio>"
                          "</dlg>");
    auto second = LoadTree("<dlg>"
                           "<radio id=\"4\" pos=\"0,0\" group=\"r_sel\">d</radio>"
                           "<radio id=\"5\" pos=\"0,20\">e</radio>"
                           "</dlg>");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    NotifyRecorder view;
    first->SetContainer(view.hwnd());
    second->SetContainer(view.hwnd());
    CBkWindow* a = Find(first.get(), 1);
    CBkWindow* b = Find(first.get(), 2);
    CBkWindow* c = Find(first.get(), 3);
    CBkWindow* d = Find(second.get(), 4);
    CBkWindow* e = Find(second.get(), 5);

    // No point test for radios.
    EXPECT_EQ(a->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(500, 500)), 0);
    EXPECT_TRUE(a->GetState() & BKSTATE_CHECKED);
    d->SendMessageToSelf(WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(d->GetState() & BKSTATE_CHECKED);
    EXPECT_FALSE(a->GetState() & BKSTATE_CHECKED);
    ASSERT_EQ(view.records.size(), 1u);
    EXPECT_EQ(view.records[0].item, a->GetBkHwnd());

    // Clicking the checked one keeps it checked and sends nothing.
    view.records.clear();
    d->SendMessageToSelf(WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(d->GetState() & BKSTATE_CHECKED);
    EXPECT_TRUE(view.records.empty());
    b->SendMessageToSelf(WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(d->GetState() & BKSTATE_CHECKED);

    // Radios without a group share the group of the empty name.
    c->SendMessageToSelf(WM_LBUTTONUP, 0, 0);
    e->SendMessageToSelf(WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(e->GetState() & BKSTATE_CHECKED);
    EXPECT_FALSE(c->GetState() & BKSTATE_CHECKED);
    EXPECT_TRUE(b->GetState() & BKSTATE_CHECKED);  // other groups untouched

    const size_t unnamed = BkControlGroups::GroupSize("");
    second.reset();
    EXPECT_EQ(BkControlGroups::GroupSize("r_sel"), 2u);
    EXPECT_EQ(BkControlGroups::GroupSize(""), unnamed - 1);
    c->SendMessageToSelf(WM_LBUTTONUP, 0, 0);  // the destroyed member is not touched
    EXPECT_TRUE(c->GetState() & BKSTATE_CHECKED);
}

class SkinButtonTest : public MarkTest {};

TEST_F(SkinButtonTest, SkinIndexFollowsTheStateAndTextIsDrawnOverIt) {
    auto root = LoadTree("<dlg><skinbtn id=\"1\" pos=\"0,0\" skin=\"face\" crtext=\"FFFFFF\">OK</skinbtn></dlg>");
    ASSERT_NE(root, nullptr);
    auto* btn = static_cast<CBkSkinBtnWnd*>(Find(root.get(), 1));
    EXPECT_EQ(btn->GetRect(), Rect(0, 0, 50, 24));
    EXPECT_EQ(btn->GetSkinIndex(), 0u);
    btn->ModifyState(BKSTATE_HOVER, 0);
    EXPECT_EQ(btn->GetSkinIndex(), 1u);
    btn->ModifyState(BKSTATE_PUSHED, 0);
    EXPECT_EQ(btn->GetSkinIndex(), 2u);
    btn->ModifyState(BKSTATE_DISABLED, 0);
    EXPECT_EQ(btn->GetSkinIndex(), 3u);

    Canvas canvas(60, 30);
    btn->ModifyState(0, BKSTATE_DISABLED | BKSTATE_HOVER);
    Paint(btn, canvas.dc());
    ASSERT_FALSE(RecordingSkin::Calls().empty());
    EXPECT_EQ(RecordingSkin::Calls().back().index, 2u);
    EXPECT_EQ(canvas.At(1, 1), RGB(0, 0, 0xFF));
    EXPECT_GT(canvas.Count(Rect(0, 0, 50, 24), RGB(0xFF, 0xFF, 0xFF)), 0);
    EXPECT_EQ(canvas.At(55, 5), kGrey);
}

TEST_F(SkinButtonTest, StyleSkinStandsInAndNoSkinDrawsOnlyText) {
    tree_test::SetStyles("<style><class name=\"btnstyle\" skin=\"face\"/><class name=\"plain\"/></style>");
    auto root = LoadTree("<dlg>"
                         "<skinbtn id=\"1\" pos=\"0,0\" class=\"btnstyle\"/>"
                         "<skinbtn id=\"2\" pos=\"0,30\" class=\"plain\" crtext=\"FF0000\">Text</skinbtn>"
                         "<skinbtn id=\"3\" pos=\"0,60\" skin=\"missing\" crtext=\"FF0000\">Text</skinbtn>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* styled = Find(root.get(), 1);
    EXPECT_EQ(styled->GetRect(), Rect(0, 0, 50, 24));
    SIZE size = {0, 0};
    EXPECT_EQ(styled->SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size)), 1);
    EXPECT_EQ(Find(root.get(), 2)->SendMessageToSelf(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&size)), 0);

    Canvas canvas(80, 90);
    RecordingSkin::Calls().clear();
    styled->ModifyState(BKSTATE_HOVER, 0);
    CBkWindow* plain = Find(root.get(), 2);
    CBkWindow* missing = Find(root.get(), 3);
    HDC dc = canvas.dc();
    styled->SendMessageToSelf(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    plain->SendMessageToSelf(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    missing->SendMessageToSelf(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    ASSERT_EQ(RecordingSkin::Calls().size(), 1u);
    EXPECT_EQ(RecordingSkin::Calls()[0].index, 1u);
    EXPECT_GT(canvas.Count(plain->GetRect(), kRed), 0);
    EXPECT_GT(canvas.Count(missing->GetRect(), kRed), 0);
    tree_test::SetStyles("");
}

} // namespace
