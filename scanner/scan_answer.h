#pragma once
// The answer of one ScanVolume call: the record table indexed by slot and the
// 4 MB name pools the records point into, kept alive by the interface until it
// is released. Every way of reading a volume fills one of these.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/index_record.h"
#include "scanner/search_file.h"

namespace scanner {

class ScanAnswer {
public:
    ScanAnswer() = default;
    ~ScanAnswer() { Clear(); }
    ScanAnswer(const ScanAnswer&) = delete;
    ScanAnswer& operator=(const ScanAnswer&) = delete;

    // Stores the record of `slot` (growing the table with empty slots) and its
    // ANSI name; `fields.FileName` is ignored. False when out of memory or when
    // the name is longer than a pool.
    bool SetRecord(uint32_t slot, const IndexRecord& fields, const char* name, size_t length);

    // Room for `slots` records at once, so a reader that knows the slot count
    // fills the table without growing it step by step. False when out of memory.
    bool Reserve(size_t slots);

    size_t RecordCount() const { return records_.size(); }
    const IndexRecord* Record(uint32_t slot) const { return slot < records_.size() ? &records_[slot] : nullptr; }

    // The answer as callers read it; valid until the next change or Clear.
    ScanVolumeResult* Result();

    void Clear();

private:
    std::vector<IndexRecord> records_;
    std::vector<char*> pools_;
    size_t poolUsed_ = 0;
    ScanVolumeResult view_ = {};
};

// One way of reading a volume (root "X:\" in ANSI) into an answer; true when
// it produced the answer. Tried in order until one succeeds.
using VolumeReader = bool (*)(const char* root, ScanAnswer& answer);

} // namespace scanner
