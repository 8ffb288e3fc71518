// Deleted files of a real NTFS image, found by the engine and recovered
// through the dialog and the real scanner library into a folder on another
// drive, byte for byte; a second run never overwrites what the first made.
#include <gtest/gtest.h>

#include <set>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "index/search_messages.h"
#include "platform/window.h"
#include "results/recover_dlg.h"
#include "scanner/search_file.h"
#include "tests/recovery/recover_layout.h"
#include "tests/scanner/ntfs_image.h"
#include "ui/bkwinmanager.h"

namespace {

using testing_support::PumpMessagesUntil;
using testing_support::ReadFileBytes;

// Runs the dialog over `items` into `target`; answers the count it reported.
unsigned RecoverThroughDialog(const std::vector<RecoverItem>& items, const std::wstring& target,
                              std::wstring* proposed) {
    CRecoverDlg dlg;
    dlg.GetViewControl().XmlLoad(RecoverLayout());
    dlg.Seams().Message = [](HWND, UINT id, const std::wstring&) { ADD_FAILURE() << "message " << id; };
    // The library beside the test program (test programs run from a folder
    // Wine names without a drive letter, so it is found by the search path).
    dlg.Seams().BindScanner = [](platform::ModuleHandle* library) -> ISearchFile* {
        library->Reset(::LoadLibraryW(L"searchfile.dll"));
        ISearchFile* scanner = nullptr;
        return SUCCEEDED(CIndexManager::BindSearchFile(library->Get(), &scanner)) ? scanner : nullptr;
    };
    dlg.SetItems(items, nullptr, {L"N:\\"});
    EXPECT_NE(dlg.Create(nullptr), nullptr);
    *proposed = platform::Window(dlg.TargetEdit()).GetWindowText();
    ::SetWindowTextW(dlg.TargetEdit(), target.c_str());
    dlg.StartRecovery();
    EXPECT_TRUE(PumpMessagesUntil([&] { return dlg.IsItemVisible(CRecoverDlg::IDC_REPORT_PANEL); }, 60000));
    EXPECT_EQ(dlg.GetViewControl().FindControl(CRecoverDlg::IDC_FOLDER_LINK)->GetInnerText(), target);
    const unsigned count = dlg.RecoveredCount();
    dlg.StopWorker();
    return count;
}

TEST(RecoverImage, DeletedFilesComeBackByteForByteAndAreNeverOverwritten) {
    SKIP_WITHOUT_NTFS_IMAGE();
    BkWinManager manager;
    // N: shows an empty folder for files and the image as its raw device.
    ASSERT_TRUE(testing_support::MapDriveToFolder(L'N', testing_support::UnixWorkFolder() + "/n-folder"));
    ASSERT_TRUE(testing_support::MapDriveDevice(L'N', TheImage().UnixImage()));
    testing_support::MapDriveToTempFolder(L'R');

    CIndexManager engine;
    GetAppContext()->IndexManager = &engine;
    engine.SetIndexFolder(L"C:\\recover-index");
    ::CreateDirectoryW(L"C:\\recover-index", nullptr);
    engine.SetScannerPath(L"searchfile.dll");
    ASSERT_EQ(engine.StartScan(), 1);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !engine.IsScanRunning(); }, 120000));
    ASSERT_EQ(engine.StartLoad(), 1);
    ASSERT_TRUE(PumpMessagesUntil([&] { return engine.IsLoadDone(); }, 120000));

    // Every deleted file, as the result list would show it.
    LONG resultPosts = 0;
    testing_support::HookWindow results([&](UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_SEARCH_RESULTS) ++resultPosts;
        return false;
    });
    engine.SetNotifyWindow(results.hwnd());
    CSearchQuery query;
    query.FileState = SQS_DELETED;
    engine.StartSearch(query);
    ASSERT_TRUE(PumpMessagesUntil([&] { return resultPosts > 0; }, 30000));

    std::set<std::string> wanted;
    for (const auto& m : TheImage().manifest)
        if (m.deleted && !m.directory) wanted.insert(DrivePath(m.path));
    std::vector<size_t> rows;
    for (size_t row = 0; row < engine.GetResultCount(); ++row) {
        std::string path;
        if (engine.GetResultPath(row, &path) && wanted.count(path)) rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), wanted.size());
    const std::vector<RecoverItem> items = CollectRecoverItems(engine, rows);
    ASSERT_EQ(items.size(), wanted.size());

    // A new search while the dialog has its items does not change them.
    query.Pattern = L"zzz-no-such-name";
    engine.StartSearch(query);

    const std::wstring target = L"R:\\恢复的文件\\";
    std::wstring proposed;
    EXPECT_EQ(RecoverThroughDialog(items, target, &proposed), items.size());
    EXPECT_NE(proposed.substr(0, 1), L"N");
    EXPECT_EQ(proposed.substr(1), L":\\MUXR\\");
    for (const auto& m : TheImage().manifest) {
        if (m.directory || !m.deleted) continue;
        const std::wstring name = platform::Utf8ToWide(m.path.substr(m.path.rfind('/') + 1));
        const std::string want = ReadFileBytes(UnixToWindowsPath(TheImage().dir + "/orig/" + m.copy));
        EXPECT_TRUE(ReadFileBytes(target + name) == want) << m.path;
    }

    // Again into the same folder: second copies beside the first.
    EXPECT_EQ(RecoverThroughDialog(items, target, &proposed), items.size());
    for (const auto& m : TheImage().manifest) {
        if (m.directory || !m.deleted) continue;
        std::wstring name = platform::Utf8ToWide(m.path.substr(m.path.rfind('/') + 1));
        const size_t dot = name.rfind(L'.');
        name.insert(dot == std::wstring::npos ? name.size() : dot, L" (2)");
        EXPECT_TRUE(testing_support::PathExists(target + name)) << m.path;
    }
    engine.SetNotifyWindow(nullptr);
    GetAppContext()->IndexManager = nullptr;
}

} // namespace
