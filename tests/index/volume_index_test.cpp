// Paths, changes and loaded names of one drive's table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "index/volume_index.h"
#include "platform/handle.h"
#include "platform/strconv.h"
#include "tests/support/test_support.h"

namespace {

const uint8_t kDir = IRF_EXISTS | IRF_DIRECTORY;
const uint8_t kFile = IRF_EXISTS;

// A volume built the way the load builds it: records with name-file offsets
// over a name buffer.
struct Builder {
    std::vector<IndexRecord> records;
    std::string names;

    Builder& Set(uint32_t slot, uint32_t father, const std::string& name, uint8_t flags) {
        if (records.size() <= slot) records.resize(slot + 1, IndexRecord{0, 0xFFFFFFFFu, 0, {}, {}, {}, 0, 0});
        records[slot] = IndexRecord{father, static_cast<uint32_t>(names.size()), flags, {}, {}, {}, 0, 0};
        names.append(name).push_back('\0');
        return *this;
    }
    void Into(CVolumeIndex& v) {
        std::unique_ptr<char[]> buf(new char[names.size() + 1]);
        memcpy(buf.get(), names.data(), names.size());
        v.AdoptLoaded(records, std::move(buf), names.size());
    }
};

// "X:\" + the lost-folder marker: where every broken chain starts.
bool StartsLost(const std::string& path, char letter) {
    return path.compare(0, 3, std::string(1, letter) + ":\\") == 0 &&
           path.compare(3, LostFolderMarker().size(), LostFolderMarker()) == 0;
}

} // namespace

TEST(VolumeIndexPath, ParentsLeadToTheRootOrBrokenChainsToTheLostFolderMarker) {
    EXPECT_EQ(LostFolderMarker(), platform::WideToAnsi(L"#\u4E22\u5931\u7684\u76EE\u5F55\\"));
    Builder b;
    b.Set(5, 5, ".", kDir).Set(60, 5, "dir", kDir).Set(61, 60, "sub", IRF_DIRECTORY);  // deleted folders count
    b.Set(62, 61, "file.txt", kFile).Set(63, 5, "top.txt", kFile);
    b.Set(70, 80, "sub", kDir).Set(80, 5, "notadir.txt", kFile).Set(71, 70, "file.txt", kFile);  // chain meets a file
    b.Set(72, 5000, "orphan.txt", kFile);  // parent beyond the table
    b.Set(73, 7, "nameless.txt", kFile);   // parent slot without a name
    b.Set(74, 75, "loopA", kDir).Set(75, 74, "loopB", kDir).Set(76, 74, "inloop.txt", kFile);
    b.Set(77, 77, "self", kDir);           // its own parent
    CVolumeIndex v(L'D');
    b.Into(v);
    const std::string lost = "D:\\" + LostFolderMarker();
    // No name: empty path and name; slots beyond the table too.
    const std::vector<std::pair<uint32_t, std::string>> paths = {
        {62, "D:\\dir\\sub\\file.txt"}, {63, "D:\\top.txt"}, {7, ""}, {100000, ""},
        {71, lost + "sub\\file.txt"}, {72, lost + "orphan.txt"}, {73, lost + "nameless.txt"}};
    for (const auto& p : paths) EXPECT_EQ(v.GetFullPath(p.first), p.second) << p.first;
    EXPECT_EQ(v.GetFileName(62), "file.txt");
    EXPECT_EQ(v.GetFileName(7), "");
    for (uint32_t slot : {74u, 76u, 77u}) {
        EXPECT_TRUE(StartsLost(v.GetFullPath(slot), 'D')) << v.GetFullPath(slot);
        EXPECT_LE(v.GetFullPath(slot).size(), 519u);
    }

    // Overlong: 4 levels of 200 bytes, and a single name longer than a path
    // may be. Both stay within the buffer; the first keeps its tail.
    Builder l;
    for (uint32_t slot = 60; slot < 64; ++slot) l.Set(slot, slot == 60 ? 5 : slot - 1, std::string(200, 'x'), kDir);
    l.Set(70, 63, "leaf.txt", kFile).Set(71, 5, std::string(600, 'n'), kFile);
    CVolumeIndex e(L'E');
    l.Into(e);
    for (uint32_t slot : {70u, 71u}) {
        EXPECT_LE(e.GetFullPath(slot).size(), 519u);
        EXPECT_TRUE(StartsLost(e.GetFullPath(slot), 'E'));
    }
    EXPECT_EQ(e.GetFullPath(70).substr(e.GetFullPath(70).size() - 9), "\\leaf.txt");
}

