#include <gtest/gtest.h>

#include "platform/system_api.h"

TEST(SystemApi, BindsOnceAndFindsCommonControlsExports) {
    const platform::SystemApi& api = platform::GetSystemApi();
    EXPECT_EQ(&api, &platform::GetSystemApi());
    // Present on every supported system and in Wine; a null here would mean
    // the binding itself is broken.
    EXPECT_NE(api.TrackMouseEvent, nullptr);
    EXPECT_NE(api.GradientFill, nullptr);
}

TEST(SystemApi, DrawShadowTextDrawsWhenPresent) {
    const platform::SystemApi& api = platform::GetSystemApi();
    if (api.DrawShadowText == nullptr) GTEST_SKIP() << "comctl32 without DrawShadowText";
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 40, 20);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    RECT rc = {0, 0, 40, 20};
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    EXPECT_NE(api.DrawShadowText(dc, L"MM", 2, &rc, DT_SINGLELINE, RGB(0, 0, 0), RGB(128, 128, 128), 2, 2), 0);
    ::SelectObject(dc, old);
    ::DeleteObject(bmp);
    ::DeleteDC(dc);
}
