// What the list paints, read back from a WM_PRINT into a DIB: header, the
// expanded row with its action bar in each mode, selection and the deleted
// marker. The skin table is empty here, so the list draws its palette
// fallbacks.
#include <gtest/gtest.h>

#include "platform/strconv.h"
#include "tests/results/result_fixture.h"
#include "tests/support/test_support.h"

using namespace results_test;

namespace {

constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kHeader = RGB(0xF6, 0xF6, 0xFB);
constexpr COLORREF kLine = RGB(0xDA, 0xDC, 0xE3);
constexpr COLORREF kSelected = RGB(0x62, 0xC2, 0xF0);
constexpr COLORREF kExpanded = RGB(0xED, 0xF6, 0xFC);
constexpr COLORREF kMarker = RGB(0xFA, 0x13, 0x13);
constexpr COLORREF kAccent = RGB(0x33, 0x99, 0xFF);
constexpr COLORREF kThumb = RGB(0x5F, 0x63, 0x68);

using List = OListCtrl<CSearchResultWnd>;

// Left edge of each shown button, from x 60 with 20 px gaps.
std::vector<int> ButtonLefts(const List& list) {
    std::vector<int> lefts;
    for (int action = 0; action < ROWACTION_COUNT; ++action) {
        RECT rc;
        lefts.push_back(list.GetActionButtonRect(action, &rc) ? rc.left : -1);
    }
    return lefts;
}

bool AnyPixelUnlike(const PrintedClient& shot, const RECT& area, COLORREF background) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.At(x, y) != background) return true;
    return false;
}

class ListPaint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadProgramStrings());
        setup_.reset(new ResultSetup());
        ASSERT_TRUE(setup_->Load({
            {5, 5, ".", kDir, 0, 0},
            {60, 5, "one.txt", kFile, 0, 10},
            {61, 5, "two.txt", kDeletedFile, 0, 20},
            {62, 5, "three.txt", kFile, 0, 30},
        }));
        ASSERT_TRUE(setup_->Search(L"t"));
        setup_->Show(800, 300);
    }
    List& list() { return setup_->wnd->GetList(); }
    std::unique_ptr<ResultSetup> setup_;
};

}  // namespace

TEST_F(ListPaint, HeaderAndExpandedExistingRow) {
    ASSERT_EQ(list().GetItemCount(), 3);
    PrintedClient shot(list().Handle());
    ASSERT_GT(shot.Width(), 700);
    // Header band, a divider at each column's right edge, and its titles.
    EXPECT_EQ(shot.At(3, 3), kHeader);
    EXPECT_EQ(shot.At(205, 8), kLine);
    EXPECT_EQ(shot.At(206 + CSearchResultWnd::kColumnWidths[RESULTCOL_DIRECTORY] - 1, 8), kLine);
    EXPECT_EQ(shot.At(3, 24), kLine);
    EXPECT_TRUE(AnyPixelUnlike(shot, {60, 4, 150, 21}, kHeader)) << "column title";

    // Row 0 is expanded after the new count: 58 px tall in the soft accent,
    // with open, open folder, copy file and copy path from x 60.
    EXPECT_EQ(list().GetExpandedRow(), 0);
    EXPECT_EQ(list().GetActionBarMode(), 0);
    EXPECT_EQ(ButtonLefts(list()), (std::vector<int>{60, 126, 216, 284, -1}));
    EXPECT_EQ(shot.At(700, 25 + 50), kExpanded);
    EXPECT_EQ(shot.At(59, 25 + 40), kExpanded);
    EXPECT_EQ(shot.At(60, 25 + 29), kLine);       // open, top-left corner
    EXPECT_EQ(shot.At(355, 25 + 40), kLine);      // copy path, right edge
    EXPECT_EQ(shot.At(400, 25 + 40), kExpanded);  // no recover button
    EXPECT_TRUE(AnyPixelUnlike(shot, {30, 25, 200, 25 + 34}, kExpanded)) << "name text";
    // The next row starts 58 px lower and is plain white.
    EXPECT_EQ(shot.At(700, 25 + 58 + 10), kWhite);
    EXPECT_EQ(list().GetSelectedCount(), 0);
    EXPECT_EQ(list().GetVerticalOffset(), 0);
}

