#include "results/file_commands.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "platform/com_ptr.h"
#include "platform/shell_handles.h"
#include "platform/trace.h"
#include "ui/bkstring.h"

const wchar_t kPreferredDropEffectFormat[] = L"Preferred DropEffect";

namespace {

// The shell's DROPFILES record as it lies in a CF_HDROP block.
struct FileListHeader {
    DWORD namesOffset;
    POINT dropPoint;
    BOOL nonClient;
    BOOL wideNames;
};
static_assert(sizeof(FileListHeader) == 20, "CF_HDROP header is 20 bytes");
static_assert(sizeof(FileListHeader) == sizeof(DROPFILES), "same layout as the shell's record");

static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOW) == 60, "32-bit shell execute record");

constexpr UINT kSharedBlockFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

bool Exists(const std::wstring& path) {
    return FitsPathBuffer(path) && ::PathFileExistsW(path.c_str()) != FALSE;
}

std::vector<std::wstring> ExistingPaths(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> out;
    for (const auto& p : paths) {
        if (Exists(p)) out.push_back(p);
    }
    return out;
}

platform::GlobalBlock DropEffectBlock(DWORD effect) {
    platform::GlobalBlock block(kSharedBlockFlags, sizeof(DWORD));
    platform::GlobalLockScope<DWORD> p(block.Get());
    if (!p) return platform::GlobalBlock();
    *p.Get() = effect;
    return block;
}

bool PutFilesOnClipboard(HWND owner, const std::vector<std::wstring>& paths, DWORD effect) {
    platform::GlobalBlock list(BuildFileListBlock(paths));
    platform::GlobalBlock drop = DropEffectBlock(effect);
    UINT dropFormat = ::RegisterClipboardFormatW(kPreferredDropEffectFormat);
    if (!list || !drop || dropFormat == 0) return false;

    platform::ClipboardScope clipboard(owner);
    if (!clipboard.IsOpen()) {
        platform::TraceLastError("OpenClipboard");
        return false;
    }
    if (!::EmptyClipboard()) {
        platform::TraceLastError("EmptyClipboard");
        return false;
    }
    // The clipboard owns a block only once SetClipboardData took it.
    if (!::SetClipboardData(CF_HDROP, list.Get())) {
        platform::TraceLastError("SetClipboardData(CF_HDROP)");
        return false;
    }
    list.Release();
    if (!::SetClipboardData(dropFormat, drop.Get())) {
        platform::TraceLastError("SetClipboardData(Preferred DropEffect)");
        return false;
    }
    drop.Release();
    return true;
}

} // namespace

bool FitsPathBuffer(const std::wstring& path) {
    return !path.empty() && path.size() < MAX_PATH && path.find(L'\0') == std::wstring::npos;
}

HGLOBAL BuildFileListBlock(const std::vector<std::wstring>& paths, size_t* taken) {
    if (taken) *taken = 0;
    size_t chars = 0, count = 0;
    for (const auto& p : paths) {
        if (!FitsPathBuffer(p)) continue;
        chars += p.size() + 1;
        ++count;
    }
    if (count == 0) return nullptr;

    const size_t bytes = sizeof(FileListHeader) + (chars + 1) * sizeof(wchar_t);
    platform::GlobalBlock block(kSharedBlockFlags, bytes);
    {
        platform::GlobalLockScope<BYTE> base(block.Get());
        if (!base) return nullptr;
        FileListHeader header = {};
        header.namesOffset = sizeof(FileListHeader);
        header.wideNames = TRUE;
        std::memcpy(base.Get(), &header, sizeof(header));
        wchar_t* out = reinterpret_cast<wchar_t*>(base.Get() + sizeof(FileListHeader));
        for (const auto& p : paths) {
            if (!FitsPathBuffer(p)) continue;
            std::memcpy(out, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
            out += p.size() + 1;
        }
        // The zero-filled block supplies the closing NUL.
    }
    if (taken) *taken = count;
    return block.Release();
}

bool CopyFilesToClipboard(HWND owner, const std::vector<std::wstring>& paths) {
    return PutFilesOnClipboard(owner, paths, kDropEffectCopy);
}

bool CutFilesToClipboard(HWND owner, const std::vector<std::wstring>& paths) {
    return PutFilesOnClipboard(owner, paths, kDropEffectMove);
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    platform::GlobalBlock block(kSharedBlockFlags, bytes);
    {
        platform::GlobalLockScope<wchar_t> p(block.Get());
        if (!p) return false;
        std::memcpy(p.Get(), text.c_str(), bytes);
    }
    platform::ClipboardScope clipboard(owner);
    if (!clipboard.IsOpen()) {
        platform::TraceLastError("OpenClipboard");
        return false;
    }
    if (!::EmptyClipboard() || !::SetClipboardData(CF_UNICODETEXT, block.Get())) {
        platform::TraceLastError("SetClipboardData(CF_UNICODETEXT)");
        return false;
    }
    block.Release();
    return true;
}

std::wstring JoinPathsAsText(const std::vector<std::wstring>& paths) {
    std::wstring text;
    for (const auto& p : paths) {
        if (!FitsPathBuffer(p)) continue;
        text += p;
        text += L"\r\n";
    }
    return text;
}

std::wstring ResolveShortcutTarget(const std::wstring& path) {
    platform::ComInitScope com;
    platform::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.Receive())))) {
        return std::wstring();
    }
    platform::ComPtr<IPersistFile> file;
    if (FAILED(link.QueryInterface(IID_IPersistFile, &file)) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
        return std::wstring();
    }
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_SHORTPATH))) return std::wstring();
    target[MAX_PATH - 1] = L'\0';
    return target;
}

