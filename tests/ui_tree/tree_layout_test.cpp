#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <tinyxml.h>

#include "tests/ui_tree/tree_helpers.h"
#include "ui/bkstyle.h"

using tree_test::LoadTree;
using tree_test::Rect;

namespace {

class TreeLayout : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles(
            "<style>"
            "<class name=\"pad\" x-margin=\"10\" y-margin=\"4\"/>"
            "</style>");
        tree_test::SetStrings("<string><s id=\"2\">Hello</s><s id=\"5\">x</s></string>");
    }
    void TearDown() override {
        tree_test::SetStyles("");
        tree_test::SetStrings("");
    }

    static CBkWindow* Find(CBkDialog* root, UINT id) { return root->FindChildByCmdID(id); }
};

const char kPositions[] =
    "<dlg pos=\"0,0,-0,-0\" class=\"pad\">"
    "<dlg id=\"1\" pos=\"35,88\">Hi</dlg>"
    "<dlg id=\"2\" pos=\"-22,13\"/>"
    "<dlg id=\"3\" pos=\"|-10,|5\"/>"
    "<dlg id=\"4\" pos=\"1,0,-1,-1\"/>"
    "<dlg id=\"5\" pos=\"10,5,-10,19\"/>"
    "<dlg id=\"6\" pos=\"5\"/>"
    "<dlg id=\"7\" pos=\"5,6,7\"/>"
    "<dlg id=\"8\" width=\"full\" height=\"20\"/>"
    "<dlg id=\"9\" width=\"0\" height=\"full\"/>"
    "<dlg id=\"10\" width=\"50\" height=\"30\"/>"
    "<dlg id=\"11\" pos=\"|-50,0,|50,-0\"/>"
    "</dlg>";

} // namespace

TEST_F(TreeLayout, PositionsResolveAgainstTheInnerRectangle) {
    // 400 x 300 less the margins 10 and 4: inner (10, 4, 390, 296).
    auto root = LoadTree(kPositions);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetRect(), Rect(0, 0, 400, 300));

    const RECT& r1 = Find(root.get(), 1)->GetRect();
    EXPECT_EQ(r1.left, 45);
    EXPECT_EQ(r1.top, 92);
    EXPECT_GT(r1.right - r1.left, 0) << "measured text width";
    EXPECT_GT(r1.bottom - r1.top, 0) << "measured text height";

    EXPECT_EQ(Find(root.get(), 2)->GetRect(), Rect(368, 17, 368, 17));
    EXPECT_EQ(Find(root.get(), 3)->GetRect(), Rect(190, 155, 190, 155));
    EXPECT_EQ(Find(root.get(), 4)->GetRect(), Rect(11, 4, 389, 295));
    EXPECT_EQ(Find(root.get(), 5)->GetRect(), Rect(20, 9, 380, 23));
    EXPECT_EQ(Find(root.get(), 11)->GetRect(), Rect(150, 4, 250, 296));
}

TEST_F(TreeLayout, OneOrThreeItemsAreIgnoredAndTheChildLandsTopLeft) {
    auto root = LoadTree(kPositions);
    ASSERT_NE(root, nullptr);
    for (UINT id : {6u, 7u}) {
        CBkWindow* child = Find(root.get(), id);
        EXPECT_EQ(child->GetPosition().count, 0) << id;
        EXPECT_EQ(child->GetRect().left, 10) << id;
        EXPECT_EQ(child->GetRect().top, 4) << id;
    }
}

TEST_F(TreeLayout, WidthAndHeightModesWithoutPosition) {
    auto root = LoadTree(kPositions);
    ASSERT_NE(root, nullptr);
    CBkWindow* full = Find(root.get(), 8);
    EXPECT_EQ(full->GetLayoutFlags() & (BKLAYOUT_WIDTH_MASK | BKLAYOUT_HEIGHT_MASK),
              BKLAYOUT_WIDTH_FULL | BKLAYOUT_HEIGHT_FIXED);
    EXPECT_EQ(full->GetRect(), Rect(10, 4, 390, 24));

    CBkWindow* autoWidth = Find(root.get(), 9);
    EXPECT_EQ(autoWidth->GetLayoutFlags() & (BKLAYOUT_WIDTH_MASK | BKLAYOUT_HEIGHT_MASK),
              BKLAYOUT_WIDTH_AUTO | BKLAYOUT_HEIGHT_FULL);
    EXPECT_EQ(autoWidth->GetRect(), Rect(10, 4, 10, 296));

    EXPECT_EQ(Find(root.get(), 10)->GetRect(), Rect(10, 4, 60, 34));
    EXPECT_TRUE(Find(root.get(), 10)->GetLayoutFlags() & BKLAYOUT_INFLOW);
}

