// The raw reader and recovery on a real NTFS image made by mkntfs and filled
// through ntfs-3g: the clean table read whole, files recovered whatever their
// layout, and bytes flipped in the boot sector, in $MFT's own record, in
// single records and all over the table. Nothing may crash; a bad record is
// skipped, an unusable volume is refused.
#include <gtest/gtest.h>

#include <random>

#include "platform/strconv.h"
#include "scanner/mft_reader.h"
#include "scanner/ntfs_volume.h"
#include "scanner/recover.h"
#include "tests/scanner/image_fixture.h"
#include "tests/support/test_support.h"

namespace {

using scanner_test::TheImage;
using testing_support::ReadFileBytes;

// Reads the image through `inner` and flips chosen bytes on the way.
class FlippingSource : public scanner::SectorSource {
public:
    explicit FlippingSource(scanner::SectorSource& inner) : inner_(inner) {}
    void Flip(uint64_t offset, uint8_t mask) { flips_[offset] ^= mask; }
    bool ReadAt(uint64_t offset, void* buffer, size_t length) override {
        if (!inner_.ReadAt(offset, buffer, length)) return false;
        auto* b = static_cast<uint8_t*>(buffer);
        for (auto it = flips_.lower_bound(offset); it != flips_.end() && it->first < offset + length; ++it)
            b[it->first - offset] ^= it->second;
        return true;
    }

private:
    scanner::SectorSource& inner_;
    std::map<uint64_t, uint8_t> flips_;
};

// The reader's entries by slot, with paths rebuilt below the root.
struct Collector : scanner::MftSink {
    std::map<uint32_t, std::pair<uint32_t, std::string>> items;  // slot -> parent slot, UTF-8 name
    size_t duplicates = 0;
    void OnEntry(const scanner::MftEntry& e) override {
        const std::string name = platform::WideToUtf8(e.name, static_cast<int>(e.nameLength));
        if (!items.emplace(e.slot, std::make_pair(e.parentSlot, name)).second) ++duplicates;
    }
    // "a/b/c", or "" when the chain does not reach the root.
    std::string PathOf(uint32_t slot) const {
        std::string path;
        for (int depth = 0; depth < 64; ++depth) {
            auto it = items.find(slot);
            if (it == items.end()) return std::string();
            path = path.empty() ? it->second.second : it->second.second + "/" + path;
            if (it->second.first == 5) return path;
            slot = it->second.first;
        }
        return std::string();
    }
};

// The clean image scanned once per program.
struct CleanScan {
    Collector entries;
    scanner::MftScanStats stats;
    std::vector<scanner::DataRun> runs;
    uint64_t cluster = 0;
    std::map<std::string, uint32_t> slots;
};

class NtfsImage : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NTFS_IMAGE();
        ASSERT_TRUE(image_.Open(TheImage().WindowsImage()));
        static CleanScan* clean = nullptr;
        if (!clean) {
            scanner::NtfsVolume volume(image_);
            ASSERT_TRUE(volume.Open());
            CleanScan* c = new CleanScan;
            c->runs = volume.MftRuns();
            c->cluster = volume.BytesPerCluster();
            ASSERT_TRUE(scanner::MftReader(volume).Scan(c->entries, &c->stats));
            for (const auto& item : c->entries.items) c->slots[c->entries.PathOf(item.first)] = item.first;
            clean = c;
        }
        clean_ = clean;
    }

    int CleanCount() const { return static_cast<int>(clean_->entries.items.size()); }
    uint32_t SlotOf(const std::string& path) const {
        auto it = clean_->slots.find(path);
        return it == clean_->slots.end() ? 0 : it->second;
    }
    // Volume byte offset of record `slot`.
    uint64_t RecordOffset(uint32_t slot) const {
        const uint64_t byte = uint64_t(slot) * 1024;
        for (const auto& r : clean_->runs) {
            const uint64_t start = uint64_t(r.vcn) * clean_->cluster, end = start + r.length * clean_->cluster;
            if (byte >= start && byte < end) return uint64_t(r.lcn) * clean_->cluster + (byte - start);
        }
        return 0;
    }
    // Scans through the flips; answers the entry count, or -1 when the
    // volume was refused.
    static int ScanCount(FlippingSource& src, uint32_t* bad = nullptr) {
        scanner::NtfsVolume volume(src);
        if (!volume.Open()) return -1;
        Collector got;
        scanner::MftScanStats stats;
        scanner::MftReader(volume).Scan(got, &stats);
        if (bad) *bad = stats.badRecords;
        return static_cast<int>(got.items.size());
    }
    static void CopyToNul(scanner::NtfsVolume& volume, uint32_t slot, const char* name) {
        scanner::RecoveryCounter counter;
        HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        scanner::CopyRecordData(volume, slot, name, nul, counter);
        ::CloseHandle(nul);
    }

    scanner::HandleSectorSource image_;
    const CleanScan* clean_ = nullptr;
};

