#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "module/ini_file.h"
#include "module/update_index.h"
#include "module_test_util.h"
#include "platform/strconv.h"

using testing_support::PathExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

std::string Pack(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(text.data()),
                       static_cast<uLong>(text.size())),
              Z_OK);
    out.resize(size);
    return out;
}

CIniFile Read(const std::wstring& text, const std::wstring& subPath = L"") {
    CIniFile ini;
    ini.Parse(text.data(), text.size());
    ini.SetSubPath(subPath);
    return ini;
}

const std::wstring kM = L"0123456789abcdef0123456789abcdef";

// Each entry as "name|server name|remote path|destination|version|crc|check mode|at restart".
std::vector<std::wstring> Describe(const std::vector<CUpdateEntry>& entries) {
    std::vector<std::wstring> out;
    for (const CUpdateEntry& e : entries) {
        out.push_back(e.FileName + L"|" + e.ServerFileName + L"|" + e.RemotePath + L"|" + e.Destination + L"|" +
                      e.Version + L"|" + std::to_wstring(e.Crc) + L"|" + std::to_wstring(e.CheckMode) + L"|" +
                      std::to_wstring(e.ReplaceAtRestart));
    }
    return out;
}

TEST(UpdateIndex, LeafEntriesWithDefaults) {
    const CIniFile index = Read(
        L"[COMMENT]\nFN=notes.txt\nSFN=x\n"
        L"[b-file]\nFN = b.dll   \nSFN=1111\n"
        L"[A-file]\nFN=a.exe\nSFN=2222\nRP=bin/\nLP=%P\\bin%\nVer=1.2.3.4\nC=305419896\nCV=0\nUR=1\n"
        L"[c-file]\nFN=c.dll\nSFN=3333\nCV=\n",
        L"sub/");
    EXPECT_FALSE(IsSubIndexList(index));
    // Sections in case-folded name order; "COMMENT" is skipped; the check mode
    // defaults to CRC only (3), but a "CV" that is present and empty reads as 0.
    EXPECT_EQ(Describe(ReadUpdateEntries(index)), (std::vector<std::wstring>{
                                                      L"a.exe|2222|sub/bin/|bin\\a.exe|1.2.3.4|305419896|0|1",
                                                      L"b.dll|1111|sub/|b.dll||0|3|0",
                                                      L"c.dll|3333|sub/|c.dll||0|0|0",
                                                  }));
    // Only the exact spelling "COMMENT" marks the comment section.
    EXPECT_EQ(ReadUpdateEntries(Read(L"[Comment]\nFN=c.dll\nSFN=1\n")).size(), 1u);
}

TEST(UpdateIndex, LocalFolderRuleAndEntriesThatWouldWriteOutside) {
    struct Case { const wchar_t* lp; bool kept; const wchar_t* folder; };
    const Case cases[] = {
        {L"", true, L""},          {L"%P\\bin%", true, L"bin"}, {L"%P%", true, L""},
        {L"%P\\%", true, L""},     {L"%APPDATA%", false, L""},  {L"%p\\bin%", false, L""},
        {L"%", false, L""},        {L"plugins", true, L"plugins"}, {L"%plugins", true, L"%plugins"},
    };
    for (const Case& c : cases) {
        std::wstring folder = L"unchanged";
        const bool kept = ApplyLocalFolderRule(c.lp, folder);
        EXPECT_EQ(std::wstring(c.kept ? c.folder : L"<refused>"), kept ? folder : L"<refused>") << c.lp;
    }

    // Entries the rule refuses or that would write outside the folder are skipped.
    const std::vector<CUpdateEntry> entries = ReadUpdateEntries(Read(
        L"[app]\nFN=a.dll\nSFN=1\nLP=%APPDATA%\n"
        L"[ok]\nFN=ok.dll\nSFN=1\nLP=plugins\\\n"
        L"[up]\nFN=..\\evil.dll\nSFN=1\n"
        L"[up2]\nFN=a.dll\nSFN=1\nLP=bin\\..\\..\n"
        L"[dots]\nFN=a.dll\nSFN=1\nLP=... \n"
        L"[abs]\nFN=a.dll\nSFN=1\nLP=C:\\Windows\n"
        L"[rooted]\nFN=a.dll\nSFN=1\nLP=\\Windows\n"
        L"[unc]\nFN=a.dll\nSFN=1\nLP=\\\\server\\share\n"
        L"[stream]\nFN=a.dll:evil\nSFN=1\n"
        L"[slash]\nFN=/etc.dll\nSFN=1\n"
        L"[noname]\nSFN=1\nLP=%P\\bin%\n"
        L"[noserver]\nFN=b.dll\n"
        L"[badserver]\nFN=c.dll\nSFN=..\\..\\x\n"
        L"[info]\nc=0\n"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Destination, L"plugins\\\\ok.dll");  // a backslash is always added, even after one
    EXPECT_TRUE(IsContainedRelativePath(L"a..b\\c/d.dll"));
    EXPECT_FALSE(IsContainedRelativePath(L""));
    EXPECT_FALSE(IsContainedRelativePath(L"a/./b"));
}

TEST(UpdateIndex, SubIndexesNeedPathAndCheckAndStayInside) {
    // A sub-index list hides its file sections; only i below c counts.
    const CIniFile list = Read(L"[info]\nc=2\np0=first/\nm0=" + kM + L"\nP1=second/\nM1=" + kM + L"\np2=third/\nm2=" +
                               kM + L"\n[file]\nFN=a.dll\nSFN=1\n");
    EXPECT_TRUE(IsSubIndexList(list));
    EXPECT_TRUE(ReadUpdateEntries(list).empty());
    std::vector<UpdateSubIndex> subs = ReadSubIndexes(list);
    ASSERT_EQ(subs.size(), 2u);
    EXPECT_EQ(subs[0].Path, L"first/");
    EXPECT_EQ(subs[0].CheckValue, kM);
    EXPECT_EQ(subs[1].Number, 1u);

    subs = ReadSubIndexes(Read(L"[info]\nc=4294967295\n"
                               L"p10=ten/\nm10=" + kM + L"\np2=two/\nm2=" + kM + L"\n"
                               L"p3=nocheck/\nm4=" + kM + L"\np5=\nm5=" + kM + L"\n"
                               L"p6=../up/\nm6=" + kM + L"\np7=/rooted/\nm7=" + kM + L"\n"
                               L"p8=c:/x/\nm8=" + kM + L"\np09=leading-zero/\nm09=" + kM + L"\npx=letters/\n"));
    ASSERT_EQ(subs.size(), 2u);
    EXPECT_EQ(subs[0].Path, L"two/");
    EXPECT_EQ(subs[1].Path, L"ten/");

    // "c" missing, 0 or not a number: a leaf.
    EXPECT_FALSE(IsSubIndexList(Read(L"[info]\np0=a/\nm0=" + kM + L"\n")));
    EXPECT_FALSE(IsSubIndexList(Read(L"[info]\nc=abc\n")));
    EXPECT_TRUE(ReadSubIndexes(Read(L"[info]\nc=0\np0=a/\nm0=" + kM + L"\n")).empty());
}

TEST(UpdateIndex, PackedIndexInEachEncoding) {
    const std::wstring text = L"[\u6587\u4ef6]\r\nFN=\u62a5\u544a.dll\r\nSFN=abcd\r\nLP=%P\\\u63d2\u4ef6%\r\n";
    std::vector<std::string> encodings = {Utf16Le(text), "\xef\xbb\xbf" + platform::WideToUtf8(text)};
    if (::GetACP() == 936) encodings.push_back(platform::WideToAnsi(text));
    for (const std::string& bytes : encodings) {
        const std::string packed = Pack(bytes);
        std::string unpacked;
        ASSERT_TRUE(UnpackBuffer(packed.data(), packed.size(), unpacked));
        ASSERT_EQ(unpacked, bytes);
        CIniFile index;
        ASSERT_EQ(index.DecodeText(unpacked.data(), unpacked.size()), S_OK);
        const std::vector<CUpdateEntry> entries = ReadUpdateEntries(index);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].Destination, L"\u63d2\u4ef6\\\u62a5\u544a.dll");
    }
}

