#include <gtest/gtest.h>

#include "tests/ui_controls/controls_helpers.h"
#include "tests/ui_dialog/dialog_fixture.h"
#include "ui/bkctrl_group.h"
#include "ui/bkfontpool.h"
#include "ui/bkctrl_image.h"
#include "tests/support/test_support.h"
#include "ui/bkwinmanager.h"

#include <algorithm>

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

class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name=\"face\" colors=\"FF0000,00FF00,0000FF,FFFF00\" cx=\"40\" cy=\"30\"/>"
                 "<tskin name=\"ico\" colors=\"FF00FF\" cx=\"10\" cy=\"6\"/>"
                 "<tskin name=\"mask\" colors=\"00FFFF\"/>");
    }
    DWORD Click(CBkWindow* wnd) {
        return static_cast<DWORD>(wnd->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(1, 1)));
    }
};

TEST_F(ImageButtonTest, ClickingTheSecondOfAGroupUnchecksAndRepaintsTheFirst) {
    auto root = LoadTree("<dlg>"
                         "<imgbtn id=\"1\" pos=\"0,0\" skin=\"face\" group=\"g_pair\"/>"
                         "<imgbtn id=\"2\" pos=\"50,0\" skin=\"face\" group=\"g_pair\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    NotifyRecorder view;
    root->SetContainer(view.hwnd());
    CBkWindow* first = Find(root.get(), 1);
    CBkWindow* second = Find(root.get(), 2);
    EXPECT_EQ(BkControlGroups::GroupSize("g_pair"), 2u);

    EXPECT_EQ(Click(first), 0u);
    EXPECT_TRUE(first->GetState() & BKSTATE_CHECKED);
    EXPECT_TRUE(view.records.empty());  // nobody else was checked

    Click(second);
    EXPECT_TRUE(second->GetState() & BKSTATE_CHECKED);
    EXPECT_FALSE(first->GetState() & BKSTATE_CHECKED);
    ASSERT_EQ(view.records.size(), 1u);
    const NotifyRecorder::Record& rec = view.records[0];
    EXPECT_EQ(rec.wParam, 1u);
    EXPECT_EQ(rec.hdr.hwndFrom, nullptr);
    EXPECT_EQ(rec.hdr.idFrom, 1u);
    EXPECT_EQ(rec.hdr.code, static_cast<UINT>(BKNM_INVALIDATERECT));
    EXPECT_EQ(rec.item, first->GetBkHwnd());
    EXPECT_EQ(rec.rect, first->GetRect());
}

TEST_F(ImageButtonTest, SkinIndexFollowsStateAndGroup) {
    auto root = LoadTree("<dlg>"
                         "<imgbtn id=\"1\" pos=\"0,0\" skin=\"face\" group=\"g_index\"/>"
                         "<imgbtn id=\"2\" pos=\"50,0\" skin=\"face\" group=\"g_index\"/>"
                         "<imgbtn id=\"3\" pos=\"100,0\" skin=\"face\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    auto* a = static_cast<CBkImageBtnWnd*>(Find(root.get(), 1));
    auto* b = static_cast<CBkImageBtnWnd*>(Find(root.get(), 2));
    auto* lone = static_cast<CBkImageBtnWnd*>(Find(root.get(), 3));

    EXPECT_EQ(lone->GetSkinIndex(), 0u);
    lone->ModifyState(BKSTATE_HOVER, 0);
    EXPECT_EQ(lone->GetSkinIndex(), 1u);
    lone->ModifyState(BKSTATE_PUSHED, 0);
    EXPECT_EQ(lone->GetSkinIndex(), 2u);
    lone->ModifyState(BKSTATE_DISABLED, 0);
    EXPECT_EQ(lone->GetSkinIndex(), 3u);
    // Without a group a click checks nothing.
    Click(lone);
    EXPECT_FALSE(lone->GetState() & BKSTATE_CHECKED);

    Click(a);
    EXPECT_EQ(a->GetSkinIndex(), 2u);  // checked member of a checked group
    b->ModifyState(BKSTATE_DISABLED, 0);
    EXPECT_EQ(b->GetSkinIndex(), 0u);  // the group state wins over disabled
    b->ModifyState(BKSTATE_HOVER, 0);
    EXPECT_EQ(b->GetSkinIndex(), 1u);

    // A click on the checked member un-checks it; the group then has no
    // checked member and the disabled one shows index 3.
    Click(a);
    EXPECT_FALSE(a->GetState() & BKSTATE_CHECKED);
    EXPECT_FALSE(BkControlGroups::IsGroupChecked("g_index"));
    EXPECT_EQ(b->GetSkinIndex(), 3u);

    Canvas canvas(150, 40);
    RecordingSkin::Calls().clear();
    Paint(b, canvas.dc());
    ASSERT_EQ(RecordingSkin::Calls().size(), 1u);
    EXPECT_EQ(RecordingSkin::Calls()[0].index, 3u);
    EXPECT_EQ(canvas.At(60, 10), RGB(0xFF, 0xFF, 0));
}

TEST_F(ImageButtonTest, HiddenOrWindowlessMembersAreUncheckedWithoutARepaintRequest) {
    auto root = LoadTree("<dlg>"
                         "<imgbtn id=\"1\" pos=\"0,0\" skin=\"face\" group=\"g_hidden\" show=\"0\"/>"
                         "<imgbtn id=\"2\" pos=\"50,0\" skin=\"face\" group=\"g_hidden\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    NotifyRecorder view;
    root->SetContainer(view.hwnd());
    CBkWindow* hidden = Find(root.get(), 1);
    hidden->ModifyState(BKSTATE_CHECKED, 0);
    Click(Find(root.get(), 2));
    EXPECT_FALSE(hidden->GetState() & BKSTATE_CHECKED);
    EXPECT_TRUE(view.records.empty());

    EXPECT_EQ(BkInvalidateControlRect(Rect(0, 0, 1, 1), Find(root.get(), 2)), 7);  // the view's answer
    root->SetContainer(nullptr);
    EXPECT_EQ(BkInvalidateControlRect(Rect(0, 0, 1, 1), Find(root.get(), 2)), 0);
}

TEST_F(ImageButtonTest, DestroyedControlsLeaveTheirGroupEvenAfterARename) {
    {
        auto root = LoadTree("<dlg>"
                             "<imgbtn id=\"1\" pos=\"0,0\" group=\"g_life\"/>"
                             "<img id=\"2\" pos=\"0,0\" group=\"g_life\"/>"
                             "<img_h id=\"3\" pos=\"0,0\" group=\"g_life\"/>"
                             "<img id=\"4\" pos=\"0,0\"/>"
                             "</dlg>");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(BkControlGroups::GroupSize("g_life"), 3u);
        // Renamed after joining: the old group must still be left.
        Find(root.get(), 1)->SetAttribute("group", "g_other", FALSE);
    }
    EXPECT_EQ(BkControlGroups::GroupSize("g_life"), 0u);
    EXPECT_EQ(BkControlGroups::GroupSize("g_other"), 0u);
}

TEST_F(ImageButtonTest, IconIsCentredAndTheMaskShowsOnlyWhenIdle) {
    auto root = LoadTree("<dlg>"
                         "<imgbtn id=\"1\" pos=\"0,0\" skin=\"face\" ico=\"ico\" mask=\"mask\"/>"
                         "<imgbtn id=\"2\" pos=\"50,0\" skin=\"face\" ico=\"ico\" ico_top=\"3\"/>"
                         "<imgbtn id=\"3\" pos=\"100,0\" skin=\"face\" mask=\"mask\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    Canvas canvas(150, 40);
    CBkWindow* masked = Find(root.get(), 1);
    Paint(masked, canvas.dc());
    auto& calls = RecordingSkin::Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].skin, "ico");
    EXPECT_EQ(calls[1].dest, Rect(15, 12, 25, 18));
    EXPECT_EQ(calls[2].skin, "mask");
    EXPECT_EQ(calls[2].dest, Rect(0, 0, 40, 30));

    calls.clear();
    masked->ModifyState(BKSTATE_HOVER, 0);
    Paint(masked, canvas.dc());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].index, 1u);
    EXPECT_EQ(canvas.At(20, 15), RGB(0xFF, 0, 0xFF));  // icon over the hover face
    EXPECT_EQ(canvas.At(2, 2), RGB(0, 0xFF, 0));

    calls.clear();
    Paint(Find(root.get(), 2), canvas.dc());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].dest, Rect(65, 3, 75, 9));

    calls.clear();
    Paint(Find(root.get(), 3), canvas.dc());  // a mask without an icon is not drawn
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].skin, "face");
}

