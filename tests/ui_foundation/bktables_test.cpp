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

namespace {

const wchar_t kNbsp = L'\x00A0';

std::wstring Text(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"<absent>";
}

TEST(BkStringTable, ProgramTableKeepsWhiteSpaceAndAFolderFileOnlyAddsIds) {
    BkResManager::SetResourcePath(nullptr);
    ASSERT_TRUE(BkString::Load());
    EXPECT_EQ(Text(23), L"\x6B63\x5728\x663E\x793A\x7ED3\x679C...");   // 正在显示结果...
    // White space that belongs to a text survives the XML reader; rich text markup stays text.
    EXPECT_EQ(Text(2).substr(0, 9), std::wstring(2, kNbsp) + L"Ctrl+Q,");
    std::wstring count = Text(46);
    EXPECT_EQ(count.substr(count.size() - 6), std::wstring(4, kNbsp) + L"%d");
    EXPECT_NE(Text(40).find(L"\x3002\n\x8BF7"), std::wstring::npos);   // 。\n请
    EXPECT_NE(Text(54).find(L"<c color=\"FA1313\">%c</c>"), std::wstring::npos);
    EXPECT_EQ(BkString::Get(3), nullptr);

    const struct { const char* file; UINT id; const wchar_t* want; } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<string><s id=\"1\">Other</s><s id=\"9001\">\xE9\xA2\x9D\xE5\xA4\x96</s></string>", 9001, L"\x989D\x5916"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><string><s id=\"9002\">\xE4\xB8\xAD</s></string>",
         9002, L"\x4E2D"},
        {"<string><s id=\"9003\">x</s", 9003, L"<absent>"},   // malformed: the program table alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        ResourceFolder folder;
        ASSERT_TRUE(folder.Write(IDR_XML_STRING_TABLE, L"xml", c.file));
        EXPECT_TRUE(BkString::Load());
        EXPECT_EQ(Text(1), L"Lumsek");
        EXPECT_EQ(Text(c.id), c.want);
    }
}

TEST(BkStringTable, FirstDefinitionWinsOddEntriesAreSkippedAndBrokenSourcesFailAlone) {
    ASSERT_TRUE(BkString::LoadFromSources({
        "<string><s id=\"1\">first</s><s id=\"1\">again</s>"
        "<s id=\"10\"><b>bold</b>tail</s><s id=\"11\"></s><s>no id</s><s id=\"abc\">nan</s>"
        "<s id=\"99999999999\">too large</s><s id=\"-5\">negative</s><t id=\"12\">other element</t></string>",
        "<string><s id=\"1\">second</s><s id=\"3\">three</s></string>",
    }));
    EXPECT_EQ(Text(1) + Text(3) + Text(10) + Text(11), L"firstthree");
    EXPECT_EQ(BkString::Get(0), nullptr);
    EXPECT_EQ(BkString::Get(12), nullptr);

    std::string deep = "<string>";   // refused before it can exhaust the stack
    for (int i = 0; i < 100000; ++i) deep += "<s>";
    const std::string broken[] = {"<string><s id=\"7\">seven</string>", "<strings><s id=\"7\">seven</s></strings>",
                                  "<!-- nothing but a comment -->", std::string("\0\0\0", 3), deep};
    EXPECT_FALSE(BkString::LoadFromSources({}));
    for (const std::string& source : broken) {
        EXPECT_FALSE(BkString::LoadFromSources({source})) << source.substr(0, 40);
        EXPECT_EQ(BkString::Get(7), nullptr);
    }
    EXPECT_TRUE(BkString::LoadFromSources({"<string><s id=", "<string><s id=\"7\">seven</s></string>"}));
    EXPECT_EQ(Text(7), L"seven");
}

TEST(BkStyleTable, AttributesAreReadBadValuesRefusedAndUnknownNamesGetTheDefault) {
    // The pool keeps every key's font for the run: make them under the face the font tests expect.
    BkFontPool::SetDefaultFont(L"\x5FAE\x8F6F\x96C5\x9ED1", -12);
    ASSERT_TRUE(BkStyle::LoadStylesFromSources({
        "<style><class name=\"full\" crbg=\"1177C0\" textmode=\"2210\" font=\"0404\" y-margin=\"-2\" cursor=\"hand\"/>"
        "<class name=\"margins\" margin=\"7\" textmode=\"24z\"/></style>",
    }));
    const BkStyle& s = BkStyle::GetStyle("full");
    EXPECT_EQ(s.m_hFont, BkFontPool::GetFont(0x0404));   // the pooled font, not a copy
    EXPECT_EQ(s.m_nMarginY, -2);
    const BkStyle& m = BkStyle::GetStyle("margins");
    EXPECT_EQ(m.m_nMarginX + m.m_nMarginY, 14);
    EXPECT_EQ(m.m_nTextAlign, 0u);   // not hexadecimal: the whole value is 0
    // Names are case-sensitive; unknown ones all share the default entry.
    const BkStyle& unknown = BkStyle::GetStyle("nosuchclass");
    EXPECT_EQ(&BkStyle::GetStyle("FULL"), &unknown);
    EXPECT_EQ(unknown.m_crBg, CLR_INVALID);

    BkStyle style;
    EXPECT_EQ(style.SetAttribute("crbg", "12", FALSE), S_FALSE);   // short: no colour
    EXPECT_EQ(style.m_crBg, CLR_INVALID);
    for (const auto& attr : {std::make_pair("cursor", "wait"), std::make_pair("Crtext", "102030"),
                             std::make_pair("font", "10404")})   // a font key beyond 16 bits
        EXPECT_LT(style.SetAttribute(attr.first, attr.second, FALSE), 0) << attr.first;
    EXPECT_EQ(style.m_lpCursorName, IDC_ARROW);
    EXPECT_EQ(style.m_crText, CLR_INVALID);
    EXPECT_EQ(style.m_hFont, nullptr);
    // Opacities stay within a byte.
    EXPECT_EQ(style.SetAttribute("alphabg", "1000", FALSE), S_OK);
    EXPECT_EQ(style.SetAttribute("alphatxt", "-20", FALSE), S_OK);
    EXPECT_EQ(std::make_pair(style.m_nAlphaBg, style.m_nAlphaText), std::make_pair(255, 0));
}

