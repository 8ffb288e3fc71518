// What the result window does with its rows: sort requests from the header,
// the search history, double and right clicks, the action bar, the recovery
// hand-over, the confirmation boxes and the file commands built so far.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <climits>
#include <cstring>
#include <cwchar>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "index/index_record.h"
#include "platform/strconv.h"
#include "results/file_commands.h"
#include "results/recover_dlg.h"
#include "results/search_result_wnd.h"
#include "shell/stat_report.h"
#include "results/shell_menu.h"
#include "ui/bkstring.h"

namespace {

std::wstring StringOf(UINT id) {
    LPCWSTR text = BkString::Get(id);
    return text ? text : L"";
}

std::wstring FormatCount(UINT id, int count) {
    std::wstring pattern = StringOf(id);
    std::wstring text(pattern.size() + 16, L'\0');
    int n = std::swprintf(&text[0], text.size(), pattern.c_str(), count);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

// "The selected files are no longer where they were (N)".
constexpr UINT kVanishedFilesString = 66;

// The folder part of a path (before its last backslash), or "".
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Opens explorer with the item selected; true when the shell took it.
bool ShowInFolder(const std::wstring& path) {
    // Quoted, so a path with commas or blanks selects the right item.
    const std::wstring params = L"/select,\"" + path + L"\"";
    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", L"explorer.exe", params.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

// Thresholds of the header clicks: ask above `confirm` rows, show the busy
// animation above `busy` rows. Size and time sorts never ask.
struct SortLimits {
    int confirm;
    int busy;
};
SortLimits LimitsFor(int key) {
    switch (key) {
    case SORT_BY_NAME: return {300000, 30000};
    case SORT_BY_PATH: return {100000, 10000};
    case SORT_BY_TYPE: return {600000, 30000};
    default: return {INT_MAX, INT_MAX};
    }
}

}  // namespace

void CSearchResultWnd::MarkListUsed() {
    SendToOwner(WM_RESULT_LIST_USED, 0, 0);
}

// ------------------------------------------------------------------ boxes

int CSearchResultWnd::MessageBoxWithDock(const std::wstring& text, UINT type) {
    if (destroying_ || !IsWindow()) return 0;
    std::shared_ptr<bool> alive = alive_;
    HWND owner = owner_;
    const LRESULT previous = owner && ::IsWindow(owner) ? ::SendMessageW(owner, WM_DOCK_ENABLE, 1, 0) : 1;
    const std::wstring caption = StringOf(1);
    int answer;
    if (boxHook_) answer = boxHook_(boxContext_, text, type);
    else answer = ::MessageBoxW(Handle(), text.c_str(), caption.c_str(), type);
    // Nested boxes re-enable the dock only when it was enabled before.
    if (previous == 0 && owner && ::IsWindow(owner)) ::SendMessageW(owner, WM_DOCK_ENABLE, 0, 0);
    // The window may have gone while the box was up: then nothing goes on.
    if (!*alive || destroying_ || !IsWindow()) return 0;
    return answer;
}

int CSearchResultWnd::ConfirmBox(const std::wstring& text) {
    return MessageBoxWithDock(text, MB_OKCANCEL);
}

// ------------------------------------------------------------------ sorting

void CSearchResultWnd::OnColumnClick(int column) {
    if (column < 0 || column >= RESULTCOL_COUNT) return;
    const int key = column + 1;
    const int rows = list_.GetItemCount();
    const SortLimits limits = LimitsFor(key);
    if (rows > limits.confirm && ConfirmBox(StringOf(31)) != IDOK) return;
    CIndexManager* engine = Engine();
    if (!engine || destroying_) return;

    DisableListWhileEngineWorks();  // the engine's completion enables it again
    bool started;
    if (key == sortKey_) {
        // Reversing costs no sort: the engine only re-posts the count.
        descending_ = descending_ ? 0 : 1;
        started = engine->StartSort(SORT_NONE);
    } else {
        descending_ = 0;
        started = engine->StartSort(key);
        sortKey_ = key;
    }
    if (!started) {
        EnableListWithResults();
        return;
    }
    if (rows > limits.busy) SendToOwner(WM_SORT_STARTED, 0, 0);
}

// ------------------------------------------------------------------ history

void CSearchResultWnd::OnHistoryTimer() {
    if (destroying_ || !IsWindow()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    FILETIME nowTime;
    ::SystemTimeToFileTime(&now, &nowTime);
    const uint64_t elapsed = FileTimeValue(nowTime) - FileTimeValue(queryTime_);
    if (FileTimeValue(nowTime) >= FileTimeValue(queryTime_) && elapsed < historyDelay_) return;

    KillTimer(IDT_RESULT_HISTORY);
    if (lastQuery_.empty() || lastQuery_.size() > kMaxReportedQueryLength || history_.size() >= kMaxHistory) return;
    if (::lstrcmpiW(lastQuery_.c_str(), lastReportedQuery_.c_str()) == 0) return;
    for (const std::wstring& seen : history_)
        if (::lstrcmpiW(seen.c_str(), lastQuery_.c_str()) == 0) return;
    lastReportedQuery_ = lastQuery_;
    history_.push_back(lastQuery_);
    if (reportHook_)
        reportHook_(reportContext_, lastQuery_);
    else
        GetStatReport().AddSearch(lastQuery_.c_str());
}

// ------------------------------------------------------------------ recovery

void CSearchResultWnd::CollectDeleted(const std::wstring& path, const IndexRecord& record) {
    if (path.size() >= 3) {
        bool known = false;
        for (const std::wstring& root : driveRoots_)
            if (!root.empty() && root[0] == path[0]) known = true;
        if (!known) driveRoots_.push_back(path.substr(0, 3));
    }
    deletedTotal_ += static_cast<uint64_t>(record.Size);
}

int CSearchResultWnd::OnRecoverCommand() {
    driveRoots_.clear();
    deletedTotal_ = 0;
    std::vector<int> rows;
    for (int row : list_.GetSelectedItems()) {
        const int engineRow = MapRow(row);
        IndexRecord record;
        if (!FetchRecord(engineRow, &record) || (record.Flags & IRF_EXISTS)) continue;
        CollectDeleted(GetResultPathW(engineRow), record);
        rows.push_back(engineRow);
    }
    if (rows.empty()) return 1;
    RecoverSelection(rows);
    return 0;
}

int CSearchResultWnd::RecoverSelection(const std::vector<int>& engineRows) {
    if (destroying_ || !IsWindow() || engineRows.empty()) return 0;
    std::shared_ptr<bool> alive = alive_;
    HWND owner = owner_;
    const LRESULT previous = owner && ::IsWindow(owner) ? ::SendMessageW(owner, WM_DOCK_ENABLE, 1, 0) : 1;
    const int code = recoverHook_ ? recoverHook_(recoverContext_, engineRows)
                                  : RunRecoverDialog(Handle(), engineRows, driveRoots_);
    if (previous == 0 && owner && ::IsWindow(owner)) ::SendMessageW(owner, WM_DOCK_ENABLE, 0, code == 1 ? 1 : 0);
    return *alive && code == 1 ? 1 : 0;
}

// ------------------------------------------------------------------ clicks

void CSearchResultWnd::OpenFiles(const std::vector<std::wstring>& paths) {
    if (paths.empty()) return;
    if (static_cast<int>(paths.size()) > kMaxRowsPerAction) {
        ConfirmBox(StringOf(33));
        return;
    }
    OpenResultWindowFiles(*this, paths);
}

void CSearchResultWnd::OnItemDoubleClick() {
    driveRoots_.clear();
    deletedTotal_ = 0;
    std::vector<std::wstring> open;
    std::vector<int> deleted;
    for (int row : list_.GetSelectedItems()) {
        const int engineRow = MapRow(row);
        IndexRecord record;
        if (!FetchRecord(engineRow, &record)) continue;
        std::wstring path = GetResultPathW(engineRow);
        if (record.Flags & IRF_EXISTS) {
            if (::PathFileExistsW(path.c_str())) open.push_back(std::move(path));
        } else {
            CollectDeleted(path, record);
            deleted.push_back(engineRow);
        }
    }
    if (!deleted.empty() && open.empty()) {
        RecoverSelection(deleted);
        return;
    }
    if (!deleted.empty()) {
        wchar_t text[512];
        std::swprintf(text, 512,
                      L"双击打开的文件包含 %d 个已删除文件，如果需要进行恢复请点击“是”；"
                      L"如果需要打开未删除文件，请点击“否”；取消请点击“取消”",
                      static_cast<int>(deleted.size()));
        const int answer = MessageBoxWithDock(text, MB_YESNOCANCEL);
        if (answer == IDYES) RecoverSelection(deleted);
        else if (answer == IDNO) OpenFiles(open);
        return;
    }
    OpenFiles(open);
}

void CSearchResultWnd::OnItemRightClick(int x, int y) {
    driveRoots_.clear();
    deletedTotal_ = 0;
    std::vector<std::wstring> objects;
    std::vector<int> deleted;
    int others = 0;
    for (int row : list_.GetSelectedItems()) {
        const int engineRow = MapRow(row);
        IndexRecord record;
        if (!FetchRecord(engineRow, &record)) continue;
        std::wstring path = GetResultPathW(engineRow);
        if ((record.Flags & IRF_EXISTS) && ::PathFileExistsW(path.c_str())) {
            objects.push_back(std::move(path));
            continue;
        }
        ++others;
        if (!(record.Flags & IRF_EXISTS)) {
            CollectDeleted(path, record);
            deleted.push_back(engineRow);
        }
    }

    if (!objects.empty()) {
        POINT pt = {x, y};
        ::ClientToScreen(list_.Handle(), &pt);
        std::shared_ptr<bool> alive = alive_;
        HWND owner = owner_;
        const LRESULT previous = owner && ::IsWindow(owner) ? ::SendMessageW(owner, WM_DOCK_HOLD, 1, 0) : 1;
        const UINT command = ShowResultContextMenu(Handle(), objects, others > 0, pt);
        if (previous == 0 && owner && ::IsWindow(owner)) ::SendMessageW(owner, WM_DOCK_HOLD, 0, 0);
        if (!*alive || destroying_ || !IsWindow()) return;
        if (command != 0) SendMessage(WM_COMMAND, command, 0);
        return;
    }
    if (others == 0) return;
    if (deleted.empty()) {
        // Every row is a file that has gone since it was indexed: there is
        // nothing to open and nothing the index could recover.
        MessageBoxWithDock(FormatCount(kVanishedFilesString, others), MB_OK);
        return;
    }
    // The count is what OK recovers; files gone since indexing are not among them.
    const int answer = MessageBoxWithDock(FormatCount(51, static_cast<int>(deleted.size())), MB_OKCANCEL);
    if (answer == IDOK) RecoverSelection(deleted);
}

int CSearchResultWnd::OnOpenContainingFolderCommand() {
    const std::vector<int> rows = list_.GetSelectedItems();
    if (rows.empty()) return 0;
    if (static_cast<int>(rows.size()) > kMaxRowsPerAction) {
        ConfirmBox(StringOf(32));
        return 0;
    }
    bool any = false;
    for (int row : rows) {
        const std::wstring path = GetResultPathW(MapRow(row));
        const std::wstring folder = FolderOf(path);
        // Deleted rows qualify as long as their folder is there.
        if (!folder.empty() && ::PathFileExistsW(folder.c_str()) && ShowInFolder(path)) any = true;
    }
    if (any) MarkListUsed();
    return any ? 1 : 0;
}

// ------------------------------------------------------------------ action bar

void CSearchResultWnd::OnRowAction(int row, int action, int single) {
    if (single) {
        const int engineRow = MapRow(row);
        IndexRecord record;
        if (!FetchRecord(engineRow, &record)) return;
        const std::wstring path = GetResultPathW(engineRow);
        switch (action) {
        case ROWACTION_OPEN:
            OpenResultWindowFiles(*this, {path});
            break;
        case ROWACTION_OPEN_FOLDER: {
            const std::wstring folder = FolderOf(path);
            if (!folder.empty() && ::PathFileExistsW(folder.c_str()) && ShowInFolder(path)) MarkListUsed();
            break;
        }
        case ROWACTION_COPY_FILE:
            if (::PathFileExistsW(path.c_str())) CopyFilesToClipboard({path});
            break;
        case ROWACTION_COPY_PATH:
            CopyTextToClipboard(path);
            break;
        case ROWACTION_RECOVER:
            driveRoots_.clear();
            deletedTotal_ = 0;
            CollectDeleted(path, record);
            RecoverSelection({engineRow});
            break;
        default:
            break;
        }
        return;
    }

    const std::vector<int> rows = list_.GetSelectedItems();
    if (rows.empty()) return;
    switch (action) {
    case ROWACTION_OPEN: {
        if (static_cast<int>(rows.size()) > kMaxRowsPerAction) {
            ConfirmBox(StringOf(33));
            break;
        }
        std::vector<std::wstring> paths;
        for (int selected : rows) paths.push_back(GetResultPathW(MapRow(selected)));
        OpenResultWindowFiles(*this, paths);
        break;
    }
    case ROWACTION_OPEN_FOLDER:
        OnOpenContainingFolderCommand();
        break;
    case ROWACTION_COPY_FILE: {
        std::vector<std::wstring> files;
        for (int selected : rows) {
            std::wstring path = GetResultPathW(MapRow(selected));
            if (!path.empty() && ::PathFileExistsW(path.c_str())) files.push_back(std::move(path));
        }
        if (!files.empty()) CopyFilesToClipboard(files);
        break;
    }
    case ROWACTION_COPY_PATH: {
        std::vector<std::wstring> paths;
        for (int selected : rows) paths.push_back(GetResultPathW(MapRow(selected)));
        const std::wstring text = JoinPathsAsText(paths);
        if (!text.empty()) CopyTextToClipboard(text);
        break;
    }
    case ROWACTION_RECOVER:
        OnRecoverCommand();
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------------ file commands

LRESULT CSearchResultWnd::OnFileCommand(WPARAM command, LPARAM mode) {
    return RunResultWindowFileCommand(*this, command, mode);
}

// ------------------------------------------------------------------ clipboard

bool CSearchResultWnd::CopyTextToClipboard(const std::wstring& text) {
    return ::CopyTextToClipboard(Handle(), text);
}

bool CSearchResultWnd::CopyFilesToClipboard(const std::vector<std::wstring>& paths) {
    return ::CopyFilesToClipboard(Handle(), paths);
}
