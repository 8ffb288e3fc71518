#include <gtest/gtest.h>

#include <vector>

#include "platform/system_api.h"
#include "platform/window.h"
#include "platform/window_impl.h"
#include "tests/support/test_support.h"
#include "tests/ui_foundation/resource_folder.h"
#include "tests/ui_skins/skin_test_util.h"
#include "ui/bkshadowwnd.h"
#include "ui/bkskin.h"
#include "ui/bkthemeapi.h"

namespace {

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
RECT R(int l, int t, int r, int b) { return RECT{l, t, r, b}; }
// Non-empty and inside (0, 0, cx, cy).
bool Within(const RECT& r, LONG cx, LONG cy) {
    return r.left >= 0 && r.top >= 0 && r.right <= cx && r.bottom <= cy && r.left < r.right && r.top < r.bottom;
}

TEST(NinePart, CornersUnscaledEdgesAndCentreStretched) {
    // Corner 4 = (10 - 2) / 2; the edges come from the 2 middle pixels.
    const struct { SIZE skin, target; int part; RECT src, dst; } rows[] = {
        {{10, 10}, {100, 60}, 0, R(0, 0, 4, 4), R(0, 0, 4, 4)},
        {{10, 10}, {100, 60}, 1, R(4, 0, 6, 4), R(4, 0, 96, 4)},
        {{10, 10}, {100, 60}, 4, R(4, 4, 6, 6), R(4, 4, 96, 56)},
        {{10, 10}, {100, 60}, 8, R(6, 6, 10, 10), R(96, 56, 100, 60)},
        {{11, 11}, {50, 50}, 4, R(4, 4, 7, 7), R(4, 4, 46, 46)},  // odd: the middle takes the extra pixel
        {{1, 1}, {30, 20}, 0, R(0, 0, 1, 1), R(0, 0, 30, 20)},    // no corners at all
        {{20, 4}, {30, 20}, 0, R(0, 0, 1, 1), R(0, 0, 1, 1)},     // a low skin bounds the corner
        {{22, 22}, {9, 6}, 0, R(0, 0, 10, 10), R(0, 0, 3, 3)}};   // a small target halves it
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.skin.cx << "x" << row.skin.cy << " part " << row.part);
        const BkNinePart np = BkComputeNinePart(row.skin, row.target);
        ASSERT_GT(np.count, row.part);
        EXPECT_TRUE(np.src[row.part] == row.src);
        EXPECT_TRUE(np.dst[row.part] == row.dst);
        // Nothing is read outside the skin or drawn outside the target.
        for (int i = 0; i < np.count; ++i) {
            EXPECT_TRUE(Within(np.src[i], row.skin.cx, row.skin.cy)) << i;
            EXPECT_TRUE(Within(np.dst[i], row.target.cx, row.target.cy)) << i;
        }
    }
    EXPECT_EQ(BkComputeNinePart(SIZE{10, 10}, SIZE{100, 60}).count, 9);
    EXPECT_EQ(BkComputeNinePart(SIZE{1, 1}, SIZE{30, 20}).count, 1);
    EXPECT_EQ(BkComputeNinePart(SIZE{10, 10}, SIZE{0, 10}).count, 0);
    EXPECT_EQ(BkComputeNinePart(SIZE{0, 10}, SIZE{10, 10}).count, 0);
}

TEST(ShadowSkin, DrawsTheNinePartPngWithItsAlpha) {
    // 10 x 10: a half-transparent black ring two pixels wide around a clear middle.
    ResourceFolder folder;
    const std::string png = skintest::EncodeImage(
        10, 10, [](int x, int y) { return x < 2 || y < 2 || x >= 8 || y >= 8 ? 0x80000000u : 0u; }, L"png");
    ASSERT_TRUE(!png.empty() && folder.Write(3001, L"png", png));
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({"<skins><png name=\"dlg_shadow\" src=\"3001\"/></skins>"}));
    CShadowWnd shadow;
    skintest::Canvas canvas(48, 28);
    canvas.ClearAlpha();
    shadow.DrawShadowImage(canvas.dc(), SIZE{48, 28});
    // (3, 3) lies inside the unscaled corner, past the ring.
    const struct { int x, y, alpha; } points[] = {{0, 0, 0x80}, {24, 0, 0x80}, {47, 27, 0x80}, {0, 14, 0x80},
                                                  {1, 3, 0x80}, {24, 14, 0},   {3, 3, 0}};
    for (const auto& p : points)
        EXPECT_NEAR(static_cast<int>(canvas.Raw(p.x, p.y) >> 24), p.alpha, 2) << p.x << "," << p.y;
    BkSkin::LoadSkinsFromSources({});
}

