#include <gtest/gtest.h>

#include "dialog_fixture.h"

#include <commctrl.h>
#include "platform/window.h"
#include "tests/support/test_support.h"
#include "tests/ui_tree/tree_helpers.h"
#include "ui/bkwinmanager.h"

using tree_test::Canvas;
using tree_test::Rect;

namespace {


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
    void Mouse(UINT msg, int x, int y) {
        ::SendMessageW(view, msg, msg == WM_MOUSELEAVE ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
    }
    DWORD StateOf(UINT id) { return dlg.GetViewControl().FindControl(id)->GetState(); }

    BkWinManager manager;
    TestDlg dlg;
    HWND view = nullptr;
};

} // namespace

TEST_F(ViewTest, CreatesTheWindowAndPlacesHeaderBodyAndFooter) {
    EXPECT_EQ(dlg.initDialogs, 1);
    EXPECT_EQ(dlg.GetClientRect(), Rect(0, 0, 300, 200));   // no frame: the client area is the whole window
    for (auto c : {std::make_pair(20u, Rect(0, 0, 40, 30)), std::make_pair(10u, Rect(10, 40, 60, 70)),
                   std::make_pair(30u, Rect(0, 180, 300, 200))})
        EXPECT_EQ(dlg.GetViewControl().FindControl(c.first)->GetRect(), c.second) << c.first;
}

TEST_F(ViewTest, MouseSequencesGiveTheirNotificationsAndStates) {
    struct Step { UINT msg; int x, y; };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<Notified> notes;
        UINT hovered;
    } cases[] = {
        {"click", {{WM_MOUSEMOVE, 20, 50}, {WM_LBUTTONDOWN, 20, 50}, {WM_LBUTTONUP, 20, 50}},
         {{BKNM_MOUSEHOVER, 10, "(null)"}, {BKNM_LBUTTONDOWN, 10, "(null)"}, {BKNM_LBUTTONUP, 10, "(null)"},
          {BKNM_COMMAND, 10, "dlg"}}, 10},
        {"press, move off, release: no command",
         {{WM_MOUSEMOVE, 80, 50}, {WM_LBUTTONDOWN, 80, 50}, {WM_MOUSEMOVE, 140, 50}, {WM_LBUTTONUP, 140, 50}},
         {{BKNM_MOUSEHOVER, 11, "(null)"}, {BKNM_LBUTTONDOWN, 11, "(null)"}, {BKNM_MOUSEHOVER, 12, "(null)"},
          {BKNM_MOUSELEAVE, 11, "(null)"}, {BKNM_LBUTTONUP, 11, "(null)"}}, 12},
        {"leave, double and right click",
         {{WM_MOUSEMOVE, 20, 50}, {WM_MOUSELEAVE, 0, 0}, {WM_LBUTTONDBLCLK, 20, 50}, {WM_RBUTTONDOWN, 80, 50}},
         {{BKNM_MOUSEHOVER, 10, "(null)"}, {BKNM_MOUSELEAVE, 10, "(null)"}, {BKNM_LBUTTONDBLCLK, 10, "dlg"},
          {BKNM_RBUTTONDOWN, 11, "(null)"}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.notes.clear();
        for (const Step& s : c.steps) Mouse(s.msg, s.x, s.y);
        EXPECT_EQ(dlg.notes, c.notes);
        for (UINT id : {10u, 11u, 12u}) {
            EXPECT_FALSE(StateOf(id) & BKSTATE_PUSHED) << id;
            EXPECT_EQ((StateOf(id) & BKSTATE_HOVER) != 0, id == c.hovered) << id;
        }
        Mouse(WM_MOUSELEAVE, 0, 0);
    }

    // A disabled control is reported but never hovered or pressed.
    ASSERT_TRUE(dlg.EnableItem(12, FALSE));
    dlg.notes.clear();
    Mouse(WM_MOUSEMOVE, 140, 50);
    Mouse(WM_LBUTTONDOWN, 140, 50);
    Mouse(WM_LBUTTONUP, 140, 50);
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSEHOVER, 12, "(null)"}, {BKNM_LBUTTONUP, 0, "(null)"}}));
    EXPECT_EQ(StateOf(12) & (BKSTATE_PUSHED | BKSTATE_HOVER), 0u);

    // A press on a header area that is no clickable control moves the window.
    dlg.notes.clear();
    Mouse(WM_LBUTTONDOWN, 20, 10);
    EXPECT_TRUE(dlg.notes.empty());
    EXPECT_EQ(dlg.sysCommands, (std::vector<WPARAM>{0xF012}));
}

