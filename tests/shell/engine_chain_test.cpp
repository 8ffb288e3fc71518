// The bar's timers drive a real engine through load, scan, reload and the
// journal monitor, over a drive mapped to a folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <string>
#include <vector>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "shell/dock_wnd.h"
#include "platform/strconv.h"
#include "platform/gdi.h"
#include "shell/search_ctrl.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/test_support.h"

namespace {

// Drive T: reports NTFS (a small empty image behind its device) while its
// files come from a fresh folder, as the scanner requires.
void MakeDrive() {
    const std::string image = testing_support::UnixWorkFolder() + "/shell-ntfs.img";
    ASSERT_EQ(testing_support::RunUnixCommand("truncate -s 8M '" + image + "' && mkntfs -F -q -f '" + image +
                                              "' >/dev/null 2>&1"),
              0);
    ASSERT_EQ(testing_support::MapDriveToTempFolder(L'T'), L"T:\\");
    ASSERT_TRUE(testing_support::MapDriveDevice(L'T', image));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\notes\\\u62A5\u544A.txt", "abc"));
    ASSERT_TRUE(testing_support::WriteFileBytes(L"T:\\zebra-report.doc", "d"));
}

// Which of the engine timers (0, 1, 2, 6) run, as a short text.
std::string EngineTimers(const CDockWnd& dock) {
    std::string s;
    for (UINT_PTR id : {0, 1, 2, 6})
        if (dock.IsTimerSet(id)) s += static_cast<char>('0' + id);
    return s.empty() ? "-" : s;
}

// Pumps until no engine timer runs; answers the states seen, in order.
std::vector<std::string> FollowChain(const CDockWnd& dock) {
    std::vector<std::string> seen{EngineTimers(dock)};
    for (int i = 0; i < 12000 && seen.back() != "-"; ++i) {
        testing_support::PumpMessages(10);
        const std::string now = EngineTimers(dock);
        if (now != seen.back()) seen.push_back(now);
    }
    return seen;
}

// The width of `text` in the status line's font, as the panel measures it.
int TextWidth(HWND panel, const std::wstring& text) {
    platform::WindowDC dc(panel);
    platform::SelectObjectScope font(dc.Get(), BkFontPool::GetFont(0));
    SIZE extent = {0, 0};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}

// The no-break spaces that end the counts' pattern: the gap before the link.
std::wstring CountsGap() {
    const std::wstring counts = BkString::Get(58) ? BkString::Get(58) : L"";
    const size_t end = counts.find_last_not_of(L'\u00A0');
    return end == std::wstring::npos ? counts : counts.substr(end + 1);
}

// How far the link "view deleted files" starts right of the status text.
int LinkOffset(CSearchCtrl& panel) {
    const CBkWindow* status = panel.GetViewControl().FindControl(CSearchCtrl::IDC_STATUS);
    const CBkWindow* link = panel.GetViewControl().FindControl(CSearchCtrl::IDC_VIEW_LINK);
    if (!status || !link) return -1;
    return link->GetRect().left - status->GetRect().left;
}

}  // namespace

TEST(DockEngineChain, LoadThenScanThenReloadThenJournalAndAgainOnAVolumeChange) {
    MakeDrive();
    shell_test::LoadProgramTables();
    const std::wstring folder = L"C:\\shell-chain-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    CIndexManager engine;
    engine.SetIndexFolder(folder);
    engine.SetScannerPath(L"searchfile.dll");
    GetAppContext()->IndexManager = &engine;
    engine.StartLoad();  // no saved index yet: the load finds nothing

    {
        CDockWnd dock;
        dock.ResetState();
        RECT rc = {100, 20, 900, 93};
        ASSERT_TRUE(dock.Create(nullptr, rc));
        ::KillTimer(dock.Handle(), CDockWnd::IDT_DOCK_AUTOHIDE);
        EXPECT_EQ(FollowChain(dock), (std::vector<std::string>{"0", "2", "6", "-"}));

        // The scan saved drive T and the reload brought it in.
        EXPECT_TRUE(testing_support::PathExists(folder + L"\\index_T"));
        EXPECT_TRUE(engine.IsLoadDone());
        EXPECT_FALSE(engine.IsScanRunning());
        bool loadedT = false;
        {
            platform::ScopedLock lock(engine.RecordLock());
            for (size_t i = 0; i < engine.VolumeCount(); ++i) loadedT |= engine.GetVolume(i)->Letter() == L'T';
        }
        EXPECT_TRUE(loadedT);
        // The last step searched the loaded index again.
        dock.ResultPanel().Query = L"zebra";
        dock.ResultPanel().Search(1, 1);
        ASSERT_TRUE(shell_test::WaitFor([&] { return dock.ResultPanel().RowCount() == 1; }));

        // A volume arriving runs scan, reload and journal again.
        testing_support::WriteFileBytes(L"T:\\zebra-two.doc", "e");
        DEV_BROADCAST_HDR header = {};
        header.dbch_size = sizeof(header);
        header.dbch_devicetype = DBT_DEVTYP_VOLUME;
        ::SendMessageW(dock.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&header));
        EXPECT_EQ(FollowChain(dock), (std::vector<std::string>{"1", "2", "6", "-"}));
        dock.ResultPanel().Search(1, 1);
        EXPECT_TRUE(shell_test::WaitFor([&] { return dock.ResultPanel().RowCount() == 2; }));

        // Another kind of device change starts nothing.
        header.dbch_devicetype = DBT_DEVTYP_PORT;
        ::SendMessageW(dock.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&header));
        EXPECT_EQ(EngineTimers(dock), "-");
        dock.DestroyPanels();
    }
    GetAppContext()->IndexManager = nullptr;
    testing_support::UnmapDrive(L'T');
}