bool ShellActions::Open(HWND owner, const std::wstring& path) {
    // The shell's own interface stays on: for a file with no program it asks
    // for one or says why it cannot open it, in a box owned by `owner`.
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info)) return true;
    platform::TraceLastError("opening a file");
    return false;
}

bool ShellActions::ShowProperties(HWND owner, const std::wstring& path) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = owner;
    info.lpVerb = L"properties";
    info.lpFile = path.c_str();
    info.lpParameters = L"";
    info.nShow = SW_SHOW;
    return ::ShellExecuteExW(&info) != FALSE;
}

bool ShellActions::Delete(HWND owner, const std::vector<std::wstring>& paths, bool toRecycleBin) {
    // The source is a list of NUL-terminated names ending in an empty one,
    // sized to the names it holds.
    std::wstring list;
    for (const auto& p : paths) {
        if (!FitsPathBuffer(p)) continue;
        list += p;
        list += L'\0';
    }
    if (list.empty()) return false;
    list += L'\0';

    SHFILEOPSTRUCTW op = {};
    op.hwnd = owner;
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = toRecycleBin ? FOF_ALLOWUNDO : 0;
    int rc = ::SHFileOperationW(&op);
    if (rc != 0) platform::Trace("SHFileOperationW(FO_DELETE) failed, code %d", rc);
    return rc == 0 && !op.fAnyOperationsAborted;
}

ShellActions& DefaultShellActions() {
    static ShellActions actions;
    return actions;
}

int OpenFiles(FileCommandSite& site, const std::vector<std::wstring>& paths, ShellActions& shell) {
    int opened = 0;
    site.HoldBar(true);
    for (const auto& p : paths) {
        if (!Exists(p)) continue;
        if (!shell.Open(site.CommandWindow(), p)) continue;
        ++opened;
        site.MarkListUsed();
    }
    site.HoldBar(false);
    if (opened > 0) site.MarkListUsed();
    return opened;
}

LRESULT RunFileCommand(FileCommandSite& site, WPARAM code, LPARAM mode, ShellActions& shell) {
    if (code > FILECMD_PROPERTIES) return 0;
    // Selecting all rows needs no selection to start from.
    if (code == FILECMD_SELECTALL) {
        site.SelectAllRows();
        return 0;
    }
    const std::vector<std::wstring> paths = site.CommandPaths();
    if (paths.empty()) return 0;

    switch (static_cast<int>(code)) {
    case FILECMD_OPEN: {
        if (paths.size() > static_cast<size_t>(kMaxRowsPerAction)) {
            const wchar_t* text = BkString::Get(IDS_TOO_MANY_FILES_TO_OPEN);
            site.ConfirmBox(text ? text : L"");
            return 0;
        }
        OpenFiles(site, paths, shell);
        return 0;
    }
    case FILECMD_CUT:
    case FILECMD_COPY: {
        std::vector<std::wstring> files = ExistingPaths(paths);
        if (files.empty()) return 0;
        if (code == FILECMD_CUT) CutFilesToClipboard(site.CommandWindow(), files);
        else CopyFilesToClipboard(site.CommandWindow(), files);
        return 0;
    }
    case FILECMD_DELETE: {
        std::vector<std::wstring> files = ExistingPaths(paths);
        if (files.empty()) return 0;
        shell.Delete(site.CommandWindow(), files, mode != FILECMD_DELETE_PERMANENTLY);
        site.RefreshRows();
        return 0;
    }
    case FILECMD_EDIT:
        site.MarkListUsed();
        return 0;
    case FILECMD_OPENCONTAINING: {
        // The shell's verb runs only for a shortcut whose target still exists.
        std::wstring target = ResolveShortcutTarget(paths.front());
        return Exists(target) ? 0 : static_cast<LRESULT>(E_FAIL);
    }
    case FILECMD_PROPERTIES: {
        // The list counts as used only when a sheet came up; the shell's
        // error box leaves the bar where it was.
        bool shown = false;
        site.HoldBar(true);
        for (const auto& p : paths) {
            if (Exists(p) && shell.ShowProperties(site.CommandWindow(), p)) shown = true;
        }
        site.HoldBar(false);
        if (shown) site.MarkListUsed();
        return 0;
    }
    default:
        return 0;
    }
}