class CountingDrawer : public CShadowDrawer {
public:
    std::vector<SIZE> sizes;
    void DrawShadow(HDC, SIZE size) override { sizes.push_back(size); }
};

// Hands every message to its shadow first, as the dialog template does.
class Owner : public platform::WindowImpl<Owner> {
public:
    CShadowWnd shadow;
    WINDOW_MAP_BEGIN(Owner)
        ON_WINDOW_MESSAGE_RANGE(0, 0xFFFF, OnShadowed)
    WINDOW_MAP_END()
    LRESULT OnShadowed(UINT msg, WPARAM wp, LPARAM lp, BOOL& handled) {
        shadow.FollowOwner(msg, wp, lp);
        handled = FALSE;
        return 0;
    }
};

TEST(Shadow, FollowsTheOwnerThroughResizeMinimiseAndHideAndDiesWithIt) {
    CountingDrawer drawer;
    Owner owner;
    RECT rc = {100, 100, 300, 250};
    ASSERT_NE(owner.Create(nullptr, &rc, L"owner", WS_POPUP | WS_VISIBLE), nullptr);
    owner.shadow.SetDrawer(&drawer);
    ASSERT_TRUE(owner.shadow.Create(owner.Handle()));
    testing_support::PumpMessages(50);
    owner.shadow.ShowShadow();
    auto Shadow = [&] { return owner.shadow.GetShadowWindow(); };
    auto Visible = [&] { return ::IsWindowVisible(Shadow()) != FALSE; };
    auto AroundOwner = [&] {  // four pixels round the owner
        RECT r = owner.GetWindowRect();
        ::InflateRect(&r, 4, 4);
        return platform::Window(Shadow()).GetWindowRect() == r;
    };
    auto Resize = [&](int cx, int cy) {
        owner.SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    HWND shadow = Shadow();
    ASSERT_TRUE(::IsWindow(shadow));
    const DWORD ex = static_cast<DWORD>(::GetWindowLongPtrW(shadow, GWL_EXSTYLE));
    EXPECT_TRUE((ex & WS_EX_LAYERED) && (ex & WS_EX_TRANSPARENT));  // takes no mouse
    EXPECT_TRUE(owner.shadow.IsShown() && Visible());
    EXPECT_TRUE(platform::Window(shadow).GetWindowRect() == R(96, 96, 304, 254));
    ASSERT_FALSE(drawer.sizes.empty());
    EXPECT_TRUE(drawer.sizes.back().cx == 208 && drawer.sizes.back().cy == 158);
    EXPECT_TRUE(owner.shadow.Create(owner.Handle()));  // a second Create changes nothing
    EXPECT_EQ(Shadow(), shadow);

    // Redrawn at the next paint, or at once for an owner that never paints.
    Resize(260, 180);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return AroundOwner(); }, 3000));
    owner.ModifyStyleEx(0, WS_EX_LAYERED);
    Resize(300, 200);
    EXPECT_TRUE(AroundOwner());

    ::ShowWindow(owner.Handle(), SW_MINIMIZE);
    testing_support::PumpMessages(50);
    EXPECT_FALSE(owner.shadow.IsShown() || Visible());
    ::ShowWindow(owner.Handle(), SW_RESTORE);
    testing_support::PumpMessages(50);
    EXPECT_TRUE(owner.shadow.IsShown() && Visible());
    EXPECT_TRUE(AroundOwner());
    ::ShowWindow(owner.Handle(), SW_HIDE);
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(owner.shadow.GetStatus() & CShadowWnd::SHADOW_OWNER_VISIBLE);
    owner.shadow.ShowShadow();  // kept hidden while the owner is
    EXPECT_FALSE(Visible());

    owner.DestroyWindow();
    EXPECT_FALSE(::IsWindow(shadow));
    EXPECT_TRUE(!owner.shadow.GetShadowWindow() && !owner.shadow.GetOwnerWindow() && !owner.shadow.IsCreated());
    owner.shadow.ShowShadow();  // acts on nothing
}

// The first visible window below `w`.
HWND NextVisible(HWND w) {
    HWND next = ::GetWindow(w, GW_HWNDNEXT);
    while (next && !::IsWindowVisible(next)) next = ::GetWindow(next, GW_HWNDNEXT);
    return next;
}

