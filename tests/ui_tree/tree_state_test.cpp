#include <gtest/gtest.h>

#include <tinyxml.h>
#include <vector>

#include "tests/ui_tree/tree_helpers.h"
#include "ui/bknotify.h"

using tree_test::LoadTree;
using tree_test::Rect;

namespace {

// A leaf as the element table's controls are: the base behaviour under an
// element name of its own.
class LeafWnd : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("leaf")
public:
    std::vector<DWORD> broadcasts;
    int mouseMoves = 0;
    void Broadcast(DWORD a, DWORD, DWORD) override { broadcasts.push_back(a); }
    BOOL HandleMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override {
        if (uMsg == WM_MOUSEMOVE) ++mouseMoves;
        return CBkWindow::HandleMessage(hWnd, uMsg, wParam, lParam, lResult);
    }
};

// Stand-in for the real-window placeholder: only its element name matters to
// the container.
class RealWndStandIn : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("realwnd")
};

CBkWindow* LoadInto(tree_test::TestDialog* parent, CBkWindow* child, const char* xml) {
    TiXmlDocument doc;
    doc.Parse(xml);
    parent->Adopt(child);
    child->Load(doc.RootElement());
    parent->RepositionChild(child);
    return child;
}

const char kHitLayout[] =
    "<dlg pos=\"0,0,-0,-0\">"
    "<dlg id=\"1\" pos=\"10,10,110,110\" float=\"1\"/>"  // position given: not floating
    "<dlg id=\"2\" width=\"100\" height=\"100\" float=\"1\"/>"
    "<dlg id=\"3\" pos=\"0,0,200,200\"/>"
    "<dlg id=\"4\" pos=\"150,150,250,250\" transparent=\"1\"/>"
    "<dlg id=\"5\" pos=\"300,0,400,100\" onlydrawchild=\"1\"><dlg id=\"6\" pos=\"0,0,-0,-0\"/></dlg>"
    "<dlg id=\"7\" pos=\"300,150,400,250\"><dlg id=\"8\" pos=\"0,0,50,50\" show=\"0\"/></dlg>"
    "</dlg>";

HBKWND HandleOf(CBkDialog* root, UINT id) {
    CBkWindow* w = root->FindChildByCmdID(id);
    return w ? w->GetBkHwnd() : 0;
}

} // namespace

TEST(TreeHitTest, FloatingChildWinsAlthoughEarlierInTheDocument) {
    auto root = LoadTree(kHitLayout);
    ASSERT_NE(root, nullptr);
    // Child 2 floats at the inner top-left (0,0)-(100,100), under child 3 in
    // document order; the later child 3 still loses.
    EXPECT_EQ(root->HitTest(50, 50, TRUE), HandleOf(root.get(), 2));
    // Outside the floating child the last in-flow child that contains the point.
    EXPECT_EQ(root->HitTest(150, 50, TRUE), HandleOf(root.get(), 3));
    // Hidden floating child: the point goes to the next candidate.
    root->FindChildByCmdID(2)->ModifyState(BKSTATE_HIDDEN, 0);
    EXPECT_EQ(root->HitTest(50, 50, TRUE), HandleOf(root.get(), 3));
}

TEST(TreeHitTest, TransparentChildrenAreSkipped) {
    auto root = LoadTree(kHitLayout);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->HitTest(160, 160, TRUE), HandleOf(root.get(), 3));
    EXPECT_EQ(root->HitTest(240, 240, TRUE), root->GetBkHwnd());
}

TEST(TreeHitTest, OnlyDrawChildContainerAnswersForItsChildren) {
    auto root = LoadTree(kHitLayout);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->HitTest(350, 50, TRUE), HandleOf(root.get(), 5));
    CBkWindow* inner = root->FindChildByCmdID(6);
    EXPECT_EQ(inner->GetRect(), Rect(300, 0, 400, 100));
    // A container without the flag answers itself when no visible child hits.
    EXPECT_EQ(root->HitTest(320, 170, TRUE), HandleOf(root.get(), 7));
    EXPECT_EQ(root->HitTest(500, 500, TRUE), 0u);
}

