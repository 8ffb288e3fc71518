// The shell's layered repaint, read back from the screen: per-pixel alpha
// from the skinned view, text that keeps its alpha, and the bar's result
// panel as a user sees it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi.h"
#include "shell/layered_view.h"
#include "shell/shell_messages.h"
#include "tests/shell/shell_fixture.h"
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

TEST(LayeredView, OnScreenTheFillCoversTextShowsAndUnpaintedPixelsAreClear) {
    LayeredDlg dlg;
    RECT rc = {50, 50, 250, 110};
    ASSERT_TRUE(dlg.Create(nullptr, rc));
    EXPECT_TRUE(::GetWindowLongPtrW(dlg.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);

    // Over a white window: the fill covers it, the text shows dark, and
    // where nothing was painted the white shows through.
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

// Pixels of the rectangle darker than a skin's text colour.
int DarkPixels(const RECT& rc) {
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const std::vector<uint32_t> screen = ReadScreen(rc.left, rc.top, width, height);
    int dark = 0;
    for (uint32_t p : screen) dark += ((p & 0xFF) < 0x40 && ((p >> 8) & 0xFF) < 0x40 && ((p >> 16) & 0xFF) < 0x40);
    return dark;
}

TEST(LayeredView, ResultPanelShowsLightWithItsRowsAfterTheSearchResizesIt) {
    shell_test::DockSetup s;
    CDockWnd& dock = *s.dock;
    ::KillTimer(dock.Handle(), CDockWnd::IDT_DOCK_AUTOHIDE);
    ASSERT_TRUE(s.WaitForStartChain());
    dock.FocusEdit();
    s.Type(L"le1");
    // The panel is shown at one size and resized to its 11 rows while
    // visible: nothing of the program may lie over it dark.
    ASSERT_TRUE(shell_test::WaitFor([&] { return dock.ResultPanel().RowCount() == 11; }));
    testing_support::PumpMessages(600);
    const RECT panel = dock.ResultPanel().GetWindowRect();
    ASSERT_GT(panel.bottom - panel.top, 11 * 24);
    const int area = (panel.right - panel.left) * (panel.bottom - panel.top);
    EXPECT_LT(DarkPixels(panel), area / 20);
    RECT list = {};
    ASSERT_TRUE(::GetWindowRect(dock.ResultPanel().ResultHandle(), &list));
    EXPECT_LT(DarkPixels(list), (list.right - list.left) * (list.bottom - list.top) / 20);
    // The bar above it too.
    const RECT bar = dock.GetWindowRect();
    EXPECT_LT(DarkPixels(bar), (bar.right - bar.left) * (bar.bottom - bar.top) / 20);
}