TEST_F(TreeLayout, NestedContainersPlaceInsideTheirParentAndFollowAMove) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"20\" pos=\"100,100,-100,-100\" class=\"pad\"><dlg id=\"21\" pos=\"5,-5\"/></dlg>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Find(root.get(), 20)->GetRect(), Rect(100, 100, 300, 200));
    EXPECT_EQ(Find(root.get(), 21)->GetRect(), Rect(115, 191, 115, 191));

    tree_test::Place(root.get(), 50, 20, 400, 300);
    EXPECT_EQ(Find(root.get(), 20)->GetRect(), Rect(150, 120, 350, 220));
    EXPECT_EQ(Find(root.get(), 21)->GetRect(), Rect(165, 211, 165, 211));
}

TEST_F(TreeLayout, CornersThatCrossInASmallParentGiveAnEmptyControl) {
    auto root = LoadTree("<dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"10,5,-10,-5\"/></dlg>", 15, 8);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->FindChildByCmdID(1)->GetRect(), Rect(10, 5, 10, 5));
}

TEST_F(TreeLayout, PosSetAfterLoadingRepositionsAtOnce) {
    auto root = LoadTree(kPositions);
    ASSERT_NE(root, nullptr);
    CBkWindow* child = Find(root.get(), 2);
    EXPECT_EQ(child->SetAttribute("pos", "50,60,-50,-60", FALSE), S_FALSE);
    EXPECT_EQ(child->GetRect(), Rect(60, 64, 340, 236));
    // While loading, the parent is not asked.
    EXPECT_EQ(child->SetAttribute("pos", "0,0", TRUE), S_FALSE);
    EXPECT_EQ(child->GetRect(), Rect(60, 64, 340, 236));
    // An empty value changes nothing.
    EXPECT_EQ(child->SetAttribute("pos", "", FALSE), S_FALSE);
    EXPECT_EQ(child->GetPosition().count, 2);
}

TEST_F(TreeLayout, InnerTextExpandsReferencesAndNewTextIsMeasured) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"1\" pos=\"35,88\">%str2% %str5%!</dlg>"
        "<dlg id=\"2\">Hello</dlg>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* text = Find(root.get(), 1);
    EXPECT_EQ(text->GetInnerText(), L"Hello x!");

    const LONG before = text->GetRect().right - text->GetRect().left;
    text->SetInnerText(L"Hello x! and a good deal more text");
    EXPECT_EQ(text->GetRect().left, 35);
    EXPECT_GT(text->GetRect().right - text->GetRect().left, before);
    text->SetInnerText(L"");
    EXPECT_EQ(text->GetRect().right, text->GetRect().left);

    // Auto size is measured at load already, before any placement.
    CBkWindow* autoSized = Find(root.get(), 2);
    EXPECT_GT(autoSized->GetRect().right - autoSized->GetRect().left, 0);
}

TEST_F(TreeLayout, DirectChildIsFoundBeforeANestedOneWithTheSameId) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"50\" pos=\"0,0,-0,-0\"><dlg id=\"60\" pos=\"1,1\"/></dlg>"
        "<dlg id=\"60\" pos=\"2,2\"/>"
        "<dlg id=\"70\" pos=\"0,0\"><dlg pos=\"0,0\"><dlg id=\"71\" pos=\"3,3\"/></dlg></dlg>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* found = root->FindChildByCmdID(60);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetParentHandle(), root->GetBkHwnd());
    EXPECT_EQ(found->GetRect().left, 2);
    ASSERT_NE(root->FindChildByCmdID(71), nullptr);
    EXPECT_EQ(root->FindChildByCmdID(71)->GetRect().left, 3);
    EXPECT_EQ(root->FindChildByCmdID(999), nullptr);
}

TEST_F(TreeLayout, UnknownElementsAreSkippedWithTheirSubtree) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<br id=\"40\"><dlg id=\"41\"/></br>"
        "<Dlg id=\"42\"/>"
        "<texts id=\"43\">no such element</texts>"
        "<dlg id=\"44\"/>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetChildCount(), 1u);
    EXPECT_EQ(root->FindChildByCmdID(41), nullptr);
    EXPECT_EQ(root->FindChildByCmdID(42), nullptr);
    EXPECT_NE(root->FindChildByCmdID(44), nullptr);
    EXPECT_EQ(CBkDialog::CreateChildByName("dlgx"), nullptr);
    EXPECT_EQ(CBkDialog::CreateChildByName(nullptr), nullptr);
}

TEST_F(TreeLayout, ReloadFreesTheOldChildren) {
    auto root = LoadTree(kPositions);
    ASSERT_NE(root, nullptr);
    std::vector<HBKWND> old;
    for (UINT id : {1u, 4u, 11u}) old.push_back(root->FindChildByCmdID(id)->GetBkHwnd());
    for (HBKWND h : old) ASSERT_NE(CBkWindow::FromHandle(h), nullptr);

    TiXmlDocument doc;
    doc.Parse("<x><dlg id=\"90\"/><dlg id=\"91\"><dlg id=\"92\"/></dlg></x>");
    ASSERT_TRUE(root->LoadChilds(doc.RootElement()->FirstChildElement()));
    for (HBKWND h : old) EXPECT_EQ(CBkWindow::FromHandle(h), nullptr);
    EXPECT_EQ(root->GetChildCount(), 2u);
    EXPECT_EQ(root->FindChildByCmdID(1), nullptr);
    CBkWindow* nested = root->FindChildByCmdID(92);
    ASSERT_NE(nested, nullptr);
    HBKWND nestedHandle = nested->GetBkHwnd();

    // WM_DESTROY of the container drops the children too.
    root->SendMessageToSelf(WM_DESTROY);
    EXPECT_EQ(root->GetChildCount(), 0u);
    EXPECT_EQ(CBkWindow::FromHandle(nestedHandle), nullptr);
}

