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
#include "shell/search_ctrl.h"
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
        EXPECT_TRUE(shell_test::WaitFor([&] { return shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS) == told; }))
            << platform::WideToUtf8(shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS));
        panel.Search(1, 1);
        EXPECT_TRUE(shell_test::WaitFor([&] {
            return shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS).compare(0, 4, L"\u627E\u52301\u4E2A") == 0;  // 找到1个
        })) << platform::WideToUtf8(shell_test::ItemText(panel, CSearchCtrl::IDC_STATUS));
        dock.DestroyPanels();
    }
    GetAppContext()->IndexManager = nullptr;
    testing_support::UnmapDrive(L'T');
}
