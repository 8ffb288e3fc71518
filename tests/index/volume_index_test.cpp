#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "index/volume_index.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "tests/support/test_support.h"

namespace {

IndexRecord Dir(uint32_t father, uint32_t nameOffset, uint8_t flags = IRF_EXISTS | IRF_DIRECTORY) {
    IndexRecord r = {};
    r.FatherID = father;
    r.FileName = nameOffset;
    r.Flags = flags;
    return r;
}

// A volume built the way the load builds it: records with name-file offsets
// over a name buffer.
struct Builder {
    std::vector<IndexRecord> records;
    std::string names;

    uint32_t Name(const std::string& n) {
        uint32_t at = static_cast<uint32_t>(names.size());
        names += n;
        names += '\0';
        return at;
    }
    void Set(uint32_t slot, uint32_t father, const std::string& name, uint8_t flags) {
        if (records.size() <= slot) records.resize(slot + 1, Dir(0, 0xFFFFFFFFu, 0));
        records[slot] = Dir(father, Name(name), flags);
    }
    void Into(CVolumeIndex& v) {
        std::unique_ptr<char[]> buf(new char[names.size() + 1]);
        memcpy(buf.get(), names.data(), names.size());
        v.AdoptLoaded(records, std::move(buf), names.size());
    }
};

const uint8_t kDir = IRF_EXISTS | IRF_DIRECTORY;
const uint8_t kFile = IRF_EXISTS;

bool IsZero(const IndexRecord& r) {
    static const IndexRecord zero = {};
    return memcmp(&r, &zero, sizeof r) == 0;
}

} // namespace

TEST(VolumeIndexPath, FollowsParentsToTheRoot) {
    Builder b;
    b.Set(5, 5, ".", kDir);
    b.Set(60, 5, "dir", kDir);
    b.Set(61, 60, "sub", IRF_DIRECTORY);  // deleted folders are walked like existing ones
    b.Set(62, 61, "file.txt", kFile);
    b.Set(63, 5, "top.txt", kFile);
    CVolumeIndex v(L'C');
    b.Into(v);
    EXPECT_EQ(v.GetFullPath(62), "C:\\dir\\sub\\file.txt");
    EXPECT_EQ(v.GetFullPath(63), "C:\\top.txt");
    EXPECT_EQ(v.GetFileName(62), "file.txt");
    // No name: empty path and name; slots beyond the table too.
    EXPECT_EQ(v.GetFullPath(7), "");
    EXPECT_EQ(v.GetFileName(7), "");
    EXPECT_EQ(v.GetFullPath(100000), "");
}

TEST(VolumeIndexPath, BrokenChainsEndAtTheLostFolderMarker) {
    const std::string marker = LostFolderMarker();
    EXPECT_EQ(marker, platform::WideToAnsi(L"#\u4E22\u5931\u7684\u76EE\u5F55\\"));
    Builder b;
    b.Set(60, 5, "notadir.txt", kFile);
    b.Set(61, 60, "sub", kDir);
    b.Set(62, 61, "file.txt", kFile);     // parent chain meets a file
    b.Set(63, 5000, "orphan.txt", kFile);  // parent beyond the table
    b.Set(64, 7, "nameless.txt", kFile);   // parent slot without a name
    b.Set(65, 66, "loopA", kDir);          // 65 -> 66 -> 65 ...
    b.Set(66, 65, "loopB", kDir);
    b.Set(67, 65, "inloop.txt", kFile);
    b.Set(68, 68, "self", kDir);           // its own parent
    CVolumeIndex v(L'D');
    b.Into(v);

    EXPECT_EQ(v.GetFullPath(62), "D:\\" + marker + "sub\\file.txt");
    EXPECT_EQ(v.GetFullPath(63), "D:\\" + marker + "orphan.txt");
    EXPECT_EQ(v.GetFullPath(64), "D:\\" + marker + "nameless.txt");
    for (uint32_t slot : {65u, 67u, 68u}) {
        std::string p = v.GetFullPath(slot);
        EXPECT_EQ(p.compare(0, 3 + marker.size(), "D:\\" + marker), 0) << p;
        EXPECT_LE(p.size(), 519u);
    }
}

