#pragma once
// The owner-drawn virtual list of the result window. It keeps only the row
// count, one selection flag per row, the columns and its scroll state; the
// text and state of every visible cell come from the owner while painting,
// so millions of rows cost nothing until they are drawn.
//
// TOwner supplies:
//   std::wstring GetItemText(int row, int column, BOOL* isFolder, BOOL* isDeleted);
//   bool GetRowTexts(int row, ResultRowTexts* out);     // one fetch per painted row
//   bool IsItemDeleted(int row);                         // cheap state of one row
//   int  CountDeletedRows(int first, int last, const std::vector<uint8_t>* skip);
//   int  GetDeletedRowCount() const;                     // deleted rows of the set, -1 unknown
//   void OnColumnClick(int column);
//   void OnItemDoubleClick();
//   void OnItemRightClick(int x, int y);
//   void OnRowAction(int row, int action, int single);
//   HWND Handle() const;
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window_impl.h"
#include "results/icon_cache.h"
#include "results/result_messages.h"

// Everything the list draws for one row.
struct ResultRowTexts {
    std::wstring Text[RESULTCOL_COUNT];
    bool IsFolder = false;
    bool IsDeleted = false;
};

template <class TOwner>
class OListCtrl : public platform::WindowImpl<OListCtrl<TOwner>> {
    using Base = platform::WindowImpl<OListCtrl<TOwner>>;

public:
    // Geometry of the rows, the header and the action bar.
    static constexpr int kRowHeight = 24;
    static constexpr int kHeaderHeight = 25;
    static constexpr int kExpansionStep = 34;
    static constexpr int kDividerZone = 6;        // px right of a column edge that grab it
    static constexpr int kMinColumnWidth = 80;    // a dragged column stays wider than this
    static constexpr int kActionBarLeft = 60;
    static constexpr int kActionBarGap = 20;
    static constexpr int kActionBarTop = 29;      // below the expanded row's top
    static constexpr int kActionBarHeight = 24;
    static constexpr int kWheelRows = 3;
    static constexpr int kLineStep = 10;
    // The list draws its own flat scroll bars inside the client area.
    static constexpr int kScrollBarSize = 12;
    static constexpr int kMinThumb = 24;
    static constexpr int kThumbInset = 2;

    OListCtrl();
    ~OListCtrl() override;

    static UINT WindowClassStyle() { return CS_DBLCLKS; }
    static const wchar_t* WindowClassName() { return L"LumsekResultList"; }

    void SetOwner(TOwner* owner) { owner_ = owner; }
    TOwner* GetOwner() const { return owner_; }
    // Creates the list as a visible child of `parent`.
    HWND Create(HWND parent);

    // --- rows and columns --------------------------------------------------
    // New result set: selection cleared, scrolled to the top, row 0 expanded.
    void SetItemCount(int count);
    int GetItemCount() const { return rowCount_; }
    void InsertColumn(const std::wstring& title, int width);
    int GetColumnCount() const { return static_cast<int>(columns_.size()); }
    int GetColumnWidth(int column) const;
    int GetColumnFitWidth(int column) const;
    // Forgets the fit widths and repaints everything.
    void ResetItemStates();

