// Index manager: starting a search, the full and the narrowing search, and
// the result accessors.
#include <mbstring.h>

#include <algorithm>
#include <cstring>

#include "index/index_manager.h"
#include "index/name_batch.h"
#include "index/search_messages.h"
#include "index/search_workers.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace {

// A search round: the search thread holds the record lock while the helper
// threads match its chunks -- about a millisecond, so the journal thread and
// the windows never wait long.
constexpr uint32_t kChunkRecords = 4096;
constexpr uint32_t kChunksPerRound = 32;

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
    if (!searchGo_ || !searchIdle_) {
        platform::Trace("StartSearch: no events for the search thread");
        return 1;
    }
    if (!searchThread_.IsRunning()) {
        searchThread_.Close();
        if (!searchThread_.Start(&CIndexManager::SearchLoopProc, this)) {
            platform::Trace("StartSearch: the search thread did not start");
            return 1;
        }
    }
    ::ResetEvent(searchIdle_.Get());
    ::SetEvent(searchGo_.Get());
    return 1;
}

void CIndexManager::WaitForSearch() {
    if (searchThread_.IsRunning() && searchIdle_) ::WaitForSingleObject(searchIdle_.Get(), INFINITE);
}

bool CIndexManager::IsSearchRunning() const {
    return searchThread_.IsRunning() && searchIdle_ && ::WaitForSingleObject(searchIdle_.Get(), 0) == WAIT_TIMEOUT;
}

void CIndexManager::StopSearchThread() {
    ::InterlockedExchange(&searchStop_, 1);
    WaitForSearch();
    ::InterlockedExchange(&searchStop_, 0);
}

void CIndexManager::EndSearchThread() {
    StopSearchThread();
    ::InterlockedExchange(&searchQuit_, 1);
    if (searchGo_) ::SetEvent(searchGo_.Get());
    searchThread_.Join();
    searchThread_.Close();
}

