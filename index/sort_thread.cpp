// Index manager: sorting the result list on one of five keys in a thread.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "index/index_manager.h"
#include "index/search_messages.h"
#include "index/search_workers.h"
#include "platform/trace.h"

namespace {

constexpr size_t kRowsPerLock = 8192;
// Room kept free below a shared folder text: the root, the lost-folder marker
// and the separators can never need more.
constexpr size_t kPathSlack = 64;

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

// ---------------------------------------------------------------------------
// Ordering texts as lstrcmpiA does, fast: lstrcmpiA is slow (it converts and
// weighs every character on each call), so each distinct text gets its sort
// key once, the texts are ordered by key, and one lstrcmpiA per neighbouring
// pair confirms the order and finds the texts it calls equal. Ranks then
// order the rows exactly as a stable sort with lstrcmpiA would; when a check
// disagrees, the caller sorts with lstrcmpiA itself.

struct TextRanking {
    std::vector<const char*> texts;     // distinct texts
    std::vector<uint32_t> keyShare;     // which share's block holds the key
    std::vector<size_t> keyAt, keyLength;
    std::vector<std::string> blocks;    // key bytes, one block per share
    std::vector<uint32_t> order;        // distinct texts by key
    std::vector<int8_t> neighbour;      // sign of lstrcmpiA(order[i-1], order[i])
    LCID locale = 0;
    size_t shares = 1;
    volatile bool aborted = false;
};

void MakeKeys(void* context, unsigned share) {
    TextRanking& t = *static_cast<TextRanking*>(context);
    size_t n = t.texts.size();
    size_t from = n * share / t.shares, to = n * (share + 1) / t.shares;
    std::string& block = t.blocks[share];
    std::vector<char> buffer(1024);
    for (size_t i = from; i < to; ++i) {
        if ((i & 1023) == 0 && g_bSearchAbort) {
            t.aborted = true;
            return;
        }
        int got = ::LCMapStringA(t.locale, LCMAP_SORTKEY | NORM_IGNORECASE, t.texts[i], -1, buffer.data(),
                                 static_cast<int>(buffer.size()));
        if (got == 0) {
            int need = ::LCMapStringA(t.locale, LCMAP_SORTKEY | NORM_IGNORECASE, t.texts[i], -1, nullptr, 0);
            if (need > 0) {
                buffer.resize(static_cast<size_t>(need));
                got = ::LCMapStringA(t.locale, LCMAP_SORTKEY | NORM_IGNORECASE, t.texts[i], -1, buffer.data(), need);
            }
        }
        if (got < 0) got = 0;
        t.keyShare[i] = share;
        t.keyAt[i] = block.size();
        t.keyLength[i] = static_cast<size_t>(got);
        block.append(buffer.data(), static_cast<size_t>(got));
    }
}

void CheckNeighbours(void* context, unsigned share) {
    TextRanking& t = *static_cast<TextRanking*>(context);
    size_t n = t.order.size();
    size_t from = std::max<size_t>(1, n * share / t.shares), to = n * (share + 1) / t.shares;
    for (size_t i = from; i < to; ++i) {
        if ((i & 1023) == 0 && g_bSearchAbort) {
            t.aborted = true;
            return;
        }
        int c = ::lstrcmpiA(t.texts[t.order[i - 1]], t.texts[t.order[i]]);
        t.neighbour[i] = static_cast<int8_t>(c < 0 ? -1 : c > 0 ? 1 : 0);
    }
}

enum class RankOutcome { Ranked, Unconfirmed, Aborted };

// Gives each row the rank of its text; rows[i] is the text of row i.
RankOutcome RankTexts(const std::vector<const char*>& rows, bool fewDistinct, std::vector<uint32_t>& rank,
                      CSearchWorkers& workers) {
    TextRanking t;
    t.locale = ::GetThreadLocale();
    t.shares = workers.Shares();
    // Texts that repeat a lot (extensions, folders) are keyed once each;
    // names are mostly distinct and keyed as they come.
    std::vector<uint32_t> textOf(rows.size());
    if (fewDistinct) {
        std::unordered_map<std::string_view, uint32_t> distinct;
        distinct.reserve(rows.size() / 4 + 16);
        for (size_t i = 0; i < rows.size(); ++i) {
            auto it = distinct.emplace(std::string_view(rows[i]), static_cast<uint32_t>(t.texts.size()));
            if (it.second) t.texts.push_back(rows[i]);
            textOf[i] = it.first->second;
        }
    } else {
        t.texts = rows;
        for (size_t i = 0; i < rows.size(); ++i) textOf[i] = static_cast<uint32_t>(i);
    }
    size_t n = t.texts.size();
    t.keyShare.resize(n);
    t.keyAt.resize(n);
    t.keyLength.resize(n);
    t.blocks.resize(t.shares);
    workers.Run(&MakeKeys, &t);
    if (t.aborted || g_bSearchAbort) return RankOutcome::Aborted;

    t.order.resize(n);
    for (size_t i = 0; i < n; ++i) t.order[i] = static_cast<uint32_t>(i);
    auto keyOf = [&t](uint32_t i) { return t.blocks[t.keyShare[i]].data() + t.keyAt[i]; };
    std::sort(t.order.begin(), t.order.end(), [&](uint32_t a, uint32_t b) {
        size_t la = t.keyLength[a], lb = t.keyLength[b];
        int c = std::memcmp(keyOf(a), keyOf(b), std::min(la, lb));
        if (c != 0) return c < 0;
        if (la != lb) return la < lb;
        return a < b;
    });

    t.neighbour.assign(n, 0);
    workers.Run(&CheckNeighbours, &t);
    if (t.aborted || g_bSearchAbort) return RankOutcome::Aborted;
    std::vector<uint32_t> textRank(n);
    uint32_t r = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            if (t.neighbour[i] > 0) return RankOutcome::Unconfirmed;
            if (t.neighbour[i] < 0) ++r;
        }
        textRank[t.order[i]] = r;
    }
    rank.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) rank[i] = textRank[textOf[i]];
    return RankOutcome::Ranked;
}

} // namespace

