#include "tests/journal/memory_usn_journal.h"

#include <algorithm>
#include <cstring>

std::string EncodeUsnRecord(const UsnChange& change, USN usn) {
    const DWORD nameBytes = static_cast<DWORD>(change.name.size() * sizeof(wchar_t));
    const DWORD length = (usn::kRecordHeaderBytes + nameBytes + 7) & ~7u;
    std::string bytes(length, '\0');
    USN_RECORD_V2 header{length, 2, 0, change.fileReference, change.parentReference, usn, {}, change.reason, 0, 0,
                         change.attributes, static_cast<WORD>(nameBytes), static_cast<WORD>(usn::kRecordHeaderBytes), {}};
    std::memcpy(&bytes[0], &header, usn::kRecordHeaderBytes);
    if (nameBytes) std::memcpy(&bytes[usn::kRecordHeaderBytes], change.name.data(), nameBytes);
    return bytes;
}

void CMemoryUsnJournal::AddVolume(HANDLE volume, DWORDLONG journalId, USN firstUsn) {
    platform::ScopedLock lock(lock_);
    Journal& j = journals_[volume] = Journal{};
    j.id = journalId;
    j.firstUsn = j.nextUsn = firstUsn;
    lastId_ = std::max(lastId_, journalId);
}

USN CMemoryUsnJournal::Append(HANDLE volume, const UsnChange& change) {
    return With(volume, [&](Journal& j) {
        const USN usn = j.nextUsn;
        j.records.push_back({usn, change.reason, EncodeUsnRecord(change, usn)});
        j.nextUsn += static_cast<USN>(j.records.back().bytes.size());
        return usn;
    });
}

void CMemoryUsnJournal::QueueRawAnswer(HANDLE volume, std::string bytes) {
    With(volume, [&](Journal& j) { j.rawAnswers.push_back(std::move(bytes)); });
}

void CMemoryUsnJournal::FailNext(HANDLE volume, DWORD code, DWORD error, int count) {
    With(volume, [&](Journal& j) { j.failures.push_back({code, error, count}); });
}

void CMemoryUsnJournal::SetState(HANDLE volume, State state) {
    With(volume, [&](Journal& j) {
        j.state = state;
        if (state == State::Inactive) j.records.clear();
    });
}

void CMemoryUsnJournal::Purge(HANDLE volume, USN firstUsn) {
    With(volume, [&](Journal& j) {
        j.firstUsn = firstUsn;
        j.records.erase(std::remove_if(j.records.begin(), j.records.end(),
                                       [&](const Record& r) { return r.usn < firstUsn; }),
                        j.records.end());
    });
}

CMemoryUsnJournal::Stats CMemoryUsnJournal::StatsOf(HANDLE v) { return With(v, [](Journal& j) { return j.stats; }); }
DWORDLONG CMemoryUsnJournal::JournalId(HANDLE v) { return With(v, [](Journal& j) { return j.id; }); }
USN CMemoryUsnJournal::NextUsn(HANDLE v) { return With(v, [](Journal& j) { return j.nextUsn; }); }

DWORD CMemoryUsnJournal::Control(HANDLE volume, DWORD code, const void* in, DWORD inBytes, void* out,
                                 DWORD outBytes, DWORD* returned) {
    platform::ScopedLock lock(lock_);
    if (returned) *returned = 0;
    auto found = journals_.find(volume);
    if (found == journals_.end()) return ERROR_INVALID_HANDLE;
    Journal& j = found->second;
    if (code == FSCTL_READ_USN_JOURNAL) ++j.stats.reads;
    if (code == FSCTL_QUERY_USN_JOURNAL) ++j.stats.queries;
    for (auto it = j.failures.begin(); it != j.failures.end(); ++it) {
        if (it->code != code) continue;
        const DWORD error = it->error;
        if (--it->count <= 0) j.failures.erase(it);
        if (code == FSCTL_READ_USN_JOURNAL) ++j.stats.failedReads;
        return error;
    }

    switch (code) {
    case FSCTL_QUERY_USN_JOURNAL: {
        if (j.state == State::Deleting) return ERROR_JOURNAL_DELETE_IN_PROGRESS;
        if (j.state == State::Inactive) return ERROR_JOURNAL_NOT_ACTIVE;
        if (!out || outBytes < sizeof(USN_JOURNAL_DATA)) return ERROR_INSUFFICIENT_BUFFER;
        const USN_JOURNAL_DATA data{j.id, j.firstUsn, j.nextUsn, j.firstUsn, 0x7FFFFFFFFFFF0000LL,
                                    usn::kNewJournalSize, usn::kNewJournalDelta};
        std::memcpy(out, &data, sizeof(data));
        if (returned) *returned = sizeof(data);
        return ERROR_SUCCESS;
    }
    case FSCTL_CREATE_USN_JOURNAL: {
        if (!in || inBytes < sizeof(CREATE_USN_JOURNAL_DATA)) return ERROR_INVALID_PARAMETER;
        j.stats.creates.push_back(*static_cast<const CREATE_USN_JOURNAL_DATA*>(in));
        if (j.state == State::Deleting) return ERROR_JOURNAL_DELETE_IN_PROGRESS;
        if (j.state == State::Inactive) {
            // A new journal: new identifier, records start afresh.
            j.state = State::Active;
            j.id = ++lastId_;
            j.records.clear();
            j.firstUsn = j.nextUsn;
        }
        return ERROR_SUCCESS;
    }
    case FSCTL_DELETE_USN_JOURNAL: {
        if (!in || inBytes < sizeof(DELETE_USN_JOURNAL_DATA)) return ERROR_INVALID_PARAMETER;
        const DELETE_USN_JOURNAL_DATA del = *static_cast<const DELETE_USN_JOURNAL_DATA*>(in);
        j.stats.deletes.push_back(del);
        if (j.state == State::Inactive) return ERROR_JOURNAL_NOT_ACTIVE;
        if (del.UsnJournalID != j.id) return ERROR_INVALID_PARAMETER;
        if (j.state == State::Deleting && !(del.DeleteFlags & USN_DELETE_FLAG_NOTIFY))
            return ERROR_JOURNAL_DELETE_IN_PROGRESS;
        j.state = State::Inactive;
        j.records.clear();
        return ERROR_SUCCESS;
    }
    case FSCTL_READ_USN_JOURNAL: {
        const DWORD error = Read(j, in, inBytes, out, outBytes, returned);
        if (error != ERROR_SUCCESS) ++j.stats.failedReads;
        return error;
    }
    default:
        return ERROR_INVALID_FUNCTION;
    }
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
        const std::string raw = std::move(j.rawAnswers.front());
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
        if (r.usn < request.StartUsn || !(r.reason & request.ReasonMask)) continue;
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
