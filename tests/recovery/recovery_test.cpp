// Recovering deleted files: the choice of a target drive, the checks of a
// typed target, and the dialog's worker driven through its buttons with a
// scanner that writes files, under a real skinned window.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "index/app_context.h"
#include "platform/strconv.h"
#include "platform/window.h"
#include "results/recover_dlg.h"
#include "results/recovery_drive.h"
#include "scanner/search_file.h"
#include "tests/recovery/recover_layout.h"
#include "tests/support/test_support.h"
#include "ui/bkstring.h"
#include "ui/bkwinmanager.h"

using testing_support::PumpMessagesUntil;

namespace {

struct FakeDrive {
    UINT type = DRIVE_FIXED;
    bool opens = true;
    uint64_t freeBytes = 0;
};

class FakeDrives : public IDriveSystem {
public:
    std::map<wchar_t, FakeDrive> drives;
    std::vector<std::wstring> LogicalDrives() override {
        std::vector<std::wstring> out;
        for (auto& d : drives) out.push_back(std::wstring(1, d.first) + L":\\");
        return out;
    }
    UINT DriveType(const std::wstring& root) override {
        auto it = drives.find(root.empty() ? 0 : root[0]);
        return it == drives.end() ? DRIVE_NO_ROOT_DIR : it->second.type;
    }
    bool CanOpenVolume(wchar_t letter) override {
        auto it = drives.find(letter);
        return it != drives.end() && it->second.opens;
    }
    bool FreeBytes(wchar_t letter, uint64_t* bytes) override {
        auto it = drives.find(letter);
        if (it == drives.end()) return false;
        *bytes = it->second.freeBytes;
        return true;
    }
};

TEST(RecoveryDrive, PicksTheRoomiestDriveThatHoldsNoFileAndFits) {
    CAppContext context;
    FakeDrives sys;
    const uint64_t tb = 1ull << 40;
    sys.drives[L'A'] = {DRIVE_REMOVABLE, true, 9 * tb};
    sys.drives[L'C'] = {DRIVE_FIXED, true, 5 * tb};    // holds the files
    sys.drives[L'D'] = {DRIVE_FIXED, true, 3 * tb};
    sys.drives[L'E'] = {DRIVE_REMOVABLE, true, 3 * tb};  // as roomy as D: the earlier wins
    sys.drives[L'F'] = {DRIVE_REMOTE, true, 8 * tb};
    sys.drives[L'G'] = {DRIVE_CDROM, true, 8 * tb};
    sys.drives[L'H'] = {DRIVE_FIXED, false, 8 * tb};   // cannot be opened
    uint64_t best = 0;
    // More than 2^32 units of need and of free space: nothing wraps.
    context.RecoverySpaceNeed = SectorsFor(2 * tb);
    EXPECT_EQ(PickRecoveryDrive(context, {L"c:\\"}, &best, sys), L'D');
    EXPECT_EQ(best, 3 * tb / 512);

    context.RecoverySpaceNeed = SectorsFor(3 * tb);  // exactly the free space: not enough
    EXPECT_EQ(PickRecoveryDrive(context, {L"C:\\"}, nullptr, sys), 0);
    EXPECT_EQ(PickRecoveryDrive(context, {}, nullptr, sys), L'C');

    // Need 0: any drive with 512 free bytes; a need of one byte is a whole unit.
    sys.drives.clear();
    sys.drives[L'D'] = {DRIVE_REMOVABLE, true, 512};
    context.RecoverySpaceNeed = 0;
    EXPECT_EQ(PickRecoveryDrive(context, {L"C:\\"}, nullptr, sys), L'D');
    context.RecoverySpaceNeed = SectorsFor(1);
    EXPECT_EQ(PickRecoveryDrive(context, {L"C:\\"}, nullptr, sys), 0);

    EXPECT_FALSE(HasEnoughFreeSpace(L"1:\\", context, nullptr, sys));
    EXPECT_FALSE(HasEnoughFreeSpace(L"", context, nullptr, sys));
    EXPECT_FALSE(HasEnoughFreeSpace(nullptr, context, nullptr, sys));
}

TEST(RecoveryDrive, ProgressNeverDividesByZeroAndStaysWithinAHundred) {
    EXPECT_EQ(CRecoverDlg::ProgressPercent(0, 100), 0u);
    EXPECT_EQ(CRecoverDlg::ProgressPercent(1, 100), 100u);
    EXPECT_EQ(CRecoverDlg::ProgressPercent(1, 1024), 50u);
    EXPECT_EQ(CRecoverDlg::ProgressPercent(9, 1024), 100u);
    EXPECT_EQ(CRecoverDlg::ProgressPercent(1ull << 33, 1ull << 43), 50u);
}

// A scanner whose recovery writes "<name>" with the hint as its content into
// the target folder; it can be held inside RecoverFile.
class FakeScanner : public ISearchFile {
public:
    std::atomic<LONG> refs{1};
    std::atomic<DWORD> sectors{0};
    std::atomic<int> calls{0};
    HANDLE gate = nullptr;  // when set, each RecoverFile waits for it
    std::vector<std::string> targets;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
#define RESERVED(n) HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }
    RESERVED(3) RESERVED(4) RESERVED(5) RESERVED(6) RESERVED(7) RESERVED(8) RESERVED(9) RESERVED(10)
    RESERVED(11) RESERVED(12) RESERVED(13) RESERVED(14) RESERVED(15) RESERVED(16) RESERVED(17) RESERVED(18)
    RESERVED(20) RESERVED(21) RESERVED(22) RESERVED(23)
#undef RESERVED
    DWORD STDMETHODCALLTYPE GetRecoveredSectors() override { return sectors; }
    HRESULT STDMETHODCALLTYPE ScanVolume(const char*, ScanVolumeResult**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RecoverFile(const char* fullPath, char* targetFolder, DWORD hint) override {
        ++calls;
        if (gate) ::WaitForSingleObject(gate, INFINITE);
        targets.push_back(targetFolder);
        std::string path(fullPath);
        std::wstring name = platform::AnsiToWide(path.substr(path.rfind('\\') + 1));
        std::wstring out = platform::AnsiToWide(std::string(targetFolder)) + name;
        if (!testing_support::WriteFileBytes(out, std::to_string(hint))) return E_FAIL;
        sectors += 2;
        return hint == 13 ? E_FAIL : S_OK;  // hint 13: "cannot be recovered"
    }
};

class RecoverDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        BkString::LoadFromSources({
            "<string><s id='1'>Lumsek</s><s id='36'>m36</s><s id='37'>m37</s><s id='38'>m38</s>"
            "<s id='39'>m39</s><s id='40'>m40</s><s id='41'>m41</s><s id='43'>m43</s><s id='44'>m44</s>"
            "<s id='45'>m45 %s</s><s id='46'>count:%d</s><s id='54'>drive %c</s><s id='55'>none</s>"
            "<s id='57'>m57</s></string>"});
        work_ = testing_support::MapDriveToTempFolder(L'R');
        drives_.drives[L'C'] = {DRIVE_FIXED, true, 1ull << 36};
        drives_.drives[L'D'] = {DRIVE_FIXED, true, 1ull << 30};
        drives_.drives[L'R'] = {DRIVE_FIXED, true, 1ull << 34};
        drives_.drives[L'T'] = {DRIVE_CDROM, true, 1ull << 34};
        drives_.drives[L'S'] = {DRIVE_FIXED, true, 1000};
        drives_.drives[L'U'] = {DRIVE_REMOVABLE, false, 1ull << 34};  // a card reader without its card
    }

