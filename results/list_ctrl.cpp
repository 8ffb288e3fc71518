// The result list: geometry, scrolling, painting, selection, keys and mouse.
#include "results/list_ctrl.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "platform/gdi.h"
#include "results/search_result_wnd.h"
#include "ui/bkfontpool.h"
#include "ui/bkskin.h"
#include "ui/bkstring.h"

namespace {

// Colours of the shared design palette.
constexpr COLORREF kSurface = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kSurfaceQuiet = RGB(0xF6, 0xF6, 0xFB);
constexpr COLORREF kLine = RGB(0xDA, 0xDC, 0xE3);
constexpr COLORREF kText = RGB(0x20, 0x21, 0x24);
constexpr COLORREF kTextSecondary = RGB(0x5F, 0x63, 0x68);
constexpr COLORREF kTextDisabled = RGB(0xB0, 0xB4, 0xBC);
constexpr COLORREF kAccent = RGB(0x33, 0x99, 0xFF);
constexpr COLORREF kSelected = RGB(0x62, 0xC2, 0xF0);
constexpr COLORREF kExpanded = RGB(0xED, 0xF6, 0xFC);
constexpr COLORREF kWarning = RGB(0xFA, 0x13, 0x13);
constexpr COLORREF kDragFill = RGB(0xA8, 0xCA, 0xEC);
constexpr BYTE kDragFillAlpha = 0x80;

// The list's own text colours, outside the palette: a deleted row in one red,
// an existing row fading from the name to the time column.
constexpr COLORREF kDeletedText = RGB(234, 18, 59);
constexpr COLORREF kColumnText[RESULTCOL_COUNT] = {
    RGB(0, 0, 0), RGB(98, 98, 85), RGB(150, 155, 151), RGB(182, 182, 178), RGB(213, 213, 208),
};
constexpr COLORREF kHeaderText = RGB(120, 120, 120);

struct ActionButton {
    const char* Skin;
    int Width;
    UINT LabelId;  // text drawn when the skin is missing
};
constexpr ActionButton kActions[ROWACTION_COUNT] = {
    {"btn_openfile", 46, 61},
    {"btn_openfolder", 70, 62},
    {"btn_copyfile", 48, 63},
    {"btn_copyfolder", 72, 64},
    {"btn_recoverdelfile", 97, 65},
};
constexpr int kActionLabelLeft = 21;  // right of the 16 px icon the skins draw at x 3

void FillSolid(HDC dc, const RECT& rc, COLORREF color) {
    if (rc.right <= rc.left || rc.bottom <= rc.top) return;
    COLORREF old = ::SetBkColor(dc, color);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

void FrameSolid(HDC dc, const RECT& rc, COLORREF color) {
    FillSolid(dc, {rc.left, rc.top, rc.right, rc.top + 1}, color);
    FillSolid(dc, {rc.left, rc.bottom - 1, rc.right, rc.bottom}, color);
    FillSolid(dc, {rc.left, rc.top, rc.left + 1, rc.bottom}, color);
    FillSolid(dc, {rc.right - 1, rc.top, rc.right, rc.bottom}, color);
}

// Half-transparent fill without GDI+: one pixel of the colour, blended.
void FillAlpha(HDC dc, const RECT& rc, COLORREF color, BYTE alpha) {
    if (rc.right <= rc.left || rc.bottom <= rc.top) return;
    void* bits = nullptr;
    platform::Bitmap pixel(platform::CreateDib32(1, 1, &bits));
    platform::MemoryDC mem(dc);
    if (!pixel || !mem || !bits) return;
    *static_cast<DWORD*>(bits) = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    platform::SelectObjectScope select(mem, pixel.Get());
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    ::AlphaBlend(dc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, mem, 0, 0, 1, 1, blend);
}

// Draws a skin of the skin table; false (nothing drawn) when it is missing.
bool DrawSkinByName(const char* name, HDC dc, const RECT& rc, DWORD state) {
    CBkSkinBase* skin = BkSkin::GetSkin(name);
    if (!skin) return false;
    skin->Draw(dc, rc, state);
    return true;
}

}  // namespace

template <class TOwner>
OListCtrl<TOwner>::OListCtrl() = default;

template <class TOwner>
OListCtrl<TOwner>::~OListCtrl() {
    // The window goes first, so no paint reaches the icons being destroyed.
    if (this->IsWindow()) this->DestroyWindow();
}

template <class TOwner>
HWND OListCtrl<TOwner>::Create(HWND parent) {
    RECT rc = {0, 0, 0, 0};
    return Base::Create(parent, &rc, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0);
}

// ------------------------------------------------------------------ geometry

template <class TOwner>
int OListCtrl<TOwner>::ClientWidth() const {
    RECT rc = this->GetClientRect();
    return rc.right - rc.left;
}

template <class TOwner>
int OListCtrl<TOwner>::ClientHeight() const {
    RECT rc = this->GetClientRect();
    return rc.bottom - rc.top;
}

template <class TOwner>
bool OListCtrl<TOwner>::HorzBarShown() const {
    return TotalColumnWidth() > ClientWidth() - kScrollBarSize;
}

// The vertical bar is always there (without a thumb when there is nothing to
// scroll), so the columns never jump when a result set grows past one page.
template <class TOwner>
int OListCtrl<TOwner>::ViewWidth() const {
    return std::max(0, ClientWidth() - kScrollBarSize);
}

template <class TOwner>
int OListCtrl<TOwner>::ViewHeight() const {
    return std::max(0, ClientHeight() - (HorzBarShown() ? kScrollBarSize : 0));
}

template <class TOwner>
int OListCtrl<TOwner>::TotalColumnWidth() const {
    int total = 0;
    for (const Column& c : columns_) total += c.Width;
    return total;
}

template <class TOwner>
int OListCtrl<TOwner>::ColumnLeft(int column) const {
    int left = 0;
    for (int i = 0; i < column && i < static_cast<int>(columns_.size()); ++i) left += columns_[i].Width;
    return left;
}

template <class TOwner>
int OListCtrl<TOwner>::GetColumnWidth(int column) const {
    return column >= 0 && column < GetColumnCount() ? columns_[column].Width : 0;
}

template <class TOwner>
int OListCtrl<TOwner>::GetColumnFitWidth(int column) const {
    return column >= 0 && column < GetColumnCount() ? columns_[column].FitWidth : 0;
}

template <class TOwner>
int OListCtrl<TOwner>::ContentHeight() const {
    const int64_t height = static_cast<int64_t>(kHeaderHeight) + static_cast<int64_t>(rowCount_) * kRowHeight +
                           kExpansionStep * expansionSteps_;
    return static_cast<int>(std::min<int64_t>(height, INT_MAX - 1));
}

template <class TOwner>
int OListCtrl<TOwner>::RowTop(int row) const {
    int64_t top = kHeaderHeight + static_cast<int64_t>(row) * kRowHeight + verticalOffset_;
    if (expansionOn_ && row > expandedRow_) top += kExpansionStep * expansionSteps_;
    return static_cast<int>(std::max<int64_t>(std::min<int64_t>(top, INT_MAX / 2), INT_MIN / 2));
}

template <class TOwner>
int OListCtrl<TOwner>::RowHeight(int row) const {
    return (expansionOn_ && row == expandedRow_) ? kRowHeight + kExpansionStep * expansionSteps_ : kRowHeight;
}

template <class TOwner>
int OListCtrl<TOwner>::FirstVisibleRow() const {
    if (rowCount_ <= 0) return 0;
    int row = std::max(0, -verticalOffset_ / kRowHeight - 2);
    while (row < LastRow() && RowTop(row) + RowHeight(row) <= kHeaderHeight) ++row;
    return std::min(row, LastRow());
}

template <class TOwner>
int OListCtrl<TOwner>::RowFromPoint(int y) const {
    if (y < kHeaderHeight || rowCount_ <= 0) return -1;
    const int clientHeight = ViewHeight();
    for (int row = FirstVisibleRow(); row < rowCount_; ++row) {
        const int top = RowTop(row);
        if (top >= clientHeight) break;
        if (y >= top && y < top + RowHeight(row)) return row;
    }
    return -1;
}

template <class TOwner>
void OListCtrl<TOwner>::ClampOffsets() {
    verticalOffset_ = -std::min(std::max(-verticalOffset_, 0), GetScrollMax(SB_VERT));
    horizontalOffset_ = -std::min(std::max(-horizontalOffset_, 0), GetScrollMax(SB_HORZ));
}

// The bars are drawn from the offsets at every paint; only the offsets need
// to stay inside what the content allows.
template <class TOwner>
void OListCtrl<TOwner>::UpdateScrollBars() {
    if (this->IsWindow()) ClampOffsets();
}

template <class TOwner>
int OListCtrl<TOwner>::ScrollTotal(int bar) const {
    return bar == SB_VERT ? ContentHeight() : TotalColumnWidth();
}

template <class TOwner>
int OListCtrl<TOwner>::ScrollPage(int bar) const {
    return bar == SB_VERT ? ViewHeight() : ViewWidth();
}

template <class TOwner>
int OListCtrl<TOwner>::GetScrollPos(int bar) const {
    return bar == SB_VERT ? -verticalOffset_ : -horizontalOffset_;
}

template <class TOwner>
int OListCtrl<TOwner>::GetScrollMax(int bar) const {
    return std::max(0, ScrollTotal(bar) - ScrollPage(bar));
}

template <class TOwner>
void OListCtrl<TOwner>::ScrollTo(int bar, int pos) {
    pos = std::min(std::max(pos, 0), GetScrollMax(bar));
    if (bar == SB_VERT) verticalOffset_ = -pos;
    else horizontalOffset_ = -pos;
    if (this->IsWindow()) this->Invalidate(false);
}

// The list draws its own bars: under Wine every redraw of a themed system bar
// costs about as much as painting a whole page of rows.
template <class TOwner>
bool OListCtrl<TOwner>::GetScrollBarRects(int bar, RECT* track, RECT* thumb) const {
    const int clientWidth = ClientWidth();
    const int clientHeight = ClientHeight();
    if (clientWidth <= kScrollBarSize || clientHeight <= 0) return false;
    const bool vertical = bar == SB_VERT;
    if (!vertical && (bar != SB_HORZ || !HorzBarShown())) return false;
    const int viewWidth = ViewWidth();
    const int viewHeight = ViewHeight();
    // The vertical track runs beside the rows only: the header row never
    // scrolls, so no thumb stands in it (not even when the list is empty and
    // shorter than its header).
    *track = vertical ? RECT{viewWidth, std::min(static_cast<int>(kHeaderHeight), viewHeight), clientWidth, viewHeight}
                      : RECT{0, viewHeight, viewWidth, clientHeight};
    *thumb = {0, 0, 0, 0};
    const int length = vertical ? track->bottom - track->top : track->right - track->left;
    const int64_t total = ScrollTotal(bar);
    const int64_t page = ScrollPage(bar);
    if (total <= page || length <= 0 || (vertical && rowCount_ == 0)) return true;
    // 64-bit arithmetic: two million rows are 48 million pixels.
    const int thumbLength = static_cast<int>(std::max<int64_t>(std::min(kMinThumb, length), length * page / total));
    const int64_t room = length - thumbLength;
    const int64_t maxPos = total - page;
    const int64_t pos = std::min<int64_t>(std::max(GetScrollPos(bar), 0), maxPos);
    const int start = static_cast<int>(room * pos / maxPos);
    if (vertical)
        *thumb = {track->left + kThumbInset, track->top + start, track->right - kThumbInset,
                  track->top + start + thumbLength};
    else
        *thumb = {track->left + start, track->top + kThumbInset, track->left + start + thumbLength,
                  track->bottom - kThumbInset};
    return true;
}

template <class TOwner>
int OListCtrl<TOwner>::ScrollBarAt(int x, int y) const {
    const int viewWidth = ViewWidth();
    const int viewHeight = ViewHeight();
    if (x >= viewWidth && y < viewHeight) return SB_VERT;
    if (y >= viewHeight && x < viewWidth) return HorzBarShown() ? SB_HORZ : -1;
    if (x >= viewWidth && y >= viewHeight) return SB_BOTH;  // the corner between the bars
    return -1;
}

template <class TOwner>
void OListCtrl<TOwner>::PressScrollBar(int bar, int x, int y) {
    RECT track, thumb;
    if (!GetScrollBarRects(bar, &track, &thumb) || ::IsRectEmpty(&thumb)) return;
    const int along = bar == SB_VERT ? y : x;
    const int thumbStart = bar == SB_VERT ? thumb.top : thumb.left;
    const int thumbEnd = bar == SB_VERT ? thumb.bottom : thumb.right;
    scrollPress_ = bar + 1;
    scrollPoint_ = {x, y};
    ::SetCapture(this->Handle());
    if (along >= thumbStart && along < thumbEnd) {
        scrollThumb_ = true;
        scrollGrab_ = along - thumbStart;
        this->Invalidate(false);
        return;
    }
    // A press on the track pages towards the pointer, again and again while held.
    scrollThumb_ = false;
    RepeatScrollPage();
    this->SetTimer(IDT_LIST_SCROLLREPEAT, IDT_LIST_SCROLLREPEAT_FIRST_MS);
}

template <class TOwner>
void OListCtrl<TOwner>::RepeatScrollPage() {
    const int bar = scrollPress_ - 1;
    RECT track, thumb;
    if (!GetScrollBarRects(bar, &track, &thumb) || ::IsRectEmpty(&thumb)) return;
    const int along = bar == SB_VERT ? scrollPoint_.y : scrollPoint_.x;
    const int page = ScrollPage(bar);
    if (along < (bar == SB_VERT ? thumb.top : thumb.left)) ScrollTo(bar, GetScrollPos(bar) - page);
    else if (along >= (bar == SB_VERT ? thumb.bottom : thumb.right)) ScrollTo(bar, GetScrollPos(bar) + page);
}

// The thumb follows the pointer to the exact pixel position, far beyond the
// 16 bits that a scroll message could carry.
template <class TOwner>
void OListCtrl<TOwner>::DragThumb(int x, int y) {
    const int bar = scrollPress_ - 1;
    RECT track, thumb;
    if (!GetScrollBarRects(bar, &track, &thumb) || ::IsRectEmpty(&thumb)) return;
    const bool vertical = bar == SB_VERT;
    const int length = vertical ? track.bottom - track.top : track.right - track.left;
    const int thumbLength = vertical ? thumb.bottom - thumb.top : thumb.right - thumb.left;
    const int64_t room = length - thumbLength;
    if (room <= 0) return;
    const int64_t start = std::min<int64_t>(
        std::max<int64_t>((vertical ? y - track.top : x - track.left) - scrollGrab_, 0), room);
    ScrollTo(bar, static_cast<int>(start * GetScrollMax(bar) / room));
}

template <class TOwner>
void OListCtrl<TOwner>::EndScrollBarPress() {
    if (!scrollPress_) return;
    if (this->IsWindow()) {
        this->KillTimer(IDT_LIST_SCROLLREPEAT);
        this->Invalidate(false);
    }
    scrollPress_ = 0;
    scrollThumb_ = false;
}

// ------------------------------------------------------------------ columns

template <class TOwner>
void OListCtrl<TOwner>::InsertColumn(const std::wstring& title, int width) {
    Column column;
    column.Title = title;
    column.Width = std::max(0, width);
    columns_.push_back(column);
}

template <class TOwner>
void OListCtrl<TOwner>::ResetItemStates() {
    for (Column& c : columns_) c.FitWidth = 0;
    if (this->IsWindow()) this->Invalidate(true);
}

template <class TOwner>
int OListCtrl<TOwner>::HeaderDividerAt(int x) const {
    const int content = x - horizontalOffset_;
    int right = 0;
    for (int i = 0; i < GetColumnCount(); ++i) {
        right += columns_[i].Width;
        if (content >= right && content < right + kDividerZone) return i;
    }
    return -1;
}

template <class TOwner>
int OListCtrl<TOwner>::HeaderColumnAt(int x) const {
    const int content = x - horizontalOffset_;
    int left = 0;
    for (int i = 0; i < GetColumnCount(); ++i) {
        const int right = left + columns_[i].Width;
        const int start = i == 0 ? left : left + kDividerZone;
        if (content >= start && content < right - 1) return i;
        left = right;
    }
    return -1;
}

// ------------------------------------------------------------------ rows

template <class TOwner>
void OListCtrl<TOwner>::SetItemCount(int count) {
    count = std::max(0, count);
    selection_.assign(static_cast<size_t>(count), 0);
    selectedRows_.clear();
    selectedCount_ = 0;
    selectedDeleted_ = 0;
    horizontalOffset_ = 0;
    verticalOffset_ = 0;
    rowCount_ = count;
    hotHeaderColumn_ = -1;
    hotActionButton_ = -1;
    expandedRow_ = 0;
    // The paint follows when the thread is idle: a new result set is painted
    // once, however many messages come with it.
    if (this->IsWindow()) this->Invalidate(false);
}

template <class TOwner>
void OListCtrl<TOwner>::SetCurrentRow(int row) {
    if (IsRow(row)) currentRow_ = row;
}

// ------------------------------------------------------------------ selection

template <class TOwner>
bool OListCtrl<TOwner>::IsSelected(int row) const {
    return IsRow(row) && static_cast<size_t>(row) < selection_.size() && selection_[row] != 0;
}

template <class TOwner>
void OListCtrl<TOwner>::ClearSelection() {
    std::fill(selection_.begin(), selection_.end(), 0);
    selectedCount_ = 0;
    selectedDeleted_ = 0;
}

template <class TOwner>
const std::vector<int>& OListCtrl<TOwner>::GetSelectedItems() {
    selectedRows_.clear();
    selectedRows_.reserve(static_cast<size_t>(selectedCount_));
    for (int row = 0; row < rowCount_; ++row)
        if (selection_[row]) selectedRows_.push_back(row);
    return selectedRows_;
}

template <class TOwner>
void OListCtrl<TOwner>::SelectAll() {
    std::fill(selection_.begin(), selection_.end(), 1);
    selectedCount_ = rowCount_;
    // The engine counted the deleted rows of the set; asking every row again
    // would cost a record fetch per row.
    const int known = owner_ ? owner_->GetDeletedRowCount() : -1;
    if (known >= 0 && known <= rowCount_) selectedDeleted_ = known;
    else selectedDeleted_ = owner_ ? owner_->CountDeletedRows(0, LastRow(), nullptr) : 0;
    if (this->IsWindow()) this->Invalidate(false);
}

template <class TOwner>
void OListCtrl<TOwner>::SelectItem(int row) {
    if (!IsRow(row) || selection_[row]) return;
    selection_[row] = 1;
    ++selectedCount_;
    if (owner_ && owner_->IsItemDeleted(row)) ++selectedDeleted_;
}

template <class TOwner>
void OListCtrl<TOwner>::ToggleItem(int row) {
    if (!IsRow(row)) return;
    const bool deleted = owner_ && owner_->IsItemDeleted(row);
    if (selection_[row]) {
        selection_[row] = 0;
        --selectedCount_;
        if (deleted) --selectedDeleted_;
    } else {
        selection_[row] = 1;
        ++selectedCount_;
        if (deleted) ++selectedDeleted_;
    }
}

template <class TOwner>
void OListCtrl<TOwner>::AddRange(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, LastRow());
    if (first > last) return;
    if (first == last) {
        SelectItem(first);
        return;
    }
    // Rows already selected are counted already.
    if (owner_) selectedDeleted_ += owner_->CountDeletedRows(first, last, &selection_);
    for (int row = first; row <= last; ++row) {
        if (selection_[row]) continue;
        selection_[row] = 1;
        ++selectedCount_;
    }
}

