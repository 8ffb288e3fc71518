#include <gtest/gtest.h>

#include <string>

#include "browser/bkjson.h"

using namespace BkJson;

namespace {

std::wstring Compact(const Document& doc, bool pretty = false) {
    std::wstring out;
    doc.Write(out, pretty);
    return out;
}

// Parses text that must fail and returns the error record.
Error ParseError(const std::wstring& text) {
    Document doc;
    EXPECT_FALSE(doc.Parse(text.c_str())) << "parsed: " << testing::PrintToString(text);
    EXPECT_EQ(doc.GetRoot(), nullptr);
    return doc.GetError();
}

std::wstring Nested(const std::wstring& open, const std::wstring& inner, const std::wstring& close, int depth) {
    std::wstring text;
    for (int i = 0; i < depth; ++i) text += open;
    text += inner;
    for (int i = 0; i < depth; ++i) text += close;
    return text;
}

TEST(BkJsonParse, EveryValueKindAndRootRules) {
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"n\":null,\"t\":true,\"f\":false,\"s\":\"x\",\"l\":-42,"
                          L"\"a\":[1,\"two\",[],{}],\"o\":{\"k\":7},\"s\":\"last\"}"));
    // The whole tree, read back through the writer (keys sorted).
    EXPECT_EQ(Compact(doc), L"{\"a\":[1,\"two\",[],{}],\"f\":false,\"l\":-42,\"n\":null,\"o\":{\"k\":7},"
                            L"\"s\":\"last\",\"t\":true}");  // a repeated key keeps the last value
    EXPECT_TRUE(doc[L"t"].GetBool());
    EXPECT_EQ(doc[L"a"].At(4).GetValue(), nullptr);
    EXPECT_FALSE(doc.GetError().IsRecorded());

    // Any value may be the root; text after it is not read.
    ASSERT_TRUE(doc.Parse(L"false,junk"));
    EXPECT_EQ(doc.GetKind(), KIND_BOOL);
    ASSERT_TRUE(doc.Parse(L"-17 and more"));
    EXPECT_EQ(doc.GetLong(), -17);
    ASSERT_TRUE(doc.Parse(L"  \"s\""));
    EXPECT_STREQ(doc.GetString(), L"s");
    ASSERT_TRUE(doc.Parse(L" \r\n\t[ [ ] , { \r\n } ] ]]"));
    EXPECT_EQ(Compact(doc), L"[[],{}]");
    ASSERT_TRUE(doc.Parse(L"[null]"));
    EXPECT_EQ(doc.At(0).GetKind(), KIND_NULL);

    // A failed parse leaves no root; a later parse clears the old error.
    EXPECT_FALSE(doc.Parse(L"{\"a\":1"));
    EXPECT_EQ(doc.GetRoot(), nullptr);
    ASSERT_TRUE(doc.Parse(L"[]"));
    EXPECT_FALSE(doc.GetError().IsRecorded());
    EXPECT_FALSE(doc.Parse(nullptr));
}

TEST(BkJsonParse, NumbersAndEscapes) {
    Document doc;
    ASSERT_TRUE(doc.Parse(L"[2147483647,-2147483648,-0,007]"));
    EXPECT_EQ(Compact(doc), L"[2147483647,-2147483648,0,7]");
    // Fractions and exponents are not read: the number ends before them.
    ASSERT_TRUE(doc.Parse(L"12.5"));
    EXPECT_EQ(doc.GetLong(), 12);

    ASSERT_TRUE(doc.Parse(L"[\"\\\"\\/\\\\\\b\\f\\n\\r\\t\",\"\\u0041\\u00e9\\u00E9\\u4e2d\",\"\\ud83d\\ude00x\","
                          L"\"\xD83D\xDE00\",\"a\tb\"]"));
    EXPECT_STREQ(doc.At(0).GetString(), L"\"/\\\b\f\n\r\t");
    EXPECT_STREQ(doc.At(1).GetString(), L"A\u00e9\u00e9\u4e2d");
    // A pair of escapes forms one character beyond the basic plane; a raw pair
    // and raw control characters pass unchanged.
    EXPECT_EQ(std::wstring(doc.At(2).GetString()), L"\xD83D\xDE00x");
    EXPECT_EQ(std::wstring(doc.At(3).GetString()), L"\xD83D\xDE00");
    EXPECT_STREQ(doc.At(4).GetString(), L"a\tb");
}

