// The index and name files: loading whole or damaged files, reloading, and
// writing a scan answer in place of the old pair.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "index/index_files.h"
#include "index/volume_index.h"
#include "platform/handle.h"
#include "scanner/scan_answer.h"
#include "tests/support/test_support.h"

using testing_support::PathExists;
using testing_support::ReadFileBytes;

namespace {

std::string RecordBytes(const std::vector<IndexRecord>& records) {
    return std::string(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(IndexRecord));
}

IndexRecord Rec(uint32_t father, uint32_t nameOffset, uint8_t flags) {
    return IndexRecord{father, nameOffset, flags, {}, {}, {}, 0, 0};
}

class IndexFiles : public ::testing::Test {
protected:
    void SetUp() override {
        static int n = 0;
        folder_ = L"C:\\index-files-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++n);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    }
    std::wstring Path(const wchar_t* pattern, wchar_t letter = L'X') { return IndexFileName(folder_, pattern, letter); }
    void Write(const wchar_t* pattern, const std::string& bytes) {
        ASSERT_TRUE(testing_support::WriteFileBytes(Path(pattern), bytes));
    }
    bool Load(CVolumeIndex& v) { return v.LoadFiles(Path(L"index_%c"), Path(L"name_%c")); }

    std::wstring folder_;
};

} // namespace

TEST_F(IndexFiles, WholeRecordsLoadNamesAreNeededAndReloadsLeaveNothingStale) {
    Write(L"index_%c", RecordBytes({Rec(5, 0, IRF_EXISTS), Rec(5, 2, IRF_EXISTS), Rec(5, 4, IRF_EXISTS)})
                           .substr(0, 100));  // two records and 10 bytes of a third
    Write(L"name_%c", std::string("a\0b\0c\0", 6));
    CVolumeIndex v(L'X');
    ASSERT_TRUE(Load(v));
    EXPECT_EQ(v.RecordCount(), 2u);
    EXPECT_EQ(v.GetFullPath(1), "X:\\b");

    ::DeleteFileW(Path(L"name_%c").c_str());
    EXPECT_FALSE(Load(v));  // no name file: not indexed
    Write(L"name_%c", "");
    EXPECT_FALSE(Load(v));  // empty name file: not indexed
    ::DeleteFileW(Path(L"index_%c").c_str());
    Write(L"name_%c", std::string("a\0", 2));
    ASSERT_TRUE(Load(v));   // names without records: indexed, empty
    EXPECT_EQ(v.RecordCount(), 0u);

    // Reloading reuses storage without stale names or records.
    Write(L"index_%c", RecordBytes({Rec(5, 0, IRF_EXISTS), Rec(5, 5, IRF_EXISTS), Rec(5, 10, IRF_EXISTS)}));
    Write(L"name_%c", std::string("aaaa\0bbbb\0cccc\0", 15));
    ASSERT_TRUE(Load(v));
    // Names added later go to pools and leave the loaded ones alone.
    ASSERT_TRUE(v.UpdateIndex(2, 5, "pooled", 6, IRF_EXISTS));
    EXPECT_STREQ(v.GetName(1u), "bbbb");
    EXPECT_STREQ(v.GetName(2u), "pooled");
    // Smaller files: offsets inside the old names but beyond the new ones give nothing.
    Write(L"index_%c", RecordBytes({Rec(5, 0, IRF_EXISTS), Rec(5, 5, IRF_EXISTS)}));
    Write(L"name_%c", std::string("dd\0", 3));
    ASSERT_TRUE(Load(v));
    EXPECT_EQ(v.RecordCount(), 2u);
    EXPECT_STREQ(v.GetName(0u), "dd");
    EXPECT_EQ(v.GetName(1u), nullptr);
    EXPECT_EQ(v.PoolCount(), 0u);
    // Larger again.
    Write(L"index_%c", RecordBytes({Rec(5, 4990, IRF_EXISTS)}));
    Write(L"name_%c", std::string(5000, 'e') + '\0');
    ASSERT_TRUE(Load(v));
    EXPECT_STREQ(v.GetName(0u), "eeeeeeeeee");
    // Without a name file the volume ends up empty.
    ::DeleteFileW(Path(L"name_%c").c_str());
    EXPECT_FALSE(Load(v));
    EXPECT_EQ(v.RecordCount(), 0u);
    EXPECT_EQ(v.GetName(0u), nullptr);
}

TEST_F(IndexFiles, CorruptAndTruncatedFilesLoadWithoutReadingOutOfBounds) {
    std::mt19937 random(1234);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::string index(45 * 200 + random() % 45, '\0');
        for (char& c : index) c = static_cast<char>(random());
        // Some offsets near the end of the names, some far beyond it.
        std::string names(1 + random() % 3000, '\0');
        for (char& c : names) c = static_cast<char>(random() % 4 ? 'a' + random() % 26 : 0);
        names.back() = 'z';  // the last name is not terminated in the file
        std::vector<IndexRecord> records(200);
        memcpy(records.data(), index.data(), records.size() * 45);
        for (size_t i = 0; i < records.size(); i += 3) {
            records[i].FileName = static_cast<uint32_t>(names.size() - random() % 5);  // the end itself too
            memcpy(&index[i * 45], &records[i], 45);
        }
        Write(L"index_%c", index);
        Write(L"name_%c", names);

        CVolumeIndex v(L'X');
        ASSERT_TRUE(Load(v));
        ASSERT_EQ(v.RecordCount(), 200u);
        const char* begin = nullptr;
        for (uint32_t slot = 0; slot < v.RecordCount(); ++slot) {
            const char* name = v.GetName(slot);
            uint32_t stored = records[slot].FileName;
            ASSERT_EQ(name == nullptr, stored >= names.size()) << slot;
            if (!name) continue;
            if (!begin) begin = name - stored;
            // Inside the buffer, and ends by the buffer's end.
            ASSERT_EQ(name, begin + stored);
            ASSERT_LE(stored + strlen(name), names.size());
            EXPECT_EQ(v.GetFullPath(slot).compare(0, 3, "X:\\"), 0);
            EXPECT_LE(v.GetFullPath(slot).size(), 519u);
        }
    }
}