template <class TOwner>
void OListCtrl<TOwner>::SelectOnly(int position) {
    if (position == -1) position = LastRow();
    if (!IsRow(position)) return;
    ClearSelection();
    SelectItem(position);
    currentRow_ = position;
    if (this->IsWindow()) this->Invalidate(false);
}

template <class TOwner>
int OListCtrl<TOwner>::GetSelectedCount() const {
    return selectedCount_;
}

template <class TOwner>
void OListCtrl<TOwner>::EnsureVisible(int alignTop) {
    if (!IsRow(currentRow_) || !this->IsWindow()) return;
    const int clientHeight = ViewHeight();
    const int top = RowTop(currentRow_);
    const int height = RowHeight(currentRow_);
    if (top >= kHeaderHeight && top + height <= clientHeight) return;
    const int shift = (expansionOn_ && currentRow_ > expandedRow_) ? kExpansionStep * expansionSteps_ : 0;
    const int64_t contentTop = static_cast<int64_t>(currentRow_) * kRowHeight + shift;
    if (alignTop) {
        verticalOffset_ = static_cast<int>(-contentTop);
    } else {
        const int bottom = clientHeight - ::GetSystemMetrics(SM_CXHSCROLL);
        verticalOffset_ = static_cast<int>(bottom - height - kHeaderHeight - contentTop);
    }
    UpdateScrollBars();
    this->Invalidate(true);
}

