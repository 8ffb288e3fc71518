// The raw reader and recovery on the real NTFS image with bytes flipped in the
// boot sector, in $MFT's own record, in single records and all over the table.
// Nothing may crash; a bad record is skipped, an unusable volume is refused.
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

struct Collector : scanner::MftSink {
    std::map<uint32_t, std::pair<uint32_t, std::string>> items;  // slot -> parent slot, UTF-8 name
    size_t duplicates = 0;
    void OnEntry(const scanner::MftEntry& e) override {
        const std::string name = platform::WideToUtf8(e.name, static_cast<int>(e.nameLength));
        duplicates += !items.emplace(e.slot, std::make_pair(e.parentSlot, name)).second;
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
    size_t count = 0;
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
            Collector entries;
            scanner::MftScanStats stats;
            ASSERT_TRUE(scanner::MftReader(volume).Scan(entries, &stats));
            ASSERT_GT(c->runs.size(), 1u);  // the damage below must reach a table in several runs
            ASSERT_EQ(stats.badRecords + entries.duplicates, 0u);
            c->count = entries.items.size();
            for (const auto& item : entries.items) c->slots[entries.PathOf(item.first)] = item.first;
            clean = c;
        }
        clean_ = clean;
    }

    int CleanCount() const { return static_cast<int>(clean_->count); }
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
    // The entry count through the flips, or -1 when the volume was refused.
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

TEST_F(NtfsImage, DamagedImagesAreRefusedSkippedOrReadSoundlyNeverCrash) {
    // Each boot-sector geometry field in turn, every bit.
    for (size_t at : {3, 0x0B, 0x0C, 0x0D, 0x28, 0x2B, 0x30, 0x31, 0x36, 0x40, 0x1FE}) {
        for (int bit = 0; bit < 8; ++bit) {
            FlippingSource src(image_);
            src.Flip(at, static_cast<uint8_t>(1u << bit));
            EXPECT_LE(ScanCount(src), CleanCount()) << "byte " << at << " bit " << bit;
        }
    }
    const uint64_t mftStart = static_cast<uint64_t>(clean_->runs[0].lcn) * clean_->cluster;
    FlippingSource torn(image_);
    torn.Flip(mftStart + 510, 0xFF);  // $MFT's first stride check word
    EXPECT_EQ(ScanCount(torn), -1);
    FlippingSource scrambled(image_);
    for (uint64_t i = 0x38; i < 0x1F0; i += 3) scrambled.Flip(mftStart + i, 0x5A);  // $MFT's attributes
    EXPECT_LE(ScanCount(scrambled), CleanCount());
    const uint64_t large = RecordOffset(SlotOf("large.bin"));
    ASSERT_NE(large, 0u);
    FlippingSource one(image_);
    one.Flip(large + 1022, 0x01);  // one torn record
    uint32_t bad = 0;
    EXPECT_EQ(ScanCount(one, &bad), CleanCount() - 1);
    EXPECT_EQ(bad, 1u);

    // Random flips over the table (not $MFT's own record, so it is read at all).
    const uint64_t firstRunBytes = clean_->runs[0].length * clean_->cluster;
    std::mt19937_64 rng(20240601);
    for (int round = 0; round < 6; ++round) {
        FlippingSource src(image_);
        for (int i = 0; i < 3000; ++i)
            src.Flip(mftStart + 1024 + rng() % (firstRunBytes - 1024), static_cast<uint8_t>(1u << (rng() % 8)));
        const int n = ScanCount(src);
        EXPECT_TRUE(n >= 0 && n <= CleanCount()) << "round " << round << ": " << n;
        scanner::NtfsVolume volume(src);
        ASSERT_TRUE(volume.Open());
        for (const char* name : {"fragmented.bin", "scattered.bin", "large.bin"}) CopyToNul(volume, SlotOf(name), name);
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
