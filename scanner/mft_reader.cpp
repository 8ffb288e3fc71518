#include "scanner/mft_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/handle.h"
#include "platform/thread.h"
#include "platform/trace.h"
#include "scanner/file_record.h"

namespace scanner {
namespace {

// One read of the table covers this many bytes (a multiple of every record
// size); large reads keep the system-call count low.
constexpr size_t kChunkBytes = 1u << 20;
// Bounds against hostile attribute lists.
constexpr size_t kMaxListBytes = 256u << 10;
constexpr size_t kMaxListEntries = 8192;
constexpr size_t kMaxExtensionRecords = 256;
constexpr size_t kMaxNameUnits = 255;

int NameRank(uint8_t nameSpace) {
    // Long names (Win32, POSIX) win over the DOS 8.3 alias.
    switch (nameSpace) {
    case ntfs::kNameSpaceWin32:
    case ntfs::kNameSpaceWin32AndDos: return 3;
    case ntfs::kNameSpacePosix: return 2;
    case ntfs::kNameSpaceDos: return 1;
    default: return 0;
    }
}

} // namespace

struct MftReader::Collected {
    bool hasTimes = false;
    uint64_t creation = 0, modification = 0, access = 0;
    int nameRank = 0;
    uint32_t parent = 0;
    uint32_t nameLength = 0;
    wchar_t name[kMaxNameUnits];
    bool hasSize = false;
    int64_t size = 0;
    const ntfs::AttributeHeader* list = nullptr;
};

void MftReader::CollectAttributes(FileRecord& record, Collected& out, bool followList) {
    for (const ntfs::AttributeHeader* a = record.First(); a; a = record.Next()) {
        switch (a->type) {
        case ntfs::kAttrStandardInformation: {
            const uint8_t* v = nullptr;
            uint32_t n = 0;
            if (!out.hasTimes && ResidentValue(a, v, n) && n >= 32) {
                ntfs::StandardInformation si = {};
                std::memcpy(&si, v, n < sizeof(si) ? n : sizeof(si));
                out.creation = si.creationTime;
                out.modification = si.modificationTime;
                out.access = si.accessTime;
                out.hasTimes = true;
            }
            break;
        }
        case ntfs::kAttrFileName: {
            const uint8_t* v = nullptr;
            uint32_t n = 0;
            if (!ResidentValue(a, v, n) || n < sizeof(ntfs::FileNameAttribute)) break;
            ntfs::FileNameAttribute fn;
            std::memcpy(&fn, v, sizeof(fn));
            if (fn.nameLength == 0 || (n - sizeof(fn)) / 2 < fn.nameLength) break;
            const int rank = NameRank(fn.nameSpace);
            if (rank <= out.nameRank) break;
            out.nameRank = rank;
            out.parent = static_cast<uint32_t>(fn.parentReference);
            out.nameLength = fn.nameLength;
            std::memcpy(out.name, v + sizeof(fn), fn.nameLength * 2u);
            break;
        }
        case ntfs::kAttrData: {
            if (!IsUnnamed(a) || out.hasSize) break;
            if (!a->nonResident) {
                const uint8_t* v = nullptr;
                uint32_t n = 0;
                if (ResidentValue(a, v, n)) {
                    out.size = n;
                    out.hasSize = true;
                }
            } else if (const ntfs::NonResidentAttribute* nr = NonResidentHeader(a)) {
                // Only the first piece of a split stream carries the sizes.
                if (nr->lowestVcn == 0) {
                    out.size = nr->dataSize;
                    out.hasSize = true;
                }
            }
            break;
        }
        case ntfs::kAttrAttributeList:
            if (followList) out.list = a;
            break;
        default:
            break;
        }
    }
}

void MftReader::FollowAttributeList(uint32_t slot, const ntfs::AttributeHeader* list, Collected& out) {
    if (!ReadAttributeValue(volume_, list, kMaxListBytes, listValue_)) return;
    std::vector<ListEntry> entries;
    ParseAttributeList(listValue_.data(), listValue_.size(), kMaxListEntries, entries);
    std::vector<uint32_t> records;
    for (const ListEntry& e : entries) {
        const bool wanted = e.type == ntfs::kAttrStandardInformation || e.type == ntfs::kAttrFileName ||
                            (e.type == ntfs::kAttrData && e.unnamed && e.lowestVcn == 0);
        if (wanted && e.record != slot && e.record <= 0xFFFFFFFFull) records.push_back(static_cast<uint32_t>(e.record));
    }
    // Each extension record once, and never the base itself: a list that
    // names records over and over cannot make us loop.
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    if (records.size() > kMaxExtensionRecords) records.resize(kMaxExtensionRecords);
    std::vector<uint8_t> ext(volume_.RecordSize());
    for (uint32_t r : records) {
        if (!volume_.ReadRecord(r, ext.data())) continue;
        FileRecord er;
        if (!er.Attach(ext.data(), ext.size())) continue;
        // Only records that name this slot as their base count.
        if (ntfs::ReferenceRecord(er.Header().baseRecord) != slot) continue;
        CollectAttributes(er, out, false);
    }
}

bool MftReader::ParseRecord(uint32_t slot, uint8_t* record, MftSink& sink, bool& emitted) {
    emitted = false;
    const size_t size = volume_.RecordSize();
    if (!ApplyFixups(record, size)) return false;
    FileRecord fr;
    if (!fr.Attach(record, size)) return false;
    if (!fr.IsBase()) return true;  // its attributes belong to its base record
    Collected c;
    CollectAttributes(fr, c, true);
    if (fr.Malformed()) return false;
    if (c.list) FollowAttributeList(slot, c.list, c);
    if (c.nameRank == 0) return true;
    MftEntry e;
    e.slot = slot;
    e.parentSlot = c.parent;
    e.inUse = fr.InUse();
    e.isDirectory = fr.IsDirectory();
    e.creationTime = c.creation;
    e.modificationTime = c.modification;
    e.accessTime = c.access;
    e.size = e.isDirectory ? 0 : c.size;
    e.name = c.name;
    e.nameLength = c.nameLength;
    sink.OnEntry(e);
    emitted = true;
    return true;
}

bool MftReader::ReadEntry(uint32_t slot, MftSink& sink) {
    if (slot >= volume_.RecordCount()) return false;
    std::vector<uint8_t> record(volume_.RecordSize());
    if (!volume_.ReadMftBytes(static_cast<uint64_t>(slot) * record.size(), record.data(), record.size())) return false;
    uint32_t magic;
    std::memcpy(&magic, record.data(), 4);
    bool emitted = false;
    return magic == ntfs::kFileMagic && ParseRecord(slot, record.data(), sink, emitted) && emitted;
}

namespace {

// Reads the table's chunks on a second thread, one chunk ahead of the
// parser, so copying the next chunk overlaps parsing the current one.
class ReadAhead {
public:
    ReadAhead(NtfsVolume& volume, uint32_t count, size_t perChunk)
        : volume_(volume), count_(count), perChunk_(perChunk), recordSize_(volume.RecordSize()) {
        for (int b = 0; b < 2; ++b) {
            storage_[b].resize(kChunkBytes + 4096);
            // Page-aligned so raw volumes are read without a bounce copy.
            uint8_t* base = storage_[b].data();
            buffer_[b] = base + (4096 - reinterpret_cast<uintptr_t>(base) % 4096) % 4096;
            filled_[b].Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
            free_[b].Reset(::CreateEventW(nullptr, FALSE, TRUE, nullptr));
        }
    }
    ~ReadAhead() { Stop(); }

