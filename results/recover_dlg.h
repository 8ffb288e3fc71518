#pragma once
// The dialog that copies deleted files out of the index to a folder on
// another drive: it proposes a target, checks the one the user chooses, runs
// the copy on a worker thread through the scanner library and reports.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/handle.h"
#include "platform/thread.h"
#include "ui/bkdlgimpl.h"

class CIndexManager;
class IDriveSystem;
struct ISearchFile;

// One file to recover, copied out of the engine when the dialog is given its
// work, so that a search, sort or journal change while it runs cannot change
// which files it recovers.
struct RecoverItem {
    std::string Path;  // ANSI full path as the index builds it
    uint64_t Size = 0;
    DWORD Hint = 0;    // the record's recovery hint for the scanner
};

// The deleted files among `rows` (positions in the engine's result list).
std::vector<RecoverItem> CollectRecoverItems(CIndexManager& engine, const std::vector<size_t>& rows);

// Runs the dialog modally over `owner` for the deleted files among the engine
// rows; answers its end code (1 when the folder was opened or the recovery
// product started, 2 when closed).
int RunRecoverDialog(HWND owner, const std::vector<int>& engineRows, const std::vector<std::wstring>& sourceRoots);

// What the dialog asks of the world outside it; tests replace the parts.
struct RecoverDlgSeams {
    // Shows a message (its string-table id and the text); the default is a
    // message box owned by the dialog.
    std::function<void(HWND owner, UINT stringId, const std::wstring& text)> Message;
    // The folder picker; answers false when nothing was chosen.
    std::function<bool(HWND owner, std::wstring* folder)> BrowseFolder;
    // Binds the scanner (the default loads searchfile.dll from the program folder).
    std::function<ISearchFile*(platform::ModuleHandle* library)> BindScanner;
    // Starts a program file; answers whether it started.
    std::function<bool(const std::wstring& program)> StartProgram;
    // Opens the target folder in the file manager.
    std::function<void(const std::wstring& folder)> OpenFolder;
    // Asks the module library to download and install the recovery product;
    // answers whether it was asked.
    std::function<bool(HWND dialog)> InstallProduct;
    // Statistics: a finished recovery run, the product installed, the
    // product's buttons pressed.
    std::function<void(unsigned count)> Recovered;
    std::function<void(int state)> SiblingInstallState;
    std::function<void()> SiblingRun;
    IDriveSystem* Drives = nullptr;  // null: the real system
};

class CRecoverDlg : public CBkDialogImpl<CRecoverDlg> {
public:
    enum : UINT {
        IDC_ESCAPE = 2,  // Esc and the window's close command, as the view reports them
        IDC_CLOSE = 1002,
        IDC_CHOOSE_PANEL = 5000,
        IDC_TARGET_EDIT = 5003,
        IDC_BROWSE = 5004,
        IDC_DRIVE_HINT = 5007,
        IDC_PRODUCT_CHOOSE = 5008,
        IDC_START = 5010,
        IDC_PROGRESS_PANEL = 6000,
        IDC_CURRENT_PATH = 6002,
        IDC_PROGRESS = 6003,
        IDC_PRODUCT_PROGRESS = 6004,
        IDC_REPORT_PANEL = 7000,
        IDC_REPORT_COUNT = 7002,
        IDC_PRODUCT_REPORT = 7004,
        IDC_OPEN_FOLDER = 7006,
        IDC_FOLDER_LINK = 7008,
    };
    static const UINT_PTR IDT_RECOVER_PROGRESS = 1;

    CRecoverDlg();
    ~CRecoverDlg() override;

    void SetItems(const std::vector<RecoverItem>& items, HWND owner, const std::vector<std::wstring>& sourceRoots);
    RecoverDlgSeams& Seams() { return seams_; }

    // The checks of a typed target, in order; shows the first failure and
    // answers false.
    bool ValidateTarget(const std::wstring& path);
    static bool IsValidPathChars(const std::wstring& path);

    // Progress in percent, from the recovered 512-byte units and the total.
    static unsigned ProgressPercent(uint64_t recoveredUnits, uint64_t totalBytes);

    const std::wstring& Target() const { return target_; }
    unsigned RecoveredCount() const { return recovered_.load(); }
    bool IsWorking() const { return worker_.IsStarted(); }
    // The worker thread has not ended yet (it may have ended uncollected).
    bool IsWorkerRunning() const { return worker_.IsRunning(); }
    HWND TargetEdit() const { return edit_; }

    // The button handlers (also reached through the view's notifications).
    void BrowseTarget();
    void StartRecovery();
    void StopWorker();
    void OpenTargetFolder();
    void LaunchRecoveryProduct();

    WINDOW_MAP_BEGIN(CRecoverDlg)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CRecoverDlg>)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
    WINDOW_MAP_END()

private:
    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);

    void PickTargetDrive();
    void SetTargetText(const std::wstring& text);
    void ShowTargetFromStart();
    void ShowDriveHint(wchar_t letter);
    void ShowReport();
    void Message(UINT stringId, const std::wstring& text);
    void Message(UINT stringId);
    bool OnSourceVolume(const std::wstring& path) const;
    // Waits for the worker, forgets it, and records the run's statistics
    // once per run.
    void CollectWorker();
    // Starts the product the registry names, when its file exists.
    bool StartRecoveryProduct();
    void ReleaseScanner();
    IDriveSystem& Drives();

    static unsigned __stdcall RecoverThreadProc(void* dialog);
    void RunRecovery();

    std::vector<RecoverItem> items_;
    std::vector<std::wstring> sourceRoots_;
    uint64_t totalSize_ = 0;
    HWND owner_ = nullptr;
    std::wstring target_;       // ends with a backslash once set
    std::string targetAnsi_;    // what the scanner gets

    std::atomic<unsigned> recovered_{0};
    std::atomic<size_t> position_{0};
    std::atomic<bool> done_{false};
    bool runRecorded_ = true;  // no run yet, or its statistics are written
    platform::UniqueHandle stop_;
    platform::Thread worker_;

    ISearchFile* scanner_ = nullptr;
    platform::ModuleHandle library_;
    HWND edit_ = nullptr;
    RecoverDlgSeams seams_;
};
