#include "index/name_batch.h"

#include <cstring>

#include "index/name_scan.h"

namespace {

// Beyond this many buffer bytes per entry the names lie too far apart (a
// narrow filter left few of them) and testing them one by one is cheaper.
constexpr size_t kMaxBytesPerEntry = 64;

// A name the batch scan may answer for: it lies in the buffer and starts
// where a name starts, so the scan's split at NULs is the name's own.
inline bool StartsName(const char* name, const char* buffer, const char* bufferEnd) {
    return name >= buffer && name < bufferEnd && (name == buffer || name[-1] == 0);
}


// The slots a scan goes through: a run of the table, or the entries of a
// list (a narrowing's candidates, in slot order), which may name slots the
// table no longer reaches and where a metadata slot's '$' name is skipped.
struct SlotRun {
    static constexpr bool kList = false;
    uint32_t from;
    uint32_t operator[](size_t i) const { return from + static_cast<uint32_t>(i); }
};
struct SlotList {
    static constexpr bool kList = true;
    const SearchResult* entries;
    uint32_t operator[](size_t i) const { return entries[i].Slot; }
};

constexpr uint32_t kOffset = ~namescan::kHitAfterHighByte;

template <class Slots>
uint32_t RefOf(const CVolumeIndex& volume, const Slots& slots, size_t i) {
    const uint32_t slot = slots[i];
    return slot < volume.RecordCount() ? volume.Keys()[slot].NameRef : 0;
}

// Scans the stretch of the name buffer from the name of the first of the n
// slots to that of the last one whose names lie there, when not too sparse;
// `hits` gets the offsets from the first name's start of the names holding
// the query's literal, then one beyond every offset. False when no one scan
// can answer for these slots.
template <class Slots>
bool ScanStretch(const CSearchQuery& query, const CVolumeIndex& volume, const Slots& slots, size_t n,
                 std::vector<uint32_t>& hits, uint32_t* lowRef, uint32_t* highRef) {
    const CSearchQuery::NamePrefilter& filter = query.Prefilter();
    const char* buffer = volume.NameBufferBegin();
    const size_t size = volume.NameBufferSize();
    if (!filter.usable || !buffer || !volume.NamesStartAligned() || n == 0) return false;
    auto inBuffer = [size](uint32_t ref) { return ref != 0 && ref <= size; };
    size_t first = 0, last = n - 1;
    while (first < n && !inBuffer(RefOf(volume, slots, first))) ++first;
    if (first == n) return false;
    while (!inBuffer(RefOf(volume, slots, last))) --last;
    *lowRef = RefOf(volume, slots, first);
    *highRef = RefOf(volume, slots, last);
    if (*highRef < *lowRef || *highRef - *lowRef > n * kMaxBytesPerEntry) return false;
    const char* high = buffer + *highRef - 1;
    hits.clear();
    namescan::FindInNames(buffer + *lowRef - 1, high + std::strlen(high), filter.literal.data(),
                          filter.literal.size(), hits);
    hits.push_back(kOffset);  // beyond every offset: the merge needs no bound check
    return true;
}

// Stores the matching ones of the n slots in `results`, in order, from the
// hits of ScanStretch, when only hits need a look beyond the slot key (no
// candidate list is written and the literal is not "."). A hit's name holds
// the text, so it is neither empty nor "." and only its flags decide its
// state: written without branches on whether a slot is a hit, which many
// texts make a coin toss.
template <class Slots>
void ScanHits(const CSearchQuery& query, const CVolumeIndex& volume, const Slots& slots, size_t n, uint32_t lowRef,
              uint32_t highRef, uint16_t position, MatchScratch& scratch, const std::vector<uint32_t>& hits,
              SearchResult* results, CNameBatch::SlotCounts* counts) {
    const CSearchQuery::NamePrefilter& filter = query.Prefilter();
    const char* buffer = volume.NameBufferBegin();
    const SlotKey* keys = volume.Keys();
    const uint32_t records = volume.RecordCount();
    uint8_t accept[4], isDeleted[4];
    for (uint8_t flags = 0; flags < 4; ++flags) {
        bool deleted = false;
        accept[flags] = query.MatchState("x", flags, &deleted) != MATCH_REJECT;
        isDeleted[flags] = deleted;
    }
    CNameBatch::SlotCounts& c = *counts;
    size_t k = 0;
    uint32_t next = hits[0] & kOffset;  // the offset of the next name holding the text
    uint32_t lastRef = lowRef - 1;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t slot = slots[i];
        if (Slots::kList && slot >= records) continue;
        const SlotKey key = keys[slot];
        const uint32_t ref = key.NameRef;
        const bool metadata = Slots::kList && slot < kFirstUserSlot;
        if (ref <= lastRef || ref > highRef || metadata) {
            // Out of order, repeated, elsewhere, none, or a metadata slot: on its own.
            const char* name = volume.GetName(key);
            bool deleted = false;
            if (metadata && name && name[0] == '$') continue;
            if (query.MatchState(name, key.Flags, &deleted) == MATCH_REJECT || !query.MatchName(name, scratch))
                continue;
            results[c.results++] = SearchResult{slot, position};
            c.deleted += deleted;
            continue;
        }
        lastRef = ref;
        const uint32_t offset = ref - lowRef;
        while (next < offset) next = hits[++k] & kOffset;  // a name no slot here refers to
        const uint32_t hit = next == offset;
        const uint32_t flags = key.Flags & (IRF_EXISTS | IRF_DIRECTORY);
        if (hit && (!filter.exact || (hits[k] & namescan::kHitAfterHighByte))) {
            // Where a double-byte character may have taken the hit's bytes.
            if (accept[flags] && query.MatchName(buffer + ref - 1, scratch)) {
                results[c.results++] = SearchResult{slot, position};
                c.deleted += isDeleted[flags];
            }
        } else {
            const uint32_t take = hit & accept[flags];
            results[c.results] = SearchResult{slot, position};
            c.results += take;
            c.deleted += take & isDeleted[flags];
        }
        k += hit;
        next = hits[k] & kOffset;
    }
}
} // namespace

