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
