#include <gtest/gtest.h>

#include <vector>

#include "platform/window_impl.h"
#include "tests/support/test_support.h"
#include "ui/bkshadowwnd.h"

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT R(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

TEST(NinePart, CornersUnscaledEdgesAndCentreStretched) {
    BkNinePart np = BkComputeNinePart(SIZE{10, 10}, SIZE{100, 60});
    ASSERT_EQ(np.count, 9);
    // Corner 4 = (10 - 2) / 2; the edges come from the 2 middle pixels.
    EXPECT_TRUE(SameRect(np.src[0], R(0, 0, 4, 4)));
    EXPECT_TRUE(SameRect(np.dst[0], R(0, 0, 4, 4)));
    EXPECT_TRUE(SameRect(np.src[1], R(4, 0, 6, 4)));
    EXPECT_TRUE(SameRect(np.dst[1], R(4, 0, 96, 4)));
    EXPECT_TRUE(SameRect(np.src[4], R(4, 4, 6, 6)));
    EXPECT_TRUE(SameRect(np.dst[4], R(4, 4, 96, 56)));
    EXPECT_TRUE(SameRect(np.src[8], R(6, 6, 10, 10)));
    EXPECT_TRUE(SameRect(np.dst[8], R(96, 56, 100, 60)));
    // Odd width: the corner truncates, the middle takes the extra pixel.
    np = BkComputeNinePart(SIZE{11, 11}, SIZE{50, 50});
    EXPECT_TRUE(SameRect(np.src[4], R(4, 4, 7, 7)));
}

TEST(NinePart, CornersAreBoundedForSmallSkinsAndTargets) {
    // A 1x1 skin has no corners at all: it is stretched over everything.
    BkNinePart np = BkComputeNinePart(SIZE{1, 1}, SIZE{30, 20});
    ASSERT_EQ(np.count, 1);
    EXPECT_TRUE(SameRect(np.src[0], R(0, 0, 1, 1)));
    EXPECT_TRUE(SameRect(np.dst[0], R(0, 0, 30, 20)));
    // A low skin bounds the corner by its height, so nothing is read below it.
    np = BkComputeNinePart(SIZE{20, 4}, SIZE{30, 20});
    for (int i = 0; i < np.count; ++i) {
        EXPECT_GE(np.src[i].top, 0);
        EXPECT_LE(np.src[i].bottom, 4);
        EXPECT_LE(np.src[i].right, 20);
    }
    EXPECT_TRUE(SameRect(np.src[0], R(0, 0, 1, 1)));
    // A target smaller than two corners gets corners of half its size, and
    // no part lands outside it.
    np = BkComputeNinePart(SIZE{22, 22}, SIZE{9, 6});
    for (int i = 0; i < np.count; ++i) {
        EXPECT_GE(np.dst[i].left, 0);
        EXPECT_GE(np.dst[i].top, 0);
        EXPECT_LE(np.dst[i].right, 9);
        EXPECT_LE(np.dst[i].bottom, 6);
        EXPECT_LT(np.dst[i].left, np.dst[i].right);
        EXPECT_LT(np.dst[i].top, np.dst[i].bottom);
    }
    EXPECT_TRUE(SameRect(np.dst[0], R(0, 0, 3, 3)));
    EXPECT_TRUE(SameRect(np.src[0], R(0, 0, 10, 10)));
    EXPECT_EQ(BkComputeNinePart(SIZE{10, 10}, SIZE{0, 10}).count, 0);
    EXPECT_EQ(BkComputeNinePart(SIZE{0, 10}, SIZE{10, 10}).count, 0);
}

class CountingDrawer : public CShadowDrawer {
public:
    std::vector<SIZE> sizes;
    void DrawShadow(HDC dc, SIZE size) override {
        sizes.push_back(size);
        // A half-transparent black frame, premultiplied.
        HBRUSH brush = ::CreateSolidBrush(RGB(0, 0, 0));
        RECT rc = {0, 0, size.cx, size.cy};
        ::FillRect(dc, &rc, brush);
        ::DeleteObject(brush);
    }
};

// A plain window that hands its messages to its shadow first, as the dialog
// template does.
class Owner : public platform::WindowImpl<Owner> {
public:
    CShadowWnd shadow;

    WINDOW_MAP_BEGIN(Owner)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnShadowed)
        ON_WINDOW_MESSAGE(WM_MOVE, OnShadowed)
        ON_WINDOW_MESSAGE(WM_SIZE, OnShadowed)
        ON_WINDOW_MESSAGE(WM_PAINT, OnShadowed)
        ON_WINDOW_MESSAGE(WM_SHOWWINDOW, OnShadowed)
        ON_WINDOW_MESSAGE(WM_MOVING, OnShadowed)
        ON_WINDOW_MESSAGE(WM_EXITSIZEMOVE, OnShadowed)
    WINDOW_MAP_END()

    LRESULT OnShadowed(UINT msg, WPARAM wp, LPARAM lp, BOOL& handled) {
        shadow.FollowOwner(msg, wp, lp);
        handled = FALSE;
        return 0;
    }
};

