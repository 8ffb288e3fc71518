#include "scanner/recover.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/handle.h"
#include "platform/strconv.h"
#include "platform/trace.h"
#include "scanner/file_record.h"
#include "scanner/mft_reader.h"

namespace scanner {
namespace {

constexpr size_t kCopyChunk = 1u << 20;
constexpr size_t kMaxPieces = 4096;
constexpr size_t kMaxListBytes = 256u << 10;
constexpr uint64_t kMaxFileBytes = 16ull << 40;

struct DataPiece {
    int64_t lowestVcn;
    bool resident;
    uint16_t flags;
    int64_t dataSize;
    int64_t initializedSize;
    std::vector<uint8_t> residentValue;
    std::vector<DataRun> runs;
    bool decoded;
};

// Collects the unnamed $DATA pieces of one record.
void CollectData(NtfsVolume& volume, FileRecord& record, std::vector<DataPiece>& pieces) {
    for (const ntfs::AttributeHeader* a = record.First(); a; a = record.Next()) {
        if (a->type != ntfs::kAttrData || !IsUnnamed(a) || pieces.size() >= kMaxPieces) continue;
        DataPiece p{};
        p.flags = a->flags;
        if (!a->nonResident) {
            const uint8_t* v = nullptr;
            uint32_t n = 0;
            if (!ResidentValue(a, v, n)) continue;
            p.resident = true;
            p.dataSize = p.initializedSize = n;
            p.residentValue.assign(v, v + n);
            p.decoded = true;
        } else {
            const ntfs::NonResidentAttribute* nr = NonResidentHeader(a);
            const uint8_t *b = nullptr, *e = nullptr;
            if (!nr || !MappingPairs(a, b, e)) continue;
            p.lowestVcn = nr->lowestVcn;
            p.dataSize = nr->dataSize;
            p.initializedSize = nr->initializedSize;
            p.decoded = DecodeDataRuns(b, e, nr->lowestVcn, volume.TotalClusters(), p.runs);
        }
        pieces.push_back(std::move(p));
    }
}

bool WriteAll(HANDLE out, const uint8_t* data, size_t length, RecoveryCounter& counter) {
    while (length) {
        DWORD n = static_cast<DWORD>(std::min<size_t>(length, kCopyChunk));
        DWORD written = 0;
        if (!::WriteFile(out, data, n, &written, nullptr) || written != n) return false;
        counter.Add(n);
        data += n;
        length -= n;
    }
    return true;
}

// Reads a record's best name as the scan does.
class NameSink : public MftSink {
public:
    void OnEntry(const MftEntry& e) override {
        name = NameToAnsi(e.name, e.nameLength);
        found = true;
    }
    std::string name;
    bool found = false;
};

std::wstring JoinTarget(const std::wstring& folder, const std::wstring& name, int copy) {
    if (copy < 2) return folder + name;
    std::wstring stem = name, ext;
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    return folder + stem + L" (" + std::to_wstring(copy) + L")" + ext;
}

bool CreateFolders(const std::wstring& folder) {
    // Every level from the first one below the drive or share root.
    for (size_t pos = folder.find(L'\\', 3); pos != std::wstring::npos; pos = folder.find(L'\\', pos + 1)) {
        std::wstring level = folder.substr(0, pos);
        if (!::CreateDirectoryW(level.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            DWORD attrs = ::GetFileAttributesW(level.c_str());
            if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) return false;
        }
    }
    DWORD attrs = ::GetFileAttributesW(folder.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

std::string NameToAnsi(const wchar_t* name, size_t length) {
    std::string out;
    out.reserve(length);
    size_t i = 0;
    for (; i < length && name[i] < 0x80 && name[i] != 0; ++i) out.push_back(static_cast<char>(name[i]));
    if (i == length) return out;
    return platform::WideToAnsi(name, static_cast<int>(length));
}

RecoverStatus CopyRecordData(NtfsVolume& volume, uint32_t slot, const std::string& expectedName, HANDLE out,
                             RecoveryCounter& counter) {
    NameSink names;
    MftReader reader(volume);
    if (!reader.ReadEntry(slot, names) || names.name != expectedName) return RecoverStatus::kRecordMismatch;

    std::vector<uint8_t> base(volume.RecordSize());
    if (!volume.ReadRecord(slot, base.data())) return RecoverStatus::kRecordMismatch;
    FileRecord record;
    if (!record.Attach(base.data(), base.size()) || !record.IsBase() || record.IsDirectory()) {
        return RecoverStatus::kRecordMismatch;
    }
    std::vector<DataPiece> pieces;
    CollectData(volume, record, pieces);
    const ntfs::AttributeHeader* list = nullptr;
    for (const ntfs::AttributeHeader* a = record.First(); a; a = record.Next()) {
        if (a->type == ntfs::kAttrAttributeList) list = a;
    }
    if (list) {
        // Pieces in extension records; each record once and only when it
        // names this slot as its base.
        std::vector<uint8_t> value;
        std::vector<ListEntry> entries;
        if (ReadAttributeValue(volume, list, kMaxListBytes, value)) {
            ParseAttributeList(value.data(), value.size(), 8192, entries);
        }
        std::vector<uint32_t> records;
        for (const ListEntry& e : entries) {
            if (e.type == ntfs::kAttrData && e.unnamed && e.record != slot && e.record <= 0xFFFFFFFFull) {
                records.push_back(static_cast<uint32_t>(e.record));
            }
        }
        std::sort(records.begin(), records.end());
        records.erase(std::unique(records.begin(), records.end()), records.end());
        std::vector<uint8_t> ext(volume.RecordSize());
        for (uint32_t r : records) {
            FileRecord er;
            if (volume.ReadRecord(r, ext.data()) && er.Attach(ext.data(), ext.size()) &&
                ntfs::ReferenceRecord(er.Header().baseRecord) == slot) {
                CollectData(volume, er, pieces);
            }
        }
    }
    if (pieces.empty()) {
        // No data stream at all: an empty file.
        return RecoverStatus::kOk;
    }
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const DataPiece& a, const DataPiece& b) { return a.lowestVcn < b.lowestVcn; });
    const DataPiece& first = pieces[0];
    if (first.lowestVcn != 0 || !first.decoded) return RecoverStatus::kDataUnreadable;
    if (first.flags & (ntfs::kAttrCompressed | ntfs::kAttrEncrypted)) return RecoverStatus::kUnsupported;
    if (first.resident) {
        return WriteAll(out, first.residentValue.data(), first.residentValue.size(), counter)
                   ? RecoverStatus::kOk
                   : RecoverStatus::kTargetFailed;
    }

    // The runs of all pieces, which must follow on without gaps or overlaps.
    std::vector<DataRun> runs;
    int64_t nextVcn = 0;
    for (const DataPiece& p : pieces) {
        if (p.resident || !p.decoded || p.lowestVcn != nextVcn) return RecoverStatus::kDataUnreadable;
        for (const DataRun& r : p.runs) {
            runs.push_back(r);
            nextVcn = r.vcn + static_cast<int64_t>(r.length);
        }
    }
    const uint64_t cluster = volume.BytesPerCluster();
    const uint64_t size = static_cast<uint64_t>(first.dataSize);
    const uint64_t initialized = std::min<uint64_t>(static_cast<uint64_t>(first.initializedSize), size);
    if (static_cast<uint64_t>(nextVcn) * cluster < size) return RecoverStatus::kDataUnreadable;
    // Beyond the largest file NTFS can hold: a damaged record, not a file
    // worth filling the target drive with zeros for.
    if (size > kMaxFileBytes) return RecoverStatus::kDataUnreadable;

    std::vector<uint8_t> storage(kCopyChunk + 4096);
    uint8_t* buffer = storage.data() + (4096 - reinterpret_cast<uintptr_t>(storage.data()) % 4096) % 4096;
    uint64_t pos = 0;
    for (const DataRun& r : runs) {
        if (pos >= size) break;
        uint64_t runBytes = std::min<uint64_t>(r.length * cluster, size - pos);
        uint64_t inRun = 0;
        while (inRun < runBytes) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(kCopyChunk, runBytes - inRun));
            const uint64_t at = pos + inRun;
            if (r.lcn == DataRun::kSparse || at >= initialized) {
                std::memset(buffer, 0, n);
            } else {
                // Whole clusters are read; only the part inside the
                // initialized size is kept.
                size_t readBytes = static_cast<size_t>((n + cluster - 1) / cluster * cluster);
                if (readBytes > kCopyChunk) readBytes = kCopyChunk;
                if (!volume.ReadClusterBytes(r.lcn, inRun, buffer, readBytes)) return RecoverStatus::kDataUnreadable;
                if (at + n > initialized) std::memset(buffer + (initialized - at), 0, static_cast<size_t>(at + n - initialized));
            }
            if (!WriteAll(out, buffer, n, counter)) return RecoverStatus::kTargetFailed;
            inRun += n;
        }
        pos += runBytes;
    }
    return pos >= size ? RecoverStatus::kOk : RecoverStatus::kDataUnreadable;
}

