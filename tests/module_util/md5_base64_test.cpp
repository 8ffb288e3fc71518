#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "module/base64.h"
#include "module/md5.h"
#include "module_test_util.h"

using testing_support::WriteFileBytes;

namespace {

std::string Hex(const std::string& text) { return Md5HexOfBuffer(text.data(), text.size()); }

TEST(Md5, KnownDigestsAndEverySplitPoint) {
    EXPECT_EQ(Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");

    // Two updates split anywhere, across the 55/56/63/64-byte padding edges.
    std::string message;
    for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 7 + 3);
    const std::string whole = Hex(message);
    for (size_t cut = 0; cut <= message.size(); ++cut) {
        CMd5 md5;
        md5.Update(message.data(), cut);
        md5.Update(message.data() + cut, message.size() - cut);
        unsigned char digest[16];
        md5.Final(digest);
        ASSERT_EQ(Md5ToHex(digest), whole) << "split at " << cut;
    }
}

TEST(Md5, FileDigestEqualsBufferDigest) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 10000; ++i) bytes += static_cast<char>((i * 31) ^ (i >> 3));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"data.bin"), bytes));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"empty.bin"), ""));
    unsigned char digest[16];
    ASSERT_TRUE(Md5File(dir.File(L"data.bin").c_str(), digest));
    EXPECT_EQ(Md5ToHex(digest), Hex(bytes));
    ASSERT_TRUE(Md5File(dir.File(L"empty.bin").c_str(), digest));
    EXPECT_EQ(Md5ToHex(digest), Hex(""));
    EXPECT_FALSE(Md5File(dir.File(L"missing.bin").c_str(), digest));
    EXPECT_FALSE(Md5File(nullptr, digest));
}

TEST(Base64, KnownVectorsAndRoundTripsOfEveryLength) {
    EXPECT_EQ(Base64EncodeString("f"), "Zg==");
    EXPECT_EQ(Base64EncodeString("fo"), "Zm8=");
    EXPECT_EQ(Base64EncodeString("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64EncodeString("\xfb\xff\xbf"), "+/+/");
    // Every byte value and padding length; the size also rules out line breaks.
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (size_t n = 0; n <= all.size(); ++n) {
        const std::string source = all.substr(256 - n);
        const std::string encoded = Base64EncodeString(source);
        ASSERT_EQ(encoded.size(), (n + 2) / 3 * 4) << n;
        ASSERT_EQ(Base64Decode(encoded), source) << n;
    }
}

TEST(Base64, TargetSizeRules) {
    char target[16];
    std::memset(target, '#', sizeof(target));
    // Exactly the encoded length: written, no room for the terminator.
    ASSERT_TRUE(Base64Encode("abcd", 4, target, 8));
    EXPECT_EQ(std::string(target, 9), "YWJjZA==#");
    ASSERT_TRUE(Base64Encode("abcd", 4, target, 9));
    EXPECT_STREQ(target, "YWJjZA==");
    // One less: refused and untouched.
    std::memset(target, '#', sizeof(target));
    EXPECT_FALSE(Base64Encode("abcd", 4, target, 7));
    EXPECT_EQ(target[0], '#');
    EXPECT_FALSE(Base64Encode(nullptr, 0, target, sizeof(target)));
    EXPECT_FALSE(Base64Encode("a", 1, nullptr, 100));
    ASSERT_TRUE(Base64Encode("", 0, target, 1));
    EXPECT_EQ(target[0], '\0');
    ASSERT_TRUE(Base64Encode("", 0, target, 0));
    // A count whose encoded length cannot be represented is refused before any read.
    EXPECT_EQ(Base64EncodedLength(SIZE_MAX), 0u);
    EXPECT_FALSE(Base64Encode("a", SIZE_MAX, target, sizeof(target)));
    EXPECT_FALSE(Base64Encode("a", SIZE_MAX - 2, target, SIZE_MAX));
}

} // namespace