    // A dialog with two deleted files of drive C and one of drive D.
    void Open(CRecoverDlg& dlg) {
        dlg.GetViewControl().XmlLoad(RecoverLayout());
        dlg.Seams().Drives = &drives_;
        dlg.Seams().Message = [this](HWND, UINT id, const std::wstring&) { messages_.push_back(id); };
        dlg.Seams().Recovered = [this](unsigned count) { recorded_.push_back(count); };
        dlg.Seams().BindScanner = [this](platform::ModuleHandle* library) -> ISearchFile* {
            library->Reset(::LoadLibraryW(L"kernel32.dll"));
            scanner_.AddRef();
            return &scanner_;
        };
        dlg.SetItems({{platform::WideToAnsi(L"C:\\docs\\报告.txt"), 1000, 7}, {"C:\\a\\b.bin", 3000, 13}, {"D:\\x.dat", 24, 9}}, nullptr,
                     {L"C:\\", L"D:\\"});
        ASSERT_NE(dlg.Create(nullptr), nullptr);
    }
    std::wstring EditText(CRecoverDlg& dlg) { return platform::Window(dlg.TargetEdit()).GetWindowText(); }
    void Type(CRecoverDlg& dlg, const std::wstring& text) { ::SetWindowTextW(dlg.TargetEdit(), text.c_str()); }

