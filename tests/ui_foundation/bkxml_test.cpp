#include <gtest/gtest.h>

#include <string>
#include <tinyxml.h>

#include "ui/bkxml.h"

namespace {

TEST(BkXml, NestingEstimateIgnoresMarkupThatOpensNothing) {
    EXPECT_EQ(BkXmlNestingDepth("<a><b/><c><d/></c></a>"), 2);
    EXPECT_EQ(BkXmlNestingDepth("<?xml version=\"1.0\"?><!-- <x><y><z> --><a b=\"<q>\" c='/>'><b/></a>"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<a><![CDATA[<x><y><z>]]></a>"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<!DOCTYPE a><a>text > more</a>"), 1);
    // Unclosed constructs run to the end of the text without reading past it.
    EXPECT_EQ(BkXmlNestingDepth("<a><!-- open"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<a b=\"open"), 1);
}

TEST(BkXml, ParseRefusesWhatIsNotALayoutAndTooDeepNesting) {
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

} // namespace
