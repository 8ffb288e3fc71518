// The search and sort threads of a real index manager, loaded from index
// files, posting to a hidden window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "index/collation.h"
#include "index/folder_order.h"
#include "index/index_manager.h"
#include "index/parallel_sort.h"
#include "index/search_messages.h"
#include "index/search_workers.h"
#include "platform/strconv.h"
#include "platform/thread.h"
#include "tests/support/index_writer.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint8_t kFile = IRF_EXISTS;
constexpr uint8_t kDir = IRF_EXISTS | IRF_DIRECTORY;
constexpr uint8_t kDeletedFile = 0;
constexpr uint8_t kDeletedDir = IRF_DIRECTORY;

using Entry = testing_support::IndexEntry;

void WriteVolume(const std::wstring& folder, wchar_t letter, const std::vector<Entry>& entries) {
    ASSERT_TRUE(testing_support::WriteIndexVolume(folder, letter, entries));
}

// A hidden window that keeps every WM_SEARCH_RESULTS it receives.
class ResultsWindow {
public:
    struct Post {
        WPARAM count;
        LPARAM detail;
    };

    ResultsWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &ResultsWindow::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SearchThreadsTestWindow";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ResultsWindow() { ::DestroyWindow(hwnd_); }
    HWND Handle() const { return hwnd_; }

    // Waits for the next post; fails the test when none comes.
    Post Next() {
        size_t seen = consumed_;
        bool got = testing_support::PumpMessagesUntil([&] { return posts_.size() > seen; }, 20000);
        EXPECT_TRUE(got) << "no WM_SEARCH_RESULTS arrived";
        if (!got) return Post{0, -2};
        return posts_[consumed_++];
    }
    // Lets posts in flight arrive; answers how many came beyond those taken.
    size_t Unread(DWORD ms = 200) {
        testing_support::PumpMessages(ms);
        return posts_.size() - consumed_;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ResultsWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_SEARCH_RESULTS && self) {
            self->posts_.push_back(Post{wp, lp});
            return 0;
        }
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }

    HWND hwnd_ = nullptr;
    std::vector<Post> posts_;
    size_t consumed_ = 0;
};

CSearchQuery MakeQuery(const std::wstring& pattern, uint32_t state = SQS_ALL, uint32_t mask = 0) {
    CSearchQuery q;
    q.Pattern = pattern;
    q.FileState = state;
    q.FilterMask = mask;
    return q;
}

class SearchThreads : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A second drive, so that the manager lists C: and D:.
        ASSERT_EQ(testing_support::MapDriveToTempFolder(L'D'), L"D:\\");
    }

    void SetUp() override {
        folder_ = L"C:\\search-threads-" + std::to_wstring(++runs_);
        manager_.reset(new CIndexManager());
        manager_->SetIndexFolder(folder_);
        manager_->SetNotifyWindow(window_.Handle());
    }
    void TearDown() override { manager_.reset(); }

    void Load(const std::vector<Entry>& c, const std::vector<Entry>& d = {}) {
        WriteVolume(folder_, L'C', c);
        if (!d.empty()) WriteVolume(folder_, L'D', d);
        manager_->StartLoad();
        ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return manager_->IsLoadDone(); }, 20000));
        ASSERT_EQ(manager_->VolumeCount(), d.empty() ? 1u : 2u);
    }

    ResultsWindow::Post Search(const CSearchQuery& q) {
        manager_->StartSearch(q);
        return window_.Next();
    }

    std::vector<std::string> Names() {
        std::vector<std::string> out;
        std::string name;
        for (size_t row = 0; manager_->GetResultName(row, &name); ++row) out.push_back(name);
        return out;
    }
    std::vector<std::string> Paths() {
        std::vector<std::string> out;
        std::string path;
        for (size_t row = 0; manager_->GetResultPath(row, &path); ++row) out.push_back(path);
        return out;
    }

    static int runs_;
    std::wstring folder_;
    ResultsWindow window_;
    std::unique_ptr<CIndexManager> manager_;
};
int SearchThreads::runs_ = 0;

