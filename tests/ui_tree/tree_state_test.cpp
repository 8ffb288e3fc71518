#include <gtest/gtest.h>

#include <tinyxml.h>
#include <vector>

#include "tests/ui_tree/tree_helpers.h"
#include "ui/bknotify.h"

using tree_test::LoadTree;

namespace {

// A leaf that records what its container passes on to it.
class LeafWnd : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("leaf")
public:
    std::vector<DWORD> broadcasts;
    int mouseMoves = 0;
    void Broadcast(DWORD a, DWORD, DWORD) override { broadcasts.push_back(a); }
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override {
        mouseMoves += uMsg == WM_MOUSEMOVE;
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
};

// Stand-in for the real-window placeholder: only its element name matters to the container.
class RealWndStandIn : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("realwnd")
};

template <class T>
T* LoadInto(tree_test::TestDialog* parent, T* child, const char* xml) {
    TiXmlDocument doc;
    doc.Parse(xml);
    parent->Adopt(child);
    child->Load(doc.RootElement());
    parent->RepositionChild(child);
    return child;
}

} // namespace

TEST(TreeHitTest, FloatingTransparentHiddenAndOnlyDrawChild) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"10,10,110,110\" float=\"1\"/>"   // position given: not floating
        "<dlg id=\"2\" width=\"100\" height=\"100\" float=\"1\"/><dlg id=\"3\" pos=\"0,0,200,200\"/>"
        "<dlg id=\"4\" pos=\"150,150,250,250\" transparent=\"1\"/>"
        "<dlg id=\"5\" pos=\"300,0,400,100\" onlydrawchild=\"1\"><dlg id=\"6\" pos=\"0,0,-0,-0\"/></dlg>"
        "<dlg id=\"7\" pos=\"300,150,400,250\"><dlg id=\"8\" pos=\"0,0,50,50\" show=\"0\"/></dlg></dlg>");
    ASSERT_NE(root, nullptr);
    auto at = [&](int x, int y) {
        HBKWND h = root->HitTest(x, y, TRUE);
        return h == root->GetBkHwnd() ? 99 : h ? static_cast<int>(CBkWindow::FromHandle(h)->GetCmdID()) : 0;
    };
    // Floating 2 wins over the later 3; transparent 4 is skipped; only-draw-child 5 answers for 6;
    // container 7 answers for its hidden child.
    const struct { int x, y, want; } cases[] = {
        {50, 50, 2}, {150, 50, 3}, {160, 160, 3}, {240, 240, 99}, {350, 50, 5}, {320, 170, 7}, {500, 500, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(at(c.x, c.y), c.want) << c.x << "," << c.y;
    root->FindChildByCmdID(2)->ModifyState(BKSTATE_HIDDEN, 0);
    EXPECT_EQ(at(50, 50), 3);
}

TEST(TreeState, HiddenAndDisabledFollowTheAncestorsAndChildrenGetBroadcastsAndMoves) {
    auto root = LoadTree("<dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"0,0,-0,-0\">"
                         "<dlg id=\"2\" pos=\"0,0\"><dlg id=\"3\" pos=\"0,0\"/></dlg></dlg></dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* outer = root->FindChildByCmdID(1);
    CBkWindow* mid = root->FindChildByCmdID(2);
    CBkWindow* leaf = root->FindChildByCmdID(3);
    outer->ModifyState(BKSTATE_HIDDEN, 0);
    EXPECT_FALSE(leaf->IsVisible(TRUE));
    EXPECT_TRUE(leaf->IsVisible(FALSE));
    leaf->SendMessageToSelf(WM_SHOWWINDOW, TRUE);   // its own bit does not beat a hidden parent
    EXPECT_FALSE(leaf->IsVisible(TRUE));
    outer->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_TRUE(leaf->IsVisible(TRUE));
    EXPECT_EQ(mid->ModifyState(BKSTATE_DISABLED | BKSTATE_CHECKED, 0), 0u);
    EXPECT_TRUE(leaf->IsDisabled(TRUE));
    EXPECT_FALSE(leaf->IsDisabled(FALSE));
    EXPECT_EQ(mid->ModifyState(BKSTATE_HOVER, BKSTATE_DISABLED), BKSTATE_DISABLED | BKSTATE_CHECKED);
    EXPECT_EQ(mid->GetState(), BKSTATE_HOVER | BKSTATE_CHECKED);
    EXPECT_FALSE(leaf->IsDisabled(TRUE));

    tree_test::TestDialog box;
    box.SetAttribute("pos", "0,0,-0,-0", TRUE);
    tree_test::Place(&box, 0, 0, 200, 100);
    LeafWnd* a = LoadInto(&box, new LeafWnd, "<leaf pos=\"0,0,100,100\"/>");
    LeafWnd* b = LoadInto(&box, new LeafWnd, "<leaf pos=\"50,0,150,100\"/>");
    LeafWnd* hidden = LoadInto(&box, new LeafWnd, "<leaf pos=\"0,0,-0,-0\" show=\"0\"/>");
    box.Broadcast(7, 0, 0);
    EXPECT_EQ(a->broadcasts, std::vector<DWORD>{7});
    EXPECT_EQ(b->broadcasts, std::vector<DWORD>{7});
    box.SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(75, 20));
    box.SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(std::vector<int>({a->mouseMoves, b->mouseMoves, hidden->mouseMoves}), std::vector<int>({2, 1, 0}));
}

namespace {

// A top-level window holding a view-like child (id 1000) that records the
// control notifications it receives as (item, event), or 0 for a malformed one.
std::vector<std::pair<UINT, UINT>> g_notes;

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_NOTIFY) return ::DefWindowProcW(hwnd, msg, wp, lp);
    auto* nm = reinterpret_cast<const BKNMCTRLNOTIFY*>(lp);
    const bool ok = nm->hdr.idFrom == 1000 && nm->hdr.code == static_cast<UINT>(BKNM_CTRLNOTIFY) &&
                    nm->szItemClass && std::string(nm->szItemClass) == "wnd";
    g_notes.emplace_back(ok ? nm->uItemID : 0, nm->uEvent);
    return 0;
}

class ViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ViewProc;
        wc.lpszClassName = L"LumsekTreeTestView";
        ::RegisterClassW(&wc);
        top = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        view = Child(top, wc.lpszClassName, 1000);
        ASSERT_NE(view, nullptr);
        g_notes.clear();
    }
    void TearDown() override { ::DestroyWindow(top); }
    static HWND Child(HWND parent, const wchar_t* cls, INT_PTR id) {
        return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, parent,
                                 reinterpret_cast<HMENU>(id), nullptr, nullptr);
    }
    HWND top = nullptr;
    HWND view = nullptr;
};

} // namespace

TEST_F(ViewWindow, NotifyMaskReportsEntryOncePerVisitAndLeaveThroughContainers) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\"><dlg id=\"31\" pos=\"0,0,50,50\" notify=\"3\"/>"
        "<dlg id=\"32\" pos=\"0,0,50,50\" notify=\"2\"/><dlg id=\"33\" pos=\"0,0,50,50\"/>"
        "<dlg id=\"41\" pos=\"0,0,100,100\" notify=\"3\"><dlg id=\"42\" pos=\"0,0,50,50\" notify=\"1\"/></dlg></dlg>");
    ASSERT_NE(root, nullptr);
    root->SetContainer(view);
    for (UINT id : {31u, 32u, 33u}) {
        CBkWindow* w = root->FindChildByCmdID(id);
        w->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        w->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
        w->SendMessageToSelf(WM_MOUSELEAVE);
    }
    root->FindChildByCmdID(31)->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
    // A container reports its own entry and passes the move on to its child.
    CBkWindow* panel = root->FindChildByCmdID(41);
    panel->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(70, 70));
    panel->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    panel->SendMessageToSelf(WM_MOUSELEAVE);
    EXPECT_EQ(g_notes, (std::vector<std::pair<UINT, UINT>>{{31, 3}, {31, 4}, {32, 4}, {31, 3}, {41, 3}, {42, 3}, {41, 4}}));
}

TEST_F(ViewWindow, RealWindowsFollowTheirContainersVisibility) {
    HWND realA = Child(view, L"STATIC", 501);
    HWND realB = Child(view, L"STATIC", 502);
    ASSERT_TRUE(realA && realB);
    tree_test::TestDialog outer;
    outer.SetContainer(view);
    auto* panel = static_cast<tree_test::TestDialog*>(outer.Adopt(new tree_test::TestDialog));
    LoadInto(panel, new RealWndStandIn, "<realwnd id=\"501\"/>");
    LoadInto(panel, new RealWndStandIn, "<realwnd id=\"502\" show=\"0\"/>");
    CBkContainerWnd::ShowRealWindows(&outer, TRUE);
    EXPECT_TRUE(::IsWindowVisible(realA));
    EXPECT_FALSE(::IsWindowVisible(realB)) << "a hidden placeholder keeps its window hidden";
    panel->SendMessageToSelf(WM_SHOWWINDOW, FALSE);
    EXPECT_FALSE(::IsWindowVisible(realA));
    outer.ModifyState(BKSTATE_HIDDEN, 0);   // showing the panel under a hidden ancestor: still hidden
    panel->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_FALSE(::IsWindowVisible(realA));
    outer.SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_TRUE(::IsWindowVisible(realA));
    EXPECT_FALSE(::IsWindowVisible(realB));
}