uint32_t CNameBatch::Match(const CSearchQuery& query, const char* buffer, const char* bufferEnd, bool aligned,
                           const NameBatchEntry* entries, size_t n, MatchScratch& scratch, SearchResult* results,
                           uint32_t* deleted) {
    uint32_t count = 0, deletedCount = 0;
    auto take = [&](const NameBatchEntry& e) {
        results[count++] = SearchResult{e.slot, e.volume};
        deletedCount += e.deleted;
    };
    if (query.MatchesEveryName()) {
        for (size_t i = 0; i < n; ++i) take(entries[i]);
        *deleted += deletedCount;
        return count;
    }

    // The stretch of the buffer from the first name to the last, when both lie
    // there in order and not too far apart; a name out of that order, or kept
    // elsewhere (added at run time), is tested on its own.
    const CSearchQuery::NamePrefilter& filter = query.Prefilter();
    const char* low = n ? entries[0].name : nullptr;
    const char* high = n ? entries[n - 1].name : nullptr;
    if (!filter.usable || !buffer || !StartsName(low, buffer, bufferEnd) || !StartsName(high, buffer, bufferEnd) ||
        high < low || static_cast<size_t>(high - low) > n * kMaxBytesPerEntry) {
        for (size_t i = 0; i < n; ++i) {
            if (query.MatchName(entries[i].name, scratch)) take(entries[i]);
        }
        *deleted += deletedCount;
        return count;
    }

    hits_.clear();
    namescan::FindInNames(low, high + std::strlen(high), filter.literal.data(), filter.literal.size(), hits_);
    size_t k = 0;  // the first hit not before the current name
    const char* last = low;
    for (size_t i = 0; i < n; ++i) {
        const NameBatchEntry& e = entries[i];
        const char* name = e.name;
        if (name < last || name > high || (!aligned && !StartsName(name, buffer, bufferEnd))) {
            if (query.MatchName(name, scratch)) take(e);
            continue;
        }
        last = name;
        const uint32_t offset = static_cast<uint32_t>(name - low);
        while (k < hits_.size() && (hits_[k] & ~namescan::kHitAfterHighByte) < offset) ++k;
        if (k == hits_.size() || (hits_[k] & ~namescan::kHitAfterHighByte) != offset) continue;  // no hit: no match
        // Before any byte >= 0x80 no double-byte character can have taken the
        // hit's bytes, so an exact literal is a match; otherwise test in full.
        const bool afterHighByte = (hits_[k] & namescan::kHitAfterHighByte) != 0;
        if ((filter.exact && !afterHighByte) || query.MatchName(name, scratch)) take(e);
    }
    *deleted += deletedCount;
    return count;
}

