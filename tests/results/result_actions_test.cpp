// What the result window does with rows: header sorting with its
// confirmation and reversal, the search history, double and right clicks,
// the action bar and the dock messages around every box.
#include <gtest/gtest.h>

#include "platform/strconv.h"
#include "tests/results/result_fixture.h"
#include "tests/support/test_support.h"
#include "ui/bkstring.h"

using namespace results_test;

namespace {

using List = OListCtrl<CSearchResultWnd>;

// Answers the result window's boxes and keeps what they asked.
struct Boxes {
    std::vector<std::pair<std::wstring, UINT>> asked;
    std::vector<int> answers;  // popped from the front; IDCANCEL when empty
    static int Answer(void* context, const std::wstring& text, UINT type) {
        auto* self = static_cast<Boxes*>(context);
        self->asked.emplace_back(text, type);
        if (self->answers.empty()) return IDCANCEL;
        const int answer = self->answers.front();
        self->answers.erase(self->answers.begin());
        return answer;
    }
};

struct Recoveries {
    std::vector<std::vector<int>> calls;
    static int Recover(void* context, const std::vector<int>& rows) {
        static_cast<Recoveries*>(context)->calls.push_back(rows);
        return 0;
    }
};

struct Reports {
    std::vector<std::wstring> queries;
    static void Report(void* context, const std::wstring& query) {
        static_cast<Reports*>(context)->queries.push_back(query);
    }
};

std::wstring Name(ResultSetup& s, int row) {
    return s.wnd->GetItemText(row, RESULTCOL_NAME, nullptr, nullptr);
}

bool WaitSorted(ResultSetup& s, size_t before) {
    return testing_support::PumpMessagesUntil(
        [&] {
            const Message* m = s.owner.Last(WM_SEARCH_RESULTS);
            return s.owner.Count(WM_SEARCH_RESULTS) > before && m->lp == -1;
        },
        60000);
}

void ClickHeader(List& list, int x) {
    ::SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10));
    ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 10));
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return L"<no clipboard>";
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = p;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

}  // namespace

TEST(ResultActions, ColumnClickSortsAfterConfirmationAndReversesOnSecondClick) {
    ASSERT_TRUE(LoadProgramStrings());
    ResultSetup s;
    Boxes boxes;
    s.wnd->SetMessageBoxHook(&Boxes::Answer, &boxes);
    // More than 300,000 rows: a name sort asks first.
    ASSERT_TRUE(s.LoadMany(300001, 0));
    ASSERT_TRUE(s.Search(L"file"));
    s.Show(800, 300);
    List& list = s.wnd->GetList();
    ASSERT_EQ(list.GetItemCount(), 300001);

    // Cancel: nothing changes, the list stays enabled, the dock is given back.
    boxes.answers = {IDCANCEL};
    s.owner.messages.clear();
    ClickHeader(list, 100);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].first, BkString::Get(31));
    EXPECT_EQ(boxes.asked[0].second, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(s.wnd->GetAppliedSortKey(), SORT_NONE);
    EXPECT_TRUE(list.IsWindowEnabled());
    EXPECT_EQ(s.owner.Count(WM_SORT_STARTED), 0u);
    ASSERT_EQ(s.owner.Count(WM_DOCK_ENABLE), 2u);
    EXPECT_EQ(s.owner.messages[0].wp, 1u);
    EXPECT_EQ(s.owner.messages[1].wp, 0u);

    // OK: the engine sorts by name; the owner shows its busy animation.
    boxes.answers = {IDOK};
    size_t before = s.owner.Count(WM_SEARCH_RESULTS);
    ClickHeader(list, 100);
    EXPECT_FALSE(list.IsWindowEnabled());
    EXPECT_EQ(s.owner.Count(WM_SORT_STARTED), 1u);
    ASSERT_TRUE(WaitSorted(s, before));
    EXPECT_TRUE(list.IsWindowEnabled());
    EXPECT_EQ(s.wnd->GetAppliedSortKey(), SORT_BY_NAME);
    EXPECT_FALSE(s.wnd->IsDescending());
    EXPECT_EQ(Name(s, 0), L"file0.txt");
    EXPECT_EQ(Name(s, 2), L"file10.txt");

    // The same header again (confirmed again): the rows show reversed.
    boxes.answers = {IDOK};
    before = s.owner.Count(WM_SEARCH_RESULTS);
    ClickHeader(list, 100);
    ASSERT_TRUE(WaitSorted(s, before));
    EXPECT_TRUE(s.wnd->IsDescending());
    EXPECT_EQ(s.wnd->GetAppliedSortKey(), SORT_BY_NAME);
    EXPECT_EQ(Name(s, 0), L"file99999.txt");
    EXPECT_EQ(Name(s, 300000), L"file0.txt");
    EXPECT_EQ(s.wnd->MapRow(0), 300000);

    // Size never asks and sorts ascending; a new search shows engine order.
    const size_t asked = boxes.asked.size();
    before = s.owner.Count(WM_SEARCH_RESULTS);
    const int* widths = CSearchResultWnd::kColumnWidths;
    ClickHeader(list, widths[RESULTCOL_NAME] + widths[RESULTCOL_DIRECTORY] + widths[RESULTCOL_TYPE] + 30);
    ASSERT_TRUE(WaitSorted(s, before));
    EXPECT_EQ(boxes.asked.size(), asked);
    EXPECT_EQ(s.wnd->GetAppliedSortKey(), SORT_BY_SIZE);
    EXPECT_FALSE(s.wnd->IsDescending());
    EXPECT_EQ(Name(s, 1), L"file1.txt");
    ASSERT_TRUE(s.Search(L"file2"));
    EXPECT_EQ(s.wnd->GetAppliedSortKey(), SORT_NONE);
    EXPECT_EQ(Name(s, 0), L"file2.txt");
}

