#pragma once
// Bounds-checked walking of the attributes of one FILE record and of an
// attribute list. Every accessor checks offsets and lengths against the
// record or attribute they point into, so a damaged record can only be
// rejected, never read past.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scanner/ntfs_format.h"

namespace scanner {

class NtfsVolume;

// A FILE record whose fixups have been applied.
class FileRecord {
public:
    // False when the signature or the header's offsets do not fit `size`.
    bool Attach(const uint8_t* record, size_t size);

    const ntfs::FileRecordHeader& Header() const { return *header_; }
    bool InUse() const { return (header_->flags & ntfs::kRecordInUse) != 0; }
    bool IsDirectory() const { return (header_->flags & ntfs::kRecordIsDirectory) != 0; }
    bool IsBase() const { return header_->baseRecord == 0; }

    // Steps through the attributes; Next answers null at the end marker or at
    // the first malformed attribute (Malformed() then tells which).
    const ntfs::AttributeHeader* First();
    const ntfs::AttributeHeader* Next();
    bool Malformed() const { return malformed_; }

private:
    const ntfs::AttributeHeader* At(size_t offset);

    const uint8_t* data_ = nullptr;
    const ntfs::FileRecordHeader* header_ = nullptr;
    size_t limit_ = 0;
    size_t next_ = 0;
    bool malformed_ = false;
};

// The value of a resident attribute, checked against its length.
bool ResidentValue(const ntfs::AttributeHeader* attr, const uint8_t*& value, uint32_t& length);
// The non-resident head and its mapping pairs, checked likewise.
const ntfs::NonResidentAttribute* NonResidentHeader(const ntfs::AttributeHeader* attr);
bool MappingPairs(const ntfs::AttributeHeader* attr, const uint8_t*& begin, const uint8_t*& end);
bool IsUnnamed(const ntfs::AttributeHeader* attr);

// Reads a whole attribute value, resident or not, up to `maxBytes`.
// Non-resident values are read from the volume through their runs.
bool ReadAttributeValue(NtfsVolume& volume, const ntfs::AttributeHeader* attr, size_t maxBytes,
                        std::vector<uint8_t>& value);

// One entry of an attribute list.
struct ListEntry {
    uint32_t type;
    bool unnamed;
    int64_t lowestVcn;
    uint64_t record;   // record number (sequence stripped)
};

// Parses an attribute list value; stops quietly at the first entry that does
// not fit. Entries beyond `maxEntries` are ignored.
void ParseAttributeList(const uint8_t* data, size_t size, size_t maxEntries, std::vector<ListEntry>& out);

} // namespace scanner
