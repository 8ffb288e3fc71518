#include "index/index_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "index/index_record.h"
#include "index/volume_index.h"
#include "platform/handle.h"
#include "platform/thread.h"
#include "platform/trace.h"
#include "scanner/search_file.h"

namespace {

// Larger files are not provided for: offsets are 32-bit.
constexpr uint64_t kMaxFileSize = 0xFFFFFFFEull;
constexpr DWORD kIoChunk = 64u << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

platform::FileHandle OpenForRead(const std::wstring& path) {
    // Loading never writes: files the user may only read load as well.
    // Shared for writing and deleting too, so a scan may replace the file
    // while it is read.
    platform::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        if (!IsMissing(::GetLastError())) platform::TraceLastError("open an index file for reading");
        return file;
    }
    // A pipe or a device under the name is no index file, and reading it
    // could wait for ever.
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        platform::TraceW(L"%ls is not a file on disk: not loaded", path.c_str());
        file.Close();
    }
    return file;
}

// Reads up to `size` bytes; returns how many were read.
size_t ReadAll(HANDLE file, void* buffer, size_t size) {
    char* p = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, kIoChunk));
        DWORD got = 0;
        if (!::ReadFile(file, p + done, want, &got, nullptr)) {
            platform::TraceLastError("ReadFile");
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool WriteAll(HANDLE file, const void* buffer, size_t size) {
    const char* p = static_cast<const char*>(buffer);
    while (size) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(size, kIoChunk));
        DWORD put = 0;
        if (!::WriteFile(file, p, want, &put, nullptr) || put != want) {
            if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_WRITE_FAULT);
            platform::TraceLastError("WriteFile");
            return false;
        }
        p += put;
        size -= put;
    }
    return true;
}

// Size of an open file when it is usable (not empty, below 4 GB).
bool UsableSize(HANDLE file, size_t& size) {
    LARGE_INTEGER li;
    if (!::GetFileSizeEx(file, &li) || li.QuadPart <= 0) return false;
    if (static_cast<uint64_t>(li.QuadPart) > kMaxFileSize) {
        platform::Trace("index file of %lld bytes is too large", static_cast<long long>(li.QuadPart));
        return false;
    }
    size = static_cast<size_t>(li.QuadPart);
    return true;
}

// Whether an index file was written before its name file, give or take a
// moment for a clock that was set back: a save writes its index file first.
// An index file written clearly later comes from a later scan whose name
// file never arrived, a mix the names alone cannot show when they kept their
// lengths. Files whose times cannot be read are given the benefit.
bool WrittenInSaveOrder(HANDLE index, HANDLE names) {
    constexpr uint64_t kSlack = 2ull * 10000000;  // 2 s in 100 ns units
    FILETIME indexTime, nameTime;
    if (!::GetFileTime(index, nullptr, nullptr, &indexTime) || !::GetFileTime(names, nullptr, nullptr, &nameTime))
        return true;
    const uint64_t indexAt = (static_cast<uint64_t>(indexTime.dwHighDateTime) << 32) | indexTime.dwLowDateTime;
    const uint64_t nameAt = (static_cast<uint64_t>(nameTime.dwHighDateTime) << 32) | nameTime.dwLowDateTime;
    return indexAt <= nameAt + kSlack;
}

// Record storage for `count` records with a little room past the last slot:
// the journal adds records beyond the table under the record lock, and
// growing a table of millions of records there would copy all of it while
// searches and windows wait. Storage that is large enough already is kept.
void ReserveRecords(RecordArray& records, size_t count) {
    const size_t headroom = std::max<size_t>(count / 32, 1024);
    if (records.capacity() < count + headroom) {
        RecordArray().swap(records);
        records.reserve(count + headroom);
    }
}

// --- What lies where an index file goes ---------------------------------

enum class Occupant {
    None,       // nothing
    OwnFile,    // a file on disk reached by this very name
    OwnFolder,  // a folder of this very name
    Device,     // a pipe or a device, or a link to one: they look the same
    LinkEntry,  // a link to a file, which the system removes as itself
    Foreign,    // a link to something elsewhere, or what cannot be looked at
};

