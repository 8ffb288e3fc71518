// Index manager: starting a search, the full and the narrowing search, and
// the result accessors.
#include <mbstring.h>

#include <algorithm>

#include "index/index_manager.h"
#include "index/search_messages.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace {

// Records matched per hold of the record lock: about a millisecond of work at
// most, so the journal thread and the windows never wait long.
constexpr uint32_t kRecordsPerLock = 8192;

inline MatchInput InputOf(const CVolumeIndex& volume, const IndexRecord& record) {
    FILETIME time2 = record.Time2;
    return MatchInput{volume.GetName(record), record.Flags, FileTimeValue(time2),
                      static_cast<ULONGLONG>(record.Size)};
}

} // namespace

int CIndexManager::StartSearch(const CSearchQuery& query) {
    StopThread(sortThread_, g_bSearchAbort);
    sorted_ = 0;
    StopSearchThread();
    {
        platform::ScopedLock lock(queryLock_);
        activeQuery_.Assign(query);
    }
    if (!searchThread_.Start(&CIndexManager::SearchThreadProc, this)) {
        platform::Trace("StartSearch: the search thread did not start");
    }
    return 1;
}

unsigned __stdcall CIndexManager::SearchThreadProc(void* manager) {
    auto* self = static_cast<CIndexManager*>(manager);
    bool full;
    {
        platform::ScopedLock lock(self->queryLock_);
        full = self->activeQuery_.FullScan != 0;
    }
    if (full) {
        self->FullSearch();
    } else {
        self->NarrowSearch();
    }
    return 1;
}

int CIndexManager::MatchRecord(const CVolumeIndex& volume, const IndexRecord& record, const wchar_t* fullPath,
                               bool* deleted) const {
    return activeQuery_.MatchRecord(InputOf(volume, record), fullPath, deleted);
}

void CIndexManager::PostSearchResults(WPARAM count, LPARAM detail) {
    HWND window = notifyWnd_;
    if (window && ::IsWindow(window)) ::PostMessageW(window, WM_SEARCH_RESULTS, count, detail);
}

unsigned CIndexManager::FullSearch() {
    // The search thread is the only writer of the query's fields it reads here
    // (the journal thread changes FullScan only inside the record lock, which
    // every batch below holds), so they are read without the query lock.
    const CSearchQuery& query = activeQuery_;
    std::string prefixRoot;
    const bool prefix = !query.PathPrefix.empty();
    if (prefix) prefixRoot = platform::WideToAnsi(query.PathPrefix.substr(0, 3));

    size_t volumeCount;
    {
        platform::ScopedLock lock(recordLock_);
        CandidateList.clear();
        ResultList.clear();
        size_t total = 0;
        for (const auto& v : volumes_) total += v->RecordCount();
        CandidateList.reserve(total);
        volumeCount = volumes_.size();
    }

    MatchScratch scratch;
    CVolumeIndex::PathBuffer pathBuffer;
    std::vector<wchar_t> widePath(CVolumeIndex::kPathBufferSize + 1);
    uint32_t count = 0, deletedCount = 0;
    for (size_t v = 0; v < volumeCount; ++v) {
        uint32_t records;
        {
            platform::ScopedLock lock(recordLock_);
            const CVolumeIndex* volume = GetVolume(v);
            if (!volume) break;
            if (prefix && _mbsicmp(reinterpret_cast<const unsigned char*>(volume->Root().c_str()),
                                   reinterpret_cast<const unsigned char*>(prefixRoot.c_str())) != 0) {
                continue;
            }
            records = volume->RecordCount();
        }
        for (uint32_t start = kFirstUserSlot; start < records; start += kRecordsPerLock) {
            if (searchStop_) return 0;
            platform::ScopedLock lock(recordLock_);
            const CVolumeIndex* volume = GetVolume(v);
            if (!volume) break;
            // Re-read every batch: the journal thread may have grown the table.
            const IndexRecord* table = volume->Records();
            uint32_t end = std::min(std::min(records, volume->RecordCount()), start + kRecordsPerLock);
            for (uint32_t slot = start; slot < end; ++slot) {
                const wchar_t* path = L"";
                if (prefix) {
                    const char* ansi = volume->GetFullPath(slot, pathBuffer);
                    int n = ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, widePath.data(),
                                                  static_cast<int>(widePath.size()));
                    if (n <= 0) widePath[0] = 0;
                    path = widePath.data();
                }
                bool deleted = false;
                int r = query.MatchRecord(InputOf(*volume, table[slot]), path, &deleted, scratch);
                if (r == MATCH_REJECT) continue;
                SearchResult entry{slot, static_cast<uint16_t>(v)};
                CandidateList.push_back(entry);
                if (r == MATCH_FULL) {
                    ResultList.push_back(entry);
                    ++count;
                    if (deleted) ++deletedCount;
                }
            }
        }
    }
    PostSearchResults(count, deletedCount);
    {
        platform::ScopedLock records(recordLock_);
        platform::ScopedLock lock(queryLock_);
        activeQuery_.FullScan = 0;  // the same query run again narrows
    }
    return count;
}

