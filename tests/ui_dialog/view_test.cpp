#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "tests/support/test_support.h"
#include "ui/bkwinmanager.h"

namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dlg.Create(nullptr), nullptr);
        dlg.ShowWindow(SW_SHOWNA);
        view = dlg.GetViewControl().Handle();
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override {
        if (dlg.IsWindow()) dlg.DestroyWindow();
    }
    void Mouse(UINT msg, int x, int y) { ::SendMessageW(view, msg, msg == WM_MOUSELEAVE ? 0 : MK_LBUTTON, At(x, y)); }
    DWORD StateOf(UINT id) {
        CBkWindow* w = dlg.GetViewControl().FindControl(id);
        return w ? w->GetState() : 0xFFFFFFFF;
    }

    BkWinManager manager;
    TestDlg dlg;
    HWND view = nullptr;
};

TEST_F(ViewTest, CreatesTheWindowFromTheLayout) {
    HWND hwnd = dlg.Handle();
    EXPECT_EQ(dlg.initDialogs, 1);
    EXPECT_EQ(dlg.initParam, hwnd);
    EXPECT_EQ(dlg.GetWindowText(), L"测试");
    EXPECT_TRUE(dlg.GetStyle() & WS_POPUP);
    EXPECT_TRUE(dlg.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(dlg.GetExStyle() & WS_EX_TOOLWINDOW);
    RECT rc = dlg.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    // No frame: the client area is the whole window, and the view fills it.
    RECT client = dlg.GetClientRect();
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(::GetDlgCtrlID(view), IDC_BKVIEW);
    RECT vr = dlg.GetViewControl().GetClientRect();
    EXPECT_TRUE(SameRect(vr, client));
    EXPECT_TRUE(::IsWindow(dlg.GetShadow().GetShadowWindow()));

    // Header at the top, footer at the bottom, body between them.
    CBkViewImpl& items = dlg.GetViewControl();
    EXPECT_TRUE(SameRect(items.FindControl(20)->GetRect(), RECT{0, 0, 40, 30}));
    EXPECT_TRUE(SameRect(items.FindControl(10)->GetRect(), RECT{10, 40, 60, 70}));
    EXPECT_TRUE(SameRect(items.FindControl(30)->GetRect(), RECT{0, 180, 300, 200}));
    EXPECT_EQ(items.FindControl(99), nullptr);
}

TEST_F(ViewTest, ClickSendsDownUpAndCommand) {
    Mouse(WM_MOUSEMOVE, 20, 50);
    EXPECT_TRUE(StateOf(10) & BKSTATE_HOVER);
    Mouse(WM_LBUTTONDOWN, 20, 50);
    EXPECT_TRUE(StateOf(10) & BKSTATE_PUSHED);
    Mouse(WM_LBUTTONUP, 20, 50);
    EXPECT_FALSE(StateOf(10) & BKSTATE_PUSHED);
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSEHOVER, 10, "(null)"},
                                                {BKNM_LBUTTONDOWN, 10, "(null)"},
                                                {BKNM_LBUTTONUP, 10, "(null)"},
                                                {BKNM_COMMAND, 10, "dlg"}}));
}

TEST_F(ViewTest, PressMoveOffReleaseIsNoCommand) {
    Mouse(WM_MOUSEMOVE, 80, 50);
    Mouse(WM_LBUTTONDOWN, 80, 50);
    dlg.notes.clear();
    Mouse(WM_MOUSEMOVE, 140, 50);
    Mouse(WM_LBUTTONUP, 140, 50);
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSEHOVER, 12, "(null)"},
                                                {BKNM_MOUSELEAVE, 11, "(null)"},
                                                {BKNM_LBUTTONUP, 11, "(null)"}}));
    EXPECT_FALSE(StateOf(11) & (BKSTATE_PUSHED | BKSTATE_HOVER));
    EXPECT_TRUE(StateOf(12) & BKSTATE_HOVER);
}

