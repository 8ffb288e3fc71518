// The result window: search start, results, row texts and the engine's
// messages. Sorting, history and what happens to selected rows live in
// result_actions.cpp.
#include "results/search_result_wnd.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>

#include "index/app_context.h"
#include "index/index_manager.h"
#include "index/index_record.h"
#include "platform/lock.h"
#include "platform/strconv.h"
#include "ui/bkfontpool.h"
#include "ui/bkstring.h"

constexpr int CSearchResultWnd::kColumnWidths[RESULTCOL_COUNT];
constexpr UINT CSearchResultWnd::kColumnTitleIds[RESULTCOL_COUNT];

CSearchResultWnd::CSearchResultWnd() : alive_(std::make_shared<bool>(true)) {}

CSearchResultWnd::~CSearchResultWnd() {
    // Code that returns from a modal box after this object is gone sees it.
    *alive_ = false;
    if (IsWindow()) DestroyWindow();
}

HWND CSearchResultWnd::Create(HWND parent) {
    RECT rc = {0, 0, 0, 0};
    if (parent == nullptr || parent == ::GetDesktopWindow()) {
        // A pop-up the panel places in screen coordinates, owned by the panel
        // so that it stays above it.
        return platform::WindowImpl<CSearchResultWnd>::Create(owner_, &rc, nullptr, WS_POPUP | WS_CLIPCHILDREN,
                                                              WS_EX_TOOLWINDOW);
    }
    return platform::WindowImpl<CSearchResultWnd>::Create(parent, &rc, nullptr,
                                                          WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0);
}

CIndexManager* CSearchResultWnd::Engine() const {
    return GetAppContext()->IndexManager;
}

bool CSearchResultWnd::IndexLoading() const {
    CIndexManager* engine = Engine();
    return engine && !engine->IsLoadDone();
}

LRESULT CSearchResultWnd::SendToOwner(UINT msg, WPARAM wp, LPARAM lp) {
    if (!owner_ || !::IsWindow(owner_)) return 0;
    return ::SendMessageW(owner_, msg, wp, lp);
}

// ------------------------------------------------------------------ window

LRESULT CSearchResultWnd::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    destroying_ = false;
    list_.SetOwner(this);
    if (!list_.Create(Handle())) return -1;
    list_.SetFont(BkFontPool::GetFont(BKF_MAKEKEY(2, 0)));
    for (int col = 0; col < RESULTCOL_COUNT; ++col) {
        LPCWSTR title = BkString::Get(kColumnTitleIds[col]);
        list_.InsertColumn(title ? title : L"", kColumnWidths[col]);
    }
    list_.SetItemCount(0);
    if (CIndexManager* engine = Engine()) engine->SetNotifyWindow(Handle());
    ResizeList();
    return 0;
}

LRESULT CSearchResultWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    destroying_ = true;
    KillTimer(IDT_RESULT_HISTORY);
    CIndexManager* engine = Engine();
    if (engine && engine->NotifyWindow() == Handle()) engine->SetNotifyWindow(nullptr);
    handled = FALSE;
    return 0;
}

LRESULT CSearchResultWnd::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam) return TRUE;
    if (owner_) ::PostMessageW(owner_, WM_SEARCH_EDIT_KILLFOCUS, 0, 0);
    handled = FALSE;
    return 0;
}

LRESULT CSearchResultWnd::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
    ResizeList();
    return 0;
}

LRESULT CSearchResultWnd::OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    // A window that has just been shown has nothing drawn until its paint
    // messages come round, and a compositor shows what lies behind it until
    // then. The window and its list paint before the caller goes on.
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && (pos->flags & SWP_SHOWWINDOW))
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    handled = FALSE;
    return 0;
}

LRESULT CSearchResultWnd::OnSwallowCommand(WORD code, WORD, HWND, BOOL& handled) {
    // Enter and Esc never end the window.
    if (code != 0) handled = FALSE;
    return 0;
}

LRESULT CSearchResultWnd::OnOpenContainingFolder(WORD, WORD, HWND, BOOL&) {
    OnOpenContainingFolderCommand();
    return 0;
}

LRESULT CSearchResultWnd::OnRecoverDeleted(WORD, WORD, HWND, BOOL&) {
    OnRecoverCommand();
    return 0;
}

LRESULT CSearchResultWnd::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam == IDT_RESULT_HISTORY) OnHistoryTimer();
    return 0;
}

LRESULT CSearchResultWnd::OnSearchChanged(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    SendToOwner(msg, wParam, lParam);
    return 0;
}

LRESULT CSearchResultWnd::OnFileCommandMessage(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    return OnFileCommand(wParam, lParam);
}