TEST_F(ImageButtonTest, CaptionIsDrawnCentredBelowItsTop) {
    auto root = LoadTree("<dlg>"
                         "<imgbtn id=\"1\" pos=\"0,0,60,60\" caption=\"WWW\" caption_top=\"30\" crtext=\"FF0000\"/>"
                         "<imgbtn id=\"2\" pos=\"100,0,104,60\" caption=\"WWWWWW\" caption_top=\"30\" "
                         "crtext=\"FF0000\"/>"
                         "</dlg>");
    ASSERT_NE(root, nullptr);
    Canvas canvas(160, 80);
    Paint(Find(root.get(), 1), canvas.dc());
    const COLORREF red = RGB(0xFF, 0, 0);
    EXPECT_GT(canvas.Count(Rect(0, 0, 60, 80), red), 0);
    if (!BkFontPool::IsYaHeiDefault()) {
        EXPECT_EQ(canvas.Count(Rect(0, 0, 60, 30), red), 0);
        // Centred: as much ink left of the middle as right of it, roughly.
        int left = canvas.Count(Rect(0, 30, 30, 80), red);
        int right = canvas.Count(Rect(30, 30, 60, 80), red);
        EXPECT_GT(left, 0);
        EXPECT_GT(right, 0);
    }
    // Wider than its control: the text spills out on both sides.
    Paint(Find(root.get(), 2), canvas.dc());
    EXPECT_GT(canvas.Count(Rect(70, 0, 100, 80), red), 0);
    EXPECT_GT(canvas.Count(Rect(104, 0, 140, 80), red), 0);
}

