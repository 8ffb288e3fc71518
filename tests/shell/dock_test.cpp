// The docked bar: debounced search, clearing, filter buttons, auto-hide into
// the strip and back, dragging.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "browser/netsearch_dlg.h"
#include "index/search_query.h"
#include "platform/handle.h"
#include "platform/lock.h"
#include "results/search_result_wnd.h"
#include "shell/dock_wnd2.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"
#include "ui/bkctrl_image.h"
#include "ui/bknotify.h"

using shell_test::DockSetup;
using shell_test::ItemText;
using shell_test::ItemVisible;
using shell_test::Notify;
using shell_test::WaitFor;

namespace {

bool Visible(HWND hwnd) { return hwnd && ::IsWindowVisible(hwnd); }

// Keeps the bar from hiding while a test works on it.
void StopAutoHide(CDockWnd& dock) { ::KillTimer(dock.Handle(), CDockWnd::IDT_DOCK_AUTOHIDE); }

// The bar kept out, its start-up done and "le1" typed into its edit: true
// once the eleven results are listed.
bool TypeAndList(DockSetup& s) {
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    if (!s.WaitForStartChain()) return false;
    dock.FocusEdit();
    s.Type(L"le1");
    return WaitFor([&] { return dock.ResultPanel().RowCount() == 11; });
}

}  // namespace

TEST(DockSearch, TypingRunsOneSearchAfterThePauseAndClearingHidesThePanels) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ASSERT_TRUE(s.WaitForStartChain());
    dock.FocusEdit();
    EXPECT_FALSE(ItemVisible(dock, CDockWnd::IDC_PLACEHOLDER));
    EXPECT_TRUE(Visible(dock.Edit().Handle()));

    s.Type(L"le1");
    testing_support::PumpMessages(30);
    EXPECT_EQ(dock.Edit().GetText(), L"le1");
    EXPECT_EQ(dock.SearchRuns(), 0);  // still within the pause
    EXPECT_TRUE(dock.IsTimerSet(CDockWnd::IDT_DOCK_SEARCH_DEBOUNCE));
    EXPECT_TRUE(ItemVisible(dock, CDockWnd::IDC_CLEAR));

    ASSERT_TRUE(WaitFor([&] { return dock.ResultPanel().RowCount() == 11; }));
    testing_support::PumpMessages(400);
    EXPECT_EQ(dock.SearchRuns(), 1);
    EXPECT_EQ(dock.ResultPanel().Query, L"le1");
    EXPECT_TRUE(Visible(dock.ResultPanel().Handle()));
    EXPECT_TRUE(Visible(dock.ResultPanel().ResultHandle()));
    // The panel hangs 8 px into the bar and fits its 11 rows.
    RECT bar = dock.GetWindowRect(), panel = dock.ResultPanel().GetWindowRect();
    EXPECT_EQ(panel.top, bar.bottom - 8);
    EXPECT_EQ(panel.left, bar.left);
    EXPECT_EQ(panel.bottom - panel.top, 11 * 24 + 127);

    // Esc empties the text: both panels go at once, and no search runs.
    ::PostMessageW(dock.Edit().Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    testing_support::PumpMessages(500);
    EXPECT_EQ(dock.Edit().GetText(), L"");
    EXPECT_FALSE(Visible(dock.ResultPanel().Handle()));
    EXPECT_FALSE(Visible(dock.ResultPanel().ResultHandle()));
    EXPECT_FALSE(ItemVisible(dock, CDockWnd::IDC_CLEAR));
    EXPECT_EQ(dock.SearchRuns(), 1);

    // Text typed and cleared within the pause searches for nothing.
    s.Type(L"ab");
    testing_support::PumpMessages(20);
    ::PostMessageW(dock.Edit().Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
    testing_support::PumpMessages(500);
    EXPECT_EQ(dock.SearchRuns(), 1);
    EXPECT_FALSE(dock.IsTimerSet(CDockWnd::IDT_DOCK_SEARCH_DEBOUNCE));
}

TEST(DockSearch, TabMovesIntoTheListAndResultsArrivingLaterLeaveItThere) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    ASSERT_TRUE(TypeAndList(s));
    testing_support::PumpMessages(400);
    ASSERT_EQ(dock.SearchRuns(), 1);
    HWND list = dock.ResultPanel().ListHandle();
    ASSERT_TRUE(list);

    // Tab as the keyboard sends it: the key, then its character, which
    // changes no text and so starts no search.
    ::PostMessageW(dock.Edit().Handle(), WM_KEYDOWN, VK_TAB, 1);
    ::PostMessageW(dock.Edit().Handle(), WM_CHAR, L'\t', 1);
    testing_support::PumpMessages(600);
    EXPECT_EQ(::GetFocus(), list);
    EXPECT_EQ(dock.SearchRuns(), 1);
    EXPECT_FALSE(dock.IsTimerSet(CDockWnd::IDT_DOCK_SEARCH_DEBOUNCE));
    EXPECT_EQ(dock.Edit().GetText(), L"le1");

    // Results of a later search (the reload after a scan) keep the keyboard
    // in the list; with the focus in the edit they put it back there.
    dock.ResultPanel().Search(1, 1);
    testing_support::PumpMessages(600);
    EXPECT_EQ(::GetFocus(), list);
    ::SetFocus(dock.Edit().Handle());
    ::SetFocus(dock.Handle());
    dock.ResultPanel().Search(1, 1);
    testing_support::PumpMessages(600);
    EXPECT_EQ(::GetFocus(), dock.Edit().Handle());

    // Enter and Esc characters are no text either; Esc's key clears it.
    EXPECT_FALSE(CSearchEdit::ChangesText(L'\r'));
    EXPECT_FALSE(CSearchEdit::ChangesText(27));
    EXPECT_TRUE(CSearchEdit::ChangesText(L'a'));
}