LRESULT CSearchResultWnd::OnSearchResultsMessage(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    OnSearchResults(wParam, lParam);
    return 0;
}

void CSearchResultWnd::ResizeList() {
    if (!IsWindow() || !list_.IsWindow()) return;
    RECT rc = GetClientRect();
    list_.MoveWindow(rc, true);
}

// ------------------------------------------------------------------ search

int CSearchResultWnd::StartSearch(const std::wstring& query, const FILETIME& dateFrom, const FILETIME& dateTo,
                                  LONGLONG sizeMin, LONGLONG sizeMax, const std::wstring& pathPrefix,
                                  int fileState) {
    if (!query.empty()) {
        lastQuery_ = query;
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        ::SystemTimeToFileTime(&now, &queryTime_);
        if (IsWindow()) SetTimer(IDT_RESULT_HISTORY, IDT_RESULT_HISTORY_MS);
    }
    // Every new search shows the engine's own order.
    sortKey_ = SORT_NONE;
    descending_ = 0;

    CSearchQuery search;
    search.Pattern = query;
    search.DateFrom = dateFrom;
    search.DateTo = dateTo;
    search.SizeMin = static_cast<ULONGLONG>(sizeMin);
    search.SizeMax = static_cast<ULONGLONG>(sizeMax);
    search.PathPrefix = pathPrefix;
    search.FileState = static_cast<uint32_t>(fileState);
    search.FilterMask = filterMask_;
    search.FullScan = fullSearch_;
    search.PassThrough = passThrough_;

    // Nothing can be clicked while the engine works.
    list_.SetItemCount(0);
    deletedRows_ = -1;
    DisableListWhileEngineWorks();
    if (CIndexManager* engine = Engine()) engine->StartSearch(search);
    return 1;
}

void CSearchResultWnd::DisableListWhileEngineWorks() {
    if (!list_.IsWindow()) return;
    // Disabling the list takes the keyboard from it.
    if (::GetFocus() == list_.Handle()) listHadFocus_ = true;
    list_.EnableWindow(false);
}

void CSearchResultWnd::EnableListWithResults() {
    if (!list_.IsWindow()) return;
    list_.EnableWindow(true);
    // Back to the list, unless the user has put the keyboard elsewhere since.
    if (listHadFocus_ && ::GetFocus() == nullptr && ::GetActiveWindow() == Handle()) ::SetFocus(list_.Handle());
    listHadFocus_ = false;
}

void CSearchResultWnd::OnSearchResults(WPARAM count, LPARAM deleted) {
    // A sort re-posts the count with -1 and keeps the deleted count.
    if (deleted != -1) deletedRows_ = deleted >= 0 && deleted <= INT_MAX ? static_cast<int>(deleted) : -1;
    const int rows = count > static_cast<WPARAM>(INT_MAX) ? INT_MAX : static_cast<int>(count);
    list_.SetItemCount(rows);
    if (deletedRows_ > rows) deletedRows_ = -1;
    EnableListWithResults();
    SendToOwner(WM_SEARCH_RESULTS, count, deleted);
}

// ------------------------------------------------------------------ rows

int CSearchResultWnd::MapRow(int displayRow) const {
    const int count = list_.GetItemCount();
    if (displayRow < 0 || displayRow >= count) return -1;
    return descending_ ? count - 1 - displayRow : displayRow;
}

bool CSearchResultWnd::FetchRecord(int engineRow, IndexRecord* record) {
    CIndexManager* engine = Engine();
    if (!engine || engineRow < 0 || IndexLoading()) return false;
    return engine->GetResultRecord(static_cast<size_t>(engineRow), record);
}

std::string CSearchResultWnd::GetResultPath(int engineRow) {
    CIndexManager* engine = Engine();
    std::string path;
    if (!engine || engineRow < 0 || IndexLoading() || !engine->GetResultPath(static_cast<size_t>(engineRow), &path))
        return std::string();
    return path;
}

std::wstring CSearchResultWnd::GetResultPathW(int engineRow) {
    return platform::AnsiToWide(GetResultPath(engineRow));
}

bool CSearchResultWnd::IsItemDeleted(int row) {
    IndexRecord record;
    if (!FetchRecord(MapRow(row), &record)) return false;
    return (record.Flags & IRF_EXISTS) == 0;
}

