#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/ui_controls2/controls2_helpers.h"
#include "ui/bkctrl_realwnd.h"
#include "ui/bkctrl_slider.h"
#include "ui/bkdlgimpl.h"
#include "ui/bkwinmanager.h"

namespace {

struct Seen {
    UINT code;
    UINT item;
    RECT rc;
    std::string cls;
};

const char* Layout() {
    return "<layer title=\"t\" width=\"300\" height=\"200\" noborder=\"1\">"
           "<body>"
           "<realwnd id=\"50\" pos=\"10,10,110,40\"/>"
           "<dlg id=\"60\" pos=\"120,10,290,40\" show=\"0\"><realwnd id=\"51\" pos=\"0,0,50,20\"/></dlg>"
           "<link id=\"70\" pos=\"10,50,60,70\">more</link>"
           "<dlgbtn id=\"80\" pos=\"70,50,170,90\"><dlg id=\"81\" pos=\"0,0,50,20\"/></dlgbtn>"
           "<slider id=\"90\" pos=\"10,100,120,120\" sliderpos=\"50\"/>"
           "</body>"
           "</layer>";
}

class HostDlg : public CBkDialogImpl<HostDlg> {
public:
    std::vector<Seen> seen;
    HostDlg() { GetViewControl().XmlLoad(Layout()); }

    WINDOW_MAP_BEGIN(HostDlg)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        WINDOW_MAP_CHAIN(CBkDialogImpl<HostDlg>)
    WINDOW_MAP_END()

    LRESULT OnBkNotify(int, NMHDR* hdr, BOOL&) {
        Seen s = {hdr->code, 0, RECT{0, 0, 0, 0}, ""};
        if (hdr->code == BKNM_REALWND_MOVED) {
            auto* nm = reinterpret_cast<BKNMREALWNDRESIZED*>(hdr);
            s.item = nm->uItemID;
            s.rc = nm->rcWnd;
        } else if (hdr->code == BKNM_SLIDER_POSCHANGING || hdr->code == BKNM_SLIDER_POSCHANGED) {
            auto* nm = reinterpret_cast<BKNMSLIDERPOS*>(hdr);
            s.item = nm->uItemID;
            s.rc = RECT{nm->nOldPos, nm->nNewPos, 0, 0};
        } else {
            auto* nm = reinterpret_cast<BKNMCOMMAND*>(hdr);
            s.item = nm->uItemID;
            if (nm->szItemClass) s.cls = nm->szItemClass;
        }
        seen.push_back(s);
        return 0;
    }

