#include <gtest/gtest.h>

#include <map>
#include <set>
#include <thread>
#include <tinyxml.h>

#include "tests/ui_tree/tree_helpers.h"
#include "ui/bkpos.h"
#include "ui/bkstrref.h"
#include "ui/bkstyle.h"

using tree_test::LoadTree;
using tree_test::Rect;

namespace {

class TreeLayout : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("<style><class name=\"pad\" x-margin=\"10\" y-margin=\"4\"/></style>");
        tree_test::SetStrings("<string><s id=\"2\">Hello</s><s id=\"5\">x</s></string>");
    }
    void TearDown() override {
        tree_test::SetStyles("");
        tree_test::SetStrings("");
    }
};

const char kPositions[] =
    "<dlg pos=\"0,0,-0,-0\" class=\"pad\"><dlg id=\"1\" pos=\"35,88\">%str2% %str5%!</dlg><dlg id=\"2\" pos=\"-22,13\"/>"
    "<dlg id=\"3\" pos=\"|-10,|5\"/><dlg id=\"4\" pos=\"1,0,-1,-1\"/><dlg id=\"5\" pos=\"10,5,-10,19\"/>"
    "<dlg id=\"6\" pos=\"5\"/><dlg id=\"7\" pos=\"5,6,7\"/><dlg id=\"8\" width=\"full\" height=\"20\"/>"
    "<dlg id=\"9\" width=\"0\" height=\"full\"/><dlg id=\"10\" width=\"50\" height=\"30\"/>"
    "<dlg id=\"11\" pos=\"|-50,0,|50,-0\"/></dlg>";

} // namespace

TEST_F(TreeLayout, PositionsSizeModesAndMeasuredTextResolveAgainstTheInnerRectangle) {
    // 400 x 300 less the margins 10 and 4: inner (10, 4, 390, 296).
    auto root = LoadTree(kPositions);
    ASSERT_NE(root, nullptr);
    const struct { UINT id; RECT rc; } cases[] = {
        {2, Rect(368, 17, 368, 17)}, {3, Rect(190, 155, 190, 155)}, {4, Rect(11, 4, 389, 295)},
        {5, Rect(20, 9, 380, 23)}, {11, Rect(150, 4, 250, 296)},
        {6, Rect(10, 4, 10, 4)}, {7, Rect(10, 4, 10, 4)},   // one or three items: ignored, top-left
        {8, Rect(10, 4, 390, 24)}, {9, Rect(10, 4, 10, 296)}, {10, Rect(10, 4, 60, 34)},
    };
    for (const auto& c : cases) EXPECT_EQ(root->FindChildByCmdID(c.id)->GetRect(), c.rc) << c.id;

    // Inner text expands string references once and is measured again when it changes.
    CBkWindow* text = root->FindChildByCmdID(1);
    EXPECT_EQ(text->GetInnerText(), L"Hello x!");
    const RECT r1 = text->GetRect();
    EXPECT_EQ(r1.left, 45);
    EXPECT_EQ(r1.top, 92);
    EXPECT_GT(r1.bottom - r1.top, 0);
    text->SetInnerText(L"Hello x! and a good deal more text");
    EXPECT_EQ(text->GetRect().left, 45);
    EXPECT_GT(text->GetRect().right - text->GetRect().left, r1.right - r1.left);
    text->SetInnerText(L"");
    EXPECT_EQ(text->GetRect().right, text->GetRect().left);

    // Set after loading, a position takes effect at once; while loading or empty it does not.
    CBkWindow* child = root->FindChildByCmdID(2);
    EXPECT_EQ(child->SetAttribute("pos", "50,60,-50,-60", FALSE), S_FALSE);
    EXPECT_EQ(child->GetRect(), Rect(60, 64, 340, 236));
    child->SetAttribute("pos", "0,0", TRUE);
    child->SetAttribute("pos", "", FALSE);
    EXPECT_EQ(child->GetRect(), Rect(60, 64, 340, 236));

    // Reloading the children frees the old ones; so does destruction.
    std::vector<HBKWND> old;
    for (UINT id : {1u, 4u, 11u}) old.push_back(root->FindChildByCmdID(id)->GetBkHwnd());
    TiXmlDocument doc;
    doc.Parse("<x><dlg id=\"90\"/><dlg id=\"91\"><dlg id=\"92\"/></dlg></x>");
    ASSERT_TRUE(root->LoadChilds(doc.RootElement()->FirstChildElement()));
    for (HBKWND h : old) EXPECT_EQ(CBkWindow::FromHandle(h), nullptr);
    EXPECT_EQ(root->GetChildCount(), 2u);
    HBKWND nested = root->FindChildByCmdID(92)->GetBkHwnd();
    root->SendMessageToSelf(WM_DESTROY);
    EXPECT_EQ(root->GetChildCount(), 0u);
    EXPECT_EQ(CBkWindow::FromHandle(nested), nullptr);
}

