#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/ui_dialog/dialog_fixture.h"
#include "ui/bkdragbox.h"
#include "ui/bklayered.h"

namespace {

// Left: an opaque fill; right: nothing but black text.
const char kLayout[] =
    "<layer width='200' height='60' noborder='1'><body>"
    "<dlg pos='0,0,100,60' crbg='2060A0'/>"
    "<text pos='110,10,200,50' crtext='000000' font='0c00'>WWWW</text>"
    "</body></layer>";

TEST(LayeredView, FillsAreOpaqueTextKeepsItsAlphaAndEmptyPixelsAreClear) {
    TestDlg dlg(kLayout);
    dlg.EnableShadow(FALSE);
    ASSERT_NE(dlg.Create(nullptr, RECT{50, 50, 250, 110}), nullptr);
    std::vector<uint32_t> px(200 * 60);
    ASSERT_TRUE(BkRenderLayeredPixels(dlg.GetViewControl(), 200, 60, px.data()));
    EXPECT_EQ(px[30 * 200 + 50], 0xFF2060A0u);
    EXPECT_EQ(px[5 * 200 + 150], 0u);
    int opaque = 0;
    for (int y = 10; y < 50; ++y)
        for (int x = 110; x < 200; ++x) {
            if (px[y * 200 + x] >> 24 == 0xFF) ++opaque;
        }
    EXPECT_GT(opaque, 20);  // the glyphs did not vanish with GDI's alpha 0
    // Hidden and empty windows are left alone.
    EXPECT_FALSE(BkUpdateLayeredView(dlg.Handle(), dlg.GetViewControl()));
    dlg.ModifyStyleEx(0, WS_EX_LAYERED);
    dlg.ShowWindow(SW_SHOWNA);
    EXPECT_TRUE(BkUpdateLayeredView(dlg.Handle(), dlg.GetViewControl()));
}

TEST(LayeredView, DragLineIsDrawnAndSizedToItsHeight) {
    CBkDragBox line(0, 4);
    ASSERT_TRUE(line.GetViewControl().XmlLoad("<layer width='808' height='9' noborder='1'><body>"
                                              "<dlg pos='0,0,-0,-0' crbg='3399FF'/></body></layer>"));
    ASSERT_NE(line.CreateHidden(nullptr), nullptr);
    line.ShowAt(RECT{10, 20, 300, 60});
    EXPECT_TRUE(line.IsWindowVisible());
    EXPECT_EQ(line.GetWindowRect().bottom - line.GetWindowRect().top, 4);
    EXPECT_EQ(line.GetWindowRect().right - line.GetWindowRect().left, 290);
}

} // namespace