std::vector<Entry> PhotoTree() {
    return {
        {5, 5, ".", kDir, 0, 0},
        {10, 5, "photo-meta.jpg", kFile, 0, 0},  // a metadata slot: never listed
        {60, 5, "photos", kDir, 0, 0},
        {61, 60, "a.jpg", kFile, 0, 10},
        {62, 60, "b.JPG", kDeletedFile, 0, 20},
        {63, 5, "photo-old", kDeletedDir, 0, 0},
        {64, 5, "notes.txt", kFile, 0, 30},
        {65, 5, "photos2", kDir, 0, 0},
        {66, 65, "c.jpg", kDeletedFile, 0, 40},
    };
}

TEST_F(SearchThreads, FullSearchPostsCountsInSlotOrderAndSkipsMetadataSlots) {
    Load(PhotoTree());
    auto post = Search(MakeQuery(L"photo"));
    EXPECT_EQ(post.count, 2u);
    EXPECT_EQ(post.detail, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"photos", "photos2"}));

    post = Search(MakeQuery(L"jpg"));
    EXPECT_EQ(post.count, 3u);
    EXPECT_EQ(post.detail, 2);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"C:\\photos\\a.jpg", "C:\\photos\\b.JPG", "C:\\photos2\\c.jpg"}));
    EXPECT_EQ(window_.Unread(), 0u);
}

TEST_F(SearchThreads, NarrowingRematchesOnlyTheCandidates) {
    Load(PhotoTree());
    // Pictures only: folders and notes.txt fail the filter.
    auto post = Search(MakeQuery(L"", SQS_ALL, SQF_PICTURE));
    EXPECT_EQ(post.count, 3u);
    CSearchQuery narrow = MakeQuery(L"a", SQS_ALL, SQF_PICTURE);
    narrow.FullScan = 0;
    post = Search(narrow);
    EXPECT_EQ(post.count, 1u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg"}));
    // A narrowing over the same candidates without a pattern lists them all
    // again; notes.txt was never a candidate.
    narrow.Pattern = L"";
    post = Search(narrow);
    EXPECT_EQ(post.count, 3u);
    narrow.Pattern = L"notes";
    EXPECT_EQ(Search(narrow).count, 0u);
}

TEST_F(SearchThreads, RunningTheSameQueryAgainNarrows) {
    Load(PhotoTree());
    EXPECT_EQ(Search(MakeQuery(L"", SQS_ALL, SQF_PICTURE)).count, 3u);
    // The flag is cleared right after the post.
    EXPECT_TRUE(testing_support::PumpMessagesUntil(
        [&] {
            platform::ScopedLock lock(manager_->QueryLock());
            return manager_->ActiveQuery().FullScan == 0;
        },
        10000));
}

TEST_F(SearchThreads, DeletedFilesOfEveryVolumeWithoutDeletedFolders) {
    Load(PhotoTree(), {{5, 5, ".", kDir, 0, 0}, {70, 5, "gone.doc", kDeletedFile, 0, 1},
                       {71, 5, "olddir", kDeletedDir, 0, 0}, {72, 5, "here.doc", kFile, 0, 1}});
    auto post = Search(MakeQuery(L"", SQS_DELETED));
    EXPECT_EQ(post.count, 3u);
    EXPECT_EQ(post.detail, static_cast<LPARAM>(post.count));
    EXPECT_EQ(Paths(), (std::vector<std::string>{"C:\\photos\\b.JPG", "C:\\photos2\\c.jpg", "D:\\gone.doc"}));
}

TEST_F(SearchThreads, PathPrefixLimitsTheVolumes) {
    std::vector<Entry> d = {{5, 5, ".", kDir, 0, 0}, {60, 5, "photos", kDir, 0, 0}, {61, 60, "x.jpg", kFile, 0, 1},
                            {62, 5, "photosets", kDir, 0, 0}, {63, 62, "y.jpg", kFile, 0, 1},
                            {64, 5, "Photos", kDir, 0, 0}, {65, 64, "z.jpg", kFile, 0, 1}};
    Load(PhotoTree(), d);
    CSearchQuery q = MakeQuery(L"jpg", SQS_ALL, SQF_PATH_PREFIX);
    q.PathPrefix = L"D:\\photos";
    auto post = Search(q);
    EXPECT_EQ(post.count, 2u);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"D:\\photos\\x.jpg", "D:\\photosets\\y.jpg"}));
    // The volume is chosen whatever the letter's case; the path test is exact.
    q.PathPrefix = L"d:\\";
    EXPECT_EQ(Search(q).count, 0u);
    q.PathPrefix = L"C:\\photos\\";
    EXPECT_EQ(Search(q).count, 2u);
}

