// Index manager: sorting the result list on one of five keys in a thread.
//
// Every sort becomes a sort of (number, row) pairs: sizes and times are
// numbers already; texts (names, extensions, containing folders) are ranked
// first. A text's rank comes from its collation key (CCollationKeys: the key
// the system would give it, made from a per-character table), so texts are
// ordered as lstrcmpiA orders them and texts it calls equal share a rank;
// ordering the pairs by rank and row keeps the earlier order of equal texts,
// as a stable sort does. Folder texts are composed once per folder from the
// parent's text.
#include <algorithm>
#include <cstring>
#include <functional>

#include "index/collation.h"
#include "index/index_manager.h"
#include "index/parallel_sort.h"
#include "index/search_messages.h"
#include "index/search_workers.h"
#include "platform/trace.h"

volatile LONG g_SortKeyDisagreements = 0;

namespace {

constexpr size_t kRowsPerLock = 8192;
// Room kept free below a folder text: the root, the lost-folder marker and
// the separators of GetFullPath can never need more.
constexpr size_t kPathSlack = 64;
// Deepest folder chain composed; deeper ones are left to GetFullPath.
constexpr int kMaxComposedDepth = 250;
constexpr uint32_t kNoText = 0xFFFFFFFFu;
// Runs of keys this short are ordered by comparing them whole.
constexpr size_t kCompareRun = 48;
// Keys longer than this on average are sorted by comparing them whole.
constexpr size_t kLongKeyBytes = 96;

const char kNoExtension[] = "\x01";

const char* ExtensionOf(const char* name) {
    const char* dot = name ? std::strrchr(name, '.') : nullptr;
    if (!dot || dot[1] == 0) return kNoExtension;
    return dot + 1;
}

// One row to order: its number and its position; positions make every pair
// distinct, so the order is total and equal numbers keep their earlier order.
struct SortPair {
    uint64_t key;
    uint32_t position;
};
inline bool operator<(const SortPair& a, const SortPair& b) {
    return a.key != b.key ? a.key < b.key : a.position < b.position;
}

// The distinct texts of a text sort. Text i is either a pointer into the
// index's names (names, extensions; stable while the sort runs: a load stops
// the sort first and names added at run time are never moved) or a stretch
// of `block` (folder texts).
struct TextSet {
    std::vector<const char*> pointer;
    std::vector<uint32_t> at, length;  // in `block`, when pointer is null
    std::string block;

    uint32_t AddPointer(const char* text) {
        pointer.push_back(text);
        at.push_back(0);
        length.push_back(static_cast<uint32_t>(std::strlen(text)));
        return static_cast<uint32_t>(pointer.size() - 1);
    }
    uint32_t AddCopy(const char* text, size_t n) {
        pointer.push_back(nullptr);
        at.push_back(static_cast<uint32_t>(block.size()));
        length.push_back(static_cast<uint32_t>(n));
        block.append(text, n);
        block.push_back('\0');  // lstrcmpiA reads it as a NUL-terminated text
        return static_cast<uint32_t>(pointer.size() - 1);
    }
    // Text `parent`, a backslash and `name`.
    uint32_t AddChild(uint32_t parent, const char* name, size_t n) {
        const uint32_t parentAt = at[parent], parentLength = length[parent];
        pointer.push_back(nullptr);
        at.push_back(static_cast<uint32_t>(block.size()));
        length.push_back(static_cast<uint32_t>(parentLength + 1 + n));
        block.append(block, parentAt, parentLength);
        block.push_back('\\');
        block.append(name, n);
        block.push_back('\0');
        return static_cast<uint32_t>(pointer.size() - 1);
    }
    const char* Text(uint32_t i) const { return pointer[i] ? pointer[i] : block.data() + at[i]; }
    size_t Size() const { return pointer.size(); }
};

// Folder texts as GetFullPath writes them ("X:\a\b" for the folder of
// "X:\a\b\file"), composed once per folder from its parent's text. A chain
// that GetFullPath would not follow to the root plainly (a lost folder, a
// loop, a path near the length limit) gets no text here; its rows take the
// text from GetFullPath itself.
class FolderTexts {
public:
    explicit FolderTexts(TextSet& texts) : texts_(texts) {}

