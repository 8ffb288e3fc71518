#include "scanner/sector_source.h"

#include <cstring>

#include "platform/trace.h"

namespace scanner {

bool HandleSectorSource::Open(const std::wstring& path) {
    handle_.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_) {
        platform::TraceLastError("scanner: CreateFile for raw reading");
        return false;
    }
    return true;
}

bool HandleSectorSource::OpenVolume(wchar_t driveLetter) {
    wchar_t path[] = {L'\\', L'\\', L'.', L'\\', driveLetter, L':', 0};
    return Open(path);
}

bool HandleSectorSource::ReadDirect(uint64_t offset, void* buffer, DWORD length) {
    OVERLAPPED ov = {};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(handle_.Get(), buffer, length, &got, &ov)) return false;
    return got == length;
}

bool HandleSectorSource::ReadAt(uint64_t offset, void* buffer, size_t length) {
    if (!handle_) return false;
    if (length == 0) return true;
    if (offset + length < offset) return false;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const uint64_t align = alignment_;
    const bool aligned = offset % align == 0 && length % align == 0 &&
                         reinterpret_cast<uintptr_t>(buffer) % align == 0;
    if (aligned) {
        // Large requests in pieces a single ReadFile can take.
        const size_t kPiece = 64u << 20;
        while (length) {
            DWORD n = static_cast<DWORD>(length < kPiece ? length : kPiece);
            if (!ReadDirect(offset, out, n)) return false;
            out += n;
            offset += n;
            length -= n;
        }
        return true;
    }
    // Bounce through an aligned buffer a piece at a time.
    platform::ScopedLock lock(bounceLock_);
    const size_t kBounce = 1u << 20;
    if (bounce_.empty()) bounce_.resize(kBounce + align);
    uint8_t* base = bounce_.data();
    base += (align - reinterpret_cast<uintptr_t>(base) % align) % align;
    while (length) {
        uint64_t start = offset - offset % align;
        size_t skip = static_cast<size_t>(offset - start);
        size_t want = skip + length;
        if (want > kBounce) want = kBounce;
        size_t span = static_cast<size_t>((want + align - 1) / align * align);
        if (span > kBounce) span = kBounce;
        if (!ReadDirect(start, base, static_cast<DWORD>(span))) return false;
        size_t take = span - skip;
        if (take > length) take = length;
        std::memcpy(out, base + skip, take);
        out += take;
        offset += take;
        length -= take;
    }
    return true;
}

bool MemorySectorSource::ReadAt(uint64_t offset, void* buffer, size_t length) {
    if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
    std::memcpy(buffer, bytes_.data() + offset, length);
    return true;
}

} // namespace scanner
