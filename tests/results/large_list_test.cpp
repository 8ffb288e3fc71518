// Two million rows: the count, keys and select all, and dragging the scroll
// thumb to positions far beyond 16 bits. Also the smallest counts.
#include <gtest/gtest.h>

#include "tests/results/result_fixture.h"
#include "tests/support/test_support.h"

using namespace results_test;

namespace {

using List = OListCtrl<CSearchResultWnd>;

void SendMouse(DWORD flags, int x, int y) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof(input));
}

struct Drag {
    int x, from, to;
    volatile LONG done;
};

// Presses at `from`, moves down to `to` in steps and lets go.
DWORD WINAPI DragThumb(void* param) {
    auto* d = static_cast<Drag*>(param);
    SendMouse(MOUSEEVENTF_MOVE, d->x, d->from);
    ::Sleep(100);
    SendMouse(MOUSEEVENTF_LEFTDOWN, d->x, d->from);
    for (int y = d->from; y <= d->to; y += 10) {
        ::Sleep(20);
        SendMouse(MOUSEEVENTF_MOVE, d->x, y);
    }
    SendMouse(MOUSEEVENTF_MOVE, d->x, d->to);
    ::Sleep(100);
    SendMouse(MOUSEEVENTF_LEFTUP, d->x, d->to);
    ::Sleep(100);
    ::InterlockedExchange(&d->done, 1);
    return 0;
}

}  // namespace

TEST(LargeList, CountsZeroOneAndTwoMillion) {
    ResultSetup s;
    ASSERT_TRUE(s.LoadMany(2000000, 4));
    s.Show(800, 400);
    List& list = s.wnd->GetList();

    ASSERT_TRUE(s.Search(L"no such name"));
    EXPECT_EQ(list.GetItemCount(), 0);
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_END, 0);
    ::SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 40));
    ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(300, 40));
    EXPECT_EQ(list.GetSelectedCount(), 0);
    PrintedClient empty(list.Handle());
    EXPECT_EQ(empty.At(300, 60), RGB(0xFF, 0xFF, 0xFF));

    ASSERT_TRUE(s.Search(L"file1999999.txt"));
    EXPECT_EQ(list.GetItemCount(), 1);
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(list.GetSelectedCount(), 1);
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_NAME, nullptr, nullptr), L"file1999999.txt");

    ASSERT_TRUE(s.Search(L"file"));
    ASSERT_EQ(list.GetItemCount(), 2000000);
    EXPECT_EQ(s.owner.Last(WM_SEARCH_RESULTS)->lp, 500000);
    BOOL deleted = FALSE;
    EXPECT_EQ(s.wnd->GetItemText(1999996, RESULTCOL_NAME, nullptr, &deleted), L"file1999996.txt");
    EXPECT_TRUE(deleted);
    EXPECT_EQ(s.wnd->GetItemText(1999999, RESULTCOL_SIZE, nullptr, nullptr), L"1.91 MB");

    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(list.GetCurrentRow(), 1999999);
    const int top = list.RowTop(1999999);
    EXPECT_GE(top, 25);
    EXPECT_LE(top + 24, list.GetClientRect().bottom);
    PrintedClient bottom(list.Handle());
    EXPECT_EQ(bottom.At(700, top + 12), RGB(0x62, 0xC2, 0xF0));

    list.SelectAll();
    EXPECT_EQ(list.GetSelectedCount(), 2000000);
    EXPECT_EQ(list.GetSelectedDeletedCount(), 500000);
    // Shift+End from the top counts the deleted rows it adds, row by row.
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_HOME, 0);
    list.SelectItem(4);
    SetModifiers(false, true);
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_END, 0);
    SetModifiers(false, false);
    EXPECT_EQ(list.GetSelectedCount(), 2000000);
    EXPECT_EQ(list.GetSelectedDeletedCount(), 500000);
}

TEST(LargeList, ThumbTrackingPastSixteenBits) {
    ResultSetup s;
    ASSERT_TRUE(s.LoadMany(2000000, 0));
    ASSERT_TRUE(s.Search(L"file"));
    s.Show(800, 400);
    List& list = s.wnd->GetList();
    ASSERT_EQ(list.GetItemCount(), 2000000);
    ::SetForegroundWindow(s.wnd->Handle());
    testing_support::PumpMessages(100);

    // The list's own bar, in screen coordinates.
    RECT track, knob;
    ASSERT_TRUE(list.GetScrollBarRects(SB_VERT, &track, &knob));
    ASSERT_FALSE(::IsRectEmpty(&knob));
    ::MapWindowPoints(list.Handle(), nullptr, reinterpret_cast<POINT*>(&track), 2);
    ::MapWindowPoints(list.Handle(), nullptr, reinterpret_cast<POINT*>(&knob), 2);
    const int x = (knob.left + knob.right) / 2;
    const int thumb = (knob.top + knob.bottom) / 2;
    const int target = track.top + (track.bottom - track.top) * 2 / 3;
    // Real pointer input, driven from another thread while this one pumps.
    Drag drag = {x, thumb, target, 0};
    HANDLE mover = ::CreateThread(nullptr, 0, &DragThumb, &drag, 0, nullptr);
    ASSERT_NE(mover, nullptr);
    EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return drag.done != 0; }, 30000));
    ::WaitForSingleObject(mover, 5000);
    ::CloseHandle(mover);
    testing_support::PumpMessages(200);

    // Where the thumb was let go, far beyond what 16 bits hold.
    const int pos = list.GetScrollPos(SB_VERT);
    EXPECT_GT(pos, 20000000);
    EXPECT_EQ(-list.GetVerticalOffset(), pos);
    const int expected = static_cast<int>(static_cast<double>(list.GetScrollMax(SB_VERT)) * 0.6);
    EXPECT_GT(pos, expected / 2);
    // The thumb is drawn where the pointer let it go.
    RECT after, knobAfter;
    ASSERT_TRUE(list.GetScrollBarRects(SB_VERT, &after, &knobAfter));
    ::MapWindowPoints(list.Handle(), nullptr, reinterpret_cast<POINT*>(&knobAfter), 2);
    EXPECT_NEAR((knobAfter.top + knobAfter.bottom) / 2, target, 2);
    // The rows painted are those at the position.
    const int first = (pos - 34) / 24;
    const std::wstring name = s.wnd->GetItemText(first + 2, RESULTCOL_NAME, nullptr, nullptr);
    EXPECT_EQ(name, L"file" + std::to_wstring(first + 2) + L".txt");
    EXPECT_GT(list.RowFromPoint(100), 800000);
}
