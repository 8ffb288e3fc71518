// The change-journal monitor with the index manager, a real hidden notify
// window and the in-memory journal: journal set-up and re-creation, the poll
// loop, and how each journal record changes the index and the result window.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "index/index_manager.h"
#include "index/search_messages.h"
#include "index/search_query.h"
#include "index/usn_journal_io.h"
#include "platform/strconv.h"
#include "tests/journal/memory_usn_journal.h"
#include "tests/support/test_support.h"

using testing_support::PumpMessages;
using testing_support::PumpMessagesUntil;

namespace {

constexpr wchar_t kDrive = L'T';
constexpr uint32_t kRecordCount = 70;
constexpr uint32_t kDocsSlot = 60;    // T:\docs
constexpr uint32_t kListedSlot = 61;  // T:\docs\x_old.txt, matches 'x'
constexpr uint32_t kReadmeSlot = 62;  // T:\readme.md
constexpr DWORDLONG kJournalId = 0x1234;

// What the notify window received.
struct Received {
    int changed = 0;      // WM_SEARCH_CHANGED (1, 1)
    int otherChanged = 0; // WM_SEARCH_CHANGED with other parameters
    int results = 0;      // WM_SEARCH_RESULTS
    WPARAM resultCount = 0;
    LPARAM resultDeleted = 0;
};
Received g_received;

LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SEARCH_CHANGED) {
        if (wp == 1 && lp == 1)
            ++g_received.changed;
        else
            ++g_received.otherChanged;
        return 0;
    }
    if (msg == WM_SEARCH_RESULTS) {
        ++g_received.results;
        g_received.resultCount = wp;
        g_received.resultDeleted = lp;
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CreateNotifyWindow() {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = NotifyProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"JournalTestNotify";
        return ::RegisterClassW(&wc);
    }();
    if (!atom) return nullptr;
    return ::CreateWindowExW(0, L"JournalTestNotify", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

// Index and name files of drive T: a root, a folder, two files.
void WriteIndexFiles(const std::wstring& folder) {
    std::string names;
    std::vector<IndexRecord> records(kRecordCount);
    for (IndexRecord& r : records) {
        std::memset(&r, 0, sizeof(r));
        r.FileName = 0xFFFFFFFF;
    }
    auto name = [&](uint32_t slot, uint32_t parent, const char* text, uint8_t flags, int64_t size) {
        records[slot].FatherID = parent;
        records[slot].FileName = static_cast<uint32_t>(names.size());
        records[slot].Flags = flags;
        records[slot].Size = size;
        records[slot].Time2 = MakeFileTime(0x01D0000000000000ULL);
        names += text;
        names += '\0';
    };
    names += '\0';  // offset 0 is a real offset in the file; keep names away from it
    name(5, 5, ".", IRF_EXISTS | IRF_DIRECTORY, 0);
    name(kDocsSlot, 5, "docs", IRF_EXISTS | IRF_DIRECTORY, 0);
    name(kListedSlot, kDocsSlot, "x_old.txt", IRF_EXISTS, 3);
    name(kReadmeSlot, 5, "readme.md", IRF_EXISTS, 4);
    ASSERT_TRUE(testing_support::WriteFileBytes(
        folder + L"\\index_T", std::string(reinterpret_cast<const char*>(records.data()), records.size() * 45)));
    ASSERT_TRUE(testing_support::WriteFileBytes(folder + L"\\name_T", names));
}

UsnChange Change(uint32_t slot, uint32_t parent, const std::wstring& name, DWORD reason,
                 DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
    UsnChange c;
    // The high 16 bits are the sequence number; only the low 32 name the slot.
    c.fileReference = 0x0003000000000000ULL | slot;
    c.parentReference = 0x0001000000000000ULL | parent;
    c.reason = reason;
    c.attributes = attributes;
    c.name = name;
    return c;
}

constexpr DWORD kCreated = USN_REASON_FILE_CREATE | USN_REASON_CLOSE;
constexpr DWORD kRenamed = USN_REASON_RENAME_NEW_NAME | USN_REASON_CLOSE;
constexpr DWORD kDeleted = USN_REASON_FILE_DELETE | USN_REASON_CLOSE;

class JournalMonitorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new std::wstring(testing_support::MapDriveToTempFolder(kDrive));
        ASSERT_EQ(*root_, L"T:\\");
        indexFolder_ = new std::wstring(L"C:\\journal-test-index");
        WriteIndexFiles(*indexFolder_);
        ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\x_old.txt", "old"));
        ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\readme.md", "read"));
    }
    static void TearDownTestSuite() {
        delete root_;
        delete indexFolder_;
    }

    void SetUp() override {
        g_received = Received{};
        manager_.reset(new CIndexManager());
        manager_->SetIndexFolder(*indexFolder_);
        manager_->SetUsnJournalIo(&journal_);
        manager_->StartLoad();
        ASSERT_TRUE(PumpMessagesUntil([&] { return manager_->IsLoadDone(); }, 30000));
        ASSERT_NE(Volume(), nullptr) << "drive T did not load";
        ASSERT_EQ(Volume()->RecordCount(), kRecordCount);

        volumeHandle_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(volumeHandle_, nullptr);
        journal_.AddVolume(volumeHandle_, kJournalId);
        ASSERT_TRUE(manager_->FollowVolume(kDrive, volumeHandle_));

        window_ = CreateNotifyWindow();
        ASSERT_NE(window_, nullptr);
        manager_->SetNotifyWindow(window_);
    }

    void TearDown() override {
        manager_.reset();
        if (window_) ::DestroyWindow(window_);
        PumpMessages(0);
    }

    CVolumeIndex* Volume() {
        for (size_t v = 0; v < manager_->VolumeCount(); ++v)
            if (manager_->GetVolume(v)->Letter() == kDrive) return manager_->GetVolume(v);
        return nullptr;
    }
    size_t VolumePosition() {
        for (size_t v = 0; v < manager_->VolumeCount(); ++v)
            if (manager_->GetVolume(v)->Letter() == kDrive) return v;
        return manager_->VolumeCount();
    }

    // Runs a full search and waits for its answer.
    void Search(const std::wstring& pattern, uint32_t state = SQS_ALL) {
        CSearchQuery q;
        q.Pattern = pattern;
        q.FileState = state;
        const int before = g_received.results;
        manager_->StartSearch(q);
        ASSERT_TRUE(PumpMessagesUntil([&] { return g_received.results > before; }, 30000));
    }

    // Waits until the loop has read drive T `n` more times. Each pass posts
    // before the next pass reads, so after two reads every change appended
    // before the call has been applied and its notification is queued.
    void WaitReads(int n) {
        const int target = journal_.StatsOf(volumeHandle_).reads + n;
        ASSERT_TRUE(PumpMessagesUntil([&] { return journal_.StatsOf(volumeHandle_).reads >= target; }, 20000));
        PumpMessages(20);
    }

    std::string NameOf(uint32_t slot) {
        platform::ScopedLock lock(manager_->RecordLock());
        return Volume()->GetFileName(slot);
    }
    IndexRecord RecordOf(uint32_t slot) {
        platform::ScopedLock lock(manager_->RecordLock());
        const IndexRecord* r = Volume()->GetRecord(slot);
        IndexRecord copy{};
        if (r) std::memcpy(&copy, r, sizeof(copy));
        return copy;
    }
    uint32_t CountOf() {
        platform::ScopedLock lock(manager_->RecordLock());
        return Volume()->RecordCount();
    }

    static std::wstring* root_;
    static std::wstring* indexFolder_;
    CMemoryUsnJournal journal_;
    std::unique_ptr<CIndexManager> manager_;
    HANDLE volumeHandle_ = nullptr;  // owned by the manager's monitor entry
    HWND window_ = nullptr;
};

