#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/file_version.h"
#include "module/ini_file.h"
#include "module_test_util.h"
#include "platform/strconv.h"

using testing_support::WriteFileBytes;

namespace {

// An index-like text with the odd lines the reader must cope with.
const std::wstring kOddText =
    L"FN=before-any-section.dll\r\n"
    L"   [ files ]   trailing words\r\n"
    L"FN = a.dll      \r\n"
    L"\tSFN\t=\t0123456789abcdef\t\r\n"
    L"no equals sign here\r\n"
    L"= value without key\r\n"
    L"   ; indented comment = not a key\r\n"
    L"Name=\u6587\u4ef6\u540d.txt\r\n"
    L"Eq = a=b=c\r\n"
    L"Empty =\r\n"
    L"[broken header\r\n"
    L"AfterBroken=still files\r\n"
    L"[   ]\r\n"
    L"AfterEmptyName=still files\r\n"
    L"[Info]\n"
    L"c=2\n"
    L"[FILES]\r"
    L"fn=replaced.dll\r"
    L"[\u4e2d\u6587]\r\n"
    L"K=V";

TEST(IniFile, OddLinesInEachEncodingReadTheSame) {
    TempDir dir;
    std::vector<std::string> encodings = {Utf16Le(kOddText), "\xef\xbb\xbf" + platform::WideToUtf8(kOddText)};
    // ANSI text in the system code page: the ideographs only survive in 936.
    if (::GetACP() == 936) encodings.push_back(platform::WideToAnsi(kOddText));
    for (size_t i = 0; i < encodings.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(WriteFileBytes(dir.File(L"odd.ini"), encodings[i]));
        CIniFile ini;
        ASSERT_EQ(ini.Load(dir.File(L"odd.ini").c_str()), S_OK);
        EXPECT_EQ(ini.Sections().size(), 3u);
        EXPECT_EQ(ini.GetString(L"files", L"SFN"), L"0123456789abcdef");
        // The repeated section continues, the repeated key (any case) replaces.
        EXPECT_EQ(ini.GetString(L"files", L"FN"), L"replaced.dll");
        EXPECT_EQ(ini.GetString(L"Files", L"Name"), L"\u6587\u4ef6\u540d.txt");
        EXPECT_EQ(ini.GetString(L"files", L"Eq"), L"a=b=c");
        EXPECT_TRUE(ini.HasKey(L"files", L"Empty"));
        EXPECT_EQ(ini.GetString(L"files", L"AfterBroken"), L"still files");
        EXPECT_EQ(ini.GetString(L"files", L"AfterEmptyName"), L"still files");
        EXPECT_EQ(ini.FindSection(L"files")->size(), 7u);
        EXPECT_TRUE(ini.HasInfoSection());
        EXPECT_EQ(ini.GetUInt(L"INFO", L"C"), 2u);
        EXPECT_EQ(ini.GetString(L"\u4e2d\u6587", L"k"), L"V");
    }
    if (::GetACP() != 936) {
        ASSERT_TRUE(WriteFileBytes(dir.File(L"ansi.ini"), "[files]\r\nFN=caf\xe9.dll\r\n"));
        CIniFile ini;
        ASSERT_EQ(ini.Load(dir.File(L"ansi.ini").c_str()), S_OK);
        EXPECT_EQ(ini.GetString(L"files", L"FN"), L"caf\u00e9.dll");
    }
}

TEST(IniFile, ByteOrderMarksAndEndOfText) {
    CIniFile ini;
    // The UTF-8 mark is not part of the first line, so "[a]" is a header.
    const std::string utf8 = "\xef\xbb\xbf[a]\nk=\xe4\xb8\xad";
    ASSERT_EQ(ini.DecodeText(utf8.data(), utf8.size()), S_OK);
    EXPECT_EQ(ini.GetString(L"a", L"k"), L"\u4e2d");
    // A NUL ends the text, whatever follows.
    const std::string withNul("[a]\r\nk=1\r\n\0[b]\r\nk=2\r\n", 22);
    ASSERT_EQ(ini.DecodeText(withNul.data(), withNul.size()), S_OK);
    EXPECT_EQ(ini.GetString(L"a", L"k"), L"1");
    EXPECT_EQ(ini.FindSection(L"b"), nullptr);
    // UTF-16 with an odd byte count: the half character is dropped.
    const std::string utf16 = Utf16Le(L"[a]\nk=xy") + "z";
    ASSERT_EQ(ini.DecodeText(utf16.data(), utf16.size()), S_OK);
    EXPECT_EQ(ini.GetString(L"a", L"k"), L"xy");
    // Truncated UTF-8 sequences and marks shorter than their encoding.
    const std::string cut = "\xef\xbb\xbf[a]\nk=\xe4\xb8";
    ASSERT_EQ(ini.DecodeText(cut.data(), cut.size()), S_OK);
    EXPECT_TRUE(ini.HasKey(L"a", L"k"));
    ASSERT_EQ(ini.DecodeText("\xef\xbb", 2), S_OK);
    ASSERT_EQ(ini.DecodeText("\xff", 1), S_OK);
    ASSERT_EQ(ini.DecodeText(nullptr, 10), S_OK);
    EXPECT_TRUE(ini.Sections().empty());
}

TEST(IniFile, NumbersAndSectionOrder) {
    CIniFile ini;
    ini.Parse(L"[n]\na= 42abc\nb=-1\nc=99999999999\nd=4294967295\ne=\nf=\t7", 100);
    std::wstring values;
    for (const wchar_t* key : {L"a", L"b", L"c", L"d", L"e", L"f", L"none"}) values += std::to_wstring(ini.GetUInt(L"n", key)) + L",";
    EXPECT_EQ(values, L"42,0,4294967295,4294967295,0,7,0,");
    EXPECT_FALSE(ini.HasKey(L"n", nullptr));
    // Section names of other cases meet; order is by folded name.
    ini.Parse(L"[b]\nx=1\n[A]\nx=2\n[c]\nx=3\n[_]\nx=4\n", 100);
    std::wstring order;
    for (const auto& s : ini.Sections()) order += s.first + L",";
    EXPECT_EQ(order, L"_,A,b,c,");
}

TEST(IniFile, LoadFailuresAreReported) {
    TempDir dir;
    CIniFile ini;
    ini.Parse(L"[old]\nk=v", 9);
    EXPECT_TRUE(FAILED(ini.Load(dir.File(L"missing.ini").c_str())));
    EXPECT_TRUE(ini.Sections().empty());
    EXPECT_EQ(ini.Load(nullptr), E_INVALIDARG);
    EXPECT_TRUE(FAILED(ini.Load(dir.Path().c_str())));

    // Files of 4 GiB are refused without reading (the file is sparse here).
    const std::wstring huge = dir.File(L"huge.ini");
    HANDLE f = ::CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = 0x100000000ll;
    ASSERT_TRUE(::SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(f));
    ::CloseHandle(f);
    EXPECT_EQ(ini.Load(huge.c_str()), HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    ::DeleteFileW(huge.c_str());

    // An empty file is an empty document, not a failure.
    ASSERT_TRUE(WriteFileBytes(dir.File(L"empty.ini"), ""));
    EXPECT_EQ(ini.Load(dir.File(L"empty.ini").c_str()), S_OK);
}

TEST(IniFile, GarbageNeverCrashes) {
    // Pseudo-random bytes in each encoding, rich in brackets and equals signs.
    uint32_t seed = 12345;
    auto next = [&seed] { seed = seed * 1103515245u + 12345u; return static_cast<unsigned char>(seed >> 16); };
    for (const char* prefix : {"", "\xef\xbb\xbf", "\xff\xfe"}) {
        for (int round = 0; round < 20; ++round) {
            std::string bytes = prefix;
            for (int i = 0; i < 1 + round * 997; ++i) {
                unsigned char c = next();
                bytes += static_cast<char>(c < 40 ? "[]=;\r\n \t"[c % 8] : c);
            }
            CIniFile ini;
            ASSERT_EQ(ini.DecodeText(bytes.data(), bytes.size()), S_OK);
            for (const auto& section : ini.Sections()) {
                ASSERT_FALSE(section.first.empty());
                for (const auto& key : section.second) ASSERT_FALSE(key.first.empty());
            }
        }
    }
}

TEST(FileVersion, ReadsFormatsAndParses) {
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    DWORD ms = 0, ls = 0;
    ASSERT_TRUE(GetFileVersion((std::wstring(system) + L"\\kernel32.dll").c_str(), ms, ls));
    EXPECT_NE(ms, 0u);
    EXPECT_EQ(ParseVersion(FormatFileVersion(ms, ls)), PackVersion(ms, ls));

    TempDir dir;
    EXPECT_FALSE(GetFileVersion(dir.File(L"missing.dll").c_str(), ms, ls));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"junk.dll"), std::string("MZ\x90\0garbage", 11) + std::string(5000, '\x7f')));
    EXPECT_FALSE(GetFileVersion(dir.File(L"junk.dll").c_str(), ms, ls));
    EXPECT_FALSE(GetFileVersion(nullptr, ms, ls));

    EXPECT_EQ(FormatFileVersion(0xFFFF0000, 0x0000FFFF), L"65535.0.0.65535");
    // A part too large for 16 bits does not spill into its neighbour.
    const std::pair<const wchar_t*, unsigned long long> versions[] = {
        {L"10.0.19041.1", 0x000A00004A610001ull}, {L"1.2", 0x0001000200000000ull}, {L"1.2b.3.4", 0x0001000200000000ull},
        {L"x", 0}, {L"1.70000.3.4", 0x0001FFFF00030004ull}, {L"1.2.3.4.5", 0x0001000200030004ull}};
    for (const auto& v : versions) EXPECT_EQ(ParseVersion(v.first), v.second) << v.first;
}

} // namespace
