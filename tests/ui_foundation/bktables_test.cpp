#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource_folder.h"
#include "resources/resource_ids.h"
#include "ui/bkfontpool.h"
#include "ui/bkresmanager.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"
#include "ui/bkstyle.h"
#include "ui/bkvalue.h"

namespace {

const wchar_t kNbsp = L'\x00A0';

std::wstring Text(UINT id)
{
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"<absent>";
}

// --- string table -----------------------------------------------------------

TEST(BkStringTable, ProgramTableHoldsTheUiTexts)
{
    BkResManager::SetResourcePath(nullptr);
    ASSERT_TRUE(BkString::Load());
    EXPECT_EQ(Text(1), L"Lumsek");
    EXPECT_EQ(Text(23), L"\x6B63\x5728\x663E\x793A\x7ED3\x679C...");   // 正在显示结果...
    EXPECT_EQ(Text(26), L"\x540D\x79F0");                              // 名称
    // 选择打开的文件过多，可能会影响系统性能，最多只允许一次打开34个文件！
    EXPECT_EQ(Text(33), L"\x9009\x62E9\x6253\x5F00\x7684\x6587\x4EF6\x8FC7\x591A\xFF0C\x53EF\x80FD\x4F1A\x5F71"
                        L"\x54CD\x7CFB\x7EDF\x6027\x80FD\xFF0C\x6700\x591A\x53EA\x5141\x8BB8\x4E00\x6B21\x6253"
                        L"\x5F00" L"34" L"\x4E2A\x6587\x4EF6\xFF01");
    EXPECT_EQ(Text(48), L"Ctrl+Q\x53EF\x5FEB\x6377\x547C\x51FA");         // Ctrl+Q可快捷呼出

    // White space that belongs to a text survives the XML reader.
    std::wstring placeholder = Text(2);
    ASSERT_GE(placeholder.size(), 3u);
    EXPECT_EQ(placeholder[0], kNbsp);
    EXPECT_EQ(placeholder[1], kNbsp);
    EXPECT_EQ(placeholder.substr(2, 7), L"Ctrl+Q,");
    std::wstring found = Text(58);
    EXPECT_EQ(found.substr(found.size() - 4), std::wstring(L"\x4E2A") + kNbsp + kNbsp + kNbsp);
    std::wstring count = Text(46);
    EXPECT_EQ(count.substr(count.size() - 6), std::wstring(4, kNbsp) + L"%d");
    std::wstring twoLines = Text(40);
    EXPECT_NE(twoLines.find(L"\x3002\n\x8BF7"), std::wstring::npos);   // 。\n请
    // Rich text markup is kept as text.
    EXPECT_NE(Text(54).find(L"<c color=\"FA1313\">%c</c>"), std::wstring::npos);

    EXPECT_EQ(BkString::Get(3), nullptr);
    EXPECT_EQ(BkString::Get(60003), nullptr);
}

TEST(BkStringTable, FileAddsIdsButTheProgramWins)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_STRING_TABLE, L"xml",
                             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<string><s id=\"1\">Other</s><s id=\"9001\">\xE9\xA2\x9D\xE5\xA4\x96</s></string>"));
    ASSERT_TRUE(BkString::Load());
    EXPECT_EQ(Text(1), L"Lumsek");
    EXPECT_EQ(Text(9001), L"\x989D\x5916");   // 额外
}

TEST(BkStringTable, FirstDefinitionWinsAcrossAndWithinSources)
{
    std::vector<std::string> sources = {
        "<string><s id=\"1\">first</s><s id=\"1\">again</s><s id=\"2\">two</s></string>",
        "<string><s id=\"1\">second</s><s id=\"3\">three</s></string>",
    };
    ASSERT_TRUE(BkString::LoadFromSources(sources));
    EXPECT_EQ(Text(1), L"first");
    EXPECT_EQ(Text(2), L"two");
    EXPECT_EQ(Text(3), L"three");
}