TEST(ResultActions, HistoryTakesAQueryOnceAfterItSettled) {
    ResultSetup s;
    Reports reports;
    s.wnd->SetHistoryReportHook(&Reports::Report, &reports);
    ASSERT_TRUE(s.Load(ManyFiles(10, 0)));
    ASSERT_TRUE(s.Search(L"fi"));
    // Changed within 3 s: only the later query counts.
    testing_support::PumpMessages(600);
    EXPECT_TRUE(reports.queries.empty());
    ASSERT_TRUE(s.Search(L"file"));
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !reports.queries.empty(); }, 10000));
    testing_support::PumpMessages(700);  // the timer has stopped: no second report
    EXPECT_EQ(reports.queries, std::vector<std::wstring>{L"file"});
    EXPECT_EQ(s.wnd->GetHistory(), std::vector<std::wstring>{L"file"});

    // The same query in other case, and one of 21 characters: never reported.
    ASSERT_TRUE(s.Search(L"FILE"));
    ASSERT_TRUE(s.Search(L"abcdefghijklmnopqrstu"));
    ASSERT_TRUE(s.Search(L"FILE"));
    testing_support::PumpMessages(3600);
    ASSERT_TRUE(s.Search(L"abcdefghijklmnopqrstu"));
    testing_support::PumpMessages(3600);
    EXPECT_EQ(reports.queries, std::vector<std::wstring>{L"file"});
    // An empty query changes nothing.
    ASSERT_TRUE(s.Search(L""));
    EXPECT_EQ(s.wnd->GetLastQuery(), L"abcdefghijklmnopqrstu");
}

