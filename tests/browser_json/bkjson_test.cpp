#include <gtest/gtest.h>

#include <string>

#include "browser/bkjson.h"

using namespace BkJson;

namespace {

std::wstring Compact(const Document& doc)
{
    std::wstring out;
    doc.Write(out, false);
    return out;
}

std::wstring Pretty(const Document& doc)
{
    std::wstring out;
    doc.Write(out, true);
    return out;
}

// Parses text that must fail and returns the error record.
Error ParseError(const std::wstring& text)
{
    Document doc;
    EXPECT_FALSE(doc.Parse(text.c_str())) << "parsed: " << std::string(text.begin(), text.end());
    EXPECT_EQ(doc.GetRoot(), nullptr);
    return doc.GetError();
}

void ExpectError(const std::wstring& text, long code, long line, long column)
{
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    Error e = ParseError(text);
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.line, line);
    EXPECT_EQ(e.column, column);
}

std::wstring Nested(const std::wstring& open, const std::wstring& inner, const std::wstring& close, int depth)
{
    std::wstring text;
    for (int i = 0; i < depth; ++i) text += open;
    text += inner;
    for (int i = 0; i < depth; ++i) text += close;
    return text;
}

TEST(BkJsonParse, EveryValueKind)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"n\":null,\"t\":true,\"f\":false,\"s\":\"x\",\"l\":-42,"
                          L"\"a\":[1,\"two\",[],{}],\"o\":{\"k\":7}}"));
    ASSERT_NE(doc.GetRoot(), nullptr);
    EXPECT_EQ(doc.GetKind(), KIND_OBJECT);
    EXPECT_EQ(doc.GetCount(), 7u);
    EXPECT_EQ(doc[L"n"].GetKind(), KIND_NULL);
    EXPECT_EQ(doc[L"t"].GetKind(), KIND_BOOL);
    EXPECT_TRUE(doc[L"t"].GetBool());
    EXPECT_FALSE(doc[L"f"].GetBool());
    EXPECT_STREQ(doc[L"s"].GetString(), L"x");
    EXPECT_EQ(doc[L"l"].GetLong(), -42);
    Handle a = doc[L"a"];
    ASSERT_EQ(a.GetKind(), KIND_ARRAY);
    ASSERT_EQ(a.GetCount(), 4u);
    EXPECT_EQ(a.At(0).GetLong(), 1);
    EXPECT_STREQ(a.At(1).GetString(), L"two");
    EXPECT_EQ(a.At(2).GetKind(), KIND_ARRAY);
    EXPECT_EQ(a.At(3).GetKind(), KIND_OBJECT);
    EXPECT_EQ(a.At(4).GetValue(), nullptr);
    EXPECT_EQ(doc[L"o"][L"k"].GetLong(), 7);
    EXPECT_EQ(doc.GetError().code, ERR_NONE);
    EXPECT_FALSE(doc.GetError().IsRecorded());
}

TEST(BkJsonParse, RootKindsAndTrailingText)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"true"));
    EXPECT_TRUE(doc.GetBool());
    ASSERT_TRUE(doc.Parse(L"false,junk"));
    EXPECT_EQ(doc.GetKind(), KIND_BOOL);
    EXPECT_FALSE(doc.GetBool());
    ASSERT_TRUE(doc.Parse(L"true xyz"));
    EXPECT_TRUE(doc.GetBool());
    ASSERT_TRUE(doc.Parse(L"-17 and more"));
    EXPECT_EQ(doc.GetLong(), -17);
    ASSERT_TRUE(doc.Parse(L"  \"s\""));
    EXPECT_STREQ(doc.GetString(), L"s");
    ASSERT_TRUE(doc.Parse(L" \r\n\t[1] ]]"));
    EXPECT_EQ(doc.GetKind(), KIND_ARRAY);
    ASSERT_TRUE(doc.Parse(L"{}"));
    EXPECT_EQ(doc.GetKind(), KIND_OBJECT);
    ASSERT_TRUE(doc.Parse(L"[]"));
    EXPECT_EQ(doc.GetKind(), KIND_ARRAY);
    EXPECT_EQ(doc.GetCount(), 0u);

    // Boolean and number roots are read where the text starts.
    ExpectError(L" true", ERR_OBJECT_EXPECTED, 1, 2);
    EXPECT_FALSE(doc.Parse(L" 5"));
    // A root null is not accepted; null inside an array is.
    ExpectError(L"null", ERR_OBJECT_EXPECTED, 1, 1);
    ASSERT_TRUE(doc.Parse(L"[null]"));
    EXPECT_EQ(doc.At(0).GetKind(), KIND_NULL);
    ExpectError(L"", ERR_OBJECT_EXPECTED, 1, 1);
    EXPECT_FALSE(doc.Parse(nullptr));
}

