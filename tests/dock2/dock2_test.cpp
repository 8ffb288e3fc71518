// The advanced-search popup's choices as filter fields, and the taller bar:
// its search button, its start-up chain and its strip.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <climits>

#include "index/app_context.h"
#include "index/index_record.h"
#include "index/search_query.h"
#include "shell/dock_wnd2.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"
#include "ui/bkstring.h"
#include "ui/bkwinmanager.h"

namespace {

using shell_test::Notify;
using shell_test::WaitFor;

struct Filters {
    DWORD mask = 0;
    std::wstring prefix = L"untouched";
    LONGLONG sizeMin = -1, sizeMax = -1;
    FILETIME from = {1, 1}, to = {1, 1};
};

Filters Read(const CMoreSearch& more) {
    Filters f;
    more.GetFilters(&f.mask, &f.prefix, &f.sizeMin, &f.sizeMax, &f.from, &f.to);
    return f;
}

// Whether a file of `size` bytes passes the query's size filter.
bool SizePasses(const Filters& f, ULONGLONG size) {
    CSearchQuery q;
    q.FilterMask = f.mask;
    q.SizeMin = static_cast<ULONGLONG>(f.sizeMin);
    q.SizeMax = static_cast<ULONGLONG>(f.sizeMax);
    q.Prepare();
    const MatchInput record = {"movie.mkv", IRF_EXISTS, 0, size};
    return q.MatchRecord(record, L"C:\\movie.mkv", nullptr) != MATCH_REJECT;
}

class MoreSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        shell_test::LoadProgramTables();
        ASSERT_NE(more_.Create(nullptr), nullptr);
        more_.ShowWindow(SW_SHOWNA);
        ASSERT_TRUE(WaitFor([&] { return more_.Control(CMoreSearch::ID_LOCATION_BOX) != nullptr; }));
    }
    void Select(UINT box, int item) {
        HWND combo = more_.Control(box);
        ::SendMessageW(combo, CB_SETCURSEL, item, 0);
        if (box == CMoreSearch::ID_LOCATION_BOX) more_.OnLocationChanged();
    }
    int ItemOf(const std::wstring& text) {
        HWND box = more_.Control(CMoreSearch::ID_LOCATION_BOX);
        const int count = static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t buffer[MAX_PATH] = {};
            COMBOBOXEXITEMW item = {};
            item.mask = CBEIF_TEXT;
            item.iItem = i;
            item.pszText = buffer;
            item.cchTextMax = MAX_PATH;
            ::SendMessageW(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            if (text == buffer) return i;
        }
        return -1;
    }
    int Selected() {
        return static_cast<int>(::SendMessageW(more_.Control(CMoreSearch::ID_LOCATION_BOX), CB_GETCURSEL, 0, 0));
    }

    BkWinManager manager_;
    CMoreSearch more_;
};

TEST_F(MoreSearchTest, ChoicesBecomeFilterBitsAndValues) {
    Filters f = Read(more_);
    EXPECT_EQ(f.mask, 0u);
    EXPECT_EQ(f.prefix, L"untouched");  // values of unset bits are left alone
    EXPECT_EQ(f.sizeMin, -1);

    const DWORD types[] = {0, SQF_PICTURE, SQF_VIDEO, SQF_AUDIO, SQF_DOCUMENT, SQF_ARCHIVE};
    for (int n = 1; n <= 5; ++n) {
        Select(CMoreSearch::ID_TYPE_BOX, n);
        EXPECT_EQ(Read(more_).mask, types[n]) << n;
    }
    Select(CMoreSearch::ID_TYPE_BOX, 0);

    const LONGLONG mb = 1048576;
    const struct {
        int item;
        LONGLONG min, max;
    } sizes[] = {{1, 0, mb}, {2, mb, 10 * mb}, {3, 10 * mb, LLONG_MAX}, {4, 100 * mb, LLONG_MAX}};
    for (const auto& s : sizes) {
        Select(CMoreSearch::ID_SIZE_BOX, s.item);
        f = Read(more_);
        EXPECT_EQ(f.mask, static_cast<DWORD>(SQF_SIZE_RANGE)) << s.item;
        EXPECT_EQ(f.sizeMin, s.min) << s.item;
        EXPECT_EQ(f.sizeMax, s.max) << s.item;
    }
    // A 5 GB file is "huge" and "large"; not "medium".
    EXPECT_TRUE(SizePasses(Read(more_), 5ull << 30));
    Select(CMoreSearch::ID_SIZE_BOX, 3);
    EXPECT_TRUE(SizePasses(Read(more_), 5ull << 30));
    Select(CMoreSearch::ID_SIZE_BOX, 2);
    EXPECT_FALSE(SizePasses(Read(more_), 5ull << 30));
    Select(CMoreSearch::ID_SIZE_BOX, 0);

    // Only the end date changed: a range from 1970-01-01 00:00:00.
    SYSTEMTIME end = {};
    ::GetLocalTime(&end);
    FILETIME ft = {};
    ::SystemTimeToFileTime(&end, &ft);
    ULARGE_INTEGER earlier = {{ft.dwLowDateTime, ft.dwHighDateTime}};
    earlier.QuadPart -= 3ull * 24 * 3600 * 10000000;
    ft = {earlier.LowPart, earlier.HighPart};
    ::FileTimeToSystemTime(&ft, &end);
    ::SendMessageW(more_.Control(CMoreSearch::ID_DATE_TO), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&end));
    f = Read(more_);
    EXPECT_EQ(f.mask, static_cast<DWORD>(SQF_DATE_RANGE));
    SYSTEMTIME from = {};
    ::FileTimeToSystemTime(&f.from, &from);
    EXPECT_EQ(from.wYear, 1970);
    EXPECT_EQ(from.wMonth, 1);
    EXPECT_EQ(from.wDay, 1);
    EXPECT_EQ(from.wHour + from.wMinute + from.wSecond, 0);
    SYSTEMTIME to = {};
    ::FileTimeToSystemTime(&f.to, &to);
    EXPECT_EQ(to.wDay, end.wDay);
}