struct PathState {
    Occupant Kind = Occupant::None;
    DWORD Attributes = 0;
    DWORD Error = 0;  // why it could not be looked at, when known
};

// The path an open handle resolves to ("\\?\C:\dir\name"), or empty.
std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD length = ::GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.assign(length + 1, L'\0');
    }
    return std::wstring();
}

// True when `handle`, opened through `path`, is the entry of that name
// itself and not what a link there leads to. Some systems do not mark links
// to files as links at all; the resolved path still tells them apart.
bool ReachedDirectly(const std::wstring& path, HANDLE handle) {
    wchar_t* part = nullptr;
    DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::wstring full(length, L'\0');
    length = ::GetFullPathNameW(path.c_str(), length, &full[0], &part);
    if (length == 0 || length >= full.size() || !part) return false;
    full.resize(length);
    const std::wstring name = part;
    const std::wstring folderPath = full.substr(0, full.size() - name.size());
    platform::FileHandle folder(::CreateFileW(folderPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return false;
    std::wstring expected = FinalPath(folder.Get());
    // A file system that resolves no path at all has no links to follow either.
    if (expected.empty()) return true;
    const std::wstring actual = FinalPath(handle);
    if (actual.empty()) return false;
    if (expected.back() != L'\\') expected += L'\\';
    expected += name;
    return ::CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), actual.c_str(),
                                  static_cast<int>(actual.size()), TRUE) == CSTR_EQUAL;
}

PathState Inspect(const std::wstring& path) {
    PathState state;
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool known = ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
    if (!known) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error)) return state;
        state.Error = error;  // something is there; opening it tells more
    } else {
        state.Attributes = data.dwFileAttributes;
        if (state.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // Removing a link to a folder may remove what it leads to on
            // some systems: such a link is never touched.
            state.Kind = (state.Attributes & FILE_ATTRIBUTE_DIRECTORY) ? Occupant::Foreign : Occupant::LinkEntry;
            return state;
        }
    }
    platform::FileHandle handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        state.Kind = Occupant::Foreign;
        state.Error = ::GetLastError();
        return state;
    }
    if (::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
        state.Kind = Occupant::Device;
        return state;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle.Get(), &info) || !ReachedDirectly(path, handle.Get())) {
        state.Kind = Occupant::Foreign;
        return state;
    }
    if (!known) state.Attributes = info.dwFileAttributes;
    state.Kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Occupant::OwnFolder : Occupant::OwnFile;
    return state;
}

const char* OccupantText(Occupant kind) {
    switch (kind) {
    case Occupant::None: return "nothing";
    case Occupant::OwnFile: return "a file";
    case Occupant::OwnFolder: return "a folder";
    case Occupant::Device: return "a pipe or a device";
    case Occupant::LinkEntry: return "a link";
    case Occupant::Foreign: return "a link or what cannot be opened";
    }
    return "?";
}

// Runs `step` again for a moment while it fails because someone else has the
// file open: virus scanners and indexers open fresh files briefly.
template <typename Step>
bool RetryWhileInUse(Step step, bool deniedToo) {
    for (int attempt = 0;; ++attempt) {
        if (step()) return true;
        const DWORD error = ::GetLastError();
        const bool inUse = error == ERROR_SHARING_VIOLATION || (deniedToo && error == ERROR_ACCESS_DENIED);
        if (!inUse || attempt == 9) return false;
        ::Sleep(100);
    }
}

