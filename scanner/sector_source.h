#pragma once
// Where the raw scanner reads a volume's bytes from: a raw volume handle
// ("\\.\X:") or an image file. Both are read through the same handle code so
// the parser is tested on images exactly as it runs on drives.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/lock.h"

namespace scanner {

class SectorSource {
public:
    virtual ~SectorSource() = default;
    // Reads exactly `length` bytes at byte `offset`; false on any failure
    // (including a short read past the end).
    // Must be safe to call from two threads at once.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t length) = 0;
    // Told once the boot sector names the sector size.
    virtual void SetSectorSize(uint32_t /*bytes*/) {}
};

// Reads from a file or volume handle. Raw volumes accept only whole sectors at
// sector offsets, so unaligned requests go through a bounce buffer.
class HandleSectorSource : public SectorSource {
public:
    HandleSectorSource() = default;
    // Opens `path` for reading, sharing read and write so a mounted volume
    // can stay in use. Logs and returns false on failure.
    bool Open(const std::wstring& path);
    // "\\.\X:" for drive letter X.
    bool OpenVolume(wchar_t driveLetter);
    bool IsOpen() const { return handle_.IsValid(); }
    // Alignment that direct reads must keep; 4096 until the boot sector says
    // otherwise (4096 also covers 512-byte-sector devices).
    void SetSectorSize(uint32_t bytes) override { alignment_ = bytes ? bytes : 1; }

    bool ReadAt(uint64_t offset, void* buffer, size_t length) override;

private:
    bool ReadDirect(uint64_t offset, void* buffer, DWORD length);

    platform::FileHandle handle_;
    uint32_t alignment_ = 4096;
    // The table is read ahead on a second thread; unaligned reads share the
    // bounce buffer, so they take turns.
    platform::CriticalSection bounceLock_;
    std::vector<uint8_t> bounce_;
};

// An in-memory volume, for parser tests that build their own structures.
class MemorySectorSource : public SectorSource {
public:
    explicit MemorySectorSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool ReadAt(uint64_t offset, void* buffer, size_t length) override;
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace scanner