TEST_F(MoreSearchTest, LocationsAreDrivesAndPickedFoldersMatchedAsFolders) {
    const int computer = Selected();
    EXPECT_GE(computer, 0);
    EXPECT_EQ(Read(more_).mask, 0u);  // the computer item carries no path

    const int drive = ItemOf(L"C:\\") >= 0 ? ItemOf(L"C:\\") : computer + 1;
    Select(CMoreSearch::ID_LOCATION_BOX, drive);
    Filters f = Read(more_);
    EXPECT_EQ(f.mask, static_cast<DWORD>(SQF_PATH_PREFIX));
    EXPECT_EQ(f.prefix, L"C:\\");

    const int picker = static_cast<int>(
        ::SendMessageW(more_.Control(CMoreSearch::ID_LOCATION_BOX), CB_GETCOUNT, 0, 0)) - 1;
    std::wstring answer = L"C:\\windows";
    bool chosen = true;
    more_.PickFolder = [&](std::wstring* folder) {
        *folder = answer;
        return chosen;
    };
    const size_t before = more_.LocationCount();
    Select(CMoreSearch::ID_LOCATION_BOX, picker);
    EXPECT_EQ(Read(more_).prefix, L"C:\\windows\\");
    Select(CMoreSearch::ID_LOCATION_BOX, picker);  // the same folder again: one entry
    EXPECT_EQ(more_.LocationCount(), before + 1);
    EXPECT_EQ(Read(more_).prefix, L"C:\\windows\\");

    // Cancelled: the earlier choice stays, and shows.
    chosen = false;
    Select(CMoreSearch::ID_LOCATION_BOX, picker);
    EXPECT_EQ(Read(more_).prefix, L"C:\\windows\\");
    EXPECT_NE(Selected(), picker);
    // Chosen, but without a file-system path (the computer itself): the
    // computer item, which searches everywhere.
    chosen = true;
    answer.clear();
    Select(CMoreSearch::ID_LOCATION_BOX, picker);
    EXPECT_EQ(Selected(), computer);
    EXPECT_EQ(Read(more_).mask, 0u);
    EXPECT_EQ(more_.LocationCount(), before + 1);
}