TEST(BkJsonParse, ErrorsWithPositions) {
    struct Case { const wchar_t* text; long code, line, column; };
    const Case cases[] = {
        // Roots: boolean and number roots are read where the text starts; no root null.
        {L" true", ERR_OBJECT_EXPECTED, 1, 2},
        {L"null", ERR_OBJECT_EXPECTED, 1, 1},
        // Out of range: no silent wrap-around; the error points at the digit that leaves the range.
        {L"[2147483648]", ERR_NUMBER_RANGE, 1, 11},
        {L"[1,-2147483649]", ERR_NUMBER_RANGE, 1, 14},
        {L"[1.5]", ERR_COMMA_EXPECTED, 1, 3},
        {L"-", ERR_MINUS_AT_END, 1, 2},
        {L"[- 1]", ERR_VALUE_EXPECTED, 1, 2},
        // Bad escapes point at the character after the backslash.
        {L"[\"ab\\x\"]", ERR_BAD_ESCAPE, 1, 6},
        {L"[\"\\u12g4\"]", ERR_BAD_ESCAPE, 1, 4},
        {L"[\"\\u0000\"]", ERR_BAD_ESCAPE, 1, 4},
        {L"[\"\\U0041\"]", ERR_BAD_ESCAPE, 1, 4},
        // Lone surrogates, escaped or raw.
        {L"[\"\\ud83d\"]", ERR_BAD_ESCAPE, 1, 4},
        {L"[\"\\ude00\"]", ERR_BAD_ESCAPE, 1, 4},
        {L"[\"\\ud83d\\u0041\"]", ERR_BAD_ESCAPE, 1, 4},
        {L"[\"\\ud83d\\uzzzz\"]", ERR_BAD_ESCAPE, 1, 10},
        {L"[\"a\xD83D\"]", ERR_BAD_SURROGATE, 1, 4},
        {L"[\"\xDE00\xD83D\"]", ERR_BAD_SURROGATE, 1, 3},
        // Escapes cut short and strings without their closing quote.
        {L"[\"\\u12", ERR_UNTERMINATED, 1, 7},
        {L"[\"\xD83D", ERR_UNTERMINATED, 1, 4},
        // Structure.
        {L"{\n  \"a\" 1}", ERR_COLON_EXPECTED, 2, 7},
        {L"{\"a\":1 \"b\":2}", ERR_COMMA_EXPECTED, 1, 8},
        {L"[1,\r\n\r\n  ]", ERR_VALUE_EXPECTED, 3, 3},
        {L"[tru]", ERR_VALUE_EXPECTED, 1, 2},
        {L"{\"a\":1,}", ERR_QUOTE_EXPECTED, 1, 8},
        // A broken root array is reported where it breaks, not as a missing "{".
        {L"[1,2", ERR_COMMA_EXPECTED, 1, 5},
        {L"{", ERR_QUOTE_EXPECTED, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const Error e = ParseError(c.text);
        EXPECT_EQ(e.code, c.code);
        EXPECT_EQ(e.line, c.line);
        EXPECT_EQ(e.column, c.column);
    }

    // Every proper prefix of a document fails cleanly with a position inside
    // the prefix (or just after it).
    const std::wstring full =
        L"{\"name\" : \"\u4e2d\u6587\\u6587\\ud83d\\ude00\", \"list\":[1,-2,true,false,null,{\"x\":[]}],\r\n\"n\":12}";
    Document doc;
    ASSERT_TRUE(doc.Parse(full.c_str()));
    for (size_t len = 0; len < full.size(); ++len) {
        SCOPED_TRACE(len);
        const Error e = ParseError(full.substr(0, len));
        EXPECT_NE(e.code, ERR_NONE);
        EXPECT_GE(e.line, 1);
        EXPECT_LE(e.line, 2);
        EXPECT_GE(e.column, 1);
        EXPECT_LE(e.column, static_cast<long>(len) + 1);
    }
}

TEST(BkJsonParse, DeepNestingFailsInsteadOfOverflowingTheStack) {
    Document doc;
    ASSERT_TRUE(doc.Parse(Nested(L"[", L"", L"]", kMaxDepth).c_str()));
    ASSERT_TRUE(doc.Parse(Nested(L"{\"a\":", L"1", L"}", kMaxDepth).c_str()));
    // A tree that deep writes and reads back.
    Document again;
    ASSERT_TRUE(again.Parse(Compact(doc, true).c_str()));
    EXPECT_EQ(Compact(again), Compact(doc));

    const Error e = ParseError(Nested(L"[", L"", L"]", kMaxDepth + 1));
    EXPECT_EQ(e.code, ERR_TOO_DEEP);
    EXPECT_EQ(e.column, kMaxDepth + 1);
    EXPECT_EQ(ParseError(Nested(L"{\"a\":", L"1", L"}", kMaxDepth + 1)).code, ERR_TOO_DEEP);
    // Far deeper than any stack could follow, and never closed.
    EXPECT_EQ(ParseError(std::wstring(1000000, L'[')).code, ERR_TOO_DEEP);
    EXPECT_EQ(ParseError(Nested(L"[{\"k\":", L"", L"", 200000)).code, ERR_TOO_DEEP);

    // Depth is counted per branch, not per document.
    std::wstring wide = L"[[[]]";
    for (int i = 1; i < 3 * kMaxDepth; ++i) wide += L",[[]]";
    ASSERT_TRUE(doc.Parse((wide + L"]").c_str()));
    EXPECT_EQ(doc.GetCount(), static_cast<size_t>(3 * kMaxDepth));
}

TEST(BkJsonWrite, CompactSortsKeysAndEscapes) {
    // Keys are ordered by code unit, upper case before lower case.
    Document keys;
    keys[L"b"].SetLong(2);
    keys[L"B"].SetString(L"x/y");
    keys[L"\u4e2d"].SetLong(3);
    keys[L"a"].SetLong(0);
    EXPECT_EQ(Compact(keys), L"{\"B\":\"x\\/y\",\"a\":0,\"b\":2,\"\u4e2d\":3}");

    Document text;
    text[L"s"].SetString(L"\"\\\b\t\n\f\r\x01\x1f \x7e\x7f\u00e9\u00ff\u0100\u4e2d");
    EXPECT_EQ(Compact(text), L"{\"s\":\"\\\"\\\\\\b\\t\\n\\f\\r\\u0001\\u001f ~\\u007f\\u00e9\\u00ff\u0100\u4e2d\"}");
    // Lone surrogates are written as escapes, pairs as they are.
    text[L"s"].SetString(L"a\xD83D" L"b\xDE00\xD83D\xDE00");
    EXPECT_EQ(Compact(text), L"{\"s\":\"a\\ud83db\\ude00\xD83D\xDE00\"}");

    Document empty;
    EXPECT_EQ(Compact(empty), L"");
    EXPECT_EQ(Compact(empty, true), L"");
}

TEST(BkJsonWrite, PrettyLayoutAndRoundTrips) {
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"a\":[1,2],\"b\":{},\"c\":[5],\"d\":[[]],\"e\":{\"f\":true}}"));
    EXPECT_EQ(Compact(doc, true),
              L"{\r\n    \"a\" : [\r\n        1, \r\n        2\r\n    ],\r\n"
              L"    \"b\" : {\r\n    },\r\n"
              L"    \"c\" : [5],\r\n"
              L"    \"d\" : [\r\n        []\r\n    ],\r\n"
              L"    \"e\" : {\r\n        \"f\" : true\r\n    }\r\n}");

    // Canonical compact text comes back unchanged, through either form.
    for (const wchar_t* text : {L"{\"a\":[1,-2147483648],\"b\":{\"c\":null,\"d\":[true,false]},\"e\":\"\"}",
                                L"[\"\u641c\u7d22\",\"\xD83D\xDE00\",\"tab\\tquote\\\"slash\\/\",\"\\u00e9\\u0001\"]"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        ASSERT_TRUE(doc.Parse(text));
        EXPECT_EQ(Compact(doc), text);
        Document again;
        ASSERT_TRUE(again.Parse(Compact(doc, true).c_str()));
        EXPECT_EQ(Compact(again), text);
    }
}

