// Index manager: sorting the result list on one of five keys in a thread.
//
// Sizes and times are numbers: (number, row) pairs are sorted. Texts (names,
// extensions, containing folders) are ordered on their collation keys
// (CCollationKeys: the key the system would give a text, made from a
// per-character table), so texts are ordered as lstrcmpiA orders them, ties
// by text number. A name sort has one text per row, so that order is the
// stable order itself; other texts are ranked (texts lstrcmpiA calls equal
// share a rank) and the rows counted out by rank, which keeps the earlier
// order of equal texts. The path sort takes the order of the rows' folders
// from the folder tree (CFolderOrder); where the tree cannot give it, each
// distinct folder's text is composed once, on every share, and keyed whole.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>

#include "index/collation.h"
#include "index/folder_order.h"
#include "index/index_manager.h"
#include "index/parallel_sort.h"
#include "index/search_messages.h"
#include "index/search_workers.h"
#include "platform/trace.h"

volatile LONG g_SortKeyDisagreements = 0;

namespace {

constexpr size_t kRowsPerLock = 8192;
constexpr LONG kGatherGrain = 1024;
// Distinct texts of rows whose folder the tree gives no text, beyond which
// the path sort composes every folder's text instead (each of them is placed
// among the folders by halving).
constexpr size_t kMaxOtherTexts = 256;
constexpr uint32_t kNoText = 0xFFFFFFFFu;
// Runs of keys this short are ordered by comparing them whole.
constexpr size_t kCompareRun = 48;
// Keys of more bytes than this are copied in order after the first pass
// (fewer stay in the processor's caches wherever they are).
constexpr size_t kMoveKeysAbove = 16u << 20;
// Keys longer than this on average are sorted by comparing them whole.
constexpr size_t kLongKeyBytes = 96;

const char kNoExtension[] = "\x01";

// Set once a key from the table differed from the system's: from then on
// every key comes from the system, and the path sort keys folders whole.
volatile LONG g_tableDisproved = 0;

// The folder of a row whose full path GetFullPath wrote: what stands before
// its last 0x5C byte.
size_t FolderPartOf(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash ? static_cast<size_t>(slash - path) : 0;
}

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
// the sort first and names added at run time are never moved), a pointer
// into the sort's own folder texts, or a stretch of `block` (the texts of
// rows whose folder GetFullPath writes).
struct TextSet {
    std::vector<const char*> pointer;
    std::vector<uint32_t> at, length;  // in `block`, when pointer is null
    std::string block;