// Whether the pair may go to a final name: nothing is there, or a file of
// ours that is neither read-only nor open anywhere (replacing an open file
// fails half-way, after the other file of the pair has gone). `exists` tells
// which.
bool CanTakeFinalName(const std::wstring& path, bool* exists, DWORD* error) {
    const PathState state = Inspect(path);
    *exists = state.Kind != Occupant::None;
    if (state.Kind == Occupant::None) return true;
    if (state.Kind != Occupant::OwnFile) {
        *error = state.Error ? state.Error : ERROR_ACCESS_DENIED;
        platform::TraceW(L"SaveIndex: %ls is %hs, not a file of ours: left as it is", path.c_str(),
                         OccupantText(state.Kind));
        return false;
    }
    if (state.Attributes & FILE_ATTRIBUTE_READONLY) {
        *error = ERROR_ACCESS_DENIED;
        platform::TraceW(L"SaveIndex: %ls is read-only: left as it is", path.c_str());
        return false;
    }
    platform::FileHandle alone;
    RetryWhileInUse([&] {
        alone.Reset(::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return alone.IsValid();
    }, false);
    if (!alone) {
        *error = ::GetLastError();
        platform::TraceW(L"SaveIndex: %ls cannot be replaced now (error %lu)", path.c_str(), *error);
        return false;
    }
    return true;
}

// Clears a temporary name for a new file: what lies there goes when it is
// ours to remove -- a leftover of an interrupted save, an empty folder, a
// link as itself. Pipes and devices stay: a link to a device cannot be told
// from the device itself. False, with the error, when something stays --
// also when the system reported it removed: a file the file system keeps
// (an immutable one, say) can be "deleted" on close without going.
bool ClearTemporaryName(const std::wstring& path, DWORD* error) {
    const PathState state = Inspect(path);
    BOOL removed = FALSE;
    switch (state.Kind) {
    case Occupant::None:
        return true;
    case Occupant::OwnFile:
        if (state.Attributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(path.c_str(), state.Attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        removed = ::DeleteFileW(path.c_str());
        break;
    case Occupant::OwnFolder:
        removed = ::RemoveDirectoryW(path.c_str());  // only when empty
        break;
    case Occupant::LinkEntry:
        removed = ::DeleteFileW(path.c_str());
        break;
    case Occupant::Device:
    case Occupant::Foreign:
        ::SetLastError(state.Error ? state.Error : ERROR_ACCESS_DENIED);
        break;
    }
    if (removed && Inspect(path).Kind != Occupant::None) {
        platform::TraceW(L"SaveIndex: %ls was reported removed but is still there", path.c_str());
        removed = FALSE;
        ::SetLastError(ERROR_ACCESS_DENIED);
    }
    if (removed) {
        platform::TraceW(L"SaveIndex: removed %hs at %ls", OccupantText(state.Kind), path.c_str());
        return true;
    }
    *error = ::GetLastError();
    platform::TraceW(L"SaveIndex: %ls holds %hs that cannot be removed (error %lu)", path.c_str(),
                     OccupantText(state.Kind), *error);
    return false;
}

// Which file a name leads to: its volume and file number.
struct FileIdentity {
    DWORD Volume = 0;
    DWORD High = 0;
    DWORD Low = 0;
    bool operator==(const FileIdentity& other) const {
        return Volume == other.Volume && High == other.High && Low == other.Low;
    }
};

bool Identify(const std::wstring& path, FileIdentity* identity) {
    platform::FileHandle file(
        ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return false;
    identity->Volume = info.dwVolumeSerialNumber;
    identity->High = info.nFileIndexHigh;
    identity->Low = info.nFileIndexLow;
    return true;
}

// Moves a file of ours to a free name (nothing there is replaced) and makes
// sure it went: the old name is free and the new one leads to the same file.
// A system may report a step done that the file system quietly refused.
bool MoveAndConfirm(const std::wstring& from, const std::wstring& to) {
    FileIdentity before;
    if (!Identify(from, &before)) {
        const DWORD error = ::GetLastError();
        platform::TraceW(L"SaveIndex: %ls cannot be looked at (error %lu)", from.c_str(), error);
        ::SetLastError(error);
        return false;
    }
    if (!RetryWhileInUse([&] { return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE; },
                         true)) {
        const DWORD error = ::GetLastError();
        platform::TraceW(L"SaveIndex: %ls cannot be moved to %ls (error %lu)", from.c_str(), to.c_str(), error);
        ::SetLastError(error);
        return false;
    }
    FileIdentity after;
    if (Inspect(from).Kind == Occupant::None && Identify(to, &after) && after == before) return true;
    platform::TraceW(L"SaveIndex: %ls was reported moved to %ls but did not go there", from.c_str(), to.c_str());
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

// Removes a temporary file this save made and makes sure it went; says so
// when it stays. Its own handle must be closed first: it was opened without
// FILE_SHARE_DELETE, so a delete meets a sharing violation while it is open.
void RemoveOwnTemporary(const std::wstring& path) {
    if (!RetryWhileInUse([&] { return ::DeleteFileW(path.c_str()) != FALSE; }, true)) {
        const DWORD error = ::GetLastError();
        if (!IsMissing(error))
            platform::TraceW(L"SaveIndex: %ls of the failed save cannot be removed (error %lu)", path.c_str(), error);
        return;
    }
    if (Inspect(path).Kind != Occupant::None)
        platform::TraceW(L"SaveIndex: %ls of the failed save was reported removed but is still there", path.c_str());
}

// Closes a file that was written, telling whether the close went well: some
// file systems report a write that could not be done only here.
bool CloseWritten(platform::FileHandle& file) {
    return ::CloseHandle(file.Detach()) != FALSE;
}

// Creates a temporary file that did not exist: whatever appeared at the name
// since it was cleared is not written through.
platform::FileHandle CreateTemporary(const std::wstring& path) {
    platform::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && ::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        file.Close();
        ::SetLastError(ERROR_ACCESS_DENIED);
    }
    return file;
}

} // namespace

std::wstring IndexFileName(const std::wstring& folder, const wchar_t* pattern, wchar_t letter) {
    wchar_t name[32];
    _snwprintf(name, 32, pattern, letter);
    name[31] = 0;
    if (folder.empty()) return name;
    std::wstring path = folder;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path + name;
}

uint32_t FindPoolOffset(uintptr_t address, char* const* pools, size_t poolCount) {
    if (!address || !pools) return kNoNameOffset;
    for (size_t p = 0; p < poolCount; ++p) {
        uintptr_t start = reinterpret_cast<uintptr_t>(pools[p]);
        if (start && address >= start && address - start < kScanPoolSize) {
            uint64_t offset = static_cast<uint64_t>(p) * kScanPoolSize + (address - start);
            return offset < kNoNameOffset ? static_cast<uint32_t>(offset) : kNoNameOffset;
        }
    }
    return kNoNameOffset;  // outside every pool: the name is not trusted
}

uint32_t ScanNameToFileOffset(uint32_t field, char* const* pools, size_t poolCount) {
#if UINTPTR_MAX == 0xFFFFFFFFu
    return FindPoolOffset(field, pools, poolCount);
#else
    if (field == 0 || !pools) return kNoNameOffset;
    uint64_t offset = static_cast<uint64_t>(field) - 1;
    if (offset / kScanPoolSize >= poolCount || !pools[offset / kScanPoolSize]) return kNoNameOffset;
    return static_cast<uint32_t>(offset);
#endif
}

bool PrepareScanAnswer(ScanVolumeResult& answer) {
    const size_t count = answer.Records.Count();
    if (count == 0) return false;
    const size_t poolCount = answer.Pools.Count();
    char* const* pools = answer.Pools.First;
    if (static_cast<uint64_t>(count) * sizeof(IndexRecord) > kMaxFileSize ||
        static_cast<uint64_t>(poolCount) * kScanPoolSize > kMaxFileSize) {
        platform::Trace("PrepareScanAnswer: answer of %lu records and %lu name pools is too large",
                        static_cast<unsigned long>(count), static_cast<unsigned long>(poolCount));
        return false;
    }
    IndexRecord* records = answer.Records.First;
    for (size_t i = 0; i < count; ++i)
        records[i].FileName = ScanNameToFileOffset(records[i].FileName, pools, poolCount);
    return true;
}

bool SaveScanAnswer(const std::wstring& folder, wchar_t letter, const ScanVolumeResult& answer, DWORD* error) {
    DWORD ignored = 0;
    DWORD& failure = error ? *error : ignored;
    failure = ERROR_SUCCESS;
    const size_t count = answer.Records.Count();
    if (count == 0) {
        failure = ERROR_INVALID_DATA;
        return false;
    }
    const size_t poolCount = answer.Pools.Count();
    char* const* pools = answer.Pools.First;
    const std::wstring newIndex = IndexFileName(folder, L"indexnew_%c", letter);
    const std::wstring newName = IndexFileName(folder, L"namenew_%c", letter);
    const std::wstring index = IndexFileName(folder, L"index_%c", letter);
    const std::wstring name = IndexFileName(folder, L"name_%c", letter);
    const std::wstring oldIndex = IndexFileName(folder, L"indexold_%c", letter);
    const std::wstring oldName = IndexFileName(folder, L"nameold_%c", letter);

    // Both final names must take the new pair before anything is written:
    // a step that fails half-way through the swap leaves no usable pair.
    bool hadIndex = false, hadName = false;
    if (!CanTakeFinalName(index, &hadIndex, &failure) || !CanTakeFinalName(name, &hadName, &failure)) return false;
    // What an interrupted save left at our own names goes first.
    for (const std::wstring* path : {&newIndex, &newName, &oldIndex, &oldName})
        if (!ClearTemporaryName(*path, &failure)) return false;

    // From here on, files this save created are its own to remove again.
    bool ownIndex = false, ownName = false;
    // The moves made so far, in order.
    struct Move {
        const std::wstring* From;
        const std::wstring* To;
    };
    Move moves[4];
    size_t moveCount = 0;
    auto moved = [&](const std::wstring& from) {
        for (size_t i = 0; i < moveCount; ++i)
            if (moves[i].From == &from) return true;
        return false;
    };
    // `open` is the file being written when the step failed: it is closed
    // before its name can be removed.
    auto fail = [&](const char* step, platform::FileHandle* open = nullptr) {
        failure = ::GetLastError();
        if (failure == ERROR_SUCCESS) failure = ERROR_WRITE_FAULT;
        platform::Trace("SaveIndex %c: %s failed, error %lu", static_cast<char>(letter), step, failure);
        if (open) open->Close();
        // Back the way it came, last move first. Each state on the way back
        // is one the way forward passes too, so a move back that fails stops
        // there safely; the next save clears what is left aside.
        while (moveCount > 0) {
            const Move& last = moves[moveCount - 1];
            if (!MoveAndConfirm(*last.To, *last.From)) {
                platform::Trace("SaveIndex %c: the old pair cannot be put back, error %lu", static_cast<char>(letter),
                                ::GetLastError());
                break;
            }
            --moveCount;
        }
        if (ownIndex && !moved(newIndex)) RemoveOwnTemporary(newIndex);
        if (ownName && !moved(newName)) RemoveOwnTemporary(newName);
        ::SetLastError(failure);
        return false;
    };
    auto move = [&](const std::wstring& from, const std::wstring& to) {
        if (!MoveAndConfirm(from, to)) return false;
        moves[moveCount++] = Move{&from, &to};
        return true;
    };
    {
        platform::FileHandle file = CreateTemporary(newIndex);
        if (!file) return fail("create indexnew");
        ownIndex = true;
        // Flushed before the old pair goes, so that a stop of the machine
        // after the moves never finds the new pair cut short.
        if (!WriteAll(file.Get(), answer.Records.First, count * sizeof(IndexRecord)) ||
            !::FlushFileBuffers(file.Get()))
            return fail("write indexnew", &file);
        if (!CloseWritten(file)) return fail("close indexnew");
    }
    {
        platform::FileHandle file = CreateTemporary(newName);
        if (!file) return fail("create namenew");
        ownName = true;
        // Pool by pool: the same bytes as one buffer of all pools, without
        // needing that much memory at once. A missing pool stays zero-filled
        // so the offsets of later pools hold.
        std::vector<char> zeros;
        for (size_t p = 0; p < poolCount; ++p) {
            const char* pool = pools[p];
            if (!pool) {
                if (zeros.empty()) zeros.assign(kScanPoolSize, 0);
                pool = zeros.data();
            }
            if (!WriteAll(file.Get(), pool, kScanPoolSize)) return fail("write namenew", &file);
        }
        if (!::FlushFileBuffers(file.Get())) return fail("write namenew", &file);
        if (!CloseWritten(file)) return fail("close namenew");
    }

    // The old pair steps aside whole before the new one comes in, so a file
    // that cannot be replaced is found while the old pair can still be put
    // back. Name file first out, index file first in: whenever the program
    // stops, the final names hold the old pair, an index file alone (never
    // loaded), nothing, or the new pair -- never the records of one scan
    // with the names of another.
    if (hadName && !move(name, oldName)) return fail("move name aside");
    if (hadIndex && !move(index, oldIndex)) return fail("move index aside");
    if (!move(newIndex, index)) return fail("move indexnew");
    if (!move(newName, name)) return fail("move namenew");
    // What cannot go now goes with the next save.
    DWORD ignoredError = 0;
    if (hadIndex) ClearTemporaryName(oldIndex, &ignoredError);
    if (hadName) ClearTemporaryName(oldName, &ignoredError);
    return true;
}

bool WriteScanResult(const std::wstring& folder, wchar_t letter, ScanVolumeResult& answer, DWORD* error) {
    if (!PrepareScanAnswer(answer)) {
        if (error) *error = ERROR_INVALID_DATA;
        return false;
    }
    return SaveScanAnswer(folder, letter, answer, error);
}

bool CVolumeIndex::LoadScanAnswer(const ScanVolumeResult& answer) {
    Clear();
    const size_t count = answer.Records.Count();
    const size_t poolCount = answer.Pools.Count();
    const uint64_t nameSize = static_cast<uint64_t>(poolCount) * kScanPoolSize;
    if (count == 0 || poolCount == 0 || nameSize > kMaxFileSize) return false;
    RecordArray records;
    try {
        ReserveRecords(records, count);
        records.assign(answer.Records.First, answer.Records.First + count);
    } catch (const std::exception&) {
        platform::Trace("LoadScanAnswer: no memory for %lu records", static_cast<unsigned long>(count));
        return false;
    }
    // The name buffer is the name file as a save would have written it.
    std::unique_ptr<char[]> names(new (std::nothrow) char[static_cast<size_t>(nameSize) + 1]);
    if (!names) {
        platform::Trace("LoadScanAnswer: no memory for %lu name pools", static_cast<unsigned long>(poolCount));
        return false;
    }
    for (size_t p = 0; p < poolCount; ++p) {
        char* target = names.get() + p * kScanPoolSize;
        if (answer.Pools.First[p])
            memcpy(target, answer.Pools.First[p], kScanPoolSize);
        else
            memset(target, 0, kScanPoolSize);
    }
    AdoptLoaded(std::move(records), std::move(names), static_cast<size_t>(nameSize));
    return true;
}

namespace {

// One piece of a file read into its place in a buffer.
struct ReadJob {
    HANDLE file;     // the opened file; each job reads through its own reopened handle
    uint64_t offset;
    char* target;
    size_t size;
    size_t done;
};

unsigned __stdcall RunReadJob(void* arg) {
    ReadJob& job = *static_cast<ReadJob*>(arg);
    // A handle of its own, so the reads do not queue on one file position; it
    // is the same file even if a scan has replaced the name meanwhile.
    platform::FileHandle own(::ReOpenFile(job.file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    if (!own) return 0;  // the caller reads this piece itself
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(job.offset);
    if (::SetFilePointerEx(own.Get(), at, nullptr, FILE_BEGIN)) job.done = ReadAll(own.Get(), job.target, job.size);
    return 0;
}

// Reads whole files into their buffers. A large load is bound by the first
// touch of fresh memory, which the system serves faster on several threads,
// so big files are read in pieces side by side. Returns per request how many
// bytes from the start were read without a gap.
void ReadFilesParallel(const std::vector<std::pair<HANDLE, std::pair<char*, size_t>>>& requests,
                       std::vector<size_t>& read) {
    constexpr size_t kPiece = 16u << 20;
    constexpr size_t kMaxThreads = 4;
    std::vector<ReadJob> jobs;
    std::vector<size_t> owner;
    for (size_t r = 0; r < requests.size(); ++r) {
        size_t size = requests[r].second.second;
        for (size_t at = 0; at < size; at += kPiece) {
            jobs.push_back({requests[r].first, at, requests[r].second.first + at, std::min(kPiece, size - at), 0});
            owner.push_back(r);
        }
    }
    std::vector<platform::Thread> threads(std::min(kMaxThreads, jobs.size()));
    // Jobs go out round by round to the worker threads; piece 0 of each round
    // stays on this thread.
    for (size_t first = 0; first < jobs.size(); first += threads.size() + 1) {
        size_t started = 0;
        for (size_t j = first + 1; j < jobs.size() && j <= first + threads.size(); ++j, ++started)
            if (!threads[started].Start(&RunReadJob, &jobs[j])) jobs[j].done = 0;
        ReadJob& mine = jobs[first];
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(mine.offset);
        if (::SetFilePointerEx(mine.file, at, nullptr, FILE_BEGIN)) mine.done = ReadAll(mine.file, mine.target, mine.size);
        for (size_t t = 0; t < started; ++t) threads[t].Join();
        for (size_t t = 0; t < started; ++t) threads[t].Close();
    }
    // A piece a worker could not read (no handle of its own) is read here.
    for (ReadJob& job : jobs) {
        if (job.done == 0 && job.size) {
            LARGE_INTEGER at;
            at.QuadPart = static_cast<LONGLONG>(job.offset);
            if (::SetFilePointerEx(job.file, at, nullptr, FILE_BEGIN)) job.done = ReadAll(job.file, job.target, job.size);
        }
    }
    read.assign(requests.size(), 0);
    std::vector<bool> gap(requests.size(), false);
    for (size_t j = 0; j < jobs.size(); ++j) {
        size_t r = owner[j];
        if (gap[r]) continue;
        read[r] += jobs[j].done;
        if (jobs[j].done < jobs[j].size) gap[r] = true;
    }
}

} // namespace

bool CVolumeIndex::LoadFiles(const std::wstring& indexPath, const std::wstring& namePath) {
    // Keep the storage of the last load for reuse; everything else goes.
    RecordArray records = std::move(records_);
    records.clear();
    std::unique_ptr<char[]> names = std::move(names_);
    const size_t capacity = names ? nameCapacity_ : 0;
    Clear();

    // Without a usable name file the drive is not indexed: nothing else is read.
    platform::FileHandle nameFile = OpenForRead(namePath);
    size_t nameSize = 0;
    if (!nameFile || !UsableSize(nameFile.Get(), nameSize)) return false;
    if (nameSize > capacity) {
        names.reset();
        names.reset(new (std::nothrow) char[nameSize + 1]);
        if (!names) {
            platform::Trace("LoadFiles: no memory for %lu bytes of names", static_cast<unsigned long>(nameSize));
            return false;
        }
    }

    platform::FileHandle indexFile = OpenForRead(indexPath);
    size_t indexSize = 0;
    const bool haveRecords = indexFile && UsableSize(indexFile.Get(), indexSize);
    if (haveRecords && !WrittenInSaveOrder(indexFile.Get(), nameFile.Get())) {
        platform::TraceW(L"%ls was written after %ls: not one pair, not loaded", indexPath.c_str(), namePath.c_str());
        return false;
    }
    if (haveRecords) {
        try {
            const size_t count = indexSize / sizeof(IndexRecord);
            ReserveRecords(records, count);
            records.resize(count);  // uninitialised; a partial last record is dropped
        } catch (const std::exception&) {
            platform::Trace("LoadFiles: no memory for %lu bytes of records", static_cast<unsigned long>(indexSize));
            RecordArray().swap(records);
        }
    } else {
        RecordArray().swap(records);  // no records this time: do not hold the old ones
    }

    std::vector<std::pair<HANDLE, std::pair<char*, size_t>>> requests;
    requests.push_back({nameFile.Get(), {names.get(), nameSize}});
    if (!records.empty())
        requests.push_back({indexFile.Get(), {reinterpret_cast<char*>(records.data()), records.size() * sizeof(IndexRecord)}});
    std::vector<size_t> read;
    ReadFilesParallel(requests, read);
    if (read[0] == 0) return false;
    if (!records.empty()) records.resize(read[1] / sizeof(IndexRecord));
    AdoptLoaded(std::move(records), std::move(names), read[0]);
    nameCapacity_ = std::max(capacity, nameSize);
    if (!NamesStartAligned()) {
        // Every name the scanner lays out starts right after the end of the
        // one before it, and each record names the start of one. A record
        // pointing into the middle of a name means the two files come from
        // different scans (an older save stopped between its two moves):
        // such names would be wrong, so the drive waits for its next scan.
        platform::TraceW(L"%ls and %ls are not one pair: not loaded", indexPath.c_str(), namePath.c_str());
        Clear();
        return false;
    }
    return true;
}
