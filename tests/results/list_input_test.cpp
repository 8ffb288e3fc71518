// Keys and mouse on the list: the key table's commands, the selection keys,
// clicks with Ctrl and Shift, drag selection, and the selected-deleted count
// that must always equal the deleted rows selected.
#include <gtest/gtest.h>

#include "tests/results/result_fixture.h"
#include "tests/support/test_support.h"

using namespace results_test;

namespace {

using List = OListCtrl<CSearchResultWnd>;

class ListInput : public ::testing::Test {
protected:
    void SetUp() override {
        setup_.reset(new ResultSetup());
        // file<i>.txt at row i; rows 0, 3, 6 ... are deleted files.
        ASSERT_TRUE(setup_->Load(ManyFiles(100, 3)));
        ASSERT_TRUE(setup_->Search(L"file"));
        ASSERT_EQ(list().GetItemCount(), 100);
        setup_->Show(600, 300);
        ASSERT_EQ(list().GetRowsPerPage(), (list().ViewHeight() - 25) / 24);
    }
    void TearDown() override { SetModifiers(false, false); }
    List& list() { return setup_->wnd->GetList(); }

    void Key(int vk, bool ctrl = false, bool shift = false) {
        SetModifiers(ctrl, shift);
        ::SendMessageW(list().Handle(), WM_KEYDOWN, vk, 0);
        SetModifiers(false, false);
    }
    void Click(int row, bool ctrl = false, bool shift = false) {
        SetModifiers(ctrl, shift);
        const LPARAM at = MAKELPARAM(kX, list().RowTop(row) + 5);
        ::SendMessageW(list().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(list().Handle(), WM_LBUTTONUP, 0, at);
        SetModifiers(false, false);
    }
    // Selected rows as [first, last] runs, and the deleted ones among them.
    std::vector<int> Selected() {
        std::vector<int> rows;
        for (int row = 0; row < list().GetItemCount(); ++row)
            if (list().IsSelected(row)) rows.push_back(row);
        return rows;
    }
    int DeletedSelected() {
        int n = 0;
        for (int row : Selected()) n += row % 3 == 0 ? 1 : 0;
        return n;
    }
    std::vector<int> Range(int first, int last) {
        std::vector<int> rows;
        for (int row = first; row <= last; ++row) rows.push_back(row);
        return rows;
    }
    bool CurrentInView() {
        const int top = list().RowTop(list().GetCurrentRow());
        return top >= 25 && top + list().RowHeight(list().GetCurrentRow()) <= list().ViewHeight();
    }

    static constexpr int kX = 520;  // right of every action button
    std::unique_ptr<ResultSetup> setup_;
};

}  // namespace

TEST_F(ListInput, KeyTableSendsFileCommands) {
    MessageSpy spy(setup_->wnd->Handle(), WM_RESULT_KEY_COMMAND, WM_RESULT_KEY_COMMAND);
    Key(VK_RETURN);
    Key(VK_RETURN, true);
    Key(VK_DELETE);
    Key(VK_DELETE, true);
    Key(VK_DELETE, false, true);
    Key('C', true);
    Key('X', true);
    Key('C');  // without Ctrl: nothing
    Key('A', true);
    std::vector<std::pair<WPARAM, LPARAM>> sent;
    for (const Message& m : spy.messages) sent.emplace_back(m.wp, m.lp);
    EXPECT_EQ(sent, (std::vector<std::pair<WPARAM, LPARAM>>{
                        {FILECMD_OPEN, 0}, {FILECMD_PROPERTIES, 0}, {FILECMD_DELETE, 0}, {FILECMD_DELETE, 0},
                        {FILECMD_DELETE, 1}, {FILECMD_COPY, 0}, {FILECMD_CUT, 0}, {FILECMD_SELECTALL, 0}}));
    // Select all came back through the result window: every row, and the
    // engine's own count of deleted ones.
    EXPECT_EQ(list().GetSelectedCount(), 100);
    EXPECT_EQ(list().GetSelectedDeletedCount(), 34);
}

TEST_F(ListInput, SelectionKeys) {
    const int page = list().GetRowsPerPage();
    Key(VK_END);
    EXPECT_EQ(Selected(), std::vector<int>{99});
    EXPECT_EQ(list().GetCurrentRow(), 99);
    EXPECT_TRUE(CurrentInView());
    EXPECT_LT(list().GetVerticalOffset(), 0);
    Key(VK_HOME);
    EXPECT_EQ(Selected(), std::vector<int>{0});
    EXPECT_EQ(list().GetVerticalOffset(), 0);
    EXPECT_EQ(list().GetSelectedDeletedCount(), 1);

    Key(VK_NEXT);
    EXPECT_EQ(Selected(), std::vector<int>{page});
    Key(VK_NEXT, false, true);
    EXPECT_EQ(Selected(), Range(page, 2 * page));
    EXPECT_EQ(list().GetCurrentRow(), 2 * page);
    EXPECT_TRUE(CurrentInView());
    Key(VK_PRIOR, true);  // the current row moves, the selection stays
    EXPECT_EQ(list().GetCurrentRow(), page);
    EXPECT_EQ(Selected(), Range(page, 2 * page));
    Key(VK_HOME, false, true);
    EXPECT_EQ(Selected(), Range(0, 2 * page));
    EXPECT_EQ(list().GetCurrentRow(), 0);
    Key(VK_END, true);
    EXPECT_EQ(list().GetCurrentRow(), 99);
    EXPECT_EQ(Selected(), Range(0, 2 * page));
    EXPECT_TRUE(CurrentInView());
    Key(VK_PRIOR, false, true);
    EXPECT_EQ(list().GetCurrentRow(), 99 - page);
    EXPECT_EQ(list().GetSelectedCount(), 2 * page + 1 + page + 1);
    EXPECT_EQ(list().GetSelectedDeletedCount(), DeletedSelected());
    Key(VK_END, false, true);
    EXPECT_EQ(list().GetSelectedDeletedCount(), DeletedSelected());

    Key(VK_UP);
    EXPECT_EQ(Selected(), std::vector<int>{98});
    Key(VK_DOWN);
    Key(VK_DOWN);  // already the last row
    EXPECT_EQ(Selected(), std::vector<int>{99});
    EXPECT_EQ(list().GetSelectedDeletedCount(), 1);
    Key(VK_HOME);
    Key(VK_UP);
    EXPECT_EQ(Selected(), std::vector<int>{0});
    Key(VK_PRIOR);
    EXPECT_EQ(Selected(), std::vector<int>{0});
}

TEST_F(ListInput, ClicksAndDragKeepTheDeletedCount) {
    Click(2);
    EXPECT_EQ(Selected(), std::vector<int>{2});
    EXPECT_EQ(list().GetSelectedDeletedCount(), 0);
    Click(3, true);
    Click(6, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 6}));
    EXPECT_EQ(list().GetSelectedDeletedCount(), 2);
    Click(3, true);  // Ctrl-click again deselects
    EXPECT_EQ(Selected(), (std::vector<int>{2, 6}));
    EXPECT_EQ(list().GetSelectedDeletedCount(), 1);
    // Shift extends from the current row without touching it: make 6 the
    // current row (two Ctrl-clicks leave its flag as it was), then 7 to 9 join.
    Click(6, true);
    Click(6, true);
    Click(9, false, true);
    EXPECT_EQ(Selected(), (std::vector<int>{2, 6, 7, 8, 9}));
    EXPECT_EQ(list().GetSelectedDeletedCount(), DeletedSelected());
    Click(4, false, true);  // above the current row: 4 and 5 join
    EXPECT_EQ(Selected(), (std::vector<int>{2, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(list().GetSelectedDeletedCount(), DeletedSelected());

    // Drag from row 1 to row 5, pointer pressed on row 1.
    const HWND h = list().Handle();
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kX, list().RowTop(1) + 5));
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kX, list().RowTop(1) + 9));  // jitter: still a click
    EXPECT_EQ(Selected(), std::vector<int>{1});
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kX, list().RowTop(5) + 5));
    EXPECT_TRUE(list().IsDragSelecting());
    EXPECT_EQ(Selected(), Range(1, 5));
    EXPECT_EQ(list().GetSelectedDeletedCount(), 1);
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(kX, list().RowTop(5) + 5));
    EXPECT_FALSE(list().IsDragSelecting());

    // A new result set clears everything; the current row survives but every
    // key checks it against the new count.
    Key(VK_END);
    ASSERT_TRUE(setup_->Search(L"file1"));  // file1 and file10 to file19
    EXPECT_EQ(list().GetItemCount(), 11);
    EXPECT_EQ(list().GetSelectedCount(), 0);
    EXPECT_EQ(list().GetSelectedDeletedCount(), 0);
    Key(VK_UP);
    EXPECT_EQ(Selected(), std::vector<int>{9});
    list().SelectOnly(50);  // outside the rows: nothing
    EXPECT_EQ(Selected(), std::vector<int>{9});
}