TEST_F(ViewTest, DisabledControlIsReportedButNeverHoveredOrPressed) {
    ASSERT_TRUE(dlg.EnableItem(12, FALSE));
    Mouse(WM_MOUSEMOVE, 140, 50);
    EXPECT_FALSE(StateOf(12) & BKSTATE_HOVER);
    Mouse(WM_LBUTTONDOWN, 140, 50);
    Mouse(WM_LBUTTONUP, 140, 50);
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSEHOVER, 12, "(null)"}, {BKNM_LBUTTONUP, 0, "(null)"}}));
    EXPECT_FALSE(StateOf(12) & BKSTATE_PUSHED);
}

TEST_F(ViewTest, LeaveDoubleClickRightClickAndHeaderDrag) {
    Mouse(WM_MOUSEMOVE, 20, 50);
    Mouse(WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(StateOf(10) & BKSTATE_HOVER);
    Mouse(WM_LBUTTONDBLCLK, 20, 50);
    Mouse(WM_RBUTTONDOWN, 80, 50);
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSEHOVER, 10, "(null)"},
                                                {BKNM_MOUSELEAVE, 10, "(null)"},
                                                {BKNM_LBUTTONDBLCLK, 10, "dlg"},
                                                {BKNM_RBUTTONDOWN, 11, "(null)"}}));
    // A press on a header area that is no clickable control moves the window.
    dlg.notes.clear();
    Mouse(WM_LBUTTONDOWN, 20, 10);
    EXPECT_TRUE(dlg.notes.empty());
    EXPECT_EQ(dlg.sysCommands, (std::vector<WPARAM>{0xF012}));
}

TEST_F(ViewTest, HandlerMayReloadTheControlsItWasToldAbout) {
    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_LBUTTONDOWN) {
            dlg.GetViewControl().XmlLoad("<layer><body><dlg id=\"40\" pos=\"0,0,10,10\"/></body></layer>");
        }
    };
    Mouse(WM_MOUSEMOVE, 20, 50);
    Mouse(WM_LBUTTONDOWN, 20, 50);
    Mouse(WM_LBUTTONUP, 20, 50);
    Mouse(WM_MOUSEMOVE, 25, 55);
    Mouse(WM_MOUSELEAVE, 0, 0);
    ASSERT_GE(dlg.notes.size(), 3u);
    // The pressed control is gone: the release names nobody and no command goes out.
    EXPECT_EQ(dlg.notes[2], (Notified{BKNM_LBUTTONUP, 0, "(null)"}));
    for (const auto& n : dlg.notes) EXPECT_NE(n.code, static_cast<UINT>(BKNM_COMMAND));
    EXPECT_NE(dlg.GetViewControl().FindControl(40), nullptr);
}

TEST_F(ViewTest, HandlerMayDestroyTheWindow) {
    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_LBUTTONUP) dlg.DestroyWindow();
    };
    Mouse(WM_MOUSEMOVE, 20, 50);
    Mouse(WM_LBUTTONDOWN, 20, 50);
    Mouse(WM_LBUTTONUP, 20, 50);
    EXPECT_FALSE(::IsWindow(view));
    ASSERT_FALSE(dlg.notes.empty());
    EXPECT_EQ(dlg.notes.back().code, static_cast<UINT>(BKNM_LBUTTONUP));
}

