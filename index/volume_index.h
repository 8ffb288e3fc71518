#pragma once
// The record table of one indexed drive with the names it refers to.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "index/index_record.h"

struct ScanVolumeResult;

// Leaves new elements uninitialised unless a value is given: a loaded table
// is read straight into its storage without clearing it first.
template <typename T>
struct DefaultInitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() noexcept = default;
    template <typename U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// The record table; resize(n) leaves new records uninitialised, so growing it
// for new slots always passes a zero record.
using RecordArray = std::vector<IndexRecord, DefaultInitAllocator<IndexRecord>>;

// What a search reads of every record -- its name reference and flags -- kept
// side by side with the table: 5 bytes to stream per record instead of 45.
#pragma pack(push, 1)
struct SlotKey {
    uint32_t NameRef;
    uint8_t Flags;
};
#pragma pack(pop)
static_assert(sizeof(SlotKey) == 5, "SlotKey is packed");
using SlotKeyArray = std::vector<SlotKey, DefaultInitAllocator<SlotKey>>;

class CVolumeIndex {
public:
    static constexpr size_t kPoolSize = 4096;       // one block for names added at run time
    static constexpr size_t kPathBufferSize = 520;  // longest full path, NUL included
    static constexpr uint32_t kGrowStep = 100;      // slots added beyond a new highest slot
    using PathBuffer = char[kPathBufferSize];

    CVolumeIndex() = default;
    explicit CVolumeIndex(wchar_t letter) { SetRoot(letter); }
    CVolumeIndex(const CVolumeIndex&) = delete;
    CVolumeIndex& operator=(const CVolumeIndex&) = delete;
    CVolumeIndex(CVolumeIndex&&) = default;
    CVolumeIndex& operator=(CVolumeIndex&&) = default;

    // "X:\" of the drive.
    void SetRoot(wchar_t letter);
    const std::string& Root() const { return root_; }
    wchar_t Letter() const { return letter_; }

    uint32_t RecordCount() const { return static_cast<uint32_t>(records_.size()); }
    // The record of a slot, or null beyond the table. Records change only
    // through the methods below, which keep the slot keys in step.
    const IndexRecord* GetRecord(uint32_t slot) const { return slot < records_.size() ? &records_[slot] : nullptr; }
    const IndexRecord* Records() const { return records_.data(); }
    // Name reference and flags of every slot (RecordCount() entries).
    const SlotKey* Keys() const { return keys_.data(); }

    // The NUL-terminated ANSI name a record refers to, or null when it has none.
    const char* GetName(const IndexRecord& record) const { return ResolveName(record.FileName); }
    const char* GetName(const SlotKey& key) const { return ResolveName(key.NameRef); }
    const char* GetName(uint32_t slot) const;

    // The record's name (empty when it has none).
    std::string GetFileName(uint32_t slot) const;
    // The record's full path, "X:\dir\name"; empty when the record has no name.
    std::string GetFullPath(uint32_t slot) const;
    // The same into a caller's buffer (no allocation); returns the start of the
    // text inside `buffer`. Callers that share one buffer serialise themselves.
    const char* GetFullPath(uint32_t slot, PathBuffer& buffer) const;

    // Single-record changes from the change journal. The caller holds the
    // manager's record lock. `name` need not be NUL-terminated. Insert,
    // rename and update then refresh the record's file information, unless
    // the caller does that itself later without the lock (refreshNow false).
    bool InsertIndex(uint32_t slot, uint32_t fatherId, const char* name, int length, uint8_t flags,
                     bool refreshNow = true);
    bool DeleteIndex(uint32_t slot);
    bool ReNameIndex(uint32_t slot, uint32_t fatherId, const char* name, int length, bool refreshNow = true);
    bool UpdateIndex(uint32_t slot, uint32_t fatherId, const char* name, int length, uint8_t flags,
                     bool refreshNow = true);
    // Takes the size and "now" as the time from the file system; false when
    // the file is not found (the record then stays as it was).
    bool RefreshFileInfo(uint32_t slot);
    // The two halves of RefreshFileInfo: the file-system lookup of a full
    // path, which needs no lock, and storing its size with "now".
    static bool LookUpFileInfo(const char* path, int64_t* size);
    void StoreFileInfo(uint32_t slot, int64_t size);
    // The same with "now" read beforehand (LocalNow), so that a holder of the
    // record lock does not ask the system for the time; null keeps the time.
    void StoreFileInfo(uint32_t slot, int64_t size, const FILETIME* now);
    static bool LocalNow(FILETIME* now);

