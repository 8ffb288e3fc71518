#pragma once
// Helpers for tests that run under Wine: drives mapped to Linux folders or
// images, message pumping, and the code page the run was started with.
#include <windows.h>

#include <functional>
#include <string>

namespace testing_support {

// Runs a command with the Linux shell and waits for it; returns its exit code,
// or -1 when it could not be started or did not finish in time.
int RunUnixCommand(const std::string& command, DWORD timeoutMs = 30000);

// The Linux folder where this test run may create files ($LUMSEK_TEST_WORK).
std::string UnixWorkFolder();
// The Windows name of a Linux path ("\\?\unix\...").
std::wstring UnixToWindowsPath(const std::string& unixPath);
// The Linux path of a Windows path, by Wine's own conversion; empty when
// there is none.
std::string WindowsToUnixPath(const std::wstring& path);
// A text quoted for the Linux shell.
std::string ShellQuote(const std::string& text);

// Maps drive `letter` to a Linux folder (created if missing) and waits until
// the drive answers. The drive also shows in GetLogicalDrives.
bool MapDriveToFolder(wchar_t letter, const std::string& unixFolder);
// Maps `letter` to a fresh, empty folder below the work folder; returns "X:\".
std::wstring MapDriveToTempFolder(wchar_t letter);
// Maps the raw device "\\.\X:" of `letter` to an image file ("x::" link).
bool MapDriveDevice(wchar_t letter, const std::string& unixImage);
void UnmapDrive(wchar_t letter);

// Dispatches messages of this thread for about `ms` milliseconds.
void PumpMessages(DWORD ms);
// Dispatches messages until `done` answers true or `ms` elapse; returns done().
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD ms);

// A hidden top-level window whose messages reach `handler` first; a handler
// that answers true has handled the message and set the result. Tests use it
// to stand in for an owner or a view and record what is sent to it.
class HookWindow {
public:
    using Handler = std::function<bool(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)>;
    explicit HookWindow(Handler handler);
    ~HookWindow();
    HookWindow(const HookWindow&) = delete;
    HookWindow& operator=(const HookWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    Handler handler_;
    HWND hwnd_ = nullptr;
};

// Creates every folder of a Windows path and writes `bytes` to the file.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The whole file; "<missing>" when it cannot be opened. The file may be
// renamed or deleted while it is read: a test that polls a file must not
// make it look in use to the program it watches.
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);

} // namespace testing_support
