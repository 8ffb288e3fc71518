#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "ui/bkfontpool.h"

namespace {

const wchar_t kYaHei[] = L"\x5FAE\x8F6F\x96C5\x9ED1";   // 微软雅黑
const wchar_t kSongTi[] = L"\x5B8B\x4F53";             // 宋体

LOGFONTW Describe(HFONT font) {
    LOGFONTW lf = {};
    EXPECT_EQ(::GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
}

class BkFontPoolTest : public ::testing::Test {
protected:
    void SetUp() override { BkFontPool::SetDefaultFont(kYaHei, -12); }
};

TEST_F(BkFontPoolTest, KeysReadAsSizeDeltaBoldUnderlineItalic) {
    const struct { WORD key; LONG height; LONG weight; bool underline, italic; int delta; } cases[] = {
        {0x0000, -12, FW_NORMAL, false, false, 0},
        {0x0404, -16, FW_BOLD, false, false, 4},
        {0xFF00, -11, FW_NORMAL, false, false, -1},
        {0x0202, -14, FW_NORMAL, true, false, 2},
        {0x0001, -12, FW_NORMAL, false, true, 0},
        {0x8007, -12 + 128, FW_BOLD, true, true, -128},   // most negative delta, every flag
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        HFONT font = BkFontPool::GetFont(c.key);
        LOGFONTW lf = Describe(font);
        EXPECT_EQ(std::make_tuple(lf.lfHeight, lf.lfWeight, lf.lfUnderline != 0, lf.lfItalic != 0),
                  std::make_tuple(c.height, c.weight, c.underline, c.italic));
        EXPECT_STREQ(lf.lfFaceName, kYaHei);
        EXPECT_EQ(BkFontPool::GetFontSizeDelta(font), c.delta);
    }
    EXPECT_EQ(BkFontPool::GetFontSizeDelta(nullptr), 0);

    // Unused key bits make a cache entry of their own, not a clash with key 0.
    HFONT plain = BkFontPool::GetFont(0x0000);
    HFONT unusedBits = BkFontPool::GetFont(0x0008);
    EXPECT_NE(plain, unusedBits);
    EXPECT_EQ(BkFontPool::GetFont(0x0000), plain);

    // Made-to-order fonts belong to the caller, who deletes them: never a pooled handle.
    HFONT a = BkFontPool::CreateNewFont(2, TRUE, FALSE, TRUE);
    EXPECT_NE(a, BkFontPool::GetFont(0x0202));
    EXPECT_EQ(Describe(a).lfHeight, -14);
    ::DeleteObject(a);
}

TEST_F(BkFontPoolTest, ChangingTheDefaultRebuildsOnlyKeyZeroAndYaHeiIsKnownByExactName) {
    HFONT larger = BkFontPool::GetFont(0x0300);
    BkFontPool::SetDefaultFont(L"SimSun", -14);
    // An earlier font keeps its face and size.
    EXPECT_EQ(BkFontPool::GetFont(0x0300), larger);
    EXPECT_STREQ(Describe(larger).lfFaceName, kYaHei);
    // Key 0 follows the latest default, with the quality of a non-YaHei face.
    LOGFONTW lf = Describe(BkFontPool::GetFont(0));
    EXPECT_STREQ(lf.lfFaceName, L"SimSun");
    EXPECT_EQ(lf.lfHeight, -14);
    EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
    // A key first asked for now (one no layout style uses, so that no
    // earlier test made it) follows it too.
    lf = Describe(BkFontPool::GetFont(0x0705));
    EXPECT_STREQ(lf.lfFaceName, L"SimSun");
    EXPECT_EQ(lf.lfHeight, -21);

    for (const wchar_t* face : {L"Microsoft YaHei UI", kSongTi, static_cast<const wchar_t*>(nullptr)}) {
        BkFontPool::SetDefaultFont(face, -12);
        EXPECT_FALSE(BkFontPool::IsYaHeiDefault());
    }
    BkFontPool::SetDefaultFont(L"Microsoft YaHei", -12);
    EXPECT_TRUE(BkFontPool::IsYaHeiDefault());
    EXPECT_EQ(Describe(BkFontPool::GetFont(0)).lfQuality, CLEARTYPE_QUALITY);
    // An overlong face is cut to the font structure.
    std::wstring longFace(200, L'W');
    BkFontPool::SetDefaultFont(longFace.c_str(), -12);
    EXPECT_EQ(BkFontPool::GetDefaultFace(), longFace);
    EXPECT_EQ(std::wstring(Describe(BkFontPool::GetFont(0)).lfFaceName), std::wstring(LF_FACESIZE - 1, L'W'));
}

TEST(BkFontPoolFaceChoice, FirstRegisteredCandidateDecides) {
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
}

// The pool reads the system's font list; this run's Wine prefix is ours to change.
TEST(BkFontPoolFaceChoice, RegisteredFontMustBeAStringThatFits) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0,
                                nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t file[] = L"lumsektest.ttf";
    const DWORD number = 1;
    const std::wstring longData(400, L'x');
    const struct { const wchar_t* name; DWORD type; const void* data; DWORD size; bool found; } values[] = {
        {L"Lumsek Test (TrueType)", REG_SZ, file, sizeof(file), true},
        {L"Lumsek Expand (TrueType)", REG_EXPAND_SZ, file, sizeof(file), true},
        {L"Lumsek Number (TrueType)", REG_DWORD, &number, sizeof(number), false},
        {L"Lumsek Long (TrueType)", REG_SZ, longData.c_str(), static_cast<DWORD>((longData.size() + 1) * 2), false},
    };
    for (const auto& v : values)
        ::RegSetValueExW(key, v.name, 0, v.type, static_cast<const BYTE*>(v.data), v.size);
    for (const auto& v : values) EXPECT_EQ(BkFontPool::IsFontRegistered(v.name) != FALSE, v.found) << v.name;
    EXPECT_FALSE(BkFontPool::IsFontRegistered(nullptr));
    for (const auto& v : values) ::RegDeleteValueW(key, v.name);
    ::RegCloseKey(key);
}

} // namespace