std::wstring* JournalMonitorTest::root_ = nullptr;
std::wstring* JournalMonitorTest::indexFolder_ = nullptr;

// ---------------------------------------------------------------------------
// The poll loop

TEST_F(JournalMonitorTest, ReadsWithTheMonitorRequestAndFollowsTheJournal) {
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    const CMemoryUsnJournal::Stats s = journal_.StatsOf(volumeHandle_);
    EXPECT_EQ(s.lastRead.ReasonMask, 0x2300u);
    EXPECT_EQ(s.lastRead.ReturnOnlyOnClose, 0u);
    EXPECT_EQ(s.lastRead.Timeout, 0u);
    EXPECT_EQ(s.lastRead.BytesToWaitFor, 0u);
    EXPECT_EQ(s.lastRead.UsnJournalID, kJournalId);
    EXPECT_EQ(s.lastRead.StartUsn, journal_.NextUsn(volumeHandle_));
    EXPECT_EQ(s.lastReadOutBytes, 4096u);
}

TEST_F(JournalMonitorTest, MatchingCreatePostsOnceWithinOnePass) {
    Search(L"x");
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\x.txt", "12345"));
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    journal_.Append(volumeHandle_, Change(64, kDocsSlot, L"x.txt", kCreated));
    // A second matching change in the same answer still makes one post.
    journal_.Append(volumeHandle_, Change(65, kDocsSlot, L"x2.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 1);
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 1) << "a pass without changes posts nothing";
    EXPECT_EQ(g_received.otherChanged, 0);

    EXPECT_EQ(NameOf(64), "x.txt");
    const IndexRecord r = RecordOf(64);
    EXPECT_EQ(r.FatherID, kDocsSlot);
    EXPECT_EQ(r.Flags, IRF_EXISTS);
    EXPECT_EQ(r.Size, 5) << "the size comes from the file system";
    EXPECT_EQ(CountOf(), kRecordCount) << "a free slot inside the table is filled in place";
}

TEST_F(JournalMonitorTest, NonMatchingCreatePostsNothingButIsApplied) {
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(volumeHandle_, Change(66, 5, L"plain.bin", kCreated));
    journal_.Append(volumeHandle_, Change(67, 5, L"notes", kCreated, FILE_ATTRIBUTE_DIRECTORY));
    WaitReads(3);
    EXPECT_EQ(g_received.changed, 0);
    EXPECT_EQ(NameOf(66), "plain.bin");
    EXPECT_EQ(RecordOf(67).Flags, IRF_EXISTS | IRF_DIRECTORY);
}

TEST_F(JournalMonitorTest, RenameAwayFromThePatternPosts) {
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(volumeHandle_, Change(kListedSlot, 5, L"plain.txt", kRenamed));
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 1);
    EXPECT_EQ(NameOf(kListedSlot), "plain.txt");
    const IndexRecord r = RecordOf(kListedSlot);
    EXPECT_EQ(r.FatherID, 5u);
    EXPECT_EQ(r.Flags, IRF_EXISTS) << "a rename keeps the flags";
}

