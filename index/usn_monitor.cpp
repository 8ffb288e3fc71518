// Index manager: the change-journal monitor. One thread polls the journal of
// every followed drive, applies closed creates, renames and deletes to the
// record tables and asks the result window to search again when a change
// touched a record the active query shows or would show.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "index/index_manager.h"
#include "index/search_messages.h"
#include "index/search_query.h"
#include "index/usn_journal_io.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace {

// Pace of the poll loop: one sleep before each drive's read.
constexpr DWORD kPollPaceMs = 100;

} // namespace

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

int CIndexManager::StartUsnMonitor() {
    // The scan rebuilds the monitor list and the load the volume list; the
    // loop reads both without taking part in their changes.
    if (scanThread_.IsRunning() || loadThread_.IsRunning()) return 0;
    StopJournalThread();
    if (!journalThread_.Start(&CIndexManager::UsnMonitorThreadProc, this)) {
        platform::Trace("StartUsnMonitor: the journal thread did not start");
        return 0;
    }
    return 1;
}

unsigned __stdcall CIndexManager::UsnMonitorThreadProc(void* manager) {
    static_cast<CIndexManager*>(manager)->RunUsnMonitor();
    return 0;
}

void CIndexManager::RunUsnMonitor() {
    // 8-byte aligned, as the records inside are walked in place.
    UsnReadStorage buffer;
    while (!journalStop_) {
        bool changed = false;
        if (monitors_.empty()) {
            // Nothing to follow: keep the pace instead of spinning.
            ::Sleep(kPollPaceMs);
            continue;
        }
        for (size_t i = 0; i < monitors_.size(); ++i) {
            ::Sleep(kPollPaceMs);
            if (journalStop_) return;
            PollUsnEntry(monitors_[i], i, buffer, changed);
        }
        if (changed) NotifyUsnChange();
    }
}

void CIndexManager::PollUsnEntry(UsnMonitorEntry& entry, size_t position, UsnReadStorage& buffer, bool& changed) {
    if (!entry.Volume.IsValid()) return;

    READ_USN_JOURNAL_DATA read{};
    read.StartUsn = entry.NextUsn;
    read.ReasonMask = usn::kMonitorReasonMask;
    read.ReturnOnlyOnClose = 0;
    read.Timeout = 0;
    read.BytesToWaitFor = 0;
    read.UsnJournalID = entry.UsnJournalID;

    DWORD returned = 0;
    const DWORD error = UsnJournalIo().Control(entry.Volume.Get(), FSCTL_READ_USN_JOURNAL, &read, sizeof(read),
                                               buffer.bytes, sizeof(buffer.bytes), &returned);
    if (error != ERROR_SUCCESS) {
        RecoverUsnEntry(entry, error);
        return;
    }
    if (returned > sizeof(buffer.bytes)) returned = sizeof(buffer.bytes);
    // Only the continuation USN: nothing new, read the same range next pass.
    if (returned <= sizeof(USN)) return;

    CUsnReadBuffer answer(buffer.bytes, returned);
    size_t volume;
    {
        platform::ScopedLock lock(recordLock_);
        volume = VolumePositionOf(entry, position);
    }
    ApplyUsnAnswer(volume, answer, changed);
    entry.NextUsn = answer.NextUsn();
}

void CIndexManager::RecoverUsnEntry(UsnMonitorEntry& entry, DWORD readError) {
    // Querying also re-creates a journal that was switched off or deleted.
    USN_JOURNAL_DATA data{};
    data.UsnJournalID = entry.UsnJournalID;
    if (!QueryUsnJournal(&data, entry.Volume.Get())) {
        platform::Trace("journal of %lc: read failed (error %lu), journal unavailable", entry.Letter, readError);
        return;
    }
    if (static_cast<uint64_t>(data.UsnJournalID) != entry.UsnJournalID) {
        // A new journal: every record in it is a change after our index.
        platform::Trace("journal of %lc: re-created, resuming", entry.Letter);
        entry.UsnJournalID = data.UsnJournalID;
        entry.NextUsn = data.FirstUsn;
    } else if (entry.NextUsn < data.FirstUsn) {
        // The records we had not read yet were dropped; go on from the oldest kept.
        platform::Trace("journal of %lc: records lost, resuming", entry.Letter);
        entry.NextUsn = data.FirstUsn;
    }
}

size_t CIndexManager::VolumePositionOf(const UsnMonitorEntry& entry, size_t position) const {
    // Entry i normally belongs to volume i; a drive that did not load puts
    // the lists out of step, so the letter decides.
    if (position < volumes_.size() && volumes_[position]->Letter() == entry.Letter) return position;
    for (size_t v = 0; v < volumes_.size(); ++v)
        if (volumes_[v]->Letter() == entry.Letter) return v;
    return volumes_.size();  // no volume: nothing is applied
}

