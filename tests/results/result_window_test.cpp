// The result window over a real engine: searches, row counts, row texts and
// the row mapping.
#include <gtest/gtest.h>

#include "platform/gdi.h"
#include "platform/strconv.h"
#include "tests/results/result_fixture.h"
#include "ui/bkfontpool.h"
#include "tests/support/test_support.h"

using namespace results_test;

namespace {

std::vector<Entry> MixedTree() {
    const std::string photo = platform::WideToAnsi(L"照片");
    const std::string report = platform::WideToAnsi(L"报告.docx");
    return {
        {5, 5, ".", kDir, 0, 0},
        {60, 5, photo, kDir, LocalTime(2023, 5, 6, 7, 8), 0},
        {61, 60, report, kFile, LocalTime(2024, 12, 31, 23, 59), 1536},
        {62, 60, "old.docx", kDeletedFile, LocalTime(2020, 1, 2, 3, 4), 5368709120LL},
        {63, 5, "README", kFile, LocalTime(2021, 2, 3, 4, 5), 1024},
    };
}

}  // namespace

TEST(ResultWindow, SearchShowsRowsWithTheirTexts) {
    ResultSetup s;
    ASSERT_TRUE(s.Load(MixedTree()));
    ASSERT_TRUE(s.Search(L"o"));
    auto& list = s.wnd->GetList();
    EXPECT_EQ(list.GetItemCount(), 2);  // 报告.docx and old.docx
    EXPECT_TRUE(list.IsWindowEnabled());
    const Message* posted = s.owner.Last(WM_SEARCH_RESULTS);
    ASSERT_NE(posted, nullptr);
    EXPECT_EQ(posted->wp, 2u);
    EXPECT_EQ(posted->lp, 1);

    BOOL folder = TRUE, deleted = TRUE;
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_NAME, &folder, &deleted), L"报告.docx");
    EXPECT_FALSE(folder);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_DIRECTORY, nullptr, nullptr), L"C:\\照片");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_TYPE, nullptr, nullptr), L"docx");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_SIZE, nullptr, nullptr), L"1.5 KB");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_MODIFIED, nullptr, nullptr), L"2024-12-31 23:59");
    EXPECT_EQ(s.wnd->GetItemText(1, RESULTCOL_SIZE, &folder, &deleted), L"5 GB");
    EXPECT_TRUE(deleted);
    // Outside the rows: empty, flags untouched.
    folder = 7;
    EXPECT_EQ(s.wnd->GetItemText(2, RESULTCOL_NAME, &folder, nullptr), L"");
    EXPECT_EQ(folder, 7);
}

TEST(ResultWindow, FoldersRootFilesAndSizes) {
    ResultSetup s;
    ASSERT_TRUE(s.Load(MixedTree()));
    ASSERT_TRUE(s.Search(L"照片"));
    ASSERT_EQ(s.wnd->GetList().GetItemCount(), 1);
    BOOL folder = FALSE;
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_NAME, &folder, nullptr), L"照片");
    EXPECT_TRUE(folder);
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_TYPE, nullptr, nullptr), L"");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_SIZE, nullptr, nullptr), L"");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_MODIFIED, nullptr, nullptr), L"2023-05-06 07:08");
    // A file in the root of C shows C: as its folder; no dot: the whole name as type.
    ASSERT_TRUE(s.Search(L"README"));
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_DIRECTORY, nullptr, nullptr), L"C:");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_TYPE, nullptr, nullptr), L"README");
    EXPECT_EQ(s.wnd->GetItemText(0, RESULTCOL_SIZE, nullptr, nullptr), L"1024 B");

    const std::pair<uint64_t, const wchar_t*> sizes[] = {
        {0, L"0 B"},          {1025, L"1 KB"},         {1536, L"1.5 KB"},       {1048577, L"1 MB"},
        {1101004, L"1.05 MB"}, {5368709120ULL, L"5 GB"}, {4294967296ULL, L"4 GB"}, {1073741824, L"1024 MB"},
    };
    for (const auto& size : sizes) EXPECT_EQ(CSearchResultWnd::FormatSize(size.first), size.second) << size.first;
}

TEST(ResultWindow, DefaultColumnsFitTheirWidestTexts) {
    // Measured in the face the program sets at start-up and paints cells
    // with; a cell's text has 8 px of room taken on either side.
    BkFontPool::SetDefaultFont(L"\x5FAE\x8F6F\x96C5\x9ED1", -12);  // 微软雅黑
    platform::MemoryDC dc;
    ASSERT_TRUE(dc);
    platform::SelectObjectScope font(dc, BkFontPool::GetFont(0));
    const std::wstring widestKB = CSearchResultWnd::FormatSize(1048566);
    const std::wstring widestMB = CSearchResultWnd::FormatSize(1073731010);
    ASSERT_EQ(widestKB, L"1023.99 KB");
    ASSERT_EQ(widestMB, L"1023.99 MB");
    const std::pair<int, std::wstring> widest[] = {
        {RESULTCOL_SIZE, widestKB},
        {RESULTCOL_SIZE, widestMB},
        {RESULTCOL_SIZE, CSearchResultWnd::FormatSize(1099500000000ULL)},  // "1023.99 GB"
        {RESULTCOL_TYPE, L"manifest"},
        {RESULTCOL_TYPE, L"markdown"},
        {RESULTCOL_MODIFIED, CSearchResultWnd::FormatTime(LocalTime(2088, 8, 28, 8, 8))},
    };
    for (const auto& cell : widest) {
        SIZE extent = {};
        ASSERT_TRUE(::GetTextExtentPoint32W(dc, cell.second.c_str(), static_cast<int>(cell.second.size()), &extent));
        EXPECT_LE(extent.cx + 16, CSearchResultWnd::kColumnWidths[cell.first]) << "cut: " << platform::WideToUtf8(cell.second);
    }
    // The path column gives up what the others need: the columns still fill
    // the list of the 800 px panel as before.
    int total = 0;
    for (int width : CSearchResultWnd::kColumnWidths) total += width;
    EXPECT_EQ(total, 746);
}
