#pragma once
// The result window: starts every search, turns the engine's result list into
// the rows of its virtual list, and decides what sorting, double clicks, right
// clicks and the action bar do with the selected rows. It is also the engine's
// notify window and passes the engine's messages on to its owner, the result
// panel.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/activation.h"
#include "platform/window_impl.h"
#include "results/list_ctrl.h"
#include "results/result_messages.h"
#include "results/shell_menu.h"

class CIndexManager;
struct IndexRecord;

class CSearchResultWnd : public platform::WindowImpl<CSearchResultWnd> {
public:
    // Column widths (px). Type, size and time fit their widest texts in the
    // default face ("markdown", "1023.99 MB", "2088-08-28 08:08" with 8 px
    // on each side); the path column gives up the room.
    static constexpr int kColumnWidths[RESULTCOL_COUNT] = {206, 256, 76, 84, 124};
    static constexpr UINT kColumnTitleIds[RESULTCOL_COUNT] = {26, 27, 28, 29, 30};
    static constexpr size_t kMaxHistory = 100;
    static constexpr size_t kMaxReportedQueryLength = 20;
    static constexpr ULONGLONG kHistoryDelay = 30000000;  // 3 s in 100-ns units

    CSearchResultWnd();
    ~CSearchResultWnd() override;

    // A fixed class name, so tools and tests can find the window.
    static const wchar_t* WindowClassName() { return L"LumsekSearchResult"; }
    // The list's own white: any part the list does not cover yet is never
    // left unpainted (see-through under a compositor).
    static HBRUSH WindowClassBackground() { return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)); }

    // The result panel; every private message goes there.
    void SetOwner(HWND owner) { owner_ = owner; }
    HWND GetOwnerWindow() const { return owner_; }
    // Creates the hidden window. A null or desktop parent gives a pop-up
    // owned by the owner window (the panel places it in screen coordinates);
    // any other parent a child window.
    HWND Create(HWND parent);

    void SetFilterMask(DWORD mask) { filterMask_ = mask; }
    DWORD GetFilterMask() const { return filterMask_; }
    void SetFullSearch(DWORD flag) { fullSearch_ = flag; }
    DWORD GetFullSearch() const { return fullSearch_; }
    void SetPassThrough(DWORD value) { passThrough_ = value; }
    DWORD GetPassThrough() const { return passThrough_; }

    // Starts a search of the engine with the given filters; returns 1.
    int StartSearch(const std::wstring& query, const FILETIME& dateFrom, const FILETIME& dateTo, LONGLONG sizeMin,
                    LONGLONG sizeMax, const std::wstring& pathPrefix, int fileState);
    // Fits the list to the window.
    void ResizeList();
    OListCtrl<CSearchResultWnd>& GetList() { return list_; }

    // --- rows ----------------------------------------------------------------
    // The engine row a display row stands for (reversed while descending);
    // -1 for a row outside the list.
    int MapRow(int displayRow) const;
    // Text of one cell; isFolder / isDeleted report the row's record.
    std::wstring GetItemText(int row, int column, BOOL* isFolder, BOOL* isDeleted);
    // All cells of a display row at once; false (texts empty) when the row
    // or its record is gone or the index still loads.
    bool GetRowTexts(int row, ResultRowTexts* out);
    bool IsItemDeleted(int row);
    // Deleted rows among [first, last] whose flag in `skip` (when given) is
    // clear; one load check and a lock per block of rows, for selections of
    // millions of rows.
    int CountDeletedRows(int first, int last, const std::vector<uint8_t>* skip);
    // Deleted rows of the result set as the engine counted them, -1 unknown.
    int GetDeletedRowCount() const { return deletedRows_; }
    // Full path of an engine row: ANSI as indexed, and wide.
    std::string GetResultPath(int engineRow);
    std::wstring GetResultPathW(int engineRow);

    // Size text of the size column: "0 B", "1.5 KB", "5 GB".
    static std::wstring FormatSize(uint64_t size);
    // "%04d-%02d-%02d %02d:%02d" of a local-time FILETIME value; "" when invalid.
    static std::wstring FormatTime(uint64_t fileTime);

    // --- engine messages -------------------------------------------------------
    void OnSearchResults(WPARAM count, LPARAM deleted);

    // --- list callbacks --------------------------------------------------------
    void OnColumnClick(int column);
    void OnItemDoubleClick();
    void OnItemRightClick(int x, int y);
    void OnRowAction(int row, int action, int single);

    // --- commands ---------------------------------------------------------------
    // WM_RESULT_KEY_COMMAND / WM_RESULT_MENU_COMMAND: FILECMD_* with its mode.
    LRESULT OnFileCommand(WPARAM command, LPARAM mode);
    int OnRecoverCommand();
    int OnOpenContainingFolderCommand();
    // Hands deleted engine rows to the recovery dialog; 1 when it ended with 1.
    int RecoverSelection(const std::vector<int>& engineRows);
    // MB_OKCANCEL box with the product name as caption; answers the button.
    int ConfirmBox(const std::wstring& text);
    int MessageBoxWithDock(const std::wstring& text, UINT type);
    void OnHistoryTimer();
    bool CopyTextToClipboard(const std::wstring& text);
    bool CopyFilesToClipboard(const std::vector<std::wstring>& paths);

    // --- state read by the panel and the tests --------------------------------
    int GetAppliedSortKey() const { return sortKey_; }
    bool IsDescending() const { return descending_ != 0; }
    const std::vector<std::wstring>& GetHistory() const { return history_; }
    const std::wstring& GetLastQuery() const { return lastQuery_; }
    const std::vector<std::wstring>& GetDriveRoots() const { return driveRoots_; }
    uint64_t GetDeletedTotal() const { return deletedTotal_; }
    // Replaces the message box of ConfirmBox and the Yes/No/Cancel question
    // (tests answer without a modal loop); null restores the real box.
    using MessageBoxHook = int (*)(void* context, const std::wstring& text, UINT type);
    void SetMessageBoxHook(MessageBoxHook hook, void* context) {
        boxHook_ = hook;
        boxContext_ = context;
    }
    // Receives each reported query instead of the statistics file (null: the
    // statistics file).
    using HistoryReportHook = void (*)(void* context, const std::wstring& query);
    void SetHistoryReportHook(HistoryReportHook hook, void* context) {
        reportHook_ = hook;
        reportContext_ = context;
    }
    // How long (100-ns units) a query must stand before the history takes
    // it; tests shorten it.
    void SetHistoryDelay(ULONGLONG delay) { historyDelay_ = delay; }
    // Replaces the recovery dialog (answers its end code).
    using RecoverHook = int (*)(void* context, const std::vector<int>& engineRows);
    void SetRecoverHook(RecoverHook hook, void* context) {
        recoverHook_ = hook;
        recoverContext_ = context;
    }

    WINDOW_MAP_BEGIN(CSearchResultWnd)
        ON_WINDOW_MESSAGE(WM_CREATE, OnCreate)
        ON_WINDOW_MESSAGE(WM_DESTROY, OnDestroy)
        ON_WINDOW_MESSAGE(WM_NCACTIVATE, OnNcActivate)
        ON_WINDOW_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
        ON_WINDOW_MESSAGE(WM_SIZE, OnSize)
        ON_WINDOW_MESSAGE(WM_WINDOWPOSCHANGED, OnWindowPosChanged)
        ON_WINDOW_COMMAND(IDOK, OnSwallowCommand)
        ON_WINDOW_COMMAND(IDCANCEL, OnSwallowCommand)
        ON_WINDOW_COMMAND(ID_OPEN_CONTAINING_FOLDER, OnOpenContainingFolder)
        ON_WINDOW_COMMAND(ID_RECOVER_DELETED, OnRecoverDeleted)
        ON_WINDOW_MESSAGE(WM_TIMER, OnTimer)
        ON_WINDOW_MESSAGE(WM_SEARCH_CHANGED, OnSearchChanged)
        ON_WINDOW_MESSAGE(WM_RESULT_KEY_COMMAND, OnFileCommandMessage)
        ON_WINDOW_MESSAGE(WM_RESULT_MENU_COMMAND, OnFileCommandMessage)
        ON_WINDOW_MESSAGE(WM_SEARCH_RESULTS, OnSearchResultsMessage)
        // Shell submenus that fill themselves while the context menu is up.
        ON_WINDOW_MESSAGE(WM_INITMENUPOPUP, ForwardShellMenuMessage)
        ON_WINDOW_MESSAGE(WM_DRAWITEM, ForwardShellMenuMessage)
        ON_WINDOW_MESSAGE(WM_MEASUREITEM, ForwardShellMenuMessage)
        ON_WINDOW_MESSAGE(WM_MENUCHAR, ForwardShellMenuMessage)
    WINDOW_MAP_END()

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcActivate(UINT, WPARAM, LPARAM, BOOL&);
    // The list takes the keyboard when clicked, not when a window manager
    // offers it the focus as it shows.
    LRESULT OnMouseActivate(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
        return platform::RefuseOfferedActivation(Handle(), lParam, bHandled);
    }
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnWindowPosChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSwallowCommand(WORD code, WORD id, HWND, BOOL& handled);
    LRESULT OnOpenContainingFolder(WORD, WORD, HWND, BOOL&);
    LRESULT OnRecoverDeleted(WORD, WORD, HWND, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSearchChanged(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFileCommandMessage(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSearchResultsMessage(UINT, WPARAM, LPARAM, BOOL&);

    CIndexManager* Engine() const;
    bool IndexLoading() const;
    bool FetchRecord(int engineRow, IndexRecord* record);
    // Adds a deleted record's drive root and size to the recovery collection.
    void CollectDeleted(const std::wstring& path, const IndexRecord& record);
    void MarkListUsed();
    LRESULT SendToOwner(UINT msg, WPARAM wp, LPARAM lp);
    // Opens files with the shell; refused with string 33 above the limit.
    void OpenFiles(const std::vector<std::wstring>& paths);
    // The list cannot be used while the engine searches or sorts; the
    // keyboard it held comes back to it with the results.
    void DisableListWhileEngineWorks();
    void EnableListWithResults();

    HWND owner_ = nullptr;
    OListCtrl<CSearchResultWnd> list_;
    DWORD filterMask_ = 0;
    DWORD fullSearch_ = 1;
    DWORD passThrough_ = 1;
    int sortKey_ = 0;
    int descending_ = 0;
    int deletedRows_ = -1;
    bool destroying_ = false;
    bool listHadFocus_ = false;
    // Shared with code waiting in a modal box; false once this object is gone.
    std::shared_ptr<bool> alive_;
    std::vector<std::wstring> driveRoots_;
    uint64_t deletedTotal_ = 0;
    std::wstring lastQuery_;
    std::wstring lastReportedQuery_;
    FILETIME queryTime_ = {0, 0};
    std::vector<std::wstring> history_;
    ULONGLONG historyDelay_ = kHistoryDelay;
    MessageBoxHook boxHook_ = nullptr;
    void* boxContext_ = nullptr;
    HistoryReportHook reportHook_ = nullptr;
    void* reportContext_ = nullptr;
    RecoverHook recoverHook_ = nullptr;
    void* recoverContext_ = nullptr;
};
