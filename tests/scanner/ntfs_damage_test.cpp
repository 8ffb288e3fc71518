// The reader and recovery on a real image with bytes flipped: in the boot
// sector, in $MFT's own record, in single records and all over the table.
// Nothing may crash; a bad record is skipped, an unusable volume is refused.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "scanner/mft_reader.h"
#include "scanner/ntfs_volume.h"
#include "scanner/recover.h"
#include "tests/scanner/image_fixture.h"

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
        for (auto it = flips_.lower_bound(offset); it != flips_.end() && it->first < offset + length; ++it) {
            b[it->first - offset] ^= it->second;
        }
        return true;
    }

private:
    scanner::SectorSource& inner_;
    std::map<uint64_t, uint8_t> flips_;
};

struct Geometry {
    uint64_t mftStart = 0;        // byte offset of the first run of $MFT
    uint64_t mftFirstRunBytes = 0;
    uint32_t cleanEntries = 0;
    std::map<std::string, uint32_t> slots;
    std::vector<scanner::DataRun> runs;
    uint64_t cluster = 0;
    // Volume byte offset of record `slot`.
    uint64_t RecordOffset(uint32_t slot) const {
        uint64_t byte = uint64_t(slot) * 1024;
        for (const auto& r : runs) {
            uint64_t start = uint64_t(r.vcn) * cluster, end = start + r.length * cluster;
            if (byte >= start && byte < end) return uint64_t(r.lcn) * cluster + (byte - start);
        }
        return 0;
    }
};

class DamagedImage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TheImage().available) return;
        ASSERT_TRUE(image_.Open(TheImage().WindowsImage()));
        scanner::NtfsVolume volume(image_);
        ASSERT_TRUE(volume.Open());
        geo_.mftStart = static_cast<uint64_t>(volume.MftRuns()[0].lcn) * volume.BytesPerCluster();
        geo_.mftFirstRunBytes = volume.MftRuns()[0].length * volume.BytesPerCluster();
        geo_.runs = volume.MftRuns();
        geo_.cluster = volume.BytesPerCluster();
        scanner_test::EntryCollector all;
        scanner::MftReader reader(volume);
        ASSERT_TRUE(reader.Scan(all));
        geo_.cleanEntries = static_cast<uint32_t>(all.items.size());
        for (const auto& item : all.items) geo_.slots[all.PathOf(item.first)] = item.first;
    }

    // Scans through the flips; answers the entry count, or -1 when the
    // volume was refused.
    int ScanCount(FlippingSource& src, uint32_t* bad = nullptr) {
        scanner::NtfsVolume volume(src);
        if (!volume.Open()) return -1;
        scanner::MftReader reader(volume);
        scanner_test::EntryCollector got;
        scanner::MftScanStats stats;
        reader.Scan(got, &stats);
        if (bad) *bad = stats.badRecords;
        return static_cast<int>(got.items.size());
    }

    scanner::HandleSectorSource image_;
    Geometry geo_;
};

TEST_F(DamagedImage, BootSectorFlipsRefuseTheVolumeOrReadItSoundly) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    // Each geometry field in turn, every bit.
    const size_t fields[] = {3, 0x0B, 0x0C, 0x0D, 0x28, 0x2B, 0x30, 0x31, 0x36, 0x40, 0x1FE};
    for (size_t at : fields) {
        for (int bit = 0; bit < 8; ++bit) {
            FlippingSource src(image_);
            src.Flip(at, static_cast<uint8_t>(1u << bit));
            int n = ScanCount(src);
            // Either refused, or a geometry that still reads as sound records.
            EXPECT_LE(n, static_cast<int>(geo_.cleanEntries)) << "byte " << at << " bit " << bit;
        }
    }
}

TEST_F(DamagedImage, DamagedMftRecordRefusesTheVolume) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    FlippingSource src(image_);
    src.Flip(geo_.mftStart + 510, 0xFF);  // first stride's check word
    EXPECT_EQ(ScanCount(src), -1);
    FlippingSource runs(image_);
    // The attribute area of $MFT's record: lengths and runs scrambled.
    for (uint64_t i = 0x38; i < 0x1F0; i += 3) runs.Flip(geo_.mftStart + i, 0x5A);
    EXPECT_LE(ScanCount(runs), static_cast<int>(geo_.cleanEntries));
}

TEST_F(DamagedImage, OneDamagedRecordIsSkippedAndTheRestListed) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    uint32_t slot = geo_.slots.at("large.bin");
    ASSERT_NE(geo_.RecordOffset(slot), 0u);
    FlippingSource src(image_);
    src.Flip(geo_.RecordOffset(slot) + 1022, 0x01);  // torn record
    uint32_t bad = 0;
    EXPECT_EQ(ScanCount(src, &bad), static_cast<int>(geo_.cleanEntries) - 1);
    EXPECT_EQ(bad, 1u);
}

TEST_F(DamagedImage, RandomFlipsAllOverTheTableNeverCrash) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    std::mt19937_64 rng(20240601);
    for (int round = 0; round < 6; ++round) {
        FlippingSource src(image_);
        // Leave $MFT's own record alone so the table is read at all.
        for (int i = 0; i < 3000; ++i) {
            uint64_t at = geo_.mftStart + 1024 + rng() % (geo_.mftFirstRunBytes - 1024);
            src.Flip(at, static_cast<uint8_t>(1u << (rng() % 8)));
        }
        int n = ScanCount(src);
        EXPECT_GE(n, 0) << "round " << round;
        EXPECT_LE(n, static_cast<int>(geo_.cleanEntries)) << "round " << round;
        // Recovery through the same damage either works or refuses.
        scanner::NtfsVolume volume(src);
        ASSERT_TRUE(volume.Open());
        for (const char* name : {"fragmented.bin", "scattered.bin", "large.bin"}) {
            scanner::RecoveryCounter counter;
            HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            scanner::CopyRecordData(volume, geo_.slots.at(name), name, nul, counter);
            ::CloseHandle(nul);
        }
    }
}

TEST_F(DamagedImage, FlipsInsideEveryByteOfOneRecordNeverCrash) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    // The record of a file with an attribute list, byte by byte.
    uint32_t slot = geo_.slots.at("scattered.bin");
    ASSERT_NE(geo_.RecordOffset(slot), 0u);
    for (uint32_t at = 0; at < 1024; at += 1) {
        FlippingSource src(image_);
        src.Flip(geo_.RecordOffset(slot) + at, 0xFF);
        scanner::NtfsVolume volume(src);
        ASSERT_TRUE(volume.Open());
        scanner::MftReader reader(volume);
        scanner_test::EntryCollector got;
        reader.ReadEntry(slot, got);
        if (at % 8 != 0) continue;  // copying is slow; every eighth byte suffices
        scanner::RecoveryCounter counter;
        HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        scanner::CopyRecordData(volume, slot, "scattered.bin", nul, counter);
        ::CloseHandle(nul);
    }
}

} // namespace