RecoverStatus RecoverToFolder(const std::string& fullPath, const std::string& targetFolder, uint32_t hint,
                              RecoveryCounter& counter, SectorSource* volumeOverride) {
    if (fullPath.size() < 4 || !IsDriveLetter(fullPath[0]) || fullPath[1] != ':' || fullPath[2] != '\\') {
        return RecoverStatus::kBadArguments;
    }
    const size_t slash = fullPath.rfind('\\');
    const std::string name = fullPath.substr(slash + 1);
    if (name.empty() || targetFolder.empty()) return RecoverStatus::kBadArguments;
    // The copy must not land on the volume it is read from: writing there
    // could overwrite the very clusters being recovered.
    if (targetFolder.size() >= 2 && targetFolder[1] == ':' && Upper(targetFolder[0]) == Upper(fullPath[0])) {
        return RecoverStatus::kSameVolume;
    }

    HandleSectorSource raw;
    SectorSource* source = volumeOverride;
    if (!source) {
        if (!raw.OpenVolume(static_cast<wchar_t>(Upper(fullPath[0])))) return RecoverStatus::kVolumeUnreadable;
        source = &raw;
    }
    NtfsVolume volume(*source);
    if (!volume.Open()) return RecoverStatus::kVolumeUnreadable;

    std::wstring folder = platform::AnsiToWide(targetFolder);
    if (folder.back() != L'\\') folder += L'\\';
    if (!CreateFolders(folder)) {
        platform::TraceLastError("scanner: creating the recovery folder");
        return RecoverStatus::kTargetFailed;
    }
    const std::wstring wideName = platform::AnsiToWide(name);
    platform::FileHandle out;
    std::wstring target;
    for (int copy = 1; copy < 10000 && !out; ++copy) {
        target = JoinTarget(folder, wideName, copy);
        out.Reset(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out && ::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    if (!out) {
        platform::TraceLastError("scanner: creating the recovered file");
        return RecoverStatus::kTargetFailed;
    }
    RecoverStatus status = CopyRecordData(volume, hint, name, out.Get(), counter);
    out.Close();
    if (status != RecoverStatus::kOk) ::DeleteFileW(target.c_str());
    return status;
}

} // namespace scanner