// The pointer goes straight from a control onto a real window: one laid over
// the view (a sibling, as the search edit is) or one inside it. The system
// asks the window under the pointer for its cursor, and an edit passes that
// question to its parent first; the view itself sees no mouse message.
TEST_F(ViewTest, PointerOntoARealWindowDropsTheHover) {
    struct Case { const char* name; bool insideView; };
    for (const Case& c : {Case{"sibling over the view", false}, Case{"child of the view", true}}) {
        SCOPED_TRACE(c.name);
        HWND parent = c.insideView ? view : dlg.Handle();
        HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 70, 40, 50, 30, parent, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit, nullptr);
        if (!c.insideView) ::SetWindowPos(edit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

        Mouse(WM_MOUSEMOVE, 20, 50);
        ASSERT_TRUE(StateOf(10) & BKSTATE_HOVER);
        // The view's own cursor question keeps the hover.
        ::SendMessageW(view, WM_SETCURSOR, reinterpret_cast<WPARAM>(view), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        ASSERT_TRUE(StateOf(10) & BKSTATE_HOVER);

        dlg.notes.clear();
        ::SendMessageW(edit, WM_SETCURSOR, reinterpret_cast<WPARAM>(edit), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(StateOf(10) & BKSTATE_HOVER, 0u);
        EXPECT_EQ(dlg.GetViewControl().GetHoverControl(), 0u);
        EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSELEAVE, 10, "(null)"}}));
        // The edit keeps its own cursor: the view set none for it.
        EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_IBEAM));

        // Back on the view, the control under the pointer is hovered again.
        dlg.notes.clear();
        Mouse(WM_MOUSEMOVE, 20, 50);
        EXPECT_TRUE(StateOf(10) & BKSTATE_HOVER);
        EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSEHOVER, 10, "(null)"}}));
        Mouse(WM_MOUSELEAVE, 0, 0);
        ::DestroyWindow(edit);
    }
}

// An owned popup over the view (the search edit is one) passes nothing to
// the view, and the view may be told nothing either: while a control is
// hovered the view checks the window under the pointer.
TEST_F(ViewTest, PointerOntoAPopupOverTheViewDropsTheHover) {
    RECT rcView = {};
    ASSERT_TRUE(::GetWindowRect(view, &rcView));
    HWND popup = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"EDIT", L"",
                                   WS_POPUP | WS_VISIBLE, rcView.left + 70, rcView.top + 40, 50, 30, dlg.Handle(),
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(popup, nullptr);

    // Over the hovered control: the hover stays.
    ASSERT_TRUE(::SetCursorPos(rcView.left + 20, rcView.top + 50));
    Mouse(WM_MOUSEMOVE, 20, 50);
    ASSERT_TRUE(StateOf(10) & BKSTATE_HOVER);
    ASSERT_EQ(::WindowFromPoint(POINT{rcView.left + 20, rcView.top + 50}), view);
    dlg.GetViewControl().CheckHoverUnderPointer();
    EXPECT_TRUE(StateOf(10) & BKSTATE_HOVER);

    // Straight onto the popup: no message reaches the view, the check drops it.
    dlg.notes.clear();
    ASSERT_TRUE(::SetCursorPos(rcView.left + 90, rcView.top + 50));
    ASSERT_EQ(::WindowFromPoint(POINT{rcView.left + 90, rcView.top + 50}), popup);
    dlg.GetViewControl().CheckHoverUnderPointer();
    EXPECT_EQ(StateOf(10) & BKSTATE_HOVER, 0u);
    EXPECT_EQ(StateOf(11) & BKSTATE_HOVER, 0u);
    EXPECT_EQ(dlg.GetViewControl().GetHoverControl(), 0u);
    EXPECT_EQ(dlg.notes, (std::vector<Notified>{{BKNM_MOUSELEAVE, 10, "(null)"}}));
    ::DestroyWindow(popup);
}

