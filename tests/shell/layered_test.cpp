// The layered repaint: per-pixel alpha from the skinned view, text that keeps
// its alpha, and the drag line that is always 4 px tall.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi.h"
#include "shell/layered_view.h"
#include "shell/shell_messages.h"
#include "ui/bkdlgimpl.h"
#include "tests/support/test_support.h"

namespace {

// Left half an opaque fill, right half nothing but black text.
class LayeredDlg : public CBkDialogImpl<LayeredDlg> {
public:
    LayeredDlg() {
        EnableShadow(FALSE);
        GetViewControl().XmlLoad(
            "<layer width='200' height='60' noborder='1'><body>"
            "<dlg pos='0,0,100,60' crbg='2060A0'/>"
            "<text pos='110,10,200,50' crtext='000000' font='0c00'>WWWW</text>"
            "</body></layer>");
    }
    WINDOW_MAP_BEGIN(LayeredDlg)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnRefresh)
        WINDOW_MAP_CHAIN(CBkDialogImpl<LayeredDlg>)
    WINDOW_MAP_END()
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
        MakeLayered(Handle());
        return TRUE;
    }
    LRESULT OnRefresh(UINT, WPARAM, LPARAM, BOOL&) {
        UpdateLayeredView(*this);
        return 0;
    }
};

// What the screen shows in a rectangle.
std::vector<uint32_t> ReadScreen(int left, int top, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    platform::WindowDC dc(nullptr);
    platform::MemoryDC mem(dc);
    void* bits = nullptr;
    platform::Bitmap bmp(platform::CreateDib32(width, height, &bits));
    platform::SelectObjectScope select(mem, bmp.Get());
    ::BitBlt(mem, 0, 0, width, height, dc, left, top, SRCCOPY);
    ::GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * 4);
    return pixels;
}

}  // namespace

TEST(LayeredView, SkinsGiveThePixelsTheirAlphaAndTextStaysOpaque) {
    LayeredDlg dlg;
    RECT rc = {50, 50, 250, 110};
    ASSERT_TRUE(dlg.Create(nullptr, rc));
    EXPECT_TRUE(::GetWindowLongPtrW(dlg.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);

    // The rendered bitmap itself.
    platform::MemoryDC mem;
    void* raw = nullptr;
    platform::Bitmap bmp(platform::CreateDib32(200, 60, &raw));
    platform::SelectObjectScope select(mem, bmp.Get());
    auto* px = static_cast<uint32_t*>(raw);
    RenderLayeredPixels(dlg.GetViewControl(), mem, px, 200, 60);
    EXPECT_EQ(px[30 * 200 + 50], 0xFF2060A0u);  // the fill: opaque, its colour
    EXPECT_EQ(px[5 * 200 + 150], 0u);           // nothing painted: transparent
    int opaqueText = 0, other = 0;
    for (int y = 10; y < 50; ++y)
        for (int x = 110; x < 200; ++x) {
            const uint32_t p = px[y * 200 + x];
            if (p >> 24 == 0xFF) ++opaqueText;
            else if (p != 0) ++other;
        }
    EXPECT_GT(opaqueText, 20);  // the glyphs did not vanish with alpha 0
    EXPECT_EQ(other, 0);

    // And on screen, over a white window: the fill covers it, the text
    // shows dark, and where nothing was painted the white shows through.
    HWND white = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_WHITERECT, 40, 40, 220, 80, nullptr, nullptr,
                                   nullptr, nullptr);
    ::ShowWindow(white, SW_SHOWNA);
    ::SetWindowPos(dlg.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    testing_support::PumpMessages(200);
    const std::vector<uint32_t> screen = ReadScreen(50, 50, 200, 60);
    EXPECT_EQ(screen[30 * 200 + 50] & 0xFFFFFF, 0x2060A0u);
    EXPECT_EQ(screen[5 * 200 + 150] & 0xFFFFFF, 0xFFFFFFu);
    int dark = 0;
    for (int y = 10; y < 50; ++y)
        for (int x = 110; x < 200; ++x) dark += (screen[y * 200 + x] & 0xFFFFFF) < 0x404040 ? 1 : 0;
    EXPECT_GT(dark, 20);
    ::DestroyWindow(white);
}

TEST(LayeredView, HiddenOrEmptyWindowIsLeftAlone) {
    LayeredDlg dlg;
    RECT rc = {50, 50, 250, 110};
    ASSERT_TRUE(dlg.Create(nullptr, rc));
    EXPECT_FALSE(UpdateLayeredView(dlg));  // hidden
    ::ShowWindow(dlg.Handle(), SW_SHOWNA);
    EXPECT_TRUE(UpdateLayeredView(dlg));
    EXPECT_FALSE(UpdateLayeredView(dlg, 0));  // no rows to draw
}