int CSearchResultWnd::CountDeletedRows(int first, int last, const std::vector<uint8_t>* skip) {
    CIndexManager* engine = Engine();
    if (!engine || IndexLoading()) return 0;
    first = std::max(first, 0);
    last = std::min(last, list_.GetItemCount() - 1);
    if (skip && skip->size() < static_cast<size_t>(last + 1)) return 0;
    constexpr int kBlock = 4096;  // rows per hold of the record lock
    int deleted = 0;
    IndexRecord record;
    for (int row = first; row <= last;) {
        platform::ScopedLock lock(engine->RecordLock());
        const int end = std::min(last, row + kBlock - 1);
        for (; row <= end; ++row) {
            if (skip && (*skip)[row]) continue;
            const int engineRow = MapRow(row);
            if (engine->GetResultRecord(static_cast<size_t>(engineRow), &record) && !(record.Flags & IRF_EXISTS))
                ++deleted;
        }
    }
    return deleted;
}

bool CSearchResultWnd::GetRowTexts(int row, ResultRowTexts* out) {
    for (std::wstring& text : out->Text) text.clear();
    out->IsFolder = false;
    out->IsDeleted = false;
    CIndexManager* engine = Engine();
    if (!engine || IndexLoading() || list_.GetItemCount() == 0) return false;
    const int engineRow = MapRow(row);
    if (engineRow < 0) return false;

    // Each accessor answers false for a row that a reload made stale.
    IndexRecord record;
    std::string name;
    std::string path;
    if (!engine->GetResultRecord(static_cast<size_t>(engineRow), &record) ||
        !engine->GetResultName(static_cast<size_t>(engineRow), &name) ||
        !engine->GetResultPath(static_cast<size_t>(engineRow), &path))
        return false;

    out->IsFolder = (record.Flags & IRF_DIRECTORY) != 0;
    out->IsDeleted = (record.Flags & IRF_EXISTS) == 0;
    std::wstring wideName = platform::AnsiToWide(name);
    std::wstring widePath = platform::AnsiToWide(path);

    const size_t slash = widePath.rfind(L'\\');
    out->Text[RESULTCOL_DIRECTORY] = slash == std::wstring::npos ? widePath : widePath.substr(0, slash);
    if (!out->IsFolder) {
        const size_t dot = wideName.rfind(L'.');
        out->Text[RESULTCOL_TYPE] = dot == std::wstring::npos ? wideName : wideName.substr(dot + 1);
        out->Text[RESULTCOL_SIZE] = FormatSize(static_cast<uint64_t>(record.Size));
    }
    out->Text[RESULTCOL_MODIFIED] = FormatTime(FileTimeValue(record.Time2));
    out->Text[RESULTCOL_NAME] = std::move(wideName);
    return true;
}

std::wstring CSearchResultWnd::GetItemText(int row, int column, BOOL* isFolder, BOOL* isDeleted) {
    ResultRowTexts texts;
    if (!GetRowTexts(row, &texts)) return std::wstring();
    if (isFolder) *isFolder = texts.IsFolder ? TRUE : FALSE;
    if (isDeleted) *isDeleted = texts.IsDeleted ? TRUE : FALSE;
    if (column < 0 || column >= RESULTCOL_COUNT) return std::wstring();
    return texts.Text[column];
}

std::wstring CSearchResultWnd::FormatSize(uint64_t size) {
    static const uint64_t kKB = 1024, kMB = kKB * 1024, kGB = kMB * 1024;
    const wchar_t* unit = nullptr;
    double value = 0;
    if (size > kGB || size >= (uint64_t{1} << 32)) {
        value = static_cast<double>(size) / kGB;
        unit = L" GB";
    } else if (size > kMB) {
        value = static_cast<double>(size) / kMB;
        unit = L" MB";
    } else if (size > kKB) {
        value = static_cast<double>(size) / kKB;
        unit = L" KB";
    } else {
        wchar_t bytes[32];
        std::swprintf(bytes, 32, L"%u B", static_cast<unsigned>(size));
        return bytes;
    }
    wchar_t text[64];
    std::swprintf(text, 64, L"%.2f", value);
    std::wstring result = text;
    // "2.00" shows 2, "1.50" shows 1.5, "1.05" stays.
    if (!result.empty() && result.back() == L'0') {
        result.pop_back();
        if (!result.empty() && result.back() == L'0') {
            result.pop_back();
            if (!result.empty() && result.back() == L'.') result.pop_back();
        }
    }
    return result + unit;
}

std::wstring CSearchResultWnd::FormatTime(uint64_t fileTime) {
    SYSTEMTIME st;
    const FILETIME ft = MakeFileTime(fileTime);
    // The index keeps local time: no time-zone conversion.
    if (!::FileTimeToSystemTime(&ft, &st)) return std::wstring();
    wchar_t text[32];
    std::swprintf(text, 32, L"%04d-%02d-%02d %02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute);
    return text;
}