TEST(VolumeIndexChanges, InsertRenameAndDeleteKeepTheRestAndNamesFillPools) {
    Builder b;
    for (uint32_t s = 0; s < 10; ++s) b.Set(s, 5, "n" + std::to_string(s), kFile);
    b.Set(60, 5, "dir", kDir).Set(61, 60, "old.txt", kFile);
    b.records[61].Size = 1234;
    CVolumeIndex v(L'C');
    b.Into(v);
    ASSERT_EQ(v.RecordCount(), 62u);

    // Below the count: nothing changes, still success.
    EXPECT_TRUE(v.InsertIndex(3, 5, "other", 5, kDir));
    EXPECT_EQ(v.GetFileName(3), "n3");
    EXPECT_EQ(v.GetRecord(3)->Flags, kFile);

    const char* oldName = v.GetName(61);
    EXPECT_TRUE(v.ReNameIndex(61, 5, "new.txt", 7));
    EXPECT_EQ(v.GetFullPath(61), "C:\\new.txt");
    EXPECT_EQ(v.GetRecord(61)->Flags, kFile);
    EXPECT_STREQ(oldName, "old.txt");  // the old text stays where it was
    EXPECT_TRUE(v.DeleteIndex(61));
    const IndexRecord* r = v.GetRecord(61);
    EXPECT_EQ(std::make_tuple(r->Flags, r->FatherID, r->Size, v.GetFileName(61)),
              std::make_tuple(uint8_t(0), 5u, int64_t(1234), std::string("new.txt")));
    // Slots the table does not reach are refused, not written.
    EXPECT_FALSE(v.DeleteIndex(5000));
    EXPECT_FALSE(v.ReNameIndex(5000, 5, "x", 1));
    EXPECT_EQ(v.RecordCount(), 62u);

    // Beyond: grows to the slot plus a hundred, new slots zero.
    EXPECT_TRUE(v.InsertIndex(1000, 5, "new.txtJUNK", 7, kFile));  // length counts, no NUL needed
    EXPECT_EQ(v.RecordCount(), 1100u);
    EXPECT_EQ(v.GetFileName(1000), "new.txt");
    static const IndexRecord zero = {};
    for (uint32_t s = 62; s < 1100; ++s) ASSERT_EQ(memcmp(v.GetRecord(s), &zero, sizeof zero) == 0, s != 1000) << s;
    EXPECT_EQ(v.GetFileName(9), "n9");

    // Names fill pools up to the last byte and are never moved.
    const std::string first(4089, 'a');  // used part ends at 4090
    CVolumeIndex u(L'C');
    ASSERT_TRUE(u.InsertIndex(100, 5, first.data(), static_cast<int>(first.size()), kFile));
    ASSERT_TRUE(u.ReNameIndex(101, 5, "bbbbb", 5));  // ends exactly at 4096: same pool
    EXPECT_EQ(u.PoolCount(), 1u);
    EXPECT_EQ(u.GetFileName(101), "bbbbb");
    ASSERT_TRUE(u.ReNameIndex(102, 5, "c", 1));  // the pool is full: a new one
    EXPECT_EQ(u.PoolCount(), 2u);

    CVolumeIndex w(L'C');
    ASSERT_TRUE(w.InsertIndex(100, 5, first.data(), static_cast<int>(first.size()), kFile));
    ASSERT_TRUE(w.ReNameIndex(101, 5, "0123456789", 10));  // would end at 4101
    EXPECT_EQ(w.PoolCount(), 2u);
    EXPECT_EQ(w.GetFileName(101), "0123456789");
    EXPECT_EQ(w.GetFileName(100), first);  // earlier names are never moved
}

