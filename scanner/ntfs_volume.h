#pragma once
// Geometry of an NTFS volume from its boot sector, the runs of its master
// file table, and reading of single FILE records with their fixups applied.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scanner/ntfs_format.h"
#include "scanner/sector_source.h"

namespace scanner {

// One extent of a non-resident attribute: `length` clusters from `vcn` on,
// stored at `lcn`, or sparse (reads as zeros) when lcn is kSparse.
struct DataRun {
    static constexpr int64_t kSparse = -1;
    int64_t vcn;
    int64_t lcn;
    uint64_t length;
};

// Decodes the mapping pairs in [p, end) starting at `firstVcn`; appends to
// `runs`. False on a malformed list (it never reads outside the range).
// `totalClusters` bounds every run: one that reaches past the volume is an
// error, so later reads never leave the volume.
bool DecodeDataRuns(const uint8_t* p, const uint8_t* end, int64_t firstVcn, uint64_t totalClusters,
                    std::vector<DataRun>& runs);

// Applies the update sequence fixups of a record of `size` bytes in place.
// False when the array does not fit or a stride does not end with the
// sequence number (a torn or damaged record).
bool ApplyFixups(uint8_t* record, size_t size);

class NtfsVolume {
public:
    explicit NtfsVolume(SectorSource& source) : source_(source) {}

    // Reads the boot sector and the runs of $MFT. False when the volume is
    // not NTFS or its boot sector or $MFT record is not sound.
    bool Open();

    uint32_t BytesPerSector() const { return bytesPerSector_; }
    uint32_t BytesPerCluster() const { return bytesPerCluster_; }
    uint32_t RecordSize() const { return recordSize_; }
    uint64_t TotalClusters() const { return totalClusters_; }
    uint64_t MftLcn() const { return mftLcn_; }
    // Byte size of the $MFT data that holds records, and the record count.
    uint64_t MftBytes() const { return mftBytes_; }
    uint32_t RecordCount() const { return recordCount_; }
    const std::vector<DataRun>& MftRuns() const { return mftRuns_; }
    SectorSource& Source() { return source_; }

    // Reads `length` bytes of the $MFT stream from byte `offset`, across runs.
    bool ReadMftBytes(uint64_t offset, uint8_t* buffer, size_t length);
    // Reads record `slot` into `buffer` (RecordSize() bytes), checks its
    // signature and applies the fixups.
    bool ReadRecord(uint32_t slot, uint8_t* buffer);

    // Reads `length` bytes at cluster `lcn` + `byteInCluster`.
    bool ReadClusterBytes(int64_t lcn, uint64_t byteInCluster, uint8_t* buffer, size_t length);

private:
    bool ParseBootSector(const uint8_t* sector);
    bool LoadMftRuns();

    SectorSource& source_;
    uint32_t bytesPerSector_ = 0;
    uint32_t bytesPerCluster_ = 0;
    uint32_t recordSize_ = 0;
    uint64_t totalClusters_ = 0;
    uint64_t mftLcn_ = 0;
    uint64_t mftBytes_ = 0;
    uint32_t recordCount_ = 0;
    std::vector<DataRun> mftRuns_;
};

} // namespace scanner