TEST_F(SearchThreads, ResultAccessorsRefuseStaleRows) {
    Load(PhotoTree());
    EXPECT_EQ(Search(MakeQuery(L"jpg")).count, 3u);
    IndexRecord record;
    ASSERT_TRUE(manager_->GetResultRecord(1, &record));
    EXPECT_EQ(record.Size, 20);
    EXPECT_EQ(record.Flags, kDeletedFile);
    EXPECT_FALSE(manager_->GetResultRecord(3, &record));
    std::string text;
    EXPECT_FALSE(manager_->GetResultPath(3, &text));
    EXPECT_FALSE(manager_->GetResultName(99, &text));

    // A reload with fewer records leaves rows that point past the table.
    WriteVolume(folder_, L'C', {{5, 5, ".", kDir, 0, 0}});
    manager_->StartLoad();
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return manager_->IsLoadDone(); }, 20000));
    EXPECT_FALSE(manager_->GetResultRecord(0, &record));
    EXPECT_FALSE(manager_->GetResultPath(0, &text));
    EXPECT_FALSE(manager_->GetResultName(0, &text));
}

std::vector<Entry> SortTree() {
    return {
        {5, 5, ".", kDir, 0, 0},
        {50, 5, "b.txt", kFile, 300, 5},
        {51, 5, "zdir", kDir, 100, 0},
        {52, 5, "a.DOC", kFile, 200, 7},
        {53, 5, "c.doc", kFile, 500, 1},
        {54, 5, "adir", kDir, 400, 0},
        {55, 51, "d.txt", kFile, 50, 9},
        {56, 5, "e.doc", kFile, 600, 3},
    };
}

TEST_F(SearchThreads, SortKeys) {
    Load(SortTree());
    auto post = Search(MakeQuery(L""));
    ASSERT_EQ(post.count, 7u);

    ASSERT_TRUE(manager_->StartSort(SORT_BY_TYPE));
    post = window_.Next();
    EXPECT_EQ(post.count, 7u);
    EXPECT_EQ(post.detail, -1);
    EXPECT_TRUE(manager_->IsSorted());
    // Folders first in their earlier order; doc before txt; 'DOC' and 'doc'
    // equal, so their earlier order stays.
    EXPECT_EQ(Names(), (std::vector<std::string>{"zdir", "adir", "a.DOC", "c.doc", "e.doc", "b.txt", "d.txt"}));

    ASSERT_TRUE(manager_->StartSort(SORT_BY_NAME));
    window_.Next();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.DOC", "adir", "b.txt", "c.doc", "d.txt", "e.doc", "zdir"}));

    ASSERT_TRUE(manager_->StartSort(SORT_BY_SIZE));
    window_.Next();
    std::vector<int64_t> sizes;
    IndexRecord r;
    for (size_t row = 0; manager_->GetResultRecord(row, &r); ++row) sizes.push_back(r.Size);
    EXPECT_EQ(sizes, (std::vector<int64_t>{0, 0, 1, 3, 5, 7, 9}));

    ASSERT_TRUE(manager_->StartSort(SORT_BY_TIME));
    window_.Next();
    EXPECT_EQ(Names(), (std::vector<std::string>{"e.doc", "c.doc", "adir", "b.txt", "a.DOC", "zdir", "d.txt"}));

    ASSERT_TRUE(manager_->StartSort(SORT_BY_PATH));
    window_.Next();
    std::vector<std::string> paths = Paths();
    ASSERT_EQ(paths.size(), 7u);
    EXPECT_EQ(paths.back(), "C:\\zdir\\d.txt");  // the only one in a subfolder
    // Stable: the six in C: keep the time order of the previous sort.
    EXPECT_EQ(paths.front(), "C:\\e.doc");
    EXPECT_EQ(manager_->GetSortKey(), SORT_BY_PATH);

    // A new search clears the sorted flag.
    Search(MakeQuery(L"doc"));
    EXPECT_FALSE(manager_->IsSorted());
}

