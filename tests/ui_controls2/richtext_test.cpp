#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui_controls2/controls2_helpers.h"
#include "ui/bkdlgimpl.h"
#include "ui/bkrichtext.h"
#include "ui/bkstyle.h"
#include "ui/bkwinmanager.h"

using c2test::Canvas;
using c2test::Load;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

void SetStyles(const std::string& xml) {
    std::vector<std::string> sources;
    if (!xml.empty()) sources.push_back(xml);
    BkStyle::LoadStylesFromSources(sources);
}

// Pixels of another colour than white inside rc.
int Ink(const Canvas& c, const RECT& rc) {
    return (rc.right - rc.left) * (rc.bottom - rc.top) - c.Count(rc, kWhite);
}

class RichTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStyles("<style><class name=\"rt\" linespacing=\"20\" crtext=\"000000\"/>"
                  "<class name=\"rtc\" linespacing=\"20\" crtext=\"000000\" textmode=\"1\"/>"
                  "<class name=\"lk\" crtext=\"0000ff\" crhover=\"ff00ff\"/></style>");
    }
    void TearDown() override { SetStyles(""); }

    CBkRichText* Make(const std::string& attrs, const std::string& markup, int w = 200, int h = 100) {
        const std::string pos = "0,0," + std::to_string(w) + "," + std::to_string(h);
        root = Load("<dlg pos=\"" + pos + "\"><richtext id=\"1\" pos=\"" + pos + "\" " + (attrs.find("class=") == std::string::npos ? "class=\"rt\" " : "") + attrs + ">" + markup +
                        "</richtext></dlg>",
                    nullptr, w, h);
        return root ? static_cast<CBkRichText*>(root->FindChildByCmdID(1)) : nullptr;
    }
    void Paint(CBkRichText* rt, Canvas& canvas) {
        HDC dc = canvas.dc();
        rt->RedrawRegion(dc, nullptr);
    }

    std::unique_ptr<CBkDialog> root;
};

TEST_F(RichTextTest, LineBreakWrapAndNarrowControl) {
    CBkRichText* rt = Make("", "A<br/>B");
    ASSERT_NE(rt, nullptr);
    Canvas canvas(200, 100, kWhite);
    Paint(rt, canvas);
    EXPECT_GT(Ink(canvas, RECT{0, 0, 20, 20}), 5);   // A
    EXPECT_GT(Ink(canvas, RECT{0, 20, 20, 40}), 5);  // B at the left margin, one line lower
    EXPECT_EQ(Ink(canvas, RECT{20, 0, 200, 100}), 0);
    EXPECT_EQ(Ink(canvas, RECT{0, 40, 20, 100}), 0);

    // Plain text breaks at the last character that fits; each piece starts
    // at the left margin.
    rt = Make("", "WWWWWWWWWWWW", 40);
    Canvas wrapped(40, 100, kWhite);
    Paint(rt, wrapped);
    EXPECT_GT(Ink(wrapped, RECT{0, 0, 40, 20}), 5);
    EXPECT_GT(Ink(wrapped, RECT{0, 20, 40, 40}), 5);
    EXPECT_GT(Ink(wrapped, RECT{0, 40, 40, 60}), 5);

    // Narrower than a character: still one character per line.
    rt = Make("", "HH", 4);
    Canvas narrow(4, 100, kWhite);
    Paint(rt, narrow);
    EXPECT_GT(Ink(narrow, RECT{0, 0, 4, 20}), 0);
    EXPECT_GT(Ink(narrow, RECT{0, 20, 4, 40}), 0);
    EXPECT_EQ(Ink(narrow, RECT{0, 40, 4, 100}), 0);
}

TEST_F(RichTextTest, CentredColouredAndLinks) {
    CBkRichText* rt = Make("class=\"rtc\"", "<c color=\"ff0000\">MM</c>");
    ASSERT_NE(rt, nullptr);
    Canvas canvas(200, 100, kWhite);
    Paint(rt, canvas);
    EXPECT_EQ(Ink(canvas, RECT{0, 0, 80, 100}), 0);
    EXPECT_EQ(Ink(canvas, RECT{120, 0, 200, 100}), 0);
    int reddish = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 80; x < 120; ++x) {
            const COLORREF c = canvas.At(x, y);
            if (GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100) ++reddish;
        }
    EXPECT_GT(reddish, 0);
    EXPECT_GT(Ink(canvas, RECT{80, 0, 120, 20}), 5);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 200, 100}, kBlack), 0);  // the colour of "c", not the control's

    // A link that does not fit moves whole to the next line.
    rt = Make("linkclass=\"lk\"", "MMMM<a id=\"5\" color=\"ff0000\" hover_color=\"00ff00\">link text</a>", 80);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(rt->SetAttribute("linkclass", "lk", FALSE), TRUE);
    Canvas links(80, 100, kWhite);
    Paint(rt, links);
    ASSERT_EQ(rt->GetLinks().size(), 1u);
    const RECT lrc = rt->GetLinks()[0].rc;
    EXPECT_EQ(lrc.left, 0);
    EXPECT_EQ(lrc.top, 20);
    EXPECT_EQ(rt->GetLinks()[0].nId, 5);
    EXPECT_GT(links.Count(lrc, RGB(255, 0, 0)), 5);

    // Hovered: its hover colour.
    rt->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(lrc.left + 2, lrc.top + 2));
    EXPECT_EQ(rt->GetHoverLink(), 0);
    Canvas hovered(80, 100, kWhite);
    Paint(rt, hovered);
    EXPECT_GT(hovered.Count(lrc, RGB(0, 255, 0)), 5);
    EXPECT_EQ(hovered.Count(lrc, RGB(255, 0, 0)), 0);
    rt->SendMessageToSelf(WM_MOUSELEAVE);
    EXPECT_EQ(rt->GetHoverLink(), -1);

    // Moving the control drops the links until the next paint.
    c2test::Place(root.get(), 0, 0, 80, 100);
    EXPECT_FALSE(rt->AreLinksLaidOut());
    EXPECT_TRUE(rt->GetLinks().empty());
    EXPECT_EQ(rt->SetAttribute("nonsense", "1", FALSE), E_FAIL);
    EXPECT_EQ(rt->SetAttribute("autoadjustyahei", "0", FALSE), FALSE);
}