template <class TOwner>
int OListCtrl<TOwner>::ActionBarModeFor(int row) {
    const bool deleted = owner_ && owner_->IsItemDeleted(row);
    if (!IsSelected(row) || selectedCount_ == 1) return deleted ? 1 : 0;
    if (selectedDeleted_ == 0) return 0;
    return selectedDeleted_ >= selectedCount_ ? 1 : 2;
}

template <class TOwner>
bool OListCtrl<TOwner>::ActionShown(int action) const {
    switch (actionBarMode_) {
    case 1: return action == ROWACTION_COPY_PATH || action == ROWACTION_RECOVER;
    case 2: return action >= 0 && action < ROWACTION_COUNT;
    default: return action >= 0 && action <= ROWACTION_COPY_PATH;
    }
}

template <class TOwner>
bool OListCtrl<TOwner>::GetActionButtonRect(int action, RECT* rc) const {
    if (!ActionShown(action) || !IsRow(expandedRow_) || !expansionOn_) return false;
    int x = kActionBarLeft;
    for (int a = 0; a < action; ++a)
        if (ActionShown(a)) x += kActions[a].Width + kActionBarGap;
    const int top = RowTop(expandedRow_) + kActionBarTop;
    *rc = {x, top, x + kActions[action].Width, top + kActionBarHeight};
    return true;
}