TEST_F(IndexFiles, LargeFilesReadInPiecesLandInOrder) {
    // Over 16 MB each, so both files are read in several pieces side by side.
    const uint32_t count = 400000;  // 18 MB of records
    std::string names(40u << 20, '\0');
    std::vector<IndexRecord> records(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = i * 100 + 7;  // names spread over the whole file
        std::string name = "n" + std::to_string(i);
        memcpy(&names[at], name.data(), name.size());
        records[i] = Rec(5, at, IRF_EXISTS);
        records[i].Size = i;
    }
    Write(L"index_%c", RecordBytes(records) + "tail");  // a partial record at the end
    Write(L"name_%c", names);
    CVolumeIndex v(L'X');
    ASSERT_TRUE(Load(v));
    ASSERT_EQ(v.RecordCount(), count);
    for (uint32_t i = count - 1; i < count; i -= std::min(i + 1, 997u)) {  // the last record down to the first pieces
        ASSERT_EQ(v.GetFileName(i), "n" + std::to_string(i)) << i;
        ASSERT_EQ(v.GetRecord(i)->Size, static_cast<int64_t>(i));
    }
}

TEST_F(IndexFiles, WritingMovesTheNewPairIntoPlaceOrKeepsTheOld) {
    Write(L"index_%c", "old index");
    scanner::ScanAnswer answer;
    IndexRecord fields = Rec(5, 0, IRF_EXISTS | IRF_DIRECTORY);
    ASSERT_TRUE(answer.SetRecord(5, fields, ".", 1));
    fields.Flags = IRF_EXISTS;
    fields.Size = 77;
    ASSERT_TRUE(answer.SetRecord(50, fields, "first.txt", 9));
    // Fill the first pool so the next name opens a second one.
    std::string big(0x400000 - 2 - 10 - 1, 'b');
    ASSERT_TRUE(answer.SetRecord(51, fields, big.data(), big.size()));
    ASSERT_TRUE(answer.SetRecord(52, fields, "second", 6));
    ScanVolumeResult* result = answer.Result();
    ASSERT_EQ(result->Pools.Count(), 2u);

    ASSERT_TRUE(WriteScanResult(folder_, L'X', *result));
    EXPECT_FALSE(PathExists(Path(L"indexnew_%c")) || PathExists(Path(L"namenew_%c")));
    const std::string index = ReadFileBytes(Path(L"index_%c")), names = ReadFileBytes(Path(L"name_%c"));
    ASSERT_EQ(std::make_pair(index.size(), names.size()), std::make_pair(size_t(53 * 45), size_t(2 * 0x400000)));
    auto offsetOf = [&](uint32_t slot) { return reinterpret_cast<const IndexRecord*>(&index[slot * 45])->FileName; };
    EXPECT_EQ(offsetOf(0), 0xFFFFFFFFu);  // empty slots have no name
    EXPECT_EQ(offsetOf(5), 0u);
    EXPECT_EQ(offsetOf(50), 2u);
    EXPECT_EQ(offsetOf(52), 0x400000u);
    EXPECT_STREQ(&names[offsetOf(50)], "first.txt");
    EXPECT_STREQ(&names[0x400000], "second");
    CVolumeIndex v(L'X');
    ASSERT_TRUE(Load(v));
    EXPECT_EQ(v.GetFullPath(52), "X:\\second");
    EXPECT_EQ(v.GetRecord(50)->Size, 77);

    // Failed or empty writes keep the old pair.
    Write(L"index_%c", "old index");
    Write(L"name_%c", "old names");
    scanner::ScanAnswer empty;
    EXPECT_FALSE(WriteScanResult(folder_, L'X', *empty.Result()));
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")), "old index");

    // The name file cannot be created: the new index must not be moved in.
    ASSERT_TRUE(::CreateDirectoryW(Path(L"namenew_%c").c_str(), nullptr));
    EXPECT_FALSE(WriteScanResult(folder_, L'X', *result));
    EXPECT_EQ(ReadFileBytes(Path(L"index_%c")), "old index");
    EXPECT_EQ(ReadFileBytes(Path(L"name_%c")), "old names");
    EXPECT_FALSE(PathExists(Path(L"indexnew_%c")));
}