int CIndexManager::MatchChangedRecord(const CVolumeIndex& volume, uint32_t slot) {
    const IndexRecord* record = volume.GetRecord(slot);
    if (!record) return MATCH_REJECT;
    // Only the prefix filter reads the path.
    std::wstring path;
    if ((activeQuery_.FilterMask & SQF_PATH_PREFIX) && !activeQuery_.PathPrefix.empty())
        path = platform::AnsiToWide(volume.GetFullPath(slot));

    // A journal change is tested against every filter, as a full search
    // would; FullScan is forced only inside both locks, so no search sees it.
    const uint32_t fullScan = activeQuery_.FullScan;
    activeQuery_.FullScan = 1;
    bool deleted = false;
    FILETIME time2 = record->Time2;
    const MatchInput input{volume.GetName(*record), record->Flags, FileTimeValue(time2),
                           static_cast<ULONGLONG>(record->Size)};
    const int result = activeQuery_.MatchRecord(input, path.c_str(), &deleted, *usnScratch_);
    activeQuery_.FullScan = fullScan;
    return result;
}

void CIndexManager::ApplyUsnRecord(size_t volumePosition, const USN_RECORD_V2& record, bool& changed) {
    UsnChangeWork work;
    if (!PrepareUsnChange(volumePosition, record, work)) return;
    ApplyUsnChange(work, changed);
    if (!work.Applied) return;
    LookUpUsnChange(work);
    FinishUsnChange(work, changed);
}

