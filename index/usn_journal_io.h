#pragma once
// Access to a volume's change journal: the platform's byte layouts, one narrow
// device-control interface (the system's, or an in-memory journal in tests),
// and a reader that walks a journal read answer without trusting it.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <string>

// The journal structures are the platform's; the journal and the monitor rely
// on these exact layouts on both 32- and 64-bit builds.
static_assert(sizeof(USN) == 8, "USN is 64-bit");
static_assert(sizeof(USN_JOURNAL_DATA) == 56, "USN_JOURNAL_DATA layout");
static_assert(offsetof(USN_JOURNAL_DATA, UsnJournalID) == 0 && offsetof(USN_JOURNAL_DATA, FirstUsn) == 8 &&
                  offsetof(USN_JOURNAL_DATA, NextUsn) == 16 && offsetof(USN_JOURNAL_DATA, LowestValidUsn) == 24 &&
                  offsetof(USN_JOURNAL_DATA, MaxUsn) == 32 && offsetof(USN_JOURNAL_DATA, MaximumSize) == 40 &&
                  offsetof(USN_JOURNAL_DATA, AllocationDelta) == 48,
              "USN_JOURNAL_DATA field offsets");
static_assert(sizeof(CREATE_USN_JOURNAL_DATA) == 16 && offsetof(CREATE_USN_JOURNAL_DATA, AllocationDelta) == 8,
              "CREATE_USN_JOURNAL_DATA layout");
static_assert(sizeof(DELETE_USN_JOURNAL_DATA) == 16 && offsetof(DELETE_USN_JOURNAL_DATA, DeleteFlags) == 8,
              "DELETE_USN_JOURNAL_DATA layout");
static_assert(sizeof(READ_USN_JOURNAL_DATA) == 40, "READ_USN_JOURNAL_DATA layout");
static_assert(offsetof(READ_USN_JOURNAL_DATA, StartUsn) == 0 && offsetof(READ_USN_JOURNAL_DATA, ReasonMask) == 8 &&
                  offsetof(READ_USN_JOURNAL_DATA, ReturnOnlyOnClose) == 12 &&
                  offsetof(READ_USN_JOURNAL_DATA, Timeout) == 16 &&
                  offsetof(READ_USN_JOURNAL_DATA, BytesToWaitFor) == 24 &&
                  offsetof(READ_USN_JOURNAL_DATA, UsnJournalID) == 32,
              "READ_USN_JOURNAL_DATA field offsets");

// The headers name the version-2 record USN_RECORD.
using USN_RECORD_V2 = USN_RECORD;
static_assert(offsetof(USN_RECORD_V2, RecordLength) == 0 && offsetof(USN_RECORD_V2, MajorVersion) == 4 &&
                  offsetof(USN_RECORD_V2, MinorVersion) == 6 &&
                  offsetof(USN_RECORD_V2, FileReferenceNumber) == 8 &&
                  offsetof(USN_RECORD_V2, ParentFileReferenceNumber) == 16 && offsetof(USN_RECORD_V2, Usn) == 24 &&
                  offsetof(USN_RECORD_V2, TimeStamp) == 32 && offsetof(USN_RECORD_V2, Reason) == 40 &&
                  offsetof(USN_RECORD_V2, SourceInfo) == 44 && offsetof(USN_RECORD_V2, SecurityId) == 48 &&
                  offsetof(USN_RECORD_V2, FileAttributes) == 52 && offsetof(USN_RECORD_V2, FileNameLength) == 56 &&
                  offsetof(USN_RECORD_V2, FileNameOffset) == 58 && offsetof(USN_RECORD_V2, FileName) == 60,
              "USN_RECORD_V2 field offsets");
static_assert(sizeof(USN_RECORD_V2) == 64, "USN_RECORD_V2 size");