TEST(ControlRegistry, HandlesAreFreshNonZeroAndResolveWhileAlive) {
    EXPECT_EQ(CBkWindow::FromHandle(0), nullptr);
    HBKWND first;
    {
        CBkDialog a;
        CBkDialog b;
        first = a.GetBkHwnd();
        EXPECT_NE(first, 0u);
        EXPECT_GT(b.GetBkHwnd(), first);
        EXPECT_EQ(CBkWindow::FromHandle(first), &a);
        EXPECT_EQ(CBkWindow::FromHandle(b.GetBkHwnd()), &b);
    }
    EXPECT_EQ(CBkWindow::FromHandle(first), nullptr);
    CBkDialog c;
    EXPECT_GT(c.GetBkHwnd(), first + 1) << "handles are never reused";
}

TEST(ControlRegistry, ControlsMadeOnManyThreadsGetDistinctHandles) {
    const int kThreads = 4, kEach = 500;
    std::vector<std::vector<HBKWND>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&seen, t] {
            for (int i = 0; i < kEach; ++i) {
                CBkDialog d;
                if (CBkWindow::FromHandle(d.GetBkHwnd()) == &d) seen[t].push_back(d.GetBkHwnd());
            }
        });
    }
    for (auto& th : threads) th.join();
    std::set<HBKWND> all;
    for (auto& v : seen) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
}

TEST(CommonAttributes, TextValuesConvertAndBadValuesAreRefused) {
    CBkDialog d;
    EXPECT_EQ(d.SetAttribute("id", "1017", TRUE), S_FALSE);
    EXPECT_EQ(d.SetAttribute("class", "pad", TRUE), S_OK);
    EXPECT_EQ(d.SetAttribute("font", "0404", TRUE), S_FALSE);
    EXPECT_NE(d.GetFont(), nullptr);
    EXPECT_EQ(d.SetAttribute("href", "http://example.test/\xE4\xB8\xAD", TRUE), S_FALSE);
    EXPECT_EQ(d.GetLinkUrl(), L"http://example.test/\x4E2D");
    EXPECT_EQ(d.SetAttribute("tip", "\xE6\x8F\x90\xE7\xA4\xBA", TRUE), S_FALSE);
    EXPECT_STREQ(d.GetToolTipText(), L"\x63D0\x793A");
    EXPECT_EQ(d.SetAttribute("valign", "middle", TRUE), S_OK);
    EXPECT_EQ(d.SetAttribute("valign", "Middle", TRUE), E_FAIL);
    EXPECT_EQ(d.GetVAlign(), BKALIGN_MIDDLE);
    EXPECT_EQ(d.SetAttribute("align", "right", TRUE), S_OK);
    EXPECT_EQ(d.SetAttribute("align", "centre", TRUE), E_FAIL);
    EXPECT_EQ(d.GetHAlign(), BKALIGN_RIGHT);
    EXPECT_EQ(d.SetAttribute("onlydrawchild", "1", TRUE), S_FALSE);
    // Names are case-sensitive; "show", "width", "float" are read by Load only.
    EXPECT_EQ(d.SetAttribute("ID", "5", TRUE), E_FAIL);
    EXPECT_EQ(d.SetAttribute("show", "0", TRUE), E_FAIL);
    EXPECT_EQ(d.GetCmdID(), 1017u);
    EXPECT_FALSE(d.GetState() & BKSTATE_HIDDEN);
}

TEST(CommonAttributes, ShowFloatAndElementName) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\">"
        "<dlg id=\"1\" show=\"0\" float=\"1\"/>"
        "<dlg id=\"2\" show=\"\"/>"
        "<dlg id=\"3\" show=\"1\" pos=\"0,0\" float=\"1\"/>"
        "</dlg>");
    ASSERT_NE(root, nullptr);
    CBkWindow* hidden = root->FindChildByCmdID(1);
    EXPECT_TRUE(hidden->GetState() & BKSTATE_HIDDEN);
    EXPECT_TRUE(hidden->GetLayoutFlags() & BKLAYOUT_FLOAT);
    EXPECT_FALSE(root->FindChildByCmdID(2)->GetState() & BKSTATE_HIDDEN);
    // With a position, "float" is not read.
    EXPECT_FALSE(root->FindChildByCmdID(3)->GetLayoutFlags() & BKLAYOUT_FLOAT);
    EXPECT_TRUE(root->IsClass("dlg"));
    EXPECT_FALSE(root->IsClass("dl"));
    EXPECT_STREQ(root->GetObjectClass(), "dlg");
    EXPECT_FALSE(root->Load(nullptr));
}
