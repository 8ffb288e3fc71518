// The raw reader against a real NTFS image made by mkntfs and filled through
// ntfs-3g: every file with its true path, size and time, deleted ones as
// deleted.
#include <gtest/gtest.h>

#include <set>

#include "scanner/file_record.h"
#include "scanner/mft_reader.h"
#include "scanner/ntfs_volume.h"
#include "tests/scanner/image_fixture.h"

namespace {

using scanner_test::EntryCollector;
using scanner_test::TheImage;

struct ScannedImage {
    bool ok = false;
    EntryCollector entries;
    scanner::MftScanStats stats;
    size_t mftRuns = 0;
    std::map<std::string, uint32_t> slotOfPath;
};

const ScannedImage& Scanned() {
    static ScannedImage s = [] {
        ScannedImage r;
        scanner::HandleSectorSource source;
        if (!source.Open(TheImage().WindowsImage())) return r;
        scanner::NtfsVolume volume(source);
        if (!volume.Open()) return r;
        r.mftRuns = volume.MftRuns().size();
        scanner::MftReader reader(volume);
        r.ok = reader.Scan(r.entries, &r.stats);
        for (const auto& item : r.entries.items) r.slotOfPath[r.entries.PathOf(item.first)] = item.first;
        return r;
    }();
    return s;
}

TEST(NtfsImageReader, ListsEveryFileWithPathSizeTimeAndState) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    const ScannedImage& s = Scanned();
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.entries.duplicates, 0u);
    EXPECT_EQ(s.stats.badRecords, 0u);
    EXPECT_GT(TheImage().manifest.size(), 20000u);
    size_t checked = 0;
    for (const auto& m : TheImage().manifest) {
        auto it = s.slotOfPath.find(m.path);
        ASSERT_NE(it, s.slotOfPath.end()) << "missing " << m.path;
        const EntryCollector::Item& item = s.entries.items.at(it->second);
        EXPECT_EQ(item.directory, m.directory) << m.path;
        EXPECT_EQ(item.inUse, !m.deleted) << m.path;
        if (!m.directory) {
            EXPECT_EQ(item.size, m.size) << m.path;
            EXPECT_EQ(item.mtime / 10000000, scanner_test::UnixToFileTime(m.mtime) / 10000000) << m.path;
        }
        ++checked;
    }
    EXPECT_EQ(checked, TheImage().manifest.size());
}

TEST(NtfsImageReader, ListsNothingThatIsNotOnTheVolume) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    const ScannedImage& s = Scanned();
    ASSERT_TRUE(s.ok);
    std::set<std::string> known;
    for (const auto& m : TheImage().manifest) known.insert(m.path);
    for (const auto& item : s.entries.items) {
        if (item.first < 16 || !item.second.inUse) continue;  // the volume's own files
        std::string path = s.entries.PathOf(item.first);
        if (path.empty() || path[0] == '$' || path == ".") continue;
        EXPECT_TRUE(known.count(path)) << "unexpected " << path;
    }
}

TEST(NtfsImageReader, TableSpansSeveralRunsAndIsReadWhole) {
    SKIP_WITHOUT_NTFS_IMAGE(TheImage());
    const ScannedImage& s = Scanned();
    ASSERT_TRUE(s.ok);
    EXPECT_GT(s.mftRuns, 1u);
    EXPECT_GT(s.stats.records, 20000u);
    EXPECT_EQ(s.stats.mftBytes, static_cast<uint64_t>(s.stats.records) * 1024);
}

} // namespace
