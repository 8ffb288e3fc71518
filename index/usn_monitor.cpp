// Index manager: the change-journal monitor. One thread polls the journal of
// every followed drive, applies closed creates, renames and deletes to the
// record tables and asks the result window to search again when a change
// touched a record the active query shows or would show.
#include <cstring>
#include <string>
#include <utility>

#include "index/index_manager.h"
#include "index/usn_journal_io.h"
#include "platform/strconv.h"
#include "platform/trace.h"

IUsnJournalIo& CIndexManager::UsnJournalIo() {
    return usnIo_ ? *usnIo_ : CSystemUsnJournalIo::Instance();
}

BOOL CIndexManager::QueryUsnJournal(USN_JOURNAL_DATA* data, HANDLE volume) {
    if (!data) return FALSE;
    IUsnJournalIo& io = UsnJournalIo();
    // The identifier the caller held: a deletion below must name that journal.
    const DWORDLONG previousId = data->UsnJournalID;

    DWORD returned = 0;
    DWORD error = io.Control(volume, FSCTL_QUERY_USN_JOURNAL, nullptr, 0, data, sizeof(*data), &returned);
    if (error == ERROR_SUCCESS) {
        if (returned >= sizeof(*data)) return TRUE;
        platform::Trace("QueryUsnJournal: short journal data (%lu bytes)", returned);
        ::SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }

    CREATE_USN_JOURNAL_DATA create{};
    if (error == ERROR_JOURNAL_NOT_ACTIVE) {
        create.MaximumSize = usn::kNewJournalSize;
        create.AllocationDelta = usn::kNewJournalDelta;
    } else if (error == ERROR_JOURNAL_DELETE_IN_PROGRESS || error == ERROR_JOURNAL_ENTRY_DELETED) {
        // Finish (or force) the deletion first; with the notify flag the call
        // returns once it is complete. Its own result does not matter: the
        // create below tells whether the journal can be had.
        DELETE_USN_JOURNAL_DATA del{};
        del.UsnJournalID = previousId;
        del.DeleteFlags = USN_DELETE_FLAG_NOTIFY;
        io.Control(volume, FSCTL_DELETE_USN_JOURNAL, &del, sizeof(del), nullptr, 0, &returned);
        create.MaximumSize = usn::kRecreatedJournalSize;
        create.AllocationDelta = usn::kRecreatedJournalDelta;
    } else {
        platform::Trace("QueryUsnJournal: query failed, error %lu", error);
        ::SetLastError(error);
        return FALSE;
    }

    error = io.Control(volume, FSCTL_CREATE_USN_JOURNAL, &create, sizeof(create), nullptr, 0, &returned);
    if (error != ERROR_SUCCESS) {
        platform::Trace("QueryUsnJournal: create failed, error %lu", error);
        ::SetLastError(error);
        return FALSE;
    }
    returned = 0;
    error = io.Control(volume, FSCTL_QUERY_USN_JOURNAL, nullptr, 0, data, sizeof(*data), &returned);
    if (error != ERROR_SUCCESS || returned < sizeof(*data)) {
        platform::Trace("QueryUsnJournal: query after create failed, error %lu", error);
        ::SetLastError(error == ERROR_SUCCESS ? ERROR_INVALID_DATA : error);
        return FALSE;
    }
    return TRUE;
}

bool CIndexManager::FollowVolume(wchar_t letter, HANDLE volume) {
    platform::FileHandle owned(volume);
    for (UsnMonitorEntry& entry : monitors_) {
        if (entry.Letter != letter) continue;
        USN_JOURNAL_DATA data{};
        if (!QueryUsnJournal(&data, owned.Get())) return false;
        entry.NextUsn = data.NextUsn;
        entry.UsnJournalID = data.UsnJournalID;
        entry.Volume = std::move(owned);
        return true;
    }
    return false;
}