bool CIndexManager::StartSort(int key) {
    // A running search is allowed to finish: the sort needs its results.
    WaitForSearch();
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
    // Folder text of a parent: its offset in `folders` and its length.
    std::unordered_map<uint64_t, std::pair<size_t, size_t>> folderOfParent;
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
                // Rows in one folder share its text: compute it once per
                // parent, unless the name could change where the path is cut
                // (a 0x5C trail byte) or the path comes near the buffer's end.
                size_t nameLength = name ? std::strlen(name) : 0;
                bool shareable = name && !std::memchr(name, '\\', nameLength);
                uint64_t parentKey = shareable ? (static_cast<uint64_t>(entry.Volume) << 32) | record->FatherID : 0;
                if (shareable) {
                    auto known = folderOfParent.find(parentKey);
                    if (known != folderOfParent.end() &&
                        known->second.second + nameLength + kPathSlack < CVolumeIndex::kPathBufferSize) {
                        folderAt[i] = known->second.first;
                        continue;
                    }
                }
                const char* path = name ? volume->GetFullPath(entry.Slot, pathBuffer) : "";
                const char* slash = std::strrchr(path, '\\');
                size_t length = slash ? static_cast<size_t>(slash - path) : 0;
                folderAt[i] = folders.size();
                folders.append(path, length);
                folders.push_back('\0');
                if (shareable && length + nameLength + kPathSlack < CVolumeIndex::kPathBufferSize) {
                    folderOfParent.emplace(parentKey, std::make_pair(folderAt[i], length));
                }
            }
        }
    }
    if (key == SORT_BY_PATH) {
        for (size_t i = 0; i < count; ++i) rows[i].Key = folders.c_str() + folderAt[i];
    }

    // Texts keys are ranked first where the order is lstrcmpiA's; the rows are
    // then stably sorted on their rank. Only when the ranking cannot be
    // confirmed does the sort compare with lstrcmpiA row by row.
    bool ranked = false;
    std::vector<uint32_t> rank;
    if (key == SORT_BY_NAME || key == SORT_BY_PATH || key == SORT_BY_TYPE) {
        EnsureSearchWorkers();
        std::vector<const char*> texts(count);
        for (size_t i = 0; i < count; ++i) texts[i] = rows[i].Key;
        RankOutcome outcome = RankTexts(texts, key != SORT_BY_NAME, rank, *searchWorkers_);
        if (outcome == RankOutcome::Aborted) return 0;
        ranked = outcome == RankOutcome::Ranked;
        if (!ranked) platform::Trace("SortThreadProc: sort keys disagree with lstrcmpiA; comparing directly");
    }

    try {
        switch (key) {
        case SORT_BY_NAME:
        case SORT_BY_PATH:
            if (ranked) {
                std::stable_sort(rows.begin(), rows.end(), [&rank](const SortRecord& a, const SortRecord& b) {
                    CheckAbort();
                    return rank[a.Position] < rank[b.Position];
                });
                break;
            }
            std::stable_sort(rows.begin(), rows.end(), [](const SortRecord& a, const SortRecord& b) {
                CheckAbort();
                return ::lstrcmpiA(a.Key, b.Key) < 0;
            });
            break;
        case SORT_BY_TYPE:
            if (ranked) {
                std::stable_sort(rows.begin(), rows.end(), [&rank](const SortRecord& a, const SortRecord& b) {
                    CheckAbort();
                    bool da = IsDirectory(a.Record), db = IsDirectory(b.Record);
                    if (da || db) return da && !db;
                    return rank[a.Position] < rank[b.Position];
                });
                break;
            }
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
