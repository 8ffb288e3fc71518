#include <gtest/gtest.h>

#include "dialog_fixture.h"

#include <commctrl.h>
#include "tests/support/test_support.h"

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT WindowRectOf(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

// A memory target filled with one colour, to paint the view into.
class Target {
public:
    Target(int w, int h, COLORREF fill) {
        HDC screen = ::GetDC(nullptr);
        dc_ = ::CreateCompatibleDC(screen);
        bmp_ = ::CreateCompatibleBitmap(screen, w, h);
        ::ReleaseDC(nullptr, screen);
        old_ = ::SelectObject(dc_, bmp_);
        HBRUSH brush = ::CreateSolidBrush(fill);
        RECT rc = {0, 0, w, h};
        ::FillRect(dc_, &rc, brush);
        ::DeleteObject(brush);
    }
    ~Target() {
        ::SelectObject(dc_, old_);
        ::DeleteObject(bmp_);
        ::DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
};

TEST(ViewMore, TooltipFollowsTheHoveredControl) {
    TestDlg dlg("<layer width=\"200\" height=\"100\" noborder=\"1\"><body>"
                "<dlg id=\"1\" pos=\"0,0,50,50\" tip=\"提示一\"/><dlg id=\"2\" pos=\"60,0,110,50\"/>"
                "</body></layer>");
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    HWND view = dlg.GetViewControl().Handle();
    HWND tip = dlg.GetViewControl().GetToolTip();
    ASSERT_NE(tip, nullptr);
    auto tipText = [&] {
        wchar_t buf[64] = {};
        TOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.hwnd = view;
        ti.uId = reinterpret_cast<UINT_PTR>(view);
        ti.lpszText = buf;
        ::SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&ti));
        return std::wstring(buf);
    };
    ::SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(tipText(), L"提示一");
    ::SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(70, 10));
    EXPECT_EQ(tipText(), L"");
    dlg.DestroyWindow();
}

TEST(ViewMore, NoMoveLayoutsDoNotDragAndResizableOnesMaximiseOnDoubleClick) {
    TestDlg fixed("<layer width=\"200\" height=\"100\" nomove=\"1\"><header height=\"20\"/><body/></layer>");
    ASSERT_NE(fixed.Create(nullptr), nullptr);
    HWND view = fixed.GetViewControl().Handle();
    ::SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(fixed.sysCommands.empty());  // neither movable nor resizable
    fixed.DestroyWindow();

    TestDlg sizable("<layer width=\"200\" height=\"100\" resize=\"1\"><header height=\"20\"/><body/></layer>");
    ASSERT_NE(sizable.Create(nullptr), nullptr);
    EXPECT_TRUE(sizable.GetStyle() & WS_THICKFRAME);
    view = sizable.GetViewControl().Handle();
    ::SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(sizable.sysCommands, (std::vector<WPARAM>{0xF032}));
    EXPECT_TRUE(sizable.notes.empty());
    // A double click in the body is reported, not turned into a maximise.
    ::SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 50));
    ASSERT_EQ(sizable.notes.size(), 1u);
    EXPECT_EQ(sizable.notes[0].code, static_cast<UINT>(BKNM_LBUTTONDBLCLK));
    sizable.DestroyWindow();
}

TEST(ViewMore, RectangleCreateIsWidenedToTheMinimumSize) {
    TestDlg dlg("<layer min_width=\"120\" min_height=\"80\" noborder=\"1\"><body/></layer>");
    RECT rc = {30, 40, 60, 70};
    ASSERT_NE(dlg.Create(nullptr, rc), nullptr);
    EXPECT_TRUE(SameRect(dlg.GetWindowRect(), RECT{30, 40, 150, 120}));
    EXPECT_TRUE(SameRect(dlg.GetViewControl().GetClientRect(), RECT{0, 0, 120, 80}));
    // Smaller sizes asked later are widened the same way.
    dlg.SetWindowPos(nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client = dlg.GetClientRect();
    EXPECT_GE(client.right, 120);
    EXPECT_GE(client.bottom, 80);
    dlg.DestroyWindow();
}

TEST(ViewMore, DirtyRegionDrawsStraightIntoALayeredTarget) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    CBkDialogView& v = dlg.GetViewControl();
    Target target(300, 200, RGB(0, 0, 255));
    v.RequestFullRepaint();
    v.DrawDirtyRegion(target.dc());
    EXPECT_EQ(::GetPixel(target.dc(), 30, 55), RGB(255, 0, 0));
    EXPECT_FALSE(v.IsDirty());
    // Nothing pending: a second call draws nothing.
    Target second(300, 200, RGB(0, 0, 255));
    v.DrawDirtyRegion(second.dc());
    EXPECT_EQ(::GetPixel(second.dc(), 30, 55), RGB(0, 0, 255));
    // Only the pending rectangle is drawn.
    v.AddDirtyRect(RECT{10, 40, 20, 50});
    v.DrawDirtyRegion(second.dc());
    EXPECT_EQ(::GetPixel(second.dc(), 15, 45), RGB(255, 0, 0));
    EXPECT_EQ(::GetPixel(second.dc(), 40, 55), RGB(0, 0, 255));
    dlg.DestroyWindow();
}