TEST_F(NtfsImage, CleanTableIsReadWholeAcrossItsRuns) {
    const CleanScan& c = *clean_;
    EXPECT_GT(c.runs.size(), 1u);
    EXPECT_GT(c.stats.records, 20000u);
    EXPECT_EQ(c.stats.mftBytes, static_cast<uint64_t>(c.stats.records) * 1024);
    EXPECT_EQ(c.entries.duplicates, 0u);
    EXPECT_EQ(c.stats.badRecords, 0u);
    // Paths, sizes, times and states are checked end to end through the library.
    for (const auto& m : TheImage().manifest) ASSERT_NE(SlotOf(m.path), 0u) << "missing " << m.path;
}

TEST_F(NtfsImage, RecoveryKeepsExistingFilesAndRefusesTheWrongRecordOrVolume) {
    // Kept on the volume, its runs continue in an extension record behind an
    // attribute list; the generator repeats one 4096-byte block.
    scanner::RecoveryCounter counter;
    ASSERT_EQ(scanner::RecoverToFolder("N:\\scattered.bin", "C:\\recovered\\kept", SlotOf("scattered.bin"), counter,
                                       &image_),
              scanner::RecoverStatus::kOk);
    const std::string got = ReadFileBytes(L"C:\\recovered\\kept\\scattered.bin");
    ASSERT_EQ(got.size(), 240u * 8192 + 333);
    for (size_t i = 4096; i < got.size(); i += 4096) {
        const size_t n = std::min<size_t>(4096, got.size() - i);
        ASSERT_EQ(got.compare(i, n, got, 0, n), 0) << "block at " << i;
    }

    // Never overwrites: later copies get " (2)", " (3)".
    const uint32_t small = SlotOf("docs/small.txt");
    ASSERT_TRUE(testing_support::WriteFileBytes(L"C:\\again\\small.txt", "mine"));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(scanner::RecoverToFolder("N:\\docs\\small.txt", "C:\\again\\", small, counter, &image_),
                  scanner::RecoverStatus::kOk);
    }
    EXPECT_EQ(ReadFileBytes(L"C:\\again\\small.txt"), "mine");
    EXPECT_EQ(ReadFileBytes(L"C:\\again\\small (2).txt"), "hello resident world\n");
    EXPECT_EQ(ReadFileBytes(L"C:\\again\\small (3).txt"), "hello resident world\n");

    // Refused without leaving partial files or counting sectors.
    scanner::RecoveryCounter none;
    EXPECT_EQ(scanner::RecoverToFolder("N:\\docs\\small.txt", "n:\\out\\", small, none, &image_),
              scanner::RecoverStatus::kSameVolume);
    EXPECT_EQ(scanner::RecoverToFolder("N:\\docs\\other.txt", "C:\\mismatch\\", small, none, &image_),
              scanner::RecoverStatus::kRecordMismatch);
    EXPECT_EQ(scanner::RecoverToFolder("N:\\docs\\small.txt", "C:\\mismatch\\", 0xFFFFFFF0u, none, &image_),
              scanner::RecoverStatus::kRecordMismatch);
    EXPECT_FALSE(testing_support::PathExists(L"C:\\mismatch\\other.txt"));
    EXPECT_FALSE(testing_support::PathExists(L"C:\\mismatch\\small.txt"));
    EXPECT_EQ(none.Sectors(), 0u);
}

