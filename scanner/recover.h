#pragma once
// Copies a file's data straight from the volume: the resident value or the
// clusters of its runs, cut to the stored size. Used to bring back deleted
// files whose clusters have not been reused yet.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "scanner/ntfs_volume.h"

namespace scanner {

// Bytes written by recoveries, readable from any thread while a recovery
// runs on another.
class RecoveryCounter {
public:
    void Add(uint64_t bytes) { bytes_.fetch_add(bytes, std::memory_order_relaxed); }
    // Whole 512-byte units written so far.
    DWORD Sectors() const { return static_cast<DWORD>(bytes_.load(std::memory_order_relaxed) / 512); }

private:
    std::atomic<uint64_t> bytes_{0};
};

enum class RecoverStatus {
    kOk,
    kBadArguments,       // path or target malformed
    kSameVolume,         // the target lies on the volume being read
    kVolumeUnreadable,   // not NTFS, or the volume cannot be opened
    kRecordMismatch,     // the slot no longer holds a file of that name
    kUnsupported,        // compressed or encrypted data
    kDataUnreadable,     // runs damaged or outside the volume
    kTargetFailed,       // the target folder or file could not be made or written
};

// Writes the data of record `slot` to `out`. `expectedName` (ANSI, as the
// scan produced it) must match the record's name, so a slot that has been
// reused by another file is not copied under the old name.
RecoverStatus CopyRecordData(NtfsVolume& volume, uint32_t slot, const std::string& expectedName, HANDLE out,
                             RecoveryCounter& counter);

// Recovers `fullPath` ("X:\...\name", ANSI) from its volume into
// `targetFolder` (created when missing), as "name", or "name (2)", "name (3)",
// ... when that exists already. `hint` is the record slot from the scan.
// `volumeOverride`, when given, is read instead of "\\.\X:".
RecoverStatus RecoverToFolder(const std::string& fullPath, const std::string& targetFolder, uint32_t hint,
                              RecoveryCounter& counter, SectorSource* volumeOverride = nullptr);

// The ANSI form of a UTF-16 name, as the scan stores it.
std::string NameToAnsi(const wchar_t* name, size_t length);

} // namespace scanner