TEST_F(ListPaint, SelectionDeletedMarkerAndActionBarModes) {
    // Row 1 (two.txt) is the deleted one: its marker shows at the left edge.
    PrintedClient before(list().Handle());
    const int row1 = list().RowTop(1);
    EXPECT_EQ(row1, 25 + 58);
    EXPECT_EQ(before.At(3, row1 + 10), kMarker);
    EXPECT_EQ(before.At(3, list().RowTop(2) + 10), kWhite);

    // Hovering the deleted row alone: copy path and recover, from x 60.
    ::SendMessageW(list().Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(700, row1 + 5));
    ASSERT_EQ(list().GetExpandedRow(), 1);
    list().SelectOnly(1);
    PrintedClient alone(list().Handle());
    EXPECT_EQ(list().GetActionBarMode(), 1);
    EXPECT_EQ(ButtonLefts(list()), (std::vector<int>{-1, -1, -1, 60, 152}));
    const int top = list().RowTop(1);
    EXPECT_EQ(alone.At(700, top + 10), kSelected);  // selection drawn over the expanded fill
    EXPECT_EQ(alone.At(152, top + 29), kLine);
    EXPECT_EQ(alone.At(3, top + 40), kSelected);

    // The deleted row selected with an existing one: all five buttons.
    list().SelectItem(0);
    PrintedClient mixed(list().Handle());
    EXPECT_EQ(list().GetActionBarMode(), 2);
    EXPECT_EQ(ButtonLefts(list()), (std::vector<int>{60, 126, 216, 284, 376}));
    EXPECT_EQ(mixed.At(376, top + 29), kLine);
    EXPECT_EQ(mixed.At(700, list().RowTop(0) + 10), kSelected);
    EXPECT_EQ(mixed.At(700, list().RowTop(2) + 10), kWhite);

    // A hot button turns to the accent.
    ::SendMessageW(list().Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(380, top + 35));
    EXPECT_EQ(list().GetHotActionButton(), ROWACTION_RECOVER);
    PrintedClient hot(list().Handle());
    EXPECT_EQ(hot.At(378, top + 31), kAccent);
}

TEST_F(ListPaint, RowsWhoseRecordIsGoneDrawEmpty) {
    // The engine's results shrink under the list (a new search that the list
    // has not heard of yet): rows beyond the new results draw no text.
    PrintedClient full(list().Handle());
    const RECT nameOfRow2 = {30, list().RowTop(2), 200, list().RowTop(2) + 24};
    EXPECT_TRUE(AnyPixelUnlike(full, nameOfRow2, kWhite));
    CSearchQuery query;
    query.Pattern = L"one";
    setup_->engine->SetNotifyWindow(nullptr);  // the list keeps its 3 rows
    setup_->engine->StartSearch(query);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return setup_->engine->GetResultCount() == 1; }, 20000));
    PrintedClient shrunk(list().Handle());
    EXPECT_FALSE(AnyPixelUnlike(shrunk, nameOfRow2, kWhite));
    EXPECT_EQ(setup_->wnd->GetItemText(2, RESULTCOL_NAME, nullptr, nullptr), L"");
    list().SelectOnly(2);
    EXPECT_EQ(list().GetSelectedDeletedCount(), 0);
}