TEST(VolumeIndexPath, OverlongPathsStayWithinTheBufferAndKeepTheTail) {
    const std::string marker = LostFolderMarker();
    Builder b;
    std::string longName(200, 'x');
    uint32_t parent = 5;
    for (uint32_t slot = 60; slot < 64; ++slot) {  // 4 levels of 200 bytes: over 519
        b.Set(slot, parent, longName + std::to_string(slot), kDir);
        parent = slot;
    }
    b.Set(70, parent, "leaf.txt", kFile);
    b.Set(71, 5, std::string(600, 'n'), kFile);  // a single name longer than a path may be
    CVolumeIndex v(L'E');
    b.Into(v);
    std::string p = v.GetFullPath(70);
    EXPECT_LE(p.size(), 519u);
    EXPECT_EQ(p.compare(0, 3 + marker.size(), "E:\\" + marker), 0);
    EXPECT_EQ(p.substr(p.size() - 9), "\\leaf.txt");
    std::string q = v.GetFullPath(71);
    EXPECT_LE(q.size(), 519u);
    EXPECT_EQ(q.compare(0, 3 + marker.size(), "E:\\" + marker), 0);
}

TEST(VolumeIndexChanges, InsertGrowsToSlotPlusHundredWithZeroSlots) {
    Builder b;
    for (uint32_t s = 0; s < 10; ++s) b.Set(s, 5, "n" + std::to_string(s), kFile);
    CVolumeIndex v(L'C');
    b.Into(v);
    ASSERT_EQ(v.RecordCount(), 10u);

    // Below the count: nothing changes, still success.
    EXPECT_TRUE(v.InsertIndex(3, 5, "other", 5, kDir));
    EXPECT_EQ(v.GetFileName(3), "n3");
    EXPECT_EQ(v.GetRecord(3)->Flags, kFile);

    EXPECT_TRUE(v.InsertIndex(1000, 5, "new.txtJUNK", 7, kFile));  // length counts, no NUL needed
    EXPECT_EQ(v.RecordCount(), 1100u);
    EXPECT_EQ(v.GetFileName(1000), "new.txt");
    EXPECT_EQ(v.GetRecord(1000)->FatherID, 5u);
    EXPECT_EQ(v.GetRecord(1000)->Flags, kFile);
    for (uint32_t s = 10; s < 1100; ++s)
        if (s != 1000) { ASSERT_TRUE(IsZero(*v.GetRecord(s))) << s; }
    EXPECT_EQ(v.GetFileName(9), "n9");
}

TEST(VolumeIndexChanges, NamesFillPoolsUpToTheLastByte) {
    CVolumeIndex v(L'C');
    std::string first(4089, 'a');  // used part ends at 4090
    ASSERT_TRUE(v.InsertIndex(100, 5, first.data(), static_cast<int>(first.size()), kFile));
    EXPECT_EQ(v.PoolCount(), 1u);

    // 4090 + 5 + NUL ends exactly at 4096: same pool.
    ASSERT_TRUE(v.ReNameIndex(101, 5, "bbbbb", 5));
    EXPECT_EQ(v.PoolCount(), 1u);
    EXPECT_EQ(v.GetFileName(101), "bbbbb");
    // The pool is full now; any name opens a new one.
    ASSERT_TRUE(v.ReNameIndex(102, 5, "c", 1));
    EXPECT_EQ(v.PoolCount(), 2u);

    CVolumeIndex w(L'C');
    ASSERT_TRUE(w.InsertIndex(100, 5, first.data(), static_cast<int>(first.size()), kFile));
    ASSERT_EQ(w.PoolCount(), 1u);
    ASSERT_TRUE(w.ReNameIndex(101, 5, "0123456789", 10));  // would end at 4101
    EXPECT_EQ(w.PoolCount(), 2u);
    EXPECT_EQ(w.GetFileName(101), "0123456789");
    // Earlier names are never moved or changed.
    EXPECT_EQ(w.GetFileName(100), first);
}

