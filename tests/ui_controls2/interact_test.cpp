#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui_controls/controls_helpers.h"
#include "ui/bkctrl_slider.h"
#include "ui/bkdlgimpl.h"
#include "ui/bkrichtext.h"
#include "ui/bkwinmanager.h"

using namespace ctrl_test;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_test::SetStyles("<style><class name='rt' linespacing='20' crtext='000000'/>"
                             "<class name='rtc' linespacing='20' crtext='000000' textmode='1'/>"
                             "<class name='lk' crtext='0000ff' crhover='ff00ff'/></style>");
        SetSkins("<tskin name='thumb' cx='30' cy='20' colors='ff0000'/><tskin name='track' colors='0000ff'/>");
        Load("<slider id='7' pos='10,0,120,20' sliderpos='50'/>", 7);
    }
    void TearDown() override {
        SetSkins("");
        tree_test::SetStyles("");
    }
    void Load(const std::string& controls, UINT id, int w = 200) {
        root = LoadTree("<dlg>" + controls + "</dlg>", w, 100);
        ASSERT_TRUE(root);
        root->SetContainer(host.hwnd());
        slider = static_cast<BkSlider*>(Find(root.get(), id));
        host.records.clear();
    }
    // As the view does it: pushed state first, then the message.
    void Press(int x) {
        slider->ModifyState(BKSTATE_PUSHED, 0);
        slider->SendMessageToSelf(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10));
    }
    void Move(int x) { slider->SendMessageToSelf(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 10)); }
    void Release() { slider->ModifyState(0, BKSTATE_PUSHED); }
    const std::vector<NotifyRecorder::Record>& Slides() const { return host.records; }
    // Paints a rich text control w wide on a white canvas.
    CBkRichText* Make(const std::string& attrs, const std::string& markup, int w, Canvas& canvas) {
        const std::string pos = "0,0," + std::to_string(w) + ",100";
        root = LoadTree("<dlg pos='" + pos + "'><richtext id='1' pos='" + pos + "' " + attrs + ">" + markup +
                        "</richtext></dlg>", w, 100);
        auto* rt = root ? static_cast<CBkRichText*>(Find(root.get(), 1)) : nullptr;
        if (rt) Paint(rt, canvas.dc());
        return rt;
    }
    // Pixels of another colour than white.
    static int Ink(const Canvas& c, const RECT& rc) { return c.CountOther(rc, kWhite); }
    NotifyRecorder host;
    std::unique_ptr<CBkDialog> root;
    BkSlider* slider = nullptr;
};

TEST_F(ControlTest, SliderPositionClampedThumbPlacedAndDragsClampedAtTheEdge) {
    // 110 wide, 10-pixel thumb without a skin, position 50: 50 pixels in.
    EXPECT_EQ(slider->GetThumbRect(), Rect(60, 0, 70, 20));
    slider->SetAttribute("sliderpos", "150", FALSE);
    EXPECT_EQ(slider->GetThumbRect(), Rect(110, 0, 120, 20));
    slider->SetAttribute("sliderpos", "-5", FALSE);
    EXPECT_EQ(slider->GetPos(), 0);
    tree_test::Place(root.get(), 100, 0, 200, 100);  // moving the control moves the thumb with it
    EXPECT_EQ(slider->GetRect(), Rect(110, 0, 220, 20));
    EXPECT_EQ(slider->GetThumbRect().left, 110);
    tree_test::Place(root.get(), 0, 0, 200, 100);
    slider->SetAttribute("sliderpos", "50", FALSE);
    host.invalidated.clear();
    Press(100);  // thumb centred on 100: left 95, (95 - 10) * 100 / 100 = 85
    ASSERT_EQ(Slides().size(), 1u);
    EXPECT_TRUE(Slides()[0].hdr.code == BKNM_SLIDER_POSCHANGING && Slides()[0].item == 7u);
    EXPECT_TRUE(Slides()[0].oldPos == 50 && Slides()[0].newPos == 85);
    EXPECT_TRUE(slider->IsDragging());
    Move(-300);  // clamped to the left edge
    EXPECT_EQ(slider->GetPos(), 0);
    EXPECT_EQ(slider->GetThumbRect().left, 10);
    const size_t before = Slides().size();
    Move(-200);  // still clamped: nothing changes, nothing is sent
    EXPECT_EQ(Slides().size(), before);
    Release();
    EXPECT_FALSE(slider->IsDragging());
    ASSERT_EQ(Slides().back().hdr.code, static_cast<UINT>(BKNM_SLIDER_POSCHANGED));
    EXPECT_TRUE(Slides().back().oldPos == 0 && Slides().back().newPos == 0);
    EXPECT_FALSE(host.invalidated.empty());  // a repaint was asked for
    // Other state changes are no end of a press.
    host.records.clear();
    slider->ModifyState(BKSTATE_HOVER, 0);
    slider->ModifyState(0, BKSTATE_HOVER | BKSTATE_PUSHED);
    EXPECT_TRUE(Slides().empty());
}