TEST(ViewMore, ColourKeyBlitLeavesKeyedPixelsAlone) {
    TestDlg dlg("<layer width=\"100\" height=\"100\" noborder=\"1\"><body>"
                "<dlg pos=\"0,0,-0,-0\" crbg=\"ff00ff\"><dlg pos=\"10,10,20,20\" crbg=\"00ff00\"/></dlg>"
                "</body></layer>");
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.GetViewControl().SetBlitMode(CBkDialogView::BLIT_COLORKEY, RGB(255, 0, 255));
    Target target(100, 100, RGB(0, 0, 255));
    ::SendMessageW(dlg.GetViewControl().Handle(), WM_PRINT, reinterpret_cast<WPARAM>(target.dc()), PRF_CLIENT);
    EXPECT_EQ(::GetPixel(target.dc(), 50, 50), RGB(0, 0, 255));  // key colour: target shows through
    EXPECT_EQ(::GetPixel(target.dc(), 15, 15), RGB(0, 255, 0));
    dlg.DestroyWindow();
}

TEST(ViewMore, TheDialogShadowFollowsTheWindow) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.SetWindowPos(nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    dlg.ShowWindow(SW_SHOWNA);
    HWND shadow = dlg.GetShadow().GetShadowWindow();
    // The view's first paint shows the shadow.
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }, 3000));
    EXPECT_TRUE(SameRect(WindowRectOf(shadow), RECT{196, 146, 504, 354}));
    dlg.SetWindowPos(nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(SameRect(WindowRectOf(shadow), RECT{96, 116, 404, 324}));
    // A drag hides it until the move ends.
    RECT moving = dlg.GetWindowRect();
    ::SendMessageW(dlg.Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving));
    EXPECT_FALSE(::IsWindowVisible(shadow));
    dlg.SetWindowPos(nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(dlg.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(shadow));
    EXPECT_TRUE(SameRect(WindowRectOf(shadow), RECT{6, 16, 314, 224}));
    dlg.ShowWindow(SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(shadow));
    dlg.DestroyWindow();
    EXPECT_FALSE(::IsWindow(shadow));
}

TEST(ViewMore, ChildLayoutsGetNoShadowAndNoPopupStyle) {
    TestDlg parent;
    ASSERT_NE(parent.Create(nullptr), nullptr);
    TestDlg child("<layer child=\"1\" width=\"50\" height=\"40\"><body/></layer>");
    ASSERT_NE(child.Create(parent.Handle()), nullptr);
    EXPECT_TRUE(child.GetStyle() & WS_CHILD);
    EXPECT_FALSE(child.GetStyle() & WS_POPUP);
    EXPECT_EQ(child.GetShadow().GetShadowWindow(), nullptr);
    // A press in a child layout never drags anything.
    ::SendMessageW(child.GetViewControl().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(child.sysCommands.empty());
    parent.DestroyWindow();
    EXPECT_FALSE(child.IsWindow());
}

} // namespace

namespace {

TEST(ViewMore, FocusGoesThroughTheViewToItsFirstTabItem) {
    TestDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.ShowWindow(SW_SHOW);
    HWND view = dlg.GetViewControl().Handle();
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 40, 80, 20, view,
                                  reinterpret_cast<HMENU>(501), nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    ::SetFocus(dlg.Handle());
    EXPECT_EQ(::GetFocus(), edit);
    ::DestroyWindow(edit);
    ::SetFocus(dlg.Handle());
    EXPECT_EQ(::GetFocus(), view);  // no tab item: the view keeps it
    dlg.DestroyWindow();
}

TEST(ViewMore, MaximisingAResizableLayoutFillsTheWorkArea) {
    TestDlg dlg("<layer width=\"200\" height=\"100\" resize=\"1\" noborder=\"1\"><body/></layer>");
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    ::ShowWindow(dlg.Handle(), SW_MAXIMIZE);
    testing_support::PumpMessages(50);
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(SameRect(dlg.GetWindowRect(), work));
    EXPECT_TRUE(SameRect(dlg.GetViewControl().GetClientRect(),
                         RECT{0, 0, work.right - work.left, work.bottom - work.top}));
    dlg.DestroyWindow();
}

} // namespace