RECT Inflated(RECT rc, int by) {
    ::InflateRect(&rc, by, by);
    return rc;
}

RECT WindowRectOf(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

class ShadowTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc = {100, 100, 300, 250};
        ASSERT_NE(owner.Create(nullptr, &rc, L"owner", WS_POPUP | WS_VISIBLE), nullptr);
        owner.shadow.SetDrawer(&drawer);
        ASSERT_TRUE(owner.shadow.Create(owner.Handle()));
        testing_support::PumpMessages(50);
    }
    void TearDown() override {
        if (owner.IsWindow()) owner.DestroyWindow();
    }
    HWND Shadow() const { return owner.shadow.GetShadowWindow(); }
    bool ShadowVisible() const { return ::IsWindowVisible(Shadow()) != FALSE; }

    CountingDrawer drawer;
    Owner owner;
};

TEST_F(ShadowTest, ShowsAroundTheOwnerAndTakesNoMouse) {
    HWND shadow = Shadow();
    ASSERT_TRUE(::IsWindow(shadow));
    EXPECT_EQ(::GetWindow(shadow, GW_OWNER), owner.Handle());
    DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(shadow, GWL_EXSTYLE));
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    EXPECT_TRUE(ex & WS_EX_TRANSPARENT);
    EXPECT_EQ(owner.shadow.GetStatus(), static_cast<DWORD>(CShadowWnd::SHADOW_ENABLED));

    owner.shadow.ShowShadow();
    EXPECT_TRUE(owner.shadow.IsShown());
    EXPECT_TRUE(ShadowVisible());
    EXPECT_TRUE(SameRect(WindowRectOf(shadow), R(96, 96, 304, 254)));
    ASSERT_FALSE(drawer.sizes.empty());
    EXPECT_EQ(drawer.sizes.back().cx, 208);
    EXPECT_EQ(drawer.sizes.back().cy, 158);
    EXPECT_TRUE(owner.shadow.Create(owner.Handle()));  // a second Create changes nothing
    EXPECT_EQ(Shadow(), shadow);
}

