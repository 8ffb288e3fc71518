#include <gtest/gtest.h>

#include <algorithm>

#include "tests/ui_controls/controls_helpers.h"
#include "tests/ui_dialog/dialog_fixture.h"
#include "ui/bkctrl_group.h"
#include "ui/bkctrl_image.h"
#include "ui/bkfontpool.h"
#include "ui/bkwinmanager.h"

using namespace ctrl_test;

namespace {

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name='rgb' colors='FF0000,00FF00,0000FF,FFFF00' cx='20' cy='10'/>"
                 "<tskin name='face' colors='FF0000,00FF00,0000FF,FFFF00' cx='40' cy='30'/>"
                 "<tskin name='tall' colors='00FF00' cy='100'/><tskin name='nosize' colors='0000FF'/>"
                 "<tskin name='red' colors='FF0000'/><tskin name='ico' colors='FF00FF' cx='10' cy='6'/>"
                 "<tskin name='mask' colors='00FFFF'/>");
    }
    static DWORD Click(CBkWindow* wnd) {
        return static_cast<DWORD>(wnd->SendMessageToSelf(WM_LBUTTONUP, 0, MAKELPARAM(1, 1)));
    }
    // Paints controls from..to of the tree loaded from the given elements.
    void PaintAll(UINT from, UINT to, Canvas& canvas) {
        for (UINT id = from; id <= to; ++id) Paint(Find(root.get(), id), canvas.dc());
    }
    void Load(const std::string& elements) {
        root = LoadTree("<dlg>" + elements + "</dlg>");
        ASSERT_NE(root, nullptr);
    }
    CBkWindow* At(UINT id) { return Find(root.get(), id); }
    std::unique_ptr<CBkDialog> root;
};

TEST(ClipParams, EmptyPiecesSkippedTwentyKeptAndNumbersClamped) {
    int k[BK_MAX_CLIP_PARAMS];
    std::wstring many;
    for (int i = 1; i <= 25; ++i) many += std::to_wstring(i) + L",";
    EXPECT_EQ(CBkImageWnd::ParseClipParams(many, k), 20);
    EXPECT_EQ(k[19], 20);
    EXPECT_EQ(CBkImageWnd::ParseClipParams(L",,,", k), 0);
    EXPECT_EQ(CBkImageWnd::ParseClipParams(L"10,,20", k), 2);
    EXPECT_TRUE(k[1] == 20 && k[2] == 0);
    EXPECT_EQ(CBkImageWnd::ParseClipParams(L" 5,-3,x,99999999999999", k), 4);
    EXPECT_TRUE(k[0] == 5 && k[1] == -3 && k[2] == 0 && k[3] == BK_MAX_OFFSET);
}

