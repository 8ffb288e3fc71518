#include "tests/journal/memory_usn_journal.h"

#include <algorithm>
#include <cstring>

std::string EncodeUsnRecord(const UsnChange& change, USN usn) {
    const DWORD nameBytes = static_cast<DWORD>(change.name.size() * sizeof(wchar_t));
    const DWORD length = (usn::kRecordHeaderBytes + nameBytes + 7) & ~7u;
    std::string bytes(length, '\0');
    USN_RECORD_V2 header{};
    header.RecordLength = length;
    header.MajorVersion = 2;
    header.MinorVersion = 0;
    header.FileReferenceNumber = change.fileReference;
    header.ParentFileReferenceNumber = change.parentReference;
    header.Usn = usn;
    header.Reason = change.reason;
    header.FileAttributes = change.attributes;
    header.FileNameLength = static_cast<WORD>(nameBytes);
    header.FileNameOffset = static_cast<WORD>(usn::kRecordHeaderBytes);
    std::memcpy(&bytes[0], &header, usn::kRecordHeaderBytes);
    if (nameBytes) std::memcpy(&bytes[usn::kRecordHeaderBytes], change.name.data(), nameBytes);
    return bytes;
}

void CMemoryUsnJournal::AddVolume(HANDLE volume, DWORDLONG journalId, USN firstUsn) {
    platform::ScopedLock lock(lock_);
    Journal& j = journals_[volume];
    j = Journal{};
    j.id = journalId;
    j.firstUsn = j.nextUsn = firstUsn;
    lastId_ = std::max(lastId_, journalId);
}

USN CMemoryUsnJournal::Append(HANDLE volume, const UsnChange& change) {
    platform::ScopedLock lock(lock_);
    Journal* j = Find(volume);
    if (!j) return 0;
    const USN usn = j->nextUsn;
    Record r{usn, change.reason, EncodeUsnRecord(change, usn)};
    j->nextUsn += static_cast<USN>(r.bytes.size());
    j->records.push_back(std::move(r));
    return usn;
}

void CMemoryUsnJournal::QueueRawAnswer(HANDLE volume, std::string bytes) {
    platform::ScopedLock lock(lock_);
    if (Journal* j = Find(volume)) j->rawAnswers.push_back(std::move(bytes));
}

void CMemoryUsnJournal::FailNext(HANDLE volume, DWORD code, DWORD error, int count) {
    platform::ScopedLock lock(lock_);
    if (Journal* j = Find(volume)) j->failures.push_back({code, error, count});
}

void CMemoryUsnJournal::Deactivate(HANDLE volume) {
    platform::ScopedLock lock(lock_);
    if (Journal* j = Find(volume)) {
        j->state = State::Inactive;
        j->records.clear();
    }
}

void CMemoryUsnJournal::BeginDeletion(HANDLE volume) {
    platform::ScopedLock lock(lock_);
    if (Journal* j = Find(volume)) j->state = State::Deleting;
}

void CMemoryUsnJournal::Purge(HANDLE volume, USN firstUsn) {
    platform::ScopedLock lock(lock_);
    if (Journal* j = Find(volume)) {
        j->firstUsn = firstUsn;
        j->records.erase(std::remove_if(j->records.begin(), j->records.end(),
                                        [&](const Record& r) { return r.usn < firstUsn; }),
                         j->records.end());
    }
}

CMemoryUsnJournal::Stats CMemoryUsnJournal::StatsOf(HANDLE volume) {
    platform::ScopedLock lock(lock_);
    Journal* j = Find(volume);
    return j ? j->stats : Stats{};
}

int CMemoryUsnJournal::TotalReads() {
    platform::ScopedLock lock(lock_);
    return totalReads_;
}

DWORDLONG CMemoryUsnJournal::JournalId(HANDLE volume) {
    platform::ScopedLock lock(lock_);
    Journal* j = Find(volume);
    return j ? j->id : 0;
}

USN CMemoryUsnJournal::NextUsn(HANDLE volume) {
    platform::ScopedLock lock(lock_);
    Journal* j = Find(volume);
    return j ? j->nextUsn : 0;
}

CMemoryUsnJournal::Journal* CMemoryUsnJournal::Find(HANDLE volume) {
    auto it = journals_.find(volume);
    return it == journals_.end() ? nullptr : &it->second;
}