TEST_F(ShadowTest, FollowsMovesAndHidesDuringADrag) {
    owner.shadow.ShowShadow();
    owner.SetWindowPos(nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(SameRect(WindowRectOf(Shadow()), Inflated(owner.GetWindowRect(), 4)));

    // A drag: hidden from the first WM_MOVING until the move ends, then shown
    // again, redrawn at the new place.
    ::SendMessageW(owner.Handle(), WM_ENTERSIZEMOVE, 0, 0);
    RECT moving = owner.GetWindowRect();
    ::SendMessageW(owner.Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving));
    EXPECT_TRUE(owner.shadow.IsDragging());
    EXPECT_FALSE(ShadowVisible());
    owner.SetWindowPos(nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(ShadowVisible());
    size_t draws = drawer.sizes.size();
    ::SendMessageW(owner.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_FALSE(owner.shadow.IsDragging());
    EXPECT_TRUE(ShadowVisible());
    EXPECT_GT(drawer.sizes.size(), draws);
    EXPECT_TRUE(SameRect(WindowRectOf(Shadow()), R(46, 56, 254, 214)));
}

TEST_F(ShadowTest, MinimiseHidesRestoreShowsAgain) {
    owner.shadow.ShowShadow();
    ::ShowWindow(owner.Handle(), SW_MINIMIZE);
    testing_support::PumpMessages(50);
    EXPECT_FALSE(owner.shadow.IsShown());
    EXPECT_FALSE(ShadowVisible());
    ::ShowWindow(owner.Handle(), SW_RESTORE);
    testing_support::PumpMessages(50);
    EXPECT_TRUE(owner.shadow.IsShown());
    EXPECT_TRUE(ShadowVisible());
    EXPECT_TRUE(SameRect(WindowRectOf(Shadow()), Inflated(owner.GetWindowRect(), 4)));

    ::ShowWindow(owner.Handle(), SW_HIDE);
    EXPECT_FALSE(ShadowVisible());
    EXPECT_FALSE(owner.shadow.GetStatus() & CShadowWnd::SHADOW_OWNER_VISIBLE);
    // While the owner is hidden ShowShadow keeps the shadow hidden.
    owner.shadow.ShowShadow();
    EXPECT_FALSE(ShadowVisible());
}

TEST_F(ShadowTest, ResizeRedrawsAtTheNextPaintOrAtOnceForLayeredOwners) {
    owner.shadow.ShowShadow();
    owner.SetWindowPos(nullptr, 0, 0, 260, 180, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The owner repaints after the size change; the shadow is redrawn then.
    ASSERT_TRUE(testing_support::PumpMessagesUntil(
        [&] { return SameRect(WindowRectOf(Shadow()), Inflated(owner.GetWindowRect(), 4)); }, 3000));

    owner.ModifyStyleEx(0, WS_EX_LAYERED);
    owner.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(SameRect(WindowRectOf(Shadow()), Inflated(owner.GetWindowRect(), 4)));
}

TEST_F(ShadowTest, OwnerDestructionTakesTheShadowAlong) {
    HWND shadow = Shadow();
    owner.shadow.ShowShadow();
    owner.DestroyWindow();
    EXPECT_FALSE(::IsWindow(shadow));
    EXPECT_EQ(owner.shadow.GetShadowWindow(), nullptr);
    EXPECT_EQ(owner.shadow.GetOwnerWindow(), nullptr);
    EXPECT_FALSE(owner.shadow.IsCreated());
    owner.shadow.ShowShadow();  // acts on nothing
}

TEST_F(ShadowTest, AShadowWindowDestroyedElsewhereIsLeftAlone) {
    ::DestroyWindow(Shadow());
    size_t draws = drawer.sizes.size();
    owner.shadow.ShowShadow();
    owner.shadow.FollowOwner(WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10));
    owner.shadow.FollowOwner(WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ(drawer.sizes.size(), draws);
}

TEST(Shadow, RefusesAMissingOwner) {
    CShadowWnd shadow;
    EXPECT_FALSE(shadow.Create(nullptr));
    EXPECT_FALSE(shadow.IsCreated());
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    EXPECT_FALSE(shadow.Create(gone));
    EXPECT_EQ(shadow.FollowOwner(WM_MOVE, 0, 0), FALSE);
}

TEST(Shadow, MissingSkinDrawsATransparentShadow) {
    // No skin table is loaded here, so "dlg_shadow" is missing.
    platform::Window ownerWnd(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 50, 40, nullptr,
                                                nullptr, nullptr, nullptr));
    ASSERT_TRUE(ownerWnd.IsWindow());
    CShadowWnd shadow;
    ASSERT_TRUE(shadow.Create(ownerWnd));
    shadow.ShowShadow();
    EXPECT_TRUE(shadow.IsShown());
    EXPECT_TRUE(SameRect(WindowRectOf(shadow.GetShadowWindow()), R(6, 6, 64, 54)));
    ownerWnd.DestroyWindow();
}

} // namespace