    uint32_t AddPointer(const char* text) { return AddPointer(text, std::strlen(text)); }
    uint32_t AddPointer(const char* text, size_t n) {
        pointer.push_back(text);
        at.push_back(0);
        length.push_back(static_cast<uint32_t>(n));
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
    const char* Text(uint32_t i) const { return pointer[i] ? pointer[i] : block.data() + at[i]; }
    size_t Size() const { return pointer.size(); }
};

// Folder texts as GetFullPath writes them ("X:\a\b" for the folder of
// "X:\a\b\file"), one per distinct folder of the rows, composed on every
// share: each folder's chain is followed up to the root on its own, as the
// folders near the root stay in the caches and the waits of many shares
// overlap. A chain that GetFullPath would not follow to the root plainly (a
// lost folder, a loop, a path near the length limit) gets no text here; its
// rows take the text from GetFullPath itself.
struct FolderCompose {
    const std::vector<const CVolumeIndex*>* volumes = nullptr;
    const uint16_t* volumeOf = nullptr;  // by folder
    const uint32_t* slotOf = nullptr;    // by folder
    size_t begin = 0, end = 0;           // the stretch of folders
    volatile LONG taken = 0;
    std::vector<std::string>* blocks = nullptr;  // by share: the texts, back to back, NUL-terminated
    uint32_t* at = nullptr;                      // by folder: where its text starts in its share's block
    uint32_t* length = nullptr;                  // by folder: kNoText when it has no text
    uint8_t* shareOf = nullptr;                  // by folder
};

// Writes the text of folder `slot` to `out`; false when it gets none.
bool ComposeFolder(const CVolumeIndex& volume, uint32_t slot, std::vector<std::pair<const char*, size_t>>& chain,
                   std::string& out) {
    chain.clear();
    const std::string& root = volume.Root();  // "X:\" without its backslash
    const size_t rootLength = root.size() > 0 ? root.size() - 1 : 0;
    size_t length = rootLength;
    for (uint32_t s = slot; s != kRootSlot;) {
        const IndexRecord* record = volume.GetRecord(s);
        const char* name = record ? volume.GetName(*record) : nullptr;
        if (chain.size() >= kMaxComposedDepth || !record || !(record->Flags & IRF_DIRECTORY) || !name || !*name)
            return false;
        const size_t n = std::strlen(name);
        length += 1 + n;
        if (length + kPathSlack >= CVolumeIndex::kPathBufferSize) return false;
        chain.emplace_back(name, n);
        s = record->FatherID;
    }
    out.append(root.data(), rootLength);
    for (size_t i = chain.size(); i-- > 0;) {
        out.push_back('\\');
        out.append(chain[i].first, chain[i].second);
    }
    return true;
}

void ComposeFolders(void* context, unsigned share) {
    FolderCompose& c = *static_cast<FolderCompose*>(context);
    std::string& block = (*c.blocks)[share];
    std::vector<std::pair<const char*, size_t>> chain;
    size_t from, to;
    while (NextGrain(c.taken, c.begin, c.end, kGatherGrain, &from, &to)) {
        for (size_t f = from; f < to; ++f) {
            const uint16_t v = c.volumeOf[f];
            const CVolumeIndex* volume = v < c.volumes->size() ? (*c.volumes)[v] : nullptr;
            const size_t start = block.size();
            c.length[f] = kNoText;
            if (!volume || !ComposeFolder(*volume, c.slotOf[f], chain, block)) {
                block.resize(start);
                continue;
            }
            c.at[f] = static_cast<uint32_t>(start);
            c.length[f] = static_cast<uint32_t>(block.size() - start);
            c.shareOf[f] = static_cast<uint8_t>(share);
            block.push_back('\0');  // lstrcmpiA reads it as a NUL-terminated text
        }
    }
}

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
    std::vector<std::string> moved;   // the same, being copied in order
    std::vector<size_t> agreed;       // by share: bytes its keys share with the first key
    size_t common = 0;                // bytes every key shares with the first
    std::vector<uint32_t> keyAt, keyLength;
    std::vector<uint8_t> keyShare;
    std::vector<uint8_t> emulated;  // the key came from the table
    std::vector<KeyRef> order;
    std::vector<KeyRun> runs;  // of keys equal so far, left to RefineRuns
    std::vector<int8_t> neighbour;  // sign of the comparison of order[i-1] and order[i]
    bool checkedAll = false;        // neighbour holds lstrcmpiA's answers for every pair
    const std::vector<uint32_t>* subset = nullptr;  // the texts to order; null: all of them
    volatile bool aborted = false;

    size_t Count() const { return subset ? subset->size() : texts->Size(); }
    uint32_t TextAt(size_t i) const { return subset ? (*subset)[i] : static_cast<uint32_t>(i); }

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
            const int c = CompareBytes(Key(a) + depth, Key(b) + depth, shorter - depth);
            if (c != 0) return c;
        }
        return la < lb ? -1 : la > lb ? 1 : 0;
    }
    int Compare(uint32_t a, uint32_t b) const { return CompareFrom(a, b, 0); }
    // The depth up to which the keys of order[begin, end), which agree before
    // `depth`, all agree: the keys of one deep folder's subfolders share
    // hundreds of bytes, which are then skipped at once.
    size_t AgreeFrom(size_t begin, size_t end, size_t depth) const {
        const uint32_t first = order[begin].text;
        const unsigned char* a = Key(first);
        size_t limit = keyLength[first];
        for (size_t k = begin + 1; k < end && limit > depth; ++k) {
            const uint32_t t = order[k].text;
            limit = std::min<size_t>(limit, keyLength[t]);
            limit = depth + MatchingBytes(a + depth, Key(t) + depth, limit - depth);
        }
        return std::max(depth, limit);
    }
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
        const size_t depth = r.AgreeFrom(range.begin, range.end, range.depth);
        bool longer = false;
        for (size_t k = range.begin; k < range.end; ++k) {
            longer = longer || r.keyLength[order[k].text] > depth;
            order[k].prefix = r.PrefixAt(order[k].text, depth);
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
        pushRuns(range.begin, range.end, depth + 8);
    }
}

// Each share's part of two passes: how far its keys agree with the first
// text's, then the first prefixes of `order` from where all keys differ.
void AgreeWithFirst(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.Count();
    const size_t from = n * share / r.shares, to = n * (share + 1) / r.shares;
    if (n == 0) return;
    const uint32_t first = r.TextAt(0);
    const unsigned char* key = r.Key(first);
    size_t agreed = r.keyLength[first];
    for (size_t i = from; i < to && agreed > 0; ++i) {
        const uint32_t t = r.TextAt(i);
        agreed = MatchingBytes(key, r.Key(t), std::min<size_t>(agreed, r.keyLength[t]));
    }
    r.agreed[share] = agreed;
}