namespace {

// Left and right x of the pixels unlike `background` in a band, -1 when none.
std::pair<int, int> InkSpan(const PrintedClient& shot, const RECT& band, COLORREF background) {
    int first = -1, last = -1;
    for (int x = band.left; x < band.right; ++x)
        for (int y = band.top; y < band.bottom; ++y)
            if (shot.At(x, y) != background) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

}  // namespace

TEST_F(ListPaint, ExpandedRowKeepsEveryColumnUnderItsHeader) {
    // Row 0 is expanded (its texts in the top 34 px), row 2 is a plain row.
    PrintedClient shot(list().Handle());
    const int expandedTop = list().RowTop(0);
    const int plainTop = list().RowTop(2);
    int left = 0;
    for (int col = 0; col < RESULTCOL_COUNT; ++col) {
        const int right = left + list().GetColumnWidth(col);
        if (col >= 2) {  // type, size and time are centred in their columns
            const auto expanded = InkSpan(shot, {left, expandedTop + 4, right, expandedTop + 28}, kExpanded);
            const auto plain = InkSpan(shot, {left, plainTop + 2, right, plainTop + 22}, kWhite);
            ASSERT_GE(expanded.first, 0) << "column " << col;
            EXPECT_GE(expanded.first, left + 8) << "column " << col;
            EXPECT_LT(expanded.second, right - 8) << "column " << col;
            EXPECT_NEAR(expanded.first + expanded.second, plain.first + plain.second, 2) << "column " << col;
        }
        left = right;
    }
    // Nothing of the rows is drawn right of the last column.
    EXPECT_EQ(InkSpan(shot, {left + 1, expandedTop + 4, list().ViewWidth(), expandedTop + 28}, kExpanded).first, -1);
    // The name starts right of the large icon, which sits at x 4 to 36.
    const auto name = InkSpan(shot, {40, expandedTop + 4, 200, expandedTop + 28}, kExpanded);
    EXPECT_GE(name.first, 46);
    EXPECT_TRUE(AnyPixelUnlike(shot, {4, expandedTop + 16, 36, expandedTop + 48}, kExpanded)) << "large icon";
}

TEST_F(ListPaint, OwnScrollBarsInThePalette) {
    // Three rows fit: the vertical bar shows its track without a thumb, and
    // the columns fit, so there is no horizontal bar.
    RECT track, thumb;
    ASSERT_TRUE(list().GetScrollBarRects(SB_VERT, &track, &thumb));
    EXPECT_TRUE(::IsRectEmpty(&thumb));
    EXPECT_EQ(track.right, list().GetClientRect().right);
    EXPECT_EQ(track.left, list().ViewWidth());
    EXPECT_FALSE(list().GetScrollBarRects(SB_HORZ, &track, &thumb));
    PrintedClient fits(list().Handle());
    const int barX = list().ViewWidth() + 6;
    EXPECT_EQ(fits.At(list().ViewWidth(), 100), kLine);
    EXPECT_EQ(fits.At(barX, 100), kHeader);

    // Too small for the rows and the columns: both bars with their thumbs.
    setup_->Show(500, 120);
    ASSERT_TRUE(list().GetScrollBarRects(SB_VERT, &track, &thumb));
    ASSERT_FALSE(::IsRectEmpty(&thumb));
    // The track starts under the header row, which never scrolls.
    EXPECT_EQ(track.top, 25);
    EXPECT_EQ(thumb.top, 25);
    // 8 px wide in the secondary text colour: clearly seen on the quiet track.
    EXPECT_EQ(thumb.right - thumb.left, 8);
    PrintedClient small(list().Handle());
    EXPECT_EQ(small.At((thumb.left + thumb.right) / 2, thumb.top + 2), kThumb);
    EXPECT_EQ(small.At((thumb.left + thumb.right) / 2, thumb.bottom + 2), kHeader);
    EXPECT_EQ(small.At((thumb.left + thumb.right) / 2, 12), kHeader) << "the strip beside the header row";
    ASSERT_TRUE(list().GetScrollBarRects(SB_HORZ, &track, &thumb));
    EXPECT_EQ(track.top, list().ViewHeight());
    EXPECT_EQ(track.bottom, list().GetClientRect().bottom);
    EXPECT_EQ(small.At((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2), kThumb);
}

// A search that finds nothing leaves the header row alone in the list, and
// the panel may make the list no taller than that row: no thumb anywhere in
// the bar, the header row's strip included.
TEST_F(ListPaint, EmptyListDrawsNoThumbInTheHeaderRow) {
    ASSERT_TRUE(setup_->Search(L"nothing-is-called-this"));
    ASSERT_EQ(list().GetItemCount(), 0);
    for (int height : {20, 24, 30, 300}) {
        setup_->Show(800, height);
        RECT track, thumb;
        ASSERT_TRUE(list().GetScrollBarRects(SB_VERT, &track, &thumb)) << height;
        EXPECT_TRUE(::IsRectEmpty(&thumb)) << height;
        PrintedClient shot(list().Handle());
        const RECT bar = {list().ViewWidth() + 1, 0, shot.Width(), list().ViewHeight()};
        for (int y = bar.top; y < bar.bottom; ++y)
            for (int x = bar.left; x < bar.right; ++x)
                ASSERT_EQ(shot.At(x, y), kHeader) << "height " << height << " at " << x << "," << y;
    }
}

namespace {

bool HasPixel(const PrintedClient& shot, const RECT& area, COLORREF colour) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (shot.At(x, y) == colour) return true;
    return false;
}

}  // namespace

TEST_F(ListPaint, CellTextsAndTitlesInTheListsOwnColours) {
    // Nothing hovered near the rows checked: row 0 stays expanded.
    PrintedClient shot(list().Handle());
    const COLORREF existing[RESULTCOL_COUNT] = {RGB(0, 0, 0), RGB(98, 98, 85), RGB(150, 155, 151),
                                               RGB(182, 182, 178), RGB(213, 213, 208)};
    const COLORREF deleted = RGB(234, 18, 59);
    const COLORREF title = RGB(120, 120, 120);
    const int plainTop = list().RowTop(2);    // three.txt
    const int deletedTop = list().RowTop(1);  // two.txt
    int left = 0;
    for (int col = 0; col < RESULTCOL_COUNT; ++col) {
        SCOPED_TRACE(col);
        const int right = left + list().GetColumnWidth(col);
        const RECT plain = {left + (col == 0 ? 24 : 4), plainTop + 2, right - 4, plainTop + 22};
        const RECT gone = {left + (col == 0 ? 24 : 4), deletedTop + 2, right - 4, deletedTop + 22};
        EXPECT_TRUE(HasPixel(shot, plain, existing[col]));
        EXPECT_FALSE(HasPixel(shot, plain, deleted));
        EXPECT_TRUE(HasPixel(shot, gone, deleted));
        EXPECT_FALSE(HasPixel(shot, gone, existing[col]));
        EXPECT_TRUE(HasPixel(shot, {left + 2, 3, right - 2, 22}, title));
        left = right;
    }
}

// A window that has just been shown draws only when its paint messages come
// round; until then a compositor shows the desktop through it. The result
// window and its list are painted by the time showing them returns, and the
// list's erase leaves the rows on the screen rather than blank.
TEST(ListFirstShow, PaintedBeforeShowingReturns) {
    ASSERT_TRUE(LoadProgramStrings());
    ResultSetup setup;
    ASSERT_TRUE(setup.Load({{5, 5, ".", kDir, 0, 0}, {60, 5, "one.txt", kFile, 0, 10}}));
    ASSERT_TRUE(setup.Search(L"one"));
    HWND wnd = setup.wnd->Handle();
    HWND list = setup.wnd->GetList().Handle();
    // Placed and laid out while hidden, as the panel does before a search.
    ::SetWindowPos(wnd, HWND_TOP, 0, 0, 800, 300, SWP_NOACTIVATE);
    setup.wnd->ResizeList();
    ASSERT_FALSE(::IsWindowVisible(wnd));

    MessageSpy spy(list, WM_PAINT, WM_ERASEBKGND);
    ::ShowWindow(wnd, SW_SHOWNA);
    // No message pumped in between: nothing may be left to paint.
    EXPECT_FALSE(::GetUpdateRect(wnd, nullptr, FALSE));
    EXPECT_FALSE(::GetUpdateRect(list, nullptr, FALSE));
    bool painted = false;
    for (const Message& m : spy.messages) painted = painted || m.msg == WM_PAINT;
    EXPECT_TRUE(painted);

    // An erase alone (a redraw asked with erasing) already draws the list.
    PrintedClient before(list);
    ASSERT_GT(before.Width(), 700);
    ASSERT_EQ(before.At(3, 3), kHeader);
    {
        HDC dc = ::GetDC(list);
        ASSERT_NE(dc, nullptr);
        RECT all = {0, 0, before.Width(), before.Height()};
        HBRUSH black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
        ::FillRect(dc, &all, black);
        ::SendMessageW(list, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        EXPECT_EQ(::GetPixel(dc, 3, 3), kHeader);
        EXPECT_EQ(::GetPixel(dc, 700, 25 + 58 + 10), kWhite);
        ::ReleaseDC(list, dc);
    }
}