TEST_F(NtfsImage, BootSectorFlipsRefuseTheVolumeOrReadItSoundly) {
    // Each geometry field in turn, every bit.
    for (size_t at : {3, 0x0B, 0x0C, 0x0D, 0x28, 0x2B, 0x30, 0x31, 0x36, 0x40, 0x1FE}) {
        for (int bit = 0; bit < 8; ++bit) {
            FlippingSource src(image_);
            src.Flip(at, static_cast<uint8_t>(1u << bit));
            EXPECT_LE(ScanCount(src), CleanCount()) << "byte " << at << " bit " << bit;
        }
    }
}

TEST_F(NtfsImage, DamagedRecordsAreSkippedOrRefuseTheVolume) {
    const uint64_t mftStart = static_cast<uint64_t>(clean_->runs[0].lcn) * clean_->cluster;
    FlippingSource torn(image_);
    torn.Flip(mftStart + 510, 0xFF);  // $MFT's first stride check word
    EXPECT_EQ(ScanCount(torn), -1);
    FlippingSource scrambled(image_);
    // The attribute area of $MFT's record: lengths and runs scrambled.
    for (uint64_t i = 0x38; i < 0x1F0; i += 3) scrambled.Flip(mftStart + i, 0x5A);
    EXPECT_LE(ScanCount(scrambled), CleanCount());

    const uint64_t large = RecordOffset(SlotOf("large.bin"));
    ASSERT_NE(large, 0u);
    FlippingSource one(image_);
    one.Flip(large + 1022, 0x01);  // one torn record
    uint32_t bad = 0;
    EXPECT_EQ(ScanCount(one, &bad), CleanCount() - 1);
    EXPECT_EQ(bad, 1u);
}

TEST_F(NtfsImage, FlippedBytesNeverCrashTheReaderOrRecovery) {
    const uint64_t mftStart = static_cast<uint64_t>(clean_->runs[0].lcn) * clean_->cluster;
    const uint64_t firstRunBytes = clean_->runs[0].length * clean_->cluster;
    std::mt19937_64 rng(20240601);
    for (int round = 0; round < 6; ++round) {
        FlippingSource src(image_);
        // Leave $MFT's own record alone so the table is read at all.
        for (int i = 0; i < 3000; ++i)
            src.Flip(mftStart + 1024 + rng() % (firstRunBytes - 1024), static_cast<uint8_t>(1u << (rng() % 8)));
        const int n = ScanCount(src);
        EXPECT_GE(n, 0) << "round " << round;
        EXPECT_LE(n, CleanCount()) << "round " << round;
        scanner::NtfsVolume volume(src);
        ASSERT_TRUE(volume.Open());
        for (const char* name : {"fragmented.bin", "scattered.bin", "large.bin"})
            CopyToNul(volume, SlotOf(name), name);
    }
    // Every byte of one record with an attribute list.
    const uint32_t slot = SlotOf("scattered.bin");
    ASSERT_NE(RecordOffset(slot), 0u);
    for (uint32_t at = 0; at < 1024; ++at) {
        FlippingSource src(image_);
        src.Flip(RecordOffset(slot) + at, 0xFF);
        scanner::NtfsVolume volume(src);
        ASSERT_TRUE(volume.Open());
        Collector got;
        scanner::MftReader(volume).ReadEntry(slot, got);
        if (at % 8 == 0) CopyToNul(volume, slot, "scattered.bin");  // copying is slow; every eighth byte suffices
    }
}

} // namespace