TEST(Shadow, StandsDirectlyUnderItsWindowNeverAboveIt) {
    // A topmost window owned by another, as the program's popups and
    // dialogs are: the shadow shares the owner and the topmost state, and
    // after every show and raise it is the very next window down.
    CountingDrawer drawer;
    platform::Window group(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr,
                                             nullptr, nullptr, nullptr));
    Owner owner;
    RECT rc = {100, 100, 300, 250};
    ASSERT_NE(owner.Create(group, &rc, L"owner", WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW), nullptr);
    owner.shadow.SetDrawer(&drawer);
    ASSERT_TRUE(owner.shadow.Create(owner.Handle()));
    HWND shadow = owner.shadow.GetShadowWindow();
    EXPECT_EQ(::GetWindow(shadow, GW_OWNER), group.Handle());
    EXPECT_TRUE(::GetWindowLongPtrW(shadow, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
    EXPECT_FALSE(::GetWindowLongPtrW(shadow, GWL_STYLE) & WS_SYSMENU);  // nothing for a window manager

    platform::Window other(::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 400, 100,
                                             50, 50, nullptr, nullptr, nullptr, nullptr));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // Shown the way the scope popup shows itself: SetWindowPos alone.
        owner.SetWindowPos(HWND_TOPMOST, 100, 100, 200, 150, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        testing_support::PumpMessages(30);
        EXPECT_TRUE(::IsWindowVisible(shadow));
        EXPECT_TRUE(::GetWindowLongPtrW(shadow, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(NextVisible(owner.Handle()), shadow);
        // Another window comes up over both, then the window is raised again.
        ::SetWindowPos(other, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        EXPECT_EQ(NextVisible(other), owner.Handle());
        owner.SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_EQ(NextVisible(owner.Handle()), shadow);
        // Hidden by SetWindowPos, which sends no WM_SHOWWINDOW: the shadow goes too.
        owner.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
        EXPECT_FALSE(::IsWindowVisible(shadow));
        EXPECT_FALSE(owner.shadow.IsShown());
        ::ShowWindow(other, SW_HIDE);
    }
    owner.DestroyWindow();
    EXPECT_FALSE(::IsWindow(shadow));
    other.DestroyWindow();
    group.DestroyWindow();
}

TEST(Shadow, RefusesAMissingOwnerAndLeavesAShadowDestroyedElsewhereAlone) {
    CShadowWnd shadow;
    EXPECT_FALSE(shadow.Create(nullptr));
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    EXPECT_FALSE(shadow.Create(gone) || shadow.IsCreated());
    EXPECT_EQ(shadow.FollowOwner(WM_MOVE, 0, 0), FALSE);

    // No skin table is loaded here, so "dlg_shadow" is missing: a clear shadow.
    platform::Window owner(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 50, 40, nullptr,
                                             nullptr, nullptr, nullptr));
    ASSERT_TRUE(owner.IsWindow() && shadow.Create(owner));
    shadow.ShowShadow();
    EXPECT_TRUE(shadow.IsShown());
    EXPECT_TRUE(platform::Window(shadow.GetShadowWindow()).GetWindowRect() == R(6, 6, 64, 54));
    CountingDrawer drawer;
    shadow.SetDrawer(&drawer);
    ::DestroyWindow(shadow.GetShadowWindow());
    shadow.ShowShadow();
    shadow.FollowOwner(WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10));
    shadow.FollowOwner(WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(drawer.sizes.empty());
    owner.DestroyWindow();
}

TEST(BkThemeApi, ClearsTheThemeOfAWindow) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", L"x", WS_POPUP | BS_CHECKBOX, 0, 0, 40, 20, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    // Wine refuses the empty names Windows takes: compare with the system.
    ASSERT_NE(platform::GetSystemApi().SetWindowTheme, nullptr);
    const HRESULT hr = BkThemeApi::ClearWindowTheme(button);
    EXPECT_NE(hr, E_NOTIMPL);
    EXPECT_EQ(hr, platform::GetSystemApi().SetWindowTheme(button, L"", L""));
    // Themes may be off: then there is no handle and drawing refuses politely.
    if (HTHEME theme = BkThemeApi::OpenThemeData(button, L"BUTTON")) {
        EXPECT_EQ(BkThemeApi::CloseThemeData(theme), S_OK);
    } else {
        RECT rc = {0, 0, 13, 13};
        EXPECT_EQ(BkThemeApi::DrawThemeBackground(nullptr, nullptr, 3, 1, &rc, nullptr), E_HANDLE);
        EXPECT_EQ(BkThemeApi::CloseThemeData(nullptr), S_FALSE);
    }
    ::DestroyWindow(button);
}

} // namespace