TEST_F(TreeLayout, NestedContainersFollowAMoveAndCrossingCornersGiveAnEmptyControl) {
    auto root = LoadTree("<dlg pos=\"0,0,-0,-0\">"
                         "<dlg id=\"20\" pos=\"100,100,-100,-100\" class=\"pad\"><dlg id=\"21\" pos=\"5,-5\"/></dlg></dlg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->FindChildByCmdID(21)->GetRect(), Rect(115, 191, 115, 191));
    tree_test::Place(root.get(), 50, 20, 400, 300);
    EXPECT_EQ(root->FindChildByCmdID(20)->GetRect(), Rect(150, 120, 350, 220));
    EXPECT_EQ(root->FindChildByCmdID(21)->GetRect(), Rect(165, 211, 165, 211));
    auto small = LoadTree("<dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"10,5,-10,-5\"/></dlg>", 15, 8);
    EXPECT_EQ(small->FindChildByCmdID(1)->GetRect(), Rect(10, 5, 10, 5));
}

TEST_F(TreeLayout, LookupPrefersDirectChildrenUnknownElementsAreSkippedShowAndFloatRead) {
    auto root = LoadTree(
        "<dlg pos=\"0,0,-0,-0\"><dlg id=\"50\" pos=\"0,0,-0,-0\"><dlg id=\"60\" pos=\"1,1\"/></dlg>"
        "<dlg id=\"60\" pos=\"2,2\"/><dlg id=\"70\" pos=\"0,0\"><dlg pos=\"0,0\"><dlg id=\"71\" pos=\"3,3\"/></dlg></dlg>"
        "<br id=\"40\"><dlg id=\"41\"/></br><Dlg id=\"42\"/><texts id=\"43\">no such element</texts>"
        "<dlg id=\"1\" show=\"0\" float=\"1\"/><dlg id=\"2\" show=\"\"/><dlg id=\"3\" pos=\"0,0\" float=\"1\"/></dlg>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetChildCount(), 6u);
    ASSERT_TRUE(root->FindChildByCmdID(60) && root->FindChildByCmdID(71));
    EXPECT_EQ(root->FindChildByCmdID(60)->GetRect().left, 2);
    EXPECT_EQ(root->FindChildByCmdID(71)->GetRect().left, 3);
    for (UINT id : {41u, 42u, 999u}) EXPECT_EQ(root->FindChildByCmdID(id), nullptr) << id;
    EXPECT_TRUE(root->FindChildByCmdID(1)->GetState() & BKSTATE_HIDDEN);
    EXPECT_TRUE(root->FindChildByCmdID(1)->GetLayoutFlags() & BKLAYOUT_FLOAT);
    EXPECT_FALSE(root->FindChildByCmdID(2)->GetState() & BKSTATE_HIDDEN);
    EXPECT_FALSE(root->FindChildByCmdID(3)->GetLayoutFlags() & BKLAYOUT_FLOAT);   // a position wins
    EXPECT_FALSE(root->Load(nullptr));
}

TEST(ControlRegistry, HandlesAreDistinctAcrossThreadsNeverReusedAndResolveWhileAlive) {
    EXPECT_EQ(CBkWindow::FromHandle(0), nullptr);
    const int kThreads = 4, kEach = 500;
    std::vector<std::vector<HBKWND>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&seen, t] {
            for (int i = 0; i < kEach; ++i) {
                CBkDialog d;
                if (CBkWindow::FromHandle(d.GetBkHwnd()) == &d) seen[t].push_back(d.GetBkHwnd());
            }
        });
    for (auto& th : threads) th.join();
    std::set<HBKWND> all;
    for (auto& v : seen) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(CBkWindow::FromHandle(*all.rbegin()), nullptr);
    EXPECT_GT(CBkDialog().GetBkHwnd(), *all.rbegin());   // never reused
}