TEST(BkStringTable, OddEntriesAreSkippedOrEmpty)
{
    std::vector<std::string> sources = {
        "<string>"
        "<s id=\"10\"><b>bold</b>tail</s>"   // first child is an element
        "<s id=\"11\"></s>"
        "<s>no id</s>"
        "<s id=\"abc\">not a number</s>"
        "<s id=\"99999999999\">too large</s>"
        "<s id=\"-5\">negative</s>"
        "<t id=\"12\">other element</t>"
        "<s id=\"13\">ok</s>"
        "</string>",
    };
    ASSERT_TRUE(BkString::LoadFromSources(sources));
    EXPECT_EQ(Text(10), L"");
    EXPECT_EQ(Text(11), L"");
    EXPECT_EQ(BkString::Get(0), nullptr);
    EXPECT_EQ(BkString::Get(12), nullptr);
    EXPECT_EQ(Text(13), L"ok");
}

TEST(BkStringTable, BrokenSourcesAddNothingAndFailAlone)
{
    const std::string good = "<string><s id=\"7\">seven</s></string>";
    EXPECT_FALSE(BkString::LoadFromSources({}));
    EXPECT_EQ(BkString::Get(7), nullptr);

    EXPECT_FALSE(BkString::LoadFromSources({"<string><s id=\"7\">seven</string>"}));   // not well-formed
    EXPECT_EQ(BkString::Get(7), nullptr);
    EXPECT_FALSE(BkString::LoadFromSources({"<strings><s id=\"7\">seven</s></strings>"}));   // wrong root
    EXPECT_EQ(BkString::Get(7), nullptr);
    EXPECT_FALSE(BkString::LoadFromSources({"<!-- nothing but a comment -->"}));
    EXPECT_FALSE(BkString::LoadFromSources({std::string("\0\0\0", 3)}));

    // A deeply nested file is refused before it can exhaust the stack.
    std::string deep = "<string>";
    for (int i = 0; i < 100000; ++i)
        deep += "<s>";
    EXPECT_FALSE(BkString::LoadFromSources({deep}));

    // One broken source does not stop the other.
    EXPECT_TRUE(BkString::LoadFromSources({"<string><s id=", good}));
    EXPECT_EQ(Text(7), L"seven");
}

TEST(BkStringTable, FileWithByteOrderMarkLoads)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_STRING_TABLE, L"xml",
                             "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                             "<string><s id=\"9002\">\xE4\xB8\xAD</s></string>"));
    ASSERT_TRUE(BkString::Load());
    EXPECT_EQ(Text(9002), L"\x4E2D");   // 中
}

TEST(BkStringTable, MalformedFileInTheFolderLeavesTheProgramTable)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_STRING_TABLE, L"xml", "<string><s id=\"9001\">x</s"));
    EXPECT_TRUE(BkString::Load());
    EXPECT_EQ(Text(1), L"Lumsek");
    EXPECT_EQ(BkString::Get(9001), nullptr);
}

// --- style table ------------------------------------------------------------

void ExpectDefaults(const BkStyle& style)
{
    EXPECT_EQ(style.m_crBg, CLR_INVALID);
    EXPECT_EQ(style.m_crBgHover, CLR_INVALID);
    EXPECT_EQ(style.m_crText, CLR_INVALID);
    EXPECT_EQ(style.m_crHoverText, CLR_INVALID);
    EXPECT_EQ(style.m_crDisabledText, RGB(0xCC, 0xCC, 0xCC));
    EXPECT_EQ(style.m_nTextAlign, 0x28u);
    EXPECT_EQ(style.m_hFont, nullptr);
    EXPECT_EQ(style.m_hFontHover, nullptr);
    EXPECT_EQ(style.m_nMarginX, 0);
    EXPECT_EQ(style.m_nMarginY, 0);
    EXPECT_EQ(style.m_nSpacing, 0);
    EXPECT_EQ(style.m_nLineSpacing, 20);
    EXPECT_EQ(style.m_lpCursorName, IDC_ARROW);
    EXPECT_TRUE(style.m_strSkinName.empty());
    EXPECT_EQ(style.m_crShadow, RGB(1, 1, 1));
    EXPECT_EQ(style.m_nAlphaBg, 255);
    EXPECT_EQ(style.m_nAlphaText, 254);
    EXPECT_EQ(style.m_nShadow + style.m_nGdiplus + style.m_nGdiplusCalcText + style.m_nYaHeiResizeDisable +
                  style.m_nTextRenderingHint + style.m_nBgGdiplus,
              0);
}