    // Starts the reader thread; false when the system refuses, and the
    // caller then reads each chunk itself.
    bool Start() {
        if (!filled_[0] || !filled_[1] || !free_[0] || !free_[1]) return false;
        return thread_.Start(&ReadAhead::Proc, this);
    }
    // Waits for chunk `index`; answers its buffer and whether it was read whole.
    uint8_t* Take(uint64_t index, bool& whole) {
        const int b = static_cast<int>(index & 1);
        ::WaitForSingleObject(filled_[b].Get(), INFINITE);
        whole = ok_[b];
        return buffer_[b];
    }
    // Hands the buffer of chunk `index` back for the chunk after next.
    void Give(uint64_t index) { ::SetEvent(free_[index & 1].Get()); }
    void Stop() {
        if (!thread_.IsStarted()) return;
        stop_ = 1;
        ::SetEvent(free_[0].Get());
        ::SetEvent(free_[1].Get());
        thread_.Join();
        thread_.Close();
    }

private:
    static unsigned __stdcall Proc(void* self) {
        static_cast<ReadAhead*>(self)->Run();
        return 0;
    }
    void Run() {
        uint64_t index = 0;
        for (uint64_t first = 0; first < count_; first += perChunk_, ++index) {
            const int b = static_cast<int>(index & 1);
            ::WaitForSingleObject(free_[b].Get(), INFINITE);
            if (stop_) return;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(perChunk_, count_ - first));
            ok_[b] = volume_.ReadMftBytes(first * recordSize_, buffer_[b], n * recordSize_);
            ::SetEvent(filled_[b].Get());
        }
    }