TEST_F(ListInput, HeaderResizeAndFit) {
    const HWND h = list().Handle();
    // Drag the name column's divider (its right edge at 206) to 150 px.
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(208, 10));
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 10));
    EXPECT_EQ(list().GetColumnWidth(RESULTCOL_NAME), 150);
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 10));  // narrower than 81: ignored
    EXPECT_EQ(list().GetColumnWidth(RESULTCOL_NAME), 150);
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(60, 10));
    // A double click on the divider fits the column to the widest name painted.
    PrintedClient shot(h);
    ASSERT_GE(list().GetColumnFitWidth(RESULTCOL_NAME), 80);
    ::SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(152, 10));
    EXPECT_EQ(list().GetColumnWidth(RESULTCOL_NAME), list().GetColumnFitWidth(RESULTCOL_NAME));
}

TEST_F(ListInput, DragAboveTheHeaderScrollsUpFasterFurtherOutAndStopsAtTheTop) {
    const HWND h = list().Handle();
    ::SetWindowPos(setup_->wnd->Handle(), nullptr, 100, 300, 600, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    testing_support::PumpMessages(50);
    Key(VK_END);
    const int bottomOffset = list().GetVerticalOffset();
    ASSERT_LT(bottomOffset, -1000);
    const int anchor = list().RowFromPoint(150);
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kX, 150));

    // 5 px above the header's lower edge: 10 px per tick.
    POINT closeBy = {kX, 20};
    ::ClientToScreen(h, &closeBy);
    ::SetCursorPos(closeBy.x, closeBy.y);
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kX, 20));
    // One tick of the timer: the offset's next change.
    auto nextStep = [&] {
        const int before = list().GetVerticalOffset();
        testing_support::PumpMessagesUntil([&] { return list().GetVerticalOffset() != before; }, 2000);
        return list().GetVerticalOffset() - before;
    };
    nextStep();
    EXPECT_EQ(nextStep(), 10);

    // 60 px above the header: 110 px per tick, until the top.
    POINT farOut = {kX, -35};
    ::ClientToScreen(h, &farOut);
    ::SetCursorPos(farOut.x, farOut.y);
    nextStep();
    EXPECT_EQ(nextStep(), 110);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return list().GetVerticalOffset() == 0; }, 10000));
    testing_support::PumpMessages(300);
    EXPECT_EQ(list().GetVerticalOffset(), 0);
    // The selection runs from the top row shown down to the anchor.
    const std::vector<int> selected = Selected();
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(selected.back(), anchor);
    EXPECT_EQ(selected.front(), 0);
    EXPECT_EQ(list().GetSelectedDeletedCount(), DeletedSelected());
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(kX, -35));
    EXPECT_FALSE(list().IsDragSelecting());
}