TEST(ScanNameFields, OnlyAddressesInsidePoolsBecomeOffsets) {
    std::vector<char> a(kScanPoolSize), b(kScanPoolSize);
    char* pools[] = {a.data(), nullptr, b.data()};
    auto at = [](const char* p) { return reinterpret_cast<uintptr_t>(p); };
    EXPECT_EQ(FindPoolOffset(at(a.data()), pools, 3), 0u);
    EXPECT_EQ(FindPoolOffset(at(a.data() + kScanPoolSize - 1), pools, 3), kScanPoolSize - 1);
    EXPECT_EQ(FindPoolOffset(at(b.data() + 5), pools, 3), 2 * kScanPoolSize + 5);
    EXPECT_EQ(FindPoolOffset(0, pools, 3), kNoNameOffset);
    EXPECT_EQ(FindPoolOffset(at(a.data()) - 1, pools, 1), kNoNameOffset);
    EXPECT_EQ(FindPoolOffset(at(a.data()) + kScanPoolSize, pools, 1), kNoNameOffset);
    // The answer's own field form, whatever the build's pointer size.
    EXPECT_EQ(ScanNameToFileOffset(ScanNameField(b.data() + 7, 2, 7), pools, 3), 2 * kScanPoolSize + 7);
    EXPECT_EQ(ScanNameToFileOffset(0, pools, 3), kNoNameOffset);
}