template <class TOwner>
int OListCtrl<TOwner>::ActionFromPoint(int x, int y) const {
    if (RowFromPoint(y) != expandedRow_ || !IsRow(expandedRow_)) return -1;
    const POINT pt = {x, y};
    for (int action = 0; action < ROWACTION_COUNT; ++action) {
        RECT rc;
        if (GetActionButtonRect(action, &rc) && ::PtInRect(&rc, pt)) return action;
    }
    return -1;
}

// ------------------------------------------------------------------ painting

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnSize(UINT, WPARAM, LPARAM, BOOL&) {
    rowsPerPage_ = std::max(1, (ViewHeight() - kHeaderHeight) / kRowHeight);
    UpdateScrollBars();
    ResetItemStates();
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    platform::PaintDC dc(this->Handle());
    DoPaint(dc);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnEraseBkgnd(UINT, WPARAM wParam, LPARAM, BOOL&) {
    // The whole list is drawn already while erasing: an erase that left the
    // area alone would show what lies behind the window until the paint
    // (see-through under a compositor when the list first shows), and a
    // plain white one would flash the rows away.
    if (HDC dc = reinterpret_cast<HDC>(wParam)) DoPaint(dc);
    return 1;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&) {
    DoPaint(reinterpret_cast<HDC>(wParam));
    return 0;
}

template <class TOwner>
void OListCtrl<TOwner>::UpdateFitWidth(int column, HDC dc, const std::wstring& text) {
    if (text.empty()) return;
    SIZE size = {0, 0};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    Column& c = columns_[column];
    if (size.cx <= c.FitWidth) return;
    if (column == RESULTCOL_NAME) c.FitWidth = size.cx >= 46 ? size.cx + 34 : kMinColumnWidth;
    else c.FitWidth = size.cx >= 64 ? size.cx + 16 : kMinColumnWidth;
}

template <class TOwner>
void OListCtrl<TOwner>::DoPaint(HDC target) {
    const int width = ClientWidth();
    const int height = ClientHeight();
    if (width <= 0 || height <= 0) return;
    platform::MemoryDC mem(target);
    platform::Bitmap bitmap(::CreateCompatibleBitmap(target, width, height));
    if (!mem || !bitmap) return;
    platform::SelectObjectScope selectBitmap(mem, bitmap.Get());
    platform::SelectObjectScope selectFont(mem, BkFontPool::GetFont(0));
    ::SetBkMode(mem, TRANSPARENT);
    ::SetTextColor(mem, kText);
    FillSolid(mem, {0, 0, width, height}, kSurface);

    ClampOffsets();
    const int total = TotalColumnWidth();
    const int viewWidth = ViewWidth();
    const int viewHeight = ViewHeight();
    expandedPainted_ = 0;
    rowsPerPage_ = std::max(1, (viewHeight - kHeaderHeight) / kRowHeight);
    contentHeight_ = ContentHeight();
    for (int row = FirstVisibleRow(); row < rowCount_; ++row) {
        const int top = RowTop(row);
        if (top >= viewHeight) break;
        PaintRow(mem, row, top, RowHeight(row), total, viewWidth);
    }
    PaintHeader(mem, viewWidth);
    if (dragSelecting_ && dragPoint_.x != -1) PaintDragRect(mem);
    PaintScrollBars(mem);
    ::BitBlt(target, 0, 0, width, height, mem, 0, 0, SRCCOPY);
}

template <class TOwner>
void OListCtrl<TOwner>::PaintRow(HDC dc, int row, int top, int height, int totalWidth, int clientWidth) {
    const bool expanded = expansionOn_ && row == expandedRow_;
    const int fillWidth = std::max(totalWidth, clientWidth);
    if (expanded) {
        FillSolid(dc, {horizontalOffset_ + 1, top, horizontalOffset_ + 1 + fillWidth, top + height - 1}, kExpanded);
        expandedPainted_ = 1;
    }
    if (IsSelected(row))
        FillSolid(dc, {horizontalOffset_ + 2, top, horizontalOffset_ + 2 + fillWidth, top + height - 1}, kSelected);

    // A row whose record is gone draws empty rather than stale.
    const bool valid = owner_ && owner_->GetRowTexts(row, &rowTexts_);
    if (!valid) return;
    const bool deleted = rowTexts_.IsDeleted;
    if (deleted)  // the deleted marker at the row's left edge
        FillSolid(dc, {horizontalOffset_ + 2, top + 4, horizontalOffset_ + 4, top + kRowHeight - 4}, kWarning);

    int left = horizontalOffset_;
    for (int col = 0; col < GetColumnCount() && col < RESULTCOL_COUNT; ++col) {
        const int right = left + columns_[col].Width;
        const std::wstring& text = rowTexts_.Text[col];
        UpdateFitWidth(col, dc, text);
        RECT rc = {left + (col == 0 ? 24 : 8), top, right - 8, top + height};
        if (expanded) {
            // Only the name makes room for the larger icon; every other
            // column stays where its header is.
            if (col == RESULTCOL_NAME) rc.left += kExpansionStep - 12;
            rc.bottom -= kActionBarHeight;
        }
        if (right > 0 && left < clientWidth && !text.empty()) {
            ::SetTextColor(dc, deleted ? kDeletedText : kColumnText[col]);
            UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
            format |= col < 2 ? DT_LEFT : DT_CENTER;
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, format);
        }
        if (col == RESULTCOL_NAME) {
            std::wstring path = rowTexts_.Text[RESULTCOL_DIRECTORY];
            path += L'\\';
            path += rowTexts_.Text[RESULTCOL_NAME];
            if (HICON icon = icons_.GetItemIcon(path, !expanded, rowTexts_.IsFolder)) {
                const int size = expanded ? 32 : 16;
                ::DrawIconEx(dc, left + 4, top + (expanded ? 16 : 4), icon, size, size, 0, nullptr, DI_NORMAL);
            }
        }
        left = right;
    }
    if (expanded) {
        actionBarMode_ = ActionBarModeFor(row);
        PaintActionBar(dc, top);
    }
}

