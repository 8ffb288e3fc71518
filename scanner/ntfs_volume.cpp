#include "scanner/ntfs_volume.h"

#include <algorithm>
#include <cstring>

#include "platform/trace.h"
#include "scanner/file_record.h"

namespace scanner {
namespace {

// Every byte offset is cluster × cluster size; keeping both factors below
// these bounds keeps the products far from overflow.
constexpr uint64_t kMaxVolumeBytes = 1ull << 60;
constexpr uint32_t kMaxClusterBytes = 2u << 20;
constexpr uint32_t kMaxRecordBytes = 64u << 10;
// $MFT continued in extension records: more pieces than this is damage.
constexpr size_t kMaxMftPieces = 4096;

bool IsPowerOfTwo(uint64_t v) { return v && (v & (v - 1)) == 0; }

template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

// Fills in run pieces of the unnamed $DATA of $MFT found in one record.
struct MftDataPiece {
    int64_t lowestVcn;
    int64_t dataSize;
    int64_t initializedSize;
    bool hasSizes;
    std::vector<DataRun> runs;
};

} // namespace

bool DecodeDataRuns(const uint8_t* p, const uint8_t* end, int64_t firstVcn, uint64_t totalClusters,
                    std::vector<DataRun>& runs) {
    if (firstVcn < 0) return false;
    // Virtual cluster numbers stay below 2^62 bytes at the largest cluster
    // size, so vcn × cluster size never overflows (sparse files may be
    // larger than their volume, so the volume size does not bound them).
    const uint64_t maxVcn = (1ull << 62) / kMaxClusterBytes;
    uint64_t vcn = static_cast<uint64_t>(firstVcn);
    int64_t lcn = 0;
    while (p < end) {
        const uint8_t head = *p++;
        if (head == 0) return true;
        const unsigned lengthBytes = head & 0x0F;
        const unsigned offsetBytes = head >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8) return false;
        if (static_cast<size_t>(end - p) < lengthBytes + offsetBytes) return false;
        uint64_t length = 0;
        for (unsigned i = 0; i < lengthBytes; ++i) length |= static_cast<uint64_t>(p[i]) << (8 * i);
        p += lengthBytes;
        if (length == 0 || length > maxVcn || vcn + length > maxVcn) return false;
        DataRun run;
        run.vcn = static_cast<int64_t>(vcn);
        run.length = length;
        if (offsetBytes == 0) {
            run.lcn = DataRun::kSparse;
        } else {
            uint64_t raw = 0;
            for (unsigned i = 0; i < offsetBytes; ++i) raw |= static_cast<uint64_t>(p[i]) << (8 * i);
            // Sign-extend the relative offset.
            if (offsetBytes < 8 && (raw & (1ull << (8 * offsetBytes - 1)))) raw |= ~0ull << (8 * offsetBytes);
            const int64_t delta = static_cast<int64_t>(raw);
            if ((delta > 0 && lcn > INT64_MAX - delta) || (delta < 0 && lcn < INT64_MIN - delta)) return false;
            lcn += delta;
            if (lcn < 0 || static_cast<uint64_t>(lcn) > totalClusters || length > totalClusters - lcn) return false;
            run.lcn = lcn;
        }
        p += offsetBytes;
        runs.push_back(run);
        vcn += length;
    }
    // The list must end with a zero byte inside the attribute.
    return false;
}

bool ApplyFixups(uint8_t* record, size_t size) {
    if (size < sizeof(ntfs::FileRecordHeader) || size % ntfs::kFixupStride != 0) return false;
    const uint16_t usaOffset = Load<uint16_t>(record + 4);
    const uint16_t usaCount = Load<uint16_t>(record + 6);
    const size_t strides = size / ntfs::kFixupStride;
    if (usaCount != strides + 1 || usaOffset < 0x28 || (usaOffset & 1) != 0) return false;
    // The array must lie before the check word of the first stride.
    if (usaOffset + 2u * usaCount > ntfs::kFixupStride - 2) return false;
    const uint16_t usn = Load<uint16_t>(record + usaOffset);
    for (size_t i = 1; i <= strides; ++i) {
        uint8_t* check = record + i * ntfs::kFixupStride - 2;
        if (Load<uint16_t>(check) != usn) return false;
        std::memcpy(check, record + usaOffset + 2 * i, 2);
    }
    return true;
}

