#include <gtest/gtest.h>

#include "platform/system_api.h"
#include "ui/bkthemeapi.h"

namespace {

TEST(BkThemeApi, ClearsTheThemeOfAWindow) {
    HWND button = ::CreateWindowExW(0, L"BUTTON", L"x", WS_POPUP | BS_CHECKBOX, 0, 0, 40, 20, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    // Wine's uxtheme has every entry; a system without one gets E_NOTIMPL.
    // (Wine refuses the empty theme names that Windows takes, so the answer
    // is compared with the system's own.)
    const auto& api = platform::GetSystemApi();
    ASSERT_NE(api.SetWindowTheme, nullptr);
    ASSERT_NE(api.OpenThemeData, nullptr);
    ASSERT_NE(api.CloseThemeData, nullptr);
    ASSERT_NE(api.DrawThemeBackground, nullptr);
    HRESULT hr = BkThemeApi::ClearWindowTheme(button);
    EXPECT_NE(hr, E_NOTIMPL);
    EXPECT_EQ(hr, api.SetWindowTheme(button, L"", L""));

    HTHEME theme = BkThemeApi::OpenThemeData(button, L"BUTTON");
    // Themes may be off; then there is no handle and drawing refuses politely.
    if (theme == nullptr) {
        RECT rc = {0, 0, 13, 13};
        EXPECT_EQ(BkThemeApi::DrawThemeBackground(nullptr, nullptr, 3, 1, &rc, nullptr), E_HANDLE);
        EXPECT_EQ(BkThemeApi::CloseThemeData(nullptr), S_FALSE);
    } else {
        EXPECT_EQ(BkThemeApi::CloseThemeData(theme), S_OK);
    }
    ::DestroyWindow(button);
}

} // namespace