namespace {

// Times one hold of the record lock when asked to.
class TimedHold {
public:
    TimedHold(platform::CriticalSection& lock, CIndexManager::UsnHoldStats* stats) : lock_(lock), stats_(stats) {
        if (stats_) ::QueryPerformanceCounter(&start_);
    }
    ~TimedHold() {
        if (!stats_) return;
        LARGE_INTEGER end, frequency;
        ::QueryPerformanceCounter(&end);
        ::QueryPerformanceFrequency(&frequency);
        const double seconds = static_cast<double>(end.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
        stats_->Longest = std::max(stats_->Longest, seconds);
        stats_->Total += seconds;
        ++stats_->Holds;
    }

private:
    platform::ScopedLock lock_;
    CIndexManager::UsnHoldStats* stats_;
    LARGE_INTEGER start_{};
};

// Records applied in one hold of the record lock, at most.
constexpr size_t kUsnBatch = 8;

} // namespace

// A batch holds records of distinct slots, none the parent of another, and
// no folder beside other records: so no record of a batch changes what
// another one's matching reads (its name, flags, size or path), and each is
// matched as if applied alone.
void CIndexManager::ApplyUsnAnswer(size_t volumePosition, CUsnReadBuffer& answer, bool& changed,
                                   UsnHoldStats* holds) {
    std::vector<UsnChangeWork> batch;
    std::vector<ChangeTrace> traces;
    traces.reserve(2 * kUsnBatch);  // at most two per record: an insert, then its rename or delete
    auto run = [&] {
        if (batch.empty()) return;
        // Whatever the hold would allocate is allocated now, without the
        // lock: room in the tables, a name pool, the paths' storage. No other
        // thread changes the volumes while the journal is followed (a load or
        // a scan stops it first), so the copies stay true until adopted.
        uint32_t highest = 0;
        size_t nameBytes = 0;
        for (UsnChangeWork& work : batch) {
            highest = std::max(highest, work.Slot);
            nameBytes += work.Name.size() + 1;
            work.Path.reserve(CVolumeIndex::kPathBufferSize);
        }
        CVolumeIndex* volume = GetVolume(volumePosition);
        CVolumeIndex::Room room;  // freed with what it replaced once the lock is let go
        if (volume) volume->PrepareRoom(highest, nameBytes, room);
        {
            TimedHold hold(recordLock_, holds);
            if (volume) volume->AdoptRoom(room);
            DeferChangeTraces(&traces);
            for (UsnChangeWork& work : batch) ApplyUsnChange(work, changed);
            DeferChangeTraces(nullptr);
        }
        WriteChangeTraces(traces);
        bool applied = false;
        for (UsnChangeWork& work : batch) {
            if (!work.Applied) continue;
            LookUpUsnChange(work);
            applied = true;
        }
        if (applied) {
            TimedHold hold(recordLock_, holds);
            for (const UsnChangeWork& work : batch) FinishUsnChange(work, changed);
        }
        batch.clear();
    };
    UsnChangeWork work;
    while (const USN_RECORD_V2* record = answer.NextRecord()) {
        if (!PrepareUsnChange(volumePosition, *record, work)) continue;
        const bool folder = (work.Flags & IRF_DIRECTORY) != 0;
        bool related = folder || batch.size() >= kUsnBatch;
        for (size_t i = 0; i < batch.size() && !related; ++i) {
            related = batch[i].Slot == work.Slot || batch[i].Slot == work.Parent || batch[i].Parent == work.Slot;
        }
        if (related) run();
        batch.push_back(work);
        if (folder) run();
    }
    run();
}

bool CIndexManager::PrepareUsnChange(size_t volumePosition, const USN_RECORD_V2& record, UsnChangeWork& work) {
    work.Valid = work.Applied = false;
    if (!(record.Reason & USN_REASON_CLOSE)) return false;
    if (!UsnRecordNameIsInside(record)) return false;
    work.Name = platform::WideToAnsi(UsnRecordName(record));
    if (work.Name.empty()) return false;
    work.Volume = volumePosition;
    work.Slot = static_cast<uint32_t>(record.FileReferenceNumber);
    work.Parent = static_cast<uint32_t>(record.ParentFileReferenceNumber);
    work.Reason = record.Reason;
    work.Flags = IRF_EXISTS | ((record.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? IRF_DIRECTORY : 0);
    work.Valid = true;
    return true;
}

void CIndexManager::ApplyUsnChange(UsnChangeWork& work, bool changed) {
    work.Applied = false;
    work.Before = MATCH_REJECT;
    work.Path.clear();
    CVolumeIndex* volume = work.Valid ? GetVolume(work.Volume) : nullptr;
    if (!volume) return;
    const uint32_t slot = work.Slot, parent = work.Parent;
    const char* name = work.Name.data();
    const int length = static_cast<int>(work.Name.size());
    const uint32_t count = volume->RecordCount();

    if (!changed) {
        platform::ScopedLock lock(queryLock_);
        if (slot < count && !activeQuery_.Pattern.empty()) work.Before = MatchChangedRecord(*volume, slot);
    }

    // The file information is refreshed by the caller, after the lookup.
    bool refresh = true;
    if (work.Reason & USN_REASON_FILE_CREATE) {
        if (slot < count)
            volume->UpdateIndex(slot, parent, name, length, work.Flags, false);
        else
            volume->InsertIndex(slot, parent, name, length, work.Flags, false);
    } else if (work.Reason & USN_REASON_RENAME_NEW_NAME) {
        if (slot >= count) volume->InsertIndex(slot, parent, name, length, work.Flags, false);
        volume->ReNameIndex(slot, parent, name, length, false);
    } else if (work.Reason & USN_REASON_FILE_DELETE) {
        // A delete of an unknown slot inserts it first, which refreshes it.
        refresh = slot >= count;
        if (refresh) volume->InsertIndex(slot, parent, name, length, work.Flags, false);
        volume->DeleteIndex(slot);
    } else {
        return;
    }
    work.Applied = true;
    const IndexRecord* record = volume->GetRecord(slot);
    if (refresh && record) {
        CVolumeIndex::PathBuffer buffer;
        work.Path = volume->GetFullPath(slot, buffer);
        work.NameRef = record->FileName;
    }
}

void CIndexManager::LookUpUsnChange(UsnChangeWork& work) {
    work.Found = !work.Path.empty() && CVolumeIndex::LookUpFileInfo(work.Path.c_str(), &work.Size);
    work.HasNow = work.Found && CVolumeIndex::LocalNow(&work.Now);
}

void CIndexManager::FinishUsnChange(const UsnChangeWork& work, bool& changed) {
    CVolumeIndex* volume = GetVolume(work.Volume);
    if (!work.Applied || !volume) return;
    const IndexRecord* record = volume->GetRecord(work.Slot);
    // Stored only while the record still carries the name the change gave it.
    if (work.Found && record && record->FileName == work.NameRef)
        volume->StoreFileInfo(work.Slot, work.Size, work.HasNow ? &work.Now : nullptr);

    int after = MATCH_REJECT;
    if (!changed) {
        platform::ScopedLock lock(queryLock_);
        if (work.Before != MATCH_FULL && (!activeQuery_.Pattern.empty() || activeQuery_.FilterMask != 0))
            after = MatchChangedRecord(*volume, work.Slot);
    }
    if (work.Before == MATCH_FULL || after == MATCH_FULL) changed = true;
}

void CIndexManager::NotifyUsnChange() {
    const HWND window = notifyWnd_;
    if (!window || !::IsWindow(window)) return;
    // A sorted list keeps its order; the user re-sorts or searches again.
    if (sortThread_.IsRunning() || sorted_) return;
    ::PostMessageW(window, WM_SEARCH_CHANGED, 1, 1);
}
