#pragma once
// Shared pieces of the file-command tests: a drive with files, an owner
// window that records the shell menu's commands, the clipboard read back, and
// a watcher that answers the shell's confirmation boxes.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "platform/thread.h"
#include "results/file_commands.h"
#include "tests/support/test_support.h"

namespace filecmd_test {

// Maps `letter` to a fresh folder and creates the files (relative paths,
// folders made as needed); returns the drive root, such as "D:\".
std::wstring MakeDrive(wchar_t letter, const std::vector<std::wstring>& files);

// A hidden top-level window: the clipboard owner and the menu's owner. Each
// WM_RESULT_MENU_COMMAND is recorded and answered by `onCommand` (0 when unset).
class OwnerWindow {
public:
    OwnerWindow();
    HWND Handle() const { return window_.hwnd(); }
    std::vector<int> commands;
    std::function<LRESULT(WPARAM, LPARAM)> onCommand;

private:
    testing_support::HookWindow window_;
};

// A site over a fixed list of paths that records what the commands asked.
class RecordingSite : public FileCommandSite {
public:
    RecordingSite(HWND wnd, std::vector<std::wstring> paths) : paths(std::move(paths)), wnd_(wnd) {}
    HWND CommandWindow() override { return wnd_; }
    std::vector<std::wstring> CommandPaths() override { return paths; }
    void MarkListUsed() override { ++used; }
    int ConfirmBox(const wchar_t* text) override { boxes.push_back(text); return IDOK; }
    // Each hold and release in order: "+" and "-".
    void HoldBar(bool hold) override { holds += hold ? L"+" : L"-"; }
    void SelectAllRows() override { ++selectAll; }
    void RefreshRows() override { ++refreshed; }

    std::vector<std::wstring> paths;
    std::vector<std::wstring> boxes;
    std::wstring holds;
    int used = 0, selectAll = 0, refreshed = 0;

private:
    HWND wnd_;
};

// Opening and property sheets recorded instead of run, with the window that
// owns what the shell would show; each fails while its flag is set.
class RecordingShell : public ShellActions {
public:
    bool Open(HWND owner, const std::wstring& path) override {
        opened.push_back(path);
        owners.push_back(owner);
        return !openFails;
    }
    bool ShowProperties(HWND owner, const std::wstring& path) override {
        properties.push_back(path);
        owners.push_back(owner);
        return !propertiesFail;
    }
    std::vector<std::wstring> opened, properties;
    std::vector<HWND> owners;
    bool openFails = false, propertiesFail = false;
};

struct ClipboardFiles {
    std::vector<std::wstring> names;
    DWORD dropEffect = 0;
    size_t blockSize = 0;
    bool wellFormed = false;  // 20-byte header, wide names, closing double NUL
};
ClipboardFiles ReadClipboardFiles();
std::wstring ReadClipboardText();  // "<none>" when there is no text

// While alive, a thread presses "Yes" on every dialog box of this process
// that the shell shows for confirmation; counts them.
class DialogAnswerer {
public:
    DialogAnswerer();
    ~DialogAnswerer();
    int Answered() const { return answered_; }

private:
    static unsigned __stdcall Run(void* self);
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    platform::Thread thread_;
};

// The UI strings the commands show.
void LoadStrings();

} // namespace filecmd_test