bool NtfsVolume::ParseBootSector(const uint8_t* sector) {
    ntfs::BootSector b;
    std::memcpy(&b, sector, sizeof(b));
    if (std::memcmp(b.oemId, "NTFS    ", 8) != 0 || b.endMarker != 0xAA55) return false;
    if (!IsPowerOfTwo(b.bytesPerSector) || b.bytesPerSector < 256 || b.bytesPerSector > 4096) return false;
    uint32_t sectorsPerCluster;
    if (b.sectorsPerCluster == 0) return false;
    if (b.sectorsPerCluster <= 0x80) {
        sectorsPerCluster = b.sectorsPerCluster;
        if (!IsPowerOfTwo(sectorsPerCluster)) return false;
    } else {
        const unsigned shift = 256u - b.sectorsPerCluster;
        if (shift > 20) return false;
        sectorsPerCluster = 1u << shift;
    }
    const uint64_t clusterBytes = static_cast<uint64_t>(sectorsPerCluster) * b.bytesPerSector;
    if (clusterBytes > kMaxClusterBytes) return false;
    if (b.totalSectors == 0 || b.totalSectors > kMaxVolumeBytes / b.bytesPerSector) return false;
    const uint64_t clusters = b.totalSectors / sectorsPerCluster;
    if (clusters == 0 || b.mftLcn >= clusters) return false;
    uint64_t recordBytes;
    if (b.clustersPerMftRecord > 0) {
        recordBytes = clusterBytes * static_cast<uint64_t>(b.clustersPerMftRecord);
    } else {
        const int shift = -static_cast<int>(b.clustersPerMftRecord);
        if (shift < 9 || shift > 16) return false;
        recordBytes = 1ull << shift;
    }
    if (!IsPowerOfTwo(recordBytes) || recordBytes < ntfs::kFixupStride || recordBytes > kMaxRecordBytes) return false;
    bytesPerSector_ = b.bytesPerSector;
    bytesPerCluster_ = static_cast<uint32_t>(clusterBytes);
    recordSize_ = static_cast<uint32_t>(recordBytes);
    totalClusters_ = clusters;
    mftLcn_ = b.mftLcn;
    return true;
}

bool NtfsVolume::Open() {
    std::vector<uint8_t> sector(512);
    if (!source_.ReadAt(0, sector.data(), sector.size())) {
        platform::Trace("scanner: boot sector unreadable");
        return false;
    }
    if (!ParseBootSector(sector.data())) {
        platform::Trace("scanner: not an NTFS boot sector");
        return false;
    }
    source_.SetSectorSize(bytesPerSector_);
    if (!LoadMftRuns()) {
        platform::Trace("scanner: $MFT record unusable");
        return false;
    }
    return true;
}

bool NtfsVolume::ReadClusterBytes(int64_t lcn, uint64_t byteInCluster, uint8_t* buffer, size_t length) {
    if (lcn < 0 || static_cast<uint64_t>(lcn) >= totalClusters_) return false;
    const uint64_t start = static_cast<uint64_t>(lcn) * bytesPerCluster_ + byteInCluster;
    const uint64_t volumeBytes = totalClusters_ * bytesPerCluster_;
    if (start > volumeBytes || length > volumeBytes - start) return false;
    return source_.ReadAt(start, buffer, length);
}

bool NtfsVolume::ReadMftBytes(uint64_t offset, uint8_t* buffer, size_t length) {
    const uint64_t cluster = bytesPerCluster_;
    // First run that ends after `offset`.
    auto it = std::upper_bound(mftRuns_.begin(), mftRuns_.end(), offset,
                               [cluster](uint64_t off, const DataRun& r) {
                                   return off < (static_cast<uint64_t>(r.vcn) + r.length) * cluster;
                               });
    while (length) {
        if (it == mftRuns_.end()) return false;
        const uint64_t runStart = static_cast<uint64_t>(it->vcn) * cluster;
        const uint64_t runEnd = runStart + it->length * cluster;
        if (offset < runStart) return false;  // a hole between runs
        uint64_t take = runEnd - offset;
        if (take > length) take = length;
        if (it->lcn == DataRun::kSparse) {
            std::memset(buffer, 0, static_cast<size_t>(take));
        } else if (!ReadClusterBytes(it->lcn, offset - runStart, buffer, static_cast<size_t>(take))) {
            return false;
        }
        buffer += take;
        offset += take;
        length -= static_cast<size_t>(take);
        ++it;
    }
    return true;
}

bool NtfsVolume::ReadRecord(uint32_t slot, uint8_t* buffer) {
    if (slot >= recordCount_) return false;
    if (!ReadMftBytes(static_cast<uint64_t>(slot) * recordSize_, buffer, recordSize_)) return false;
    if (Load<uint32_t>(buffer) != ntfs::kFileMagic) return false;
    return ApplyFixups(buffer, recordSize_);
}

