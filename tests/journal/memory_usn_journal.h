#pragma once
// An in-memory change journal for tests and benchmarks (Wine has none). It
// answers device-control requests with the platform's byte layouts and can be
// told to fail requests, queue raw answers, and lose, delete or purge its journal.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "index/usn_journal_io.h"
#include "platform/lock.h"

struct UsnChange {
    DWORDLONG fileReference = 0;
    DWORDLONG parentReference = 5;
    DWORD reason = 0;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    std::wstring name;
};

// One version-2 record as the system lays it out (length rounded up to 8).
std::string EncodeUsnRecord(const UsnChange& change, USN usn);

class CMemoryUsnJournal : public IUsnJournalIo {
public:
    // Inactive: queries answer ERROR_JOURNAL_NOT_ACTIVE until it is created
    // again. Deleting: ERROR_JOURNAL_DELETE_IN_PROGRESS until a delete request
    // with the notify flag completes it.
    enum class State { Active, Inactive, Deleting };
    // What the journal was asked.
    struct Stats {
        int queries = 0, reads = 0, failedReads = 0;
        std::vector<CREATE_USN_JOURNAL_DATA> creates;
        std::vector<DELETE_USN_JOURNAL_DATA> deletes;
        READ_USN_JOURNAL_DATA lastRead{};
        DWORD lastReadOutBytes = 0;
    };

    // Gives the volume handle (any handle the test owns) an active journal.
    void AddVolume(HANDLE volume, DWORDLONG journalId, USN firstUsn = 0x1000);
    // Appends one record and answers its USN.
    USN Append(HANDLE volume, const UsnChange& change);
    // The next read of the volume answers exactly these bytes.
    void QueueRawAnswer(HANDLE volume, std::string bytes);
    // The next `count` requests with `code` on the volume fail with `error`.
    void FailNext(HANDLE volume, DWORD code, DWORD error, int count = 1);
    void SetState(HANDLE volume, State state);
    // Records below `firstUsn` are dropped; reads below it answer
    // ERROR_JOURNAL_ENTRY_DELETED.
    void Purge(HANDLE volume, USN firstUsn);

    Stats StatsOf(HANDLE volume);
    DWORDLONG JournalId(HANDLE volume);
    USN NextUsn(HANDLE volume);

    DWORD Control(HANDLE volume, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                  DWORD* returned) override;

private:
    struct Record {
        USN usn;
        DWORD reason;
        std::string bytes;
    };
    struct Failure {
        DWORD code, error;
        int count;
    };
    struct Journal {
        State state = State::Active;
        DWORDLONG id = 0;
        USN firstUsn = 0, nextUsn = 0;
        std::vector<Record> records;
        std::vector<std::string> rawAnswers;
        std::vector<Failure> failures;
        Stats stats;
    };

    DWORD Read(Journal& j, const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned);
    // Runs `use` on the volume's journal under the lock.
    template <typename F>
    auto With(HANDLE volume, F use) {
        platform::ScopedLock lock(lock_);
        return use(journals_.at(volume));
    }

    platform::CriticalSection lock_;
    std::map<HANDLE, Journal> journals_;
    DWORDLONG lastId_ = 0;
};
