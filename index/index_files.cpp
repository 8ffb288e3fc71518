#include "index/index_files.h"

#include <algorithm>
#include <cstdio>
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

platform::FileHandle OpenForRead(const std::wstring& path) {
    // Shared for deleting too, so a scan may replace the file while it is read.
    return platform::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

platform::FileHandle CreateNew(const std::wstring& path) {
    return platform::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
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

bool WriteScanResult(const std::wstring& folder, wchar_t letter, ScanVolumeResult& answer) {
    const size_t count = answer.Records.Count();
    if (count == 0) return false;
    const size_t poolCount = answer.Pools.Count();
    char* const* pools = answer.Pools.First;
    if (static_cast<uint64_t>(count) * sizeof(IndexRecord) > kMaxFileSize ||
        static_cast<uint64_t>(poolCount) * kScanPoolSize > kMaxFileSize) {
        platform::Trace("WriteScanResult: answer for %c: too large", static_cast<char>(letter));
        return false;
    }

    IndexRecord* records = answer.Records.First;
    for (size_t i = 0; i < count; ++i)
        records[i].FileName = ScanNameToFileOffset(records[i].FileName, pools, poolCount);

    const std::wstring newIndex = IndexFileName(folder, L"indexnew_%c", letter);
    const std::wstring newName = IndexFileName(folder, L"namenew_%c", letter);
    const std::wstring index = IndexFileName(folder, L"index_%c", letter);
    const std::wstring name = IndexFileName(folder, L"name_%c", letter);

    bool ok = false;
    {
        platform::FileHandle file = CreateNew(newIndex);
        if (!file) platform::TraceLastError("create indexnew");
        ok = file && WriteAll(file.Get(), records, count * sizeof(IndexRecord));
    }
    if (ok) {
        platform::FileHandle file = CreateNew(newName);
        if (!file) platform::TraceLastError("create namenew");
        ok = bool(file);
        // Pool by pool: the same bytes as one buffer of all pools, without
        // needing that much memory at once. A missing pool stays zero-filled
        // so the offsets of later pools hold.
        static const std::vector<char> zeros(kScanPoolSize, 0);
        for (size_t p = 0; ok && p < poolCount; ++p)
            ok = WriteAll(file.Get(), pools[p] ? pools[p] : zeros.data(), kScanPoolSize);
    }
    if (!ok) {
        ::DeleteFileW(newIndex.c_str());
        ::DeleteFileW(newName.c_str());
        return false;
    }
    // Each move replaces the old file in one step.
    if (!::MoveFileExW(newIndex.c_str(), index.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        platform::TraceLastError("move indexnew");
        ::DeleteFileW(newIndex.c_str());
        ::DeleteFileW(newName.c_str());
        return false;
    }
    if (!::MoveFileExW(newName.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        // The new records must not be read against the old names: drop them,
        // so the next load sees the drive without records until the next scan.
        platform::TraceLastError("move namenew");
        ::DeleteFileW(index.c_str());
        ::DeleteFileW(newName.c_str());
        return false;
    }
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
    if (indexFile && UsableSize(indexFile.Get(), indexSize)) {
        try {
            // Keep a little room past the last slot: the journal adds records
            // beyond the table under the record lock, and growing a table of
            // millions of records there would copy all of it while searches
            // and windows wait.
            const size_t count = indexSize / sizeof(IndexRecord);
            const size_t headroom = std::max<size_t>(count / 32, 1024);
            if (records.capacity() < count + headroom) {
                RecordArray().swap(records);
                records.reserve(count + headroom);
            }
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
    return true;
}