    BkWinManager manager_;
    FakeDrives drives_;
    FakeScanner scanner_;
    std::vector<UINT> messages_;
    std::vector<unsigned> recorded_;  // statistics of each recovery run
    std::wstring work_;
};

TEST_F(RecoverDlgTest, ProposesAnotherDriveAndRefusesBadTargetsWithOneMessageEach) {
    CRecoverDlg dlg;
    Open(dlg);
    EXPECT_EQ(EditText(dlg), L"R:\\MUXR\\");  // C and D hold files, S is too small, T is a CD-ROM

    const struct {
        const wchar_t* typed;
        UINT message;
    } refused[] = {
        {L"", 37},
        {L"E:a", 38},
        {L"1:\\a", 38},
        {L"E:\\a\\\\b", 39},
        {L"E:\\ a", 39},
        {L"E:\\a?b", 39},
        {L"C:\\out", 40},
        {L"d:\\out", 40},
        {L"T:\\out", 43},
        {L"Q:\\out", 44},
        {L"U:\\out", 44},
        {L"S:\\out", 41},
    };
    for (const auto& r : refused) {
        messages_.clear();
        dlg.ValidateTarget(r.typed);
        EXPECT_EQ(messages_, std::vector<UINT>{r.message}) << platform::WideToAnsi(r.typed);
    }
    messages_.clear();
    EXPECT_FALSE(dlg.ValidateTarget(L"R:\\" + std::wstring(300, L'x')));
    EXPECT_EQ(messages_, std::vector<UINT>{36});
    messages_.clear();
    EXPECT_TRUE(dlg.ValidateTarget(L"R:\\恢复\\"));
    EXPECT_TRUE(messages_.empty());

    // A refused start stays on the first panel and starts nothing.
    Type(dlg, L"C:\\out");
    dlg.StartRecovery();
    EXPECT_FALSE(dlg.IsWorking());
    EXPECT_TRUE(dlg.IsItemVisible(CRecoverDlg::IDC_CHOOSE_PANEL));
    EXPECT_EQ(EditText(dlg), L"C:\\out\\");  // the backslash is added before the check

    // Browsing appends the folder name.
    dlg.Seams().BrowseFolder = [](HWND, std::wstring* f) { *f = L"R:\\data"; return true; };
    dlg.BrowseTarget();
    EXPECT_EQ(EditText(dlg), L"R:\\data\\MUXR\\");
    dlg.Seams().BrowseFolder = [](HWND, std::wstring* f) { *f = L"R:\\"; return true; };
    dlg.BrowseTarget();
    EXPECT_EQ(EditText(dlg), L"R:\\MUXR\\");
    dlg.StopWorker();
    EXPECT_EQ(scanner_.refs, 1);  // the dialog's reference is given back on close
}

TEST_F(RecoverDlgTest, RecoversTheChosenFilesIntoANewFolderAndReports) {
    CRecoverDlg dlg;
    Open(dlg);
    Type(dlg, L"R:\\恢复");
    dlg.StartRecovery();
    ASSERT_TRUE(PumpMessagesUntil([&] { return dlg.IsItemVisible(CRecoverDlg::IDC_REPORT_PANEL); }, 10000));
    EXPECT_FALSE(dlg.IsWorking());
    EXPECT_EQ(dlg.RecoveredCount(), 2u);  // the file with hint 13 fails
    EXPECT_EQ(testing_support::ReadFileBytes(L"R:\\恢复\\报告.txt"), "7");
    EXPECT_EQ(testing_support::ReadFileBytes(L"R:\\恢复\\x.dat"), "9");
    ASSERT_EQ(scanner_.targets.size(), 3u);
    EXPECT_EQ(scanner_.targets[0], platform::WideToAnsi(L"R:\\恢复\\"));
    EXPECT_FALSE(dlg.IsItemVisible(CRecoverDlg::IDC_PROGRESS_PANEL));
}