bool CNameBatch::MatchSlots(const CSearchQuery& query, const CVolumeIndex& volume, uint32_t from, uint32_t to,
                            uint16_t position, MatchScratch& scratch, SearchResult* candidates,
                            SearchResult* results, SlotCounts* counts) {
    const SlotKey* keys = volume.Keys();
    SlotCounts c;
    if (query.MatchesEveryName()) {
        for (uint32_t slot = from; slot < to; ++slot) {
            const SlotKey key = keys[slot];
            bool deleted = false;
            if (query.MatchState(volume.GetName(key), key.Flags, &deleted) == MATCH_REJECT) continue;
            const SearchResult entry{slot, position};
            if (candidates) candidates[c.candidates++] = entry;
            results[c.results++] = entry;
            c.deleted += deleted;
        }
        *counts = c;
        return true;
    }

    // The stretch from the name of the first slot to that of the last one
    // whose names lie in the buffer, when not too sparse; names out of that
    // order or kept elsewhere (added at run time) are tested on their own.
    const CSearchQuery::NamePrefilter& filter = query.Prefilter();
    const char* buffer = volume.NameBufferBegin();
    uint32_t lowRef, highRef;
    if (!ScanStretch(query, volume, SlotRun{from}, to - from, hits_, &lowRef, &highRef)) return false;

    size_t k = 0;
    uint32_t next = hits_[0] & kOffset;  // the offset of the next name holding the text
    if (!candidates && filter.literal != ".") {
        ScanHits(query, volume, SlotRun{from}, to - from, lowRef, highRef, position, scratch, hits_, results, &c);
        *counts = c;
        return true;
    }
    uint32_t lastRef = lowRef;
    for (uint32_t slot = from; slot < to; ++slot) {
        const SlotKey key = keys[slot];
        const uint32_t ref = key.NameRef;
        const char* name = nullptr;
        bool deleted = false;
        if (candidates) {
            name = volume.GetName(key);
            if (query.MatchState(name, key.Flags, &deleted) == MATCH_REJECT) continue;
            candidates[c.candidates++] = SearchResult{slot, position};
        }
        bool match;
        if (ref >= lastRef && ref <= highRef) {
            lastRef = ref;
            const uint32_t offset = ref - lowRef;
            while (next < offset) next = hits_[++k] & kOffset;
            if (next != offset) continue;  // no hit: no match
            name = buffer + ref - 1;
            if (!candidates && query.MatchState(name, key.Flags, &deleted) == MATCH_REJECT) continue;
            // Before any byte >= 0x80 no double-byte character can have taken
            // the hit's bytes, so an exact literal is a match.
            match = (filter.exact && !(hits_[k] & namescan::kHitAfterHighByte)) || query.MatchName(name, scratch);
        } else {
            if (!candidates) {
                name = volume.GetName(key);
                if (query.MatchState(name, key.Flags, &deleted) == MATCH_REJECT) continue;
            }
            match = query.MatchName(name, scratch);
        }
        if (match) {
            results[c.results++] = SearchResult{slot, position};
            c.deleted += deleted;
        }
    }
    *counts = c;
    return true;
}

bool CNameBatch::MatchEntries(const CSearchQuery& query, const CVolumeIndex& volume, const SearchResult* entries,
                              size_t n, MatchScratch& scratch, SearchResult* results, SlotCounts* counts) {
    uint32_t lowRef, highRef;
    if (n == 0 || query.MatchesEveryName() || query.Prefilter().literal == "." ||
        !ScanStretch(query, volume, SlotList{entries}, n, hits_, &lowRef, &highRef)) {
        return false;
    }
    SlotCounts c;
    ScanHits(query, volume, SlotList{entries}, n, lowRef, highRef, entries[0].Volume, scratch, hits_, results, &c);
    *counts = c;
    return true;
}