TEST_F(SearchThreads, SortNoneWithNoResultsPostsZero) {
    Load(SortTree());
    EXPECT_EQ(Search(MakeQuery(L"nothing-like-this")).count, 0u);
    ASSERT_TRUE(manager_->StartSort(SORT_NONE));
    auto post = window_.Next();
    EXPECT_EQ(post.count, 0u);
    EXPECT_EQ(post.detail, -1);
    EXPECT_TRUE(manager_->IsSorted());
}

struct LockHolder {
    CIndexManager* manager;
    HANDLE locked;
};

unsigned __stdcall HoldRecordLockUntilAbort(void* arg) {
    auto* h = static_cast<LockHolder*>(arg);
    platform::ScopedLock lock(h->manager->RecordLock());
    ::SetEvent(h->locked);
    while (!g_bSearchAbort) ::Sleep(1);
    return 0;
}

TEST_F(SearchThreads, NewSearchEndsASortWithoutAPostFromIt) {
    std::vector<Entry> many = {{5, 5, ".", kDir, 0, 0}};
    for (uint32_t i = 0; i < 20000; ++i) {
        many.push_back({50 + i, 5, "f" + std::to_string((i * 7919) % 20000) + ".txt", kFile, i, i});
    }
    Load(many);
    ASSERT_EQ(Search(MakeQuery(L"")).count, 20000u);

    // Hold the record lock until the sort has been asked to end, so that the
    // sort is certainly still running when the new search starts.
    LockHolder holder{manager_.get(), ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    platform::Thread blocker;
    ASSERT_TRUE(blocker.Start(&HoldRecordLockUntilAbort, &holder));
    ::WaitForSingleObject(holder.locked, INFINITE);
    ASSERT_TRUE(manager_->StartSort(SORT_BY_NAME));
    ASSERT_TRUE(manager_->IsSortRunning());
    auto post = Search(MakeQuery(L"f1"));
    blocker.Join();
    ::CloseHandle(holder.locked);
    EXPECT_NE(post.detail, -1);
    EXPECT_GT(post.count, 0u);
    EXPECT_EQ(window_.Unread(), 0u) << "the ended sort posted";
    EXPECT_FALSE(manager_->IsSorted());
    EXPECT_EQ(g_bSearchAbort, 0);
}

TEST_F(SearchThreads, StartSortWaitsForTheRunningSearch) {
    std::vector<Entry> many = {{5, 5, ".", kDir, 0, 0}};
    for (uint32_t i = 0; i < 50000; ++i) many.push_back({50 + i, 5, "n" + std::to_string(i), kFile, i, i});
    Load(many);
    manager_->StartSearch(MakeQuery(L"n"));
    ASSERT_TRUE(manager_->StartSort(SORT_BY_SIZE));
    auto first = window_.Next();
    auto second = window_.Next();
    EXPECT_EQ(first.count, 50000u);
    EXPECT_NE(first.detail, -1);
    EXPECT_EQ(second.count, 50000u);
    EXPECT_EQ(second.detail, -1);
}

} // namespace

