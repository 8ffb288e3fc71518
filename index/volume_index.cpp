#include "index/volume_index.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/handle.h"
#include "platform/strconv.h"
#include "platform/trace.h"

namespace {

// Longest parent chain walked; every step adds at least two bytes to a path
// of at most 519, so a longer chain is a loop.
constexpr int kMaxPathDepth = 260;
thread_local std::vector<ChangeTrace>* t_deferredTraces = nullptr;

void TraceChange(const char* what, uint32_t slot, uint32_t fatherId, const char* name, size_t length) {
    int shown = static_cast<int>(std::min<size_t>(length, ChangeTrace::kNameMax));
    if (!name) shown = 0;
    if (t_deferredTraces) {
        t_deferredTraces->emplace_back();
        ChangeTrace& t = t_deferredTraces->back();
        t.What = what;
        t.Slot = slot;
        t.FatherId = fatherId;
        t.Length = shown;
        if (shown) memcpy(t.Name, name, static_cast<size_t>(shown));
        return;
    }
    platform::Trace("%s ID:%d   FatherID:%d FileName:%.*s", what, static_cast<int>(slot),
                    static_cast<int>(fatherId), shown, name ? name : "");
}

size_t NameLength(const char* name, int length) {
    if (!name || length <= 0) return 0;
    return static_cast<size_t>(length);
}

} // namespace

volatile LONG g_IndexChangeStamp = 0;

void DeferChangeTraces(std::vector<ChangeTrace>* sink) { t_deferredTraces = sink; }

void WriteChangeTraces(std::vector<ChangeTrace>& traces) {
    for (const ChangeTrace& t : traces) {
        platform::Trace("%s ID:%d   FatherID:%d FileName:%.*s", t.What, static_cast<int>(t.Slot),
                        static_cast<int>(t.FatherId), t.Length, t.Name);
    }
    traces.clear();
}

const std::string& LostFolderMarker() {
    // "#丢失的目录\" in the system code page.
    static const std::string marker =
        platform::WideToAnsi(L"#\u4E22\u5931\u7684\u76EE\u5F55\\");
    return marker;
}

void CVolumeIndex::SetRoot(wchar_t letter) {
    letter_ = letter;
    char root[4] = {static_cast<char>(letter), ':', '\\', 0};
    root_ = root;
}

const char* CVolumeIndex::ResolveName(uint32_t ref) const {
    if (ref == 0) return nullptr;
    if (ref <= nameSize_) return names_.get() + (ref - 1);
    uint64_t rest = static_cast<uint64_t>(ref) - nameSize_ - 1;
    uint64_t pool = rest / kPoolSize;
    if (pool >= pools_.size()) return nullptr;
    return pools_[static_cast<size_t>(pool)].get() + rest % kPoolSize;
}

const char* CVolumeIndex::GetName(uint32_t slot) const {
    const IndexRecord* r = GetRecord(slot);
    return r ? GetName(*r) : nullptr;
}

std::string CVolumeIndex::GetFileName(uint32_t slot) const {
    const char* name = GetName(slot);
    return name ? std::string(name) : std::string();
}

std::string CVolumeIndex::GetFullPath(uint32_t slot) const {
    PathBuffer buffer;
    return GetFullPath(slot, buffer);
}

// The path is assembled backwards from the end of the buffer. A chain that
// cannot be followed to the root -- the parent is a file, lies beyond the
// table, has no name, the chain loops, or the path would exceed 519 bytes --
// ends the walk; the part found so far then follows the root and the lost-
// folder marker, e.g. "C:\#丢失的目录\sub\file.txt". A name too long for the
// room left keeps its last bytes. So every non-empty result begins with the root.
const char* CVolumeIndex::GetFullPath(uint32_t slot, PathBuffer& buffer) const {
    const IndexRecord* record = GetRecord(slot);
    const char* name = record ? GetName(*record) : nullptr;
    if (!name) {
        buffer[0] = 0;
        return buffer;
    }
    const std::string& marker = LostFolderMarker();
    // Room the root and the marker may need in front of everything else.
    const size_t reserve = root_.size() + marker.size();
    size_t pos = kPathBufferSize - 1;
    buffer[pos] = 0;

    auto room = [&]() { return pos > reserve ? pos - reserve : 0; };
    auto prepend = [&](const char* text, size_t length) {
        pos -= length;
        memcpy(buffer + pos, text, length);
    };

    bool lost = false;
    size_t length = strlen(name);
    if (length > room()) {
        name += length - room();
        length = room();
        lost = true;
    }
    prepend(name, length);

    int depth = 0;
    while (!lost && record->FatherID != kRootSlot) {
        const IndexRecord* parent = GetRecord(record->FatherID);
        const char* parentName = parent ? GetName(*parent) : nullptr;
        if (++depth > kMaxPathDepth || !parent || !(parent->Flags & IRF_DIRECTORY) ||
            !parentName || !*parentName) {
            lost = true;
            break;
        }
        size_t parentLength = strlen(parentName);
        if (parentLength + 1 > room()) {
            lost = true;
            break;
        }
        prepend("\\", 1);
        prepend(parentName, parentLength);
        record = parent;
    }
    if (lost) prepend(marker.data(), marker.size());
    prepend(root_.data(), root_.size());
    return buffer + pos;
}

