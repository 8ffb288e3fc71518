#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/bkvalue.h"

namespace {

TEST(BkValue, HexReadsWholeTextOrNothing) {
    const struct { std::string text; UINT want; } cases[] = {
        {"2210", 0x2210u}, {"aBcD", 0xABCDu}, {"ffffffff", 0xFFFFFFFFu},
        {"", 0u}, {"2g", 0u}, {"g2", 0u}, {" 24", 0u}, {"24 ", 0u}, {"0x24", 0u}, {"-1", 0u},
        {"123456789", 0x23456789u},           // longer than 32 bits: the low digits stay
        {std::string("24\0" "1", 4), 0u},     // read to the real end, past an embedded NUL
    };
    for (const auto& c : cases) EXPECT_EQ(BkParseHex(c.text), c.want) << c.text;
}

TEST(BkValue, ColourNeedsSixHexDigits) {
    EXPECT_EQ(BkParseColor("1177c0"), RGB(0x11, 0x77, 0xC0));
    EXPECT_EQ(BkParseColor("1177C0zz"), RGB(0x11, 0x77, 0xC0));   // past the sixth: not read
    const std::string bad[] = {"", "1177C", "GG0000", "11 7C0", "#11770", std::string("11770", 5)};
    for (const std::string& text : bad) EXPECT_EQ(BkParseColor(text), CLR_INVALID) << text;
}

TEST(BkValue, DecimalReadsASignedPrefixAndClamps) {
    const struct { const char* text; int want; } cases[] = {
        {"-7", -7}, {"+3", 3}, {"  5px", 5}, {"20,5", 20}, {"abc", 0}, {"-", 0},
        {"-2147483648", INT_MIN}, {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX}, {"-99999999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(BkParseInt(c.text), c.want) << c.text;
}

TEST(BkValue, IdTakesOnlyDigitsThatFit) {
    UINT id = 77;
    EXPECT_TRUE(BkParseId("4294967295", &id));
    EXPECT_EQ(id, 4294967295u);
    id = 77;
    for (const char* bad : {"", "4294967296", "12a", "-1", " 1"}) EXPECT_FALSE(BkParseId(bad, &id)) << bad;
    EXPECT_EQ(id, 77u);
}

TEST(BkValue, CursorNamesAreExact) {
    LPCWSTR cursor = nullptr;
    EXPECT_TRUE(BkParseCursor("sizens", &cursor));
    EXPECT_EQ(cursor, IDC_SIZENS);
    cursor = IDC_ARROW;
    for (const char* bad : {"Hand", "", "wait"}) EXPECT_FALSE(BkParseCursor(bad, &cursor)) << bad;
    EXPECT_EQ(cursor, IDC_ARROW);
}

} // namespace