TEST_F(ViewTest, HandlerMayReloadTheControlsOrDestroyTheWindow) {
    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_LBUTTONDOWN)
            dlg.GetViewControl().XmlLoad("<layer><body><dlg id=\"40\" pos=\"0,0,10,10\"/></body></layer>");
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

    dlg.onNotify = [&](const Notified& n) {
        if (n.code == BKNM_LBUTTONUP) dlg.DestroyWindow();
    };
    dlg.notes.clear();
    Mouse(WM_MOUSEMOVE, 5, 5);
    Mouse(WM_LBUTTONDOWN, 5, 5);
    Mouse(WM_LBUTTONUP, 5, 5);
    EXPECT_FALSE(::IsWindow(view));
    ASSERT_FALSE(dlg.notes.empty());
    EXPECT_EQ(dlg.notes.back().code, static_cast<UINT>(BKNM_LBUTTONUP));
}

TEST_F(ViewTest, DirtyRectanglesUnitePaintOnceAndDrawIntoATargetOtherNotificationsGoOn) {
    CBkDialogView& v = dlg.GetViewControl();
    ::UpdateWindow(view);
    EXPECT_FALSE(v.IsDirty());
    BKNMINVALIDATERECT nm = {};
    nm.hdr = {view, IDC_BKVIEW, static_cast<UINT>(BKNM_INVALIDATERECT)};
    nm.rect = RECT{10, 10, 20, 20};
    ::SendMessageW(view, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
    nm.rect = RECT{50, 60, 70, 90};
    ::SendMessageW(view, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&nm));
    EXPECT_TRUE(dlg.notes.empty());   // not passed on to the parent
    ASSERT_NE(v.GetPendingRegion(), nullptr);
    RECT box = {};
    ::GetRgnBox(v.GetPendingRegion(), &box);
    EXPECT_EQ(box, Rect(10, 10, 70, 90));
    ::UpdateWindow(view);
    EXPECT_FALSE(v.IsDirty());
    EXPECT_EQ(v.GetPendingRegion(), nullptr);

    BKNMCOMMAND other = {};
    other.hdr = {view, IDC_BKVIEW, static_cast<UINT>(BKNM_CTRLNOTIFY)};
    ::SendMessageW(view, WM_NOTIFY, IDC_BKVIEW, reinterpret_cast<LPARAM>(&other));
    ASSERT_EQ(dlg.notes.size(), 1u);
    EXPECT_EQ(dlg.notes[0].code, static_cast<UINT>(BKNM_CTRLNOTIFY));

    // Printing and the dirty region draw the controls into a target.
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    Canvas printed(300, 200, blue);
    ::SendMessageW(view, WM_PRINT, reinterpret_cast<WPARAM>(printed.dc()), PRF_CLIENT);
    EXPECT_EQ(printed.At(30, 55), red);   // control 10, "crbg" ff0000
    EXPECT_NE(printed.At(90, 55), red);   // control 11 has no background
    Canvas layered(300, 200, blue);
    v.RequestFullRepaint();
    v.DrawDirtyRegion(layered.dc());
    EXPECT_EQ(layered.At(30, 55), red);
    EXPECT_FALSE(v.IsDirty());
    Canvas second(300, 200, blue);
    v.DrawDirtyRegion(second.dc());   // nothing pending: nothing drawn
    EXPECT_EQ(second.At(30, 55), blue);
    v.AddDirtyRect(RECT{10, 40, 20, 50});
    v.DrawDirtyRegion(second.dc());   // only the pending rectangle
    EXPECT_EQ(second.At(15, 45), red);
    EXPECT_EQ(second.At(40, 55), blue);

    // With a colour key, keyed pixels leave the target alone.
    TestDlg keyed("<layer width=\"100\" height=\"100\" noborder=\"1\"><body>"
                  "<dlg pos=\"0,0,-0,-0\" crbg=\"ff00ff\"><dlg pos=\"10,10,20,20\" crbg=\"00ff00\"/></dlg></body></layer>");
    ASSERT_NE(keyed.Create(nullptr), nullptr);
    keyed.GetViewControl().SetBlitMode(CBkDialogView::BLIT_COLORKEY, RGB(255, 0, 255));
    Canvas target(100, 100, blue);
    ::SendMessageW(keyed.GetViewControl().Handle(), WM_PRINT, reinterpret_cast<WPARAM>(target.dc()), PRF_CLIENT);
    EXPECT_EQ(target.At(50, 50), blue);
    EXPECT_EQ(target.At(15, 15), RGB(0, 255, 0));
}