    // --- selection ---------------------------------------------------------
    const std::vector<int>& GetSelectedItems();
    bool IsSelected(int row) const;
    int GetSelectedCount() const;
    int GetSelectedDeletedCount() const { return selectedDeleted_; }
    void SelectAll();
    void SelectItem(int row);
    void ToggleItem(int row);
    // -1 is the last row; a position outside the rows does nothing.
    void SelectOnly(int position);
    // Scrolls the current row into view: under the header (alignTop 1) or
    // at the bottom (0); nothing when it is already in view.
    void EnsureVisible(int alignTop);
    int GetCurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row);

    // --- state read by the owner and the tests -----------------------------
    int GetExpandedRow() const { return expandedRow_; }
    int GetVerticalOffset() const { return verticalOffset_; }
    int GetHorizontalOffset() const { return horizontalOffset_; }
    int GetRowsPerPage() const { return rowsPerPage_; }
    int GetActionBarMode() const { return actionBarMode_; }
    int GetHotHeaderColumn() const { return hotHeaderColumn_; }
    int GetHotActionButton() const { return hotActionButton_; }
    bool IsDragSelecting() const { return dragSelecting_ != 0; }
    // Top of a row in client coordinates (may lie outside the client area).
    int RowTop(int row) const;
    int RowHeight(int row) const;
    // The row under a client point, or -1 (header, below the rows, no rows).
    int RowFromPoint(int y) const;
    // The shown action button under a client point of the expanded row, or -1.
    int ActionFromPoint(int x, int y) const;
    // Left and right of a shown action button (client x), false when hidden.
    bool GetActionButtonRect(int action, RECT* rc) const;
    // Paints the whole client area into `dc` (what WM_PAINT and WM_PRINT show).
    void DoPaint(HDC dc);

    // --- scroll bars (SB_VERT, SB_HORZ) --------------------------------------
    // Scroll position in pixels (minus the offset) and its largest value.
    int GetScrollPos(int bar) const;
    int GetScrollMax(int bar) const;
    // The bar's track and thumb in client coordinates; false when the bar is
    // not shown. The thumb is empty when there is nothing to scroll.
    bool GetScrollBarRects(int bar, RECT* track, RECT* thumb) const;
    // The part of the client area the rows and the header use (without the bars).
    int ViewWidth() const;
    int ViewHeight() const;
    size_t IconCacheSize() const { return icons_.Size(); }

    WINDOW_MAP_BEGIN(OListCtrl)
        ON_WINDOW_MESSAGE(WM_SIZE, OnSize)
        ON_WINDOW_MESSAGE(WM_PAINT, OnPaint)
        ON_WINDOW_MESSAGE(WM_PRINTCLIENT, OnPrintClient)
        ON_WINDOW_MESSAGE(WM_ERASEBKGND, OnEraseBkgnd)
        ON_WINDOW_MESSAGE(WM_SETCURSOR, OnSetCursor)
        ON_WINDOW_MESSAGE(WM_KEYDOWN, OnKeyDown)
        ON_WINDOW_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
        ON_WINDOW_MESSAGE(WM_TIMER, OnAutoScrollTimer)
        ON_WINDOW_MESSAGE(WM_HSCROLL, OnHScroll)
        ON_WINDOW_MESSAGE(WM_VSCROLL, OnVScroll)
        ON_WINDOW_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
        ON_WINDOW_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
        ON_WINDOW_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
        ON_WINDOW_MESSAGE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
        ON_WINDOW_MESSAGE(WM_RBUTTONDOWN, OnRButtonDown)
        ON_WINDOW_MESSAGE(WM_RBUTTONUP, OnRButtonUp)
        ON_WINDOW_MESSAGE(WM_MOUSEWHEEL, OnMouseWheel)
        ON_WINDOW_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
        ON_WINDOW_MESSAGE(WM_CAPTURECHANGED, OnCaptureChanged)
    WINDOW_MAP_END()

    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPrintClient(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGetDlgCode(UINT, WPARAM, LPARAM, BOOL&) { return DLGC_WANTARROWS | DLGC_WANTALLKEYS; }
    LRESULT OnAutoScrollTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnHScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnVScroll(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDblClk(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseWheel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCaptureChanged(UINT, WPARAM, LPARAM, BOOL&);

private:
    struct Column {
        std::wstring Title;
        int Width = 0;
        int FitWidth = 0;
    };

    bool IsRow(int row) const { return row >= 0 && row < rowCount_; }
    int LastRow() const { return rowCount_ - 1; }
    int TotalColumnWidth() const;
    int ColumnLeft(int column) const;  // content x (without the horizontal offset)
    int ContentHeight() const;
    int ClientWidth() const;
    int ClientHeight() const;
    bool HorzBarShown() const;
    // Which bar a client point lies on: SB_VERT, SB_HORZ or -1.
    int ScrollBarAt(int x, int y) const;
    // Scroll content length and visible page of a bar.
    int ScrollTotal(int bar) const;
    int ScrollPage(int bar) const;
    void PressScrollBar(int bar, int x, int y);
    void DragThumb(int x, int y);
    void RepeatScrollPage();
    void EndScrollBarPress();
    void PaintScrollBars(HDC dc);
    int FirstVisibleRow() const;
    // Keeps both offsets inside what the content allows.
    void ClampOffsets();
    void UpdateScrollBars();
    // Moves a bar to `pos` (clamped to what the content allows) and shifts the content.
    void ScrollTo(int bar, int pos);
    // Header hit tests with x in client coordinates.
    int HeaderDividerAt(int x) const;   // column whose right edge is within the zone, -1
    int HeaderColumnAt(int x) const;    // column whose clickable part holds x, -1
    bool ActionShown(int action) const;
    int ActionBarModeFor(int expandedRow);
    void ClearSelection();
    void AddRange(int first, int last);  // selects rows, counting new deleted ones
    void SelectDragRange();
    void EndPointerStates(bool* changed);
    // A click with either button puts the keyboard into the list.
    void TakeKeyboard();
    void UpdateFitWidth(int column, HDC dc, const std::wstring& text);
    void PaintRow(HDC dc, int row, int top, int height, int totalWidth, int clientWidth);
    void PaintHeader(HDC dc, int clientWidth);
    void PaintActionBar(HDC dc, int top);
    void PaintDragRect(HDC dc);
    void Redraw(bool update);
    bool KeyDown(int key) const;

    TOwner* owner_ = nullptr;
    int horizontalOffset_ = 0;
    int verticalOffset_ = 0;
    int currentRow_ = 0;
    int rowsPerPage_ = 0;
    int expansionSteps_ = 1;
    int expansionOn_ = 1;
    int actionBarMode_ = 0;
    int resizingColumn_ = 0;
    int hotHeaderColumn_ = -1;
    int expandedRow_ = 0;
    int rowCount_ = 0;
    int dragSelecting_ = 0;
    POINT dragAnchor_ = {0, 0};
    POINT dragPoint_ = {-1, -1};
    int autoScrollArmed_ = 0;
    int expandedPainted_ = 0;
    int hotActionButton_ = -1;
    int selectedDeleted_ = 0;
    int selectedCount_ = 0;
    bool dragMoved_ = false;  // the drag has left the anchor's row
    int contentHeight_ = 0;
    bool trackingLeave_ = false;
    // A press on a scroll bar: the bar + 1 (0 none), and either the thumb
    // being dragged (grab = pointer distance from the thumb's start) or a
    // held press on the track that pages towards the pointer.
    int scrollPress_ = 0;
    bool scrollThumb_ = false;
    int scrollGrab_ = 0;
    POINT scrollPoint_ = {0, 0};
    std::vector<uint8_t> selection_;
    std::vector<int> selectedRows_;
    std::vector<Column> columns_;
    ResultRowTexts rowTexts_;  // reused while painting
    CIconCache icons_;
};
