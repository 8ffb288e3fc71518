#include <gtest/gtest.h>

#include <map>

#include "ui/bkpos.h"
#include "ui/bkstrref.h"
#include "ui/bkwnd.h"

namespace {

BkPosition Parsed(const char* text) {
    BkPosition pos;
    pos.Parse(text);
    return pos;
}

} // namespace

TEST(PosGrammar, OneOrThreeItemsAreDroppedAndAFifthIsNotRead) {
    EXPECT_EQ(Parsed("5").count, 0);
    EXPECT_EQ(Parsed("1,2,3").count, 0);
    BkPosition five = Parsed("1,2,3,4,5");
    EXPECT_EQ(five.count, 4);
    EXPECT_EQ(five.items[3].value, 4);
}

TEST(PosGrammar, EmptyTextKeepsThePositionAndDigitlessItemsReadZero) {
    BkPosition pos = Parsed("3,4");
    EXPECT_FALSE(pos.Parse(""));
    EXPECT_EQ(pos.count, 2);
    EXPECT_EQ(pos.items[1].value, 4);

    BkPosition odd = Parsed("abc,-x");
    ASSERT_EQ(odd.count, 2);
    EXPECT_EQ(odd.items[0].value, 0);
    EXPECT_TRUE(odd.items[1].fromFarEdge);
    EXPECT_EQ(odd.items[1].value, 0);
    // A dropped position replaces an earlier one.
    EXPECT_TRUE(pos.Parse("7"));
    EXPECT_EQ(pos.count, 0);
}

TEST(PosGrammar, CentreHalvesTowardZero) {
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, false, 0}, 0, 7), 3);
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, false, 0}, -7, 0), -4);
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, true, 4}, 10, 110), 56);
}

class StringRefs : public ::testing::Test {
protected:
    std::map<int, std::wstring> table{{1, L"A"}, {2, L"Hello"}, {3, L"%str2%"}, {12, L"twelve"}};
    BkStringLookup lookup = [this](int id) -> const wchar_t* {
        auto it = table.find(id);
        return it == table.end() ? nullptr : it->second.c_str();
    };
};

TEST_F(StringRefs, ReplacesEveryReferenceAlsoWhenTheTextShrinks) {
    EXPECT_EQ(BkExpandStringRefs(L"%str2%", lookup), L"Hello");
    EXPECT_EQ(BkExpandStringRefs(L"[%str1%][%str12%]", lookup), L"[A][twelve]");
    EXPECT_EQ(BkExpandStringRefs(L"%str1%%str2%", lookup), L"AHello");
    // An unknown id inserts nothing and the scan goes on.
    EXPECT_EQ(BkExpandStringRefs(L"x%str99%y%str1%", lookup), L"xyA");
}

TEST_F(StringRefs, BadNumberOrMissingCloseEndsTheScan) {
    EXPECT_EQ(BkExpandStringRefs(L"%str0%%str1%", lookup), L"%str0%%str1%");
    EXPECT_EQ(BkExpandStringRefs(L"%str-1%", lookup), L"%str-1%");
    EXPECT_EQ(BkExpandStringRefs(L"%strx%", lookup), L"%strx%");
    EXPECT_EQ(BkExpandStringRefs(L"%str1%, then %str2", lookup), L"A, then %str2");
    EXPECT_EQ(BkExpandStringRefs(L"%str", lookup), L"%str");
}

TEST_F(StringRefs, InsertedTextIsNotExpandedAgain) {
    EXPECT_EQ(BkExpandStringRefs(L"%str3%", lookup), L"%str2%");
}

TEST(ControlColor, PairsReadSeparatelyAndBadPairsReadZero) {
    EXPECT_EQ(BkParseControlColor("1177C0"), RGB(0x11, 0x77, 0xC0));
    EXPECT_EQ(BkParseControlColor("ff00aA"), RGB(0xFF, 0x00, 0xAA));
    EXPECT_EQ(BkParseControlColor("zz77C0"), RGB(0x00, 0x77, 0xC0));
    EXPECT_EQ(BkParseControlColor("1177"), RGB(0x11, 0x77, 0x00));
    EXPECT_EQ(BkParseControlColor(""), RGB(0, 0, 0));
}
