#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/bkvalue.h"

namespace {

TEST(BkValue, HexReadsWholeTextOrNothing)
{
    EXPECT_EQ(BkParseHex("24"), 0x24u);
    EXPECT_EQ(BkParseHex("25"), 0x25u);
    EXPECT_EQ(BkParseHex("8824"), 0x8824u);
    EXPECT_EQ(BkParseHex("2210"), 0x2210u);
    EXPECT_EQ(BkParseHex("0404"), 0x0404u);
    EXPECT_EQ(BkParseHex("aBcD"), 0xABCDu);
    EXPECT_EQ(BkParseHex("ffffffff"), 0xFFFFFFFFu);
    // Any character that is not a hexadecimal digit, wherever it stands.
    EXPECT_EQ(BkParseHex(""), 0u);
    EXPECT_EQ(BkParseHex("2g"), 0u);
    EXPECT_EQ(BkParseHex("g2"), 0u);
    EXPECT_EQ(BkParseHex(" 24"), 0u);
    EXPECT_EQ(BkParseHex("24 "), 0u);
    EXPECT_EQ(BkParseHex("0x24"), 0u);
    EXPECT_EQ(BkParseHex("-1"), 0u);
    // Longer than 32 bits: the low digits stay.
    EXPECT_EQ(BkParseHex("123456789"), 0x23456789u);
    // A text with an embedded NUL is read to its real end.
    EXPECT_EQ(BkParseHex(std::string("24\0" "1", 4)), 0u);
}

TEST(BkValue, ColourReadsSixDigitsAsRedGreenBlue)
{
    COLORREF c = BkParseColor("1177C0");
    EXPECT_EQ(GetRValue(c), 0x11);
    EXPECT_EQ(GetGValue(c), 0x77);
    EXPECT_EQ(GetBValue(c), 0xC0);
    EXPECT_EQ(BkParseColor("1177c0"), c);
    EXPECT_EQ(BkParseColor("000000"), RGB(0, 0, 0));
    EXPECT_EQ(BkParseColor("FFFFFF"), RGB(255, 255, 255));
    EXPECT_EQ(BkParseColor("FA1313"), RGB(0xFA, 0x13, 0x13));
    // Characters after the sixth are not read.
    EXPECT_EQ(BkParseColor("1177C0zz"), c);
}

TEST(BkValue, ColourThatIsShortOrNotHexIsNoColour)
{
    EXPECT_EQ(BkParseColor(""), CLR_INVALID);
    EXPECT_EQ(BkParseColor("1"), CLR_INVALID);
    EXPECT_EQ(BkParseColor("1177C"), CLR_INVALID);
    EXPECT_EQ(BkParseColor("none"), CLR_INVALID);
    EXPECT_EQ(BkParseColor("GG0000"), CLR_INVALID);
    EXPECT_EQ(BkParseColor("11 7C0"), CLR_INVALID);
    EXPECT_EQ(BkParseColor("#11770"), CLR_INVALID);
    // The text ends inside the last pair: nothing past it is read.
    std::string shortText("11770", 5);
    EXPECT_EQ(BkParseColor(shortText), CLR_INVALID);
}

TEST(BkValue, DecimalReadsASignedPrefix)
{
    EXPECT_EQ(BkParseInt("12"), 12);
    EXPECT_EQ(BkParseInt("-7"), -7);
    EXPECT_EQ(BkParseInt("+3"), 3);
    EXPECT_EQ(BkParseInt("  5px"), 5);
    EXPECT_EQ(BkParseInt("20,5"), 20);
    EXPECT_EQ(BkParseInt("abc"), 0);
    EXPECT_EQ(BkParseInt(""), 0);
    EXPECT_EQ(BkParseInt("-"), 0);
    EXPECT_EQ(BkParseInt("2147483647"), INT_MAX);
    EXPECT_EQ(BkParseInt("-2147483648"), INT_MIN);
    // Absurd numbers clamp rather than wrap round to some other value.
    EXPECT_EQ(BkParseInt("2147483648"), INT_MAX);
    EXPECT_EQ(BkParseInt("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(BkParseInt("-99999999999999999999999"), INT_MIN);
}

TEST(BkValue, IdTakesOnlyDigitsThatFit)
{
    UINT id = 77;
    EXPECT_TRUE(BkParseId("58", &id));
    EXPECT_EQ(id, 58u);
    EXPECT_TRUE(BkParseId("0", &id));
    EXPECT_EQ(id, 0u);
    EXPECT_TRUE(BkParseId("4294967295", &id));
    EXPECT_EQ(id, 4294967295u);

    id = 77;
    EXPECT_FALSE(BkParseId("", &id));
    EXPECT_FALSE(BkParseId("4294967296", &id));
    EXPECT_FALSE(BkParseId("12a", &id));
    EXPECT_FALSE(BkParseId("-1", &id));
    EXPECT_FALSE(BkParseId(" 1", &id));
    EXPECT_EQ(id, 77u);
}

TEST(BkValue, CursorNamesMapToSystemCursors)
{
    LPCWSTR cursor = nullptr;
    EXPECT_TRUE(BkParseCursor("hand", &cursor));
    EXPECT_EQ(cursor, IDC_HAND);
    EXPECT_TRUE(BkParseCursor("arrow", &cursor));
    EXPECT_EQ(cursor, IDC_ARROW);
    EXPECT_TRUE(BkParseCursor("ibeam", &cursor));
    EXPECT_EQ(cursor, IDC_IBEAM);
    EXPECT_TRUE(BkParseCursor("sizens", &cursor));
    EXPECT_EQ(cursor, IDC_SIZENS);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(IDC_HAND), 32649u);

    cursor = IDC_ARROW;
    EXPECT_FALSE(BkParseCursor("Hand", &cursor));
    EXPECT_FALSE(BkParseCursor("", &cursor));
    EXPECT_FALSE(BkParseCursor("wait", &cursor));
    EXPECT_EQ(cursor, IDC_ARROW);
}

} // namespace
