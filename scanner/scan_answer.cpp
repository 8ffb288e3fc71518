#include "scanner/scan_answer.h"

#include <windows.h>

#include <cstring>

#include "platform/trace.h"

namespace scanner {

bool ScanAnswer::SetRecord(uint32_t slot, const IndexRecord& fields, const char* name, size_t length) {
    if (length + 1 > kScanPoolSize) return false;
    try {
        if (slot >= records_.size()) records_.resize(static_cast<size_t>(slot) + 1);
    } catch (const std::exception&) {
        platform::Trace("ScanAnswer: no memory for slot %u", slot);
        return false;
    }
    IndexRecord& r = records_[slot];
    r = fields;
    r.FileName = 0;
    if (!name) return true;

    if (pools_.empty() || poolUsed_ + length + 1 > kScanPoolSize) {
        // Fresh pages are zero-filled, so the unused tail of a pool is zeros.
        void* pool = ::VirtualAlloc(nullptr, kScanPoolSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!pool) {
            platform::TraceLastError("ScanAnswer: VirtualAlloc");
            return false;
        }
        try {
            pools_.push_back(static_cast<char*>(pool));
        } catch (const std::exception&) {
            ::VirtualFree(pool, 0, MEM_RELEASE);
            return false;
        }
        poolUsed_ = 0;
    }
    char* place = pools_.back() + poolUsed_;
    memcpy(place, name, length);
    place[length] = 0;
    r.FileName = ScanNameField(place, pools_.size() - 1, poolUsed_);
    poolUsed_ += length + 1;
    return true;
}

bool ScanAnswer::Reserve(size_t slots) {
    try {
        records_.reserve(slots);
    } catch (const std::exception&) {
        platform::Trace("ScanAnswer: no memory for %u slots", static_cast<unsigned>(slots));
        return false;
    }
    return true;
}

ScanVolumeResult* ScanAnswer::Result() {
    view_ = {};
    view_.Records.First = records_.data();
    view_.Records.Last = records_.data() + records_.size();
    view_.Records.End = records_.data() + records_.capacity();
    view_.Pools.First = pools_.data();
    view_.Pools.Last = pools_.data() + pools_.size();
    view_.Pools.End = pools_.data() + pools_.capacity();
    return &view_;
}

void ScanAnswer::Clear() {
    for (char* pool : pools_) ::VirtualFree(pool, 0, MEM_RELEASE);
    pools_.clear();
    std::vector<IndexRecord>().swap(records_);
    poolUsed_ = 0;
    view_ = {};
}

} // namespace scanner