TEST_F(MoreSearchTest, DrivesAndThePickerItemCarryTheirImagesAsOverlays) {
    HWND box = more_.Control(CMoreSearch::ID_LOCATION_BOX);
    const int count = static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
    ASSERT_GE(count, 5);  // desktop, documents, computer, a drive, the picker
    auto item = [&](int index) {
        static wchar_t text[MAX_PATH];
        COMBOBOXEXITEMW it = {};
        it.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_OVERLAY | CBEIF_INDENT;
        it.iItem = index;
        it.pszText = text;
        it.cchTextMax = MAX_PATH;
        text[0] = 0;
        ::SendMessageW(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        return it;
    };
    for (int i = 0; i < 3; ++i) EXPECT_EQ(item(i).iIndent, 0) << i;
    int drives = 0;
    for (int i = 3; i < count - 1; ++i) {
        const COMBOBOXEXITEMW drive = item(i);
        EXPECT_EQ(drive.iIndent, 1) << i;
        EXPECT_EQ(drive.iSelectedImage, drive.iImage) << i;
        EXPECT_EQ(drive.iOverlay, drive.iImage) << i;
        ++drives;
    }
    EXPECT_GE(drives, 1);
    const COMBOBOXEXITEMW picker = item(count - 1);
    EXPECT_EQ(std::wstring(picker.pszText), BkString::Get(21));
    EXPECT_EQ(picker.iImage, 193);
    EXPECT_EQ(picker.iSelectedImage, 193);
    EXPECT_EQ(picker.iOverlay, 193);
    EXPECT_EQ(picker.iIndent, 0);
}

class Dock2Test : public ::testing::Test {
protected:
    void SetUp() override {
        shell_test::LoadProgramTables();
        setup_.reset(new shell_test::DockSetup(30));
        ASSERT_TRUE(setup_->WaitForStartChain());
        setup_->dock->ShowWindow(SW_HIDE);
        RECT rc = {240, 0, 1040, 171};
        ASSERT_NE(dock2_.Create(nullptr, rc), nullptr);
        dock2_.ShowWindow(SW_SHOWNA);
        ASSERT_TRUE(WaitFor([&] { return dock2_.Edit().IsWindow() && dock2_.MoreSearch().IsWindow(); }));
    }
    void TearDown() override {
        if (dock2_.IsWindow()) dock2_.Close();
        setup_.reset();
    }

    BkWinManager manager_;
    std::unique_ptr<shell_test::DockSetup> setup_;
    CDockWnd2 dock2_;
};

TEST_F(Dock2Test, SearchButtonSearchesWithThePopupFiltersAndAllFiles) {
    const HWND edit = dock2_.Edit().Handle();
    ::SendMessageW(dock2_.Handle(), WM_LAYERED_REFRESH, 0, 0);  // a second refresh makes nothing again
    EXPECT_EQ(dock2_.Edit().Handle(), edit);

    // Typing alone does not search.
    dock2_.Edit().SetText(L"file");
    ::SendMessageW(dock2_.Handle(), WM_SEARCH_CHANGED, 0, 0);
    EXPECT_TRUE(dock2_.IsItemVisible(CDockWnd2::IDC_CLEAR));
    EXPECT_FALSE(dock2_.ResultPanel().IsWindowVisible());

    ::SendMessageW(dock2_.MoreSearch().Control(CMoreSearch::ID_SIZE_BOX), CB_SETCURSEL, 1, 0);
    Notify(dock2_.Handle(), BKNM_COMMAND, CDockWnd2::IDC_SEARCH);
    CSearchCtrl& panel = dock2_.ResultPanel();
    EXPECT_EQ(panel.Query, L"file");
    EXPECT_EQ(panel.FilterMask, static_cast<DWORD>(SQF_SIZE_RANGE));
    EXPECT_EQ(panel.SizeMax, 1048576);
    EXPECT_EQ(panel.FileState, static_cast<DWORD>(SQS_ALL));
    EXPECT_TRUE(panel.IsWindowVisible());
    EXPECT_TRUE(WaitFor([&] { return panel.RowCount() > 0; }));

    // Clear hides the panel and shows the hint again.
    Notify(dock2_.Handle(), BKNM_COMMAND, CDockWnd2::IDC_CLEAR);
    EXPECT_FALSE(panel.IsWindowVisible());
    EXPECT_TRUE(dock2_.IsItemVisible(CDockWnd2::IDC_HINT));
}

TEST_F(Dock2Test, HidesIntoItsStripAndHoveringTheStripBringsItBack) {
    ::SetCursorPos(640, 900);
    ASSERT_TRUE(WaitFor([&] { return dock2_.IsHidden(); }));
    EXPECT_FALSE(dock2_.IsWindowVisible());
    EXPECT_FALSE(dock2_.MoreSearch().IsWindowVisible());
    EXPECT_TRUE(dock2_.Strip().IsWindowVisible());

    ::SetCursorPos(640, 2);
    ASSERT_TRUE(WaitFor([&] { return !dock2_.IsHidden(); }));
    EXPECT_TRUE(dock2_.IsWindowVisible());
    EXPECT_TRUE(dock2_.MoreSearch().IsWindowVisible());

    // The hot key's path: the strip restores at once, and the view stays
    // open while the pointer is elsewhere.
    dock2_.SetKeepOpen(FALSE);
    ::SetCursorPos(640, 900);
    ASSERT_TRUE(WaitFor([&] { return dock2_.IsHidden(); }));
    dock2_.RestoreFromMiniDock();
    dock2_.SetKeepOpen(TRUE);
    EXPECT_FALSE(dock2_.IsHidden());
    testing_support::PumpMessages(600);
    EXPECT_FALSE(dock2_.IsHidden());
    EXPECT_TRUE(dock2_.IsWindowVisible());
}

} // namespace
