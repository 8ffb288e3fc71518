// A window whose place the program decides: a move from outside right after
// it was shown (a window manager placing the window it mapped) is undone, a
// few times at most; the program's own moves and later moves from outside
// stay.
#include <gtest/gtest.h>

#include "platform/kept_place.h"

namespace {

const UINT kRestoreMessage = WM_APP + 1;

platform::KeptPlace* g_place = nullptr;
DWORD g_now = 0;

LRESULT CALLBACK KeptWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_WINDOWPOSCHANGED && g_place &&
        g_place->Changed(hwnd, *reinterpret_cast<const WINDOWPOS*>(lParam), g_now)) {
        ::PostMessageW(hwnd, kRestoreMessage, 0, 0);
    }
    if (msg == kRestoreMessage && g_place) {
        g_place->Restore(hwnd);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}

POINT Corner(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return POINT{rc.left, rc.top};
}

// Someone else's move: the window manager's, as Wine passes it on.
void MoveFromOutside(HWND hwnd, int x, int y) {
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
}

class KeptPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = KeptWndProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumsekKeptPlaceTest";
        ::RegisterClassW(&wc);
        g_place = &place_;
        g_now = 1000;
        hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"LumsekKeptPlaceTest", L"", WS_POPUP, 240, 2, 200, 40, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(hwnd_);
    }
    void TearDown() override {
        if (hwnd_) ::DestroyWindow(hwnd_);
        g_place = nullptr;
    }
    void Show() {
        ::ShowWindow(hwnd_, SW_SHOWNA);
        Pump();
    }

    platform::KeptPlace place_;
    HWND hwnd_ = nullptr;
};

TEST_F(KeptPlaceTest, AMoveFromOutsideRightAfterShowingIsUndone) {
    Show();
    ASSERT_EQ(Corner(hwnd_).x, 240);
    g_now += 300;
    // Until the undo runs, the move is known for what it is.
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(place_.UndoPending());
    Pump();
    EXPECT_FALSE(place_.UndoPending());
    EXPECT_EQ(Corner(hwnd_).x, 240);
    EXPECT_EQ(Corner(hwnd_).y, 2);

    // Hidden and shown again at a place the program chose: that place is kept.
    ::ShowWindow(hwnd_, SW_HIDE);
    place_.SetPos(hwnd_, nullptr, 300, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    g_now += 60000;
    Show();
    g_now += 100;
    MoveFromOutside(hwnd_, 0, 0);
    EXPECT_EQ(Corner(hwnd_).x, 300);
    EXPECT_EQ(Corner(hwnd_).y, 0);
}

TEST_F(KeptPlaceTest, TheProgramsOwnMovesAndLaterMovesStay) {
    Show();
    g_now += 100;
    ASSERT_TRUE(place_.SetPos(hwnd_, nullptr, 500, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
    Pump();
    EXPECT_EQ(Corner(hwnd_).x, 500);

    // Long after the show: a user moving it with the manager's own means.
    g_now += platform::KeptPlace::kSettleMs + 1;
    MoveFromOutside(hwnd_, 20, 30);
    EXPECT_EQ(Corner(hwnd_).x, 20);
    EXPECT_EQ(Corner(hwnd_).y, 30);
    EXPECT_EQ(place_.Place().x, 20);

    // A resize alone is no move; moves while hidden are the program's business.
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 250, 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    EXPECT_EQ(Corner(hwnd_).x, 20);
    ::ShowWindow(hwnd_, SW_HIDE);
    MoveFromOutside(hwnd_, 70, 80);
    EXPECT_EQ(Corner(hwnd_).x, 70);
}

TEST_F(KeptPlaceTest, AManagerThatInsistsWinsAfterAFewUndos) {
    Show();
    for (int i = 0; i < platform::KeptPlace::kMaxUndos; ++i) {
        g_now += 10;
        MoveFromOutside(hwnd_, 0, 0);
        ASSERT_EQ(Corner(hwnd_).x, 240) << "undo " << i;
    }
    g_now += 10;
    MoveFromOutside(hwnd_, 0, 0);
    EXPECT_EQ(Corner(hwnd_).x, 0);
    EXPECT_EQ(place_.Place().x, 0);

    // The next show starts counting anew.
    ::ShowWindow(hwnd_, SW_HIDE);
    place_.SetPos(hwnd_, nullptr, 240, 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Show();
    MoveFromOutside(hwnd_, 0, 0);
    EXPECT_EQ(Corner(hwnd_).x, 240);
}

TEST(KeptPlace, RestoreLeavesAWindowNeverShownOrGoneAlone) {
    platform::KeptPlace place;
    place.Restore(nullptr);
    EXPECT_FALSE(place.Known());
    HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 10, 50, 50, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(hwnd);
    place.SetPos(hwnd, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(hwnd, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    place.Restore(hwnd);  // hidden: stays where it was put
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.left, 5);
    ::DestroyWindow(hwnd);
    place.Restore(hwnd);
}

}  // namespace