TEST(BkJsonParse, EmptyContainersWhereverTheyStand)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"[[],{},[[]],{\"a\":{}},{\"b\":[]}]"));
    EXPECT_EQ(doc.GetCount(), 5u);
    ASSERT_TRUE(doc.Parse(L"{\"a\":[],\"b\":{}}"));
    EXPECT_EQ(doc[L"a"].GetCount(), 0u);
    EXPECT_EQ(doc[L"b"].GetKind(), KIND_OBJECT);
    ASSERT_TRUE(doc.Parse(L"[ ]"));
    ASSERT_TRUE(doc.Parse(L"{ \r\n }"));
    ASSERT_TRUE(doc.Parse(L"[ [ ] , { } ]"));
    EXPECT_EQ(Compact(doc), L"[[],{}]");
}

TEST(BkJsonParse, NumbersStayWithin32Bits)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"[2147483647,-2147483648,0,-0,007]"));
    EXPECT_EQ(doc.At(0).GetLong(), 2147483647L);
    EXPECT_EQ(doc.At(1).GetLong(), -2147483647L - 1);
    EXPECT_EQ(doc.At(2).GetLong(), 0);
    EXPECT_EQ(doc.At(3).GetLong(), 0);
    EXPECT_EQ(doc.At(4).GetLong(), 7);  // leading zeros are read

    // Out of range: no silent wrap-around.
    // The error points at the digit that leaves the range.
    ExpectError(L"[2147483648]", ERR_NUMBER_RANGE, 1, 11);
    ExpectError(L"[1,-2147483649]", ERR_NUMBER_RANGE, 1, 14);
    ExpectError(L"{\"a\":99999999999999999999999999999999999999}", ERR_NUMBER_RANGE, 1, 15);
    EXPECT_EQ(ParseError(L"4294967296").code, ERR_NUMBER_RANGE);

    // Fractions and exponents are not read: the number ends before them.
    ExpectError(L"[1.5]", ERR_COMMA_EXPECTED, 1, 3);
    ExpectError(L"[1e5]", ERR_COMMA_EXPECTED, 1, 3);
    ASSERT_TRUE(doc.Parse(L"12.5"));
    EXPECT_EQ(doc.GetLong(), 12);

    ExpectError(L"-", ERR_MINUS_AT_END, 1, 2);
    ExpectError(L"[-", ERR_MINUS_AT_END, 1, 3);
    ExpectError(L"[-x]", ERR_VALUE_EXPECTED, 1, 2);
    ExpectError(L"[- 1]", ERR_VALUE_EXPECTED, 1, 2);
}