    // Storage that the changes of one batch need, made before the record lock
    // is taken so that the hold neither allocates nor copies a table: copies
    // of the record and key tables with room past `highestSlot`, a fresh name
    // pool when the current one cannot take `nameBytes` more, a longer list
    // for the pools. Only the one thread that changes this volume may prepare
    // while others read; it adopts with AdoptRoom while holding the lock.
    struct Room {
        RecordArray Records;
        SlotKeyArray Keys;
        std::vector<std::unique_ptr<char[]>> Pools;
        std::unique_ptr<char[]> Pool;
        bool Tables = false, PoolList = false;
        LONG Stamp = 0;  // g_IndexChangeStamp when the copies were made
    };
    void PrepareRoom(uint32_t highestSlot, size_t nameBytes, Room& room) const;
    // Takes what was prepared; copies made before a change by anyone are
    // dropped (the change then grows the tables itself). The replaced storage
    // is left in `room`, to be freed after the lock is let go.
    void AdoptRoom(Room& room);
    size_t RecordCapacity() const { return records_.capacity(); }

    // Drops all records, the name buffer and the pools.
    void Clear();

    // Reads "index_X" and "name_X" into this volume, replacing what it held.
    // The files are only read, so read-only files load too. False (and the
    // volume empty) when the name file is missing, empty, unreadable or no
    // file on disk, or when a record points into the middle of a name (the
    // files are not one pair): the drive is then not indexed. Never trusts
    // the files: offsets beyond the name file give no name. Storage of an
    // earlier load is reused when large enough: first touches of fresh memory
    // are most of the cost of a large load.
    bool LoadFiles(const std::wstring& indexPath, const std::wstring& namePath);
    // Builds this volume from a scanner's answer made ready for saving
    // (PrepareScanAnswer), exactly as loading the saved pair would: for a
    // drive whose files could not be saved. The answer is only read. False
    // (and the volume empty) without records or names, or without memory.
    bool LoadScanAnswer(const ScanVolumeResult& answer);

    // Takes over loaded records (FileName holding name-file offsets or
    // 0xFFFFFFFF) and the name file's bytes; rewrites every FileName into a
    // name reference, dropping offsets outside the names. `names` holds
    // nameSize + 1 bytes; the last one is set to NUL here.
    void AdoptLoaded(RecordArray records, std::unique_ptr<char[]> names, size_t nameSize);
    void AdoptLoaded(const std::vector<IndexRecord>& records, std::unique_ptr<char[]> names, size_t nameSize) {
        AdoptLoaded(RecordArray(records.begin(), records.end()), std::move(names), nameSize);
    }

    // The loaded names, one after another, each ended by a NUL; a NUL also
    // stands at NameBufferEnd(). Both null when nothing is loaded.
    const char* NameBufferBegin() const { return names_.get(); }
    const char* NameBufferEnd() const { return names_ ? names_.get() + nameSize_ : nullptr; }
    // True when every loaded record refers to the start of a name in the
    // buffer, as in every file the scanner wrote (names added at run time
    // live elsewhere).
    bool NamesStartAligned() const { return namesAligned_; }

    size_t PoolCount() const { return pools_.size(); }
    size_t NameBufferSize() const { return nameSize_; }
    // Bytes held by records, name buffer and pools.
    size_t MemoryUsage() const;

private:
    IndexRecord* MutableRecord(uint32_t slot) { return slot < records_.size() ? &records_[slot] : nullptr; }
    // Copies the record's name reference and flags into its key.
    void SyncKey(uint32_t slot) { keys_[slot] = SlotKey{records_[slot].FileName, records_[slot].Flags}; }
    const char* ResolveName(uint32_t ref) const;
    // Copies a name into the pools; returns its reference, 0 when it cannot be stored.
    uint32_t StoreName(const char* name, size_t length);
    bool GrowTo(uint32_t slot);

    wchar_t letter_ = 0;
    std::string root_;
    // The loaded name file with one extra NUL, so no name runs past its end.
    std::unique_ptr<char[]> names_;
    size_t nameSize_ = 0;
    size_t nameCapacity_ = 0;  // bytes of names_ before its closing NUL
    bool namesAligned_ = false;
    RecordArray records_;
    SlotKeyArray keys_;
    // Names added at run time; never moved or freed while the volume lives.
    std::vector<std::unique_ptr<char[]>> pools_;
    size_t lastPoolUsed_ = 0;
    std::unique_ptr<char[]> sparePool_;  // made by PrepareRoom, taken by StoreName
};

// One record change kept for its trace line: the name is copied (cut as the
// line cuts it), the line is formatted only when written.
struct ChangeTrace {
    static constexpr int kNameMax = 259;
    const char* What;
    uint32_t Slot, FatherId;
    int Length;
    char Name[kNameMax];
};

// While a sink is set on a thread, the traces of that thread's record
// changes are kept there instead of written: writing one costs tens of
// microseconds, which a holder of the record lock writes after releasing it
// (WriteChangeTraces). Keeping one neither formats nor allocates while the
// sink has room, so a holder reserves room before taking the lock. Null
// writes them at once again.
void DeferChangeTraces(std::vector<ChangeTrace>* sink);
void WriteChangeTraces(std::vector<ChangeTrace>& traces);

// The ANSI marker put in place of a folder that cannot be named.
const std::string& LostFolderMarker();

// Counts every change of any volume's records or names (the journal's four
// operations, loading, clearing), so that a search can tell that the index
// has stayed as it was since an earlier one.
extern volatile LONG g_IndexChangeStamp;