TEST_F(ControlTest, SliderVetoKeepsTheThumbAndSubPercentMovesAreSilent) {
    host.veto = true;
    const RECT before = slider->GetThumbRect();
    Press(20);
    ASSERT_EQ(Slides().size(), 1u);
    EXPECT_EQ(slider->GetThumbRect(), before);
    EXPECT_EQ(slider->GetPos(), 50);
    Release();
    host.veto = false;
    host.records.clear();
    Press(62);  // on the thumb: no jump
    EXPECT_TRUE(Slides().empty());
    Move(63);  // left 61: 51
    ASSERT_EQ(Slides().size(), 1u);
    EXPECT_EQ(Slides()[0].newPos, 51);

    // A wide track where a pixel is less than a percent.
    Load("<slider id='8' pos='0,0,410,20'/>", 8, 500);
    Press(5);  // on the thumb at 0
    Move(7);   // 2 pixels of 400: still 0 percent
    EXPECT_TRUE(Slides().empty());
    EXPECT_EQ(slider->GetThumbRect().left, 2);
    slider->SetAttribute("sliderpos", "0", FALSE);  // the current value again: no move
    EXPECT_EQ(slider->GetThumbRect().left, 2);
    Move(9);  // 4 pixels: 1 percent
    ASSERT_EQ(Slides().size(), 1u);
    EXPECT_TRUE(Slides()[0].oldPos == 0 && Slides()[0].newPos == 1);  // old from the previous thumb
}

TEST_F(ControlTest, SliderSkinnedThumbStatesAndAThumbWiderThanItsTrack) {
    Load("<slider id='9' pos='0,0,130,20' sliderpos='100' skin='thumb' skinbg='track' bgtopmargin='5' "
         "bgbottommargin='5'/><slider id='10' pos='0,30,20,40' sliderpos='70' skin='thumb'/>", 9);
    EXPECT_EQ(slider->GetThumbRect(), Rect(100, 0, 130, 20));
    Canvas canvas(140, 50);
    auto thumbState = [&] {
        Calls().clear();
        Paint(slider, canvas.dc());
        return Calls().empty() ? 99u : Calls().back().index;
    };
    EXPECT_EQ(thumbState(), 0u);
    EXPECT_TRUE(canvas.At(50, 2) == kGrey && canvas.At(50, 10) == kBlue && canvas.At(110, 2) == kRed);
    Press(115);
    EXPECT_EQ(thumbState(), 2u);
    Release();
    slider->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(115, 10));
    EXPECT_EQ(thumbState(), 1u);
    slider->SendMessageToSelf(WM_MOUSELEAVE);
    EXPECT_EQ(thumbState(), 0u);

    // Too wide: held at the left edge, never a division by zero.
    slider = static_cast<BkSlider*>(Find(root.get(), 10));
    EXPECT_EQ(slider->GetThumbRect().left, 0);
    slider->ModifyState(BKSTATE_PUSHED, 0);
    slider->SendMessageToSelf(WM_LBUTTONDOWN, 0, MAKELPARAM(19, 35));
    slider->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(2000, 35));
    EXPECT_EQ(slider->GetThumbRect().left, 0);
}