namespace {

// ---------------------------------------------------------------------------
// Large volumes: the parallel rounds and the narrowing shortcut against a
// plain single-threaded pass over the same records.

std::vector<Entry> RandomVolume(uint32_t records, unsigned seed) {
    std::mt19937 rng(seed);
    const char* const parts[] = {"ab", "abc", "AB", "x", "y", "abcd", "q", "文", "档", "_", ".txt", ".doc", "1"};
    std::vector<Entry> out = {{5, 5, ".", kDir, 0, 0}};
    for (uint32_t slot = 50; slot < records; ++slot) {
        if (rng() % 50 == 0) continue;  // a slot without a name
        std::wstring name;
        int n = 1 + rng() % 5;
        for (int i = 0; i < n; ++i) name += platform::Utf8ToWide(parts[rng() % 13]);
        uint8_t flags = rng() % 10 == 0 ? (rng() % 2 ? kDeletedFile : kDeletedDir) : (rng() % 8 == 0 ? kDir : kFile);
        out.push_back({slot, 5, platform::WideToAnsi(name), flags, 0, static_cast<int64_t>(slot)});
    }
    return out;
}

// The slots (kept in Size) of the current result list.
std::vector<int64_t> ResultSlots(CIndexManager& m) {
    std::vector<int64_t> out;
    IndexRecord r;
    for (size_t row = 0; m.GetResultRecord(row, &r); ++row) out.push_back(r.Size);
    return out;
}

struct Reference {
    std::vector<const Entry*> candidates;
    std::vector<int64_t> results;
    size_t deleted = 0;
};

// The rules applied one record at a time: a full pass fills the candidates, a
// narrowing re-matches them.
void ReferencePass(const std::vector<Entry>& entries, CSearchQuery q, bool full, Reference& ref) {
    q.FullScan = full ? 1 : 0;
    q.Prepare();
    std::vector<const Entry*> source;
    if (full) {
        for (const Entry& e : entries) {
            if (e.slot >= 50) source.push_back(&e);
        }
        ref.candidates.clear();
    } else {
        source = ref.candidates;
    }
    ref.results.clear();
    ref.deleted = 0;
    for (const Entry* e : source) {
        MatchInput in{e->name.c_str(), e->flags, e->time2, static_cast<ULONGLONG>(e->size)};
        bool deleted = false;
        int r = q.MatchRecord(in, L"", &deleted);
        if (full && r != MATCH_REJECT) ref.candidates.push_back(e);
        if (r == MATCH_FULL) {
            ref.results.push_back(e->size);
            ref.deleted += deleted;
        }
    }
}

TEST_F(SearchThreads, ParallelRoundsAndNarrowingMatchAPlainPass) {
    std::vector<Entry> entries = RandomVolume(120000, 99);
    Load(entries);
    struct Step {
        const wchar_t* pattern;
        bool full;
        uint32_t state;
        uint32_t mask;
    };
    const Step steps[] = {
        {L"ab", true, SQS_ALL, 0},         {L"x", true, SQS_ALL, 0},         {L"ab", true, SQS_ALL, 0},
        {L"abc", false, SQS_ALL, 0},      {L"abcd", false, SQS_ALL, 0},
        {L"ab", false, SQS_ALL, 0},        {L"BCD", false, SQS_ALL, 0},      {L"x", true, SQS_EXISTING, 0},
        {L"xy", false, SQS_EXISTING, 0},   {L"xy", false, SQS_DELETED, 0},   {L"", true, SQS_ALL, SQF_DOCUMENT},
        {L"文档", false, SQS_ALL, SQF_DOCUMENT}, {L"档", false, SQS_ALL, SQF_DOCUMENT},
        {L"a*d", false, SQS_ALL, SQF_DOCUMENT}, {L"*d", true, SQS_ALL, 0}, {L"", false, SQS_ALL, 0},
    };
    Reference ref;
    for (const Step& step : steps) {
        CSearchQuery q = MakeQuery(step.pattern, step.state, step.mask);
        q.FullScan = step.full ? 1 : 0;
        auto post = Search(q);
        ReferencePass(entries, q, step.full, ref);
        SCOPED_TRACE(platform::WideToUtf8(step.pattern));
        EXPECT_EQ(post.count, ref.results.size());
        EXPECT_EQ(static_cast<size_t>(post.detail), ref.deleted);
        EXPECT_EQ(ResultSlots(*manager_), ref.results);
    }
}

// Every kind of journal change shows in the next full search: the search
// reads names and flags from the slot keys, which must follow the records.
TEST_F(SearchThreads, FullSearchSeesEveryKindOfRecordChange) {
    std::vector<Entry> entries = RandomVolume(3000, 8);
    Load(entries);
    Search(MakeQuery(L"ZZZ", SQS_EXISTING));  // candidates a later search could keep
    {
        platform::ScopedLock lock(manager_->RecordLock());
        CVolumeIndex* volume = manager_->GetVolume(0);
        const uint32_t past = volume->RecordCount() + 500;
        ASSERT_TRUE(volume->InsertIndex(past, 5, "zzz-inserted", 12, kFile));
        ASSERT_TRUE(volume->ReNameIndex(100, 5, "zzz-renamed", 11));
        ASSERT_TRUE(volume->UpdateIndex(101, 5, "zzz-updated", 11, kDir));
        ASSERT_TRUE(volume->UpdateIndex(102, 5, "zzz-deleted", 11, kFile));
        ASSERT_TRUE(volume->DeleteIndex(102));
    }
    auto names = [&](uint32_t state) {
        Search(MakeQuery(L"ZZZ", state));
        std::vector<std::string> out;
        std::string name;
        for (size_t row = 0; manager_->GetResultName(row, &name); ++row) out.push_back(name);
        return out;
    };
    EXPECT_EQ(names(SQS_EXISTING), (std::vector<std::string>{"zzz-renamed", "zzz-updated", "zzz-inserted"}));
    // The candidates were made afresh, not kept from the search before the
    // changes: a narrowing over them finds the inserted record.
    CSearchQuery narrow = MakeQuery(L"inserted", SQS_EXISTING);  // not within "ZZZ": all candidates
    narrow.FullScan = 0;
    EXPECT_EQ(Search(narrow).count, 1u);
    EXPECT_EQ(names(SQS_DELETED), (std::vector<std::string>{"zzz-deleted"}));
}

TEST_F(SearchThreads, NarrowingSeesRecordsChangedSinceThePreviousSearch) {
    std::vector<Entry> entries = RandomVolume(60000, 5);
    Load(entries);
    EXPECT_EQ(Search(MakeQuery(L"ab")).count > 0, true);
    CSearchQuery q = MakeQuery(L"abq");
    q.FullScan = 0;
    size_t before = Search(q).count;
    // Rename a record that matched neither pattern so that it matches the
    // next one: the narrowing must not start from the previous results.
    uint32_t renamed = 0;
    {
        platform::ScopedLock lock(manager_->RecordLock());
        CVolumeIndex* volume = manager_->GetVolume(0);
        for (const Entry& e : entries) {
            if (e.slot >= 50 && e.flags == kFile && e.name.find("ab") == std::string::npos &&
                e.name.find("AB") == std::string::npos) {
                renamed = e.slot;
                break;
            }
        }
        ASSERT_NE(renamed, 0u);
        ASSERT_TRUE(volume->ReNameIndex(renamed, 5, "zzabqzz", 7));
    }
    q.Pattern = L"abqz";
    auto post = Search(q);
    std::vector<int64_t> slots = ResultSlots(*manager_);
    EXPECT_NE(std::find(slots.begin(), slots.end(), static_cast<int64_t>(renamed)), slots.end());
    EXPECT_LE(post.count, before + 1);

    // After a sort the results are out of candidate order: a narrowing must
    // come back in candidate order all the same.
    q.Pattern = L"ab";
    Search(q);
    ASSERT_TRUE(manager_->StartSort(SORT_BY_TIME));
    window_.Next();
    q.Pattern = L"abc";
    Search(q);
    slots = ResultSlots(*manager_);
    EXPECT_TRUE(std::is_sorted(slots.begin(), slots.end()));
    EXPECT_FALSE(slots.empty());
}

} // namespace