TEST_F(JournalMonitorTest, DeletePostsAndTheFileShowsAsDeleted) {
    Search(L"x");
    ASSERT_EQ(g_received.resultCount, 1u);
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(volumeHandle_, Change(kListedSlot, kDocsSlot, L"x_old.txt", kDeleted));
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 1);
    const IndexRecord r = RecordOf(kListedSlot);
    EXPECT_EQ(r.Flags & IRF_EXISTS, 0);
    EXPECT_EQ(r.Size, 3) << "a deleted file keeps its size";
    EXPECT_EQ(NameOf(kListedSlot), "x_old.txt");

    Search(L"x", SQS_DELETED);
    EXPECT_EQ(g_received.resultCount, 1u);
    EXPECT_EQ(g_received.resultDeleted, 1);
}

TEST_F(JournalMonitorTest, NothingIsPostedWhileSortedButTheIndexFollows) {
    Search(L"x");
    ASSERT_TRUE(manager_->StartSort(SORT_NONE));
    ASSERT_TRUE(PumpMessagesUntil([&] { return manager_->IsSorted(); }, 10000));
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(volumeHandle_, Change(68, kDocsSlot, L"x_sorted.txt", kCreated));
    WaitReads(3);
    EXPECT_EQ(g_received.changed, 0);
    EXPECT_EQ(NameOf(68), "x_sorted.txt");
}