TEST(BkStyleTable, UnknownNamesGetTheDefaultStyle)
{
    ASSERT_TRUE(BkStyle::LoadStylesFromSources({"<style><class name=\"a\" crtext=\"FF0000\"/></style>"}));
    const BkStyle& unknown = BkStyle::GetStyle("nosuchclass");
    ExpectDefaults(unknown);
    EXPECT_EQ(&unknown, &BkStyle::GetStyle(""));
    EXPECT_TRUE(unknown.IsClass("style"));
    EXPECT_STREQ(unknown.GetObjectClass(), "style");
    // Names are case-sensitive.
    EXPECT_EQ(&BkStyle::GetStyle("A"), &unknown);
    EXPECT_EQ(BkStyle::GetStyle("a").m_crText, RGB(0xFF, 0, 0));
}

TEST(BkStyleTable, AttributesAreReadIntoTheirFields)
{
    BkFontPool::SetDefaultFont(L"\x5FAE\x8F6F\x96C5\x9ED1", -12);
    ASSERT_TRUE(BkStyle::LoadStylesFromSources({
        "<style>"
        "<class name=\"full\" crbg=\"1177C0\" crbghover=\"010203\" crtext=\"ffffff\" crhover=\"A0B0C0\""
        " crdisabled=\"808080\" crshadow=\"0000FF\" textmode=\"2210\" font=\"0404\" hoverfont=\"0002\""
        " x-margin=\"3\" y-margin=\"-2\" spacing=\"6\" linespacing=\"18\" cursor=\"hand\" skin=\"btnbg\""
        " shadow=\"1\" gdiplus=\"1\" gdipluscalctxt=\"1\" yhresizedisable=\"1\" gditxtrndhit=\"4\""
        " alphabg=\"128\" alphatxt=\"200\" bggdiplus=\"1\"/>"
        "<class name=\"margins\" margin=\"7\" textmode=\"24z\"/>"
        "</style>",
    }));
    const BkStyle& s = BkStyle::GetStyle("full");
    EXPECT_EQ(s.m_strName, "full");
    EXPECT_EQ(GetRValue(s.m_crBg), 0x11);
    EXPECT_EQ(GetGValue(s.m_crBg), 0x77);
    EXPECT_EQ(GetBValue(s.m_crBg), 0xC0);
    EXPECT_EQ(s.m_crBgHover, RGB(1, 2, 3));
    EXPECT_EQ(s.m_crText, RGB(255, 255, 255));
    EXPECT_EQ(s.m_crHoverText, RGB(0xA0, 0xB0, 0xC0));
    EXPECT_EQ(s.m_crDisabledText, RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(s.m_crShadow, RGB(0, 0, 0xFF));
    EXPECT_EQ(s.m_nTextAlign, 0x2210u);
    EXPECT_EQ(s.m_hFont, BkFontPool::GetFont(0x0404));
    EXPECT_EQ(s.m_hFontHover, BkFontPool::GetFont(0x0002));
    EXPECT_EQ(s.m_nMarginX, 3);
    EXPECT_EQ(s.m_nMarginY, -2);
    EXPECT_EQ(s.m_nSpacing, 6);
    EXPECT_EQ(s.m_nLineSpacing, 18);
    EXPECT_EQ(s.m_lpCursorName, IDC_HAND);
    EXPECT_EQ(s.m_strSkinName, "btnbg");
    EXPECT_EQ(s.m_nShadow, 1);
    EXPECT_EQ(s.m_nGdiplus, 1);
    EXPECT_EQ(s.m_nGdiplusCalcText, 1);
    EXPECT_EQ(s.m_nYaHeiResizeDisable, 1);
    EXPECT_EQ(s.m_nTextRenderingHint, 4);
    EXPECT_EQ(s.m_nAlphaBg, 128);
    EXPECT_EQ(s.m_nAlphaText, 200);
    EXPECT_EQ(s.m_nBgGdiplus, 1);

    const BkStyle& m = BkStyle::GetStyle("margins");
    EXPECT_EQ(m.m_nMarginX, 7);
    EXPECT_EQ(m.m_nMarginY, 7);
    EXPECT_EQ(m.m_nTextAlign, 0u);   // not hexadecimal: the whole value is 0
}

TEST(BkStyleTable, SetAttributeAnswersTakenRepaintOrRefused)
{
    BkStyle style;
    EXPECT_EQ(style.SetAttribute("crtext", "102030", FALSE), S_FALSE);
    EXPECT_EQ(style.SetAttribute("crbg", "12", FALSE), S_FALSE);   // short: no colour
    EXPECT_EQ(style.m_crBg, CLR_INVALID);
    EXPECT_EQ(style.SetAttribute("cursor", "ibeam", FALSE), S_FALSE);
    EXPECT_EQ(style.m_lpCursorName, IDC_IBEAM);
    EXPECT_EQ(style.SetAttribute("cursor", "sizens", FALSE), S_FALSE);
    EXPECT_EQ(style.m_lpCursorName, IDC_SIZENS);
    EXPECT_EQ(style.SetAttribute("textmode", "25", FALSE), S_OK);
    EXPECT_EQ(style.m_nTextAlign, static_cast<UINT>(DT_SINGLELINE | DT_VCENTER | DT_CENTER));
    EXPECT_EQ(style.SetAttribute("spacing", "4", FALSE), S_OK);
    EXPECT_EQ(style.SetAttribute("name", "n", FALSE), S_OK);
    EXPECT_EQ(style.SetAttribute("font", "0100", FALSE), S_OK);

    // Refused: an unknown cursor, an unknown name, a font key beyond 16 bits.
    BkStyle fresh;
    EXPECT_LT(fresh.SetAttribute("cursor", "wait", FALSE), 0);
    EXPECT_EQ(fresh.m_lpCursorName, IDC_ARROW);
    EXPECT_LT(fresh.SetAttribute("Crtext", "102030", FALSE), 0);
    EXPECT_LT(fresh.SetAttribute("colour", "102030", FALSE), 0);
    EXPECT_LT(fresh.SetAttribute("font", "10404", FALSE), 0);
    EXPECT_EQ(fresh.m_hFont, nullptr);
    ExpectDefaults(fresh);

    // Opacities stay within a byte.
    EXPECT_EQ(fresh.SetAttribute("alphabg", "1000", FALSE), S_OK);
    EXPECT_EQ(fresh.m_nAlphaBg, 255);
    EXPECT_EQ(fresh.SetAttribute("alphatxt", "-20", FALSE), S_OK);
    EXPECT_EQ(fresh.m_nAlphaText, 0);
}

TEST(BkStyleTable, FirstClassDefinitionWins)
{
    ASSERT_TRUE(BkStyle::LoadStylesFromSources({
        "<style><class name=\"t\" spacing=\"1\"/><class name=\"t\" spacing=\"2\"/><class spacing=\"9\"/>"
        "<class name=\"\" spacing=\"8\"/></style>",
        "<style><class name=\"t\" spacing=\"3\"/><class name=\"u\" spacing=\"4\"/></style>",
    }));
    EXPECT_EQ(BkStyle::GetStyle("t").m_nSpacing, 1);
    EXPECT_EQ(BkStyle::GetStyle("u").m_nSpacing, 4);
    // The default entry cannot be redefined by a class without a name.
    EXPECT_EQ(BkStyle::GetStyle("").m_nSpacing, 0);
}

TEST(BkStyleTable, ReloadReplacesTheTableAndBrokenSourcesAreSkipped)
{
    ASSERT_TRUE(BkStyle::LoadStylesFromSources({"<style><class name=\"old\" spacing=\"1\"/></style>"}));
    EXPECT_FALSE(BkStyle::LoadStylesFromSources({"<skins><class name=\"x\" spacing=\"1\"/></skins>",
                                                 "<style><class name=\"y\""}));
    EXPECT_EQ(BkStyle::GetStyle("old").m_nSpacing, 0);   // gone: the default answers
    EXPECT_EQ(BkStyle::GetStyle("x").m_nSpacing, 0);
    ExpectDefaults(BkStyle::GetStyle(""));
}

TEST(BkStyleTable, ProgramThenFolderSources)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_STYLE_TABLE, L"xml",
                             "<style><class name=\"fromfile\" crtext=\"00FF00\"/></style>"));
    ASSERT_TRUE(BkStyle::LoadStyles());
    EXPECT_EQ(BkStyle::GetStyle("fromfile").m_crText, RGB(0, 0xFF, 0));
}