TEST_F(RecoverDlgTest, TheRecoveryProductStartsOnlyFromTheFileTheRegistryNames) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WelgrinRecovery");
    std::vector<std::wstring> started;
    int runs = 0, installs = 0;
    std::vector<int> states;
    CRecoverDlg dlg;
    Open(dlg);
    dlg.Seams().StartProgram = [&](const std::wstring& p) { started.push_back(p); return true; };
    dlg.Seams().InstallProduct = [&](HWND) { ++installs; return false; };  // no module library
    dlg.Seams().SiblingRun = [&] { ++runs; };
    dlg.Seams().SiblingInstallState = [&](int s) { states.push_back(s); };

    dlg.LaunchRecoveryProduct();  // nothing recorded: only the statistics, the dialog stays
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(states, std::vector<int>{0});  // not running, whether or not an install was tried
    EXPECT_TRUE(dlg.IsWindow());
    EXPECT_EQ(dlg.GetEndCode(), 0);

    // Named but missing: not started; then installed by the module library.
    const std::wstring program = work_ + L"产品\\recover.exe";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\WelgrinRecovery", L"path", REG_SZ, program.c_str(),
                                static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
    dlg.Seams().InstallProduct = [&](HWND) {
        ++installs;
        return testing_support::WriteFileBytes(program, "MZ");
    };
    dlg.LaunchRecoveryProduct();
    EXPECT_EQ(started, std::vector<std::wstring>{program});
    EXPECT_EQ(states, (std::vector<int>{0, 1}));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(installs, 2);
    EXPECT_EQ(dlg.GetEndCode(), 1);
}

TEST_F(RecoverDlgTest, CloseDuringARecoveryStopsTheWorkerThenEndsTheDialog) {
    platform::UniqueHandle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    scanner_.gate = gate.Get();
    {
        CRecoverDlg dlg;
        Open(dlg);
        dlg.StartRecovery();
        ASSERT_TRUE(dlg.IsWorking());
        ASSERT_TRUE(PumpMessagesUntil([&] { return scanner_.calls == 1; }, 5000));
        messages_.clear();
        dlg.StartRecovery();  // a second press while it runs
        EXPECT_EQ(messages_, std::vector<UINT>{57});

        // Close: the worker is told to stop, finishes the file it is on and ends.
        std::thread release([&] { ::Sleep(200); ::SetEvent(gate.Get()); });
        dlg.StopWorker();
        release.join();
        EXPECT_FALSE(dlg.IsWorking());
        EXPECT_EQ(scanner_.calls, 1);
        ASSERT_TRUE(PumpMessagesUntil([&] { return dlg.IsItemVisible(CRecoverDlg::IDC_REPORT_PANEL); }, 5000));
        EXPECT_EQ(dlg.RecoveredCount(), 1u);
        dlg.StopWorker();  // a second close ends the dialog and gives the scanner back
        EXPECT_EQ(scanner_.refs, 1);
    }
    // A dialog destroyed while its worker is held inside the scanner waits
    // for it instead of freeing what the worker reads.
    ::ResetEvent(gate.Get());
    scanner_.calls = 0;
    std::thread release;
    {
        CRecoverDlg dlg;
        Open(dlg);
        dlg.StartRecovery();
        ASSERT_TRUE(PumpMessagesUntil([&] { return scanner_.calls == 1; }, 5000));
        release = std::thread([&] { ::Sleep(200); ::SetEvent(gate.Get()); });
        dlg.DestroyWindow();
    }
    EXPECT_EQ(::WaitForSingleObject(gate.Get(), 0), WAIT_OBJECT_0);  // the destructor waited for the worker
    release.join();
    EXPECT_EQ(scanner_.calls, 1);
}

