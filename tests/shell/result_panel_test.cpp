// The result panel on its own: the status line while the index loads or is
// empty, and the drag of its bottom edge with its limits.
#include <gtest/gtest.h>

#include <memory>

#include "browser/netsearch_dlg.h"
#include "index/app_context.h"
#include "index/index_manager.h"
#include "platform/lock.h"
#include "shell/search_ctrl.h"
#include "tests/results/result_fixture.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"
#include "ui/bknotify.h"
#include "ui/bkstring.h"
#include "ui/bkwinmanager.h"

using shell_test::ItemText;
using shell_test::ItemVisible;
using shell_test::Notify;

namespace {

class ResultPanel : public ::testing::Test {
protected:
    void SetUp() override {
        shell_test::LoadProgramTables();
        folder_ = L"C:\\panel-index-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++runs_);
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        engine_.reset(new CIndexManager());
        engine_->SetIndexFolder(folder_);
        GetAppContext()->IndexManager = engine_.get();
        panel_.SetOwner(owner_.Handle());
        ASSERT_NE(panel_.Create(::GetDesktopWindow()), nullptr);
        ::SetWindowPos(panel_.Handle(), nullptr, 100, 100, 650, 400, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        testing_support::PumpMessages(30);
    }
    void TearDown() override {
        panel_.DestroyPanel();
        engine_.reset();
        GetAppContext()->IndexManager = nullptr;
    }
    void Move(int x, int y) { ::SendMessageW(panel_.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
    RECT Line() { return panel_.DragLine().GetWindowRect(); }
    bool LineShown() { return ::IsWindowVisible(panel_.DragLine().Handle()) != FALSE; }

    static int runs_;
    std::wstring folder_;
    BkWinManager manager_;
    std::unique_ptr<CIndexManager> engine_;
    results_test::OwnerWindow owner_;
    CSearchCtrl panel_;
};

int ResultPanel::runs_ = 0;

}  // namespace

TEST_F(ResultPanel, WithoutAnIndexTheStatusSaysWhyAndTheDragStripStays) {
    // Results while the index loads: the load thread is held on the record
    // lock, so it is still running when they arrive.
    {
        platform::ScopedLock hold(engine_->RecordLock());
        engine_->StartLoad();
        ASSERT_FALSE(engine_->IsLoadDone());
        panel_.OnSearchResults(0, 0);
        EXPECT_EQ(ItemText(panel_, CSearchCtrl::IDC_STATUS), BkString::Get(47));
        EXPECT_TRUE(ItemVisible(panel_, CSearchCtrl::IDC_DRAG_STRIP));
        EXPECT_FALSE(ItemVisible(panel_, CSearchCtrl::IDC_VIEW_LINK));
    }
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return engine_->IsLoadDone(); }, 20000));

    // Loaded, but no drive has an index yet (the first start).
    ASSERT_TRUE(engine_->IsIndexEmpty());
    panel_.OnSearchResults(0, 0);
    EXPECT_EQ(ItemText(panel_, CSearchCtrl::IDC_STATUS), BkString::Get(22));
    EXPECT_TRUE(ItemVisible(panel_, CSearchCtrl::IDC_DRAG_STRIP));
    EXPECT_FALSE(ItemVisible(panel_, CSearchCtrl::IDC_VIEW_LINK));
    EXPECT_EQ(owner_.Count(WM_SEARCH_RESULTS), 2u);  // passed on to the bar both times

    // The strip still drags the edge.
    panel_.UpdateLayout(900);
    Notify(panel_.Handle(), BKNM_LBUTTONDOWN, CSearchCtrl::IDC_DRAG_STRIP);
    Move(300, 398);
    Move(300, 448);
    Notify(panel_.Handle(), BKNM_LBUTTONUP, CSearchCtrl::IDC_DRAG_STRIP);
    EXPECT_EQ(panel_.GetWindowRect().bottom, 550);
}

TEST_F(ResultPanel, BottomEdgeDragStaysAboveTheLimitAndKeepsAMinimumHeight) {
    panel_.UpdateLayout(700);
    EXPECT_EQ(panel_.GetBottomLimit(), 700);
    const RECT start = panel_.GetWindowRect();  // 100, 100, 750, 500
    ASSERT_EQ(start.bottom, 500);

    Notify(panel_.Handle(), BKNM_LBUTTONDOWN, CSearchCtrl::IDC_DRAG_STRIP);
    EXPECT_TRUE(panel_.IsDragging());
    Move(300, 396);  // the first move anchors: the line sits on the bottom edge, 8 px in
    ASSERT_TRUE(LineShown());
    RECT line = Line();
    EXPECT_EQ(line.left, start.left + 8);
    EXPECT_EQ(line.right, start.right - 8);
    EXPECT_EQ(line.bottom, 500);
    EXPECT_EQ(line.bottom - line.top, 4);

    Move(300, 496);  // 100 px lower
    EXPECT_EQ(Line().bottom, 600);
    Move(300, 596);  // exactly at the limit: allowed
    EXPECT_EQ(Line().bottom, 700);
    Move(300, 597);  // past the limit: the line stays
    EXPECT_EQ(Line().bottom, 700);
    Move(300, 52);  // 56 px high: allowed
    EXPECT_EQ(Line().bottom, 156);
    Move(300, 51);  // lower than 56 px: refused
    EXPECT_EQ(Line().bottom, 156);
    Move(300, 246);
    EXPECT_EQ(Line().bottom, 350);

    // The release moves the bottom edge to the line and tells the bar.
    owner_.messages.clear();
    Notify(panel_.Handle(), BKNM_LBUTTONUP, CSearchCtrl::IDC_DRAG_STRIP);
    EXPECT_FALSE(panel_.IsDragging());
    EXPECT_FALSE(LineShown());
    const RECT after = panel_.GetWindowRect();
    EXPECT_EQ(after.top, start.top);
    EXPECT_EQ(after.bottom, 350);
    ASSERT_EQ(owner_.Count(WM_PANEL_RESIZE), 1u);
    EXPECT_EQ(owner_.Last(WM_PANEL_RESIZE)->wp, 350u);
    EXPECT_EQ(owner_.Last(WM_PANEL_RESIZE)->lp, 1);

    // A press and release without a move changes nothing and tells nobody.
    owner_.messages.clear();
    Notify(panel_.Handle(), BKNM_LBUTTONDOWN, CSearchCtrl::IDC_DRAG_STRIP);
    Notify(panel_.Handle(), BKNM_LBUTTONUP, CSearchCtrl::IDC_DRAG_STRIP);
    EXPECT_EQ(panel_.GetWindowRect().bottom, 350);
    EXPECT_EQ(owner_.Count(WM_PANEL_RESIZE), 0u);

    // A drag whose every move was refused moves nothing either.
    Notify(panel_.Handle(), BKNM_LBUTTONDOWN, CSearchCtrl::IDC_DRAG_STRIP);
    Move(300, 346);
    Move(300, 800);
    Notify(panel_.Handle(), BKNM_LBUTTONUP, CSearchCtrl::IDC_DRAG_STRIP);
    EXPECT_EQ(panel_.GetWindowRect().bottom, 350);
    EXPECT_EQ(owner_.Count(WM_PANEL_RESIZE), 0u);

    // A press elsewhere is no drag.
    Notify(panel_.Handle(), BKNM_LBUTTONDOWN, CSearchCtrl::IDC_STATUS);
    Move(300, 346);
    EXPECT_FALSE(LineShown());
}
