#pragma once
// The file commands of the result list (open, cut, copy, delete, select all,
// properties, and the checks the shell menu makes before its own verbs), the
// clipboard formats they write, and shortcut resolution.
//
// The commands work on full paths; the window that runs them supplies those
// paths (its selected rows, mapped to engine rows) through a FileCommandSite.
#include <windows.h>

#include <string>
#include <vector>

#include "results/result_messages.h"  // FILECMD_*, WM_RESULT_*, kMaxRowsPerAction

constexpr LPARAM FILECMD_DELETE_TO_RECYCLE_BIN = 0;
constexpr LPARAM FILECMD_DELETE_PERMANENTLY = 1;

// String-table text that refuses opening more than kMaxRowsPerAction files.
constexpr UINT IDS_TOO_MANY_FILES_TO_OPEN = 33;

// Clipboard drop effects stored under "Preferred DropEffect".
constexpr DWORD kDropEffectCopy = 1;
constexpr DWORD kDropEffectMove = 2;
extern const wchar_t kPreferredDropEffectFormat[];

// The commands take paths of fewer than MAX_PATH characters, the size every
// shell buffer on their way is made for; longer ones are left out.
bool FitsPathBuffer(const std::wstring& path);

// The CF_HDROP block: a DROPFILES header of 20 bytes, each path in UTF-16 with
// its NUL, and one more NUL. Paths that do not fit a path buffer are skipped;
// `taken` receives how many went in. Null when none did or memory is short.
HGLOBAL BuildFileListBlock(const std::vector<std::wstring>& paths, size_t* taken = nullptr);

// Puts the file list and the drop effect (copy or move) on the clipboard, with
// `owner` as the clipboard's owner. False when the clipboard cannot be opened
// or nothing could be placed; every block not handed over is freed.
bool CopyFilesToClipboard(HWND owner, const std::vector<std::wstring>& paths);
bool CutFilesToClipboard(HWND owner, const std::vector<std::wstring>& paths);
// CF_UNICODETEXT with the text and its NUL.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);
// The paths that fit a path buffer, each followed by "\r\n" (the last one too).
std::wstring JoinPathsAsText(const std::vector<std::wstring>& paths);

// The target of a shortcut file, or "" when `path` is no loadable shortcut.
std::wstring ResolveShortcutTarget(const std::wstring& path);

// What a file command needs from the window it runs for.
class FileCommandSite {
public:
    virtual ~FileCommandSite() = default;
    // The window that owns the clipboard data and the shell's dialogs (one
    // of the bar's always-on-top windows, so they come above the bar).
    virtual HWND CommandWindow() = 0;
    // Full paths of the rows the command works on, in ascending row order,
    // deleted rows included (the commands test existence themselves).
    virtual std::vector<std::wstring> CommandPaths() = 0;
    // The user did something with a listed file (WM_RESULT_LIST_USED).
    virtual void MarkListUsed() = 0;
    // The window's OK/Cancel box; answers the button.
    virtual int ConfirmBox(const wchar_t* text) = 0;
    // Keeps the bar open (true) while the shell may show a dialog of its
    // own, or lets it go again (false): an error box must not lose its bar.
    virtual void HoldBar(bool hold) = 0;
    virtual void SelectAllRows() = 0;
    // Files were deleted: show the rows as the engine knows them now instead
    // of trusting the deleted ones.
    virtual void RefreshRows() = 0;
};

// The shell calls behind the commands. Tests replace opening and property
// sheets, which would start other programs and windows. What the shell shows
// when it cannot do it (no program for the file, an error) is owned by
// `owner`.
class ShellActions {
public:
    virtual ~ShellActions() = default;
    virtual bool Open(HWND owner, const std::wstring& path);
    virtual bool ShowProperties(HWND owner, const std::wstring& path);
    // SHFileOperationW FO_DELETE of the paths; the shell asks first.
    virtual bool Delete(HWND owner, const std::vector<std::wstring>& paths, bool toRecycleBin);
};
ShellActions& DefaultShellActions();

// Runs one command; the result is the message result: 0, or E_FAIL from
// FILECMD_OPENCONTAINING when the shell's verb must not run.
LRESULT RunFileCommand(FileCommandSite& site, WPARAM code, LPARAM mode,
                       ShellActions& shell = DefaultShellActions());

// Opens each existing file of `paths` with the shell, the bar held open
// meanwhile; the list counts as used once for each file that opened and
// once more after them, so the bar stays when nothing did (the shell has
// said why). Returns how many opened. No limit on the count.
int OpenFiles(FileCommandSite& site, const std::vector<std::wstring>& paths,
              ShellActions& shell = DefaultShellActions());

class CSearchResultWnd;
// The result window's commands: its selected rows, mapped to engine rows, or
// the files of the shell menu while that menu routes a verb.
LRESULT RunResultWindowFileCommand(CSearchResultWnd& wnd, WPARAM code, LPARAM mode);
// OpenFiles for the result window (double clicks, the action bar).
int OpenResultWindowFiles(CSearchResultWnd& wnd, const std::vector<std::wstring>& paths);