unsigned __stdcall CIndexManager::SearchLoopProc(void* manager) {
    auto* self = static_cast<CIndexManager*>(manager);
    for (;;) {
        ::WaitForSingleObject(self->searchGo_.Get(), INFINITE);
        if (self->searchQuit_) return 0;
        SearchThreadProc(manager);
        ::SetEvent(self->searchIdle_.Get());
    }
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

// Working storage of one share (one thread) of a search, and the output of
// one chunk of a round; kept between searches so that a search allocates
// nothing per record and little per run.
struct SearchShare {
    MatchScratch scratch;
    std::vector<NameBatchEntry> batch = std::vector<NameBatchEntry>(kChunkRecords);
    CNameBatch names;
    CVolumeIndex::PathBuffer pathBuffer;
    std::vector<wchar_t> widePath = std::vector<wchar_t>(CVolumeIndex::kPathBufferSize + 1);
};

// Sized for a whole chunk once, and written through plain stores: appending
// element by element costs more than the matching itself.
struct SearchChunk {
    std::vector<SearchResult> candidates = std::vector<SearchResult>(kChunkRecords);
    std::vector<SearchResult> results = std::vector<SearchResult>(kChunkRecords);
    uint32_t candidateCount = 0;
    uint32_t count = 0;  // results
    uint32_t deleted = 0;
};

struct SearchShares {
    std::vector<std::unique_ptr<SearchShare>> shares;
    // Two sets of a round's chunks: the helpers fill one while the search
    // thread appends the other, from the round before, to the lists.
    std::vector<SearchChunk> chunks = std::vector<SearchChunk>(2 * kChunksPerRound);
    SearchChunk* ChunkSet(unsigned round) { return chunks.data() + (round % 2) * kChunksPerRound; }
};

namespace {

// Where the chunk outputs go. Each round's outputs get their places in the
// lists between rounds, and are copied there by the next round's threads, as
// the first parts of that round (or by a last round of copies alone), so the
// copying is shared like the matching. The lists are not emptied first: they
// only grow where the new contents reach beyond the old and are cut to the
// written length at the end, so storage kept from the search before is
// written once, not cleared and then written.
struct ListSink {
    std::vector<SearchResult>* candidates;  // null when the candidates stay
    std::vector<SearchResult>* results;
    size_t candidateCount = 0;  // entries placed in each list so far
    size_t count = 0;
    uint32_t deleted = 0;
    const SearchChunk* pending = nullptr;  // the previous round's outputs
    unsigned pendingChunks = 0;
    size_t candidateAt[kChunksPerRound] = {};  // their places
    size_t resultAt[kChunksPerRound] = {};

    // Under the record lock, while no round runs.
    void Place() {
        for (unsigned c = 0; c < pendingChunks; ++c) {
            const SearchChunk& out = pending[c];
            candidateAt[c] = candidateCount;
            resultAt[c] = count;
            candidateCount += out.candidateCount;
            count += out.count;
            deleted += out.deleted;
        }
        if (candidates && candidates->size() < candidateCount) candidates->resize(candidateCount);
        if (results->size() < count) results->resize(count);
    }
    void Copy(unsigned c) const {
        const SearchChunk& out = pending[c];
        if (candidates && out.candidateCount) {
            std::memcpy(candidates->data() + candidateAt[c], out.candidates.data(),
                        out.candidateCount * sizeof(SearchResult));
        }
        if (out.count) std::memcpy(results->data() + resultAt[c], out.results.data(), out.count * sizeof(SearchResult));
    }
    // Cuts the lists to what was written: everything placed, as every round
    // copies what was placed before it (also after a stop).
    void Trim() {
        if (candidates) candidates->resize(candidateCount);
        results->resize(count);
    }
};

// The expression library takes a block from one cache shared by all threads
// for every match, so threads matching expressions only queue for it: one
// thread is faster there -- unless a literal scan leaves the expression only
// the few names that hold the literal.
unsigned SharesFor(CSearchWorkers& workers, const CSearchQuery& query) {
    return query.IsRegex && !query.Prefilter().usable ? 1 : workers.SharesForNow();
}

// What every round shares: its chunks, taken in turn by the threads (a busy
// processor then holds up no one), and where their output goes. The parts of
// a round are first the copies of the previous round's outputs, then its
// chunks.
struct SearchRound {
    using ChunkJob = void (*)(SearchRound& round, unsigned thread, unsigned chunk);
    ChunkJob match = nullptr;
    unsigned copies = 0;
    unsigned chunks = 0;
    SearchShares* shares = nullptr;
    SearchChunk* chunkSet = nullptr;
    ListSink* sink = nullptr;
};

void RoundPart(void* context, unsigned thread, unsigned part) {
    SearchRound& round = *static_cast<SearchRound*>(context);
    if (part < round.copies) {
        round.sink->Copy(part);
    } else {
        round.match(round, thread, part - round.copies);
    }
}

// Runs the rounds of one search, each while the search thread holds the
// record lock.
struct RoundDriver {
    CSearchWorkers& workers;
    SearchShares& shares;
    ListSink& sink;
    unsigned useShares;
    unsigned number = 0;

    // One round of `match` over `items` items, with the copies of the round
    // before; its own output goes to the lists with the next round or Finish.
    void Run(SearchRound& round, size_t items, SearchRound::ChunkJob match) {
        sink.Place();
        round.match = match;
        round.copies = sink.pendingChunks;
        round.chunks = static_cast<unsigned>((items + kChunkRecords - 1) / kChunkRecords);
        round.shares = &shares;
        round.chunkSet = shares.ChunkSet(number++);
        round.sink = &sink;
        workers.RunParts(&RoundPart, &round, round.copies + round.chunks, useShares);
        sink.pending = round.chunkSet;
        sink.pendingChunks = round.chunks;
    }
    // Under the record lock: the last round's output goes to the lists.
    void Finish() {
        SearchRound round;
        Run(round, 0, nullptr);
        sink.Trim();
    }
};

// One round of a full search: slots [begin, end) of one volume in chunks that
// the shares take in turn (a busy processor then holds up no one); runs while
// the search thread holds the record lock.
struct FullSearchRound : SearchRound {
    const CSearchQuery* query;
    const CVolumeIndex* volume;
    const IndexRecord* table;
    const SlotKey* keys;
    uint16_t position;
    bool prefix;
    bool keepCandidates;  // the candidate list stays as it is
    uint32_t begin, end;
};

void MatchChunk(SearchRound& base, unsigned thread, unsigned c) {
    FullSearchRound& round = static_cast<FullSearchRound&>(base);
    SearchShare& work = *round.shares->shares[thread];
    const CSearchQuery& query = *round.query;
    const CVolumeIndex& volume = *round.volume;
    // The path is needed only by the prefix filter.
    const bool stateOnly = query.StateOnly();
    const bool needPath = round.prefix && !stateOnly;
    {
        SearchChunk& out = round.chunkSet[c];
        uint32_t n = 0;
        SearchResult* candidates = out.candidates.data();
        NameBatchEntry* batch = work.batch.data();
        out.deleted = 0;
        uint32_t from = round.begin + static_cast<uint32_t>(c) * kChunkRecords;
        uint32_t to = std::min(round.end, from + kChunkRecords);
        CNameBatch::SlotCounts counts;
        if (stateOnly && work.names.MatchSlots(query, volume, from, to, round.position, work.scratch,
                                               round.keepCandidates ? nullptr : candidates, out.results.data(),
                                               &counts)) {
            out.candidateCount = counts.candidates;
            out.count = counts.results;
            out.deleted = counts.deleted;
            return;
        }
        for (uint32_t slot = from; slot < to; ++slot) {
            const SlotKey key = round.keys[slot];
            const char* name = volume.GetName(key);
            bool deleted = false;
            int r;
            if (stateOnly) {
                r = query.MatchState(name, key.Flags, &deleted);
            } else if (!needPath) {
                r = query.MatchStateAndFilters(InputOf(volume, round.table[slot]), L"", &deleted);
            } else {
                const IndexRecord& record = round.table[slot];
                const char* ansi = volume.GetFullPath(slot, work.pathBuffer);
                int n = ::MultiByteToWideChar(CP_ACP, 0, ansi, -1, work.widePath.data(),
                                              static_cast<int>(work.widePath.size()));
                if (n <= 0) work.widePath[0] = 0;
                r = query.MatchStateAndFilters(InputOf(volume, record), work.widePath.data(), &deleted);
            }
            if (r == MATCH_REJECT) continue;
            candidates[n] = SearchResult{slot, round.position};
            batch[n] = NameBatchEntry{name, slot, round.position, deleted};
            ++n;
        }
        out.candidateCount = n;
        out.count = work.names.Match(query, volume.NameBufferBegin(), volume.NameBufferEnd(),
                                     volume.NamesStartAligned(), batch, n,
                                     work.scratch, out.results.data(), &out.deleted);
    }
}

} // namespace

CIndexManager::CandidateBase CIndexManager::CandidateBaseOf(const CSearchQuery& query, LONG stamp) {
    CandidateBase base;
    base.Valid = true;
    base.Stamp = stamp;
    base.FileState = query.FileState;
    base.FilterMask = query.FilterMask;
    base.SizeMin = query.SizeMin;
    base.SizeMax = query.SizeMax;
    base.DateFrom = FileTimeValue(query.DateFrom);
    base.DateTo = FileTimeValue(query.DateTo);
    base.Year = query.Now.wYear;
    base.Month = query.Now.wMonth;
    base.Day = query.Now.wDay;
    base.PathPrefix = query.PathPrefix;
    return base;
}

bool CIndexManager::CandidateBase::SameAs(const CandidateBase& o) const {
    return Valid && o.Valid && Stamp == o.Stamp && FileState == o.FileState && FilterMask == o.FilterMask &&
           SizeMin == o.SizeMin && SizeMax == o.SizeMax && DateFrom == o.DateFrom && DateTo == o.DateTo &&
           Year == o.Year && Month == o.Month && Day == o.Day && PathPrefix == o.PathPrefix;
}

unsigned CIndexManager::FullSearch() {
    bool keepCandidates;
    {
        platform::ScopedLock lock(recordLock_);
        keepCandidates = candidateBase_.SameAs(CandidateBaseOf(activeQuery_, g_IndexChangeStamp));
    }
    bool retry = false;
    unsigned count = FullSearchPass(keepCandidates, &retry);
    if (retry) count = FullSearchPass(false, &retry);
    return count;
}

unsigned CIndexManager::FullSearchPass(bool keepCandidates, bool* retry) {
    // The search thread is the only writer of the query's fields it reads here
    // (the journal thread changes FullScan only inside the record lock, which
    // every round below holds), so they are read without the query lock.
    const CSearchQuery& query = activeQuery_;
    std::string prefixRoot;
    const bool prefix = !query.PathPrefix.empty();
    if (prefix) prefixRoot = platform::WideToAnsi(query.PathPrefix.substr(0, 3));

    EnsureSearchWorkers();
    const uint32_t perRound = kChunkRecords * kChunksPerRound;
    ListSink sink{keepCandidates ? nullptr : &CandidateList, &ResultList};
    RoundDriver rounds{*searchWorkers_, *searchShares_, sink, SharesFor(*searchWorkers_, query)};

    size_t volumeCount;
    LONG stamp;
    {
        platform::ScopedLock lock(recordLock_);
        stamp = g_IndexChangeStamp;
        narrowBase_.Valid = false;
        if (!keepCandidates) candidateBase_.Valid = false;
        size_t total = 0;
        for (const auto& v : volumes_) total += v->RecordCount();
        // Reserved once; the lists keep their storage from search to search.
        CandidateList.reserve(total);
        ResultList.reserve(total);
        volumeCount = volumes_.size();
    }

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
        for (uint32_t start = kFirstUserSlot; start < records; start += perRound) {
            platform::ScopedLock lock(recordLock_);
            if (searchStop_) {
                sink.Trim();
                return 0;
            }
            if (keepCandidates && g_IndexChangeStamp != stamp) {
                sink.Trim();
                *retry = true;  // the kept candidates may no longer be the records' own
                return 0;
            }
            const CVolumeIndex* volume = GetVolume(v);
            if (!volume) break;
            // Re-read every round: the journal thread may have grown the table.
            FullSearchRound round;
            round.query = &query;
            round.volume = volume;
            round.table = volume->Records();
            round.keys = volume->Keys();
            round.position = static_cast<uint16_t>(v);
            round.prefix = prefix;
            round.keepCandidates = keepCandidates;
            round.begin = start;
            round.end = std::min(std::min(records, volume->RecordCount()), start + perRound);
            if (round.end <= round.begin) break;
            rounds.Run(round, round.end - round.begin, &MatchChunk);
        }
    }
    {
        platform::ScopedLock records(recordLock_);
        rounds.Finish();
        SetNarrowBase(query, stamp);
        candidateBase_ = CandidateBaseOf(query, stamp);
        candidateBase_.Valid = stamp == g_IndexChangeStamp;  // made from one state of the index
    }
    PostSearchResults(sink.count, sink.deleted);
    {
        platform::ScopedLock records(recordLock_);
        platform::ScopedLock lock(queryLock_);
        activeQuery_.FullScan = 0;  // the same query run again narrows
    }
    return sink.count;
}