TEST(DockEngineChain, ADriveWhoseIndexCannotBeSavedIsSearchedAndToldOnceInTheStatusLine) {
    MakeDrive();
    shell_test::LoadProgramTables();
    const std::wstring folder = L"C:\\shell-unsaved-" + std::to_wstring(::GetCurrentProcessId());
    // A folder of someone's files lies under the temporary name: the drive's
    // index cannot be written there.
    ASSERT_TRUE(testing_support::WriteFileBytes(folder + L"\\indexnew_T\\keep.txt", "the user's"));
    CIndexManager engine;
    engine.SetIndexFolder(folder);
    engine.SetScannerPath(L"searchfile.dll");
    GetAppContext()->IndexManager = &engine;
    engine.StartLoad();
    {
        CDockWnd dock;
        dock.ResetState();
        RECT rc = {100, 20, 900, 93};
        ASSERT_TRUE(dock.Create(nullptr, rc));
        ::KillTimer(dock.Handle(), CDockWnd::IDT_DOCK_AUTOHIDE);
        CSearchCtrl& panel = dock.ResultPanel();
        ::ShowWindow(panel.Handle(), SW_SHOWNA);  // the user has typed
        panel.Query = L"zebra";
        // The chain ends with a search over the reloaded index, which holds
        // drive T: from memory.
        EXPECT_EQ(FollowChain(dock), (std::vector<std::string>{"0", "2", "6", "-"}));
        EXPECT_FALSE(testing_support::PathExists(folder + L"\\index_T"));
        ASSERT_TRUE(shell_test::WaitFor([&] { return panel.RowCount() == 1; }));

        // Told in the status line instead of the counts, once.
        const wchar_t* pattern = BkString::Get(CSearchCtrl::kUnsavedIndexText);
        ASSERT_NE(pattern, nullptr);
        std::wstring told = pattern;
        ASSERT_NE(told.find(L"%s"), std::wstring::npos);
        told.replace(told.find(L"%s"), 2, L"T");
        // It keeps the counts' gap before the link beside it.
        const std::wstring gap = CountsGap();
        ASSERT_EQ(gap.size(), 3u);
        EXPECT_TRUE(shell_test::WaitFor(
            [&] { return shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS) == told + gap; }))
            << platform::WideToUtf8(shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS));
        EXPECT_TRUE(shell_test::ItemVisible(panel, CSearchCtrl::IDC_VIEW_LINK));
        const int gapWidth = TextWidth(panel.Handle(), gap);
        ASSERT_GT(gapWidth, 0);
        EXPECT_GE(LinkOffset(panel), TextWidth(panel.Handle(), told) + gapWidth);

        panel.Search(1, 1);
        EXPECT_TRUE(shell_test::WaitFor([&] {
            return shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS).compare(0, 4, L"\u627E\u52301\u4E2A") == 0;  // 找到1个
        })) << platform::WideToUtf8(shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS));
        // The counts keep the same gap.
        const std::wstring counts = shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS);
        ASSERT_GT(counts.size(), gap.size());
        EXPECT_EQ(counts.substr(counts.size() - gap.size()), gap);
        EXPECT_GE(LinkOffset(panel), TextWidth(panel.Handle(), counts.substr(0, counts.size() - gap.size())) + gapWidth);
        dock.DestroyPanels();
    }
    GetAppContext()->IndexManager = nullptr;
    testing_support::UnmapDrive(L'T');
}