TEST(DockSearch, FilterButtonsSetThePlaceholderAndTheMask) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ASSERT_TRUE(s.WaitForStartChain());
    CBkImageWnd* today = static_cast<CBkImageWnd*>(dock.GetViewControl().FindControl(1007));
    CBkImageWnd* all = static_cast<CBkImageWnd*>(dock.GetViewControl().FindControl(1006));
    ASSERT_TRUE(today && all);
    EXPECT_EQ(all->GetSub(), 2);

    Notify(dock.Handle(), BKNM_COMMAND, 1007);
    EXPECT_EQ(ItemText(dock, CDockWnd::IDC_PLACEHOLDER), L"  \u4ECA\u5929\u7684\u6587\u4EF6...");  // 今天的文件
    EXPECT_TRUE(ItemVisible(dock, CDockWnd::IDC_PLACEHOLDER));
    EXPECT_TRUE(ItemVisible(dock, CDockWnd::IDC_CLEAR));
    EXPECT_EQ(dock.GetFilterMask(), static_cast<DWORD>(SQF_TODAY));
    EXPECT_EQ(dock.ResultPanel().FilterMask, static_cast<DWORD>(SQF_TODAY));
    EXPECT_EQ(today->GetSub(), 2);
    EXPECT_EQ(all->GetSub(), 0);
    EXPECT_EQ(dock.SearchRuns(), 1);  // local scope: the filter searches at once
    EXPECT_TRUE(Visible(dock.WebPanel().Handle()));  // and the web, under the result panel
    EXPECT_EQ(dock.WebPanel().GetWindowRect().top, dock.ResultPanel().GetWindowRect().bottom);

    Notify(dock.Handle(), BKNM_COMMAND, 1004);
    EXPECT_EQ(ItemText(dock, CDockWnd::IDC_PLACEHOLDER), L"  \u4ECA\u5929\u7684\u6587\u6863...");  // 今天的文档
    EXPECT_EQ(dock.GetFilterMask(), static_cast<DWORD>(SQF_TODAY | SQF_DOCUMENT));
    Notify(dock.Handle(), BKNM_COMMAND, 1010);  // date range: no date word
    EXPECT_EQ(ItemText(dock, CDockWnd::IDC_PLACEHOLDER), L"  \u6587\u6863...");
    EXPECT_EQ(dock.GetFilterMask(), static_cast<DWORD>(SQF_DATE_RANGE | SQF_DOCUMENT));
    EXPECT_EQ(dock.LastWebUrl(), L"https://wenku.baidu.com/search?word=");

    // Hovering a button that is not selected lights it; the selected one stays.
    Notify(dock.Handle(), BKNM_MOUSEHOVER, 1007);
    EXPECT_EQ(today->GetSub(), 1);
    Notify(dock.Handle(), BKNM_MOUSEHOVER, 1010);
    EXPECT_EQ(static_cast<CBkImageWnd*>(dock.GetViewControl().FindControl(1010))->GetSub(), 2);

    // The clear button puts everything back.
    Notify(dock.Handle(), BKNM_COMMAND, CDockWnd::IDC_CLEAR);
    EXPECT_EQ(dock.GetFilterMask(), 0u);
    EXPECT_EQ(dock.ResultPanel().FilterMask, 0u);
    EXPECT_EQ(all->GetSub(), 2);
    EXPECT_EQ(ItemText(dock, CDockWnd::IDC_PLACEHOLDER).substr(2), L"Ctrl+Q,\u684C\u9762\u5FEB\u641C...");
    EXPECT_FALSE(ItemVisible(dock, CDockWnd::IDC_CLEAR));
    EXPECT_FALSE(Visible(dock.ResultPanel().Handle()));
    EXPECT_FALSE(Visible(dock.WebPanel().Handle()));
}

