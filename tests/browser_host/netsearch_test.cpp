#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "browser/netsearch_dlg.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"
#include "tests/browser_host/fake_browser.h"
#include "tests/support/test_support.h"
#include "tests/ui_tree/tree_helpers.h"

using testing_support::PumpMessages;
using testing_support::PumpMessagesUntil;

namespace {

// Layouts 121 and 120 as the product has them, with a title item in the
// web view so that "settitle" has something to change.
const char kPanelLayout[] =
    "<layer width='650' height='590' resize='1' noborder='1' frame='frame_dlg2'><body>"
    "<link id='1000' class='bgtext3' pos='0,0,-0,21'>web</link>"
    "<link id='1001' class='bgtext3' pos='0,-16,-0,-0'> </link>"
    "</body></layer>";
const char kViewLayout[] =
    "<layer width='608' height='497' resize='1' noborder='1'><body>"
    "<realwnd id='10000' pos='0,0,-0,-0'/><text id='100' pos='0,0,100,20'>t</text>"
    "</body></layer>";
const char kLineLayout[] = "<layer width='808' height='9' resize='1' noborder='1' frame='dragline'><body/></layer>";

// The dock as far as the panel sees it: it records WM_PANEL_RESIZE.
struct OwnerWindow {
    OwnerWindow()
        : window([this](UINT msg, WPARAM wp, LPARAM, LRESULT&) {
              if (msg == WM_PANEL_RESIZE) resizes.push_back(static_cast<int>(wp));
              return false;
          }),
          hwnd(window.hwnd()) {}
    testing_support::HookWindow window;
    HWND hwnd;
    std::vector<int> resizes;
};

class NetSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        CKIEFrame::SetDefaultControlFactory(&FakeBrowser::Create);
        panel.reset(new CNetSearchDlg);
        panel->SetOwner(owner.hwnd);
        panel->SetBottomLimit(1000);
        ASSERT_TRUE(panel->GetViewControl().XmlLoad(kPanelLayout));
        ASSERT_TRUE(panel->GetWebView().GetViewControl().XmlLoad(kViewLayout));
        ASSERT_TRUE(panel->GetDragLine().GetViewControl().XmlLoad(kLineLayout));
    }
    void TearDown() override {
        panel.reset();
        CKIEFrame::SetDefaultControlFactory(nullptr);
    }
    void CreateAt(const RECT& rc) {
        ASSERT_NE(panel->Create(::GetDesktopWindow()), nullptr);
        panel->MoveWindow(rc);
        panel->ShowWindow(SW_SHOWNA);
        PumpMessages(50);
    }
    HWND View() { return panel->GetViewControl().Handle(); }
    // A press on a strip through the view, moves as the view passes them on
    // (client coordinates), and the release.
    void Press(int x, int y) { ::SendMessageW(View(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Move(int x, int y, WPARAM keys = MK_LBUTTON) {
        ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
    }
    void Release(int x, int y) { ::SendMessageW(View(), WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    RECT PanelRect() { return panel->GetWindowRect(); }

    OwnerWindow owner;
    std::unique_ptr<CNetSearchDlg> panel;
};

TEST_F(NetSearchTest, WebViewIsOwnedPlacedShownAndHiddenWithThePanel) {
    panel->Navigate(L"http://search.example/?q=a");  // before the window: kept
    CreateAt(RECT{100, 200, 750, 790});
    CNetSearchCtrl& view = panel->GetWebView();
    ASSERT_TRUE(view.IsWindow());
    EXPECT_EQ(view.GetOwner(), panel->Handle());
    EXPECT_TRUE(panel->GetExStyle() & WS_EX_LAYERED);
    EXPECT_TRUE(view.IsWindowVisible());
    EXPECT_EQ(view.GetWindowRect(), (RECT{118, 222, 732, 774}));
    // Shown, the view stands directly above the panel: under it the panel's
    // skin would hide it.
    EXPECT_EQ(::GetWindow(panel->Handle(), GW_HWNDPREV), view.Handle());
    // The browser host fills the web view through its placeholder.
    HWND host = view.GetBrowserFrame().Handle();
    EXPECT_EQ(::GetParent(host), view.GetViewControl().Handle());
    EXPECT_FALSE(panel->GetDragLine().IsWindowVisible());
    EXPECT_EQ(panel->GetDragLine().GetOwner(), panel->Handle());

    panel->ShowWindow(SW_HIDE);
    EXPECT_FALSE(view.IsWindowVisible());
    panel->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    EXPECT_TRUE(view.IsWindowVisible());
    PumpMessages(50);
    EXPECT_EQ(::GetWindow(panel->Handle(), GW_HWNDPREV), view.Handle());
    panel->MoveWindow(RECT{0, 100, 650, 690});
    EXPECT_EQ(view.GetWindowRect(), (RECT{18, 122, 632, 674}));

    // The search asked for first is the one navigated to, not the home page.
    ASSERT_TRUE(PumpMessagesUntil([] { return FakeBrowser::Log().navigations.size() == 2; }, 3000));
    EXPECT_EQ(FakeBrowser::Log().navigations[1], L"http://search.example/?q=a");
    EXPECT_EQ(view.GetBrowserFrame().GetErrorUrl(), CKIEFrame::ResourcePageUrl(IDR_PAGE_ERROR));
}

TEST_F(NetSearchTest, ScriptReachesSetTitleThroughWindowExternal) {
    CreateAt(RECT{100, 200, 750, 790});
    ASSERT_TRUE(PumpMessagesUntil([] { return FakeBrowser::Log().navigations.size() == 2; }, 3000));
    EXPECT_EQ(FakeBrowser::Log().navigations[1], kNetSearchHomeUrl);
    IDocHostUIHandler* handler = nullptr;
    ASSERT_EQ(FakeBrowser::Log().site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)), S_OK);
    IDispatch* external = nullptr;
    ASSERT_EQ(handler->GetExternal(&external), S_OK);
    handler->Release();

    VARIANT args[3];
    const wchar_t* texts[3] = {L"{\"wndtitle\":\"\u7f51\u9875\"}", L"settitle", L"kieframe"};
    for (int i = 0; i < 3; ++i) {
        V_VT(&args[i]) = VT_BSTR;
        V_BSTR(&args[i]) = ::SysAllocString(texts[i]);
    }
    DISPPARAMS params = {args, nullptr, 3, 0};
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(external->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
    EXPECT_TRUE(V_VT(&result) == VT_BSTR && ::SysStringLen(V_BSTR(&result)) == 0);
    ::VariantClear(&result);
    CBkWindow* title = panel->GetWebView().GetViewControl().FindControl(IDC_NETSEARCH_TITLE);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetInnerText(), L"\u7f51\u9875");
    for (VARIANT& v : args) ::VariantClear(&v);
    external->Release();

    // Gone with the panel: every reference dropped, the sink disconnected.
    panel->DestroyPanel();
    EXPECT_FALSE(panel->GetWebView().IsWindow());
    EXPECT_TRUE(FakeBrowser::Log().destroyed);
    EXPECT_EQ(FakeBrowser::Log().unadvised, 1);
    EXPECT_EQ(ksOleClientSite::LiveCount(), 0);
}

TEST_F(NetSearchTest, TopEdgeDragResizesAndReportsTheNewTop) {
    CreateAt(RECT{100, 200, 750, 790});
    panel->UpdateLayout(120);
    Press(300, 10);
    Move(300, 10);  // the first move only shows the line at the edge
    EXPECT_TRUE(panel->GetDragLine().IsWindowVisible());
    EXPECT_EQ(panel->GetDragLine().GetWindowRect(), (RECT{108, 200, 742, 204}));
    Move(300, -40);
    EXPECT_EQ(panel->GetDragLine().GetWindowRect(), (RECT{108, 150, 742, 154}));
    Move(300, -200);  // above the top limit: refused, the last place stays
    EXPECT_EQ(panel->GetDragLine().GetWindowRect(), (RECT{108, 150, 742, 154}));
    Release(300, -200);
    EXPECT_EQ(PanelRect(), (RECT{100, 150, 750, 790}));
    EXPECT_EQ(owner.resizes, std::vector<int>{150});
    EXPECT_FALSE(panel->GetDragLine().IsWindowVisible());
    EXPECT_EQ(panel->GetWebView().GetWindowRect(), (RECT{118, 172, 732, 774}));
}

TEST_F(NetSearchTest, RefusedDragsClicksAndLostPressesChangeNothing) {
    CreateAt(RECT{100, 200, 750, 790});
    panel->UpdateLayout(0);
    const RECT start = PanelRect();
    // Below 56 px: every move refused, so the release changes nothing.
    Press(300, 10);
    Move(300, 10);
    Move(300, 560);
    Release(300, 560);
    // Bottom edge beyond the lower limit.
    Press(300, 585);
    Move(300, 585);
    Move(300, 800);
    Release(300, 800);
    // A click without moving.
    Press(300, 10);
    Release(300, 10);
    EXPECT_EQ(PanelRect(), start);
    EXPECT_TRUE(owner.resizes.empty());

    // The press lost elsewhere (a move without the button, or the mouse
    // leaving) cancels the drag; the next drag starts from its own press.
    Press(300, 10);
    Move(300, 10);
    Move(300, 0);
    Move(300, -10, 0);
    Release(300, -10);
    EXPECT_TRUE(owner.resizes.empty());
    Press(300, 585);
    Move(300, 585);
    Move(300, 595);
    ::SendMessageW(panel->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(panel->GetDragLine().IsWindowVisible());
    Release(300, 595);
    EXPECT_EQ(PanelRect(), start);
    Press(300, 585);
    Move(300, 585);
    Move(300, 565);  // the bottom edge up by 20
    Release(300, 565);
    EXPECT_EQ(PanelRect(), (RECT{100, 200, 750, 770}));
    EXPECT_EQ(owner.resizes, std::vector<int>{200});
}

TEST(NetSearchProduct, ProgramLayoutsGiveTheStripsAndTheBrowserPlace) {
    // The program's own layouts 121, 120 and 123, tables and all.
    BkString::Load();
    BkStyle::LoadStyles();
    BkSkin::LoadSkins();
    CKIEFrame::SetDefaultControlFactory(&FakeBrowser::Create);
    {
        CNetSearchDlg panel;
        ASSERT_NE(panel.Create(::GetDesktopWindow()), nullptr);
        EXPECT_FALSE(panel.IsWindowVisible());
        panel.MoveWindow(RECT{100, 100, 750, 690});
        panel.ShowWindow(SW_SHOWNA);
        CBkWindow* top = panel.GetViewControl().FindControl(IDC_NETSEARCH_TOP_EDGE);
        CBkWindow* bottom = panel.GetViewControl().FindControl(IDC_NETSEARCH_BOTTOM_EDGE);
        ASSERT_TRUE(top != nullptr && bottom != nullptr);
        EXPECT_NE(top->GetInnerText().find(L"\u7f51\u7edc\u8d44\u6e90"), std::wstring::npos);  // 网络资源
        EXPECT_EQ(bottom->GetRect().bottom, 590 - 6);
        EXPECT_EQ(panel.GetWindowText(), L"\u7f51\u7edc\u8d44\u6e90");  // named after the strip
        CNetSearchCtrl& view = panel.GetWebView();
        ASSERT_TRUE(view.IsWindow());
        EXPECT_EQ(view.GetWindowRect(), (RECT{118, 122, 732, 674}));
        // The browser host fills the web view through its placeholder.
        RECT host = view.GetBrowserFrame().GetWindowRect();
        EXPECT_EQ(host, view.GetWindowRect());
        EXPECT_TRUE(panel.GetDragLine().IsWindow());
        panel.DestroyPanel();
        EXPECT_EQ(ksOleClientSite::LiveCount(), 0);
    }
    CKIEFrame::SetDefaultControlFactory(nullptr);
}

} // namespace