TEST(ResultActions, DoubleAndRightClickOnDeletedAndExistingRows) {
    ASSERT_TRUE(LoadProgramStrings());
    // Real files for the existing rows, so that opening them is possible.
    const std::wstring dir = L"C:\\results-open-" + std::to_wstring(::GetCurrentProcessId());
    const std::string dirName = platform::WideToAnsi(dir.substr(3));
    std::vector<Entry> entries = {{5, 5, ".", kDir, 0, 0}, {60, 5, dirName, kDir, 0, 0}};
    for (uint32_t i = 0; i < 36; ++i) {
        const std::string name = "doc" + std::to_string(i) + ".txt";
        entries.push_back({61 + i, 60, name, kFile, 0, 1});
        ASSERT_TRUE(testing_support::WriteFileBytes(dir + L"\\" + platform::AnsiToWide(name), "x"));
    }
    entries.push_back({100, 60, "gone1.txt", kDeletedFile, 0, 100});
    entries.push_back({101, 60, "gone2.txt", kDeletedFile, 0, 200});
    ResultSetup s;
    Boxes boxes;
    Recoveries recoveries;
    s.wnd->SetMessageBoxHook(&Boxes::Answer, &boxes);
    s.wnd->SetRecoverHook(&Recoveries::Recover, &recoveries);
    ASSERT_TRUE(s.Load(entries));
    ASSERT_TRUE(s.Search(L".txt"));
    s.Show(800, 400);
    List& list = s.wnd->GetList();
    ASSERT_EQ(list.GetItemCount(), 38);  // doc0..doc35 at rows 0-35, gone1 and gone2 at 36, 37

    // Only deleted rows: the recovery at once, with their drive and total.
    list.SelectOnly(36);
    list.SelectItem(37);
    s.wnd->OnItemDoubleClick();
    EXPECT_TRUE(boxes.asked.empty());
    ASSERT_EQ(recoveries.calls.size(), 1u);
    EXPECT_EQ(recoveries.calls[0], (std::vector<int>{36, 37}));
    EXPECT_EQ(s.wnd->GetDriveRoots(), std::vector<std::wstring>{L"C:\\"});
    EXPECT_EQ(s.wnd->GetDeletedTotal(), 300u);

    // Mixed: Yes/No/Cancel with the number of deleted rows; Cancel does nothing.
    list.SelectItem(0);
    s.wnd->OnItemDoubleClick();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].second, static_cast<UINT>(MB_YESNOCANCEL));
    EXPECT_NE(boxes.asked[0].first.find(L"包含 2 个已删除文件"), std::wstring::npos);
    EXPECT_EQ(recoveries.calls.size(), 1u);
    boxes.answers = {IDYES};
    s.wnd->OnItemDoubleClick();
    EXPECT_EQ(recoveries.calls.size(), 2u);

    // 35 existing files: refused with string 33, nothing opened.
    list.SelectOnly(0);
    for (int row = 1; row < 35; ++row) list.SelectItem(row);
    s.owner.messages.clear();
    s.wnd->OnItemDoubleClick();
    ASSERT_EQ(boxes.asked.size(), 3u);
    EXPECT_EQ(boxes.asked[2].first, BkString::Get(33));
    EXPECT_EQ(s.owner.Count(WM_RESULT_LIST_USED), 0u);

    // Right click on deleted rows only: string 51 with the count; OK recovers.
    list.SelectOnly(36);
    list.SelectItem(37);
    boxes.answers = {IDOK};
    s.wnd->OnItemRightClick(10, 10);
    ASSERT_EQ(boxes.asked.size(), 4u);
    EXPECT_NE(boxes.asked[3].first.find(L"（共2个）"), std::wstring::npos);
    ASSERT_EQ(recoveries.calls.size(), 3u);
    EXPECT_EQ(recoveries.calls[2], (std::vector<int>{36, 37}));

    // Nested boxes: a dock that was already held (answer 1) is not released.
    s.owner.messages.clear();
    s.owner.dockAnswer = 1;
    s.wnd->ConfirmBox(L"x");
    EXPECT_EQ(s.owner.Count(WM_DOCK_ENABLE), 1u);
    s.owner.dockAnswer = 0;
}

TEST(ResultActions, ActionBarActsOnTheHoveredRowOrTheSelection) {
    ResultSetup s;
    ASSERT_TRUE(s.Load(ManyFiles(5, 0)));
    ASSERT_TRUE(s.Search(L"file"));
    s.Show(800, 300);
    List& list = s.wnd->GetList();
    const HWND h = list.Handle();
    list.SelectOnly(0);
    // Hover row 2 (not selected) and press its copy-path button.
    ::SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(700, list.RowTop(2) + 5));
    ASSERT_EQ(list.GetExpandedRow(), 2);
    RECT button;
    ASSERT_TRUE(list.GetActionButtonRect(ROWACTION_COPY_PATH, &button));
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.left + 5, button.top + 5));
    EXPECT_EQ(ClipboardText(), L"C:\\file2.txt");
    EXPECT_EQ(list.GetSelectedCount(), 1);  // the press changed no selection
    EXPECT_TRUE(list.IsSelected(0));

    // Row 2 selected with row 0: the button acts on both, each path ending a line.
    list.SelectItem(2);
    ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.left + 5, button.top + 5));
    EXPECT_EQ(ClipboardText(), L"C:\\file0.txt\r\nC:\\file2.txt\r\n");
}

