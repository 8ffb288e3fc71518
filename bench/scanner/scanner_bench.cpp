// Scans an NTFS image of 200,000 files from the page cache and prints records
// per second and megabytes of the master file table parsed per second, for
// the table walk alone, for the walk that fills the library's answer (names
// converted to the ANSI code page), and for ScanVolume through
// searchfile.dll on a drive whose raw device is the image.
//
// The image is made once per run with mkntfs and ntfs-3g (FUSE); where that
// is not possible the benchmark says so and ends.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/strconv.h"
#include "scanner/mft_reader.h"
#include "scanner/mft_scan.h"
#include "scanner/ntfs_volume.h"
#include "scanner/recover.h"
#include "scanner/scan_answer.h"
#include "scanner/search_file.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kFiles = 200000;
constexpr int kRounds = 5;

// CPU seconds of the whole process (every thread), user and kernel: on a
// loaded machine this shows the scan's own cost where wall time cannot.
double CpuNow() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto v = [](const FILETIME& f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return static_cast<double>(v(kernel) + v(user)) / 1e7;
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring w = L"\\\\?\\unix" + platform::Utf8ToWide(unixPath);
    std::replace(w.begin(), w.end(), L'/', L'\\');
    return w;
}

class CountingSink : public scanner::MftSink {
public:
    void OnEntry(const scanner::MftEntry& e) override {
        ++entries;
        nameUnits += e.nameLength;
    }
    uint64_t entries = 0;
    uint64_t nameUnits = 0;
};

struct Row {
    const char* what;
    double best = 1e9;
    double bestCpu = 1e9;
    uint64_t records = 0;
    uint64_t bytes = 0;
    uint64_t entries = 0;
};

void Print(const Row& r) {
    std::printf("%-34s %8llu %8llu %8.1f %11.0f %7.0f %8.1f %11.0f\n", r.what,
                static_cast<unsigned long long>(r.records), static_cast<unsigned long long>(r.entries),
                r.best * 1000.0, r.records / r.best, r.bytes / r.best / (1024.0 * 1024.0), r.bestCpu * 1000.0,
                r.records / r.bestCpu);
}

} // namespace

int main() {
    char work[MAX_PATH] = {};
    if (!::GetEnvironmentVariableA("LUMSEK_BENCH_WORK", work, MAX_PATH)) {
        std::printf("LUMSEK_BENCH_WORK is not set\n");
        return 1;
    }
    // The tests' helpers run Linux commands in their work folder.
    ::SetEnvironmentVariableA("LUMSEK_TEST_WORK", work);
    const std::string dir = std::string(work) + "/scanner-bench";
    const double setupStart = Now();
    // An image left by an earlier run in the same work folder is reused (the
    // generator writes its manifest last, so a present manifest means done).
    const int rc = ::GetFileAttributesW(WindowsPath(dir + "/manifest.txt").c_str()) != INVALID_FILE_ATTRIBUTES
        ? 0
        : testing_support::RunUnixCommand(
        "python3 '" LUMSEK_SOURCE_DIR "/tests/scanner/make_ntfs_image.py' '" + dir + "' --files " +
            std::to_string(kFiles) + " --size-mb 640 --bulk-only >'" + dir + ".log' 2>&1",
        900000);
    if (rc == 77) {
        std::printf("scanner_bench: skipped, FUSE mounting is not possible here\n");
        return 0;
    }
    if (rc != 0) {
        std::printf("scanner_bench: building the image failed (%d), see %s.log\n", rc, dir.c_str());
        return 1;
    }
    const double setup = Now() - setupStart;
    const std::wstring image = WindowsPath(dir + "/volume.img");

    Row walk{"table walk (MftReader)"};
    Row answer{"walk into answer (ANSI names)"};
    Row dll{"ScanVolume through searchfile.dll"};
    for (int round = 0; round <= kRounds; ++round) {
        // Round 0 warms the page cache and is not counted.
        {
            scanner::HandleSectorSource source;
            if (!source.Open(image)) return 1;
            double t0 = Now(), c0 = CpuNow();
            scanner::NtfsVolume volume(source);
            if (!volume.Open()) return 1;
            scanner::MftReader reader(volume);
            CountingSink sink;
            scanner::MftScanStats stats;
            reader.Scan(sink, &stats);
            double t = Now() - t0, c = CpuNow() - c0;
            if (round) walk.best = std::min(walk.best, t), walk.bestCpu = std::min(walk.bestCpu, c);
            walk.records = stats.records;
            walk.bytes = stats.mftBytes;
            walk.entries = sink.entries;
        }
        {
            scanner::HandleSectorSource source;
            if (!source.Open(image)) return 1;
            scanner::ScanAnswer a;
            scanner::MftScanStats stats;
            double t0 = Now(), c0 = CpuNow();
            if (!scanner::ReadMftIntoAnswer(source, a, &stats)) return 1;
            double t = Now() - t0, c = CpuNow() - c0;
            if (round) answer.best = std::min(answer.best, t), answer.bestCpu = std::min(answer.bestCpu, c);
            answer.records = stats.records;
            answer.bytes = stats.mftBytes;
            answer.entries = stats.entries;
        }
    }

    // The library on drive N: whose raw device is the image.
    if (testing_support::MapDriveToFolder(L'N', dir + "/n-folder") && testing_support::MapDriveDevice(L'N', dir + "/volume.img")) {
        platform::ModuleHandle library(::LoadLibraryW(L"searchfile.dll"));
        auto get = library ? reinterpret_cast<DllGetClassObjectProc>(
                                 reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllGetClassObject")))
                           : nullptr;
        ISearchFile* file = nullptr;
        CLSID none = {};
        if (get && get(none, IID_ISearchFile, reinterpret_cast<void**>(&file)) == S_OK) {
            for (int round = 0; round <= kRounds; ++round) {
                ScanVolumeResult* result = nullptr;
                double t0 = Now(), c0 = CpuNow();
                file->ScanVolume("N:\\", &result);
                double t = Now() - t0, c = CpuNow() - c0;
                if (!result) break;
                if (round) dll.best = std::min(dll.best, t), dll.bestCpu = std::min(dll.bestCpu, c);
                dll.records = answer.records;
                dll.bytes = answer.bytes;
                dll.entries = 0;
                for (size_t i = 0; i < result->Records.Count(); ++i) dll.entries += result->Records.First[i].FileName != 0;
            }
            file->Release();
        }
    }

    std::printf("NTFS image: %d files made in %.1f s; best of %d scans from the page cache\n", kFiles, setup, kRounds);
    std::printf("%-34s %8s %8s %8s %11s %7s %8s %11s\n", "scan", "records", "entries", "wall ms", "records/s",
                "MB/s", "cpu ms", "rec/cpu-s");
    Print(walk);
    Print(answer);
    if (dll.best < 1e9) Print(dll);
    else std::printf("%-34s (drive mapping or library unavailable)\n", dll.what);
    return 0;
}
