#include <gtest/gtest.h>

#include "tests/ui_foundation/resource_folder.h"
#include "tests/ui_skins/skin_test_util.h"
#include "ui/bkshadowwnd.h"
#include "ui/bkskin.h"

namespace {

// A 10 x 10 shadow skin: a half-transparent black ring two pixels wide
// around a fully transparent middle; corner 4 = (10 - 2) / 2.
uint32_t ShadowPixel(int x, int y) {
    bool ring = x < 2 || y < 2 || x >= 8 || y >= 8;
    return ring ? 0x80000000u : 0x00000000u;
}

TEST(ShadowSkin, DrawsTheNinePartSkinWithItsAlpha) {
    ResourceFolder folder;
    std::string png = skintest::EncodeImage(10, 10, ShadowPixel, L"png");
    ASSERT_FALSE(png.empty());
    ASSERT_TRUE(folder.Write(3001, L"png", png));
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({"<skins><png name=\"dlg_shadow\" src=\"3001\"/></skins>"}));
    ASSERT_NE(BkSkin::GetSkin("dlg_shadow"), nullptr);

    CShadowWnd shadow;
    skintest::Canvas canvas(48, 28);
    canvas.ClearAlpha();
    shadow.DrawShadowImage(canvas.dc(), SIZE{48, 28});
    // The ring keeps its half alpha at the edges; the middle stays clear.
    EXPECT_NEAR(static_cast<int>(canvas.Raw(0, 0) >> 24), 0x80, 2);
    EXPECT_NEAR(static_cast<int>(canvas.Raw(24, 0) >> 24), 0x80, 2);
    EXPECT_NEAR(static_cast<int>(canvas.Raw(47, 27) >> 24), 0x80, 2);
    EXPECT_NEAR(static_cast<int>(canvas.Raw(0, 14) >> 24), 0x80, 2);
    EXPECT_EQ(canvas.Raw(24, 14) >> 24, 0u);
    EXPECT_EQ(canvas.Raw(3, 3) >> 24, 0u);  // inside the unscaled corner, past the ring
    EXPECT_NEAR(static_cast<int>(canvas.Raw(1, 3) >> 24), 0x80, 2);
    BkSkin::LoadSkinsFromSources({});
}

} // namespace
