// The parser against hand-built and damaged structures: every malformed
// length, run list, fixup or attribute list is rejected without reading
// outside its buffer or looping.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "scanner/file_record.h"
#include "scanner/mft_reader.h"
#include "scanner/ntfs_volume.h"
#include "platform/handle.h"
#include "scanner/recover.h"
#include "tests/support/test_support.h"

namespace {

using namespace scanner;

constexpr uint32_t kCluster = 4096;
constexpr uint32_t kRecord = 1024;
constexpr uint64_t kVolumeClusters = 256;  // 1 MB
constexpr uint64_t kMftLcn = 4;
constexpr uint32_t kMftClusters = 16;      // 64 records

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) { std::memcpy(&b[at], &v, 8); }

// Builds one FILE record attribute by attribute; Finish() writes the end
// marker and the update sequence check words.
class RecordBuilder {
public:
    explicit RecordBuilder(uint16_t flags = ntfs::kRecordInUse, uint64_t base = 0) : r_(kRecord, 0) {
        Put32(r_, 0, ntfs::kFileMagic);
        Put32(r_, 4, 0x30 | (kRecord / 512 + 1) << 16);  // check-word array offset and count
        Put16(r_, 0x10, 1);
        Put32(r_, 0x14, 0x38 | uint32_t(flags) << 16);  // first attribute, flags
        Put32(r_, 0x1C, kRecord);
        Put64(r_, 0x20, base);
    }
    RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value) {
        const size_t at = Header(type, 0x18 + value.size());
        Put32(r_, at + 0x10, static_cast<uint32_t>(value.size()));
        Put16(r_, at + 0x14, 0x18);
        if (!value.empty()) std::memcpy(&r_[at + 0x18], value.data(), value.size());
        return *this;
    }
    RecordBuilder& NonResident(uint32_t type, int64_t lowestVcn, int64_t size, const std::vector<uint8_t>& pairs) {
        const size_t at = Header(type, 0x40 + pairs.size() + 1);
        r_[at + 8] = 1;
        Put64(r_, at + 0x10, static_cast<uint64_t>(lowestVcn));
        Put16(r_, at + 0x20, 0x40);
        for (size_t field : {0x28, 0x30, 0x38}) Put64(r_, at + field, static_cast<uint64_t>(size));
        std::memcpy(&r_[at + 0x40], pairs.data(), pairs.size());
        return *this;
    }
    RecordBuilder& Name(uint64_t parent, const std::wstring& name, uint8_t nameSpace = ntfs::kNameSpaceWin32) {
        std::vector<uint8_t> v(66 + name.size() * 2, 0);
        std::memcpy(&v[0], &parent, 8);
        v[64] = static_cast<uint8_t>(name.size());
        v[65] = nameSpace;
        std::memcpy(&v[66], name.data(), name.size() * 2);
        return Resident(ntfs::kAttrFileName, v);
    }
    RecordBuilder& Raw(size_t offset, const std::vector<uint8_t>& bytes) {
        std::memcpy(&r_[offset], bytes.data(), bytes.size());
        return *this;
    }
    size_t Cursor() const { return at_; }
    std::vector<uint8_t> Finish() {
        Put32(r_, at_, ntfs::kAttrEnd);
        Put32(r_, 0x18, static_cast<uint32_t>(at_ + 8));
        // Move the last two bytes of each stride into the array.
        const uint16_t usn = 7;
        Put16(r_, 0x30, usn);
        for (uint32_t i = 1; i <= kRecord / 512; ++i) {
            std::memcpy(&r_[0x30 + 2 * i], &r_[i * 512 - 2], 2);
            Put16(r_, i * 512 - 2, usn);
        }
        return r_;
    }

private:
    size_t Header(uint32_t type, size_t bytes) {
        const uint32_t len = static_cast<uint32_t>(bytes + 7) & ~7u;
        if (at_ + len + 8 > kRecord) throw std::length_error("record builder: attribute does not fit");
        Put32(r_, at_, type);
        Put32(r_, at_ + 4, len);
        at_ += len;
        return at_ - len;
    }

    std::vector<uint8_t> r_;
    size_t at_ = 0x38;
};