TEST_F(ViewTest, DirtyRectanglesUniteAndOnePaintDrawsThem) {
    CBkDialogView& v = dlg.GetViewControl();
    ::UpdateWindow(view);
    EXPECT_FALSE(v.IsDirty());
    BKNMINVALIDATERECT nm = {};
    nm.hdr.hwndFrom = view;
    nm.hdr.idFrom = IDC_BKVIEW;
    nm.hdr.code = BKNM_INVALIDATERECT;
    nm.rect = RECT{10, 10, 20, 20};
    EXPECT_EQ(::SendMessageW(view, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm)), 0);
    nm.rect = RECT{50, 60, 70, 90};
    ::SendMessageW(view, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
    EXPECT_TRUE(dlg.notes.empty());  // not passed on to the parent
    ASSERT_NE(v.GetPendingRegion(), nullptr);
    RECT box = {};
    ::GetRgnBox(v.GetPendingRegion(), &box);
    EXPECT_TRUE(SameRect(box, RECT{10, 10, 70, 90}));
    ::UpdateWindow(view);
    EXPECT_FALSE(v.IsDirty());
    EXPECT_EQ(v.GetPendingRegion(), nullptr);

    // Every other notification goes on to the parent.
    BKNMCOMMAND other = {};
    other.hdr = {view, IDC_BKVIEW, BKNM_CTRLNOTIFY};
    other.uItemID = 5;
    ::SendMessageW(view, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&other));
    ASSERT_EQ(dlg.notes.size(), 1u);
    EXPECT_EQ(dlg.notes[0].code, static_cast<UINT>(BKNM_CTRLNOTIFY));
}

TEST_F(ViewTest, PaintsTheControlsIntoTheTarget) {
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 300, 200);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::SendMessageW(view, WM_PRINT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    EXPECT_EQ(::GetPixel(mem, 30, 55), RGB(255, 0, 0));   // control 10, "crbg" ff0000
    EXPECT_NE(::GetPixel(mem, 90, 55), RGB(255, 0, 0));   // control 11 has no background
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
}

TEST_F(ViewTest, ItemAccessorsFindControlsById) {
    EXPECT_FALSE(dlg.SetItemText(99, L"x"));
    EXPECT_FALSE(dlg.SetItemVisible(99, FALSE));
    EXPECT_FALSE(dlg.GetItemCheck(99));
    EXPECT_TRUE(dlg.SetItemText(11, L"文字"));
    EXPECT_EQ(dlg.GetViewControl().FindControl(11)->GetInnerText(), L"文字");
    EXPECT_TRUE(dlg.SetItemCheck(11, TRUE));
    EXPECT_TRUE(dlg.GetItemCheck(11));
    EXPECT_TRUE(dlg.SetItemCheck(11, FALSE));
    EXPECT_FALSE(dlg.GetItemCheck(11));
    EXPECT_TRUE(dlg.IsItemVisible(30));
    EXPECT_TRUE(dlg.SetItemVisible(30, FALSE));
    EXPECT_FALSE(dlg.IsItemVisible(30));
    EXPECT_TRUE(dlg.SetItemIntAttribute(11, "crbg", 0));  // attribute set at run time
    EXPECT_TRUE(dlg.GetViewControl().IsDirty());
    // A hidden control is not hit: the mouse goes through to the footer.
    dlg.notes.clear();
    ::SendMessageW(view, WM_RBUTTONDOWN, 0, At(5, 190));
    ASSERT_EQ(dlg.notes.size(), 1u);
    EXPECT_EQ(dlg.notes[0].item, 0u);
}

TEST(BkWinManager, FirstManagerIsGlobalAndKeepsTheRegisteredWindow) {
    EXPECT_EQ(BkWinManager::GetInstance(), nullptr);
    EXPECT_EQ(BkWinManager::SetActive(reinterpret_cast<HWND>(1)), nullptr);  // nothing kept
    {
        BkWinManager first;
        BkWinManager second;
        EXPECT_EQ(BkWinManager::GetInstance(), &first);
        HWND a = reinterpret_cast<HWND>(0x10);
        EXPECT_EQ(BkWinManager::SetActive(a), nullptr);
        EXPECT_EQ(BkWinManager::SetActive(nullptr), a);
        BkWinManager::PaintLock lock;
    }
    EXPECT_EQ(BkWinManager::GetInstance(), nullptr);
}

} // namespace