TEST(DockSearch, WebScopeAloneShowsOnlyTheWebPanelUnderTheBar) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ASSERT_TRUE(s.WaitForStartChain());
    ::SendMessageW(dock.Handle(), WM_SEARCH_SCOPE_CHANGED, SCOPE_WEB, 0);
    EXPECT_EQ(dock.GetScopeMask(), static_cast<DWORD>(SCOPE_WEB));
    dock.FocusEdit();
    s.Type(L"x&y");
    ASSERT_TRUE(WaitFor([&] { return !dock.IsTimerSet(CDockWnd::IDT_DOCK_SEARCH_DEBOUNCE); }));
    EXPECT_EQ(dock.SearchRuns(), 0);
    EXPECT_FALSE(Visible(dock.ResultPanel().Handle()));
    EXPECT_TRUE(Visible(dock.WebPanel().Handle()));
    const RECT bar = dock.GetWindowRect(), web = dock.WebPanel().GetWindowRect();
    EXPECT_EQ(web.top, bar.bottom - 8);
    EXPECT_EQ(web.bottom - web.top, 500);
    EXPECT_EQ(dock.LastWebUrl(), L"https://www.baidu.com/s?e=utf-8&wd=x%26y");
}

TEST(DockSearch, TabDownAndUpInTheEditGoToTheListsFirstOrLastRow) {
    DockSetup s(60);
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ::SendMessageW(dock.Handle(), WM_SEARCH_SCOPE_CHANGED, SCOPE_EXISTING | SCOPE_DELETED, 0);
    ASSERT_TRUE(s.WaitForStartChain());
    dock.FocusEdit();
    s.Type(L"file");
    ASSERT_TRUE(WaitFor([&] { return dock.ResultPanel().RowCount() == 60; }));
    testing_support::PumpMessages(100);
    OListCtrl<CSearchResultWnd>& list = dock.ResultPanel().ResultWnd()->GetList();
    ASSERT_GT(list.RowTop(59), list.ViewHeight());  // the last row starts out of view
    auto press = [&](WPARAM key) {
        dock.FocusEdit();
        ::PostMessageW(dock.Edit().Handle(), WM_KEYDOWN, key, 1);
        testing_support::PumpMessages(100);
    };

    // Up: the last row alone, scrolled up to the bottom of the list.
    press(VK_UP);
    EXPECT_EQ(::GetFocus(), list.Handle());
    EXPECT_EQ(list.GetSelectedCount(), 1);
    EXPECT_TRUE(list.IsSelected(59));
    EXPECT_EQ(list.GetCurrentRow(), 59);
    EXPECT_LE(list.RowTop(59) + list.RowHeight(59), list.ViewHeight());
    EXPECT_GT(list.RowTop(59) + list.RowHeight(59), list.ViewHeight() - 24);

    // Down and Tab: the first row alone, and the list back at its top.
    for (WPARAM key : {WPARAM(VK_DOWN), WPARAM(VK_TAB)}) {
        SCOPED_TRACE(key);
        press(VK_UP);
        press(key);
        EXPECT_EQ(::GetFocus(), list.Handle());
        EXPECT_EQ(list.GetSelectedCount(), 1);
        EXPECT_TRUE(list.IsSelected(0));
        EXPECT_EQ(list.GetCurrentRow(), 0);
        EXPECT_EQ(list.GetVerticalOffset(), 0);
    }
    EXPECT_EQ(dock.Edit().GetText(), L"file");  // the keys left the text alone
}

