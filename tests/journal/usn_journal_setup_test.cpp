// Journal set-up through the index manager against the in-memory journal:
// querying, creation and re-creation per error, and following a drive.
#include <gtest/gtest.h>

#include "index/index_manager.h"
#include "platform/handle.h"
#include "tests/journal/memory_usn_journal.h"

namespace {

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

TEST_F(JournalSetupTest, JournalIsAnsweredOrCreatedWithTheSizesForItsError) {
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
        ASSERT_TRUE(manager_.QueryUsnJournal(&data, h.Get()));
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
}

TEST_F(JournalSetupTest, OtherFailuresAreReportedAndTheHandleClosed) {
    USN_JOURNAL_DATA data{};
    journal_.FailNext(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(manager_.QueryUsnJournal(&data, volume_.Get()));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
    EXPECT_TRUE(journal_.StatsOf(volume_.Get()).creates.empty()) << "no journal is created for other errors";
    journal_.FailNext(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_JOURNAL_NOT_ACTIVE);
    journal_.FailNext(volume_.Get(), FSCTL_CREATE_USN_JOURNAL, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(manager_.QueryUsnJournal(&data, volume_.Get()));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    journal_.FailNext(volume_.Get(), FSCTL_QUERY_USN_JOURNAL, ERROR_JOURNAL_NOT_ACTIVE, 2);
    EXPECT_FALSE(manager_.QueryUsnJournal(&data, volume_.Get())) << "the query after the creation failed";
    EXPECT_FALSE(manager_.QueryUsnJournal(nullptr, volume_.Get()));

    // A drive that cannot be followed closes its handle.
    HANDLE raw = volume_.Detach();
    EXPECT_FALSE(manager_.FollowVolume(L'#', raw)) << "no drive has that letter";
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "the handle was closed";
}

} // namespace