TEST(ResultActions, SortConfirmationDoesNotActOnAClosedWindow) {
    ResultSetup s;
    ASSERT_TRUE(s.LoadMany(100001, 0));
    ASSERT_TRUE(s.Search(L"file"));
    s.Show(800, 300);
    // The window is closed while the path sort's question is up, and the
    // user then answers OK: nothing is sorted and the dock is given back.
    struct Closer {
        HWND wnd;
        static int Answer(void* context, const std::wstring&, UINT) {
            ::DestroyWindow(static_cast<Closer*>(context)->wnd);
            return IDOK;
        }
    } closer = {s.wnd->Handle()};
    s.wnd->SetMessageBoxHook(&Closer::Answer, &closer);
    s.owner.messages.clear();
    ClickHeader(s.wnd->GetList(), 206 + 100);
    EXPECT_FALSE(::IsWindow(closer.wnd));
    EXPECT_EQ(s.wnd->GetAppliedSortKey(), SORT_NONE);
    EXPECT_FALSE(s.engine->IsSortRunning());
    EXPECT_EQ(s.owner.Count(WM_SORT_STARTED), 0u);
    ASSERT_EQ(s.owner.Count(WM_DOCK_ENABLE), 2u);
    EXPECT_EQ(s.owner.Last(WM_DOCK_ENABLE)->wp, 0u);
}

TEST(ResultActions, HistoryHoldsAHundredQueriesAndReportsNoMore) {
    ResultSetup s;
    Reports reports;
    s.wnd->SetHistoryReportHook(&Reports::Report, &reports);
    s.wnd->SetHistoryDelay(0);  // every query has settled at once
    ASSERT_TRUE(s.Load(ManyFiles(5, 0)));
    for (int n = 1; n <= 101; ++n) {
        ASSERT_TRUE(s.Search(L"query" + std::to_wstring(n)));
        s.wnd->OnHistoryTimer();
    }
    ASSERT_EQ(reports.queries.size(), 100u);
    EXPECT_EQ(reports.queries.front(), L"query1");
    EXPECT_EQ(reports.queries.back(), L"query100");
    EXPECT_EQ(s.wnd->GetHistory().size(), 100u);
    EXPECT_EQ(s.wnd->GetLastQuery(), L"query101");
}

TEST(ResultActions, RightClickOnFilesGoneSinceIndexingSaysSoAndRecoversOnlyDeletedRecords) {
    ASSERT_TRUE(LoadProgramStrings());
    // Records of existing files whose files are not on disk, and deleted records.
    ResultSetup s;
    Boxes boxes;
    Recoveries recoveries;
    s.wnd->SetMessageBoxHook(&Boxes::Answer, &boxes);
    s.wnd->SetRecoverHook(&Recoveries::Recover, &recoveries);
    ASSERT_TRUE(s.Load({{5, 5, ".", kDir, 0, 0},
                        {60, 5, "moved1.txt", kFile, 0, 1},
                        {61, 5, "moved2.txt", kFile, 0, 1},
                        {62, 5, "removed.txt", kDeletedFile, 0, 50}}));
    ASSERT_TRUE(s.Search(L".txt"));
    s.Show(800, 300);
    List& list = s.wnd->GetList();
    ASSERT_EQ(list.GetItemCount(), 3);
    ASSERT_EQ(Name(s, 2), L"removed.txt");

    // Only gone files: a plain notice that says so, and nothing recovered.
    list.SelectOnly(0);
    list.SelectItem(1);
    boxes.answers = {IDOK};
    s.wnd->OnItemRightClick(10, 10);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].second, static_cast<UINT>(MB_OK));
    EXPECT_NE(boxes.asked[0].first.find(L"（共2个）"), std::wstring::npos);
    EXPECT_EQ(boxes.asked[0].first.find(L"已删除文件"), std::wstring::npos);
    EXPECT_TRUE(recoveries.calls.empty());

    // Gone files with a deleted record: the question counts what OK recovers.
    list.SelectItem(2);
    boxes.answers = {IDOK};
    s.wnd->OnItemRightClick(10, 10);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].second, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_NE(boxes.asked[1].first.find(L"（共1个）"), std::wstring::npos);
    ASSERT_EQ(recoveries.calls.size(), 1u);
    EXPECT_EQ(recoveries.calls[0], std::vector<int>{2});
}