TEST(DockSearch, FileViewOfTheFooterLinkSurvivesACloseToTheTray) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ASSERT_TRUE(s.WaitForStartChain());
    dock.ResultPanel().ToggleFileView();  // the link: deleted files only
    EXPECT_EQ(dock.GetFileState(), static_cast<DWORD>(SQS_DELETED));
    EXPECT_TRUE(dock.ResultPanel().IsViewDeleted());

    // Closed to the tray, then made again as the owner window does it: the
    // scope is kept, and the files shown and the link's offer follow it.
    dock.DestroyPanels();
    dock.ResetState();
    ASSERT_TRUE(dock.Create(nullptr, RECT{100, 20, 900, 93}));
    ::ShowWindow(dock.Handle(), SW_SHOW);
    StopAutoHide(dock);
    EXPECT_EQ(dock.GetScopeMask(), static_cast<DWORD>(SCOPE_DELETED | SCOPE_WEB));
    EXPECT_EQ(dock.GetFileState(), static_cast<DWORD>(SQS_DELETED));
    EXPECT_TRUE(dock.ResultPanel().IsViewDeleted());

    dock.ResultPanel().ToggleFileView();  // all files again
    dock.DestroyPanels();
    dock.ResetState();
    EXPECT_EQ(dock.GetFileState(), static_cast<DWORD>(SQS_ALL));
    EXPECT_FALSE(dock.ResultPanel().IsViewDeleted());
}

TEST(DockAutoHide, BarHidesIntoTheStripAndComesBackWithItsPanels) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    // Local files only: the web panel would reach down to the screen bottom.
    ::SendMessageW(dock.Handle(), WM_SEARCH_SCOPE_CHANGED, SCOPE_EXISTING | SCOPE_DELETED, 0);
    ASSERT_TRUE(s.WaitForStartChain());
    ::SetCursorPos(500, 50);  // over the bar: it stays
    ASSERT_TRUE(WaitFor([&] { return dock.GetWindowRect().top == 0; }));  // slid to the top
    dock.FocusEdit();
    s.Type(L"file1");
    ASSERT_TRUE(WaitFor([&] { return dock.ResultPanel().RowCount() == 11; }));
    testing_support::PumpMessages(600);
    EXPECT_TRUE(Visible(dock.Handle()));
    const RECT bar = dock.GetWindowRect();

    ::SetCursorPos(600, 900);  // far from the bar and the panel
    ASSERT_TRUE(WaitFor([&] { return dock.IsMiniDockVisible(); }));
    EXPECT_FALSE(Visible(dock.Handle()));
    EXPECT_FALSE(Visible(dock.Edit().Handle()));
    EXPECT_FALSE(Visible(dock.ResultPanel().Handle()));
    EXPECT_FALSE(dock.IsTimerSet(CDockWnd::IDT_DOCK_AUTOHIDE));
    const RECT strip = dock.MiniDock().GetWindowRect();
    EXPECT_EQ(strip.left, bar.left + 4);
    EXPECT_EQ(strip.top, 0);
    EXPECT_EQ(strip.right, bar.right - 4);
    EXPECT_EQ(strip.bottom, 6);
    const MiniDockRestore& saved = dock.MiniDock().Record();
    EXPECT_EQ(saved.EditVisible, 1);
    EXPECT_EQ(saved.ResultPanelVisible, 1);
    EXPECT_EQ(saved.DockBottom, 73);

    // A restore record that is not the strip's own is ignored.
    MiniDockRestore forged = saved;
    ::SendMessageW(dock.Handle(), WM_TRAY_NOTIFY, reinterpret_cast<WPARAM>(&forged), 0);
    EXPECT_FALSE(Visible(dock.Handle()));

    ::SetCursorPos(500, 2);  // touch the strip
    ASSERT_TRUE(WaitFor([&] { return Visible(dock.Handle()); }));
    EXPECT_FALSE(dock.IsMiniDockVisible());
    const RECT back = dock.GetWindowRect();
    EXPECT_EQ(back.left, bar.left);
    EXPECT_EQ(back.top, 0);
    EXPECT_EQ(back.right, bar.right);
    EXPECT_EQ(back.bottom, 73);
    EXPECT_TRUE(Visible(dock.Edit().Handle()));
    EXPECT_TRUE(Visible(dock.ResultPanel().Handle()));
    EXPECT_TRUE(dock.IsTimerSet(CDockWnd::IDT_DOCK_AUTOHIDE));

    // Asking the strip again, now that it is not armed, changes nothing.
    ::ShowWindow(dock.Handle(), SW_HIDE);
    dock.RestoreFromMiniDock();
    EXPECT_FALSE(Visible(dock.Handle()));
}