TEST_F(ImageTest, ImageDrawsItsSubImageMeasuresToTheSkinAndClips) {
    Load("<img id='1' pos='10,10' skin='rgb'/><img_h id='2' pos='40,10' skin='rgb' sub='2'/>"
         "<img id='3' pos='70,10' skin='missing' width='7'/><img id='4' pos='0,30,50,45' skin='nosize'/>"
         // GDI+ clips: a rectangle, a pie, nothing for unknown types; alpha as a matrix.
         "<img id='5' pos='0,0,40,40' skin='red' cliptype='2' clipparam='10,10,20,20'/>"
         "<img id='6' pos='0,0,40,40' skin='red' cliptype='2' alpha='0' clipparam='0,0,40,40'/>"
         "<img id='7' pos='0,0,40,40' skin='red' cliptype='2' alpha='50' clipparam='0,0,40,40'/>"
         "<img id='8' pos='0,0,40,40' skin='red' cliptype='1' clipparam='0,0,40,40,0,90'/>"
         "<img id='9' pos='0,0,40,40' skin='red' cliptype='7' clipparam='0,0,40,40'/>");
    EXPECT_EQ(At(1)->GetRect(), Rect(10, 10, 30, 20));
    EXPECT_EQ(At(2)->GetRect(), Rect(40, 10, 60, 20));
    EXPECT_EQ(At(4)->GetRect(), Rect(0, 30, 50, 45));  // a sizeless skin keeps the position
    Canvas canvas(100, 50);
    PaintAll(1, 3, canvas);
    ASSERT_EQ(Calls().size(), 2u);              // the missing skin draws nothing
    EXPECT_EQ(Calls()[0].index, 0xFFFFFFFFu);  // sub left at -1 goes to the skin as is
    EXPECT_EQ(Calls()[1].index, 2u);
    EXPECT_TRUE(canvas.At(45, 15) == kBlue && canvas.At(72, 15) == kGrey);

    canvas.Fill(kGrey);
    PaintAll(5, 5, canvas);
    EXPECT_EQ(canvas.Count(Rect(10, 10, 30, 30), kRed), 400);
    EXPECT_EQ(canvas.Count(Rect(0, 0, 40, 40), kRed), 400);
    canvas.Fill(kGrey);
    PaintAll(6, 7, canvas);  // alpha 0 is fully transparent, 50 half
    EXPECT_NEAR(GetRValue(canvas.At(20, 20)), (0xFF + 0x80) / 2, 4);
    EXPECT_NEAR(GetGValue(canvas.At(20, 20)), 0x40, 4);
    canvas.Fill(kGrey);
    PaintAll(8, 8, canvas);
    EXPECT_EQ(canvas.At(30, 30), kRed);  // the quarter from 0 to 90 degrees
    EXPECT_TRUE(canvas.At(10, 10) == kGrey && canvas.At(30, 10) == kGrey);
    canvas.Fill(kGrey);
    PaintAll(9, 9, canvas);
    EXPECT_EQ(canvas.CountOther(Rect(0, 0, 40, 40), kGrey), 0);
}

TEST_F(ImageTest, ParallelogramBackgroundAndScrollImagesPickTheirRectanglesAndAbsurdValuesDoNotFault) {
    Load("<img id='1' pos='10,20,60,50' skin='red' cliptype='3' clipparam='1,2,40,3,5,30'/>"
         "<imgbg id='2' pos='0,0' skin='rgb'/><imgbg id='3' pos='0,0' skin='rgb' fill='1' cx='30' cy='12'/>"
         "<imgbg id='4' pos='0,0' skin='missing' fill='1' cx='-5' cy='x'/>"
         "<scrollimg id='5' pos='0,0' skin='tall' cx='30' cy='20' hscroll='1' vscroll='1' hpos='5' vpos='3'/>"
         "<scrollimg id='6' pos='0,0' skin='tall' cx='30' cy='20' vscroll='1' vpos='3'/>"
         "<scrollimg id='7' pos='0,0' skin='tall' cx='30' cy='20'/>"
         // Layouts are data: absurd numbers and empty values never fault.
         "<img id='8' pos='0,0,40,40' skin='rgb' cliptype='2' alpha='99999' clipparam='-2147483648,2147483647,-5,-5'/>"
         "<img id='9' pos='0,0,40,40' skin='rgb' cliptype='1' clipparam=',,,'/>"
         "<img id='10' pos='0,0,40,40' skin='' cliptype='3'/>"
         "<scrollimg id='11' pos='0,0' skin='tall' cx='-40' cy='999999' hscroll='1' hpos='2147483647'/>"
         "<imgbtn id='12' pos='0,0,40,40' caption='x' caption_top='2147483647'/>"
         "<imgbtn id='13' pos='0,0,40,40' skin='rgb' ico='rgb' ico_top='2147483647' caption='' "
         "caption_top='-2147483648'/>");
    EXPECT_EQ(At(2)->GetRect(), Rect(0, 0, 0, 0));
    EXPECT_EQ(At(3)->GetRect(), Rect(0, 0, 30, 12));
    Canvas canvas(80, 60);
    PaintAll(1, 1, canvas);
    ASSERT_EQ(Calls().size(), 1u);
    const POINT* pts = Calls()[0].points;  // the three corners, offset by the control's origin
    EXPECT_EQ(Rect(pts[0].x, pts[0].y, pts[1].x, pts[1].y), Rect(11, 22, 50, 23));
    EXPECT_EQ(Rect(pts[2].x, pts[2].y, 0, 0), Rect(15, 50, 0, 0));
    EXPECT_EQ(Calls()[0].src, Rect(0, 0, 50, 30));
    Calls().clear();
    PaintAll(2, 4, canvas);  // only the filled background draws, tiled
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].op, "DrawTiled");
    EXPECT_EQ(Calls()[0].dest, Rect(0, 0, 30, 12));
    Calls().clear();
    PaintAll(5, 7, canvas);
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[0].dest, Rect(0, 0, 30, 20));
    EXPECT_EQ(Calls()[0].src, Rect(5, 0, 35, 20));   // horizontal wins
    EXPECT_EQ(Calls()[1].src, Rect(0, 77, 30, 97));  // counted from the image's bottom
    EXPECT_EQ(Calls()[2].src, Rect(0, 0, 0, 0));
    Canvas absurd(40, 40);
    PaintAll(8, 13, absurd);
    EXPECT_EQ(absurd.At(5, 5), kRed);  // the image button still draws its skin
}

