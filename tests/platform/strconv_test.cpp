#include <gtest/gtest.h>

#include "platform/strconv.h"

using namespace platform;

TEST(StrConv, Utf8AndUtf16RoundTrip) {
    const std::wstring text = L"D:\\\u6587\u6863\\\u62a5\u544a-\u00e9t\u00e9 \U0001F600.txt";
    const std::string utf8 = WideToUtf8(text);
    EXPECT_EQ(utf8, u8"D:\\文档\\报告-été 😀.txt");
    EXPECT_EQ(Utf8ToWide(utf8), text);
    EXPECT_TRUE(WideToUtf8(static_cast<const wchar_t*>(nullptr)).empty());
    // An explicit length stops at that length, NULs included.
    EXPECT_EQ(Utf8ToWide("ab\0cd", 5), std::wstring(L"ab\0cd", 5));
}

TEST(StrConv, AnsiFollowsTheSystemCodePage) {
    // The runner sets the code page through the Linux locale.
    const UINT acp = ::GetACP();
    if (acp == 936) {
        // A Chinese name round-trips and takes two bytes per ideograph.
        const std::wstring name = L"\u6211\u7684\u6587\u4ef6.doc";  // 我的文件.doc
        EXPECT_EQ(WideToAnsi(name), std::string("\xce\xd2\xb5\xc4\xce\xc4\xbc\xfe.doc"));
        EXPECT_EQ(AnsiToWide("\xce\xd2\xb5\xc4\xce\xc4\xbc\xfe.doc"), name);
    } else if (acp == 1252) {
        EXPECT_EQ(WideToAnsi(L"caf\u00e9"), std::string("caf\xe9"));
        EXPECT_EQ(AnsiToWide("caf\xe9"), L"caf\u00e9");
        // Ideographs have no place in 1252 and turn into the default character.
        EXPECT_EQ(WideToAnsi(L"\u6211"), "?");
    } else {
        FAIL() << "the test run expects code page 936 or 1252, got " << acp;
    }
}