std::vector<uint8_t> ListEntryBytes(uint32_t type, int64_t vcn, uint64_t record) {
    std::vector<uint8_t> e(32, 0);
    Put32(e, 0, type);
    Put16(e, 4, 32);
    e[7] = 26;
    Put64(e, 8, static_cast<uint64_t>(vcn));
    Put64(e, 16, record);
    return e;
}

class MemoryVolume {
public:
    MemoryVolume() : bytes_(kVolumeClusters * kCluster, 0) {
        std::memcpy(&bytes_[3], "NTFS    ", 8);
        Put16(bytes_, 0x0B, 512);
        bytes_[0x0D] = kCluster / 512;
        Put64(bytes_, 0x28, kVolumeClusters * (kCluster / 512));
        Put64(bytes_, 0x30, kMftLcn);
        Put64(bytes_, 0x38, 2);
        bytes_[0x40] = static_cast<uint8_t>(-10);  // 1024-byte records
        bytes_[0x44] = 1;
        Put16(bytes_, 0x1FE, 0xAA55);
        // $MFT: one run of 16 clusters at cluster 4.
        SetRecord(0, RecordBuilder()
                         .Name(5, L"$MFT")
                         .NonResident(ntfs::kAttrData, 0, kMftClusters * kCluster, {0x11, kMftClusters, kMftLcn, 0})
                         .Finish());
        SetRecord(5, RecordBuilder(ntfs::kRecordInUse | ntfs::kRecordIsDirectory).Name(5, L".").Finish());
    }
    void SetRecord(uint32_t slot, const std::vector<uint8_t>& record) {
        std::memcpy(&bytes_[kMftLcn * kCluster + slot * kRecord], record.data(), record.size());
    }
    uint8_t* At(uint64_t offset) { return &bytes_[offset]; }
    void Truncate(size_t bytes) { bytes_.resize(bytes); }
    MemorySectorSource Source() const { return MemorySectorSource(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

class Collect : public MftSink {
public:
    void OnEntry(const MftEntry& e) override {
        names[e.slot] = std::wstring(e.name, e.nameLength);
        sizes[e.slot] = e.size;
        inUse[e.slot] = e.inUse;
    }
    std::map<uint32_t, std::wstring> names;
    std::map<uint32_t, int64_t> sizes;
    std::map<uint32_t, bool> inUse;
};

bool Opens(const MemoryVolume& mv) {
    MemorySectorSource src = mv.Source();
    return NtfsVolume(src).Open();
}

bool ScanAll(MemoryVolume& mv, Collect& out, MftScanStats* stats = nullptr) {
    MemorySectorSource src = mv.Source();
    NtfsVolume volume(src);
    return volume.Open() && MftReader(volume).Scan(out, stats);
}

TEST(DataRuns, DecodesRelativeAndSparseRunsAndRejectsMalformedLists) {
    // 8 clusters at 100, 4 sparse, 2 clusters at 100 - 30 = 70.
    const uint8_t pairs[] = {0x11, 8, 100, 0x01, 4, 0x11, 2, 0xE2, 0};
    std::vector<DataRun> runs;
    ASSERT_TRUE(DecodeDataRuns(pairs, pairs + sizeof(pairs), 0, 1000, runs));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(std::make_tuple(runs[0].lcn, runs[1].lcn, runs[1].vcn, runs[2].lcn, runs[2].vcn),
              std::make_tuple(int64_t(100), int64_t(DataRun::kSparse), int64_t(8), int64_t(70), int64_t(12)));

    struct Bad {
        const char* what;
        std::vector<uint8_t> pairs;
        int64_t firstVcn;
    };
    const Bad bad[] = {
        {"clusters 250..257 of 256", {0x11, 8, 250, 0}, 0},
        {"LCN -128", {0x11, 8, 0x80, 0}, 0},
        {"no terminator", {0x11, 8, 10}, 0},
        {"fields longer than the list", {0x44, 1, 0, 0}, 0},
        {"zero length", {0x10, 5, 0}, 0},
        {"nine-byte length", {0x19, 1, 1, 1, 1, 1, 1, 1, 1, 1, 5, 0}, 0},
        {"negative first VCN", {0x11, 1, 1, 0}, -1},
    };
    for (const Bad& c : bad) {
        EXPECT_FALSE(DecodeDataRuns(c.pairs.data(), c.pairs.data() + c.pairs.size(), c.firstVcn, 256, runs)) << c.what;
    }
}

TEST(Fixups, RestoreStrideEndsAndRejectTornRecords) {
    RecordBuilder b;
    b.Raw(510, {0xAB, 0xCD}).Raw(1022, {0x12, 0x34});
    std::vector<uint8_t> r = b.Finish();
    std::vector<uint8_t> good = r;
    ASSERT_TRUE(ApplyFixups(good.data(), good.size()));
    EXPECT_EQ(good[510], 0xAB);
    EXPECT_EQ(good[1023], 0x34);

    // A torn second stride, a wrong count, an array running into the first
    // check word, a record cut short.
    std::vector<uint8_t> bad[3] = {r, r, r};
    bad[0][1022] ^= 1;
    Put16(bad[1], 6, 9);
    Put16(bad[2], 4, 0x1F0);
    for (auto& b : bad) EXPECT_FALSE(ApplyFixups(b.data(), b.size()));
    EXPECT_FALSE(ApplyFixups(r.data(), 100));
}

TEST(FileRecordWalk, StopsAtLengthsAndOffsetsThatDoNotFit) {
    for (uint32_t badLength : {0u, 8u, 4u, 0x10000u, 1000u, 0x3FDu}) {
        RecordBuilder b;
        b.Name(5, L"ok.txt");
        const size_t at = b.Cursor();
        b.Resident(ntfs::kAttrData, {1, 2, 3});
        std::vector<uint8_t> r = b.Finish();
        Put32(r, at + 4, badLength);
        ASSERT_TRUE(ApplyFixups(r.data(), r.size()));
        FileRecord fr;
        ASSERT_TRUE(fr.Attach(r.data(), r.size()));
        int seen = 0;
        for (auto* a = fr.First(); a && seen < 100; a = fr.Next()) ++seen;
        EXPECT_EQ(seen, 1) << badLength;
        EXPECT_TRUE(fr.Malformed()) << badLength;
    }

    // Values, names and header offsets must lie inside.
    RecordBuilder b;
    const size_t at = b.Cursor();
    b.Resident(ntfs::kAttrData, {1, 2, 3, 4});
    std::vector<uint8_t> r = b.Finish();
    Put32(r, at + 0x10, 5000);  // value longer than the attribute
    ASSERT_TRUE(ApplyFixups(r.data(), r.size()));
    FileRecord fr;
    ASSERT_TRUE(fr.Attach(r.data(), r.size()));
    const uint8_t* v;
    uint32_t n;
    ASSERT_NE(fr.First(), nullptr);
    EXPECT_FALSE(ResidentValue(fr.First(), v, n));

    std::vector<uint8_t> named = RecordBuilder().Resident(ntfs::kAttrData, {1}).Finish();
    named[0x38 + 9] = 200;  // a name of 200 units in a 32-byte attribute
    ASSERT_TRUE(ApplyFixups(named.data(), named.size()));
    ASSERT_TRUE(fr.Attach(named.data(), named.size()));
    EXPECT_EQ(fr.First(), nullptr);
    EXPECT_TRUE(fr.Malformed());

    // First attribute far out, bytes in use ending before the attributes, no magic.
    std::vector<uint8_t> r2 = RecordBuilder().Name(5, L"x").Finish();
    ASSERT_TRUE(ApplyFixups(r2.data(), r2.size()));
    std::vector<uint8_t> bad[3] = {r2, r2, r2};
    Put16(bad[0], 0x14, 0xFFF0);
    Put32(bad[1], 0x18, 0x30);
    bad[2][0] = 'B';
    for (auto& b : bad) EXPECT_FALSE(fr.Attach(b.data(), b.size()));

    // An attribute-list entry of zero length would loop forever.
    std::vector<uint8_t> list = ListEntryBytes(ntfs::kAttrFileName, 0, 21);
    std::vector<uint8_t> second = ListEntryBytes(ntfs::kAttrData, 0, 22);
    second[4] = 0;  // zero length: would loop forever
    list.insert(list.end(), second.begin(), second.end());
    std::vector<ListEntry> out;
    ParseAttributeList(list.data(), list.size(), 100, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].record, 21u);
}

TEST(BootSector, RejectsEveryImpossibleGeometryAndAnUnsoundMftRecord) {
    struct Patch {
        size_t at;
        std::vector<uint8_t> bytes;
    };
    const Patch patches[] = {
        {3, {'F', 'A', 'T'}},                   // not NTFS
        {0x0B, {0, 0}},                         // 0 bytes per sector
        {0x0B, {0xB8, 0x0B}},                   // 3000 bytes per sector
        {0x0D, {3}},                            // 3 sectors per cluster
        {0x0D, {0}},
        {0x0D, {0xE0}},                         // 2^32 sectors per cluster
        {0x28, {0, 0, 0, 0, 0, 0, 0, 0}},       // empty volume
        {0x28, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x30, {0, 1, 0, 0, 0, 0, 0, 0}},       // $MFT beyond the volume
        {0x40, {0}},                            // no record size
        {0x40, {0xE2}},                         // 2^30-byte records
        {0x40, {0x7F}},                         // 127 clusters per record
        {0x1FE, {0x55, 0xAB}},                  // no end marker
    };
    for (const Patch& p : patches) {
        MemoryVolume mv;
        std::memcpy(mv.At(p.at), p.bytes.data(), p.bytes.size());
        EXPECT_FALSE(Opens(mv)) << "patch at " << p.at;
    }
    MemoryVolume sound;
    MemorySectorSource src = sound.Source();
    NtfsVolume volume(src);
    ASSERT_TRUE(volume.Open());
    EXPECT_EQ(volume.RecordCount(), kMftClusters * kCluster / kRecord);

    MemoryVolume torn, pastEnd;
    torn.At(kMftLcn * kCluster + 1022)[0] ^= 0xFF;  // torn $MFT record
    EXPECT_FALSE(Opens(torn));
    // $MFT's runs reach past the volume end.
    pastEnd.SetRecord(0, RecordBuilder().Name(5, L"$MFT").NonResident(ntfs::kAttrData, 0, 1 << 20, {0x21, 0, 0x10, 4, 0}).Finish());
    EXPECT_FALSE(Opens(pastEnd));
}

TEST(MftScan, ListsFilesAndDeletedFilesAndSkipsBadRecordsAndACutTable) {
    MemoryVolume mv;
    mv.SetRecord(16, RecordBuilder().Name(5, L"a.txt").Resident(ntfs::kAttrData, {1, 2, 3}).Finish());
    mv.SetRecord(17, RecordBuilder(0).Name(5, L"deleted.bin").NonResident(ntfs::kAttrData, 0, 9000, {0x11, 3, 40, 0}).Finish());
    // Long name wins over the DOS alias whichever comes first.
    mv.SetRecord(18, RecordBuilder()
                         .Name(5, L"LONGNA~1.TXT", ntfs::kNameSpaceDos)
                         .Name(5, L"long name.txt", ntfs::kNameSpaceWin32)
                         .Finish());
    std::vector<uint8_t> torn = RecordBuilder().Name(5, L"torn").Finish();
    torn[510] ^= 1;
    mv.SetRecord(19, torn);
    // Name length past the value.
    std::vector<uint8_t> longName = RecordBuilder().Name(5, L"abc").Finish();
    longName[0x38 + 0x18 + 64] = 250;
    mv.SetRecord(20, longName);
    // Base 21: its list names itself many times, extension 22 (the name), 23
    // (claims another base), and slots far beyond the table.
    std::vector<uint8_t> list, back = ListEntryBytes(ntfs::kAttrFileName, 0, 21);
    auto add = [&](uint64_t rec) { for (uint8_t b : ListEntryBytes(ntfs::kAttrFileName, 0, rec)) list.push_back(b); };
    for (int i = 0; i < 15; ++i) add(21);
    for (uint64_t rec : {22ull, 23ull, 22ull, 0xFFFFFFFFFFull, 0x7FFFFFFFull}) add(rec);
    mv.SetRecord(21, RecordBuilder().Resident(ntfs::kAttrAttributeList, list).Resident(ntfs::kAttrData, {9}).Finish());
    // 22 lists 21 back; lists inside extension records are not followed.
    mv.SetRecord(22, RecordBuilder(ntfs::kRecordInUse, 21).Name(5, L"real name").Resident(ntfs::kAttrAttributeList, back).Finish());
    mv.SetRecord(23, RecordBuilder(ntfs::kRecordInUse, 33).Name(5, L"zzzzzzzzzz intruder").Finish());
    // Non-resident lists with hostile runs (a 1 GB list, runs past the volume) are ignored.
    mv.SetRecord(24, RecordBuilder().Name(5, L"file").NonResident(ntfs::kAttrAttributeList, 0, 1 << 30, {0x11, 1, 10, 0}).Finish());
    mv.SetRecord(25, RecordBuilder().Name(5, L"file2")
                         .NonResident(ntfs::kAttrAttributeList, 0, 4096, {0x11, 1, 0xFF, 0x31, 5, 0, 0, 0x10, 0}).Finish());
    mv.SetRecord(40, RecordBuilder().Name(5, L"after.txt").Finish());
    mv.Truncate((kMftLcn + 8) * kCluster);  // the device ends inside the table, after slot 31
    Collect c;
    MftScanStats stats;
    ASSERT_TRUE(ScanAll(mv, c, &stats));
    // Extension records are not files of their own.
    EXPECT_EQ(c.names, (std::map<uint32_t, std::wstring>{{0, L"$MFT"}, {5, L"."}, {16, L"a.txt"}, {17, L"deleted.bin"},
                                                          {18, L"long name.txt"}, {21, L"real name"}, {24, L"file"},
                                                          {25, L"file2"}}));
    EXPECT_EQ(c.sizes[16], 3);
    EXPECT_EQ(c.sizes[21], 1);
    EXPECT_FALSE(c.inUse[17]);
    EXPECT_EQ(c.sizes[17], 9000);
    EXPECT_EQ(stats.badRecords, 1u);
    EXPECT_EQ(stats.records, kMftClusters * kCluster / kRecord);
}

TEST(MftRecovery, RunsPastTheVolumeOrGapsAreRefused) {
    MemoryVolume mv;
    mv.SetRecord(30, RecordBuilder(0).Name(5, L"gap.bin").NonResident(ntfs::kAttrData, 0, 3 * kCluster, {0x11, 1, 40, 0}).Finish());
    mv.SetRecord(31, RecordBuilder(0).Name(5, L"far.bin").NonResident(ntfs::kAttrData, 0, kCluster, {0x21, 1, 0x00, 0x10, 0}).Finish());
    mv.SetRecord(32, RecordBuilder(0).Name(5, L"ok.bin").NonResident(ntfs::kAttrData, 0, 5000, {0x11, 2, 40, 0x01, 1, 0}).Finish());
    // A sparse run of 2^40 clusters: 4 PB of zeros.
    mv.SetRecord(33, RecordBuilder(0).Name(5, L"huge.bin").NonResident(ntfs::kAttrData, 0, int64_t(1) << 52,
                                                                        {0x08, 0, 0, 0, 0, 0, 1, 0, 0, 0}).Finish());
    std::memset(mv.At(40 * kCluster), 'Q', 2 * kCluster);
    MemorySectorSource src = mv.Source();
    NtfsVolume volume(src);
    ASSERT_TRUE(volume.Open());
    RecoveryCounter counter;
    const std::wstring path = L"C:\\lumsek-recover-test.bin";
    auto copy = [&](uint32_t slot, const char* name) {
        platform::FileHandle out(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return CopyRecordData(volume, slot, name, out.Get(), counter);
    };
    EXPECT_EQ(copy(30, "gap.bin"), RecoverStatus::kDataUnreadable);   // runs end before the size
    EXPECT_EQ(copy(31, "far.bin"), RecoverStatus::kDataUnreadable);   // run past the volume
    EXPECT_EQ(copy(32, "wrong.bin"), RecoverStatus::kRecordMismatch);
    EXPECT_EQ(copy(33, "huge.bin"), RecoverStatus::kDataUnreadable);
    ASSERT_EQ(copy(32, "ok.bin"), RecoverStatus::kOk);
    EXPECT_EQ(counter.Sectors(), 5000u / 512);
    EXPECT_EQ(testing_support::ReadFileBytes(path), std::string(5000, 'Q'));
}

} // namespace
