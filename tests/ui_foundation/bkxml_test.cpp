#include <gtest/gtest.h>

#include <string>
#include <tinyxml.h>

#include "ui/bkxml.h"

namespace {

TEST(BkXml, NestingEstimateIgnoresMarkupThatOpensNothing)
{
    EXPECT_EQ(BkXmlNestingDepth(""), 0);
    EXPECT_EQ(BkXmlNestingDepth("<a/>"), 1 - 1);
    EXPECT_EQ(BkXmlNestingDepth("<a><b/><c><d/></c></a>"), 2);
    EXPECT_EQ(BkXmlNestingDepth("<?xml version=\"1.0\"?><!-- <x><y><z> --><a b=\"<q>\" c='/>'><b/></a>"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<a><![CDATA[<x><y><z>]]></a>"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<!DOCTYPE a><a>text > more</a>"), 1);
    // Unclosed constructs run to the end of the text without reading past it.
    EXPECT_EQ(BkXmlNestingDepth("<a><!-- open"), 1);
    EXPECT_EQ(BkXmlNestingDepth("<a b=\"open"), 1);
}

TEST(BkXml, ParseAcceptsLayoutsAndRefusesWhatIsNotOne)
{
    TiXmlDocument doc;
    EXPECT_TRUE(BkParseXml("<layout><body><text>\xE4\xB8\xAD</text></body></layout>", doc));
    ASSERT_NE(doc.RootElement(), nullptr);
    EXPECT_EQ(doc.RootElement()->ValueStr(), "layout");

    EXPECT_FALSE(BkParseXml("", doc));
    EXPECT_FALSE(BkParseXml("just text", doc));
    EXPECT_FALSE(BkParseXml("<?xml version=\"1.0\"?>", doc));
    EXPECT_FALSE(BkParseXml("<a><b></a>", doc));

    std::string deep;
    for (int i = 0; i < kBkXmlMaxDepth; ++i)
        deep += "<e>";
    for (int i = 0; i < kBkXmlMaxDepth; ++i)
        deep += "</e>";
    EXPECT_TRUE(BkParseXml(deep, doc));
    EXPECT_FALSE(BkParseXml("<e>" + deep + "</e>", doc));

    // After a refusal the document holds nothing from an earlier parse.
    EXPECT_EQ(doc.RootElement(), nullptr);
}

} // namespace