TEST(CommonAttributes, TextValuesConvertFromUtf8AndLoadOnlyNamesAreRefusedLater) {
    CBkDialog d;
    EXPECT_EQ(d.SetAttribute("href", "http://example.test/\xE4\xB8\xAD", TRUE), S_FALSE);
    EXPECT_EQ(d.GetLinkUrl(), L"http://example.test/\x4E2D");
    EXPECT_EQ(d.SetAttribute("tip", "\xE6\x8F\x90\xE7\xA4\xBA", TRUE), S_FALSE);
    EXPECT_STREQ(d.GetToolTipText(), L"\x63D0\x793A");
    // Names are case-sensitive; "show", "width", "float" are read by Load only.
    for (const char* name : {"ID", "show", "float"}) EXPECT_EQ(d.SetAttribute(name, "0", TRUE), E_FAIL) << name;
    EXPECT_FALSE(d.GetState() & BKSTATE_HIDDEN);
}

TEST(PosGrammar, ItemCountsDigitlessItemsCentreRoundingAndColours) {
    BkPosition pos;
    pos.Parse("1,2,3,4,5");   // a fifth item is not read
    EXPECT_EQ(pos.count, 4);
    EXPECT_EQ(pos.items[3].value, 4);
    EXPECT_FALSE(pos.Parse(""));   // empty text keeps the position
    EXPECT_EQ(pos.count, 4);
    pos.Parse("abc,-x");
    ASSERT_EQ(pos.count, 2);
    EXPECT_EQ(pos.items[0].value, 0);
    EXPECT_TRUE(pos.items[1].fromFarEdge);
    EXPECT_EQ(pos.items[1].value, 0);
    // Centre positions halve toward zero.
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, false, 0}, 0, 7), 3);
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, false, 0}, -7, 0), -4);
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, true, 4}, 10, 110), 56);
    // Colour pairs read separately; a bad pair reads zero.
    EXPECT_EQ(BkParseControlColor("zz77C0"), RGB(0x00, 0x77, 0xC0));
    EXPECT_EQ(BkParseControlColor("1177"), RGB(0x11, 0x77, 0x00));
}

TEST(StringRefs, ExpandOnceAndStopAtABadReference) {
    std::map<int, std::wstring> table{{1, L"A"}, {2, L"Hello"}, {3, L"%str2%"}, {12, L"twelve"}};
    BkStringLookup lookup = [&](int id) -> const wchar_t* {
        auto it = table.find(id);
        return it == table.end() ? nullptr : it->second.c_str();
    };
    const struct { const wchar_t* text; const wchar_t* want; } cases[] = {
        {L"[%str1%][%str12%]", L"[A][twelve]"},   // the text shrinks and grows
        {L"x%str99%y%str1%", L"xyA"},              // unknown id: nothing, the scan goes on
        {L"%str3%", L"%str2%"},                    // inserted text is not expanded again
        {L"%str0%%str1%", L"%str0%%str1%"},        // a bad number ends the scan
        {L"%str-1%", L"%str-1%"}, {L"%str1%, then %str2", L"A, then %str2"}, {L"%str", L"%str"},
    };
    for (const auto& c : cases) EXPECT_EQ(BkExpandStringRefs(c.text, lookup), c.want) << c.text;
}