TEST_F(ImageTest, ButtonSkinIndexFollowsStateAndGroupAndGroupsTrackTheirMembers) {
    Load("<imgbtn id='1' pos='0,0' skin='face' group='g_index'/><imgbtn id='2' pos='50,0' skin='face' group='g_index'/>"
         "<imgbtn id='3' pos='100,0' skin='face'/>"
         "<imgbtn id='4' pos='0,0' skin='face' group='g_life' show='0'/><imgbtn id='5' pos='50,0' skin='face' "
         "group='g_life'/><img id='6' pos='0,0' group='g_life'/><img_h id='7' pos='0,0' group='g_life'/>");
    auto *a = static_cast<CBkImageBtnWnd*>(At(1)), *b = static_cast<CBkImageBtnWnd*>(At(2));
    auto* lone = static_cast<CBkImageBtnWnd*>(At(3));
    NotifyRecorder view;
    root->SetContainer(view.hwnd());
    const DWORD added[] = {0, BKSTATE_HOVER, BKSTATE_PUSHED, BKSTATE_DISABLED};
    for (DWORD i = 0; i < 4; ++i) {
        lone->ModifyState(added[i], 0);
        EXPECT_EQ(lone->GetSkinIndex(), i);
    }
    Click(lone);  // without a group a click checks nothing
    EXPECT_FALSE(lone->GetState() & BKSTATE_CHECKED);
    EXPECT_EQ(Click(a), 0u);
    EXPECT_TRUE(view.invalidated.empty());  // nobody else was checked
    EXPECT_EQ(a->GetSkinIndex(), 2u);   // checked member of a checked group
    b->ModifyState(BKSTATE_DISABLED, 0);
    EXPECT_EQ(b->GetSkinIndex(), 0u);  // the group state wins over disabled
    b->ModifyState(BKSTATE_HOVER, 0);
    EXPECT_EQ(b->GetSkinIndex(), 1u);
    Click(a);  // un-checks it: the group has no checked member, the disabled one shows 3
    EXPECT_FALSE(BkControlGroups::IsGroupChecked("g_index"));
    Canvas canvas(150, 40);
    Calls().clear();
    Paint(b, canvas.dc());
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].index, 3u);

    // Hidden members uncheck quietly; destroyed ones leave the group.
    EXPECT_EQ(BkControlGroups::GroupSize("g_life"), 4u);
    view.invalidated.clear();
    At(4)->ModifyState(BKSTATE_CHECKED, 0);
    Click(At(5));
    EXPECT_FALSE(At(4)->GetState() & BKSTATE_CHECKED);
    EXPECT_TRUE(view.invalidated.empty());
    EXPECT_EQ(BkInvalidateControlRect(Rect(0, 0, 1, 1), At(5)), 7);  // the view's answer
    root->SetContainer(nullptr);
    EXPECT_EQ(BkInvalidateControlRect(Rect(0, 0, 1, 1), At(5)), 0);
    At(6)->SetAttribute("group", "g_other", FALSE);  // renamed after joining: the old group must still be left
    root.reset();
    EXPECT_EQ(BkControlGroups::GroupSize("g_life"), 0u);
    EXPECT_EQ(BkControlGroups::GroupSize("g_other"), 0u);
}