// --- skin table -------------------------------------------------------------

int g_liveSkins = 0;

class TestSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("testskin")
public:
    TestSkin() { ++g_liveSkins; }
    ~TestSkin() override { --g_liveSkins; }
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override
    {
        HRESULT hr = CBkSkinBase::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr))
            return hr;
        if (name == "src") {
            src = value;
            return S_OK;
        }
        return E_FAIL;
    }
    void OnAttributesLoaded() override { ++loadedCalls; }
    void Draw(HDC, const RECT&, DWORD) override {}
    BOOL LazyLoad() override
    {
        ++lazyLoads;
        m_bLoaded = TRUE;
        return TRUE;
    }
    std::string src;
    int loadedCalls = 0;
    int lazyLoads = 0;
};

class BkSkinTable : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BkSkin::RegisterSkinClass("testskin", &BkSkin::Create<TestSkin>); }
};

TEST_F(BkSkinTable, KnownElementsBecomeSkinsAndOthersAreSkipped)
{
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins>"
        "<testskin name=\"a\" src=\"101\"/>"
        "<img name=\"picture\" src=\"102\"/>"
        "<TestSkin name=\"wrongcase\"/>"
        "<testskin src=\"103\"/>"
        "</skins>",
    }));
    CBkSkinBase* a = BkSkin::GetSkin("a");
    ASSERT_NE(a, nullptr);
    auto* skin = static_cast<TestSkin*>(a);
    EXPECT_TRUE(a->IsClass("testskin"));
    EXPECT_EQ(skin->src, "101");
    EXPECT_EQ(skin->loadedCalls, 1);
    EXPECT_EQ(skin->lazyLoads, 1);
    BkSkin::GetSkin("a");
    EXPECT_EQ(skin->lazyLoads, 2);   // every lookup asks the skin to be ready

    EXPECT_EQ(BkSkin::GetSkin("picture"), nullptr);
    EXPECT_EQ(BkSkin::GetSkin("wrongcase"), nullptr);
    EXPECT_EQ(BkSkin::GetSkin("A"), nullptr);
    EXPECT_EQ(BkSkin::GetSkin(""), nullptr);
    EXPECT_EQ(g_liveSkins, 1);

    EXPECT_EQ(BkSkin::CreateSkin("img"), nullptr);
    EXPECT_EQ(BkSkin::CreateSkin(""), nullptr);
}