TEST(VolumeIndexChanges, RenameAndDeleteKeepTheRest) {
    Builder b;
    b.Set(60, 5, "dir", kDir);
    b.Set(61, 60, "old.txt", kFile);
    b.records[61].Size = 1234;
    CVolumeIndex v(L'C');
    b.Into(v);
    ASSERT_TRUE(v.GetName(61));
    const char* oldName = v.GetName(61);

    EXPECT_TRUE(v.ReNameIndex(61, 5, "new.txt", 7));
    EXPECT_EQ(v.GetFullPath(61), "C:\\new.txt");
    EXPECT_EQ(v.GetRecord(61)->Flags, kFile);
    EXPECT_STREQ(oldName, "old.txt");  // the old text stays where it was

    EXPECT_TRUE(v.DeleteIndex(61));
    const IndexRecord* r = v.GetRecord(61);
    EXPECT_EQ(r->Flags, 0);
    EXPECT_EQ(r->FatherID, 5u);
    EXPECT_EQ(r->Size, 1234);
    EXPECT_EQ(v.GetFileName(61), "new.txt");

    // Slots the table does not reach are refused, not written.
    EXPECT_FALSE(v.DeleteIndex(5000));
    EXPECT_FALSE(v.ReNameIndex(5000, 5, "x", 1));
    EXPECT_EQ(v.RecordCount(), 62u);
}

TEST(VolumeIndexChanges, RefreshTakesSizeFromTheFileSystemAndTimeFromNow) {
    ASSERT_EQ(testing_support::MapDriveToTempFolder(L'T'), L"T:\\");
    {
        // A sparse 5 GB file.
        platform::FileHandle f(::CreateFileW(L"T:\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(f);
        LARGE_INTEGER at;
        at.QuadPart = 5368709120LL;
        ASSERT_TRUE(::SetFilePointerEx(f.Get(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(f.Get()));
    }
    Builder b;
    b.Set(60, 5, "big.bin", kFile);
    b.Set(61, 5, "gone.bin", kFile);
    b.records[61].Size = 77;
    b.records[61].Time2 = MakeFileTime(42);
    CVolumeIndex v(L'T');
    b.Into(v);

    SYSTEMTIME st;
    ::GetLocalTime(&st);
    FILETIME before;
    ::SystemTimeToFileTime(&st, &before);
    EXPECT_TRUE(v.RefreshFileInfo(60));
    EXPECT_EQ(v.GetRecord(60)->Size, 5368709120LL);
    EXPECT_GE(FileTimeValue(v.GetRecord(60)->Time2), FileTimeValue(before) - 10000000ull * 2);

    EXPECT_FALSE(v.RefreshFileInfo(61));
    EXPECT_EQ(v.GetRecord(61)->Size, 77);
    EXPECT_EQ(FileTimeValue(v.GetRecord(61)->Time2), 42u);

    // A name with a character the code page lacks reads back with '?'; it must
    // not be taken as a pattern that finds some other file.
    ASSERT_TRUE(v.ReNameIndex(61, 5, "big.bi?", 7));
    EXPECT_FALSE(v.RefreshFileInfo(61));
    EXPECT_EQ(v.GetRecord(61)->Size, 77);
    testing_support::UnmapDrive(L'T');
}

TEST(VolumeIndexLoad, OffsetsBecomeNamesOnlyInsideTheNameBuffer) {
    // Two 4 MB pools as the name file has them, the second holding "second" at 5.
    std::string names(2 * 0x400000, '\0');
    memcpy(&names[0], "first", 5);
    memcpy(&names[0x400000 + 5], "second", 6);
    memcpy(&names[names.size() - 4], "tail", 4);  // runs to the end of the file without NUL
    std::vector<IndexRecord> records(5);
    records[0].FileName = 0;
    records[1].FileName = 0x400000 + 5;
    records[2].FileName = 0xFFFFFFFFu;
    records[3].FileName = static_cast<uint32_t>(names.size());  // just beyond the end
    records[4].FileName = static_cast<uint32_t>(names.size() - 4);
    std::unique_ptr<char[]> buf(new char[names.size() + 1]);
    memcpy(buf.get(), names.data(), names.size());
    buf[names.size()] = 'X';  // whatever lies there is not trusted

    CVolumeIndex v(L'C');
    v.AdoptLoaded(records, std::move(buf), names.size());
    EXPECT_STREQ(v.GetName(0u), "first");
    EXPECT_STREQ(v.GetName(1u), "second");
    EXPECT_EQ(v.GetName(2u), nullptr);
    EXPECT_EQ(v.GetName(3u), nullptr);
    EXPECT_STREQ(v.GetName(4u), "tail");
    EXPECT_EQ(v.PoolCount(), 0u);

    // Names added later go to pools and do not collide with the buffer.
    ASSERT_TRUE(v.UpdateIndex(2, 5, "added", 5, kFile));
    EXPECT_STREQ(v.GetName(2u), "added");
    EXPECT_STREQ(v.GetName(1u), "second");
}