TEST_F(ImageTest, IconIsCentredMaskShowsOnlyWhenIdleAndCaptionCentred) {
    Load("<imgbtn id='1' pos='0,0' skin='face' ico='ico' mask='mask'/>"
         "<imgbtn id='2' pos='50,0' skin='face' ico='ico' ico_top='3'/><imgbtn id='3' pos='100,0' skin='face' "
         "mask='mask'/><imgbtn id='4' pos='0,40,60,100' caption='WWW' caption_top='30' crtext='FF0000'/>");
    Canvas canvas(160, 120);
    PaintAll(1, 1, canvas);
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[1].dest, Rect(15, 12, 25, 18));  // the icon
    EXPECT_EQ(Calls()[2].skin, "mask");
    EXPECT_EQ(Calls()[2].dest, Rect(0, 0, 40, 30));
    Calls().clear();
    At(1)->ModifyState(BKSTATE_HOVER, 0);
    PaintAll(1, 1, canvas);
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(canvas.At(20, 15), RGB(0xFF, 0, 0xFF));  // icon over the hover face
    EXPECT_EQ(canvas.At(2, 2), kGreen);
    Calls().clear();
    PaintAll(2, 3, canvas);  // a mask without an icon is not drawn
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[1].dest, Rect(65, 3, 75, 9));
    EXPECT_EQ(Calls()[2].skin, "face");

    PaintAll(4, 4, canvas);
    EXPECT_GT(canvas.Count(Rect(0, 40, 60, 120), kRed), 0);
    if (!BkFontPool::IsYaHeiDefault()) {  // centred below its top
        EXPECT_EQ(canvas.Count(Rect(0, 40, 60, 70), kRed), 0);
        EXPECT_GT(canvas.Count(Rect(0, 70, 30, 120), kRed), 0);
        EXPECT_GT(canvas.Count(Rect(30, 70, 60, 120), kRed), 0);
    }
}

// Through a real view: the release reaches the button, the command is
// reported and the member that lost its mark is repainted.
TEST_F(ImageTest, GroupClicksThroughTheViewRepaintTheUncheckedMember) {
    BkWinManager manager;
    TestDlg dlg("<layer width='200' height='100' noborder='1'><body>"
                "<imgbtn id='11' pos='10,10,50,40' skin='face' group='g_view'/>"
                "<imgbtn id='12' pos='60,10,100,40' skin='face' group='g_view'/></body></layer>");
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.ShowWindow(SW_SHOWNA);
    CBkDialogView& v = dlg.GetViewControl();
    Canvas canvas(200, 100);
    auto send = [&](UINT msg, int x) {
        ::SendMessageW(v.Handle(), msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, 20));
    };
    for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSELEAVE}) send(msg, 20);
    v.DrawDirtyRegion(canvas.dc());
    EXPECT_EQ(v.GetPendingRegion(), nullptr);
    dlg.notes.clear();
    // No hover move: only the group logic can ask for the first to repaint.
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP}) send(msg, 70);
    EXPECT_TRUE(v.GetItemCheck(12));
    EXPECT_FALSE(v.GetItemCheck(11));
    EXPECT_NE(std::find(dlg.notes.begin(), dlg.notes.end(), Notified{BKNM_COMMAND, 12, "imgbtn"}), dlg.notes.end());
    ASSERT_NE(v.GetPendingRegion(), nullptr);
    EXPECT_TRUE(::PtInRegion(v.GetPendingRegion(), 30, 25));
    v.DrawDirtyRegion(canvas.dc());
    EXPECT_EQ(canvas.At(30, 25), kRed);   // first: back to its normal face
    EXPECT_EQ(canvas.At(80, 25), kBlue);  // second: checked face
    dlg.DestroyWindow();
}

} // namespace