namespace {

// One round of a narrowing search: entries [begin, end) of the source list in
// chunks, like a round of the full search.
struct NarrowRound : SearchRound {
    const CSearchQuery* query;
    const CVolumeIndex* const* volumes;
    size_t volumeCount;
    const SearchResult* source;
    size_t begin, end;
};

void BatchEntries(NarrowRound& round, SearchShare& work, SearchChunk& out, size_t from, size_t to);

void NarrowChunk(SearchRound& base, unsigned thread, unsigned c) {
    NarrowRound& round = static_cast<NarrowRound&>(base);
    SearchShare& work = *round.shares->shares[thread];
    const CSearchQuery& query = *round.query;
    const bool stateOnly = query.StateOnly();
    {
        SearchChunk& out = round.chunkSet[c];
        out.count = out.deleted = out.candidateCount = 0;
        size_t from = round.begin + static_cast<size_t>(c) * kChunkRecords;
        size_t to = std::min(round.end, from + kChunkRecords);
        // A run of one volume's entries goes through one scan of its names
        // where that can answer; otherwise entry by entry into the batch.
        if (stateOnly) {
            for (size_t i = from; i < to;) {
                const uint16_t v = round.source[i].Volume;
                size_t j = i + 1;
                while (j < to && round.source[j].Volume == v) ++j;
                CNameBatch::SlotCounts counts;
                if (v < round.volumeCount && round.volumes[v] &&
                    work.names.MatchEntries(query, *round.volumes[v], round.source + i, j - i, work.scratch,
                                            out.results.data() + out.count, &counts)) {
                    out.count += counts.results;
                    out.deleted += counts.deleted;
                } else {
                    BatchEntries(round, work, out, i, j);
                }
                i = j;
            }
            return;
        }
        BatchEntries(round, work, out, from, to);
    }
}

// Entries [from, to) of a narrowing's source one by one, their names tested
// together per run of one volume.
void BatchEntries(NarrowRound& round, SearchShare& work, SearchChunk& out, size_t from, size_t to) {
    const CSearchQuery& query = *round.query;
    const bool stateOnly = query.StateOnly();
    {
        NameBatchEntry* batch = work.batch.data();
        uint32_t n = 0;
        const CVolumeIndex* batchVolume = nullptr;
        // The names are tested together per run of entries of one volume.
        auto flush = [&] {
            if (n == 0) return;
            out.count += work.names.Match(query, batchVolume->NameBufferBegin(), batchVolume->NameBufferEnd(),
                                          batchVolume->NamesStartAligned(), batch, n, work.scratch,
                                          out.results.data() + out.count, &out.deleted);
            n = 0;
        };
        for (size_t i = from; i < to; ++i) {
            const SearchResult entry = round.source[i];
            const CVolumeIndex* volume = entry.Volume < round.volumeCount ? round.volumes[entry.Volume] : nullptr;
            if (!volume || entry.Slot >= volume->RecordCount()) continue;
            const SlotKey key = volume->Keys()[entry.Slot];
            const char* name = volume->GetName(key);
            if (entry.Slot < kFirstUserSlot && name && name[0] == '$') continue;
            bool deleted = false;
            int r = stateOnly ? query.MatchState(name, key.Flags, &deleted)
                              : query.MatchStateAndFilters(InputOf(*volume, *volume->GetRecord(entry.Slot)), L"",
                                                           &deleted);
            if (r == MATCH_REJECT) continue;
            if (volume != batchVolume) {
                flush();
                batchVolume = volume;
            }
            batch[n++] = NameBatchEntry{name, entry.Slot, entry.Volume, deleted};
        }
        flush();
    }
}

bool IsSubstringMode(const CSearchQuery& q) { return !q.IsRegex && !q.IsWildcard; }

std::wstring Folded(const std::wstring& text) {
    std::wstring out(text);
    for (auto& c : out) c = FoldAscii(c);
    return out;
}

} // namespace