static_assert(FSCTL_QUERY_USN_JOURNAL == 0x900F4 && FSCTL_CREATE_USN_JOURNAL == 0x900E7 &&
                  FSCTL_DELETE_USN_JOURNAL == 0x900F8 && FSCTL_READ_USN_JOURNAL == 0x900BB,
              "journal control codes");
static_assert(USN_REASON_FILE_CREATE == 0x100 && USN_REASON_FILE_DELETE == 0x200 &&
                  USN_REASON_RENAME_NEW_NAME == 0x2000 && USN_REASON_CLOSE == 0x80000000,
              "journal reason bits");
static_assert(ERROR_JOURNAL_DELETE_IN_PROGRESS == 1178 && ERROR_JOURNAL_NOT_ACTIVE == 1179 &&
                  ERROR_JOURNAL_ENTRY_DELETED == 1181,
              "journal error codes");

namespace usn {

// Bytes of a version-2 record before its name.
constexpr DWORD kRecordHeaderBytes = offsetof(USN_RECORD_V2, FileName);
// Size of one read answer; the poll loop reads at most this much per drive.
constexpr DWORD kReadBufferBytes = 4096;
// Create, delete and rename to a new name.
constexpr DWORD kMonitorReasonMask = USN_REASON_FILE_CREATE | USN_REASON_FILE_DELETE | USN_REASON_RENAME_NEW_NAME;
static_assert(kMonitorReasonMask == 0x2300, "reasons the monitor reads");

// Journal sizes for a journal that was never active, and for one re-created
// after a deletion.
constexpr DWORDLONG kNewJournalSize = 0x800000;
constexpr DWORDLONG kNewJournalDelta = 0x100000;
constexpr DWORDLONG kRecreatedJournalSize = 0x2000000;
constexpr DWORDLONG kRecreatedJournalDelta = 0x400000;

} // namespace usn

// One read answer, 8-byte aligned so its records can be walked in place.
struct UsnReadStorage {
    alignas(8) BYTE bytes[usn::kReadBufferBytes];
};

// The one way the engine talks to a change journal: a device-control request
// on a volume handle, exactly as DeviceIoControl takes it. The system's
// implementation is the real journal; tests plug in an in-memory one, since
// Wine has no change journal.
class IUsnJournalIo {
public:
    virtual ~IUsnJournalIo() = default;
    // Answers ERROR_SUCCESS, or the Win32 error of the failed request.
    virtual DWORD Control(HANDLE volume, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                          DWORD* returned) = 0;
};

class CSystemUsnJournalIo final : public IUsnJournalIo {
public:
    DWORD Control(HANDLE volume, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                  DWORD* returned) override;
    // The process-wide instance the engine uses unless told otherwise.
    static CSystemUsnJournalIo& Instance();
};

// Walks one answer of FSCTL_READ_USN_JOURNAL: the USN to continue from, then
// a chain of records. Nothing in the answer is trusted: a record length that
// is 0, shorter than a record header, not a multiple of 8 or running past the
// answer ends the walk; a record whose name does not lie inside it, or of
// another major version, is stepped over. The data must stay alive and be
// 8-byte aligned (as the read buffers are) while records are used.
class CUsnReadBuffer {
public:
    CUsnReadBuffer(const void* data, DWORD bytes) noexcept;

    // True when the answer holds at least the 8-byte continuation USN.
    bool HasNextUsn() const noexcept { return bytes_ >= sizeof(USN); }
    // The USN to continue from; 0 when the answer is shorter than 8 bytes.
    USN NextUsn() const noexcept;

    // The next sound record, or null when the chain has ended.
    const USN_RECORD_V2* NextRecord() noexcept;

private:
    const BYTE* data_;
    DWORD bytes_;
    DWORD offset_;
};

// True when the record's name lies inside its RecordLength and is whole
// UTF-16 units.
bool UsnRecordNameIsInside(const USN_RECORD_V2& record) noexcept;
// The record's UTF-16 name (the record must have passed UsnRecordNameIsInside).
std::wstring UsnRecordName(const USN_RECORD_V2& record);