namespace {

TEST_F(SearchThreads, TextSortsMatchAStableSortWithLstrcmpi) {
    // Short folder names, then long ones: long path keys are ordered by
    // comparing them whole, short ones a few bytes at a time; then names that
    // agree on a long start, mixed case and set-aside marks included, whose
    // keys differ only far in.
    struct Leads {
        std::string folder, file;
    };
    for (const Leads& lead : {Leads{}, Leads{std::string(50, 'F') + "-x'", ""},
                              Leads{"", "Quarterly Report-" + std::string(30, 'q') + "'"}}) {
        const std::string& folderLead = lead.folder;
        std::mt19937 rng(2024);
        const char* const parts[] = {"a", "B", "ab", "Ab", "-", "_", "'", "1", "10", "2", " ", "文", "档", ".", "x"};
        const char* const exts[] = {"", ".doc", ".DOC", ".txt", ".Txt", ".", ".a-b", ".ab"};
        std::vector<Entry> entries = {{5, 5, ".", kDir, 0, 0}};
        std::vector<uint32_t> folders = {5};
        // Enough folders that only a sample of neighbours is confirmed.
        for (uint32_t slot = 50; slot < 12000; ++slot) {
            std::wstring name;
            int n = 1 + rng() % 4;
            for (int i = 0; i < n; ++i) name += platform::Utf8ToWide(parts[rng() % 15]);
            bool dir = rng() % 4 == 0;
            if (!dir) name += platform::Utf8ToWide(exts[rng() % 8]);
            uint32_t father = folders[rng() % folders.size()];
            const std::string ansi = platform::WideToAnsi(name);
            // Every other file's lead differs only in case.
            std::string fileLead = lead.file;
            if (slot % 2) std::transform(fileLead.begin(), fileLead.end(), fileLead.begin(), ::toupper);
            entries.push_back({slot, father, dir ? folderLead + ansi : fileLead + ansi, dir ? kDir : kFile, 0,
                               static_cast<int64_t>(slot)});
            if (dir) folders.push_back(slot);
        }
        // Paths that GetFullPath does not write plainly: a parent that is a file,
        // a loop, a chain longer than a path may be, and a name whose second byte
        // is 0x5C (a trail byte in code page 936).
        uint32_t slot = 12000;
        entries.push_back({slot, 60, "x-file.txt", kFile, 0, slot});
        entries.push_back({slot + 1, slot, "under-a-file.txt", kFile, 0, slot + 1});
        entries.push_back({slot + 2, slot + 3, "loop-a", kDir, 0, slot + 2});
        entries.push_back({slot + 3, slot + 2, "loop-b", kDir, 0, slot + 3});
        entries.push_back({slot + 4, slot + 3, "in-loop.doc", kFile, 0, slot + 4});
        slot += 5;
        uint32_t father = 5;
        for (int depth = 0; depth < 30; ++depth, ++slot) {
            entries.push_back({slot, father, std::string(20, static_cast<char>('a' + depth % 26)) + "-", kDir, 0, slot});
            entries.push_back({slot + 1000, slot, "deep'" + std::to_string(depth) + ".txt", kFile, 0, slot + 1000});
            father = slot;
        }
        entries.push_back({slot, 60, "\x81\x5c" "name.txt", kFile, 0, slot});
        entries.push_back({slot + 1, 5, "\x81\x5c" "dir", kDir, 0, slot + 1});
        entries.push_back({slot + 2, slot + 1, "in-5c-dir.txt", kFile, 0, slot + 2});
        // A folder name ending in a lead byte: the backslash after it is read
        // as its trail byte.
        entries.push_back({slot + 3, 5, "ab\x81", kDir, 0, slot + 3});
        entries.push_back({slot + 4, slot + 3, "f.txt", kFile, 0, slot + 4});
        slot += 5;
        // Folders whose names are prefixes of each other, differ in a space or
        // a set-aside mark only, or are Chinese, each holding a folder of its
        // own name with a file in it; beside each a file of the same text.
        for (const char* folderName : {"p", "P", "p b", "p-b", "p'b", "pb", "p b c", "p-", "文档", "文档-", "文"}) {
            const std::string ansi = platform::WideToAnsi(platform::Utf8ToWide(folderName));
            entries.push_back({slot, 5, ansi, kDir, 0, slot});
            entries.push_back({slot + 1, slot, ansi, kDir, 0, slot + 1});
            entries.push_back({slot + 2, slot + 1, "f.txt", kFile, 0, slot + 2});
            entries.push_back({slot + 3, 5, ansi, kFile, 0, slot + 3});
            entries.push_back({slot + 4, slot, ansi, kFile, 0, slot + 4});
            slot += 5;
        }
        // A chain whose texts pass the longest a composed path may be: files
        // of several name lengths at each level.
        father = 5;
        for (int depth = 0; depth < 11; ++depth) {
            entries.push_back({slot, father, std::string(48, static_cast<char>('K' + depth)) + "'", kDir, 0, slot});
            for (int n : {1, 7, 20, 60}) {
                entries.push_back({slot + 1 + n, slot, std::string(static_cast<size_t>(n), 'n'), kFile, 0, slot + 1 + n});
            }
            father = slot;
            slot += 100;
        }
        // D: holds the start of C:'s tree again: the same folders under
        // another root.
        std::vector<Entry> second(entries.begin(), entries.begin() + 400);
        for (Entry& e : second) e.size += 1000000;  // told apart from C:'s rows
        Load(entries, second);
        ASSERT_GT(Search(MakeQuery(L"")).count, 11400u);

        struct Row {
            int64_t id;
            std::string name, folder, ext;
            bool dir;
        };
        auto snapshot = [&] {
            std::vector<Row> rows;
            IndexRecord r;
            std::string name, path;
            for (size_t i = 0; manager_->GetResultRecord(i, &r); ++i) {
                manager_->GetResultName(i, &name);
                manager_->GetResultPath(i, &path);
                size_t slash = path.rfind('\\');
                size_t dot = name.rfind('.');
                std::string ext = (dot == std::string::npos || dot + 1 == name.size()) ? std::string("\x01") : name.substr(dot + 1);
                rows.push_back({r.Size, name, slash == std::string::npos ? "" : path.substr(0, slash), ext,
                                (r.Flags & IRF_DIRECTORY) != 0});
            }
            return rows;
        };
        auto ids = [](const std::vector<Row>& rows) {
            std::vector<int64_t> out;
            for (const Row& r : rows) out.push_back(r.id);
            return out;
        };
        for (int key : {SORT_BY_NAME, SORT_BY_TYPE, SORT_BY_PATH, SORT_BY_NAME}) {
            std::vector<Row> want = snapshot();
            std::stable_sort(want.begin(), want.end(), [key](const Row& a, const Row& b) {
                if (key == SORT_BY_NAME) return lstrcmpiA(a.name.c_str(), b.name.c_str()) < 0;
                if (key == SORT_BY_PATH) return lstrcmpiA(a.folder.c_str(), b.folder.c_str()) < 0;
                if (a.dir || b.dir) return a.dir && !b.dir;
                return lstrcmpiA(a.ext.c_str(), b.ext.c_str()) < 0;
            });
            const LONG disagreements = g_SortKeyDisagreements, onTree = g_PathSortsOnTree;
            ASSERT_TRUE(manager_->StartSort(key));
            EXPECT_EQ(window_.Next().detail, -1);
            EXPECT_EQ(ResultSlots(*manager_), ids(want)) << "key " << key;
            // The keys alone gave the order; lstrcmpiA only confirmed it.
            EXPECT_EQ(g_SortKeyDisagreements, disagreements) << "key " << key;
            // Paths were ordered on the folder tree, unless so many rows' paths
            // are too long for it that every folder is keyed whole instead.
            EXPECT_EQ(g_PathSortsOnTree - onTree, key == SORT_BY_PATH && lead.folder.empty() ? 1 : 0) << "key " << key;
        }
    }
}

} // namespace

