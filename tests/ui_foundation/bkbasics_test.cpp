#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tinyxml.h>
#include <vector>

#include "ui/bkobject.h"
#include "ui/bkvalue.h"
#include "ui/bkxml.h"

namespace {

TEST(BkValue, HexColourDecimalIdAndCursorTexts) {
    // Hex reads the whole text or nothing.
    const struct { std::string text; UINT want; } cases[] = {
        {"2210", 0x2210u}, {"aBcD", 0xABCDu}, {"ffffffff", 0xFFFFFFFFu},
        {"", 0u}, {"2g", 0u}, {"g2", 0u}, {" 24", 0u}, {"24 ", 0u}, {"0x24", 0u}, {"-1", 0u},
        {"123456789", 0x23456789u},           // longer than 32 bits: the low digits stay
        {std::string("24\0" "1", 4), 0u},     // read to the real end, past an embedded NUL
    };
    for (const auto& c : cases) EXPECT_EQ(BkParseHex(c.text), c.want) << c.text;
    // Colours need six hex digits; past the sixth nothing is read.
    EXPECT_EQ(BkParseColor("1177c0"), RGB(0x11, 0x77, 0xC0));
    EXPECT_EQ(BkParseColor("1177C0zz"), RGB(0x11, 0x77, 0xC0));
    const std::string bad[] = {"", "1177C", "GG0000", "11 7C0", "#11770", std::string("11770", 5)};
    for (const std::string& text : bad) EXPECT_EQ(BkParseColor(text), CLR_INVALID) << text;
    // Decimal reads a signed prefix and clamps.
    const struct { const char* text; int want; } ints[] = {
        {"-7", -7}, {"+3", 3}, {"  5px", 5}, {"20,5", 20}, {"abc", 0}, {"-", 0},
        {"-2147483648", INT_MIN}, {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX}, {"-99999999999999999999999", INT_MIN},
    };
    for (const auto& c : ints) EXPECT_EQ(BkParseInt(c.text), c.want) << c.text;
    // Ids take only digits that fit; cursor names are exact.
    UINT id = 77;
    EXPECT_TRUE(BkParseId("4294967295", &id));
    EXPECT_EQ(id, 4294967295u);
    id = 77;
    for (const char* bad : {"", "4294967296", "12a", "-1", " 1"}) EXPECT_FALSE(BkParseId(bad, &id)) << bad;
    EXPECT_EQ(id, 77u);
    LPCWSTR cursor = nullptr;
    EXPECT_TRUE(BkParseCursor("sizens", &cursor));
    EXPECT_EQ(cursor, IDC_SIZENS);
    cursor = IDC_ARROW;
    for (const char* bad : {"Hand", "", "wait"}) EXPECT_FALSE(BkParseCursor(bad, &cursor)) << bad;
    EXPECT_EQ(cursor, IDC_ARROW);
}

TEST(BkXml, NestingEstimateIgnoresMarkupThatOpensNothingAndParseRefusesNonLayouts) {
    EXPECT_EQ(BkXmlNestingDepth("<a><b/><c><d/></c></a>"), 2);
    EXPECT_EQ(BkXmlNestingDepth("<?xml version=\"1.0\"?><!-- <x><y><z> --><a b=\"<q>\" c='/>'><b/></a>"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<a><![CDATA[<x><y><z>]]></a>"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<!DOCTYPE a><a>text > more</a>"), 1);
    // Unclosed constructs run to the end of the text without reading past it.
    EXPECT_EQ(BkXmlNestingDepth("<a><!-- open"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<a b=\"open"), 1);
    TiXmlDocument doc;
    EXPECT_TRUE(BkParseXml("<layout><body><text>\xE4\xB8\xAD</text></body></layout>", doc));
    ASSERT_NE(doc.RootElement(), nullptr);
    for (const char* bad : {"", "just text", "<?xml version=\"1.0\"?>", "<a><b></a>"})
        EXPECT_FALSE(BkParseXml(bad, doc)) << bad;

    std::string deep;
    for (int i = 0; i < kBkXmlMaxDepth; ++i) deep += "<e>";
    for (int i = 0; i < kBkXmlMaxDepth; ++i) deep += "</e>";
    EXPECT_TRUE(BkParseXml(deep, doc));
    EXPECT_FALSE(BkParseXml("<e>" + deep + "</e>", doc));
    // After a refusal the document holds nothing from an earlier parse.
    EXPECT_EQ(doc.RootElement(), nullptr);
}

// A two-level chain as controls build it: the derived class offers every name
// to its base first and handles it only when the base refuses.
class BaseObject : public CBkObject {
    BK_DECLARE_ELEMENT_NAME("base")
public:
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override {
        HRESULT hr = CBkObject::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr)) return hr;
        offered.push_back(name);
        if (name != "a") return E_FAIL;
        a = value;
        return S_OK;
    }
    std::vector<std::string> offered;
    std::string a;
};

class DerivedObject : public BaseObject {
    BK_DECLARE_ELEMENT_NAME("derived")
public:
    HRESULT SetAttribute(const std::string& name, const std::string& value, BOOL loading) override {
        HRESULT hr = BaseObject::SetAttribute(name, value, loading);
        if (SUCCEEDED(hr)) return hr;
        if (name == "a") derivedSawA = true;   // must never happen: the base took it
        if (name != "b") return hr;
        b = value;
        loadingSeen = loading;
        return S_FALSE;
    }
    void OnAttributesLoaded() override { ++loadedCalls; }

    std::string b;
    BOOL loadingSeen = FALSE;
    bool derivedSawA = false;
    int loadedCalls = 0;
};

TEST(BkObject, LoadOffersAttributesThroughTheChainNotifiesOnceAndNamesCompareWhole) {
    EXPECT_TRUE(FAILED(DerivedObject().SetAttribute("nosuch", "3", FALSE)));

    TiXmlDocument doc;
    doc.Parse("<derived z=\"0\" b=\"bee\" a=\"ay\" q=\"1\"/>");
    DerivedObject obj;
    EXPECT_TRUE(obj.Load(doc.RootElement()));
    EXPECT_EQ(obj.offered, (std::vector<std::string>{"z", "b", "a", "q"}));
    EXPECT_EQ(obj.a + obj.b, "aybee");
    EXPECT_FALSE(obj.derivedSawA);
    EXPECT_TRUE(obj.loadingSeen);
    EXPECT_EQ(obj.loadedCalls, 1);
    EXPECT_TRUE(obj.Load(doc.RootElement()));   // a second load notifies once more, not twice
    EXPECT_EQ(obj.loadedCalls, 2);
    DerivedObject none;
    EXPECT_FALSE(none.Load(nullptr));
    doc.Parse("<derived/>");
    EXPECT_TRUE(none.Load(doc.RootElement()));   // no attributes still loads and notifies
    EXPECT_EQ(none.loadedCalls, 1);
    EXPECT_TRUE(obj.IsClass("derived"));
    for (const char* other : {"derive", "derived2", "Derived", "", "base"}) EXPECT_FALSE(obj.IsClass(other)) << other;
    EXPECT_FALSE(obj.IsClass(nullptr));
}

} // namespace