TEST_F(BkSkinTable, FirstDefinitionWinsAndReloadDeletesOldSkins)
{
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins><testskin name=\"s\" src=\"1\"/><testskin name=\"s\" src=\"2\"/></skins>",
        "<skins><testskin name=\"s\" src=\"3\"/><testskin name=\"t\" src=\"4\"/></skins>",
    }));
    EXPECT_EQ(static_cast<TestSkin*>(BkSkin::GetSkin("s"))->src, "1");
    EXPECT_EQ(static_cast<TestSkin*>(BkSkin::GetSkin("t"))->src, "4");
    EXPECT_EQ(g_liveSkins, 2);

    EXPECT_FALSE(BkSkin::LoadSkinsFromSources({"<skin><testskin name=\"s\"/></skin>", "not xml at all <"}));
    EXPECT_EQ(g_liveSkins, 0);
    EXPECT_EQ(BkSkin::GetSkin("s"), nullptr);
}

TEST_F(BkSkinTable, ProgramTableLoadsAndFolderAddsSkins)
{
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_SKIN_TABLE, L"xml", "<skins><testskin name=\"dropin\" src=\"7\"/></skins>"));
    ASSERT_TRUE(BkSkin::LoadSkins());
    ASSERT_NE(BkSkin::GetSkin("dropin"), nullptr);
    EXPECT_EQ(static_cast<TestSkin*>(BkSkin::GetSkin("dropin"))->src, "7");
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({}) == FALSE);
    EXPECT_EQ(g_liveSkins, 0);
}

TEST(BkSkinBaseDefaults, UnpaintedOperationsDoNothing)
{
    TestSkin skin;
    CBkSkinBase& base = skin;
    SIZE size = base.GetSkinSize();
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 0);
    EXPECT_FALSE(base.IgnoreState());
    EXPECT_FALSE(base.CBkSkinBase::LazyLoad());
}

} // namespace