// Room made before the lock: the copies carry every record, key and name;
// the changes that follow then neither move the tables nor allocate a pool;
// copies made before some other change are dropped, never adopted.
TEST(VolumeIndexChanges, PreparedRoomKeepsEveryRecordAndIsDroppedAfterAnotherChange) {
    Builder b;
    for (uint32_t s = 5; s < 300; ++s) b.Set(s, 5, "n" + std::to_string(s), s % 3 ? kFile : kDir);
    CVolumeIndex v(L'C');
    b.Into(v);
    ASSERT_TRUE(v.ReNameIndex(7, 5, "pooled", 6));  // a name in a pool, kept across the copy
    const size_t pools = v.PoolCount();

    CVolumeIndex::Room room;
    v.PrepareRoom(5000, 4096, room);  // beyond the table's room; a pool cannot take that much
    ASSERT_EQ(v.RecordCount(), 300u) << "preparing changes nothing";
    v.AdoptRoom(room);
    EXPECT_GE(v.RecordCapacity(), 5100u);
    EXPECT_EQ(v.PoolCount(), pools);
    for (uint32_t s = 0; s < 300; ++s) {
        const IndexRecord& r = *v.GetRecord(s);
        ASSERT_EQ(std::make_tuple(r.FatherID, r.Flags), std::make_tuple(b.records[s].FatherID, b.records[s].Flags)) << s;
        ASSERT_EQ(v.Keys()[s].NameRef, v.GetRecord(s)->FileName) << s;
        ASSERT_EQ(v.Keys()[s].Flags, v.GetRecord(s)->Flags) << s;
        if (s >= 5) {
            ASSERT_EQ(v.GetFileName(s), s == 7 ? "pooled" : "n" + std::to_string(s)) << s;
        }
    }
    const IndexRecord* table = v.Records();
    const SlotKey* keys = v.Keys();
    ASSERT_TRUE(v.InsertIndex(5000, 5, "far.txt", 7, kFile, false));
    ASSERT_TRUE(v.ReNameIndex(4000, 5, "middle.txt", 10, false));
    EXPECT_EQ(v.Records(), table) << "the table moved after room was made for it";
    EXPECT_EQ(v.Keys(), keys);
    EXPECT_EQ(v.RecordCount(), 5100u);
    EXPECT_EQ(std::make_pair(v.GetFileName(5000), v.GetFileName(4000)), std::make_pair(std::string("far.txt"), std::string("middle.txt")));
    EXPECT_EQ(v.Keys()[5000].NameRef, v.GetRecord(5000)->FileName);

    // Copies made before a change by someone else would lose it.
    CVolumeIndex::Room stale;
    v.PrepareRoom(20000, 8, stale);
    ASSERT_TRUE(v.DeleteIndex(9));
    v.AdoptRoom(stale);
    EXPECT_EQ(v.Records(), table);
    EXPECT_LT(v.RecordCapacity(), 20100u);
    EXPECT_FALSE(v.GetRecord(9)->Flags & IRF_EXISTS);
    ASSERT_TRUE(v.InsertIndex(20000, 5, "grown.txt", 9, kFile, false));  // grows by itself
    EXPECT_EQ(v.GetFileName(20000), "grown.txt");
    EXPECT_FALSE(v.GetRecord(9)->Flags & IRF_EXISTS);
    EXPECT_EQ(v.GetFileName(5000), "far.txt");

    // Nothing beyond the table: no copies, only a pool when names need one.
    CVolumeIndex::Room small;
    v.PrepareRoom(10, 8, small);
    EXPECT_FALSE(small.Tables);
    EXPECT_TRUE(small.Records.empty());
}

TEST(VolumeIndexChanges, RefreshTakesSizeFromTheFileSystemAndTimeFromNow) {
    ASSERT_EQ(testing_support::MapDriveToTempFolder(L'T'), L"T:\\");
    {
        // A sparse 5 GB file.
        platform::FileHandle f(::CreateFileW(L"T:\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER at;
        at.QuadPart = 5368709120LL;
        ASSERT_TRUE(f && ::SetFilePointerEx(f.Get(), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(f.Get()));
    }
    Builder b;
    b.Set(60, 5, "big.bin", kFile).Set(61, 5, "gone.bin", kFile);
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
