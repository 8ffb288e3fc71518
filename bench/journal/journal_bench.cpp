// Applies a burst of 100,000 change-journal records to a 2,000,000-record
// index while a query is active, as the poll loop does: each 4096-byte read
// answer is applied in batches, each in two short holds of the record lock
// with the file-system lookups between them. Prints the records per second
// and the longest single hold of the record lock.
//
// The poll loop itself reads one answer per drive every 100 ms; this measures
// the work per answer without that pause, so it shows how far below the
// loop's own pace the applying stays.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "index/index_manager.h"
#include "index/search_messages.h"
#include "index/search_query.h"
#include "index/usn_journal_io.h"
#include "platform/thread.h"
#include "tests/journal/memory_usn_journal.h"

namespace {

using bench::WriteWhole;

constexpr uint32_t kIndexRecords = 2000000;
constexpr int kBurstRecords = 100000;
constexpr uint32_t kFolders = 2000;
constexpr uint32_t kFirstFolder = 50;

double Seconds(LONGLONG ticks) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(ticks) / static_cast<double>(frequency);
}

LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// Index and name files of drive C: 2,000 folders under the root, the other
// records files spread over them.
bool WriteIndex(const std::wstring& folder) {
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<IndexRecord> records(kIndexRecords);
    std::string names(1, '\0');
    names.reserve(kIndexRecords * 16);
    char name[64];
    for (uint32_t slot = 0; slot < kIndexRecords; ++slot) {
        IndexRecord& r = records[slot];
        std::memset(&r, 0, sizeof(r));
        if (slot < kFirstFolder) {
            r.FileName = 0xFFFFFFFF;
            continue;
        }
        const bool folderRecord = slot < kFirstFolder + kFolders;
        if (folderRecord) {
            std::snprintf(name, sizeof(name), "folder%u", slot);
            r.FatherID = 5;
            r.Flags = IRF_EXISTS | IRF_DIRECTORY;
        } else {
            static const char* const kinds[] = {"report", "photo", "notes", "song", "backup"};
            static const char* const exts[] = {"doc", "jpg", "txt", "mp3", "zip"};
            std::snprintf(name, sizeof(name), "%s_%u.%s", kinds[slot % 5], slot, exts[(slot / 5) % 5]);
            r.FatherID = kFirstFolder + slot % kFolders;
            r.Flags = (slot % 17 == 0) ? 0 : IRF_EXISTS;
            r.Size = slot * 37;
        }
        r.Time2 = MakeFileTime(0x01D0000000000000ULL + slot);
        r.FileName = static_cast<uint32_t>(names.size());
        names += name;
        names += '\0';
    }
    return WriteWhole(folder + L"\\index_C", records.data(), records.size() * sizeof(IndexRecord)) &&
           WriteWhole(folder + L"\\name_C", names.data(), names.size());
}

// A pseudo-random burst: creates beyond the table, creates over known slots,
// renames and deletes, all closed.
std::vector<std::string> MakeAnswers(USN firstUsn) {
    std::mt19937 rng(7);
    std::vector<std::string> answers;
    std::string current;
    USN usn = firstUsn;
    uint32_t nextNewSlot = kIndexRecords;
    auto flush = [&] {
        USN next = usn;
        answers.push_back(std::string(reinterpret_cast<const char*>(&next), sizeof(next)) + current);
        current.clear();
    };
    wchar_t name[64];
    for (int i = 0; i < kBurstRecords; ++i) {
        UsnChange c;
        const uint32_t pick = rng() % 100;
        const uint32_t known = kFirstFolder + kFolders + rng() % (kIndexRecords - kFirstFolder - kFolders);
        c.parentReference = kFirstFolder + rng() % kFolders;
        if (pick < 40) {
            c.fileReference = nextNewSlot++;
            c.reason = USN_REASON_FILE_CREATE | USN_REASON_CLOSE;
            std::swprintf(name, 64, L"new_report_%d.doc", i);
        } else if (pick < 50) {
            c.fileReference = known;
            c.reason = USN_REASON_FILE_CREATE | USN_REASON_CLOSE;
            std::swprintf(name, 64, L"reused_%d.txt", i);
        } else if (pick < 80) {
            c.fileReference = known;
            c.reason = USN_REASON_RENAME_NEW_NAME | USN_REASON_CLOSE;
            std::swprintf(name, 64, L"renamed_%d.jpg", i);
        } else {
            c.fileReference = known;
            c.reason = USN_REASON_FILE_DELETE | USN_REASON_CLOSE;
            std::swprintf(name, 64, L"photo_%u.jpg", known);
        }
        c.name = name;
        const std::string record = EncodeUsnRecord(c, usn);
        if (sizeof(USN) + current.size() + record.size() > usn::kReadBufferBytes) flush();
        current += record;
        usn += static_cast<USN>(record.size());
    }
    if (!current.empty()) flush();
    return answers;
}