TEST(BkJsonParse, EscapesAndSurrogatePairs)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"[\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"]"));
    EXPECT_STREQ(doc.At(0).GetString(), L"\"/\\\b\f\n\r\t");
    ASSERT_TRUE(doc.Parse(L"[\"\\u0041\\u00e9\\u00E9\\u4e2d\\u6587\"]"));
    EXPECT_STREQ(doc.At(0).GetString(), L"A\u00e9\u00e9\u4e2d\u6587");
    // A pair of escapes forms one character beyond the basic plane.
    ASSERT_TRUE(doc.Parse(L"[\"\\ud83d\\ude00x\"]"));
    EXPECT_EQ(std::wstring(doc.At(0).GetString()), std::wstring(L"\xD83D\xDE00x"));
    // A raw pair passes unchanged.
    ASSERT_TRUE(doc.Parse(L"[\"\xD83D\xDE00\"]"));
    EXPECT_EQ(std::wstring(doc.At(0).GetString()), std::wstring(L"\xD83D\xDE00"));
    // Raw control characters inside strings are taken as they are.
    ASSERT_TRUE(doc.Parse(L"[\"a\tb\"]"));
    EXPECT_STREQ(doc.At(0).GetString(), L"a\tb");

    // Bad escapes point at the character after the backslash.
    ExpectError(L"[\"ab\\x\"]", ERR_BAD_ESCAPE, 1, 6);
    ExpectError(L"[\"\\u12g4\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\u0000\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\U0041\"]", ERR_BAD_ESCAPE, 1, 4);
    // Lone surrogates, escaped or raw.
    ExpectError(L"[\"\\ud83d\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\ude00\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\ud83dx\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\ud83d\\u0041\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\ud83d\\ud83d\"]", ERR_BAD_ESCAPE, 1, 4);
    ExpectError(L"[\"\\ud83d\\uzzzz\"]", ERR_BAD_ESCAPE, 1, 10);
    ExpectError(L"[\"a\xD83D\"]", ERR_BAD_SURROGATE, 1, 4);
    ExpectError(L"[\"a\xDE00\"]", ERR_BAD_SURROGATE, 1, 4);
    ExpectError(L"[\"\xDE00\xD83D\"]", ERR_BAD_SURROGATE, 1, 3);
}

TEST(BkJsonParse, TruncatedText)
{
    // Escapes cut short and strings without their closing quote.
    ExpectError(L"[\"\\u12", ERR_UNTERMINATED, 1, 7);
    ExpectError(L"[\"\\", ERR_UNTERMINATED, 1, 4);
    ExpectError(L"[\"abc", ERR_UNTERMINATED, 1, 6);
    ExpectError(L"[\"\\ud83d", ERR_UNTERMINATED, 1, 9);
    ExpectError(L"[\"\\ud83d\\u12", ERR_UNTERMINATED, 1, 13);
    ExpectError(L"[\"\xD83D", ERR_UNTERMINATED, 1, 4);

    // Every proper prefix of a document fails cleanly with a position inside
    // the prefix (or just after it).
    const std::wstring full =
        L"{\"name\" : \"\u4e2d\u6587\\u6587\\ud83d\\ude00\", \"list\":[1,-2,true,false,null,{\"x\":[]}],\r\n\"n\":12}";
    Document doc;
    ASSERT_TRUE(doc.Parse(full.c_str()));
    for (size_t len = 0; len < full.size(); ++len) {
        std::wstring prefix = full.substr(0, len);
        SCOPED_TRACE(len);
        Error e = ParseError(prefix);
        EXPECT_NE(e.code, ERR_NONE);
        EXPECT_GE(e.line, 1);
        EXPECT_LE(e.line, 2);
        EXPECT_GE(e.column, 1);
        EXPECT_LE(e.column, static_cast<long>(len) + 1);
    }
}