void FillOrder(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.Count();
    for (size_t i = n * share / r.shares, to = n * (share + 1) / r.shares; i < to; ++i) {
        const uint32_t t = r.TextAt(i);
        r.order[i] = KeyRef{r.PrefixAt(t, r.common), t};
    }
}

// Copies the keys into new blocks in the order of `order`, each share one
// stretch of it: the keys of a run then lie together, and ordering a run
// reads its keys in turn rather than all over the blocks.
void MoveKeys(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.order.size();
    const size_t from = n * share / r.shares, to = n * (share + 1) / r.shares;
    size_t bytes = 0;
    for (size_t k = from; k < to; ++k) bytes += r.keyLength[r.order[k].text];
    std::string& block = r.moved[share];
    block.resize(bytes);
    size_t at = 0;
    for (size_t k = from; k < to; ++k) {
        const uint32_t t = r.order[k].text;
        std::memcpy(&block[at], r.Key(t), r.keyLength[t]);
        r.keyAt[t] = static_cast<uint32_t>(at);
        r.keyShare[t] = static_cast<uint8_t>(share);
        at += r.keyLength[t];
    }
}

void MakeKeys(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.Count();
    const size_t from = n * share / r.shares, to = n * (share + 1) / r.shares;
    std::string& block = r.blocks[share];
    // Room for the keys of this share's texts, guessed from their lengths, so
    // that the block seldom moves while it grows.
    size_t guess = 0;
    for (size_t i = from; i < to; ++i) guess += 2 * r.texts->length[r.TextAt(i)] + 8;
    block.reserve(guess);
    std::vector<wchar_t> wide;
    for (size_t i = from; i < to; ++i) {
        if ((i & 1023) == 0 && g_bSearchAbort) {
            r.aborted = true;
            return;
        }
        const uint32_t t = r.TextAt(i);
        const char* text = r.texts->Text(t);
        const size_t length = r.texts->length[t];
        const size_t at = block.size();
        r.emulated[t] = r.table && r.table->AppendKey(text, length, block, wide);
        if (!r.emulated[t]) CCollationKeys::AppendSystemKey(r.locale, text, length, block);
        r.keyShare[t] = static_cast<uint8_t>(share);
        r.keyAt[t] = static_cast<uint32_t>(at);
        r.keyLength[t] = static_cast<uint32_t>(block.size() - at);
    }
}

// Each share's part of the neighbours: the sign of lstrcmpiA, or of the keys'
// comparison, of order[i-1] and order[i].
template <bool System>
void CompareNeighbours(void* context, unsigned share) {
    Ranking& r = *static_cast<Ranking*>(context);
    const size_t n = r.order.size();
    const size_t from = std::max<size_t>(1, n * share / r.shares), to = n * (share + 1) / r.shares;
    for (size_t i = from; i < to; ++i) {
        if ((i & 1023) == 0 && g_bSearchAbort) {
            r.aborted = true;
            return;
        }
        const uint32_t a = r.order[i - 1].text, b = r.order[i].text;
        const int c = System ? ::lstrcmpiA(r.texts->Text(a), r.texts->Text(b)) : r.Compare(a, b);
        r.neighbour[i] = static_cast<int8_t>(c < 0 ? -1 : c > 0 ? 1 : 0);
    }
}

enum class RankOutcome { Ranked, Unconfirmed, Aborted };
RankOutcome ConfirmOrder(Ranking& r, CSearchWorkers& workers);

