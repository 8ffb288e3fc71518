#include <gtest/gtest.h>

#include <tinyxml.h>

#include "tests/ui_tree/tree_helpers.h"
#include "ui/bkfontpool.h"

using tree_test::Canvas;
using tree_test::LoadTree;
using tree_test::Rect;

namespace {

// A leaf that draws as the base control does (background and inner text).
class TextLeaf : public CBkWindow {
    BK_DECLARE_ELEMENT_NAME("leaf")
};

const COLORREF kGrey = RGB(0x80, 0x80, 0x80);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);
const RECT kLeafRect = {20, 20, 180, 80};

class TreeDraw : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles(
            "<style><class name=\"big\" textmode=\"25\" font=\"0A04\" crdisabled=\"00FF00\" crbghover=\"FFFF00\"/>"
            "<class name=\"gdipbg\" bggdiplus=\"1\" alphabg=\"255\"/><class name=\"gdipclear\" bggdiplus=\"1\" alphabg=\"0\"/>"
            "<class name=\"gdiptext\" textmode=\"25\" font=\"0A04\" gdiplus=\"1\"/>"
            "<class name=\"shadow\" textmode=\"25\" font=\"0A04\" shadow=\"1\" crshadow=\"000000\"/>"
            "<class name=\"pad\" x-margin=\"20\" y-margin=\"10\"/><class name=\"bottom\" textmode=\"28\"/>"
            "<class name=\"bottomfixed\" textmode=\"28\" yhresizedisable=\"1\"/><class name=\"top\" textmode=\"20\"/>"
            "<class name=\"topfixed\" textmode=\"20\" yhresizedisable=\"1\"/><class name=\"topbig\" textmode=\"20\" font=\"0A00\"/>"
            "<class name=\"topbigfixed\" textmode=\"20\" font=\"0A00\" yhresizedisable=\"1\"/></style>");
    }
    void TearDown() override { tree_test::SetStyles(""); }

    // A root filling the canvas with one text leaf from the given element.
    std::unique_ptr<tree_test::TestDialog> Tree(const std::string& rootAttrs, const std::string& leafXml) {
        std::unique_ptr<tree_test::TestDialog> root(new tree_test::TestDialog);
        TiXmlDocument rootDoc;
        rootDoc.Parse(("<dlg pos=\"0,0,-0,-0\" " + rootAttrs + "/>").c_str());
        root->Load(rootDoc.RootElement());
        TiXmlDocument doc;
        doc.Parse(leafXml.c_str());
        leaf = root->Adopt(new TextLeaf);
        leaf->Load(doc.RootElement());
        tree_test::Place(root.get(), 0, 0, 200, 100);
        return root;
    }
    bool Redraw(CBkWindow* root, HRGN rgn = nullptr) {
        HDC dc = canvas.dc();   // taken by reference
        return root->RedrawRegion(dc, rgn) != FALSE;
    }

    Canvas canvas{200, 100};
    CBkWindow* leaf = nullptr;
};

} // namespace

TEST_F(TreeDraw, BackgroundAndTextColoursFollowStyleStateAndAncestors) {
    const COLORREF kAny = CLR_INVALID;   // text of any colour but the grey canvas
    const struct {
        const char* rootAttrs;
        const char* leafAttrs;
        DWORD rootState, leafState;
        COLORREF background;   // inside the leaf, clear of its text
        COLORREF text;         // more than 20 pixels of it inside the leaf
        COLORREF notText;      // none of it inside the leaf
    } cases[] = {
        {"crbg=\"FF0000\"", "class=\"big\" crbg=\"0000FF\" crtext=\"FFFFFF\"", 0, 0, kBlue, kWhite, kGrey},
        {"", "class=\"big\" crtext=\"FFFFFF\"", BKSTATE_DISABLED, 0, kGrey, RGB(0, 255, 0), kWhite},
        {"", "class=\"big\" crbg=\"0000FF\"", 0, BKSTATE_HOVER, RGB(255, 255, 0), kAny, kGrey},
        {"crtext=\"00FFFF\"", "class=\"big\"", 0, 0, kGrey, RGB(0, 255, 255), kWhite},
        {"", "class=\"gdipbg\" crbg=\"0000FF\"", 0, 0, kBlue, kAny, kGrey},
        {"", "class=\"gdipclear\" crbg=\"0000FF\"", 0, 0, kGrey, kAny, kBlue},   // alpha 0 leaves the background
        {"", "class=\"gdiptext\" crtext=\"FFFFFF\"", 0, 0, kGrey, kAny, kBlue},
        {"", "class=\"shadow\" crtext=\"FFFFFF\"", 0, 0, kGrey, kAny, kBlue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leafAttrs);
        canvas.Fill(kGrey);
        auto root = Tree(c.rootAttrs, std::string("<leaf pos=\"20,20,180,80\" ") + c.leafAttrs + ">MMMM</leaf>");
        root->ModifyState(c.rootState, 0);
        leaf->ModifyState(c.leafState, 0);
        ASSERT_TRUE(Redraw(root.get()));
        EXPECT_EQ(canvas.At(21, 21), c.background);
        if (c.text == kAny) {
            EXPECT_GT(canvas.CountOther(kLeafRect, c.background), 20);
        } else {
            EXPECT_GT(canvas.Count(kLeafRect, c.text), 20);
            EXPECT_EQ(canvas.Count(kLeafRect, c.text, true), 0) << "text outside the control";
        }
        EXPECT_EQ(canvas.Count(kLeafRect, c.notText), 0);
    }
}