TEST(DockAutoHide, ClickOnAScopeRowBelowTheBarKeepsItUntilThePointerMovesOn) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    ASSERT_TRUE(s.WaitForStartChain());
    ::SetCursorPos(500, 50);  // over the bar: it stays
    ASSERT_TRUE(WaitFor([&] { return dock.GetWindowRect().top == 0; }));  // slid to the top
    testing_support::PumpMessages(300);
    ASSERT_TRUE(Visible(dock.Handle()));

    // The query is empty: no panel hangs under the bar. The popup opens
    // under its button; its last row lies well below the bar.
    Notify(dock.Handle(), BKNM_COMMAND, CDockWnd::IDC_SCOPE);
    ASSERT_TRUE(Visible(dock.ScopePopup().Handle()));
    const RECT popup = dock.ScopePopup().GetWindowRect();
    ASSERT_GT(popup.bottom - 10, dock.GetWindowRect().bottom + 15);
    ::SetCursorPos((popup.left + popup.right) / 2, popup.bottom - 10);
    Notify(dock.ScopePopup().Handle(), BKNM_COMMAND, CKSettingDlg::IDC_ROW_LAST);  // the web row
    testing_support::PumpMessages(800);
    EXPECT_FALSE(Visible(dock.ScopePopup().Handle()));
    EXPECT_EQ(dock.GetScopeMask(), static_cast<DWORD>(SCOPE_EXISTING | SCOPE_DELETED));
    EXPECT_TRUE(Visible(dock.Handle()));
    EXPECT_FALSE(dock.IsMiniDockVisible());

    // Once the pointer moves on, away from the bar, the bar hides as usual.
    ::SetCursorPos(600, 900);
    ASSERT_TRUE(WaitFor([&] { return dock.IsMiniDockVisible(); }));
    EXPECT_FALSE(Visible(dock.Handle()));
}

TEST(DockAutoHide, FullScreenProgramInFrontKeepsTheBarInItsStrip) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    ::SendMessageW(dock.Handle(), WM_SEARCH_SCOPE_CHANGED, SCOPE_EXISTING | SCOPE_DELETED, 0);
    ::SetCursorPos(600, 900);
    ASSERT_TRUE(WaitFor([&] { return dock.IsMiniDockVisible(); }));
    EXPECT_FALSE(CDockWnd::IsFullScreenAppInFront());  // the desktop is no full-screen program

    const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
    HWND video = ::CreateWindowExW(WS_EX_TOPMOST, L"EDIT", L"", WS_POPUP | ES_READONLY, 0, 0, width, height,
                                   nullptr, nullptr, nullptr, nullptr);
    ::ShowWindow(video, SW_SHOWNA);
    ::SetCursorPos(500, 2);  // on the strip, under the full-screen window
    testing_support::PumpMessages(100);
    EXPECT_TRUE(CDockWnd::IsFullScreenAppInFront());
    testing_support::PumpMessages(600);
    EXPECT_FALSE(Visible(dock.Handle()));
    ::DestroyWindow(video);
    EXPECT_TRUE(WaitFor([&] { return Visible(dock.Handle()); }));  // the next tick after it is gone
}

