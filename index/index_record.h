#pragma once
// The fixed record of one master-file-table slot, shared by the in-memory
// tables, the index files and the scanner library's answer.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Flags of IndexRecord.
enum : uint8_t {
    IRF_EXISTS = 0x01,     // the file or folder exists; clear: a deleted file, still listed
    IRF_DIRECTORY = 0x02,  // the record is a folder
};

#pragma pack(push, 1)
struct IndexRecord {
    uint32_t FatherID;     // slot of the parent folder; 5 is the volume root
    // Four bytes whose meaning depends on where the record lies:
    //  - in a CVolumeIndex: a name reference that the volume resolves
    //    (CVolumeIndex::GetName); 0 means "no name";
    //  - in the index file: byte offset into the name file, 0xFFFFFFFF for none;
    //  - in the scanner's answer: see ScanNameField in scanner/search_file.h.
    // A 64-bit address does not fit here, so the in-memory form is a reference
    // in every build; this keeps one tested path for 32 and 64 bit.
    uint32_t FileName;
    uint8_t Flags;         // IRF_*
    FILETIME Time1;        // the scanner's, carried unchanged
    FILETIME Time2;        // local modification time: shown, filtered, sorted
    FILETIME Time3;        // the scanner's, carried unchanged
    int64_t Size;
    uint32_t RecoverHint;  // handed back to the scanner library for recovery
};
#pragma pack(pop)

static_assert(sizeof(IndexRecord) == 45, "IndexRecord is 45 bytes on disk and in memory");
static_assert(offsetof(IndexRecord, FatherID) == 0, "IndexRecord layout");
static_assert(offsetof(IndexRecord, FileName) == 4, "IndexRecord layout");
static_assert(offsetof(IndexRecord, Flags) == 8, "IndexRecord layout");
static_assert(offsetof(IndexRecord, Time1) == 9, "IndexRecord layout");
static_assert(offsetof(IndexRecord, Time2) == 17, "IndexRecord layout");
static_assert(offsetof(IndexRecord, Time3) == 25, "IndexRecord layout");
static_assert(offsetof(IndexRecord, Size) == 33, "IndexRecord layout");
static_assert(offsetof(IndexRecord, RecoverHint) == 41, "IndexRecord layout");

// Reading the 64-bit time of a packed record without unaligned FILETIME access.
inline uint64_t FileTimeValue(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME MakeFileTime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

// One search result: a record slot in one volume of the manager's volume list.
struct SearchResult {
    uint32_t Slot;
    uint16_t Volume;
};

// Slot numbers with a fixed meaning on every NTFS volume.
constexpr uint32_t kRootSlot = 5;        // the root folder
constexpr uint32_t kFirstUserSlot = 50;  // slots below hold the volume's own metadata
