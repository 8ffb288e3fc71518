#include "index/index_files.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "index/index_record.h"
#include "index/volume_index.h"
#include "platform/handle.h"
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

bool CVolumeIndex::LoadFiles(const std::wstring& indexPath, const std::wstring& namePath) {
    Clear();
    std::vector<IndexRecord> records;
    {
        platform::FileHandle file = OpenForRead(indexPath);
        size_t size = 0;
        if (file && UsableSize(file.Get(), size)) {
            try {
                records.resize(size / sizeof(IndexRecord));  // a partial last record is dropped
                size_t got = ReadAll(file.Get(), records.data(), records.size() * sizeof(IndexRecord));
                records.resize(got / sizeof(IndexRecord));
            } catch (const std::exception&) {
                platform::Trace("LoadFiles: no memory for %lu bytes of records", static_cast<unsigned long>(size));
                records.clear();
            }
        }
    }

    std::unique_ptr<char[]> names;
    size_t nameSize = 0;
    {
        platform::FileHandle file = OpenForRead(namePath);
        size_t size = 0;
        if (!file || !UsableSize(file.Get(), size)) return false;
        names.reset(new (std::nothrow) char[size + 1]);
        if (!names) {
            platform::Trace("LoadFiles: no memory for %lu bytes of names", static_cast<unsigned long>(size));
            return false;
        }
        nameSize = ReadAll(file.Get(), names.get(), size);
        if (nameSize == 0) return false;
    }
    AdoptLoaded(std::move(records), std::move(names), nameSize);
    return true;
}