TEST(ResultActions, OpenContainingFolderRefusesMoreThanThirtyFourRows) {
    ASSERT_TRUE(LoadProgramStrings());
    ResultSetup s;
    Boxes boxes;
    s.wnd->SetMessageBoxHook(&Boxes::Answer, &boxes);
    ASSERT_TRUE(s.Load(ManyFiles(40, 0)));
    ASSERT_TRUE(s.Search(L"file"));
    s.Show(800, 300);
    List& list = s.wnd->GetList();
    ASSERT_EQ(list.GetItemCount(), 40);
    s.owner.messages.clear();
    EXPECT_EQ(s.wnd->OnOpenContainingFolderCommand(), 0);  // no selection: nothing
    EXPECT_TRUE(boxes.asked.empty());

    list.SelectOnly(0);
    for (int row = 1; row < 35; ++row) list.SelectItem(row);
    ASSERT_EQ(list.GetSelectedCount(), 35);
    EXPECT_EQ(s.wnd->OnOpenContainingFolderCommand(), 0);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].first, BkString::Get(32));
    EXPECT_EQ(boxes.asked[0].second, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(s.owner.Count(WM_RESULT_LIST_USED), 0u);
    // The menu command reaches the same check.
    ::SendMessageW(s.wnd->Handle(), WM_COMMAND, ID_OPEN_CONTAINING_FOLDER, 0);
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].first, BkString::Get(32));
    EXPECT_EQ(s.owner.Count(WM_RESULT_LIST_USED), 0u);
}

TEST(ResultActions, RecoveryEndingWithOneTellsTheDockTheListWasUsed) {
    ResultSetup s;
    struct EndCode {
        int code;
        static int Recover(void* context, const std::vector<int>&) { return static_cast<EndCode*>(context)->code; }
    } end = {1};
    s.wnd->SetRecoverHook(&EndCode::Recover, &end);
    ASSERT_TRUE(s.Load(ManyFiles(3, 1)));
    ASSERT_TRUE(s.Search(L"file"));
    s.owner.messages.clear();
    EXPECT_EQ(s.wnd->RecoverSelection({0}), 1);
    ASSERT_EQ(s.owner.Count(WM_DOCK_ENABLE), 2u);
    EXPECT_EQ(s.owner.messages[0].wp, 1u);
    EXPECT_EQ(s.owner.messages[0].lp, 0);
    EXPECT_EQ(s.owner.Last(WM_DOCK_ENABLE)->wp, 0u);
    EXPECT_EQ(s.owner.Last(WM_DOCK_ENABLE)->lp, 1);

    // Closed (2): the dock is given back without the used mark.
    end.code = 2;
    s.owner.messages.clear();
    EXPECT_EQ(s.wnd->RecoverSelection({0}), 0);
    ASSERT_EQ(s.owner.Count(WM_DOCK_ENABLE), 2u);
    EXPECT_EQ(s.owner.Last(WM_DOCK_ENABLE)->lp, 0);

    // A dock already held by another box is left to it.
    end.code = 1;
    s.owner.dockAnswer = 1;
    s.owner.messages.clear();
    EXPECT_EQ(s.wnd->RecoverSelection({0}), 1);
    EXPECT_EQ(s.owner.Count(WM_DOCK_ENABLE), 1u);
    s.owner.dockAnswer = 0;
}