TEST(BkStyleTable, FirstDefinitionWinsAndReloadReplacesTheTable) {
    ASSERT_TRUE(BkStyle::LoadStylesFromSources({
        "<style><class name=\"t\" spacing=\"1\"/><class name=\"t\" spacing=\"2\"/><class spacing=\"9\"/>"
        "<class name=\"\" spacing=\"8\"/></style>",
        "<style><class name=\"t\" spacing=\"3\"/><class name=\"u\" spacing=\"4\"/></style>",
    }));
    EXPECT_EQ(BkStyle::GetStyle("t").m_nSpacing, 1);
    EXPECT_EQ(BkStyle::GetStyle("u").m_nSpacing, 4);
    EXPECT_EQ(BkStyle::GetStyle("").m_nSpacing, 0);   // the default entry cannot be redefined
    EXPECT_FALSE(BkStyle::LoadStylesFromSources({"<skins><class name=\"x\" spacing=\"1\"/></skins>",
                                                 "<style><class name=\"y\""}));
    EXPECT_EQ(BkStyle::GetStyle("t").m_nSpacing, 0);   // gone: the default answers
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_STYLE_TABLE, L"xml", "<style><class name=\"fromfile\" crtext=\"00FF00\"/></style>"));
    ASSERT_TRUE(BkStyle::LoadStyles());
    EXPECT_EQ(BkStyle::GetStyle("fromfile").m_crText, RGB(0, 0xFF, 0));
}

int g_liveSkins = 0;

class TestSkin : public CBkSkinBase {
    BK_DECLARE_ELEMENT_NAME("testskin")
public:
    TestSkin() { ++g_liveSkins; }
    ~TestSkin() override { --g_liveSkins; }
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override {
        HRESULT hr = CBkSkinBase::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr) || name != "src") return hr;
        src = value;
        return S_OK;
    }
    void Draw(HDC, const RECT&, DWORD) override {}
    BOOL LazyLoad() override {
        ++lazyLoads;
        return m_bLoaded = TRUE;
    }
    std::string src;
    int lazyLoads = 0;
};

const std::string& SrcOf(const char* name) { return static_cast<TestSkin*>(BkSkin::GetSkin(name))->src; }

TEST(BkSkinTable, KnownElementsBecomeSkinsFirstDefinitionWinsReloadDeletes) {
    BkSkin::RegisterSkinClass("testskin", &BkSkin::Create<TestSkin>);
    ASSERT_TRUE(BkSkin::LoadSkinsFromSources({
        "<skins><testskin name=\"a\" src=\"1\"/><testskin name=\"a\" src=\"2\"/><img name=\"picture\" src=\"102\"/>"
        "<TestSkin name=\"wrongcase\"/><testskin src=\"103\"/></skins>",
        "<skins><testskin name=\"a\" src=\"3\"/><testskin name=\"t\" src=\"4\"/></skins>",
    }));
    ASSERT_NE(BkSkin::GetSkin("a"), nullptr);
    EXPECT_EQ(SrcOf("a") + SrcOf("t"), "14");
    auto* a = static_cast<TestSkin*>(BkSkin::GetSkin("a"));
    const int loads = a->lazyLoads;
    BkSkin::GetSkin("a");
    EXPECT_EQ(a->lazyLoads, loads + 1);   // every lookup asks the skin to be ready
    for (const char* absent : {"picture", "wrongcase", "A", ""}) EXPECT_EQ(BkSkin::GetSkin(absent), nullptr) << absent;
    EXPECT_EQ(g_liveSkins, 2);

    // The program table plus a drop-in file; a failed reload still drops the old skins.
    ResourceFolder folder;
    ASSERT_TRUE(folder.Write(IDR_XML_SKIN_TABLE, L"xml", "<skins><testskin name=\"dropin\" src=\"7\"/></skins>"));
    ASSERT_TRUE(BkSkin::LoadSkins());
    ASSERT_NE(BkSkin::GetSkin("dropin"), nullptr);
    EXPECT_EQ(SrcOf("dropin"), "7");
    EXPECT_EQ(g_liveSkins, 1);
    EXPECT_FALSE(BkSkin::LoadSkinsFromSources({"<skin><testskin name=\"s\"/></skin>", "not xml at all <"}));
    EXPECT_EQ(g_liveSkins, 0);
    EXPECT_EQ(BkSkin::GetSkin("dropin"), nullptr);
}

} // namespace
