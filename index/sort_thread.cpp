// Index manager: sorting the result list on one of five keys in a thread.
#include <algorithm>
#include <cstring>

#include "index/index_manager.h"
#include "index/search_messages.h"
#include "platform/trace.h"

namespace {

constexpr size_t kRowsPerLock = 8192;

// Work entry of a sort: the row it came from and what the keys need.
struct SortRecord {
    uint32_t Position;
    IndexRecord Record;
    const char* Key;  // name, containing folder or extension, by key
};

struct SortAborted {};

// Throws when a new search or a stop asks the sort to end, so that the sort
// unwinds at once instead of finishing with meaningless comparisons.
inline void CheckAbort() {
    if (g_bSearchAbort) throw SortAborted();
}

const char kNoExtension[] = "\x01";

const char* ExtensionOf(const char* name) {
    const char* dot = name ? std::strrchr(name, '.') : nullptr;
    if (!dot || dot[1] == 0) return kNoExtension;
    return dot + 1;
}

bool IsDirectory(const IndexRecord& r) { return (r.Flags & IRF_DIRECTORY) != 0; }

uint64_t TimeOf(const IndexRecord& r) {
    FILETIME t = r.Time2;
    return FileTimeValue(t);
}

} // namespace

bool CIndexManager::StartSort(int key) {
    // A running search is allowed to finish: the sort needs its results.
    if (searchThread_.IsStarted()) {
        searchThread_.Join();
        searchThread_.Close();
    }
    StopThread(sortThread_, g_bSearchAbort);
    sorted_ = 0;
    SortKey = key;
    return sortThread_.Start(&CIndexManager::SortThreadProc, this);
}

unsigned __stdcall CIndexManager::SortThreadProc(void* manager) {
    return static_cast<CIndexManager*>(manager)->SortResults();
}

unsigned CIndexManager::SortResults() {
    const int key = SortKey;
    size_t count;
    {
        platform::ScopedLock lock(recordLock_);
        count = ResultList.size();
    }
    if (key == SORT_NONE) {
        HWND window = notifyWnd_;
        if (window && ::IsWindow(window)) {
            sorted_ = 1;
            ::PostMessageW(window, WM_SEARCH_RESULTS, count, static_cast<LPARAM>(-1));
        }
        return 0;
    }

    std::vector<SortRecord> rows(count);
    // Containing folders for the path key, NUL-separated in one block.
    std::string folders;
    std::vector<size_t> folderAt;
    if (key == SORT_BY_PATH) folderAt.resize(count);
    CVolumeIndex::PathBuffer pathBuffer;
    for (size_t start = 0; start < count; start += kRowsPerLock) {
        if (g_bSearchAbort) return 0;
        platform::ScopedLock lock(recordLock_);
        size_t end = std::min(std::min(count, ResultList.size()), start + kRowsPerLock);
        for (size_t i = start; i < end; ++i) {
            SortRecord& row = rows[i];
            row.Position = static_cast<uint32_t>(i);
            std::memset(&row.Record, 0, sizeof(row.Record));
            row.Key = "";
            const SearchResult entry = ResultList[i];
            const CVolumeIndex* volume = GetVolume(entry.Volume);
            const IndexRecord* record = volume ? volume->GetRecord(entry.Slot) : nullptr;
            const char* name = record ? volume->GetName(*record) : nullptr;
            if (name) row.Record = *record;
            if (key == SORT_BY_NAME) {
                row.Key = name ? name : "";
            } else if (key == SORT_BY_TYPE) {
                row.Key = ExtensionOf(name);
            } else if (key == SORT_BY_PATH) {
                const char* path = name ? volume->GetFullPath(entry.Slot, pathBuffer) : "";
                const char* slash = std::strrchr(path, '\\');
                folderAt[i] = folders.size();
                folders.append(path, slash ? static_cast<size_t>(slash - path) : 0);
                folders.push_back('\0');
            }
        }
    }
    if (key == SORT_BY_PATH) {
        for (size_t i = 0; i < count; ++i) rows[i].Key = folders.c_str() + folderAt[i];
    }

    try {
        switch (key) {
        case SORT_BY_NAME:
        case SORT_BY_PATH:
            std::stable_sort(rows.begin(), rows.end(), [](const SortRecord& a, const SortRecord& b) {
                CheckAbort();
                return ::lstrcmpiA(a.Key, b.Key) < 0;
            });
            break;
        case SORT_BY_TYPE:
            std::stable_sort(rows.begin(), rows.end(), [](const SortRecord& a, const SortRecord& b) {
                CheckAbort();
                bool da = IsDirectory(a.Record), db = IsDirectory(b.Record);
                if (da || db) return da && !db;
                return ::lstrcmpiA(a.Key, b.Key) < 0;
            });
            break;
        case SORT_BY_SIZE:
            std::sort(rows.begin(), rows.end(), [](const SortRecord& a, const SortRecord& b) {
                CheckAbort();
                int64_t sa = a.Record.Size, sb = b.Record.Size;
                return static_cast<uint64_t>(sa) < static_cast<uint64_t>(sb);
            });
            break;
        case SORT_BY_TIME:
            std::sort(rows.begin(), rows.end(), [](const SortRecord& a, const SortRecord& b) {
                CheckAbort();
                return TimeOf(a.Record) > TimeOf(b.Record);
            });
            break;
        default:
            platform::Trace("SortThreadProc: unknown sort key %d", key);
            return 0;
        }
    } catch (const SortAborted&) {
        return 0;  // the list stays as it was and nothing is posted
    }

    std::vector<SearchResult> sorted(count);
    {
        platform::ScopedLock lock(recordLock_);
        if (g_bSearchAbort || ResultList.size() != count) return 0;
        for (size_t k = 0; k < count; ++k) sorted[k] = ResultList[rows[k].Position];
        ResultList.swap(sorted);
        narrowBase_.Valid = false;  // no longer in candidate order
    }
    sorted_ = 1;
    PostSearchResults(count, static_cast<LPARAM>(-1));
    return 1;
}