bool NtfsVolume::LoadMftRuns() {
    std::vector<uint8_t> record(recordSize_);
    const size_t mftRecordBytes = recordSize_;
    if (!ReadClusterBytes(static_cast<int64_t>(mftLcn_), 0, record.data(), mftRecordBytes)) return false;
    if (!ApplyFixups(record.data(), recordSize_)) return false;
    FileRecord fr;
    if (!fr.Attach(record.data(), recordSize_) || !fr.InUse() || !fr.IsBase()) return false;

    // Pieces of $MFT's own $DATA: in record 0, and, on a heavily fragmented
    // volume, in extension records named by its attribute list.
    std::vector<MftDataPiece> pieces;
    std::vector<ListEntry> list;
    bool hasList = false;
    auto collect = [&](FileRecord& r) {
        for (const ntfs::AttributeHeader* a = r.First(); a; a = r.Next()) {
            if (a->type == ntfs::kAttrData && IsUnnamed(a)) {
                const ntfs::NonResidentAttribute* nr = NonResidentHeader(a);
                const uint8_t *p = nullptr, *end = nullptr;
                if (!nr || !MappingPairs(a, p, end)) return false;
                MftDataPiece piece;
                piece.lowestVcn = nr->lowestVcn;
                piece.hasSizes = nr->lowestVcn == 0;
                piece.dataSize = nr->dataSize;
                piece.initializedSize = nr->initializedSize;
                if (!DecodeDataRuns(p, end, nr->lowestVcn, totalClusters_, piece.runs)) return false;
                if (pieces.size() >= kMaxMftPieces) return false;
                pieces.push_back(std::move(piece));
            }
        }
        return !r.Malformed();
    };
    if (!collect(fr)) return false;
    for (const ntfs::AttributeHeader* a = fr.First(); a; a = fr.Next()) {
        if (a->type == ntfs::kAttrAttributeList) {
            std::vector<uint8_t> value;
            // The list itself may be non-resident; its runs are read directly.
            if (!ReadAttributeValue(*this, a, 256u << 10, value)) return false;
            ParseAttributeList(value.data(), value.size(), 65536, list);
            hasList = true;
            break;
        }
    }
    if (pieces.empty() || !pieces[0].hasSizes) return false;
    const int64_t dataSize = pieces[0].dataSize;
    mftRuns_ = pieces[0].runs;

    if (hasList) {
        // Follow the later pieces in VCN order; each must continue exactly
        // where the runs known so far end, which also rules out loops.
        std::vector<ListEntry> more;
        for (const ListEntry& e : list) {
            if (e.type == ntfs::kAttrData && e.unnamed && e.lowestVcn > 0 && e.record != 0) more.push_back(e);
        }
        std::stable_sort(more.begin(), more.end(),
                         [](const ListEntry& x, const ListEntry& y) { return x.lowestVcn < y.lowestVcn; });
        if (more.size() > kMaxMftPieces) return false;
        for (const ListEntry& e : more) {
            int64_t nextVcn = mftRuns_.empty() ? 0 : mftRuns_.back().vcn + static_cast<int64_t>(mftRuns_.back().length);
            if (e.lowestVcn != nextVcn || e.record > 0xFFFFFFFFull) return false;
            // Records reachable through the runs known so far.
            recordCount_ = static_cast<uint32_t>(
                std::min<uint64_t>(static_cast<uint64_t>(nextVcn) * bytesPerCluster_ / recordSize_, 0xFFFFFFFFull));
            std::vector<uint8_t> ext(recordSize_);
            if (!ReadRecord(static_cast<uint32_t>(e.record), ext.data())) return false;
            FileRecord er;
            if (!er.Attach(ext.data(), recordSize_) || ntfs::ReferenceRecord(er.Header().baseRecord) != 0) return false;
            pieces.clear();
            if (!collect(er)) return false;
            bool found = false;
            for (MftDataPiece& piece : pieces) {
                if (piece.lowestVcn == e.lowestVcn) {
                    mftRuns_.insert(mftRuns_.end(), piece.runs.begin(), piece.runs.end());
                    found = true;
                    break;
                }
            }
            if (!found) return false;
        }
    }

    // The runs must start at VCN 0 and follow on without gaps.
    uint64_t vcn = 0;
    for (const DataRun& r : mftRuns_) {
        if (static_cast<uint64_t>(r.vcn) != vcn) return false;
        vcn += r.length;
    }
    uint64_t covered = vcn * bytesPerCluster_;
    // Runs that name the same clusters over and over cannot make the table
    // larger than the volume.
    covered = std::min<uint64_t>(covered, totalClusters_ * bytesPerCluster_);
    uint64_t bytes = static_cast<uint64_t>(dataSize);
    if (bytes > covered) bytes = covered;
    mftBytes_ = bytes;
    recordCount_ = static_cast<uint32_t>(std::min<uint64_t>(bytes / recordSize_, 0xFFFFFFFFull));
    return recordCount_ > ntfs::kRootSlot;
}

} // namespace scanner