TEST_F(TreeDraw, RegionAndHiddenChildrenLimitDrawingAndTheDcIsRestored) {
    auto root = Tree("crtext=\"00FF00\" font=\"0204\"", "<leaf pos=\"20,20,180,80\" crbg=\"0000FF\"/>");
    HRGN elsewhere = ::CreateRectRgn(0, 0, 10, 10);
    EXPECT_TRUE(Redraw(root.get(), elsewhere));   // the root meets the region, its child does not
    EXPECT_FALSE(Redraw(leaf, elsewhere));
    EXPECT_EQ(canvas.At(50, 50), kGrey);
    ::DeleteObject(elsewhere);
    leaf->ModifyState(BKSTATE_HIDDEN, 0);
    Redraw(root.get());
    EXPECT_EQ(canvas.At(50, 50), kGrey);

    auto text = Tree("crtext=\"00FF00\" font=\"0204\"",
                     "<leaf pos=\"20,20,180,80\" class=\"shadow\" crtext=\"FFFFFF\" crbg=\"0000FF\">MMMM</leaf>");
    HDC dc = canvas.dc();
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkColor(dc, RGB(4, 5, 6));
    HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
    Redraw(text.get());
    EXPECT_EQ(canvas.At(50, 50), kBlue);
    EXPECT_EQ(::GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(::GetBkColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), font);
}

TEST_F(TreeDraw, MeasuringUsesTheNearestAncestorFontAndTheMargins) {
    auto plain = LoadTree("<dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"0,0\">MMMM</dlg></dlg>");
    auto bigger = LoadTree(
        "<dlg pos=\"0,0,-0,-0\" font=\"0A04\"><dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"0,0\">MMMM</dlg></dlg></dlg>");
    auto padded = LoadTree("<dlg pos=\"0,0,-0,-0\"><dlg id=\"1\" pos=\"0,0\" class=\"pad\">MMMM</dlg></dlg>");
    ASSERT_TRUE(plain && bigger && padded);
    const RECT &a = plain->FindChildByCmdID(1)->GetRect(), &b = bigger->FindChildByCmdID(1)->GetRect();
    const RECT& c = padded->FindChildByCmdID(1)->GetRect();
    EXPECT_GT(b.bottom - b.top, a.bottom - a.top);
    EXPECT_GT(b.right - b.left, a.right - a.left);
    EXPECT_EQ(c, Rect(0, 0, a.right + 40, a.bottom + 20));
}

TEST_F(TreeDraw, YaHeiDefaultLiftsTheTextBox) {
    const std::wstring face = BkFontPool::GetDefaultFace();
    const LONG height = BkFontPool::GetDefaultHeight();
    BkFontPool::SetDefaultFont(L"Microsoft YaHei", -12);
    SetUp();   // styles hold fonts from the pool: load them again under the new default

    // The text's top or bottom row for a control low on the canvas, so that a lifted text stays on it.
    const RECT whole = {0, 0, 200, 100};
    auto textRow = [&](const char* cls, bool lowest) {
        canvas.Fill(kGrey);
        auto root = Tree("", std::string("<leaf pos=\"20,50,180,95\" class=\"") + cls + "\">MMMM</leaf>");
        Redraw(root.get());
        return lowest ? canvas.LowestRow(whole, kGrey) : canvas.HighestRow(whole, kGrey);
    };
    const int bottomFixed = textRow("bottomfixed", true), bottom = textRow("bottom", true);
    const int topFixed = textRow("topfixed", false), top = textRow("top", false);
    const int topBigFixed = textRow("topbigfixed", false), topBig = textRow("topbig", false);
    BkFontPool::SetDefaultFont(face.c_str(), height);
    SetUp();

    ASSERT_TRUE(bottomFixed > 0 && topFixed > 0 && topBigFixed > 0);
    // Default font: a bottom-aligned box moves up 2 pixels, a top-aligned one 3; ten pixels larger: 33.
    EXPECT_EQ(bottomFixed - bottom, 2);
    EXPECT_EQ(topFixed - top, 3);
    EXPECT_EQ(topBigFixed - topBig, 33);
}