uint32_t CVolumeIndex::StoreName(const char* name, size_t length) {
    // A name must end, with its NUL, inside one pool.
    if (length > kPoolSize - 1) length = kPoolSize - 1;
    if (pools_.empty() || lastPoolUsed_ + length + 1 > kPoolSize) {
        uint64_t nextRef = static_cast<uint64_t>(nameSize_) + 1 + (pools_.size() + 1) * kPoolSize;
        if (nextRef > UINT32_MAX) {
            platform::Trace("CVolumeIndex: name space of %s is full", root_.c_str());
            return 0;
        }
        try {
            // A pool made beforehand (PrepareRoom) keeps the allocation out of the lock.
            if (sparePool_)
                pools_.push_back(std::move(sparePool_));
            else
                pools_.emplace_back(new char[kPoolSize]());
        } catch (const std::bad_alloc&) {
            platform::Trace("CVolumeIndex: out of memory for a name pool");
            return 0;
        }
        lastPoolUsed_ = 0;
    }
    char* place = pools_.back().get() + lastPoolUsed_;
    if (length) memcpy(place, name, length);
    place[length] = 0;
    uint64_t ref = static_cast<uint64_t>(nameSize_) + 1 + (pools_.size() - 1) * kPoolSize + lastPoolUsed_;
    lastPoolUsed_ += length + 1;
    return static_cast<uint32_t>(ref);
}

bool CVolumeIndex::GrowTo(uint32_t slot) {
    if (slot > UINT32_MAX - kGrowStep) return false;
    try {
        // New slots are all zero; the keys grow first so that a failure leaves
        // both as they were.
        keys_.resize(static_cast<size_t>(slot) + kGrowStep, SlotKey{0, 0});
        records_.resize(static_cast<size_t>(slot) + kGrowStep, IndexRecord{});
    } catch (const std::exception&) {
        platform::Trace("CVolumeIndex: cannot grow %s to slot %u", root_.c_str(), slot);
        return false;
    }
    return true;
}

void CVolumeIndex::PrepareRoom(uint32_t highestSlot, size_t nameBytes, Room& room) const {
    room.Tables = room.PoolList = false;
    room.Stamp = g_IndexChangeStamp;
    try {
        const size_t needed = highestSlot < records_.size() ? 0 : static_cast<size_t>(highestSlot) + kGrowStep;
        if (needed > records_.capacity() || needed > keys_.capacity()) {
            // Room for a good many more, so that copies stay rare.
            const size_t capacity = needed + std::max<size_t>(needed / 8, 1024);
            room.Records.clear();
            room.Records.reserve(capacity);
            room.Records.assign(records_.begin(), records_.end());
            room.Keys.clear();
            room.Keys.reserve(capacity);
            room.Keys.assign(keys_.begin(), keys_.end());
            room.Tables = true;
        }
        const bool poolFull = pools_.empty() || lastPoolUsed_ + std::min(nameBytes, kPoolSize) > kPoolSize;
        if (poolFull && !sparePool_ && !room.Pool) room.Pool.reset(new char[kPoolSize]());
        if ((room.Pool || sparePool_) && pools_.size() == pools_.capacity()) {
            room.Pools.clear();
            room.Pools.reserve(std::max<size_t>(16, pools_.size() * 2));
            room.PoolList = true;
        }
    } catch (const std::exception&) {
        // The hold then allocates what it needs itself.
        platform::Trace("CVolumeIndex: no memory to prepare room in %s", root_.c_str());
        room.Tables = room.PoolList = false;
    }
}

void CVolumeIndex::AdoptRoom(Room& room) {
    if (room.Tables && room.Stamp == g_IndexChangeStamp && room.Records.size() == records_.size()) {
        records_.swap(room.Records);
        keys_.swap(room.Keys);
    }
    room.Tables = false;
    if (room.PoolList && room.Pools.empty() && room.Pools.capacity() > pools_.size()) {
        for (auto& pool : pools_) room.Pools.push_back(std::move(pool));
        pools_.swap(room.Pools);
    }
    room.PoolList = false;
    if (room.Pool && !sparePool_) sparePool_ = std::move(room.Pool);
}

bool CVolumeIndex::InsertIndex(uint32_t slot, uint32_t fatherId, const char* name, int length, uint8_t flags, bool refreshNow) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    size_t len = NameLength(name, length);
    TraceChange("InsertIndex", slot, fatherId, name, len);
    if (slot < records_.size()) return true;  // already known: nothing to add
    if (!GrowTo(slot)) return false;
    IndexRecord& r = records_[slot];
    r.Flags = flags;
    r.FatherID = fatherId;
    r.FileName = StoreName(name, len);
    SyncKey(slot);
    if (refreshNow) RefreshFileInfo(slot);
    return true;
}