TEST_F(ControlTest, RichTextLineBreakWrapNarrowControlAndHostileMarkup) {
    Canvas canvas(200, 100, kWhite), wrapped(40, 100, kWhite), narrow(4, 100, kWhite), hostile(30, 100, kWhite);
    ASSERT_NE(Make("class='rt'", "A<br/>B", 200, canvas), nullptr);
    EXPECT_GT(Ink(canvas, Rect(0, 0, 20, 20)), 5);   // A
    EXPECT_GT(Ink(canvas, Rect(0, 20, 20, 40)), 5);  // B at the left margin, one line lower
    EXPECT_EQ(Ink(canvas, Rect(20, 0, 200, 100)) + Ink(canvas, Rect(0, 40, 20, 100)), 0);
    // Plain text breaks at the last character that fits, each piece at the
    // left margin; narrower than a character, one character a line.
    Make("class='rt'", "WWWWWWWWWWWW", 40, wrapped);
    for (LONG top : {0, 20, 40}) EXPECT_GT(Ink(wrapped, Rect(0, top, 40, top + 20)), 5) << top;
    Make("class='rt'", "HH", 4, narrow);
    EXPECT_GT(Ink(narrow, Rect(0, 0, 4, 20)), 0);
    EXPECT_GT(Ink(narrow, Rect(0, 20, 4, 40)), 0);
    EXPECT_EQ(Ink(narrow, Rect(0, 40, 4, 100)), 0);

    std::string deep = "x";
    for (int i = 0; i < 500; ++i) deep = "<b>" + deep + "</b>";
    CBkRichText* rt = Make("class='rt' defaultfont='zz'",
                           deep + "<o offset='FFFFFFFF'/><s size='7F'>y</s><a>z</a><g align='b'>q</g>", 30, hostile);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(rt->GetLinks().size(), 1u);
}

TEST_F(ControlTest, RichTextOffsetsMoveThePenAndHugeOnesAreClamped) {
    Canvas canvas(200, 100, kWhite);
    CBkRichText* rt = Make("class='rt'", "M<o offset='A'/><a id='1'>z</a>", 200, canvas);
    ASSERT_TRUE(rt != nullptr && rt->GetLinks().size() == 1u);
    const LONG afterM = rt->GetLinks()[0].rc.left - 10;  // the pen moved 10 right of "M"
    EXPECT_GT(afterM, 0);
    // An offset near the top of int after some text: the pen stays in range
    // and wraps onto a later line inside the control, as a clamped offset does.
    rt = Make("class='rt'", "M<o offset='7FFFFFFF'/><a id='1'>z</a>", 200, canvas);
    ASSERT_TRUE(rt != nullptr && rt->GetLinks().size() == 1u);
    const RECT rc = rt->GetLinks()[0].rc;
    const long long x = afterM + 0x7FFF;
    EXPECT_EQ(rc.left, (x - 200) % 200);
    EXPECT_EQ(rc.top, ((x - 1) / 200) * 20);
}

TEST_F(ControlTest, RichTextCentredColouredAndLinks) {
    Canvas canvas(200, 100, kWhite), links(80, 100, kWhite), hovered(80, 100, kWhite);
    ASSERT_NE(Make("class='rtc'", "<c color='ff0000'>MM</c>", 200, canvas), nullptr);
    EXPECT_EQ(Ink(canvas, Rect(0, 0, 80, 100)) + Ink(canvas, Rect(120, 0, 200, 100)), 0);
    int reddish = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 80; x < 120; ++x) {
            const COLORREF c = canvas.At(x, y);
            reddish += GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100;
        }
    EXPECT_GT(reddish, 0);
    EXPECT_EQ(canvas.Count(Rect(0, 0, 200, 100), RGB(0, 0, 0)), 0);  // the colour of "c", not the control's

    // A link that does not fit moves whole to the next line.
    CBkRichText* rt = Make("class='rt' linkclass='lk'",
                           "MMMM<a id='5' color='ff0000' hover_color='00ff00'>link text</a>", 80, links);
    ASSERT_NE(rt, nullptr);
    ASSERT_EQ(rt->GetLinks().size(), 1u);
    const RECT lrc = rt->GetLinks()[0].rc;
    EXPECT_TRUE(lrc.left == 0 && lrc.top == 20);
    EXPECT_EQ(rt->GetLinks()[0].nId, 5);
    EXPECT_GT(links.Count(lrc, kRed), 5);
    rt->SendMessageToSelf(WM_MOUSEMOVE, 0, MAKELPARAM(lrc.left + 2, lrc.top + 2));
    EXPECT_EQ(rt->GetHoverLink(), 0);
    Paint(rt, hovered.dc());
    EXPECT_GT(hovered.Count(lrc, kGreen), 5);
    EXPECT_EQ(hovered.Count(lrc, kRed), 0);
    rt->SendMessageToSelf(WM_MOUSELEAVE);
    EXPECT_EQ(rt->GetHoverLink(), -1);
    // Moving the control drops the links until the next paint.
    tree_test::Place(root.get(), 0, 0, 80, 100);
    EXPECT_TRUE(!rt->AreLinksLaidOut() && rt->GetLinks().empty());
}