// Orders the texts to be ranked on their keys (ties by text number) and
// confirms the order with lstrcmpiA.
RankOutcome OrderTexts(Ranking& r, CSearchWorkers& workers, unsigned shares) {
    const TextSet& texts = *r.texts;
    r.table = g_tableDisproved ? nullptr : CCollationKeys::Get(workers);
    r.locale = r.table ? r.table->Locale() : ::GetThreadLocale();
    const size_t n = r.Count();
    // Few texts are keyed and checked faster than helpers wake up.
    r.shares = n < 2048 ? 1 : std::min<unsigned>(shares, 255);
    r.blocks.assign(r.shares, std::string());
    r.keyAt.resize(texts.Size());
    r.keyLength.resize(texts.Size());
    r.keyShare.resize(texts.Size());
    r.emulated.resize(texts.Size());
    workers.Run(&MakeKeys, &r, r.shares);
    if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;

    // A few keys from the table are compared with the system's, byte for byte.
    if (r.table) {
        std::string system;
        const size_t step = std::max<size_t>(1, n / 64);
        for (size_t i = 0; i < n; i += step) {
            const uint32_t t = r.TextAt(i);
            if (!r.emulated[t]) continue;
            system.clear();
            CCollationKeys::AppendSystemKey(r.locale, texts.Text(t), texts.length[t], system);
            if (system.size() != r.keyLength[t] || std::memcmp(system.data(), r.Key(t), system.size()) != 0) {
                platform::Trace("SortThreadProc: a table key differs from the system's; keys from the system from now on");
                ::InterlockedExchange(&g_tableDisproved, 1);
                return OrderTexts(r, workers, shares);
            }
        }
    }

    // The first pass starts where the keys begin to differ at all: the
    // results of one search often share their first letters.
    r.agreed.assign(r.shares, 0);
    workers.Run(&AgreeWithFirst, &r, r.shares);
    r.common = n > 0 ? *std::min_element(r.agreed.begin(), r.agreed.end()) : 0;
    r.order.resize(n);
    workers.Run(&FillOrder, &r, r.shares);
    if (!parallel_sort::Sort(r.order, ByPrefix, workers, r.shares, &g_bSearchAbort)) return RankOutcome::Aborted;
    size_t totalLength = 0;
    for (size_t i = 0; i < n; ++i) totalLength += r.keyLength[r.TextAt(i)];
    if (totalLength > kMoveKeysAbove) {
        r.moved.assign(r.shares, std::string());
        workers.Run(&MoveKeys, &r, r.shares);
        r.blocks.swap(r.moved);
        r.moved.clear();
        if (g_bSearchAbort) return RankOutcome::Aborted;
    }
    // Long keys (paths) are compared whole: keys of one folder's subfolders
    // agree on most of their bytes, which 8 at a time would take many rounds.
    if (totalLength > kLongKeyBytes * n) {
        const size_t from = r.common + 8;
        auto whole = [&r, from](const KeyRef& a, const KeyRef& b) {
            if (a.prefix != b.prefix) return a.prefix < b.prefix;
            const int c = r.CompareFrom(a.text, b.text, from);
            return c != 0 ? c < 0 : a.text < b.text;
        };
        if (!parallel_sort::Sort(r.order, whole, workers, r.shares, &g_bSearchAbort)) return RankOutcome::Aborted;
        return ConfirmOrder(r, workers);
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
    findRuns(0, n, r.common + 8, pending);
    while (!pending.empty()) {
        std::vector<KeyRun> next;
        for (const KeyRun& run : pending) {
            bool longer = false;
            size_t depth = run.depth;
            if (run.end - run.begin >= large) {
                depth = r.AgreeFrom(run.begin, run.end, run.depth);
                for (size_t k = run.begin; k < run.end; ++k) {
                    longer = longer || r.keyLength[r.order[k].text] > depth;
                    r.order[k].prefix = r.PrefixAt(r.order[k].text, depth);
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
            findRuns(run.begin, run.end, depth + 8, next);
        }
        pending.swap(next);
    }
    workers.Run(&RefineRuns, &r, r.shares);
    if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;
    return ConfirmOrder(r, workers);
}

// lstrcmpiA confirms the order of neighbours: a sample when the sort is
// large, every pair when it is small or a sampled pair disagrees (then
// `neighbour` holds its answers and `checkedAll` is set).
RankOutcome ConfirmOrder(Ranking& r, CSearchWorkers& workers) {
    const TextSet& texts = *r.texts;
    const size_t n = r.order.size();
    r.checkedAll = false;
    auto agrees = [&r](size_t i, int c) {
        const int k = r.Compare(r.order[i - 1].text, r.order[i].text);
        return (k == 0) == (c == 0) && c <= 0;
    };
    auto checkAll = [&r, &workers, n] {
        r.neighbour.assign(n, 0);
        workers.Run(&CompareNeighbours<true>, &r, r.shares);
        r.checkedAll = true;
        return !(r.aborted || g_bSearchAbort);
    };
    const size_t kSampled = 512;
    if (n <= 4 * kSampled) return checkAll() ? RankOutcome::Ranked : RankOutcome::Aborted;
    const size_t step = n / kSampled;
    for (size_t i = 1; i < n; i += step) {
        const int c = ::lstrcmpiA(texts.Text(r.order[i - 1].text), texts.Text(r.order[i].text));
        if (!agrees(i, c)) {
            platform::Trace("SortThreadProc: a sampled pair disagrees with lstrcmpiA; checking every pair");
            ::InterlockedIncrement(&g_SortKeyDisagreements);
            return checkAll() ? RankOutcome::Ranked : RankOutcome::Aborted;
        }
    }
    return RankOutcome::Ranked;
}

// Ranks of the ordered texts: equal for texts that compare equal (by
// lstrcmpiA when it checked every pair, else by their keys), increasing.
RankOutcome RankOrdered(Ranking& r, std::vector<uint32_t>& rank, uint32_t* ranks, CSearchWorkers& workers) {
    const size_t n = r.order.size();
    if (!r.checkedAll) {
        r.neighbour.assign(n, 0);
        workers.Run(&CompareNeighbours<false>, &r, r.shares);
        if (r.aborted || g_bSearchAbort) return RankOutcome::Aborted;
    }
    rank.resize(r.texts->Size());
    uint32_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            if (r.neighbour[i] > 0) return RankOutcome::Unconfirmed;
            if (r.neighbour[i] < 0) ++next;
        }
        rank[r.order[i].text] = next;
    }
    *ranks = n > 0 ? next + 1 : 0;
    return RankOutcome::Ranked;
}

// The rows in order of their groups, rows of one group in their earlier
// order: a counting sort.
void OrderByGroup(const std::vector<uint32_t>& groupOf, uint32_t groups, std::vector<uint32_t>& positions) {
    std::vector<uint32_t> start(groups + 1, 0);
    for (uint32_t g : groupOf) ++start[g + 1];
    for (uint32_t g = 0; g < groups; ++g) start[g + 1] += start[g];
    positions.resize(groupOf.size());
    for (size_t i = 0; i < groupOf.size(); ++i) positions[start[groupOf[i]]++] = static_cast<uint32_t>(i);
}

// What the rows' records give a sort, read on every share while the sort
// thread holds the record lock for one stretch of rows: the memory waits of
// many rows overlap, where one thread would wait for each record and name.
enum RowKind : uint8_t { kRowInFolder, kRowWithoutRecord, kRowPathNeeded };
struct RowGather {
    int key = SORT_NONE;
    const SearchResult* results = nullptr;
    const std::vector<const CVolumeIndex*>* volumes = nullptr;
    size_t begin = 0, end = 0;  // the stretch
    volatile LONG taken = 0;    // rows of the stretch handed out
    // By row:
    TextSet* names = nullptr;          // name sort: text i is row i's name
    uint32_t* father = nullptr;        // path sort: the containing folder's slot
    uint32_t* nameLength = nullptr;    // path sort
    uint8_t* kind = nullptr;           // path sort: a RowKind
    const char** extension = nullptr;  // type sort
    uint8_t* directory = nullptr;      // type sort
    SortPair* pairs = nullptr;         // size and time sorts
};

void GatherRows(void* context, unsigned /*share*/) {
    RowGather& g = *static_cast<RowGather*>(context);
    size_t from, to;
    while (NextGrain(g.taken, g.begin, g.end, kGatherGrain, &from, &to)) {
        for (size_t i = from; i < to; ++i) {
            const SearchResult entry = g.results[i];
            const CVolumeIndex* volume = entry.Volume < g.volumes->size() ? (*g.volumes)[entry.Volume] : nullptr;
            const IndexRecord* record = volume ? volume->GetRecord(entry.Slot) : nullptr;
            const char* name = record ? volume->GetName(*record) : nullptr;
            if (!name) record = nullptr;  // a row without a record sorts as an empty one
            switch (g.key) {
            case SORT_BY_NAME:
                g.names->pointer[i] = name ? name : "";
                g.names->length[i] = name ? static_cast<uint32_t>(std::strlen(name)) : 0;
                break;
            case SORT_BY_TYPE:
                g.directory[i] = record && (record->Flags & IRF_DIRECTORY) != 0;
                g.extension[i] = ExtensionOf(name);
                break;
            case SORT_BY_PATH:
                if (!record) {
                    g.kind[i] = kRowWithoutRecord;
                    g.pairs[i] = SortPair{~uint64_t{0}, static_cast<uint32_t>(i)};
                    break;
                }
                g.nameLength[i] = static_cast<uint32_t>(std::strlen(name));
                g.father[i] = record->FatherID;
                // A name holding a 0x5C byte (a trail byte) moves the cut.
                g.kind[i] = std::memchr(name, '\\', g.nameLength[i]) ? kRowPathNeeded : kRowInFolder;
                g.pairs[i] = SortPair{(uint64_t{entry.Volume} << 32) | record->FatherID, static_cast<uint32_t>(i)};
                break;
            case SORT_BY_SIZE:
                g.pairs[i] = SortPair{record ? static_cast<uint64_t>(record->Size) : 0, static_cast<uint32_t>(i)};
                break;
            case SORT_BY_TIME: {
                // Newest first: the larger the time, the smaller the number.
                const FILETIME time = record ? record->Time2 : FILETIME{};
                g.pairs[i] = SortPair{~FileTimeValue(time), static_cast<uint32_t>(i)};
                break;
            }
            }
        }
    }
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
    // in `texts`, ordered below; directories of the type sort are marked.
    // Name texts are the rows themselves (text i is row i).
    std::vector<SortPair> pairs(textKey && key != SORT_BY_PATH ? 0 : count);
    std::vector<uint32_t> textOf(textKey ? count : 0);
    std::vector<uint8_t> directory(key == SORT_BY_TYPE ? count : 0);
    TextSet texts;
    std::vector<std::string> folderBlocks;  // path sort: texts of folders, NUL-terminated, by share
    ExtensionTexts extensions(texts);
    // The path sort orders only the texts of rows' folders, not those of
    // folders composed on the way to them.
    std::vector<uint32_t> rowTexts;
    std::vector<uint8_t> isRowText;
    auto rowText = [&](uint32_t text) {
        if (text >= isRowText.size()) isRowText.resize(std::max<size_t>(text + 1, 2 * isRowText.size()), 0);
        if (!isRowText[text]) {
            isRowText[text] = 1;
            rowTexts.push_back(text);
        }
        return text;
    };
    uint32_t emptyText = kNoText;
    auto empty = [&] {
        if (emptyText == kNoText) emptyText = texts.AddPointer("");
        return emptyText;
    };
    EnsureSearchWorkers();
    // Every helper takes part: on a busy machine more threads still get more
    // processor time for a sort of this length.
    const unsigned shares = searchWorkers_->Shares();

    std::vector<uint32_t> father, nameLength;
    // Path sort: the rows' distinct folders, and each row's.
    std::vector<uint16_t> folderVolume;
    std::vector<uint32_t> folderSlot, rowFolder;
    // Row k of the sorted list is row positions[k] of the list now; `ordered`
    // once they are known.
    std::vector<uint32_t> positions;
    bool ordered = false;
    std::vector<uint8_t> kind;
    std::vector<const char*> extension;
    std::vector<const CVolumeIndex*> volumes;
    RowGather gather;
    gather.key = key;
    gather.volumes = &volumes;
    // The rows are read in many short rounds: only processors idle now are
    // worth waking for them.
    const unsigned gatherShares = count < kRowsPerLock ? 1 : searchWorkers_->SharesForNow();
    gather.pairs = pairs.data();
    gather.directory = directory.data();
    if (key == SORT_BY_NAME) {
        texts.pointer.resize(count);
        texts.at.assign(count, 0);
        texts.length.resize(count);
        gather.names = &texts;
    } else if (key == SORT_BY_TYPE) {
        extension.resize(count);
        gather.extension = extension.data();
    } else if (key == SORT_BY_PATH) {
        father.resize(count);
        nameLength.resize(count);
        kind.resize(count);
        gather.father = father.data();
        gather.nameLength = nameLength.data();
        gather.kind = kind.data();
    }
    // Runs a job over [0, total) on the workers, a stretch at a time under the
    // record lock. A stretch gives each share about kRowsPerLock items, so
    // that the lock is held about as long as one thread takes for that many;
    // a long list is taken in at most 32 stretches, as every round costs a
    // wait for the slowest share. False when the sort was stopped.
    auto inStretches = [&](size_t total, unsigned jobShares, auto&& runStretch) {
        const size_t stretch = std::max(kRowsPerLock * jobShares, total / 32 + 1);
        for (size_t start = 0; start < total; start += stretch) {
            if (g_bSearchAbort) return false;
            platform::ScopedLock lock(recordLock_);
            if (ResultList.size() != count) return false;  // can only follow a new search, which stops this sort
            volumes.clear();
            for (size_t v = 0; v < VolumeCount(); ++v) volumes.push_back(GetVolume(v));
            runStretch(start, std::min(total, start + stretch));
        }
        return true;
    };
    const bool gathered = inStretches(count, gatherShares, [&](size_t begin, size_t end) {
        gather.results = ResultList.data();
        gather.begin = begin;
        gather.end = end;
        gather.taken = 0;
        searchWorkers_->Run(&GatherRows, &gather, gatherShares);
    });
    if (!gathered) return 0;
    if (key == SORT_BY_NAME) {
        for (size_t i = 0; i < count; ++i) textOf[i] = static_cast<uint32_t>(i);
    } else if (key == SORT_BY_TYPE) {
        for (size_t i = 0; i < count; ++i) textOf[i] = extensions.Of(extension[i]);
    } else if (key == SORT_BY_PATH) {
        // The rows are taken folder by folder: each distinct folder is
        // taken once, and the folders' records are read in the order they
        // are stored.
        if (!parallel_sort::Sort(pairs, std::less<SortPair>(), *searchWorkers_, shares, &g_bSearchAbort)) return 0;
        rowFolder.assign(count, kNoText);
        uint64_t lastFolder = 0;
        for (size_t k = 0; k < count; ++k) {
            const size_t i = pairs[k].position;
            if (kind[i] != kRowInFolder) continue;
            if (folderSlot.empty() || pairs[k].key != lastFolder) {
                lastFolder = pairs[k].key;
                folderVolume.push_back(static_cast<uint16_t>(pairs[k].key >> 32));
                folderSlot.push_back(static_cast<uint32_t>(pairs[k].key));
            }
            rowFolder[i] = static_cast<uint32_t>(folderSlot.size() - 1);
        }
        const size_t folderCount = folderSlot.size();
        // The order comes from the folder tree where it can: no folder's
        // text is composed or keyed whole unless it has to be.
        const CCollationKeys* table = g_tableDisproved ? nullptr : CCollationKeys::Get(*searchWorkers_);
        std::unique_ptr<CFolderOrder> tree;
        if (table) {
            tree.reset(new CFolderOrder(*table, *searchWorkers_, shares, &g_bSearchAbort));
            if (!inStretches(folderCount, gatherShares, [&](size_t begin, size_t end) {
                    tree->Take(volumes, folderVolume.data(), folderSlot.data(), begin, end, gatherShares);
                })) {
                return 0;
            }
        }
        if (tree && tree->Link(volumes, folderVolume.data(), folderSlot.data(), folderCount)) {
            // Rows whose folder has no text from the tree take GetFullPath's,
            // or none when they have no record.
            std::vector<std::string> others;
            std::unordered_map<std::string, uint32_t> otherOf;
            std::vector<uint32_t> rowOther(count, kNoText);
            CVolumeIndex::PathBuffer pathBuffer;
            bool tooMany = false;
            for (size_t start = 0; start < count && !tooMany; start += kRowsPerLock) {
                if (g_bSearchAbort) return 0;
                platform::ScopedLock lock(recordLock_);
                if (ResultList.size() != count) return 0;
                for (size_t i = start; i < std::min(count, start + kRowsPerLock) && !tooMany; ++i) {
                    const uint32_t folderLength = rowFolder[i] != kNoText ? tree->TextLength(rowFolder[i]) : kNoText;
                    if (folderLength != kNoText && folderLength + nameLength[i] + kPathSlack < CVolumeIndex::kPathBufferSize)
                        continue;
                    std::string text;
                    if (kind[i] != kRowWithoutRecord) {
                        const CVolumeIndex* volume = GetVolume(ResultList[i].Volume);
                        const char* path = volume ? volume->GetFullPath(ResultList[i].Slot, pathBuffer) : "";
                        text.assign(path, FolderPartOf(path));
                    }
                    auto found = otherOf.emplace(text, static_cast<uint32_t>(others.size()));
                    if (found.second) others.push_back(text);
                    rowOther[i] = found.first->second;
                    tooMany = others.size() > kMaxOtherTexts;
                }
            }
            std::vector<uint32_t> folderRank(folderCount, 0), otherRank(others.size(), 0);
            uint32_t ranks = 0;
            const CFolderOrder::Outcome outcome =
                tooMany ? CFolderOrder::Outcome::Declined : tree->Rank(others, folderRank, otherRank, &ranks);
            if (outcome == CFolderOrder::Outcome::Aborted) return 0;
            if (outcome == CFolderOrder::Outcome::Ranked) {
                std::vector<uint32_t> groupOf(count);
                for (size_t i = 0; i < count; ++i)
                    groupOf[i] = rowOther[i] != kNoText ? otherRank[rowOther[i]] : folderRank[rowFolder[i]];
                OrderByGroup(groupOf, ranks, positions);
                ordered = true;
            }
        }
    }
    if (key == SORT_BY_PATH && !ordered) {
        const size_t folderCount = folderSlot.size();
        // Few folders are composed faster than helpers wake up.
        const unsigned composeShares = folderCount < 1024 ? 1 : std::min(255u, gatherShares);
        folderBlocks.assign(composeShares, std::string());
        std::vector<uint32_t> folderAt(folderCount), folderLength(folderCount);
        std::vector<uint8_t> folderShare(folderCount);
        FolderCompose compose;
        compose.volumes = &volumes;
        compose.volumeOf = folderVolume.data();
        compose.slotOf = folderSlot.data();
        compose.blocks = &folderBlocks;
        compose.at = folderAt.data();
        compose.length = folderLength.data();
        compose.shareOf = folderShare.data();
        const bool composed = inStretches(folderCount, composeShares, [&](size_t begin, size_t end) {
            compose.begin = begin;
            compose.end = end;
            compose.taken = 0;
            searchWorkers_->Run(&ComposeFolders, &compose, composeShares);
        });
        if (!composed) return 0;
        // The texts stay in the shares' blocks, which outlive the sort's use of them.
        std::vector<uint32_t> folderText(folderCount, kNoText);
        for (size_t f = 0; f < folderCount; ++f) {
            if (folderLength[f] != kNoText)
                folderText[f] = texts.AddPointer(folderBlocks[folderShare[f]].data() + folderAt[f], folderLength[f]);
        }

        CVolumeIndex::PathBuffer pathBuffer;
        for (size_t start = 0; start < count; start += kRowsPerLock) {
            if (g_bSearchAbort) return 0;
            platform::ScopedLock lock(recordLock_);
            if (ResultList.size() != count) return 0;
            const size_t end = std::min(count, start + kRowsPerLock);
            for (size_t k = start; k < end; ++k) {
                const size_t i = pairs[k].position;
                if (kind[i] == kRowWithoutRecord) {
                    textOf[i] = rowText(empty());
                    continue;
                }
                uint32_t text = rowFolder[i] != kNoText ? folderText[rowFolder[i]] : kNoText;
                if (text != kNoText && texts.length[text] + nameLength[i] + kPathSlack >= CVolumeIndex::kPathBufferSize)
                    text = kNoText;
                if (text == kNoText) {
                    const SearchResult entry = ResultList[i];
                    const CVolumeIndex* volume = GetVolume(entry.Volume);
                    const char* path = volume ? volume->GetFullPath(entry.Slot, pathBuffer) : "";
                    text = texts.AddCopy(path, FolderPartOf(path));
                }
                textOf[i] = rowText(text);
            }
        }
    }

    if (textKey && !ordered) {
        Ranking r;
        r.texts = &texts;
        if (key == SORT_BY_PATH) r.subset = &rowTexts;
        RankOutcome outcome = OrderTexts(r, *searchWorkers_, shares);
        if (outcome == RankOutcome::Ranked && key == SORT_BY_NAME && !r.checkedAll) {
            // One text per row, ordered by key and then by row: the stable
            // order already.
            positions.resize(count);
            for (size_t k = 0; k < count; ++k) positions[k] = r.order[k].text;
        } else if (outcome == RankOutcome::Ranked) {
            std::vector<uint32_t> rank;
            uint32_t ranks = 0;
            outcome = RankOrdered(r, rank, &ranks, *searchWorkers_);
            if (outcome == RankOutcome::Ranked) {
                // Directories first (all equal), then files by extension.
                std::vector<uint32_t> groupOf(count);
                for (size_t i = 0; i < count; ++i)
                    groupOf[i] = (key == SORT_BY_TYPE && directory[i]) ? 0 : rank[textOf[i]] + 1;
                OrderByGroup(groupOf, ranks + 1, positions);
            }
        }
        if (outcome == RankOutcome::Aborted) return 0;
        if (outcome == RankOutcome::Unconfirmed) {
            ::InterlockedIncrement(&g_SortKeyDisagreements);
            // The keys and lstrcmpiA disagree: order with lstrcmpiA itself.
            platform::Trace("SortThreadProc: sort keys disagree with lstrcmpiA; comparing directly");
            positions.resize(count);
            for (size_t i = 0; i < count; ++i) positions[i] = static_cast<uint32_t>(i);
            try {
                std::stable_sort(positions.begin(), positions.end(), [&](uint32_t a, uint32_t b) {
                    if (g_bSearchAbort) throw std::exception();
                    if (key == SORT_BY_TYPE && (directory[a] || directory[b])) return directory[a] && !directory[b];
                    return ::lstrcmpiA(texts.Text(textOf[a]), texts.Text(textOf[b])) < 0;
                });
            } catch (const std::exception&) {
                return 0;
            }
        }
    } else if (!ordered) {
        if (!parallel_sort::Sort(pairs, std::less<SortPair>(), *searchWorkers_, shares, &g_bSearchAbort)) return 0;
        positions.resize(count);
        for (size_t k = 0; k < count; ++k) positions[k] = pairs[k].position;
    }

    std::vector<SearchResult> sorted(count);
    {
        platform::ScopedLock lock(recordLock_);
        if (g_bSearchAbort || ResultList.size() != count) return 0;
        for (size_t k = 0; k < count; ++k) sorted[k] = ResultList[positions[k]];
        ResultList.swap(sorted);
        narrowBase_.Valid = false;  // no longer in candidate order
    }
    sorted_ = 1;
    PostSearchResults(count, static_cast<LPARAM>(-1));
    return 1;
}