TEST(TreeState, HiddenAndDisabledFollowTheAncestors) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"1\" pos=\"0,0,-0,-0\"><dlg id=\"2\" pos=\"0,0\"><dlg id=\"3\" pos=\"0,0\"/></dlg></dlg>"
        "<dlg id=\"4\" show=\"0\" pos=\"0,0\"/>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* mid = root->FindChildByCmdID(2);
    CBkWindow* leaf = root->FindChildByCmdID(3);
    EXPECT_FALSE(root->FindChildByCmdID(4)->IsVisible(TRUE));
    EXPECT_TRUE(leaf->IsVisible(TRUE));

    root->FindChildByCmdID(1)->ModifyState(BKSTATE_HIDDEN, 0);
    EXPECT_FALSE(leaf->IsVisible(TRUE));
    EXPECT_TRUE(leaf->IsVisible(FALSE));
    // Clearing the child's own bit does not make it visible under a hidden parent.
    leaf->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_FALSE(leaf->IsVisible(TRUE));
    root->FindChildByCmdID(1)->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_TRUE(leaf->IsVisible(TRUE));

    EXPECT_FALSE(leaf->IsDisabled(TRUE));
    EXPECT_EQ(mid->ModifyState(BKSTATE_DISABLED | BKSTATE_CHECKED, 0), 0u);
    EXPECT_TRUE(leaf->IsDisabled(TRUE));
    EXPECT_FALSE(leaf->IsDisabled(FALSE));
    EXPECT_EQ(mid->ModifyState(BKSTATE_HOVER, BKSTATE_DISABLED), BKSTATE_DISABLED | BKSTATE_CHECKED);
    EXPECT_EQ(mid->GetState(), BKSTATE_HOVER | BKSTATE_CHECKED);
    EXPECT_FALSE(leaf->IsDisabled(TRUE));
}

TEST(TreeState, BroadcastAndMouseMovesReachTheChildrenInOrder) {
    tree_test::TestDialog root;
    root.SetAttribute("pos", "0,0,-0,-0", TRUE);
    tree_test::Place(&root, 0, 0, 200, 100);
    auto* a = static_cast<LeafWnd*>(LoadInto(&root, new LeafWnd, "<leaf pos=\"0,0,100,100\"/>"));
    auto* b = static_cast<LeafWnd*>(LoadInto(&root, new LeafWnd, "<leaf pos=\"50,0,150,100\"/>"));
    auto* hidden = static_cast<LeafWnd*>(LoadInto(&root, new LeafWnd, "<leaf pos=\"0,0,-0,-0\" show=\"0\"/>"));

    root.Broadcast(7, 0, 0);
    EXPECT_EQ(a->broadcasts, std::vector<DWORD>{7});
    EXPECT_EQ(b->broadcasts, std::vector<DWORD>{7});

    root.SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(75, 20));
    root.SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(a->mouseMoves, 2);
    EXPECT_EQ(b->mouseMoves, 1);
    EXPECT_EQ(hidden->mouseMoves, 0);
}

namespace {

// A top-level window holding a view-like child (id 1000) that records the
// control notifications it receives, and further child windows for real
// windows.
struct NotifyRecord {
    UINT_PTR idFrom;
    UINT code;
    UINT item;
    std::string cls;
    UINT event;
};
std::vector<NotifyRecord> g_notes;

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<const BKNMCTRLNOTIFY*>(lp);
        g_notes.push_back({nm->hdr.idFrom, nm->hdr.code, nm->uItemID, nm->szItemClass ? nm->szItemClass : "",
                           nm->uEvent});
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

class ViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ViewProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumsekTreeTestView";
        ::RegisterClassW(&wc);
        top = ::CreateWindowExW(0, L"STATIC", L"top", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                                wc.hInstance, nullptr);
        ASSERT_NE(top, nullptr);
        view = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, top,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000)), wc.hInstance, nullptr);
        ASSERT_NE(view, nullptr);
        g_notes.clear();
    }
    void TearDown() override {
        if (top) ::DestroyWindow(top);
    }
    HWND MakeReal(int id) {
        return ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, view,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                 nullptr);
    }
    HWND top = nullptr;
    HWND view = nullptr;
};

} // namespace