TEST(BkJsonParse, StructureErrorsWithPositions)
{
    ExpectError(L"{\"a\" 1}", ERR_COLON_EXPECTED, 1, 6);
    ExpectError(L"{\n  \"a\" 1}", ERR_COLON_EXPECTED, 2, 7);
    ExpectError(L"{\"a\":1 \"b\":2}", ERR_COMMA_EXPECTED, 1, 8);
    ExpectError(L"[1 2]", ERR_COMMA_EXPECTED, 1, 4);
    ExpectError(L"[1,\r\n\r\n  ]", ERR_VALUE_EXPECTED, 3, 3);
    ExpectError(L"[,1]", ERR_VALUE_EXPECTED, 1, 2);
    ExpectError(L"{\"a\":}", ERR_VALUE_EXPECTED, 1, 6);
    ExpectError(L"{\"a\":x}", ERR_VALUE_EXPECTED, 1, 6);
    ExpectError(L"[nul]", ERR_VALUE_EXPECTED, 1, 2);
    ExpectError(L"[tru]", ERR_VALUE_EXPECTED, 1, 2);
    ExpectError(L"{a:1}", ERR_QUOTE_EXPECTED, 1, 2);
    ExpectError(L"{\"a\":1,}", ERR_QUOTE_EXPECTED, 1, 8);
    // A broken root array is reported where it breaks, not as a missing "{".
    ExpectError(L"[1,2", ERR_COMMA_EXPECTED, 1, 5);
    ExpectError(L"[", ERR_VALUE_EXPECTED, 1, 2);
    ExpectError(L"{", ERR_QUOTE_EXPECTED, 1, 2);
    ExpectError(L"x", ERR_OBJECT_EXPECTED, 1, 1);
    ExpectError(L"\"abc", ERR_UNTERMINATED, 1, 5);
}

TEST(BkJsonParse, DeepNestingFailsInsteadOfOverflowingTheStack)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(Nested(L"[", L"", L"]", kMaxDepth).c_str()));
    ASSERT_TRUE(doc.Parse(Nested(L"{\"a\":", L"1", L"}", kMaxDepth).c_str()));
    // A tree that deep writes and reads back.
    std::wstring out = Pretty(doc);
    Document again;
    ASSERT_TRUE(again.Parse(out.c_str()));
    EXPECT_EQ(Compact(again), Compact(doc));

    Error e = ParseError(Nested(L"[", L"", L"]", kMaxDepth + 1));
    EXPECT_EQ(e.code, ERR_TOO_DEEP);
    EXPECT_EQ(e.column, kMaxDepth + 1);
    EXPECT_EQ(ParseError(Nested(L"{\"a\":", L"1", L"}", kMaxDepth + 1)).code, ERR_TOO_DEEP);

    // Far deeper than any stack could follow, and never closed.
    EXPECT_EQ(ParseError(std::wstring(1000000, L'[')).code, ERR_TOO_DEEP);
    EXPECT_EQ(ParseError(Nested(L"[{\"k\":", L"", L"", 200000)).code, ERR_TOO_DEEP);

    // Depth is counted per branch, not per document.
    std::wstring wide = L"[";
    for (int i = 0; i < 3 * kMaxDepth; ++i) wide += (i ? L",[[]]" : L"[[]]");
    wide += L"]";
    ASSERT_TRUE(doc.Parse(wide.c_str()));
    EXPECT_EQ(doc.GetCount(), static_cast<size_t>(3 * kMaxDepth));
}

TEST(BkJsonParse, DuplicateKeyKeepsTheLastValue)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"a\":[1,2,3],\"b\":1,\"a\":\"last\"}"));
    EXPECT_EQ(doc.GetCount(), 2u);
    EXPECT_STREQ(doc[L"a"].GetString(), L"last");
}

TEST(BkJsonParse, AFailedParseLeavesNoRoot)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"a\":1}"));
    EXPECT_FALSE(doc.Parse(L"{\"a\":1"));
    EXPECT_EQ(doc.GetRoot(), nullptr);
    EXPECT_EQ(Compact(doc), L"");
    EXPECT_FALSE(doc.HasKey(L"a"));
    // A later parse clears the old error.
    ASSERT_TRUE(doc.Parse(L"[]"));
    EXPECT_FALSE(doc.GetError().IsRecorded());
}

