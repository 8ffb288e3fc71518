#pragma once
// NTFS on-disk structures read by the raw scanner. Everything is little-endian
// and packed; the layouts are pinned below so a compiler or target change
// cannot move a field.
#include <cstddef>
#include <cstdint>

namespace scanner {
namespace ntfs {

#pragma pack(push, 1)

struct BootSector {
    uint8_t jump[3];
    char oemId[8];                  // "NTFS    "
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;      // above 0x80: cluster = 2^(256 - value) sectors
    uint16_t reservedSectors;
    uint8_t unused1[3];
    uint16_t unused2;
    uint8_t mediaDescriptor;
    uint16_t unused3;
    uint16_t sectorsPerTrack;
    uint16_t numberOfHeads;
    uint32_t hiddenSectors;
    uint32_t unused4;
    uint32_t unused5;
    uint64_t totalSectors;
    uint64_t mftLcn;
    uint64_t mftMirrorLcn;
    int8_t clustersPerMftRecord;    // negative: record = 2^(-value) bytes
    uint8_t unused6[3];
    int8_t clustersPerIndexRecord;
    uint8_t unused7[3];
    uint64_t volumeSerial;
    uint32_t checksum;
    uint8_t bootstrap[426];
    uint16_t endMarker;             // 0xAA55
};

// Header of a FILE record of the master file table.
struct FileRecordHeader {
    uint32_t magic;                 // "FILE"
    uint16_t usaOffset;             // update sequence array
    uint16_t usaCount;              // 1 + number of 512-byte strides
    uint64_t logSequence;
    uint16_t sequenceNumber;
    uint16_t linkCount;
    uint16_t attributesOffset;
    uint16_t flags;                 // kRecordInUse, kRecordIsDirectory
    uint32_t bytesInUse;
    uint32_t bytesAllocated;
    uint64_t baseRecord;            // file reference of the base record; 0 for a base record
    uint16_t nextAttributeInstance;
    uint16_t reserved;
    uint32_t recordNumber;          // low 32 bits of this record's number (NTFS 3.1)
};

// Common head of every attribute; the resident or non-resident tail follows.
struct AttributeHeader {
    uint32_t type;
    uint32_t length;
    uint8_t nonResident;
    uint8_t nameLength;             // UTF-16 units
    uint16_t nameOffset;
    uint16_t flags;                 // kAttrCompressed, kAttrEncrypted, kAttrSparse
    uint16_t instance;
};

struct ResidentAttribute {
    AttributeHeader header;
    uint32_t valueLength;
    uint16_t valueOffset;
    uint8_t residentFlags;
    uint8_t reserved;
};

struct NonResidentAttribute {
    AttributeHeader header;
    int64_t lowestVcn;
    int64_t highestVcn;
    uint16_t mappingPairsOffset;
    uint8_t compressionUnit;
    uint8_t reserved[5];
    int64_t allocatedSize;
    int64_t dataSize;
    int64_t initializedSize;
};

struct StandardInformation {
    uint64_t creationTime;
    uint64_t modificationTime;
    uint64_t recordChangeTime;
    uint64_t accessTime;
    uint32_t fileAttributes;
    uint32_t maximumVersions;
    uint32_t versionNumber;
    uint32_t classId;
};

struct FileNameAttribute {
    uint64_t parentReference;
    uint64_t creationTime;
    uint64_t modificationTime;
    uint64_t recordChangeTime;
    uint64_t accessTime;
    int64_t allocatedSize;
    int64_t dataSize;
    uint32_t fileAttributes;
    uint32_t reparseOrEaSize;
    uint8_t nameLength;             // UTF-16 units; the name follows
    uint8_t nameSpace;              // kNameSpace*
};

struct AttributeListEntry {
    uint32_t type;
    uint16_t length;
    uint8_t nameLength;
    uint8_t nameOffset;
    int64_t lowestVcn;
    uint64_t recordReference;
    uint16_t instance;
};

#pragma pack(pop)

static_assert(sizeof(BootSector) == 512, "boot sector");
static_assert(offsetof(BootSector, bytesPerSector) == 0x0B, "boot sector");
static_assert(offsetof(BootSector, sectorsPerCluster) == 0x0D, "boot sector");
static_assert(offsetof(BootSector, totalSectors) == 0x28, "boot sector");
static_assert(offsetof(BootSector, mftLcn) == 0x30, "boot sector");
static_assert(offsetof(BootSector, clustersPerMftRecord) == 0x40, "boot sector");
static_assert(offsetof(BootSector, endMarker) == 0x1FE, "boot sector");
static_assert(sizeof(FileRecordHeader) == 0x30, "FILE record header");
static_assert(offsetof(FileRecordHeader, attributesOffset) == 0x14, "FILE record header");
static_assert(offsetof(FileRecordHeader, flags) == 0x16, "FILE record header");
static_assert(offsetof(FileRecordHeader, baseRecord) == 0x20, "FILE record header");
static_assert(sizeof(AttributeHeader) == 0x10, "attribute header");
static_assert(sizeof(ResidentAttribute) == 0x18, "resident attribute");
static_assert(offsetof(ResidentAttribute, valueOffset) == 0x14, "resident attribute");
static_assert(sizeof(NonResidentAttribute) == 0x40, "non-resident attribute");
static_assert(offsetof(NonResidentAttribute, mappingPairsOffset) == 0x20, "non-resident attribute");
static_assert(offsetof(NonResidentAttribute, dataSize) == 0x30, "non-resident attribute");
static_assert(sizeof(StandardInformation) == 48, "standard information");
static_assert(offsetof(StandardInformation, modificationTime) == 8, "standard information");
static_assert(sizeof(FileNameAttribute) == 66, "file name");
static_assert(offsetof(FileNameAttribute, dataSize) == 0x30, "file name");
static_assert(offsetof(FileNameAttribute, nameLength) == 0x40, "file name");
static_assert(sizeof(AttributeListEntry) == 26, "attribute list entry");
static_assert(offsetof(AttributeListEntry, recordReference) == 0x10, "attribute list entry");

constexpr uint32_t kFileMagic = 0x454C4946;         // "FILE"
constexpr uint16_t kRecordInUse = 0x0001;
constexpr uint16_t kRecordIsDirectory = 0x0002;

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrAttributeList = 0x20;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

constexpr uint16_t kAttrCompressed = 0x0001;
constexpr uint16_t kAttrEncrypted = 0x4000;
constexpr uint16_t kAttrSparse = 0x8000;

constexpr uint8_t kNameSpacePosix = 0;
constexpr uint8_t kNameSpaceWin32 = 1;
constexpr uint8_t kNameSpaceDos = 2;
constexpr uint8_t kNameSpaceWin32AndDos = 3;

// Update sequence fixups cover every 512 bytes of a record, whatever the
// sector size.
constexpr uint32_t kFixupStride = 512;

constexpr uint32_t kMftSlot = 0;
constexpr uint32_t kRootSlot = 5;

// The record number part of a file reference (the top 16 bits are the
// sequence number).
inline uint64_t ReferenceRecord(uint64_t reference) { return reference & 0x0000FFFFFFFFFFFFull; }

} // namespace ntfs
} // namespace scanner