template <class TOwner>
void OListCtrl<TOwner>::PaintActionBar(HDC dc, int /*top*/) {
    for (int action = 0; action < ROWACTION_COUNT; ++action) {
        RECT rc;
        if (!GetActionButtonRect(action, &rc)) continue;
        const bool hot = action == hotActionButton_;
        RECT text = rc;
        if (DrawSkinByName(kActions[action].Skin, dc, rc, hot ? 1 : 0)) {
            // The skin's face carries the action's icon; the label goes beside it.
            text.left += kActionLabelLeft;
            ::SetTextColor(dc, hot ? kAccent : kText);
        } else {
            // Without the skin: a plain button in the palette, so the bar stays usable.
            FillSolid(dc, rc, hot ? kAccent : kSurface);
            FrameSolid(dc, rc, hot ? kAccent : kLine);
            ::SetTextColor(dc, hot ? kSurface : kText);
        }
        if (LPCWSTR label = BkString::Get(kActions[action].LabelId))
            ::DrawTextW(dc, label, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    }
}

template <class TOwner>
void OListCtrl<TOwner>::PaintHeader(HDC dc, int clientWidth) {
    const RECT band = {0, 0, clientWidth, kHeaderHeight};
    if (!DrawSkinByName("list_header_bg", dc, band, 0)) {
        FillSolid(dc, band, kSurfaceQuiet);
        FillSolid(dc, {0, kHeaderHeight - 1, clientWidth, kHeaderHeight}, kLine);
    }
    int left = horizontalOffset_;
    for (int col = 0; col < GetColumnCount(); ++col) {
        const int right = left + columns_[col].Width;
        if (col == hotHeaderColumn_) {
            const RECT hot = {left, 0, right + 1, kHeaderHeight};
            if (!DrawSkinByName("list_header_honver", dc, hot, 0)) FillSolid(dc, {left, 0, right, kHeaderHeight - 1}, kExpanded);
        }
        const RECT line = {right - 1, 0, right, kHeaderHeight - 1};
        if (!DrawSkinByName("list_header_horzline", dc, line, 0)) FillSolid(dc, line, kLine);
        RECT text = {left, 0, right, kHeaderHeight};
        ::SetTextColor(dc, kHeaderText);
        const std::wstring& title = columns_[col].Title;
        ::DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
                    DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        left = right;
    }
}

template <class TOwner>
void OListCtrl<TOwner>::PaintDragRect(HDC dc) {
    RECT rc = {std::min(dragAnchor_.x, dragPoint_.x), std::min(dragAnchor_.y, dragPoint_.y) + verticalOffset_,
               std::max(dragAnchor_.x, dragPoint_.x), std::max(dragAnchor_.y, dragPoint_.y) + verticalOffset_};
    if (rc.right - rc.left < 1 || rc.bottom - rc.top < 1) return;
    FrameSolid(dc, rc, kAccent);
    ::InflateRect(&rc, -1, -1);
    FillAlpha(dc, rc, kDragFill, kDragFillAlpha);
}

template <class TOwner>
void OListCtrl<TOwner>::PaintScrollBars(HDC dc) {
    for (int bar : {SB_VERT, SB_HORZ}) {
        RECT track, thumb;
        if (!GetScrollBarRects(bar, &track, &thumb)) continue;
        if (bar == SB_VERT) track.top = 0;  // the strip beside the header row too, without a thumb
        FillSolid(dc, track, kSurfaceQuiet);
        if (bar == SB_VERT) FillSolid(dc, {track.left, track.top, track.left + 1, track.bottom}, kLine);
        else FillSolid(dc, {track.left, track.top, track.right, track.top + 1}, kLine);
        // Secondary text on the quiet surface reads at a glance; the accent
        // while dragged.
        const bool dragged = scrollPress_ == bar + 1 && scrollThumb_;
        FillSolid(dc, thumb, dragged ? kAccent : kTextSecondary);
    }
    if (HorzBarShown()) FillSolid(dc, {ViewWidth(), ViewHeight(), ClientWidth(), ClientHeight()}, kSurfaceQuiet);
}

template <class TOwner>
void OListCtrl<TOwner>::Redraw(bool update) {
    if (!this->IsWindow()) return;
    this->Invalidate(false);
    if (update) this->UpdateWindow();
}

// ------------------------------------------------------------------ scrolling

// Scroll messages move the list's own bars. Thumb positions are not taken
// from them (their 16 bits cannot hold the position of two million rows);
// the bar tracks its thumb itself.
template <class TOwner>
LRESULT OListCtrl<TOwner>::OnVScroll(UINT, WPARAM wParam, LPARAM, BOOL&) {
    int pos = GetScrollPos(SB_VERT);
    switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= kLineStep; break;
    case SB_LINEDOWN: pos += kLineStep; break;
    case SB_PAGEUP: pos -= ScrollPage(SB_VERT); break;
    case SB_PAGEDOWN: pos += ScrollPage(SB_VERT); break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = GetScrollMax(SB_VERT); break;
    default: return 0;
    }
    ScrollTo(SB_VERT, pos);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnHScroll(UINT, WPARAM wParam, LPARAM, BOOL&) {
    int pos = GetScrollPos(SB_HORZ);
    switch (LOWORD(wParam)) {
    case SB_LINELEFT: pos -= kLineStep; break;
    case SB_LINERIGHT: pos += kLineStep; break;
    case SB_PAGELEFT: pos -= ScrollPage(SB_HORZ); break;
    case SB_PAGERIGHT: pos += ScrollPage(SB_HORZ); break;
    case SB_LEFT: pos = 0; break;
    case SB_RIGHT: pos = GetScrollMax(SB_HORZ); break;
    default: return 0;
    }
    ScrollTo(SB_HORZ, pos);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnMouseWheel(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (ContentHeight() <= ViewHeight()) return 0;
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) return 0;
    const int step = kWheelRows * kRowHeight;
    const int pos = -verticalOffset_ + (delta > 0 ? -step : step);
    ScrollTo(SB_VERT, pos);
    return 0;
}

// ------------------------------------------------------------------ keys

template <class TOwner>
bool OListCtrl<TOwner>::KeyDown(int key) const {
    return ::GetKeyState(key) < 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnKeyDown(UINT, WPARAM wParam, LPARAM, BOOL&) {
    const bool ctrl = KeyDown(VK_CONTROL);
    const bool shift = KeyDown(VK_SHIFT);
    HWND ownerWnd = owner_ ? owner_->Handle() : nullptr;
    auto send = [ownerWnd](int command, int mode) {
        if (ownerWnd && ::IsWindow(ownerWnd)) ::SendMessageW(ownerWnd, WM_RESULT_KEY_COMMAND, command, mode);
    };
    const int key = static_cast<int>(wParam);
    switch (key) {
    case VK_RETURN: send(ctrl ? FILECMD_PROPERTIES : FILECMD_OPEN, 0); return 0;
    case VK_DELETE: send(FILECMD_DELETE, shift ? 1 : 0); return 0;
    case 'A': if (ctrl) send(FILECMD_SELECTALL, 0); return 0;
    case 'C': if (ctrl) send(FILECMD_COPY, 0); return 0;
    case 'X': if (ctrl) send(FILECMD_CUT, 0); return 0;
    default: break;
    }
    if (rowCount_ <= 0) return 0;
    // The current row may point past a result set that has shrunk since.
    currentRow_ = std::min(std::max(currentRow_, 0), LastRow());
    const int page = std::max(1, rowsPerPage_);
    const int current = currentRow_;
    switch (key) {
    case VK_HOME:
        if (ctrl) currentRow_ = 0;
        else if (shift) { AddRange(0, current - 1); currentRow_ = 0; }
        else SelectOnly(0);
        EnsureVisible(1);
        break;
    case VK_END:
        if (ctrl) currentRow_ = LastRow();
        else if (shift) { AddRange(current, LastRow()); currentRow_ = LastRow(); }
        else SelectOnly(LastRow());
        EnsureVisible(0);
        break;
    case VK_PRIOR: {
        const int target = std::max(0, current - page);
        if (ctrl) currentRow_ = target;
        else if (shift) { AddRange(target, current); currentRow_ = target; }
        else SelectOnly(target);
        EnsureVisible(1);
        break;
    }
    case VK_NEXT: {
        const int target = std::min(current + page, LastRow());
        if (ctrl) currentRow_ = target;
        else if (shift) { AddRange(current, target); currentRow_ = target; }
        else SelectOnly(target);
        EnsureVisible(0);
        break;
    }
    case VK_UP:
        if (ctrl || current <= 0) return 0;
        SelectOnly(current - 1);
        EnsureVisible(1);
        break;
    case VK_DOWN:
        if (ctrl || current + 1 > LastRow()) return 0;
        SelectOnly(current + 1);
        EnsureVisible(0);
        break;
    default:
        return 0;
    }
    Redraw(false);
    return 0;
}

// ------------------------------------------------------------------ mouse

template <class TOwner>
void OListCtrl<TOwner>::SelectDragRange() {
    if (rowCount_ <= 0) return;
    // Content y (client y minus the vertical offset) to a row; the expanded
    // row's extra height belongs to it.
    auto rowAt = [this](int y) {
        const int64_t rel = static_cast<int64_t>(y) - kHeaderHeight;
        if (rel < 0) return 0;
        const int extra = expansionOn_ ? kExpansionStep * expansionSteps_ : 0;
        const int64_t expandedTop = static_cast<int64_t>(expandedRow_) * kRowHeight;
        int64_t row;
        if (rel < expandedTop + kRowHeight) row = rel / kRowHeight;
        else if (rel < expandedTop + kRowHeight + extra) row = expandedRow_;
        else row = (rel - extra) / kRowHeight;
        return static_cast<int>(std::min<int64_t>(row, LastRow()));
    };
    const int first = rowAt(std::min(dragAnchor_.y, dragPoint_.y));
    const int last = rowAt(std::max(dragAnchor_.y, dragPoint_.y));
    ClearSelection();
    SelectItem(first);
    currentRow_ = first;
    AddRange(first + 1, last);
}

template <class TOwner>
void OListCtrl<TOwner>::EndPointerStates(bool* changed) {
    if (dragSelecting_ || resizingColumn_) *changed = true;
    dragSelecting_ = 0;
    dragMoved_ = false;
    resizingColumn_ = 0;
}

template <class TOwner>
void OListCtrl<TOwner>::TakeKeyboard() {
    if (::GetFocus() != this->Handle()) this->SetFocus();
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    TakeKeyboard();
    const int bar = ScrollBarAt(x, y);
    if (bar != -1) {
        if (bar == SB_VERT || bar == SB_HORZ) PressScrollBar(bar, x, y);
        return 0;
    }
    if (y < kHeaderHeight) {
        const int divider = HeaderDividerAt(x);
        if (divider >= 0) {
            resizingColumn_ = divider + 1;
            ::SetCapture(this->Handle());
            return 0;
        }
        const int column = HeaderColumnAt(x);
        if (column >= 0) {
            hotHeaderColumn_ = column;
            Redraw(false);
            HWND self = this->Handle();
            if (owner_) owner_->OnColumnClick(column);
            if (!::IsWindow(self)) return 0;  // closed while the box was up
        }
        return 0;
    }

    const int row = RowFromPoint(y);
    if (IsRow(row)) {
        const int action = ActionFromPoint(x, y);
        if (action >= 0) {
            HWND self = this->Handle();
            const int expanded = expandedRow_;
            if (owner_) {
                if (!IsSelected(expanded)) owner_->OnRowAction(expanded, action, 1);
                else owner_->OnRowAction(0, action, 0);
            }
            if (!::IsWindow(self)) return 0;
            // The button shows released for a moment, then hot again.
            hotActionButton_ = -1;
            Redraw(true);
            ::Sleep(100);
            hotActionButton_ = action;
            Redraw(true);
            return 0;
        }
        if (KeyDown(VK_CONTROL)) {
            currentRow_ = row;
            ToggleItem(row);
        } else if (KeyDown(VK_SHIFT)) {
            const int anchor = std::min(std::max(currentRow_, 0), LastRow());
            if (row < anchor) AddRange(row, anchor - 1);
            else AddRange(anchor + 1, row);
        } else {
            SelectOnly(row);
        }
        Redraw(true);
    }
    ::SetCapture(this->Handle());
    dragAnchor_ = {x, y - verticalOffset_};
    dragPoint_ = {-1, -1};
    dragSelecting_ = 1;
    dragMoved_ = false;
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&) {
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    if (!trackingLeave_) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, this->Handle(), HOVER_DEFAULT};
        trackingLeave_ = ::TrackMouseEvent(&tme) != FALSE;
    }
    if (scrollPress_) {
        if (scrollThumb_) DragThumb(x, y);
        else scrollPoint_ = {x, y};
        return 0;
    }

    if (resizingColumn_) {
        const int column = resizingColumn_ - 1;
        if (column < GetColumnCount()) {
            const int width = x - horizontalOffset_ - ColumnLeft(column);
            if (width > kMinColumnWidth) {
                columns_[column].Width = width;
                UpdateScrollBars();
                Redraw(true);
            }
        }
        return 0;
    }

    if (dragSelecting_) {
        const bool outside = y < kHeaderHeight || y > ViewHeight();
        if (outside) {
            if (!autoScrollArmed_) {
                dragPoint_ = {x, y - verticalOffset_};
                this->SetTimer(IDT_LIST_AUTOSCROLL, IDT_LIST_AUTOSCROLL_MS);
                autoScrollArmed_ = 1;
            }
            return 0;
        }
        dragPoint_ = {x, y - verticalOffset_};
        // A press with a small jitter is a click, not a drag: the range takes
        // over only once the pointer has left the anchor's row.
        if (!dragMoved_) {
            const int anchorRow = RowFromPoint(dragAnchor_.y + verticalOffset_);
            const int row = RowFromPoint(y);
            if (row == anchorRow && std::abs(y - (dragAnchor_.y + verticalOffset_)) < kRowHeight) {
                return 0;
            }
            dragMoved_ = true;
        }
        SelectDragRange();
        Redraw(true);
        return 0;
    }

    // Over a bar no row is hovered.
    const int row = ScrollBarAt(x, y) == -1 ? RowFromPoint(y) : -1;
    const int action = IsRow(row) && row == expandedRow_ ? ActionFromPoint(x, y) : -1;
    if (action >= 0) {
        if (hotActionButton_ != action) {
            hotActionButton_ = action;
            Redraw(false);
        }
        return 0;
    }
    if (hotActionButton_ != -1) {
        hotActionButton_ = -1;
        Redraw(false);
    }
    if (IsRow(row) && row != expandedRow_ && !KeyDown(VK_CONTROL) && !KeyDown(VK_SHIFT)) {
        expandedRow_ = row;
        Redraw(true);
    }
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnAutoScrollTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam == IDT_LIST_SCROLLREPEAT) {
        if (!scrollPress_ || scrollThumb_) {
            this->KillTimer(IDT_LIST_SCROLLREPEAT);
            return 0;
        }
        this->SetTimer(IDT_LIST_SCROLLREPEAT, IDT_LIST_SCROLLREPEAT_MS);
        POINT pt;
        ::GetCursorPos(&pt);
        this->ScreenToClient(&pt);
        scrollPoint_ = pt;
        RepeatScrollPage();
        return 0;
    }
    if (wParam != IDT_LIST_AUTOSCROLL) {
        handled = FALSE;
        return 0;
    }
    if (!dragSelecting_) {
        this->KillTimer(IDT_LIST_AUTOSCROLL);
        autoScrollArmed_ = 0;
        return 0;
    }
    POINT pt;
    ::GetCursorPos(&pt);
    this->ScreenToClient(&pt);
    const int clientHeight = ViewHeight();
    auto stepFor = [](int d) { return d <= 9 ? 10 : d <= 19 ? 20 : d <= 29 ? 40 : d <= 39 ? 70 : 110; };
    if (pt.y < kHeaderHeight) {
        verticalOffset_ = std::min(0, verticalOffset_ + stepFor(kHeaderHeight - pt.y));
    } else if (pt.y > clientHeight) {
        if (ContentHeight() + verticalOffset_ > clientHeight)
            verticalOffset_ -= stepFor(pt.y - clientHeight);
    } else {
        // Back inside: the moves take over.
        this->KillTimer(IDT_LIST_AUTOSCROLL);
        autoScrollArmed_ = 0;
    }
    ClampOffsets();
    dragPoint_ = {pt.x, static_cast<LONG>(pt.y - verticalOffset_)};
    dragMoved_ = true;
    SelectDragRange();
    UpdateScrollBars();
    this->Invalidate(false);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&) {
    EndScrollBarPress();
    bool changed = false;
    EndPointerStates(&changed);
    if (::GetCapture() == this->Handle()) ::ReleaseCapture();
    if (changed) Redraw(false);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnCaptureChanged(UINT, WPARAM, LPARAM lParam, BOOL&) {
    if (reinterpret_cast<HWND>(lParam) == this->Handle()) return 0;
    EndScrollBarPress();
    bool changed = false;
    EndPointerStates(&changed);
    if (changed) Redraw(false);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
    trackingLeave_ = false;
    bool changed = false;
    // While the button is held the capture keeps the drag going outside.
    if (::GetCapture() != this->Handle()) EndPointerStates(&changed);
    if (hotHeaderColumn_ != -1 || hotActionButton_ != -1) changed = true;
    hotHeaderColumn_ = -1;
    hotActionButton_ = -1;
    if (changed) Redraw(false);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnRButtonDown(UINT, WPARAM, LPARAM, BOOL&) {
    // As with the left button: the keys that follow (Ctrl+C after the menu
    // is dismissed) act on the rows the menu was for, not on the window
    // the keyboard was in before.
    TakeKeyboard();
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnRButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&) {
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    if (ScrollBarAt(x, y) != -1) return 0;
    const int row = RowFromPoint(y);
    if (!IsRow(row)) return 0;
    if (!IsSelected(row)) SelectOnly(row);
    Redraw(true);
    if (owner_) owner_->OnItemRightClick(x, y);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnLButtonDblClk(UINT, WPARAM, LPARAM lParam, BOOL&) {
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    const int bar = ScrollBarAt(x, y);
    if (bar != -1) {
        // The second press of a quick pair on a bar.
        if (bar == SB_VERT || bar == SB_HORZ) PressScrollBar(bar, x, y);
        return 0;
    }
    if (y < kHeaderHeight) {
        const int divider = HeaderDividerAt(x);
        if (divider >= 0 && columns_[divider].FitWidth > 0) {
            columns_[divider].Width = columns_[divider].FitWidth;
            UpdateScrollBars();
            Redraw(true);
        }
        return 0;
    }
    const int row = RowFromPoint(y);
    if (!IsRow(row) || ActionFromPoint(x, y) >= 0) return 0;
    HWND self = this->Handle();
    if (owner_) owner_->OnItemDoubleClick();
    if (::IsWindow(self)) Redraw(true);
    return 0;
}

template <class TOwner>
LRESULT OListCtrl<TOwner>::OnSetCursor(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    if (LOWORD(lParam) != HTCLIENT) {
        handled = FALSE;
        return 0;
    }
    POINT pt;
    ::GetCursorPos(&pt);
    this->ScreenToClient(&pt);
    int hot = -1;
    LPCWSTR cursor = IDC_ARROW;
    if (pt.y >= 0 && pt.y < kHeaderHeight && ScrollBarAt(pt.x, pt.y) == -1) {
        if (HeaderDividerAt(pt.x) >= 0) {
            cursor = IDC_SIZEWE;
        } else if ((hot = HeaderColumnAt(pt.x)) >= 0) {
            cursor = IDC_HAND;
        }
    }
    if (hot != hotHeaderColumn_) {
        hotHeaderColumn_ = hot;
        Redraw(false);
    }
    ::SetCursor(::LoadCursorW(nullptr, cursor));
    return TRUE;
}

template class OListCtrl<CSearchResultWnd>;