TEST(BkJsonHandle, MemberAccessCreatesAndReplacesInPlaceOnObjectsOnly) {
    Document doc;
    Handle h = doc[L"title"];
    EXPECT_EQ(Compact(doc), L"{\"title\":null}");
    EXPECT_EQ(h.GetOwner(), doc.GetRoot());
    // Reading kinds that a value does not have.
    EXPECT_EQ(h.GetString(), nullptr);
    doc[L"s"].SetString(L"12");
    EXPECT_EQ(doc[L"s"].GetLong(), 0);

    // A replaced member keeps its handle usable; member access on a
    // non-object turns it into an object and the handle follows.
    h.SetLong(3);
    h.SetString(L"now text");
    EXPECT_STREQ(doc[L"title"].GetString(), L"now text");
    h[L"x"].SetLong(1);
    h[L"y"][L"zh"].SetString(L"\u6807\u9898");
    EXPECT_EQ(Compact(doc), L"{\"s\":\"12\",\"title\":{\"x\":1,\"y\":{\"zh\":\"\u6807\u9898\"}}}");
    h.SetLong(9);
    EXPECT_EQ(Compact(doc), L"{\"s\":\"12\",\"title\":9}");

    // Array slots are replaced in place and keep their place.
    ASSERT_TRUE(doc.Parse(L"{\"list\":[1,\"two\",3]}"));
    Handle list = doc[L"list"];
    list.At(0).SetString(L"one");
    Handle third = list.At(2);
    third[L"k"].SetLong(3);
    EXPECT_EQ(Compact(doc), L"{\"list\":[\"one\",\"two\",{\"k\":3}]}");
    third.SetString(L"three");
    EXPECT_EQ(Compact(doc), L"{\"list\":[\"one\",\"two\",\"three\"]}");

    // Roots that are not objects are left alone.
    ASSERT_TRUE(doc.Parse(L"[1,2]"));
    h = doc[L"key"];
    EXPECT_EQ(h.GetValue(), nullptr);
    h.SetString(L"ignored");
    h[L"deeper"].SetLong(1);
    EXPECT_EQ(Compact(doc), L"[1,2]");

    // The document itself has no container: setters change nothing.
    ASSERT_TRUE(doc.Parse(L"\"text\""));
    doc.SetLong(5);
    EXPECT_STREQ(doc.GetString(), L"text");

    // The shared null handle stays empty whatever is done with copies of it.
    Handle null = Handle::Null();
    null.SetLong(1);
    null[L"a"].SetString(L"b");
    EXPECT_EQ(Handle::Null().GetValue(), nullptr);
    EXPECT_EQ(Handle::Null().GetOwner(), nullptr);
    EXPECT_EQ(null.At(0).GetValue(), nullptr);
}

} // namespace