TEST(BkJsonWrite, CompactSortsKeysAndEscapes)
{
    Document doc;
    doc[L"b"].SetLong(1);
    doc[L"a"].SetString(L"x/y");
    EXPECT_EQ(Compact(doc), L"{\"a\":\"x\\/y\",\"b\":1}");

    Document text;
    text[L"s"].SetString(L"\"\\\b\t\n\f\r\x01\x1f \x7e\x7f\u00e9\u00ff\u0100\u4e2d\u6587");
    EXPECT_EQ(Compact(text),
              L"{\"s\":\"\\\"\\\\\\b\\t\\n\\f\\r\\u0001\\u001f ~\\u007f\\u00e9\\u00ff\u0100\u4e2d\u6587\"}");

    // Keys are ordered by code unit, upper case before lower case.
    Document keys;
    keys[L"b"].SetLong(2);
    keys[L"B"].SetLong(1);
    keys[L"\u4e2d"].SetLong(3);
    keys[L"a"].SetLong(0);
    EXPECT_EQ(Compact(keys), L"{\"B\":1,\"a\":0,\"b\":2,\"\u4e2d\":3}");

    Document empty;
    EXPECT_EQ(Compact(empty), L"");
    EXPECT_EQ(Pretty(empty), L"");
}

TEST(BkJsonWrite, LoneSurrogatesAreWrittenAsEscapes)
{
    Document doc;
    doc[L"s"].SetString(L"a\xD83D" L"b\xDE00\xD83D\xDE00");
    EXPECT_EQ(Compact(doc), L"{\"s\":\"a\\ud83db\\ude00\xD83D\xDE00\"}");
}

TEST(BkJsonWrite, PrettyLayout)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"a\":[1,2],\"b\":{},\"c\":[5],\"d\":[[]],\"e\":{\"f\":true}}"));
    EXPECT_EQ(Pretty(doc),
              L"{\r\n"
              L"    \"a\" : [\r\n"
              L"        1, \r\n"
              L"        2\r\n"
              L"    ],\r\n"
              L"    \"b\" : {\r\n"
              L"    },\r\n"
              L"    \"c\" : [5],\r\n"
              L"    \"d\" : [\r\n"
              L"        []\r\n"
              L"    ],\r\n"
              L"    \"e\" : {\r\n"
              L"        \"f\" : true\r\n"
              L"    }\r\n"
              L"}");

    ASSERT_TRUE(doc.Parse(L"[1,2]"));
    EXPECT_EQ(Pretty(doc), L"[\r\n    1, \r\n    2\r\n]");
    ASSERT_TRUE(doc.Parse(L"[]"));
    EXPECT_EQ(Pretty(doc), L"[]");
    ASSERT_TRUE(doc.Parse(L"{}"));
    EXPECT_EQ(Pretty(doc), L"{\r\n}");
    ASSERT_TRUE(doc.Parse(L"\"\u4e2d\""));
    EXPECT_EQ(Pretty(doc), L"\"\u4e2d\"");
}

TEST(BkJsonWrite, RoundTrips)
{
    const wchar_t* texts[] = {
        L"{\"a\":[1,-2,2147483647,-2147483648],\"b\":{\"c\":null,\"d\":[true,false]},\"e\":\"\"}",
        L"[\"\u641c\u7d22\u6587\u4ef6\",\"\xD83D\xDE00\",\"tab\\tquote\\\"slash\\/\",\"\\u00e9\\u0001\"]",
        L"[[[[[]]]],{\"x\":{\"y\":{\"z\":[{}]}}}]",
        L"\"\u6b63\u5728\u663e\u793a\u7ed3\u679c...\"",
        L"-123",
        L"true",
    };
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        Document first;
        ASSERT_TRUE(first.Parse(text));
        for (bool pretty : { false, true }) {
            std::wstring written;
            first.Write(written, pretty);
            Document second;
            ASSERT_TRUE(second.Parse(written.c_str()));
            EXPECT_EQ(Compact(second), Compact(first));
        }
    }
    // Text already in canonical compact form comes back unchanged.
    Document doc;
    const wchar_t* canonical = L"{\"a\":[1,-2,2147483647,-2147483648],\"b\":{\"c\":null,\"d\":[true,false]},\"e\":\"\"}";
    ASSERT_TRUE(doc.Parse(canonical));
    EXPECT_EQ(Compact(doc), canonical);
}

