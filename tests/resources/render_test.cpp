// The bar and the panel drawn by the framework from the program's layouts
// into a 32-bit bitmap, as the layered repaint draws them: the surfaces are
// opaque, the shadow margins translucent, the selected filter button shows
// its selected face. With LUMSEK_RENDER_DIR set (a Linux folder), each
// drawing is also written there as <layout>.bmp to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "resources/resource_ids.h"
#include "drawing.h"
#include "resource_checks.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"

namespace {

using namespace resource_checks;

// The tables loaded as for the resource checks.
class ProgramDrawing : public ProgramResources {};

TEST_F(ProgramDrawing, BarIsAnOpaqueSurfaceOnATranslucentShadow) {
    Drawing bar(IDR_LAYOUT_DOCK, 800, 73);
    ASSERT_TRUE(bar.Made());
    EXPECT_TRUE(Near(bar.At(400, 58), 0xFF, 0xFF, 0xFF));            // surface
    EXPECT_TRUE(Near(bar.At(4, 30), 0xDA, 0xDC, 0xE3));              // border
    EXPECT_GT(bar.At(2, 30).a, 0);                                   // shadow beside it
    EXPECT_LT(bar.At(2, 30).a, 128);
    EXPECT_LT(bar.At(400, 71).a, 64);                                // fading below it
    EXPECT_TRUE(Near(bar.At(8 + 28, 4), 0x33, 0x99, 0xFF));          // selected "all": accent outline
    EXPECT_TRUE(Near(bar.At(66 + 28, 4), 0xFF, 0xFF, 0xFF));         // pictures: plain
    // Hover and back: the face follows the "sub" attribute the bar sets.
    EXPECT_TRUE(bar.View().SetItemIntAttribute(1001, "sub", 1));
}

TEST_F(ProgramDrawing, PanelFrameLeavesNoHoleWhenTheListIsHidden) {
    Drawing panel(IDR_LAYOUT_RESULT, 800, 300);
    ASSERT_TRUE(panel.Made());
    for (POINT pt : {POINT{10, 10}, POINT{400, 150}, POINT{790, 280}, POINT{400, 5}})
        EXPECT_TRUE(Near(panel.At(pt.x, pt.y), 0xFF, 0xFF, 0xFF)) << pt.x << "," << pt.y;
    EXPECT_TRUE(Near(panel.At(4, 150), 0xDA, 0xDC, 0xE3));
    EXPECT_LT(panel.At(1, 150).a, 128);
    EXPECT_LT(panel.At(400, 299).a, 64);
}

TEST_F(ProgramDrawing, WebPanelHasNoHoleAndDialogsAreOpaqueInEveryPanel) {
    Drawing web(IDR_LAYOUT_WEBPANEL, 650, 300);
    ASSERT_TRUE(web.Made());
    EXPECT_TRUE(Near(web.At(400, 150), 0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(Near(web.At(400, 0), 0xDA, 0xDC, 0xE3));   // top border: it may hang under the result panel
    EXPECT_LT(web.At(400, 299).a, 64);

    Drawing tall(IDR_LAYOUT_DOCK2, 800, 171);
    ASSERT_TRUE(tall.Made());
    EXPECT_TRUE(Near(tall.At(400, 158), 0xFF, 0xFF, 0xFF));
    EXPECT_TRUE(Near(tall.At(23, 60), 0xDA, 0xDC, 0xE3));   // outline beside the advanced-search popup

    // Ordinary windows: every pixel drawn, whichever panel shows.
    const struct { UINT layout; SIZE size; } dialogs[] = {
        {IDR_LAYOUT_SCOPE, {112, 86}}, {IDR_LAYOUT_CHECK, {314, 200}}, {IDR_LAYOUT_RECOVER, {378, 240}},
        {IDR_LAYOUT_MORESEARCH, {619, 93}},
    };
    for (const auto& d : dialogs) {
        const UINT layout = d.layout;
        const SIZE size = d.size;
        SCOPED_TRACE(layout);
        Drawing dlg(layout, size.cx, size.cy);
        ASSERT_TRUE(dlg.Made());
        EXPECT_EQ(dlg.Untouched(), 0);
        if (layout == IDR_LAYOUT_RECOVER) {
            for (UINT shown : {6000u, 7000u}) {
                for (UINT panel : {5000u, 6000u, 7000u}) dlg.View().SetItemVisible(panel, panel == shown);
                dlg.Render("-" + std::to_string(shown));
                EXPECT_EQ(dlg.Untouched(), 0) << shown;
            }
        }
    }
}

} // namespace
