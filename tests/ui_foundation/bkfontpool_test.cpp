#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/bkfontpool.h"

namespace {

const wchar_t kYaHei[] = L"\x5FAE\x8F6F\x96C5\x9ED1";   // 微软雅黑
const wchar_t kSongTi[] = L"\x5B8B\x4F53";             // 宋体

LOGFONTW Describe(HFONT font)
{
    LOGFONTW lf = {};
    EXPECT_EQ(::GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
}

class BkFontPoolTest : public ::testing::Test {
protected:
    void SetUp() override { BkFontPool::SetDefaultFont(kYaHei, -12); }
};

TEST_F(BkFontPoolTest, KeysReadBackAsSizeWeightUnderlineAndItalic)
{
    LOGFONTW lf = Describe(BkFontPool::GetFont(0x0000));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_STREQ(lf.lfFaceName, kYaHei);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_FALSE(lf.lfUnderline);
    EXPECT_FALSE(lf.lfItalic);
    EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);

    lf = Describe(BkFontPool::GetFont(0x0404));   // four pixels larger, bold
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_FALSE(lf.lfUnderline);
    EXPECT_STREQ(lf.lfFaceName, kYaHei);

    lf = Describe(BkFontPool::GetFont(0xFF00));   // one pixel smaller
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);

    lf = Describe(BkFontPool::GetFont(0x0202));   // two larger, underlined
    EXPECT_EQ(lf.lfHeight, -14);
    EXPECT_TRUE(lf.lfUnderline);
    EXPECT_FALSE(lf.lfItalic);

    lf = Describe(BkFontPool::GetFont(0x0001));
    EXPECT_TRUE(lf.lfItalic);
    EXPECT_FALSE(lf.lfUnderline);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);

    lf = Describe(BkFontPool::GetFont(0x8007));   // most negative delta, every flag
    EXPECT_EQ(lf.lfHeight, -12 + 128);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfUnderline);
    EXPECT_TRUE(lf.lfItalic);
}

TEST_F(BkFontPoolTest, SizeDeltaIsMeasuredAgainstTheDefaultHeight)
{
    EXPECT_EQ(BkFontPool::GetFontSizeDelta(BkFontPool::GetFont(0x0000)), 0);
    EXPECT_EQ(BkFontPool::GetFontSizeDelta(BkFontPool::GetFont(0x0200)), 2);
    EXPECT_EQ(BkFontPool::GetFontSizeDelta(BkFontPool::GetFont(0x0404)), 4);
    EXPECT_EQ(BkFontPool::GetFontSizeDelta(BkFontPool::GetFont(0xFF00)), -1);
    EXPECT_EQ(BkFontPool::GetFontSizeDelta(nullptr), 0);
}

TEST_F(BkFontPoolTest, EachKeyIsCachedOnItsOwn)
{
    HFONT plain = BkFontPool::GetFont(0x0000);
    HFONT unusedBits = BkFontPool::GetFont(0x0008);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(unusedBits, nullptr);
    EXPECT_NE(plain, unusedBits);
    EXPECT_EQ(BkFontPool::GetFont(0x0008), unusedBits);
    EXPECT_EQ(BkFontPool::GetFont(0x0000), plain);
    EXPECT_EQ(Describe(unusedBits).lfHeight, Describe(plain).lfHeight);
    EXPECT_EQ(Describe(unusedBits).lfWeight, Describe(plain).lfWeight);
}

TEST_F(BkFontPoolTest, NewFontsAreNotCached)
{
    HFONT a = BkFontPool::CreateNewFont(2, TRUE, FALSE, TRUE);
    HFONT b = BkFontPool::CreateNewFont(2, TRUE, FALSE, TRUE);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    LOGFONTW lf = Describe(a);
    EXPECT_EQ(lf.lfHeight, -14);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfItalic);
    ::DeleteObject(a);
    ::DeleteObject(b);
}

TEST_F(BkFontPoolTest, ChangingTheDefaultRebuildsOnlyKeyZero)
{
    HFONT larger = BkFontPool::GetFont(0x0300);
    BkFontPool::SetDefaultFont(L"SimSun", -14);
    EXPECT_EQ(BkFontPool::GetDefaultHeight(), -14);
    EXPECT_EQ(BkFontPool::GetDefaultFace(), L"SimSun");

    // An earlier font keeps its face and size.
    EXPECT_EQ(BkFontPool::GetFont(0x0300), larger);
    LOGFONTW lf = Describe(larger);
    EXPECT_STREQ(lf.lfFaceName, kYaHei);
    EXPECT_EQ(lf.lfHeight, -15);

    // Key 0 follows the latest default, with the quality of a non-YaHei face.
    lf = Describe(BkFontPool::GetFont(0));
    EXPECT_STREQ(lf.lfFaceName, L"SimSun");
    EXPECT_EQ(lf.lfHeight, -14);
    EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_FALSE(BkFontPool::IsYaHeiDefault());

    // New keys are made from the new template.
    lf = Describe(BkFontPool::GetFont(0x0104));
    EXPECT_STREQ(lf.lfFaceName, L"SimSun");
    EXPECT_EQ(lf.lfHeight, -15);
}

