#pragma once
// Tests the names of many records against a query's pattern together: one
// scan over the stretch of the name buffer that holds them, the way a text
// search reads a file, instead of one scan per name. The answer is the same
// as testing each name with CSearchQuery::MatchName.
#include <cstdint>
#include <vector>

#include "index/index_record.h"
#include "index/search_query.h"
#include "index/volume_index.h"

// A record that passed the state and filter tests.
struct NameBatchEntry {
    const char* name;  // never null
    uint32_t slot;
    uint16_t volume;
    uint8_t deleted;  // a deleted file
};

class CNameBatch {
public:
    // Stores the entries whose names match in `results` (room for `count`),
    // in their order, and returns how many matched; adds the deleted files
    // among them to *deleted. [buffer, bufferEnd) is the volume's loaded name
    // buffer, with a NUL at bufferEnd (both null when it has none); with
    // `aligned` the caller knows that every entry's name that lies in the
    // buffer starts where a name starts.
    uint32_t Match(const CSearchQuery& query, const char* buffer, const char* bufferEnd, bool aligned,
                   const NameBatchEntry* entries, size_t count, MatchScratch& scratch, SearchResult* results,
                   uint32_t* deleted);

    // The same for the slots [from, to) of one volume, straight from its slot
    // keys, when the file state and the name alone decide (the query's
    // StateOnly): one scan over the stretch of the name buffer that holds
    // their names finds the hits, which are mapped back to slots by their
    // offsets, so only hits cost more than a look at the slot's key. Stores
    // the slots passing the state test in `candidates` (skipped when null)
    // and the matching ones in `results`, in slot order, each with room for
    // to - from entries. False, with nothing stored, when the names do not
    // lie so that one scan can answer for them: the caller tests the batch.
    struct SlotCounts {
        uint32_t candidates = 0;
        uint32_t results = 0;
        uint32_t deleted = 0;
    };
    bool MatchSlots(const CSearchQuery& query, const CVolumeIndex& volume, uint32_t from, uint32_t to,
                    uint16_t position, MatchScratch& scratch, SearchResult* candidates, SearchResult* results,
                    SlotCounts* counts);

    // The same for the entries of a list in slot order, all of one volume
    // (a narrowing's candidates), when only the state and the name decide:
    // stores the matching entries in `results` (room for n). False, with
    // nothing stored, where the caller tests the batch instead.
    bool MatchEntries(const CSearchQuery& query, const CVolumeIndex& volume, const SearchResult* entries, size_t n,
                      MatchScratch& scratch, SearchResult* results, SlotCounts* counts);

private:
    std::vector<uint32_t> hits_;
};