void CIndexManager::EnsureSearchWorkers() {
    if (searchWorkers_) return;
    searchWorkers_ = std::make_shared<CSearchWorkers>(CSearchWorkers::DefaultShares());
    auto shares = std::make_shared<SearchShares>();
    for (unsigned i = 0; i < searchWorkers_->Shares(); ++i) shares->shares.emplace_back(new SearchShare);
    searchShares_ = shares;
}

void CIndexManager::SetNarrowBase(const CSearchQuery& query, LONG stampAtStart) {
    // Under the record lock. The results just made can stand in for the
    // candidates of a later narrowing only when nothing changed meanwhile.
    narrowBase_.Valid = stampAtStart == g_IndexChangeStamp && IsSubstringMode(query);
    narrowBase_.FoldedPattern = Folded(query.Pattern);
    narrowBase_.FileState = query.FileState;
    narrowBase_.Stamp = stampAtStart;
}

unsigned CIndexManager::NarrowSearch() {
    const CSearchQuery& query = activeQuery_;
    EnsureSearchWorkers();
    ListSink sink{nullptr, &ResultList};

    // A pattern that contains the previous one (folded alike) can only match
    // records that the previous one matched, so when the index is unchanged
    // since then and the results are still in candidate order, re-matching
    // the previous results gives the same list as re-matching every
    // candidate, in a fraction of the time.
    bool fromPrevious;
    LONG stamp;
    size_t sourceSize;
    {
        platform::ScopedLock lock(recordLock_);
        stamp = g_IndexChangeStamp;
        fromPrevious = narrowBase_.Valid && narrowBase_.Stamp == stamp && IsSubstringMode(query) &&
                       narrowBase_.FileState == query.FileState &&
                       Folded(query.Pattern).find(narrowBase_.FoldedPattern) != std::wstring::npos;
        narrowBase_.Valid = false;
        if (fromPrevious) {
            // Copied rather than swapped, so both lists keep their storage.
            narrowSource_.assign(ResultList.begin(), ResultList.end());
            sourceSize = narrowSource_.size();
        } else {
            sourceSize = CandidateList.size();
        }
    }

    const size_t perRound = static_cast<size_t>(kChunkRecords) * kChunksPerRound;
    RoundDriver rounds{*searchWorkers_, *searchShares_, sink, SharesFor(*searchWorkers_, query)};
    const CVolumeIndex* volumes[32] = {};
    for (size_t start = 0; start < sourceSize; start += perRound) {
        platform::ScopedLock lock(recordLock_);
        if (searchStop_) {
            sink.Trim();
            return 0;
        }
        NarrowRound round;
        round.query = &query;
        round.volumeCount = std::min<size_t>(volumes_.size(), 32);
        for (size_t v = 0; v < round.volumeCount; ++v) volumes[v] = volumes_[v].get();
        round.volumes = volumes;
        const std::vector<SearchResult>& source = fromPrevious ? narrowSource_ : CandidateList;
        round.source = source.data();
        round.begin = start;
        round.end = std::min(std::min(sourceSize, source.size()), start + perRound);
        if (round.end <= round.begin) break;
        rounds.Run(round, round.end - round.begin, &NarrowChunk);
    }
    {
        platform::ScopedLock lock(recordLock_);
        rounds.Finish();
        SetNarrowBase(query, stamp);
    }
    PostSearchResults(sink.count, sink.deleted);
    return sink.count;
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