    NtfsVolume& volume_;
    const uint64_t count_;
    const size_t perChunk_;
    const size_t recordSize_;
    std::vector<uint8_t> storage_[2];
    uint8_t* buffer_[2];
    bool ok_[2] = {false, false};
    platform::UniqueHandle filled_[2], free_[2];
    volatile LONG stop_ = 0;
    platform::Thread thread_;
};

} // namespace

bool MftReader::Scan(MftSink& sink, MftScanStats* stats) {
    MftScanStats local;
    MftScanStats& st = stats ? *stats : local;
    st = MftScanStats();
    const size_t recordSize = volume_.RecordSize();
    const uint32_t count = volume_.RecordCount();
    const size_t perChunk = kChunkBytes / recordSize;
    ReadAhead ahead(volume_, count, perChunk);
    const bool threaded = ahead.Start();
    std::vector<uint8_t> own;
    uint8_t* ownBuffer = nullptr;
    if (!threaded) {
        own.resize(kChunkBytes + 4096);
        ownBuffer = own.data() + (4096 - reinterpret_cast<uintptr_t>(own.data()) % 4096) % 4096;
    }
    bool readAnything = false;
    uint64_t index = 0;
    for (uint64_t first = 0; first < count; first += perChunk, ++index) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(perChunk, count - first));
        const uint64_t offset = first * recordSize;
        bool whole = false;
        uint8_t* buffer;
        if (threaded) {
            buffer = ahead.Take(index, whole);
        } else {
            buffer = ownBuffer;
            whole = volume_.ReadMftBytes(offset, buffer, n * recordSize);
        }
        if (!whole) {
            // Read what can be read one record at a time; unreadable ones are
            // left as zeros and skipped.
            for (size_t i = 0; i < n; ++i) {
                uint8_t* rec = buffer + i * recordSize;
                if (!volume_.ReadMftBytes(offset + i * recordSize, rec, recordSize)) std::memset(rec, 0, recordSize);
                else readAnything = true;
            }
        } else {
            readAnything = true;
            st.mftBytes += n * recordSize;
        }
        for (size_t i = 0; i < n; ++i) {
            uint8_t* rec = buffer + i * recordSize;
            ++st.records;
            uint32_t magic;
            std::memcpy(&magic, rec, 4);
            if (magic != ntfs::kFileMagic) continue;  // never used, or not a record
            bool emitted = false;
            if (!ParseRecord(static_cast<uint32_t>(first + i), rec, sink, emitted)) ++st.badRecords;
            if (emitted) ++st.entries;
        }
        if (threaded) ahead.Give(index);
    }
    ahead.Stop();
    if (st.badRecords) platform::Trace("scanner: %u damaged records skipped", st.badRecords);
    return readAnything;
}

} // namespace scanner
