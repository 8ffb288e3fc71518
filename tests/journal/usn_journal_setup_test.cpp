// Journal set-up through the index manager against the in-memory journal:
// querying, creation and re-creation per error, and following a drive.
#include <gtest/gtest.h>

#include "index/index_manager.h"
#include "index/usn_journal_io.h"
#include "platform/handle.h"
#include "tests/journal/memory_usn_journal.h"

namespace {

UsnChange Created(DWORDLONG slot, const wchar_t* name) {
    UsnChange c;
    c.fileReference = slot;
    c.reason = USN_REASON_FILE_CREATE | USN_REASON_CLOSE;
    c.name = name;
    return c;
}

class JournalSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager_.SetUsnJournalIo(&journal_);
        volume_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(volume_.IsValid());
        journal_.AddVolume(volume_.Get(), 0x500);
    }

    CMemoryUsnJournal journal_;
    CIndexManager manager_;
    platform::UniqueHandle volume_;  // stands for an open "\\.\X:"
};

TEST_F(JournalSetupTest, ActiveJournalIsAnsweredAsItIs) {
    journal_.Append(volume_.Get(), Created(64, L"a.txt"));
    USN_JOURNAL_DATA data{};
    ASSERT_TRUE(manager_.QueryUsnJournal(&data, volume_.Get()));
    EXPECT_EQ(data.UsnJournalID, 0x500u);
    EXPECT_EQ(data.NextUsn, journal_.NextUsn(volume_.Get()));
    const CMemoryUsnJournal::Stats s = journal_.StatsOf(volume_.Get());
    EXPECT_EQ(s.queries, 1);
    EXPECT_TRUE(s.creates.empty());
    EXPECT_TRUE(s.deletes.empty());
}

TEST_F(JournalSetupTest, MissingOrDeletedJournalIsCreatedWithItsSizes) {
    struct Case {
        DWORD error;
        bool deletesFirst;
        DWORDLONG size, delta;
    };
    const Case cases[] = {
        {ERROR_JOURNAL_NOT_ACTIVE, false, 0x800000, 0x100000},
        {ERROR_JOURNAL_DELETE_IN_PROGRESS, true, 0x2000000, 0x400000},
        {ERROR_JOURNAL_ENTRY_DELETED, true, 0x2000000, 0x400000},
    };
    for (const Case& c : cases) {
        platform::UniqueHandle h(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        journal_.AddVolume(h.Get(), 0x600);
        journal_.FailNext(h.Get(), FSCTL_QUERY_USN_JOURNAL, c.error);
        USN_JOURNAL_DATA data{};
        data.UsnJournalID = 0x4242;  // the identifier the caller held before
        ASSERT_TRUE(manager_.QueryUsnJournal(&data, h.Get())) << c.error;
        const CMemoryUsnJournal::Stats s = journal_.StatsOf(h.Get());
        ASSERT_EQ(s.creates.size(), 1u) << c.error;
        EXPECT_EQ(s.creates[0].MaximumSize, c.size) << c.error;
        EXPECT_EQ(s.creates[0].AllocationDelta, c.delta) << c.error;
        ASSERT_EQ(s.deletes.size(), c.deletesFirst ? 1u : 0u) << c.error;
        if (c.deletesFirst) {
            EXPECT_EQ(s.deletes[0].UsnJournalID, 0x4242u) << c.error;
            EXPECT_EQ(s.deletes[0].DeleteFlags, 2u) << c.error;
        }
        EXPECT_EQ(s.queries, 2) << c.error;
        EXPECT_EQ(data.UsnJournalID, journal_.JournalId(h.Get())) << c.error;
    }
}

TEST_F(JournalSetupTest, DeletionInProgressEndsInANewJournal) {
    // The journal itself is being deleted: the notify deletion finishes it
    // and a larger one is created under a new identifier.
    journal_.BeginDeletion(volume_.Get());
    USN_JOURNAL_DATA data{};
    data.UsnJournalID = 0x500;
    ASSERT_TRUE(manager_.QueryUsnJournal(&data, volume_.Get()));
    EXPECT_NE(data.UsnJournalID, 0x500u);
    EXPECT_EQ(data.UsnJournalID, journal_.JournalId(volume_.Get()));
    EXPECT_EQ(journal_.StatsOf(volume_.Get()).creates.at(0).MaximumSize, 0x2000000u);
}

TEST_F(JournalSetupTest, OtherFailuresAreReported) {
    USN_JOURNAL_DATA data{};
    journal_.FailNext(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(manager_.QueryUsnJournal(&data, volume_.Get()));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_TRUE(journal_.StatsOf(volume_.Get()).creates.empty()) << "no journal is created for other errors";

    journal_.FailNext(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_JOURNAL_NOT_ACTIVE);
    journal_.FailNext(volume_.Get(), FSCTL_CREATE_USN_JOURNAL, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(manager_.QueryUsnJournal(&data, volume_.Get()));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    journal_.FailNext(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_JOURNAL_NOT_ACTIVE, 2);
    EXPECT_FALSE(manager_.QueryUsnJournal(&data, volume_.Get())) << "the query after the creation failed";

    EXPECT_FALSE(manager_.QueryUsnJournal(nullptr, volume_.Get()));
}

TEST_F(JournalSetupTest, FollowingADriveTakesTheJournalPositionAndTheHandle) {
    ASSERT_FALSE(manager_.MonitorEntries().empty()) << "drive C is listed at construction";
    const wchar_t letter = manager_.MonitorEntries()[0].Letter;
    journal_.Append(volume_.Get(), Created(64, L"a.txt"));

    HANDLE raw = volume_.Detach();
    ASSERT_TRUE(manager_.FollowVolume(letter, raw));
    const UsnMonitorEntry& entry = manager_.MonitorEntries()[0];
    EXPECT_EQ(entry.Volume.Get(), raw);
    EXPECT_EQ(entry.UsnJournalID, 0x500u);
    EXPECT_EQ(entry.NextUsn, journal_.NextUsn(raw));
}

TEST_F(JournalSetupTest, UnfollowableDriveClosesTheHandle) {
    HANDLE dup = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), volume_.Get(), ::GetCurrentProcess(), &dup, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    journal_.AddVolume(dup, 0x700);
    EXPECT_FALSE(manager_.FollowVolume(L'#', dup)) << "no drive has that letter";
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(dup, &flags)) << "the handle was closed";
}

} // namespace