// The same group through a real view: the view sends the release to the
// button, reports the command and repaints the member that lost its mark.
class ImageButtonViewTest : public ::testing::Test {
protected:
    static const char* Layout() {
        return "<layer width=\"200\" height=\"100\" noborder=\"1\"><body>"
               "<imgbtn id=\"11\" pos=\"10,10,50,40\" skin=\"face\" group=\"g_view\"/>"
               "<imgbtn id=\"12\" pos=\"60,10,100,40\" skin=\"face\" group=\"g_view\"/>"
               "</body></layer>";
    }
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name=\"face\" colors=\"FF0000,00FF00,0000FF,FFFF00\"/>");
        dlg.reset(new TestDlg(Layout()));
        ASSERT_NE(dlg->Create(nullptr), nullptr);
        dlg->ShowWindow(SW_SHOWNA);
        view = dlg->GetViewControl().Handle();
    }
    void TearDown() override {
        if (dlg && dlg->IsWindow()) dlg->DestroyWindow();
    }
    void ClickAt(int x, int y) {
        ::SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        ::SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    BkWinManager manager;
    std::unique_ptr<TestDlg> dlg;
    HWND view = nullptr;
};

TEST_F(ImageButtonViewTest, ClicksCheckWithinTheGroupAndReportCommands) {
    CBkDialogView& v = dlg->GetViewControl();
    Canvas canvas(200, 100);
    ClickAt(20, 20);
    EXPECT_TRUE(v.GetItemCheck(11));
    ::SendMessageW(view, WM_MOUSELEAVE, 0, 0);
    v.DrawDirtyRegion(canvas.dc());
    EXPECT_EQ(v.GetPendingRegion(), nullptr);
    dlg->notes.clear();

    // Pressed and released without a hover move: only the group logic can
    // ask for the first button to be repainted.
    ::SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(70, 20));
    ::SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(70, 20));
    EXPECT_TRUE(v.GetItemCheck(12));
    EXPECT_FALSE(v.GetItemCheck(11));
    EXPECT_NE(std::find(dlg->notes.begin(), dlg->notes.end(), Notified{BKNM_COMMAND, 12, "imgbtn"}),
              dlg->notes.end());
    HRGN pending = v.GetPendingRegion();
    ASSERT_NE(pending, nullptr);
    EXPECT_TRUE(::PtInRegion(pending, 30, 25));

    v.DrawDirtyRegion(canvas.dc());
    EXPECT_EQ(canvas.At(30, 25), RGB(0xFF, 0, 0));   // first: back to its normal face
    EXPECT_EQ(canvas.At(80, 25), RGB(0, 0, 0xFF));   // second: checked face
}

} // namespace
