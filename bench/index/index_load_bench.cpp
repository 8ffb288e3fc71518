// Loading a saved index of 2,000,000 records ("index_C"/"name_C") with the
// files in the page cache: time from StartLoad until IsLoadDone for the first
// load of the process and for reloads (as after each scan), beside one plain
// single-thread read of both files, and the memory per record.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "index/index_files.h"
#include "index/index_manager.h"
#include "platform/handle.h"
#include "platform/lock.h"

namespace {

using bench::WriteWhole;

constexpr uint32_t kRecords = 2000000;
constexpr size_t kPool = 0x400000;
constexpr int kRuns = 5;
const wchar_t kFolder[] = L"C:\\lumsek-index-bench";

const char* const kExtensions[] = {"txt", "doc", "docx", "jpg", "png", "mp3", "dll", "exe", "h", "cpp",
                                   "xml", "ini", "log", "dat", "pdf", "xlsx", "zip", "js", "html", "sys"};

// Reads a file once so the timed loads find it in the page cache.
void Warm(const std::wstring& path) {
    platform::FileHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<char> buf(1 << 22);
    DWORD got = 0;
    while (f && ::ReadFile(f.Get(), buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) {
    }
}

struct Stats {
    size_t directories = 0, deleted = 0, nameBytes = 0, chinese = 0;
    double depthSum = 0;
    int maxDepth = 0;
};

// A synthetic drive: about 8% folders under a random tree, names of 3 to 40
// bytes (one in ten with GBK Chinese characters), 5% deleted files.
void Generate(std::vector<IndexRecord>& records, std::string& names, Stats& stats) {
    std::mt19937 random(20261208);
    records.assign(kFirstUserSlot + kRecords, IndexRecord{});
    for (IndexRecord& r : records) r.FileName = kNoNameOffset;
    // Folders by depth; the root is depth 0.
    std::vector<std::vector<uint32_t>> folders(1, std::vector<uint32_t>{kRootSlot});
    std::vector<uint8_t> depth(records.size(), 0);
    std::binomial_distribution<int> depthOf(14, 0.4);
    names.reserve(kRecords * 18);

    auto place = [&](const std::string& name) {
        size_t used = names.size() % kPool;
        if (used + name.size() + 1 > kPool) names.resize(names.size() + (kPool - used), '\0');
        uint32_t offset = static_cast<uint32_t>(names.size());
        names += name;
        names += '\0';
        return offset;
    };
    records[kRootSlot].FatherID = kRootSlot;
    records[kRootSlot].Flags = IRF_EXISTS | IRF_DIRECTORY;
    records[kRootSlot].FileName = place(".");

    std::geometric_distribution<int> lengthExtra(1.0 / 9);
    for (uint32_t i = 0; i < kRecords; ++i) {
        const uint32_t slot = kFirstUserSlot + i;
        IndexRecord& r = records[slot];
        // Depth 1 + Binomial(14, 0.4): mostly 4 to 9 levels, up to 15 and a
        // few deeper chains.
        size_t want = 1 + depthOf(random) + (random() % 200 == 0 ? random() % 20 : 0);
        size_t level = std::min(want, folders.size()) - 1;
        while (folders[level].empty()) --level;
        uint32_t parent = folders[level][random() % folders[level].size()];
        const bool folder = random() % 100 < 8;
        std::string name;
        int length = 3 + std::min(lengthExtra(random), 37);
        if (random() % 10 == 0) {
            for (int c = 0; c < length / 2; ++c) {
                name += static_cast<char>(0xB0 + random() % 0x28);
                name += static_cast<char>(0xA1 + random() % 0x5E);
            }
            ++stats.chinese;
        } else {
            for (int c = 0; c < length; ++c) name += static_cast<char>('a' + random() % 26);
        }
        if (!folder) {
            name += '.';
            name += kExtensions[random() % (sizeof(kExtensions) / sizeof(kExtensions[0]))];
        }
        r.FatherID = parent;
        r.FileName = place(name);
        r.Flags = IRF_EXISTS | (folder ? IRF_DIRECTORY : 0);
        if (!folder && random() % 100 < 5) {
            r.Flags = 0;
            ++stats.deleted;
        }
        r.Size = folder ? 0 : static_cast<int64_t>(random() % 10000000);
        r.Time2 = MakeFileTime(132000000000000000ull + (static_cast<uint64_t>(random()) << 20));
        depth[slot] = static_cast<uint8_t>(std::min(depth[parent] + 1, 255));
        stats.depthSum += depth[slot];
        stats.maxDepth = std::max<int>(stats.maxDepth, depth[slot]);
        stats.nameBytes += name.size() + 1;
        if (folder) {
            if (folders.size() <= depth[slot]) folders.resize(depth[slot] + 1);
            folders[depth[slot]].push_back(slot);
            ++stats.directories;
        }
    }
    names.resize((names.size() + kPool - 1) / kPool * kPool, '\0');
}

double Seconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

// Committed bytes of the process (PagefileUsage: Wine leaves PrivateUsage 0).
SIZE_T CommittedBytes() {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.PagefileUsage;
}

} // namespace

int main() {
    ::CreateDirectoryW(kFolder, nullptr);
    const std::wstring indexPath = IndexFileName(kFolder, L"index_%c", L'C');
    const std::wstring namePath = IndexFileName(kFolder, L"name_%c", L'C');
    Stats stats;
    size_t indexBytes = 0, nameFileBytes = 0;
    {
        std::vector<IndexRecord> records;
        std::string names;
        Generate(records, names, stats);
        indexBytes = records.size() * sizeof(IndexRecord);
        nameFileBytes = names.size();
        if (!WriteWhole(indexPath, records.data(), indexBytes) || !WriteWhole(namePath, names.data(), names.size())) {
            std::printf("cannot write the index files\n");
            return 1;
        }
    }
    Warm(indexPath);
    Warm(namePath);

    // Baseline: both files read on one thread into fresh memory, the way a
    // plain load would. First touches of fresh pages dominate on this machine.
    double baseline = 0;
    {
        LARGE_INTEGER t0, t1;
        ::QueryPerformanceCounter(&t0);
        RecordArray recs(indexBytes / sizeof(IndexRecord));
        std::unique_ptr<char[]> nm(new char[nameFileBytes + 1]);
        DWORD got = 0;
        platform::FileHandle f(::CreateFileW(indexPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ::ReadFile(f.Get(), recs.data(), static_cast<DWORD>(indexBytes), &got, nullptr);
        platform::FileHandle g(::CreateFileW(namePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ::ReadFile(g.Get(), nm.get(), static_cast<DWORD>(nameFileBytes), &got, nullptr);
        ::QueryPerformanceCounter(&t1);
        baseline = Seconds(t0, t1);
    }
    CIndexManager manager;
    manager.SetIndexFolder(kFolder);
    std::vector<double> times;
    SIZE_T before = CommittedBytes(), after = 0;
    size_t loaded = 0, volumeBytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        manager.StartLoad();
        while (!manager.IsLoadDone()) ::Sleep(1);
        ::QueryPerformanceCounter(&end);
        times.push_back(Seconds(start, end));
        if (run == 0) after = CommittedBytes();
    }
    {
        platform::ScopedLock lock(manager.RecordLock());
        for (size_t v = 0; v < manager.VolumeCount(); ++v) {
            if (manager.GetVolume(v)->Letter() != L'C') continue;
            loaded = manager.GetVolume(v)->RecordCount();
            volumeBytes = manager.GetVolume(v)->MemoryUsage();
        }
    }
    const double first = times.front();
    std::vector<double> reloads(times.begin() + 1, times.end());
    std::sort(reloads.begin(), reloads.end());

    std::printf("index load: %u records (%zu folders, %zu deleted, %zu with Chinese names)\n", kRecords,
                stats.directories, stats.deleted, stats.chinese);
    std::printf("  mean depth %.1f, max depth %d, mean name %.1f bytes\n", stats.depthSum / kRecords, stats.maxDepth,
                static_cast<double>(stats.nameBytes) / kRecords);
    std::printf("  files: index %.1f MB, names %.1f MB (%zu pools)\n", indexBytes / 1048576.0,
                nameFileBytes / 1048576.0, nameFileBytes / kPool);
    std::printf("%-34s %12s\n", "measure", "value");
    std::printf("%-34s %12zu\n", "records loaded (slots)", loaded);
    std::printf("%-34s %10.0f ms\n", "first load (fresh memory)", first * 1000);
    std::printf("%-34s %10.0f ms\n", "reload, best", reloads.front() * 1000);
    std::printf("%-34s %10.0f ms\n", "reload, median", reloads[reloads.size() / 2] * 1000);
    std::printf("%-34s %10.0f ms\n", "reload, worst", reloads.back() * 1000);
    std::printf("%-34s %10.0f ms\n", "baseline: one-thread ReadFile", baseline * 1000);
    std::printf("%-34s %12.1f\n", "committed bytes per record", loaded ? double(after - before) / loaded : 0.0);
    std::printf("%-34s %12.1f\n", "volume bytes per record", loaded ? double(volumeBytes) / loaded : 0.0);
    ::DeleteFileW(indexPath.c_str());
    ::DeleteFileW(namePath.c_str());
    ::RemoveDirectoryW(kFolder);
    return loaded == kFirstUserSlot + kRecords ? 0 : 1;
}