unsigned CIndexManager::NarrowSearch() {
    const CSearchQuery& query = activeQuery_;
    size_t candidates;
    {
        platform::ScopedLock lock(recordLock_);
        ResultList.clear();
        candidates = CandidateList.size();
    }
    MatchScratch scratch;
    uint32_t count = 0, deletedCount = 0;
    for (size_t start = 0; start < candidates; start += kRecordsPerLock) {
        if (searchStop_) return 0;
        platform::ScopedLock lock(recordLock_);
        size_t end = std::min(std::min(candidates, CandidateList.size()), start + kRecordsPerLock);
        for (size_t i = start; i < end; ++i) {
            const SearchResult entry = CandidateList[i];
            const CVolumeIndex* volume = GetVolume(entry.Volume);
            const IndexRecord* record = volume ? volume->GetRecord(entry.Slot) : nullptr;
            if (!record) continue;
            MatchInput in = InputOf(*volume, *record);
            if (entry.Slot < kFirstUserSlot && in.name && in.name[0] == '$') continue;
            bool deleted = false;
            if (query.MatchRecord(in, L"", &deleted, scratch) != MATCH_FULL) continue;
            ResultList.push_back(entry);
            ++count;
            if (deleted) ++deletedCount;
        }
    }
    PostSearchResults(count, deletedCount);
    return count;
}

// ---------------------------------------------------------------------------
// Result accessors

size_t CIndexManager::GetResultCount() {
    platform::ScopedLock lock(recordLock_);
    return ResultList.size();
}

bool CIndexManager::GetResultRecord(size_t row, IndexRecord* record) {
    platform::ScopedLock lock(recordLock_);
    if (row >= ResultList.size()) return false;
    const SearchResult entry = ResultList[row];
    const CVolumeIndex* volume = GetVolume(entry.Volume);
    const IndexRecord* found = volume ? volume->GetRecord(entry.Slot) : nullptr;
    if (!found || !volume->GetName(*found)) return false;
    if (record) *record = *found;
    return true;
}

bool CIndexManager::GetResultPath(size_t row, std::string* path) {
    platform::ScopedLock lock(recordLock_);
    if (row >= ResultList.size()) return false;
    const SearchResult entry = ResultList[row];
    const CVolumeIndex* volume = GetVolume(entry.Volume);
    const IndexRecord* found = volume ? volume->GetRecord(entry.Slot) : nullptr;
    if (!found || !volume->GetName(*found)) return false;
    if (path) *path = volume->GetFullPath(entry.Slot);
    return true;
}

bool CIndexManager::GetResultName(size_t row, std::string* name) {
    platform::ScopedLock lock(recordLock_);
    if (row >= ResultList.size()) return false;
    const SearchResult entry = ResultList[row];
    const CVolumeIndex* volume = GetVolume(entry.Volume);
    const IndexRecord* found = volume ? volume->GetRecord(entry.Slot) : nullptr;
    const char* text = found ? volume->GetName(*found) : nullptr;
    if (!text) return false;
    if (name) *name = text;
    return true;
}