TEST_F(ViewTest, ItemAccessorsHiddenItemsAreNotHitAndTheTooltipFollowsTheHover) {
    EXPECT_TRUE(dlg.SetItemIntAttribute(11, "crbg", 0));   // attribute set at run time
    EXPECT_TRUE(dlg.GetViewControl().IsDirty());
    ASSERT_TRUE(dlg.SetItemVisible(30, FALSE));
    dlg.notes.clear();
    ::SendMessageW(view, WM_RBUTTONDOWN, 0, MAKELPARAM(5, 190));   // through to the footer
    ASSERT_EQ(dlg.notes.size(), 1u);
    EXPECT_EQ(dlg.notes[0].item, 0u);
    // The tooltip follows the hovered control.
    auto tipAt = [&](int x) {
        Mouse(WM_MOUSEMOVE, x, 50);
        wchar_t buf[64] = {};
        TOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.hwnd = view;
        ti.uId = reinterpret_cast<UINT_PTR>(view);
        ti.lpszText = buf;
        ::SendMessageW(dlg.GetViewControl().GetToolTip(), TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&ti));
        return std::wstring(buf);
    };
    EXPECT_EQ(tipAt(90), L"提示一");
    EXPECT_EQ(tipAt(20), L"");
}

TEST(BkWinManager, FirstManagerIsGlobalAndKeepsTheRegisteredWindow) {
    EXPECT_EQ(BkWinManager::SetActive(reinterpret_cast<HWND>(1)), nullptr);   // no manager: nothing kept
    {
        BkWinManager first;
        BkWinManager().GetInstance();   // a second manager neither takes over nor clears the first
        EXPECT_EQ(BkWinManager::GetInstance(), &first);
        EXPECT_EQ(BkWinManager::SetActive(reinterpret_cast<HWND>(0x10)), nullptr);
        EXPECT_EQ(BkWinManager::SetActive(nullptr), reinterpret_cast<HWND>(0x10));
    }
    EXPECT_EQ(BkWinManager::GetInstance(), nullptr);
}

TEST(View, DragAndMaximiseFollowTheLayoutFlags) {
    TestDlg fixed("<layer width=\"200\" height=\"100\" nomove=\"1\"><header height=\"20\"/><body/></layer>");
    TestDlg sizable("<layer width=\"200\" height=\"100\" resize=\"1\"><header height=\"20\"/><body/></layer>");
    TestDlg parent;
    TestDlg child("<layer child=\"1\" width=\"50\" height=\"40\"><body/></layer>");
    for (TestDlg* dlg : {&fixed, &sizable, &parent}) ASSERT_NE(dlg->Create(nullptr), nullptr);
    ASSERT_NE(child.Create(parent.Handle()), nullptr);
    for (TestDlg* dlg : {&fixed, &sizable, &child}) {
        HWND view = dlg->GetViewControl().Handle();
        ::SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        ::SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    }
    EXPECT_TRUE(fixed.sysCommands.empty());   // neither movable nor resizable
    EXPECT_TRUE(child.sysCommands.empty());   // a child layout never drags anything
    EXPECT_EQ(sizable.sysCommands, (std::vector<WPARAM>{0xF012, 0xF032}));
    EXPECT_TRUE(sizable.notes.empty());
    // A double click in the body is reported, not turned into a maximise.
    ::SendMessageW(sizable.GetViewControl().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 50));
    ASSERT_EQ(sizable.notes.size(), 1u);
    EXPECT_EQ(sizable.notes[0].code, static_cast<UINT>(BKNM_LBUTTONDBLCLK));

    // Child layouts get no shadow and no popup style, and go with their parent.
    EXPECT_TRUE(child.GetStyle() & WS_CHILD);
    EXPECT_FALSE(child.GetStyle() & WS_POPUP);
    EXPECT_EQ(child.GetShadow().GetShadowWindow(), nullptr);
    parent.DestroyWindow();
    EXPECT_FALSE(child.IsWindow());
}