TEST(BkJsonHandle, MemberAccessCreatesWhatIsMissing)
{
    Document doc;
    EXPECT_EQ(doc.GetRoot(), nullptr);
    Handle h = doc[L"title"];
    ASSERT_NE(doc.GetRoot(), nullptr);
    EXPECT_EQ(h.GetKind(), KIND_NULL);
    EXPECT_EQ(h.GetOwner(), doc.GetRoot());
    EXPECT_TRUE(doc.HasKey(L"title"));
    EXPECT_FALSE(doc.HasKey(L"other"));
    EXPECT_EQ(Compact(doc), L"{\"title\":null}");

    // Reading kinds that a value does not have.
    EXPECT_EQ(h.GetString(), nullptr);
    EXPECT_EQ(h.GetLong(), 0);
    doc[L"n"].SetLong(5);
    EXPECT_EQ(doc[L"n"].GetString(), nullptr);
    doc[L"s"].SetString(L"12");
    EXPECT_EQ(doc[L"s"].GetLong(), 0);

    // Nested members: a null member becomes an object.
    doc[L"title"][L"zh"].SetString(L"\u6807\u9898");
    EXPECT_EQ(Compact(doc), L"{\"n\":5,\"s\":\"12\",\"title\":{\"zh\":\"\u6807\u9898\"}}");
}

TEST(BkJsonHandle, ReplacedMembersKeepTheirHandlesUsable)
{
    Document doc;
    Handle h = doc[L"a"];
    h.SetLong(3);
    EXPECT_EQ(doc[L"a"].GetLong(), 3);
    h.SetString(L"now text");
    EXPECT_STREQ(doc[L"a"].GetString(), L"now text");
    h.SetString(L"changed");
    EXPECT_STREQ(h.GetString(), L"changed");
    // Member access on a non-object turns it into an object, and the handle
    // follows, so further use of it is safe.
    h[L"x"].SetLong(1);
    EXPECT_EQ(h.GetKind(), KIND_OBJECT);
    h[L"y"].SetLong(2);
    EXPECT_EQ(Compact(doc), L"{\"a\":{\"x\":1,\"y\":2}}");
    h.SetLong(9);
    EXPECT_EQ(Compact(doc), L"{\"a\":9}");
}

TEST(BkJsonHandle, ArraySlotsAreReplacedInPlace)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"{\"list\":[1,\"two\",3]}"));
    Handle list = doc[L"list"];
    list.At(0).SetString(L"one");
    list.At(1).SetLong(2);
    list.At(2)[L"k"].SetLong(3);
    EXPECT_EQ(Compact(doc), L"{\"list\":[\"one\",2,{\"k\":3}]}");
    // The slot keeps its place for later replacement too.
    Handle third = list.At(2);
    third.SetString(L"three");
    EXPECT_EQ(Compact(doc), L"{\"list\":[\"one\",2,\"three\"]}");
}

TEST(BkJsonHandle, RootsThatAreNotObjectsAreLeftAlone)
{
    Document doc;
    ASSERT_TRUE(doc.Parse(L"[1,2]"));
    Handle h = doc[L"key"];
    EXPECT_EQ(h.GetValue(), nullptr);
    EXPECT_EQ(h.GetOwner(), nullptr);
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
    EXPECT_FALSE(null.HasKey(L"a"));
    EXPECT_EQ(null.GetCount(), 0u);
    EXPECT_EQ(null.At(0).GetValue(), nullptr);
}

} // namespace