TEST_F(JournalMonitorTest, ChineseNamesArriveInTheCodePage) {
    Search(L"\x4E2D\x6587");  // 中文
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(volumeHandle_, Change(69, 5, L"\x4E2D\x6587\x6587\x4EF6.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 1);
    const std::string expected = platform::WideToAnsi(std::wstring(L"\x4E2D\x6587\x6587\x4EF6.txt"));
    EXPECT_EQ(NameOf(69), expected);
    if (::GetACP() == 936) {
        EXPECT_EQ(NameOf(69), "\xD6\xD0\xCE\xC4\xCE\xC4\xBC\xFE.txt");
    }
}

TEST_F(JournalMonitorTest, MalformedAnswersLeaveTheIndexIntact) {
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    const USN next = journal_.NextUsn(volumeHandle_);
    auto usnBytes = [](USN u) { return std::string(reinterpret_cast<const char*>(&u), sizeof(u)); };

    // A zero length, then a length past the answer, then a name outside its record.
    std::string zero = usnBytes(next) + std::string(64, '\0');
    std::string past = EncodeUsnRecord(Change(kListedSlot, 5, L"evil.txt", kRenamed), next);
    const DWORD huge = 0x10000;
    std::memcpy(&past[0], &huge, sizeof(huge));
    std::string outside = EncodeUsnRecord(Change(kReadmeSlot, 5, L"evil2.txt", kRenamed), next);
    const WORD beyond = 0xFFF0;
    std::memcpy(&outside[offsetof(USN_RECORD_V2, FileNameOffset)], &beyond, sizeof(beyond));
    journal_.QueueRawAnswer(volumeHandle_, zero);
    journal_.QueueRawAnswer(volumeHandle_, usnBytes(next) + past);
    journal_.QueueRawAnswer(volumeHandle_, usnBytes(next) + outside);
    WaitReads(4);

    EXPECT_EQ(NameOf(kListedSlot), "x_old.txt");
    EXPECT_EQ(NameOf(kReadmeSlot), "readme.md");
    EXPECT_EQ(CountOf(), kRecordCount);
    EXPECT_EQ(g_received.changed, 0);

    // The loop goes on with the journal afterwards.
    journal_.Append(volumeHandle_, Change(kReadmeSlot, 5, L"x_readme.md", kRenamed));
    WaitReads(2);
    EXPECT_EQ(NameOf(kReadmeSlot), "x_readme.md");
    EXPECT_EQ(g_received.changed, 1);
}

TEST_F(JournalMonitorTest, StopsPromptlyAndRestarts) {
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    ASSERT_EQ(manager_->StartUsnMonitor(), 1) << "a second start replaces the running thread";
    WaitReads(1);
    manager_->StartLoad();  // stops the journal thread first
    ASSERT_TRUE(PumpMessagesUntil([&] { return manager_->IsLoadDone(); }, 30000));
    const int reads = journal_.StatsOf(volumeHandle_).reads;
    PumpMessages(400);
    EXPECT_EQ(journal_.StatsOf(volumeHandle_).reads, reads) << "the load stopped the loop";
}

// ---------------------------------------------------------------------------
// Read failures and journal re-creation

TEST_F(JournalMonitorTest, ReadFailureRequeriesAndKeepsPositionOfTheSameJournal) {
    Search(L"x");
    journal_.FailNext(volumeHandle_, FSCTL_READ_USN_JOURNAL, ERROR_INVALID_FUNCTION);
    journal_.Append(volumeHandle_, Change(64, 5, L"x_after_failure.txt", kCreated));
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(3);
    const CMemoryUsnJournal::Stats s = journal_.StatsOf(volumeHandle_);
    EXPECT_EQ(s.failedReads, 1);
    EXPECT_GE(s.queries, 2) << "the failure path queried the journal again";
    EXPECT_TRUE(s.creates.empty());
    EXPECT_EQ(NameOf(64), "x_after_failure.txt") << "the change before the failure is not lost";
    EXPECT_EQ(g_received.changed, 1);
}

TEST_F(JournalMonitorTest, DisabledJournalIsRecreatedAndFollowedAgain) {
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    journal_.Deactivate(volumeHandle_);
    WaitReads(2);
    const CMemoryUsnJournal::Stats s = journal_.StatsOf(volumeHandle_);
    ASSERT_EQ(s.creates.size(), 1u);
    EXPECT_EQ(s.creates[0].MaximumSize, 0x800000u);
    EXPECT_EQ(s.creates[0].AllocationDelta, 0x100000u);
    const DWORDLONG newId = journal_.JournalId(volumeHandle_);
    EXPECT_NE(newId, kJournalId);

    journal_.Append(volumeHandle_, Change(64, 5, L"x_new_journal.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(journal_.StatsOf(volumeHandle_).lastRead.UsnJournalID, newId);
    EXPECT_EQ(NameOf(64), "x_new_journal.txt");
    EXPECT_EQ(g_received.changed, 1);
}

TEST_F(JournalMonitorTest, DeletedJournalIsRemovedAndRecreatedLarger) {
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    journal_.BeginDeletion(volumeHandle_);
    WaitReads(2);
    const CMemoryUsnJournal::Stats s = journal_.StatsOf(volumeHandle_);
    ASSERT_EQ(s.deletes.size(), 1u);
    EXPECT_EQ(s.deletes[0].UsnJournalID, kJournalId) << "the deletion names the journal the entry held";
    EXPECT_EQ(s.deletes[0].DeleteFlags, 2u);
    ASSERT_EQ(s.creates.size(), 1u);
    EXPECT_EQ(s.creates[0].MaximumSize, 0x2000000u);
    EXPECT_EQ(s.creates[0].AllocationDelta, 0x400000u);
    journal_.Append(volumeHandle_, Change(64, 5, L"after_delete.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(NameOf(64), "after_delete.txt");
}

TEST_F(JournalMonitorTest, PurgedPositionResumesAtTheOldestKeptRecord) {
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    manager_->StartLoad();  // stop the loop while the journal moves on
    ASSERT_TRUE(PumpMessagesUntil([&] { return manager_->IsLoadDone(); }, 30000));
    journal_.Append(volumeHandle_, Change(64, 5, L"lost.txt", kCreated));
    const USN kept = journal_.Append(volumeHandle_, Change(65, 5, L"kept.txt", kCreated));
    journal_.Purge(volumeHandle_, kept);
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(3);
    EXPECT_EQ(NameOf(65), "kept.txt");
    EXPECT_EQ(NameOf(64), "");
}

// ---------------------------------------------------------------------------
// One journal record

class ApplyRecordTest : public JournalMonitorTest {
protected:
    // Applies one encoded record as the loop does, under the record lock.
    bool Apply(const UsnChange& change, bool changed = false) {
        std::string bytes = EncodeUsnRecord(change, 0x100);
        std::vector<ULONGLONG> aligned(bytes.size() / 8 + 1);
        std::memcpy(aligned.data(), bytes.data(), bytes.size());
        platform::ScopedLock lock(manager_->RecordLock());
        manager_->ApplyUsnRecord(VolumePosition(), *reinterpret_cast<const USN_RECORD_V2*>(aligned.data()), changed);
        return changed;
    }
};

TEST_F(ApplyRecordTest, RecordWithoutCloseChangesNothing) {
    Search(L"x");
    EXPECT_FALSE(Apply(Change(kListedSlot, 5, L"x_renamed.txt", USN_REASON_RENAME_NEW_NAME)));
    EXPECT_FALSE(Apply(Change(500, 5, L"x_new.txt", USN_REASON_FILE_CREATE)));
    EXPECT_EQ(NameOf(kListedSlot), "x_old.txt");
    EXPECT_EQ(CountOf(), kRecordCount);
}

TEST_F(ApplyRecordTest, SlotBeyondTheTableGrowsIt) {
    EXPECT_FALSE(Apply(Change(1000, 5, L"far.txt", kCreated))) << "no query: nothing to tell";
    ASSERT_EQ(CountOf(), 1100u);
    EXPECT_EQ(NameOf(1000), "far.txt");
    EXPECT_EQ(RecordOf(1000).Flags, IRF_EXISTS);
    EXPECT_EQ(NameOf(999), "");
    EXPECT_EQ(NameOf(1001), "");
}

TEST_F(ApplyRecordTest, CreateAndDeleteTogetherApplyAsCreate) {
    Apply(Change(300, 5, L"brief.tmp", USN_REASON_FILE_CREATE | USN_REASON_FILE_DELETE | USN_REASON_CLOSE));
    EXPECT_EQ(RecordOf(300).Flags, IRF_EXISTS);
    EXPECT_EQ(NameOf(300), "brief.tmp");
}

TEST_F(ApplyRecordTest, DeleteOfUnknownSlotInsertsItAsDeleted) {
    Apply(Change(400, 5, L"gone.txt", kDeleted));
    EXPECT_EQ(CountOf(), 500u);
    EXPECT_EQ(NameOf(400), "gone.txt");
    EXPECT_EQ(RecordOf(400).Flags & IRF_EXISTS, 0);
}

TEST_F(ApplyRecordTest, CreateOverKnownSlotUpdatesIt) {
    Apply(Change(kReadmeSlot, kDocsSlot, L"subdir", kCreated, FILE_ATTRIBUTE_DIRECTORY));
    const IndexRecord r = RecordOf(kReadmeSlot);
    EXPECT_EQ(r.Flags, IRF_EXISTS | IRF_DIRECTORY);
    EXPECT_EQ(r.FatherID, kDocsSlot);
    EXPECT_EQ(NameOf(kReadmeSlot), "subdir");
}

TEST_F(ApplyRecordTest, MatchingRulesForBeforeAndAfter) {
    Search(L"x");
    // Unrelated record on both sides: not changed.
    EXPECT_FALSE(Apply(Change(kReadmeSlot, 5, L"readme2.md", kRenamed)));
    // Matches only after.
    EXPECT_TRUE(Apply(Change(kReadmeSlot, 5, L"x_readme.md", kRenamed)));
    // Once changed, later records are applied without matching.
    EXPECT_TRUE(Apply(Change(kDocsSlot, 5, L"docs2", kRenamed), true));
    EXPECT_EQ(NameOf(kDocsSlot), "docs2");
}

TEST_F(ApplyRecordTest, FiltersAloneMakeTheAfterMatch) {
    // An empty pattern with a size filter: only the after-match runs.
    CSearchQuery q;
    q.FilterMask = SQF_SIZE_RANGE;
    q.SizeMin = 0;
    q.SizeMax = 1000;
    const int before = g_received.results;
    manager_->StartSearch(q);
    ASSERT_TRUE(PumpMessagesUntil([&] { return g_received.results > before; }, 30000));
    EXPECT_TRUE(Apply(Change(kReadmeSlot, 5, L"readme.md", kCreated)));
}

TEST_F(ApplyRecordTest, EntryWithoutItsVolumeAppliesNothing) {
    // Drive C has a monitor entry but no loaded volume: its records must not
    // land in drive T's table.
    HANDLE other = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    journal_.AddVolume(other, 0x99);
    ASSERT_TRUE(manager_->FollowVolume(L'C', other));
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(other, Change(kReadmeSlot, 5, L"x_from_c.txt", kRenamed));
    journal_.Append(other, Change(900, 5, L"x_from_c2.txt", kCreated));
    const int target = journal_.StatsOf(other).reads + 2;
    ASSERT_TRUE(PumpMessagesUntil([&] { return journal_.StatsOf(other).reads >= target; }, 20000));
    PumpMessages(20);
    EXPECT_EQ(NameOf(kReadmeSlot), "readme.md");
    EXPECT_EQ(CountOf(), kRecordCount);
    EXPECT_EQ(g_received.changed, 0);
    // A position beyond the volume list applies nothing either.
    bool changed = false;
    std::string bytes = EncodeUsnRecord(Change(kReadmeSlot, 5, L"x.txt", kRenamed), 0x100);
    std::vector<ULONGLONG> aligned(bytes.size() / 8 + 1);
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    {
        platform::ScopedLock lock(manager_->RecordLock());
        manager_->ApplyUsnRecord(manager_->VolumeCount(), *reinterpret_cast<const USN_RECORD_V2*>(aligned.data()),
                                 changed);
    }
    EXPECT_FALSE(changed);
    EXPECT_EQ(NameOf(kReadmeSlot), "readme.md");
}

} // namespace
