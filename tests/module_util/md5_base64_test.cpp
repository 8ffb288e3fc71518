#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "module/base64.h"
#include "module/md5.h"
#include "temp_dir.h"
#include "tests/support/test_support.h"

namespace {

std::string Hex(const std::string& text) { return Md5HexOfBuffer(text.data(), text.size()); }

// Reference decoder, only to check round trips.
std::string Base64Decode(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=') break;
        size_t v = alphabet.find(c);
        if (v == std::string::npos) return "<bad>";
        value = (value << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((value >> bits) & 0xff);
        }
    }
    return out;
}

} // namespace

TEST(Md5, Rfc1321TestSuite) {
    EXPECT_EQ(Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, PiecewiseUpdatesMatchOneShotAcrossBlockEdges) {
    std::string message;
    for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 7 + 3);
    const std::string whole = Hex(message);
    // Every split point, covering the 55/56/63/64-byte padding edges.
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
    ASSERT_TRUE(testing_support::WriteFileBytes(dir.File(L"data.bin"), bytes));
    unsigned char digest[16];
    ASSERT_TRUE(Md5File(dir.File(L"data.bin").c_str(), digest));
    EXPECT_EQ(Md5ToHex(digest), Hex(bytes));

    ASSERT_TRUE(testing_support::WriteFileBytes(dir.File(L"empty.bin"), ""));
    ASSERT_TRUE(Md5File(dir.File(L"empty.bin").c_str(), digest));
    EXPECT_EQ(Md5ToHex(digest), "d41d8cd98f00b204e9800998ecf8427e");

    EXPECT_FALSE(Md5File(dir.File(L"missing.bin").c_str(), digest));
    EXPECT_FALSE(Md5File(nullptr, digest));
}

TEST(Base64, Rfc4648Vectors) {
    EXPECT_EQ(Base64EncodeString(""), "");
    EXPECT_EQ(Base64EncodeString("f"), "Zg==");
    EXPECT_EQ(Base64EncodeString("fo"), "Zm8=");
    EXPECT_EQ(Base64EncodeString("foo"), "Zm9v");
    EXPECT_EQ(Base64EncodeString("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64EncodeString("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64EncodeString("foobar"), "Zm9vYmFy");
    // Both characters past Z, z and 9 appear, and no line break in long text.
    EXPECT_EQ(Base64EncodeString("\xfb\xff\xbf"), "+/+/");
    std::string longText = Base64EncodeString(std::string(200, 'x'));
    EXPECT_EQ(longText.size(), 268u);
    EXPECT_EQ(longText.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64, RoundTripsEveryLengthAndByteValue) {
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
    EXPECT_EQ(std::string(target, 8), "YWJjZA==");
    EXPECT_EQ(target[8], '#');
    // One more: terminated.
    ASSERT_TRUE(Base64Encode("abcd", 4, target, 9));
    EXPECT_STREQ(target, "YWJjZA==");
    // One less: refused and untouched.
    std::memset(target, '#', sizeof(target));
    EXPECT_FALSE(Base64Encode("abcd", 4, target, 7));
    EXPECT_EQ(target[0], '#');
    // Missing source or target.
    EXPECT_FALSE(Base64Encode(nullptr, 0, target, sizeof(target)));
    EXPECT_FALSE(Base64Encode("a", 1, nullptr, 100));
    // Empty source: nothing but the terminator.
    target[0] = '#';
    ASSERT_TRUE(Base64Encode("", 0, target, 1));
    EXPECT_EQ(target[0], '\0');
    ASSERT_TRUE(Base64Encode("", 0, target, 0));
    // A count whose encoded length cannot be represented is refused before any read.
    EXPECT_EQ(Base64EncodedLength(SIZE_MAX), 0u);
    EXPECT_FALSE(Base64Encode("a", SIZE_MAX, target, sizeof(target)));
    EXPECT_FALSE(Base64Encode("a", SIZE_MAX - 2, target, SIZE_MAX));
}
