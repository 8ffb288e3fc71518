// The change-journal monitor with the index manager, a real hidden notify
// window and the in-memory journal: the poll loop, journal re-creation, and
// how each journal record changes the index and the result window.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "index/index_manager.h"
#include "index/search_messages.h"
#include "index/search_query.h"
#include "platform/handle.h"
#include "platform/thread.h"
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
constexpr DWORD kCreated = USN_REASON_FILE_CREATE | USN_REASON_CLOSE;
constexpr DWORD kRenamed = USN_REASON_RENAME_NEW_NAME | USN_REASON_CLOSE;
constexpr DWORD kDeleted = USN_REASON_FILE_DELETE | USN_REASON_CLOSE;

// What the notify window received: WM_SEARCH_CHANGED (1, 1) or with other
// parameters, and the last WM_SEARCH_RESULTS.
struct Received {
    int changed = 0, otherChanged = 0, results = 0;
    WPARAM resultCount = 0;
    LPARAM resultDeleted = 0;
} g_received;

LRESULT CALLBACK NotifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SEARCH_CHANGED) ++(wp == 1 && lp == 1 ? g_received.changed : g_received.otherChanged);
    if (msg == WM_SEARCH_RESULTS) std::tie(g_received.resultCount, g_received.resultDeleted) = std::make_pair(wp, lp);
    g_received.results += msg == WM_SEARCH_RESULTS;
    return msg == WM_SEARCH_CHANGED || msg == WM_SEARCH_RESULTS ? 0 : ::DefWindowProcW(hwnd, msg, wp, lp);
}

// Index and name files of drive T: a root, a folder, two files.
void WriteIndexFiles(const std::wstring& folder) {
    std::string names(1, '\0');  // offset 0 is a real offset in the file; keep names away from it
    std::vector<IndexRecord> records(kRecordCount, IndexRecord{0, 0xFFFFFFFFu, 0, {}, {}, {}, 0, 0});
    auto name = [&](uint32_t slot, uint32_t parent, const char* text, uint8_t flags, int64_t size) {
        const FILETIME time = MakeFileTime(0x01D0000000000000ULL);
        records[slot] = IndexRecord{parent, static_cast<uint32_t>(names.size()), flags, {}, time, {}, size, 0};
        names.append(text).push_back('\0');
    };
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
    // The high 16 bits are the sequence number; only the low 32 name the slot.
    return UsnChange{0x0003000000000000ULL | slot, 0x0001000000000000ULL | parent, reason, attributes, name};
}

class JournalMonitorTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kIndexFolder = L"C:\\journal-test-index";

    static void SetUpTestSuite() {
        ASSERT_EQ(testing_support::MapDriveToTempFolder(kDrive), L"T:\\");
        WriteIndexFiles(kIndexFolder);
        ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\x_old.txt", "old"));
        ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\readme.md", "read"));
    }

    void SetUp() override {
        g_received = Received{};
        manager_.reset(new CIndexManager());
        manager_->SetIndexFolder(kIndexFolder);
        manager_->SetUsnJournalIo(&journal_);
        LoadAndWait();
        ASSERT_NE(Volume(), nullptr) << "drive T did not load";
        ASSERT_EQ(Volume()->RecordCount(), kRecordCount);

        volume_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        journal_.AddVolume(volume_, kJournalId);
        ASSERT_TRUE(manager_->FollowVolume(kDrive, volume_));
        static WNDCLASSW wc{0, NotifyProc, 0, 0, ::GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr,
                            L"JournalTestNotify"};
        static ATOM atom = ::RegisterClassW(&wc);
        ASSERT_NE(atom, 0);
        window_ = ::CreateWindowExW(0, L"JournalTestNotify", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        manager_->SetNotifyWindow(window_);
    }

    void TearDown() override {
        manager_.reset();
        if (window_) ::DestroyWindow(window_);
    }

    void LoadAndWait() {  // also stops the journal thread
        manager_->StartLoad();
        ASSERT_TRUE(PumpMessagesUntil([&] { return manager_->IsLoadDone(); }, 30000));
    }
    CVolumeIndex* Volume() {
        for (size_t v = 0; v < manager_->VolumeCount(); ++v)
            if (manager_->GetVolume(v)->Letter() == kDrive) return manager_->GetVolume(v);
        return nullptr;
    }

    // Runs a full search and waits for its answer.
    void Search(const std::wstring& pattern, uint32_t state = SQS_ALL, uint32_t filters = 0) {
        CSearchQuery q;
        q.Pattern = pattern;
        q.FileState = state;
        q.FilterMask = filters;
        q.SizeMax = 1000;
        const int before = g_received.results;
        manager_->StartSearch(q);
        ASSERT_TRUE(PumpMessagesUntil([&] { return g_received.results > before; }, 30000));
    }

    // Waits until the loop has read `volume` `n` more times. Each pass posts
    // before the next pass reads, so after two reads every change appended
    // before the call has been applied and its notification is queued.
    void WaitReads(int n, HANDLE volume = nullptr) {
        if (!volume) volume = volume_;
        const int target = journal_.StatsOf(volume).reads + n;
        ASSERT_TRUE(PumpMessagesUntil([&] { return journal_.StatsOf(volume).reads >= target; }, 20000));
        PumpMessages(20);
    }
    void Append(const UsnChange& c) { journal_.Append(volume_, c); }

    // Reads of drive T's table, under the record lock.
    std::string NameOf(uint32_t slot) { platform::ScopedLock l(manager_->RecordLock()); return Volume()->GetFileName(slot); }
    IndexRecord RecordOf(uint32_t slot) { platform::ScopedLock l(manager_->RecordLock()); return *Volume()->GetRecord(slot); }
    uint32_t CountOf() { platform::ScopedLock l(manager_->RecordLock()); return Volume()->RecordCount(); }

    // Applies one encoded record as the loop does, under the record lock.
    bool Apply(const UsnChange& change, bool changed = false, size_t position = SIZE_MAX) {
        std::string bytes = EncodeUsnRecord(change, 0x100);
        std::vector<ULONGLONG> aligned(bytes.size() / 8 + 1);
        std::memcpy(aligned.data(), bytes.data(), bytes.size());
        platform::ScopedLock lock(manager_->RecordLock());
        if (position == SIZE_MAX)
            for (position = 0; manager_->GetVolume(position)->Letter() != kDrive; ++position) {
            }
        manager_->ApplyUsnRecord(position, *reinterpret_cast<const USN_RECORD_V2*>(aligned.data()), changed);
        return changed;
    }

    CMemoryUsnJournal journal_;
    std::unique_ptr<CIndexManager> manager_;
    HANDLE volume_ = nullptr;  // owned by the manager's monitor entry
    HWND window_ = nullptr;
};