TEST_F(RichTextTest, HostileMarkupDoesNotCrash) {
    std::string deep;
    for (int i = 0; i < 500; ++i) deep += "<b>";
    deep += "x";
    for (int i = 0; i < 500; ++i) deep += "</b>";
    CBkRichText* rt = Make("defaultfont=\"zz\"", deep + "<o offset=\"FFFFFFFF\"/><s size=\"7F\">y</s><a>z</a><g align=\"b\">q</g>", 30);
    ASSERT_NE(rt, nullptr);
    Canvas canvas(30, 100, kWhite);
    Paint(rt, canvas);
    EXPECT_EQ(rt->GetLinks().size(), 1u);
}

const char* Layout() {
    return "<layer title=\"t\" width=\"300\" height=\"200\" noborder=\"1\">"
           "<body><richtext id=\"40\" pos=\"0,0,300,100\" class=\"rt\">"
           "<a id=\"77\">first</a> and <a id=\"78\">second</a></richtext></body></layer>";
}

class RtDlg : public CBkDialogImpl<RtDlg> {
public:
    std::vector<std::pair<UINT, std::string>> commands;
    RtDlg() { GetViewControl().XmlLoad(Layout()); }

    WINDOW_MAP_BEGIN(RtDlg)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        WINDOW_MAP_CHAIN(CBkDialogImpl<RtDlg>)
    WINDOW_MAP_END()

    LRESULT OnBkNotify(int, NMHDR* hdr, BOOL&) {
        if (hdr->code == BKNM_COMMAND) {
            auto* nm = reinterpret_cast<BKNMCOMMAND*>(hdr);
            commands.emplace_back(nm->uItemID, nm->szItemClass ? nm->szItemClass : "");
        }
        return 0;
    }
    bool Clicked(UINT id) const {
        for (const auto& c : commands)
            if (c.first == id && c.second == "richtext") return true;
        return false;
    }
};

TEST_F(RichTextTest, LinkClicksAndMarkupReplacedThroughTheView) {
    BkWinManager manager;
    RtDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    HWND view = dlg.GetViewControl().Handle();
    auto* rt = static_cast<CBkRichText*>(dlg.GetViewControl().FindControl(40));
    ASSERT_NE(rt, nullptr);
    Canvas canvas(300, 200, kWhite);
    Paint(rt, canvas);  // lays the links out
    ASSERT_EQ(rt->GetLinks().size(), 2u);
    const RECT first = rt->GetLinks()[0].rc;
    const RECT second = rt->GetLinks()[1].rc;
    auto mouse = [&](UINT msg, const RECT& rc) {
        ::SendMessageW(view, msg, MK_LBUTTON, MAKELPARAM(rc.left + 2, rc.top + 2));
    };

    mouse(WM_MOUSEMOVE, first);
    mouse(WM_LBUTTONDOWN, first);
    mouse(WM_LBUTTONUP, first);
    EXPECT_TRUE(dlg.Clicked(77));

    // Pressed on one link, released over the other: no link click.
    dlg.commands.clear();
    mouse(WM_MOUSEMOVE, first);
    mouse(WM_LBUTTONDOWN, first);
    mouse(WM_MOUSEMOVE, second);
    mouse(WM_LBUTTONUP, second);
    EXPECT_FALSE(dlg.Clicked(77));
    EXPECT_FALSE(dlg.Clicked(78));

    EXPECT_FALSE(dlg.GetViewControl().SetRichTextUtf8(40, "<b>broken"));
    EXPECT_EQ(rt->GetLinks().size(), 2u);
    EXPECT_FALSE(dlg.GetViewControl().SetRichTextUtf8(99, "x"));
    EXPECT_TRUE(dlg.GetViewControl().SetRichTextW(40, L"<a id=\"9\">新的</a>"));
    EXPECT_TRUE(rt->GetLinks().empty());
    Paint(rt, canvas);
    ASSERT_EQ(rt->GetLinks().size(), 1u);
    EXPECT_EQ(rt->GetLinks()[0].nId, 9);
    EXPECT_EQ(rt->GetLinks()[0].strText, L"新的");
    dlg.DestroyWindow();
}

} // namespace