TEST_F(ViewWindow, NotifyMaskReportsEntryOncePerVisitAndLeave) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"31\" pos=\"0,0,50,50\" notify=\"3\"/>"
        "<dlg id=\"32\" pos=\"0,0,50,50\" notify=\"2\"/>"
        "<dlg id=\"33\" pos=\"0,0,50,50\"/>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    root->SetContainer(view);
    CBkWindow* both = root->FindChildByCmdID(31);
    both->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    both->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
    both->SendMessageToSelf(WM_MOUSELEAVE);
    both->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(6, 5));
    ASSERT_EQ(g_notes.size(), 3u);
    EXPECT_EQ(g_notes[0].idFrom, 1000u);
    EXPECT_EQ(g_notes[0].code, static_cast<UINT>(BKNM_CTRLNOTIFY));
    EXPECT_EQ(g_notes[0].item, 31u);
    EXPECT_EQ(g_notes[0].cls, "wnd");
    EXPECT_EQ(g_notes[0].event, 3u);
    EXPECT_EQ(g_notes[1].event, 4u);
    EXPECT_EQ(g_notes[2].event, 3u);

    g_notes.clear();
    CBkWindow* leaveOnly = root->FindChildByCmdID(32);
    leaveOnly->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    leaveOnly->SendMessageToSelf(WM_MOUSELEAVE);
    root->FindChildByCmdID(33)->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    root->FindChildByCmdID(33)->SendMessageToSelf(WM_MOUSELEAVE);
    ASSERT_EQ(g_notes.size(), 1u);
    EXPECT_EQ(g_notes[0].item, 32u);
    EXPECT_EQ(g_notes[0].event, 4u);
}

TEST_F(ViewWindow, ContainerReportsItsOwnEntryAndPassesTheMoveOn) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"41\" pos=\"0,0,100,100\" notify=\"3\"><dlg id=\"42\" pos=\"0,0,50,50\" notify=\"1\"/></dlg>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    root->SetContainer(view);
    CBkWindow* panel = root->FindChildByCmdID(41);
    panel->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(70, 70));
    panel->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    panel->SendMessageToSelf(WM_MOUSELEAVE);
    ASSERT_EQ(g_notes.size(), 3u);
    EXPECT_EQ(g_notes[0].item, 41u);
    EXPECT_EQ(g_notes[0].event, 3u);
    EXPECT_EQ(g_notes[1].item, 42u);
    EXPECT_EQ(g_notes[1].event, 3u);
    EXPECT_EQ(g_notes[2].item, 41u);
    EXPECT_EQ(g_notes[2].event, 4u);
}

TEST_F(ViewWindow, RealWindowsFollowTheirContainersVisibility) {
    HWND realA = MakeReal(501);
    HWND realB = MakeReal(502);
    ASSERT_NE(realA, nullptr);
    ASSERT_NE(realB, nullptr);

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

    // Showing the panel under a hidden ancestor leaves the window hidden.
    outer.ModifyState(BKSTATE_HIDDEN, 0);
    panel->SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_FALSE(panel->GetState() & BKSTATE_HIDDEN);
    EXPECT_FALSE(::IsWindowVisible(realA));

    outer.SendMessageToSelf(WM_SHOWWINDOW, TRUE);
    EXPECT_TRUE(::IsWindowVisible(realA));
    EXPECT_FALSE(::IsWindowVisible(realB));
}

TEST(TreeState, RedrawOnStateChangeFollowsTheStyle) {
    tree_test::SetStyles(
        "<style>"
        "<class name=\"plain\" crtext=\"102030\"/>"
        "<class name=\"hover\" crhover=\"102030\"/>"
        "<class name=\"hoverbg\" crbghover=\"102030\"/>"
        "<class name=\"hoverfont\" hoverfont=\"0004\"/>"
        "</style>");
    CBkDialog d;
    d.SetAttribute("class", "plain", TRUE);
    EXPECT_FALSE(d.NeedsRedrawOnStateChange());
    for (const char* name : {"hover", "hoverbg", "hoverfont"}) {
        d.SetAttribute("class", name, TRUE);
        EXPECT_TRUE(d.NeedsRedrawOnStateChange()) << name;
    }
    tree_test::SetStyles("");
}