// Set-up: the journal is answered, or created with the sizes for its error.
TEST_F(JournalMonitorTest, JournalIsAnsweredOrCreatedPerErrorAndOtherFailuresAreReported) {
    using State = CMemoryUsnJournal::State;
    struct Case {
        DWORD error;  // of the first query; 0: none
        State state;
        bool creates, deletesFirst;
        DWORDLONG size, delta;
    };
    const Case cases[] = {
        {0, State::Active, false, false, 0, 0},
        {ERROR_JOURNAL_NOT_ACTIVE, State::Active, true, false, 0x800000, 0x100000},
        {ERROR_JOURNAL_DELETE_IN_PROGRESS, State::Active, true, true, 0x2000000, 0x400000},
        {ERROR_JOURNAL_ENTRY_DELETED, State::Active, true, true, 0x2000000, 0x400000},
        // Really being deleted: the notify deletion finishes it, then a new one.
        {0, State::Deleting, true, true, 0x2000000, 0x400000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "error " << c.error << " state " << static_cast<int>(c.state));
        platform::UniqueHandle h(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        journal_.AddVolume(h.Get(), 0x4242);
        // The answer's position is the journal's, not its start.
        journal_.Append(h.Get(), UsnChange{64, 5, USN_REASON_FILE_CREATE | USN_REASON_CLOSE, 0, L"a.txt"});
        journal_.SetState(h.Get(), c.state);
        if (c.error) journal_.FailNext(h.Get(), FSCTL_QUERY_USN_JOURNAL, c.error);
        USN_JOURNAL_DATA data{};
        data.UsnJournalID = 0x4242;  // the identifier the caller held before
        ASSERT_TRUE(manager_->QueryUsnJournal(&data, h.Get()));
        const CMemoryUsnJournal::Stats s = journal_.StatsOf(h.Get());
        EXPECT_EQ(data.UsnJournalID, journal_.JournalId(h.Get()));
        EXPECT_EQ(data.NextUsn, journal_.NextUsn(h.Get()));
        EXPECT_EQ(s.queries, c.creates ? 2 : 1);
        ASSERT_EQ(s.creates.size(), c.creates ? 1u : 0u);
        ASSERT_EQ(s.deletes.size(), c.deletesFirst ? 1u : 0u);
        if (c.creates) {
            EXPECT_EQ(std::make_pair(s.creates[0].MaximumSize, s.creates[0].AllocationDelta), std::make_pair(c.size, c.delta));
        }
        if (c.deletesFirst) {
            EXPECT_EQ(std::make_pair(s.deletes[0].UsnJournalID, s.deletes[0].DeleteFlags), std::make_pair(0x4242ull, DWORD(2)));
        }
        if (c.state == State::Deleting) { EXPECT_NE(data.UsnJournalID, 0x4242u); }
    }

    // Other failures are reported; no journal is created for them.
    platform::UniqueHandle v(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    journal_.AddVolume(v.Get(), 0x500);
    USN_JOURNAL_DATA data{};
    journal_.FailNext(v.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(manager_->QueryUsnJournal(&data, v.Get()));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
    EXPECT_TRUE(journal_.StatsOf(v.Get()).creates.empty()) << "no journal is created for other errors";
    journal_.FailNext(v.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_JOURNAL_NOT_ACTIVE);
    journal_.FailNext(v.Get(), FSCTL_CREATE_USN_JOURNAL, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(manager_->QueryUsnJournal(&data, v.Get()));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    journal_.FailNext(v.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_JOURNAL_NOT_ACTIVE, 2);
    EXPECT_FALSE(manager_->QueryUsnJournal(&data, v.Get())) << "the query after the creation failed";
    EXPECT_FALSE(manager_->QueryUsnJournal(nullptr, v.Get()));

    // A drive that cannot be followed closes its handle.
    HANDLE raw = v.Detach();
    EXPECT_FALSE(manager_->FollowVolume(L'#', raw)) << "no drive has that letter";
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "the handle was closed";
}


TEST_F(JournalMonitorTest, ChangesAreAppliedAndMatchingOnesPostOncePerPass) {
    Search(L"x");
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\x.txt", "12345"));
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    const READ_USN_JOURNAL_DATA r = journal_.StatsOf(volume_).lastRead;
    EXPECT_EQ(std::make_tuple(r.ReasonMask, r.ReturnOnlyOnClose, r.Timeout, r.BytesToWaitFor, r.UsnJournalID),
              std::make_tuple(0x2300u, 0u, 0ull, 0ull, kJournalId));
    EXPECT_EQ(r.StartUsn, journal_.NextUsn(volume_));
    EXPECT_EQ(journal_.StatsOf(volume_).lastReadOutBytes, 4096u);

    // Two matching changes in one answer make one post.
    Append(Change(64, kDocsSlot, L"x.txt", kCreated));
    Append(Change(65, kDocsSlot, L"x2.txt", kCreated));
    // Changes that do not match post nothing but are applied.
    Append(Change(66, 5, L"plain.bin", kCreated));
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 1);
    EXPECT_EQ(g_received.otherChanged, 0);
    EXPECT_EQ(NameOf(66), "plain.bin");
    // The size comes from the file system; a free slot inside the table is filled in place.
    EXPECT_EQ(std::make_tuple(NameOf(64), RecordOf(64).FatherID, RecordOf(64).Flags, RecordOf(64).Size, CountOf()),
              std::make_tuple(std::string("x.txt"), kDocsSlot, uint8_t(IRF_EXISTS), int64_t(5), kRecordCount));

    // A deletion posts, and the file then shows as deleted with its size.
    Append(Change(kListedSlot, kDocsSlot, L"x_old.txt", kDeleted));
    WaitReads(2);
    EXPECT_EQ(g_received.changed, 2);
    EXPECT_EQ(RecordOf(kListedSlot).Size, 3);
    Search(L"x", SQS_DELETED);
    EXPECT_EQ(g_received.resultCount, 1u);
    EXPECT_EQ(g_received.resultDeleted, 1);

    // While the list is sorted nothing is posted, but the index follows.
    Search(L"x");
    ASSERT_TRUE(manager_->StartSort(SORT_NONE));
    ASSERT_TRUE(PumpMessagesUntil([&] { return manager_->IsSorted(); }, 10000));
    Append(Change(68, kDocsSlot, L"x_sorted.txt", kCreated));
    WaitReads(3);
    EXPECT_EQ(g_received.changed, 2);
    EXPECT_EQ(NameOf(68), "x_sorted.txt");
}

// The file-system lookup runs outside the record lock, between applying the
// change and matching it: the match must still see the looked-up size.
TEST_F(JournalMonitorTest, ChangedRecordIsMatchedWithItsLookedUpSize) {
    CSearchQuery q;
    q.Pattern = L"sized";
    q.FilterMask = SQF_SIZE_RANGE;
    q.SizeMin = 4;
    q.SizeMax = 1000;
    const int before = g_received.results;
    manager_->StartSearch(q);
    ASSERT_TRUE(PumpMessagesUntil([&] { return g_received.results > before; }, 30000));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\docs\\sized.txt", "12345"));
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    Append(Change(67, kDocsSlot, L"sized.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(RecordOf(67).Size, 5);
    EXPECT_EQ(g_received.changed, 1);
}

// One answer applied in batches: a slot changed twice, and a folder renamed
// between changes of its files, come out as if applied one by one.
TEST_F(JournalMonitorTest, OneAnswerKeepsTheOrderOfItsChanges) {
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    Append(Change(70, kDocsSlot, L"x_new.txt", kCreated));
    Append(Change(71, kDocsSlot, L"a.txt", kCreated));
    Append(Change(70, kDocsSlot, L"plain.txt", kRenamed));
    Append(Change(kDocsSlot, 5, L"papers", kRenamed, FILE_ATTRIBUTE_DIRECTORY));
    Append(Change(72, kDocsSlot, L"b.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(NameOf(70), "plain.txt");
    EXPECT_EQ(g_received.changed, 1);  // x_new.txt matched once it was created
    platform::ScopedLock lock(manager_->RecordLock());
    EXPECT_EQ(Volume()->GetFullPath(72), "T:\\papers\\b.txt");
    EXPECT_EQ(Volume()->GetFullPath(71), "T:\\papers\\a.txt");
}

TEST_F(JournalMonitorTest, MalformedAnswersLeaveTheIndexIntact) {
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    // A zero length, then a length past the answer (the walker's own cases are tested apart).
    const USN next = journal_.NextUsn(volume_);
    const std::string usn(reinterpret_cast<const char*>(&next), sizeof(next));
    std::string past = EncodeUsnRecord(Change(kListedSlot, 5, L"evil.txt", kRenamed), next);
    past[2] = 1;  // length 0x10000 and more
    journal_.QueueRawAnswer(volume_, usn + std::string(64, '\0'));
    journal_.QueueRawAnswer(volume_, usn + past);
    WaitReads(3);
    EXPECT_EQ(NameOf(kListedSlot), "x_old.txt");
    EXPECT_EQ(CountOf(), kRecordCount);
    EXPECT_EQ(g_received.changed, 0);

    // The loop goes on with the journal afterwards.
    Append(Change(kReadmeSlot, 5, L"x_readme.md", kRenamed));
    WaitReads(2);
    EXPECT_EQ(NameOf(kReadmeSlot), "x_readme.md");
    EXPECT_EQ(g_received.changed, 1);
}

TEST_F(JournalMonitorTest, FailedReadsAndLostJournalsAreRecoveredWithoutLosingChanges) {
    // A failed read queries the same journal again and keeps the position.
    Search(L"x");
    journal_.FailNext(volume_, FSCTL_READ_USN_JOURNAL, ERROR_INVALID_FUNCTION);
    Append(Change(63, 5, L"x_after_failure.txt", kCreated));
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(3);
    CMemoryUsnJournal::Stats s = journal_.StatsOf(volume_);
    EXPECT_EQ(std::make_tuple(s.failedReads, s.queries >= 2, s.creates.size()), std::make_tuple(1, true, size_t(0)));
    EXPECT_EQ(NameOf(63), "x_after_failure.txt") << "the change before the failure is not lost";
    EXPECT_EQ(g_received.changed, 1);

    // Switched off: re-created (the sizes per error are tested with the set-up) and followed.
    journal_.SetState(volume_, CMemoryUsnJournal::State::Inactive);
    WaitReads(2);
    ASSERT_EQ(journal_.StatsOf(volume_).creates.size(), 1u);
    const DWORDLONG newId = journal_.JournalId(volume_);
    EXPECT_NE(newId, kJournalId);
    Append(Change(64, 5, L"x_new_journal.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(journal_.StatsOf(volume_).lastRead.UsnJournalID, newId);
    EXPECT_EQ(NameOf(64), "x_new_journal.txt");
    EXPECT_EQ(g_received.changed, 2);

    // Being deleted: removed under the identifier the entry now holds, then
    // re-created larger.
    journal_.SetState(volume_, CMemoryUsnJournal::State::Deleting);
    WaitReads(2);
    s = journal_.StatsOf(volume_);
    ASSERT_EQ(s.deletes.size(), 1u);
    EXPECT_EQ(s.deletes[0].UsnJournalID, newId);
    EXPECT_EQ(s.creates.size(), 2u);
    Append(Change(65, 5, L"after_delete.txt", kCreated));
    WaitReads(2);
    EXPECT_EQ(NameOf(65), "after_delete.txt");
}

TEST_F(JournalMonitorTest, StoppedLoopResumesAtTheOldestKeptRecord) {
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(1);
    ASSERT_EQ(manager_->StartUsnMonitor(), 1) << "a second start replaces the running thread";
    WaitReads(1);
    LoadAndWait();
    const int reads = journal_.StatsOf(volume_).reads;
    PumpMessages(400);
    EXPECT_EQ(journal_.StatsOf(volume_).reads, reads) << "the load stopped the loop";

    // The journal moves on and drops its oldest record meanwhile.
    Append(Change(64, 5, L"lost.txt", kCreated));
    const USN kept = journal_.Append(volume_, Change(65, 5, L"kept.txt", kCreated));
    journal_.Purge(volume_, kept);
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    WaitReads(3);
    EXPECT_EQ(NameOf(65), "kept.txt");
    EXPECT_EQ(NameOf(64), "");
}

// One record at a time, in order: what it changes in the index, and whether
// it tells the window (the record matched the search before or after).
TEST_F(JournalMonitorTest, EachRecordKindUpdatesTheTableAndMatchesBeforeOrAfter) {
    Search(L"x");
    const int kAny = -1;
    struct Case {
        const char* what;
        UsnChange change;
        bool changedIn, changed;
        const char* name;
        int flags, father;
        uint32_t count;
    };
    const Case cases[] = {
        {"rename without close", Change(kListedSlot, 5, L"x_r.txt", USN_REASON_RENAME_NEW_NAME), false, false,
         "x_old.txt", IRF_EXISTS, kDocsSlot, kRecordCount},
        {"create without close", Change(50, 5, L"x_new.txt", USN_REASON_FILE_CREATE), false, false, "", kAny, kAny,
         kRecordCount},
        {"matches on neither side", Change(kReadmeSlot, 5, L"readme2.md", kRenamed), false, false, "readme2.md",
         IRF_EXISTS, 5, kRecordCount},
        {"matches only after", Change(kReadmeSlot, 5, L"x_readme.md", kRenamed), false, true, "x_readme.md",
         IRF_EXISTS, 5, kRecordCount},
        {"matches only before; a rename keeps the flags", Change(kListedSlot, 5, L"plain.txt", kRenamed), false,
         true, "plain.txt", IRF_EXISTS, 5, kRecordCount},
        {"once changed, applied without matching", Change(kDocsSlot, 5, L"docs2", kRenamed), true, true, "docs2",
         IRF_EXISTS | IRF_DIRECTORY, 5, kRecordCount},
        {"create over a known slot", Change(kReadmeSlot, kDocsSlot, L"subdir", kCreated, FILE_ATTRIBUTE_DIRECTORY),
         false, true, "subdir", IRF_EXISTS | IRF_DIRECTORY, kDocsSlot, kRecordCount},
        {"create and delete together apply as create",
         Change(300, 5, L"brief.tmp", USN_REASON_FILE_CREATE | USN_REASON_FILE_DELETE | USN_REASON_CLOSE), false,
         false, "brief.tmp", IRF_EXISTS, 5, 400},
        {"delete of an unknown slot inserts it deleted", Change(400, 5, L"gone.txt", kDeleted), false, true,
         "gone.txt", 0, 5, 500},
        {"slot beyond the table grows it by a hundred", Change(1000, 5, L"far.txt", kCreated), false, true,
         "far.txt", IRF_EXISTS, 5, 1100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Apply(c.change, c.changedIn), c.changed);
        const IndexRecord r = RecordOf(static_cast<uint32_t>(c.change.fileReference));
        EXPECT_EQ(NameOf(static_cast<uint32_t>(c.change.fileReference)), c.name);
        if (c.flags != kAny) { EXPECT_EQ(std::make_tuple(int(r.Flags), int(r.FatherID)), std::make_tuple(c.flags, c.father)); }
        EXPECT_EQ(CountOf(), c.count);
    }
    EXPECT_EQ(NameOf(999), "");
    EXPECT_EQ(NameOf(1001), "");

    // Chinese names arrive in the code page (tests run with 936).
    Search(L"\x4E2D\x6587");
    EXPECT_TRUE(Apply(Change(69, 5, L"\x4E2D\x6587\x6587\x4EF6.txt", kCreated)));  // 中文文件.txt
    EXPECT_EQ(NameOf(69), "\xD6\xD0\xCE\xC4\xCE\xC4\xBC\xFE.txt");

    // An empty pattern with a size filter: the filter alone makes the after-match.
    Search(L"", SQS_ALL, SQF_SIZE_RANGE);
    EXPECT_TRUE(Apply(Change(kListedSlot, 5, L"sized.md", kCreated)));
}

// A reader of drive T's table as a search round reads it: under the record
// lock it takes the table and key pointers once and walks every slot.
struct TableReader {
    CIndexManager* manager = nullptr;
    volatile LONG stop = 0;
    LONG passes = 0, faults = 0;
};

unsigned __stdcall ReadTableUntilStopped(void* arg) {
    auto& r = *static_cast<TableReader*>(arg);
    while (!r.stop) {
        platform::ScopedLock lock(r.manager->RecordLock());
        for (size_t position = 0; position < r.manager->VolumeCount(); ++position) {
            const CVolumeIndex& v = *r.manager->GetVolume(position);
            if (v.Letter() != kDrive) continue;
            const IndexRecord* table = v.Records();
            const SlotKey* keys = v.Keys();
            for (uint32_t s = 0; s < v.RecordCount(); ++s) {
                const char* name = v.GetName(keys[s]);
                const bool grown = s >= kRecordCount && (table[s].Flags & IRF_EXISTS);
                if (keys[s].NameRef != table[s].FileName || keys[s].Flags != table[s].Flags ||
                    (grown && (!name || std::strncmp(name, "grown_", 6) != 0)))
                    ++r.faults;
            }
            // The table must not move while the lock is held.
            if (v.Records() != table || v.Keys() != keys) ++r.faults;
        }
        ++r.passes;
        lock.Unlock();
        ::Sleep(0);
    }
    return 0;
}

// Creates far beyond the table make it grow again and again while readers
// and searches hold pointers into it under the lock: every pass sees a whole
// table, and every record lands.
TEST_F(JournalMonitorTest, TableGrowsUnderReadersWithoutLosingARecord) {
    size_t position = 0;
    while (manager_->GetVolume(position)->Letter() != kDrive) ++position;
    const uint32_t firstCapacity = static_cast<uint32_t>(Volume()->RecordCapacity());

    constexpr int kCreates = 600;
    auto slotOf = [&](int i) { return firstCapacity + static_cast<uint32_t>(i) * 150; };  // each beyond the last growth
    std::vector<std::string> answers;
    std::string current;
    USN usn = 0x100;
    for (int i = 0; i < kCreates; ++i) {
        std::string record = EncodeUsnRecord(Change(slotOf(i), kDocsSlot, L"grown_" + std::to_wstring(i) + L".txt", kCreated), usn);
        if (i % 5 == 4) record += EncodeUsnRecord(Change(kReadmeSlot, 5, L"readme_" + std::to_wstring(i) + L".md", kRenamed), usn);
        if (sizeof(USN) + current.size() + record.size() > usn::kReadBufferBytes) {
            answers.push_back(std::string(reinterpret_cast<const char*>(&usn), sizeof(usn)) + current);
            current.clear();
        }
        current += record;
        usn += static_cast<USN>(record.size());
    }
    answers.push_back(std::string(reinterpret_cast<const char*>(&usn), sizeof(usn)) + current);

    TableReader reader;
    reader.manager = manager_.get();
    platform::Thread readers[2];
    for (platform::Thread& t : readers) ASSERT_TRUE(t.Start(&ReadTableUntilStopped, &reader));
    UsnReadStorage buffer;
    for (size_t a = 0; a < answers.size(); ++a) {
        if (a % 4 == 0) {
            CSearchQuery q;
            q.Pattern = L"grown";
            manager_->StartSearch(q);
        }
        std::memcpy(buffer.bytes, answers[a].data(), answers[a].size());
        CUsnReadBuffer answer(buffer.bytes, static_cast<DWORD>(answers[a].size()));
        bool changed = false;
        manager_->ApplyUsnAnswer(position, answer, changed);
    }
    ::InterlockedExchange(&reader.stop, 1);
    for (platform::Thread& t : readers) t.Join();

    EXPECT_GT(reader.passes, 0);
    EXPECT_EQ(reader.faults, 0);
    EXPECT_GT(Volume()->RecordCapacity(), slotOf(kCreates - 1));
    EXPECT_EQ(CountOf(), slotOf(kCreates - 1) + CVolumeIndex::kGrowStep);
    for (int i = 0; i < kCreates; ++i) {
        ASSERT_EQ(NameOf(slotOf(i)), "grown_" + std::to_string(i) + ".txt") << i;
        ASSERT_EQ(RecordOf(slotOf(i)).FatherID, kDocsSlot) << i;
    }
    EXPECT_EQ(NameOf(kReadmeSlot), "readme_" + std::to_string(kCreates - 1) + ".md");
    EXPECT_EQ(NameOf(kListedSlot), "x_old.txt");
    // The answers of the searches started above are still queued: drain
    // them before the search whose count is checked.
    Search(L"grown_");
    PumpMessages(50);
    Search(L"grown_");
    EXPECT_EQ(g_received.resultCount, static_cast<WPARAM>(kCreates));
}

TEST_F(JournalMonitorTest, EntryWithoutItsVolumeAppliesNothing) {
    // Drive C has a monitor entry but no loaded volume: its records must not
    // land in drive T's table.
    HANDLE other = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    journal_.AddVolume(other, 0x99);
    ASSERT_TRUE(manager_->FollowVolume(L'C', other));
    Search(L"x");
    ASSERT_EQ(manager_->StartUsnMonitor(), 1);
    journal_.Append(other, Change(kReadmeSlot, 5, L"x_from_c.txt", kRenamed));
    journal_.Append(other, Change(900, 5, L"x_from_c2.txt", kCreated));
    WaitReads(2, other);
    EXPECT_EQ(NameOf(kReadmeSlot), "readme.md");
    EXPECT_EQ(CountOf(), kRecordCount);
    EXPECT_EQ(g_received.changed, 0);
    // A position beyond the volume list applies nothing either.
    EXPECT_FALSE(Apply(Change(kReadmeSlot, 5, L"x.txt", kRenamed), false, manager_->VolumeCount()));
    EXPECT_EQ(NameOf(kReadmeSlot), "readme.md");
}

} // namespace