TEST_F(ListInput, ScrollBarsPageDragAndLeaveTheRowsAlone) {
    const HWND h = list().Handle();
    RECT track, thumb;
    ASSERT_TRUE(list().GetScrollBarRects(SB_VERT, &track, &thumb));
    ASSERT_FALSE(::IsRectEmpty(&thumb));
    const int x = (thumb.left + thumb.right) / 2;
    const int page = list().ViewHeight();

    // Over the bar no row is hovered, and a press there selects nothing.
    ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(x, list().RowTop(3) + 5));
    EXPECT_EQ(list().GetExpandedRow(), 0);
    // A press on the track below the thumb pages down by one view.
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, thumb.bottom + 5));
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(x, thumb.bottom + 5));
    EXPECT_EQ(list().GetScrollPos(SB_VERT), page);
    EXPECT_EQ(list().GetVerticalOffset(), -page);
    EXPECT_TRUE(Selected().empty());
    // ... and above it back up.
    ASSERT_TRUE(list().GetScrollBarRects(SB_VERT, &track, &thumb));
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, thumb.top - 2));
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(x, thumb.top - 2));
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 0);

    // The thumb dragged past the track's end reaches the last row, and back
    // above its start the top; the position follows the pointer in between.
    ASSERT_TRUE(list().GetScrollBarRects(SB_VERT, &track, &thumb));
    const int grab = thumb.top + 3;
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, grab));
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, track.bottom + 40));
    EXPECT_EQ(list().GetScrollPos(SB_VERT), list().GetScrollMax(SB_VERT));
    EXPECT_LE(list().RowTop(99) + 24, list().ViewHeight());
    const int room = (track.bottom - track.top) - (thumb.bottom - thumb.top);
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, grab + room / 2));
    const int half = list().GetScrollMax(SB_VERT) / 2;
    EXPECT_NEAR(list().GetScrollPos(SB_VERT), half, list().GetScrollMax(SB_VERT) / room + 1);
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, -30));
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 0);
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(x, -30));
    // Released: moves no longer drag.
    ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(x, track.bottom - 2));
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 0);
    EXPECT_TRUE(Selected().empty());

    // The columns are wider than the 600 px list: the horizontal bar scrolls
    // them to their right end.
    ASSERT_TRUE(list().GetScrollBarRects(SB_HORZ, &track, &thumb));
    ASSERT_FALSE(::IsRectEmpty(&thumb));
    const int y = (thumb.top + thumb.bottom) / 2;
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(thumb.left + 2, y));
    ::SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(track.right + 50, y));
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(track.right + 50, y));
    int total = 0;
    for (int col = 0; col < list().GetColumnCount(); ++col) total += list().GetColumnWidth(col);
    EXPECT_EQ(list().GetHorizontalOffset(), list().ViewWidth() - total);
    // The scroll messages move the same bars.
    ::SendMessageW(h, WM_HSCROLL, SB_LEFT, 0);
    EXPECT_EQ(list().GetHorizontalOffset(), 0);
    ::SendMessageW(h, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(list().GetScrollPos(SB_VERT), list().GetScrollMax(SB_VERT));
    ::SendMessageW(h, WM_VSCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(list().GetScrollPos(SB_VERT), list().GetScrollMax(SB_VERT) - page);
}

TEST_F(ListInput, WheelScrollsThreeRowsAndStopsAtBothEnds) {
    const HWND h = list().Handle();
    auto wheel = [&](int delta) { ::SendMessageW(h, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(300, 150)); };
    wheel(-WHEEL_DELTA);  // towards the user: down by three rows
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 72);
    EXPECT_EQ(list().GetVerticalOffset(), -72);
    wheel(-WHEEL_DELTA);
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 144);
    wheel(WHEEL_DELTA);
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 72);
    wheel(WHEEL_DELTA);
    wheel(WHEEL_DELTA);  // already at the top
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 0);
    EXPECT_EQ(list().GetVerticalOffset(), 0);
    // At the bottom the last row stays the last one in view.
    for (int i = 0; i < 200; ++i) wheel(-WHEEL_DELTA);
    EXPECT_EQ(list().GetScrollPos(SB_VERT), list().GetScrollMax(SB_VERT));
    EXPECT_LE(list().RowTop(99) + list().RowHeight(99), list().ViewHeight());
    EXPECT_TRUE(Selected().empty());  // the wheel selects nothing

    // Rows that all fit: the wheel does nothing.
    ASSERT_TRUE(setup_->Search(L"file1"));  // file1, file10 ... file19
    ASSERT_EQ(list().GetItemCount(), 11);
    setup_->Show(600, 600);
    wheel(-WHEEL_DELTA);
    EXPECT_EQ(list().GetScrollPos(SB_VERT), 0);
    EXPECT_EQ(list().GetVerticalOffset(), 0);
}