TEST(UpdateIndex, UnpackGrowsTheBufferAndRejectsDamage) {
    // More than 1 MiB of text needs the buffer doubled.
    std::string big;
    for (int i = 0; big.size() < 3 * 1024 * 1024; ++i) big += "[s" + std::to_string(i) + "]\r\nFN=f.dll\r\n";
    std::string packed = Pack(big), out;
    ASSERT_TRUE(UnpackBuffer(packed.data(), packed.size(), out));
    EXPECT_EQ(out, big);

    std::string damaged = packed;
    damaged[damaged.size() / 2] ^= 0x55;
    damaged[damaged.size() / 2 + 1] ^= 0x55;
    const std::pair<const char*, size_t> bad[] = {{packed.data(), packed.size() / 2}, {damaged.data(), damaged.size()},
                                                  {"plain text, not zlib", 20}, {packed.data(), 0}, {nullptr, 10}};
    for (const auto& b : bad) {
        out = "stale";
        EXPECT_FALSE(UnpackBuffer(b.first, b.second, out)) << b.second;
        EXPECT_TRUE(out.empty()) << b.second;
    }
    const std::string empty = Pack("");
    ASSERT_TRUE(UnpackBuffer(empty.data(), empty.size(), out));
    EXPECT_TRUE(out.empty());

    // 64 MiB fits exactly; one byte more does not.
    std::string zeros(64u * 1024 * 1024, '\0');
    packed = Pack(zeros);
    ASSERT_TRUE(UnpackBuffer(packed.data(), packed.size(), out));
    EXPECT_EQ(out.size(), zeros.size());
    zeros.push_back('\0');
    packed = Pack(zeros);
    zeros = std::string();
    EXPECT_FALSE(UnpackBuffer(packed.data(), packed.size(), out));
    EXPECT_TRUE(out.empty());
}

TEST(UpdateIndex, UnpackFileWritesTheTextBeside) {
    TempDir dir;
    const std::string text = "[info]\r\nc=0\r\n[a]\r\nFN=a.dll\r\nSFN=1\r\n";
    ASSERT_TRUE(WriteFileBytes(dir.File(L"index.dat"), Pack(text)));
    ASSERT_TRUE(UnpackFile(dir.File(L"index.txt").c_str(), dir.File(L"index.dat").c_str()));
    EXPECT_EQ(ReadFileBytes(dir.File(L"index.txt")), text);

    // Missing, empty or damaged packed files give no text file.
    ASSERT_TRUE(WriteFileBytes(dir.File(L"empty.dat"), ""));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"bad.dat"), "\x78\x9c garbage"));
    for (const wchar_t* name : {L"none", L"empty", L"bad"}) {
        const std::wstring base = dir.File(name);
        EXPECT_FALSE(UnpackFile((base + L".txt").c_str(), (base + L".dat").c_str())) << name;
        EXPECT_FALSE(PathExists(base + L".txt")) << name;
    }
    EXPECT_FALSE(UnpackFile(nullptr, dir.File(L"index.dat").c_str()));
}

} // namespace
