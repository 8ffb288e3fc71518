#include "index/usn_journal_io.h"

#include <cstdint>
#include <cstring>

DWORD CSystemUsnJournalIo::Control(HANDLE volume, DWORD code, const void* in, DWORD inBytes, void* out,
                                   DWORD outBytes, DWORD* returned) {
    DWORD got = 0;
    const BOOL ok = ::DeviceIoControl(volume, code, const_cast<void*>(in), inBytes, out, outBytes, &got, nullptr);
    if (returned) *returned = got;
    return ok ? ERROR_SUCCESS : ::GetLastError();
}

CSystemUsnJournalIo& CSystemUsnJournalIo::Instance() {
    static CSystemUsnJournalIo io;
    return io;
}

CUsnReadBuffer::CUsnReadBuffer(const void* data, DWORD bytes) noexcept
    : data_(static_cast<const BYTE*>(data)), bytes_(data ? bytes : 0), offset_(sizeof(USN)) {
    // Records are handed out in place, so they must be aligned like the
    // structure; a misaligned answer yields only its continuation USN.
    if (reinterpret_cast<std::uintptr_t>(data_) % alignof(USN_RECORD_V2) != 0) offset_ = bytes_;
}

USN CUsnReadBuffer::NextUsn() const noexcept {
    USN usn = 0;
    if (HasNextUsn()) std::memcpy(&usn, data_, sizeof(usn));
    return usn;
}

const USN_RECORD_V2* CUsnReadBuffer::NextRecord() noexcept {
    while (offset_ < bytes_) {
        const DWORD remaining = bytes_ - offset_;
        DWORD length = 0;
        if (remaining < sizeof(length)) break;
        std::memcpy(&length, data_ + offset_, sizeof(length));
        if (length < usn::kRecordHeaderBytes || length % 8 != 0 || length > remaining) break;

        const auto* record = reinterpret_cast<const USN_RECORD_V2*>(data_ + offset_);
        offset_ += length;
        if (record->MajorVersion != 2 || !UsnRecordNameIsInside(*record)) continue;
        return record;
    }
    offset_ = bytes_;  // a broken chain stays ended
    return nullptr;
}

bool UsnRecordNameIsInside(const USN_RECORD_V2& record) noexcept {
    const DWORD offset = record.FileNameOffset;
    const DWORD length = record.FileNameLength;
    return offset >= usn::kRecordHeaderBytes && length % sizeof(wchar_t) == 0 && offset + length <= record.RecordLength;
}

std::wstring UsnRecordName(const USN_RECORD_V2& record) {
    std::wstring name(record.FileNameLength / sizeof(wchar_t), L'\0');
    // memcpy: a hostile offset may be odd, and the name is not NUL-terminated.
    if (!name.empty())
        std::memcpy(&name[0], reinterpret_cast<const BYTE*>(&record) + record.FileNameOffset, record.FileNameLength);
    return name;
}