bool CVolumeIndex::DeleteIndex(uint32_t slot) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    IndexRecord* r = MutableRecord(slot);
    const char* name = r ? GetName(*r) : nullptr;
    TraceChange("DeleteIndex", slot, r ? r->FatherID : 0, name, name ? strlen(name) : 0);
    if (!r) return false;
    r->Flags &= static_cast<uint8_t>(~IRF_EXISTS);
    SyncKey(slot);
    return true;
}

bool CVolumeIndex::ReNameIndex(uint32_t slot, uint32_t fatherId, const char* name, int length, bool refreshNow) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    size_t len = NameLength(name, length);
    TraceChange("ReNameIndex", slot, fatherId, name, len);
    IndexRecord* r = MutableRecord(slot);
    if (!r) return false;
    r->FatherID = fatherId;
    r->FileName = StoreName(name, len);
    SyncKey(slot);
    if (refreshNow) RefreshFileInfo(slot);
    return true;
}

bool CVolumeIndex::UpdateIndex(uint32_t slot, uint32_t fatherId, const char* name, int length, uint8_t flags, bool refreshNow) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    size_t len = NameLength(name, length);
    TraceChange("UpdateIndex", slot, fatherId, name, len);
    IndexRecord* r = MutableRecord(slot);
    if (!r) return false;
    r->Flags = flags;
    r->FatherID = fatherId;
    r->FileName = StoreName(name, len);
    SyncKey(slot);
    if (refreshNow) RefreshFileInfo(slot);
    return true;
}

bool CVolumeIndex::RefreshFileInfo(uint32_t slot) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    if (!GetRecord(slot)) return false;
    PathBuffer buffer;
    int64_t size = 0;
    if (!LookUpFileInfo(GetFullPath(slot, buffer), &size)) return false;
    StoreFileInfo(slot, size);
    return true;
}

bool CVolumeIndex::LookUpFileInfo(const char* path, int64_t* size) {
    // A '?' stands for a character the code page lacks; no real path holds
    // wildcards, and the search must not pick up some other file.
    if (!*path || strpbrk(path, "*?")) return false;
    WIN32_FIND_DATAA data;
    platform::FindHandle find(::FindFirstFileA(path, &data));
    if (!find.IsValid()) return false;
    *size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return true;
}

void CVolumeIndex::StoreFileInfo(uint32_t slot, int64_t size) {
    FILETIME now;
    StoreFileInfo(slot, size, LocalNow(&now) ? &now : nullptr);
}

void CVolumeIndex::StoreFileInfo(uint32_t slot, int64_t size, const FILETIME* now) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    IndexRecord* r = MutableRecord(slot);
    if (!r) return;
    r->Size = size;
    if (now) r->Time2 = *now;
}

bool CVolumeIndex::LocalNow(FILETIME* now) {
    SYSTEMTIME local;
    ::GetLocalTime(&local);
    return ::SystemTimeToFileTime(&local, now) != FALSE;
}

void CVolumeIndex::Clear() {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    RecordArray().swap(records_);
    decltype(keys_)().swap(keys_);
    names_.reset();
    nameSize_ = 0;
    nameCapacity_ = 0;
    namesAligned_ = false;
    pools_.clear();
    lastPoolUsed_ = 0;
    sparePool_.reset();
}

void CVolumeIndex::AdoptLoaded(RecordArray records, std::unique_ptr<char[]> names, size_t nameSize) {
    ::InterlockedIncrement(&g_IndexChangeStamp);
    auto keys = std::move(keys_);  // storage of an earlier load is reused
    Clear();
    try {
        keys.reserve(records.capacity());  // the same room for journal additions
        keys.resize(records.size());
    } catch (const std::exception&) {
        platform::Trace("AdoptLoaded: no memory for the keys of %lu records", static_cast<unsigned long>(records.size()));
        return;
    }
    keys_ = std::move(keys);
    records_ = std::move(records);
    names_ = std::move(names);
    // References must fit in 32 bits; larger name files are not provided for.
    nameSize_ = std::min<size_t>(nameSize, UINT32_MAX - 1);
    if (names_) names_[nameSize_] = 0;
    else nameSize_ = 0;
    nameCapacity_ = nameSize_;
    const uint32_t limit = static_cast<uint32_t>(nameSize_);
    bool aligned = true;
    for (size_t i = 0; i < records_.size(); ++i) {
        IndexRecord& r = records_[i];
        uint32_t offset = r.FileName;
        r.FileName = offset < limit ? offset + 1 : 0;  // also turns 0xFFFFFFFF into "no name"
        keys_[i] = SlotKey{r.FileName, r.Flags};
        if (r.FileName > 1 && names_[offset - 1] != 0) aligned = false;
    }
    namesAligned_ = aligned;
}

size_t CVolumeIndex::MemoryUsage() const {
    return records_.capacity() * sizeof(IndexRecord) + keys_.capacity() * sizeof(SlotKey) +
           (names_ ? nameCapacity_ + 1 : 0) +
           (pools_.size() + (sparePool_ ? 1 : 0)) * kPoolSize;
}
