#pragma once
// Sequential read of every FILE record of a volume's master file table,
// handing one entry per named base record (in use or deleted) to a sink.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scanner/file_record.h"
#include "scanner/ntfs_volume.h"

namespace scanner {

struct MftEntry {
    uint32_t slot;                // low 32 bits of the file reference
    uint32_t parentSlot;          // low 32 bits of the parent's reference
    bool inUse;
    bool isDirectory;
    uint64_t creationTime;        // FILETIME values in UTC, 0 when the record has none
    uint64_t modificationTime;
    uint64_t accessTime;
    int64_t size;                 // bytes of the unnamed data stream, 0 without one
    const wchar_t* name;          // UTF-16, not terminated; valid during the call only
    uint32_t nameLength;
};

class MftSink {
public:
    virtual ~MftSink() = default;
    virtual void OnEntry(const MftEntry& entry) = 0;
};

struct MftScanStats {
    uint32_t records = 0;         // record slots looked at
    uint32_t entries = 0;         // entries handed to the sink
    uint32_t badRecords = 0;      // slots with a FILE signature that failed a check
    uint64_t mftBytes = 0;        // bytes of the table read
};

class MftReader {
public:
    explicit MftReader(NtfsVolume& volume) : volume_(volume) {}

    // Reads the whole table; a record that fails a check is skipped. False
    // only when nothing could be read at all.
    bool Scan(MftSink& sink, MftScanStats* stats = nullptr);

    // Reads one slot and builds its entry (the sink sees it); false when the
    // slot holds no sound, named base record.
    bool ReadEntry(uint32_t slot, MftSink& sink);

private:
    struct Collected;
    // Parses one fixed-up record; emits its entry; answers false on damage.
    bool ParseRecord(uint32_t slot, uint8_t* record, MftSink& sink, bool& emitted);
    void CollectAttributes(FileRecord& record, Collected& out, bool followList);
    void FollowAttributeList(uint32_t slot, const ntfs::AttributeHeader* list, Collected& out);

    NtfsVolume& volume_;
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> listValue_;
};

} // namespace scanner