    std::vector<Seen> Of(UINT code) const {
        std::vector<Seen> out;
        for (const Seen& s : seen)
            if (s.code == code) out.push_back(s);
        return out;
    }
};

class ControlsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dlg.Create(nullptr), nullptr);
        dlg.ShowWindow(SW_SHOWNA);
        view = dlg.GetViewControl().Handle();
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override {
        if (dlg.IsWindow()) dlg.DestroyWindow();
    }
    HWND MakeEdit(int id) {
        return ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, view,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    }
    void Mouse(UINT msg, int x, int y) { ::SendMessageW(view, msg, MK_LBUTTON, MAKELPARAM(x, y)); }
    RECT ChildRect(HWND child) {
        RECT rc;
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(nullptr, view, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

    BkWinManager manager;
    HostDlg dlg;
    HWND view = nullptr;
};

TEST_F(ControlsViewTest, RealWindowsFollowTheLayoutAndTheirPanels) {
    HWND edit = MakeEdit(50);
    HWND inner = MakeEdit(51);
    ASSERT_TRUE(edit && inner);
    CBkWindow* holder = dlg.GetViewControl().FindControl(50);
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(holder->NeedsRedrawOnStateChange());

    // The windows were made after the first layout: the next one places them
    // even though the placeholders did not move.
    dlg.GetViewControl().LayoutParts();
    EXPECT_EQ(ChildRect(edit), (RECT{10, 10, 110, 40}));
    auto moved = dlg.Of(BKNM_REALWND_MOVED);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[0].item, 50u);
    EXPECT_EQ(moved[0].rc, (RECT{10, 10, 110, 40}));
    EXPECT_EQ(moved[1].item, 51u);

    // A layout that moves nothing sends nothing and leaves the window alone.
    ::SetWindowPos(edit, nullptr, 1, 1, 3, 3, SWP_NOZORDER);
    dlg.seen.clear();
    dlg.GetViewControl().LayoutParts();
    EXPECT_TRUE(dlg.Of(BKNM_REALWND_MOVED).empty());
    EXPECT_EQ(ChildRect(edit), (RECT{1, 1, 4, 4}));

    // Showing the placeholder inside a hidden panel keeps its window hidden.
    ::ShowWindow(inner, SW_HIDE);
    ASSERT_TRUE(dlg.SetItemVisible(51, TRUE));
    EXPECT_TRUE(dlg.GetViewControl().FindControl(51)->IsVisible(FALSE));
    EXPECT_FALSE(::IsWindowVisible(inner));
    ASSERT_TRUE(dlg.SetItemVisible(60, TRUE));
    EXPECT_TRUE(::IsWindowVisible(inner));

    ASSERT_TRUE(dlg.SetItemVisible(50, FALSE));
    EXPECT_FALSE(::IsWindowVisible(edit));
    EXPECT_TRUE(holder->GetState() & BKSTATE_HIDDEN);
    ASSERT_TRUE(dlg.SetItemVisible(50, TRUE));
    EXPECT_TRUE(::IsWindowVisible(edit));

    // A placeholder without its window is skipped quietly.
    ::DestroyWindow(edit);
    dlg.SetItemVisible(50, FALSE);
    dlg.SetItemVisible(50, TRUE);
    dlg.GetViewControl().LayoutParts();
}

TEST_F(ControlsViewTest, LinkAndDialogButtonClicksReportThemselves) {
    Mouse(WM_MOUSEMOVE, 20, 60);
    Mouse(WM_LBUTTONDOWN, 20, 60);
    Mouse(WM_LBUTTONUP, 20, 60);
    auto commands = dlg.Of(BKNM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].item, 70u);
    EXPECT_EQ(commands[0].cls, "link");

    // Over the dlgbtn's child: the dlgbtn is hit, not the child.
    dlg.seen.clear();
    Mouse(WM_MOUSEMOVE, 75, 55);
    Mouse(WM_LBUTTONDOWN, 75, 55);
    Mouse(WM_LBUTTONUP, 75, 55);
    commands = dlg.Of(BKNM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].item, 80u);
    EXPECT_EQ(commands[0].cls, "dlgbtn");
}

TEST_F(ControlsViewTest, SliderDraggedThroughTheView) {
    auto* slider = static_cast<BkSlider*>(dlg.GetViewControl().FindControl(90));
    ASSERT_NE(slider, nullptr);
    const RECT rc = slider->GetRect();
    const int y = (rc.top + rc.bottom) / 2;
    Mouse(WM_MOUSEMOVE, rc.left + 20, y);
    Mouse(WM_LBUTTONDOWN, rc.left + 20, y);  // jump: left 15 of 100 -> 15
    Mouse(WM_MOUSEMOVE, rc.left + 30, y);    // drag: 25
    Mouse(WM_LBUTTONUP, rc.left + 30, y);
    auto changing = dlg.Of(BKNM_SLIDER_POSCHANGING);
    ASSERT_EQ(changing.size(), 2u);
    EXPECT_EQ(changing[0].item, 90u);
    EXPECT_EQ(changing[0].rc.left, 50);
    EXPECT_EQ(changing[0].rc.top, 15);
    EXPECT_EQ(changing[1].rc.top, 25);
    auto changed = dlg.Of(BKNM_SLIDER_POSCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].rc.left, 25);
    EXPECT_EQ(changed[0].rc.top, 25);
    EXPECT_EQ(slider->GetPos(), 25);
    EXPECT_FALSE(slider->IsDragging());
}

} // namespace
