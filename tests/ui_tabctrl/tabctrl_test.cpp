#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/ui_controls/controls_helpers.h"
#include "ui/bktabctrl.h"

using namespace ctrl_test;

namespace {

// Stands in for the view: records tab notifications and repaint requests,
// and refuses selections while told to.
class TabHost {
public:
    struct Note {
        UINT code;
        UINT tab;
        int newIndex, oldIndex;
    };
    TabHost()
        : window([this](UINT msg, WPARAM, LPARAM lp, LRESULT&) {
              if (msg != WM_NOTIFY) return false;
              const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
              if (hdr->code == BKNM_INVALIDATERECT) {
                  ++repaints;
                  return true;
              }
              auto* nm = reinterpret_cast<BKNMTABITEM*>(lp);
              notes.push_back(Note{hdr->code, nm->uTabID, nm->nTabItemIDNew, nm->nTabItemIDOld});
              if (hdr->code == BKNM_TAB_SELECT && refuse) nm->nResult = 1;
              return true;
          }),
          hwnd(window.hwnd()) {}
    testing_support::HookWindow window;
    HWND hwnd;
    std::vector<Note> notes;
    int repaints = 0;
    bool refuse = false;
};

bool operator==(const TabHost::Note& a, const TabHost::Note& b) {
    return a.code == b.code && a.tab == b.tab && a.newIndex == b.newIndex && a.oldIndex == b.oldIndex;
}

// Three pages, the middle one hidden; tabs 40 x 20 from the skin, 10 apart.
const char kTabs[] =
    "<tabctrl id='5' pos='0,0,300,200' tabskin='tab' splitterskin='split' frameskin='frame' tabspacing='10'%s>"
    "<tab title='A'><text id='11' pos='0,0,50,20'>a</text></tab>"
    "<tab title='B' hide='1'><text id='12' pos='0,0,50,20'>b</text></tab>"
    "<tab title='C'><text id='13' pos='5,5,50,20'>c</text></tab>"
    "<text id='99'>not a page</text>"
    "</tabctrl>";

class TabCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("");
        SetSkins("<tskin name='tab' colors='FF0000,00FF00,0000FF' cx='40' cy='20'/>"
                 "<tskin name='split' colors='FFFF00' cx='4' cy='20'/><tskin name='frame' colors='808080'/>");
    }
    void TearDown() override { SetSkins(""); }
    void Load(const std::string& extra = "") {
        char xml[1024];
        std::snprintf(xml, sizeof(xml), kTabs, extra.c_str());
        root = LoadTree(std::string("<dlg>") + xml + "</dlg>");
        ASSERT_TRUE(root);
        root->SetContainer(host.hwnd);
        tabs = static_cast<CBkTabCtrl*>(Find(root.get(), 5));
        ASSERT_NE(tabs, nullptr);
        host.notes.clear();
        host.repaints = 0;
    }
    bool Shown(UINT id) { return Find(root.get(), id)->IsVisible(TRUE) != FALSE; }
    void Mouse(UINT msg, int x, int y) { tabs->SendMessageToSelf(msg, 0, MAKELPARAM(x, y)); }
    std::vector<SkinCall> SkinCalls(const std::string& skin) {
        std::vector<SkinCall> out;
        for (const SkinCall& call : Calls())
            if (call.skin == skin) out.push_back(call);
        return out;
    }

    TabHost host;
    std::unique_ptr<CBkDialog> root;
    CBkTabCtrl* tabs = nullptr;
};