// A real view holding real windows, panels, a link, a dialog button, a
// slider and rich text; it records what the controls report.
class HostDlg : public CBkDialogImpl<HostDlg> {
public:
    struct Seen {
        UINT code, item;
        RECT rc;  // the real window's rectangle; for sliders {old, new}
        std::string cls;
    };
    std::vector<Seen> seen;
    HostDlg() {
        GetViewControl().XmlLoad(
            "<layer title='t' width='300' height='200' noborder='1'><body>"
            "<realwnd id='50' pos='10,10,110,40'/>"
            "<dlg id='60' pos='120,10,290,40' show='0'><realwnd id='51' pos='0,0,50,20'/></dlg>"
            "<link id='70' pos='10,50,60,70'>more</link>"
            "<dlgbtn id='80' pos='70,50,170,90'><dlg id='81' pos='0,0,50,20'/></dlgbtn>"
            "<slider id='90' pos='10,100,120,120' sliderpos='50'/>"
            "<richtext id='40' pos='0,130,300,200' class='rt'><a id='77'>first</a> and "
            "<a id='78'>second</a></richtext></body></layer>");
    }
    WINDOW_MAP_BEGIN(HostDlg)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        WINDOW_MAP_CHAIN(CBkDialogImpl<HostDlg>)
    WINDOW_MAP_END()
    LRESULT OnBkNotify(int, NMHDR* hdr, BOOL&) {
        auto* cmd = reinterpret_cast<BKNMCOMMAND*>(hdr);
        auto* pos = reinterpret_cast<BKNMSLIDERPOS*>(hdr);
        Seen s = {hdr->code, cmd->uItemID, RECT{}, ""};
        if (hdr->code == BKNM_REALWND_MOVED)
            s.rc = reinterpret_cast<BKNMREALWNDRESIZED*>(hdr)->rcWnd;
        else if (hdr->code == BKNM_SLIDER_POSCHANGING || hdr->code == BKNM_SLIDER_POSCHANGED)
            s.rc = RECT{pos->nOldPos, pos->nNewPos, 0, 0};
        else if (cmd->szItemClass)
            s.cls = cmd->szItemClass;
        seen.push_back(s);
        return 0;
    }
    std::vector<Seen> Of(UINT code) const {
        std::vector<Seen> out;
        for (const Seen& s : seen)
            if (s.code == code) out.push_back(s);
        return out;
    }
};

