#include <gtest/gtest.h>

#include "platform/gdi.h"
#include "platform/system_api.h"

TEST(SystemApi, BindsCommonExportsAndDrawsShadowTextWhenPresent) {
    const platform::SystemApi& api = platform::GetSystemApi();
    // Present on every supported system and in Wine; a null here would mean
    // the binding itself is broken.
    EXPECT_NE(api.TrackMouseEvent, nullptr);
    EXPECT_NE(api.GradientFill, nullptr);
    if (api.DrawShadowText == nullptr) GTEST_SKIP() << "comctl32 without DrawShadowText";
    platform::MemoryDC dc;
    platform::Bitmap dib(platform::CreateDib32(40, 20, nullptr));
    platform::SelectObjectScope select(dc, dib.Get());
    RECT rc = {0, 0, 40, 20};
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    EXPECT_NE(api.DrawShadowText(dc, L"MM", 2, &rc, DT_SINGLELINE, RGB(0, 0, 0), RGB(128, 128, 128), 2, 2), 0);
}
