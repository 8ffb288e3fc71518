#include <gtest/gtest.h>

#include <map>

#include "ui/bkpos.h"
#include "ui/bkstrref.h"
#include "ui/bkwnd.h"

TEST(PosGrammar, ItemCountsDigitlessItemsAndCentreRounding) {
    BkPosition pos;
    pos.Parse("1,2,3,4,5");   // a fifth item is not read
    EXPECT_EQ(pos.count, 4);
    EXPECT_EQ(pos.items[3].value, 4);
    EXPECT_FALSE(pos.Parse(""));   // empty text keeps the position
    EXPECT_EQ(pos.count, 4);
    for (const char* dropped : {"5", "1,2,3"}) {
        EXPECT_TRUE(pos.Parse(dropped));   // one or three items replace it with none
        EXPECT_EQ(pos.count, 0) << dropped;
    }
    pos.Parse("abc,-x");
    ASSERT_EQ(pos.count, 2);
    EXPECT_EQ(pos.items[0].value, 0);
    EXPECT_TRUE(pos.items[1].fromFarEdge);
    EXPECT_EQ(pos.items[1].value, 0);
    // Centre positions halve toward zero.
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, false, 0}, 0, 7), 3);
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, false, 0}, -7, 0), -4);
    EXPECT_EQ(BkPosition::Resolve(BkPosItem{true, true, 4}, 10, 110), 56);
}

TEST(StringRefs, ExpandOnceAndStopAtABadReference) {
    std::map<int, std::wstring> table{{1, L"A"}, {2, L"Hello"}, {3, L"%str2%"}, {12, L"twelve"}};
    BkStringLookup lookup = [&](int id) -> const wchar_t* {
        auto it = table.find(id);
        return it == table.end() ? nullptr : it->second.c_str();
    };
    const struct { const wchar_t* text; const wchar_t* want; } cases[] = {
        {L"[%str1%][%str12%]", L"[A][twelve]"},   // the text shrinks and grows
        {L"%str1%%str2%", L"AHello"},
        {L"x%str99%y%str1%", L"xyA"},              // unknown id: nothing, the scan goes on
        {L"%str3%", L"%str2%"},                    // inserted text is not expanded again
        {L"%str0%%str1%", L"%str0%%str1%"},        // a bad number ends the scan
        {L"%str-1%", L"%str-1%"},
        {L"%str1%, then %str2", L"A, then %str2"},
        {L"%str", L"%str"},
    };
    for (const auto& c : cases) EXPECT_EQ(BkExpandStringRefs(c.text, lookup), c.want) << c.text;
}

TEST(ControlColor, PairsReadSeparatelyAndBadPairsReadZero) {
    EXPECT_EQ(BkParseControlColor("ff00aA"), RGB(0xFF, 0x00, 0xAA));
    EXPECT_EQ(BkParseControlColor("zz77C0"), RGB(0x00, 0x77, 0xC0));
    EXPECT_EQ(BkParseControlColor("1177"), RGB(0x11, 0x77, 0x00));
    EXPECT_EQ(BkParseControlColor(""), RGB(0, 0, 0));
}