TEST_F(TabCtrlTest, HiddenTabLeavesNoGapTabsStepByTheirSizeAndSplittersSitBetween) {
    Load();
    ASSERT_EQ(tabs->GetPageCount(), 3);  // the text element is no page
    EXPECT_EQ(tabs->GetTabRect(0), Rect(0, 0, 40, 20));
    EXPECT_EQ(tabs->GetTabRect(2), Rect(50, 0, 90, 20));  // directly after the first
    EXPECT_EQ(tabs->GetTabRect(3), Rect(0, 0, 0, 0));
    EXPECT_EQ(tabs->GetPageRect(), Rect(0, 20, 300, 200));
    EXPECT_EQ(tabs->GetCurSelPage(), 0);
    EXPECT_TRUE(Shown(11));
    EXPECT_FALSE(Shown(12));
    EXPECT_FALSE(Shown(13));
    EXPECT_EQ(Find(root.get(), 12)->GetCmdID(), 12u);  // pages are still searched

    Canvas canvas(300, 200);
    Calls().clear();
    Paint(root.get(), canvas.dc());
    const std::vector<SkinCall> split = SkinCalls("split");
    ASSERT_EQ(split.size(), 1u);  // two visible tabs: one splitter, none after the last
    EXPECT_EQ(split[0].dest, Rect(43, 0, 47, 20));
    const std::vector<SkinCall> tab = SkinCalls("tab");
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_TRUE(tab[0].dest == Rect(50, 0, 90, 20) && tab[0].index == 0);
    EXPECT_TRUE(tab[1].dest == Rect(0, 0, 40, 20) && tab[1].index == 2);  // the selected tab last
    ASSERT_EQ(SkinCalls("frame").size(), 1u);
    EXPECT_EQ(SkinCalls("frame")[0].dest, Rect(0, 20, 300, 200));

    // A point on the page reaches the selected page's controls; on the strip the control.
    HBKWND onPage = tabs->HitTest(10, 30, TRUE);
    EXPECT_EQ(onPage, Find(root.get(), 11)->GetBkHwnd());
    EXPECT_EQ(tabs->HitTest(200, 10, TRUE), tabs->GetBkHwnd());

    // With explicit sizes and a left strip.
    Load(" tabwidth='30' tabheight='25' tabalign='left' framepos='5'");
    EXPECT_EQ(tabs->GetTabRect(2), Rect(0, 35, 30, 60));
    EXPECT_EQ(tabs->GetPageRect(), Rect(35, 0, 300, 200));
    EXPECT_EQ(tabs->SetAttribute("tabalign", "middle", FALSE), E_FAIL);
    EXPECT_EQ(tabs->GetTabRect(2), Rect(0, 35, 30, 60));  // the alignment kept
}

TEST_F(TabCtrlTest, RefusedSelectionChangesNothingAcceptedOneSwapsThePages) {
    Load();
    host.refuse = true;
    Mouse(WM_LBUTTONDOWN, 60, 10);
    ASSERT_EQ(host.notes.size(), 1u);
    EXPECT_EQ(host.notes[0], (TabHost::Note{BKNM_TAB_SELECT, 5, 2, 0}));
    EXPECT_EQ(tabs->GetCurSelPage(), 0);
    EXPECT_TRUE(Shown(11));
    EXPECT_FALSE(Shown(13));
    EXPECT_EQ(host.repaints, 0);

    // Clicks on the selected tab or beside the tabs do nothing at all.
    host.refuse = false;
    Mouse(WM_LBUTTONDOWN, 10, 10);
    Mouse(WM_LBUTTONDOWN, 200, 10);
    EXPECT_EQ(host.notes.size(), 1u);

    Mouse(WM_LBUTTONDOWN, 60, 10);
    EXPECT_EQ(tabs->GetCurSelPage(), 2);
    EXPECT_FALSE(Shown(11));
    EXPECT_TRUE(Shown(13));
    EXPECT_EQ(Find(root.get(), 13)->GetRect(), Rect(5, 25, 50, 40));  // placed on the page
    EXPECT_GT(host.repaints, 0);
}