TEST(View, SizeRulesMinimumHoldSizeAndMaximise) {
    TestDlg minimum("<layer min_width=\"120\" min_height=\"80\" noborder=\"1\"><body/></layer>");
    RECT rc = {30, 40, 60, 70};
    ASSERT_NE(minimum.Create(nullptr, rc), nullptr);
    EXPECT_EQ(minimum.GetWindowRect(), Rect(30, 40, 150, 120));
    minimum.SetWindowPos(nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_GE(minimum.GetClientRect().right, 120);
    EXPECT_GE(minimum.GetClientRect().bottom, 80);

    TestDlg held("<layer width=\"200\" height=\"100\" holdsize=\"1\" noborder=\"1\"><body/></layer>");
    ASSERT_NE(held.Create(nullptr), nullptr);
    held.SetWindowPos(nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT heldRect = held.GetWindowRect();
    EXPECT_EQ(heldRect, Rect(heldRect.left, heldRect.top, heldRect.left + 200, heldRect.top + 100));

    // Maximising a fixed layout centres it; a resizable one fills the work area.
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    TestDlg fixed;
    TestDlg sizable("<layer width=\"200\" height=\"100\" resize=\"1\" noborder=\"1\"><body/></layer>");
    for (TestDlg* dlg : {&fixed, &sizable}) ASSERT_NE(dlg->Create(nullptr), nullptr);
    fixed.SetWindowPos(nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(fixed.Handle(), SW_MAXIMIZE);
    ::ShowWindow(sizable.Handle(), SW_MAXIMIZE);
    testing_support::PumpMessages(50);
    EXPECT_FALSE(fixed.GetStyle() & WS_MAXIMIZE);
    RECT fixedRect = fixed.GetWindowRect();
    EXPECT_EQ(fixedRect.right - fixedRect.left, 300);
    EXPECT_NEAR((fixedRect.left + fixedRect.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_EQ(sizable.GetWindowRect(), work);
    EXPECT_EQ(sizable.GetViewControl().GetClientRect(), Rect(0, 0, work.right - work.left, work.bottom - work.top));
}

TEST_F(ViewTest, TheDialogShadowFollowsTheWindow) {
    dlg.SetWindowPos(nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND shadow = dlg.GetShadow().GetShadowWindow();
    // The view's first paint shows the shadow.
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }, 3000));
    EXPECT_EQ(platform::Window(shadow).GetWindowRect(), Rect(196, 146, 504, 354));
    // A drag hides it until the move ends.
    RECT moving = dlg.GetWindowRect();
    ::SendMessageW(dlg.Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&moving));
    EXPECT_FALSE(::IsWindowVisible(shadow));
    dlg.SetWindowPos(nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(dlg.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(::IsWindowVisible(shadow));
    EXPECT_EQ(platform::Window(shadow).GetWindowRect(), Rect(6, 16, 314, 224));
}

TEST_F(ViewTest, FocusGoesThroughTheViewToItsFirstTabItem) {
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 40, 80, 20, view,
                                  reinterpret_cast<HMENU>(501), nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    ::SetFocus(dlg.Handle());
    EXPECT_EQ(::GetFocus(), edit);
    ::DestroyWindow(edit);
    ::SetFocus(dlg.Handle());
    EXPECT_EQ(::GetFocus(), view);   // no tab item: the view keeps it
}

TEST(View, ClicksIntoAWindowThatTakesNoActivationLeaveItWithTheWorkingWindow) {
    // The drop-down of a bar: clicks choose in it, while the bar keeps the
    // activation and the keyboard (and a window manager never manages it).
    TestDlg bar;
    TestDlg dropDown(
        "<layer width=\"200\" height=\"100\" noborder=\"1\" noactivate=\"1\"><header height=\"20\"/>"
        "<body><dlg id=\"10\" pos=\"10,10,60,40\"/></body></layer>");
    ASSERT_NE(bar.Create(nullptr), nullptr);
    ASSERT_NE(dropDown.Create(nullptr), nullptr);
    bar.ShowWindow(SW_SHOW);
    ASSERT_TRUE(::SetForegroundWindow(bar.Handle()));
    ::SetActiveWindow(bar.Handle());
    ASSERT_EQ(::GetActiveWindow(), bar.Handle());
    ::SetWindowPos(dropDown.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    const HWND focus = ::GetFocus();

    HWND view = dropDown.GetViewControl().Handle();
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}) {
        for (LPARAM at : {MAKELPARAM(20, 40), MAKELPARAM(5, 5)}) {   // a control in the body, the header
            ::SendMessageW(view, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
            EXPECT_EQ(::GetActiveWindow(), bar.Handle()) << msg;
            EXPECT_EQ(::GetFocus(), focus) << msg;
        }
    }
    // The click still chose: the control's command reached the window.
    bool commanded = false;
    for (const Notified& n : dropDown.notes) commanded = commanded || (n.code == static_cast<UINT>(BKNM_COMMAND) && n.item == 10);
    EXPECT_TRUE(commanded);
    // An ordinary window still takes the keyboard with a click.
    ::SetFocus(nullptr);
    ::SendMessageW(bar.GetViewControl().Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 100));
    EXPECT_EQ(::GetFocus(), bar.GetViewControl().Handle());
}