// The view's styles come from the fixture, set before the layout loads.
TEST_F(ControlTest, ViewPlacesRealWindowsAndItsControlsReportThroughIt) {
    BkWinManager manager;
    HostDlg dlg;
    ASSERT_NE(dlg.Create(nullptr), nullptr);
    dlg.ShowWindow(SW_SHOWNA);
    const HWND view = dlg.GetViewControl().Handle();
    auto Mouse = [&](UINT msg, int x, int y) { ::SendMessageW(view, msg, MK_LBUTTON, MAKELPARAM(x, y)); };
    auto Click = [&](int x, int y) {
        for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}) Mouse(msg, x, y);
    };
    auto ChildRect = [&](HWND child) {
        RECT rc;
        ::GetWindowRect(child, &rc);
        ::MapWindowPoints(nullptr, view, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, view, HMENU(50), nullptr, nullptr);
    HWND inner = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, view, HMENU(51), nullptr, nullptr);
    ASSERT_TRUE(edit && inner);
    // Made after the first layout: the next one places them although the
    // placeholders did not move.
    dlg.GetViewControl().LayoutParts();
    EXPECT_EQ(ChildRect(edit), Rect(10, 10, 110, 40));
    auto moved = dlg.Of(BKNM_REALWND_MOVED);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[0].item, 50u);
    EXPECT_EQ(moved[0].rc, Rect(10, 10, 110, 40));
    EXPECT_EQ(moved[1].item, 51u);
    // A layout that moves nothing sends nothing and leaves the window alone.
    ::SetWindowPos(edit, nullptr, 1, 1, 3, 3, SWP_NOZORDER);
    dlg.seen.clear();
    dlg.GetViewControl().LayoutParts();
    EXPECT_TRUE(dlg.Of(BKNM_REALWND_MOVED).empty());
    EXPECT_EQ(ChildRect(edit), Rect(1, 1, 4, 4));

    // Shown inside a hidden panel, the window stays hidden until the panel shows.
    ::ShowWindow(inner, SW_HIDE);
    const struct { UINT id; BOOL show; HWND wnd; bool visible; } steps[] = {
        {51, TRUE, inner, false}, {60, TRUE, inner, true}, {50, FALSE, edit, false}, {50, TRUE, edit, true}};
    for (const auto& step : steps) {
        ASSERT_TRUE(dlg.SetItemVisible(step.id, step.show));
        EXPECT_EQ(::IsWindowVisible(step.wnd) != FALSE, step.visible) << step.id << " " << step.show;
    }
    EXPECT_TRUE(dlg.GetViewControl().FindControl(51)->IsVisible(FALSE));
    // A placeholder whose window is gone is skipped quietly.
    ::DestroyWindow(edit);
    dlg.SetItemVisible(50, FALSE);
    dlg.SetItemVisible(50, TRUE);
    dlg.GetViewControl().LayoutParts();

    dlg.seen.clear();
    Click(20, 60);
    Click(75, 55);  // over the dlgbtn's child: the dlgbtn is hit
    auto commands = dlg.Of(BKNM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_TRUE(commands[0].item == 70u && commands[0].cls == "link");
    EXPECT_TRUE(commands[1].item == 80u && commands[1].cls == "dlgbtn");

    // The slider: pressed (a jump to 15), dragged to 25, released.
    auto* slider = static_cast<BkSlider*>(dlg.GetViewControl().FindControl(90));
    ASSERT_NE(slider, nullptr);
    for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN}) Mouse(msg, 30, 110);
    for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONUP}) Mouse(msg, 40, 110);
    auto changing = dlg.Of(BKNM_SLIDER_POSCHANGING);
    ASSERT_EQ(changing.size(), 2u);
    EXPECT_EQ(changing[0].item, 90u);
    EXPECT_EQ(changing[0].rc, Rect(50, 15, 0, 0));
    auto changed = dlg.Of(BKNM_SLIDER_POSCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].rc, Rect(25, 25, 0, 0));
    EXPECT_FALSE(slider->IsDragging());

    CBkDialogView& v = dlg.GetViewControl();
    auto* rt = static_cast<CBkRichText*>(v.FindControl(40));
    ASSERT_NE(rt, nullptr);
    Canvas canvas(300, 200, kWhite);
    Paint(rt, canvas.dc());  // lays the links out
    ASSERT_EQ(rt->GetLinks().size(), 2u);
    const RECT first = rt->GetLinks()[0].rc, second = rt->GetLinks()[1].rc;
    auto linkClicks = [&](UINT id) {
        int n = 0;
        for (const auto& s : dlg.Of(BKNM_COMMAND)) n += s.cls == "richtext" && s.item == id;
        return n;
    };
    Click(first.left + 2, first.top + 2);
    EXPECT_EQ(linkClicks(77), 1);
    // Pressed on one link, released over the other: no link click.
    dlg.seen.clear();
    Mouse(WM_MOUSEMOVE, first.left + 2, first.top + 2);
    Mouse(WM_LBUTTONDOWN, first.left + 2, first.top + 2);
    Mouse(WM_MOUSEMOVE, second.left + 2, second.top + 2);
    Mouse(WM_LBUTTONUP, second.left + 2, second.top + 2);
    EXPECT_EQ(linkClicks(77) + linkClicks(78), 0);

    EXPECT_FALSE(v.SetRichTextUtf8(40, "<b>broken"));
    EXPECT_EQ(rt->GetLinks().size(), 2u);
    EXPECT_FALSE(v.SetRichTextUtf8(99, "x"));
    EXPECT_TRUE(v.SetRichTextW(40, L"<a id=\"9\">新的</a>"));
    EXPECT_TRUE(rt->GetLinks().empty());
    Paint(rt, canvas.dc());
    ASSERT_EQ(rt->GetLinks().size(), 1u);
    EXPECT_TRUE(rt->GetLinks()[0].nId == 9 && rt->GetLinks()[0].strText == L"新的");
    dlg.DestroyWindow();
}

} // namespace