    // The text of folder `slot` of the volume at `position`, or kNoText.
    uint32_t Of(const CVolumeIndex& volume, uint16_t position, uint32_t slot) {
        std::vector<uint32_t>& memo = MemoOf(volume, position);
        chain_.clear();
        uint32_t known = kNoText;
        for (uint32_t s = slot;;) {
            if (s < memo.size() && memo[s] != kUnknown) {
                known = memo[s];
                break;
            }
            if (s == kRootSlot) {
                const std::string& root = volume.Root();  // "X:\" without its backslash
                known = texts_.AddCopy(root.data(), root.size() > 0 ? root.size() - 1 : 0);
                if (s < memo.size()) memo[s] = known;
                break;
            }
            const IndexRecord* record = volume.GetRecord(s);
            const char* name = record ? volume.GetName(*record) : nullptr;
            if (chain_.size() >= kMaxComposedDepth || !record || !(record->Flags & IRF_DIRECTORY) || !name ||
                !*name) {
                if (s < memo.size()) memo[s] = kNoText;
                break;  // known stays kNoText
            }
            chain_.push_back(s);
            s = record->FatherID;
        }
        // Down the chain: each folder's text is its parent's, a backslash and
        // its name.
        for (size_t i = chain_.size(); i-- > 0;) {
            const uint32_t s = chain_[i];
            uint32_t text = kNoText;
            if (known != kNoText) {
                const char* name = volume.GetName(s);
                const size_t nameLength = std::strlen(name);
                const size_t parentLength = texts_.length[known];
                if (parentLength + 1 + nameLength + kPathSlack < CVolumeIndex::kPathBufferSize)
                    text = texts_.AddChild(known, name, nameLength);
            }
            memo[s] = text;
            known = text;
        }
        return known;
    }

private:
    static constexpr uint32_t kUnknown = 0xFFFFFFFEu;

    // Folder texts by slot, one table per volume, made on first use.
    std::vector<uint32_t>& MemoOf(const CVolumeIndex& volume, uint16_t position) {
        if (position >= memo_.size()) memo_.resize(position + 1);
        std::vector<uint32_t>& memo = memo_[position];
        // The journal may have grown the table since; new slots are unknown.
        if (memo.size() < volume.RecordCount()) memo.resize(volume.RecordCount(), kUnknown);
        return memo;
    }

    TextSet& texts_;
    std::vector<std::vector<uint32_t>> memo_;
    std::vector<uint32_t> chain_;
};

// Distinct extensions: few, short, looked up once per row, so an open table
// hashed on the bytes beats a general map.
class ExtensionTexts {
public:
    explicit ExtensionTexts(TextSet& texts) : texts_(texts), slots_(64, kNoText) {}

    uint32_t Of(const char* ext) {
        uint32_t hash = 2166136261u;
        size_t length = 0;
        for (; ext[length]; ++length) hash = (hash ^ static_cast<unsigned char>(ext[length])) * 16777619u;
        for (size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            const uint32_t text = slots_[i];
            if (text == kNoText) break;
            if (texts_.length[text] == length && std::memcmp(texts_.Text(text), ext, length) == 0) return text;
        }
        const uint32_t text = texts_.AddPointer(ext);
        if (++used_ * 2 > slots_.size()) Grow();
        Place(text, hash);
        return text;
    }

private:
    void Place(uint32_t text, uint32_t hash) {
        size_t i = hash & (slots_.size() - 1);
        while (slots_[i] != kNoText) i = (i + 1) & (slots_.size() - 1);
        slots_[i] = text;
    }
    void Grow() {
        std::vector<uint32_t> old(slots_.size() * 2, kNoText);
        old.swap(slots_);
        for (uint32_t text : old) {
            if (text == kNoText) continue;
            uint32_t hash = 2166136261u;
            const char* p = texts_.Text(text);
            for (size_t k = 0; k < texts_.length[text]; ++k) hash = (hash ^ static_cast<unsigned char>(p[k])) * 16777619u;
            Place(text, hash);
        }
    }