DWORD CMemoryUsnJournal::Control(HANDLE volume, DWORD code, const void* in, DWORD inBytes, void* out,
                                 DWORD outBytes, DWORD* returned) {
    platform::ScopedLock lock(lock_);
    if (returned) *returned = 0;
    Journal* j = Find(volume);
    if (!j) return ERROR_INVALID_HANDLE;

    if (code == FSCTL_READ_USN_JOURNAL) {
        ++totalReads_;
        ++j->stats.reads;
    }
    for (auto it = j->failures.begin(); it != j->failures.end(); ++it) {
        if (it->code != code) continue;
        const DWORD error = it->error;
        if (--it->count <= 0) j->failures.erase(it);
        if (code == FSCTL_READ_USN_JOURNAL) ++j->stats.failedReads;
        if (code == FSCTL_QUERY_USN_JOURNAL) ++j->stats.queries;
        return error;
    }

    switch (code) {
    case FSCTL_QUERY_USN_JOURNAL:
        ++j->stats.queries;
        return Query(*j, out, outBytes, returned);

    case FSCTL_CREATE_USN_JOURNAL: {
        if (!in || inBytes < sizeof(CREATE_USN_JOURNAL_DATA)) return ERROR_INVALID_PARAMETER;
        CREATE_USN_JOURNAL_DATA create;
        std::memcpy(&create, in, sizeof(create));
        j->stats.creates.push_back(create);
        if (j->state == State::Deleting) return ERROR_JOURNAL_DELETE_IN_PROGRESS;
        if (j->state == State::Inactive) {
            // A new journal: new identifier, records start afresh.
            j->state = State::Active;
            j->id = ++lastId_;
            j->records.clear();
            j->firstUsn = j->nextUsn;
        }
        return ERROR_SUCCESS;
    }

    case FSCTL_DELETE_USN_JOURNAL: {
        if (!in || inBytes < sizeof(DELETE_USN_JOURNAL_DATA)) return ERROR_INVALID_PARAMETER;
        DELETE_USN_JOURNAL_DATA del;
        std::memcpy(&del, in, sizeof(del));
        j->stats.deletes.push_back(del);
        if (j->state == State::Inactive) return ERROR_JOURNAL_NOT_ACTIVE;
        if (del.UsnJournalID != j->id) return ERROR_INVALID_PARAMETER;
        if (j->state == State::Deleting && !(del.DeleteFlags & USN_DELETE_FLAG_NOTIFY))
            return ERROR_JOURNAL_DELETE_IN_PROGRESS;
        j->state = State::Inactive;
        j->records.clear();
        return ERROR_SUCCESS;
    }

    case FSCTL_READ_USN_JOURNAL: {
        const DWORD error = Read(*j, in, inBytes, out, outBytes, returned);
        if (error != ERROR_SUCCESS) ++j->stats.failedReads;
        return error;
    }

    default:
        return ERROR_INVALID_FUNCTION;
    }
}

DWORD CMemoryUsnJournal::Query(Journal& j, void* out, DWORD outBytes, DWORD* returned) {
    if (j.state == State::Deleting) return ERROR_JOURNAL_DELETE_IN_PROGRESS;
    if (j.state == State::Inactive) return ERROR_JOURNAL_NOT_ACTIVE;
    if (!out || outBytes < sizeof(USN_JOURNAL_DATA)) return ERROR_INSUFFICIENT_BUFFER;
    USN_JOURNAL_DATA data{};
    data.UsnJournalID = j.id;
    data.FirstUsn = j.firstUsn;
    data.NextUsn = j.nextUsn;
    data.LowestValidUsn = j.firstUsn;
    data.MaxUsn = 0x7FFFFFFFFFFF0000LL;
    data.MaximumSize = usn::kNewJournalSize;
    data.AllocationDelta = usn::kNewJournalDelta;
    std::memcpy(out, &data, sizeof(data));
    if (returned) *returned = sizeof(data);
    return ERROR_SUCCESS;
}

DWORD CMemoryUsnJournal::Read(Journal& j, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                              DWORD* returned) {
    if (!in || inBytes < sizeof(READ_USN_JOURNAL_DATA)) return ERROR_INVALID_PARAMETER;
    READ_USN_JOURNAL_DATA request;
    std::memcpy(&request, in, sizeof(request));
    j.stats.lastRead = request;
    j.stats.lastReadOutBytes = outBytes;

    if (j.state == State::Deleting) return ERROR_JOURNAL_DELETE_IN_PROGRESS;
    if (j.state == State::Inactive) return ERROR_JOURNAL_NOT_ACTIVE;
    if (request.UsnJournalID != j.id) return ERROR_INVALID_PARAMETER;
    if (request.StartUsn != 0 && request.StartUsn < j.firstUsn) return ERROR_JOURNAL_ENTRY_DELETED;
    if (!out || outBytes < sizeof(USN)) return ERROR_INSUFFICIENT_BUFFER;

    if (!j.rawAnswers.empty()) {
        std::string raw = std::move(j.rawAnswers.front());
        j.rawAnswers.erase(j.rawAnswers.begin());
        const DWORD n = std::min<DWORD>(outBytes, static_cast<DWORD>(raw.size()));
        std::memcpy(out, raw.data(), n);
        if (returned) *returned = n;
        return ERROR_SUCCESS;
    }

    BYTE* dest = static_cast<BYTE*>(out);
    DWORD used = sizeof(USN);
    USN next = j.nextUsn;
    for (const Record& r : j.records) {
        if (r.usn < request.StartUsn) continue;
        if (!(r.reason & request.ReasonMask)) continue;
        if (request.ReturnOnlyOnClose && !(r.reason & USN_REASON_CLOSE)) continue;
        if (used + r.bytes.size() > outBytes) {
            next = r.usn;  // the rest waits for the next read
            break;
        }
        std::memcpy(dest + used, r.bytes.data(), r.bytes.size());
        used += static_cast<DWORD>(r.bytes.size());
    }
    std::memcpy(dest, &next, sizeof(next));
    if (returned) *returned = used;
    return ERROR_SUCCESS;
}