TEST_F(TabCtrlTest, HoverAndLeaveAreReported) {
    Load();
    Mouse(WM_MOUSEMOVE, 60, 10);
    Mouse(WM_MOUSEMOVE, 70, 12);  // same tab: nothing new
    EXPECT_EQ(tabs->GetHover(), 2);
    Mouse(WM_MOUSEMOVE, 10, 10);  // the selected tab is never hovered
    Mouse(WM_MOUSEMOVE, 60, 10);
    tabs->SendMessageToSelf(WM_MOUSELEAVE);
    tabs->SendMessageToSelf(WM_MOUSELEAVE);  // nothing hovered any more
    const std::vector<TabHost::Note> expected = {
        {BKNM_TAB_HOVER, 5, 2, -1}, {BKNM_TAB_HOVER, 5, -1, 2}, {BKNM_TAB_HOVER, 5, 2, -1}, {BKNM_TAB_HOVER, 5, -1, 2}};
    EXPECT_EQ(host.notes, expected);
    EXPECT_EQ(tabs->GetHover(), -1);
}

TEST_F(TabCtrlTest, SelectionIsClampedToAVisiblePageAndShowsExactlyIt) {
    for (const char* cursel : {" cursel='7'", " cursel='1'", " cursel='-3'"}) {
        Load(cursel);
        EXPECT_EQ(tabs->GetCurSelPage(), 0) << cursel;
        EXPECT_TRUE(Shown(11) && !Shown(12) && !Shown(13)) << cursel;
    }
    Load(" cursel='2'");
    EXPECT_EQ(tabs->GetCurSelPage(), 2);
    EXPECT_TRUE(!Shown(11) && !Shown(12) && Shown(13));

    // Set later, the attribute shows its page (and only it) the same way.
    Load();
    EXPECT_EQ(tabs->SetAttribute("cursel", "2", FALSE), S_FALSE);
    EXPECT_TRUE(!Shown(11) && Shown(13));
    EXPECT_EQ(Find(root.get(), 13)->GetRect(), Rect(5, 25, 50, 40));
    tabs->SetAttribute("cursel", "1", FALSE);
    EXPECT_EQ(tabs->GetCurSelPage(), 0);
    EXPECT_TRUE(Shown(11) && !Shown(12) && !Shown(13));
    tabs->SetAttribute("cursel", "99", FALSE);
    EXPECT_EQ(tabs->GetCurSelPage(), 0);
    EXPECT_TRUE(Shown(11) && !Shown(13));

    // Hiding the control hides the page with it; showing brings back only the selected one.
    tabs->SendMessageToSelf(WM_SHOWWINDOW, FALSE);
    EXPECT_FALSE(Shown(11));
    tabs->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_TRUE(Shown(11) && !Shown(13));
}

TEST_F(TabCtrlTest, VerticalTitleIsOneCentredColumn) {
    root = LoadTree("<dlg><tabctrl id='5' pos='0,0,300,300' vertfont='1' tabwidth='40' tabheight='120' "
                    "tabalign='left' tabtext='000000'><tab title='A'/><tab title='XYZ'/></tabctrl></dlg>", 300, 300);
    ASSERT_TRUE(root);
    tabs = static_cast<CBkTabCtrl*>(Find(root.get(), 5));
    const RECT tab = tabs->GetTabRect(1);
    ASSERT_EQ(tab, Rect(0, 120, 40, 240));
    Canvas canvas(300, 300, RGB(255, 255, 255));
    Paint(root.get(), canvas.dc());
    // The extent of the drawn text inside the second tab.
    int left = 1000, right = -1, top = 1000, bottom = -1;
    for (int y = tab.top; y < tab.bottom; ++y) {
        for (int x = tab.left; x < tab.right; ++x) {
            const COLORREF c = canvas.At(x, y);  // dark: the text, edges smoothed or not
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) > 384) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    ASSERT_GE(right, 0);
    EXPECT_LT(right - left, 16);                    // one character wide: a column
    EXPECT_GT(bottom - top, 24);                    // three characters high
    EXPECT_NEAR((left + right) / 2.0, 20.0, 3.0);   // centred across the tab
    EXPECT_NEAR(top - tab.top, tab.bottom - 1 - bottom, 6);  // and along it
}

} // namespace