LRESULT CALLBACK SinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool WaitForMessage(UINT message, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < timeoutMs) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == message) return true;
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
}

struct BurstResult {
    int records = 0;
    int holds = 0;  // two per batch: the changes, then the file information and matching
    int passesThatWouldPost = 0;
    double seconds = 0;
    double longestHold = 0;
    double meanHold = 0;
};

// The poll loop's per-answer work, with each hold of the record lock timed.
BurstResult ApplyBurst(CIndexManager& manager, const std::vector<std::string>& answers, size_t volume) {
    BurstResult result;
    UsnReadStorage buffer;
    double totalHold = 0;
    const LONGLONG start = Now();
    for (const std::string& raw : answers) {
        std::memcpy(buffer.bytes, raw.data(), raw.size());
        CUsnReadBuffer answer(buffer.bytes, static_cast<DWORD>(raw.size()));
        bool changed = false;  // one answer stands for one pass of the loop
        for (CUsnReadBuffer count(buffer.bytes, static_cast<DWORD>(raw.size())); count.NextRecord();) ++result.records;
        CIndexManager::UsnHoldStats holds;
        manager.ApplyUsnAnswer(volume, answer, changed, &holds);
        result.holds += holds.Holds;
        totalHold += holds.Total;
        result.longestHold = std::max(result.longestHold, holds.Longest);
        if (changed) ++result.passesThatWouldPost;
    }
    result.seconds = Seconds(Now() - start);
    result.meanHold = result.holds ? totalHold / result.holds : 0;
    return result;
}

unsigned __stdcall SearchAgain(void* arg) {
    // Keeps full searches running beside the burst, as typing would.
    auto* ctx = static_cast<std::pair<CIndexManager*, volatile LONG*>*>(arg);
    while (!*ctx->second) {
        CSearchQuery q;
        q.Pattern = L"report";
        ctx->first->StartSearch(q);
        ::Sleep(50);
    }
    return 0;
}

} // namespace

int main() {
    const std::wstring folder = L"C:\\journal-bench";
    std::printf("building a %u-record index...\n", kIndexRecords);
    if (!WriteIndex(folder)) {
        std::printf("could not write the index files\n");
        return 1;
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = SinkProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"JournalBenchSink";
    ::RegisterClassW(&wc);

    const std::vector<std::string> answers = MakeAnswers(0x100000);
    std::printf("%d journal records in %u read answers of at most %lu bytes\n\n", kBurstRecords,
                static_cast<unsigned>(answers.size()), usn::kReadBufferBytes);
    std::printf("%-34s %10s %14s %12s %8s\n", "case", "records/s", "longest hold",
                "mean hold", "posts");

    for (int withSearch = 0; withSearch < 2; ++withSearch) {
        CIndexManager manager;
        manager.SetIndexFolder(folder);
        HWND sink = ::CreateWindowExW(0, L"JournalBenchSink", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
        manager.SetNotifyWindow(sink);
        manager.StartLoad();
        while (!manager.IsLoadDone()) ::Sleep(20);
        size_t volume = manager.VolumeCount();
        for (size_t v = 0; v < manager.VolumeCount(); ++v)
            if (manager.GetVolume(v)->Letter() == L'C') volume = v;
        if (volume == manager.VolumeCount() || manager.GetVolume(volume)->RecordCount() != kIndexRecords) {
            std::printf("the index did not load\n");
            return 1;
        }

        CSearchQuery query;
        query.Pattern = L"report";
        manager.StartSearch(query);
        if (!WaitForMessage(WM_SEARCH_RESULTS, 120000)) {
            std::printf("the search did not answer\n");
            return 1;
        }

        volatile LONG stop = 0;
        std::pair<CIndexManager*, volatile LONG*> ctx(&manager, &stop);
        platform::Thread searcher;
        if (withSearch) searcher.Start(&SearchAgain, &ctx);
        const BurstResult r = ApplyBurst(manager, answers, volume);
        stop = 1;
        searcher.Join();

        std::printf("%-34s %10.0f %11.3f ms %9.1f us %8d\n",
                    withSearch ? "query 'report', searches running" : "query 'report' active", r.records / r.seconds,
                    r.longestHold * 1000.0, r.meanHold * 1e6, r.passesThatWouldPost);
        ::DestroyWindow(sink);
    }
    std::printf("\nposts: answers (passes) whose changes would post WM_SEARCH_CHANGED\n");
    std::printf("holds: each batch of an answer's records is applied in one hold and finished in another\n");
    std::printf("the poll loop reads one answer per drive every 100 ms (%u answers: %.1f s for this burst)\n",
                static_cast<unsigned>(answers.size()), answers.size() * 0.1);
    return 0;
}