TEST(DockDrag, PanelsHangUnderTheBarAnywhereWithTheListInside) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    ASSERT_TRUE(TypeAndList(s));
    testing_support::PumpMessages(600);
    ASSERT_TRUE(Visible(dock.WebPanel().Handle()));  // the web panel fills the rest of the screen
    const int screen = ::GetSystemMetrics(SM_CYSCREEN);
    const RECT panelBefore = dock.ResultPanel().GetWindowRect();
    const RECT webBefore = dock.WebPanel().GetWindowRect();
    const int panelHeight = panelBefore.bottom - panelBefore.top;
    const int webHeight = webBefore.bottom - webBefore.top;
    auto expectListInPanel = [&](const char* when) {
        const RECT panel = dock.ResultPanel().GetWindowRect();
        RECT list = {};
        ::GetWindowRect(dock.ResultPanel().ResultHandle(), &list);
        EXPECT_EQ(list.left, panel.left + 18) << when;
        EXPECT_EQ(list.top, panel.top + 22) << when;
        EXPECT_EQ(list.right, panel.right - 18) << when;
        EXPECT_EQ(list.bottom, panel.bottom - 31) << when;
    };

    // The bar lands 500 px further down, as after a drag: both panels keep
    // their heights, past the screen's bottom if need be.
    const RECT before = dock.GetWindowRect();
    ::SetWindowPos(dock.Handle(), nullptr, before.left, before.top + 500, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    testing_support::PumpMessages(200);
    RECT bar = dock.GetWindowRect(), panel = dock.ResultPanel().GetWindowRect();
    RECT web = dock.WebPanel().GetWindowRect();
    EXPECT_EQ(panel.top, bar.bottom - 8);
    EXPECT_EQ(panel.bottom - panel.top, panelHeight);
    EXPECT_EQ(web.top, panel.bottom);
    EXPECT_EQ(web.bottom - web.top, webHeight);
    expectListInPanel("500 px down");

    // At the screen's bottom: the result panel still hangs under the bar with
    // its list inside, a tenth of it on the screen; the web panel, with no
    // room at all, waits hidden.
    ::SetWindowPos(dock.Handle(), nullptr, before.left, screen - (before.bottom - before.top), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    testing_support::PumpMessages(200);
    bar = dock.GetWindowRect();
    panel = dock.ResultPanel().GetWindowRect();
    EXPECT_EQ(panel.top, bar.bottom - 8);
    const int least = CDockWnd::kPanelEmptyHeight;
    EXPECT_GE(panel.bottom - panel.top, least);
    EXPECT_LE(panel.bottom - panel.top, std::max<int>(least, (screen - panel.top) * 10));
    expectListInPanel("at the screen's bottom");
    EXPECT_FALSE(Visible(dock.WebPanel().Handle()));

    // Back at the top: the heights and the web panel come back.
    ::SetWindowPos(dock.Handle(), nullptr, before.left, before.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    testing_support::PumpMessages(200);
    panel = dock.ResultPanel().GetWindowRect();
    web = dock.WebPanel().GetWindowRect();
    EXPECT_TRUE(::EqualRect(&panel, &panelBefore));
    EXPECT_TRUE(::EqualRect(&web, &webBefore));
    EXPECT_TRUE(Visible(dock.WebPanel().Handle()));
    expectListInPanel("back at the top");
}

TEST(DockDrag, LostMouseCancelsTheDragAndTheNextOneStartsFromItsOwnPress) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ::KillTimer(dock.Handle(), CDockWnd::IDT_DOCK_SLIDE);
    const RECT bar = dock.GetWindowRect();
    auto move = [&](int x, int y, WPARAM keys) {
        ::SendMessageW(dock.Handle(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
    };

    Notify(dock.Handle(), BKNM_LBUTTONDOWN, 0);  // on the background
    move(10, 10, MK_LBUTTON);
    move(60, 110, MK_LBUTTON);
    RECT outline = dock.DragBox().GetWindowRect();
    EXPECT_TRUE(Visible(dock.DragBox().Handle()));
    EXPECT_EQ(outline.left, bar.left + 50);
    EXPECT_EQ(outline.top, bar.top + 100);
    EXPECT_TRUE(dock.IsKeepOpen());

    // The mouse leaves: everything about this drag goes.
    ::SendMessageW(dock.Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(Visible(dock.DragBox().Handle()));
    Notify(dock.Handle(), BKNM_LBUTTONUP, 0);
    EXPECT_EQ(dock.GetWindowRect().top, bar.top);  // the bar did not move

    // A new press anchors at its own first move, not at the old one.
    Notify(dock.Handle(), BKNM_LBUTTONDOWN, 0);
    move(200, 30, MK_LBUTTON);
    move(230, 30, MK_LBUTTON);
    outline = dock.DragBox().GetWindowRect();
    EXPECT_EQ(outline.left, bar.left + 30);
    EXPECT_EQ(outline.top, bar.top);
    // A release that never arrives (button up on the next move) moves nothing.
    move(260, 30, 0);
    EXPECT_FALSE(Visible(dock.DragBox().Handle()));
    EXPECT_EQ(dock.GetWindowRect().left, bar.left);

    // A completed drag above the screen lands at top 0 and takes the edit along.
    Notify(dock.Handle(), BKNM_LBUTTONDOWN, 0);
    move(10, 50, MK_LBUTTON);
    move(30, -200, MK_LBUTTON);
    Notify(dock.Handle(), BKNM_LBUTTONUP, 0);
    const RECT moved = dock.GetWindowRect();
    EXPECT_EQ(moved.left, bar.left + 20);
    EXPECT_EQ(moved.top, 0);
    EXPECT_FALSE(dock.IsKeepOpen());
    EXPECT_TRUE(dock.IsAtTop());
    const RECT edit = dock.Edit().GetWindowRect();
    EXPECT_EQ(edit.left, moved.left + 30);
    EXPECT_EQ(edit.top, moved.top + dock.EditRect().top);
}

namespace {
CDockWnd* g_running = nullptr;
bool g_hiddenWhileRunning = false;
void CALLBACK CloseExpanded(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    if (g_running && g_running->ExpandedDock()) {
        g_hiddenWhileRunning = !::IsWindowVisible(g_running->Handle()) && g_running->IsExpandedDockRunning();
        g_running->ExpandedDock()->Close();
    }
}
}  // namespace

TEST(DockExpanded, TallerBarRunsInThePlaceOfTheBarAndGivesItBack) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ASSERT_TRUE(s.WaitForStartChain());
    g_running = &dock;
    ::SetTimer(nullptr, 0, 500, &CloseExpanded);
    Notify(dock.Handle(), BKNM_COMMAND, CDockWnd::IDC_EXPANDED);  // returns when the taller bar ends
    g_running = nullptr;
    EXPECT_TRUE(g_hiddenWhileRunning);
    EXPECT_FALSE(dock.IsExpandedDockRunning());
    EXPECT_EQ(dock.ExpandedDock(), nullptr);
    EXPECT_TRUE(Visible(dock.Handle()));
    EXPECT_TRUE(dock.IsTimerSet(CDockWnd::IDT_DOCK_WAIT_SCAN));  // the index is reloaded after it
    EXPECT_EQ(s.engine->NotifyWindow(), dock.ResultPanel().ResultHandle());
}

namespace {
CIndexManager* g_engine = nullptr;
bool g_searchLeftRunning = false;
std::thread g_lockHolder;
// Inside the taller bar's run, once its own start-up load and search are
// over: starts a search that cannot finish yet (another thread holds the
// record lock for a while) and closes the taller bar.
void CALLBACK CloseWithASearchRunning(HWND, UINT, UINT_PTR id, DWORD) {
    if (!g_running || !g_running->ExpandedDock()) return;
    if (!g_engine->IsLoadDone() || g_engine->IsSearchRunning()) return;
    ::KillTimer(nullptr, id);
    platform::UniqueHandle locked(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE signal = locked.Get();
    g_lockHolder = std::thread([signal] {
        platform::ScopedLock hold(g_engine->RecordLock());
        ::SetEvent(signal);
        ::Sleep(300);
    });
    ::WaitForSingleObject(signal, INFINITE);
    CSearchQuery query;
    query.Pattern = L"file";
    g_engine->StartSearch(query);
    g_searchLeftRunning = g_engine->IsSearchRunning();
    g_running->ExpandedDock()->Close();
}
}  // namespace

TEST(DockExpanded, ASearchTheTallerBarLeftRunningEndsBeforeTheBarTakesTheEngineBack) {
    DockSetup s;
    CDockWnd& dock = *s.dock;
    StopAutoHide(dock);
    ASSERT_TRUE(s.WaitForStartChain());
    g_running = &dock;
    g_engine = s.engine.get();
    ::SetTimer(nullptr, 0, 300, &CloseWithASearchRunning);
    Notify(dock.Handle(), BKNM_COMMAND, CDockWnd::IDC_EXPANDED);
    g_running = nullptr;
    EXPECT_TRUE(g_searchLeftRunning);
    EXPECT_FALSE(s.engine->IsSearchRunning());  // stopped and waited for
    EXPECT_EQ(s.engine->NotifyWindow(), dock.ResultPanel().ResultHandle());
    if (g_lockHolder.joinable()) g_lockHolder.join();
    g_engine = nullptr;
}