namespace {

// The parallel sort against std::sort: parts merged in pairs, with an odd
// number of parts (a run left without a partner), inputs sorted, reversed
// and full of equal keys.
TEST(ParallelSort, MatchesAPlainSortForEveryShapeOfInput) {
    struct Item {
        uint32_t key, position;
    };
    auto less = [](const Item& a, const Item& b) { return a.key != b.key ? a.key < b.key : a.position < b.position; };
    std::mt19937 rng(5);
    for (unsigned shares : {3u, 5u, 8u}) {
        CSearchWorkers workers(shares);
        for (int shape = 0; shape < 4; ++shape) {
            const size_t n = 40000 + rng() % 60000;
            std::vector<Item> items(n);
            for (size_t i = 0; i < n; ++i) {
                const uint32_t k = shape == 0 ? rng() : shape == 1 ? static_cast<uint32_t>(i) : shape == 2 ? static_cast<uint32_t>(n - i) : rng() % 7;
                items[i] = Item{k, static_cast<uint32_t>(i)};
            }
            std::vector<Item> want = items;
            std::sort(want.begin(), want.end(), less);
            volatile long stop = 0;
            ASSERT_TRUE(parallel_sort::Sort(items, less, workers, shares, &stop));
            for (size_t i = 0; i < n; ++i) {
                ASSERT_EQ(items[i].position, want[i].position) << "shares " << shares << " shape " << shape << " at " << i;
            }
        }
    }
}

} // namespace