TEST_F(RecoverDlgTest, TheProposedTargetShowsFromItsStartOnceTheEditHasItsSize) {
    CRecoverDlg dlg;
    Open(dlg);
    dlg.ShowWindow(SW_SHOWNA);
    testing_support::PumpMessages(50);
    RECT edit = {};
    ::GetClientRect(dlg.TargetEdit(), &edit);
    ASSERT_GT(edit.right, 100);  // placed by the layout
    EXPECT_EQ(EditText(dlg), L"R:\\MUXR\\");
    // The first character is in view, not scrolled off to the left.
    const LRESULT first = ::SendMessageW(dlg.TargetEdit(), EM_POSFROMCHAR, 0, 0);
    EXPECT_GE(static_cast<short>(LOWORD(first)), 0);
    EXPECT_LT(static_cast<short>(LOWORD(first)), 10);
    dlg.StopWorker();
}

TEST_F(RecoverDlgTest, EscDuringARecoveryStopsItRecordsItAndASecondEscCloses) {
    platform::UniqueHandle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    scanner_.gate = gate.Get();
    CRecoverDlg dlg;
    Open(dlg);
    dlg.StartRecovery();
    ASSERT_TRUE(PumpMessagesUntil([&] { return scanner_.calls == 1; }, 5000));
    std::thread release([&] { ::Sleep(200); ::SetEvent(gate.Get()); });
    ::SendMessageW(dlg.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    release.join();
    // Like the close button: the worker ended after its file, and the run is
    // in the statistics at once.
    EXPECT_FALSE(dlg.IsWorking());
    EXPECT_EQ(scanner_.calls, 1);
    EXPECT_EQ(recorded_, std::vector<unsigned>{1});
    ASSERT_TRUE(PumpMessagesUntil([&] { return dlg.IsItemVisible(CRecoverDlg::IDC_REPORT_PANEL); }, 5000));
    EXPECT_EQ(recorded_, std::vector<unsigned>{1});  // the report's tick does not count it again
    EXPECT_EQ(dlg.GetEndCode(), 0);
    ::SendMessageW(dlg.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(dlg.GetEndCode(), 2);
    EXPECT_EQ(scanner_.refs, 1);
}

TEST_F(RecoverDlgTest, ARunCutShortByTheDialogsEndIsStillRecorded) {
    platform::UniqueHandle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    scanner_.gate = gate.Get();
    std::thread release;
    {
        CRecoverDlg dlg;
        Open(dlg);
        dlg.StartRecovery();
        ASSERT_TRUE(PumpMessagesUntil([&] { return scanner_.calls == 1; }, 5000));
        release = std::thread([&] { ::Sleep(200); ::SetEvent(gate.Get()); });
        dlg.DestroyWindow();
    }
    release.join();
    EXPECT_EQ(recorded_, std::vector<unsigned>{1});
}

TEST_F(RecoverDlgTest, TheProductStartedAfterAnUncollectedRunEndsTheDialogWithOne) {
    const std::wstring program = work_ + L"product.exe";
    ASSERT_TRUE(testing_support::WriteFileBytes(program, "MZ"));
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\WelgrinRecovery", L"path", REG_SZ, program.c_str(),
                                static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
    std::vector<int> states;
    CRecoverDlg dlg;
    Open(dlg);
    dlg.Seams().StartProgram = [](const std::wstring&) { return true; };
    dlg.Seams().SiblingInstallState = [&](int s) { states.push_back(s); };
    dlg.Seams().SiblingRun = [] {};
    Type(dlg, L"R:\\after");
    dlg.StartRecovery();
    // The worker ends; no message is pumped, so the timer has not collected it.
    for (int i = 0; i < 500 && dlg.IsWorkerRunning(); ++i) ::Sleep(10);
    ASSERT_FALSE(dlg.IsWorkerRunning());
    ASSERT_TRUE(dlg.IsWorking());
    dlg.LaunchRecoveryProduct();
    EXPECT_EQ(dlg.GetEndCode(), 1);
    EXPECT_FALSE(dlg.IsWorking());
    EXPECT_EQ(recorded_, std::vector<unsigned>{2});
    EXPECT_TRUE(states.empty());  // started from the registry's file: nothing installed
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\WelgrinRecovery");
}

} // namespace