    TextSet& texts_;
    std::vector<uint32_t> slots_;
    size_t used_ = 0;
};

// ---------------------------------------------------------------------------
// Ranking texts by their collation keys.

struct KeyRef {
    uint64_t prefix;  // the key's first 8 bytes, big-endian, zero-padded
    uint32_t text;
};

// Keys order[begin, end) agree in their bytes before `depth`.
struct KeyRun {
    size_t begin, end, depth;
};

struct Ranking {
    const TextSet* texts;
    const CCollationKeys* table;  // null: system keys only
    LCID locale;
    unsigned shares;
    std::vector<std::string> blocks;  // key bytes, one block per share
    std::vector<uint32_t> keyAt, keyLength;
    std::vector<uint8_t> keyShare;
    std::vector<uint8_t> emulated;  // the key came from the table
    std::vector<KeyRef> order;
    std::vector<KeyRun> runs;  // of keys equal so far, left to RefineRuns
    std::vector<int8_t> neighbour;  // sign of lstrcmpiA(order[i-1], order[i])
    volatile bool aborted = false;

    const unsigned char* Key(uint32_t t) const {
        return reinterpret_cast<const unsigned char*>(blocks[keyShare[t]].data()) + keyAt[t];
    }
    // The 8 key bytes from `depth` on, big-endian, zero past the key's end.
    uint64_t PrefixAt(uint32_t t, size_t depth) const {
        const unsigned char* key = Key(t);
        const size_t length = keyLength[t];
        uint64_t prefix = 0;
        if (depth + 8 <= length) {
            for (size_t b = 0; b < 8; ++b) prefix = (prefix << 8) | key[depth + b];
        } else {
            for (size_t b = depth; b < depth + 8; ++b) prefix = (prefix << 8) | (b < length ? key[b] : 0);
        }
        return prefix;
    }
    // The keys' bytes, then their lengths; CompareFrom for keys known to
    // agree before `depth`.
    int CompareFrom(uint32_t a, uint32_t b, size_t depth) const {
        const size_t la = keyLength[a], lb = keyLength[b], shorter = std::min(la, lb);
        if (shorter > depth) {
            const int c = std::memcmp(Key(a) + depth, Key(b) + depth, shorter - depth);
            if (c != 0) return c;
        }
        return la < lb ? -1 : la > lb ? 1 : 0;
    }
    int Compare(uint32_t a, uint32_t b) const { return CompareFrom(a, b, 0); }
};

bool ByPrefix(const KeyRef& a, const KeyRef& b) { return a.prefix != b.prefix ? a.prefix < b.prefix : a.text < b.text; }

// Orders each run of keys that agree on their first 8 bytes, 8 more bytes at
// a time, as a most-significant-digit radix sort goes; share i takes every
// shares-th run.
void RefineRuns(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    std::vector<KeyRef>& order = r.order;
    using Range = KeyRun;
    std::vector<Range> stack;
    auto pushRuns = [&](size_t begin, size_t end, size_t depth) {
        for (size_t i = begin; i < end;) {
            size_t j = i + 1;
            while (j < end && order[j].prefix == order[i].prefix) ++j;
            if (j - i > 1) stack.push_back(Range{i, j, depth});
            i = j;
        }
    };
    for (size_t k = share; k < r.runs.size(); k += r.shares) stack.push_back(r.runs[k]);
    size_t steps = 0;
    while (!stack.empty()) {
        if ((++steps & 255) == 0 && g_bSearchAbort) {
            r.aborted = true;
            return;
        }
        const Range range = stack.back();
        stack.pop_back();
        if (range.end - range.begin <= kCompareRun) {
            // Few keys left: compared whole from `depth` on (siblings of a
            // deep folder agree on many bytes, which 8 at a time would take
            // many rounds).
            std::sort(order.begin() + range.begin, order.begin() + range.end, [&r, &range](const KeyRef& a, const KeyRef& b) {
                const int c = r.CompareFrom(a.text, b.text, range.depth);
                return c != 0 ? c < 0 : a.text < b.text;
            });
            continue;
        }
        bool longer = false;
        for (size_t k = range.begin; k < range.end; ++k) {
            longer = longer || r.keyLength[order[k].text] > range.depth;
            order[k].prefix = r.PrefixAt(order[k].text, range.depth);
        }
        if (!longer) {
            // Every key ended: equal bytes; shorter keys first, then by text.
            std::sort(order.begin() + range.begin, order.begin() + range.end, [&r](const KeyRef& a, const KeyRef& b) {
                const uint32_t la = r.keyLength[a.text], lb = r.keyLength[b.text];
                return la != lb ? la < lb : a.text < b.text;
            });
            continue;
        }
        std::sort(order.begin() + range.begin, order.begin() + range.end, ByPrefix);
        pushRuns(range.begin, range.end, range.depth + 8);
    }
}

void MakeKeys(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.texts->Size();
    const size_t from = n * share / r.shares, to = n * (share + 1) / r.shares;
    std::string& block = r.blocks[share];
    std::vector<wchar_t> wide;
    for (size_t i = from; i < to; ++i) {
        if ((i & 1023) == 0 && g_bSearchAbort) {
            r.aborted = true;
            return;
        }
        const char* text = r.texts->Text(static_cast<uint32_t>(i));
        const size_t length = r.texts->length[i];
        const size_t at = block.size();
        r.emulated[i] = r.table && r.table->AppendKey(text, length, block, wide);
        if (!r.emulated[i]) CCollationKeys::AppendSystemKey(r.locale, text, length, block);
        r.keyShare[i] = static_cast<uint8_t>(share);
        r.keyAt[i] = static_cast<uint32_t>(at);
        r.keyLength[i] = static_cast<uint32_t>(block.size() - at);
    }
}

void CheckNeighbours(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.order.size();
    const size_t from = std::max<size_t>(1, n * share / r.shares), to = n * (share + 1) / r.shares;
    for (size_t i = from; i < to; ++i) {
        if ((i & 1023) == 0 && g_bSearchAbort) {
            r.aborted = true;
            return;
        }
        const int c = ::lstrcmpiA(r.texts->Text(r.order[i - 1].text), r.texts->Text(r.order[i].text));
        r.neighbour[i] = static_cast<int8_t>(c < 0 ? -1 : c > 0 ? 1 : 0);
    }
}

enum class RankOutcome { Ranked, Unconfirmed, Aborted };
RankOutcome ConfirmAndRank(Ranking& r, std::vector<uint32_t>& rank, CSearchWorkers& workers);

// Ranks the distinct texts: equal ranks for texts that lstrcmpiA calls equal,
// increasing as it orders them.
RankOutcome RankTexts(const TextSet& texts, std::vector<uint32_t>& rank, CSearchWorkers& workers, unsigned shares) {
    static volatile LONG tableDisproved = 0;
    Ranking r;
    r.texts = &texts;
    r.table = tableDisproved ? nullptr : CCollationKeys::Get(workers);
    r.locale = r.table ? r.table->Locale() : ::GetThreadLocale();
    const size_t n = texts.Size();
    // Few texts are keyed and checked faster than helpers wake up.
    r.shares = n < 2048 ? 1 : std::min<unsigned>(shares, 255);
    r.blocks.resize(r.shares);
    r.keyAt.resize(n);
    r.keyLength.resize(n);
    r.keyShare.resize(n);
    r.emulated.resize(n);
    workers.Run(&MakeKeys, &r, r.shares);
    if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;

    // A few keys from the table are compared with the system's, byte for byte.
    if (r.table) {
        std::string system;
        const size_t step = std::max<size_t>(1, n / 64);
        for (size_t i = 0; i < n; i += step) {
            if (!r.emulated[i]) continue;
            system.clear();
            CCollationKeys::AppendSystemKey(r.locale, texts.Text(static_cast<uint32_t>(i)), texts.length[i], system);
            if (system.size() != r.keyLength[i] || std::memcmp(system.data(), r.Key(static_cast<uint32_t>(i)), system.size()) != 0) {
                platform::Trace("SortThreadProc: a table key differs from the system's; keys from the system from now on");
                ::InterlockedExchange(&tableDisproved, 1);
                return RankTexts(texts, rank, workers, shares);
            }
        }
    }

    // The first pass starts where the keys begin to differ at all: the
    // results of one search often share their first letters.
    size_t common = n > 0 ? r.keyLength[0] : 0;
    for (size_t i = 1; i < n && common > 0; ++i) {
        const unsigned char* a = r.Key(0);
        const unsigned char* b = r.Key(static_cast<uint32_t>(i));
        const size_t limit = std::min<size_t>(common, r.keyLength[i]);
        size_t same = 0;
        while (same < limit && a[same] == b[same]) ++same;
        common = same;
    }
    r.order.resize(n);
    for (size_t i = 0; i < n; ++i) r.order[i] = KeyRef{r.PrefixAt(static_cast<uint32_t>(i), common), static_cast<uint32_t>(i)};
    if (!parallel_sort::Sort(r.order, ByPrefix, workers, r.shares, &g_bSearchAbort)) return RankOutcome::Aborted;
    // Long keys (paths) are compared whole: keys of one folder's subfolders
    // agree on most of their bytes, which 8 at a time would take many rounds.
    size_t totalLength = 0;
    for (size_t i = 0; i < n; ++i) totalLength += r.keyLength[i];
    if (totalLength > kLongKeyBytes * n) {
        const size_t from = common + 8;
        auto whole = [&r, from](const KeyRef& a, const KeyRef& b) {
            if (a.prefix != b.prefix) return a.prefix < b.prefix;
            const int c = r.CompareFrom(a.text, b.text, from);
            return c != 0 ? c < 0 : a.text < b.text;
        };
        if (!parallel_sort::Sort(r.order, whole, workers, r.shares, &g_bSearchAbort)) return RankOutcome::Aborted;
        return ConfirmAndRank(r, rank, workers);
    }

    // Runs too large for one share are taken a level further on every share
    // first; the rest are shared out whole.
    const size_t large = std::max<size_t>(65536, n / (2 * r.shares));
    std::vector<KeyRun> pending;
    auto findRuns = [&r](size_t begin, size_t end, size_t depth, std::vector<KeyRun>& out) {
        for (size_t i = begin; i < end;) {
            size_t j = i + 1;
            while (j < end && r.order[j].prefix == r.order[i].prefix) ++j;
            if (j - i > 1) out.push_back(KeyRun{i, j, depth});
            i = j;
        }
    };
    findRuns(0, n, common + 8, pending);
    while (!pending.empty()) {
        std::vector<KeyRun> next;
        for (const KeyRun& run : pending) {
            bool longer = false;
            if (run.end - run.begin >= large) {
                for (size_t k = run.begin; k < run.end; ++k) {
                    longer = longer || r.keyLength[r.order[k].text] > run.depth;
                    r.order[k].prefix = r.PrefixAt(r.order[k].text, run.depth);
                }
            }
            if (!longer) {
                r.runs.push_back(run);  // small, or every key ended: RefineRuns orders it
                continue;
            }
            if (!parallel_sort::Sort(r.order.data() + run.begin, run.end - run.begin, ByPrefix, workers, r.shares,
                                     &g_bSearchAbort)) {
                return RankOutcome::Aborted;
            }
            findRuns(run.begin, run.end, run.depth + 8, next);
        }
        pending.swap(next);
    }
    workers.Run(&RefineRuns, &r, r.shares);
    if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;
    return ConfirmAndRank(r, rank, workers);
}

// Confirms the order of the ranked keys with lstrcmpiA and gives the ranks.
RankOutcome ConfirmAndRank(Ranking& r, std::vector<uint32_t>& rank, CSearchWorkers& workers) {
    const TextSet& texts = *r.texts;
    const size_t n = r.order.size();

    // lstrcmpiA confirms the order of neighbours: a sample when the sort is
    // large, every pair when it is small or a sampled pair disagrees.
    r.neighbour.assign(n, 0);
    bool confirmedAll = false;
    auto agrees = [&r](size_t i, int c) {
        const int k = r.Compare(r.order[i - 1].text, r.order[i].text);
        return (k == 0) == (c == 0) && c <= 0;
    };
    const size_t kSampled = 512;
    if (n <= 4 * kSampled) {
        workers.Run(&CheckNeighbours, &r, r.shares);
        if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;
        confirmedAll = true;
    } else {
        const size_t step = n / kSampled;
        for (size_t i = 1; i < n; i += step) {
            const int c = ::lstrcmpiA(texts.Text(r.order[i - 1].text), texts.Text(r.order[i].text));
            if (!agrees(i, c)) {
                platform::Trace("SortThreadProc: a sampled pair disagrees with lstrcmpiA; checking every pair");
                ::InterlockedIncrement(&g_SortKeyDisagreements);
                workers.Run(&CheckNeighbours, &r, r.shares);
                if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;
                confirmedAll = true;
                break;
            }
        }
    }

    rank.resize(n);
    uint32_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            if (confirmedAll) {
                if (r.neighbour[i] > 0) return RankOutcome::Unconfirmed;
                if (r.neighbour[i] < 0) ++next;
            } else if (r.Compare(r.order[i - 1].text, r.order[i].text) != 0) {
                ++next;
            }
        }
        rank[r.order[i].text] = next;
    }
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
    if (key < SORT_BY_NAME || key > SORT_BY_TIME) {
        platform::Trace("SortThreadProc: unknown sort key %d", key);
        return 0;
    }
    const bool textKey = key == SORT_BY_NAME || key == SORT_BY_PATH || key == SORT_BY_TYPE;

    // What each row is ordered on: a number, or (text keys) the text's index
    // in `texts`, ranked below; directories of the type sort are marked.
    std::vector<SortPair> pairs(count);
    std::vector<uint32_t> textOf(textKey ? count : 0);
    std::vector<uint8_t> directory(key == SORT_BY_TYPE ? count : 0);
    TextSet texts;
    FolderTexts folders(texts);
    ExtensionTexts extensions(texts);
    uint32_t emptyText = kNoText;
    auto empty = [&] {
        if (emptyText == kNoText) emptyText = texts.AddPointer("");
        return emptyText;
    };
    CVolumeIndex::PathBuffer pathBuffer;
    for (size_t start = 0; start < count; start += kRowsPerLock) {
        if (g_bSearchAbort) return 0;
        platform::ScopedLock lock(recordLock_);
        if (ResultList.size() != count) return 0;  // can only follow a new search, which stops this sort
        const size_t end = std::min(count, start + kRowsPerLock);
        for (size_t i = start; i < end; ++i) {
            const SearchResult entry = ResultList[i];
            const CVolumeIndex* volume = GetVolume(entry.Volume);
            const IndexRecord* record = volume ? volume->GetRecord(entry.Slot) : nullptr;
            const char* name = record ? volume->GetName(*record) : nullptr;
            if (!name) record = nullptr;  // a row without a record sorts as an empty one
            pairs[i].position = static_cast<uint32_t>(i);
            switch (key) {
            case SORT_BY_NAME:
                textOf[i] = name ? texts.AddPointer(name) : empty();
                break;
            case SORT_BY_TYPE: {
                directory[i] = record && (record->Flags & IRF_DIRECTORY) != 0;
                textOf[i] = extensions.Of(ExtensionOf(name));
                break;
            }
            case SORT_BY_PATH: {
                if (!record) {
                    textOf[i] = empty();
                    break;
                }
                // A name holding a 0x5C byte (a trail byte) moves the cut.
                const size_t nameLength = std::strlen(name);
                uint32_t text = kNoText;
                if (!std::memchr(name, '\\', nameLength)) {
                    text = folders.Of(*volume, entry.Volume, record->FatherID);
                    if (text != kNoText && texts.length[text] + nameLength + kPathSlack >= CVolumeIndex::kPathBufferSize)
                        text = kNoText;
                }
                if (text == kNoText) {
                    const char* path = volume->GetFullPath(entry.Slot, pathBuffer);
                    const char* slash = std::strrchr(path, '\\');
                    text = texts.AddCopy(path, slash ? static_cast<size_t>(slash - path) : 0);
                }
                textOf[i] = text;
                break;
            }
            case SORT_BY_SIZE:
                pairs[i].key = record ? static_cast<uint64_t>(record->Size) : 0;
                break;
            case SORT_BY_TIME: {
                // Newest first: the larger the time, the smaller the number.
                const FILETIME time = record ? record->Time2 : FILETIME{};
                pairs[i].key = ~FileTimeValue(time);
                break;
            }
            }
        }
    }

    EnsureSearchWorkers();
    // Every helper takes part: on a busy machine more threads still get more
    // processor time for a sort of this length.
    const unsigned shares = searchWorkers_->Shares();
    if (textKey) {
        std::vector<uint32_t> rank;
        RankOutcome outcome = RankTexts(texts, rank, *searchWorkers_, shares);
        if (outcome == RankOutcome::Aborted) return 0;
        if (outcome == RankOutcome::Unconfirmed) {
            ::InterlockedIncrement(&g_SortKeyDisagreements);
            // The keys and lstrcmpiA disagree: order with lstrcmpiA itself.
            platform::Trace("SortThreadProc: sort keys disagree with lstrcmpiA; comparing directly");
            std::vector<uint32_t> order(count);
            for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
            try {
                std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
                    if (g_bSearchAbort) throw std::exception();
                    if (key == SORT_BY_TYPE && (directory[a] || directory[b])) return directory[a] && !directory[b];
                    return ::lstrcmpiA(texts.Text(textOf[a]), texts.Text(textOf[b])) < 0;
                });
            } catch (const std::exception&) {
                return 0;
            }
            for (size_t k = 0; k < count; ++k) pairs[order[k]].key = k;
        } else {
            for (size_t i = 0; i < count; ++i) {
                // Directories first (all equal), then files by extension.
                pairs[i].key = (key == SORT_BY_TYPE && directory[i]) ? 0 : uint64_t{rank[textOf[i]]} + 1;
            }
        }
    }
    if (!parallel_sort::Sort(pairs, std::less<SortPair>(), *searchWorkers_, shares, &g_bSearchAbort)) return 0;

    std::vector<SearchResult> sorted(count);
    {
        platform::ScopedLock lock(recordLock_);
        if (g_bSearchAbort || ResultList.size() != count) return 0;
        for (size_t k = 0; k < count; ++k) sorted[k] = ResultList[pairs[k].position];
        ResultList.swap(sorted);
        narrowBase_.Valid = false;  // no longer in candidate order
    }
    sorted_ = 1;
    PostSearchResults(count, static_cast<LPARAM>(-1));
    return 1;
}