namespace {

// The rows the result window's right-click handling saw selected, read when
// it asks its box (the rows of these tests are files no longer on disk).
struct RightClickBoxes {
    List* list = nullptr;
    std::vector<std::vector<int>> rows;
    static int Answer(void* context, const std::wstring&, UINT) {
        auto* self = static_cast<RightClickBoxes*>(context);
        self->rows.push_back(self->list->GetSelectedItems());
        return IDCANCEL;
    }
};

}  // namespace

TEST_F(ListInput, RightClickSelectsItsRowOrKeepsTheSelectionAndTakesTheKeyboard) {
    ASSERT_TRUE(LoadProgramStrings());
    RightClickBoxes boxes;
    boxes.list = &list();
    setup_->wnd->SetMessageBoxHook(&RightClickBoxes::Answer, &boxes);
    // The bar's edit: another window of the program with the keyboard.
    HWND edit = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 0, 400, 200, 24, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    const HWND h = list().Handle();
    auto rightClick = [&](int row) {
        const LPARAM at = MAKELPARAM(kX, list().RowTop(row) + 5);
        ::SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, at);
        ::SendMessageW(h, WM_RBUTTONUP, 0, at);
    };

    // A row outside the selection becomes the only one, and the list holds
    // the keyboard, whether it was in the edit or in the result window.
    Click(1);
    ::SetFocus(edit);
    ASSERT_EQ(::GetFocus(), edit);
    rightClick(4);
    EXPECT_EQ(Selected(), std::vector<int>{4});
    EXPECT_EQ(list().GetCurrentRow(), 4);
    EXPECT_EQ(::GetFocus(), h);
    ::SetFocus(setup_->wnd->Handle());
    rightClick(5);
    EXPECT_EQ(Selected(), std::vector<int>{5});
    EXPECT_EQ(::GetFocus(), h);
    ASSERT_EQ(boxes.rows.size(), 2u);
    EXPECT_EQ(boxes.rows[0], std::vector<int>{4});
    EXPECT_EQ(boxes.rows[1], std::vector<int>{5});

    // A row inside a selection of several keeps the whole selection, which
    // is what the menu acts on.
    Click(7, true);
    Click(8, true);
    ::SetFocus(edit);
    rightClick(7);
    EXPECT_EQ(Selected(), (std::vector<int>{5, 7, 8}));
    EXPECT_EQ(list().GetSelectedDeletedCount(), DeletedSelected());
    EXPECT_EQ(::GetFocus(), h);
    ASSERT_EQ(boxes.rows.size(), 3u);
    EXPECT_EQ(boxes.rows[2], (std::vector<int>{5, 7, 8}));
    // Ctrl+C in the list now copies that selection.
    MessageSpy spy(setup_->wnd->Handle(), WM_RESULT_KEY_COMMAND, WM_RESULT_KEY_COMMAND);
    SetModifiers(true, false);
    ::SendMessageW(::GetFocus(), WM_KEYDOWN, 'C', 0);
    SetModifiers(false, false);
    ASSERT_EQ(spy.messages.size(), 1u);
    EXPECT_EQ(spy.messages[0].wp, static_cast<WPARAM>(FILECMD_COPY));

    // Outside the rows (under the last one) nothing is selected or asked,
    // but the keyboard still goes to the list, as with the left button.
    ASSERT_TRUE(setup_->Search(L"file1"));  // 11 rows: room below them
    setup_->Show(600, 600);
    Click(2);
    ::SetFocus(edit);
    const LPARAM below = MAKELPARAM(kX, list().RowTop(10) + 60);
    ::SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, below);
    ::SendMessageW(h, WM_RBUTTONUP, 0, below);
    EXPECT_EQ(Selected(), std::vector<int>{2});
    EXPECT_EQ(boxes.rows.size(), 3u);
    EXPECT_EQ(::GetFocus(), h);
    ::DestroyWindow(edit);
}