TEST_F(BkFontPoolTest, YaHeiIsRecognisedByEitherExactName)
{
    EXPECT_TRUE(BkFontPool::IsYaHeiDefault());
    BkFontPool::SetDefaultFont(L"Microsoft YaHei", -12);
    EXPECT_TRUE(BkFontPool::IsYaHeiDefault());
    EXPECT_EQ(Describe(BkFontPool::GetFont(0)).lfQuality, CLEARTYPE_QUALITY);
    BkFontPool::SetDefaultFont(L"Microsoft YaHei UI", -12);
    EXPECT_FALSE(BkFontPool::IsYaHeiDefault());
    BkFontPool::SetDefaultFont(kSongTi, -12);
    EXPECT_FALSE(BkFontPool::IsYaHeiDefault());
    BkFontPool::SetDefaultFont(nullptr, -12);
    EXPECT_FALSE(BkFontPool::IsYaHeiDefault());
}

TEST_F(BkFontPoolTest, OverlongFaceIsCutToTheFontStructure)
{
    std::wstring longFace(200, L'W');
    BkFontPool::SetDefaultFont(longFace.c_str(), -12);
    EXPECT_EQ(BkFontPool::GetDefaultFace(), longFace);
    LOGFONTW lf = Describe(BkFontPool::GetFont(0));
    EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(LF_FACESIZE - 1, L'W'));
}

TEST(BkFontPoolFaceChoice, FirstRegisteredCandidateDecides)
{
    auto choose = [](std::set<std::wstring> installed) {
        return BkFontPool::ChooseDefaultFace([&](LPCWSTR name) { return installed.count(name) ? TRUE : FALSE; });
    };
    const std::wstring yaheiValue = std::wstring(kYaHei) + L" (TrueType)";
    const std::wstring songValue = L"\x5B8B\x4F53 & \x65B0\x5B8B\x4F53 (TrueType)";

    EXPECT_EQ(choose({}), kSongTi);
    EXPECT_EQ(choose({L"SimSun & NSimSun (TrueType)"}), L"SimSun");
    EXPECT_EQ(choose({songValue, L"SimSun & NSimSun (TrueType)"}), kSongTi);
    EXPECT_EQ(choose({L"Microsoft YaHei (TrueType)", songValue}), L"Microsoft YaHei");
    EXPECT_EQ(choose({L"Microsoft YaHei (TrueType) & Microsoft YaHei UI (TrueType)"}), L"Microsoft YaHei");
    EXPECT_EQ(choose({yaheiValue, L"Microsoft YaHei (TrueType)"}), kYaHei);
    EXPECT_EQ(choose({L"Arial (TrueType)"}), kSongTi);
}

// The pool reads the system's font list; this run's Wine prefix is ours to
// change.
TEST(BkFontPoolFaceChoice, RegisteredFontMustBeAStringThatFits)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0,
                                nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t file[] = L"lumsektest.ttf";
    ::RegSetValueExW(key, L"Lumsek Test (TrueType)", 0, REG_SZ, reinterpret_cast<const BYTE*>(file), sizeof(file));
    ::RegSetValueExW(key, L"Lumsek Expand (TrueType)", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(file),
                     sizeof(file));
    DWORD number = 1;
    ::RegSetValueExW(key, L"Lumsek Number (TrueType)", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     sizeof(number));
    std::wstring longData(400, L'x');
    ::RegSetValueExW(key, L"Lumsek Long (TrueType)", 0, REG_SZ, reinterpret_cast<const BYTE*>(longData.c_str()),
                     static_cast<DWORD>((longData.size() + 1) * sizeof(wchar_t)));

    EXPECT_TRUE(BkFontPool::IsFontRegistered(L"Lumsek Test (TrueType)"));
    EXPECT_TRUE(BkFontPool::IsFontRegistered(L"Lumsek Expand (TrueType)"));
    EXPECT_FALSE(BkFontPool::IsFontRegistered(L"Lumsek Number (TrueType)"));
    EXPECT_FALSE(BkFontPool::IsFontRegistered(L"Lumsek Long (TrueType)"));
    EXPECT_FALSE(BkFontPool::IsFontRegistered(L"Lumsek Absent (TrueType)"));
    EXPECT_FALSE(BkFontPool::IsFontRegistered(nullptr));

    for (const wchar_t* name : {L"Lumsek Test (TrueType)", L"Lumsek Expand (TrueType)", L"Lumsek Number (TrueType)",
                                L"Lumsek Long (TrueType)"})
        ::RegDeleteValueW(key, name);
    ::RegCloseKey(key);
}

} // namespace
