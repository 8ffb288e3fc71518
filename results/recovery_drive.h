#pragma once
// Finding a drive that can take recovered files: a free-space test for one
// drive and the choice of the roomiest drive that holds none of the files.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class CAppContext;

// What the drive choice asks of the system; tests put their own drives here.
class IDriveSystem {
public:
    virtual ~IDriveSystem() = default;
    // "A:\", "C:\", ... as GetLogicalDriveStringsW lists them.
    virtual std::vector<std::wstring> LogicalDrives() = 0;
    virtual UINT DriveType(const std::wstring& root) = 0;
    // Whether the drive is there: its volume "\\.\X:" opens for reading, or
    // its root folder can be read.
    virtual bool CanOpenVolume(wchar_t letter) = 0;
    // Bytes free for the caller on "X:"; false when the drive does not answer.
    virtual bool FreeBytes(wchar_t letter, uint64_t* bytes) = 0;
};

// The real system. Probing runs with critical-error boxes off, so an empty
// card reader raises no system message.
IDriveSystem& SystemDrives();

// Units of 512 bytes that `bytes` take, rounded up.
inline uint64_t SectorsFor(uint64_t bytes) { return bytes / 512 + (bytes % 512 != 0 ? 1 : 0); }

// True when the drive has more than the context's recovery need free.
// `freeUnits` (may be null) receives the free space in 512-byte units. A drive
// string that does not start with a letter A-Z is refused.
bool HasEnoughFreeSpace(const wchar_t* drive, const CAppContext& context, uint64_t* freeUnits,
                        IDriveSystem& system = SystemDrives());

// The letter of the drive with the most free space that is neither excluded
// (compared by drive letter) nor A:, B:, remote, a CD-ROM or of unknown type,
// and that has room; 0 when none fits. The first of equal drives wins.
wchar_t PickRecoveryDrive(const CAppContext& context, const std::vector<std::wstring>& exclusions,
                          uint64_t* bestFree, IDriveSystem& system = SystemDrives());
